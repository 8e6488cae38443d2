#include "theme/logo.h"

#include <QImage>
#include <QPainter>
#include <QPen>
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

QImage NimbrelLogo::appIcon(int side) {
    // Everything the mark paints (the puff above its frame, the drop's round end below), at size 1.
    const LogoLayout unit = LogoGeometry::layout(1.0);
    const QRectF reach = unit.frame.united(unit.puff).united(Droplet::path(unit.drop).boundingRect());
    const QRectF tile =
        QRectF(0, 0, side, side).adjusted(side * 0.06, side * 0.06, -side * 0.06, -side * 0.06);
    const double scale = 0.74 * tile.width() / std::max(reach.width(), reach.height());
    const QPointF origin((side - reach.width() * scale) / 2 - reach.left() * scale,
                         (side - reach.height() * scale) / 2 - reach.top() * scale);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Palette::glassEdge(), std::max(1.0, side / 128.0)));
    p.setBrush(Palette::canvas().resolve(Appearance::dark));
    p.drawRoundedRect(tile, tile.width() * 0.22, tile.width() * 0.22);
    paint(p, origin, scale);
    return image;
}

}  // namespace nimbrel
