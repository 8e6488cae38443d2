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
    struct Case {
        QSize available;
        QSize expected;
    } cases[] = {
        {{2560, 1400}, {MainWindow::kDefaultWidth, MainWindow::kDefaultHeight}},
        // 1920x1080 at 1.5 with a panel: the selection bar at the bottom must be on the screen.
        {{1280, 720 - 32}, {MainWindow::kDefaultWidth, 720 - 32 - MainWindow::kFrameAllowanceHeight}},
        {{1024, 768}, {1024 - MainWindow::kFrameAllowanceWidth, 768 - MainWindow::kFrameAllowanceHeight}},
        {{1366, 768}, {MainWindow::kDefaultWidth, 768 - MainWindow::kFrameAllowanceHeight}},
        {{800, 600}, {MainWindow::kMinWidth, MainWindow::kMinHeight}},  // never below the minimum
    };
    for (const Case& c : cases)
        EXPECT_EQ(MainWindow::firstSize(c.available), c.expected)
            << c.available.width() << "x" << c.available.height();
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
