#include "theme/droplet_geometry.h"

#include <algorithm>

namespace nimbrel {

QPainterPath Droplet::path(const QRectF& r) {
    const double minX = r.left(), maxX = r.right(), minY = r.top();
    const double midX = r.center().x(), w = r.width(), h = r.height();
    const double roundY = minY + 0.64 * h;
    const double radius = 0.5 * w;
    QPainterPath p;
    p.moveTo(midX, minY);
    p.cubicTo(midX + 0.12 * w, minY + 0.18 * h, maxX, minY + 0.38 * h, maxX, roundY);
    // Qt's positive angles turn anticlockwise on screen; -180 sweeps through the lowest point.
    p.arcTo(QRectF(midX - radius, roundY - radius, 2 * radius, 2 * radius), 0, -180);
    p.cubicTo(minX, minY + 0.38 * h, midX - 0.12 * w, minY + 0.18 * h, midX, minY);
    p.closeSubpath();
    return p;
}

namespace LogoGeometry {

LogoLayout layout(double s) {
    LogoLayout l;
    l.frame = QRectF(0, 0, s, 1.1 * s);
    // Both layers stand centred on the frame's bottom edge; the puff is then lifted by half a size.
    const double puffSide = 0.95 * s;
    l.puff = QRectF((s - puffSide) / 2, 1.1 * s - puffSide - 0.5 * s, puffSide, puffSide);
    const QSizeF drop(0.58 * s, 0.74 * s);
    l.drop = QRectF((s - drop.width()) / 2, 1.1 * s - drop.height(), drop.width(), drop.height());
    l.highlight = QRectF(l.drop.left() + 0.17 * s, l.drop.top() + 0.3 * s, 0.13 * s, 0.2 * s);
    l.highlightRotation = -20;
    return l;
}

double overshootAbove(double s, bool withPuff) {
    return withPuff ? std::max(0.0, -layout(s).puff.top()) : 0.0;
}

double overshootBelow(double s) {
    const LogoLayout l = layout(s);
    return std::max(0.0, Droplet::path(l.drop).boundingRect().bottom() - l.frame.bottom());
}

}  // namespace LogoGeometry

}  // namespace nimbrel
