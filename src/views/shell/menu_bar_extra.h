#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "views/shell/menu_bar_view.h"

class QSystemTrayIcon;

namespace nimbrel {

// The menu-bar extra: a tray icon ("humidity.fill") whose click opens the panel as a popup beside
// it. It is there only while "showMenuBarExtra" is on and the desktop has a tray; sync() follows
// a change of either.
class MenuBarExtra : public QObject {
    Q_OBJECT
  public:
    MenuBarExtra(AppState& state, MenuBarView::Actions actions, QObject* parent = nullptr);
    ~MenuBarExtra() override;

    // Inserts or removes the tray icon to match the preference and the desktop.
    void sync();
    bool isInserted() const { return tray_ != nullptr; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    // The panel, built on first use.
    MenuBarView* panel();
    // Shows the panel at `anchor` (the tray icon's frame; the pointer when that is unknown), or hides it.
    void togglePanel();

    // Tests stand in for the desktop's tray; nullptr asks the desktop again.
    static void setTrayAvailableForTesting(std::function<bool()> available);
    static bool trayAvailable();

  signals:
    void insertedChanged(bool inserted);

  private:
    AppState& state_;
    MenuBarView::Actions actions_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<MenuBarView> panel_;
};

}  // namespace nimbrel
