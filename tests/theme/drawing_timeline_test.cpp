#include "theme/drawing_timeline.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cmath>

#include "support/animations.h"
#include "support/wait_for.h"
#include "theme/animated_value.h"
#include "theme/drawing_test_support.h"
#include "theme/gauges.h"
#include "theme/loader.h"
#include "theme/motion.h"
#include "theme/steam_jet.h"
#include "theme/steamer.h"

namespace nimbrel {
namespace {

TEST(DrawingTimeline, TicksOnlyWhileVisibleAndMotionAllowed) {
    ReduceMotionScope motion(false);
    QWidget window;
    auto* gauge = new LiquidGauge(0.5, 16, &window);
    auto* loader = new NimbrelLoader(20, &window);
    struct Case {
        const char* name;
        const DrawingTimeline& timeline;
        int interval;
    };
    const Case cases[] = {{"gauge", gauge->timeline(), 33}, {"loader", loader->timeline(), 66}};
    for (const Case& c : cases)
        EXPECT_FALSE(c.timeline.isTicking()) << c.name << " before it is shown";

    window.show();
    for (const Case& c : cases) {
        EXPECT_TRUE(c.timeline.isTicking()) << c.name;
        EXPECT_EQ(c.timeline.interval(), c.interval) << c.name;
    }

    window.hide();  // hiding the window hides the drawings with it
    for (const Case& c : cases)
        EXPECT_FALSE(c.timeline.isTicking()) << c.name << " hidden";

    window.show();
    gauge->hide();
    EXPECT_FALSE(gauge->timeline().isTicking());
    EXPECT_TRUE(loader->timeline().isTicking());
    gauge->show();

    ReduceMotion::setOverride(true);
    DrawingTimeline::refreshAll();
    for (const Case& c : cases)
        EXPECT_FALSE(c.timeline.isTicking()) << c.name << " under Reduce Motion";
    ReduceMotion::setOverride(false);
    DrawingTimeline::refreshAll();
    for (const Case& c : cases)
        EXPECT_TRUE(c.timeline.isTicking()) << c.name << " after Reduce Motion";
}

TEST(DrawingTimeline, AFrameAdvancesTheClockAndAPauseHoldsIt) {
    ReduceMotionScope motion(false);
    MotionClock::freeze(1000);
    LiquidGauge gauge(0.5, 16);
    gauge.show();
    EXPECT_EQ(gauge.timeline().t(), 1000);
    MotionClock::freeze(1000.5);
    EXPECT_TRUE(
        waitOn(&gauge.timeline(), &DrawingTimeline::frame, [&] { return gauge.timeline().t() == 1000.5; }));

    // The timeline's own timers are what is tested here, so the waits run the event loop until
    // they have fired.
    ReduceMotion::setOverride(true);
    MotionClock::freeze(1007);
    EXPECT_TRUE(waitUntil([&] { return !gauge.timeline().isTicking(); }, 1000))
        << "a tick notices the setting by itself and stops";
    EXPECT_EQ(gauge.timeline().t(), 1000.5);

    // Switched back off, again without a word: the paused timeline notices within its watch.
    ReduceMotion::setOverride(false);
    EXPECT_TRUE(
        waitUntil([&] { return gauge.timeline().isTicking(); }, 2 * DrawingTimeline::kWatchIntervalMs));
    EXPECT_EQ(gauge.timeline().t(), 1007);
    MotionClock::unfreeze();
    EXPECT_GT(MotionClock::now(), 7e8);  // the clock runs again: after 2023, in seconds since 2001
}

TEST(FlatSteamer, RocksOnlyWhileJettingWithMotionAllowed) {
    ReduceMotionScope motion(false);
    MotionClock::freeze(500.1);
    FlatSteamer steamer(0.5, false);
    steamer.show();
    EXPECT_FALSE(steamer.timeline().isTicking());
    EXPECT_EQ(steamer.currentAngle(), -24.0);
    EXPECT_EQ(steamer.currentBob(), 0.0);

    steamer.setJetting(true);
    EXPECT_TRUE(steamer.timeline().isTicking());
    EXPECT_NE(steamer.currentAngle(), -24.0);
    EXPECT_NE(steamer.currentBob(), 0.0);

    ReduceMotion::setOverride(true);
    DrawingTimeline::refreshAll();
    EXPECT_FALSE(steamer.timeline().isTicking());
    MotionClock::freeze(503.7);
    // Held still: no bob, tilted within 1.2 degrees of its resting angle.
    EXPECT_EQ(steamer.currentBob(), 0.0);
    EXPECT_NEAR(steamer.currentAngle(), -24.0, 1.2);
    EXPECT_EQ(steamer.currentAngle(), -24 + 1.2 * std::sin(9 * 500.1));

    steamer.setJetting(false);
    EXPECT_EQ(steamer.currentAngle(), -24.0);
    MotionClock::unfreeze();
}

TEST(SteamJet, FadesInQuicklyOutSlowlyAndStopsAtZero) {
    ReduceMotionScope motion(true);  // the fade ignores Reduce Motion
    AnimationClock clock;
    SteamJet jet;
    jet.resize(300, 200);
    jet.setActive(true);
    EXPECT_EQ(jet.strength(), 0.0);
    jet.show();  // the switching rule runs once on first appearance
    clock.step(75);
    EXPECT_LT(jet.strength(), 1.0);
    clock.step(75);
    EXPECT_DOUBLE_EQ(jet.strength(), 1.0);
    EXPECT_TRUE(jet.timeline().isTicking());

    jet.setActive(false);
    clock.step(250);
    EXPECT_GT(jet.strength(), 0.0);
    EXPECT_LT(jet.strength(), 1.0);
    EXPECT_TRUE(jet.timeline().isTicking());  // the puffs keep moving while they fade
    clock.step(250);
    EXPECT_EQ(jet.strength(), 0.0);
    EXPECT_FALSE(jet.timeline().isTicking());
}

}  // namespace
}  // namespace nimbrel
