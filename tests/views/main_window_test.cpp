#include "views/shell/main_window.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>

#include "engine/demo.h"
#include "focus_walk.h"
#include "model/cleanup_model.h"
#include "shell_fixture.h"
#include "support/motion_scopes.h"
#include "test_items.h"
#include "theme/appearance.h"
#include "theme/chip.h"
#include "theme/chrome.h"
#include "theme/fading_scroll.h"
#include "theme/icon_button.h"
#include "theme/nimbrel_button.h"
#include "views/deepclean/steam_view.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/area_header.h"
#include "views/kit/focus_order.h"
#include "views/kit/item_row.h"
#include "views/kit/junk_contents_list.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/modal_host.h"
#include "views/kit/selection_bar.h"
#include "views/kit/shelf.h"
#include "views/shell/area_switcher.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/settings_view.h"
#include "views/shell/top_bar.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_model.h"
#include "views/space/space_view.h"

namespace nimbrel {
namespace {

class MainWindowTest : public ShellFixture {};

TEST_F(MainWindowTest, ReopeningBuildsAFreshRootView) {
    NimbrelCommands commands(*state_, {});
    MainWindow window(*state_, commands);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Nimbrel"));
    EXPECT_EQ(window.minimumSize(), QSize(860, 620));
    EXPECT_EQ(window.size(), QSize(1240, 800));
    EXPECT_EQ(AppearanceOf::widget(&window), Appearance::dark);
    EXPECT_TRUE(window.actions().contains(commands.scanHome()));
    EXPECT_TRUE(window.actions().contains(commands.areaActions()[1]));

    window.bringForward();
    QPointer<RootView> first = window.rootView();
    state_->setSection(SidebarItem::old);
    window.bringForward();
    EXPECT_EQ(window.rootView(), first.data()) << "an open window keeps its content";

    QSignalSpy rebuilt(&window, &MainWindow::rootViewCreated);
    window.close();
    window.bringForward();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(window.rootView(), nullptr);
    EXPECT_EQ(rebuilt.count(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.rootView()->detailSection(), SidebarItem::old) << "the state still says which section";
}

TEST(MainWindowSize, TheFirstSizeFitsTheScreensFreeArea) {
    const QSize main(MainWindow::kDefaultWidth, MainWindow::kDefaultHeight);
    const QSize mainLeast(MainWindow::kMinWidth, MainWindow::kMinHeight);
    const QSize settings(SettingsView::kWidth, SettingsView::kHeight);
    const QSize settingsLeast(SettingsView::kWidth, SettingsView::kMinHeight);
    constexpr int fw = MainWindow::kFrameAllowanceWidth, fh = MainWindow::kFrameAllowanceHeight;
    struct Case {
        QRect area;  // the screen's free area
        QSize wanted, least;
        QSize expected;
    } cases[] = {
        {{0, 0, 2560, 1400}, main, mainLeast, main},
        // 1920x1080 at 1.5 with a panel: the selection bar at the bottom must be on the screen.
        {{0, 32, 1280, 720 - 32}, main, mainLeast, {main.width(), 720 - 32 - fh}},
        {{0, 0, 1024, 768}, main, mainLeast, {1024 - fw, 768 - fh}},
        {{0, 0, 1366, 768}, main, mainLeast, {main.width(), 768 - fh}},
        {{0, 0, 800, 600}, main, mainLeast, mainLeast},  // never below the minimum
        // Settings keeps its width and grows no taller than the free area (its content scrolls).
        {{0, 0, 1440, 900}, settings, settingsLeast, settings},
        {{0, 0, 1280, 720}, settings, settingsLeast, {settings.width(), 720 - fh}},
        {{0, 27, 1366, 768 - 27 - 40}, settings, settingsLeast, {settings.width(), 768 - 27 - 40 - fh}},
        {{0, 0, 1024, 400}, settings, settingsLeast, settingsLeast},
    };
    for (const Case& c : cases) {
        const QRect first = MainWindow::firstGeometry(c.area, c.wanted, c.least);
        EXPECT_EQ(first.size(), c.expected) << c.area.width() << "x" << c.area.height();
        // The frame lies inside the area wherever the window fits it.
        const QRect frame(first.topLeft(), first.size() + QSize(fw, fh));
        if (frame.height() <= c.area.height() && frame.width() <= c.area.width()) {
            EXPECT_TRUE(c.area.contains(frame)) << c.area.width() << "x" << c.area.height();
        }
        EXPECT_GE(first.top(), c.area.top());
    }
}

TEST_F(MainWindowTest, EveryCommandIsInAVisibleMenuWithItsShortcut) {
    Chrome::install();
    NimbrelCommands commands(*state_, {});
    MainWindow window(*state_, commands);
    window.bringForward();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.menuBar()->isVisible());
    QList<QAction*> inMenus;
    for (QAction* title : window.menuBar()->actions())
        if (title->menu()) inMenus += title->menu()->actions();
    for (QAction* command : commands.allActions())
        EXPECT_TRUE(inMenus.contains(command)) << command->text().toStdString();
    // The Go menu's section entries have no shortcut, so the menu is their only way in; no two
    // entries of a menu read the same.
    EXPECT_EQ(commands.sectionActions().size(), 3u);
    for (QAction* title : window.menuBar()->actions()) {
        QStringList texts;
        for (QAction* a : title->menu()->actions())
            if (!a->isSeparator()) texts << a->text();
        EXPECT_EQ(texts.removeDuplicates(), 0) << texts.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(QKeySequence::mnemonic(title->text()).isEmpty())
            << "Alt opens " << title->text().toStdString();
    }
    // The menus are drawn in the dark theme, and show the shortcuts beside the titles.
    QMenu* go = window.menuBar()->actions().last()->menu();
    go->ensurePolished();
    EXPECT_FALSE(go->styleSheet().isEmpty());
    EXPECT_LT(go->palette().color(QPalette::Window).lightness(), 60);
    EXPECT_FALSE(commands.areaActions()[0]->shortcut().isEmpty());
}

// Tab goes round each area in reading order: the top bar left to right, the header's tabs, the
// toolbar, the rows from the top (however the list built them), then the selection bar. Every stop
// is on screen and shows its focus whole; nothing takes the focus without showing it. The review
// goes round its own controls: the acknowledgement and the rows, then Cancel, Forever and the Trash.
TEST_F(MainWindowTest, TabGoesRoundEachAreaInReadingOrder) {
    InstantAnimations instant;
    state_->setResult(Demo::scanResult(0));
    state_->cleanup().loadDemo();
    NimbrelCommands commands(*state_, {});
    MainWindow window(*state_, commands);
    window.resize(1240, 700);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto& files = state_->result()->files();
    state_->queue().add(ExplorerEntry::fromFile(files.back()).cleanItem());
    TopBar* top = window.rootView()->topBar();
    auto* bar = qobject_cast<SelectionBar*>(window.rootView()->selectionBar());
    ASSERT_NE(bar, nullptr);
    const std::vector<QWidget*> topBar = {
        top->areaSwitcher()->pill(Area::space), top->areaSwitcher()->pill(Area::files),
        top->areaSwitcher()->pill(Area::steam), top->scanButton(), top->settingsButton()};
    const auto at = [](const std::vector<QWidget*>& stops, QWidget* w) {
        return std::find(stops.begin(), stops.end(), w) - stops.begin();
    };
    // Scrolled halfway, Tab from the control before the list lands on the first row that shows and Shift+Tab
    // from the selection bar on the last one, not on rows the list keeps built out of sight.
    const auto entersWhatShows = [&](auto* shelves) {
        FadingScroll* scroll = shelves->body()->scroll();
        QScrollBar* scrollBar = scroll->verticalScrollBar();
        ASSERT_GT(scrollBar->maximum(), 0);
        scrollBar->setValue(scrollBar->maximum() / 2);
        settle();
        std::vector<QWidget*> shown;
        LazyRows* rows = shelves->shelfCard()->rows();
        for (int i = 0; i < rows->count(); ++i)
            if (auto* row = qobject_cast<ItemRow*>(rows->rowWidget(i));
                row && scroll->viewport()->rect().contains(QRect(
                           row->check()->mapTo(scroll->viewport(), QPoint(0, 0)), row->check()->size())))
                shown.push_back(row->check());
        ASSERT_FALSE(shown.empty());
        const std::vector<QWidget*> stops = FocusOrder::stops(&window);
        const auto into = std::find_if(stops.begin(), stops.end(),
                                       [&](QWidget* w) { return scroll->widget()->isAncestorOf(w); });
        ASSERT_NE(into, stops.begin());
        QWidget* before = *(into - 1);
        before->setFocus(Qt::TabFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), shown.front());
        scrollBar->setValue(scrollBar->maximum() / 2);
        settle();
        bar->clearButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(bar->clearButton(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), shown.back());
        scrollBar->setValue(0);
        settle();
    };

    for (SidebarItem section : kAllSidebarItems) {
        state_->setSection(section);
        settle();
        if (section == SidebarItem::cleanup) {
            window.findChild<SteamView*>()->toggle("caches");
            settle();
        }
        if (section == SidebarItem::old) entersWhatShows(window.findChild<ForgottenShelves*>());
        if (section == SidebarItem::largest) {
            auto* shelves = window.findChild<BiggestShelves*>();
            ASSERT_NE(shelves, nullptr);
            entersWhatShows(shelves);
            // Rows built out of their order: scrolled to the end, then back to the top.
            QScrollBar* scroll = shelves->body()->scroll()->verticalScrollBar();
            scroll->setValue(scroll->maximum());
            settle();
            scroll->setValue(0);
        }
        settle();
        const std::vector<QWidget*> stops =
            testing::walkTab(&window, &window, window.rootView(), rawValue(section));
        ASSERT_GE(stops.size(), topBar.size() + 2) << rawValue(section);
        EXPECT_EQ(std::vector<QWidget*>(stops.begin(), stops.begin() + long(topBar.size())), topBar)
            << rawValue(section);
        EXPECT_EQ(std::vector<QWidget*>(stops.end() - 2, stops.end()),
                  (std::vector<QWidget*>{bar->clearButton(), bar->reviewButton()}))
            << rawValue(section);
        if (section == SidebarItem::overview) {
            LayoutSwitch* layouts = window.findChild<SpaceView*>()->toolbar()->layoutSwitch();
            EXPECT_LT(at(stops, layouts->segment(0)), long(stops.size()));
            EXPECT_EQ(at(stops, layouts->segment(1)), at(stops, layouts->segment(0)) + 1);
        }
        if (section == SidebarItem::cleanup) {
            // An open location's contents are one stop; Space ticks the entry the arrows are on.
            auto* contents = window.findChild<JunkContentsList*>();
            ASSERT_NE(contents, nullptr);
            EXPECT_LT(at(stops, contents), long(stops.size()));
            contents->setFocus(Qt::TabFocusReason);
            QTest::keyClick(contents, Qt::Key_Down);
            QTest::keyClick(contents, Qt::Key_Space);
            const std::string second = Demo::cacheContents()[1].path;
            EXPECT_TRUE(state_->queue().contains(second));
            QTest::keyClick(contents, Qt::Key_Space);
            EXPECT_FALSE(state_->queue().contains(second));
        }
        auto* tabs = window.rootView()->findChild<AreaTabs*>();
        if (section == SidebarItem::largest || section == SidebarItem::old ||
            section == SidebarItem::duplicates) {
            ASSERT_NE(tabs, nullptr);
            for (size_t i = 0; i < tabs->items().size(); ++i)
                EXPECT_EQ(at(stops, tabs->tab(tabs->items()[i])), long(topBar.size() + i))
                    << rawValue(section);
        }
        if (section == SidebarItem::largest) {
            // The first row's tick follows the last kind chip.
            auto* shelves = window.findChild<BiggestShelves*>();
            auto* first = qobject_cast<ItemRow*>(shelves->shelfCard()->rows()->rowWidget(0));
            ASSERT_NE(first, nullptr);
            const auto chips = shelves->findChildren<Chip*>();
            ASSERT_FALSE(chips.empty());
            EXPECT_EQ(at(stops, first->check()), at(stops, chips.back()) + 1);
            EXPECT_EQ(at(stops, first->check()) + 1,
                      at(stops, qobject_cast<ItemRow*>(shelves->shelfCard()->rows()->rowWidget(1))->check()));
            // A tab pressed from the keyboard: the keyboard stays on it in the new section's header.
            tabs->tab(SidebarItem::old)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(tabs->tab(SidebarItem::old), Qt::Key_Return);
            settle();
            ASSERT_EQ(state_->section(), SidebarItem::old);
            auto* shown = window.findChild<ForgottenShelves*>()->findChild<AreaTabs*>();
            EXPECT_EQ(QApplication::focusWidget(), shown->tab(SidebarItem::old));
        }
    }

    // The review, with an item whose loss needs acknowledging.
    state_->queue().add(testItem(std::string(kHome) + "/Work/server.pem", 4000));
    state_->nimbrelise();
    settle();
    auto* host = qobject_cast<ModalHost*>(window.rootView()->modalHost());
    auto* sheet = host ? qobject_cast<ReviewSheet*>(host->card()) : nullptr;
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(sheet->acknowledgementCheck(), nullptr);
    // The removal buttons wait for the acknowledgement; once given, they come last.
    for (const bool acknowledged : {false, true}) {
        sheet->setAcknowledged(acknowledged);
        settle();
        const std::vector<QWidget*> stops = testing::walkTab(&window, sheet, sheet, "review");
        std::vector<QWidget*> last{sheet->cancelButton()};
        if (acknowledged) last.insert(last.end(), {sheet->foreverButton(), sheet->trashButton()});
        ASSERT_GE(stops.size(), last.size() + 2);
        EXPECT_EQ(stops.front(), sheet->acknowledgementCheck());
        EXPECT_EQ(std::vector<QWidget*>(stops.end() - long(last.size()), stops.end()), last);
    }
    state_->setIsReviewing(false);
}

}  // namespace
}  // namespace nimbrel
