// The guard's judgement of where a path really leads on disk.
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/safety_guard.h"
#include "scan_tree.h"

namespace nimbrel {
namespace {

TEST(SafetyGuardOnDisk, LinkedFoldersAreJudgedWhereTheyLead) {
    test::TempTree t;
    ASSERT_FALSE(t.root().empty());
    std::filesystem::create_directory_symlink("/etc", t.root() + "/etc-link");
    std::filesystem::create_directories(t.root() + "/plain");
    std::ofstream(t.root() + "/plain/file") << "x";
    std::filesystem::create_directory_symlink(t.root() + "/plain", t.root() + "/plain-link");

    struct Case {
        std::string path;
        bool guarded;
        std::string onDisk;
    };
    const std::vector<Case> cases = {
        // Below a link to a guarded folder: the guarded folder's own files.
        {t.root() + "/etc-link/passwd", true, "/etc/passwd"},
        {t.root() + "/etc-link/../etc-link/hosts", true, "/etc/hosts"},
        // The link itself is removed as a link, never followed.
        {t.root() + "/etc-link", false, t.root() + "/etc-link"},
        {t.root() + "/plain-link/file", false, t.root() + "/plain/file"},
        {t.root() + "/plain/file", false, t.root() + "/plain/file"},
        // A folder that does not exist leaves only the spelling's judgement.
        {t.root() + "/missing/passwd", false, t.root() + "/missing/passwd"},
        {"/etc/passwd", true, "/etc/passwd"},
    };
    // This machine's layout on no mounted volume: the volumes plugged in stay unread.
    const DiskGuard guard(HostLayout::current(), {});
    for (const Case& c : cases) {
        EXPECT_EQ(guard.isProtected(c.path), c.guarded) << c.path;
        EXPECT_EQ(SafetyGuard::onDiskPath(c.path), c.onDisk) << c.path;
    }
    EXPECT_FALSE(SafetyGuard::isProtected(t.root() + "/etc-link/passwd"));
    EXPECT_EQ(guard.reason(t.root() + "/etc-link/passwd"), SafetyGuard::reason("/etc/passwd"));
}

// True when `path` lies on the root file system itself (a bind of "/" shows it then).
bool onRootMount(const std::string& path) {
    struct stat root {
    }, at{};
    return ::stat("/", &root) == 0 && ::stat(path.c_str(), &at) == 0 && root.st_dev == at.st_dev;
}

// A home folder of its own in a temporary tree, guarded by a layout made for it.
struct FakeHome {
    test::TempTree t;
    std::string home;
    HostLayout layout;
    FakeHome() : home(t.root() + "/home/u"), layout(HostLayout::linux(t.root() + "/home/u")) {
        layout.trashFolder = home + "/.local/share/Trash";
        layout.usersHomeParents.push_back(t.root() + "/home");
        layout.mountParents.push_back(t.root() + "/vols");
        for (const char* folder :
             {"Documents", "Desktop", ".ssh", "Downloads", ".local/share/Trash/files", "free"})
            std::filesystem::create_directories(home + "/" + folder);
        for (const char* folder : {"stick/.Trash/1000/files", "stick/.Trash-1001/files", "stick/photos"})
            std::filesystem::create_directories(home + "/" + folder);
        for (const char* file :
             {"Documents/report.txt", ".ssh/id_rsa", "Downloads/a.txt", ".local/share/Trash/files/old.txt",
              "free/b.txt", "stick/.Trash/1000/files/a", "stick/.Trash-1001/files/b", "stick/photos/p.jpg",
              "stick/.Trash/notes.txt"})
            std::ofstream(home + "/" + file) << "x";
        std::filesystem::permissions(home + "/stick/.Trash", std::filesystem::perms(01777));
        std::filesystem::create_directories(t.root() + "/home/other");
        std::filesystem::create_directories(t.root() + "/vols/disk");
        std::filesystem::create_directory_symlink(t.root() + "/vols", t.root() + "/vols-link");
        std::filesystem::create_directory_symlink(home, t.root() + "/home-link");
        std::filesystem::create_directory_symlink(t.root(), t.root() + "/tree-link");
        std::filesystem::permissions(t.root(), std::filesystem::perms(0755));
    }
};

// Relative to the home: what the guard keeps, and what it lets go.
const std::pair<const char*, bool> kHomeEntries[] = {
    {"", true},
    {"/Documents", true},
    {"/Desktop", true},
    {"/.ssh", true},
    {"/.ssh/id_rsa", true},
    {"/.local/share/Trash", true},
    {"/.local/share/Trash/files/old.txt", true},
    {"/.local/share/Trash/files", true},
    {"/Documents/report.txt", false},
    {"/Downloads/a.txt", false},
    {"/free", false},
    {"/free/b.txt", false},
    // A volume's top: its users' Trash folders and the shared one keep it whole.
    {"/stick", true},
    {"/stick/.Trash", true},
    {"/stick/.Trash/1000", true},
    {"/stick/.Trash/1000/files/a", true},
    {"/stick/.Trash-1001", true},
    {"/stick/.Trash-1001/files/b", true},
    {"/stick/photos", false},
    {"/stick/photos/p.jpg", false},
    {"/stick/.Trash/notes.txt", false},
};

// Every name of a protected place is refused, every spelling that is not plain is refused, and the
// plain names of what may go are allowed. Returns the number of wrong judgements.
int judgeAllSpellings(const FakeHome& f, const std::vector<std::string>& homeNames, unsigned seed) {
    const DiskGuard guard(f.layout, {});
    std::mt19937 random(seed);
    int wrong = 0;
    for (const std::string& base : homeNames) {
        for (const auto& [suffix, kept] : kHomeEntries) {
            const std::string plain = base + suffix;
            // A link to the home is removed as a link; only what lies behind it is the home's.
            const bool isLink = std::string(suffix).empty() && std::filesystem::is_symlink(plain);
            if (guard.isProtected(plain) != (kept && !isLink)) {
                ADD_FAILURE() << "plain " << plain;
                ++wrong;
            }
            for (int i = 0; i < 8; ++i) {
                const std::string spelled = test::respell(plain, random);
                if (!guard.isProtected(spelled)) {
                    ADD_FAILURE() << "respelled " << spelled;
                    ++wrong;
                }
            }
        }
    }
    return wrong;
}

TEST(DiskGuard, EveryNameOfAProtectedFolderIsRefused) {
    FakeHome f;
    std::vector<std::string> names = {f.home, f.t.root() + "/home-link", f.t.root() + "/tree-link/home/u",
                                      f.t.root() + "/tree-link/tree-link/home/u"};
    std::vector<std::unique_ptr<test::Bind>> binds;
    if (geteuid() == 0) {
        binds.push_back(std::make_unique<test::Bind>(f.home));
        binds.push_back(std::make_unique<test::Bind>("/"));
        ASSERT_TRUE(binds[0]->mounted && binds[1]->mounted);
        names.push_back(binds[0]->at);
        if (onRootMount(f.home)) names.push_back(binds[1]->at + f.home);
    }
    // Undone last made first.
    struct Unbind {
        std::vector<std::unique_ptr<test::Bind>>& binds;
        ~Unbind() {
            while (!binds.empty())
                binds.pop_back();
        }
    } unbind{binds};
    EXPECT_EQ(judgeAllSpellings(f, names, 20261209u), 0);

    const DiskGuard guard(f.layout, {});
    // Folders that hold the home, other users' homes, and the Trash by identity; a volume's place
    // reached through a linked folder by the name it resolves to.
    for (const std::string& p :
         {f.t.root(), f.t.root() + "/home", f.t.root() + "/home/other", f.t.root() + "/vols-link/disk"})
        EXPECT_TRUE(guard.isProtected(p)) << p;
    EXPECT_EQ(guard.reason(f.t.root() + "/home-link/.ssh/id_rsa"),
              "Your SSH and encryption keys are never touched");
    EXPECT_EQ(guard.reason(f.home + "/a/../Documents"), "Only a plain absolute path is removed");
    if (geteuid() != 0) GTEST_SKIP() << "bind mounts need root";
    // A bind of the whole system: its root, its system folders and the home behind it.
    const std::string root = binds[1]->at, boundHome = binds[0]->at;
    for (const std::string& p : {root, root + "/etc/hostname", root + "/usr/lib", root + "/tmp"})
        EXPECT_TRUE(guard.isProtected(p)) << p;
    if (onRootMount(f.t.root())) {
        EXPECT_TRUE(guard.isProtected(root + f.t.root()));
    }
    EXPECT_EQ(guard.reason(boundHome + "/Documents"), SafetyGuard::reason(f.home + "/Documents", f.layout));
    test::Bind homes(f.t.root() + "/home");
    ASSERT_TRUE(homes.mounted);
    const DiskGuard later(f.layout, {});
    for (const std::string& p : {homes.at, homes.at + "/other", homes.at + "/u/Desktop"})
        EXPECT_TRUE(later.isProtected(p)) << p;
    EXPECT_FALSE(later.isProtected(homes.at + "/u/Downloads/a.txt"));

    // A volume mounted where no place names one is kept for its Trash, and reads as a volume; its
    // users' Trash folders are known by identity, also where another mount shows one by no Trash name.
    test::Bind stick(f.home + "/stick");
    test::Bind trashElsewhere(f.home + "/stick/.Trash-1001");
    ASSERT_TRUE(stick.mounted && trashElsewhere.mounted);
    const DiskGuard withStick(f.layout, {stick.at});
    EXPECT_EQ(withStick.reason(stick.at), "A mounted volume can't be nimbrelised. Open it to clean inside");
    EXPECT_EQ(withStick.reason(stick.at + "/.Trash-1001"),
              "The Trash is emptied from the Trash drain in Deep Clean");
    for (const std::string& p : {trashElsewhere.at, trashElsewhere.at + "/files/b"})
        EXPECT_TRUE(withStick.isProtected(p)) << p;
}

// The judgement does not depend on who asks: an unprivileged user reads the same identities.
TEST(DiskGuard, AnUnprivilegedUserGetsTheSameJudgement) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to an unprivileged user needs root";
    FakeHome f;
    const std::vector<std::string> names = {f.home, f.t.root() + "/home-link",
                                            f.t.root() + "/tree-link/home/u"};
    const int wrong = test::asNobody([&] { return std::min(judgeAllSpellings(f, names, 7u), 99); });
    EXPECT_EQ(wrong, 0) << "wrong judgements as nobody (120: no switch)";
}

}  // namespace
}  // namespace nimbrel
