#pragma once

#include <QIcon>
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
    MainWindow& mainWindow() { return *main_; }

    // Nimbrel's icon for its windows, drawn at the sizes desktops ask for.
    static QIcon windowIcon();

    // Brings the app forward once launching has finished.
    void start();
    void openSettings();
    void quit();

  private:
    void closeActiveWindow();

    std::unique_ptr<AppState> state_;
    std::unique_ptr<NimbrelCommands> commands_;
    std::unique_ptr<MainWindow> main_;
    QPointer<QWidget> settings_;
    MenuBarExtra* menuBarExtra_ = nullptr;
    QuitGuard* quitGuard_ = nullptr;
};

}  // namespace nimbrel
