#pragma once

#include <QMainWindow>

class QScreen;

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

    // Room a window manager's frame takes around the content (title bar and borders), allowed for
    // when the first size is chosen before the frame is known.
    static constexpr int kFrameAllowanceWidth = 16;
    static constexpr int kFrameAllowanceHeight = 48;

    MainWindow(AppState& state, const NimbrelCommands& commands, QWidget* parent = nullptr);

    // Where a window first opens on a screen whose free area (without panels) is `area`, in the
    // window's own units: at the `wanted` size where it fits, else as much of the area as the frame
    // leaves, never below `least`; its frame centred in the area. The main window and Settings both
    // open this way, so neither starts taller than a small or scaled screen.
    static QRect firstGeometry(const QRect& area, const QSize& wanted = {kDefaultWidth, kDefaultHeight},
                               const QSize& least = {kMinWidth, kMinHeight});
    // Gives a window that is not shown yet its first geometry on `screen`'s free area; a fixed-size
    // window (minimum equal to maximum) keeps that fixed at the new size.
    static void placeFirst(QWidget* window, const QScreen* screen, const QSize& wanted, const QSize& least);

    RootView* rootView() const { return root_; }
    // Shows the window (rebuilding its content after a close), raises and activates it.
    void bringForward();

  signals:
    void settingsRequested();
    // A new root view was built: owners of overlays put theirs in again.
    void rootViewCreated(RootView* root);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Tab and Shift+Tab go in reading order; under a presented sheet, round the card's own controls
    // only: a control behind the scrim must not take the focus (and then a Space or Return).
    bool focusNextPrevChild(bool next) override;

  private:
    void buildRoot();

    AppState& state_;
    RootView* root_ = nullptr;
    bool closed_ = false;
    bool sized_ = false;  // the first size has been chosen for the screen
};

}  // namespace nimbrel
