#include "views/files/review_model.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "engine/host_layout.h"
#include "views/test_items.h"

namespace nimbrel {
namespace {

const std::string& home() {
    return HostLayout::current().home;
}

CleanItem file(const std::string& path, int64_t size, CleanItem::Source source = CleanItem::Source::files) {
    return testItem(path, size, CleanItem::Kind::file, source);
}

CleanItem folder(const std::string& path, int64_t size) {
    return testItem(path, size, CleanItem::Kind::folder, CleanItem::Source::space);
}

CleanItem junk(const std::string& id, double heat) {
    return testJunkItem(id, id, 1000, heat);
}

TEST(ReviewModelTest, CountsTickedItemsAndKeepsUntickedOnesInTheirSection) {
    const std::vector<CleanItem> queue = {file(home() + "/a.mov", 1'000'000),
                                          file(home() + "/b.mov", 2'000'000),
                                          file(home() + "/c.mov", 4'000'000)};
    const ReviewModel model(queue, {home() + "/b.mov"}, {});
    EXPECT_EQ(model.countLine(), QStringLiteral("2 of 3 items · 5 MB"));
    EXPECT_EQ(model.trashTitle(), QStringLiteral("Nimbrelise 5 MB to Trash"));
    ASSERT_EQ(model.sections().size(), 1u);
    EXPECT_EQ(model.sections()[0].count, 3);
    EXPECT_EQ(model.sections()[0].tickedSize, 5'000'000);
    EXPECT_FALSE(model.sections()[0].allTicked());
    EXPECT_EQ(model.ids(), (std::unordered_set<std::string>{home() + "/a.mov", home() + "/c.mov"}));
    EXPECT_TRUE(model.removalEnabled({}));

    const ReviewModel none(queue, {home() + "/a.mov", home() + "/b.mov", home() + "/c.mov"}, {});
    EXPECT_EQ(none.countLine(), QStringLiteral("0 of 3 items · Zero KB"));
    EXPECT_FALSE(none.removalEnabled({}));
    EXPECT_EQ(none.trashHelp({}), QStringLiteral("Moves everything ticked to the Trash"));
}

TEST(ReviewModelTest, KeptItemsAreHandedOverButNeverCountedOrWarnedAbout) {
    const CleanItem homeFolder = folder(home(), 50'000'000);
    const CleanItem system = folder("/usr/bin", 7'000'000);
    const CleanItem movie = file(home() + "/a.mov", 1'000'000);

    const ReviewModel one({homeFolder, movie}, {}, {});
    EXPECT_TRUE(ReviewModel::locked(homeFolder));
    EXPECT_EQ(one.removalSize(), 1'000'000);
    EXPECT_EQ(one.sections()[0].tickedSize, 50'000'000);  // the section still sums it
    EXPECT_EQ(one.ids().count(home()), 1u);
    EXPECT_TRUE(one.dangerItems().empty());
    EXPECT_TRUE(one.removalEnabled({}));
    const QString name = QString::fromStdString(homeFolder.name);
    EXPECT_EQ(one.keptNote(),
              QStringLiteral("Kept by the safety guard: \u201C%1\u201D. Open it in Space to clean inside.")
                  .arg(name));

    const ReviewModel two({homeFolder, system}, {}, {});
    EXPECT_EQ(two.keptNote(),
              QStringLiteral("Kept by the safety guard: \u201C%1\u201D, \u201Cbin\u201D. Open them in "
                             "Space to clean inside.")
                  .arg(name));
    EXPECT_EQ(two.removalSize(), 0);
    EXPECT_TRUE(two.removalEnabled({}));  // the removal reports them as kept
    EXPECT_EQ(two.rowBadge(system), ReviewModel::RowBadge::kept);
}

TEST(ReviewModelTest, TheCacheFolderGoesByItsContentsAndIsNotKept) {
    const CleanItem caches = folder(home() + "/.cache", 3'000'000);
    const ReviewModel model({caches}, {}, {});
    EXPECT_FALSE(ReviewModel::locked(caches));
    EXPECT_TRUE(ReviewModel::contentsOnly(caches));
    EXPECT_EQ(model.rowBadge(caches), ReviewModel::RowBadge::contentsOnly);
    EXPECT_TRUE(model.keptNote().isEmpty());
    EXPECT_EQ(model.removalSize(), 3'000'000);
}

TEST(ReviewModelTest, DangerBannerGroupsKindsAndWaitsForTheAcknowledgement) {
    const CleanItem key = file(home() + "/Work/certs.pem", 10);
    const CleanItem key2 = file(home() + "/Work/other.pem", 10);
    const CleanItem vm = file(home() + "/VMs/Windows.vdi", 10);
    const CleanItem raw = file(home() + "/VMs/Docker.raw", 10);
    const CleanItem band = folder(home() + "/Music/Song.band", 10);
    const CleanItem docker = folder(home() + "/.docker/machine", 10);
    const CleanItem plain = file(home() + "/a.mov", 10);

    struct Case {
        std::vector<CleanItem> queue;
        size_t kinds;
        QString firstLead;
        QString tail;
    };
    const Case cases[] = {
        {{plain, key}, 1, QStringLiteral("certs.pem"), QString()},
        {{key, key2},
         1,
         QStringLiteral("Keys & passwords · 2 items"),
         QStringLiteral("Each one is marked in the list below.")},
        {{vm, key, raw, key2, band, docker},
         5,
         QStringLiteral("Keys & passwords · 2 items"),
         QStringLiteral("and 2 more kinds, marked below")},
        {{vm, key, raw, key2, band},
         4,
         QStringLiteral("Keys & passwords · 2 items"),
         QStringLiteral("and 1 more kind, marked below")},
    };
    for (const Case& c : cases) {
        const ReviewModel model(c.queue, {}, {});
        const auto kinds = model.dangerKinds();
        ASSERT_EQ(kinds.size(), c.kinds);
        EXPECT_EQ(ReviewModel::kindLine(kinds[0]).first, c.firstLead);
        EXPECT_EQ(model.bannerTail(), c.tail);
        EXPECT_FALSE(model.removalEnabled({}));
        EXPECT_EQ(model.trashHelp({}), QStringLiteral("Confirm the warning above first"));
        EXPECT_TRUE(model.removalEnabled(model.dangerIDs()));
    }
    // Ties in count are ordered by title.
    const auto kinds = ReviewModel({vm, key, raw, key2, band, docker}, {}, {}).dangerKinds();
    for (size_t i = 2; i < kinds.size(); ++i)
        EXPECT_LT(kinds[i - 1].title, kinds[i].title);
    const auto single = ReviewModel::kindLine(ReviewModel({key}, {}, {}).dangerKinds()[0]);
    EXPECT_TRUE(single.second.startsWith(QStringLiteral(" · Keys & passwords: ")));

    // Unticking the only danger item lifts the gate; an acknowledgement of other items does not
    // cover a new one.
    EXPECT_TRUE(ReviewModel({plain, key}, {key.id}, {}).removalEnabled({}));
    EXPECT_FALSE(ReviewModel({plain, key, vm}, {}, {}).removalEnabled({key.id}));
}

TEST(ReviewModelTest, AWholeLocationOfBackupsIsDanger) {
    JunkLocation backups;
    backups.id = "backups";
    backups.title = "Device Backups";
    backups.paths = {home() + "/Library/Application Support/MobileSync/Backup"};
    JunkLocation caches;
    caches.id = "caches";
    caches.title = "Caches";
    caches.paths = {home() + "/.cache"};
    const std::vector<JunkLocation> locations = {caches, backups};

    const ReviewModel model({junk("backups", 0.6), junk("caches", 1.0)}, {}, locations);
    ASSERT_EQ(model.dangerItems().size(), 1u);
    EXPECT_EQ(model.dangerItems()[0].id, "junk:backups");
    EXPECT_EQ(model.rowBadge(junk("backups", 0.6)), ReviewModel::RowBadge::risk);
    EXPECT_EQ(model.rowBadge(junk("caches", 1.0)), ReviewModel::RowBadge::none);
    EXPECT_FALSE(model.removalEnabled({}));
    EXPECT_TRUE(model.removalEnabled({"junk:backups"}));
}

// Ticks and items leaving the queue update the model in place; it must then say what a model made
// afresh for the same queue and unticks says.
TEST(ReviewModelTest, ChangesInPlaceMatchAFreshModel) {
    const CleanItem a = file(home() + "/a.mov", 1'000);
    const CleanItem key = file(home() + "/Work/certs.pem", 20);
    const CleanItem homeFolder = folder(home(), 50'000);
    const CleanItem b = file(home() + "/b.mov", 300, CleanItem::Source::space);
    const CleanItem key2 = file(home() + "/Work/other.pem", 4'000);
    std::vector<CleanItem> queue = {a, key, homeFolder, b, key2};
    ReviewModel model(ReviewModel::Unjudged{}, queue, {}, {});
    model.take(std::make_shared<const ReviewModel::Verdicts>(ReviewModel::judge(*model.snapshot())));

    const auto same = [&](const char* step) {
        SCOPED_TRACE(step);
        const ReviewModel fresh(queue, model.excluded(), {});
        EXPECT_EQ(model.countLine(), fresh.countLine());
        EXPECT_EQ(model.removalSize(), fresh.removalSize());
        EXPECT_EQ(model.dangerIDs(), fresh.dangerIDs());
        EXPECT_EQ(model.keptNote(), fresh.keptNote());
        EXPECT_EQ(model.ids(), fresh.ids());
        ASSERT_EQ(model.sections().size(), fresh.sections().size());
        for (size_t i = 0; i < fresh.sections().size(); ++i) {
            EXPECT_EQ(model.sections()[i].count, fresh.sections()[i].count);
            EXPECT_EQ(model.sections()[i].ticked, fresh.sections()[i].ticked);
            EXPECT_EQ(model.sections()[i].tickedSize, fresh.sections()[i].tickedSize);
        }
        for (const CleanItem& item : queue)
            EXPECT_EQ(model.rowBadge(model.entry(item.id)), fresh.rowBadge(item)) << item.id;
    };
    const auto tick = [&](const CleanItem& item, bool on) { model.setTicked(model.entry(item.id), on); };
    const auto leave = [&](const CleanItem& item) {
        const ReviewModel::Entry e = model.entry(item.id);
        std::erase(queue, item);
        const auto gone = model.follow(queue);
        ASSERT_TRUE(gone.has_value());
        EXPECT_EQ(*gone, std::vector<ReviewModel::Entry>{e});
    };
    same("all ticked");
    const uint64_t banner = model.dangerRevision();
    tick(key2, false);
    same("a danger item unticked");
    EXPECT_NE(model.dangerRevision(), banner);
    tick(homeFolder, false);
    tick(a, false);
    tick(a, true);
    same("a kept item unticked, another one back");
    tick(key2, true);
    model.setSourceTicked(CleanItem::Source::files, false);
    same("a section unticked");
    model.setSourceTicked(CleanItem::Source::files, true);
    tick(b, false);
    leave(key);
    same("a danger item left");
    leave(b);
    same("an unticked item left, and with it its section");
    EXPECT_EQ(model.excludedCount(), 1u);  // the home folder's untick stays; b's went with it
    EXPECT_TRUE(model.isJudged());

    // Anything but items leaving is another selection.
    const CleanItem c = file(home() + "/c.mov", 5);
    const CleanItem resized = file(home() + "/a.mov", 2'000);
    const std::vector<std::vector<CleanItem>> others = {
        {a, homeFolder, key2, c}, {homeFolder, a, key2}, {resized, homeFolder, key2}, {c}};
    for (const auto& other : others)
        EXPECT_FALSE(model.follow(other).has_value()) << other.size();
}

TEST(ReviewModelTest, RowDetails) {
    // A location names the folders that exist, so the one holding the data is never elided behind
    // folders that are not there; with none there, all of them.
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("npm")) && QDir().mkpath(dir.filePath("cargo")));
    JunkLocation caches, gone;
    caches.id = "caches";
    caches.paths = {d + "/yarn", d + "/npm", d + "/gradle", d + "/cargo"};
    gone.id = "gone";
    gone.paths = {d + "/a", d + "/b"};
    const ReviewModel model({}, {}, {caches, gone});
    const auto noCount = [](const std::string&) -> std::optional<int64_t> { return std::nullopt; };
    const auto count = [](const std::string&) -> std::optional<int64_t> { return 12345; };
    struct Case {
        CleanItem item;
        std::function<std::optional<int64_t>(const std::string&)> files;
        QString detail;
    };
    const Case cases[] = {
        {file(home() + "/Movies/a.mov", 1), noCount, QStringLiteral("~/Movies")},
        {folder(home() + "/Projects/app", 1), count, QStringLiteral("~/Projects · 12,345 files inside")},
        {folder(home() + "/Projects/app", 1), noCount, QStringLiteral("~/Projects")},
        {junk("caches", 1.0), noCount, QString::fromStdString(d + "/npm, " + d + "/cargo")},
        {junk("gone", 1.0), noCount, QString::fromStdString(d + "/a, " + d + "/b")},
        {junk("nowhere", 1.0), noCount, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model.rowDetail(c.item, c.files), c.detail) << c.item.id;
    // A risky file shows why instead of where.
    const CleanItem key = file(home() + "/Work/certs.pem", 10);
    EXPECT_EQ(model.rowDetail(key, noCount).toStdString(), key.risk().why);
}

// Every copy of a set selected, by any route (copies by hand, a folder holding some, a junk location
// whose listed targets hold one, or whose folders do when it was not listed, a last copy whose kept
// copy a removal took, extras whose set a new scan made the twin search forget): the holders are
// danger items and need the acknowledgement; unticking any one of them lifts it.
TEST(ReviewModelTest, EveryCopyOfTwinsSelectedIsDanger) {
    DuplicateGroup set;
    set.id = "s";
    for (const char* path : {"/t/keep/a.bin", "/t/x/b.bin", "/t/x/c.bin"}) {
        FileItem f;
        f.path = path;
        set.files.push_back(f);
    }
    DuplicatesModel::Watch twins{
        std::make_shared<const std::vector<DuplicateGroup>>(std::vector{set}),
        std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"/t/last.bin"})};
    // Extras carry the set they were chosen from, which a removal counts on whatever the search holds.
    auto forgotten = std::make_shared<TwinCopies>();
    forgotten->copies = {{"/u/a.bin", {}}, {"/u/b.bin", {}}};
    CleanItem extra = file("/u/b.bin", 1);
    extra.twins = forgotten;
    struct Case {
        const char* what;
        std::vector<CleanItem> queue;
        std::unordered_set<std::string> unticked;
        std::vector<std::string> danger;
    };
    const Case cases[] = {
        {"an extra of a forgotten set and its kept copy",
         {extra, file("/u/a.bin", 1)},
         {},
         {"/u/b.bin", "/u/a.bin"}},
        {"an extra of a forgotten set alone", {extra, file("/u/other.bin", 1)}, {}, {}},
        {"extras only", {file("/t/x/b.bin", 1), file("/t/x/c.bin", 1)}, {}, {}},
        {"every copy by hand",
         {file("/t/x/b.bin", 1), file("/t/x/c.bin", 1), file("/t/keep/a.bin", 1)},
         {},
         {"/t/x/b.bin", "/t/x/c.bin", "/t/keep/a.bin"}},
        {"the kept copy's folder and the extras",
         {folder("/t/keep", 1), file("/t/x/b.bin", 1), file("/t/x/c.bin", 1)},
         {},
         {"/t/keep", "/t/x/b.bin", "/t/x/c.bin"}},
        {"one folder holding them all", {folder("/t", 1)}, {}, {"/t"}},
        {"one copy unticked in the review",
         {file("/t/x/b.bin", 1), file("/t/x/c.bin", 1), file("/t/keep/a.bin", 1)},
         {"/t/x/c.bin"},
         {}},
        {"the last copy of a set", {file("/t/last.bin", 1), file("/t/other.bin", 1)}, {}, {"/t/last.bin"}},
        {"extras and a location listing the kept copy",
         {file("/t/x/b.bin", 1), file("/t/x/c.bin", 1), junk("installers", 0.55)},
         {},
         {"/t/x/b.bin", "/t/x/c.bin", "junk:installers"}},
        {"a location whose listed targets miss the kept copy",
         {junk("caches", 1), file("/t/x/b.bin", 1), file("/t/x/c.bin", 1)},
         {},
         {}},
        {"the kept copy ticked by hand, unticked, and listed by a location",
         {file("/t/x/b.bin", 1), file("/t/x/c.bin", 1), file("/t/keep/a.bin", 1), junk("installers", 0.55)},
         {"/t/keep/a.bin"},
         {"/t/x/b.bin", "/t/x/c.bin", "junk:installers"}},
        {"a location not listed, its folder holding the kept copy",
         {junk("logs", 1), file("/t/x/b.bin", 1), file("/t/x/c.bin", 1)},
         {},
         {"junk:logs", "/t/x/b.bin", "/t/x/c.bin"}},
    };
    std::vector<JunkLocation> locations(3);
    for (size_t i = 0; i < locations.size(); ++i) {
        locations[i].id = std::vector<const char*>{"installers", "caches", "logs"}[i];
        locations[i].paths = {"/t/keep"};
    }
    const ReviewModel::JunkTargets listed = {{"junk:installers", {{"/t/keep/a.bin"}}},
                                             {"junk:caches", {{"/t/keep/other"}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReviewModel model(c.queue, c.unticked, locations, {}, twins, listed);
        std::vector<std::string> danger;
        for (const CleanItem& item : model.dangerItems())
            danger.push_back(item.id);
        EXPECT_EQ(danger, c.danger);
        EXPECT_EQ(model.removalEnabled({}), c.danger.empty());
        if (!c.danger.empty()) {
            for (const ReviewModel::Kind& kind : model.dangerKinds())
                EXPECT_EQ(kind.title, ReviewModel::lastCopyRisk().title);
            EXPECT_TRUE(model.removalEnabled(model.dangerIDs()));
            // Unticking one holder breaks the set: no warning is left.
            model.setTicked(model.entry(c.danger.front()), false);
            EXPECT_EQ(model.dangerCount(), 0u);
            model.setTicked(model.entry(c.danger.front()), true);
            EXPECT_EQ(model.dangerCount(), c.danger.size());
        }
    }
}

}  // namespace
}  // namespace nimbrel
