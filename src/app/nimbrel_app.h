#pragma once

#include <QIcon>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;

namespace nimbrel {

class AppState;
class MainWindow;
class MenuBarExtra;
class NimbrelCommands;
class QuitGuard;

// The application: the preference defaults, the one state, the main window, the Settings window and
// the menu-bar extra, and the commands they share.
class NimbrelApp : public QObject {
    Q_OBJECT
  public:
    NimbrelApp();
    ~NimbrelApp() override;

    AppState& state() { return *state_; }

    // Nimbrel's icon for its windows, drawn at the sizes desktops ask for.
    static QIcon windowIcon();
    // True while another Nimbrel of this user is finishing a removal before it quits: a copy started
    // then ends at once, so two never remove side by side (the other one's window is up).
    static bool anotherIsFinishing();

    // Brings the app forward once launching has finished.
    void start();
    void openSettings();
    void quit();

  private:
    void closeActiveWindow();
    void closeWindowsAndQuit();
    static QString finishingLockPath();

    std::unique_ptr<AppState> state_;
    std::unique_ptr<NimbrelCommands> commands_;
    std::unique_ptr<MainWindow> main_;
    QPointer<QWidget> settings_;
    MenuBarExtra* menuBarExtra_ = nullptr;
    QuitGuard* quitGuard_ = nullptr;
    bool quitting_ = false;
    std::unique_ptr<QLockFile> finishing_;  // held while a quit waits for a removal
};

}  // namespace nimbrel
