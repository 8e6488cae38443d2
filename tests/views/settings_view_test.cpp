#include "views/shell/settings_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "engine/host_layout.h"
#include "focus_walk.h"
#include "model/prefs.h"
#include "shell_state_support.h"
#include "support/motion_scopes.h"
#include "theme/animated_value.h"
#include "theme/chip.h"
#include "theme/nimbrel_button.h"
#include "theme/pill_picker.h"
#include "views/shell/excluded_paths.h"

namespace nimbrel {
namespace {

struct SettingsFixture {
    InstantAnimations instant;
    testing::ShellState shell;
    AppState& state = *shell.state;
    std::vector<std::optional<QStringList>> answers;  // what the folder dialog answers, in turn
    int dialogs = 0;
    int privacyOpened = 0;
    std::vector<QUrl> opened;
    bool tray = true;  // whether the desktop has a system tray
    std::unique_ptr<SettingsView> view;

    explicit SettingsFixture(bool fullDiskAccess = false) {
        SettingsView::Services s;
        s.chooseFolders = [this]() -> std::optional<QStringList> {
            return dialogs < int(answers.size()) ? answers[size_t(dialogs++)] : std::nullopt;
        };
        s.openFullDiskAccessSettings = [this] { ++privacyOpened; };
        s.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        s.showsFullDiskAccess = fullDiskAccess;
        s.home = [] { return std::string("/home/u"); };
        s.trayAvailable = [this] { return tray; };
        view = std::make_unique<SettingsView>(state, std::move(s));
    }

    QString storedExclusions() const { return Prefs::value(Prefs::kExcludedPaths).toString(); }
    void add(const QStringList& folders) {
        answers.push_back(folders);
        view->addExcluded();
    }
};

TEST(SettingsViewTest, AFreshInstallShowsTheDefaults) {
    SettingsFixture f;
    EXPECT_EQ(f.view->sizePicker()->selection().toLongLong(), 1000000);
    EXPECT_TRUE(f.view->packagesSwitch()->isOn());
    EXPECT_FALSE(f.view->hiddenSwitch()->isOn());
    EXPECT_TRUE(f.view->menuBarSwitch()->isOn());
    EXPECT_TRUE(f.view->showsEmptyExclusions());
    EXPECT_EQ(f.view->size(), QSize(SettingsView::kWidth, SettingsView::kHeight));
}

TEST(SettingsViewTest, EditsReachThePreferencesAndTheNextScan) {
    SettingsFixture f;
    QStringList changed;
    QObject::connect(f.view.get(), &SettingsView::preferenceChanged,
                     [&](const QString& key) { changed << key; });

    const auto options = f.view->sizePicker()->findChildren<PillOptionButton*>();
    const auto tenMB = std::find_if(options.begin(), options.end(),
                                    [](auto* o) { return o->option().value.toLongLong() == 10000000; });
    ASSERT_NE(tenMB, options.end());
    QTest::mouseClick(*tenMB, Qt::LeftButton);
    QTest::mouseClick(f.view->packagesSwitch(), Qt::LeftButton);
    QTest::mouseClick(f.view->hiddenSwitch(), Qt::LeftButton);
    QTest::mouseClick(f.view->menuBarSwitch(), Qt::LeftButton);
    f.add({QStringLiteral("/home/u/Movies/"), QStringLiteral("/home/u/./Music")});

    EXPECT_EQ(Prefs::value(Prefs::kMinTrackedSize).toLongLong(), 10000000);
    EXPECT_FALSE(Prefs::value(Prefs::kTreatPackagesAsFiles).toBool());
    EXPECT_TRUE(Prefs::value(Prefs::kSkipHiddenFiles).toBool());
    EXPECT_FALSE(Prefs::value(Prefs::kShowMenuBarExtra).toBool());
    EXPECT_EQ(f.view->sizePicker()->selection().toLongLong(), 10000000);
    EXPECT_FALSE(f.view->menuBarSwitch()->isOn());
    EXPECT_EQ(changed,
              (QStringList{Prefs::kMinTrackedSize, Prefs::kTreatPackagesAsFiles, Prefs::kSkipHiddenFiles,
                           Prefs::kShowMenuBarExtra, Prefs::kExcludedPaths}));

    f.state.scan("/home/u");
    f.shell.settle();
    const std::optional<ScanOptions> used = f.shell.options();
    ASSERT_TRUE(used);
    EXPECT_EQ(used->minTrackedSize, 10000000);
    EXPECT_FALSE(used->treatPackagesAsFiles);
    EXPECT_TRUE(used->skipHidden);
    EXPECT_EQ(used->excludedPaths, (std::vector<std::string>{"/home/u/Movies", "/home/u/Music"}));
}

TEST(SettingsViewTest, TheExcludedListRoundTripsNewlineJoined) {
    SettingsFixture f;
    // Cancelling the dialog changes nothing.
    f.answers.push_back(std::nullopt);
    f.view->addExcluded();
    EXPECT_EQ(f.storedExclusions(), QString());

    f.add({QStringLiteral("/srv/b"), QStringLiteral("/srv/a")});
    EXPECT_EQ(f.storedExclusions(), QStringLiteral("/srv/a\n/srv/b"));
    f.add({QStringLiteral("/srv/a")});  // already listed: still once
    EXPECT_EQ(f.storedExclusions(), QStringLiteral("/srv/a\n/srv/b"));
    f.add({QStringLiteral("/srv/c"), QStringLiteral("/Data"), QStringLiteral("/srv/B")});
    EXPECT_EQ(f.storedExclusions(), QStringLiteral("/Data\n/srv/B\n/srv/a\n/srv/b\n/srv/c"));
    EXPECT_EQ(f.view->listedExclusions(), (QStringList{"/Data", "/srv/B", "/srv/a", "/srv/b", "/srv/c"}));

    // A remove keeps the others in their stored order, blank lines and all stray newlines dropped.
    Prefs::setValue(Prefs::kExcludedPaths, QStringLiteral("\n/z\n\n/a \n/z\n/m\n"));
    f.view->reload();
    EXPECT_EQ(f.view->listedExclusions(), (QStringList{"/z", "/a ", "/z", "/m"}));
    f.view->removeExcluded(QStringLiteral("/z"));
    EXPECT_EQ(f.storedExclusions(), QStringLiteral("/a \n/m"));
    f.view->removeExcluded(QStringLiteral("/a "));
    f.view->removeExcluded(QStringLiteral("/m"));
    EXPECT_EQ(f.storedExclusions(), QString());
    EXPECT_TRUE(f.view->showsEmptyExclusions());
}

TEST(SettingsViewTest, ExcludedPathsAddSortedByCodeAndRemoveInPlace) {
    struct Row {
        QString raw;
        QStringList chosen;
        QString expected;
    };
    const Row rows[] = {
        {QString(), {"/b", "/a"}, "/a\n/b"},
        {"/b\n/a", {"/a"}, "/a\n/b"},
        {"/x\n\n", {"/Y", "/x", "/y"}, "/Y\n/x\n/y"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ExcludedPaths::adding(row.raw, row.chosen), row.expected) << row.raw.toStdString();
    EXPECT_EQ(ExcludedPaths::removing("/c\n/a\n/b\n/a", "/a"), QStringLiteral("/c\n/b"));
    EXPECT_EQ(ExcludedPaths::removing("/only", "/only"), QString());
}

TEST(SettingsViewTest, FullDiskAccessRowOnlyWhereThePermissionExists) {
    {
        // Without the permission, the row tells what the last scan could not read, while it could not.
        SettingsFixture f(false);
        EXPECT_EQ(f.view->accessTitle(), QString());
        EXPECT_EQ(f.view->privacyButton(), nullptr);
        f.state.setUnreadable({3, {"/home/u/locked", "/srv/<b>x</b>"}});
        EXPECT_EQ(f.view->accessTitle(), QStringLiteral("3 folders could not be read"));
        const QString help = f.view->accessRow()->toolTip();
        EXPECT_TRUE(help.contains(QStringLiteral("~/locked"))) << help.toStdString();
        EXPECT_FALSE(help.contains(QStringLiteral("<b>"))) << "a name is shown as text";
        f.state.setUnreadable({});
        EXPECT_EQ(f.view->accessTitle(), QString());
    }
    SettingsFixture f(true);
    f.state.setHasFullDiskAccess(false);
    EXPECT_EQ(f.view->accessTitle(), QStringLiteral("Full Disk Access needed"));
    QTest::mouseClick(f.view->privacyButton(), Qt::LeftButton);
    f.state.setHasFullDiskAccess(true);
    EXPECT_EQ(f.view->accessTitle(), QStringLiteral("Full Disk Access granted"));
    QTest::mouseClick(f.view->privacyButton(), Qt::LeftButton);
    EXPECT_EQ(f.privacyOpened, 2);
}

TEST(SettingsViewTest, WithoutATrayTheMenuBarSwitchSaysSoAndKeepsItsPreference) {
    SettingsFixture f;
    EXPECT_TRUE(f.view->menuBarSwitch()->isEnabled());
    EXPECT_EQ(f.view->menuBarNote(), QString());
    for (bool stored : {true, false}) {
        Prefs::setValue(QString::fromLatin1(Prefs::kShowMenuBarExtra), stored);
        f.tray = false;
        f.view->reload();
        EXPECT_FALSE(f.view->menuBarSwitch()->isEnabled());
        EXPECT_TRUE(f.view->menuBarNote().contains(QStringLiteral("no system tray")));
        EXPECT_EQ(f.view->menuBarSwitch()->isOn(), stored);
        QTest::mouseClick(f.view->menuBarSwitch(), Qt::LeftButton);
        EXPECT_EQ(Prefs::value(Prefs::kShowMenuBarExtra).toBool(), stored) << "the stored choice stays";
        // A tray that appears later gives the switch back at once.
        f.tray = true;
        f.view->followTray();
        EXPECT_TRUE(f.view->menuBarSwitch()->isEnabled());
        EXPECT_EQ(f.view->menuBarNote(), QString());
    }
}

TEST(SettingsViewTest, AWheelScrollRepaintsTheBackdropUnderTheCards) {
    SettingsFixture f;
    f.view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.view.get()));
    for (int step = 0; step < 4; ++step) {
        QWheelEvent wheel(QPointF(200, 300), f.view->mapToGlobal(QPointF(200, 300)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(f.view->scrollArea()->viewport(), &wheel);
        QCoreApplication::processEvents();
    }
    ASSERT_GT(f.view->scrollArea()->verticalScrollBar()->value(), 0);
    // What the window holds after the scrolls is what a fresh paint draws: no earlier frame stays.
    const QImage onScreen = f.view->screen()->grabWindow(f.view->winId()).toImage();
    const QImage fresh = f.view->grab().toImage();
    EXPECT_EQ(onScreen.convertToFormat(QImage::Format_RGB32), fresh.convertToFormat(QImage::Format_RGB32));
}

// Tab goes round every control in reading order, each showing its focus whole (the switches at the
// card's right edge, the Add in a card's header), and Escape closes the window from the view or a control.
TEST(SettingsViewTest, TabGoesRoundTheControlsAndEscapeCloses) {
    for (bool fromControl : {false, true}) {
        SettingsFixture f(true);
        f.add({QStringLiteral("/home/u/Movies")});
        QWidget window;
        window.resize(SettingsView::kWidth, SettingsView::kHeight);
        f.view->setParent(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        if (!fromControl) {
            const auto stops = testing::walkTab(&window, f.view.get(), f.view.get(), "settings");
            long last = -1;
            for (QWidget* control : std::initializer_list<QWidget*>{
                     f.view->packagesSwitch(), f.view->hiddenSwitch(), f.view->addButton(),
                     f.view->menuBarSwitch(), f.view->privacyButton()}) {
                const long at = std::find(stops.begin(), stops.end(), control) - stops.begin();
                EXPECT_GT(at, last) << control->metaObject()->className();
                last = at;
            }
            EXPECT_LT(last, long(stops.size()));
            // Then each credit's link, which Return opens.
            for (const SettingsView::Credit& c : SettingsView::credits()) {
                if (c.url.isEmpty()) continue;
                const auto link = std::find_if(stops.begin(), stops.end(),
                                               [&](QWidget* w) { return w->accessibleName() == c.work; });
                ASSERT_NE(link, stops.end()) << c.work.toStdString();
                EXPECT_GT(link - stops.begin(), last);
                last = link - stops.begin();
                QTest::keyClick(*link, Qt::Key_Return);
                ASSERT_FALSE(f.opened.empty());
                EXPECT_EQ(f.opened.back(), c.url);
            }
        }
        QWidget* focus = fromControl ? static_cast<QWidget*>(f.view->hiddenSwitch()) : f.view.get();
        focus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible()) << fromControl;
        f.view->setParent(nullptr);
    }
}

TEST(SettingsViewTest, TextsNameTheHostsOwnPlaces) {
    const HostLayout mac = HostLayout::macOS("/Users/u"), linux = HostLayout::linux("/home/u");
    EXPECT_EQ(SettingsView::menuBarTitle(mac), QStringLiteral("Free space in the menu bar"));
    EXPECT_EQ(SettingsView::menuBarTitle(linux), QStringLiteral("Free space in the system tray"));
    EXPECT_EQ(SettingsView::packagesDetail(mac), QStringLiteral(".app, .photoslibrary, frameworks…"));
    // Off the Mac such folders are only named like a Mac's: the texts say so, not "apps".
    EXPECT_EQ(SettingsView::packagesTitle(mac), QStringLiteral("Treat apps & bundles as one file"));
    EXPECT_EQ(SettingsView::packagesTitle(linux), QStringLiteral("Treat Mac packages as one file"));
    EXPECT_TRUE(SettingsView::packagesDetail(linux).contains(QStringLiteral("copied from a Mac")));
}

}  // namespace
}  // namespace nimbrel
