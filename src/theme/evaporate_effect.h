#pragma once

#include <QGraphicsEffect>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <optional>

#include "theme/animated_value.h"

namespace nimbrel {

// The compiled shader library the evaporate and fog effects would run. It is looked up once: in the
// resources, then beside the executable. This build ships none and has no way to run one, so the
// effects take their specified fallbacks.
struct NimbrelShaders {
    static constexpr const char* kFileName = "Nimbrel.metallib";
    // The first of the candidates that exists.
    static std::optional<QString> lookup(const QStringList& candidates);
    static QStringList candidates();
    // The library found for this process (looked up on first use and kept).
    static const std::optional<QString>& library();
    // Whether a library can actually run here: never, on this platform.
    static bool runnable() { return false; }
};

// An item dissolving as it is removed. The fallback blurs it, lifts it and fades it out; `progress`
// runs from 0 (intact) to 1 (gone). In `opacityOnly` mode (Reduce Motion) it only fades.
class EvaporateEffect : public QGraphicsEffect {
    Q_OBJECT
  public:
    struct Fallback {
        double blur;
        double offsetY;
        double opacity;
    };
    static Fallback fallback(double progress);
    static constexpr double kRise = 40;
    static constexpr double kBlur = 8;

    explicit EvaporateEffect(QObject* parent = nullptr);

    double progress() const { return progress_; }
    void setProgress(double p);
    double seed() const { return seed_; }
    void setSeed(double seed) { seed_ = seed; }
    // Reduce Motion: only the opacity changes.
    void setOpacityOnly(double opacity);
    bool isOpacityOnly() const { return opacityOnly_; }
    double opacity() const { return opacity_; }

    // The same drawing for items painted by a delegate: `layer` is the item's picture at `topLeft`.
    static void paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress);

    QRectF boundingRectFor(const QRectF& rect) const override;

  protected:
    void draw(QPainter* painter) override;

  private:
    double progress_ = 0;
    double seed_ = 0;
    bool opacityOnly_ = false;
    double opacity_ = 1;
};

// Turns a widget's vanishing flag into the evaporate animation: in with the evaporate motion (1 s),
// back with the snappy curve (0.2 s); under Reduce Motion a plain fade over 0.25 s. The effect is
// installed only while the item is not at rest, so resting widgets keep their own graphics effect slot.
class EvaporateTrigger : public QObject {
    Q_OBJECT
  public:
    explicit EvaporateTrigger(QWidget* target, double seed = 0);
    void setVanishing(bool vanishing);
    bool isVanishing() const { return vanishing_; }
    EvaporateEffect* effect() const { return effect_; }
    AnimatedValue& animation() { return amount_; }

  private:
    void apply(double amount);

    QPointer<QWidget> target_;
    QPointer<EvaporateEffect> effect_;
    double seed_;
    bool vanishing_ = false;
    bool reduced_ = false;
    AnimatedValue amount_{0};
};

}  // namespace nimbrel
