#include "theme/fading_scroll.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "theme/palette.h"
#include "theme/press_button.h"
#include "theme/scroll_bars.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {

// A round arrow at a row's edge: an opaque disc with a hairline and a bold chevron, so it stands
// out from the chips it sits over.
class ScrollArrow : public PressButton {
  public:
    ScrollArrow(bool forward, QWidget* parent) : PressButton(parent), forward_(forward) {
        setFixedSize(kSide, kSide);
        setPressedScale(0.92);
        setHitShape(HitShape::circle);
        setFocusPolicy(Qt::NoFocus);  // the row's own controls take the focus and scroll it
        setToolTip(forward ? FadingScroll::tr("Scroll right") : FadingScroll::tr("Scroll left"));
        setAccessibleName(toolTip());
    }
    static constexpr int kSide = 24;

  protected:
    void paintContent(QPainter& p) override {
        const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(Palette::line().resolve(this), 1));
        p.setBrush(mixColor(Palette::panel().resolve(this), Palette::raised().resolve(this), hoverAmount()));
        p.drawEllipse(disc);
        Symbols::draw(p, QRectF(rect()), forward_ ? "chevron.right" : "chevron.left",
                      Palette::ink().resolve(this), 11, FontWeight::bold);
    }

  private:
    bool forward_;
};

}  // namespace

FadingScroll::Edges FadingScroll::edges(double o, double v, double n) {
    return {o > 1, v + o < n - 1};
}

FadingScroll::FadingScroll(Qt::Orientation axis, double fade, QWidget* parent)
    : QScrollArea(parent), axis_(axis), fade_(fade) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);  // a container: its controls take the focus, and the view follows them
    setWidgetResizable(true);
    viewport()->setAutoFillBackground(false);
    if (axis_ == Qt::Vertical) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    mask_ = new FadeMaskEffect(this);
    viewport()->setGraphicsEffect(mask_);
    viewport()->installEventFilter(this);
    // A band fading in or out repaints the band alone.
    for (AnimatedValue* a : {&leading_, &trailing_})
        connect(a, &AnimatedValue::changed, this, [this] { viewport()->update(bands()); });
    if (axis_ == Qt::Horizontal) {
        for (int i = 0; i < 2; ++i) {
            auto* arrow = new ScrollArrow(i == 1, this);
            arrow->hide();
            connect(arrow, &QAbstractButton::clicked, this, [this, i] {
                QScrollBar* bar = horizontalScrollBar();
                const int step = std::max(40, viewport()->width() * 2 / 3);
                bar->setValue(bar->value() + (i == 0 ? -step : step));
            });
            arrows_[i] = arrow;
        }
    }
    QScrollBar* bar = axis_ == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this] { recompute(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this] { recompute(); });
}

void FadingScroll::setContent(QWidget* content) {
    setWidget(content);
    content->setAutoFillBackground(false);
    // A horizontal row of controls (the filter chips) brings a control that is half under its fade
    // fully into view when it is clicked or takes the focus, so the next one along shows too.
    if (axis_ == Qt::Horizontal) {
        for (QObject* child : content->children())
            if (child->isWidgetType()) child->installEventFilter(this);
    }
    recompute();
}

void FadingScroll::setFade(double fade) {
    fade_ = fade;
    viewport()->update();
}

void FadingScroll::recompute() {
    const QScrollBar* bar = axis_ == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    const double v = axis_ == Qt::Vertical ? viewport()->height() : viewport()->width();
    const double n = widget() ? (axis_ == Qt::Vertical ? widget()->height() : widget()->width()) : 0;
    const Edges e = edges(bar->value(), v, n);
    if (arrows_[0]) {
        arrows_[0]->setVisible(e.leading);
        arrows_[1]->setVisible(e.trailing);
        placeArrows();
    }
    if (e == edges_) return;
    edges_ = e;
    // The edge fades come and go with the snappy curve over 0.2 s, whatever Reduce Motion says.
    leading_.animateTo(e.leading ? 1 : 0, Motion::snappy(0.2));
    trailing_.animateTo(e.trailing ? 1 : 0, Motion::snappy(0.2));
}

double FadingScroll::maskAlpha(double at, double length) const {
    if (fade_ <= 0 || length <= 0) return 1;
    const double band = std::min(fade_, length / 2);
    if (at < band) {
        const double start = 1 - leading_.value();
        return start + (1 - start) * (at / band);
    }
    if (at > length - band) {
        const double end = 1 - trailing_.value();
        return end + (1 - end) * ((length - at) / band);
    }
    return 1;
}

void FadingScroll::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    recompute();
}

void FadingScroll::placeArrows() {
    // Over the fade bands, at the ends: what they stand on is faded out already.
    for (int i = 0; i < 2; ++i) {
        const QSize s = arrows_[i]->size();
        arrows_[i]->setGeometry(i == 0 ? 0 : width() - s.width(), (height() - s.height()) / 2, s.width(),
                                s.height());
        arrows_[i]->raise();
    }
}

void FadingScroll::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    mask_->invalidate();
    viewport()->update();
}

QRegion FadingScroll::bands() const {
    const QRect all = viewport()->rect();
    const int edge =
        int(std::ceil(std::min(fade_, (axis_ == Qt::Vertical ? all.height() : all.width()) / 2.0)));
    if (axis_ == Qt::Vertical)
        return QRegion(0, 0, all.width(), edge) + QRegion(0, all.height() - edge, all.width(), edge);
    return QRegion(0, 0, edge, all.height()) + QRegion(all.width() - edge, 0, edge, all.height());
}

void FadingScroll::wheelEvent(QWheelEvent* e) {
    // A mouse has no horizontal wheel: a horizontal row scrolls with the vertical one too.
    if (axis_ == Qt::Horizontal && e->angleDelta().x() == 0) {
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() - e->angleDelta().y());
        e->accept();
        return;
    }
    QScrollArea::wheelEvent(e);
}

bool FadingScroll::eventFilter(QObject* watched, QEvent* event) {
    if (axis_ == Qt::Horizontal && widget() && watched->parent() == widget() &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::FocusIn)) {
        // Past the fade band on both sides, so the control stands clear of it (ensureWidgetVisible
        // does nothing for a control that is inside the viewport, however deep in the fade).
        const QRect frame = static_cast<QWidget*>(watched)->geometry();
        const int margin = int(std::ceil(fade_)) + 2;
        QScrollBar* bar = horizontalScrollBar();
        const int view = viewport()->width();
        if (frame.right() + 1 > bar->value() + view - margin)
            bar->setValue(frame.right() + 1 - view + margin);
        else if (frame.left() < bar->value() + margin)
            bar->setValue(frame.left() - margin);
    }
    if (watched == widget() && event->type() == QEvent::Resize) recompute();
    if (watched == viewport() && event->type() == QEvent::Resize) recompute();
    return QScrollArea::eventFilter(watched, event);
}

FadeMaskEffect::FadeMaskEffect(FadingScroll* owner) : QGraphicsEffect(owner), owner_(owner) {}

QRegion FadeMaskEffect::repainted(const QPainter& painter) const {
    const QRect all = owner_->viewport()->rect();
    const QPaintEngine* engine = painter.paintEngine();
    const QRegion clip = engine ? engine->systemClip() : QRegion();
    // Unknown, or drawn turned or scaled into an outer picture: everything, to be sure.
    if (clip.isEmpty() || painter.worldTransform().type() > QTransform::TxTranslate) return all;
    // The clip is in device pixels; the painter maps the viewport onto them.
    bool invertible = false;
    const QTransform toView = painter.deviceTransform().inverted(&invertible);
    if (!invertible) return all;
    QRegion region;
    for (const QRect& r : clip)
        region += toView.mapRect(QRectF(r)).toAlignedRect();
    return region & all;
}

void FadeMaskEffect::mask(const QRegion& region) {
    maskedFade_ = owner_->fade();
    maskedLeading_ = owner_->leadingFade();
    maskedTrailing_ = owner_->trailingFade();
    if (region.isEmpty() || maskedFade_ <= 0 || (maskedLeading_ <= 0 && maskedTrailing_ <= 0)) return;
    // Only the bands change anything: the rest of the mask is opaque. The painter works in points.
    const QSizeF size = QSizeF(picture_.size()) / picture_.devicePixelRatio();
    const bool vertical = owner_->axis() == Qt::Vertical;
    const double length = vertical ? size.height() : size.width();
    const double band = std::min(owner_->fade(), length / 2);
    QLinearGradient g(0, 0, vertical ? 0 : length, vertical ? length : 0);
    g.setColorAt(0, QColor::fromRgbF(0, 0, 0, float(owner_->maskAlpha(0, length))));
    g.setColorAt(band / length, Qt::black);
    g.setColorAt(1 - band / length, Qt::black);
    g.setColorAt(1, QColor::fromRgbF(0, 0, 0, float(owner_->maskAlpha(length, length))));
    const QRectF lead = vertical ? QRectF(0, 0, size.width(), band) : QRectF(0, 0, band, size.height());
    const QRectF trail = vertical ? QRectF(0, length - band, size.width(), band)
                                  : QRectF(length - band, 0, band, size.height());
    QPainter p(&picture_);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    for (const QRect& r : region)
        for (const QRectF& b : {lead, trail})
            if (const QRectF part = QRectF(r) & b; !part.isEmpty()) p.fillRect(part, g);
}

void FadeMaskEffect::release() {
    picture_ = QImage();
    stale_ = true;
}

void FadeMaskEffect::draw(QPainter* painter) {
    QWidget* view = owner_->viewport();
    const double dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (QSizeF(view->size()) * dpr).toSize();
    if (pixels.isEmpty()) return;
    if (picture_.size() != pixels || picture_.devicePixelRatio() != dpr) {
        picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        picture_.setDevicePixelRatio(dpr);
        stale_ = true;
    }
    QRegion redraw = stale_ ? QRegion(view->rect()) : repainted(*painter);
    stale_ = false;
    // The bands changed strength: what lies under them is drawn again and masked anew.
    if (owner_->fade() != maskedFade_ || owner_->leadingFade() != maskedLeading_ ||
        owner_->trailingFade() != maskedTrailing_)
        redraw += owner_->bands();
    lastRedrawn_ = redraw;
    if (!redraw.isEmpty()) {
        {
            QPainter clear(&picture_);
            clear.setCompositionMode(QPainter::CompositionMode_Source);
            for (const QRect& r : redraw)
                clear.fillRect(r, Qt::transparent);
        }
        // The viewport paints itself normally while its effect draws (Qt skips the effect then).
        view->render(&picture_, redraw.boundingRect().topLeft(), redraw, QWidget::DrawChildren);
    }
    mask(redraw);
    painter->drawImage(QPointF(0, 0), picture_);
}

void FadingScroll::hideEvent(QHideEvent* e) {
    // A list out of sight keeps no picture of itself.
    mask_->release();
    QScrollArea::hideEvent(e);
}

void FadingScroll::showEvent(QShowEvent* e) {
    // The appearance is known once the view sits in its window.
    styleScrollBars(this);
    QScrollArea::showEvent(e);
}

}  // namespace nimbrel
