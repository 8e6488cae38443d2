#include "theme/evaporate_effect.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <utility>

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

// The room the effect takes depends on its mode and the item's size, never on the progress. Qt
// answers a new bounding rect by repainting the item's whole parent (a list of every row), so it is
// announced only when the mode changes; a frame repaints the item's own room.
void EvaporateEffect::setProgress(double p) {
    const bool modeChanged = std::exchange(opacityOnly_, false);
    if (p == progress_ && !modeChanged) return;
    progress_ = p;
    if (modeChanged) {
        still_ = QImage();  // a fade's picture is not taken as the grains need it
        updateBoundingRect();
    }
    update();
}

void EvaporateEffect::setRestOpacity(double opacity) {
    if (opacity == rest_) return;
    rest_ = opacity;
    update();
}

void EvaporateEffect::setOpacityOnly(double opacity) {
    if (opacityOnly_ && opacity == opacity_) return;
    const bool modeChanged = !std::exchange(opacityOnly_, true);
    progress_ = 0;
    opacity_ = opacity;
    if (modeChanged) {
        still_ = QImage();
        updateBoundingRect();
    }
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
    EvaporateFrames frames;
    paintLayer(p, layer, topLeft, progress, seed, useLibrary, frames);
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed, bool useLibrary, EvaporateFrames& frames) {
    const double dpr = layer.devicePixelRatio();
    if (useLibrary) {
        if (!libraryEffectOn(progress)) {
            p.drawImage(topLeft, layer);
            return;
        }
        if (progress >= 1) return;
        const QSizeF size = QSizeF(layer.size()) / dpr;
        const int lift = int(std::ceil(EffectLibrary::evaporateLift(size) * dpr));
        frames.prepare(layer, size, seed, lift);
        // Every item draws its frame through one buffer, cleared again where it drew: forty rows
        // going at once neither hold forty buffers nor clear them whole each frame.
        static QImage scratch;
        const QSize need(layer.width(), layer.height() + lift);
        if (scratch.width() < need.width() || scratch.height() < need.height()) {
            scratch = QImage(need.expandedTo(scratch.size()), QImage::Format_ARGB32_Premultiplied);
            scratch.fill(Qt::transparent);
        }
        const QRect drawn = frames.draw(progress, scratch);
        if (drawn.isEmpty()) return;
        p.drawImage(
            QRectF(topLeft + QPointF(drawn.x() / dpr, (drawn.y() - lift) / dpr), QSizeF(drawn.size()) / dpr),
            scratch, QRectF(drawn));
        uchar* const bits = scratch.bits();
        for (int y = drawn.top(); y <= drawn.bottom(); ++y)
            std::fill_n(reinterpret_cast<uint32_t*>(bits + y * scratch.bytesPerLine()) + drawn.left(),
                        drawn.width(), 0U);
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

bool EvaporateEffect::underWay() const {
    // A fade under way draws from one picture too: forty rows fading cost forty pictures once.
    if (opacityOnly_) return opacity_ > 0 && opacity_ < 1;
    return useLibrary_ ? libraryEffectOn(progress_) : progress_ > 0;
}

void EvaporateEffect::draw(QPainter* painter) {
    // Gone, or evaporated: nothing to draw and no reason to paint the item at all.
    if (opacityOnly_ ? opacity_ <= 0 : progress_ >= 1) return;
    if (!underWay()) {
        // At rest the item may change between frames: a fresh picture each time.
        still_ = QImage();
        frames_ = EvaporateFrames();
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
        ++picturesTaken_;
        if (source.isNull()) return;
        painter->save();
        painter->setOpacity(painter->opacity() * rest_ * (opacityOnly_ ? opacity_ : 1.0));
        painter->drawPixmap(offset, source);
        painter->restore();
        // What the screen shows of the item now: if it starts to go at the next frame, it goes from
        // this picture, and a list of rows that all start at once is not painted twice in a row.
        lastShown_ = source;
        lastShownOffset_ = offset;
        return;
    }
    // Under way: the item as it was when it started to go, taken again only if its size changed.
    const QSizeF item = sourceBoundingRect(Qt::LogicalCoordinates).size();
    if (still_.isNull() || QSizeF(still_.size()) / still_.devicePixelRatio() != item) {
        QPixmap source = std::exchange(lastShown_, QPixmap());
        stillOffset_ = lastShownOffset_;
        if (source.isNull() || QSizeF(source.size()) / source.devicePixelRatio() != item) {
            source = sourcePixmap(Qt::LogicalCoordinates, &stillOffset_, QGraphicsEffect::NoPad);
            ++picturesTaken_;
        }
        if (source.isNull()) return;
        still_ = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // The grains hide a sharp screen's finer pixels: the item evaporates at one pixel a point, so
        // a frame costs the same on any screen.
        if (source.devicePixelRatio() > 1 && !opacityOnly_) {
            still_ = still_.scaled((QSizeF(still_.size()) / source.devicePixelRatio()).toSize(),
                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            still_.setDevicePixelRatio(1);
        }
    }
    lastShown_ = QPixmap();
    painter->save();
    painter->setOpacity(painter->opacity() * rest_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(stillOffset_);
    if (opacityOnly_) {
        painter->setOpacity(painter->opacity() * opacity_);
        painter->drawImage(QPointF(0, 0), still_);
    } else {
        paintLayer(*painter, still_, QPointF(0, 0), progress_, seed_, useLibrary_, frames_);
    }
    painter->restore();
}
EvaporateTrigger::EvaporateTrigger(QWidget* target, double seed, double rest)
    : QObject(target), target_(target), seed_(seed), rest_(rest) {
    connect(&amount_, &AnimatedValue::changed, this, [this](double v) { apply(v); });
    connect(&amount_.animation(), &QAbstractAnimation::finished, this, [this] { apply(amount_.value()); });
    if (rest_ < 1) install();
}

void EvaporateTrigger::install() {
    if (effect_ || !target_) return;
    effect_ = new EvaporateEffect(target_);
    effect_->setSeed(seed_);
    effect_->setRestOpacity(rest_);
    target_->setGraphicsEffect(effect_);
}

void EvaporateTrigger::setVanishing(bool vanishing) {
    if (vanishing == vanishing_) return;
    vanishing_ = vanishing;
    if (!target_) return;
    install();
    if (vanishing) {
        // Only what is on screen is seen to go; Reduce Motion fades it instead.
        atOnce_ = !target_->isVisible() || target_->visibleRegion().isEmpty();
        fading_ = !atOnce_ && ReduceMotion::isOn();
        if (atOnce_)
            amount_.setImmediate(1);
        else
            amount_.animateTo(1, fading_ ? reducedFade() : Motion::evaporate());
    } else if (atOnce_) {
        atOnce_ = false;
        amount_.setImmediate(0);
    } else {
        amount_.animateTo(0, fading_ ? reducedFade() : comeBack());
    }
    apply(amount_.value());
}

void EvaporateTrigger::apply(double amount) {
    if (!effect_ || !target_) return;
    if (atOnce_)
        effect_->setOpacityOnly(0);
    else if (fading_)
        effect_->setOpacityOnly(1 - amount);
    else
        effect_->setProgress(amount);
    // Above the neighbours while under way (the grains and the fallback both leave the item's bounds).
    const bool raise = amount > 0 && !atOnce_ && !fading_;
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
    // At rest again: give the widget its graphics effect slot back (a dimmed item keeps it).
    if (amount <= 0 && !vanishing_ && !amount_.isRunning()) {
        fading_ = false;
        if (rest_ < 1) {
            effect_->setProgress(0);
        } else {
            target_->setGraphicsEffect(nullptr);  // deletes the effect
            effect_ = nullptr;
        }
    }
}

}  // namespace nimbrel
