#pragma once

#include <QWidget>

class QPainter;

namespace nimbrel {

class DrawingTimeline;

// The busy indicator: steam puffs that rise, grow, turn and fade in a loop, each a step behind the
// previous one. It occupies a square of 1.6 x size; the puffs may drift a little beyond it.
class NimbrelLoader : public QWidget {
    Q_OBJECT
  public:
    explicit NimbrelLoader(double size = 24, QWidget* parent = nullptr);

    double loaderSize() const { return size_; }
    // The loader's own square inside the widget; the rest is room for the puffs to drift into.
    QRectF layoutRect() const;
    QMargins bleed() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    const DrawingTimeline& timeline() const { return *timeline_; }

    // Draws the puffs of the frame at time `t` around `centre`, for a loader of `size` (a caller that
    // recolours the loader paints it into an image of its own).
    static void paintPuffs(QPainter& p, QPointF centre, double size, double t);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double size_;
    DrawingTimeline* timeline_;
};

}  // namespace nimbrel
