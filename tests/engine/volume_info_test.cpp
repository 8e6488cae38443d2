#include "engine/volume_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
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
        {"/srv/bound", "ext4", "/srv/data", true},  // a part of a disk: listed once per disk, below
        {"/proc", "proc", "/", false},
        {"/sys/fs/cgroup", "cgroup2", "/", false},
        {"/dev/shm", "tmpfs", "/", false},
        {"/tmp", "tmpfs", "/", false},
        {"/snap/core/123", "squashfs", "/", false},
        {"/var/lib/docker/overlay2/x/merged", "overlay", "/", false},
        {"/var/lib/docker/btrfs", "btrfs", "/", false},
        {"/mnt/nas", "nfs4", "/", true},
        {"/mnt/old-nas", "nfs", "/", true},
        {"/mnt/share", "cifs", "/", true},
        {"/mnt/smb", "smb3", "/", true},
        {"/home/u/remote", "fuse.sshfs", "/", true},
        {"/home/u/remote2", "sshfs", "/", true},
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

TEST(VolumeInfo, ListsEachDiskOnceThroughItsBestMount) {
    const VolumeInfo::Measure answers = [](const std::string&) {
        return std::optional<VolumeInfo::Space>(VolumeInfo::Space{1000, 400});
    };
    const struct {
        const char* table;
        std::vector<std::string> listed;
    } cases[] = {
        // A btrfs root and home as subvolumes of one disk: the disk once, as the root volume.
        {"21 1 0:33 /root / rw - btrfs /dev/vda3 rw\n"
         "22 21 0:33 /home /home rw - btrfs /dev/vda3 rw\n",
         {"/"}},
        // A disk mounted only through a subvolume is listed; a bind of one of its folders is not.
        {"21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "30 21 0:40 /@data /data rw - btrfs /dev/sdb1 rw\n"
         "31 21 0:40 /@data/photos /srv/photos rw - btrfs /dev/sdb1 rw\n",
         {"/", "/data"}},
        // A bind of a folder of a whole disk, met before or after it: the whole disk only.
        {"21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "30 21 8:33 /share /srv/share rw - ext4 /dev/sdc1 rw\n"
         "31 21 8:33 / /mnt/disk rw - ext4 /dev/sdc1 rw\n"
         "32 21 8:33 /other /srv/other rw - ext4 /dev/sdc1 rw\n",
         {"/", "/mnt/disk"}},
        // A folder of the root disk bound elsewhere.
        {"21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "30 21 8:1 /home/u/data /mnt/data rw - ext4 /dev/sda1 rw\n",
         {"/"}},
        // Subvolumes only, a snapshot first: the main subvolume, the shortest mount outside snapshots.
        {"21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "30 21 0:40 /@snapshots/3/snapshot /mnt/s rw - btrfs /dev/sdb1 rw\n"
         "31 21 0:40 /@home /mnt/pool/home rw - btrfs /dev/sdb1 rw\n"
         "32 21 0:40 /@ /mnt/pool rw - btrfs /dev/sdb1 rw\n"
         "33 21 0:40 /@/x /mnt/pool/.snapshots rw - btrfs /dev/sdb1 rw\n",
         {"/", "/mnt/pool"}},
        // The top of the file system wins; snapshots alone: the first one.
        {"30 21 0:41 /.snapshots/1/snapshot /a rw - btrfs /dev/sdc1 rw\n"
         "31 21 0:41 / /mnt/top rw - btrfs /dev/sdc1 rw\n"
         "32 21 0:42 /.snapshots/2/snapshot /mnt/b2 rw - btrfs /dev/sdd1 rw\n"
         "33 21 0:42 /.snapshots/1/snapshot /b1 rw - btrfs /dev/sdd1 rw\n",
         {"/mnt/b2", "/mnt/top"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> urls;
        for (const VolumeInfo& v : VolumeInfo::fromMountTable(c.table, answers))
            urls.push_back(v.url);
        EXPECT_EQ(urls, c.listed) << c.table;
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

// The root file system measured for real, from a table that names it alone: the volumes this
// machine has mounted stay unread.
TEST(VolumeInfo, ThisMachinesRootIsMeasured) {
    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    const std::string table = "21 1 " + std::to_string(major(root.st_dev)) + ":" +
                              std::to_string(minor(root.st_dev)) + " / / rw,relatime - ext4 /dev/root rw\n";
    const auto volumes = VolumeInfo::fromMountTable(table, &VolumeInfo::statSpace);
    ASSERT_EQ(volumes.size(), 1u);
    const VolumeInfo& v = volumes[0];
    EXPECT_EQ(v.url, "/");
    EXPECT_TRUE(v.isRoot);
    EXPECT_EQ(v.name, HostLayout::current().rootVolumeName);
    EXPECT_GT(v.total, 0);
    EXPECT_GE(v.available, 0);
    EXPECT_LE(v.available, v.total);
    EXPECT_LE(v.used + v.available, v.total) << "used counts the free blocks out";
}

namespace {

// A measure the test answers: named mount points block until released, the rest answer at once.
struct HeldMeasure {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::set<std::string> held;
    std::atomic<int> calls{0};

    VolumeInfo::Measure function() {
        return [this](const std::string& mountPoint) -> std::optional<VolumeInfo::Space> {
            ++calls;
            std::unique_lock lock(mutex);
            if (held.count(mountPoint)) released.wait(lock, [&] { return open; });
            return VolumeInfo::Space{1000, 400};
        };
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
};

}  // namespace

TEST(VolumeInfo, NetworkSharesAreListedAndADeadOneIsLeftOut) {
    const std::string table =
        "21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "30 21 0:51 / /mnt/nas rw - nfs4 nas:/export rw\n"
        "31 21 0:52 / /mnt/share rw - cifs //srv/share rw\n"
        "32 21 0:53 / /mnt/smb rw - smb3 //srv/smb rw\n"
        "33 21 0:54 / /home/u/remote rw - fuse.sshfs u@host: rw\n"
        "34 21 0:55 / /mnt/dead rw - nfs gone:/export rw\n"
        "35 21 0:56 / /tmp rw - tmpfs tmpfs rw\n";
    HeldMeasure measure;
    measure.held = {"/mnt/dead"};
    // The dead share never answers; the listing still comes back, without it. The limit leaves a
    // loaded machine time to start the live shares' measures, which answer at once.
    const auto volumes = VolumeInfo::fromMountTable(table, measure.function(), std::chrono::seconds(2));
    std::vector<std::string> urls;
    for (const VolumeInfo& v : volumes) {
        urls.push_back(v.url);
        if (v.isRoot) continue;
        EXPECT_FALSE(v.isInternal) << v.url;
        EXPECT_EQ(v.name, v.url.substr(v.url.rfind('/') + 1));
        EXPECT_EQ(v.total, 1000);
        EXPECT_EQ(v.available, 400);
    }
    EXPECT_EQ(urls, (std::vector<std::string>{"/", "/mnt/nas", "/home/u/remote", "/mnt/share", "/mnt/smb"}));
    measure.release();
    // The dead share's thread still holds `measure` for a moment after it wakes: wait until it has
    // let go, or the next test's measure would share its memory with a thread still using it.
    EXPECT_TRUE(VolumeInfo::measureWithin("/mnt/dead", std::chrono::seconds(30), measure.function()));
}

TEST(VolumeInfo, AStuckShareHoldsOneThreadAtMost) {
    HeldMeasure measure;
    measure.held = {"/mnt/stuck"};
    const auto limit = std::chrono::milliseconds(20);
    EXPECT_FALSE(VolumeInfo::measureWithin("/mnt/stuck", limit, measure.function()));
    // Refreshes while the first measure hangs start no further one.
    EXPECT_FALSE(VolumeInfo::measureWithin("/mnt/stuck", limit, measure.function()));
    EXPECT_FALSE(VolumeInfo::measureWithin("/mnt/stuck", limit, measure.function()));
    // On a loaded machine the first measure's thread may not have started within the limit.
    for (int i = 0; i < 3000 && measure.calls == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(measure.calls, 1);
    // Another share is measured meanwhile.
    auto other = VolumeInfo::measureWithin("/mnt/other", std::chrono::seconds(30), measure.function());
    ASSERT_TRUE(other);
    EXPECT_EQ(other->total, 1000);

    // Once the server answers, a caller willing to wait gets its figures.
    measure.release();
    auto again = VolumeInfo::measureWithin("/mnt/stuck", std::chrono::seconds(30), measure.function());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->available, 400);
}

}  // namespace nimbrel
