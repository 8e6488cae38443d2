#include "views/space/space_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <map>
#include <unordered_set>

#include "engine/host_layout.h"
#include "model/removal_road.h"
#include "space_test_support.h"
#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/figure_label.h"
#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "theme/steamer.h"
#include "views/kit/elided_label.h"
#include "views/kit/text_widgets.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_view.h"
#include "views/space/space_headers.h"

namespace nimbrel {
namespace {

using namespace spacetest;
using namespace std::chrono_literals;

TEST(ExplorerGeometry, ColumnsFollowTheWidthAndStayCentred) {
    struct Case {
        double viewport;
        int columns;
        double column;
    };
    // content = viewport - 48; n = (content + 8) / 120; column = min(150, (content - 8(n - 1)) / n)
    for (const Case& c : {Case{168, 1, 120}, Case{288, 2, 116}, Case{1240, 10, 112}, Case{100, 1, 52}}) {
        const auto g = ExplorerGeometry::make(ExplorerLayout::icons, c.viewport, 30);
        EXPECT_EQ(g.columns, c.columns) << c.viewport;
        EXPECT_NEAR(g.column, c.column, 1e-9) << c.viewport;
    }
    // One column of 200 would be too wide: it stops at 150 and the grid is centred.
    const auto wide = ExplorerGeometry::make(ExplorerLayout::icons, 248, 2);
    EXPECT_EQ(wide.columns, 1);
    EXPECT_DOUBLE_EQ(wide.column, 150);
    EXPECT_DOUBLE_EQ(wide.gridLeft, 24 + 25);
    EXPECT_EQ(wide.tileRect(1), QRectF(49, 4 + 140, 150, 132));
    EXPECT_EQ(wide.indexAt(wide.tileRect(1).center()), 1);
    EXPECT_FALSE(wide.indexAt(QPointF(100, 4 + 135)).has_value());  // the gap between rows

    const auto list = ExplorerGeometry::make(ExplorerLayout::list, 500, 3);
    EXPECT_EQ(list.tileRect(1), QRectF(36, 4 + 4 + 50, 500 - 36 - 135.2, 48));
    // Rows end left of the resting steamer, so it never stands on a row's size.
    const FlatSteamer steamer(0.12, false);
    for (double viewport : {500.0, 860.0, 1240.0, 1900.0}) {
        const QPointF rest = SpaceViewModel::restPoint(QSizeF(viewport, 700));
        EXPECT_LE(ExplorerGeometry::make(ExplorerLayout::list, viewport, 3).tileRect(0).right(),
                  rest.x() - steamer.layoutRect().width() / 2)
            << viewport;
    }
    EXPECT_DOUBLE_EQ(list.tilesHeight(), 8 + 3 * 48 + 2 * 2);
    EXPECT_DOUBLE_EQ(ExplorerGeometry::make(ExplorerLayout::list, 500, 0).tilesHeight(), 0);
}

TEST(SpaceView, PagingFooterGrowsAsTheLastTileComesIntoView) {
    SpaceHarness h;
    h.state->setResult(manyFiles(300));
    SpaceView view(*h.state, h.clock);
    h.show(view, {1000, 700});
    ExplorerView* explorer = view.explorer();
    EXPECT_EQ(view.model().visibleCount(), 120);
    EXPECT_EQ(explorer->footerText(), "Showing 120 of 300 · more load as you scroll");
    explorer->verticalScrollBar()->setValue(explorer->verticalScrollBar()->maximum());
    h.settle();
    EXPECT_EQ(view.model().visibleCount(), 240);
    EXPECT_EQ(explorer->footerText(), "Showing 240 of 300 · more load as you scroll");
    explorer->verticalScrollBar()->setValue(explorer->verticalScrollBar()->maximum());
    h.settle();
    EXPECT_EQ(view.model().visibleCount(), 300);
    EXPECT_EQ(explorer->footerText(), "");
}

TEST(SpaceView, EmptyStateShowsOnlyInTheExplorerAndShowEverythingClears) {
    SpaceHarness h;
    SpaceView view(*h.state, h.clock);
    view.resize(900, 700);
    view.show();
    EXPECT_EQ(view.explorer()->emptyState(), nullptr);  // welcome
    h.state->setResult(sampleResult());
    view.model().setSearch("nothing-like-this");
    ASSERT_NE(view.explorer()->emptyState(), nullptr);
    EXPECT_EQ(view.explorer()->emptyState()->message(), "Nothing here is named like “nothing-like-this”.");
    auto buttons = view.explorer()->emptyState()->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 1);
    buttons.front()->click();
    EXPECT_EQ(view.model().search(), "");
    EXPECT_EQ(view.model().filter(), ExplorerFilter::all);
    EXPECT_EQ(view.explorer()->emptyState(), nullptr);
}

TEST(SpaceView, ClicksOpenOnceSelectWithModifiersAndSpaceToggles) {
    SpaceHarness h;
    auto result = sampleResult();
    h.state->setResult(result);
    SpaceView view(*h.state, h.clock);
    h.show(view, {900, 700});
    ExplorerView* explorer = view.explorer();
    ASSERT_EQ(view.model().tileId(0), "/r/a");
    const QPoint a = explorer->geometryNow().tileRect(0).center().toPoint();
    // A double click: press, release, press, release; only the first click navigates.
    QTest::mouseDClick(explorer->viewport(), Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseRelease(explorer->viewport(), Qt::LeftButton, Qt::NoModifier, a);
    EXPECT_EQ(view.model().stack().size(), 1u);
    view.model().goUp(ClickInfo::none());

    h.clock.advance(1s);
    const int fileIndex = 2;  // a, z, f.txt
    ASSERT_EQ(view.model().tileId(fileIndex), "/r/f.txt");
    const QPoint f = explorer->geometryNow().tileRect(fileIndex).center().toPoint();
    QTest::qWait(500);  // past the double-click interval
    QTest::mouseClick(explorer->viewport(), Qt::LeftButton, Qt::ControlModifier, f);
    EXPECT_TRUE(h.state->queue().contains("/r/f.txt"));
    EXPECT_TRUE(view.model().stack().empty());

    QTest::mouseMove(explorer->viewport(), QPoint(0, 0));  // the pointer may rest on f from before
    QTest::mouseMove(explorer->viewport(), f);
    EXPECT_EQ(view.model().hovered(), "/r/f.txt");
    QTest::keyClick(explorer, Qt::Key_Space);
    EXPECT_FALSE(h.state->queue().contains("/r/f.txt"));
}

TEST(SpaceView, HeaderTextsAndCrumbs) {
    SpaceHarness h;
    auto result = sampleResult(HostLayout::current().home);
    TreeBuild::setFileCount(*result->root(), 1234);
    h.state->setResult(result);
    SpaceView view(*h.state, h.clock);
    ExplorerHeader* header = view.explorerHeader();
    EXPECT_EQ(header->summaryText(), "Scanned ~ in 2s");
    EXPECT_EQ(header->countText(), "1,234 files");
    EXPECT_FALSE(header->upButton()->isEnabled());
    EXPECT_EQ(header->crumbs().size(), 1);
    EXPECT_TRUE(header->crumbs().front()->isOn());

    h.state->setFolderFocus(result->root()->children()[0]->children()[0]->path());
    EXPECT_TRUE(header->upButton()->isEnabled());
    ASSERT_EQ(header->crumbs().size(), 3);
    EXPECT_FALSE(header->crumbs()[0]->isOn());
    EXPECT_TRUE(header->crumbs()[2]->isOn());
    EXPECT_EQ(header->summaryText(), "~/a/b");
    {
        // The summary is text the user can select with the mouse and copy, cut in the middle when
        // narrow.
        h.show(view, {900, 600});
        QLabel* summary = header->summaryLabel();
        EXPECT_EQ(summary->text(), "~/a/b");
        const auto drag = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, at, summary->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(summary, &e);
        };
        const int y = summary->height() / 2;
        drag(QEvent::MouseButtonPress, QPoint(0, y), Qt::LeftButton);
        drag(QEvent::MouseMove, QPoint(summary->width() - 1, y), Qt::LeftButton);
        drag(QEvent::MouseButtonRelease, QPoint(summary->width() - 1, y), Qt::NoButton);
        EXPECT_EQ(summary->selectedText(), "~/a/b");
        summary->setFixedWidth(QFontMetrics(summary->font()).horizontalAdvance(QStringLiteral("~/a")));
        h.settle();
        EXPECT_TRUE(summary->text().contains(QChar(0x2026))) << summary->text().toStdString();
        summary->setMinimumWidth(0);
        summary->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    header->crumbs()[1]->click();
    EXPECT_EQ(view.model().stack().size(), 1u);
    header->crumbs()[0]->click();
    EXPECT_TRUE(view.model().stack().empty());

    TreeBuild::setSize(*result->root(), -5);
    header->refresh();
    EXPECT_EQ(header->sizeText(), "Zero KB");
}

TEST(SpaceView, WelcomeShowsAtMostThreeRecentsAndTheAccessHint) {
    SpaceHarness h;
    SpaceView view(*h.state, h.clock);
    WelcomeHeader* welcome = view.welcomeHeader();
    EXPECT_TRUE(welcome->recentChips().isEmpty());
    h.state->setRecents({"/a1", "/a2", "/a3", "/a4", "/a5"});
    ASSERT_EQ(welcome->recentChips().size(), 3);
    EXPECT_EQ(static_cast<Chip*>(welcome->recentChips()[0])->text(), "a1");
    h.state->setRecents({"/"});
    EXPECT_EQ(welcome->recentChips().size(), 1);
    // Without a Full Disk Access permission, the hint tells what the last scan could not read.
    auto* hint = qobject_cast<NoteLabel*>(welcome->accessHint());
    ASSERT_TRUE(hint);
    EXPECT_TRUE(hint->isHidden());
    h.state->setUnreadable({1, {"/home/u/locked"}});
    EXPECT_FALSE(hint->isHidden());
    EXPECT_EQ(hint->text(), "1 folder could not be read");
    EXPECT_TRUE(hint->toolTip().contains("~/locked"));
    h.state->setUnreadable({});
    EXPECT_TRUE(hint->isHidden());

    // A narrow window shrinks the headline instead of wrapping it, down to 60%.
    welcome->headline()->resize(100, 40);
    EXPECT_GE(welcome->headline()->fittedSize(), welcome->headline()->font().pixelSize() * 0.6 - 1);
}

TEST(SpaceView, DiscoveringHeaderAtTheStartOfAScan) {
    SpaceHarness h;
    SpaceView view(*h.state, h.clock);
    h.state->setIsScanning(true);
    DiscoveringHeader* header = view.discoveringHeader();
    EXPECT_EQ(header->titleText(), "Reading your disk…");
    EXPECT_EQ(header->bytesText(), "Zero KB");
    EXPECT_EQ(header->countsText(), "0 files · 0 found");
    h.state->setScanTarget(std::string("/"));
    EXPECT_EQ(header->titleText(),
              QString("Reading %1…").arg(QString::fromStdString(HostLayout::current().rootVolumeName)));

    // A long name is cut with an ellipsis inside the heading; the figures keep their room.
    view.resize(860, 620);
    view.show();
    h.state->setScanTarget(std::string("/home/u/an-archive-of-every-photo-we-took-on-holiday-2019-2024-x"));
    QCoreApplication::processEvents();
    ElidedLabel* title = header->titleLabel();
    EXPECT_TRUE(title->shownText().endsWith(QChar(0x2026)));
    EXPECT_NE(title->shownText(), header->titleText());
    EXPECT_LE(QFontMetrics(Fonts::font(25, FontWeight::heavy, FontDesign::rounded))
                  .horizontalAdvance(title->shownText()),
              title->width());
    EXPECT_LE(title->geometry().right(), header->bytesFigure()->geometry().left());
}

TEST(SpaceView, RunningFiguresKeepTheirWidthWhileTheyChange) {
    SpaceHarness h;
    SpaceView view(*h.state, h.clock);
    view.resize(1240, 800);
    view.show();
    h.state->setIsScanning(true);
    DiscoveringHeader* header = view.discoveringHeader();
    std::optional<int> bytes, counts;
    // Same number of characters each time: with digits of equal width nothing may move.
    for (int64_t files : {111'111, 480'213, 888'888}) {
        ScanProgress progress;
        progress.filesScanned = files;
        progress.bytesScanned = files * 1000;
        h.state->setProgress(progress);
        const int b = header->bytesFigure()->sizeHint().width();
        const int c = header->countsFigure()->sizeHint().width();
        if (!bytes) bytes = b, counts = c;
        EXPECT_EQ(b, *bytes) << files;
        EXPECT_EQ(c, *counts) << files;
    }
}

TEST(CompositionStrip, SegmentsLegendAndChoice) {
    SpaceHarness h;
    CompositionStrip strip(*h.state);
    EXPECT_TRUE(strip.entries().empty());
    auto result = sampleResult();
    TreeBuild::categoryTotals(*result)[FileCategory::video] = {10'000'000'000, 1};
    TreeBuild::categoryTotals(*result)[FileCategory::other] = {1, 1};
    TreeBuild::categoryTotals(*result)[FileCategory::audio] = {0, 3};
    h.state->setResult(result);
    const auto segs = strip.segments(400);
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_DOUBLE_EQ(segs[1].width(), 2);  // a 1-byte category still shows
    for (FileCategory c : FileCategory::allCases())
        TreeBuild::categoryTotals(*result)[c] = {1000 + int(c), 1};
    EXPECT_EQ(strip.entries().size(), 10u);
    EXPECT_LE(strip.legendCount(10000), 6);
    EXPECT_GE(strip.legendCount(1), 2);
    EXPECT_EQ(strip.segments(800).size(), 10u);

    strip.hoverCategory(FileCategory::video);
    strip.hoverCategory(FileCategory::audio);
    strip.leaveCategory(FileCategory::video);  // leaving the earlier one keeps the newer
    EXPECT_EQ(strip.hovered(), FileCategory::audio);
    strip.choose(FileCategory::other);
    EXPECT_EQ(h.state->largestCategory(), FileCategory::other);
    EXPECT_EQ(h.state->section(), SidebarItem::largest);
}

TEST(SpaceView, ToolbarDrivesFilterSortAndLayout) {
    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceView view(*h.state, h.clock);
    view.resize(1000, 700);
    view.show();
    ExplorerToolbar* bar = view.toolbar();
    Chip* heavy = bar->chips()[4];
    heavy->click();
    EXPECT_EQ(view.model().filter(), ExplorerFilter::bloated);
    EXPECT_TRUE(heavy->isOn());
    heavy->click();
    EXPECT_EQ(view.model().filter(), ExplorerFilter::all);
    EXPECT_TRUE(bar->chips()[0]->isOn());

    emit bar->sortPicker()->selectionRequested(QStringLiteral("name"));
    EXPECT_EQ(view.model().sort(), ExplorerSort::name);

    LayoutSwitch* layout = bar->layoutSwitch();
    QTest::mouseClick(layout->segment(1), Qt::LeftButton);
    EXPECT_EQ(layout->segment(1)->accessibleName(), QStringLiteral("List"));
    EXPECT_EQ(view.model().layout(), ExplorerLayout::list);
    EXPECT_EQ(Prefs::value(SpaceViewModel::kLayoutKey).toString(), "list");

    bar->searchField()->setText("zz");
    EXPECT_EQ(view.model().search(), "zz");
}

TEST(SpaceView, AtTheNarrowestWindowTheChipsScrollAndTheTrailingGroupKeepsItsSize) {
    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceView view(*h.state, h.clock);
    view.resize(860, 620);  // the window's minimum width
    view.show();
    QCoreApplication::processEvents();
    ExplorerToolbar* bar = view.toolbar();
    // Sort, its picker and the layout switch are never compressed, and stay inside the toolbar.
    for (QWidget* w :
         {static_cast<QWidget*>(bar->sortPicker()), static_cast<QWidget*>(bar->layoutSwitch())}) {
        EXPECT_EQ(w->width(), w->sizeHint().width());
        EXPECT_LE(w->geometry().right(), bar->width() - 32);
    }
    EXPECT_EQ(bar->searchField()->width(), 210);

    Chip* selected = bar->chips().last();
    auto* scroll =
        qobject_cast<QAbstractScrollArea*>(selected->parentWidget()->parentWidget()->parentWidget());
    ASSERT_NE(scroll, nullptr);
    QWidget* viewport = scroll->viewport();
    const auto inView = [&](QWidget* chip) {
        const QRect r(chip->mapTo(viewport, QPoint(0, 0)), chip->size());
        return viewport->rect().contains(r);
    };
    EXPECT_FALSE(inView(selected)) << "the row is wider than its room: the last chip starts out of view";
    EXPECT_LE(scroll->geometry().right(), bar->sortPicker()->geometry().left());

    // A mouse wheel (vertical) scrolls the row; the last chip comes fully into view and answers.
    for (int i = 0; i < 5 && !inView(selected); ++i) {
        const QPointF at = viewport->rect().center();
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &wheel);
    }
    EXPECT_TRUE(inView(selected));
    QTest::mouseClick(selected, Qt::LeftButton);
    EXPECT_EQ(view.model().filter(), ExplorerFilter::selected);
}

// A tile on screen that leaves is seen to go, in either layout: a third of the way through its
// effect (evaporating, or fading under Reduce Motion) its place shows neither the tile as it was nor
// the empty place it leaves.
TEST(SpaceView, LeavingTilesOnScreenEvaporateOrFade) {
    AnimationClock animations;
    for (bool reduce : {false, true}) {
        for (ExplorerLayout layout : {ExplorerLayout::icons, ExplorerLayout::list}) {
            SCOPED_TRACE(std::string(rawValue(layout)) + (reduce ? " reduced" : ""));
            ReduceMotionScope motion(reduce);
            SpaceHarness h;
            h.state->setResult(sampleResult());
            SpaceView view(*h.state, h.clock);
            view.model().setLayout(layout);
            h.show(view, {900, 600});
            ExplorerView* explorer = view.explorer();
            const int index = view.model().indexOf("/r/a").value_or(-1);
            ASSERT_GE(index, 0);
            // The tile and the room its grains rise into.
            const QRect place = explorer->shownRect(explorer->geometryNow(), index)
                                    .adjusted(-12, -40, 12, 0)
                                    .toAlignedRect()
                                    .intersected(explorer->viewport()->rect());
            const auto shown = [&] {
                animations.step(0);
                return explorer->viewport()->grab(place).toImage();
            };
            const QImage before = shown();
            h.state->setNimbrelisingIDs({"/r/a"});
            h.state->setVanishingPaths({"/r/a"});
            h.state->setIsDeleting(true);
            EXPECT_EQ(view.model().isCleaning(), !reduce);
            // The steamer reaches it.
            for (int i = 0; i < 40 && !view.model().isVanishing("/r/a"); ++i) {
                h.clock.advance(std::chrono::milliseconds(50));
                animations.step(50);
                shown();
            }
            ASSERT_TRUE(view.model().isVanishing("/r/a"));
            shown();  // it starts to go
            animations.step(reduce ? 80 : 330);
            const QImage during = shown();
            animations.step(1200);
            const QImage after = shown();
            EXPECT_NE(during, before);
            EXPECT_NE(during, after);
            EXPECT_NE(before, after);
            h.state->setIsDeleting(false);
            animations.finish();
        }
    }
}

// Where each tile on screen is drawn now, in viewport coordinates, by id.
std::map<std::string, QPointF> onScreen(SpaceView& view) {
    ExplorerView* explorer = view.explorer();
    const ExplorerGeometry g = explorer->geometryNow();
    const double top = explorer->verticalScrollBar()->value();
    std::map<std::string, QPointF> at;
    for (int i = 0; i < view.model().visibleCount(); ++i) {
        const QRectF r = explorer->shownRect(g, i).translated(0, -top);
        if (r.bottom() > 0 && r.top() < explorer->viewport()->height())
            at[view.model().tileId(i)] = r.topLeft();
    }
    return at;
}

TEST(SpaceView, RemovedTilesCloseUpWithoutMovingWhatStaysOnScreen) {
    ReduceMotionScope motion(false);
    for (ExplorerLayout layout : {ExplorerLayout::list, ExplorerLayout::icons}) {
        SCOPED_TRACE(rawValue(layout));
        SpaceHarness h;
        auto result = std::make_shared<ScanResult>();
        TreeBuild::setRoot(*result, std::make_shared<DirNode>("/r", nullptr));
        for (int i = 0; i < 100; ++i)
            TreeBuild::count(*result->root(),
                             addFolder(result->root(), "d" + std::to_string(1000 + i), 1000 - i)->size(), 0);
        h.state->setResult(result);
        SpaceView view(*h.state, h.clock);
        view.model().setLayout(layout);
        h.show(view, {1000, 700});
        ExplorerView* explorer = view.explorer();
        const ExplorerGeometry g = explorer->geometryNow();
        const int columns = layout == ExplorerLayout::list ? 1 : g.columns;
        // Two rows down, so whole rows lie above the view.
        explorer->verticalScrollBar()->setValue(int(g.tileRect(2 * columns).top()));
        h.settle();
        const std::map<std::string, QPointF> before = onScreen(view);
        const int first = g.firstIn(explorer->verticalScrollBar()->value());
        // Every tile of the first row (above the view) and one tile on screen leave.
        std::unordered_set<std::string> gone;
        for (int i = 0; i < columns; ++i)
            gone.insert(view.model().tileId(i));
        const std::string onScreenGone = view.model().tileId(first + columns + 1);
        const std::string next = view.model().tileId(first + columns + 2);
        const std::string earlier = view.model().tileId(first + columns);
        gone.insert(onScreenGone);
        ASSERT_TRUE(before.count(next) && before.count(earlier));

        h.state->setIsDeleting(true);
        h.state->setIsDeleting(false);
        h.state->removal().prune(gone);
        std::map<std::string, QPointF> now = onScreen(view);

        EXPECT_EQ(now[earlier], before.at(earlier));
        EXPECT_EQ(now[next], before.at(next));
        EXPECT_TRUE(explorer->isClosing());

        explorer->closing().animation().setCurrentTime(280);
        h.settle();
        EXPECT_FALSE(explorer->isClosing());
        now = onScreen(view);
        EXPECT_EQ(now[earlier], before.at(earlier));
        // The tile after the one that left takes its place.
        EXPECT_EQ(now[next], before.at(onScreenGone));
    }
}

TEST(EntryMarks, RiskMarkOnlyForCautionAndDanger) {
    for (auto level : {Risk::Level::safe, Risk::Level::normal, Risk::Level::caution, Risk::Level::danger,
                       Risk::Level::locked}) {
        ExplorerEntry e;
        e.id = "/x";
        e.risk.level = level;
        EXPECT_EQ(EntryRules::showsRiskMark(e),
                  level == Risk::Level::caution || level == Risk::Level::danger);
    }
    EXPECT_DOUBLE_EQ(TilePainter::glowRadius(48), 14);
    EXPECT_DOUBLE_EQ(TilePainter::glowRadius(47.9), 6);
    EXPECT_DOUBLE_EQ(TilePainter::swellScale(64), 1.2);
    EXPECT_DOUBLE_EQ(TilePainter::swellScale(28), 1.08);
}

// Each placeholder kind shows an icon of its own (a PDF is not a text file), through the painter's
// cache of drawn icons.
TEST(TilePainter, PlaceholderKindsDrawIconsOfTheirOwn) {
    QWidget host;
    TilePainter painter(&host);
    using K = PlaceholderKind;
    std::vector<QImage> drawn;
    for (K kind : {K::folder, K::document, K::text, K::movie, K::image, K::archive, K::app, K::diskImage}) {
        QImage img(140, 132, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        painter.paintPlaceholder(p, QRectF(0, 0, 140, 132), kind, ExplorerTile::Condition::clean, 3, false,
                                 ExplorerLayout::icons);
        p.end();
        for (const QImage& other : drawn)
            EXPECT_NE(img, other) << int(kind);
        drawn.push_back(img);
    }
}

TEST(TilePainter, TileNamesBreakBetweenWordsNotInsideThem) {
    const QFont font = Fonts::font(12, FontWeight::medium);
    const QFontMetricsF fm(font);
    // As wide as the tile that showed "slack-desktop.de" above "b".
    const double width = fm.horizontalAdvance(QStringLiteral("slack-desktop.de"));
    const struct {
        QString name;
        QStringList lines;
    } cases[] = {
        {"short.txt", {"short.txt"}},
        {"slack-desktop.deb", {"slack-", "desktop.deb"}},
        {"slack desktop.deb", {"slack", "desktop.deb"}},
        {"slack_desktop.deb", {"slack_", "desktop.deb"}},
        {"container_info.json", {"container_", "info.json"}},
        // Without a space, hyphen or underscore a name breaks after a dot, the extension's last.
        {"org.slackdesk.conf", {"org.", "slackdesk.conf"}},
        {"slackdesktop.json", {"slackdesktop", ".json"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TilePainter::nameLines(c.name, font, width), c.lines) << c.name.toStdString();
    // One word wider than the tile breaks where it must; the rest is cut in its middle.
    const QStringList long_ = TilePainter::nameLines(QString(60, QLatin1Char('x')), font, width);
    ASSERT_EQ(long_.size(), 2);
    EXPECT_LE(fm.horizontalAdvance(long_[0]), width);
    EXPECT_TRUE(long_[1].contains(QChar(0x2026)));
}

TEST(TileGeometry, EachPartIsHitWhereAndInTheShapeItIsDrawn) {
    using P = TileGeometry::Part;
    using Ctl = EntryRules::Control;
    const QRectF frame(100, 50, 130, TileGeometry::kTileHeight);
    const TileGeometry marked = TileGeometry::of(frame, ExplorerLayout::icons, {Ctl::select, true, false});
    const TileGeometry locked = TileGeometry::of(frame, ExplorerLayout::icons, {Ctl::lock, false, false});
    const TileGeometry measuring = TileGeometry::of(frame, ExplorerLayout::icons, {Ctl::none, false, false});
    const QRectF rowFrame(24, 4, 800, TileGeometry::kRowHeight);
    const TileGeometry row = TileGeometry::of(rowFrame, ExplorerLayout::list, {Ctl::select, false, false});
    const TileGeometry hovered = TileGeometry::of(rowFrame, ExplorerLayout::list, {Ctl::select, false, true});
    const QPointF corner(1.5, 1.5);  // just inside a part's square, outside its disc
    const struct {
        const char* where;
        const TileGeometry& tile;
        QPointF at;
        P part;
    } cases[] = {
        {"circle", marked, marked.control.center(), P::control},
        {"circle's corner", marked, marked.control.topLeft() + corner, P::body},
        {"risk mark", marked, marked.riskMark.center(), P::riskMark},
        {"risk mark's corner", marked, marked.riskMark.topRight() + QPointF(-1.5, 1.5), P::body},
        {"icon", marked, marked.icon.center(), P::body},
        {"outside", marked, frame.bottomRight() + QPointF(5, 5), P::none},
        {"lock", locked, locked.lock.center(), P::control},
        {"no circle while measuring", measuring, measuring.control.center(), P::body},
        {"tick box", row, row.control.topLeft() + corner, P::control},
        {"path buttons hidden", row, row.pathActions[0].center(), P::body},
        {"copy path", hovered, hovered.pathActions[0].center(), P::copyPath},
        {"reveal", hovered, hovered.pathActions[1].center(), P::reveal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.tile.partAt(c.at), c.part) << c.where;

    // The risk mark sits on the icon's top-trailing corner, nudged out, whatever the tile's place.
    EXPECT_DOUBLE_EQ(marked.riskMark.right(), marked.icon.right() + 4);
    EXPECT_DOUBLE_EQ(marked.riskMark.top(), marked.icon.top() - 6);
    // The row's name gives way to the path buttons only while they show, and never overlaps them.
    EXPECT_LT(hovered.text.right(), hovered.pathActions[0].left());
    EXPECT_LT(row.text.right(), row.chevron.left());
    EXPECT_GT(row.text.width(), hovered.text.width());
    EXPECT_LT(row.bar.right(), row.size.left());
}

TEST(SpaceView, UpButtonAndShortcut) {
    SpaceHarness h;
    auto result = sampleResult();
    h.state->setResult(result);
    SpaceView view(*h.state, h.clock);
    h.show(view, {1000, 700});
    h.state->setFolderFocus(std::string("/r/a/b/c"));
    ASSERT_EQ(view.model().stack().size(), 3u);
    IconButton* up = view.explorerHeader()->upButton();
    const QPoint centre = up->rect().center();
    // A double click on the button goes up one level: its second click is a repeat. (QTest's double
    // click sends no releases of its own.)
    QTest::mouseClick(up, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(up, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseRelease(up, Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(view.model().stack().size(), 2u);
    // Pressed from the keyboard right after, it goes up each time: a key is never a repeat and never
    // held back by the mouse.
    up->setFocus(Qt::TabFocusReason);
    QTest::keyClick(up, Qt::Key_Space);
    QTest::keyClick(up, Qt::Key_Return);
    EXPECT_TRUE(view.model().stack().empty());
    h.state->setFolderFocus(std::string("/r/a/b"));
    h.clock.advance(std::chrono::seconds(1));
    // Two separate clicks within 0.35 s: only the first navigates. (The model's 0.35 s follow the
    // manual clock; the real waits keep Qt from pairing the clicks into a double click.)
    const auto separateClick = [&] {
        QTest::qWait(500);  // past Qt's double-click interval
        QTest::mouseClick(up, Qt::LeftButton, Qt::NoModifier, centre);
    };
    separateClick();
    separateClick();
    EXPECT_EQ(view.model().stack().size(), 1u);
    h.clock.advance(std::chrono::seconds(1));
    separateClick();
    EXPECT_TRUE(view.model().stack().empty());
    EXPECT_FALSE(up->isEnabled());

    h.state->setFolderFocus(std::string("/r/a/b"));
    view.explorer()->setFocus();
    QTest::keyClick(view.explorer(), Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(view.explorer(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_TRUE(view.model().stack().empty());
}

TEST(SpaceView, TilesAreAccessibleButtonsWithASelectAction) {
    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceView view(*h.state, h.clock);
    h.show(view, {900, 600});
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view.explorer()->viewport());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->childCount(), 3);  // a, z, f.txt
    QAccessibleInterface* file = list->child(2);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->role(), QAccessible::Button);
    EXPECT_EQ(file->text(QAccessible::Name), "f.txt");
    EXPECT_EQ(file->text(QAccessible::Help), "Shows a preview.");
    EXPECT_EQ(list->child(0)->text(QAccessible::Help), "Opens the folder.");
    EXPECT_EQ(list->indexOfChild(file), 2);
    QAccessibleActionInterface* actions = file->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_TRUE(actions->actionNames().contains("Select for Cleaning"));
    EXPECT_FALSE(file->state().checked);
    actions->doAction("Select for Cleaning");
    EXPECT_TRUE(h.state->queue().contains("/r/f.txt"));
    EXPECT_TRUE(file->state().checkable);
    EXPECT_TRUE(file->state().checked);  // a ticked tile reads as checked
    EXPECT_TRUE(actions->actionNames().contains("Deselect"));
    actions->doAction("Deselect");
    EXPECT_FALSE(h.state->queue().contains("/r/f.txt"));
    EXPECT_FALSE(file->state().checked);
    EXPECT_FALSE(file->rect().isEmpty());
}

}  // namespace
}  // namespace nimbrel
