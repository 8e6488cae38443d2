#include "engine/scan_result.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/disk_scanner.h"
#include "engine/scan_prune.h"
#include "engine/tree_build.h"
#include "scan_tree.h"

namespace nimbrel {
namespace {

// A hand-built result:
//   /r                       small 100
//   /r/a      (artifact a/c/node_modules below)   small 50
//   /r/a/big.mov  1000 (video)
//   /r/a/c/node_modules       small 400  (3 files)
//   /r/ab     doc.pdf 2000 (document)
class ResultFixture : public testing::Test {
  protected:
    void SetUp() override {
        TreeBuild::setRoot(result, std::make_shared<DirNode>("/r", nullptr));
        root = result.root().get();
        a = addFolder(root, "a");
        c = addFolder(a, "c");
        modules = addFolder(c, "node_modules");
        ab = addFolder(root, "ab");
        addFile(a, "big.mov", 1000, FileCategory::video);
        addFile(ab, "doc.pdf", 2000, FileCategory::document);
        addSmall(root, 100, 1, FileCategory::other);
        addSmall(a, 50, 1, FileCategory::code);
        addSmall(modules, 400, 3, FileCategory::code);
        TreeBuild::artifacts(result) = {{"/r/a/c/node_modules", "Node.js dependencies", 400, 3}};
        TreeBuild::listTree(result);
    }

    DirNode* addFolder(DirNode* parent, const std::string& name) {
        return TreeBuild::addFolder(*parent, name).get();
    }
    void addFile(DirNode* parent, const std::string& name, std::int64_t size, FileCategory category) {
        FileItem item;
        item.id = nextID++;
        item.path = parent->path() + "/" + name;
        item.name = name;
        item.size = item.logicalSize = size;
        item.category = category;
        item.parent = parent;
        TreeBuild::addFile(*parent, item);
        TreeBuild::countUpwards(*parent, size, 1);
        TreeBuild::categoryTotals(result)[category].size += size;
        TreeBuild::categoryTotals(result)[category].count += 1;
    }
    void addSmall(DirNode* parent, std::int64_t size, std::int64_t files, FileCategory category) {
        TreeBuild::addSmallFiles(*parent, size);
        TreeBuild::countUpwards(*parent, size, files);
        TreeBuild::categoryTotals(result)[category].size += size;
        TreeBuild::categoryTotals(result)[category].count += files;
    }

    ScanResult result;
    DirNode *root, *a, *c, *modules, *ab;
    std::int64_t nextID = 1;
};

TEST_F(ResultFixture, FindsFoldersByPathOnly) {
    const std::pair<const char*, DirNode*> cases[] = {
        {"/r", root},
        {"/r/", root},
        {"/r/a", a},
        {"/r/a/c/node_modules", modules},
        {"/r//a/", a},
        {"/r/ab", ab},
        {"/r/a/big.mov", nullptr},
        {"/rx", nullptr},
        {"/r/b", nullptr},
        {"/", nullptr},
        {"/r/a/c/x", nullptr},
    };
    for (const auto& [path, node] : cases)
        EXPECT_EQ(result.node(path).get(), node) << path;
    EXPECT_EQ(modules->path(), "/r/a/c/node_modules");
}

TEST(ScanResult, PathsUnderTheFileSystemRoot) {
    ScanResult result;
    TreeBuild::setRoot(result, std::make_shared<DirNode>("/", nullptr));
    auto users = TreeBuild::addFolder(*result.root(), "Users");
    auto x = TreeBuild::addFolder(*users, "x");
    EXPECT_EQ(users->path(), "/Users");
    EXPECT_EQ(x->path(), "/Users/x");
    EXPECT_EQ(result.node("/Users/x"), x);
    EXPECT_EQ(result.node("/"), result.root());
}

TEST_F(ResultFixture, RemovingAListedFileLowersItsFoldersAndCategory) {
    result.remove({"/r/a/big.mov"}, {});
    EXPECT_EQ(a->size(), 450);
    EXPECT_EQ(a->fileCount(), 4);
    EXPECT_EQ(root->size(), 2550);
    EXPECT_EQ(root->fileCount(), 6);
    EXPECT_EQ(a->smallFilesSize(), 50);
    EXPECT_TRUE(a->files().empty());
    ASSERT_EQ(result.files().size(), 1u);
    EXPECT_EQ(result.files()[0].name, "doc.pdf");
    EXPECT_EQ(result.categoryTotals().at(FileCategory::video), (CategoryTotal{0, 0}));
    test::expectConsistent(*root);
}

TEST_F(ResultFixture, RemovingAFolderTakesItsWholeSubtree) {
    std::shared_ptr<DirNode> held = result.node("/r/a");
    result.remove({"/r/a"}, {});
    EXPECT_EQ(root->children().size(), 1u);
    EXPECT_EQ(root->size(), 2100);
    EXPECT_EQ(root->fileCount(), 2);
    EXPECT_EQ(held->parent(), nullptr);  // whoever holds it can tell it left the tree
    EXPECT_EQ(result.files().size(), 1u);
    EXPECT_EQ(result.categoryTotals().at(FileCategory::video), (CategoryTotal{0, 0}));
    EXPECT_EQ(result.categoryTotals().at(FileCategory::document), (CategoryTotal{2000, 1}));  // listed, stays
    // The unlisted rest (450 bytes in 4 files) of unknown kinds leaves the unlisted shares of the
    // categories: the totals still add up to what the tree holds.
    CategoryTotal sum;
    for (const auto& [category, total] : result.categoryTotals()) {
        sum.size += total.size;
        sum.count += total.count;
    }
    EXPECT_EQ(sum, (CategoryTotal{root->size(), root->fileCount()}));
    EXPECT_TRUE(result.artifacts().empty());
    test::expectConsistent(*root);
}

TEST_F(ResultFixture, ArtifactsGoOnlyWithTheirOwnPathOrAnAncestor) {
    TreeBuild::artifacts(result).push_back({"/r/ab", "x", 1, 1});
    TreeBuild::artifacts(result).push_back({"/r/a", "y", 1, 1});
    result.remove({"/r/a"}, {});
    ASSERT_EQ(result.artifacts().size(), 1u);
    EXPECT_EQ(result.artifacts()[0].path, "/r/ab");
}

TEST_F(ResultFixture, RemovingASmallFileNeedsItsMeasuredSize) {
    result.remove({"/r/a/notes.SWIFT"}, {});
    EXPECT_EQ(a->size(), 1450);
    EXPECT_EQ(a->smallFilesSize(), 50);

    result.remove({"/r/a/notes.SWIFT"}, {{"/r/a/notes.SWIFT", 0}});
    EXPECT_EQ(a->size(), 1450);

    result.remove({"/r/a/notes.SWIFT"}, {{"/r/a/notes.SWIFT", 30}});
    EXPECT_EQ(a->smallFilesSize(), 20);
    EXPECT_EQ(a->size(), 1420);
    EXPECT_EQ(a->fileCount(), 4);
    EXPECT_EQ(root->size(), 3520);
    EXPECT_EQ(root->fileCount(), 6);
    EXPECT_EQ(result.categoryTotals().at(FileCategory::code), (CategoryTotal{420, 3}));
    test::expectConsistent(*root);
}

TEST_F(ResultFixture, TheRootStaysAndTotalsNeverGoNegativeOrAppear) {
    result.remove({"/r"}, {{"/r", 40}});
    EXPECT_EQ(result.root().get(), root);
    EXPECT_EQ(root->children().size(), 2u);

    // More than the category holds, in a category that never occurred. The scan counted at most
    // the root's loose files for it, so the children keep their sizes.
    result.remove({"/r/x.iso"}, {{"/r/x.iso", 1'000'000}});
    EXPECT_FALSE(result.categoryTotals().count(FileCategory::diskImage));
    EXPECT_EQ(root->smallFilesSize(), 0);
    EXPECT_EQ(root->size(), 3450);
    test::expectConsistent(*root);

    result.remove({"/r/a/c"}, {});
    result.remove({"/r/a/c"}, {});
    for (const auto& [category, total] : result.categoryTotals()) {
        EXPECT_GE(total.size, 0) << category.rawValue();
        EXPECT_GE(total.count, 0) << category.rawValue();
    }
}

// Sorting reorders every folder's files; whoever held a folder's files before keeps them as they were.
TEST(DirNode, SortingIsStableAndReachesEveryLevel) {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    DirNode* parent = root.get();
    std::shared_ptr<DirNode> deepest;
    for (int level = 0; level < 3; ++level) {
        for (int i = 0; i < 4; ++i) {
            TreeBuild::count(*TreeBuild::addFolder(*parent, "d" + std::to_string(i)), i % 2 ? 10 : 20, 0);
            FileItem f;
            f.id = i;
            f.size = i % 2 ? 5 : 7;
            TreeBuild::addFile(*parent, f);
        }
        parent = parent->children().back().get();
    }
    const FileBlock held = root->files().share();
    TreeBuild::sortRecursively(*root);
    FileItem added;
    added.id = 9;
    TreeBuild::addFile(*root, added);
    std::vector<std::int64_t> heldIDs;
    for (const FileItem& f : held)
        heldIDs.push_back(f.id);
    EXPECT_EQ(heldIDs, (std::vector<std::int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(root->files().size(), 5u);
    for (DirNode* n = root.get(); n && !n->children().empty(); n = n->children()[1].get()) {
        std::vector<std::string> names;
        for (const auto& child : n->children())
            names.push_back(child->name);
        EXPECT_EQ(names, (std::vector<std::string>{"d0", "d2", "d1", "d3"}));
        std::vector<std::int64_t> ids;
        for (const FileItem& f : n->files())
            ids.push_back(f.id);
        EXPECT_EQ(ids, n == root.get() ? (std::vector<std::int64_t>{0, 2, 1, 3, 9})
                                       : (std::vector<std::int64_t>{0, 2, 1, 3}));
    }
    // An append with room to spare in files another holds goes into files of the folder's own.
    const FileBlock heldWithRoom = root->files().share();
    ASSERT_LT(heldWithRoom.size(), heldWithRoom.capacity());
    added.id = 10;
    TreeBuild::addFile(*root, added);
    EXPECT_EQ(heldWithRoom.size(), 5u);
    EXPECT_EQ(root->files().size(), 6u);
    EXPECT_EQ(root->files().back().id, 10);
}

TEST(DirNode, AVeryDeepTreeIsDestroyedWithoutRecursion) {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    DirNode* parent = root.get();
    for (int i = 0; i < 200000; ++i) {
        parent = TreeBuild::addFolder(*parent, "d").get();
    }
    root.reset();  // would overflow the stack if each folder destroyed its children recursively
}

// A random tree built the same way twice, so one copy can be pruned by the result and the other
// by the rules written plainly (one linear pass per path).
struct RandomTree {
    ScanResult result;
    std::vector<std::string> folders;

    explicit RandomTree(unsigned seed) {
        std::srand(seed);
        TreeBuild::setRoot(result, std::make_shared<DirNode>("/r", nullptr));
        std::vector<DirNode*> nodes{result.root().get()};
        std::int64_t id = 1;
        for (int i = 0; i < 60; ++i) {
            DirNode* parent = nodes[size_t(std::rand()) % nodes.size()];
            auto child = TreeBuild::addFolder(*parent, "d" + std::to_string(i));
            nodes.push_back(child.get());
            folders.push_back(child->path());
        }
        const FileCategory categories[] = {FileCategory::video, FileCategory::code, FileCategory::other};
        for (DirNode* node : nodes) {
            for (int f = std::rand() % 4; f > 0; --f) {
                FileItem item;
                item.id = id++;
                item.name = "f" + std::to_string(item.id);
                item.path = node->path() + "/" + item.name;
                item.size = 100 + std::rand() % 900;
                item.category = categories[std::rand() % 3];
                item.parent = node;
                TreeBuild::addFile(*node, item);
                TreeBuild::categoryTotals(result)[item.category].size += item.size;
                TreeBuild::categoryTotals(result)[item.category].count += 1;
                TreeBuild::countUpwards(*node, item.size, 1);
            }
            const std::int64_t small = std::rand() % 3 * 40;
            TreeBuild::addSmallFiles(*node, small);
            TreeBuild::countUpwards(*node, small, small > 0 ? 2 : 0);
            TreeBuild::categoryTotals(result)[FileCategory::other].size += small;
            TreeBuild::categoryTotals(result)[FileCategory::other].count += small > 0 ? 2 : 0;
        }
        TreeBuild::listTree(result);
    }

    // Paths that do not lie inside one another: folders, listed files and unlisted small files.
    std::unordered_set<std::string> disjointPick() const {
        std::vector<std::string> candidates = folders;
        for (const FileItem& f : result.files())
            candidates.push_back(f.path);
        for (const std::string& folder : folders)
            candidates.push_back(folder + "/loose.txt");
        std::unordered_set<std::string> picked;
        for (int tries = 0; tries < 15; ++tries) {
            const std::string& p = candidates[size_t(std::rand()) % candidates.size()];
            bool overlaps = false;
            for (const std::string& q : picked)
                overlaps = overlaps || p == q || p.starts_with(q + "/") || q.starts_with(p + "/");
            if (!overlaps) picked.insert(p);
        }
        return picked;
    }
};

void plainRemove(ScanResult& r, const std::unordered_set<std::string>& paths,
                 const std::unordered_map<std::string, std::int64_t>& sizes) {
    auto lower = [](std::int64_t& v, std::int64_t by) { v = std::max<std::int64_t>(0, v - by); };
    // Lowers `from` and every folder above it, none below zero.
    auto lowerUpwards = [](DirNode* from, std::int64_t size, std::int64_t files) {
        for (DirNode* n = from; n; n = TreeBuild::parentOf(*n))
            TreeBuild::count(*n, -std::min(n->size(), size), -std::min(n->fileCount(), files));
    };
    auto lowerCategory = [&](FileCategory c, std::int64_t size, std::int64_t count = 1) {
        auto& totals = TreeBuild::categoryTotals(r);
        if (auto it = totals.find(c); it != totals.end()) {
            lower(it->second.size, size);
            lower(it->second.count, count);
        }
    };
    // Copies: the folders' lists change under the flat one's references.
    const std::vector<FileItem> flat(r.files().begin(), r.files().end());
    std::unordered_set<std::int64_t> removed;
    std::unordered_set<std::string> handled;
    for (const FileItem& item : flat) {
        if (!paths.count(item.path)) continue;
        removed.insert(item.id);
        handled.insert(item.path);
        std::vector<FileItem> kept(item.parent->files().begin(), item.parent->files().end());
        std::erase_if(kept, [&](const FileItem& f) { return f.id == item.id; });
        TreeBuild::setFiles(*item.parent, std::move(kept));
        lowerUpwards(item.parent, item.size, 1);
        lowerCategory(item.category, item.size);
    }
    for (const std::string& path : paths) {
        if (handled.count(path)) continue;
        if (auto folder = r.node(path); folder && folder->parent()) {
            DirNode* parent = TreeBuild::parentOf(*folder);
            TreeBuild::takeOut(*folder);
            lowerUpwards(parent, folder->size(), folder->fileCount());
            std::int64_t tracked = 0, trackedFiles = 0;
            for (const FileItem& item : flat) {
                if (!item.path.starts_with(path + "/") || removed.count(item.id)) continue;
                removed.insert(item.id);
                tracked += item.size;
                trackedFiles += 1;
                lowerCategory(item.category, item.size);
            }
            // These trees hold their unlisted files in "other" only.
            lowerCategory(FileCategory::other, std::max<std::int64_t>(0, folder->size() - tracked),
                          std::max<std::int64_t>(0, folder->fileCount() - trackedFiles));
            continue;
        }
        auto size = sizes.find(path);
        if (size == sizes.end() || size->second <= 0) continue;
        auto parent = r.node(path.substr(0, path.rfind('/')));
        if (!parent) continue;
        const std::int64_t counted = std::min(size->second, parent->smallFilesSize());
        TreeBuild::addSmallFiles(*parent, -std::min(parent->smallFilesSize(), counted));
        lowerUpwards(parent.get(), counted, counted > 0 ? 1 : 0);
        if (counted > 0) lowerCategory(FileCategory::classify("txt"), counted);
    }
    // What stays keeps its order, which is the order a fresh listing gives.
    TreeBuild::listTree(r);
}

// Every folder's figures and lists, in tree order, as text.
std::string describe(const ScanResult& r) {
    std::string out;
    std::vector<const DirNode*> stack{r.root().get()};
    while (!stack.empty()) {
        const DirNode* n = stack.back();
        stack.pop_back();
        out += n->path() + " " + std::to_string(n->size()) + " " + std::to_string(n->fileCount()) + " " +
               std::to_string(n->smallFilesSize()) + " [";
        for (const FileItem& f : n->files())
            out += std::to_string(f.id) + ",";
        out += "]\n";
        for (const auto& c : n->children())
            stack.push_back(c.get());
    }
    for (const FileItem& f : r.files())
        out += std::to_string(f.id) + " ";
    for (const auto& [category, total] : r.categoryTotals())
        out += std::string("\n") + category.rawValue() + " " + std::to_string(total.size) + " " +
               std::to_string(total.count);
    return out;
}

// Every entry of the flat list is an item its folder still holds, in a folder still in the tree:
// a reference left behind by a prune would read another item, or freed memory.
bool listedFromTheTree(const ScanResult& r) {
    for (const FileItem& f : r.files()) {
        const DirNode* folder = f.parent;
        if (!folder) return false;
        const auto& held = folder->files();
        if (std::none_of(held.begin(), held.end(), [&](const FileItem& g) { return &g == &f; })) return false;
        while (folder->parent())
            folder = folder->parent();
        if (folder != r.root().get()) return false;
    }
    return true;
}

TEST(ScanResultPruning, AgreesWithThePlainRulesOnRandomTrees) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        RandomTree pruned(seed), plain(seed);
        const std::unordered_set<std::string> paths = pruned.disjointPick();
        std::unordered_map<std::string, std::int64_t> sizes;
        for (const std::string& p : paths)
            sizes[p] = p.ends_with("loose.txt") ? 60 : 999;
        pruned.result.remove(paths, sizes);
        plainRemove(plain.result, paths, sizes);
        ASSERT_TRUE(listedFromTheTree(pruned.result)) << "seed " << seed;
        ASSERT_EQ(describe(pruned.result), describe(plain.result)) << "seed " << seed;
        // A second removal works from the references the first one moved.
        const std::unordered_set<std::string> more = pruned.disjointPick();
        pruned.result.remove(more, {});
        plainRemove(plain.result, more, {});
        ASSERT_TRUE(listedFromTheTree(pruned.result)) << "seed " << seed;
        ASSERT_EQ(describe(pruned.result), describe(plain.result)) << "seed " << seed;
    }
}

// The two-step prune (worked out on a worker, applied on the owner's thread) applies once and hands
// back exactly the folders it took out of the tree, each detached.
TEST(ScanResultPruning, APlannedPruneAppliesOnceAndHandsBackWhatItDetached) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        RandomTree planned(seed);
        std::unordered_set<std::string> paths = planned.disjointPick();
        if (seed % 10 == 0) paths.insert("/r");  // only the measured-size rule applies to the root
        std::vector<std::shared_ptr<DirNode>> gone;
        {
            ScanPrune prune = ScanPrune::plan(planned.result, paths, {});
            ScanPrune again = ScanPrune::plan(planned.result, paths, {});
            gone = planned.result.prune(std::move(prune)).detached;
            EXPECT_TRUE(planned.result.prune(std::move(again)).detached.empty())
                << "a plan made before a change does nothing after it";
        }
        EXPECT_TRUE(listedFromTheTree(planned.result)) << "seed " << seed;
        for (const auto& folder : gone) {
            EXPECT_EQ(folder->parent(), nullptr);
            EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const std::string& p) {
                return p.ends_with("/" + folder->name);
            })) << folder->name;
        }
    }
}

// A plan made for another result changes nothing.
TEST(ScanResultPruning, APlanTouchesOnlyTheResultItWasMadeFor) {
    RandomTree a(3), b(3);
    const std::string before = describe(b.result);
    ScanPrune prune = ScanPrune::plan(a.result, a.disjointPick(), {});
    EXPECT_TRUE(b.result.prune(std::move(prune)).detached.empty());
    EXPECT_EQ(describe(b.result), before);
}

TEST(ScanResultPruning, AHundredThousandFilesAndFoldersInOneFolder) {
    ScanResult result;
    TreeBuild::setRoot(result, std::make_shared<DirNode>("/r", nullptr));
    auto big = TreeBuild::addFolder(*result.root(), "big");
    std::unordered_set<std::string> paths;
    for (int i = 0; i < 100000; ++i) {
        FileItem f;
        f.id = i + 1;
        f.name = "f" + std::to_string(i);
        f.path = "/r/big/" + f.name;
        f.size = 2000;
        f.parent = big.get();
        TreeBuild::addFile(*big, f);
        auto sub = TreeBuild::addFolder(*big, "d" + std::to_string(i));
        TreeBuild::count(*sub, 3000, 2);
        paths.insert(f.path);
        paths.insert("/r/big/" + sub->name);
    }
    TreeBuild::count(*big, 100000 * 5000 + 7, 100000 * 3 + 1);
    TreeBuild::count(*result.root(), 100000 * 5000 + 7, 100000 * 3 + 1);
    TreeBuild::addSmallFiles(*big, 7);
    TreeBuild::categoryTotals(result)[FileCategory::other] = {100000 * 5000 + 7, 100000 * 3 + 1};
    TreeBuild::listTree(result);
    // One of each stays.
    paths.erase("/r/big/f5");
    paths.erase("/r/big/d9");

    result.remove(paths, {});
    EXPECT_EQ(big->size(), 5007);
    EXPECT_EQ(big->fileCount(), 4);
    EXPECT_EQ(result.root()->size(), 5007);
    ASSERT_EQ(big->files().size(), 1u);
    EXPECT_EQ(big->files()[0].path, "/r/big/f5");
    ASSERT_EQ(big->children().size(), 1u);
    EXPECT_EQ(big->children()[0]->name, "d9");
    ASSERT_EQ(result.files().size(), 1u);
    EXPECT_EQ(result.categoryTotals().at(FileCategory::other).size, 5007);
}

TEST_F(ResultFixture, APackageTakesTheFilesItHeldFromTheCounts) {
    FileItem package;
    package.id = nextID++;
    package.path = "/r/ab/Tool.app";
    package.name = "Tool.app";
    package.size = package.logicalSize = 5000;
    package.category = FileCategory::application;
    package.isPackage = true;
    package.fileCount = 40;
    package.parent = ab;
    TreeBuild::addFile(*ab, package);
    TreeBuild::listTree(result);
    TreeBuild::countUpwards(*ab, 5000, 40);
    TreeBuild::categoryTotals(result)[FileCategory::application] = {5000, 1};

    result.remove({"/r/ab/Tool.app"}, {});
    EXPECT_EQ(ab->fileCount(), 1);
    EXPECT_EQ(root->fileCount(), 7);
    EXPECT_EQ(result.categoryTotals().at(FileCategory::application), (CategoryTotal{0, 0}));
    test::expectConsistent(*root);
}

// A scanned real tree, part of which then goes behind the scan's back, as when a removal stops.
class RecheckTest : public testing::Test {
  protected:
    void SetUp() override {
        tree.file("docs/keep.txt", 5000);
        tree.hardLink("docs/keep.txt", "docs/keep-again.txt");  // its bytes and its file count once
        tree.file("docs/a.txt", 5000);
        tree.file("docs/b.txt", 5000);
        tree.file("docs/big.bin", 2'000'000);
        tree.file("docs/sub/one.txt", 9000);
        tree.file("docs/sub/deeper/two.txt", 9000);
        tree.file("other/x.txt", 100);
        result = scan();
        ASSERT_TRUE(result);
    }
    std::shared_ptr<ScanResult> scan() {
        CancelToken token;
        return DiskScanner::scan(tree.root(), test::withoutVolumes(), 1, token, nullptr);
    }
    // The figures that must match a fresh scan after the tree is corrected.
    static std::string figures(const ScanResult& r) {
        std::string out;
        std::vector<const DirNode*> stack{r.root().get()};
        while (!stack.empty()) {
            const DirNode* n = stack.back();
            stack.pop_back();
            out += n->path() + " " + std::to_string(n->size()) + " " + std::to_string(n->fileCount()) + "\n";
            for (const auto& c : n->children())
                stack.push_back(c.get());
        }
        return out;
    }

    test::ScanTree tree;
    std::shared_ptr<ScanResult> result;
};

TEST_F(RecheckTest, WhatWentIsDroppedAndTheTreeMatchesAFreshScan) {
    const std::int64_t before = result->root()->size();
    const std::int64_t gone =
        test::allocated(tree.path("docs/a.txt")) + test::allocated(tree.path("docs/b.txt")) +
        test::allocated(tree.path("docs/big.bin")) + test::allocated(tree.path("docs/sub/deeper/two.txt"));
    std::filesystem::remove(tree.path("docs/a.txt"));
    std::filesystem::remove(tree.path("docs/b.txt"));
    std::filesystem::remove(tree.path("docs/big.bin"));
    std::filesystem::remove_all(tree.path("docs/sub/deeper"));

    const std::string docs = tree.path("docs");
    ScanResult::Recheck found = result->recheck({docs});
    EXPECT_EQ(found.gone, (std::unordered_set<std::string>{docs + "/big.bin", docs + "/sub/deeper"}));
    EXPECT_EQ(found.bytes[docs], gone);
    EXPECT_EQ(found.looseFilesGone, 2);
    result->apply(found);
    EXPECT_EQ(result->root()->size(), before - gone);
    EXPECT_EQ(figures(*result), figures(*scan()));
    // The unlisted files that went leave their category too.
    std::map<FileCategory, CategoryTotal> left;
    for (const auto& [category, total] : result->categoryTotals())
        if (total != CategoryTotal{}) left.emplace(category, total);
    EXPECT_EQ(left, scan()->categoryTotals());
    EXPECT_TRUE(result->files().empty());

    // Looking again finds nothing more.
    ScanResult::Recheck again = result->recheck({docs});
    EXPECT_TRUE(again.gone.empty());
    EXPECT_TRUE(again.shrunk.empty());
    EXPECT_EQ(again.bytes[docs], 0);
}

TEST_F(RecheckTest, NewFilesAndPathsOutsideTheTreeChangeNothing) {
    const std::string unchanged = figures(*result);
    tree.file("docs/new.txt", 50000);
    tree.file("docs/sub/newer.txt", 50000);
    ScanResult::Recheck found = result->recheck({tree.path("docs"), tree.path("nowhere"), "/elsewhere"});
    EXPECT_TRUE(found.gone.empty());
    EXPECT_TRUE(found.shrunk.empty());
    result->apply(found);
    EXPECT_EQ(figures(*result), unchanged);
}

TEST_F(RecheckTest, AFolderThatCannotBeReadIsNeverTakenForGone) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the tree to the unprivileged user";
    // The unprivileged user looks at a folder it may not enter: nothing there counts as gone.
    chmod(tree.path("docs/sub").c_str(), 0700);
    chmod(tree.path("docs").c_str(), 0700);
    const std::string unchanged = figures(*result);
    std::filesystem::remove(tree.path("docs/a.txt"));
    const std::string docs = tree.path("docs");
    const int code = test::asNobody([&] {
        ScanResult::Recheck found = result->recheck({docs, docs + "/sub"});
        return found.gone.empty() && found.shrunk.empty() ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(figures(*result), unchanged);
}

}  // namespace
}  // namespace nimbrel
