#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "model/app_state.h"

class QVBoxLayout;
class QHBoxLayout;
class QLayout;

namespace nimbrel {

class LiquidGauge;
class MenuRow;
class NimbrelLoader;
class ElidedLabel;

// The panel of the menu-bar extra: the space freed this session, the first three volumes' free space,
// the running scan, and four actions (open the window, scan the home folder, Deep Clean, quit). It
// reads the one state, so a scan started here shows in the main window and the other way round.
class MenuBarView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 280;
    static constexpr int kPadding = 12;
    static constexpr int kSpacing = 12;
    static constexpr int kMaxVolumes = 3;

    struct Actions {
        std::function<void()> openMainWindow;  // opens or brings forward "main" and activates the app
        std::function<void()> quit;
    };

    // What one volume row shows.
    struct VolumeRow {
        QString name;
        QString freeText;
        double usedFraction = 0;
    };

    MenuBarView(AppState& state, Actions actions, QWidget* parent = nullptr);

    // What is shown now: the freed figure (empty when nothing was freed), the volume rows, the
    // scanning line (empty while no scan runs) and the action rows.
    QString freedText() const;
    std::vector<VolumeRow> volumeRows() const;
    QString scanningText() const;
    const std::vector<MenuRow*>& actionRows() const { return actions_rows_; }

    void openMainWindow();
    void scanHome();
    void deepClean();
    void quit();

  signals:
    // An action ran: the popup closes.
    void actionTaken();

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // The panel's parts, top to bottom, and what it follows.
    QLayout* buildHeader();
    QWidget* buildScanLine();
    QLayout* buildActions();
    void followState();
    void followFreed();
    void followVolumes();
    void followScan();

    AppState& state_;
    Actions actions_;
    QWidget* freed_;
    QVBoxLayout* volumes_;
    std::vector<VolumeRow> rows_;
    QWidget* scanLine_;
    ElidedLabel* scanText_;
    std::vector<MenuRow*> actions_rows_;
};

}  // namespace nimbrel
