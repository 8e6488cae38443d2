#include "views/files/files_view.h"

#include <sys/stat.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "engine/tree_build.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "model/removal_road.h"
#include "shell_fixture.h"
#include "support/animations.h"
#include "support/motion_scopes.h"
#include "test_items.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/search_field.h"
#include "twin_sets.h"
#include "views/kit/area_header.h"
#include "views/kit/item_row.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/quick_preview.h"
#include "views/kit/shelf.h"

namespace nimbrel {
namespace {

class FilesViewTest : public ShellFixture {
  protected:
    void install(int count) {
        auto result = std::make_shared<ScanResult>();
        for (int i = 0; i < count; ++i) {
            FileItem f = testFile(i, "/nimbrel-test/file" + std::to_string(i) + (i % 2 ? ".mov" : ".txt"),
                                  std::int64_t{1'000'000} * (count - i));
            f.category = i % 2 ? FileCategory::video : FileCategory::document;
            TreeBuild::listFile(*result, f);
        }
        state_->setResult(result);
    }
    // Shows a shelf at the window's usual size and lets it lay out its rows.
    static void show(QWidget& shelf) {
        shelf.resize(1000, 700);
        shelf.show();
        flushEvents();
    }
};

TEST_F(FilesViewTest, BiggestPagesByFortyEightAndResetsOnlyOnFilterSortAndCategory) {
    install(100);
    BiggestShelves shelves(*state_, {});
    ASSERT_EQ(shelves.matchCount(), 100);
    EXPECT_EQ(shelves.shelfCard()->detail(), QStringLiteral("showing 48 of 100"));
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 48);
    ASSERT_NE(shelves.moreButton(), nullptr);
    EXPECT_EQ(shelves.moreButton()->text(), QStringLiteral("Show 48 more"));
    shelves.moreButton()->click();
    EXPECT_EQ(shelves.shown(), 96);
    EXPECT_EQ(shelves.moreButton()->text(), QStringLiteral("Show 4 more"));
    shelves.setHidePackages(true);
    EXPECT_EQ(shelves.shown(), 96);
    shelves.showMore();
    EXPECT_EQ(shelves.moreButton(), nullptr);
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 100);

    shelves.setSearch(QStringLiteral(".MOV"));
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.matchCount(), 50);
    EXPECT_EQ(shelves.subtitle(), QStringLiteral("50 files · 2.5 GB"));
    shelves.showMore();
    state_->setLargestCategory(FileCategory(FileCategory::document));
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.matchCount(), 0);  // documents are .txt, the search wants .mov
    shelves.setSearch({});
    shelves.showMore();
    shelves.setSort(FileSort::name);
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.shelfCard()->title(), QStringLiteral("A to Z"));
}

// The shelves on a clock the test moves.
class FilesClockTest : public FilesViewTest {
  protected:
    void SetUp() override {
        AppStateServices s = services();
        s.clock = &clock_;
        start(std::move(s));
    }
    std::chrono::system_clock::time_point at(const QDateTime& d) const {
        return std::chrono::system_clock::time_point(std::chrono::milliseconds(d.toMSecsSinceEpoch()));
    }
    ManualClock clock_;
};

// "Now" is the clock's at every refresh: a shelf left open across days lists what aged past the
// cutoff meanwhile, and rows are dated from the new day, on Forgotten as on Biggest.
TEST_F(FilesClockTest, ShelvesTellTimeByTheClockAtEveryRefresh) {
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_.date().time_since_epoch()).count());
    auto result = std::make_shared<ScanResult>();
    const std::pair<const char*, QDateTime> files[] = {
        {"aging.mov", start.addMonths(-12).addDays(1)},  // crosses the 1-year cutoff within two days
        {"old.mov", start.addYears(-3)},
        {"fresh.mov", start.addSecs(-600)},
    };
    for (const auto& [name, used] : files) {
        const auto id = int64_t(result->files().size());
        FileItem f = testFile(id, std::string("/nimbrel-test/") + name, 20'000'000 + id);
        f.modified = f.accessed = at(used);
        f.category = FileCategory::video;
        TreeBuild::listFile(*result, f);
    }
    state_->setResult(result);
    ForgottenShelves forgotten(*state_, {});
    BiggestShelves biggest(*state_, {});
    show(forgotten);
    show(biggest);
    EXPECT_EQ(forgotten.matchCount(), 1);
    auto freshRow = [&] {  // the heaviest, first in Biggest
        return qobject_cast<ItemRow*>(biggest.shelfCard()->rows()->rowWidget(0))->subtitleText();
    };
    EXPECT_TRUE(freshRow().endsWith(QStringLiteral("10 minutes ago"))) << freshRow().toStdString();

    clock_.advance(std::chrono::hours(48));  // nothing happens meanwhile but time passing
    flushEvents();
    EXPECT_EQ(forgotten.matchCount(), 2);
    EXPECT_EQ(forgotten.shelfCard()->rows()->count(), 2);
    biggest.setSearch(QStringLiteral(".mov"));  // any refresh builds the rows afresh
    EXPECT_TRUE(freshRow().endsWith(QStringLiteral("2 days ago"))) << freshRow().toStdString();
}

TEST_F(FilesViewTest, ShowMoreAppendsRowsWhereTheListStands) {
    install(300);
    BiggestShelves shelves(*state_, {});
    show(shelves);
    QScrollBar* bar = shelves.body()->scroll()->verticalScrollBar();
    bar->setValue(bar->maximum());
    flushEvents();
    const int before = bar->value();
    ASSERT_GT(before, 0);
    QWidget* firstRow = shelves.shelfCard()->rows()->rowWidget(47);
    ASSERT_NE(firstRow, nullptr);
    QApplication::setActiveWindow(&shelves);
    shelves.moreButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(shelves.moreButton(), Qt::Key_Return);
    flushEvents();
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 96);
    EXPECT_EQ(bar->value(), before);
    // The rows on screen are the same widgets: nothing was built again.
    EXPECT_EQ(shelves.shelfCard()->rows()->rowWidget(47), firstRow);
    // Pressed from the keyboard, the button hands the focus on to the first row it showed.
    auto* shown = qobject_cast<ItemRow*>(shelves.shelfCard()->rows()->rowWidget(48));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), shown->check());
}

// A result large enough to be indexed aside: until the index is there the list is not "empty", so
// the empty state stays hidden and the loader shows in its place; then the rows come.
TEST_F(FilesViewTest, AListStillIndexingNeverSaysNothingIsThere) {
    install(int(FilesModel::kBuildAsideFrom) + 10);
    BiggestShelves shelves(*state_, {});
    ForgottenShelves forgotten(*state_, {});
    ASSERT_TRUE(state_->files().isIndexing());
    auto caption = [](QWidget& shelf) { return shelf.findChild<AreaHeader*>()->caption(); };
    // No figure of an index not built yet: "0 files · Zero KB" would be false.
    EXPECT_EQ(caption(shelves), QString());
    EXPECT_EQ(caption(forgotten), QString());
    for (FileListBody* body : {shelves.body(), forgotten.body()}) {
        EXPECT_TRUE(body->emptyState()->isHidden());
        EXPECT_FALSE(body->waiting()->isHidden());
        EXPECT_TRUE(body->scroll()->isHidden());
    }
    QSignalSpy ready(&state_->files(), &FilesModel::indexReady);
    ASSERT_TRUE(ready.count() > 0 || ready.wait(20000));
    EXPECT_TRUE(shelves.body()->emptyState()->isHidden());
    EXPECT_TRUE(shelves.body()->waiting()->isHidden());
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 48);
    EXPECT_TRUE(forgotten.body()->waiting()->isHidden());
    EXPECT_TRUE(caption(shelves).contains(QStringLiteral("files")));
}

TEST_F(FilesViewTest, ARemovalKeepsTheRowsThatStayAndTheHeaviestSetsTheWeights) {
    install(300);
    BiggestShelves shelves(*state_, {});
    show(shelves);
    LazyRows* rows = shelves.shelfCard()->rows();
    auto* third = qobject_cast<ItemRow*>(rows->rowWidget(2));
    ASSERT_NE(third, nullptr);
    EXPECT_DOUBLE_EQ(third->weight(), 298.0 / 300.0);
    // The heaviest file and the second leave; the page still holds 48 rows.
    state_->removal().prune({"/nimbrel-test/file0.txt", "/nimbrel-test/file1.mov"});
    EXPECT_EQ(rows->count(), 48);
    EXPECT_EQ(rows->rowWidget(0), third);
    EXPECT_DOUBLE_EQ(third->weight(), 1.0);
    rows->closing().animation().setCurrentTime(280);
    EXPECT_EQ(third->y(), rows->rowRect(0).y());
}

TEST_F(FilesViewTest, ARemovalKeepsTheTwinCardsThatStayAndFoldsAwayTheSetsThatLeft) {
    ReduceMotionScope motion(false);
    install(10);
    // Three sets of three copies, the newest copy first; the first set wastes the most.
    auto group = [](int i) { return testTwinSet(i, 3, 30'000'000 - i, 2000 + i * 3); };
    AnimationClock animations;
    TwinShelves twins(*state_, {});
    ASSERT_TRUE(showTwinSets(twins, *state_, {group(0), group(1), group(2)}, QSize(1000, 1400)));
    flushEvents();
    ASSERT_EQ(twins.findChildren<Shelf*>().size(), 3);
    Shelf* first = twins.findChildren<Shelf*>()[0];
    QPointer<Shelf> second = twins.findChildren<Shelf*>()[1];
    Shelf* last = twins.findChildren<Shelf*>()[2];
    const int secondHeight = second->height();
    QWidget* oldest = first->rows()->rowWidget(2);
    ASSERT_NE(oldest, nullptr);

    // The removal names its paths while the twins are pruned: one copy of the first set and two of
    // the second, which leaves that set with nothing to remove.
    state_->setVanishingPaths(
        {"/nimbrel-test/1/twin0.mov", "/nimbrel-test/0/twin1.mov", "/nimbrel-test/1/twin1.mov"});
    state_->duplicates().remove(
        {"/nimbrel-test/1/twin0.mov", "/nimbrel-test/0/twin1.mov", "/nimbrel-test/1/twin1.mov"});
    state_->setVanishingPaths({});
    EXPECT_EQ(twins.findChildren<Shelf*>()[0], first);
    EXPECT_EQ(first->rows()->count(), 2);
    EXPECT_EQ(first->rows()->rowWidget(1), oldest);
    EXPECT_EQ(first->detail(), QStringLiteral("2 copies · 30 MB extra"));
    // Halfway through the fold the list is laid out again (a late change of the sets): the folding
    // card goes on folding where it stands instead of vanishing.
    animations.step(140);
    state_->duplicates().setGroups(std::vector<DuplicateGroup>(state_->duplicates().groups()));
    flushEvents();
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    EXPECT_GT(second->height(), 0);
    EXPECT_LT(second->height(), secondHeight);
    EXPECT_LT(second->y(), last->y());
    animations.finish();  // the emptied set folds away
    const QList<Shelf*> now = twins.findChildren<Shelf*>();
    ASSERT_EQ(now.size(), 2);
    EXPECT_EQ(now[0], first);
    EXPECT_EQ(now[1], last);
    EXPECT_EQ(twins.shownSets(), 2);
    EXPECT_TRUE(second.isNull());
}

// A filter keystroke, a new search result or a rescan lays the sets out again: cards of sets that
// stay, with the same copies, keep their widgets (ticks, hover, rows) and the list its place.
TEST_F(FilesViewTest, TwinCardsThatStayKeepTheirWidgetsAndTheListItsPlace) {
    install(10);
    auto group = [](int i, int copies) { return testTwinSet(i, copies, 90'000'000 - i, 3000 + i * 10); };
    std::vector<DuplicateGroup> sets;
    for (int i = 0; i < 8; ++i)
        sets.push_back(group(i, 3));
    TwinShelves twins(*state_, {});
    ASSERT_TRUE(showTwinSets(twins, *state_, sets, QSize(1000, 600)));
    QCoreApplication::processEvents();
    auto cards = [&] {
        std::map<QString, Shelf*> byTitle;
        for (Shelf* shelf : twins.findChildren<Shelf*>())
            if (shelf->isVisibleTo(&twins)) byTitle[shelf->title()] = shelf;
        return byTitle;
    };
    const std::map<QString, Shelf*> before = cards();
    ASSERT_EQ(before.size(), 8u);
    QScrollBar* bar = twins.listScroll()->verticalScrollBar();
    settle();  // the list lays out its cards
    ASSERT_GT(bar->maximum(), 400);
    bar->setValue(400);

    // The third set gains a copy; the others are as they were.
    sets[2] = group(2, 4);
    state_->duplicates().setGroups(sets);
    QCoreApplication::processEvents();
    std::map<QString, Shelf*> after = cards();
    ASSERT_EQ(after.size(), 8u);
    for (const auto& [title, shelf] : before) {
        if (title != QStringLiteral("twin2.mov")) {
            EXPECT_EQ(after[title], shelf) << title.toStdString();
        }
    }
    EXPECT_NE(after[QStringLiteral("twin2.mov")], before.at(QStringLiteral("twin2.mov")));
    EXPECT_EQ(after[QStringLiteral("twin2.mov")]->rows()->count(), 4);
    EXPECT_EQ(bar->value(), 400);

    // A filter keeps the card of the set it leaves; a new order keeps every card.
    twins.setSearch(QStringLiteral("twin5"));
    QCoreApplication::processEvents();
    after = cards();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[QStringLiteral("twin5.mov")], before.at(QStringLiteral("twin5.mov")));
    twins.setSearch(QString());
    twins.setSort(Twins::Sort::copies);
    QCoreApplication::processEvents();
    after = cards();
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(after[QStringLiteral("twin5.mov")], before.at(QStringLiteral("twin5.mov")));
    // The set with the most copies comes first.
    const QList<Shelf*> all = twins.findChildren<Shelf*>();
    const Shelf* top = nullptr;
    for (Shelf* shelf : all)
        if (shelf->isVisibleTo(&twins) && (!top || shelf->y() < top->y())) top = shelf;
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->title(), QStringLiteral("twin2.mov"));
}

// A long result is listed a few cards per turn of the event loop, top first; cards built in an
// earlier turn are the ones listed in the end, in the set order.
TEST_F(FilesViewTest, ManyTwinSetsAreListedTopFirstKeepingTheCardsBuiltSoFar) {
    install(10);
    std::vector<DuplicateGroup> sets;
    for (int i = 0; i < 60; ++i)  // the first set wastes the most
        sets.push_back(testTwinSet(i, 2, 90'000'000 - i, 5000 + i * 10));
    TwinShelves twins(*state_, {});
    ASSERT_TRUE(showTwinSets(twins, *state_, sets, QSize(1000, 600)));
    EXPECT_LT(twins.shownSets(), 60);
    ASSERT_GT(twins.shownSets(), 0);
    const QList<Shelf*> early = twins.findChildren<Shelf*>();
    settle();  // the turns of the event loop that list the rest
    ASSERT_EQ(twins.shownSets(), 60);
    std::vector<Shelf*> listed;
    for (Shelf* shelf : twins.findChildren<Shelf*>())
        if (shelf->isVisibleTo(&twins)) listed.push_back(shelf);
    ASSERT_EQ(listed.size(), 60u);
    std::sort(listed.begin(), listed.end(), [](Shelf* a, Shelf* b) { return a->y() < b->y(); });
    for (size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i]->title(), QStringLiteral("twin%1.mov").arg(i)) << i;
    for (Shelf* shelf : early)
        EXPECT_NE(std::find(listed.begin(), listed.end(), shelf), listed.end())
            << shelf->title().toStdString();
}

// Typing goes through the shelves' models and back; the field itself must keep the caret, the
// selection and the undo history.
TEST_F(FilesViewTest, FilterFieldsKeepCaretSelectionAndUndoWhileTyping) {
    install(100);
    auto group = [](int i) { return testTwinSet(i, 2, 10, 1000 + i * 2); };
    BiggestShelves biggest(*state_, {});
    ForgottenShelves forgotten(*state_, {});
    TwinShelves twins(*state_, {});
    ASSERT_TRUE(finishEmptyTwinSearch(twins, *state_));
    state_->duplicates().setGroups({group(1), group(2)});
    ASSERT_EQ(twins.content(), TwinShelves::Content::results);
    QLineEdit* fields[] = {biggest.controls()->searchField()->lineEdit(),
                           forgotten.controls()->searchField()->lineEdit(), twins.searchField()->lineEdit()};
    for (QLineEdit* edit : fields) {
        SCOPED_TRACE(edit->placeholderText().toStdString());
        QWidget* window = edit->window();
        window->show();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("file"));
        edit->setCursorPosition(2);
        QTest::keyClicks(edit, QStringLiteral("X"));
        EXPECT_EQ(edit->text(), QStringLiteral("fiXle"));
        EXPECT_EQ(edit->cursorPosition(), 3);
        edit->setSelection(0, 2);
        QTest::keyClick(edit, Qt::Key_Z);  // replaces the selection
        EXPECT_EQ(edit->text(), QStringLiteral("zXle"));
        EXPECT_EQ(edit->cursorPosition(), 1);
        edit->setSelection(1, 2);
        EXPECT_EQ(edit->selectedText(), QStringLiteral("Xl"));
        EXPECT_TRUE(edit->isUndoAvailable());
        edit->undo();
        EXPECT_EQ(edit->text(), QStringLiteral("fiXle"));
        window->hide();
    }
}

TEST_F(FilesViewTest, ARowClickPutsTheFileIntoTheSelection) {
    install(3);
    BiggestShelves shelves(*state_, {});
    show(shelves);
    QWidget* built = shelves.shelfCard()->rows()->rowWidget(0);
    auto* row = qobject_cast<ItemRow*>(built);
    ASSERT_NE(row, nullptr);
    row->click();
    ASSERT_EQ(state_->queue().items().size(), 1u);
    const CleanItem& item = state_->queue().items().front();
    EXPECT_EQ(item.id, "/nimbrel-test/file0.txt");
    EXPECT_EQ(item.source, CleanItem::Source::files);
    EXPECT_EQ(item.kind, CleanItem::Kind::file);
    EXPECT_EQ(item.heat, 0);
    EXPECT_TRUE(row->isLoaded());
}

// The no-twins message names the threshold that was searched, whatever is picked since; a search
// stopped on the way leaves the one whose outcome is shown.
TEST_F(FilesViewTest, NoTwinsNamesTheThresholdSearched) {
    install(3);  // every file below 10 MB: no search finds a set
    TwinShelves twins(*state_, {});
    const auto message = [&] {
        for (EmptyState* e : twins.findChildren<EmptyState*>())
            if (e->isVisibleTo(&twins) && e->title() == QStringLiteral("No twins")) return e->message();
        return QString();
    };
    twins.setMinSize(SizeThreshold::mb100);
    twins.startSearch();
    settle();
    ASSERT_EQ(twins.content(), TwinShelves::Content::noTwins);
    EXPECT_EQ(message(), QStringLiteral("No identical files at or above 100 MB"));
    twins.setMinSize(SizeThreshold::gb1);
    EXPECT_EQ(message(), QStringLiteral("No identical files at or above 100 MB"));
    twins.startSearch();
    state_->duplicates().cancel();
    settle();
    EXPECT_EQ(message(), QStringLiteral("No identical files at or above 100 MB"));
    twins.startSearch();
    settle();
    EXPECT_EQ(message(), QStringLiteral("No identical files at or above 1 GB"));
}

TEST_F(FilesViewTest, TheSectionChoosesTheShelfAndTwinsStartAtTheIntro) {
    install(3);
    state_->setSection(SidebarItem::old);
    FilesView view(*state_);
    EXPECT_NE(qobject_cast<ForgottenShelves*>(view.shelf()), nullptr);
    state_->setSection(SidebarItem::duplicates);
    auto* twins = qobject_cast<TwinShelves*>(view.shelf());
    ASSERT_NE(twins, nullptr);
    EXPECT_EQ(twins->content(), TwinShelves::Content::intro);
    state_->setSection(SidebarItem::cleanup);
    EXPECT_NE(qobject_cast<BiggestShelves*>(view.shelf()), nullptr);

    view.setPreviewPath(std::string("/nimbrel-test/file0.txt"));
    EXPECT_TRUE(view.previewPath().has_value());
    view.setPreviewPath(std::nullopt);
    EXPECT_FALSE(view.previewPath().has_value());
}

TEST(QuickPreviewTest, PicturesAreScaledTextIsReadAndEverythingElseShowsTheIcon) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName().toStdString();
    };
    QImage big(2000, 1000, QImage::Format_RGB32);
    big.fill(Qt::red);
    const std::string picture = dir.filePath(QStringLiteral("big.png")).toStdString();
    ASSERT_TRUE(big.save(QString::fromStdString(picture)));
    const std::string text = write("notes.txt", "first line\nsecond line\n");
    const std::string binary = write("blob.bin", QByteArray("\x01\x00\x02\x03", 4));
    const std::string fifo = dir.filePath(QStringLiteral("pipe")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const QSize fit(400, 300);
    const PreviewContent image = PreviewContent::load(picture, fit);
    EXPECT_EQ(image.image.size(), QSize(400, 200));
    EXPECT_EQ(PreviewContent::load(text, fit).text, QStringLiteral("first line\nsecond line\n"));
    const PreviewContent blob = PreviewContent::load(binary, fit);
    EXPECT_TRUE(blob.image.isNull() && blob.text.isEmpty());
    EXPECT_EQ(blob.size, 4);
    EXPECT_EQ(PreviewContent::load(fifo, fit).size, -1);  // never opened: it would block
    EXPECT_EQ(PreviewContent::load(dir.filePath(QStringLiteral("gone")).toStdString(), fit).size, -1);
}

}  // namespace
}  // namespace nimbrel
