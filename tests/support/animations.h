#pragma once

#include <QAnimationDriver>

#include "support/wait_for.h"

namespace nimbrel {

// Drives every Qt animation of the main thread from a clock the test moves, while it lives: real
// time no longer moves them, so a test sees the frames it asks for on any machine load.
class AnimationClock : public QAnimationDriver {
  public:
    AnimationClock() { install(); }
    ~AnimationClock() override { uninstall(); }

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

  protected:
    // Each run of the driver starts its time from zero, as the animation timer expects.
    void start() override {
        now_ = 0;
        QAnimationDriver::start();
    }

  private:
    qint64 now_ = 0;
};

}  // namespace nimbrel
