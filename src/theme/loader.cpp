#include "theme/loader.h"

#include <QEvent>
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

// Draws the loader's puffs over its square and the bleed around it. Qt clips a widget to its own
// rectangle, so the drift beyond the square needs a widget of its own; it sits in the loader's parent,
// above the loader, and lets every click through.
class LoaderSpill : public QWidget {
  public:
    LoaderSpill(NimbrelLoader* loader, QWidget* parent) : QWidget(parent), loader_(loader) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!loader_) return;
        QPainter p(this);
        const QMargins b = loader_->bleed();
        loader_->paintLoader(p, QRectF(rect()).marginsRemoved(b).center(), size());
    }

  private:
    QPointer<NimbrelLoader> loader_;
};

NimbrelLoader::NimbrelLoader(double size, QWidget* parent)
    : QWidget(parent),
      size_(size),
      timeline_(new DrawingTimeline(this, kLoaderFrameMs, [] { return ReduceMotion::isOn(); })) {
    setAccessibleName(tr("Working"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(timeline_, &DrawingTimeline::frame, this, [this] {
        if (spill_) spill_->update();
    });
    followParent();
}

NimbrelLoader::~NimbrelLoader() {
    delete spill_.data();
}

QMargins NimbrelLoader::bleed() const {
    // The soft puffs mostly stay inside the square; near the top of their rise, grown and turned,
    // they reach about a third of the size above it and a little to the sides.
    const auto part = [this](double share) { return int(std::ceil(share * size_)); };
    return QMargins(part(0.15), part(0.35), part(0.15), part(0.1));
}

QRectF NimbrelLoader::layoutRect() const {
    const double side = LoaderGeometry::kFrameScale * size_;
    return QRectF(0, 0, side, side);
}

QSize NimbrelLoader::sizeHint() const {
    const int side = int(std::ceil(LoaderGeometry::kFrameScale * size_));
    return QSize(side, side);
}

void NimbrelLoader::followParent() {
    QWidget* parent = isWindow() ? nullptr : parentWidget();
    if (!parent) {
        delete spill_.data();
        return;
    }
    if (!spill_)
        spill_ = new LoaderSpill(this, parent);
    else if (spill_->parentWidget() != parent)
        spill_->setParent(parent);
    placeSpill();
}

void NimbrelLoader::placeSpill() {
    if (!spill_) return;
    spill_->setGeometry(geometry().marginsAdded(bleed()));
    // Shown with the loader; hidden when the loader is hidden itself (an ancestor's hiding covers
    // both). A new child counts as hidden until its parent shows, so only an explicit hide counts.
    const bool shown =
        !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
    if (shown) spill_->raise();
    spill_->setVisible(shown);
}

bool NimbrelLoader::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ParentChange:
            followParent();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            placeSpill();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void NimbrelLoader::paintEvent(QPaintEvent*) {
    // In a parent the spill draws the puffs; on its own (a window, a picture of a hidden loader)
    // the loader draws them inside its square.
    if (spill_ && spill_->isVisible()) return;
    QPainter p(this);
    paintLoader(p, layoutRect().center(), size());
}

void NimbrelLoader::paintLoader(QPainter& p, QPointF centre, QSize) {
    paintPuffs(p, centre, size_, timeline_->t());
}

void NimbrelLoader::paintPuffs(QPainter& p, QPointF centre, double size, double t) {
    const auto& puffs = StageAssets::puffs();
    if (puffs.isEmpty()) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double side = LoaderGeometry::kPuffScale * size;
    const bool reduce = ReduceMotion::isOn();
    const double base = p.opacity();
    const int n = int(puffs.size());
    for (int i = 0; i < n; ++i) {
        const LoaderPuff puff = LoaderGeometry::puff(i, n, t, size, reduce);
        p.save();
        p.translate(centre + QPointF(puff.dx, puff.dy));
        p.rotate(puff.rotation);
        p.scale(puff.scale, puff.scale);
        p.setOpacity(base * puff.opacity);
        p.drawImage(QRectF(-side / 2, -side / 2, side, side), puffs[i]);
        p.restore();
    }
}

}  // namespace nimbrel
