#include "theme/gauges.h"

#include <QPainter>
#include <QPainterPath>

#include "theme/drawing_timeline.h"
#include "theme/gauge_geometry.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

namespace {

constexpr int kGaugeFrameMs = 1000 / 30;

QLinearGradient liquidGradient(double fraction, QPointF from, QPointF to) {
    // Fixed colours: the liquid looks the same in either appearance.
    static const QColor kFoam = fixedColor(OKLCH::of(0.95, 0.03, 195));
    static const QColor kAqua = fixedColor(OKLCH::of(0.82, 0.11, 195));
    static const QColor kDeep = fixedColor(OKLCH::of(0.66, 0.12, 212));
    static const QColor kHot = fixedColor(OKLCH::of(0.6, 0.21, 30));
    QLinearGradient g(from, to);
    if (GaugeGeometry::isWarm(fraction)) {
        g.setColorAt(0, kDeep);
        g.setColorAt(1, kHot);
    } else {
        g.setColorAt(0, kFoam);
        g.setColorAt(0.5, kAqua);
        g.setColorAt(1, kDeep);
    }
    return g;
}

}  // namespace

LiquidGauge::LiquidGauge(double fraction, double height, QWidget* parent)
    : QWidget(parent),
      fraction_(fraction),
      height_(height),
      timeline_(new DrawingTimeline(this, kGaugeFrameMs, [] { return ReduceMotion::isOn(); })) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LiquidGauge::setFraction(double fraction) {
    if (fraction == fraction_) return;
    fraction_ = fraction;
    update();
}

QSize LiquidGauge::sizeHint() const {
    return QSize(120, qRound(height_));
}
QSize LiquidGauge::minimumSizeHint() const {
    return QSize(24, qRound(height_));
}

void LiquidGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const QPainterPath frame = Shapes::rounded(bounds, GaugeGeometry::kCornerRadius);
    p.fillPath(frame, Palette::well().resolve(this));

    p.save();
    p.setClipPath(frame);
    const QSizeF size = bounds.size();
    const double base = GaugeGeometry::surfaceBase(fraction_, size.height());
    const bool reduce = ReduceMotion::isOn();
    const QLinearGradient fill =
        liquidGradient(fraction_, QPointF(0, base), QPointF(size.width(), size.height()));
    for (const GaugeWave& wave : GaugeGeometry::kWaves) {
        p.setOpacity(wave.opacity);
        p.fillPath(
            GaugeGeometry::wavePath(size, base, GaugeGeometry::amplitude(wave, reduce), wave, timeline_->t()),
            fill);
    }
    p.restore();

    // The border is drawn inside the frame: the stroke is inset by half its width.
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::rounded(Shapes::inset(bounds, 0.5), GaugeGeometry::kCornerRadius - 0.5));
}

MoltenBar::MoltenBar(double fraction, double height, std::optional<QColor> tint, QWidget* parent)
    : QWidget(parent), fraction_(fraction), height_(height), tint_(tint) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MoltenBar::setFraction(double fraction) {
    if (fraction == fraction_) return;
    fraction_ = fraction;
    update();
}

void MoltenBar::setTint(std::optional<QColor> tint) {
    tint_ = tint;
    update();
}

QRectF MoltenBar::fillRect() const {
    return QRectF(0, 0, GaugeGeometry::moltenFillWidth(width(), fraction_, height_), height());
}

QSize MoltenBar::sizeHint() const {
    return QSize(120, qRound(height_));
}
QSize MoltenBar::minimumSizeHint() const {
    return QSize(qRound(height_), qRound(height_));
}

void MoltenBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.fillPath(Shapes::capsule(rect()), Palette::well().resolve(this));
    const QRectF fill = fillRect();
    if (fill.width() <= 0) return;
    if (tint_) {
        p.fillPath(Shapes::capsule(fill), *tint_);
    } else {
        p.fillPath(Shapes::capsule(fill), Palette::nimbrelFlat());
    }
}

}  // namespace nimbrel
