#include "theme/logo.h"

#include <QPainter>
#include <cmath>

#include "theme/droplet_geometry.h"
#include "theme/palette.h"
#include "theme/stage_assets.h"

namespace nimbrel {

namespace {

// The palette's gradients are in object coordinates; the drop's fill follows its frame, not the
// round end that pokes out below it.
QLinearGradient gradientOver(QLinearGradient g, const QRectF& r) {
    const QPointF start = g.start(), stop = g.finalStop();
    g.setCoordinateMode(QGradient::LogicalMode);
    g.setStart(r.left() + start.x() * r.width(), r.top() + start.y() * r.height());
    g.setFinalStop(r.left() + stop.x() * r.width(), r.top() + stop.y() * r.height());
    return g;
}

}  // namespace

NimbrelLogo::NimbrelLogo(double size, QWidget* parent) : QWidget(parent), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QMargins NimbrelLogo::bleedFor(double size) {
    return QMargins(0, int(std::ceil(LogoGeometry::overshootAbove(size, true))), 0,
                    int(std::ceil(LogoGeometry::overshootBelow(size))));
}

QRectF NimbrelLogo::layoutRect() const {
    return QRectF(0, bleed().top(), size_, 1.1 * size_);
}

QSize NimbrelLogo::sizeHint() const {
    return QSize(int(std::ceil(size_)), int(std::ceil(1.1 * size_))).grownBy(bleed());
}

void NimbrelLogo::paint(QPainter& p, QPointF origin, double size) {
    const LogoLayout l = LogoGeometry::layout(size);
    p.save();
    p.translate(origin);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const auto& puffs = StageAssets::puffs();
    if (!puffs.isEmpty()) {
        p.setOpacity(LogoGeometry::kPuffOpacity);
        p.drawImage(l.puff, puffs.front());
        p.setOpacity(1);
    }
    p.fillPath(Droplet::path(l.drop), gradientOver(Palette::nimbrel(), l.drop));
    p.translate(l.highlight.center());
    p.rotate(l.highlightRotation);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, float(LogoGeometry::kHighlightOpacity)));
    p.drawEllipse(QRectF(-l.highlight.width() / 2, -l.highlight.height() / 2, l.highlight.width(),
                         l.highlight.height()));
    p.restore();
}

void NimbrelLogo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, layoutRect().topLeft(), size_);
}

}  // namespace nimbrel
