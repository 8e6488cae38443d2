#include "views/shell/nimbrel_commands.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "shell_fixture.h"
#include "views/kit/shortcuts.h"

namespace nimbrel {
namespace {

class CommandsTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        commands_ = std::make_unique<NimbrelCommands>(
            *state_, NimbrelCommands::Hooks{[this] { ++settingsOpened_; }, [this] { ++closed_; },
                                            [this] { ++quits_; }});
    }
    void TearDown() override {
        commands_.reset();
        ShellFixture::TearDown();
    }

    std::unique_ptr<NimbrelCommands> commands_;
    int settingsOpened_ = 0;
    int closed_ = 0;
    int quits_ = 0;
};

TEST_F(CommandsTest, ScanCommandsReachTheState) {
    commands_->scanHome()->trigger();
    EXPECT_EQ(state_->scanTarget(), std::string(kHome));
    EXPECT_TRUE(state_->isScanning());

    commands_->scanDisk()->trigger();
    EXPECT_EQ(state_->scanTarget(), std::string("/"));

    commands_->stopScan()->trigger();
    EXPECT_FALSE(state_->isScanning());
    commands_->stopScan()->trigger();  // nothing runs: harmless
    EXPECT_FALSE(state_->isScanning());

    commands_->rescan()->trigger();
    EXPECT_TRUE(state_->isScanning());
    EXPECT_EQ(state_->scanTarget(), std::string("/"));

    answers_->push_back(std::nullopt);  // the dialog is dismissed
    commands_->stopScan()->trigger();
    commands_->scanFolder()->trigger();
    EXPECT_FALSE(state_->isScanning());
    answers_->push_back(std::string("/srv/media"));
    commands_->scanFolder()->trigger();
    EXPECT_EQ(state_->scanTarget(), std::string("/srv/media"));
    EXPECT_TRUE(state_->isScanning());
}

TEST_F(CommandsTest, RescanBeforeAnyScanDoesNothingAndNoCommandIsDisabled) {
    QSignalSpy started(state_.get(), &AppState::isScanningChanged);
    commands_->rescan()->trigger();
    EXPECT_EQ(started.count(), 0);
    EXPECT_FALSE(state_->scanTarget());
    for (QAction* action : commands_->allActions())
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
}

TEST_F(CommandsTest, AreaEntriesReturnToTheLastSectionOfTheArea) {
    const auto& areas = commands_->areaActions();
    const auto& sections = commands_->sectionActions();
    ASSERT_EQ(areas.size(), 3u);
    ASSERT_EQ(sections.size(), 3u);

    areas[1]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::largest);  // first visit: the first shelf
    sections[2]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::duplicates);
    areas[0]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::overview);
    areas[1]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::duplicates);

    sections[1]->trigger();  // Files › Forgotten
    areas[0]->trigger();
    areas[1]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::old);
    areas[2]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::cleanup);

    state_->setSection(std::nullopt);
    areas[1]->trigger();
    EXPECT_EQ(state_->section(), SidebarItem::old);
}

TEST_F(CommandsTest, TitlesAndShortcuts) {
    // No entry repeats another: an area of one section is reached by its own entry alone.
    const char* expected[] = {"Files › Biggest", "Files › Forgotten", "Files › Twins"};
    ASSERT_EQ(commands_->sectionActions().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(commands_->sectionActions()[i]->text().toStdString(), expected[i]);
        EXPECT_TRUE(commands_->sectionActions()[i]->shortcut().isEmpty());
    }

    struct Case {
        QAction* action;
        const char* text;
        QKeySequence keys;
    };
    const Case cases[] = {
        {commands_->scanFolder(), "Scan Folder…", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {commands_->scanHome(), "Scan Home Folder", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
        {commands_->scanDisk(), "Scan Entire Disk", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
        {commands_->rescan(), "Rescan", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {commands_->stopScan(), "Stop Scan", QKeySequence(Qt::CTRL | Qt::Key_Period)},
        {commands_->settings(), "Settings…", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {commands_->closeWindow(), "Close Window", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {commands_->areaActions()[0], "Space", QKeySequence(Qt::CTRL | Qt::Key_1)},
        {commands_->areaActions()[1], "Files", QKeySequence(Qt::CTRL | Qt::Key_2)},
        {commands_->areaActions()[2], "Deep Clean", QKeySequence(Qt::CTRL | Qt::Key_3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.action->text().toStdString(), c.text);
        EXPECT_EQ(c.action->shortcut(), c.keys) << c.text;
        EXPECT_EQ(c.action->shortcutContext(), Qt::ApplicationShortcut) << c.text;
    }
    EXPECT_EQ(Shortcuts::withShortcut(QStringLiteral("Stop scanning"), Shortcuts::stopScan),
              QStringLiteral("Stop scanning (%1)")
                  .arg(QKeySequence(Qt::CTRL | Qt::Key_Period).toString(QKeySequence::NativeText)));
}

TEST_F(CommandsTest, ShortcutsWorkFromAnyWindowThatCarriesThem) {
    QWidget main;
    QWidget settings;
    commands_->attachTo(&main);
    commands_->attachTo(&settings);
    main.show();
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    QApplication::setActiveWindow(&settings);

    QTest::keyClick(&settings, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(state_->section(), SidebarItem::largest);
    QTest::keyClick(&settings, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state_->scanTarget(), std::string(kHome));
    QTest::keyClick(&settings, Qt::Key_Period, Qt::ControlModifier);
    EXPECT_FALSE(state_->isScanning());
    QTest::keyClick(&settings, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(settingsOpened_, 1);
    QTest::keyClick(&settings, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(closed_, 1);
    QTest::keyClick(&settings, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits_, 1);
}

}  // namespace
}  // namespace nimbrel
