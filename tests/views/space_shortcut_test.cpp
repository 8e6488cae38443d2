#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <functional>

#include "shell_fixture.h"
#include "space_test_support.h"
#include "support/animations.h"
#include "test_items.h"
#include "theme/nimbrel_button.h"
#include "views/kit/modal_host.h"
#include "views/kit/selection_bar.h"
#include "views/kit/shortcuts.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {
namespace {

class SpaceShortcutTest : public ShellFixture {
  protected:
    static std::shared_ptr<ScanResult> nestedResult() {
        auto result = std::make_shared<ScanResult>();
        TreeBuild::setRoot(*result, std::make_shared<DirNode>("/r", nullptr));
        TreeBuild::setSize(*result->root(), 1000);
        spacetest::addFolder(spacetest::addFolder(result->root(), "a", 600), "b", 300);
        return result;
    }

    // The main window, active, on the space area of /r/a/b's result.
    MainWindow& showSpace(NimbrelCommands::Hooks hooks = {}) {
        commands_ = std::make_unique<NimbrelCommands>(*state_, std::move(hooks));
        window_ = std::make_unique<MainWindow>(*state_, *commands_);
        state_->setResult(nestedResult());
        state_->setSection(SidebarItem::overview);
        window_->bringForward();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        return *window_;
    }
    void TearDown() override {
        window_.reset();
        ShellFixture::TearDown();
    }

    std::unique_ptr<NimbrelCommands> commands_;
    std::unique_ptr<MainWindow> window_;
};

// The key goes where a real key press goes: to the focused widget, else to the active window.
void pressCtrlUp(QWidget& window) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
    QTest::keyClick(target, Qt::Key_Up, Qt::ControlModifier);
}

QWidget* focusableOutside(QWidget& window, QWidget* area) {
    for (QWidget* w : window.findChildren<QWidget*>())
        if (w->isVisible() && w->focusPolicy() != Qt::NoFocus && !area->isAncestorOf(w) && w != area)
            return w;
    return nullptr;
}

// Switching areas builds a fresh view; the one left behind is hidden until it is deleted.
SpaceView* visibleSpace(const MainWindow& window) {
    for (SpaceView* v : window.findChildren<SpaceView*>())
        if (v->isVisible()) return v;
    return nullptr;
}

TEST_F(SpaceShortcutTest, CtrlUpGoesUpFromEveryStartingFocus) {
    MainWindow& window = showSpace();
    auto space = [&] { return visibleSpace(window); };
    ASSERT_NE(space(), nullptr);

    const struct {
        const char* start;
        std::function<void()> prepare;
    } cases[] = {
        {"nothing focused",
         [&] {
             if (QApplication::focusWidget()) QApplication::focusWidget()->clearFocus();
         }},
        {"the explorer", [&] { space()->explorer()->setFocus(); }},
        {"the search field", [&] { space()->toolbar()->findChild<QLineEdit*>()->setFocus(); }},
        {"outside the area",
         [&] {
             QWidget* other = focusableOutside(window, space());
             ASSERT_NE(other, nullptr);
             other->setFocus();
         }},
        {"after Clear",
         [&] {
             state_->queue().add(testItem("/r/a/b", 0, CleanItem::Kind::file, CleanItem::Source::space));
             QCoreApplication::processEvents();
             auto* bar = window.findChild<SelectionBar*>();
             ASSERT_NE(bar, nullptr);
             bar->clearButton()->setFocus();
             QTest::mouseClick(bar->clearButton(), Qt::LeftButton);
             ASSERT_TRUE(state_->queue().items().empty());
             QCoreApplication::processEvents();
         }},
        {"after a sheet closes",
         [&] {
             state_->setIsReviewing(true);
             QCoreApplication::processEvents();
             if (auto* host = window.findChild<ModalHost*>(); host && host->card()) host->card()->setFocus();
             ModalHost::dismiss(*state_);
             QCoreApplication::processEvents();
         }},
        {"arriving from Deep Clean",
         [&] {
             state_->setSection(SidebarItem::cleanup);
             QCoreApplication::processEvents();
             QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
             for (QWidget* w : window.findChildren<QWidget*>())
                 if (w->isVisible() && w->focusPolicy() != Qt::NoFocus) {
                     w->setFocus();
                     break;
                 }
             // Deep Clean shows a folder in Space: the new view opens at it.
             state_->setFolderFocus(std::string("/r/a/b"));
             state_->setSection(SidebarItem::overview);
             QCoreApplication::processEvents();
         }},
    };
    for (const auto& c : cases) {
        state_->setSection(SidebarItem::overview);
        state_->setFolderFocus(std::string("/r/a/b"));
        c.prepare();
        ASSERT_NE(space(), nullptr) << c.start;
        ASSERT_EQ(space()->model().stack().size(), 2u) << c.start;
        pressCtrlUp(window);
        EXPECT_EQ(space()->model().stack().size(), 1u) << "starting from " << c.start;
    }
}

TEST_F(SpaceShortcutTest, WindowShortcutsRestUnderASheet) {
    int settingsOpened = 0;
    MainWindow& window = showSpace({[&] { ++settingsOpened; }, {}, {}});
    state_->setFolderFocus(std::string("/r/a/b"));
    auto space = [&] { return visibleSpace(window); };
    ASSERT_NE(space(), nullptr);
    ASSERT_EQ(space()->model().stack().size(), 2u);

    const struct {
        const char* sheet;
        std::function<void()> present;
    } sheets[] = {
        {"review", [&] { state_->setIsReviewing(true); }},
        {"notice", [&] { state_->setErrorMessage(QStringLiteral("Something failed")); }},
    };
    const struct {
        const char* name;
        QKeySequence keys;
    } quiet[] = {
        {"up one level", QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {"another area", Shortcuts::area(2)},
        {"rescan", Shortcuts::rescan},
        {"scan home", Shortcuts::scanHome},
        {"scan the disk", Shortcuts::scanDisk},
    };
    for (const auto& sheet : sheets) {
        sheet.present();
        QCoreApplication::processEvents();
        EXPECT_FALSE(window.menuBar()->isEnabled()) << sheet.sheet;
        for (const auto& key : quiet) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
            QTest::keySequence(target, key.keys);
            EXPECT_EQ(state_->section(), SidebarItem::overview) << sheet.sheet << ": " << key.name;
            EXPECT_FALSE(state_->isScanning()) << sheet.sheet << ": " << key.name;
            ASSERT_NE(space(), nullptr);
            EXPECT_EQ(space()->model().stack().size(), 2u) << sheet.sheet << ": " << key.name;
        }
        EXPECT_TRUE(ModalHost::isPresented(*state_)) << sheet.sheet;
        // Settings opens a window of its own and keeps its shortcut.
        QTest::keySequence(&window, Shortcuts::settings);
        ModalHost::dismiss(*state_);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.menuBar()->isEnabled()) << sheet.sheet;
    }
    EXPECT_EQ(settingsOpened, 2);
    // With the sheet gone the same keys answer again.
    pressCtrlUp(window);
    EXPECT_EQ(space()->model().stack().size(), 1u);
    QTest::keySequence(&window, Shortcuts::area(2));
    EXPECT_EQ(state_->section(), SidebarItem::largest);
}

TEST_F(SpaceShortcutTest, TabStaysInsideThePresentedCard) {
    AnimationClock animations;  // the card shows once the layer has come in
    MainWindow& window = showSpace();
    for (const char* sheet : {"notice", "review"}) {
        if (std::string(sheet) == "notice")
            state_->setErrorMessage(QStringLiteral("Something failed"));
        else
            state_->setIsReviewing(true);
        QCoreApplication::processEvents();
        auto* host = window.findChild<ModalHost*>();
        ASSERT_NE(host, nullptr);
        animations.finish();
        ASSERT_TRUE(host->card() && host->card()->isVisible());
        for (Qt::KeyboardModifiers mods :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            for (int i = 0; i < 12; ++i) {
                QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
                QTest::keyClick(from, mods ? Qt::Key_Backtab : Qt::Key_Tab, mods);
                QWidget* focus = QApplication::focusWidget();
                ASSERT_NE(focus, nullptr) << sheet;
                EXPECT_TRUE(focus == host->card() || host->card()->isAncestorOf(focus))
                    << sheet << ": focus went behind the scrim to " << focus->metaObject()->className();
            }
        }
        ModalHost::dismiss(*state_);
        QCoreApplication::processEvents();
    }
}

}  // namespace
}  // namespace nimbrel
