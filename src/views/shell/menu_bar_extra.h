#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <functional>

#include "views/shell/menu_bar_view.h"

class QSystemTrayIcon;
class QTimer;

namespace nimbrel {

// The menu-bar extra: a tray icon ("humidity.fill") whose click opens the panel as a popup beside
// it. It is there only while "showMenuBarExtra" is on and the desktop has a tray; sync() follows
// a change of either. The tray is judged continuously: a tray that appears later gets the icon, one
// that goes away takes it (and says so with trayLost, so the app can keep a window reachable).
class MenuBarExtra : public QObject {
    Q_OBJECT
  public:
    MenuBarExtra(AppState& state, MenuBarView::Actions actions, QObject* parent = nullptr);
    ~MenuBarExtra() override;

    // Inserts or removes the tray icon to match the preference and the desktop.
    void sync();
    bool isInserted() const { return tray_ != nullptr; }
    // The panel, built on first use.
    MenuBarView* panel();
    // Shows the panel at `anchor` (the tray icon's frame; the pointer when that is unknown), or hides it.
    void togglePanel();

    // Tests stand in for the desktop's tray; nullptr asks the desktop again.
    static void setTrayAvailableForTesting(std::function<bool()> available);
    static bool trayAvailable();
    // The timer that asks the desktop again (besides the status-notifier watcher's comings and goings).
    QTimer* trayWatch() const { return watch_; }
    static constexpr int kTrayPollMs = 2000;

  signals:
    void insertedChanged(bool inserted);
    // The icon was taken away because the desktop's tray went away (not because of the preference).
    void trayLost();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static QIcon trayIconImage();
    void followDesktop();

    AppState& state_;
    MenuBarView::Actions actions_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<MenuBarView> panel_;
    QTimer* watch_;
};

}  // namespace nimbrel
