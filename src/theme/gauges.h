#pragma once

#include <QColor>
#include <QWidget>
#include <optional>

namespace nimbrel {

class DrawingTimeline;

// A horizontal well filled with liquid to a fraction; its surface is two moving sine waves. The
// width is whatever the layout gives; the height is fixed.
class LiquidGauge : public QWidget {
    Q_OBJECT
  public:
    explicit LiquidGauge(double fraction = 0, double height = 16, QWidget* parent = nullptr);

    double fraction() const { return fraction_; }
    void setFraction(double fraction);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The animation runs only while the gauge is visible and motion is allowed.
    const DrawingTimeline& timeline() const { return *timeline_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double fraction_;
    double height_;
    DrawingTimeline* timeline_;
};

// A static capsule bar filled to a fraction; a positive fraction shows at least a round dot.
class MoltenBar : public QWidget {
    Q_OBJECT
  public:
    explicit MoltenBar(double fraction = 0, double height = 6, std::optional<QColor> tint = std::nullopt,
                       QWidget* parent = nullptr);

    double fraction() const { return fraction_; }
    void setFraction(double fraction);
    std::optional<QColor> tint() const { return tint_; }
    void setTint(std::optional<QColor> tint);

    // The fill's rectangle for the bar's current width.
    QRectF fillRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double fraction_;
    double height_;
    std::optional<QColor> tint_;
};

}  // namespace nimbrel
