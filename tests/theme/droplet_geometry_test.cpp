#include "theme/droplet_geometry.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(Droplet, TipAtTopRoundEndThroughTheLowestPoint) {
    for (const QRectF r : {QRectF(0, 0, 58, 74), QRectF(10, 20, 30, 30), QRectF(-5, 3, 12, 40)}) {
        const QPainterPath p = Droplet::path(r);
        EXPECT_EQ(p.elementAt(0), QPointF(r.center().x(), r.top()));
        const QRectF b = p.boundingRect();
        // The arc runs through the bottom, not over the top of the drop.
        EXPECT_NEAR(b.bottom(), r.top() + 0.64 * r.height() + 0.5 * r.width(), 1e-6);
        EXPECT_NEAR(b.left(), r.left(), 1e-6);
        EXPECT_NEAR(b.right(), r.right(), 1e-6);
        EXPECT_NEAR(b.top(), r.top(), 1e-6);
        EXPECT_TRUE(p.contains(QPointF(r.center().x(), r.top() + 0.64 * r.height() + 0.45 * r.width())));
    }
}

TEST(LogoGeometry, PartsScaleWithTheSize) {
    const LogoLayout l = LogoGeometry::layout(100);
    EXPECT_EQ(l.frame, QRectF(0, 0, 100, 110));
    EXPECT_EQ(l.puff, QRectF(2.5, -35, 95, 95));  // lifted 0.35 s above the frame
    EXPECT_EQ(l.drop, QRectF(21, 36, 58, 74));    // standing on the frame's bottom edge
    EXPECT_EQ(l.highlight, QRectF(38, 66, 13, 20));
    EXPECT_EQ(l.highlightRotation, -20);

    // Doubling the size doubles every point of the drawing.
    const LogoLayout d = LogoGeometry::layout(200);
    EXPECT_EQ(d.puff, QRectF(5, -70, 190, 190));
    EXPECT_EQ(d.drop, QRectF(42, 72, 116, 148));
    EXPECT_EQ(d.highlight, QRectF(76, 132, 26, 40));
    const QPainterPath small = Droplet::path(l.drop), big = Droplet::path(d.drop);
    ASSERT_EQ(small.elementCount(), big.elementCount());
    for (int i = 0; i < small.elementCount(); ++i) {
        EXPECT_NEAR(big.elementAt(i).x, 2 * small.elementAt(i).x, 1e-9);
        EXPECT_NEAR(big.elementAt(i).y, 2 * small.elementAt(i).y, 1e-9);
    }
}

TEST(LogoGeometry, Overshoot) {
    EXPECT_NEAR(LogoGeometry::overshootAbove(54, true), 0.35 * 54, 1e-9);
    EXPECT_EQ(LogoGeometry::overshootAbove(54, false), 0.0);
    // 0.64 x 0.74 s + 0.29 s - 0.74 s below the frame: about 2.4% of the size.
    EXPECT_NEAR(LogoGeometry::overshootBelow(100), 2.36, 1e-6);
}

}  // namespace
}  // namespace nimbrel
