#include "engine/host_layout.h"

#include <gtest/gtest.h>

namespace nimbrel {

TEST(HostLayout, HomeIsNormalisedAndLinuxAddsItsFolders) {
    HostLayout mac = HostLayout::macOS("/Users/u/");
    EXPECT_EQ(mac.home, "/Users/u");
    EXPECT_TRUE(mac.guardExact.count("/Users/u"));
    EXPECT_TRUE(mac.systemSkips.count("/home"));
    EXPECT_EQ(mac.trashFolder, "/Users/u/.Trash");
    EXPECT_EQ(mac.guardExact.size(), 45u);
    EXPECT_EQ(mac.guardPrefixes.size(), 16u);

    HostLayout lin = HostLayout::linux("/home/u//");
    EXPECT_EQ(lin.home, "/home/u");
    EXPECT_FALSE(lin.systemSkips.count("/home"));
    for (const char* p : {"/proc", "/sys", "/run", "/media", "/mnt", "/snap", "/Volumes"})
        EXPECT_TRUE(lin.systemSkips.count(p)) << p;
    EXPECT_TRUE(lin.contentsOnly.count("/home/u/.cache"));
    EXPECT_TRUE(lin.contentsOnly.count("/home/u/Library/Caches"));
    EXPECT_TRUE(lin.fullDiskAccessProbes.empty());
}

TEST(HostLayout, MountPointsByPlace) {
    HostLayout lin = HostLayout::linux("/home/u");
    for (const char* p :
         {"/Volumes/Backup", "/media/Stick", "/media/u/Stick", "/run/media/u/Stick", "/mnt/disk"})
        EXPECT_TRUE(lin.isMountPointPath(p)) << p;
    for (const char* p : {"/Volumes", "/Volumes/Backup/Photos", "/run/media/u", "/mnt/disk/a"})
        EXPECT_FALSE(lin.isMountPointPath(p)) << p;
    EXPECT_FALSE(HostLayout::macOS("/Users/u").isMountPointPath("/mnt/disk"));
}

TEST(HostLayout, LibraryEquivalentsRewriteOnlyWholeFolders) {
    HostLayout lin = HostLayout::linux("/home/u");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.cache/pip"), "/home/u/Library/Caches/pip");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.config"), "/home/u/Library/Preferences");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.cachet"), "/home/u/.cachet");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.local/share/pnpm/store/v3"), "/home/u/Library/pnpm/store/v3");
    EXPECT_EQ(HostLayout::macOS("/Users/u").asLibraryPath("/Users/u/.cache"), "/Users/u/.cache");
}

}  // namespace nimbrel
