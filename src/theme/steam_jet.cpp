#include "theme/steam_jet.h"

#include <QPainter>
#include <numbers>

#include "theme/animated_value.h"
#include "theme/drawing_timeline.h"
#include "theme/motion.h"
#include "theme/stage_assets.h"
#include "theme/steam_jet_geometry.h"

namespace nimbrel {

namespace {
constexpr int kJetFrameMs = 1000 / 30;
}  // namespace

SteamJet::SteamJet(QWidget* parent) : QWidget(parent), strength_(new AnimatedValue(0, this)) {
    timeline_ = new DrawingTimeline(this, kJetFrameMs, [this] { return strength_->value() == 0; });
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    connect(strength_, &AnimatedValue::changed, this, [this] {
        timeline_->refresh();
        update();
    });
}

double SteamJet::strength() const {
    return strength_->value();
}

void SteamJet::setFrom(QPointF from) {
    aim(from, to_);
}
void SteamJet::setTo(QPointF to) {
    aim(from_, to);
}

void SteamJet::aim(QPointF from, QPointF to) {
    if (from == from_ && to == to_) return;
    from_ = from;
    to_ = to;
    update();
}

void SteamJet::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    followActive();
}

void SteamJet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        followActive();
    }
}

void SteamJet::followActive() {
    // Steam comes on quickly and lingers as it goes; the fade ignores Reduce Motion.
    if (active_) {
        strength_->animateTo(1, Motion::easeInOut(kFadeInMs / 1000.0));
    } else {
        strength_->animateTo(0, Motion::easeInOut(kFadeOutMs / 1000.0));
    }
}

void SteamJet::paintEvent(QPaintEvent*) {
    const auto& images = StageAssets::puffs();
    const double strength = strength_->value();
    if (images.isEmpty() || strength <= 0) return;
    const auto puffs = SteamJetGeometry::puffs(from_, to_, timeline_->t(), strength, int(images.size()));

    // The puffs are drawn over each other as one layer, which is then screened onto the tiles so
    // it only lightens them. The layer covers just the puffs, not the whole overlay.
    QRectF bounds;
    for (const JetPuff& puff : puffs) {
        const double reach =
            puff.side * std::numbers::sqrt2 / 2 + 1;  // a turned square reaches its half diagonal
        bounds |= QRectF(puff.centre.x() - reach, puff.centre.y() - reach, 2 * reach, 2 * reach);
    }
    const QRect region = bounds.toAlignedRect().intersected(rect());
    if (region.isEmpty()) return;
    const qreal dpr = devicePixelRatioF();
    QImage layer(region.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::SmoothPixmapTransform);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.translate(-region.topLeft());
        for (const JetPuff& puff : puffs) {
            if (puff.opacity <= 0) continue;
            lp.save();
            lp.translate(puff.centre);
            lp.rotate(puff.rotation);
            lp.setOpacity(puff.opacity);
            lp.drawImage(QRectF(-puff.side / 2, -puff.side / 2, puff.side, puff.side), images[puff.image]);
            lp.restore();
        }
    }
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Screen);
    p.drawImage(region.topLeft(), layer);
}

}  // namespace nimbrel
