#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "model/app_state.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace nimbrel {

// The menu commands: scans, area and section switching, Settings, Close Window and Quit. None is
// ever disabled; each is added to every window so its shortcut works whichever window is in front.
// While a sheet is presented the shortcuts of the commands that act on the window's content do
// nothing (what lies under the scrim must not change behind the card); Settings, Close Window and
// Quit keep theirs.
class NimbrelCommands : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<void()> openSettings;
        std::function<void()> closeWindow;
        std::function<void()> quit;
    };

    NimbrelCommands(AppState& state, Hooks hooks, QObject* parent = nullptr);

    QAction* scanFolder() const { return scanFolder_; }
    QAction* scanHome() const { return scanHome_; }
    QAction* scanDisk() const { return scanDisk_; }
    QAction* rescan() const { return rescan_; }
    QAction* stopScan() const { return stopScan_; }
    QAction* settings() const { return settings_; }
    QAction* closeWindow() const { return closeWindow_; }
    QAction* quit() const { return quit_; }
    const std::vector<QAction*>& areaActions() const { return areas_; }
    const std::vector<QAction*>& sectionActions() const { return sections_; }

    // Every command with a shortcut, for windows to add.
    QList<QAction*> allActions() const;
    // Gives `window` the commands' shortcuts.
    void attachTo(QWidget* window) const;
    // Fills a menu bar with the File and Go menus.
    void fillMenuBar(QMenuBar* bar) const;

    // "Files › Biggest": the area's title, U+203A between blanks, the section's title.
    static QString sectionEntryTitle(SidebarItem item);

    // Whether `action`'s shortcut is held back while a sheet is presented.
    bool quietUnderSheet(const QAction* action) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* make(const QString& text, const QKeySequence& keys, std::function<void()> run);

    AppState& state_;
    Hooks hooks_;
    QAction* scanFolder_;
    QAction* scanHome_;
    QAction* scanDisk_;
    QAction* rescan_;
    QAction* stopScan_;
    QAction* settings_;
    QAction* closeWindow_;
    QAction* quit_;
    std::vector<QAction*> areas_;
    std::vector<QAction*> sections_;
};

}  // namespace nimbrel
