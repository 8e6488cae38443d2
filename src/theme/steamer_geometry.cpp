#include "theme/steamer_geometry.h"

#include <algorithm>
#include <cmath>

namespace nimbrel {

QPainterPath SteamerBody::path(const QRectF& rect) const {
    const QRectF r = rect.adjusted(inset_, inset_, -inset_, -inset_);
    const double minX = r.left(), maxX = r.right(), minY = r.top(), maxY = r.bottom();
    const double midX = r.center().x(), midY = r.center().y();
    const double l = midX - 0.28 * r.width();
    const double rr = midX + 0.28 * r.width();
    QPainterPath p;
    p.moveTo(l, minY + 4);
    p.quadTo(midX, minY - 2, rr, minY + 4);
    p.cubicTo(rr + 8, minY + 10, maxX, midY, maxX, maxY - 10);
    p.quadTo(maxX, maxY, maxX - 10, maxY);
    p.lineTo(minX + 10, maxY);
    p.quadTo(minX, maxY, minX, maxY - 10);
    p.cubicTo(minX, midY, l - 8, minY + 10, l, minY + 4);
    p.closeSubpath();
    return p;
}

QPainterPath SteamerHandle::path(const QRectF& r) {
    QPainterPath p;
    p.moveTo(r.left(), r.top() + 4);
    p.cubicTo(r.right() + 6, r.top() - 2, r.right() + 4, r.bottom(), r.left() + 2, r.bottom() - 2);
    return p;
}

namespace SteamerGeometry {

double waterHeight(double waterLevel) {
    // A missing reading shows the low sliver rather than nothing.
    const double level = std::isnan(waterLevel) ? 0.0 : waterLevel;
    return kTankInnerHeight * std::clamp(level, 0.08, 0.92);
}

double angle(bool jetting, double t) {
    return jetting ? kRestAngle + 1.2 * std::sin(9 * t) : kRestAngle;
}

double bob(bool jetting, bool reduceMotion, double t) {
    return jetting && !reduceMotion ? 1.5 * std::sin(9 * t) : 0.0;
}

namespace {

// A layer of size `size` centred in the drawing, then moved by `offset`.
QRectF placed(QSizeF size, QPointF offset) {
    const QPointF centre = QPointF(kDrawingSize.width() / 2, kDrawingSize.height() / 2) + offset;
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

}  // namespace

SteamerLayout layout(double waterLevel) {
    SteamerLayout l;
    l.handle = placed({34, 40}, {30, -2});
    l.spout = placed({36, 8}, {-32, 6});
    // The nozzle light sits at the spout's leading edge, centred on it vertically.
    l.nozzle = QRectF(l.spout.left() + 8, l.spout.center().y() - 5.5, 3.5, 11);
    l.tank = placed({52, 48}, {0, 0});
    const double h = waterHeight(waterLevel);
    l.water = QRectF(l.tank.left(), l.tank.bottom() - h, l.tank.width(), h);
    l.surfaceLine = QRectF(l.water.left(), l.water.top(), l.water.width(), 2);
    // The tank's layers stand on its bottom edge; the glint is then moved up and left.
    l.glint = QRectF(l.tank.center().x() - 2 - 15, l.tank.bottom() - 18 - 18, 4, 18);
    const QRectF lid = placed({24, 14}, {0, -28});
    l.knob = QRectF(lid.center().x() - 4.5, lid.top(), 9, 6);
    l.plate = QRectF(lid.left(), lid.top() + 6, 24, 8);
    return l;
}

QPainterPath waterClip(const SteamerLayout& l) {
    constexpr double kInset = 2.5;
    // The dome starts 4 below the top and the bottom corners begin 10 above the bottom.
    constexpr double kShapeHeight = 14;
    if (l.water.height() - 2 * kInset >= kShapeHeight) return SteamerBody(kInset).path(l.water);
    QPainterPath column;
    column.addRect(l.water);
    return SteamerBody(kInset).path(l.tank).intersected(column);
}

}  // namespace SteamerGeometry

namespace StainGeometry {

namespace {
int positiveModulo(int a, int m) {
    return ((a % m) + m) % m;
}
}  // namespace

StainLayout layout(int seed, int imageCount) {
    StainLayout l;
    l.imageIndex = imageCount > 0 ? positiveModulo(seed, imageCount) : -1;
    l.rotation = positiveModulo(47 * (seed % 360), 360);
    l.offset = QPointF((positiveModulo(seed, 3) - 1) * 6.0, positiveModulo(seed, 2) * 8.0);
    return l;
}

}  // namespace StainGeometry

}  // namespace nimbrel
