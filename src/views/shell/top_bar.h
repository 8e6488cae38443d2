#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "model/app_state.h"
#include "theme/animated_value.h"
#include "views/shell/scan_menu.h"
#include "views/shell/top_bar_layout.h"

namespace nimbrel {

class AreaSwitcher;
class ElidedLabel;
class FreeSpaceChip;
class IconButton;
class NimbrelButton;
class NimbrelLoader;
class NimbrelLogo;

// The strip across the top of the main window: the product mark, the area switcher, the scan
// controls, the free-space chip and the Settings link. What it shows depends on its own width.
class TopBar : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLeadingInset = 84;
    static constexpr int kTrailingInset = 16;
    static constexpr int kSpacing = 12;
    static constexpr int kTrailingSpacing = 8;

    explicit TopBar(AppState& state, QWidget* parent = nullptr);

    TopBarLayout layoutNow() const { return layout_; }
    // The scanning controls' text and help, as shown now.
    QString progressText() const;
    QString progressHelp() const;

    AreaSwitcher* areaSwitcher() const { return switcher_; }
    FreeSpaceChip* freeSpaceChip() const { return chip_; }
    IconButton* stopButton() const { return stop_; }
    IconButton* rescanButton() const { return rescan_; }
    IconButton* settingsButton() const { return settings_; }
    ElidedLabel* progressLabel() const { return progress_; }
    QWidget* scanningLoader() const;
    NimbrelButton* scanButton() const { return scan_; }
    bool isScanMenuOpen() const;
    ScanMenuPopup* scanMenu() const { return menu_; }

    void openScanMenu(ScanMenuPopup::Opened how = ScanMenuPopup::Opened::byKeyboard);
    void closeScanMenu();

    QSize sizeHint() const override;

  signals:
    // The Settings link: the application opens its Settings window.
    void settingsRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void followState();
    void relayout();
    void showParts(bool scanning);
    void placeTrailing(int& right, QWidget* w, int spacing);
    void placeScanning(int& right, int switcherRight);
    std::vector<QWidget*> scanControls() const;
    void fadeControlsIn(double amount);

    AppState& state_;
    TopBarLayout layout_;
    NimbrelLogo* logo_;
    QWidget* wordmark_;
    AreaSwitcher* switcher_;
    // Scanning controls.
    NimbrelLoader* loader_;
    ElidedLabel* progress_;
    IconButton* stop_;
    // Idle controls.
    IconButton* rescan_;
    NimbrelButton* scan_;
    FreeSpaceChip* chip_;
    IconButton* settings_;
    QPointer<ScanMenuPopup> menu_;
    bool scanPressedByMouse_ = false;  // the Scan button's last press came from the mouse
    QPointer<QWidget> fade_;           // the previous form while it fades out
    // The scan controls swap with a cross-fade: the old ones' picture and the new ones' opacity.
    QPointer<QWidget> controlsFade_;
    AnimatedValue controlsIn_{1};
    bool controlsScanning_ = false;
};

}  // namespace nimbrel
