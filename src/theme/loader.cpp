#include "theme/loader.h"

#include <QPainter>
#include <cmath>

#include "theme/drawing_timeline.h"
#include "theme/loader_geometry.h"
#include "theme/motion.h"
#include "theme/stage_assets.h"

namespace nimbrel {

namespace {
constexpr int kLoaderFrameMs = 1000 / 15;
}  // namespace

NimbrelLoader::NimbrelLoader(double size, QWidget* parent)
    : QWidget(parent),
      size_(size),
      timeline_(new DrawingTimeline(this, kLoaderFrameMs, [] { return ReduceMotion::isOn(); })) {
    setAccessibleName(tr("Working"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QMargins NimbrelLoader::bleed() const {
    // The soft puffs mostly stay inside the square; near the top of their rise, grown and turned,
    // they reach about a third of the size above it and a little to the sides.
    const auto part = [this](double share) { return int(std::ceil(share * size_)); };
    return QMargins(part(0.15), part(0.35), part(0.15), part(0.1));
}

QRectF NimbrelLoader::layoutRect() const {
    const double side = LoaderGeometry::kFrameScale * size_;
    const QMargins b = bleed();
    return QRectF(b.left(), b.top(), side, side);
}

QSize NimbrelLoader::sizeHint() const {
    const int side = int(std::ceil(LoaderGeometry::kFrameScale * size_));
    return QSize(side, side).grownBy(bleed());
}

void NimbrelLoader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintPuffs(p, layoutRect().center(), size_, timeline_->t());
}

void NimbrelLoader::paintPuffs(QPainter& p, QPointF centre, double size, double t) {
    const auto& puffs = StageAssets::puffs();
    if (puffs.isEmpty()) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double side = LoaderGeometry::kPuffScale * size;
    const bool reduce = ReduceMotion::isOn();
    const int n = int(puffs.size());
    for (int i = 0; i < n; ++i) {
        const LoaderPuff puff = LoaderGeometry::puff(i, n, t, size, reduce);
        p.save();
        p.translate(centre + QPointF(puff.dx, puff.dy));
        p.rotate(puff.rotation);
        p.scale(puff.scale, puff.scale);
        p.setOpacity(puff.opacity);
        p.drawImage(QRectF(-side / 2, -side / 2, side, side), puffs[i]);
        p.restore();
    }
}

}  // namespace nimbrel
