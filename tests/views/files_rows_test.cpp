#include <QFont>
#include <QGraphicsOpacityEffect>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <map>

#include "engine/host_layout.h"
#include "engine/tree_build.h"
#include "model/duplicates_model.h"
#include "shell_fixture.h"
#include "test_items.h"
#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/nimbrel_button.h"
#include "twin_sets.h"
#include "views/files/failure_sheet.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/elided_label.h"
#include "views/kit/item_row.h"
#include "views/kit/shelf.h"

namespace nimbrel {
namespace {

CleanItem item(const std::string& id, CleanItem::Kind kind, int64_t size = 1000) {
    CleanItem i;
    i.id = id;
    i.name = id.substr(id.find_last_of("/:") + 1);
    i.size = size;
    i.kind = kind;
    i.source = CleanItem::Source::space;
    return i;
}

class FilesRowsTest : public ShellFixture {
  protected:
    std::string home = HostLayout::current().home;
};

TEST_F(FilesRowsTest, ReviewRowsMarkKeptContentsOnlyAndJunkItems) {
    const CleanItem kept = item(home, CleanItem::Kind::folder);
    const CleanItem caches = item(home + "/.cache", CleanItem::Kind::folder);
    CleanItem junk = item("junk:nowhere", CleanItem::Kind::junk, -5);
    junk.heat = 1.0;
    state_->queue().setItems({kept, caches, junk});
    ReviewSheet sheet(*state_);

    ReviewRow keptRow(*state_, sheet, sheet.model().entry(kept.id));
    EXPECT_TRUE(keptRow.isDimmed());
    ASSERT_NE(qobject_cast<Badge*>(keptRow.badge()), nullptr);
    EXPECT_EQ(qobject_cast<Badge*>(keptRow.badge())->text(), QStringLiteral("kept"));
    EXPECT_NE(qobject_cast<QGraphicsOpacityEffect*>(keptRow.graphicsEffect()), nullptr);
    // Its tick still works like any other.
    QTest::mouseClick(keptRow.check(), Qt::LeftButton);
    EXPECT_FALSE(sheet.model().isTicked(kept.id));

    ReviewRow cacheRow(*state_, sheet, sheet.model().entry(caches.id));
    EXPECT_FALSE(cacheRow.isDimmed());
    EXPECT_EQ(qobject_cast<Badge*>(cacheRow.badge())->text(), QStringLiteral("contents only"));
    EXPECT_FALSE(cacheRow.detailText().isEmpty());

    ReviewRow junkRow(*state_, sheet, sheet.model().entry(junk.id));
    EXPECT_EQ(junkRow.menuEntries(), QStringList{QStringLiteral("Remove from Selection")});
    EXPECT_TRUE(junkRow.detailText().isEmpty());  // no such location in the catalogue
    ASSERT_NE(junkRow.disclosure(), nullptr);
    EXPECT_EQ(junkRow.disclosure()->text(), QStringLiteral("Show items"));
    junkRow.disclosure()->click();
    EXPECT_EQ(sheet.expanded().count(junk.id), 1u);  // flips, though nothing opens beneath
}

TEST_F(FilesRowsTest, FailureRowsShowButtonsOnHoverAndCutLinesWhereTheyStayReadable) {
    const DeletionFailure failure{"/nimbrel-test/a/<b>x", DeletionFailure::Reason::other,
                                  "Input/output error"};
    FailureRow row(*state_, failure);
    EXPECT_FALSE(row.isHovering());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&row, &enter);
    EXPECT_TRUE(row.isHovering());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&row, &leave);
    EXPECT_FALSE(row.isHovering());
    EXPECT_FALSE(row.toolTip().contains(QStringLiteral("<b>x</b>")));  // escaped, never markup

    // A narrow row keeps the end of its second line: a folder path and the path a message names are
    // cut at their head, and a message that still does not fit takes a second line (a taller row).
    const std::string deep = "/nimbrel-test/" + std::string(120, 'd') + "/nearest";
    const std::string locked = deep + "/locked/f.txt";
    const std::string advice = " (your folder " + deep +
                               "/locked does not allow changes; give yourself write access to that folder)";
    struct Case {
        DeletionFailure failure;
        QStringList shown;  // the lines, each up to the cut's mark when cut
        bool cut;
    } cases[] = {
        {{deep + "/x", DeletionFailure::Reason::noPermission, {}}, {QStringLiteral("/nearest")}, true},
        {{locked, DeletionFailure::Reason::other, locked + ": Busy"}, {QStringLiteral("/f.txt: Busy")}, true},
        {{locked, DeletionFailure::Reason::other, locked + ": Permission denied" + advice},
         {QString(), QStringLiteral("write access to that folder)")},
         true},
        {{"/x", DeletionFailure::Reason::other, "Input/output error"},
         {QStringLiteral("Input/output error")},
         false},
    };
    for (const Case& c : cases) {
        FailureRow narrow(*state_, c.failure);
        narrow.resize(300, narrow.heightForWidth(300));
        narrow.show();
        QCoreApplication::processEvents();
        const QStringList lines = narrow.detailLines();
        ASSERT_EQ(lines.size(), c.shown.size()) << lines.join(QLatin1Char('|')).toStdString();
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].endsWith(c.shown[i])) << lines[i].toStdString();
        EXPECT_EQ(lines.front().startsWith(QStringLiteral("\u2026")), c.cut) << lines.front().toStdString();
        EXPECT_EQ(narrow.height() > FailureSheet::kRowHeight, lines.size() == 2);
        EXPECT_TRUE(narrow.toolTip().contains(QString::fromStdString(c.failure.detail)));
    }
}

TEST_F(FilesRowsTest, SelectEveryExtraCopyTakesAllFilteredSetsInOneChange) {
    std::vector<DuplicateGroup> groups;
    auto result = std::make_shared<ScanResult>();
    for (int g = 0; g < 130; ++g) {
        groups.push_back(testTwinSet(g, 2, 20'000'000, g * 2));
        for (const FileItem& f : groups.back().files)
            TreeBuild::listFile(*result, f);
    }
    state_->setResult(result);
    state_->duplicates().setStillThere([](const std::string&, const EntryIdentity*) { return true; });
    state_->duplicates().setGroups(groups);
    TwinShelves twins(*state_, {});
    QSignalSpy changes(&state_->queue(), &CleanQueue::itemsChanged);
    twins.selectEveryExtra();
    settle();
    EXPECT_EQ(changes.count(), 1);
    ASSERT_EQ(state_->queue().items().size(), 130u);
    EXPECT_EQ(state_->queue().items().front().id, "/nimbrel-test/1/twin0.mov");  // the older copy

    state_->queue().setItems({});
    twins.setSearch(QStringLiteral("no such path"));
    twins.selectEveryExtra();
    settle();
    EXPECT_TRUE(state_->queue().items().empty());
}

// Thousands of copies are worked out on a worker from the sets as they were at the click: the
// queue ends as if the extras were taken at once, in the shelf's order and filter. A removal that
// lands before the worker's list comes back has it made again from what is left: nothing removed
// is queued, and a set that lost its kept copy offers nothing.
TEST_F(FilesRowsTest, SelectEveryExtraCopyAsideEndsAsTakenAtOnce) {
    std::vector<DuplicateGroup> groups;
    for (int g = 0; g < 1200; ++g) {
        DuplicateGroup group;
        group.id = "g" + std::to_string(g);
        group.size = 1000 + (g % 17) * 100;  // ties in the "extra" order keep the sets' order
        for (int c = 0; c < 2 + g % 3; ++c) {
            FileItem f = testFile(
                g * 10 + c,
                "/nimbrel-test/s" + std::to_string(g) + "/c" + std::to_string(c) + (g % 2 ? ".bin" : ".dat"),
                group.size);
            // Newest in the middle of the set, or two copies tied on date.
            f.modified = std::chrono::system_clock::time_point(std::chrono::hours(c == 1 ? 50 : g % 5));
            group.files.push_back(f);
        }
        groups.push_back(group);
    }
    struct Case {
        const char* what;
        QString search;
        Twins::Sort sort;
        std::unordered_set<std::string> removedMeanwhile;
    };
    const Case cases[] = {
        {"every set by extra size", {}, Twins::Sort::extra, {}},
        {"filtered, most copies first", QStringLiteral(".bin"), Twins::Sort::copies, {}},
        {"a removal meanwhile: a kept copy, an extra, a whole set",
         {},
         Twins::Sort::extra,
         {"/nimbrel-test/s4/c1.dat", "/nimbrel-test/s5/c2.bin", "/nimbrel-test/s7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DuplicatesModel& model = state_->duplicates();
        model.setStillThere([](const std::string&, const EntryIdentity*) { return true; });
        model.setGroups(groups);
        state_->queue().setItems({item("/elsewhere/before", CleanItem::Kind::file)});
        TwinShelves twins(*state_, {});
        twins.setSearch(c.search);
        twins.setSort(c.sort);
        QSignalSpy changes(&state_->queue(), &CleanQueue::itemsChanged);
        twins.selectEveryExtra();
        ASSERT_EQ(state_->queue().items().size(), 1u);  // nothing until the worker is back
        // Handed back through the event loop: this lands before it whatever the worker's speed.
        if (!c.removedMeanwhile.empty()) model.remove(c.removedMeanwhile);
        settle();

        std::vector<std::string> ids;
        for (const DuplicateGroup* g : Twins::shown(model.groups(), c.search, c.sort))
            ids.push_back(g->id);
        std::vector<CleanItem> expected = {item("/elsewhere/before", CleanItem::Kind::file)};
        for (const std::string& id : ids)
            for (CleanItem& i : model.extras(id, {}))
                expected.push_back(std::move(i));
        ASSERT_GT(expected.size(), CleanQueue::kAsideFrom / 2);
        EXPECT_EQ(state_->queue().items(), expected);
        EXPECT_EQ(changes.count(), 1);
        for (const std::string& gone : c.removedMeanwhile)
            EXPECT_FALSE(state_->queue().includes(gone)) << gone;
        if (!c.removedMeanwhile.empty()) {
            EXPECT_FALSE(state_->queue().contains("/nimbrel-test/s4/c0.dat"));
        }
    }
}

// Copies deleted or changed by hand after the search: "Select extras" of a set whose kept copy went
// adds nothing, says why, and shows the copies that went dimmed and without the badge. A set whose
// kept copy is still there adds its extras.
TEST_F(FilesRowsTest, SelectExtrasOfASetWhoseKeptCopyWentSaysWhyAndShowsWhatWent) {
    TwinShelves twins(*state_, {});
    ASSERT_TRUE(showTwinSets(twins, *state_,
                             {testTwinSet(0, 3, 20'000'000, 0), testTwinSet(1, 2, 20'000'000, 10)},
                             QSize(900, 1400)));
    const std::unordered_set<std::string> went = {"/nimbrel-test/0/twin0.mov", "/nimbrel-test/2/twin0.mov"};
    state_->duplicates().setStillThere(
        [went](const std::string& path, const EntryIdentity*) { return !went.count(path); });
    settle();
    twins.selectExtras("set0");
    settle();
    EXPECT_TRUE(state_->queue().items().empty());
    ASSERT_TRUE(state_->toast().has_value());
    EXPECT_EQ(
        state_->toast()->message,
        QStringLiteral("The kept copy of “twin0.mov” changed since the search. Search again to compare"));
    std::map<std::string, const ItemRow*> rows;
    for (const ItemRow* row : twins.findChildren<ItemRow*>())
        if (row->isVisible()) rows[row->item().id] = row;
    for (int c = 0; c < 3; ++c) {
        const std::string path = "/nimbrel-test/" + std::to_string(c) + "/twin0.mov";
        ASSERT_TRUE(rows.count(path)) << path;
        EXPECT_EQ(rows[path]->options().disabled, went.count(path) > 0) << path;
        EXPECT_EQ(rows[path]->options().badge.has_value(), false) << path;
    }
    EXPECT_EQ(rows["/nimbrel-test/0/twin1.mov"]->options().badge, QStringLiteral("newest"));
    twins.selectExtras("set1");
    settle();
    ASSERT_EQ(state_->queue().items().size(), 1u);
    EXPECT_EQ(state_->queue().items().front().id, "/nimbrel-test/1/twin1.mov");

    // A kept copy selected another way (inside a selected folder) keeps its set's extras out too,
    // and both buttons say why.
    state_->queue().setItems(
        {testItem("/nimbrel-test/0", 1, CleanItem::Kind::folder, CleanItem::Source::space)});
    const std::pair<std::function<void()>, const char*> presses[] = {
        {[&] { twins.selectExtras("set1"); },
         "The kept copy of “twin1.mov” is in “0”, which is selected, so its other copies stay unselected"},
        {[&] { twins.selectEveryExtra(); }, "2 sets added nothing: their kept copy is selected"},
    };
    for (const auto& [press, toast] : presses) {
        SCOPED_TRACE(toast);
        state_->setToast(std::nullopt);
        press();
        settle();
        EXPECT_EQ(state_->queue().items().size(), 1u);
        ASSERT_TRUE(state_->toast().has_value());
        EXPECT_EQ(state_->toast()->message, QString::fromUtf8(toast));
    }
}

TEST_F(FilesRowsTest, ChoosingAnOrderRenamesTheMenuButton) {
    FileControls controls(QString(), FileSort::size, QStringLiteral("Filter by name or path"));
    QSignalSpy sorts(&controls, &FileControls::sortChanged);
    EXPECT_EQ(controls.sortButton()->text(), QStringLiteral("Size"));
    controls.chooseSort(FileSort::name);
    EXPECT_EQ(controls.sortButton()->text(), QStringLiteral("Name"));
    EXPECT_EQ(sorts.count(), 1);
    controls.chooseSort(FileSort::name);
    EXPECT_EQ(sorts.count(), 1);
    EXPECT_DOUBLE_EQ(MoltenProgress::fillWidth(360, std::nullopt), 8);
    EXPECT_DOUBLE_EQ(MoltenProgress::fillWidth(360, 0.0), 8);
    EXPECT_DOUBLE_EQ(MoltenProgress::fillWidth(360, 0.5), 180);
}

}  // namespace
}  // namespace nimbrel
