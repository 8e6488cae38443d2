#include "theme/backdrop.h"

#include <QPainter>
#include <QRadialGradient>

#include "theme/effect_library.h"
#include "theme/evaporate_effect.h"
#include "theme/palette.h"

namespace nimbrel {

FogLayer::FogLayer(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

const QImage& FogLayer::shownAt(QSize size, double dpr) {
    static const QImage none;
    // Without the library's "fog" the fog is simply absent.
    if (!NimbrelShaders::has(QStringLiteral("fog")) || size.isEmpty()) return none;
    if (cache_.isNull() || cacheSize_ != size || shown_.devicePixelRatio() != dpr) {
        cache_ = EffectLibrary::fog(size, kFogConstant);
        cacheSize_ = size;
        // Enlarged once, to the screen's pixels.
        shown_ = QImage((QSizeF(size) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        shown_.setDevicePixelRatio(dpr);
        shown_.fill(Qt::transparent);
        QPainter p(&shown_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), cache_);
    }
    return shown_;
}

void FogLayer::paintEvent(QPaintEvent*) {
    // The backdrop lays the fog into its own picture: a repaint under rows that animate then
    // copies one picture, instead of blending the fog over the backdrop every frame.
}

NimbrelBackdrop::NimbrelBackdrop(QWidget* parent) : QWidget(parent), fog_(new FogLayer(this)) {
    fog_->lower();
}

void NimbrelBackdrop::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    fog_->setGeometry(rect());
    fog_->lower();
}

void NimbrelBackdrop::paintEvent(QPaintEvent*) {
    const QColor canvas = Palette::canvas().resolve(this);
    const double dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (pixels.isEmpty()) return;
    if (cache_.size() != pixels || cache_.devicePixelRatio() != dpr || cacheCanvas_ != canvas) {
        cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        cache_.setDevicePixelRatio(dpr);
        cache_.fill(Qt::transparent);
        cacheCanvas_ = canvas;
        QPainter p(&cache_);
        const QRectF r = QRectF(rect());
        p.fillRect(r, canvas);
        QLinearGradient body(r.topLeft(), r.bottomLeft());
        body.setColorAt(0, fixedColor(OKLCH::of(0.19, 0.03, 245)));
        body.setColorAt(1, fixedColor(OKLCH::of(0.115, 0.025, 245)));
        p.fillRect(r, body);
        // Glows fade to the same colour at alpha 0, so nothing darkens on the way out.
        auto glow = [&](QPointF unit, double radius, const OKLCH& colour, double opacity) {
            const QPointF centre(r.left() + unit.x() * r.width(), r.top() + unit.y() * r.height());
            QRadialGradient g(centre, radius);
            const QColor c = fixedColor(colour);
            g.setColorAt(0, withOpacity(c, opacity));
            g.setColorAt(1, withOpacity(c, 0));
            p.fillRect(r, g);
        };
        glow(QPointF(0.5, -0.25), 900, OKLCH::of(0.86, 0.07, 200), 0.12);
        glow(QPointF(0.5, 1.12), 620, OKLCH::of(0.82, 0.11, 195), 0.05);
        const QImage& fog = fog_->shownAt(size(), dpr);
        if (!fog.isNull()) p.drawImage(QPointF(0, 0), fog);
    }
    QPainter p(this);
    // The backdrop is opaque and lies under everything: copied, not blended.
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPointF(0, 0), cache_);
}

}  // namespace nimbrel
