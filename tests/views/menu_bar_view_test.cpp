#include "views/shell/menu_bar_view.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "model/prefs.h"
#include "shell_state_support.h"
#include "test_volumes.h"
#include "theme/animated_value.h"
#include "theme/menu_row.h"
#include "views/shell/menu_bar_extra.h"
#include "views/shell/scan_menu.h"

namespace nimbrel {
namespace {

VolumeInfo volume(const std::string& name, int64_t total, int64_t available) {
    return testVolume("/media/" + name, name, total, available, false);
}

struct PanelFixture {
    testing::ShellState shell;
    AppState& state = *shell.state;
    int opened = 0;
    int quits = 0;
    MenuBarView view{state, MenuBarView::Actions{[this] { ++opened; }, [this] { ++quits; }}};
};

TEST(MenuBarViewTest, FiguresFollowTheState) {
    PanelFixture f;
    EXPECT_TRUE(f.view.volumeRows().empty());  // before the first listing
    EXPECT_EQ(f.view.freedText(), QString());
    EXPECT_EQ(f.view.scanningText(), QString());
    EXPECT_EQ(f.view.actionRows().size(), 4u);

    f.state.setVolumes({volume("Computer", 1000000000, 250000000), volume("Backup", 0, 0), volume("C", 10, 5),
                        volume("D", 10, 5), volume("E", 10, 5)});
    const auto rows = f.view.volumeRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, QStringLiteral("Computer"));
    EXPECT_EQ(rows[0].freeText, QStringLiteral("250 MB free"));
    EXPECT_DOUBLE_EQ(rows[0].usedFraction, 0.75);
    EXPECT_DOUBLE_EQ(rows[1].usedFraction, 0.0);  // a total below one byte shows an empty gauge
    EXPECT_EQ(rows[2].name, QStringLiteral("C"));

    f.state.setSessionFreed(1500000);
    EXPECT_EQ(f.view.freedText(), QStringLiteral("1.5 MB"));

    f.state.setScanTarget(std::string("/home/u/Projects"));
    f.state.setIsScanning(true);
    ScanProgress progress;
    progress.filesScanned = 12345;
    f.state.setProgress(progress);
    EXPECT_EQ(f.view.scanningText(), QStringLiteral("Reading Projects · 12,345 files"));
    f.state.setScanTarget(std::nullopt);
    EXPECT_EQ(f.view.scanningText(), QStringLiteral("Reading your disk · 12,345 files"));
    f.state.setIsScanning(false);
    EXPECT_EQ(f.view.scanningText(), QString());
}

TEST(MenuBarViewTest, ActionsOpenTheWindowWhereTheyShould) {
    PanelFixture f;
    QTest::mouseClick(f.view.actionRows()[2], Qt::LeftButton);  // Deep Clean…
    EXPECT_EQ(f.state.section(), SidebarItem::cleanup);
    EXPECT_EQ(f.opened, 1);

    QTest::mouseClick(f.view.actionRows()[1], Qt::LeftButton);  // Scan Home Folder
    EXPECT_EQ(f.state.scanTarget(), std::optional<std::string>("/home/u"));
    EXPECT_EQ(f.opened, 2);
    f.shell.settle();

    QTest::mouseClick(f.view.actionRows()[0], Qt::LeftButton);
    EXPECT_EQ(f.opened, 3);
    QTest::mouseClick(f.view.actionRows()[3], Qt::LeftButton);
    EXPECT_EQ(f.quits, 1);
}

TEST(MenuBarViewTest, OpeningThePanelListsVolumesExceptInDemoMode) {
    for (bool demo : {false, true}) {
        PanelFixture f;
        f.shell.demo = demo;
        f.view.show();
        f.shell.settle();
        EXPECT_EQ(f.shell.volumeListings, demo ? 0 : 1) << demo;
    }
}

// A disk mounted while the app runs shows in the panel and the Scan menu with the next periodic
// listing, no scan needed.
TEST(MenuBarViewTest, TheVolumeLoopReachesThePanelAndTheScanMenu) {
    PanelFixture f;
    ScanMenu menu(f.state, [] {});
    auto shown = [&] {
        std::vector<QString> names;
        for (const auto& row : f.view.volumeRows())
            names.push_back(row.name);
        for (const ScanMenuLine& line : menu.lines())
            if (line.symbol == "externaldrive") names.push_back(QStringLiteral("menu:") + line.title);
        return names;
    };
    f.shell.setVolumes({testVolume("/", "Computer", 1000, 400, true)});
    f.state.onLaunch();
    f.shell.settle();
    EXPECT_EQ(shown(), std::vector<QString>{"Computer"});

    f.shell.setVolumes({testVolume("/", "Computer", 1000, 400, true), volume("Stick", 100, 50)});
    f.shell.clock.advance(std::chrono::seconds(30));
    f.shell.settle();
    EXPECT_EQ(shown(), (std::vector<QString>{"Computer", "Stick", "menu:Stick"}));
}

TEST(MenuBarExtraTest, ShownOnlyWithThePreferenceAndATray) {
    testing::ShellState shell;
    struct Row {
        bool preference;
        bool tray;
        bool inserted;
    };
    const Row rows[] = {
        {true, true, true}, {false, true, false}, {true, false, false}, {false, false, false}};
    for (const Row& row : rows) {
        MenuBarExtra::setTrayAvailableForTesting([&] { return row.tray; });
        Prefs::setValue(Prefs::kShowMenuBarExtra, row.preference);
        MenuBarExtra extra(*shell.state, {});
        EXPECT_EQ(extra.isInserted(), row.inserted);
        // Flipping the preference takes effect at the next sync.
        Prefs::setValue(Prefs::kShowMenuBarExtra, !row.preference);
        extra.sync();
        EXPECT_EQ(extra.isInserted(), !row.preference && row.tray);
    }
    MenuBarExtra::setTrayAvailableForTesting(nullptr);
}

TEST(MenuBarExtraTest, ATrayThatComesLaterGetsTheIconAndOneThatGoesTakesIt) {
    testing::ShellState shell;
    std::atomic<bool> tray = false;
    MenuBarExtra::setTrayAvailableForTesting([&] { return tray.load(); });
    Prefs::setValue(Prefs::kShowMenuBarExtra, true);
    MenuBarExtra extra(*shell.state, {});
    QSignalSpy inserted(&extra, &MenuBarExtra::insertedChanged);
    QSignalSpy lost(&extra, &MenuBarExtra::trayLost);
    EXPECT_FALSE(extra.isInserted());
    ASSERT_TRUE(extra.trayWatch()->isActive());
    EXPECT_EQ(extra.trayWatch()->timerType(), Qt::PreciseTimer);
    extra.trayWatch()->setInterval(5);

    // Nothing changes without being asked: the watch asks on its own.
    tray = true;
    EXPECT_TRUE(waitOn(&extra, &MenuBarExtra::insertedChanged, [&] { return extra.isInserted(); }));
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(lost.count(), 0);

    tray = false;
    EXPECT_TRUE(waitOn(&extra, &MenuBarExtra::insertedChanged, [&] { return !extra.isInserted(); }));
    EXPECT_EQ(lost.count(), 1) << "the app must hear that the icon is gone";

    // Turning the preference off is no loss of the tray.
    tray = true;
    EXPECT_TRUE(waitOn(&extra, &MenuBarExtra::insertedChanged, [&] { return extra.isInserted(); }));
    Prefs::setValue(Prefs::kShowMenuBarExtra, false);
    extra.sync();
    EXPECT_FALSE(extra.isInserted());
    EXPECT_EQ(lost.count(), 1);
    Prefs::setValue(Prefs::kShowMenuBarExtra, true);
    MenuBarExtra::setTrayAvailableForTesting(nullptr);
}

}  // namespace
}  // namespace nimbrel
