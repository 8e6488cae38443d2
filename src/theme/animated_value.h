#pragma once

#include <QObject>
#include <QVariantAnimation>
#include <optional>

#include "theme/motion.h"

namespace nimbrel {

// One animated number a widget draws with (an opacity, a scale, a position). A new target restarts the
// motion from wherever the value is now, so interrupted animations never jump.
class AnimatedValue : public QObject {
    Q_OBJECT
  public:
    explicit AnimatedValue(double initial = 0, QObject* parent = nullptr);

    double value() const { return value_; }
    double target() const { return target_; }
    bool isRunning() const { return anim_.state() == QAbstractAnimation::Running; }

    // Moves to `target` along `motion`. With `honoursReduceMotion` the value jumps while Reduce Motion
    // is on; most animations of the design ignore the setting.
    void animateTo(double target, const MotionSpec& motion, bool honoursReduceMotion = false);
    void springTo(double target, const Spring& spring, bool honoursReduceMotion = false);
    void setImmediate(double v);

    // The running animation, so tests can sample it with setCurrentTime().
    QVariantAnimation& animation() { return anim_; }

    // Every animation ends at once (the gallery's still pictures).
    static void setAllInstant(bool instant);
    static bool allInstant();

  signals:
    void changed(double value);

  private:
    void start(double target, int ms, const QEasingCurve& curve, std::optional<Spring> spring, bool reduce);
    void onProgress(double p);

    QVariantAnimation anim_;
    double value_;
    double from_;
    double target_;
    std::optional<Spring> spring_;
    int durationMs_ = 0;
};

}  // namespace nimbrel
