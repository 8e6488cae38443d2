#pragma once

#include "theme/animated_value.h"

namespace nimbrel {

// The close of the gaps that removed rows or tiles leave, shared by the lists and the explorer's
// tiles so both move alike: the kept ones start where they were drawn, offset from their new place
// by some distance, and travel the rest of it on the removal's curve. Under Reduce Motion they take
// their places at once. At rest (nothing closing) the value is 1.
class GapClose : public AnimatedValue {
  public:
    static MotionSpec motion() { return timingCurve(0.77, 0, 0.175, 1, 0.28); }

    GapClose() : AnimatedValue(1) {}

    // From the old places (the value 0) to the new (1).
    void start() {
        setImmediate(0);
        animateTo(1, motion(), true);
    }
    // The share of each start offset still to travel.
    double left() const { return 1 - value(); }
};

}  // namespace nimbrel
