#pragma once

#include <QGraphicsEffect>
#include <QScrollArea>

#include "theme/animated_value.h"

namespace nimbrel {

// The scroll container of lists, grids and chip rows: one direction, and each edge softens into
// transparency only while more content lies beyond it.
class FadingScroll : public QScrollArea {
    Q_OBJECT
  public:
    struct Edges {
        bool leading = false;
        bool trailing = false;
        bool operator==(const Edges&) const = default;
    };
    // o: scroll offset plus start inset, v: visible length, n: content length.
    static Edges edges(double o, double v, double n);

    explicit FadingScroll(Qt::Orientation axis = Qt::Vertical, double fade = 24, QWidget* parent = nullptr);

    // Puts `content` in the scroll view; it keeps a transparent background, so the fade shows what lies
    // beneath (QScrollArea::setWidget would make it paint the base colour).
    void setContent(QWidget* content);
    Qt::Orientation axis() const { return axis_; }
    double fade() const { return fade_; }
    void setFade(double fade);
    Edges currentEdges() const { return edges_; }
    // How strongly each band fades now, 0 (hard edge) to 1.
    double leadingFade() const { return leading_.value(); }
    double trailingFade() const { return trailing_.value(); }
    AnimatedValue& leadingAnimation() { return leading_; }
    AnimatedValue& trailingAnimation() { return trailing_; }

    // Alpha of the mask at a distance along the axis (0 = start) for a visible length.
    double maskAlpha(double at, double length) const;

  protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void recompute();

    Qt::Orientation axis_;
    double fade_;
    Edges edges_;
    AnimatedValue leading_{0};
    AnimatedValue trailing_{0};
};

// Masks the scroll view's viewport with the two bands.
class FadeMaskEffect : public QGraphicsEffect {
    Q_OBJECT
  public:
    explicit FadeMaskEffect(FadingScroll* owner);

  protected:
    void draw(QPainter* painter) override;

  private:
    FadingScroll* owner_;
};

}  // namespace nimbrel
