#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "model/app_state.h"
#include "theme/animated_value.h"
#include "theme/press_button.h"

namespace nimbrel {

class AreaSwitcher;

// One pill of the switcher: the area's symbol and, unless compact, its title. The switcher draws the
// thumb behind the current one.
class AreaPill : public PressButton {
    Q_OBJECT
  public:
    AreaPill(Area area, AreaSwitcher* switcher);
    Area area() const { return area_; }
    QSize sizeHint() const override;

  protected:
    void paintContent(QPainter& p) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Area area_;
    AreaSwitcher* switcher_;
};

// Three pills, one per area, with an ink thumb that slides behind the current one. A click goes back
// to the section last visited in that area.
class AreaSwitcher : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kInset = 3;
    static constexpr int kSpacing = 2;
    static constexpr int kPillHeight = 28;

    explicit AreaSwitcher(AppState& state, QWidget* parent = nullptr);

    void setCompact(bool compact);
    bool isCompact() const { return compact_; }

    Area currentArea() const { return current_; }
    AreaPill* pill(Area area) const;
    // The pill's rectangle in the switcher, and where the thumb is drawn now.
    QRectF pillRect(Area area) const;
    QRectF thumbRect() const;
    QString helpText(Area area) const;
    // The pill's width for the current form.
    double pillWidth(Area area) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void followState();
    void placePills();
    void moveThumb(bool animated);

    AppState& state_;
    bool compact_ = false;
    Area current_;
    std::array<AreaPill*, 3> pills_{};
    AnimatedValue thumbX_;
    AnimatedValue thumbWidth_;
};

}  // namespace nimbrel
