#include "theme/steamer.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "theme/drawing_timeline.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/stage_assets.h"
#include "theme/steamer_geometry.h"

namespace nimbrel {

namespace {

constexpr int kSteamerFrameMs = 1000 / 30;
// Room around the drawing for its tilt of up to 25.2 degrees and its bob.
constexpr QMargins kSteamerBleed(20, 23, 20, 23);

const QColor& foam() {
    static const QColor c = fixedColor(OKLCH::of(0.95, 0.03, 195));
    return c;
}

QLinearGradient topToBottom(const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// Multiplies every pixel's colour by `tint`, keeping its coverage: a white puff takes the tint.
QImage multiplied(const QImage& source, const QColor& tint) {
    QImage out = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const float r = tint.redF(), g = tint.greenF(), b = tint.blueF();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = line[x];
            line[x] = qRgba(int(qRed(px) * r + 0.5f), int(qGreen(px) * g + 0.5f), int(qBlue(px) * b + 0.5f),
                            qAlpha(px));
        }
    }
    return out;
}

const QImage& stainPuff(const QImage& source) {
    static QHash<qint64, QImage> cache;
    auto it = cache.find(source.cacheKey());
    if (it == cache.end()) it = cache.insert(source.cacheKey(), multiplied(source, Stain::color()));
    return *it;
}

}  // namespace

FlatSteamer::FlatSteamer(double waterLevel, bool jetting, QWidget* parent)
    : QWidget(parent), waterLevel_(waterLevel), jetting_(jetting) {
    timeline_ =
        new DrawingTimeline(this, kSteamerFrameMs, [this] { return ReduceMotion::isOn() || !jetting_; });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor FlatSteamer::trim() {
    static const QColor c = fixedColor(OKLCH::of(0.5, 0.012, 240));
    return c;
}

QColor FlatSteamer::trimDark() {
    static const QColor c = fixedColor(OKLCH::of(0.36, 0.012, 240));
    return c;
}

void FlatSteamer::setWaterLevel(double level) {
    if (level == waterLevel_) return;
    waterLevel_ = level;
    update();
}

void FlatSteamer::setJetting(bool jetting) {
    if (jetting == jetting_) return;
    jetting_ = jetting;
    timeline_->refresh();
    update();
}

double FlatSteamer::currentAngle() const {
    return SteamerGeometry::angle(jetting_, timeline_->t());
}

double FlatSteamer::currentBob() const {
    return SteamerGeometry::bob(jetting_, ReduceMotion::isOn(), timeline_->t());
}

QMargins FlatSteamer::bleed() const {
    return kSteamerBleed;
}

QRectF FlatSteamer::layoutRect() const {
    const QSizeF s = SteamerGeometry::kDrawingSize * SteamerGeometry::kScale;
    return QRectF(QPointF(kSteamerBleed.left(), kSteamerBleed.top()), s);
}

QSize FlatSteamer::sizeHint() const {
    const QSizeF s = SteamerGeometry::kDrawingSize * SteamerGeometry::kScale;
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height()))).grownBy(kSteamerBleed);
}

void FlatSteamer::paintDrawing(QPainter& p, double waterLevel, const QColor& accent) {
    const SteamerLayout l = SteamerGeometry::layout(waterLevel);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Handle, with a thin highlight along its upper-left side.
    const QPainterPath handle = SteamerHandle::path(l.handle);
    QPen handlePen(trim(), 7, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    handlePen.setMiterLimit(10);
    p.strokePath(handle, handlePen);
    p.strokePath(handle.translated(-1, -1),
                 QPen(QColor::fromRgbF(1, 1, 1, 0.22f), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));

    // Spout with its nozzle light.
    p.fillPath(Shapes::capsule(l.spout), topToBottom(l.spout, trim(), trimDark()));
    QPainterPath nozzle;
    nozzle.addRoundedRect(l.nozzle, 1.5, 1.5);
    p.fillPath(nozzle, accent);

    // Tank: glass, water, outline, glint.
    const QPainterPath body = SteamerBody().path(l.tank);
    p.fillPath(body, topToBottom(l.tank, withOpacity(foam(), 0.32), withOpacity(foam(), 0.14)));
    p.save();
    p.setClipPath(SteamerGeometry::waterClip(l), Qt::IntersectClip);
    static const QColor aqua = fixedColor(OKLCH::of(0.82, 0.11, 195));
    static const QColor deep = fixedColor(OKLCH::of(0.66, 0.12, 212));
    p.fillRect(l.water, topToBottom(l.water, aqua, deep));
    p.fillRect(l.surfaceLine, withOpacity(foam(), 0.9));
    p.restore();
    QPen outline(QColor::fromRgbF(1, 1, 1, 0.6f), 1.8, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    outline.setMiterLimit(10);
    p.strokePath(body, outline);
    p.fillPath(Shapes::capsule(l.glint), QColor::fromRgbF(1, 1, 1, 0.35f));

    // Lid: knob over plate.
    p.fillPath(Shapes::capsule(l.knob), trim());
    p.fillPath(Shapes::rounded(l.plate, 3), topToBottom(l.plate, trim(), trimDark()));
    p.restore();
}

QTransform FlatSteamer::drawingTransform() const {
    const QPointF centre = layoutRect().center() + QPointF(0, currentBob());
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(currentAngle());
    t.scale(SteamerGeometry::kScale, SteamerGeometry::kScale);
    t.translate(-SteamerGeometry::kDrawingSize.width() / 2, -SteamerGeometry::kDrawingSize.height() / 2);
    return t;
}

void FlatSteamer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(drawingTransform());
    paintDrawing(p, waterLevel_, Palette::accent().resolve(this));
}

Stain::Stain(int seed, QWidget* parent) : QWidget(parent), seed_(seed) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor Stain::color() {
    static const QColor c = fixedColor(OKLCH::of(0.42, 0.075, 58));
    return c;
}

QImage Stain::render(int seed, QSize size, qreal dpr) {
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const auto& puffs = StageAssets::puffs();
    const StainLayout l = StainGeometry::layout(seed, int(puffs.size()));
    if (l.imageIndex >= 0) {
        p.save();
        p.translate(centre + l.offset);
        p.scale(StainGeometry::kImageScale, StainGeometry::kImageScale);
        p.rotate(l.rotation);
        p.drawImage(QRectF(-centre.x(), -centre.y(), size.width(), size.height()),
                    stainPuff(puffs[l.imageIndex]));
        p.restore();
    }
    p.setPen(Qt::NoPen);
    const auto dot = [&](QPointF offset, double side, double opacity) {
        p.setBrush(withOpacity(color(), opacity));
        p.drawEllipse(centre + offset, side / 2, side / 2);
    };
    dot(StainGeometry::kBigDotOffset, StainGeometry::kBigDotSide, 0.7);
    dot(StainGeometry::kSmallDotOffset, StainGeometry::kSmallDotSide, 0.5);
    return image;
}

void Stain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Multiplied as one layer, so it darkens whatever lies under it.
    p.setCompositionMode(QPainter::CompositionMode_Multiply);
    p.setOpacity(0.95);
    p.drawImage(QPointF(0, 0), render(seed_, size(), devicePixelRatioF()));
}

}  // namespace nimbrel
