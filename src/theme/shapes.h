#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace nimbrel {

// The shapes and soft shadows the controls are drawn with.
struct Shapes {
    // A rounded rectangle whose ends are half circles.
    static QPainterPath capsule(const QRectF& r);
    // A rounded rectangle with smooth ("continuous") corners.
    static QPainterPath rounded(const QRectF& r, double radius);
    // The shape `inset` inside its edge, for strokes drawn inside the border.
    static QRectF inset(const QRectF& r, double inset) { return r.adjusted(inset, inset, -inset, -inset); }

    // Fills `shape` with `color`, blurred by `radius` (the design's shadow radius) and moved by `offset`.
    // Blurred masks are cached by size and radius, so a resting shadow costs one image draw.
    static void shadow(QPainter& p, const QPainterPath& shape, const QColor& color, double radius,
                       QPointF offset);
    // A Gaussian-like blur (three box passes) of an ARGB image; the design radius r maps to sigma r/2.
    static QImage blur(const QImage& source, double radius);
    // How far a shadow of `radius` reaches beyond its shape.
    static double reach(double radius) { return radius * 1.5; }
};

}  // namespace nimbrel
