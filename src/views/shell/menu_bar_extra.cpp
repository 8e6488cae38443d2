#include "views/shell/menu_bar_extra.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "model/prefs.h"
#include "theme/appearance.h"
#include "theme/palette.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {

std::function<bool()>& trayOverride() {
    static std::function<bool()> available;
    return available;
}

}  // namespace

MenuBarExtra::MenuBarExtra(AppState& state, MenuBarView::Actions actions, QObject* parent)
    : QObject(parent), state_(state), actions_(std::move(actions)), watch_(new QTimer(this)) {
    // Trays come and go with the desktop's panel: ask again now and then, and at once when a
    // status-notifier watcher registers or leaves the session bus.
    watch_->setInterval(kTrayPollMs);
    watch_->setTimerType(Qt::PreciseTimer);
    connect(watch_, &QTimer::timeout, this, &MenuBarExtra::sync);
    watch_->start();
    if (QDBusConnection bus = QDBusConnection::sessionBus(); bus.isConnected()) {
        auto* watcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                                QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &MenuBarExtra::sync);
    }
    // The desktop's palette changes when it switches between light and dark.
    QCoreApplication::instance()->installEventFilter(this);
    sync();
}

bool MenuBarExtra::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance())
        followDesktop();
    return QObject::eventFilter(watched, event);
}

QIcon MenuBarExtra::trayIconImage() {
    return Symbols::icon("humidity.fill", Palette::ink().resolve(AppearanceOf::system()));
}

void MenuBarExtra::followDesktop() {
    // The panel and the icon follow the desktop's appearance, unlike the always-dark windows.
    if (panel_) AppearanceOf::set(panel_, AppearanceOf::system());
    if (tray_) tray_->setIcon(trayIconImage());
}

MenuBarExtra::~MenuBarExtra() {
    delete panel_.data();
}

void MenuBarExtra::setTrayAvailableForTesting(std::function<bool()> available) {
    trayOverride() = std::move(available);
}

bool MenuBarExtra::trayAvailable() {
    return trayOverride() ? trayOverride()() : QSystemTrayIcon::isSystemTrayAvailable();
}

void MenuBarExtra::sync() {
    const bool wanted = Prefs::value(Prefs::kShowMenuBarExtra).toBool() && trayAvailable();
    if (wanted == isInserted()) return;
    if (wanted) {
        tray_ = new QSystemTrayIcon(trayIconImage(), this);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) togglePanel();
        });
        tray_->show();
    } else {
        if (panel_) panel_->hide();
        delete tray_;
        tray_ = nullptr;
    }
    emit insertedChanged(isInserted());
    if (!isInserted() && Prefs::value(Prefs::kShowMenuBarExtra).toBool()) emit trayLost();
}

MenuBarView* MenuBarExtra::panel() {
    if (!panel_) {
        panel_ = new MenuBarView(state_, actions_);
        panel_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        followDesktop();
        connect(panel_, &MenuBarView::actionTaken, panel_, &QWidget::hide);
    }
    return panel_;
}

void MenuBarExtra::togglePanel() {
    MenuBarView* view = panel();
    if (view->isVisible()) {
        view->hide();
        return;
    }
    view->adjustSize();
    const QRect icon = tray_ ? tray_->geometry() : QRect();
    const QPoint anchor = icon.isValid() ? icon.bottomLeft() : QCursor::pos();
    QRect frame(anchor, view->sizeHint());
    // Keep the panel on the screen the icon is on: flip above a bottom panel, clamp at the edges.
    if (QScreen* screen = QGuiApplication::screenAt(anchor)) {
        const QRect area = screen->availableGeometry();
        if (frame.bottom() > area.bottom()) frame.moveBottom((icon.isValid() ? icon.top() : anchor.y()) - 1);
        if (frame.right() > area.right()) frame.moveRight(area.right());
        if (frame.left() < area.left()) frame.moveLeft(area.left());
        if (frame.top() < area.top()) frame.moveTop(area.top());
    }
    view->move(frame.topLeft());
    view->show();
    view->activateWindow();
}

}  // namespace nimbrel
