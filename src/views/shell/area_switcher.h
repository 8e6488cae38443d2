#pragma once

#include <QWidget>
#include <array>

#include "model/app_state.h"
#include "theme/animated_value.h"

namespace nimbrel {

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
    // The pill's rectangle in the widget, and where the thumb is drawn now.
    QRectF pillRect(Area area) const;
    QRectF thumbRect() const;
    QString helpText(Area area) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void followState();
    double pillWidth(Area area) const;
    std::optional<Area> areaAt(const QPointF& pos) const;
    void moveThumb(bool animated);

    AppState& state_;
    bool compact_ = false;
    Area current_;
    std::optional<Area> pressed_;
    AnimatedValue thumbX_;
    AnimatedValue thumbWidth_;
};

}  // namespace nimbrel
