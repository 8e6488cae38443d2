#include "views/shell/top_bar.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "shell_fixture.h"
#include "theme/icon_button.h"
#include "theme/menu_row.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "tool_tip_text.h"
#include "views/kit/elided_label.h"
#include "views/shell/area_switcher.h"
#include "views/shell/free_space_chip.h"

namespace nimbrel {
namespace {

class TopBarTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ReduceMotion::setOverride(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        bar_ = std::make_unique<TopBar>(*state_);
        bar_->resize(1240, 52);
        bar_->show();
    }
    void TearDown() override {
        bar_.reset();
        ReduceMotion::setOverride(std::nullopt);
        QLocale::setDefault(QLocale::system());
        ShellFixture::TearDown();
    }
    bool shown(QWidget* w) { return w->isVisibleTo(bar_.get()); }

    std::unique_ptr<TopBar> bar_;
};

TEST_F(TopBarTest, ScanControlsFollowTheState) {
    EXPECT_TRUE(shown(bar_->scanButton()));
    EXPECT_FALSE(shown(bar_->rescanButton())) << "no Rescan before the first scan";
    EXPECT_FALSE(shown(bar_->stopButton()));

    state_->scan("/srv/<b>bold");
    EXPECT_FALSE(shown(bar_->scanButton()));
    EXPECT_TRUE(shown(bar_->stopButton()));
    EXPECT_EQ(bar_->progressText(), QStringLiteral("Reading <b>bold · 0"));
    EXPECT_EQ(bar_->progressHelp(), QStringLiteral("Reading <b>bold · 0 files"));

    bar_->resize(1100, 52);  // full only from 1240 while scanning
    EXPECT_EQ(bar_->progressText(), QStringLiteral("0 files"));
    EXPECT_TRUE(bar_->freeSpaceChip()->isCompact());

    QTest::mouseClick(bar_->stopButton(), Qt::LeftButton);
    EXPECT_FALSE(state_->isScanning());
    EXPECT_TRUE(shown(bar_->scanButton()));
    EXPECT_TRUE(shown(bar_->rescanButton()));
    EXPECT_FALSE(bar_->freeSpaceChip()->isCompact()) << "1100 is full while idle";
    EXPECT_EQ(shownByToolTip(bar_->rescanButton()->toolTip()).toStdString(),
              QStringLiteral("Rescan <b>bold (%1)")
                  .arg(QKeySequence(Qt::CTRL | Qt::Key_R).toString(QKeySequence::NativeText))
                  .toStdString());

    QTest::mouseClick(bar_->rescanButton(), Qt::LeftButton);
    EXPECT_TRUE(state_->isScanning());
    EXPECT_EQ(state_->scanTarget(), std::string("/srv/<b>bold"));
}

TEST_F(TopBarTest, ALongNameIsCutAndNeverCoversTheSwitcher) {
    const std::string name(220, 'n');
    state_->scan("/srv/" + name);
    for (int width : {1240, 1400, 1700}) {
        bar_->resize(width, 52);
        QCoreApplication::processEvents();
        const QRect text = bar_->progressLabel()->geometry();
        const QRect switcher = bar_->areaSwitcher()->geometry();
        EXPECT_GE(text.left(), switcher.right() + TopBar::kSpacing) << width;
        EXPECT_TRUE(bar_->progressLabel()->shownText().contains(QStringLiteral("…"))) << width;
        EXPECT_TRUE(bar_->progressLabel()->shownText().endsWith(QStringLiteral(" · 0"))) << width;
        // A click on the last pill (Deep Clean) lands on the switcher.
        const QPoint deepClean(switcher.right() - 8, switcher.center().y());
        QWidget* hit = bar_->childAt(deepClean);
        ASSERT_NE(hit, nullptr) << width;
        EXPECT_TRUE(hit == bar_->areaSwitcher() || bar_->areaSwitcher()->isAncestorOf(hit)) << width;
    }
    // The switcher keeps the place it has at rest: the text gives way, not the switcher.
    for (int width : {1240, 1400}) {
        bar_->resize(width, 52);
        QCoreApplication::processEvents();
        const QRect scanning = bar_->areaSwitcher()->geometry();
        state_->cancelScan();
        QCoreApplication::processEvents();
        EXPECT_EQ(bar_->areaSwitcher()->geometry(), scanning) << width;
        state_->scan("/srv/" + name);
    }
    // A short name is shown whole.
    state_->scan("/srv/short");
    bar_->resize(1240, 52);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar_->progressLabel()->shownText(), QStringLiteral("Reading short · 0"));
    state_->cancelScan();
}

TEST_F(TopBarTest, TheLoaderBesideTheCountHoldsStillWhileTheCountRuns) {
    state_->scan("/srv/photos");
    for (int width : {1240, 1000}) {  // the long reading text and the short count
        bar_->resize(width, 52);
        std::optional<QRect> loader;
        for (int64_t files : {11'111, 48'213, 80'808, 88'888}) {
            ScanProgress progress;
            progress.filesScanned = files;
            state_->setProgress(progress);
            QCoreApplication::processEvents();
            const QWidget* shown = bar_->scanningLoader();
            if (!loader) loader = shown->geometry();
            EXPECT_EQ(shown->geometry(), *loader) << width << " " << files;
        }
    }
    state_->cancelScan();
}

TEST_F(TopBarTest, ScanButtonOpensTheMenuAndARowClosesItBeforeScanning) {
    EXPECT_FALSE(bar_->isScanMenuOpen());
    QTest::mouseClick(bar_->scanButton(), Qt::LeftButton);
    ASSERT_TRUE(bar_->isScanMenuOpen());
    ScanMenu* menu = bar_->scanMenu()->menu();
    // Opened by the mouse, no row shows a focus ring; Down puts the keyboard on the first row,
    const auto rows = menu->findChildren<MenuRow*>();
    ASSERT_GE(rows.size(), 2);
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(), [](MenuRow* r) { return r->showsFocusRing(); }));
    QTest::keyClick(bar_->scanMenu(), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), rows[0]);
    EXPECT_TRUE(rows[0]->showsFocusRing());
    QTest::keyClick(rows[0], Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), rows[1]);
    // and they stay in the menu, round its ends.
    QTest::keyClick(rows[1], Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), rows[0]);
    QTest::keyClick(rows[0], Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), rows.back());
    // A disk's free space moved: the rows are made again, the keyboard stays on its row.
    QTest::keyClick(rows.back(), Qt::Key_Up);
    state_->setVolumes({testVolume("/", "Disk", 100, 40, true)});
    const auto remade = menu->findChildren<MenuRow*>();
    ASSERT_EQ(remade.size(), rows.size());
    EXPECT_EQ(QApplication::focusWidget(), remade[remade.size() - 2]);
    const auto& lines = menu->lines();
    const auto disk =
        std::find_if(lines.begin(), lines.end(), [](const ScanMenuLine& l) { return l.target == "/"; });
    ASSERT_NE(disk, lines.end());
    menu->activate(static_cast<size_t>(disk - lines.begin()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bar_->isScanMenuOpen());
    EXPECT_EQ(state_->scanTarget(), std::string("/"));
    EXPECT_TRUE(state_->isScanning());

    // Opened from the keyboard, the keyboard starts on the first row; Escape closes it like a
    // click outside.
    state_->cancelScan();
    QTest::keyClick(bar_->scanButton(), Qt::Key_Space);
    ASSERT_TRUE(bar_->isScanMenuOpen());
    const auto keyed = bar_->scanMenu()->menu()->findChildren<MenuRow*>();
    ASSERT_FALSE(keyed.empty());
    EXPECT_TRUE(keyed[0]->showsFocusRing());
    QTest::keyClick(bar_->scanMenu(), Qt::Key_Escape);
    EXPECT_FALSE(bar_->isScanMenuOpen());

    // Starting a scan by other means closes an open menu with the idle controls.
    state_->cancelScan();
    bar_->openScanMenu();
    ASSERT_TRUE(bar_->isScanMenuOpen());
    state_->scan(kHome);
    EXPECT_FALSE(bar_->isScanMenuOpen());
}

TEST_F(TopBarTest, WidthDecidesTheMarkAndTheSwitcherLabels) {
    bar_->resize(860, 52);
    EXPECT_TRUE(bar_->layoutNow().compact);
    EXPECT_TRUE(bar_->areaSwitcher()->isCompact());
    bar_->resize(880, 52);
    EXPECT_FALSE(bar_->layoutNow().compact);
    EXPECT_FALSE(bar_->layoutNow().full);
    bar_->resize(1000, 52);
    EXPECT_TRUE(bar_->layoutNow().full);
    // The switcher never overlaps the trailing controls, even at the narrowest window.
    bar_->resize(860, 52);
    EXPECT_LT(bar_->areaSwitcher()->geometry().right(), bar_->scanButton()->geometry().left());
}

TEST_F(TopBarTest, AreaSwitcherTapsGoBackToTheLastSection) {
    AreaSwitcher* switcher = bar_->areaSwitcher();
    state_->setSection(std::nullopt);
    EXPECT_EQ(switcher->currentArea(), Area::space);
    const auto tap = [&](Area area) { QTest::mouseClick(switcher->pill(area), Qt::LeftButton); };
    tap(Area::files);
    EXPECT_EQ(state_->section(), SidebarItem::largest);
    EXPECT_EQ(switcher->currentArea(), Area::files);
    EXPECT_EQ(switcher->thumbRect(), switcher->pillRect(Area::files)) << "no slide under reduce motion";
    state_->setSection(SidebarItem::duplicates);
    tap(Area::space);
    EXPECT_EQ(state_->section(), SidebarItem::overview);
    tap(Area::files);
    EXPECT_EQ(state_->section(), SidebarItem::duplicates);
    tap(Area::steam);
    EXPECT_EQ(state_->section(), SidebarItem::cleanup);
    EXPECT_EQ(switcher->pill(Area::steam)->accessibleName(), QStringLiteral("Deep Clean"));
    EXPECT_EQ(switcher->pill(Area::files)->toolTip(),
              QStringLiteral("Files (%1)")
                  .arg(QKeySequence(Qt::CTRL | Qt::Key_2).toString(QKeySequence::NativeText)));
}

TEST_F(TopBarTest, FreeSpaceChipFollowsTheRootVolume) {
    FreeSpaceChip* chip = bar_->freeSpaceChip();
    EXPECT_FALSE(chip->isVisibleTo(bar_.get())) << "no volume listed yet";
    state_->setVolumes({testVolume("/media/usb", "Stick", 100, 10, false),
                        testVolume("/", "Computer", 1000000000000, 250000000000, true)});
    EXPECT_TRUE(chip->isVisibleTo(bar_.get()));
    EXPECT_EQ(chip->text(), QStringLiteral("250 GB free"));
    EXPECT_EQ(chip->helpText(), QStringLiteral("Computer: 250 GB free of 1 TB · 75% full"));
    EXPECT_FALSE(chip->isAlarming());

    struct Case {
        int64_t total, available, reserved;  // reserved: kept for root, as df leaves out of Use%
        double used;
        bool alarming;
    };
    const Case cases[] = {
        {0, 0, 0, 0.0, false},      {100, 200, 0, 0.0, false}, {1000, 100, 0, 0.9, false},
        {1000, 99, 0, 0.901, true}, {1000, 0, 0, 1.0, true},   {1000, 100, 50, 850.0 / 950, false},
    };
    for (const Case& c : cases) {
        VolumeInfo root = testVolume("/", "Computer", c.total, c.available, true);
        root.used -= c.reserved;
        state_->setVolumes({root});
        EXPECT_NEAR(chip->usedFraction(), c.used, 1e-9) << c.total << "/" << c.available;
        EXPECT_EQ(chip->isAlarming(), c.alarming) << c.total << "/" << c.available;
    }

    state_->setSection(SidebarItem::old);
    QTest::mouseClick(chip, Qt::LeftButton);
    EXPECT_EQ(state_->section(), SidebarItem::overview);
}

}  // namespace
}  // namespace nimbrel
