#pragma once

#include <QEasingCurve>
#include <optional>

namespace nimbrel {

// One animation of the design: a timing curve and a duration.
struct MotionSpec {
    QEasingCurve curve;
    int ms = 0;
};

// A cubic Bezier timing curve from (0, 0) to (1, 1) with the control points (x1, y1) and (x2, y2).
QEasingCurve timingCurve(double x1, double y1, double x2, double y2);
MotionSpec timingCurve(double x1, double y1, double x2, double y2, double seconds);

// The shared motion tokens.
struct Motion {
    static MotionSpec press();      // pressed scale of buttons
    static MotionSpec hover();      // hover fills and glows, lifting surfaces
    static MotionSpec modal();      // the shell's modal cards
    static MotionSpec indicator();  // sliding selection thumbs
    static MotionSpec evaporate();  // the evaporate effect
    // The snappy curve of press, hover and modal at another duration.
    static MotionSpec snappy(double seconds) { return timingCurve(0.23, 1, 0.32, 1, seconds); }
    // The platform's ease-in-out.
    static MotionSpec easeInOut(double seconds) { return timingCurve(0.42, 0, 0.58, 1, seconds); }
};

// A damped spring described by its response (the period of the undamped oscillation, in seconds) and
// its damping fraction (1 = critically damped, below 1 overshoots).
struct Spring {
    double response = 0.55;
    double dampingFraction = 0.825;

    // Position at time t (seconds) of a unit step: 0 at t = 0, settling at 1.
    double value(double t) const;
    // Time after which the motion stays within `epsilon` of its target.
    double settlingTime(double epsilon = 0.001) const;
};

// The platform's Reduce Motion setting: GNOME's enable-animations when its schema exists (off means
// reduce), forced on by NIMBREL_REDUCE_MOTION=1. Only the animations the design marks as reduce-aware
// consult it.
struct ReduceMotion {
    static bool isOn();
    // Tests and the gallery force a value; nullopt goes back to the platform.
    static void setOverride(std::optional<bool> on);
};

// The time the drawings animate against: seconds since 2001-01-01 (a double, as the timelines expect),
// which the gallery freezes to take repeatable pictures.
struct MotionClock {
    static double now();
    static void freeze(double seconds);
    static void unfreeze();
};

}  // namespace nimbrel
