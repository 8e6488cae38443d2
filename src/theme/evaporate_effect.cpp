#include "theme/evaporate_effect.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QWidget>

#include "theme/effect_library.h"
#include "theme/shapes.h"

namespace nimbrel {

std::optional<QString> NimbrelShaders::lookup(const QStringList& candidates) {
    for (const QString& c : candidates)
        if (QFileInfo::exists(c)) return c;
    return std::nullopt;
}

QStringList NimbrelShaders::candidates() {
    QStringList list{QStringLiteral(":/effects/") + QLatin1String(kFileName)};
    if (QCoreApplication::instance())
        list << QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kFileName);
    return list;
}

std::optional<ShaderLibrary> NimbrelShaders::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ShaderLibrary{path, EffectLibrary::parse(file.readAll())};
}

const std::optional<ShaderLibrary>& NimbrelShaders::library() {
    static const std::optional<ShaderLibrary> found = [] {
        const auto path = lookup(candidates());
        return path ? load(*path) : std::nullopt;
    }();
    return found;
}

EvaporateEffect::Fallback EvaporateEffect::fallback(double p) {
    return {kBlur * p, -kRise * p * p, 1 - p};
}

EvaporateEffect::EvaporateEffect(QObject* parent)
    : QGraphicsEffect(parent), useLibrary_(NimbrelShaders::has(QStringLiteral("evaporate"))) {}

void EvaporateEffect::setUsesLibrary(bool use) {
    if (use == useLibrary_) return;
    useLibrary_ = use;
    updateBoundingRect();
    update();
}

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
    if (useLibrary_) {
        // Room for the grains to drift sideways and rise.
        const double side = EffectLibrary::evaporateReach(rect.size()).width();
        return rect.adjusted(-side, -std::ceil(EffectLibrary::evaporateLift(rect.size())), side, 0);
    }
    // Room for the rise and the blur, so the parent does not cut the item off while it lifts.
    const double reach = Shapes::reach(kBlur);
    return rect.adjusted(-reach, -kRise - reach, reach, reach);
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed) {
    paintLayer(p, layer, topLeft, progress, seed, NimbrelShaders::has(QStringLiteral("evaporate")));
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed, bool useLibrary) {
    const double dpr = layer.devicePixelRatio();
    if (useLibrary) {
        if (!libraryEffectOn(progress)) {
            p.drawImage(topLeft, layer);
            return;
        }
        const QSizeF size = QSizeF(layer.size()) / dpr;
        const int lift = int(std::ceil(EffectLibrary::evaporateLift(size) * dpr));
        const QImage out = EffectLibrary::evaporate(layer, progress, size, seed, lift);
        p.drawImage(topLeft - QPointF(0, lift / dpr), out);
        return;
    }
    const Fallback f = fallback(progress);
    if (f.opacity <= 0) return;
    const double pad = std::ceil(Shapes::reach(f.blur) * dpr);
    QImage padded(layer.size() + QSize(int(2 * pad), int(2 * pad)), QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    {
        QPainter pp(&padded);
        QImage plain = layer;
        plain.setDevicePixelRatio(1);
        pp.drawImage(QPointF(pad, pad), plain);
    }
    QImage blurred = Shapes::blur(padded, f.blur * dpr);
    blurred.setDevicePixelRatio(dpr);
    p.save();
    p.setOpacity(p.opacity() * f.opacity);
    p.drawImage(topLeft + QPointF(-pad / dpr, f.offsetY - pad / dpr), blurred);
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
    if (progress_ <= 0 || (useLibrary_ && !libraryEffectOn(progress_))) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (source.isNull()) return;
    QImage layer = source.toImage();
    layer.setDevicePixelRatio(source.devicePixelRatio());
    painter->save();
    painter->translate(offset);
    paintLayer(*painter, layer, QPointF(0, 0), progress_, seed_, useLibrary_);
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
    // Above the neighbours while under way (the grains and the fallback both leave the item's bounds).
    const bool raise = amount > 0 && !reduced_;
    if (raise && !raised_) {
        below_ = nullptr;
        if (QWidget* parent = target_->parentWidget()) {
            const QObjectList& siblings = parent->children();
            for (qsizetype i = siblings.indexOf(target_) + 1; i < siblings.size() && !below_; ++i)
                if (siblings[i]->isWidgetType()) below_ = static_cast<QWidget*>(siblings[i]);
        }
        target_->raise();
        raised_ = true;
    } else if (!raise && raised_) {
        if (below_) target_->stackUnder(below_);
        raised_ = false;
    }
    // At rest again: give the widget its graphics effect slot back.
    if (amount <= 0 && !vanishing_ && !amount_.isRunning()) {
        target_->setGraphicsEffect(nullptr);  // deletes the effect
        effect_ = nullptr;
    }
}

}  // namespace nimbrel
