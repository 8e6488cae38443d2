#pragma once

#include <QGraphicsEffect>
#include <QScrollArea>

#include "theme/animated_value.h"

namespace nimbrel {

class FadeMaskEffect;
class PressButton;

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
    AnimatedValue& trailingAnimation() { return trailing_; }

    // Alpha of the mask at a distance along the axis (0 = start) for a visible length.
    double maskAlpha(double at, double length) const;
    FadeMaskEffect* maskEffect() const { return mask_; }
    // The two band areas of the viewport.
    QRegion bands() const;
    // A horizontal row shows a small arrow at each edge with more beyond it: a fade alone does not
    // tell that the row scrolls (a chip cut at the edge reads as a chip). Null for a vertical scroll.
    PressButton* leadingArrow() const { return arrows_[0]; }
    PressButton* trailingArrow() const { return arrows_[1]; }

  protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void recompute();
    void placeArrows();

    Qt::Orientation axis_;
    double fade_;
    Edges edges_;
    AnimatedValue leading_{0};
    AnimatedValue trailing_{0};
    FadeMaskEffect* mask_;
    PressButton* arrows_[2] = {nullptr, nullptr};
};

// Masks the scroll view's viewport with the two bands. The viewport's picture is kept between frames
// (while the list shows) and only the part the frame repaints is drawn again (an evaporating row costs its
// own rectangle, not the whole list); the bands are applied to that part alone. The list is always drawn from
// that picture: painting it straight onto the window would let an effect inside it (a row evaporating, a set
// folding) open a second painter on the window while ours is active.
class FadeMaskEffect : public QGraphicsEffect {
    Q_OBJECT
  public:
    explicit FadeMaskEffect(FadingScroll* owner);
    // The next frame draws everything again (the content moved as a whole).
    void invalidate() { stale_ = true; }
    // What the last frame drew again, in the viewport's coordinates, and the masked picture (tests).
    QRegion lastRedrawn() const { return lastRedrawn_; }
    const QImage& picture() const { return picture_; }
    // Frees the picture; the next frame draws everything.
    void release();

  protected:
    void draw(QPainter* painter) override;

  private:
    // The part of the viewport the painter is about to repaint; the whole of it if unknown.
    QRegion repainted(const QPainter& painter) const;
    void mask(const QRegion& region);

    FadingScroll* owner_;
    QImage picture_;  // the viewport and its children as last drawn, the bands applied
    bool stale_ = true;
    double maskedLeading_ = -1;
    double maskedTrailing_ = -1;
    double maskedFade_ = -1;
    QRegion lastRedrawn_;
};

}  // namespace nimbrel
