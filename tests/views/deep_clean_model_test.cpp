#include "views/deepclean/deep_clean_model.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/demo.h"
#include "engine/host_layout.h"
#include "model/cleanup_model.h"
#include "support/collect.h"
#include "util/fmt.h"
#include "views/shell_fixture.h"

namespace nimbrel {
namespace {

constexpr const char* kHome = "/Users/drevo";

JunkLocation location(const std::string& id, const std::string& title, JunkLocation::Risk risk,
                      std::vector<std::string> paths = {}) {
    JunkLocation l;
    l.id = id;
    l.title = title;
    l.detail = "What " + title + " holds.";
    l.symbol = "archivebox";
    l.paths = paths.empty() ? std::vector<std::string>{std::string(kHome) + "/" + id} : std::move(paths);
    l.risk = risk;
    return l;
}

DiskUsage usage(int64_t size, bool readable = true) {
    return DiskUsage{size, 1, true, readable};
}

DevArtifact product(const std::string& path, int64_t size, const std::string& kind = "Node.js dependencies") {
    return DevArtifact{path, kind, size, 1200};
}

// The sample data as the demo shows it: the macOS catalogue, its measurements and the sample scan.
DeepCleanModel::Inputs demoInputs() {
    DeepCleanModel::Inputs in;
    in.visibleLocations = JunkLocation::all(HostLayout::macOS(kHome));
    in.measurements = Demo::measurements();
    CleanupModel sample;
    sample.loadDemo();
    in.folders = sample.folders();
    in.artifacts = Demo::scanResult(0)->artifacts();
    in.hasMeasured = true;
    in.home = kHome;
    return in;
}

auto ids(const std::vector<MeasuredLocation>& list) {
    return collect(list, [](const MeasuredLocation& m) { return m.location.id; });
}
auto paths(const std::vector<DevArtifact>& list) {
    return collect(list, [](const DevArtifact& a) { return a.path; });
}

TEST(DeepCleanModelTest, DemoFigures) {
    DeepCleanModel model;
    const auto in = demoInputs();
    const auto lists = model.derive(in);
    EXPECT_EQ(lists.safeTotal, 46'910'000'000);
    EXPECT_EQ(DeepCleanModel::figure(in, lists), QStringLiteral("46.91 GB"));
    EXPECT_EQ(lists.shownLocations.size(), 8u);  // the backups have no measurement
    EXPECT_EQ(DeepCleanModel::locationsTotal(lists), 52'190'000'000);
    EXPECT_EQ(lists.shownProducts.size(), 6u);
    EXPECT_EQ(DeepCleanModel::productsTotal(lists), 12'850'000'000);
    // Largest first: the installers lead the locations.
    EXPECT_EQ(lists.shownLocations.front().location.id, "installers");
    // The sample's figures stand for folders this disk lacks: a measured location never reads
    // "0 folders" beside its size.
    for (const LocationRow& row : model.locationRows(in, lists)) {
        EXPECT_FALSE(row.subtitle.endsWith(QStringLiteral(" 0 folders"))) << row.item.id;
        if (row.item.id == "junk:pkgcaches") {
            EXPECT_EQ(row.subtitle, QStringLiteral("re-downloads \u00B7 5 folders"));
        }
    }
}

TEST(DeepCleanModelTest, RawValuesAndTitles) {
    const struct {
        DeepCleanFilter filter;
        const char* raw;
        const char* title;
    } filters[] = {{DeepCleanFilter::all, "all", "All"},
                   {DeepCleanFilter::safe, "safe", "Safe"},
                   {DeepCleanFilter::caution, "caution", "Look first"},
                   {DeepCleanFilter::build, "build", "Build junk"}};
    for (const auto& row : filters) {
        EXPECT_STREQ(rawValue(row.filter), row.raw);
        EXPECT_EQ(deepCleanFilterFromRaw(row.raw), row.filter);
        EXPECT_EQ(title(row.filter), QString::fromUtf8(row.title));
    }
    for (const char* other : {"", "All", "safe ", "look first", "size"})
        EXPECT_FALSE(deepCleanFilterFromRaw(other).has_value()) << other;
    EXPECT_EQ(nameSizeSortFromRaw("size"), NameSizeSort::size);
    EXPECT_EQ(nameSizeSortFromRaw("name"), NameSizeSort::name);
    EXPECT_FALSE(nameSizeSortFromRaw("Name").has_value());
    EXPECT_EQ(label(NameSizeSort::size), QStringLiteral("Size"));
    EXPECT_EQ(label(NameSizeSort::name), QStringLiteral("Name"));
}

TEST(DeepCleanModelTest, TappingTheActiveChipReturnsToAll) {
    using F = DeepCleanFilter;
    const struct {
        F current, tapped, expected;
    } cases[] = {
        {F::all, F::all, F::all},          {F::all, F::safe, F::safe},       {F::safe, F::safe, F::all},
        {F::safe, F::caution, F::caution}, {F::caution, F::caution, F::all}, {F::build, F::build, F::all},
        {F::build, F::all, F::all},
    };
    for (const auto& c : cases) {
        DeepCleanModel model;
        model.filter = c.current;
        model.tapChip(c.tapped);
        EXPECT_EQ(model.filter, c.expected) << rawValue(c.current) << " + " << rawValue(c.tapped);
    }
}

TEST(DeepCleanModelTest, FilterKeepsLocationsByRiskAndProductsUnlessLookFirst) {
    DeepCleanModel::Inputs in;
    in.visibleLocations = {location("caches", "App Caches", JunkLocation::Risk::safe),
                           location("archives", "Xcode Archives", JunkLocation::Risk::caution)};
    in.measurements = {{"caches", usage(500)}, {"archives", usage(900)}};
    in.artifacts = std::vector<DevArtifact>{product("/p/app/node_modules", 2'000'000)};
    in.hasMeasured = true;

    const struct {
        DeepCleanFilter filter;
        std::vector<std::string> locations;
        size_t products;
    } cases[] = {{DeepCleanFilter::all, {"archives", "caches"}, 1},
                 {DeepCleanFilter::safe, {"caches"}, 1},
                 {DeepCleanFilter::caution, {"archives"}, 0},
                 {DeepCleanFilter::build, {}, 1}};
    for (const auto& c : cases) {
        DeepCleanModel model;
        model.filter = c.filter;
        const auto lists = model.derive(in);
        EXPECT_EQ(ids(lists.shownLocations), c.locations) << rawValue(c.filter);
        EXPECT_EQ(lists.shownProducts.size(), c.products) << rawValue(c.filter);
    }
}

TEST(DeepCleanModelTest, SafeSelectionIgnoresFilterAndSearch) {
    DeepCleanModel::Inputs in;
    in.visibleLocations = {location("caches", "App Caches", JunkLocation::Risk::safe),
                           location("logs", "Logs", JunkLocation::Risk::safe),
                           location("derived", "DerivedData", JunkLocation::Risk::safe),
                           location("archives", "Xcode Archives", JunkLocation::Risk::caution),
                           location("simcaches", "Simulator Caches", JunkLocation::Risk::safe)};
    // Logs are unreadable, DerivedData is empty, the simulator caches have no measurement yet.
    in.measurements = {
        {"caches", usage(700)}, {"logs", usage(400, false)}, {"derived", usage(0)}, {"archives", usage(900)}};
    in.artifacts = std::vector<DevArtifact>{product("/p/a/node_modules", 5'000'000),
                                            product("/p/b/target", 1'000'000, "Rust build output"),
                                            product("/p/c/.venv", 999'999, "Python virtualenv")};
    in.hasMeasured = true;

    const std::vector<std::string> expected = {"junk:caches", "/p/a/node_modules", "/p/b/target"};
    for (DeepCleanFilter filter : kAllDeepCleanFilters) {
        for (const char* search : {"", "xyz", "cache", "node"}) {
            DeepCleanModel model;
            model.filter = filter;
            model.search = QString::fromUtf8(search);
            model.sort = NameSizeSort::name;
            const auto lists = model.derive(in);
            EXPECT_EQ(collect(lists.safeSelection, [](const CleanItem& item) { return item.id; }), expected)
                << rawValue(filter) << " / " << search;
            EXPECT_EQ(lists.safeTotal, 700 + 5'000'000 + 1'000'000);
        }
    }
    // The product under a million bytes is not listed either.
    DeepCleanModel model;
    EXPECT_EQ(paths(model.derive(in).shownProducts),
              (std::vector<std::string>{"/p/a/node_modules", "/p/b/target"}));
    EXPECT_EQ(ids(model.derive(in).measured),
              (std::vector<std::string>{"caches", "logs", "derived", "archives"}));
}

TEST(DeepCleanModelTest, SearchMatchesTitleDetailPathOrKindIgnoringCase) {
    DeepCleanModel::Inputs in;
    JunkLocation logs = location("logs", "Logs", JunkLocation::Risk::safe);
    logs.detail = "Diagnostic logs written by apps and services.";
    in.visibleLocations = {location("caches", "App Caches", JunkLocation::Risk::safe), logs};
    in.measurements = {{"caches", usage(10)}, {"logs", usage(20)}};
    in.artifacts = std::vector<DevArtifact>{product("/p/shop/node_modules", 3'000'000),
                                            product("/p/engine/target", 2'000'000, "Rust build output")};

    const struct {
        const char* search;
        std::vector<std::string> locations;
        std::vector<std::string> products;
    } cases[] = {
        {"", {"logs", "caches"}, {"/p/shop/node_modules", "/p/engine/target"}},
        {"CACHES", {"caches"}, {}},
        {"services", {"logs"}, {}},  // detail
        {"shop", {}, {"/p/shop/node_modules"}},
        {"rust", {}, {"/p/engine/target"}},  // kind
        {" logs", {"logs"}, {}},             // not trimmed: matches inside the detail only
        {"nothing like it", {}, {}},
    };
    for (const auto& c : cases) {
        DeepCleanModel model;
        model.search = QString::fromUtf8(c.search);
        const auto lists = model.derive(in);
        EXPECT_EQ(ids(lists.shownLocations), c.locations) << c.search;
        EXPECT_EQ(paths(lists.shownProducts), c.products) << c.search;
    }
}

TEST(DeepCleanModelTest, SortsAreStable) {
    DeepCleanModel::Inputs in;
    in.visibleLocations = {location("b", "beta", JunkLocation::Risk::safe),
                           location("a", "Alpha", JunkLocation::Risk::safe),
                           location("c", "gamma", JunkLocation::Risk::safe)};
    in.measurements = {{"a", usage(5)}, {"b", usage(5)}, {"c", usage(9)}};
    // Scan order: largest first; two products share the parent name "web".
    in.artifacts = std::vector<DevArtifact>{product("/one/web/node_modules", 9'000'000),
                                            product("/p/app10/dist", 8'000'000, "Build output"),
                                            product("/two/web/.next", 7'000'000, "Next.js build"),
                                            product("/p/app2/dist", 6'000'000, "Build output"),
                                            product("/p/Zed/target", 6'000'000, "Rust build output")};

    DeepCleanModel model;
    auto lists = model.derive(in);
    EXPECT_EQ(ids(lists.shownLocations),
              (std::vector<std::string>{"c", "b", "a"}));  // equal sizes keep order
    EXPECT_EQ(paths(lists.shownProducts).back(), "/p/Zed/target");

    model.sort = NameSizeSort::name;
    lists = model.derive(in);
    EXPECT_EQ(ids(lists.shownLocations), (std::vector<std::string>{"a", "b", "c"}));
    // By the holding folder only, numerically and without case; the two "web" keep scan order.
    EXPECT_EQ(paths(lists.shownProducts),
              (std::vector<std::string>{"/p/app2/dist", "/p/app10/dist", "/one/web/node_modules",
                                        "/two/web/.next", "/p/Zed/target"}));
}

TEST(DeepCleanModelTest, LocationRows) {
    const std::string root = "/r";
    DeepCleanModel::Inputs in;
    in.home = kHome;
    in.visibleLocations = {
        location("caches", "App Caches", JunkLocation::Risk::safe, {std::string(kHome) + "/Library/Caches"}),
        location("pkgcaches", "Package Manager Caches", JunkLocation::Risk::safe,
                 {root + "/one", root + "/two", root + "/three"}),
        location("archives", "Xcode Archives", JunkLocation::Risk::caution),
        location("logs", "Logs", JunkLocation::Risk::safe),
        location("derived", "DerivedData", JunkLocation::Risk::safe)};
    in.measurements = {{"caches", usage(100)},
                       {"pkgcaches", usage(300)},
                       {"archives", usage(50)},
                       {"logs", usage(400, false)},
                       {"derived", usage(0)}};
    // What the measurement found of the folders.
    in.folders = {{"caches", {}}, {"pkgcaches", {root + "/one", root + "/three"}}};

    DeepCleanModel model;
    model.expanded = {"caches", "logs", "derived"};
    const auto lists = model.derive(in);
    const auto rows = model.locationRows(in, lists);
    ASSERT_EQ(rows.size(), 5u);
    const std::string sep = " \u00B7 ";
    // Order by size: logs 400, pkgcaches 300, caches 100, archives 50, derived 0.
    const struct {
        const char* id;
        std::string subtitle;
        double weight;
        std::optional<QString> badge;
        bool disabled;
        std::optional<bool> expanded;
        double heat;
    } expected[] = {
        {"logs", "needs read access", 1.0, std::nullopt, true, std::nullopt, 1.0},
        {"pkgcaches", "re-downloads" + sep + "2 folders", 0.75, std::nullopt, false, false, 1.0},
        // One path: shown with "~" whether it exists or not.
        {"caches", "rebuilds itself" + sep + "~/Library/Caches", 0.25, std::nullopt, false, true, 1.0},
        {"archives", "holds dSYMs" + sep + "~/archives", 0.125, QStringLiteral("look first"), false, false,
         0.6},
        {"derived", "Xcode rebuilds" + sep + "~/derived", 0.0, std::nullopt, true, std::nullopt, 1.0},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(rows[i].item.id, std::string("junk:") + e.id);
        EXPECT_EQ(rows[i].item.kind, CleanItem::Kind::junk);
        EXPECT_EQ(rows[i].item.source, CleanItem::Source::deepClean);
        EXPECT_FALSE(rows[i].item.symbolPath.has_value());
        EXPECT_EQ(rows[i].item.heat, e.heat);
        EXPECT_EQ(rows[i].subtitle, QString::fromStdString(e.subtitle));
        EXPECT_DOUBLE_EQ(rows[i].weight, e.weight);
        EXPECT_EQ(rows[i].badge, e.badge);
        EXPECT_EQ(rows[i].disabled, e.disabled);
        EXPECT_EQ(rows[i].expanded, e.expanded);
        EXPECT_EQ(rows[i].showsContents, e.expanded.value_or(false));
    }
    // The unreadable location counts towards the largest size but not towards the shelf's total.
    EXPECT_EQ(DeepCleanModel::locationsTotal(lists), 450);
}

TEST(DeepCleanModelTest, ExpandedSurvivesFilterAndSearch) {
    DeepCleanModel::Inputs in;
    in.visibleLocations = {location("caches", "App Caches", JunkLocation::Risk::safe)};
    in.measurements = {{"caches", usage(100)}};
    DeepCleanModel model;
    model.toggle("caches");
    model.tapChip(DeepCleanFilter::build);
    model.search = QStringLiteral("zzz");
    EXPECT_TRUE(model.locationRows(in, model.derive(in)).empty());
    model.showEverything();
    EXPECT_EQ(model.filter, DeepCleanFilter::all);
    EXPECT_TRUE(model.search.isEmpty());
    auto rows = model.locationRows(in, model.derive(in));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].expanded, true);
    model.toggle("caches");
    EXPECT_EQ(model.locationRows(in, model.derive(in))[0].expanded, false);
}

TEST(DeepCleanModelTest, ProductRows) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    DeepCleanModel::Inputs in;
    in.home = kHome;
    in.artifacts = std::vector<DevArtifact>{
        DevArtifact{std::string(kHome) + "/Code/shop/node_modules", "Node.js dependencies", 4'000'000, 48213},
        DevArtifact{"/srv/build/target", "Rust build output", 1'000'000, 7}};
    DeepCleanModel model;
    const auto rows = DeepCleanModel::productRows(in, model.derive(in));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].subtitle,
              QStringLiteral("Node.js dependencies \u00B7 48,213 files \u00B7 ~/Code/shop"));
    EXPECT_EQ(rows[1].subtitle, QStringLiteral("Rust build output \u00B7 7 files \u00B7 /srv/build"));
    EXPECT_DOUBLE_EQ(rows[0].weight, 1.0);
    EXPECT_DOUBLE_EQ(rows[1].weight, 0.25);
    EXPECT_EQ(rows[0].item, CleanItem::artifact(in.artifacts->front()));
    QLocale::setDefault(QLocale::c());
}

TEST(DeepCleanModelTest, WhatShowsBeforeAndAfterTheFirstMeasurement) {
    const struct {
        bool hasMeasured, isMeasuring, hasResult;
        const char* search;
        QString figure;
        bool measuringRow, hint, products, emptyState;
    } cases[] = {
        // Not measured yet: "…", and never "Nothing matches".
        {false, true, false, "", QStringLiteral("\u2026"), true, true, false, false},
        {false, false, true, "zzz", QStringLiteral("\u2026"), false, false, false, false},
        // Measured, no result, nothing matches: the hint and the empty state together.
        {true, false, false, "zzz", QStringLiteral("Zero KB"), false, true, false, true},
        // Measuring again: no measuring row.
        {true, true, true, "", QStringLiteral("2 MB"), false, false, true, false},
        {true, false, true, "zzz", QStringLiteral("2 MB"), false, false, false, true},
    };
    for (const auto& c : cases) {
        DeepCleanModel::Inputs in;
        in.hasMeasured = c.hasMeasured;
        in.isMeasuring = c.isMeasuring;
        if (c.hasResult) in.artifacts = std::vector<DevArtifact>{product("/p/a/node_modules", 2'000'000)};
        DeepCleanModel model;
        model.search = QString::fromUtf8(c.search);
        const auto lists = model.derive(in);
        SCOPED_TRACE(testing::Message() << c.hasMeasured << c.isMeasuring << c.hasResult << c.search);
        EXPECT_EQ(DeepCleanModel::figure(in, lists), c.figure);
        EXPECT_EQ(DeepCleanModel::showsMeasuringRow(in), c.measuringRow);
        EXPECT_EQ(DeepCleanModel::showsScanHint(in), c.hint);
        EXPECT_EQ(DeepCleanModel::showsProducts(in, lists), c.products);
        EXPECT_EQ(DeepCleanModel::showsEmptyState(in, lists), c.emptyState);
    }
}

class DeepCleanOpenTest : public ShellFixture {};

TEST_F(DeepCleanOpenTest, OpeningAProductFocusesItsFolderBeforeSwitchingToSpace) {
    state_->setSection(SidebarItem::cleanup);
    std::optional<std::string> focusWhenSwitched;
    QObject::connect(state_.get(), &AppState::sectionChanged,
                     [&] { focusWhenSwitched = state_->folderFocus(); });
    DeepCleanModel::open(*state_, product("/home/tester/Code/app/node_modules", 2'000'000));
    EXPECT_EQ(state_->section(), SidebarItem::overview);
    EXPECT_EQ(focusWhenSwitched, "/home/tester/Code/app/node_modules");
}

}  // namespace
}  // namespace nimbrel
