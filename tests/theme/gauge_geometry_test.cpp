#include "theme/gauge_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "theme/loader_geometry.h"

namespace nimbrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(GaugeGeometry, SurfaceBaseAndColoursFollowTheFractionAsGiven) {
    struct Case {
        double fraction;
        double base;  // for a gauge 20 high
        bool warm;
    };
    const Case cases[] = {
        {0.0, 20.0, false},                       // base on the bottom edge
        {0.5, 10.0, false},                       //
        {0.9, 2.0, false},                        // exactly nine tenths keeps the cool stops
        {0.9001, 1.998, true}, {1.0, 0.0, true},  //
        {1.3, 0.0, true},                         // overfull is drawn full, warm
        {-0.4, 20.0, false},                      // negative: empty and cool
        {kNaN, 20.0, false},                      // no reading: empty and cool
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        EXPECT_NEAR(GaugeGeometry::surfaceBase(c.fraction, 20.0), c.base, 1e-9);
        EXPECT_EQ(GaugeGeometry::isWarm(c.fraction), c.warm);
    }
}

TEST(GaugeGeometry, WavesSampleEveryTwoPixelsThroughTheWidth) {
    const GaugeWave& front = GaugeGeometry::kWaves[1];
    struct Case {
        double width;
        size_t surfacePoints;
        double lastSampleX;
    };
    // W on a step is sampled itself; an odd W stops one pixel short.
    const Case cases[] = {{10, 6, 10}, {9, 5, 8}, {1, 1, 0}, {240, 121, 240}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const auto pts = GaugeGeometry::wavePoints({c.width, 12}, 6, 1.4, front, 3.0);
        ASSERT_EQ(pts.size(), c.surfacePoints + 2);
        EXPECT_EQ(pts.front(), QPointF(0, 12));
        EXPECT_EQ(pts.back(), QPointF(c.width, 12));
        EXPECT_DOUBLE_EQ(pts[pts.size() - 2].x(), c.lastSampleX);
        for (size_t i = 1; i + 1 < pts.size(); ++i)
            EXPECT_DOUBLE_EQ(pts[i].x(), 2.0 * (i - 1));
    }
}

TEST(GaugeGeometry, WaveHeightFollowsTheSineAndFlattensUnderReducedMotion) {
    const double t = 12.25;
    const double w = 100;
    for (const GaugeWave& wave : GaugeGeometry::kWaves) {
        const double amp = GaugeGeometry::amplitude(wave, false);
        EXPECT_DOUBLE_EQ(amp, wave.amplitude * 1.4);
        const auto pts = GaugeGeometry::wavePoints({w, 20}, 8, amp, wave, t);
        for (size_t i = 1; i + 1 < pts.size(); ++i) {
            const double x = pts[i].x();
            const double expected = 8 + amp * std::sin(wave.phase + t * wave.speed +
                                                       wave.frequency * 2 * std::numbers::pi * x / w);
            EXPECT_NEAR(pts[i].y(), expected, 1e-9);
        }
        EXPECT_EQ(GaugeGeometry::amplitude(wave, true), 0.0);
        const auto flat = GaugeGeometry::wavePoints({w, 20}, 8, 0.0, wave, t);
        for (size_t i = 1; i + 1 < flat.size(); ++i)
            EXPECT_EQ(flat[i].y(), 8.0);
    }
}

TEST(GaugeGeometry, EmptyGaugeShowsOnlyCrestsAboveTheBottomEdge) {
    const double h = 16;
    const double base = GaugeGeometry::surfaceBase(0, h);
    const GaugeWave& wave = GaugeGeometry::kWaves[1];
    const QPainterPath moving =
        GaugeGeometry::wavePath({200, h}, base, GaugeGeometry::amplitude(wave, false), wave, 5);
    const QRectF visible = moving.boundingRect().intersected(QRectF(0, 0, 200, h));
    EXPECT_GT(visible.height(), 0.0);
    EXPECT_LE(visible.height(), 1.4 + 1e-9);
    const QPainterPath still =
        GaugeGeometry::wavePath({200, h}, base, GaugeGeometry::amplitude(wave, true), wave, 5);
    EXPECT_EQ(still.boundingRect().intersected(QRectF(0, 0, 200, h)).height(), 0.0);
}

TEST(GaugeGeometry, MoltenFillWidth) {
    struct Case {
        double width, fraction, height, fill;
    };
    const Case cases[] = {
        {300, 0, 6, 0},      // only the well
        {300, 0.001, 6, 6},  // a round dot, not 0.3
        {300, 0.5, 6, 150},  //
        {300, 2, 6, 300},    // overfull spans the width
        {300, -1, 6, 0},     //
        {300, kNaN, 6, 0},   // no reading shows nothing
        {4, 0.5, 6, 6},      // the dot wins over a narrow bar
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        EXPECT_DOUBLE_EQ(GaugeGeometry::moltenFillWidth(c.width, c.fraction, c.height), c.fill);
    }
}

TEST(LoaderGeometry, ReducedMotionHoldsEveryPuffAtTheSamePhase) {
    const double size = 40;
    for (int i = 0; i < 4; ++i) {
        for (double t : {0.0, 7.3, 812345678.9}) {
            const LoaderPuff p = LoaderGeometry::puff(i, 4, t, size, true);
            EXPECT_DOUBLE_EQ(p.phase, 0.45);
            EXPECT_NEAR(p.scale, 0.855, 1e-12);
            EXPECT_NEAR(p.opacity, 0.9383, 1e-4);
            EXPECT_NEAR(p.dy, -0.055 * size, 1e-12);  // lifted above the centre
            EXPECT_NEAR(p.rotation, 90 * i + 31.5, 1e-12);
        }
    }
}

TEST(LoaderGeometry, PuffsAreStaggeredEvenlyOverATwoSecondCycle) {
    struct Case {
        int index, count;
        double t, phase;
    };
    const Case cases[] = {
        {0, 4, 0.0, 0.0},  {1, 4, 0.0, 0.25},    {3, 4, 0.0, 0.75},
        {0, 4, 1.0, 0.5},  {3, 4, 1.0, 0.25},                       // wraps around
        {0, 4, 2.0, 0.0},                                           // one cycle later
        {0, 1, 0.5, 0.25}, {2, 3, 0.0, 2.0 / 3}, {1, 0, 0.0, 0.0},  // no images: the count is taken as one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << "/" << c.count << " t=" << c.t);
        const LoaderPuff p = LoaderGeometry::puff(c.index, c.count, c.t, 10, false);
        EXPECT_NEAR(p.phase, c.phase, 1e-12);
        EXPECT_NEAR(p.scale, 0.45 + 0.9 * c.phase, 1e-12);
        EXPECT_NEAR(p.dx, 0.8 * std::sin(2 * std::numbers::pi * c.phase + c.index), 1e-12);
        EXPECT_NEAR(p.dy, 3.5 - 9 * c.phase, 1e-12);  // starts below the centre and rises
        EXPECT_NEAR(p.opacity, 0.95 * std::sin(std::numbers::pi * c.phase), 1e-12);
    }
    // A puff at the start of its cycle is invisible; half way it is at its brightest.
    EXPECT_NEAR(LoaderGeometry::puff(0, 4, 0, 10, false).opacity, 0.0, 1e-12);
    EXPECT_NEAR(LoaderGeometry::puff(0, 2, 1.0, 10, false).opacity, 0.95, 1e-12);
}

}  // namespace
}  // namespace nimbrel
