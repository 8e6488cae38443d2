#include "theme/evaporate_effect.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPainter>
#include <QWidget>

#include "theme/shapes.h"

namespace nimbrel {

std::optional<QString> NimbrelShaders::lookup(const QStringList& candidates) {
    for (const QString& c : candidates)
        if (QFileInfo::exists(c)) return c;
    return std::nullopt;
}

QStringList NimbrelShaders::candidates() {
    QStringList list{QStringLiteral(":/") + QLatin1String(kFileName)};
    if (QCoreApplication::instance())
        list << QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kFileName);
    return list;
}

const std::optional<QString>& NimbrelShaders::library() {
    static const std::optional<QString> found = lookup(candidates());
    return found;
}

EvaporateEffect::Fallback EvaporateEffect::fallback(double p) {
    return {kBlur * p, -kRise * p * p, 1 - p};
}

EvaporateEffect::EvaporateEffect(QObject* parent) : QGraphicsEffect(parent) {}

void EvaporateEffect::setProgress(double p) {
    opacityOnly_ = false;
    if (p == progress_) return;
    progress_ = p;
    updateBoundingRect();
    update();
}

void EvaporateEffect::setOpacityOnly(double opacity) {
    opacityOnly_ = true;
    progress_ = 0;
    opacity_ = opacity;
    updateBoundingRect();
    update();
}

QRectF EvaporateEffect::boundingRectFor(const QRectF& rect) const {
    if (opacityOnly_) return rect;
    // Room for the rise and the blur, so the parent does not cut the item off while it lifts.
    const double reach = Shapes::reach(kBlur);
    return rect.adjusted(-reach, -kRise - reach, reach, reach);
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress) {
    const Fallback f = fallback(progress);
    if (f.opacity <= 0) return;
    const double pad = std::ceil(Shapes::reach(f.blur));
    QImage padded(layer.size() + QSize(int(2 * pad), int(2 * pad)), QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    {
        QPainter pp(&padded);
        pp.drawImage(QPointF(pad, pad), layer);
    }
    const QImage blurred = Shapes::blur(padded, f.blur);
    p.save();
    p.setOpacity(p.opacity() * f.opacity);
    p.drawImage(topLeft + QPointF(-pad, f.offsetY - pad), blurred);
    p.restore();
}

void EvaporateEffect::draw(QPainter* painter) {
    if (opacityOnly_) {
        if (opacity_ >= 1) {
            drawSource(painter);
            return;
        }
        painter->save();
        painter->setOpacity(painter->opacity() * opacity_);
        drawSource(painter);
        painter->restore();
        return;
    }
    if (progress_ <= 0) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (source.isNull()) return;
    QImage layer = source.toImage();
    layer.setDevicePixelRatio(1);
    const double dpr = source.devicePixelRatio();
    painter->save();
    painter->translate(offset);
    painter->scale(1 / dpr, 1 / dpr);
    paintLayer(*painter, layer, QPointF(0, 0), progress_);
    painter->restore();
}

EvaporateTrigger::EvaporateTrigger(QWidget* target, double seed)
    : QObject(target), target_(target), seed_(seed) {
    connect(&amount_, &AnimatedValue::changed, this, [this](double v) { apply(v); });
    connect(&amount_.animation(), &QAbstractAnimation::finished, this, [this] { apply(amount_.value()); });
}

void EvaporateTrigger::setVanishing(bool vanishing) {
    if (vanishing == vanishing_) return;
    vanishing_ = vanishing;
    if (!target_) return;
    reduced_ = ReduceMotion::isOn();
    if (!effect_) {
        effect_ = new EvaporateEffect(target_);
        effect_->setSeed(seed_);
        target_->setGraphicsEffect(effect_);
    }
    if (reduced_) {
        amount_.animateTo(vanishing ? 1 : 0, Motion::snappy(0.25));
    } else {
        amount_.animateTo(vanishing ? 1 : 0, vanishing ? Motion::evaporate() : Motion::snappy(0.2));
    }
    apply(amount_.value());
}

void EvaporateTrigger::apply(double amount) {
    if (!effect_ || !target_) return;
    if (reduced_)
        effect_->setOpacityOnly(1 - amount);
    else
        effect_->setProgress(amount);
    // At rest again: give the widget its graphics effect slot back.
    if (amount <= 0 && !vanishing_ && !amount_.isRunning()) {
        target_->setGraphicsEffect(nullptr);  // deletes the effect
        effect_ = nullptr;
    }
}

}  // namespace nimbrel
