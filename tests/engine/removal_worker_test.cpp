#include "engine/removal_worker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

namespace nimbrel {
namespace {

using Reason = DeletionFailure::Reason;

// An in-memory tree whose removals fail where a test says so. Paths are absolute and "/"-joined.
class FakeOps : public RemovalFileOps {
  public:
    struct Node {
        bool folder = false;
        int64_t size = 0;
        std::optional<RemovalError> removeError;
        std::optional<RemovalError> listError;
        bool link = false;  // a link to a folder: removable as a link, never a folder itself
    };

    void add(const std::string& path, Node node) { nodes[path] = std::move(node); }
    void folder(const std::string& path, std::optional<RemovalError> removeError = std::nullopt) {
        Node node;
        node.folder = true;
        node.removeError = removeError;
        add(path, node);
    }
    void file(const std::string& path, int64_t size) {
        Node node;
        node.size = size;
        add(path, node);
    }

    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        calls.push_back((permanently ? "rm " : "trash ") + path);
        auto it = nodes.find(path);
        if (it == nodes.end()) return RemovalError::notFound();
        if (it->second.removeError) return it->second.removeError;
        eraseTree(path);
        return std::nullopt;
    }
    bool isFolder(const std::string& path) override {
        auto it = nodes.find(path);
        return it != nodes.end() && it->second.folder && !it->second.link;
    }
    Listing list(const std::string& folder) override {
        calls.push_back("list " + folder);
        Listing listing;
        if (nodes.at(folder).listError) {
            listing.error = nodes.at(folder).listError;
            return listing;
        }
        for (const auto& [path, node] : nodes) {
            if (path.size() > folder.size() && path.compare(0, folder.size() + 1, folder + "/") == 0 &&
                path.find('/', folder.size() + 1) == std::string::npos)
                listing.names.push_back(path.substr(folder.size() + 1));
        }
        return listing;
    }
    int64_t allocatedSize(const std::string& path) override {
        int64_t total = 0;
        for (const auto& [p, node] : nodes)
            if (p == path || p.compare(0, path.size() + 1, path + "/") == 0) total += node.size;
        return total;
    }

    void eraseTree(const std::string& path) {
        for (auto it = nodes.begin(); it != nodes.end();) {
            bool inside = it->first == path || it->first.compare(0, path.size() + 1, path + "/") == 0;
            it = inside ? nodes.erase(it) : std::next(it);
        }
    }

    std::map<std::string, Node> nodes;
    std::vector<std::string> calls;
};

const RemovalError kDenied = RemovalError::posix(EACCES, "denied");

TEST(RemovalWorkerTest, RemovesItemsWithKnownOrMeasuredSizes) {
    FakeOps ops;
    ops.file("/t/a", 100);
    ops.folder("/t/d");
    ops.file("/t/d/x", 40);
    ops.file("/t/d/y", 60);
    auto result = RemovalWorker(ops, false).run({{"/t/a", 7, false}, {"/t/d", std::nullopt, false}});
    EXPECT_EQ(result.freed, (std::unordered_map<std::string, int64_t>{{"/t/a", 7}, {"/t/d", 100}}));
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(ops.calls, (std::vector<std::string>{"trash /t/a", "trash /t/d"}));
}

TEST(RemovalWorkerTest, VanishedPathCountsAsRemovedWithZeroBytes) {
    FakeOps ops;
    auto result = RemovalWorker(ops, true).run({{"/gone", 500, false}});
    EXPECT_EQ(result.freed, (std::unordered_map<std::string, int64_t>{{"/gone", 0}}));
    EXPECT_TRUE(result.failures.empty());
}

TEST(RemovalWorkerTest, FailedFolderIsEmptiedOnlyWhenTheItemAllowsIt) {
    for (bool allowed : {true, false}) {
        FakeOps ops;
        ops.folder("/c", kDenied);
        ops.file("/c/ok", 30);
        ops.file("/c/busy", 5);
        ops.nodes["/c/busy"].removeError = RemovalError::posix(EBUSY, "busy");
        auto result = RemovalWorker(ops, false).run({{"/c", 99, allowed}});
        if (allowed) {
            EXPECT_EQ(result.freed, (std::unordered_map<std::string, int64_t>{{"/c/ok", 30}}));
            ASSERT_EQ(result.failures.size(), 1u);
            EXPECT_EQ(result.failures[0], (DeletionFailure{"/c/busy", Reason::inUse, "busy"}));
            EXPECT_TRUE(ops.nodes.count("/c"));  // the emptied folder itself stays
        } else {
            EXPECT_TRUE(result.freed.empty());
            ASSERT_EQ(result.failures.size(), 1u);
            EXPECT_EQ(result.failures[0], (DeletionFailure{"/c", Reason::noPermission, "denied"}));
            EXPECT_TRUE(ops.nodes.count("/c/ok"));
        }
    }
}

TEST(RemovalWorkerTest, ClearInsideDescendsFourLevelsThenReportsTheFifth) {
    FakeOps ops;
    std::string path = "/deep";
    ops.folder(path, kDenied);
    for (int level = 1; level <= 6; ++level) {
        path += "/l" + std::to_string(level);
        ops.folder(path, kDenied);
        ops.file(path + "/f", 1);
    }
    auto result = RemovalWorker(ops, false).run({{"/deep", std::nullopt, true}});
    // Levels 1 to 4 are emptied of their files; level 5 is reported whole.
    EXPECT_EQ(result.freed.size(), 4u);
    EXPECT_TRUE(result.freed.count("/deep/l1/l2/l3/l4/f"));
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].path, "/deep/l1/l2/l3/l4/l5");
}

TEST(RemovalWorkerTest, FolderThatCannotBeListedOrHoldsNothingIsReported) {
    FakeOps ops;
    ops.folder("/locked", RemovalError::posix(EPERM, "not permitted"));
    ops.nodes["/locked"].listError = kDenied;
    ops.folder("/empty", kDenied);
    auto result = RemovalWorker(ops, false).run({{"/locked", 1, true}, {"/empty", 1, true}});
    EXPECT_TRUE(result.freed.empty());
    EXPECT_EQ(result.failures,
              (std::vector<DeletionFailure>{{"/locked", Reason::protectedByMacOS, "not permitted"},
                                            {"/empty", Reason::noPermission, "denied"}}));
}

TEST(RemovalWorkerTest, LinkToAFolderIsNeverEmptiedThroughItsTarget) {
    FakeOps ops;
    ops.folder("/cache/link", kDenied);
    ops.nodes["/cache/link"].link = true;
    ops.folder("/cache/link/precious");  // what the link points at, as a folder would show it
    auto result = RemovalWorker(ops, false).run({{"/cache/link", std::nullopt, true}});
    EXPECT_EQ(result.failures,
              (std::vector<DeletionFailure>{{"/cache/link", Reason::noPermission, "denied"}}));
    for (const std::string& call : ops.calls)
        EXPECT_EQ(call.find("list"), std::string::npos) << call;
    EXPECT_TRUE(ops.nodes.count("/cache/link/precious"));
}

TEST(RemovalWorkerTest, OnlyOneNormalAbsoluteSpellingReachesTheDisk) {
    const std::string refused[] = {"relative/x", "",       "/",
                                   "/a//b",      "/a/./b", "/a/../Desktop",
                                   "/a/b/",      "/a/..",  std::string("/a/x\0/b", 6)};
    for (bool permanently : {true, false}) {
        FakeOps ops;
        std::vector<DeletionItem> items;
        for (const std::string& path : refused)
            items.push_back({path, 1, true});
        auto result = RemovalWorker(ops, permanently).run(items);
        EXPECT_TRUE(ops.calls.empty());
        EXPECT_TRUE(result.freed.empty());
        ASSERT_EQ(result.failures.size(), std::size(refused));
        for (const DeletionFailure& failure : result.failures)
            EXPECT_EQ(failure.reason, Reason::other) << failure.path;
    }
}

// Failures that say the item must stay whole: never emptied item by item instead.
TEST(RemovalWorkerTest, WholeItemFailuresAreOneFailureEvenWhenEmptyingIsAllowed) {
    using Cause = RemovalError::Cause;
    for (Cause cause : {Cause::noTrash, Cause::mountPoint, Cause::pathChanged}) {
        FakeOps ops;
        ops.folder("/vol/node_modules", RemovalError::refused(cause, "stays"));
        for (int i = 0; i < 50; ++i)
            ops.file("/vol/node_modules/f" + std::to_string(i), 1);
        auto result = RemovalWorker(ops, false).run({{"/vol/node_modules", std::nullopt, true}});
        EXPECT_EQ(result.failures,
                  (std::vector<DeletionFailure>{{"/vol/node_modules", Reason::other, "stays"}}));
        EXPECT_EQ(ops.calls, (std::vector<std::string>{"trash /vol/node_modules"}));
    }
    // A plain permission refusal still lets a cleaning item be emptied.
    FakeOps ops;
    ops.folder("/c", kDenied);
    ops.file("/c/a", 3);
    auto result = RemovalWorker(ops, false).run({{"/c", std::nullopt, true}});
    EXPECT_EQ(result.freed, (std::unordered_map<std::string, int64_t>{{"/c/a", 3}}));
}

// Operations that count what they freed: the worker credits exactly that, also for an item that
// stopped part-way, and measures nothing beforehand.
class CountingOps : public FakeOps {
  public:
    bool countsFreedBytes(bool permanently) const override { return permanently; }
    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        auto error = FakeOps::remove(path, permanently);
        last =
            Counted{counted.count(path) ? counted[path] : 0, error ? goneInside : std::vector<std::string>{}};
        return error;
    }
    std::optional<Counted> takeCounted() override { return std::exchange(last, std::nullopt); }
    int64_t allocatedSize(const std::string& path) override {
        calls.push_back("measure " + path);
        return FakeOps::allocatedSize(path);
    }
    std::map<std::string, int64_t> counted;
    std::vector<std::string> goneInside;
    std::optional<Counted> last;
};

TEST(RemovalWorkerTest, CreditsTheBytesTheRemovalCounted) {
    CountingOps ops;
    ops.folder("/docs", RemovalError::posix(EACCES, "denied"));
    ops.file("/docs/big", 100);
    ops.file("/shared", 50);
    ops.counted = {{"/docs", 8192}, {"/shared", 0}};
    ops.goneInside = {"/docs/a", "/docs/b"};
    auto result = RemovalWorker(ops, true).run({{"/docs", 999, false}, {"/shared", 50, false}});
    EXPECT_EQ(result.freed, (std::unordered_map<std::string, int64_t>{{"/shared", 0}}));
    ASSERT_EQ(result.partlyRemoved.size(), 1u);
    EXPECT_EQ(result.partlyRemoved["/docs"].freedBytes, 8192);
    EXPECT_EQ(result.partlyRemoved["/docs"].goneInside, (std::vector<std::string>{"/docs/a", "/docs/b"}));
    ASSERT_EQ(result.failures.size(), 1u);
    for (const std::string& call : ops.calls)
        EXPECT_EQ(call.find("measure"), std::string::npos) << call;
}

TEST(RemovalWorkerTest, StopEndsTheRunBetweenItems) {
    FakeOps ops;
    ops.file("/a", 1);
    ops.file("/b", 1);
    std::atomic<bool> stop{true};
    auto result = RemovalWorker(ops, true).run({{"/a", 1, false}, {"/b", 1, false}}, &stop);
    EXPECT_TRUE(result.freed.empty());
    EXPECT_TRUE(ops.calls.empty());
}

}  // namespace
}  // namespace nimbrel
