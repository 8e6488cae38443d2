#include "engine/safety_guard.h"

#include <gtest/gtest.h>

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

TEST(SafetyGuard, HomeWithTrailingSlashStillProtected) {
    for (const HostLayout& layout : {HostLayout::macOS("/home/u/"), HostLayout::linux("/home/u/")}) {
        EXPECT_TRUE(SafetyGuard::isProtected("/home/u", layout));
        EXPECT_TRUE(SafetyGuard::isProtected("/home/u/Documents", layout));
        EXPECT_TRUE(SafetyGuard::contentsOnly(layout).count("/home/u/Library/Caches"));
    }
}

TEST(SafetyGuard, AncestorOfAHomeOutsideTheUsualPlacesIsProtected) {
    const HostLayout lin = HostLayout::linux("/srv/homes/u");
    EXPECT_TRUE(SafetyGuard::isProtected("/srv/homes", lin));
    EXPECT_TRUE(SafetyGuard::isProtected("/srv/homes/u/Downloads", lin));
    EXPECT_FALSE(SafetyGuard::isProtected("/srv/homes/other", lin));
}

TEST(SafetyGuard, TrashFolderOutsideTheHomeIsProtected) {
    HostLayout lin = HostLayout::linux("/home/u");
    lin.trashFolder = "/data/u/share/Trash";
    EXPECT_TRUE(SafetyGuard::isProtected("/data/u/share/Trash/", lin));
    EXPECT_TRUE(SafetyGuard::isProtected("/data/u", lin));
    EXPECT_FALSE(SafetyGuard::isProtected("/data/u/share/Trash/files/old.txt", lin));
    EXPECT_FALSE(SafetyGuard::isProtected("/data/other", lin));
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
        {mac, "/Volumes/Backup", "Part of macOS, never touched"},
        {lin, "/home/u/.cache", contents},
        {lin, "/home/u/", "Your home folder can't be nimbrelised"},
        {lin, "/home/u/.local/share/keyrings/login.keyring", passwords},
        {lin, "/home/u/.config", "Linux and your apps expect this folder to exist. Open it to clean inside"},
        {lin, "/usr/bin", "Part of Linux, never touched"},
        {lin, "/media/u/Stick", "Part of Linux, never touched"},
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
