#include "engine/safety_guard.h"

#include <gtest/gtest.h>

#include <random>

#include "scan_tree.h"

namespace nimbrel {

namespace {

struct GuardCase {
    const char* path;
    bool mac;    // protected on a macOS host
    bool linux;  // protected on a Linux host
};

}  // namespace

TEST(SafetyGuard, ProtectsSystemHomeKeysAndMountPoints) {
    const HostLayout mac = HostLayout::macOS("/Users/u");
    const HostLayout lin = HostLayout::linux("/Users/u");
    const GuardCase cases[] = {
        {"/", true, true},
        {"/Users", true, true},
        {"/Volumes", true, true},
        {"/Library/Caches", true, true},
        {"/Users/u", true, true},
        {"/Users/other", false, false},
        {"/Users/u/Documents", true, true},
        {"/Users/u/Documents/report.pdf", false, false},
        {"/Users/u/Library/Caches", true, true},
        {"/Users/u/Library/Caches/com.example.app", false, false},
        {"/Users/u/.ssh", true, true},
        {"/Users/u/.ssh/id_rsa", true, true},
        {"/Users/u/.sshd", false, false},
        {"/Users/u/Library/Keychains/login.keychain-db", true, true},
        {"/System/Library/Frameworks", true, true},
        {"/usr/lib/libz.dylib", true, true},
        {"/usr/local", true, true},
        {"/usr/local/bin/tool", false, false},
        {"/Volumes/Backup", true, true},
        {"/Volumes/Backup/Photos", false, false},
        {"~/Documents/../Documents/", true, true},
        {"/Users/u/./Pictures//", true, true},
        // The prefix folders themselves, not only what lies below them.
        {"/usr/bin", true, true},
        {"/usr/lib", true, true},
        {"/Library/Apple", true, true},
        {"/private/etc", true, true},
        {"/private/var/db", true, true},
        {"/var/db", true, true},
        // A folder holding a protected path goes with it.
        {"/private/var", true, true},
        {"/Library/Apple/../../private", true, true},
        // Linux additions.
        {"/home", false, true},
        {"/boot", false, true},
        {"/boot/vmlinuz", false, true},
        {"/lib/x86_64-linux-gnu/libc.so.6", false, true},
        {"/proc/1", false, true},
        {"/media/usb", false, true},
        {"/media/u/Stick", false, true},
        {"/media/u/Stick/Photos", false, false},
        {"/run/media/u/Stick", false, true},
        {"/mnt/disk", false, true},
        {"/var/lib", false, true},
        {"/var/lib/dpkg/status", false, true},
        {"/var/log/syslog", false, false},
        {"/Users/u/.config", false, true},
        {"/Users/u/.config/app", false, false},
        {"/Users/u/.local", false, true},
        {"/Users/u/.local/share/Trash", false, true},
        {"/Users/u/.local/share/keyrings/login.keyring", false, true},
        {"/Users/u/.cache", false, true},
        {"/Users/u/.cache/app", false, false},
        {"/srv/www", false, false},
    };
    for (const GuardCase& c : cases) {
        EXPECT_EQ(SafetyGuard::isProtected(c.path, mac), c.mac) << "macOS " << c.path;
        EXPECT_EQ(SafetyGuard::isProtected(c.path, lin), c.linux) << "Linux " << c.path;
    }
}

// Hosts that differ from the usual desktop: merged /usr, system accounts whose home is "/", other
// users' homes, and a home reached through a link.
TEST(SafetyGuard, LinuxHostVariants) {
    const HostLayout lin = HostLayout::linux("/home/u");
    for (const char* p : {"/usr/lib32", "/usr/lib32/libc.so.6", "/usr/libx32/ld.so",
                          "/usr/lib64/ld-linux.so.2", "/home/other", "/home/u", "/home/.ecryptfs"})
        EXPECT_TRUE(SafetyGuard::isProtected(p, lin)) << p;
    for (const char* p : {"/home/other/Downloads/a.iso", "/home/other/x", "/usr/lib32x"})
        EXPECT_FALSE(SafetyGuard::isProtected(p, lin)) << p;
    EXPECT_EQ(SafetyGuard::reason("/home/other", lin), "Another user's home folder is never touched");

    const HostLayout system = HostLayout::linux("/");
    for (const char* p :
         {"/.ssh", "/.ssh/id_rsa", "/.gnupg", "/Documents", "/.config", "/.local/share/Trash"})
        EXPECT_TRUE(SafetyGuard::isProtected(p, system)) << p;
    for (const auto& entry : system.guardExact)
        EXPECT_EQ(entry.find("//"), std::string::npos) << entry;
    for (const auto& entry : system.guardPrefixes)
        EXPECT_EQ(entry.find("//"), std::string::npos) << entry;
    EXPECT_EQ(system.trashFolder, "/.local/share/Trash");
    EXPECT_EQ(SafetyGuard::reason("/.ssh/id_rsa", system), "Your SSH and encryption keys are never touched");

    HostLayout linked = HostLayout::linux("/home/u");
    linked.addHomeSpelling("/mnt/data/u/");
    for (const char* p : {"/mnt/data/u", "/mnt/data/u/Documents", "/mnt/data/u/.ssh/id_rsa", "/mnt/data",
                          "/home/u/Documents", "/mnt/data/u/.local/share/Trash/files/a"})
        EXPECT_TRUE(SafetyGuard::isProtected(p, linked)) << p;
    EXPECT_FALSE(SafetyGuard::isProtected("/mnt/data/u/Documents/a.txt", linked));
    EXPECT_TRUE(linked.contentsOnly.count("/mnt/data/u/.cache"));
    EXPECT_EQ(linked.asLibraryPath("/mnt/data/u/.cache/pip"), "/mnt/data/u/Library/Caches/pip");
    EXPECT_EQ(SafetyGuard::reason("/mnt/data/u", linked), "Your home folder can't be nimbrelised");

    // A user folder deeper in the home keeps the folders that hold it.
    HostLayout deep = HostLayout::linux("/home/u");
    deep.addUserFolders("XDG_DOCUMENTS_DIR=\"$HOME/stuff/Documents\"\n");
    for (const char* p : {"/home/u/stuff", "/home/u/stuff/Documents"})
        EXPECT_TRUE(SafetyGuard::isProtected(p, deep)) << p;
    EXPECT_FALSE(SafetyGuard::isProtected("/home/u/stuff/old", deep));

    // A home outside the usual places keeps the folders that hold it.
    const HostLayout srv = HostLayout::linux("/srv/homes/u");
    EXPECT_TRUE(SafetyGuard::isProtected("/srv/homes", srv));
    EXPECT_TRUE(SafetyGuard::isProtected("/srv/homes/u/Downloads", srv));
    EXPECT_FALSE(SafetyGuard::isProtected("/srv/homes/other", srv));

    // A home given with a trailing slash.
    for (const HostLayout& layout : {HostLayout::macOS("/home/u/"), HostLayout::linux("/home/u/")}) {
        EXPECT_TRUE(SafetyGuard::isProtected("/home/u", layout));
        EXPECT_TRUE(SafetyGuard::isProtected("/home/u/Documents", layout));
        EXPECT_TRUE(SafetyGuard::contentsOnly(layout).count("/home/u/Library/Caches"));
    }
}

// What is in a Trash goes only when the Trash is emptied: moving it again would strand its restore
// information. Volume Trash folders are known by their names. The user's Trash outside the home is
// kept with the folders that hold it.
TEST(SafetyGuard, NothingInsideATrashIsRemovedOneByOne) {
    HostLayout lin = HostLayout::linux("/home/u");
    lin.trashFolder = "/data/u/share/Trash";
    const std::pair<const char*, bool> cases[] = {
        {"/data/u/share/Trash/", true},
        {"/data/u", true},
        {"/data/other", false},
        {"/data/u/share/Trash/files/old.txt", true},
        {"/data/u/share/Trash/info/old.txt.trashinfo", true},
        {"/media/u/Stick/.Trash-1000/files/node_modules", true},
        {"/media/u/Stick/.Trash-1000", true},
        {"/mnt/disk/.Trash/1000/files/a", true},
        {"/srv/data/.Trash-0/files/a", true},
        {"/media/u/Stick/.Trash-old/files/a", false},
        {"/media/u/Stick/.Trash/notes/a", false},
        {"/media/u/Stick/.Trashy-1000/a", false},
        {"/home/u/.local/share/Trash-notes/a", false},
    };
    for (const auto& [path, kept] : cases)
        EXPECT_EQ(SafetyGuard::isProtected(path, lin), kept) << path;
    EXPECT_EQ(SafetyGuard::reason("/data/u/share/Trash/files/old.txt", lin),
              "Already in the Trash: it goes when the Trash is emptied");
    EXPECT_EQ(SafetyGuard::reason("/mnt/disk/.Trash/1000/files/a", lin),
              "Already in the Trash: it goes when the Trash is emptied");
    EXPECT_TRUE(lin.isInsideTrash("/mnt/disk/.Trash-1000/x"));
    EXPECT_FALSE(lin.isInsideTrash("/mnt/disk/.Trash-1000"));
    EXPECT_FALSE(lin.isInsideTrash("/data/u/share/Trash"));
    EXPECT_FALSE(lin.isInsideTrash("/mnt/disk/.Trash"));
}

// Every Trash and the shared ".Trash" that holds the volume's users' Trash folders are kept, under
// any spelling that names them, the Trash names in any letter case; what merely looks like one is
// not.
TEST(SafetyGuard, EveryTrashIsKeptUnderAnySpelling) {
    HostLayout lin = HostLayout::linux("/home/u");
    lin.trashFolder = "/home/u/.local/share/Trash";
    const std::pair<const char*, bool> cases[] = {
        {"/media/u/Stick/.Trash", true},
        {"/mnt/disk/.Trash/1000", true},
        {"/mnt/disk/.Trash/1000/files/a", true},
        {"/srv/data/.Trash", true},
        {"/srv/data/.Trash/0/info/a.trashinfo", true},
        {"/srv/data/.Trash-1000", true},
        {"/srv/data/.Trash-1000/files/photos/a.jpg", true},
        {"/home/u/.local/share/Trash/files/x", true},
        {"/srv/data/.Trash/notes/a", false},
        {"/srv/data/.Trashes", false},
        {"/srv/data/.Trash-10x0/a", false},
        {"/srv/data/.Trash-/a", false},
        {"/srv/data/Trash", false},
        {"/srv/data/photos/a.Trash", false},
    };
    std::mt19937 random(20261209u);
    for (const auto& [plain, kept] : cases) {
        EXPECT_EQ(SafetyGuard::isProtected(plain, lin), kept) << plain;
        for (int i = 0; i < 200; ++i) {
            const std::string spelled = test::respell(plain, random, true);
            ASSERT_EQ(SafetyGuard::isProtected(spelled, lin), kept) << spelled;
        }
    }
}

TEST(SafetyGuard, ContentsOnlyFolders) {
    EXPECT_EQ(SafetyGuard::contentsOnly(HostLayout::macOS("/Users/u")),
              (std::unordered_set<std::string>{"/Users/u/Library/Caches", "/Users/u/Library/Logs"}));
    const HostLayout lin = HostLayout::linux("/home/u");
    EXPECT_TRUE(SafetyGuard::contentsOnly(lin).count("/home/u/.cache"));
    EXPECT_FALSE(SafetyGuard::contentsOnly(lin).count("/home/u/.cache/app"));
}

TEST(SafetyGuard, ReasonTexts) {
    const HostLayout mac = HostLayout::macOS("/Users/u");
    const HostLayout lin = HostLayout::linux("/home/u");
    const std::string contents =
        "The folder stays; everything inside it is nimbrelised (except Apple's own com.apple.* items)";
    const std::string keys = "Your SSH and encryption keys are never touched";
    const std::string passwords = "Your saved passwords and certificates are never touched";
    const std::string trash = "The Trash is emptied from the Trash drain in Deep Clean";
    const std::string volume = "A mounted volume can't be nimbrelised. Open it to clean inside";
    const struct {
        const HostLayout& layout;
        const char* path;
        std::string text;
    } cases[] = {
        {mac, "/Users/u/Library/Caches/", contents},
        {mac, "/Users/u/Library/Logs", contents},
        {mac, "/Users/u", "Your home folder can't be nimbrelised"},
        {mac, "/Users/u/Library/Keychains/login.keychain-db", passwords},
        {mac, "/Users/u/.ssh/id_rsa", keys},
        {mac, "/Users/u/.gnupg/pubring.kbx", keys},
        {mac, "/Users/u/Pictures",
         "macOS and your apps expect this folder to exist. Open it to clean inside"},
        {mac, "/usr/lib/libz.dylib", "Part of macOS, never touched"},
        {mac, "/Volumes/Backup", volume},
        {mac, "/Users/u/.Trash", trash},
        {lin, "/home/u/.cache", contents},
        {lin, "/home/u/", "Your home folder can't be nimbrelised"},
        {lin, "/home/u/.local/share/keyrings/login.keyring", passwords},
        {lin, "/home/u/.config", "Linux and your apps expect this folder to exist. Open it to clean inside"},
        {lin, "/usr/bin", "Part of Linux, never touched"},
        {lin, "/media", "Part of Linux, never touched"},
        {lin, "/media/u/Stick", volume},
        {lin, "/mnt/disk", volume},
        {lin, "/home/u/.local/share/Trash", trash},
        {lin, "/media/u/Stick/.Trash-1001", trash},
        {lin, "/mnt/disk/.Trash/1001", trash},
        {lin, "/mnt/disk/.Trash", trash},
        {lin, "/mnt/disk/.Trash-1001/files/a", "Already in the Trash: it goes when the Trash is emptied"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafetyGuard::reason(c.path, c.layout), c.text) << c.path;
}

TEST(SafetyGuard, CurrentHostUsesItsOwnHome) {
    const HostLayout& current = HostLayout::current();
    EXPECT_TRUE(SafetyGuard::isProtected(current.home));
    EXPECT_TRUE(SafetyGuard::isProtected("~"));
    EXPECT_EQ(SafetyGuard::contentsOnly(), current.contentsOnly);
}

}  // namespace nimbrel
