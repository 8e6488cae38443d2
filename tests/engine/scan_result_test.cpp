#include "engine/scan_result.h"

#include <gtest/gtest.h>

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
        result.root = std::make_shared<DirNode>("/r", nullptr);
        root = result.root.get();
        a = addFolder(root, "a");
        c = addFolder(a, "c");
        modules = addFolder(c, "node_modules");
        ab = addFolder(root, "ab");
        addFile(a, "big.mov", 1000, FileCategory::video);
        addFile(ab, "doc.pdf", 2000, FileCategory::document);
        addSmall(root, 100, 1, FileCategory::other);
        addSmall(a, 50, 1, FileCategory::code);
        addSmall(modules, 400, 3, FileCategory::code);
        result.artifacts = {{"/r/a/c/node_modules", "Node.js dependencies", 400, 3}};
    }

    DirNode* addFolder(DirNode* parent, const std::string& name) {
        auto node = std::make_shared<DirNode>(name, parent);
        parent->children.push_back(node);
        return node.get();
    }
    void grow(DirNode* from, std::int64_t size, std::int64_t files) {
        for (DirNode* n = from; n; n = n->parent) {
            n->size += size;
            n->fileCount += files;
        }
    }
    void addFile(DirNode* parent, const std::string& name, std::int64_t size, FileCategory category) {
        FileItem item{nextID++, parent->path() + "/" + name, name, size, size, {}, {}, category, false,
                      parent};
        parent->files.push_back(item);
        result.files.push_back(item);
        grow(parent, size, 1);
        result.categoryTotals[category].size += size;
        result.categoryTotals[category].count += 1;
    }
    void addSmall(DirNode* parent, std::int64_t size, std::int64_t files, FileCategory category) {
        parent->smallFilesSize += size;
        grow(parent, size, files);
        result.categoryTotals[category].size += size;
        result.categoryTotals[category].count += files;
    }

    // Every folder's size is what its children, listed files and small files add up to.
    void expectConsistent(const DirNode* node) {
        std::int64_t sum = node->smallFilesSize;
        for (const auto& child : node->children) {
            sum += child->size;
            expectConsistent(child.get());
        }
        for (const FileItem& f : node->files)
            sum += f.size;
        EXPECT_EQ(node->size, sum) << node->path();
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
    result.root = std::make_shared<DirNode>("/", nullptr);
    auto users = std::make_shared<DirNode>("Users", result.root.get());
    result.root->children.push_back(users);
    auto x = std::make_shared<DirNode>("x", users.get());
    users->children.push_back(x);
    EXPECT_EQ(users->path(), "/Users");
    EXPECT_EQ(x->path(), "/Users/x");
    EXPECT_EQ(result.node("/Users/x"), x);
    EXPECT_EQ(result.node("/"), result.root);
}

TEST_F(ResultFixture, RemovingAListedFileLowersItsFoldersAndCategory) {
    result.remove({"/r/a/big.mov"}, {});
    EXPECT_EQ(a->size, 450);
    EXPECT_EQ(a->fileCount, 4);
    EXPECT_EQ(root->size, 2550);
    EXPECT_EQ(root->fileCount, 6);
    EXPECT_EQ(a->smallFilesSize, 50);
    EXPECT_TRUE(a->files.empty());
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].name, "doc.pdf");
    EXPECT_EQ(result.categoryTotals[FileCategory::video], (CategoryTotal{0, 0}));
    expectConsistent(root);
}

TEST_F(ResultFixture, RemovingAFolderTakesItsWholeSubtree) {
    std::shared_ptr<DirNode> held = result.node("/r/a");
    result.remove({"/r/a"}, {});
    EXPECT_EQ(root->children.size(), 1u);
    EXPECT_EQ(root->size, 2100);
    EXPECT_EQ(root->fileCount, 2);
    EXPECT_EQ(held->parent, nullptr);  // whoever holds it can tell it left the tree
    EXPECT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.categoryTotals[FileCategory::video], (CategoryTotal{0, 0}));
    // The untracked rest (450 bytes in 4 files) leaves "other" as one item; code is untouched.
    EXPECT_EQ(result.categoryTotals[FileCategory::other], (CategoryTotal{0, 0}));
    EXPECT_EQ(result.categoryTotals[FileCategory::code], (CategoryTotal{450, 4}));
    EXPECT_TRUE(result.artifacts.empty());
    expectConsistent(root);
}

TEST_F(ResultFixture, ArtifactsGoOnlyWithTheirOwnPathOrAnAncestor) {
    result.artifacts.push_back({"/r/ab", "x", 1, 1});
    result.artifacts.push_back({"/r/a", "y", 1, 1});
    result.remove({"/r/a"}, {});
    ASSERT_EQ(result.artifacts.size(), 1u);
    EXPECT_EQ(result.artifacts[0].path, "/r/ab");
}

TEST_F(ResultFixture, RemovingASmallFileNeedsItsMeasuredSize) {
    result.remove({"/r/a/notes.SWIFT"}, {});
    EXPECT_EQ(a->size, 1450);
    EXPECT_EQ(a->smallFilesSize, 50);

    result.remove({"/r/a/notes.SWIFT"}, {{"/r/a/notes.SWIFT", 0}});
    EXPECT_EQ(a->size, 1450);

    result.remove({"/r/a/notes.SWIFT"}, {{"/r/a/notes.SWIFT", 30}});
    EXPECT_EQ(a->smallFilesSize, 20);
    EXPECT_EQ(a->size, 1420);
    EXPECT_EQ(a->fileCount, 4);
    EXPECT_EQ(root->size, 3520);
    EXPECT_EQ(root->fileCount, 6);
    EXPECT_EQ(result.categoryTotals[FileCategory::code], (CategoryTotal{420, 3}));
    expectConsistent(root);
}

TEST_F(ResultFixture, TheRootStaysAndTotalsNeverGoNegativeOrAppear) {
    result.remove({"/r"}, {{"/r", 40}});
    EXPECT_EQ(result.root.get(), root);
    EXPECT_EQ(root->children.size(), 2u);

    // More than the category holds, in a category that never occurred.
    result.remove({"/r/x.iso"}, {{"/r/x.iso", 1'000'000}});
    EXPECT_FALSE(result.categoryTotals.count(FileCategory::diskImage));
    EXPECT_EQ(root->size, 0);
    EXPECT_EQ(root->smallFilesSize, 0);

    result.remove({"/r/a/c"}, {});
    result.remove({"/r/a/c"}, {});
    for (const auto& [category, total] : result.categoryTotals) {
        EXPECT_GE(total.size, 0) << category.rawValue();
        EXPECT_GE(total.count, 0) << category.rawValue();
    }
}

TEST(DirNode, SortingIsStableAndReachesEveryLevel) {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    DirNode* parent = root.get();
    std::shared_ptr<DirNode> deepest;
    for (int level = 0; level < 3; ++level) {
        for (int i = 0; i < 4; ++i) {
            auto child = std::make_shared<DirNode>("d" + std::to_string(i), parent);
            child->size = i % 2 ? 10 : 20;
            parent->children.push_back(child);
            FileItem f;
            f.id = i;
            f.size = i % 2 ? 5 : 7;
            parent->files.push_back(f);
        }
        parent = parent->children.back().get();
    }
    root->sortRecursively();
    for (DirNode* n = root.get(); n && !n->children.empty(); n = n->children[1].get()) {
        std::vector<std::string> names;
        for (const auto& child : n->children)
            names.push_back(child->name);
        EXPECT_EQ(names, (std::vector<std::string>{"d0", "d2", "d1", "d3"}));
        std::vector<std::int64_t> ids;
        for (const FileItem& f : n->files)
            ids.push_back(f.id);
        EXPECT_EQ(ids, (std::vector<std::int64_t>{0, 2, 1, 3}));
    }
}

TEST(DirNode, AVeryDeepTreeIsDestroyedWithoutRecursion) {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    DirNode* parent = root.get();
    for (int i = 0; i < 200000; ++i) {
        auto child = std::make_shared<DirNode>("d", parent);
        parent->children.push_back(child);
        parent = child.get();
    }
    root.reset();  // would overflow the stack if each folder destroyed its children recursively
}

}  // namespace
}  // namespace nimbrel
