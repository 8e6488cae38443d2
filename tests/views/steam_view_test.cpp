#include "views/deepclean/steam_view.h"

#include <gtest/gtest.h>

#include <QTest>

#include "engine/demo.h"
#include "model/cleanup_model.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
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

    static std::vector<std::string> ids(const std::vector<CleanItem>& items) {
        std::vector<std::string> out;
        for (const CleanItem& item : items)
            out.push_back(item.id);
        return out;
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
    EXPECT_EQ(ids(state_->queue().items()), ids(view.lists().safeSelection));
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

TEST_F(SteamViewTest, AnOpenedLocationListsWhatItHolds) {
    loadDemo(false);
    SteamView view(*state_);
    view.resize(1000, 700);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.toggle("caches");  // the second row: App Caches
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto* shelf = qobject_cast<Shelf*>(view.locationsShelf());
    ASSERT_NE(shelf, nullptr);
    EXPECT_EQ(shelf->rows()->rowRect(0).height(), ItemRow::kHeight);
    // The row, the detail text and ten entries of 26 points.
    EXPECT_GT(shelf->rows()->rowRect(1).height(), ItemRow::kHeight + 10 * JunkContentsList::kLineHeight);
    shelf->rows()->refresh();
    QWidget* cell = shelf->rows()->rowWidget(1);
    ASSERT_NE(cell, nullptr);
    auto* list = cell->findChild<JunkContentsList*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->location().id, "caches");
    EXPECT_EQ(list->currentPlan().shown, 10);

    // Filtered away and back, it comes back opened.
    QTest::mouseClick(view.chips()[3], Qt::LeftButton);
    QTest::mouseClick(view.chips()[3], Qt::LeftButton);
    shelf = qobject_cast<Shelf*>(view.locationsShelf());
    EXPECT_GT(shelf->rows()->rowRect(1).height(), ItemRow::kHeight);
}

}  // namespace
}  // namespace nimbrel
