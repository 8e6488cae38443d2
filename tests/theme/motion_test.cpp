#include "theme/motion.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QVariantAnimation>
#include <cmath>
#include <cstdlib>

#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/animated_value.h"

namespace nimbrel {
namespace {

// Independent cubic Bezier solver: bisection on x, then y at that parameter.
double bezier(double x1, double y1, double x2, double y2, double x) {
    auto coord = [](double a, double b, double t) {
        const double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    double lo = 0, hi = 1;
    for (int i = 0; i < 80; ++i) {
        const double mid = (lo + hi) / 2;
        (coord(x1, x2, mid) < x ? lo : hi) = mid;
    }
    return coord(y1, y2, (lo + hi) / 2);
}

TEST(MotionTest, TokensMatchTheirCurvesAndDurations) {
    struct Case {
        MotionSpec motion;
        double x1, y1, x2, y2;
        int ms;
    } cases[] = {
        {Motion::press(), 0.23, 1, 0.32, 1, 120},    {Motion::hover(), 0.23, 1, 0.32, 1, 160},
        {Motion::modal(), 0.23, 1, 0.32, 1, 260},    {Motion::indicator(), 0.77, 0, 0.175, 1, 250},
        {Motion::evaporate(), 0.3, 0, 0.6, 1, 1000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.motion.ms, c.ms);
        for (double x : {0.1, 0.25, 0.5, 0.75, 0.9})
            EXPECT_NEAR(c.motion.curve.valueForProgress(x), bezier(c.x1, c.y1, c.x2, c.y2, x), 2e-3)
                << c.ms << " at " << x;
        EXPECT_NEAR(c.motion.curve.valueForProgress(1.0), 1.0, 1e-9);
    }
    EXPECT_NEAR(Motion::indicator().curve.valueForProgress(0.5), 0.59597, 1e-3);
}

TEST(MotionTest, SpringsSettleAtTheirTarget) {
    struct Case {
        Spring s;
        bool overshoots;
    } cases[] = {{{0.55, 0.825}, true}, {{0.3, 0.6}, true}, {{0.5, 1.0}, false}, {{0.4, 1.5}, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.s.value(0), 0);
        double peak = 0;
        for (double t = 0; t < 3; t += 0.005)
            peak = std::max(peak, c.s.value(t));
        EXPECT_EQ(peak > 1.0005, c.overshoots) << c.s.response << "/" << c.s.dampingFraction;
        const double settle = c.s.settlingTime();
        EXPECT_GT(settle, 0.05);
        EXPECT_LT(settle, 5);
        for (double t = settle; t < settle + 2; t += 0.01)
            EXPECT_NEAR(c.s.value(t), 1, 1.1e-3);
    }
    // A stiffer response settles sooner.
    EXPECT_LT((Spring{0.2, 0.8}).settlingTime(), (Spring{0.8, 0.8}).settlingTime());
}

TEST(MotionTest, ReduceMotionGatesOnlyAwareAnimations) {
    ReduceMotionScope motion(true);
    AnimatedValue aware(0), unaware(0);
    aware.animateTo(1, Motion::indicator(), true);
    unaware.animateTo(1, Motion::hover(), false);
    EXPECT_FALSE(aware.isRunning());
    EXPECT_EQ(aware.value(), 1);
    EXPECT_TRUE(unaware.isRunning());
    ReduceMotion::setOverride(false);
    AnimatedValue moving(0);
    moving.animateTo(1, Motion::indicator(), true);
    EXPECT_TRUE(moving.isRunning());
    moving.animation().setCurrentTime(125);
    EXPECT_NEAR(moving.value(), 0.59597, 2e-3);
}

TEST(MotionTest, EnvironmentForcesReduceMotion) {
    ReduceMotion::setOverride(std::nullopt);
    ::setenv("NIMBREL_REDUCE_MOTION", "1", 1);
    EXPECT_TRUE(ReduceMotion::isOn());
    ::unsetenv("NIMBREL_REDUCE_MOTION");
}

TEST(MotionTest, InterruptedAnimationRestartsFromCurrentValue) {
    AnimatedValue v(0);
    v.animateTo(100, timingCurve(0, 0, 1, 1, 1.0));
    v.animation().setCurrentTime(500);
    const double mid = v.value();
    EXPECT_NEAR(mid, 50, 1);
    v.animateTo(0, timingCurve(0, 0, 1, 1, 1.0));
    EXPECT_NEAR(v.value(), mid, 1e-9);
    v.animation().setCurrentTime(1000);
    EXPECT_EQ(v.value(), 0);
}

TEST(MotionTest, SpringAnimationEndsExactlyOnTarget) {
    AnimatedValue v(0);
    v.springTo(10, Spring{0.3, 0.7});
    ASSERT_TRUE(v.isRunning());
    v.animation().setCurrentTime(v.animation().duration() / 4);
    EXPECT_GT(v.value(), 5);
    v.animation().setCurrentTime(v.animation().duration());
    EXPECT_EQ(v.value(), 10);
}

TEST(MotionTest, TheTestClockLetsNoWallTimeIntoAnimations) {
    // A slow machine: wall time passes while Qt's own timer runs an animation, or after the clock is
    // installed. An animation started under the clock still runs 1 ms before its end.
    for (bool runningBefore : {false, true}) {
        QVariantAnimation before;
        before.setDuration(60000);
        before.setStartValue(0.0);
        before.setEndValue(1.0);
        if (runningBefore) {
            before.start();
            flushEvents();
            QTest::qSleep(40);
        }
        AnimationClock clock;
        QTest::qSleep(40);
        AnimatedValue v(0);
        v.animateTo(100, timingCurve(0, 0, 1, 1, 0.15));
        clock.step(149);
        EXPECT_TRUE(v.isRunning()) << runningBefore;
        clock.step(1);
        EXPECT_FALSE(v.isRunning()) << runningBefore;
        EXPECT_EQ(v.value(), 100);
    }
}

}  // namespace
}  // namespace nimbrel
