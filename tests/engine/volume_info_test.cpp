#include "engine/volume_info.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace nimbrel {

TEST(VolumeInfo, ParsesTheMountTable) {
    const std::string table =
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "40 27 8:17 / /media/u/My\\040Disk rw,nosuid shared:5 master:1 - exfat /dev/sdb1 rw\n"
        "41 27 8:2 /srv/data /srv/data rw - ext4 /dev/sda2 rw\n"
        "garbage line\n"
        "42 27 0:40 / /mnt/odd rw - nfs server:/export rw,vers=4\n";
    const auto entries = VolumeInfo::parseMountInfo(table);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].mountPoint, "/");
    EXPECT_EQ(entries[0].major, 254u);
    EXPECT_EQ(entries[1].mountPoint, "/media/u/My Disk");
    EXPECT_EQ(entries[1].fsType, "exfat");
    EXPECT_EQ(entries[1].source, "/dev/sdb1");
    EXPECT_EQ(entries[1].minor, 17u);
    EXPECT_EQ(entries[2].root, "/srv/data");
    EXPECT_EQ(entries[3].fsType, "nfs");
}

TEST(VolumeInfo, ShowsOnlyWholeOnDiskVolumesOutsideSystemPlaces) {
    const struct {
        const char* mountPoint;
        const char* type;
        const char* root;
        bool shown;
    } cases[] = {
        {"/", "overlay", "/", true},  // the root file system whatever its type
        {"/home", "ext4", "/", true},
        {"/media/u/Stick", "vfat", "/", true},
        {"/run/media/u/Stick", "exfat", "/", true},
        {"/mnt/win", "fuseblk", "/", true},
        {"/mnt/data", "btrfs", "/", true},
        {"/srv/bound", "ext4", "/srv/data", false},
        {"/proc", "proc", "/", false},
        {"/sys/fs/cgroup", "cgroup2", "/", false},
        {"/dev/shm", "tmpfs", "/", false},
        {"/tmp", "tmpfs", "/", false},
        {"/snap/core/123", "squashfs", "/", false},
        {"/var/lib/docker/overlay2/x/merged", "overlay", "/", false},
        {"/var/lib/docker/btrfs", "btrfs", "/", false},
        {"/mnt/nas", "nfs4", "/", false},
        {"/mnt/share", "cifs", "/", false},
        {"/home/u/remote", "fuse.sshfs", "/", false},
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", "/", false},
        {"/run/something", "ext4", "/", false},
        {"/boot", "ext4", "/", false},
        {"/boot/efi", "vfat", "/", false},
    };
    for (const auto& c : cases) {
        VolumeInfo::MountEntry e;
        e.mountPoint = c.mountPoint;
        e.fsType = c.type;
        e.root = c.root;
        EXPECT_EQ(VolumeInfo::isShownMount(e), c.shown) << c.mountPoint << " " << c.type;
    }
}

TEST(VolumeInfo, RootFirstThenNamesInCodePointOrder) {
    auto volume = [](const char* url, const char* name, bool root) {
        VolumeInfo v;
        v.url = url;
        v.name = name;
        v.isRoot = root;
        v.total = 1;
        return v;
    };
    std::vector<VolumeInfo> volumes = {volume("/media/data", "data", false),
                                       volume("/mnt/b", "Backup", false), volume("/", "Macintosh HD", true),
                                       volume("/media/Data", "Data", false),
                                       volume("/mnt/b2", "Backup", false)};
    VolumeInfo::sortVolumes(volumes);
    std::vector<std::string> urls;
    for (const VolumeInfo& v : volumes)
        urls.push_back(v.url);
    EXPECT_EQ(urls, (std::vector<std::string>{"/", "/mnt/b", "/mnt/b2", "/media/Data", "/media/data"}));

    // Identity is the path; equality and hashing take every field.
    VolumeInfo other = volumes[0];
    other.available = 5;
    EXPECT_EQ(other.id(), volumes[0].id());
    EXPECT_NE(other, volumes[0]);
    EXPECT_EQ((std::unordered_set<VolumeInfo>{other, volumes[0], other}.size()), 2u);
}

TEST(VolumeInfo, ThisMachineListsItsRootFirst) {
    const auto volumes = VolumeInfo::mounted();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes[0].url, "/");
    EXPECT_TRUE(volumes[0].isRoot);
    EXPECT_EQ(volumes[0].name, HostLayout::current().rootVolumeName);
    for (const VolumeInfo& v : volumes) {
        EXPECT_GT(v.total, 0) << v.url;
        EXPECT_GE(v.available, 0) << v.url;
        EXPECT_LE(v.available, v.total) << v.url;
    }
}

}  // namespace nimbrel
