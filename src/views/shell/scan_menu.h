#pragma once

#include <QWidget>
#include <functional>

#include "model/app_state.h"
#include "views/shell/scan_menu_model.h"

class QVBoxLayout;

namespace nimbrel {

// The menu of scan targets: home, the whole disk, the other volumes, a chosen folder and the recent
// targets. Every row closes the menu first, then acts.
class ScanMenu : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 300;
    static constexpr int kPadding = 8;
    static constexpr int kSpacing = 2;

    ScanMenu(AppState& state, std::function<void()> dismiss, QWidget* parent = nullptr);

    // The model of what is listed now.
    ScanMenuModel model() const;
    const std::vector<ScanMenuLine>& lines() const { return lines_; }
    // Runs the row's action as a click would: dismiss, then the action.
    void activate(size_t lineIndex);

  private:
    void rebuild();

    AppState& state_;
    std::function<void()> dismiss_;
    std::vector<ScanMenuLine> lines_;
    QVBoxLayout* layout_;
};

// The scan menu in a popup under the Scan button, with an arrow pointing at it. It closes itself on
// a click outside, like the platform's popover.
class ScanMenuPopup : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kArrowHeight = 9;
    static constexpr int kRadius = 12;

    ScanMenuPopup(AppState& state, QWidget* parent = nullptr);

    ScanMenu* menu() const { return menu_; }
    // Opened from the keyboard, the menu starts with the keyboard on its first row. Opened by the
    // mouse, no row shows a focus ring: Down or Up puts the keyboard on the first or the last row.
    enum class Opened { byKeyboard, byMouse };
    // Shows the popup below `anchor`, its arrow at the anchor's centre, kept on the anchor's screen.
    void popUpBelow(QWidget* anchor, Opened how = Opened::byKeyboard);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ScanMenu* menu_;
    double arrowX_ = 0;
};

}  // namespace nimbrel
