#pragma once

#include <QPainterPath>
#include <QRectF>

namespace nimbrel {

// The water drop of the brand mark: tip at the top, round end at the bottom. The round end
// reaches 0.64 h + 0.5 w below the top, so a drop wider than 0.72 of its height pokes out of
// its rectangle at the bottom.
struct Droplet {
    static QPainterPath path(const QRectF& rect);
};

// Where the parts of NimbrelLogo of size s sit, relative to the top-left of its s x 1.1 s frame.
struct LogoLayout {
    QRectF frame;
    QRectF puff;       // extends 0.35 s above the frame
    QRectF drop;       // the droplet's frame; the drop itself overshoots its bottom a little
    QRectF highlight;  // the ellipse before its rotation about its own centre
    double highlightRotation;
};

namespace LogoGeometry {

inline constexpr double kPuffOpacity = 0.9;
inline constexpr double kHighlightOpacity = 0.55;

LogoLayout layout(double size);

// How far the logo's drawing reaches beyond its frame: above for the puff, below for the drop.
double overshootAbove(double size, bool withPuff);
double overshootBelow(double size);

}  // namespace LogoGeometry

}  // namespace nimbrel
