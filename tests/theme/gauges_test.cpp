#include "theme/gauges.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/animations.h"
#include "theme/animated_value.h"
#include "theme/appearance.h"
#include "theme/drawing_test_support.h"
#include "theme/steam_jet.h"

namespace nimbrel {
namespace {

using test::maxAlpha;
using test::PuffsGuard;
using test::renderOf;
using test::whitePuff;

// Pixels where the gauge differs from the bare well: the liquid.
int liquidPixels(const QImage& img, const QImage& well) {
    int count = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor a = img.pixelColor(x, y), b = well.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                40)
                ++count;
        }
    }
    return count;
}

QImage gaugeImage(double fraction) {
    LiquidGauge gauge(fraction, 20);
    AppearanceOf::set(&gauge, Appearance::dark);
    gauge.resize(200, 20);
    return renderOf(gauge);
}

TEST(LiquidGauge, FillAndColourOnScreen) {
    ReduceMotionScope still(true);
    MotionClock::freeze(1234.5);
    struct Case {
        double fraction;
        double filled;  // share of the well's pixels showing liquid
        bool warm;      // the lower right ends in red
    };
    const Case cases[] = {
        {-0.5, 0, false},    // negative: empty
        {0.5, 0.5, false},   //
        {0.9, 0.9, false},   // still cool at nine tenths
        {0.95, 0.95, true},  //
        {1.3, 1, true},      // overfull: full and warm
    };
    // The bare well: an empty gauge whose surface is flat shows no liquid at all.
    const QImage well = gaugeImage(0);
    const double wellPixels = 200 * 20 - 4 * 12 * 12 * (1 - M_PI / 4);  // less the rounded corners
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fraction);
        const QImage img = gaugeImage(c.fraction);
        EXPECT_NEAR(liquidPixels(img, well) / wellPixels, c.filled, 0.05);
        if (c.filled > 0) {
            const QColor lowerRight = img.pixelColor(185, 17);
            EXPECT_EQ(lowerRight.red() > lowerRight.blue(), c.warm);
        }
    }
    // With motion allowed, the crests of an empty gauge's waves rise above the bottom edge.
    ReduceMotion::setOverride(false);
    const int crests = liquidPixels(gaugeImage(0), well);
    EXPECT_GT(crests, 0);
    EXPECT_LT(crests, 0.1 * wellPixels);
    MotionClock::unfreeze();
}

TEST(MoltenBar, FillWidthOnAWideBar) {
    struct Case {
        double fraction;
        double fill;
    };
    const Case cases[] = {{0, 0}, {0.001, 6}, {0.25, 75}, {2, 300}};
    for (const Case& c : cases) {
        MoltenBar bar(c.fraction, 6);
        bar.resize(300, 6);
        EXPECT_DOUBLE_EQ(bar.fillRect().width(), c.fill) << c.fraction;
    }
    MoltenBar none(0, 6);
    none.resize(300, 6);
    MoltenBar tinted(0.5, 6, QColor(Qt::red));
    tinted.resize(300, 6);
    const QImage img = renderOf(tinted);
    EXPECT_EQ(img.pixelColor(75, 3), QColor(Qt::red));
    EXPECT_NE(img.pixelColor(225, 3), QColor(Qt::red));  // the well beyond the fill
}

TEST(SteamJet, DrawsNothingWithoutPuffImages) {
    AnimationClock clock;
    SteamJet jet;
    jet.resize(200, 120);
    jet.aim({20, 100}, {160, 40});
    jet.setActive(true);
    jet.show();
    clock.step(150);
    ASSERT_EQ(jet.strength(), 1.0);
    MotionClock::freeze(10.2);
    {
        PuffsGuard puffs({});
        EXPECT_EQ(maxAlpha(renderOf(jet), 0, 120), 0);
    }
    {
        PuffsGuard puffs({whitePuff()});
        EXPECT_GT(maxAlpha(renderOf(jet), 0, 120), 0);
    }
    MotionClock::unfreeze();
}

}  // namespace
}  // namespace nimbrel
