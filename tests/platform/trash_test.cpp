#include "platform/trash.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>

#include "platform/file_operations.h"
#include "platform/trash_emptier.h"
#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using test::allocated;
using test::exists;
using test::TempTree;

// GLib reads XDG_DATA_HOME once, at its first use: point it at a temporary folder before anything
// in this test program starts.
const TempTree& dataHome() {
    static TempTree tree;
    return tree;
}
const bool kDataHomeSet = [] { return setenv("XDG_DATA_HOME", dataHome().root().c_str(), 1) == 0; }();

std::string trashFolder() {
    return dataHome().path("Trash");
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

// To the Trash the credit is what emptying it will give back: a hard-linked file whose other name
// stays outside the moved item keeps its data on disk and counts for nothing.
TEST(TrashTest, CreditsOnlyWhatEmptyingTheTrashGivesBack) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    const std::string keep = tree.file("outside/keep.bin", 20000);
    const std::string sole = tree.file("folder/sole.bin", 30000);
    tree.file("folder/twin-a.bin", 50000);
    tree.folder("folder/sub");
    ASSERT_EQ(link(tree.path("folder/twin-a.bin").c_str(), tree.path("folder/sub/twin-b.bin").c_str()), 0);
    ASSERT_EQ(link(keep.c_str(), tree.path("folder/shared.bin").c_str()), 0);
    const std::string lone = tree.file("lone.bin", 40000);
    const std::string linkedFile = tree.path("linked.bin");
    ASSERT_EQ(link(keep.c_str(), linkedFile.c_str()), 0);
    const std::string folderLinkedOut = tree.folder("pair/in");
    const std::string pairA = tree.file("pair/in/a.bin", 60000);
    ASSERT_EQ(link(pairA.c_str(), tree.path("pair/out.bin").c_str()), 0);

    // Deeper than a path can spell: a file at the top and more down a chain of 3,000 folders, each
    // the size of the top one on disk.
    const std::string deep = tree.folder("deep");
    const int64_t fileBytes = allocated(tree.file("deep/top.bin", 7000));
    const int chained = test::buildChain(deep, 3000, 7000);
    ASSERT_GT(chained, 0);
    const int64_t deepBytes = fileBytes * (1 + chained);
    const int64_t soleBytes = allocated(sole), twinBytes = allocated(tree.path("folder/twin-a.bin"));
    const int64_t loneBytes = allocated(lone);
    struct Case {
        std::string path;
        std::optional<int64_t> scanned;  // what a scan said, which must not decide
        int64_t credited;
    };
    const std::vector<Case> cases = {
        {tree.path("folder"), 999999, soleBytes + twinBytes},  // twins once, the shared file not at all
        {lone, std::nullopt, loneBytes},
        {linkedFile, 20480, 0},       // another name keeps it
        {folderLinkedOut, 61440, 0},  // its only file has a name outside
        {deep, std::nullopt, deepBytes},
    };
    FileOperations ops({tree.root()});
    for (const Case& c : cases) {
        RemovalResult result = RemovalWorker(ops, false).run({{c.path, c.scanned, false}});
        EXPECT_TRUE(result.failures.empty()) << c.path;
        ASSERT_TRUE(result.freed.count(c.path)) << c.path;
        EXPECT_EQ(result.freed.at(c.path), c.credited) << c.path;
        EXPECT_FALSE(exists(c.path)) << c.path;
    }
    EXPECT_TRUE(exists(keep));
    TrashEmptier::emptyFolder(trashFolder());
}

TEST(TrashTest, MovesFilesFoldersAndLinksWhereOtherClientsFindThem) {
    ASSERT_TRUE(kDataHomeSet);
    TrashEmptier::emptyFolder(trashFolder());  // other tests of this program trash too
    // Beside the data home, so on the home's file system.
    TempTree tree;
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    std::string file = tree.file("a b%.txt");
    std::string folder = tree.folder("folder");
    tree.file("folder/inner.txt");
    std::string link = tree.link("link", outside);

    for (const std::string& path : {file, folder, link}) {
        EXPECT_FALSE(Trash::moveToTrash(path)) << path;
        EXPECT_FALSE(exists(path)) << path;
    }
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));

    auto info = namesIn(trashFolder() + "/info");
    ASSERT_EQ(info.size(), 3u);
    ASSERT_TRUE(exists(trashFolder() + "/info/a b%.txt.trashinfo"));
    std::string text = readAll(trashFolder() + "/info/a b%.txt.trashinfo");
    EXPECT_NE(text.find("[Trash Info]"), std::string::npos) << text;
    EXPECT_NE(text.find("Path=" + tree.root() + "/a%20b%25.txt\n"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(lstat((trashFolder() + "/files/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Emptying leaves files/ and info/ empty and the link's folder untouched.
    EXPECT_TRUE(TrashEmptier::emptyFolder(trashFolder()).empty());
    EXPECT_TRUE(namesIn(trashFolder() + "/files").empty());
    EXPECT_TRUE(namesIn(trashFolder() + "/info").empty());
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
}

// Every item in files/ has its .trashinfo and every .trashinfo its item.
void expectConsistent(const std::string& trash) {
    std::vector<std::string> files = namesIn(trash + "/files"), infos;
    for (const std::string& info : namesIn(trash + "/info")) {
        ASSERT_GT(info.size(), 10u) << info;
        infos.push_back(info.substr(0, info.size() - 10));
    }
    std::sort(files.begin(), files.end());
    std::sort(infos.begin(), infos.end());
    EXPECT_EQ(files, infos);
}

// The info's Path= with its %XX escapes read back.
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Any name moves, and its info gives back its exact bytes: a name too long to take ".trashinfo"
// is shortened in files/, never refused.
TEST(TrashTest, NamesOfAnyBytesAndLengthComeBackFromTheInfo) {
    ASSERT_TRUE(kDataHomeSet);
    TrashEmptier::emptyFolder(trashFolder());
    TempTree tree;
    std::string accents;
    while (accents.size() + 2 <= 254)
        accents += "\xc3\xa9";  // "é", two bytes: a cut must not split one
    const std::string names[] = {
        "line\nfeed",          "100%25 sure %", std::string("odd\xff\xfe"), "-rf", "--",
        std::string(255, 'x'), accents,
    };
    for (const std::string& name : names) {
        const std::string path = tree.root() + "/" + name;
        std::ofstream(path) << "data";
        ASSERT_TRUE(exists(path)) << name.size();
        const auto error = Trash::moveToTrash(path);
        EXPECT_FALSE(error) << (error ? error->description : "");
        EXPECT_FALSE(exists(path)) << name.size();
    }
    expectConsistent(trashFolder());
    std::vector<std::string> restored;
    for (const std::string& info : namesIn(trashFolder() + "/info")) {
        const std::string text = readAll(trashFolder() + "/info/" + info);
        const size_t at = text.find("\nPath=");
        ASSERT_NE(at, std::string::npos) << text;
        const std::string line = text.substr(at + 6, text.find('\n', at + 1) - at - 6);
        EXPECT_EQ(line.find_first_of("\n\xff"), std::string::npos) << "escaped in the info: " << line;
        restored.push_back(percentDecoded(line));
        // What is in files/ is where the info says: a UTF-8 name is cut between characters.
        const std::string stored = info.substr(0, info.size() - 10);
        EXPECT_LE(info.size(), size_t(NAME_MAX));
        if (stored.size() >= 2 && stored[0] == '\xc3') {
            EXPECT_EQ(stored.size() % 2, 0u);
        }
    }
    std::vector<std::string> expected;
    for (const std::string& name : names)
        expected.push_back(tree.root() + "/" + name);
    std::sort(restored.begin(), restored.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(restored, expected);
    TrashEmptier::emptyFolder(trashFolder());
}

TEST(TrashTest, MovesNothingThroughAFolderSwappedForALink) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    tree.file("elsewhere/b/victim.txt");
    tree.file("scanned/b/victim.txt");
    std::filesystem::rename(tree.path("scanned"), tree.path("scanned-away"));
    tree.link("scanned", tree.path("elsewhere"));
    auto error = Trash::moveToTrash(tree.path("scanned/b/victim.txt"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->cause, RemovalError::Cause::pathChanged);
    EXPECT_TRUE(exists(tree.path("elsewhere/b/victim.txt")));
    // The spelling must be the one normal path; no other is tried.
    for (const std::string& odd :
         {tree.path("elsewhere/b/../b/victim.txt"), tree.path("elsewhere//b/victim.txt")}) {
        auto refused = Trash::moveToTrash(odd);
        ASSERT_TRUE(refused) << odd;
        EXPECT_EQ(refused->cause, RemovalError::Cause::notNormal) << odd;
    }
    EXPECT_TRUE(exists(tree.path("elsewhere/b/victim.txt")));
    expectConsistent(trashFolder());
}

// Bind mounts and memory file systems, as root.
TEST(TrashTest, MountsAreNeverCarriedIntoATrash) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    tree.file("source/precious.txt");
    tree.file("holder/a.txt");
    tree.folder("holder/deep/bound");
    auto bound = test::ScopedMount::bind(tree.path("source"), tree.path("holder/deep/bound"));
    if (!bound.ok()) GTEST_SKIP() << "cannot bind-mount here (" << bound.error() << ")";
    for (const std::string& ticked : {tree.path("holder"), tree.path("holder/deep/bound")}) {
        auto error = Trash::moveToTrash(ticked);
        ASSERT_TRUE(error) << ticked;
        EXPECT_EQ(error->cause, RemovalError::Cause::mountPoint) << ticked;
    }
    EXPECT_TRUE(exists(tree.path("holder/a.txt")));
    EXPECT_TRUE(exists(tree.path("holder/deep/bound/precious.txt")));
    expectConsistent(trashFolder());
}

// A file system without a Trash: the ticked folder is one failure and is never taken apart, even
// when its item allows emptying it instead.
TEST(TrashTest, NoTrashIsOneFailureForTheTickedItem) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    tree.folder("memory");
    auto memory = test::ScopedMount::tmpfs(tree.path("memory"));
    if (!memory.ok()) GTEST_SKIP() << "cannot mount a tmpfs here (" << memory.error() << ")";
    for (int i = 0; i < 300; ++i)
        tree.file("memory/node_modules/pkg" + std::to_string(i % 30) + "/f" + std::to_string(i));
    tree.file("memory/loose.txt");
    FileOperations ops(std::vector<std::string>{});
    auto result = RemovalWorker(ops, false)
                      .run({{tree.path("memory/node_modules"), std::nullopt, true},
                            {tree.path("memory/loose.txt"), 4, true}});
    EXPECT_TRUE(result.freed.empty());
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0].path, tree.path("memory/node_modules"));
    EXPECT_EQ(result.failures[1].path, tree.path("memory/loose.txt"));
    for (const DeletionFailure& failure : result.failures)
        EXPECT_EQ(failure.reason, DeletionFailure::Reason::other) << failure.detail;
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(tree.path("memory/node_modules")),
                            std::filesystem::recursive_directory_iterator()),
              330);
    EXPECT_FALSE(exists(tree.path("memory/.Trash-" + std::to_string(geteuid()))));
}

// Each item goes to the Trash of its own file system. Another file system has its Trash at its
// top, with the original path relative to that top; the home's own file system reached through a
// bind mount uses the home Trash, where its figure and the other clients see it.
TEST(TrashTest, EachItemGoesToTheTrashOfItsFileSystem) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    tree.folder("vol");
    tree.folder("bound-home");
    auto volume = test::ScopedMount::ext4(tree.path("disk.img"), tree.path("vol"));
    if (!volume.ok()) GTEST_SKIP() << "cannot mount a file system image here (" << volume.error() << ")";
    tree.file("vol/docs/report.txt", 3000);
    EXPECT_FALSE(Trash::moveToTrash(tree.path("vol/docs/report.txt")));
    const std::string trash = tree.path("vol/.Trash-" + std::to_string(geteuid()));
    EXPECT_FALSE(exists(tree.path("vol/docs/report.txt")));
    EXPECT_TRUE(exists(trash + "/files/report.txt"));
    EXPECT_NE(readAll(trash + "/info/report.txt.trashinfo").find("\nPath=docs/report.txt\n"),
              std::string::npos);
    // A second item of the same name takes the next free name.
    tree.file("vol/report.txt");
    EXPECT_FALSE(Trash::moveToTrash(tree.path("vol/report.txt")));
    EXPECT_TRUE(exists(trash + "/files/report.txt.2"));
    expectConsistent(trash);

    const std::string name = "through-bind-" + std::to_string(getpid()) + ".txt";
    std::ofstream(dataHome().path(name)) << "kept in the home Trash";
    auto bind = test::ScopedMount::bind(dataHome().root(), tree.path("bound-home"));
    ASSERT_TRUE(bind.ok()) << bind.error();
    EXPECT_FALSE(Trash::moveToTrash(tree.path("bound-home/" + name)));
    EXPECT_FALSE(exists(dataHome().path(name)));
    EXPECT_TRUE(exists(trashFolder() + "/files/" + name));
    EXPECT_FALSE(exists(dataHome().path(".Trash-" + std::to_string(geteuid()))));
    EXPECT_NE(
        readAll(trashFolder() + "/info/" + name + ".trashinfo").find("\nPath=" + tree.path("bound-home/")),
        std::string::npos);
    // A file system mounted in the home after the bind was made is not seen through the bind, but
    // the move from the home's side would carry it into the Trash: refused there too.
    const std::string holder = "holder-" + std::to_string(getpid());
    std::filesystem::create_directories(dataHome().path(holder + "/vol"));
    auto inside = test::ScopedMount::tmpfs(dataHome().path(holder + "/vol"));
    ASSERT_TRUE(inside.ok()) << inside.error();
    const auto carried = Trash::moveToTrash(tree.path("bound-home/" + holder));
    ASSERT_TRUE(carried);
    EXPECT_EQ(carried->cause, RemovalError::Cause::mountPoint);
    EXPECT_TRUE(exists(dataHome().path(holder + "/vol")));
    expectConsistent(trashFolder());
    TrashEmptier::emptyFolder(trashFolder());
}

// An overlay cannot rename a folder of its lower layer: the move fails whole, says why, and leaves
// no info behind; a file of the lower layer moves.
TEST(TrashTest, OverlayFolderThatCannotMoveStaysWhole) {
    TempTree tree;
    tree.file("lower/dir/inner.txt", 3000);
    tree.file("lower/loose.txt", 3000);
    tree.folder("upper");
    tree.folder("work");
    tree.folder("merged");
    auto overlay = test::ScopedMount::overlay(tree.path("lower"), tree.path("upper"), tree.path("work"),
                                              tree.path("merged"));
    if (!overlay.ok()) GTEST_SKIP() << "cannot mount an overlay here (" << overlay.error() << ")";
    const auto folder = Trash::moveToTrash(tree.path("merged/dir"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->cause, RemovalError::Cause::noTrash);
    EXPECT_NE(folder->description.find("can't move it into its Trash"), std::string::npos)
        << folder->description;
    EXPECT_TRUE(exists(tree.path("merged/dir/inner.txt")));
    EXPECT_FALSE(Trash::moveToTrash(tree.path("merged/loose.txt")));
    const std::string trash = tree.path("merged/.Trash-" + std::to_string(geteuid()));
    EXPECT_TRUE(exists(trash + "/files/loose.txt"));
    EXPECT_FALSE(exists(trash + "/info/dir.trashinfo"));
    expectConsistent(trash);
}

TEST(TrashTest, FailedMoveLeavesThePathInPlace) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    auto missing = Trash::moveToTrash(tree.path("missing"));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->isNotFound());

    // A file system without a usable Trash: the move fails and nothing else is tried.
    char shm[] = "/dev/shm/nimbrel-XXXXXX";
    if (!mkdtemp(shm)) GTEST_SKIP() << "no /dev/shm";
    std::string file = std::string(shm) + "/f.txt";
    std::ofstream(file) << "data";
    auto error = Trash::moveToTrash(file);
    bool stayed = exists(file);
    std::filesystem::remove_all(shm);
    struct stat shmStat {
    }, homeStat{};
    stat("/dev/shm", &shmStat);
    stat(dataHome().root().c_str(), &homeStat);
    if (shmStat.st_dev == homeStat.st_dev) GTEST_SKIP() << "/dev/shm is not a separate file system";
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isNotFound());
    EXPECT_FALSE(error->description.empty());
    EXPECT_TRUE(stayed);
}

TEST(TrashEmptierTest, EmptiesEveryPartAndKeepsWhatItCannotRemoveListed) {
    TempTree tree;
    std::string trash = tree.folder("Trash");
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    tree.file("Trash/files/gone.txt");
    tree.file("Trash/info/gone.txt.trashinfo");
    tree.file("Trash/files/dir/inner/x.bin", 4096);
    tree.file("Trash/info/dir.trashinfo");
    tree.link("Trash/files/link", outside);
    tree.file("Trash/info/link.trashinfo");
    tree.file("Trash/expunged/old");
    tree.file("Trash/directorysizes");
    // A trashed name of a file that is kept elsewhere too: emptying gives back nothing of it.
    ASSERT_EQ(
        link(tree.file("outside/kept-twice.bin", 30000).c_str(), tree.path("Trash/files/twice.bin").c_str()),
        0);
    tree.file("Trash/info/twice.bin.trashinfo");
    int64_t given = 0;
    for (const char* file :
         {"files/gone.txt", "info/gone.txt.trashinfo", "files/dir/inner/x.bin", "info/dir.trashinfo",
          "info/link.trashinfo", "info/twice.bin.trashinfo", "expunged/old"})
        given += allocated(trash + "/" + file);

    int64_t freed = 0;
    EXPECT_TRUE(TrashEmptier::emptyFolder(trash, &freed).empty());
    EXPECT_EQ(freed, given);
    for (const char* part : {"files", "info", "expunged"}) {
        EXPECT_TRUE(exists(trash + "/" + part)) << part;
        EXPECT_TRUE(namesIn(trash + "/" + part).empty()) << part;
    }
    EXPECT_FALSE(exists(trash + "/directorysizes"));
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
}

TEST(TrashEmptierTest, TrashThatIsALinkIsEmptiedThroughItButItsPartsAreNot) {
    TempTree tree;
    // The Trash folder itself a link (a data home kept on another disk): emptied where it leads.
    tree.file("real-trash/files/old.bin", 5000);
    tree.file("real-trash/info/old.bin.trashinfo");
    tree.file("real-trash/files/dir/inner.txt");
    tree.file("real-trash/info/dir.trashinfo");
    tree.link("Trash", tree.path("real-trash"));
    EXPECT_TRUE(TrashEmptier::emptyFolder(tree.path("Trash")).empty());
    EXPECT_TRUE(namesIn(tree.path("real-trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("real-trash/info")).empty());

    // A part of it that is a link leads out of the Trash: not followed, and reported as stayed.
    std::string elsewhere = tree.folder("elsewhere");
    tree.file("elsewhere/precious.txt");
    tree.folder("Trash2");
    tree.link("Trash2/files", elsewhere);
    auto stayed = TrashEmptier::emptyFolder(tree.path("Trash2"));
    ASSERT_EQ(stayed.size(), 1u);
    EXPECT_NE(stayed[0].find("Trash2/files"), std::string::npos) << stayed[0];
    EXPECT_TRUE(exists(tree.path("elsewhere/precious.txt")));
}

// A Trash folder that a link leads to the home, one of its main folders or a system folder is
// neither filled nor emptied there: its files/ and info/ would be the user's own folders.
TEST(TrashEmptierTest, TrashLinkedToAKeptFolderIsNeverUsed) {
    TempTree tree;
    const std::string home = tree.folder("home");
    tree.folder("home/Documents/files");
    const HostLayout layout = HostLayout::linux(home);
    tree.folder("home/elsewhere");
    tree.folder("home/Documents/trash");
    const std::pair<std::string, bool> cases[] = {
        {home + "/Documents", true},        {home, true}, {"/etc", true}, {"/", true},
        {home + "/elsewhere", false},        // a data home kept in a folder of its own
        {home + "/Documents/trash", false},  // inside a main folder is not the folder itself
        {home + "/missing", false},          // a dangling link is made into a folder, not judged
    };
    for (const auto& [target, kept] : cases) {
        std::filesystem::remove(tree.path("Trash"));
        tree.link("Trash", target);
        EXPECT_EQ(Trash::keptPlaceBehind(tree.path("Trash"), layout).has_value(), kept) << target;
    }
    // The Trash of a real folder is never judged by what it holds.
    EXPECT_FALSE(Trash::keptPlaceBehind(tree.folder("plain/Trash"), layout));

    // On this machine: a volume's Trash linked to a mount point folder (kept by its place) stays.
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a folder under /mnt";
    char pattern[] = "/mnt/nimbrel-kept-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::string mountPlace = pattern;
    std::filesystem::create_directories(mountPlace + "/files/precious");
    std::ofstream(mountPlace + "/files/precious/a.txt") << "keep";
    std::filesystem::remove(tree.path("Trash"));
    tree.link("Trash", mountPlace);
    const auto stayed = TrashEmptier::emptyFolder(tree.path("Trash"));
    bool kept = exists(mountPlace + "/files/precious/a.txt");
    // Nor is this program's own Trash filled there.
    const std::string ownTrash = trashFolder(), aside = trashFolder() + "-aside";
    std::filesystem::create_directories(ownTrash);  // run alone, no earlier test has made it
    std::filesystem::rename(ownTrash, aside);
    std::filesystem::create_directory_symlink(mountPlace, ownTrash);
    const std::string item = tree.file("item.txt");
    const auto refused = Trash::moveToTrash(item);
    kept = kept && exists(item) && !exists(mountPlace + "/files/item.txt");
    std::filesystem::remove(ownTrash);
    std::filesystem::rename(aside, ownTrash);
    std::filesystem::remove_all(mountPlace);
    EXPECT_TRUE(kept);
    ASSERT_EQ(stayed.size(), 1u);
    EXPECT_NE(stayed[0].find("never emptied"), std::string::npos) << stayed[0];
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->cause, RemovalError::Cause::noTrash);
}

// As an unprivileged user: the user's own folders in the Trash whose modes forbid emptying them
// (644, 555, 000) are given u+rwx and go; someone else's stays and is reported with its info.
TEST(TrashEmptierTest, OwnLockedFoldersGoOthersStayListed) {
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    const std::string trash = tree.folder("Trash");
    tree.file("Trash/files/no-exec/a.txt");
    tree.file("Trash/files/read-only/sub/b.txt");
    tree.file("Trash/files/nothing/c.txt");
    tree.file("Trash/files/theirs/d.txt");
    for (const char* name : {"no-exec", "read-only", "nothing", "theirs"})
        tree.file(std::string("Trash/info/") + name + ".trashinfo");
    const std::string report = tree.file("report.txt", 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(trash))
        lchown(entry.path().c_str(), 65534, 65534);
    chown(trash.c_str(), 65534, 65534);
    chown(report.c_str(), 65534, 65534);
    chown(tree.path("Trash/files/theirs").c_str(), 0, 0);
    chown(tree.path("Trash/files/theirs/d.txt").c_str(), 0, 0);
    chmod(tree.path("Trash/files/theirs").c_str(), 0755);
    chmod(tree.path("Trash/files/no-exec").c_str(), 0644);
    chmod(tree.path("Trash/files/read-only/sub").c_str(), 0555);
    chmod(tree.path("Trash/files/read-only").c_str(), 0555);
    chmod(tree.path("Trash/files/nothing").c_str(), 0);

    int code = test::runUnprivileged([&] {
        std::ofstream out(report);
        for (const std::string& line : TrashEmptier::emptyFolder(trash))
            out << line << "\n";
        return 0;
    });
    if (code == 120 || code == -1 || geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(code, 0);
    EXPECT_EQ(namesIn(trash + "/files"), (std::vector<std::string>{"theirs"}));
    EXPECT_EQ(namesIn(trash + "/info"), (std::vector<std::string>{"theirs.trashinfo"}));
    const std::string lines = readAll(report);
    EXPECT_NE(lines.find("theirs/d.txt"), std::string::npos) << lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
}

TEST(TrashEmptierTest, EmptiesAFolderOfAnyDepth) {
    TempTree tree;
    auto memory = test::ScopedMount::tmpfs(tree.root());  // faster to build where possible
    tree.folder("Trash/files/deep");
    tree.file("Trash/info/deep.trashinfo");
    ASSERT_EQ(test::buildChain(tree.path("Trash/files/deep"), 11000, 100), 11);
    int code = test::runInChild([&] {
        struct rlimit limit {
            64, 64
        };
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
        return TrashEmptier::emptyFolder(tree.path("Trash")).empty() ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(namesIn(tree.path("Trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("Trash/info")).empty());
}

// A Trash folder the user does not own is no Trash of theirs: nothing was trashed there, so emptying
// never touches it (a link is never one either).
TEST(TrashEmptierTest, FindsVolumeTrashFoldersOfThisUser) {
    const std::string me = std::to_string(getuid()), other = std::to_string(getuid() + 1);
    TempTree tree;
    std::string volume = tree.folder("my volume");
    tree.folder("my volume/.Trash-" + me);
    tree.folder("my volume/.Trash/" + me);
    chmod((volume + "/.Trash").c_str(), 01777);
    std::string plain = tree.folder("plain");
    tree.folder("plain/.Trash/" + me);     // not sticky: not a shared Trash
    tree.folder("plain/.Trash-" + other);  // another user's
    std::string foreign = tree.folder("foreign");
    symlink(volume.c_str(), (foreign + "/.Trash-" + me).c_str());
    if (geteuid() == 0) {
        tree.folder("foreign/.Trash/" + me);
        chmod((foreign + "/.Trash").c_str(), 01777);
        tree.folder("plain/.Trash-" + me);
        ASSERT_EQ(chown((foreign + "/.Trash/" + me).c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown((plain + "/.Trash-" + me).c_str(), 65534, 65534), 0);
    }

    std::string escaped = volume;
    escaped.replace(escaped.find(' '), 1, "\\040");
    std::string mountInfo = "36 35 98:0 / " + escaped + " rw,noatime - ext4 /dev/sdb1 rw\n" +
                            "37 35 98:1 / " + plain + " rw - ext4 /dev/sdb2 rw\n" + "38 35 98:2 / " +
                            foreign + " rw - ext4 /dev/sdb3 rw\n";
    EXPECT_EQ(TrashEmptier::volumeTrashFolders(mountInfo, getuid()),
              (std::vector<std::string>{volume + "/.Trash/" + me, volume + "/.Trash-" + me}));
}

}  // namespace
}  // namespace nimbrel
