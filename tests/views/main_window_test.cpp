#include "views/shell/main_window.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>

#include "shell_fixture.h"
#include "theme/appearance.h"
#include "theme/chrome.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/settings_view.h"

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
    }
    // The menus are drawn in the dark theme, and show the shortcuts beside the titles.
    QMenu* go = window.menuBar()->actions().last()->menu();
    go->ensurePolished();
    EXPECT_FALSE(go->styleSheet().isEmpty());
    EXPECT_LT(go->palette().color(QPalette::Window).lightness(), 60);
    EXPECT_FALSE(commands.areaActions()[0]->shortcut().isEmpty());
}

}  // namespace
}  // namespace nimbrel
