#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace nimbrel {

// The tank's outline: a shallow dome over a neck 0.56 of the width wide, shoulders curving out
// to straight sides, rounded bottom corners. Insetting shrinks it on every side.
class SteamerBody {
  public:
    explicit SteamerBody(double inset = 0) : inset_(inset) {}
    double inset() const { return inset_; }
    SteamerBody inset(double amount) const { return SteamerBody(inset_ + amount); }
    QPainterPath path(const QRectF& rect) const;

  private:
    double inset_;
};

// The handle: an open curve for stroking, pulled rightwards by control points past the
// rectangle's right edge.
struct SteamerHandle {
    static QPainterPath path(const QRectF& rect);
};

// Rectangles of the steamer's layers inside its unscaled 96 x 84 drawing (origin top-left).
struct SteamerLayout {
    QRectF handle;
    QRectF spout;
    QRectF nozzle;
    QRectF tank;
    QRectF water;
    QRectF surfaceLine;
    QRectF glint;
    QRectF knob;
    QRectF plate;
};

namespace SteamerGeometry {

inline constexpr QSizeF kDrawingSize{96, 84};
inline constexpr double kScale = 1.2;  // the drawing is shown at 115.2 x 100.8
inline constexpr double kRestAngle = -24.0;
inline constexpr double kTankInnerHeight = 44.0;

// Height of the water column: never quite empty, never quite full (8% to 92% of the tank).
double waterHeight(double waterLevel);

// Tilt in degrees (negative turns anticlockwise on screen): at rest exactly -24, rocking by
// 1.2 degrees either side while jetting.
double angle(bool jetting, double t);

// Vertical bob in pixels: only while jetting with motion allowed.
double bob(bool jetting, bool reduceMotion, double t);

SteamerLayout layout(double waterLevel);

// The outline the water is clipped to: the tank's shape inset by 2.5 and laid out in the water's
// own frame, so its top carries the dome. A column too low to hold that shape (under 14 px inside
// the inset) would fold over itself and spill past the tank's corners; it takes the bottom of the
// tank's own inner shape instead.
QPainterPath waterClip(const SteamerLayout& layout);

}  // namespace SteamerGeometry

// How a seeded stain lays out its puff image; the same seed always gives the same blot.
struct StainLayout {
    int imageIndex;   // -1 when there are no puff images
    double rotation;  // degrees
    QPointF offset;   // of the image's centre
};

namespace StainGeometry {

inline constexpr double kImageScale = 1.3;
inline constexpr QPointF kBigDotOffset{9, -7};
inline constexpr double kBigDotSide = 5;
inline constexpr QPointF kSmallDotOffset{-10, 10};
inline constexpr double kSmallDotSide = 3.5;

StainLayout layout(int seed, int imageCount);

}  // namespace StainGeometry

}  // namespace nimbrel
