#include "views/files/review_sheet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantAnimation>
#include <cmath>
#include <deque>
#include <functional>
#include <future>
#include <map>

#include "engine/host_layout.h"
#include "model/cleanup_model.h"
#include "model/removal_road.h"
#include "shell_fixture.h"
#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/loader.h"
#include "theme/logo.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/shrinking_scroll.h"
#include "views/files/failure_sheet.h"
#include "views/files/files_hooks.h"
#include "views/files/review_list.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/junk_contents_list.h"
#include "views/kit/modal_host.h"
#include "views/kit/selection_bar.h"
#include "views/test_items.h"

namespace nimbrel {
namespace {

CleanItem fileItem(const std::string& path, int64_t size,
                   CleanItem::Source source = CleanItem::Source::files) {
    return testItem(path, size, CleanItem::Kind::file, source);
}

class ReviewSheetTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        demo_->store(true);  // a removal is only pretended: nothing on the disk is touched
    }
    std::string home = HostLayout::current().home;
    CleanItem movie = fileItem(home + "/Movies/nimbrel-test-a.mov", 2'000'000);
    CleanItem key = fileItem(home + "/Work/nimbrel-test-certs.pem", 4'000);
    CleanItem space = fileItem(home + "/Movies/nimbrel-test-b.mov", 1'000'000, CleanItem::Source::space);

    // `n` selected files of 1,000 bytes, f0, f1, ...
    std::vector<CleanItem> files(size_t n) const {
        std::vector<CleanItem> out;
        for (size_t i = 0; i < n; ++i)
            out.push_back(fileItem(home + "/nimbrel-test/f" + std::to_string(i), 1000));
        return out;
    }
};

TEST_F(ReviewSheetTest, DangerKeepsBothButtonsOffUntilAcknowledged) {
    state_->queue().add(std::vector<CleanItem>{movie, key});
    state_->nimbrelise();
    ASSERT_TRUE(state_->isReviewing());
    ReviewSheet sheet(*state_);
    sheet.show();
    // Nothing can be removed before the items are judged on a worker.
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_TRUE(state_->isReviewing());
    settle();

    ASSERT_NE(sheet.dangerBanner(), nullptr);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_FALSE(sheet.foreverButton()->isEnabled());
    EXPECT_EQ(sheet.trashButton()->toolTip(), QStringLiteral("Confirm the warning above first"));
    // Return, a click and a direct call all refuse while the warning stands.
    QTest::keyClick(&sheet, Qt::Key_Return);
    sheet.moveToTrash();
    sheet.removeForever();
    EXPECT_TRUE(state_->isReviewing());
    EXPECT_FALSE(state_->isDeleting());

    // Unticking the danger item lifts the gate; ticking it again brings it back.
    sheet.setTicked(key.id, false);
    EXPECT_EQ(sheet.dangerBanner(), nullptr);
    EXPECT_TRUE(sheet.trashButton()->isEnabled());
    sheet.setTicked(key.id, true);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());

    QTest::mouseClick(sheet.acknowledgementCheck(), Qt::LeftButton);
    EXPECT_TRUE(sheet.isAcknowledged());
    EXPECT_TRUE(sheet.trashButton()->isEnabled());
    EXPECT_TRUE(sheet.foreverButton()->isEnabled());

    // Another removal still running: a click could only close the sheet, so both wait for it.
    state_->setIsDeleting(true);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_FALSE(sheet.foreverButton()->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_TRUE(state_->isReviewing());
    state_->setIsDeleting(false);
    EXPECT_TRUE(sheet.trashButton()->isEnabled());

    // A danger item that arrives afterwards needs a new acknowledgement.
    const CleanItem vm = fileItem(home + "/VMs/nimbrel-test.vdi", 10);
    state_->queue().add(vm);
    settle();
    EXPECT_FALSE(sheet.isAcknowledged());
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    sheet.setAcknowledged(true);

    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_FALSE(state_->isReviewing());
    EXPECT_TRUE(state_->isDeleting());
}

// Return acts on the button that has the keyboard focus: Tab to Cancel and Return removes nothing;
// with the focus on no button (the card, a tick) Return is the sheet's default, the move to the Trash.
TEST_F(ReviewSheetTest, ReturnActsOnTheFocusedButton) {
    enum class Focus { card, cancel, trash, tick };
    struct Case {
        Focus focus;
        bool removes;
    } cases[] = {{Focus::cancel, false}, {Focus::card, true}, {Focus::trash, true}, {Focus::tick, true}};
    for (const Case& c : cases) {
        state_->queue().add(std::vector<CleanItem>{movie, space});
        state_->setIsReviewing(true);
        ReviewSheet sheet(*state_);
        sheet.show();
        QApplication::setActiveWindow(&sheet);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
        settle();
        ASSERT_TRUE(sheet.trashButton()->isEnabled());
        sheet.setFocus(Qt::OtherFocusReason);
        QWidget* target = c.focus == Focus::cancel  ? static_cast<QWidget*>(sheet.cancelButton())
                          : c.focus == Focus::trash ? static_cast<QWidget*>(sheet.trashButton())
                          : c.focus == Focus::tick  ? static_cast<QWidget*>(sheet.builtRow(movie.id)->check())
                                                    : static_cast<QWidget*>(&sheet);
        // The keyboard's own way there: Tab along the sheet.
        for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), target) << int(c.focus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(state_->isDeleting(), c.removes) << int(c.focus);
        EXPECT_FALSE(state_->isReviewing()) << int(c.focus);
        if (!c.removes) {
            EXPECT_EQ(state_->queue().items().size(), 2u);
        }
        if (c.removes) start(services());  // a fresh state for the next case; the pretended removal goes
        state_->queue().setItems({});
    }
}

TEST_F(ReviewSheetTest, UntickedItemsStayAndAreNotHandedOver) {
    state_->queue().add(std::vector<CleanItem>{movie, space});
    ReviewSheet sheet(*state_);
    sheet.show();
    EXPECT_EQ(sheet.countLine(), QStringLiteral("2 of 2 items · 3 MB"));
    sheet.setSourceTicked(CleanItem::Source::space, false);
    EXPECT_EQ(sheet.countLine(), QStringLiteral("1 of 2 items · 2 MB"));
    EXPECT_EQ(sheet.model().ids(), std::unordered_set<std::string>{movie.id});
    sheet.setSourceTicked(CleanItem::Source::files, false);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_EQ(sheet.trashButton()->toolTip(), QStringLiteral("Moves everything ticked to the Trash"));
    sheet.setSourceTicked(CleanItem::Source::files, true);
    sheet.setSourceTicked(CleanItem::Source::space, true);
    EXPECT_TRUE(sheet.excluded().empty());

    // Escape cancels without touching the selection.
    state_->setIsReviewing(true);
    sheet.setTicked(movie.id, false);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_FALSE(state_->isReviewing());
    EXPECT_EQ(state_->queue().items().size(), 2u);
}

TEST_F(ReviewSheetTest, RowsFollowTheQueueAndTheLastRemovalCloses) {
    state_->queue().add(movie);
    state_->setIsReviewing(true);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(sheet.list()->count(), 2);  // the section's header and its one row
    ReviewRow* row = sheet.builtRow(movie.id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->menuEntries(), (QStringList{QStringLiteral("Copy Path"), revealTitle(),
                                               QStringLiteral("Remove from Selection")}));
    QTest::mouseClick(row->check(), Qt::LeftButton);
    EXPECT_FALSE(sheet.model().isTicked(movie.id));

    state_->queue().remove(movie.id);
    EXPECT_FALSE(state_->isReviewing());
}

// Every copy of twins ticked marks each holder's row; unticking one holder clears the other rows too.
TEST_F(ReviewSheetTest, UntickingOneHolderOfTwinsClearsTheOtherRows) {
    DuplicateGroup set;
    for (const CleanItem* copy : {&movie, &space}) {
        FileItem f;
        f.path = copy->id;
        set.files.push_back(f);
    }
    state_->duplicates().setGroups({set});
    state_->queue().add(std::vector<CleanItem>{movie, space});
    state_->setIsReviewing(true);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    settle();
    const auto marked = [&](const CleanItem& item) {
        const auto* badge = dynamic_cast<const RiskBadge*>(sheet.builtRow(item.id)->badge());
        return badge && badge->risk().title == ReviewModel::lastCopyRisk().title;
    };
    ASSERT_NE(sheet.builtRow(space.id), nullptr);
    EXPECT_TRUE(marked(movie));
    EXPECT_TRUE(marked(space));
    sheet.setTicked(movie.id, false);
    EXPECT_FALSE(marked(space));
}

// The list stands one column gap below the header, or below the warning when there is one: an
// empty place for the warning must not add a gap of its own.
TEST_F(ReviewSheetTest, TheListFollowsTheHeaderOrTheWarningByOneGap) {
    const auto listTop = [](ReviewSheet& sheet) {
        // The header is the logo and the titles beside it; the logo is its tallest part.
        const QWidget* logo = sheet.findChild<NimbrelLogo*>();
        int headerBottom = logo->geometry().bottom();
        for (QWidget* child : sheet.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible() && child->y() <= logo->geometry().bottom())
                headerBottom = std::max(headerBottom, child->geometry().bottom());
        const int warning = sheet.dangerBanner() ? sheet.dangerBanner()->height() + 16 : 0;
        return sheet.listScroll()->parentWidget()->y() - (headerBottom + 1 + warning);
    };
    for (bool danger : {false, true}) {
        SCOPED_TRACE(danger ? "with the warning" : "without it");
        state_->queue().setItems(danger ? std::vector<CleanItem>{movie, key} : std::vector<CleanItem>{movie});
        ReviewSheet sheet(*state_);
        settle();
        sheet.resize(sheet.sizeHint());
        sheet.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(sheet.dangerBanner() != nullptr, danger);
        EXPECT_EQ(listTop(sheet), 16);
        // Unticking the danger item takes the warning away; the list moves up to the header.
        if (danger) {
            sheet.setTicked(key.id, false);
            sheet.resize(sheet.sizeHint());
            QCoreApplication::processEvents();
            EXPECT_EQ(sheet.dangerBanner(), nullptr);
            EXPECT_EQ(listTop(sheet), 16);
        }
    }
}

TEST_F(ReviewSheetTest, ALongSelectionBuildsOnlyTheRowsInView) {
    std::vector<CleanItem> many = files(3000);
    state_->queue().add(many);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    QCoreApplication::processEvents();
    ReviewList* rows = sheet.list();
    EXPECT_EQ(rows->count(), 3001);
    EXPECT_GT(rows->builtCount(), 0);
    EXPECT_LT(rows->builtCount(), 40);
    EXPECT_EQ(sheet.countLine(), QStringLiteral("3000 of 3000 items · 3 MB"));
}

// A selection too long to pack on the click is packed on a worker: the sheet opens with the
// selection's count and size and both buttons off, and the rows follow. A change of the selection
// meanwhile has it packed again, unticks and all, leaving the list where it was read, and the click
// hands over exactly what is ticked.
TEST_F(ReviewSheetTest, ALongSelectionIsPackedAsideAndHandsOverWhatIsTicked) {
    std::vector<CleanItem> many = files(12'000);
    ASSERT_GT(many.size(), ReviewSheet::kPackAsideFrom);
    const size_t n = many.size();
    const std::string a = many[10].id, gone = many[20].id;
    state_->queue().setItems(many);
    ReviewSheet sheet(*state_);
    sheet.show();
    const QString opening = sheet.countLine();
    EXPECT_EQ(sheet.list()->count(), 0);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_FALSE(sheet.foreverButton()->isEnabled());
    settle();
    EXPECT_EQ(sheet.countLine(), opening);  // the figures the packed model works out
    EXPECT_EQ(sheet.list()->count(), int(n) + 1);
    EXPECT_TRUE(sheet.trashButton()->isEnabled());

    QScrollBar* bar = sheet.listScroll()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int read = bar->value();
    ASSERT_GT(read, 1000);
    sheet.setTicked(a, false);
    // Two additions while the first is being packed: the last packing stands, with the untick.
    state_->queue().add(fileItem(home + "/nimbrel-test/x", 1000));
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), read);
    state_->queue().add(fileItem(home + "/nimbrel-test/y", 1000));
    settle();
    EXPECT_EQ(sheet.list()->count(), int(n) + 3);
    EXPECT_EQ(bar->value(), read);
    EXPECT_GT(sheet.list()->builtCount(), 0);
    EXPECT_FALSE(sheet.model().isTicked(a));
    state_->queue().remove(gone);  // followed in place
    settle();
    ASSERT_TRUE(sheet.trashButton()->isEnabled());
    sheet.moveToTrash();
    settle();
    const std::unordered_set<std::string>& handed = state_->nimbrelisingIDs();
    EXPECT_EQ(handed.size(), n + 2 - 2);
    EXPECT_EQ(handed.count(a), 0u);
    EXPECT_EQ(handed.count(gone), 0u);
    EXPECT_EQ(handed.count(home + "/nimbrel-test/y"), 1u);
}

// Every change a user makes in the sheet is shown on the rows that are there: the list stays where
// it was scrolled to, the focus stays on the tick that was used, and the other rows keep their widgets.
TEST_F(ReviewSheetTest, ChangesUpdateTheRowsInPlace) {
    std::vector<CleanItem> many = files(200);
    many.push_back(space);
    const CleanItem caches = testJunkItem("caches", "caches", 5'000);
    many.push_back(caches);
    state_->queue().add(many);
    state_->cleanup().loadDemo();  // the demo lists what the caches hold
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    settle();
    QScrollBar* bar = sheet.listScroll()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 2000);
    bar->setValue(2000);
    settle();

    // A row in view whose tick the user works with, and the other rows built around it.
    const QRect view(0, 2000, sheet.list()->width(), sheet.listScroll()->viewport()->height());
    std::string used;
    for (const CleanItem& item : many)
        if (view.contains(sheet.list()->rowRect(item.id).center())) used = item.id;
    ASSERT_FALSE(used.empty());
    ReviewRow* row = sheet.builtRow(used);
    ASSERT_NE(row, nullptr);
    row->check()->setFocus();
    std::map<std::string, QWidget*> before;
    // Rows on screen (those near the edges may be dropped and built again as the content shifts).
    sheet.list()->forEachBuilt([&](const std::string& key, QWidget* w) {
        if (view.intersects(sheet.list()->rowRect(key))) before[key] = w;
    });
    ASSERT_GT(before.size(), 3u);

    struct Step {
        const char* what;
        std::function<void()> run;
        bool ticked;  // the used row's tick afterwards
    };
    const Step steps[] = {
        {"untick the row", [&] { QTest::mouseClick(row->check(), Qt::LeftButton); }, false},
        {"tick it again", [&] { QTest::mouseClick(row->check(), Qt::LeftButton); }, true},
        {"untick the section", [&] { sheet.setSourceTicked(CleanItem::Source::files, false); }, false},
        {"tick the section", [&] { sheet.setSourceTicked(CleanItem::Source::files, true); }, true},
        {"open a contents list", [&] { sheet.toggleExpanded(caches.id); }, true},
        {"remove a row above from the selection", [&] { state_->queue().remove(many[0].id); }, true},
        {"remove a whole section above", [&] { state_->queue().remove(space.id); }, true},
        {"an item joins the selection",
         [&] { state_->queue().add(fileItem(home + "/nimbrel-test/joined", 1000)); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.run();
        settle();
        EXPECT_EQ(sheet.model().isTicked(used), step.ticked);
        EXPECT_EQ(row->check()->isOn(), step.ticked);
        EXPECT_EQ(row->isDimmed(), !step.ticked);
        EXPECT_EQ(sheet.builtRow(used), row);
        EXPECT_EQ(row->item().id, used);
        EXPECT_EQ(QApplication::focusWidget(), row->check());
        sheet.list()->forEachBuilt([&](const std::string& key, QWidget* w) {
            if (before.count(key)) {
                EXPECT_EQ(before.at(key), w) << key;
            }
        });
        EXPECT_EQ(bar->value(), 2000);
    }
    EXPECT_EQ(sheet.countLine(), QStringLiteral("201 of 201 items · 205 KB"));
}

// A long selection's ids are made ready on a worker; a click right after a change hands over the
// selection as it is then, never the set made before the change.
TEST_F(ReviewSheetTest, AClickHandsOverTheTicksOfThatMoment) {
    std::vector<CleanItem> many = files(2500);
    const std::string a = many[10].id, b = many[20].id, c = many[30].id;
    struct Case {
        const char* what;
        std::function<void(ReviewSheet&)> change;
        std::vector<std::string> handed, kept;
    };
    const Case cases[] = {
        {"an untick", [&](ReviewSheet& s) { s.setTicked(a, false); }, {c}, {a, b}},
        {"as many ticks as before, other ones",
         [&](ReviewSheet& s) {
             s.setTicked(b, true);
             s.setTicked(a, false);
         },
         {b, c},
         {a}},
        {"an item out of the selection", [&](ReviewSheet&) { state_->queue().remove(c); }, {a}, {b, c}},
    };
    for (const Case& step : cases) {
        SCOPED_TRACE(step.what);
        start(services());  // no removal running from the step before
        demo_->store(true);
        state_->queue().setItems(many);
        ReviewSheet sheet(*state_);
        sheet.setTicked(b, false);
        settle();  // judged, and the ids of the ticked items made ready
        step.change(sheet);
        ASSERT_TRUE(sheet.trashButton()->isEnabled());
        sheet.moveToTrash();
        settle();  // a selection this long is made into its request on a worker
        const std::unordered_set<std::string>& handed = state_->nimbrelisingIDs();
        for (const std::string& id : step.handed)
            EXPECT_EQ(handed.count(id), 1u) << id;
        for (const std::string& id : step.kept)
            EXPECT_EQ(handed.count(id), 0u) << id;
        EXPECT_EQ(handed.size(), sheet.model().includedCount());
    }
}

// A contents list opens by growing its row along the sheet's curve, the rows below sliding down; it
// closes the same way and its list goes once the row has shrunk. Reduce Motion makes both jump.
TEST_F(ReviewSheetTest, ContentsListsOpenAndCloseAnimated) {
    const CleanItem caches = testJunkItem("caches", "caches", 5'000);
    state_->queue().add(std::vector<CleanItem>{caches, testJunkItem("logs", "logs", 1'000)});
    state_->cleanup().loadDemo();
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    settle();
    ReviewList* list = sheet.list();
    const int closed = ReviewSheet::kRowHeight;
    const auto location = ReviewModel::location(caches, state_->cleanup().locations());
    ASSERT_TRUE(location.has_value());
    const int open =
        closed + JunkContentsList::heightFor(state_->cleanup(), *location, 200) + ReviewSheet::kContentsBelow;
    ASSERT_GT(open, closed + 2 * JunkContentsList::kLineHeight);
    const int belowTop = list->rowRect("junk:logs").top();

    sheet.toggleExpanded(caches.id);
    QVariantAnimation* motion = list->motion(caches.id);
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->duration(), 200);
    EXPECT_EQ(list->targetHeight(caches.id), open);
    auto* cell = list->widget(caches.id);
    ASSERT_NE(cell, nullptr);
    EXPECT_NE(cell->findChild<JunkContentsList*>(), nullptr);  // there from the start, revealed as it grows
    const QEasingCurve curve = timingCurve(0.23, 1, 0.32, 1);
    for (int ms : {50, 100, 150}) {
        SCOPED_TRACE(ms);
        motion->setCurrentTime(ms);
        const int expected = closed + int(std::lround((open - closed) * curve.valueForProgress(ms / 200.0)));
        EXPECT_NEAR(list->shownHeight(caches.id), expected, 1);
        EXPECT_EQ(list->rowRect("junk:logs").top() - belowTop, list->shownHeight(caches.id) - closed);
    }
    motion->setCurrentTime(200);
    EXPECT_EQ(list->shownHeight(caches.id), open);
    EXPECT_EQ(list->rowRect("junk:logs").top(), belowTop + open - closed);
    EXPECT_EQ(sheet.builtRow(caches.id)->disclosure()->text(), QStringLiteral("Hide"));

    sheet.toggleExpanded(caches.id);
    motion = list->motion(caches.id);
    ASSERT_NE(motion, nullptr);
    motion->setCurrentTime(100);
    EXPECT_GT(list->shownHeight(caches.id), closed);
    EXPECT_NE(cell->findChild<JunkContentsList*>(), nullptr);  // still there while it shrinks
    motion->setCurrentTime(200);
    EXPECT_EQ(list->shownHeight(caches.id), closed);
    settle();
    EXPECT_EQ(cell->findChild<JunkContentsList*>(), nullptr);
    EXPECT_EQ(sheet.builtRow(caches.id)->disclosure()->text(), QStringLiteral("Show items"));

    ReduceMotion::setOverride(true);
    sheet.toggleExpanded(caches.id);
    EXPECT_EQ(list->motion(caches.id), nullptr);
    EXPECT_EQ(list->shownHeight(caches.id), open);
    sheet.toggleExpanded(caches.id);
    EXPECT_EQ(list->shownHeight(caches.id), closed);
    ReduceMotion::setOverride(std::nullopt);
}

// An opened location lists the targets the review pinned when it opened, which the removal takes,
// not Deep Clean's earlier listing, and its row is sized by them until the sheet has gone.
TEST_F(ReviewSheetTest, AnOpenedLocationListsTheTargetsTheReviewPinned) {
    const CleanItem caches = testJunkItem("caches", "caches", 3'000);
    state_->queue().add(caches);
    state_->cleanup().loadDemo();
    const auto location = ReviewModel::location(caches, state_->cleanup().locations());
    ASSERT_TRUE(location.has_value());
    ASSERT_GT(state_->cleanup().contents().at("caches").size(), 1u);
    state_->removal().pinReview({}, {{"junk:caches", {{location->paths.front() + "/gamma", 3'000, true}}}});
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    settle();
    ReduceMotion::setOverride(true);
    sheet.toggleExpanded(caches.id);
    ReduceMotion::setOverride(std::nullopt);
    auto* contents = sheet.list()->widget(caches.id)->findChild<JunkContentsList*>();
    ASSERT_NE(contents, nullptr);
    state_->removal().pinReview({}, {});  // handed to the removal as the sheet closes
    EXPECT_EQ(contents->currentPlan().shown, 1);
    EXPECT_EQ(contents->lineText(0), QStringLiteral("gamma"));
    EXPECT_EQ(sheet.list()->shownHeight(caches.id),
              ReviewSheet::kRowHeight + JunkContentsList::kLineHeight + ReviewSheet::kContentsBelow);
}

// A state whose background work waits in a pool held busy, so a review stays in preparation; what
// is still queued there when the test ends never runs (nothing reads this machine's home).
class ReviewPreparingTest : public ShellFixture {
  protected:
    void SetUp() override {
        pool_.setMaxThreadCount(1);
        pool_.start([held = held_] { held.wait(); });
        AppStateServices s = services();
        s.userPool = &pool_;
        s.utilityPool = &pool_;
        start(std::move(s));
    }
    void TearDown() override {
        pool_.clear();
        release_.set_value();
        pool_.waitForDone();
        ShellFixture::TearDown();
    }
    std::promise<void> release_;
    std::shared_future<void> held_ = release_.get_future().share();
    QThreadPool pool_;
};

// While a ticked location is listed for the review, its button is busy and the bar says so;
// Escape stops it, and the bar is as it was.
TEST_F(ReviewPreparingTest, TheBarShowsTheReviewBeingPreparedAndEscapeStopsIt) {
    state_->queue().add(testJunkItem("caches", "App Caches", 1'000));
    SelectionBar bar(*state_);
    bar.show();
    bar.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    const QString idle = bar.line();
    QTest::mouseClick(bar.reviewButton(), Qt::LeftButton);
    ASSERT_TRUE(state_->isPreparingReview());
    EXPECT_TRUE(bar.preparingLoader()->isVisible());
    EXPECT_EQ(bar.reviewButton()->text(), QStringLiteral("Preparing Review…"));
    EXPECT_EQ(bar.line(), QStringLiteral("Preparing the review… Esc cancels"));
    QTest::keyClick(&bar, Qt::Key_Escape);
    EXPECT_FALSE(state_->isPreparingReview());
    EXPECT_FALSE(bar.preparingLoader()->isVisible());
    EXPECT_EQ(bar.reviewButton()->text(), QStringLiteral("Review & Nimbrelise…"));
    EXPECT_EQ(bar.line(), idle);
    EXPECT_FALSE(state_->isReviewing());
}

// A path written through a link into a protected folder is kept, as the removal will judge it:
// it never counts towards the size about to be removed.
TEST_F(ReviewSheetTest, KeptFollowsWhereAPathLeadsOnDisk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string link = dir.path().toStdString() + "/system-link";
    ASSERT_EQ(::symlink("/usr", link.c_str()), 0);
    const CleanItem throughLink = fileItem(link + "/bin", 5'000'000);
    state_->queue().add(std::vector<CleanItem>{throughLink, movie});
    ReviewSheet sheet(*state_);
    settle();  // the sheet asks the disk where the paths lead on a worker
    ASSERT_EQ(sheet.model().kept().size(), 1u);
    EXPECT_EQ(sheet.model().kept().front().id, throughLink.id);
    EXPECT_EQ(sheet.model().removalSize(), movie.size);
    EXPECT_EQ(sheet.model().rowBadge(throughLink), ReviewModel::RowBadge::kept);
}

// The state's workers run one task at a time, each only once the test lets it.
class ReviewJudgingTest : public ReviewSheetTest {
  protected:
    void SetUp() override {
        pool_.setMaxThreadCount(1);
        AppStateServices s = services();
        s.userPool = &pool_;
        start(std::move(s));
        demo_->store(true);
    }
    void TearDown() override {
        for (std::promise<void>& gate : gates_)
            gate.set_value();
        gates_.clear();
        pool_.waitForDone();
        ReviewSheetTest::TearDown();
    }
    // Queues a task that holds the worker until opened; `reached` is set once it holds it.
    void hold(std::promise<void>* reached = nullptr) {
        std::shared_future<void> open = gates_.emplace_back().get_future().share();
        pool_.start([open, reached] {
            if (reached) reached->set_value();
            open.wait();
        });
    }
    void openGate() {
        gates_.front().set_value();
        gates_.pop_front();
    }
    QThreadPool pool_;
    std::deque<std::promise<void>> gates_;
};

// A judgement is for the selection and the scan it was asked for: one that comes back after the
// selection changed, after a newer scan or after the sheet closed is dropped, and the removal keeps
// waiting for the one asked for since.
TEST_F(ReviewJudgingTest, ALateJudgementIsDropped) {
    const CleanItem vm = fileItem(home + "/VMs/nimbrel-test.vdi", 10);
    struct Case {
        const char* what;
        std::function<void(std::unique_ptr<ReviewSheet>&)> meanwhile;
        size_t danger;  // danger items once the newer judgement is in
    };
    const Case cases[] = {
        {"the selection grew", [&](auto&) { state_->queue().add(vm); }, 2},
        {"a newer scan", [&](auto&) { state_->setResult(std::make_shared<ScanResult>()); }, 1},
        {"the sheet closed", [](auto& sheet) { sheet.reset(); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state_->queue().setItems({movie, key});
        hold();
        auto sheet = std::make_unique<ReviewSheet>(*state_);  // its judgement waits behind the gate
        std::promise<void> firstDone;
        hold(&firstDone);
        c.meanwhile(sheet);
        openGate();
        firstDone.get_future().wait();  // the first judgement ran and sent its answer back
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (sheet) {
            EXPECT_FALSE(sheet->model().isJudged());
            EXPECT_FALSE(sheet->trashButton()->isEnabled());
            sheet->setAcknowledged(true);
            sheet->moveToTrash();
            EXPECT_FALSE(state_->isDeleting());
        }
        openGate();
        pool_.waitForDone();
        settle();
        if (!sheet) continue;
        ASSERT_TRUE(sheet->model().isJudged());
        EXPECT_EQ(sheet->model().dangerCount(), c.danger);
        EXPECT_NE(sheet->dangerBanner(), nullptr);
    }
}

TEST_F(ReviewSheetTest, FailureRowsLearnWhichPathsAreFoldersAfterTheSheetIsUp) {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/stayed";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string file = QFile::encodeName(dir.path()).toStdString() + "/note.txt";
    ASSERT_TRUE(QFile(QFile::decodeName(QByteArray::fromStdString(file))).open(QIODevice::WriteOnly));
    std::vector<DeletionFailure> failures = {{folder, DeletionFailure::Reason::inUse, ""},
                                             {file, DeletionFailure::Reason::inUse, ""}};
    FailureSheet sheet(*state_, failures);
    auto rows = sheet.findChildren<FailureRow*>();
    ASSERT_EQ(rows.size(), 2);
    auto rowFor = [&](const std::string& path) {
        for (FailureRow* row : rows)
            if (row->failure().path == path) return row;
        return static_cast<FailureRow*>(nullptr);
    };
    settle();  // a worker looks which paths are folders
    ASSERT_TRUE(rowFor(folder)->showsDirectoryIcon());
    EXPECT_FALSE(rowFor(file)->showsDirectoryIcon());
}

TEST_F(ReviewSheetTest, FailureSheetListsGroupsAndCloses) {
    std::vector<DeletionFailure> failures;
    for (int i = 0; i < 151; ++i)
        failures.push_back({"/nimbrel-test/gone" + std::to_string(i), DeletionFailure::Reason::inUse, ""});
    failures.push_back({"/nimbrel-test/x", DeletionFailure::Reason::other, "Input/output error"});
    state_->setDeletionFailures(failures);
    // The subtitle says what went besides: nothing, when the removal credited no entry.
    auto says = [](const QWidget& sheet, const char* text) {
        for (const ElidedLabel* label : sheet.findChildren<ElidedLabel*>())
            if (label->text() == QLatin1String(text)) return true;
        return false;
    };
    state_->removal().setLastRemoval({});
    EXPECT_TRUE(says(FailureSheet(*state_, failures), "Nothing was nimbrelised."));
    state_->removal().setLastRemoval({{"/nimbrel-test/went", 4096}});
    FailureSheet sheet(*state_, failures);
    EXPECT_TRUE(says(sheet, "Everything else was nimbrelised."));
    EXPECT_EQ(sheet.rowCount(), 151);  // 150 in use, 1 other
    EXPECT_EQ(sheet.groupCopyButtons().size(), 2u);
    EXPECT_FALSE(sheet.fullDiskAccessButton()->isVisibleTo(&sheet));
    auto rows = sheet.findChildren<FailureRow*>();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_FALSE(rows.front()->showsDirectoryIcon());  // the path no longer exists

    sheet.groupCopyButtons()[0]->click();
    ASSERT_TRUE(state_->toast().has_value());
    EXPECT_EQ(state_->toast()->message, QStringLiteral("Copied 151 paths"));
    sheet.okButton()->click();
    EXPECT_FALSE(state_->deletionFailures().has_value());
}

// The group list is as tall as its groups, whole and without scrolling, until it reaches its
// maximum; only then does it scroll.
TEST_F(ReviewSheetTest, FailureListGrowsWithItsGroupsUpToItsMaximum) {
    installFilesCards();
    ModalHost host(*state_);
    host.resize(1240, 800);
    host.show();
    for (int n : {1, 3, 30}) {
        SCOPED_TRACE(n);
        std::vector<DeletionFailure> failures;
        for (int i = 0; i < n; ++i)
            failures.push_back(
                {home + "/nimbrel-test/report-" + std::to_string(i) + ".pdf",
                 i < 20 ? DeletionFailure::Reason::noPermission : DeletionFailure::Reason::inUse,
                 "Permission denied"});
        state_->setDeletionFailures(std::nullopt);
        state_->setDeletionFailures(failures);
        settle();
        auto* sheet = qobject_cast<FailureSheet*>(host.card());
        ASSERT_NE(sheet, nullptr);
        auto* scroll = sheet->findChild<ShrinkingScroll*>();
        ASSERT_NE(scroll, nullptr);
        const int content = scroll->widget()->heightForWidth(scroll->viewport()->width());
        if (n < 30) {
            EXPECT_EQ(scroll->height(), content);
            EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
        } else {
            EXPECT_EQ(scroll->height(), FailureSheet::kListMax);
            EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
        }
        EXPECT_GE(sheet->height(), sheet->sizeHint().height());
    }
}

TEST_F(ReviewSheetTest, EveryReviewStartsFreshInTheModalHost) {
    installFilesCards();
    ModalHost host(*state_);
    host.resize(1240, 800);
    host.show();
    state_->queue().add(std::vector<CleanItem>{movie, key});
    state_->nimbrelise();
    QCoreApplication::processEvents();
    auto* first = qobject_cast<ReviewSheet*>(host.card());
    ASSERT_NE(first, nullptr);
    settle();
    first->setTicked(movie.id, false);
    first->setAcknowledged(true);
    EXPECT_TRUE(first->trashButton()->isEnabled());
    first->cancel();
    QCoreApplication::processEvents();
    state_->nimbrelise();
    QCoreApplication::processEvents();
    auto* second = qobject_cast<ReviewSheet*>(host.card());
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->isAcknowledged());
    EXPECT_TRUE(second->excluded().empty());
    EXPECT_FALSE(second->trashButton()->isEnabled());

    state_->setIsReviewing(false);
    state_->setDeletionFailures(
        std::vector<DeletionFailure>{{"/nimbrel-test/x", DeletionFailure::Reason::inUse, ""}});
    QCoreApplication::processEvents();
    EXPECT_NE(qobject_cast<FailureSheet*>(host.card()), nullptr);
}

}  // namespace
}  // namespace nimbrel
