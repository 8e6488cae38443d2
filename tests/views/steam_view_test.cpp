#include "views/deepclean/steam_view.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QVariantAnimation>

#include "engine/demo.h"
#include "model/cleanup_model.h"
#include "model/removal_road.h"
#include "support/collect.h"
#include "support/motion_scopes.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "views/deepclean/drains.h"
#include "views/deepclean/safe_header.h"
#include "views/kit/item_row.h"
#include "views/kit/junk_contents_list.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/shelf.h"
#include "views/kit/wrapping_text.h"
#include "views/shell_fixture.h"

namespace nimbrel {
namespace {

// Counts the paint events each of some widgets receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(const QList<ItemRow*>& widgets) : widgets_(widgets), counts_(widgets.size(), 0) {
        for (QWidget* w : widgets_)
            w->installEventFilter(this);
    }
    int count(int i) const { return counts_[i]; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++counts_[widgets_.indexOf(static_cast<ItemRow*>(watched))];
        return false;
    }

  private:
    QList<ItemRow*> widgets_;
    QList<int> counts_;
};

class SteamViewTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        state_->setSection(SidebarItem::cleanup);
    }

    // The sample measurements and, when asked, the sample scan.
    void loadDemo(bool withResult) {
        state_->cleanup().loadDemo();
        if (withResult) state_->setResult(Demo::scanResult(0));
    }
};

TEST_F(SteamViewTest, BeforeTheFirstMeasurement) {
    SteamView view(*state_);
    EXPECT_EQ(view.safeHeader()->figure(), QStringLiteral("\u2026"));
    EXPECT_FALSE(view.safeHeader()->selectButton()->isEnabled());
    EXPECT_TRUE(view.emptyState()->isHidden());
    EXPECT_FALSE(view.scanHint()->isHidden());
    EXPECT_EQ(view.drains()->plates().size(), 1);
}

TEST_F(SteamViewTest, DemoFiguresAndSelectingEverythingSafe) {
    loadDemo(true);
    SteamView view(*state_);
    EXPECT_EQ(view.safeHeader()->figure(), QStringLiteral("46.91 GB"));
    EXPECT_TRUE(view.scanHint()->isHidden());
    EXPECT_TRUE(view.emptyState()->isHidden());
    EXPECT_TRUE(view.measuringRow()->isHidden());
    EXPECT_TRUE(view.measureButton()->isEnabled());

    // Whatever the filter and search, the button queues the same safe items in one change.
    QTest::mouseClick(view.chips()[2], Qt::LeftButton);  // "Look first"
    view.searchField()->setText(QStringLiteral("archives"));
    int changes = 0;
    QObject::connect(&state_->queue(), &CleanQueue::itemsChanged, [&] { ++changes; });
    QTest::mouseClick(view.safeHeader()->selectButton(), Qt::LeftButton);
    EXPECT_EQ(changes, 1);
    const auto id = [](const CleanItem& item) { return item.id; };
    EXPECT_EQ(collect(state_->queue().items(), id), collect(view.lists().safeSelection, id));
    EXPECT_EQ(state_->queue().items().size(), 6u + 6u);
    for (const CleanItem& item : state_->queue().items())
        EXPECT_NE(item.id, "junk:archives");
    // A second press adds nothing more.
    QTest::mouseClick(view.safeHeader()->selectButton(), Qt::LeftButton);
    EXPECT_EQ(state_->queue().items().size(), 12u);
}

TEST_F(SteamViewTest, ChipsSearchAndShowEverything) {
    loadDemo(false);
    SteamView view(*state_);
    ASSERT_EQ(view.chips().size(), 4);
    EXPECT_TRUE(view.chips()[0]->isOn());

    QTest::mouseClick(view.chips()[3], Qt::LeftButton);  // "Build junk"
    EXPECT_EQ(view.model().filter, DeepCleanFilter::build);
    EXPECT_TRUE(view.chips()[3]->isOn());
    EXPECT_FALSE(view.chips()[0]->isOn());
    // No locations under "Build junk" and no scan: the hint and "Nothing matches" both show.
    EXPECT_TRUE(view.lists().shownLocations.empty());
    EXPECT_FALSE(view.scanHint()->isHidden());
    EXPECT_FALSE(view.emptyState()->isHidden());

    QTest::mouseClick(view.chips()[3], Qt::LeftButton);
    EXPECT_EQ(view.model().filter, DeepCleanFilter::all);
    EXPECT_TRUE(view.emptyState()->isHidden());

    view.searchField()->setText(QStringLiteral("no such thing"));
    EXPECT_EQ(view.model().search, QStringLiteral("no such thing"));
    EXPECT_FALSE(view.emptyState()->isHidden());
    QTest::mouseClick(view.chips()[1], Qt::LeftButton);
    auto* showEverything = view.emptyState()->findChild<NimbrelButton*>();
    ASSERT_NE(showEverything, nullptr);
    QTest::mouseClick(showEverything, Qt::LeftButton);
    EXPECT_TRUE(view.searchField()->text().isEmpty());
    EXPECT_EQ(view.model().filter, DeepCleanFilter::all);
    EXPECT_TRUE(view.chips()[0]->isOn());
    EXPECT_EQ(view.lists().shownLocations.size(), 8u);
}

TEST_F(SteamViewTest, SortPicker) {
    loadDemo(true);
    SteamView view(*state_);
    ASSERT_EQ(view.sortPicker()->buttons().size(), 2);
    EXPECT_EQ(view.lists().shownLocations.front().location.id, "installers");
    QTest::mouseClick(view.sortPicker()->buttons()[1], Qt::LeftButton);
    EXPECT_EQ(view.model().sort, NameSizeSort::name);
    EXPECT_EQ(view.sortPicker()->selection().toString(), QStringLiteral("name"));
    EXPECT_EQ(view.lists().shownLocations.front().location.id, "caches");  // "App Caches"
}

TEST_F(SteamViewTest, ShelvesOfLocationsAndBuildProducts) {
    loadDemo(true);
    SteamView view(*state_);
    auto* locations = qobject_cast<Shelf*>(view.locationsShelf());
    auto* products = qobject_cast<Shelf*>(view.productsShelf());
    ASSERT_NE(locations, nullptr);
    ASSERT_NE(products, nullptr);
    EXPECT_EQ(locations->title(), QStringLiteral("Caches & leftovers"));
    EXPECT_EQ(locations->detail(), QStringLiteral("52.19 GB"));
    EXPECT_EQ(locations->rows()->count(), 8);
    EXPECT_EQ(products->title(), QStringLiteral("Build junk"));
    EXPECT_EQ(products->detail(), QStringLiteral("12.85 GB"));
    EXPECT_EQ(products->rows()->count(), 6);

    // "Look first" leaves the products out; with no scan result the hint takes their place.
    QTest::mouseClick(view.chips()[2], Qt::LeftButton);
    EXPECT_EQ(view.productsShelf(), nullptr);
    EXPECT_TRUE(view.scanHint()->isHidden());
    state_->setResult(nullptr);
    EXPECT_FALSE(view.scanHint()->isHidden());
}

// Opening a location grows its row along the screen's curve, sliding the rows below; its contents are
// in place from the start and stay until a closing row has shrunk back. Reduce Motion makes it jump.
TEST_F(SteamViewTest, AnOpenedLocationListsWhatItHolds) {
    loadDemo(false);
    SteamView view(*state_);
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* shelf = qobject_cast<Shelf*>(view.locationsShelf());
    ASSERT_NE(shelf, nullptr);
    LazyRows* rows = shelf->rows();
    const int belowTop = rows->rowRect(2).top();
    QWidget* cell = rows->rowWidget(1);
    ASSERT_NE(cell, nullptr);
    auto* row = cell->findChild<ItemRow*>();
    ASSERT_NE(row, nullptr);
    ASSERT_NE(row->disclosure(), nullptr);
    EXPECT_EQ(row->disclosure()->text(), QStringLiteral("Show items"));
    view.toggle("caches");                    // the second row: App Caches
    EXPECT_EQ(view.locationsShelf(), shelf);  // the shelf and its rows stay
    EXPECT_EQ(rows->rowWidget(1), cell);
    // The row under the pointer stays itself (a new one would drop its hover until the pointer
    // moves); only its button changes.
    EXPECT_EQ(cell->findChild<ItemRow*>(), row);
    EXPECT_EQ(row->disclosure()->text(), QStringLiteral("Hide items"));
    QVariantAnimation* motion = view.contentsMotion("caches");
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->duration(), 200);
    auto* list = cell->findChild<JunkContentsList*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->location().id, "caches");
    EXPECT_EQ(list->currentPlan().shown, 10);
    motion->setCurrentTime(100);
    const int midway = rows->rowRect(1).height();
    EXPECT_GT(midway, ItemRow::kHeight);
    EXPECT_EQ(rows->rowRect(2).top() - belowTop, midway - ItemRow::kHeight);
    motion->setCurrentTime(200);
    // The row, the detail text and ten entries of 26 points.
    const int open = rows->rowRect(1).height();
    EXPECT_GT(open, ItemRow::kHeight + 10 * JunkContentsList::kLineHeight);
    EXPECT_GT(open, midway);
    EXPECT_EQ(rows->rowRect(0).height(), ItemRow::kHeight);
    EXPECT_EQ(rows->rowRect(2).top() - belowTop, open - ItemRow::kHeight);

    view.toggle("caches");
    motion = view.contentsMotion("caches");
    ASSERT_NE(motion, nullptr);
    motion->setCurrentTime(100);
    EXPECT_GT(rows->rowRect(1).height(), ItemRow::kHeight);
    EXPECT_NE(cell->findChild<JunkContentsList*>(), nullptr);
    motion->setCurrentTime(200);
    EXPECT_EQ(rows->rowRect(1).height(), ItemRow::kHeight);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(cell->findChild<JunkContentsList*>(), nullptr);

    ReduceMotion::setOverride(true);
    view.toggle("caches");
    EXPECT_EQ(view.contentsMotion("caches"), nullptr);
    EXPECT_EQ(rows->rowRect(1).height(), open);
    ReduceMotion::setOverride(std::nullopt);

    // Filtered away and back, it comes back opened.
    QTest::mouseClick(view.chips()[3], Qt::LeftButton);
    QTest::mouseClick(view.chips()[3], Qt::LeftButton);
    shelf = qobject_cast<Shelf*>(view.locationsShelf());
    EXPECT_EQ(shelf->rows()->rowRect(1).height(), open);
}

TEST_F(SteamViewTest, ARemovedBuildProductLeavesItsShelfWhichClosesOverIt) {
    ReduceMotionScope motion(false);
    loadDemo(true);
    SteamView view(*state_);
    view.resize(1100, 2000);
    view.show();
    settle();
    auto* products = qobject_cast<Shelf*>(view.productsShelf());
    ASSERT_NE(products, nullptr);
    LazyRows* rows = products->rows();
    auto* second = qobject_cast<ItemRow*>(rows->rowWidget(1));
    auto* third = qobject_cast<ItemRow*>(rows->rowWidget(2));
    ASSERT_TRUE(second && third);
    const int thirdY = third->y();

    state_->removal().prune({second->item().id});
    EXPECT_EQ(view.productsShelf(), products);
    EXPECT_EQ(rows->count(), 5);
    EXPECT_EQ(rows->rowWidget(1), third);
    EXPECT_EQ(third->y(), thirdY);
    rows->closing().animation().setCurrentTime(280);
    EXPECT_EQ(third->y(), rows->rowRect(1).y());
    EXPECT_EQ(rows->leavingCount(), 0);
}

// Each removal rebuilds or closes the shelves while the window paints them through the scroll's
// fade; every row left must still be drawn, not only its card.
TEST_F(SteamViewTest, AfterEachRemovalEveryRemainingRowIsShownAndPainted) {
    ReduceMotionScope motion(true);
    loadDemo(true);
    SteamView view(*state_);
    view.resize(1100, 2000);
    view.show();
    settle();
    const auto removeLocation = [&](const std::string& id) {
        for (const JunkLocation& location : state_->cleanup().locations())
            if (location.id == id) state_->cleanup().subtract({{location.paths.front() + "/x", 1LL << 50}});
    };
    const auto removeProduct = [&] {
        auto* shelf = qobject_cast<Shelf*>(view.productsShelf());
        state_->removal().prune({qobject_cast<ItemRow*>(shelf->rows()->rowWidget(0))->item().id});
    };
    for (const auto& removal : std::vector<std::function<void()>>{
             [&] { removeLocation("caches"); }, removeProduct, [&] { removeLocation("logs"); }}) {
        removal();
        view.grab();  // the window paints before the new shelves are shown
        settle();
        for (auto* shelf :
             {qobject_cast<Shelf*>(view.locationsShelf()), qobject_cast<Shelf*>(view.productsShelf())}) {
            ASSERT_NE(shelf, nullptr);
            LazyRows* rows = shelf->rows();
            QList<ItemRow*> shown;
            for (int i = 0; i < rows->count(); ++i) {
                QWidget* row = rows->rowWidget(i);
                ASSERT_NE(row, nullptr) << i;
                EXPECT_TRUE(row->isVisible() && row->updatesEnabled()) << i;
                auto* item =
                    qobject_cast<ItemRow*>(row) ? qobject_cast<ItemRow*>(row) : row->findChild<ItemRow*>();
                ASSERT_NE(item, nullptr);
                shown.push_back(item);
            }
            // Drawn: a picture of the view paints each row.
            PaintCounter painted(shown);
            view.grab();
            for (int i = 0; i < shown.size(); ++i)
                EXPECT_GT(painted.count(i), 0) << shown[i]->item().name;
        }
    }
    EXPECT_EQ(view.lists().shownLocations.size(), 6u);
    EXPECT_EQ(qobject_cast<Shelf*>(view.productsShelf())->rows()->count(), 5);
}

}  // namespace
}  // namespace nimbrel
