// What a Trash holds counts toward sizes but is never offered again.
#include "engine/trash_contents.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "engine/disk_scanner.h"
#include "scan_tree.h"

namespace nimbrel {
namespace {

bool listed(const ScanResult& result, const std::string& path) {
    return std::any_of(result.files().begin(), result.files().end(),
                       [&](const FileItem& f) { return f.path == path; });
}

bool isProduct(const ScanResult& result, const std::string& path) {
    return std::any_of(result.artifacts().begin(), result.artifacts().end(),
                       [&](const DevArtifact& a) { return a.path == path; });
}

TEST(TrashContents, LeftOutOfEveryOfferButCountedInSizes) {
    test::ScanTree tree;
    // The home Trash of a layout made for the tree, and two volume Trash folders known by name.
    const std::string home = tree.folder("home");
    HostLayout layout = HostLayout::linux(home);
    layout.trashFolder = home + "/.local/share/Trash";
    const std::string kept[] = {
        tree.file("home/.local/share/Trash/files/old.iso", 40000),
        tree.file("vol/.Trash-1000/files/copy.bin", 40000),
        tree.file("vol/.Trash/1000/files/other.bin", 40000),
    };
    tree.file("home/.local/share/Trash/files/app/package.json");
    tree.folder("home/.local/share/Trash/files/app/node_modules/left-pad");
    tree.file("vol/.Trash-1000/files/web/package.json");
    tree.folder("vol/.Trash-1000/files/web/node_modules/react");
    const std::string own = tree.file("home/Downloads/own.iso", 40000);
    tree.file("home/proj/package.json");
    tree.folder("home/proj/node_modules/left-pad");
    const std::string product = tree.path("home/proj/node_modules");
    // Named like a Trash but not one: no uid.
    const std::string lookalike = tree.file("vol/.Trash-old/kept.bin", 40000);

    ScanOptions options = test::withoutVolumes();
    options.minTrackedSize = 0;
    CancelToken token;
    std::shared_ptr<ScanResult> result = DiskScanner::scan(tree.root(), options, 1, token, nullptr);
    ASSERT_TRUE(result);
    const std::int64_t total = result->root()->size();
    const std::int64_t files = result->root()->fileCount();
    // The scan itself already leaves the volume Trash folders out.
    EXPECT_FALSE(listed(*result, kept[1]));
    EXPECT_FALSE(listed(*result, kept[2]));
    EXPECT_FALSE(isProduct(*result, tree.path("vol/.Trash-1000/files/web/node_modules")));

    leaveOutTrashContents(*result, layout);
    for (const std::string& path : kept)
        EXPECT_FALSE(listed(*result, path)) << path;
    EXPECT_FALSE(isProduct(*result, home + "/.local/share/Trash/files/app/node_modules"));
    auto trashedModules = result->node(home + "/.local/share/Trash/files/app/node_modules");
    ASSERT_TRUE(trashedModules);
    EXPECT_FALSE(trashedModules->artifactKind().has_value());
    EXPECT_TRUE(listed(*result, own));
    EXPECT_TRUE(listed(*result, lookalike));
    EXPECT_TRUE(isProduct(*result, product));
    EXPECT_TRUE(result->node(product)->artifactKind().has_value());
    // The space stays counted until the Trash is emptied.
    EXPECT_EQ(result->root()->size(), total);
    EXPECT_EQ(result->root()->fileCount(), files);
    EXPECT_GE(result->node(home + "/.local/share/Trash")->size(), 40000);

    // A scan started inside a Trash offers nothing at all.
    std::shared_ptr<ScanResult> inside =
        DiskScanner::scan(home + "/.local/share/Trash/files", options, 1, token, nullptr);
    ASSERT_TRUE(inside);
    leaveOutTrashContents(*inside, layout);
    EXPECT_TRUE(inside->files().empty());
    EXPECT_TRUE(inside->artifacts().empty());
    EXPECT_GT(inside->root()->size(), 0);
}

// The Trash figure is every Trash folder of the user that emptying empties: the home Trash and each
// mounted volume's, each folder once however many mounts show it; other users' and a shared .Trash
// without its sticky bit are not the user's.
TEST(TrashContents, TheUsersTrashIsMeasuredOnEveryVolume) {
    const unsigned uid = getuid();
    const std::string me = std::to_string(uid), other = std::to_string(uid + 1);
    test::ScanTree tree;
    const std::string home = tree.path("home/.local/share/Trash");
    tree.file("home/.local/share/Trash/files/a", 40000);
    tree.file("vol1/.Trash-" + me + "/files/b", 20000);
    tree.file("vol1/.Trash-" + me + "/info/b.trashinfo", 60);
    tree.file("vol1/.Trash/" + me + "/files/c", 10000);
    chmod(tree.path("vol1/.Trash").c_str(), 01777);
    tree.folder("vol2/.Trash-" + me + "/files");  // the user's, holding nothing
    tree.file("vol3/.Trash-" + other + "/files/d", 30000);
    tree.file("vol4/.Trash/" + me + "/files/e", 30000);  // .Trash is not sticky
    tree.file("share/.Trash-" + me + "/files/f", 5000);
    const std::string mountInfo = "21 1 8:1 / " + tree.root() + "/vol1 rw - ext4 /dev/sdb1 rw\n" +  //
                                  "22 1 8:1 / " + tree.root() + "/vol1 rw - ext4 /dev/sdb1 rw\n" +  // again
                                  "23 1 8:2 / " + tree.root() + "/vol2 rw - ext4 /dev/sdb2 rw\n" +
                                  "24 1 8:3 / " + tree.root() + "/vol3 rw - ext4 /dev/sdb3 rw\n" +
                                  "25 1 8:4 / " + tree.root() + "/vol4 rw - ext4 /dev/sdb4 rw\n" +
                                  "26 1 0:50 / " + tree.root() + "/share rw - nfs4 nas:/x rw\n" + "garbage\n";
    const int64_t homeSize = DiskScanner::usage(home).size;
    int64_t volumeSize = 0;
    for (const std::string& folder : {"vol1/.Trash-" + me, "vol1/.Trash/" + me, "share/.Trash-" + me})
        volumeSize += DiskScanner::usage(tree.path(folder)).size;

    const TrashUsage trash = measureUserTrash(home, mountInfo, uid);
    EXPECT_EQ(trash.usage.size, homeSize + volumeSize);
    EXPECT_EQ(trash.usage.items, 5);
    EXPECT_TRUE(trash.usage.readable);
    EXPECT_EQ(trash.onVolumes, volumeSize);
    EXPECT_EQ(trash.volumes, (std::vector<std::string>{tree.path("vol1"), tree.path("share")}));
    EXPECT_GE(trash.onVolumes, 35000);

    const TrashUsage homeOnly = measureUserTrash(home, "", uid);
    EXPECT_EQ(homeOnly, (TrashUsage{DiskUsage{homeSize, 1, true, true}}));
    // A home Trash kept elsewhere through a link is emptied through it, so it is measured through it.
    ASSERT_EQ(symlink(home.c_str(), tree.path("linked Trash").c_str()), 0);
    EXPECT_EQ(measureUserTrash(tree.path("linked Trash"), "", uid), homeOnly);
}

}  // namespace
}  // namespace nimbrel
