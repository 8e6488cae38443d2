#pragma once

#include <optional>

#include "theme/animated_value.h"
#include "theme/drawing_timeline.h"
#include "theme/motion.h"

namespace nimbrel {

// Reduce Motion forced on or off while the scope lives, and the system's setting again after, also
// when a failed assertion leaves the test early. The drawings' timelines hear of each change at once.
class ReduceMotionScope {
  public:
    explicit ReduceMotionScope(bool on) {
        ReduceMotion::setOverride(on);
        DrawingTimeline::refreshAll();
    }
    ~ReduceMotionScope() {
        ReduceMotion::setOverride(std::nullopt);
        DrawingTimeline::refreshAll();
    }
    ReduceMotionScope(const ReduceMotionScope&) = delete;
    ReduceMotionScope& operator=(const ReduceMotionScope&) = delete;
};

// Every animated value takes its end value at once while the scope lives.
class InstantAnimations {
  public:
    InstantAnimations() { AnimatedValue::setAllInstant(true); }
    ~InstantAnimations() { AnimatedValue::setAllInstant(false); }
    InstantAnimations(const InstantAnimations&) = delete;
    InstantAnimations& operator=(const InstantAnimations&) = delete;
};

}  // namespace nimbrel
