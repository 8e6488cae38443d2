// What a Trash holds counts toward sizes but is never offered again.
#include "engine/trash_contents.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/disk_scanner.h"
#include "scan_tree.h"

namespace nimbrel {
namespace {

bool listed(const ScanResult& result, const std::string& path) {
    return std::any_of(result.files.begin(), result.files.end(),
                       [&](const FileItem& f) { return f.path == path; });
}

bool isProduct(const ScanResult& result, const std::string& path) {
    return std::any_of(result.artifacts.begin(), result.artifacts.end(),
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

    ScanOptions options;
    options.minTrackedSize = 0;
    CancelToken token;
    std::shared_ptr<ScanResult> result = DiskScanner::scan(tree.root(), options, 1, token, nullptr);
    ASSERT_TRUE(result);
    const std::int64_t total = result->root->size;
    const std::int64_t files = result->root->fileCount;
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
    EXPECT_FALSE(trashedModules->artifactKind.has_value());
    EXPECT_TRUE(listed(*result, own));
    EXPECT_TRUE(listed(*result, lookalike));
    EXPECT_TRUE(isProduct(*result, product));
    EXPECT_TRUE(result->node(product)->artifactKind.has_value());
    // The space stays counted until the Trash is emptied.
    EXPECT_EQ(result->root->size, total);
    EXPECT_EQ(result->root->fileCount, files);
    EXPECT_GE(result->node(home + "/.local/share/Trash")->size, 40000);

    // A scan started inside a Trash offers nothing at all.
    std::shared_ptr<ScanResult> inside =
        DiskScanner::scan(home + "/.local/share/Trash/files", options, 1, token, nullptr);
    ASSERT_TRUE(inside);
    leaveOutTrashContents(*inside, layout);
    EXPECT_TRUE(inside->files.empty());
    EXPECT_TRUE(inside->artifacts.empty());
    EXPECT_GT(inside->root->size, 0);
}

}  // namespace
}  // namespace nimbrel
