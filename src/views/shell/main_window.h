#pragma once

#include <QMainWindow>

#include "model/app_state.h"

namespace nimbrel {

class NimbrelCommands;
class RootView;

// The one main window ("main"): always dark, the root view as its content. Closing it only hides
// it; showing it again builds a fresh root view, as reopening a window does.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kMinWidth = 860;
    static constexpr int kMinHeight = 620;
    static constexpr int kDefaultWidth = 1240;
    static constexpr int kDefaultHeight = 800;

    MainWindow(AppState& state, const NimbrelCommands& commands, QWidget* parent = nullptr);

    RootView* rootView() const { return root_; }
    // Shows the window (rebuilding its content after a close), raises and activates it.
    void bringForward();

  signals:
    void settingsRequested();
    // A new root view was built: owners of overlays put theirs in again.
    void rootViewCreated(RootView* root);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Under a presented sheet Tab and Shift+Tab go round the card's own controls only: a control
    // behind the scrim must not take the focus (and then a Space or Return).
    bool focusNextPrevChild(bool next) override;

  private:
    void buildRoot();

    AppState& state_;
    RootView* root_ = nullptr;
    bool closed_ = false;
};

}  // namespace nimbrel
