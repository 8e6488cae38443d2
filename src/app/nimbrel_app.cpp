#include "app/nimbrel_app.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "model/app_state.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/quit_guard.h"
#include "platform/file_manager.h"
#include "theme/appearance.h"
#include "theme/logo.h"
#include "theme/palette.h"
#include "theme/symbols.h"
#include "views/shell/main_window.h"
#include "views/shell/menu_bar_extra.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/settings_view.h"

namespace nimbrel {

NimbrelApp::NimbrelApp() {
    // The state reads the stored recents when it is made: the defaults must be registered first.
    Prefs::registerDefaults();
    state_ = std::make_unique<AppState>();
    FileActions::setRevealFailedHandler(
        [state = state_.get()](const std::string& path) { state->revealFailed(path); });
    commands_ = std::make_unique<NimbrelCommands>(
        *state_, NimbrelCommands::Hooks{[this] { openSettings(); }, [this] { closeActiveWindow(); },
                                        [this] { quit(); }});
    main_ = std::make_unique<MainWindow>(*state_, *commands_);
    connect(main_.get(), &MainWindow::settingsRequested, this, &NimbrelApp::openSettings);
    // However the app ends (Quit, the last window closed), no scan or twin search is left running.
    connect(qApp, &QCoreApplication::aboutToQuit, state_.get(), [this] {
        state_->cancelScan();
        state_->duplicates().cancel();
    });
    menuBarExtra_ = new MenuBarExtra(
        *state_, MenuBarView::Actions{[this] { main_->bringForward(); }, [this] { quit(); }}, this);
    // A quit during a removal waits for it to end with the window up; what stayed behind is shown,
    // not dropped.
    quitGuard_ = new QuitGuard(
        *state_, [this] { closeWindowsAndQuit(); }, [this] { main_->bringForward(); }, this);
    connect(quitGuard_, &QuitGuard::isWaitingChanged, this, [this] {
        if (quitGuard_->isWaiting() && !finishing_) {
            finishing_ = std::make_unique<QLockFile>(finishingLockPath());
            finishing_->setStaleLockTime(0);  // stale only once its process is gone
            finishing_->tryLock(0);
        } else if (!quitGuard_->isWaiting() && !quitting_) {
            finishing_.reset();
        }
    });
    // Without a tray icon a closed window would leave the process unreachable, so closing the last
    // window quits then; the guard decides when.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
        if (!quitting_ && !menuBarExtra_->isInserted()) quitGuard_->requestQuit();
    });
    // The tray went away while every window was closed: show the main window again, or nothing would
    // be left to reach the running process by.
    connect(menuBarExtra_, &MenuBarExtra::trayLost, this, [this] {
        if (QApplication::topLevelWidgets().isEmpty()) return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isWindow() && !(w->windowFlags() & Qt::Popup)) return;
        main_->bringForward();
    });
}

NimbrelApp::~NimbrelApp() = default;

QIcon NimbrelApp::windowIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(NimbrelLogo::appIcon(side)));
    return icon;
}

void NimbrelApp::start() {
    main_->bringForward();
}

void NimbrelApp::openSettings() {
    if (!settings_) {
        // The Settings scene: a window of its own, always dark, carrying the same shortcuts.
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(tr("Settings"));
        AppearanceOf::set(window, Appearance::dark);
        QPalette pal = window->palette();
        pal.setColor(QPalette::Window, Palette::canvas().resolve(Appearance::dark));
        window->setPalette(pal);
        window->setAutoFillBackground(true);
        auto* view = new SettingsView(*state_, window);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        window->setFixedSize(SettingsView::kWidth, SettingsView::kHeight);
        // Opened over the main window's screen, inside its free area: shorter where the screen is.
        MainWindow::placeFirst(window, main_->screen(), {SettingsView::kWidth, SettingsView::kHeight},
                               {SettingsView::kWidth, SettingsView::kMinHeight});
        // The menu-bar extra follows its switch at once.
        connect(view, &SettingsView::preferenceChanged, menuBarExtra_, &MenuBarExtra::sync);
        // and its switch follows the desktop's tray as the extra does.
        connect(menuBarExtra_->trayWatch(), &QTimer::timeout, view, &SettingsView::followTray);
        connect(menuBarExtra_, &MenuBarExtra::insertedChanged, view, &SettingsView::followTray);
        commands_->attachTo(window);
        settings_ = window;
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

void NimbrelApp::closeActiveWindow() {
    if (QWidget* window = QApplication::activeWindow()) window->close();
}

void NimbrelApp::quit() {
    quitGuard_->requestQuit();
}

void NimbrelApp::closeWindowsAndQuit() {
    quitting_ = true;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isWindow() && window->isVisible()) window->close();
    QApplication::quit();
}

QString NimbrelApp::finishingLockPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/nimbrel-finishing.lock");
    return QDir::tempPath() + QStringLiteral("/nimbrel-finishing-%1.lock").arg(::getuid());
}

bool NimbrelApp::anotherIsFinishing() {
    QLockFile probe(finishingLockPath());
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) return false;  // let go at once when it goes out of scope
    return probe.error() == QLockFile::LockFailedError;
}

}  // namespace nimbrel
