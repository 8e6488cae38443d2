#pragma once

#include <QAbstractAnimation>
#include <QAnimationDriver>

#include "support/wait_for.h"

namespace nimbrel {

// Drives every Qt animation of the main thread from a clock the test moves, while it lives: real
// time no longer moves them, so a test sees the frames it asks for on any machine load, to the
// millisecond.
//
// Qt's animation timer adds its own wall-clock reading to the driver's time whenever the driver
// starts (when the first animation begins, or when the clock is installed over a running one), and
// the first tick after that hands the gap to every running animation. So the clock starts the
// driver once, keeps it running with an animation of its own that never ends, and takes that first
// tick itself before the test starts anything.
class AnimationClock : public QAnimationDriver {
  public:
    AnimationClock() {
        install();
        keepAlive_.start();
        flushEvents();  // the queued calls that start the timer and the driver
        advance();      // the first tick, carrying whatever wall time Qt read
        flushEvents();
    }
    ~AnimationClock() override {
        keepAlive_.stop();
        uninstall();
    }

    qint64 elapsed() const override { return now_; }

    // Lets `ms` pass for the animations, then runs what their steps and endings set off.
    void step(int ms) {
        flushEvents();  // animations just started join on a queued call
        now_ += ms;
        advance();
        flushEvents();
    }
    // Lets a long while pass: every animation that ends has ended.
    void finish() {
        for (int i = 0; i < 10; ++i)
            step(1000);
    }

  private:
    // Runs until stopped, so the animation timer never stops the driver between the test's animations.
    class KeepAlive : public QAbstractAnimation {
      public:
        int duration() const override { return -1; }

      protected:
        void updateCurrentTime(int) override {}
    };

    qint64 now_ = 0;
    KeepAlive keepAlive_;
};

}  // namespace nimbrel
