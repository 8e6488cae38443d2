#include "theme/steamer_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nimbrel {
namespace {

TEST(SteamerGeometry, WaterIsNeverEmptyNorFull) {
    struct Case {
        double level, height;
    };
    const Case cases[] = {
        {0, 3.52},  {-1, 3.52}, {0.08, 3.52},  {0.5, 22},
        {1, 40.48}, {3, 40.48}, {0.92, 40.48}, {std::numeric_limits<double>::quiet_NaN(), 3.52},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_NEAR(SteamerGeometry::waterHeight(c.level), c.height, 1e-9);
        const SteamerLayout l = SteamerGeometry::layout(c.level);
        // The water stands on the tank's bottom and spans its width.
        EXPECT_NEAR(l.water.height(), c.height, 1e-9);
        EXPECT_DOUBLE_EQ(l.water.bottom(), l.tank.bottom());
        EXPECT_DOUBLE_EQ(l.water.width(), 52);
        EXPECT_DOUBLE_EQ(l.surfaceLine.top(), l.water.top());
    }
}

TEST(SteamerGeometry, TiltAndBob) {
    // At rest: exactly -24 whatever the clock says, and no bob.
    for (double t : {0.0, 0.3, 1234.5}) {
        EXPECT_EQ(SteamerGeometry::angle(false, t), -24.0);
        EXPECT_EQ(SteamerGeometry::bob(false, false, t), 0.0);
        EXPECT_EQ(SteamerGeometry::bob(true, true, t), 0.0);  // reduced motion: no bob
    }
    double lo = 0, hi = -90;
    for (int k = 0; k < 200; ++k) {
        const double t = k * 0.013;
        const double a = SteamerGeometry::angle(true, t);
        lo = std::min(lo, a);
        hi = std::max(hi, a);
        EXPECT_NEAR(a, -24 + 1.2 * std::sin(9 * t), 1e-12);
        EXPECT_NEAR(SteamerGeometry::bob(true, false, t), 1.5 * std::sin(9 * t), 1e-12);
    }
    EXPECT_NEAR(lo, -25.2, 0.01);
    EXPECT_NEAR(hi, -22.8, 0.01);
}

TEST(SteamerGeometry, LayersSitAtTheirOffsetsFromTheCentre) {
    const SteamerLayout l = SteamerGeometry::layout(0.5);
    EXPECT_EQ(l.handle, QRectF(61, 20, 34, 40));
    EXPECT_EQ(l.spout, QRectF(-2, 44, 36, 8));
    EXPECT_EQ(l.nozzle, QRectF(6, 42.5, 3.5, 11));
    EXPECT_EQ(l.tank, QRectF(22, 18, 52, 48));
    EXPECT_EQ(l.glint, QRectF(31, 30, 4, 18));
    EXPECT_EQ(l.knob, QRectF(43.5, 7, 9, 6));
    EXPECT_EQ(l.plate, QRectF(36, 13, 24, 8));
}

TEST(SteamerGeometry, BodyAndHandleOutlines) {
    const QRectF r(0, 0, 52, 48);
    const QPainterPath body = SteamerBody().path(r);
    // The dome rises 2 px above the rectangle's top (its control point is at minY - 2).
    const QRectF b = body.boundingRect();
    EXPECT_NEAR(b.left(), 0, 1e-9);
    EXPECT_NEAR(b.right(), 52, 1e-9);
    EXPECT_NEAR(b.bottom(), 48, 1e-9);
    EXPECT_NEAR(b.top(), 1, 1e-9);  // quadratic peak: (minY+4 + minY-2)/2
    EXPECT_EQ(body.elementAt(0), QPointF(26 - 0.28 * 52, 4));

    // Insetting shrinks the outline on every side and adds up.
    const SteamerBody inset = SteamerBody(1).inset(1.5);
    EXPECT_DOUBLE_EQ(inset.inset(), 2.5);
    const QRectF bi = inset.path(r).boundingRect();
    EXPECT_NEAR(bi.left(), 2.5, 1e-9);
    EXPECT_NEAR(bi.right(), 49.5, 1e-9);
    EXPECT_NEAR(bi.bottom(), 45.5, 1e-9);
    EXPECT_TRUE(body.contains(QPointF(26, 30)));

    // The handle is open; its control points lie past the rectangle's right edge, pulling the
    // curve out to the right while it stays within the rectangle.
    const QPainterPath handle = SteamerHandle::path(QRectF(0, 0, 34, 40));
    EXPECT_EQ(handle.elementAt(0), QPointF(0, 4));
    EXPECT_EQ(QPointF(handle.currentPosition()), QPointF(2, 38));
    EXPECT_DOUBLE_EQ(handle.controlPointRect().right(), 40);
    EXPECT_NEAR(handle.boundingRect().right(), 29.5, 1e-6);
}

TEST(SteamerGeometry, WaterStaysInsideTheTank) {
    for (double level : {0.0, 0.1, 0.3, 0.43, 0.6, 1.0}) {
        SCOPED_TRACE(level);
        const SteamerLayout l = SteamerGeometry::layout(level);
        const QPainterPath clip = SteamerGeometry::waterClip(l);
        const QRectF box = clip.boundingRect();
        EXPECT_GT(box.height(), 0.5);  // even the lowest sliver shows
        EXPECT_GE(box.top(), l.water.top() - 1e-6);
        EXPECT_NEAR(box.bottom(), l.tank.bottom() - 2.5, 1e-6);
        EXPECT_GE(box.left(), l.tank.left() + 2.5 - 1e-6);
        EXPECT_LE(box.right(), l.tank.right() - 2.5 + 1e-6);
        // The tank's bottom corners are round: the water does not fill their square corners.
        EXPECT_FALSE(clip.contains(QPointF(l.tank.left() + 3, l.tank.bottom() - 3)));
        EXPECT_FALSE(clip.contains(QPointF(l.tank.right() - 3, l.tank.bottom() - 3)));
        EXPECT_TRUE(clip.contains(QPointF(l.tank.center().x(), l.tank.bottom() - 3)));
    }
    // A column tall enough carries the dome: its top is the tank's shape in the water's own frame.
    const SteamerLayout full = SteamerGeometry::layout(0.8);
    EXPECT_EQ(SteamerGeometry::waterClip(full), SteamerBody(2.5).path(full.water));
}

TEST(StainGeometry, SeedDecidesImageRotationAndOffset) {
    struct Case {
        int seed, images, image;
        double rotation;
        QPointF offset;
    };
    const Case cases[] = {
        {0, 4, 0, 0, {-6, 0}},  {1, 4, 1, 47, {0, 8}}, {2, 4, 2, 94, {6, 0}},
        {5, 4, 1, 235, {6, 8}}, {8, 3, 2, 16, {6, 0}},  // 376 wraps to 16
        {1, 0, -1, 47, {0, 8}},                         // no images: only the dots are drawn
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        const StainLayout l = StainGeometry::layout(c.seed, c.images);
        EXPECT_EQ(l.imageIndex, c.image);
        EXPECT_DOUBLE_EQ(l.rotation, c.rotation);
        EXPECT_EQ(l.offset, c.offset);
    }
}

}  // namespace
}  // namespace nimbrel
