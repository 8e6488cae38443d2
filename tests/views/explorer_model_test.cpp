#include "views/space/explorer_model.h"

#include <gtest/gtest.h>

#include <limits>

#include "engine/tree_build.h"
#include "model/clean_queue.h"
#include "support/collect.h"
#include "test_items.h"
#include "views/space/click.h"

namespace nimbrel {
namespace {

using C = ExplorerTile::Condition;
using L = Risk::Level;

ExplorerEntry entry(std::string id, std::int64_t size, L level = L::normal) {
    ExplorerEntry e;
    e.name = id.substr(id.rfind('/') + 1);
    e.id = std::move(id);
    e.size = size;
    e.risk.level = level;
    return e;
}

auto conditions(const std::vector<ExplorerTile>& tiles) {
    return collect(tiles, [](const ExplorerTile& t) { return t.condition; });
}

TEST(ExplorerModel, HeavyNeedsAGigabyteAndFifteenPercentAndIsAtMostThree) {
    struct Case {
        std::int64_t total;
        std::vector<std::int64_t> sizes;
        std::vector<C> expected;
    };
    const std::vector<Case> cases = {
        {10'000'000'000, {5'000'000'000, 1'400'000'000, 1'200'000'000}, {C::bloated, C::clean, C::clean}},
        {8'000'000'000,
         {2'000'000'000, 2'000'000'000, 1'500'000'000, 1'300'000'000},
         {C::bloated, C::bloated, C::bloated, C::clean}},
        {10'000'000'000, {1'500'000'000, 1'499'999'999}, {C::bloated, C::clean}},
        {6'666'666'666, {1'000'000'000}, {C::bloated}},
        {6'666'666'667, {1'000'000'000}, {C::clean}},
        {1'000'000'000, {999'999'999}, {C::clean}},
        // Equal sizes keep input order among the candidates: the fourth of four equals stays clean.
        {4'000'000'000,
         {1'000'000'000, 1'000'000'000, 1'000'000'000, 1'000'000'000},
         {C::bloated, C::bloated, C::bloated, C::clean}},
        // Small files are marked against the largest total: nothing is ever heavy.
        {std::numeric_limits<std::int64_t>::max(), {50'000'000'000}, {C::clean}},
        {10, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<ExplorerEntry> entries;
        for (size_t i = 0; i < c.sizes.size(); ++i)
            entries.push_back(entry("/f/e" + std::to_string(i), c.sizes[i]));
        EXPECT_EQ(conditions(ExplorerModel::mark(entries, c.total)), c.expected) << c.total;
    }
}

TEST(ExplorerModel, GrimeRules) {
    auto named = [](const std::string& name, L level) { return entry("/f/" + name, 10, level); };
    auto artifact = entry("/f/target", 10);
    artifact.artifactKind = "Cargo";
    auto image = [](L level) {
        ExplorerEntry e = entry("/f/disk.dmg", 10, level);
        e.category = FileCategory::diskImage;
        return e;
    };
    auto measuringSafe = entry("/f/m", 5'000'000'000, L::safe);
    measuringSafe.measuring = true;
    // Grime unless its probe, still out, finds a repository: not grime yet.
    auto unprobed = named("cache", L::normal);
    unprobed.awaitsProbe = true;
    struct Case {
        ExplorerEntry e;
        bool grime;
    };
    const std::vector<Case> cases = {
        {named("Caches", L::normal), true},
        {named("Caches", L::caution), false},
        {named("cachesX", L::normal), false},
        {named(".NPM", L::normal), true},
        {named("stuff", L::safe), true},
        {named("logs", L::danger), false},
        {artifact, true},
        {image(L::caution), true},
        {image(L::normal), true},
        {image(L::danger), false},
        {measuringSafe, true},
        {unprobed, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExplorerModel::isGrime(c.e), c.grime)
            << c.e.name << " " << static_cast<int>(c.e.risk.level);
}

TEST(ExplorerModel, GrimeIsNeverHeavyAndDangerCanBe) {
    auto vm = entry("/f/vm.dmg", 6'000'000'000, L::danger);
    vm.category = FileCategory::diskImage;
    auto measuring = entry("/f/m", 6'000'000'000);
    measuring.measuring = true;
    auto unprobed = entry("/f/Caches", 7'000'000'000);  // grime or a repository: neither yet
    unprobed.awaitsProbe = true;
    const auto tiles = ExplorerModel::mark({entry("/f/safe", 50'000'000'000, L::safe), unprobed, vm,
                                            entry("/f/locked", 5'000'000'000, L::locked), measuring},
                                           30'000'000'000);
    EXPECT_EQ(conditions(tiles), (std::vector<C>{C::stained, C::clean, C::bloated, C::bloated, C::clean}));
    const auto tiles2 = ExplorerModel::mark({entry("/f/locked", 5'000'000'000, L::locked)}, 10'000'000'000);
    EXPECT_EQ(tiles2[0].condition, C::bloated);
}

TEST(ExplorerModel, SeedsAndIds) {
    for (const std::string id : {"/a", "/b/c", "", "/very/long/path/with/many/parts.txt"}) {
        const int s = ExplorerModel::seed(id);
        EXPECT_GE(s, 0);
        EXPECT_LE(s, 996);
        EXPECT_EQ(s, ExplorerModel::seed(id));
    }
    EXPECT_EQ(ExplorerTile::placeholder(PlaceholderKind::folder, C::clean, 0).id(), "placeholder-0");
    EXPECT_EQ(ExplorerTile::placeholder(PlaceholderKind::app, C::clean, 7).id(), "placeholder-7");
    const auto tiles = ExplorerModel::mark({entry("/x/y", 1)}, 1);
    EXPECT_EQ(tiles[0].id(), "/x/y");
    EXPECT_EQ(tiles[0].seed, ExplorerModel::seed("/x/y"));
}

TEST(ExplorerModel, EntryEqualityLooksAtIdSizeAndMeasuringOnly) {
    ExplorerEntry a = entry("/a", 5);
    ExplorerEntry b = a;
    b.risk.level = L::danger;
    b.name = "other";
    EXPECT_EQ(a, b);
    b.size = 6;
    EXPECT_NE(a, b);
    b = a;
    b.measuring = true;
    EXPECT_NE(a, b);
}

TEST(ExplorerModel, MatchingBySearchAndFilter) {
    CleanQueue queue;
    queue.add(testItem("/r/sel", 0, CleanItem::Kind::folder));

    auto dir = entry("/r/sel", 10);
    dir.isDirectory = true;
    auto inside = entry("/r/sel/Report.PDF", 10);
    auto file = entry("/r/notes.txt", 10);
    auto tile = [](ExplorerEntry e, C c = C::clean) {
        return ExplorerTile{e, PlaceholderKind::folder, c, 0};
    };
    const auto placeholder = ExplorerTile::placeholder(PlaceholderKind::folder, C::clean, 0);

    struct Case {
        ExplorerTile t;
        QString search;
        ExplorerFilter filter;
        bool matches;
    };
    const std::vector<Case> cases = {
        {placeholder, "", ExplorerFilter::all, false},
        {tile(file), "", ExplorerFilter::all, true},
        {tile(inside), "report", ExplorerFilter::all, true},
        {tile(inside), "report ", ExplorerFilter::all, false},  // used as typed
        {tile(file), "zzz", ExplorerFilter::all, false},
        {tile(dir), "", ExplorerFilter::folders, true},
        {tile(file), "", ExplorerFilter::folders, false},
        {tile(file), "", ExplorerFilter::files, true},
        {tile(file, C::stained), "", ExplorerFilter::stained, true},
        {tile(file, C::bloated), "", ExplorerFilter::stained, false},
        {tile(file, C::bloated), "", ExplorerFilter::bloated, true},
        {tile(dir), "", ExplorerFilter::selected, true},
        {tile(inside), "", ExplorerFilter::selected, false},  // covered, not queued itself
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExplorerModel::matches(c.t, c.search, c.filter, queue), c.matches)
            << c.t.id() << " '" << c.search.toStdString() << "' " << rawValue(c.filter);
}

auto ids(const std::vector<ExplorerTile>& tiles) {
    return collect(tiles, [](const ExplorerTile& t) { return t.id(); });
}

TEST(ExplorerModel, Ordering) {
    auto folder = entry("/r/tiny", 1);
    folder.isDirectory = true;
    auto video = entry("/r/big.mov", 10'000'000'000);
    video.category = FileCategory::video;
    auto video2 = entry("/r/bigger.mov", 20'000'000'000);
    video2.category = FileCategory::video;
    auto doc = entry("/r/a.pdf", 5);
    doc.category = FileCategory::document;
    auto bare = entry("/r/none", 7);
    const auto tiles = ExplorerModel::mark({video, bare, doc, folder, video2}, 1);

    auto sorted = tiles;
    ExplorerModel::sortTiles(sorted, ExplorerSort::kind);
    EXPECT_EQ(ids(sorted),
              (std::vector<std::string>{"/r/tiny", "/r/a.pdf", "/r/bigger.mov", "/r/big.mov", "/r/none"}));

    sorted = tiles;
    ExplorerModel::sortTiles(sorted, ExplorerSort::size);
    EXPECT_EQ(ids(sorted).front(), "/r/bigger.mov");

    std::vector<ExplorerEntry> named;
    for (const char* n : {"file10", "File2", "file1", "alpha"})
        named.push_back(entry(std::string("/n/") + n, 1));
    auto byName = ExplorerModel::mark(named, 1);
    ExplorerModel::sortTiles(byName, ExplorerSort::name);
    EXPECT_EQ(ids(byName), (std::vector<std::string>{"/n/alpha", "/n/file1", "/n/File2", "/n/file10"}));

    const auto p = ExplorerTile::placeholder(PlaceholderKind::folder, C::clean, 0);
    EXPECT_FALSE(ExplorerModel::order(ExplorerSort::size, p, tiles[0]));
    EXPECT_FALSE(ExplorerModel::order(ExplorerSort::size, tiles[0], p));
}

TEST(ExplorerModel, CleanItems) {
    auto root = std::make_shared<DirNode>("/home/u", nullptr);
    auto build = std::make_shared<DirNode>("target", root.get());
    TreeBuild::setSize(*build, 30);
    TreeBuild::markArtifact(*build, "Cargo");
    auto docs = std::make_shared<DirNode>("Documents", root.get());
    TreeBuild::setSize(*docs, 20);
    TreeBuild::addChild(*root, build);
    TreeBuild::addChild(*root, docs);

    const CleanItem a = ExplorerEntry::fromNode(build).cleanItem();
    EXPECT_EQ(a.id, "/home/u/target");
    EXPECT_EQ(a.kind, CleanItem::Kind::artifact);
    EXPECT_EQ(a.heat, 1.0);
    const CleanItem f = ExplorerEntry::fromNode(docs).cleanItem();
    EXPECT_EQ(f.kind, CleanItem::Kind::folder);
    EXPECT_EQ(f.heat, 0.0);
    EXPECT_EQ(f.name, "Documents");
    EXPECT_EQ(f.symbolPath, "/home/u/Documents");
    EXPECT_EQ(f.source, CleanItem::Source::space);

    FileItem file;
    file.path = "/home/u/a.txt";
    file.name = "a.txt";
    file.size = 3;
    EXPECT_EQ(ExplorerEntry::fromFile(file).cleanItem().kind, CleanItem::Kind::file);

    DiscoveredEntry found{"/home/u/node_modules", "node_modules", 9, true, "npm", true};
    const CleanItem d = ExplorerEntry::fromDiscovered(found).cleanItem();
    EXPECT_EQ(d.kind, CleanItem::Kind::artifact);
    EXPECT_EQ(d.heat, 1.0);
    DiscoveredEntry plainFile{"/home/u/x.iso", "x.iso", 9, false, "odd", false};
    const CleanItem pf = ExplorerEntry::fromDiscovered(plainFile).cleanItem();
    EXPECT_EQ(pf.kind, CleanItem::Kind::file);
    EXPECT_EQ(pf.heat, 1.0);  // the kind label makes it hot, directory or not
}

TEST(ExplorerModel, DiscoveredCategoryFollowsTheExtensionRule) {
    struct Case {
        const char* name;
        FileCategory category;
    };
    for (const Case& c : {Case{".bashrc", FileCategory::other}, Case{"a.", FileCategory::other},
                          Case{"x.tar.gz", FileCategory::archive}, Case{"MOVIE.MOV", FileCategory::video}}) {
        DiscoveredEntry d{std::string("/r/") + c.name, c.name, 1, false, std::nullopt, false};
        EXPECT_EQ(ExplorerEntry::fromDiscovered(d).category, c.category) << c.name;
    }
    DiscoveredEntry folder{"/r/d.mov", "d.mov", 1, true, std::nullopt, false};
    EXPECT_FALSE(ExplorerEntry::fromDiscovered(folder).category.has_value());
}

TEST(ExplorerModel, WelcomeAndDiscoveringLists) {
    const auto welcome = ExplorerModel::welcomeTiles();
    ASSERT_EQ(welcome.size(), 24u);
    for (int i = 0; i < 24; ++i) {
        const C expected = (i == 1 || i == 5 || i == 11 || i == 14 || i == 19) ? C::stained
                           : (i == 2 || i == 12)                               ? C::bloated
                                                                               : C::clean;
        EXPECT_EQ(welcome[i].condition, expected) << i;
        EXPECT_EQ(welcome[i].seed, i);
        EXPECT_EQ(welcome[i].kind, Placeholders::pattern[i]);
    }

    struct Case {
        int found;
        int placeholders;
    };
    for (const Case& c : {Case{0, 24}, Case{3, 21}, Case{19, 5}, Case{20, 4}, Case{25, 4}}) {
        DiscoveredListBuilder builder;
        for (int i = 0; i < c.found; ++i)
            builder.append(
                {"/r/e" + std::to_string(i), "e" + std::to_string(i), 10, true, std::nullopt, false});
        const auto tiles = ExplorerModel::discoveringTiles(builder.snapshot(), 100);
        ASSERT_EQ(static_cast<int>(tiles.size()), c.found + c.placeholders) << c.found;
        for (int k = 0; k < c.placeholders; ++k) {
            const ExplorerTile& t = tiles[c.found + k];
            EXPECT_TRUE(t.isPlaceholder());
            EXPECT_EQ(t.seed, c.found + k);
            EXPECT_EQ(t.kind, Placeholders::pattern[(c.found + k) % 24]);
            EXPECT_EQ(t.condition, C::clean);
        }
    }
}

TEST(ExplorerModel, FolderListKeepsEmptyFilesButNotEmptyFoldersAndAppendsSmallFiles) {
    auto root = std::make_shared<DirNode>("/r", nullptr);
    auto empty = std::make_shared<DirNode>("empty", root.get());
    auto big = std::make_shared<DirNode>("big", root.get());
    TreeBuild::setSize(*big, 3'000'000'000);
    TreeBuild::addChild(*root, big);
    TreeBuild::addChild(*root, empty);
    FileItem zero;
    zero.path = "/r/zero";
    zero.name = "zero";
    FileItem same;
    same.path = "/r/same";
    same.name = "same";
    same.size = 3'000'000'000;
    TreeBuild::setFiles(*root, {same, zero});
    TreeBuild::setSize(*root, 6'000'000'000);
    CleanQueue queue;
    const auto tiles =
        ExplorerModel::explorerTiles(root, {ExplorerEntry::smallFile("/r/huge.bin", 9'000'000'000)}, "",
                                     ExplorerFilter::all, ExplorerSort::size, queue);
    // Equal sizes: the folder stays before the file; the small file sorts by size but is never heavy.
    EXPECT_EQ(ids(tiles), (std::vector<std::string>{"/r/huge.bin", "/r/big", "/r/same", "/r/zero"}));
    EXPECT_EQ(tiles[0].condition, C::clean);
    EXPECT_EQ(tiles[1].condition, C::bloated);
}

TEST(ExplorerModel, HeaviestPagingIntensityBarsAndMessages) {
    EXPECT_EQ(ExplorerModel::heaviest({}), 1);
    EXPECT_EQ(ExplorerModel::heaviest(ExplorerModel::mark({entry("/a", 0)}, 1)), 1);
    EXPECT_EQ(ExplorerModel::heaviest(ExplorerModel::mark({entry("/a", 5), entry("/b", 9)}, 1)), 9);

    EXPECT_EQ(ExplorerModel::loadMore(120, 300), 240);
    EXPECT_EQ(ExplorerModel::loadMore(240, 300), 360);
    EXPECT_EQ(ExplorerModel::loadMore(120, 120), 120);

    EXPECT_DOUBLE_EQ(ExplorerModel::steamIntensity(0), 0.12);
    EXPECT_DOUBLE_EQ(ExplorerModel::steamIntensity(-5), 0.12);
    EXPECT_GT(ExplorerModel::steamIntensity(1), 0.3);
    EXPECT_LT(ExplorerModel::steamIntensity(1), 0.3001);
    EXPECT_NEAR(ExplorerModel::steamIntensity(1'000'000'000), 0.5136, 0.0005);
    EXPECT_NEAR(ExplorerModel::steamIntensity(10'000'000'000), 0.7272, 0.0005);
    EXPECT_DOUBLE_EQ(ExplorerModel::steamIntensity(100'000'000'000), 0.95);
    EXPECT_DOUBLE_EQ(ExplorerModel::steamIntensity(900'000'000'000), 0.95);

    EXPECT_DOUBLE_EQ(ExplorerModel::placeholderBarWidth(0, ExplorerLayout::icons), 36);
    EXPECT_DOUBLE_EQ(ExplorerModel::placeholderBarWidth(40, ExplorerLayout::list), 99);
    EXPECT_DOUBLE_EQ(ExplorerModel::placeholderBarWidth(1, ExplorerLayout::icons), 80 * 0.82);

    EXPECT_EQ(ExplorerModel::emptyMessage("", ExplorerFilter::bloated), "No heavy in this folder.");
    EXPECT_EQ(ExplorerModel::emptyMessage("zz", ExplorerFilter::bloated), "Nothing here is named like “zz”.");
}

// The empty state says what is true of the folder, and offers "Show Everything" only where it
// would show more: a folder whose folders hold only empty files is empty under every filter, and
// a search or filter that hides nothing is no reason for the button.
TEST(ExplorerModel, EmptyStatesSayWhatIsTrue) {
    DirNode emptied("/e", nullptr);  // 250,000 empty files in folders that take no space
    TreeBuild::setFileCount(emptied, 250'000);
    TreeBuild::addChild(emptied, std::make_shared<DirNode>("a", &emptied));
    DirNode folders("/f", nullptr);
    TreeBuild::addChild(folders, std::make_shared<DirNode>("a", &folders));
    DirNode bare("/b", nullptr);
    DirNode small("/s", nullptr);  // only files below the listed size
    TreeBuild::setSize(small, 4096);
    TreeBuild::setSmallFiles(small, 4096);
    TreeBuild::setFileCount(small, 3);
    DirNode full("/x", nullptr);
    TreeBuild::setSize(full, 1'000'000);
    TreeBuild::setFileCount(full, 2);
    struct Case {
        const DirNode* node;
        const char* search;
        ExplorerFilter filter;
        std::size_t listed;  // entries the folder lists under no search or filter
        const char* title;
        const char* message;
        bool button;
    } cases[] = {
        {&emptied, "", ExplorerFilter::all, 0, "Everything here is empty",
         "Its 250,000 files hold no data, so nothing here takes space.", false},
        {&emptied, "", ExplorerFilter::files, 0, "Everything here is empty",
         "Its 250,000 files hold no data, so nothing here takes space.", false},
        {&emptied, "zz", ExplorerFilter::all, 0, "Nothing matches", "Nothing here is named like “zz”.",
         false},
        {&folders, "", ExplorerFilter::folders, 0, "Everything here is empty",
         "Only empty folders, so nothing here takes space.", false},
        {&bare, "", ExplorerFilter::all, 0, "This folder is empty", "It holds no files and no folders.",
         false},
        {&small, "", ExplorerFilter::all, 0, "Only small files",
         "Files too small to list one by one are gathered below.", false},
        // The small files' row shows under every filter but Folders, and whatever the search.
        {&small, "", ExplorerFilter::bloated, 0, "Nothing matches", "No heavy in this folder.", false},
        {&small, "zz", ExplorerFilter::all, 0, "Nothing matches", "Nothing here is named like “zz”.", false},
        {&small, "", ExplorerFilter::folders, 0, "Nothing matches", "No folders in this folder.", true},
        {&small, "zz", ExplorerFilter::all, 3, "Nothing matches", "Nothing here is named like “zz”.", true},
        {&full, "", ExplorerFilter::stained, 2, "Nothing matches", "No grime in this folder.", true},
    };
    for (const Case& c : cases) {
        const auto text = ExplorerModel::emptyText(QString::fromUtf8(c.search), c.filter, c.node, c.listed);
        EXPECT_EQ(text.title, QString::fromUtf8(c.title)) << c.node->name << " " << c.search;
        EXPECT_EQ(text.message, QString::fromUtf8(c.message)) << c.node->name << " " << c.search;
        EXPECT_EQ(text.showEverything, c.button) << c.node->name << " " << c.search;
    }
}

TEST(ExplorerModel, RawValuesAndClicks) {
    for (ExplorerFilter f : allFilters())
        EXPECT_EQ(filterFromRaw(QString::fromLatin1(rawValue(f))), f);
    EXPECT_FALSE(filterFromRaw("grime").has_value());
    EXPECT_FALSE(sortFromRaw("Size").has_value());
    EXPECT_EQ(layoutFromRaw("list"), ExplorerLayout::list);
    EXPECT_FALSE(layoutFromRaw("grid").has_value());

    EXPECT_FALSE(Click::isRepeat(ClickInfo::none()));
    EXPECT_FALSE(Click::isRepeat(ClickInfo::left(1)));
    EXPECT_TRUE(Click::isRepeat(ClickInfo::left(2)));
    EXPECT_FALSE(Click::isRepeat(ClickInfo{false, 2, {}}));  // a key press

    ClickCounter counter;
    const auto t0 = std::chrono::steady_clock::time_point{};
    EXPECT_EQ(counter.press({10, 10}, t0, 400, 10), 1);
    EXPECT_EQ(counter.press({12, 10}, t0 + std::chrono::milliseconds(200), 400, 10), 2);
    EXPECT_EQ(counter.press({12, 10}, t0 + std::chrono::milliseconds(900), 400, 10), 1);
    EXPECT_EQ(counter.press({80, 10}, t0 + std::chrono::milliseconds(1000), 400, 10), 1);
}

}  // namespace
}  // namespace nimbrel
