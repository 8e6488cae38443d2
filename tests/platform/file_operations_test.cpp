#include "platform/file_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "engine/host_layout.h"
#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using test::exists;
using test::TempTree;

TEST(FileOperationsTest, LinkToAFolderIsRemovedAsALinkBothWays) {
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        std::string outside = tree.folder("outside");
        tree.file("outside/keep.txt");
        std::string link = tree.link("selection/link", outside);
        std::string folder = tree.folder("selection/folder");
        tree.link("selection/folder/inner-link", outside);
        tree.file("selection/folder/data.bin", 8192);

        FileOperations ops;
        auto result =
            RemovalWorker(ops, permanently).run({{link, std::nullopt, true}, {folder, std::nullopt, true}});
        EXPECT_TRUE(result.failures.empty());
        EXPECT_EQ(result.freed.size(), 2u);
        EXPECT_GE(result.freed[folder], 8192);
        EXPECT_FALSE(exists(link));
        EXPECT_FALSE(exists(folder));
        EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
    }
}

// Stopping (the application quits) ends a removal at its next item, and a folder removed for good
// at its next entry: what went is reported, what is left stays whole and is never emptied instead.
TEST(FileOperationsTest, AStoppedRemovalEndsAtItsNextItemOrEntry) {
    struct StopAfterFirst : FileOperations {
        std::atomic<bool> stop{false};
        std::optional<RemovalError> removeReviewed(const std::string& path, bool permanently,
                                                   const ReviewedEntry& reviewed) override {
            auto error = FileOperations::removeReviewed(path, permanently, reviewed);
            stop = true;
            return error;
        }
    };
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        const std::string first = tree.file("sel/first.bin", 8192);
        const std::string inside = tree.file("sel/second/inside.bin");
        StopAfterFirst ops;
        auto result =
            RemovalWorker(ops, permanently)
                .run({{first, std::nullopt, true}, {tree.path("sel/second"), std::nullopt, true}}, &ops.stop);
        EXPECT_EQ(result.freed.count(first), 1u);
        EXPECT_FALSE(exists(first));
        EXPECT_TRUE(exists(inside));
        EXPECT_TRUE(result.failures.empty());
    }
    TempTree tree;
    const std::string folder = tree.folder("sel/folder");
    const std::string inside = tree.file("sel/folder/inside.bin");
    std::atomic<bool> stop{true};
    FileOperations ops;
    ops.stopWhen(&stop);
    const auto error = ops.remove(folder, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->cause, RemovalError::Cause::stopped);
    EXPECT_FALSE(error->allowsClearInside());
    EXPECT_TRUE(exists(inside));
}

// A folder on the way replaced by a link after the review: neither mode acts, nor does the
// clear-inside step list or empty the link's target.
// Each entry is judged when the removal reaches it: one replaced (another file renamed over it)
// while an earlier item of the same removal was going stays, with nothing credited, in both modes.
TEST(FileOperationsTest, AnEntryReplacedDuringTheRemovalStays) {
    struct SwapAfterFirst : FileOperations {
        std::function<void()> swap;
        std::optional<RemovalError> removeReviewed(const std::string& path, bool permanently,
                                                   const ReviewedEntry& reviewed) override {
            auto error = FileOperations::removeReviewed(path, permanently, reviewed);
            if (swap) std::exchange(swap, nullptr)();
            return error;
        }
    };
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        const std::string first = tree.file("sel/first.bin", 8192),
                          second = tree.file("sel/second.bin", 8192);
        auto seen = [](const std::string& path) { return EntryIdentity::read(path); };
        SwapAfterFirst ops;
        const std::string incoming = tree.file("sel/incoming.bin", 300000);
        ops.swap = [&] { ASSERT_EQ(::rename(incoming.c_str(), second.c_str()), 0); };
        auto result =
            RemovalWorker(ops, permanently)
                .run({{first, 8192, false, true, seen(first)}, {second, 8192, false, true, seen(second)}});
        EXPECT_FALSE(exists(first));
        ASSERT_TRUE(exists(second));
        EXPECT_EQ(EntryIdentity::read(second)->size, 300000);
        ASSERT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.failures[0].path, second);
        EXPECT_EQ(result.failures[0].reason, DeletionFailure::Reason::changedSinceScan);
        EXPECT_FALSE(result.freed.count(second));
    }
}

TEST(FileOperationsTest, SwappedParentIsOneFailureInBothModes) {
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        tree.file("elsewhere/cache/blob.bin", 4096);
        tree.file("scanned/cache/blob.bin", 4096);
        std::filesystem::rename(tree.path("scanned"), tree.path("scanned-away"));
        tree.link("scanned", tree.path("elsewhere"));
        FileOperations ops(std::vector<std::string>{});
        auto result = RemovalWorker(ops, permanently)
                          .run({{tree.path("scanned/cache"), std::nullopt, true},
                                {tree.path("scanned/cache/blob.bin"), 4096, true}});
        EXPECT_TRUE(result.freed.empty());
        ASSERT_EQ(result.failures.size(), 2u);
        EXPECT_EQ(result.failures[0].reason, DeletionFailure::Reason::other);
        EXPECT_TRUE(exists(tree.path("elsewhere/cache/blob.bin")));
        EXPECT_FALSE(ops.isFolder(tree.path("scanned/cache")));
        EXPECT_TRUE(ops.list(tree.path("scanned/cache")).error);
        // The scan root itself may be a link: below it all is walked without links.
        FileOperations anchored(std::vector<std::string>{tree.path("scanned")});
        auto through =
            RemovalWorker(anchored, permanently).run({{tree.path("scanned/cache"), std::nullopt, false}});
        EXPECT_TRUE(through.failures.empty());
        EXPECT_FALSE(exists(tree.path("elsewhere/cache")));
    }
}

// A file system mounted over a folder on the way once the removal has begun (a bind of another
// folder, or of "/", over a folder above a ticked item): what it shows was never reviewed, so
// neither mode acts there, nor does the clear-inside step list or empty it.
TEST(FileOperationsTest, FolderMountedOverSinceTheRemovalBeganIsRefused) {
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        tree.file("elsewhere/cache/blob.bin", 4096);
        tree.file("scanned/cache/blob.bin", 4096);
        FileOperations ops({tree.root()});
        auto over = test::ScopedMount::bind(tree.path("elsewhere"), tree.path("scanned"));
        if (!over.ok()) GTEST_SKIP() << "cannot bind-mount here (" << over.error() << ")";
        auto result = RemovalWorker(ops, permanently)
                          .run({{tree.path("scanned/cache"), std::nullopt, true},
                                {tree.path("scanned/cache/blob.bin"), 4096, true}});
        EXPECT_TRUE(result.freed.empty());
        ASSERT_EQ(result.failures.size(), 2u);
        EXPECT_NE(result.failures[0].detail.find("mounted on its way"), std::string::npos)
            << result.failures[0].detail;
        EXPECT_TRUE(exists(tree.path("elsewhere/cache/blob.bin")));
        EXPECT_TRUE(ops.list(tree.path("scanned/cache")).error);
        // A removal begun with the mount in place acts on what it shows, as reviewed then.
        FileOperations later({tree.root()});
        EXPECT_FALSE(later.remove(tree.path("scanned/cache/blob.bin"), true));
        EXPECT_FALSE(exists(tree.path("elsewhere/cache/blob.bin")));
    }
}

// A junk location behind a link (~/.cache on another disk) is reached through the folder pinned at
// the review, while that folder is still the same; a link swapped in afterwards, or one below the
// pinned folder, is refused, and the worst is that nothing goes.
TEST(FileOperationsTest, PinnedFolderIsReachedThroughItsLinkOnlyWhileItIsTheSame) {
    for (bool permanently : {false, true}) {
        SCOPED_TRACE(permanently ? "for good" : "to the Trash");
        TempTree tree;
        tree.file("data/cache/pip/wheel.bin", 4096);
        tree.file("data/cache/npm/pack.bin", 4096);
        tree.file("data/other/pip/keep.bin", 4096);
        tree.link("data/cache/elsewhere", tree.path("data/other"));
        const std::string home = tree.folder("home"), cache = home + "/.cache";
        tree.link("home/.cache", tree.path("data/cache"));
        const std::optional<PinnedFolder> pin = PinnedFolder::pin(cache);
        ASSERT_TRUE(pin);

        // Without the pin the link below the home folder is refused, as for any other folder.
        FileOperations unpinned({home});
        EXPECT_EQ(
            RemovalWorker(unpinned, permanently).run({{cache + "/pip", std::nullopt, true}}).failures.size(),
            1u);
        EXPECT_TRUE(exists(tree.path("data/cache/pip/wheel.bin")));

        FileOperations ops({home}, {*pin});
        EXPECT_TRUE(ops.isFolder(cache + "/pip"));
        EXPECT_FALSE(ops.list(cache + "/npm").error);
        auto result =
            RemovalWorker(ops, permanently)
                .run({{cache + "/pip", std::nullopt, true}, {cache + "/elsewhere/pip", std::nullopt, true}});
        EXPECT_EQ(result.freed.count(cache + "/pip"), 1u);
        EXPECT_FALSE(exists(tree.path("data/cache/pip")));
        ASSERT_EQ(result.failures.size(), 1u);  // a link below the pinned folder is not followed
        EXPECT_EQ(result.failures[0].path, cache + "/elsewhere/pip");
        EXPECT_TRUE(exists(tree.path("data/other/pip/keep.bin")));

        // The link now leads elsewhere: refused in both modes, by the clear-inside step too.
        std::filesystem::remove(cache);
        tree.link("home/.cache", tree.path("data/other"));
        auto swapped = RemovalWorker(ops, permanently).run({{cache + "/pip", std::nullopt, true}});
        EXPECT_TRUE(swapped.freed.empty());
        ASSERT_EQ(swapped.failures.size(), 1u);
        EXPECT_NE(swapped.failures[0].detail.find("no longer leads"), std::string::npos)
            << swapped.failures[0].detail;
        EXPECT_FALSE(ops.isFolder(cache + "/pip"));
        EXPECT_TRUE(exists(tree.path("data/other/pip/keep.bin")));
        EXPECT_TRUE(exists(tree.path("data/cache/npm/pack.bin")));
    }
}

// As an unprivileged user: a removal for good that stops part-way credits what went.
TEST(FileOperationsTest, PartlyRemovedFolderCreditsWhatWent) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to build a tree that two users own";
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    const std::string docs = tree.folder("docs");
    for (int i = 0; i < 8; ++i)
        tree.file("docs/f" + std::to_string(i) + ".bin", 8000);
    tree.file("docs/locked/keep.bin", 8000);
    const std::string report = tree.file("report.txt", 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(docs))
        chown(entry.path().c_str(), 65534, 65534);
    chown(docs.c_str(), 65534, 65534);
    chown(report.c_str(), 65534, 65534);
    chown(tree.path("docs/locked").c_str(), 0, 0);  // root's: its file cannot go
    int code = test::runUnprivileged([&] {
        FileOperations ops(std::vector<std::string>{});
        auto result = RemovalWorker(ops, true).run({{docs, 80000, false}});
        std::ofstream out(report);
        auto partial = result.partlyRemoved[docs];
        out << result.freed.size() << " " << result.failures.size() << " " << partial.freedBytes << " "
            << partial.goneInside.size() << "\n";
        return 0;
    });
    if (code == 120 || code == -1) GTEST_SKIP() << "cannot switch to an unprivileged user";
    ASSERT_EQ(code, 0);
    int gone = 0;
    for (int i = 0; i < 8; ++i)
        gone += exists(tree.path("docs/f" + std::to_string(i) + ".bin")) ? 0 : 1;
    std::ifstream in(report);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "0 1 " + std::to_string(gone * 8192) + " " + std::to_string(gone));
    EXPECT_TRUE(exists(tree.path("docs/locked/keep.bin")));
}

// As an unprivileged user, in both modes: a permission failure says whose is what. The user's own
// file in the system's folder is the user's, its folder is not; another user's file in a shared
// sticky folder is theirs, not the system's protection; a locked folder of the user's own is the
// user's to mend.
TEST(FileOperationsTest, PermissionFailuresSayWhoseIsWhatInBothModes) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to build a tree that two users own";
    using Reason = DeletionFailure::Reason;
    struct Case {
        const char* ticked;
        Reason reason;
        const char* says;
        const char* never;
    };
    const Case cases[] = {
        {"system/mine.txt", Reason::noPermission,
         "(it is yours, but the folder it is in belongs to the system (root)", "another user"},
        {"system/my-folder", Reason::noPermission,
         "(it is yours, but the folder it is in belongs to the system (root)", "another user"},
        {"system/theirs.txt", Reason::noPermission, "the folder it is in belongs to the system (root)",
         "yours"},
        {"home/root-folder", Reason::noPermission, "belongs to the system (root) and does not let you",
         "yours"},
        {"shared/theirs.txt", Reason::noPermission,
         "(it belongs to the system (root), in a shared folder where only its owner", "yours"},
        // The folder to mend is named, whichever part of the tree refuses.
        {"home/locked/mine.txt", Reason::other,
         "(your folder {root}/home/locked does not allow changes; "
         "give yourself write access to that folder)",
         "belongs to"},
        {"home/Archiv-2019/old-export", Reason::other,
         "old-export: Permission denied (your folder {root}/home/Archiv-2019 does not allow changes",
         "belongs to"},
    };
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    tree.file("system/theirs.txt");
    tree.file("home/root-folder/f.txt");
    tree.file("shared/theirs.txt");
    for (const char* mine : {"system/mine.txt", "system/my-folder/f.txt", "home/locked/mine.txt",
                             "home/Archiv-2019/old-export/f"})
        chown(tree.file(mine).c_str(), 65534, 65534);
    for (const char* mine :
         {"system/my-folder", "home", "home/locked", "home/Archiv-2019", "home/Archiv-2019/old-export"})
        chown(tree.path(mine).c_str(), 65534, 65534);
    for (const char* locked : {"home/locked", "home/Archiv-2019"})
        chmod(tree.path(locked).c_str(), 0555);
    chmod(tree.path("shared").c_str(), 01777);
    const std::string report = tree.file("report.txt", 0);
    chown(report.c_str(), 65534, 65534);
    // The user's Trash, theirs for this test: the data home of this test program is root's.
    const std::string trash = HostLayout::current().trashFolder;
    const std::string dataHome = trash.substr(0, trash.rfind('/'));
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        std::filesystem::create_directories(folder);
        chown(folder.c_str(), 65534, 65534);
    }
    chmod(dataHome.c_str(), 0755);
    int code = test::runUnprivileged([&] {
        std::ofstream out(report);
        FileOperations ops(std::vector<std::string>{});
        for (bool permanently : {false, true})
            for (const Case& c : cases) {
                auto result =
                    RemovalWorker(ops, permanently).run({{tree.path(c.ticked), std::nullopt, false}});
                for (const DeletionFailure& failure : result.failures)
                    out << DeletionFailure::rawValue(failure.reason) << "|" << failure.detail << "\n";
                if (result.failures.empty()) out << "removed\n";
            }
        return 0;
    });
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"})
        chown(folder.c_str(), 0, 0);
    chmod(dataHome.c_str(), 0700);
    if (code == 120 || code == -1) GTEST_SKIP() << "cannot switch to an unprivileged user";
    ASSERT_EQ(code, 0);
    std::ifstream in(report);
    for (bool permanently : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.ticked) + (permanently ? ", for good" : ", to the Trash"));
            std::string line;
            ASSERT_TRUE(std::getline(in, line));
            EXPECT_EQ(line.substr(0, line.find('|')), DeletionFailure::rawValue(c.reason)) << line;
            std::string says = c.says;
            if (const size_t at = says.find("{root}"); at != std::string::npos)
                says.replace(at, 6, tree.root());
            EXPECT_NE(line.find(says), std::string::npos) << line;
            EXPECT_EQ(line.find(c.never), std::string::npos) << line;
            EXPECT_TRUE(exists(tree.path(c.ticked)));
        }
}

TEST(FileOperationsTest, ListingAndFolderTestNeverGoThroughLinks) {
    TempTree tree;
    std::string outside = tree.folder("outside");
    tree.file("outside/a");
    tree.file("outside/.b");
    std::string link = tree.link("link", outside);
    FileOperations ops;
    EXPECT_TRUE(ops.isFolder(outside));
    EXPECT_FALSE(ops.isFolder(link));
    EXPECT_FALSE(ops.isFolder(tree.path("missing")));
    auto listing = ops.list(outside);
    std::sort(listing.names.begin(), listing.names.end());
    EXPECT_EQ(listing.names, (std::vector<std::string>{".b", "a"}));
    EXPECT_TRUE(ops.list(tree.path("missing")).error);
}

// As an unprivileged user: a deep-clean folder that may not go whole is emptied down to four
// levels below it, and what stayed is reported with its reason.
TEST(FileOperationsTest, PermissionFailureEmptiesADeepCleanFolderAndReportsWhatStayed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to build a tree that two users own";
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    std::string cache = tree.folder("cache");
    std::string deep = tree.folder("cache/deep");  // root's: nothing directly inside can go
    tree.file("cache/deep/x.txt");
    tree.file("cache/deep/w/f1", 4096);  // w is the user's: its contents can go, w itself not
    tree.file("cache/deep/l1/l2/l3/l4/l5/f");
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    tree.link("cache/deep/link", outside);
    std::string report = tree.path("report.txt");
    std::ofstream(report).flush();
    for (const std::string& mine : {cache, tree.path("cache/deep/w"), outside, report})
        chown(mine.c_str(), 65534, 65534);
    for (const std::string& theirs :
         {deep, tree.path("cache/deep/l1"), tree.path("cache/deep/l1/l2/l3/l4/l5")})
        chmod(theirs.c_str(), 0555);  // also refuses a non-root user who owns them

    int code = test::runUnprivileged([&] {
        FileOperations ops;
        auto result = RemovalWorker(ops, true).run({{deep, std::nullopt, true}});
        std::ofstream out(report);
        for (const auto& [path, size] : result.freed)
            out << "freed " << path << "\n";
        for (const auto& failure : result.failures)
            out << "failed " << failure.path << " " << DeletionFailure::rawValue(failure.reason) << "\n";
        return 0;
    });
    if (code == 120 || code == -1) GTEST_SKIP() << "cannot switch to an unprivileged user";
    ASSERT_EQ(code, 0);
    std::ifstream in(report);
    std::set<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    const std::string d = deep + "/";
    EXPECT_EQ(lines, (std::set<std::string>{
                         "freed " + d + "w/f1",
                         "failed " + d + "x.txt noPermission",
                         "failed " + d + "link noPermission",
                         "failed " + d + "l1/l2/l3/l4/l5 noPermission",
                     }));
    EXPECT_TRUE(exists(deep));
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
}

}  // namespace
}  // namespace nimbrel
