#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "engine/demo.h"
#include "engine/tree_build.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "support/animations.h"
#include "support/motion_scopes.h"
#include "support/painter_warnings.h"
#include "support/wait_for.h"
#include "test_items.h"
#include "theme/chip.h"
#include "theme/motion.h"
#include "views/deepclean/steam_view.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/item_row.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/shelf.h"
#include "views/shell_fixture.h"
#include "views/twin_sets.h"

namespace nimbrel {
namespace {

std::vector<ItemRow*> builtRows(QWidget* root) {
    std::vector<ItemRow*> rows;
    for (ItemRow* row : root->findChildren<ItemRow*>())
        if (row->isVisible()) rows.push_back(row);
    return rows;
}

// Hovers, ticks and evaporates every row in view, painting the window after each step and at
// frames along the way.
void exercise(AppState& state, QWidget& window, AnimationClock& animations) {
    window.resize(1100, 800);
    window.show();
    flushEvents();
    const std::vector<ItemRow*> rows = builtRows(&window);
    ASSERT_FALSE(rows.empty());
    std::unordered_set<std::string> ids;
    for (ItemRow* row : rows) {
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QApplication::sendEvent(row, &enter);
        animations.step(5);
        window.grab();
        row->check()->click();
        window.grab();
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(row, &leave);
        ids.insert(row->item().id);
    }
    animations.step(200);
    window.grab();
    state.setNimbrelisingIDs(ids);
    for (int i = 0; i < 6; ++i) {
        animations.step(60);
        window.grab();
    }
}

class FilesPaintingTest : public ShellFixture {};

TEST_F(FilesPaintingTest, RowsPaintWithoutPainterWarnings) {
    PainterWarnings warnings;
    AnimationClock animations;
    state_->setResult(Demo::scanResult(0));
    {
        SCOPED_TRACE("Files");
        BiggestShelves shelves(*state_, {});
        exercise(*state_, shelves, animations);
        EXPECT_TRUE(PainterWarnings::seen().isEmpty()) << PainterWarnings::seen().join('\n').toStdString();
        PainterWarnings::seen().clear();
    }
    state_->setNimbrelisingIDs({});
    {
        SCOPED_TRACE("Deep Clean");
        state_->setSection(SidebarItem::cleanup);
        state_->cleanup().loadDemo();
        SteamView view(*state_);
        exercise(*state_, view, animations);
        EXPECT_TRUE(PainterWarnings::seen().isEmpty()) << PainterWarnings::seen().join('\n').toStdString();
        PainterWarnings::seen().clear();
    }
    state_->setNimbrelisingIDs({});
    {
        SCOPED_TRACE("review");
        ReviewSheet sheet(*state_);
        sheet.resize(640, 700);
        sheet.show();
        flushEvents();
        for (QWidget* w : sheet.findChildren<QWidget*>()) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(w, &enter);
        }
        sheet.grab();
        animations.step(50);
        sheet.grab();
    }
    EXPECT_TRUE(PainterWarnings::seen().isEmpty())
        << PainterWarnings::seen().join(QLatin1Char('\n')).toStdString();
}

// A list that fits its view shows no fade band, so the fading scroll paints it without a picture of
// its own; the effects of the rows and sets inside it must still paint cleanly.
TEST_F(FilesPaintingTest, ListsThatFitTheirViewPaintWithoutPainterWarnings) {
    ReduceMotionScope motion(false);
    PainterWarnings warnings;
    AnimationClock animations;
    auto result = std::make_shared<ScanResult>();
    for (int i = 0; i < 4; ++i) {
        FileItem f = testFile(i, "/nimbrel-test/file" + std::to_string(i) + ".mov",
                              std::int64_t{1'000'000} * (10 - i));
        f.category = FileCategory::video;
        TreeBuild::listFile(*result, f);
    }
    state_->setResult(result);
    {
        SCOPED_TRACE("a short Biggest list");
        BiggestShelves shelves(*state_, {});
        shelves.resize(1100, 1600);
        exercise(*state_, shelves, animations);
        animations.finish();
        shelves.grab();
        EXPECT_TRUE(PainterWarnings::seen().isEmpty()) << PainterWarnings::seen().join('\n').toStdString();
        PainterWarnings::seen().clear();
    }
    state_->setNimbrelisingIDs({});
    {
        SCOPED_TRACE("a twin set folding away");
        auto group = [](int i) { return testTwinSet(i, 2, 30'000'000 - i, 2000 + i * 2); };
        TwinShelves twins(*state_, {});
        ASSERT_TRUE(showTwinSets(twins, *state_, {group(0), group(1), group(2)}, QSize(1000, 1400)));
        flushEvents();
        ASSERT_EQ(twins.findChildren<Shelf*>().size(), 3);
        // The middle set loses its extra copy and folds away, frame by frame.
        state_->setVanishingPaths({"/nimbrel-test/1/twin1.mov"});
        state_->duplicates().remove({"/nimbrel-test/1/twin1.mov"});
        state_->setVanishingPaths({});
        twins.grab();
        for (int i = 0; i < 12; ++i) {
            animations.step(25);
            twins.grab();
        }
        animations.finish();
        EXPECT_EQ(twins.findChildren<Shelf*>().size(), 2);
        EXPECT_TRUE(PainterWarnings::seen().isEmpty()) << PainterWarnings::seen().join('\n').toStdString();
    }
}

}  // namespace
}  // namespace nimbrel
