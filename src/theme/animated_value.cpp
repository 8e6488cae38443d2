#include "theme/animated_value.h"

#include <cmath>

namespace nimbrel {

namespace {
bool instantAll = false;
}

void AnimatedValue::setAllInstant(bool instant) {
    instantAll = instant;
}
bool AnimatedValue::allInstant() {
    return instantAll;
}

AnimatedValue::AnimatedValue(double initial, QObject* parent)
    : QObject(parent), value_(initial), from_(initial), target_(initial) {
    anim_.setStartValue(0.0);
    anim_.setEndValue(1.0);
    connect(&anim_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { onProgress(v.toDouble()); });
    connect(&anim_, &QVariantAnimation::finished, this, [this] {
        if (value_ != target_) {
            value_ = target_;
            emit changed(value_);
        }
    });
}

void AnimatedValue::animateTo(double target, const MotionSpec& motion, bool honoursReduceMotion) {
    start(target, motion.ms, motion.curve, std::nullopt, honoursReduceMotion);
}

void AnimatedValue::springTo(double target, const Spring& spring, bool honoursReduceMotion) {
    const int ms = int(std::lround(spring.settlingTime() * 1000));
    start(target, ms, QEasingCurve(QEasingCurve::Linear), spring, honoursReduceMotion);
}

void AnimatedValue::setImmediate(double v) {
    anim_.stop();
    target_ = from_ = v;
    if (value_ != v) {
        value_ = v;
        emit changed(value_);
    }
}

void AnimatedValue::start(double target, int ms, const QEasingCurve& curve, std::optional<Spring> spring,
                          bool reduce) {
    if (target == target_ && (isRunning() || value_ == target)) return;
    if (ms <= 0 || instantAll || (reduce && ReduceMotion::isOn())) {
        setImmediate(target);
        return;
    }
    anim_.stop();
    from_ = value_;
    target_ = target;
    spring_ = spring;
    durationMs_ = ms;
    anim_.setDuration(ms);
    anim_.setEasingCurve(curve);
    anim_.start();
}

void AnimatedValue::onProgress(double p) {
    const double shaped = spring_ ? spring_->value(p * durationMs_ / 1000.0) : p;
    const double v = p >= 1 ? target_ : from_ + (target_ - from_) * shaped;
    if (v != value_) {
        value_ = v;
        emit changed(value_);
    }
}

}  // namespace nimbrel
