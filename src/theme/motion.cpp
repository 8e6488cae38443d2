#include "theme/motion.h"

#include <QDateTime>
#include <QPointF>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "theme/reduce_motion_gnome.h"

namespace nimbrel {

QEasingCurve timingCurve(double x1, double y1, double x2, double y2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

MotionSpec timingCurve(double x1, double y1, double x2, double y2, double seconds) {
    return {timingCurve(x1, y1, x2, y2), int(std::lround(seconds * 1000))};
}

MotionSpec Motion::press() {
    return timingCurve(0.23, 1, 0.32, 1, 0.12);
}
MotionSpec Motion::hover() {
    return timingCurve(0.23, 1, 0.32, 1, 0.16);
}
MotionSpec Motion::modal() {
    return timingCurve(0.23, 1, 0.32, 1, 0.26);
}
MotionSpec Motion::indicator() {
    return timingCurve(0.77, 0, 0.175, 1, 0.25);
}
MotionSpec Motion::evaporate() {
    return timingCurve(0.3, 0, 0.6, 1, 1.0);
}

double Spring::value(double t) const {
    if (t <= 0) return 0;
    const double w0 = 2 * M_PI / std::max(response, 1e-6);
    const double zeta = std::max(dampingFraction, 0.0);
    if (zeta < 1) {
        const double wd = w0 * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-zeta * w0 * t) * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    }
    if (zeta == 1) return 1 - std::exp(-w0 * t) * (1 + w0 * t);
    // Overdamped: two real roots.
    const double root = std::sqrt(zeta * zeta - 1);
    const double r1 = -w0 * (zeta - root);
    const double r2 = -w0 * (zeta + root);
    return 1 + (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r1 - r2);
}

double Spring::settlingTime(double epsilon) const {
    // Walk forward until the motion stays inside the band for a whole response period.
    const double step = 1.0 / 240;
    const double window = std::max(response, 0.05);
    double lastOutside = 0;
    for (double t = 0; t < 60; t += step) {
        if (std::abs(value(t) - 1) > epsilon)
            lastOutside = t;
        else if (t - lastOutside > window)
            break;
    }
    return lastOutside + step;
}

namespace {
std::optional<bool> reduceOverride;
std::optional<double> frozenAt;
}  // namespace

bool ReduceMotion::isOn() {
    if (reduceOverride) return *reduceOverride;
    const char* env = std::getenv("NIMBREL_REDUCE_MOTION");
    if (env && std::strcmp(env, "1") == 0) return true;
    const std::optional<bool> enabled = gnomeAnimationsEnabled();
    return enabled.has_value() && !*enabled;
}

void ReduceMotion::setOverride(std::optional<bool> on) {
    reduceOverride = on;
}

double MotionClock::now() {
    if (frozenAt) return *frozenAt;
    return QDateTime::currentMSecsSinceEpoch() / 1000.0 - 978307200.0;
}

void MotionClock::freeze(double seconds) {
    frozenAt = seconds;
}
void MotionClock::unfreeze() {
    frozenAt.reset();
}

}  // namespace nimbrel
