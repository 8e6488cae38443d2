#include "model/removal.h"

#include <gtest/gtest.h>

#include <map>

#include "model/app_state_test_support.h"

namespace nimbrel {
namespace {

using Kind = CleanItem::Kind;
using Source = CleanItem::Source;

CleanItem entry(std::string id, int64_t size, Kind kind = Kind::folder, Source source = Source::space) {
    return testing::cleanItem(std::move(id), size, kind, source);
}

struct Fixture {
    std::map<std::string, std::vector<std::string>> junk;     // entry id -> targets
    std::map<std::string, std::vector<std::string>> folders;  // folder -> names
    RemovalSources sources() const {
        RemovalSources s;
        s.junkTargets = [this](const std::string& id) -> std::optional<std::vector<JunkEntry>> {
            auto it = junk.find(id);
            if (it == junk.end()) return std::nullopt;
            std::vector<JunkEntry> entries;
            for (const std::string& path : it->second)
                entries.push_back({path});
            return entries;
        };
        s.contentsOnly = {"/home/u/.cache"};
        s.listFolder = [this](const std::string& folder) {
            RemovalFileOps::Listing listing;
            auto it = folders.find(folder);
            if (it == folders.end())
                listing.error = RemovalError::posix(EACCES);
            else
                listing.names = it->second;
            return listing;
        };
        // Every folder leads to itself, numbered by its length.
        s.pin = [](const std::string& folder) -> std::optional<PinnedFolder> {
            return PinnedFolder{folder, 1, folder.size()};
        };
        s.normalize = [](const std::string& path) {
            std::string p = path;
            while (p.size() > 1 && p.back() == '/')
                p.pop_back();
            return p;
        };
        return s;
    }
};

TEST(ReviewedRemovalTest, ExpandsJunkAndContentsOnlyFoldersAndKeepsTheFirstOfEachPath) {
    Fixture f;
    f.junk["junk:caches"] = {"/home/u/.cache/pip", "/home/u/.cache/npm"};
    f.folders["/home/u/.cache"] = {"com.apple.Safari", "thumbnails", "com.apple", ".."};
    std::vector<CleanItem> queue = {
        entry("/home/u/big.iso", 500, Kind::file),
        entry("junk:caches", 300, Kind::junk, Source::deepClean),
        entry("/home/u/.cache", 200),  // a contents-only folder
        entry("/home/u/.cache/npm", 999, Kind::folder, Source::space),
        entry("/home/u/not-chosen", 1),
        entry("/home/u/build", 50, Kind::folder, Source::deepClean),
        entry("/home/u/Tool.app", 70, Kind::file),  // a package: a folder listed as a file
        // Spellings the remover would read otherwise than the guard never reach the request.
        entry("/home/u/lnk/../Desktop", 7),
        entry("/home/u/Documents/", 7),
        entry("Documents", 7),
    };
    auto removal = buildReviewedRemoval(
        queue,
        {"/home/u/big.iso", "junk:caches", "/home/u/.cache", "/home/u/.cache/npm", "/home/u/build",
         "/home/u/Tool.app", "nope", "/home/u/lnk/../Desktop", "/home/u/Documents/", "Documents"},
        f.sources());
    ASSERT_TRUE(removal);
    const std::vector<DeletionItem> expected = {
        // Reviewed as a file: a folder in its place later is not what was reviewed.
        {"/home/u/big.iso", 500, false, true},
        {"/home/u/.cache/pip", std::nullopt, true},
        {"/home/u/.cache/npm", std::nullopt, true},
        // The contents-only folder's own path is never an item; its "com.apple." names are left out.
        {"/home/u/.cache/thumbnails", std::nullopt, true},
        {"/home/u/.cache/com.apple", std::nullopt, true},
        {"/home/u/build", 50, true},
        {"/home/u/Tool.app", 70, false, false},
    };
    const std::vector<DeletionItem>& items = removal->request.items;
    EXPECT_EQ(items, expected);
    EXPECT_EQ(removal->request.estimatedSize, 500 + 300 + 200 + 999 + 50 + 70);
    EXPECT_EQ(removal->request.queueIDs.size(), 6u);
    EXPECT_EQ(removal->clearedIDs, (std::unordered_set<std::string>{"junk:caches", "/home/u/.cache"}));
    EXPECT_TRUE(removal->touchesCleanup);
    EXPECT_TRUE(removal->request.title.empty());
    EXPECT_FALSE(removal->request.summary);
    // Junk targets are removed through their folder as it is now, once per folder; nothing else is.
    EXPECT_EQ(removal->request.pinnedFolders,
              (std::vector<PinnedFolder>{{"/home/u/.cache", 1, std::string("/home/u/.cache").size()}}));
}

TEST(ReviewedRemovalTest, NothingToRemoveGivesNoRequest) {
    Fixture f;
    f.folders["/home/u/.cache"] = {"com.apple.x", "com.apple.y"};
    f.junk["junk:empty"] = {};
    const std::vector<CleanItem> queue = {entry("/home/u/.cache", 10), entry("junk:empty", 20, Kind::junk),
                                          entry("junk:unknown", 30, Kind::junk), entry("/home/u/a", 1)};
    const std::vector<std::unordered_set<std::string>> choices = {
        {}, {"nope"}, {"/home/u/.cache"}, {"junk:empty", "junk:unknown"}};
    for (const auto& ids : choices)
        EXPECT_FALSE(buildReviewedRemoval(queue, ids, f.sources()));
    // An unreadable contents-only folder offers nothing either.
    Fixture unreadable;
    EXPECT_FALSE(
        buildReviewedRemoval({entry("/home/u/.cache", 1)}, {"/home/u/.cache"}, unreadable.sources()));
}

TEST(ReviewedRemovalTest, ClearInsideFollowsTheEntrysSource) {
    Fixture f;
    const std::vector<CleanItem> queue = {entry("/p/a", 1, Kind::folder, Source::deepClean),
                                          entry("/p/b", 1, Kind::folder, Source::space),
                                          entry("/p/c", 1, Kind::artifact, Source::files)};
    auto removal = buildReviewedRemoval(queue, {"/p/a", "/p/b", "/p/c"}, f.sources());
    ASSERT_TRUE(removal);
    std::vector<bool> flags;
    for (const auto& item : removal->request.items)
        flags.push_back(item.clearInsideOnFailure);
    EXPECT_EQ(flags, (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(removal->touchesCleanup);
    auto spaceOnly = buildReviewedRemoval(queue, {"/p/b"}, f.sources());
    ASSERT_TRUE(spaceOnly);
    EXPECT_FALSE(spaceOnly->touchesCleanup);
}

// Only entries removed under their own id leave the selection when the guard refuses their path: a
// refused junk target or child of a contents-only folder is no entry, unless chosen as one too.
TEST(ReviewedRemovalTest, GuardRefusedEntriesExcludeJunkAndContentsOnlyFolders) {
    Fixture f;
    f.junk["junk:caches"] = {"/home/u/.cache/pip", "/usr/share/x"};
    f.folders["/home/u/.cache"] = {"npm", "pip"};
    const std::vector<CleanItem> queue = {
        entry("/usr", 1),
        entry("/home/u/.cache", 1),
        entry("junk:caches", 1, Kind::junk),
        entry("/home/u/x", 1),
        entry("/home/u/.cache/npm", 1, Kind::file),
        entry("/usr/share/x", 1)};  // chosen too, after the junk entry that names it first
    std::unordered_set<std::string> ids;
    for (const CleanItem& item : queue)
        ids.insert(item.id);
    auto removal = buildReviewedRemoval(queue, ids, f.sources());
    ASSERT_TRUE(removal);
    std::unordered_set<std::string> refusedPaths;
    for (const DeletionItem& item : removal->request.items)
        if (item.path != "/home/u/x") refusedPaths.insert(item.path);
    EXPECT_EQ(guardRefusedIDs(removal->entryPaths, refusedPaths),
              (std::unordered_set<std::string>{"/usr", "/usr/share/x", "/home/u/.cache/npm"}));
}

TEST(RemovalTextTest, HoldGrowsWithEntriesWithinOneToEightSeconds) {
    const std::pair<size_t, int> table[] = {{0, 1000}, {1, 1450},  {2, 2000},  {3, 2550},
                                            {5, 3650}, {12, 7500}, {13, 8000}, {100000, 8000}};
    for (auto [entries, ms] : table)
        EXPECT_EQ(removalHold(entries).count(), ms) << entries;
}

TEST(RemovalTextTest, ToastTexts) {
    EXPECT_EQ(removalToastText(1200000, 3, false), "Nimbrelised 1.2 MB · 3 items in the Trash");
    EXPECT_EQ(removalToastText(-5, 1, true), "Nimbrelised Zero KB · 1 item gone for good");
    EXPECT_EQ(demoRemovalToastText(2000), "Nimbrelised 2 KB · demo mode, nothing was deleted");
    EXPECT_EQ(trashEmptiedToastText(0), "Trash emptied");
    EXPECT_EQ(trashEmptiedToastText(5000000), "Trash emptied · 5 MB nimbrelised");
    EXPECT_EQ(copiedPathsToastText({"/home/u/Documents/a b"}, "/home/u"), "Copied ~/Documents/a b");
    EXPECT_EQ(copiedPathsToastText({"/home/u"}, "/home/u"), "Copied ~");
    EXPECT_EQ(copiedPathsToastText({"/home/user2/x"}, "/home/u"), "Copied /home/user2/x");
    EXPECT_EQ(copiedPathsToastText({"/a", "/b", "/c"}, "/home/u"), "Copied 3 paths");
}

}  // namespace
}  // namespace nimbrel

namespace nimbrel {
namespace {

// A whole junk location is as dangerous as its most dangerous folder, whatever its heat, so the
// review asks for the acknowledgement before device backups go.
TEST(ReviewedRemovalTest, JunkLocationWithADangerousFolderCountsAsDanger) {
    for (double heat : {0.0, 1.0}) {
        CleanItem backups = entry("junk:backups", 1, CleanItem::Kind::junk);
        backups.heat = heat;
        EXPECT_EQ(backups.risk().level, Risk::Level::danger) << heat;
        CleanItem caches = entry("junk:caches", 1, CleanItem::Kind::junk);
        caches.heat = heat;
        EXPECT_LT(caches.risk().level, Risk::Level::danger) << heat;
    }
}

}  // namespace
}  // namespace nimbrel
