#include "views/kit/item_row.h"

#include <QApplication>
#include <QMimeData>
#include <QTest>

#include "engine/host_layout.h"
#include "shell_fixture.h"
#include "support/animations.h"
#include "theme/chip.h"
#include "theme/nimbrel_button.h"
#include "theme/rolling_text.h"
#include "views/kit/selection_bar.h"
#include "views/test_items.h"

namespace nimbrel {
namespace {

class ItemRowTest : public ShellFixture {
  protected:
    std::string root = "/nimbrel-test";
    CleanItem folder = testItem(root + "/Projects", 900, CleanItem::Kind::folder, CleanItem::Source::space);
    CleanItem inside = testItem(root + "/Projects/a.mov", 300);
    CleanItem other = testItem(root + "/Projects/b.mov", 200);
};

TEST_F(ItemRowTest, ClicksSelectAndADoubleClickLeavesTheSelectionAsItWas) {
    int previews = 0;
    ItemRow::Options options;
    options.preview = [&] { ++previews; };
    ItemRow row(*state_, inside, options);
    row.setDoubleClickInterval(60'000);

    row.click();
    EXPECT_TRUE(state_->queue().contains(inside.id));
    EXPECT_TRUE(row.isLoaded());
    row.click();  // second click: undo and preview
    EXPECT_TRUE(state_->queue().items().empty());
    EXPECT_EQ(previews, 1);
    row.click();  // a third click counts as a first one again
    EXPECT_TRUE(state_->queue().contains(inside.id));

    // A folder's double click brings back what was queued inside it.
    state_->queue().setItems({inside, other});
    ItemRow folderRow(*state_, folder, {});
    folderRow.setDoubleClickInterval(60'000);
    folderRow.click();
    EXPECT_EQ(state_->queue().items(), std::vector<CleanItem>{folder});
    folderRow.click();
    EXPECT_EQ(state_->queue().items(), (std::vector<CleanItem>{inside, other}));
}

// The buttons fade in with the fill; a click where they would be, before they show, is a row click.
TEST_F(ItemRowTest, HoverButtonsShowOnHoverAndTakeNoClickWhileHidden) {
    int previews = 0;
    ItemRow::Options options;
    options.preview = [&] { ++previews; };
    AnimationClock animations;
    QWidget window;
    auto* row = new ItemRow(*state_, inside, options, &window);
    row->setDoubleClickInterval(1);
    window.resize(700, ItemRow::kHeight);
    row->resize(700, ItemRow::kHeight);
    window.show();
    HoverActions* actions = row->hoverActions();
    ASSERT_EQ(actions->buttons().size(), 2u);  // the path actions and the eye
    EXPECT_FALSE(actions->isVisible());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(row, &enter);
    EXPECT_TRUE(actions->isVisible());
    EXPECT_FALSE(actions->isLive());
    QWidget* eye = actions->buttons().back();
    const QPoint eyeSpot = eye->mapTo(row, eye->rect().center());
    QWidget* under = row->childAt(eyeSpot);
    ASSERT_NE(under, nullptr);
    EXPECT_NE(under, eye);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(row, eyeSpot));
    EXPECT_EQ(previews, 0);
    EXPECT_TRUE(state_->queue().contains(inside.id));  // the click ticked the row

    animations.finish();
    ASSERT_TRUE(actions->isLive());
    EXPECT_TRUE(eye->isVisible());
    QTest::mouseClick(eye, Qt::LeftButton);
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(state_->queue().contains(inside.id));  // the button's click is not the row's

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(row, &leave);
    EXPECT_FALSE(eye->isVisible());  // leaving takes the clicks away at once
    animations.finish();
    EXPECT_FALSE(actions->isVisible());
}

TEST_F(ItemRowTest, AClickInsideASelectedFolderWaitsForTheInterval) {
    state_->queue().setItems({folder});
    ItemRow row(*state_, inside, {});
    row.setDoubleClickInterval(60'000);
    EXPECT_TRUE(row.isLoaded());
    EXPECT_TRUE(ItemRowRules::throughFolder(state_->queue(), inside));
    EXPECT_TRUE(ItemRowRules::helpText(state_->queue(), inside, false)
                    .contains(QStringLiteral("Click to leave just this out")));
    row.click();
    EXPECT_TRUE(row.hasPendingLeaveOut());
    EXPECT_EQ(state_->queue().items(), std::vector<CleanItem>{folder});
    row.click();  // a double click cancels the leave-out
    EXPECT_FALSE(row.hasPendingLeaveOut());
    EXPECT_EQ(state_->queue().items(), std::vector<CleanItem>{folder});

    ItemRow quick(*state_, inside, {});
    quick.setDoubleClickInterval(1);
    quick.click();
    ASSERT_TRUE(quick.hasPendingLeaveOut());
    // The interval is real time: its timer leaves the entry out and the selection changes.
    ASSERT_TRUE(
        waitOn(&state_->queue(), &CleanQueue::itemsChanged, [&] { return !quick.hasPendingLeaveOut(); }));
}

TEST_F(ItemRowTest, DisabledRowsIgnoreClicksAndJunkIsLoadedOnlyByItsOwnID) {
    ItemRow::Options options;
    options.disabled = true;
    ItemRow row(*state_, inside, options);
    row.click();
    EXPECT_TRUE(state_->queue().items().empty());
    EXPECT_EQ(ItemRowRules::helpText(state_->queue(), inside, true),
              QStringLiteral("/nimbrel-test/Projects/a.mov"));

    CleanItem junk = testJunkItem("caches", "Caches", 0);
    EXPECT_TRUE(ItemRowRules::safe(junk));
    junk.heat = 0.55;
    EXPECT_FALSE(ItemRowRules::safe(junk));
    ItemRow junkRow(*state_, junk, {});
    EXPECT_EQ(junkRow.menuEntries(), QStringList{QStringLiteral("Select for Cleaning")});
    EXPECT_TRUE(junkRow.subtitleText().isEmpty());
    std::unordered_set<std::string> vanishing{junk.id};
    state_->setVanishingPaths(vanishing);
    EXPECT_FALSE(ItemRowRules::vanishing(*state_, junk));
    state_->setNimbrelisingIDs(vanishing);
    EXPECT_TRUE(ItemRowRules::vanishing(*state_, junk));
    for (const char* id : {"a", "junk:x", "/very/long/path"}) {
        const double seed = ItemRowRules::seed(id);
        EXPECT_GE(seed, 0);
        EXPECT_LT(seed, 1);
    }
}

TEST_F(ItemRowTest, SelectionBarSumsSourcesClearsAndTakesOnlyOwnDrops) {
    const CleanItem spaceItem =
        testItem(root + "/x", 1'000'000, CleanItem::Kind::file, CleanItem::Source::space);
    const CleanItem deep = testItem(root + "/y", -5, CleanItem::Kind::file, CleanItem::Source::deepClean);
    state_->queue().setItems({inside, spaceItem, deep});
    EXPECT_EQ(SelectionBar::sourceLine(state_->queue().bySource()),
              QStringLiteral("Space 1 · Files 1 · Deep Clean 1"));
    EXPECT_EQ(SelectionBar::totalText({deep}), QStringLiteral("Zero KB"));
    state_->queue().setItems({deep});
    EXPECT_EQ(SelectionBar::sourceLine(state_->queue().bySource()), QStringLiteral("Deep Clean 1"));

    SelectionBar bar(*state_);
    std::unique_ptr<QMimeData> data(SelectionBar::mimeData(folder));
    EXPECT_FALSE(SelectionBar::droppedItems(data.get(), false).has_value());  // another program's drag
    const auto dropped = SelectionBar::droppedItems(data.get(), true);
    ASSERT_TRUE(dropped.has_value());
    state_->queue().setItems({inside});
    EXPECT_TRUE(bar.drop(*dropped));
    EXPECT_EQ(state_->queue().items(), std::vector<CleanItem>{folder});
    EXPECT_TRUE(bar.drop(*dropped));  // already there: still a successful drop
    EXPECT_FALSE(bar.drop({}));
    // Within Nimbrel a dropped row is what its tick queues, with the twins its JSON form leaves out.
    CleanItem extra = other;
    extra.identity = EntryIdentity::folder(7, 8);
    extra.twins = std::make_shared<const TwinCopies>(TwinCopies{"set", {{inside.id, {}}, {other.id, {}}}});
    std::unique_ptr<QMimeData> extraData(SelectionBar::mimeData(extra));
    EXPECT_EQ(SelectionBar::droppedItems(extraData.get(), true), std::vector<CleanItem>{extra});

    int changes = 0;
    QObject::connect(&state_->queue(), &CleanQueue::itemsChanged, [&] { ++changes; });
    auto* total = bar.findChild<RollingText*>();
    ASSERT_NE(total, nullptr);
    const QString shown = total->text();
    bar.clearButton()->click();
    EXPECT_TRUE(state_->queue().items().empty());
    EXPECT_EQ(changes, 1);
    // The bar leaves showing its last total and comes back showing its first at once; only a
    // change while it shows rolls.
    EXPECT_EQ(total->text(), shown);
    state_->queue().setItems({inside});
    EXPECT_FALSE(total->isRolling());
    EXPECT_EQ(total->text(), SelectionBar::totalText({inside}));
    state_->queue().add(spaceItem);
    EXPECT_TRUE(total->isRolling());

    state_->setIsDeleting(true);
    EXPECT_FALSE(bar.reviewButton()->isEnabled());
    state_->setIsDeleting(false);
    bar.reviewButton()->click();
    EXPECT_TRUE(state_->isReviewing());
}

}  // namespace
}  // namespace nimbrel
