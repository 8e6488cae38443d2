#include "theme/fading_scroll.h"

#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "theme/scroll_bars.h"

namespace nimbrel {

FadingScroll::Edges FadingScroll::edges(double o, double v, double n) {
    return {o > 1, v + o < n - 1};
}

FadingScroll::FadingScroll(Qt::Orientation axis, double fade, QWidget* parent)
    : QScrollArea(parent), axis_(axis), fade_(fade) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    viewport()->setAutoFillBackground(false);
    if (axis_ == Qt::Vertical) {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    viewport()->setGraphicsEffect(new FadeMaskEffect(this));
    viewport()->installEventFilter(this);
    for (AnimatedValue* a : {&leading_, &trailing_})
        connect(a, &AnimatedValue::changed, this, [this] { viewport()->update(); });
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

void FadingScroll::scrollContentsBy(int dx, int dy) {
    QScrollArea::scrollContentsBy(dx, dy);
    viewport()->update();
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

void FadeMaskEffect::draw(QPainter* painter) {
    // Always through the source's picture, even with no band showing: drawSource() paints the list
    // straight onto the window, and an effect inside it (a set or a row evaporating) then opens a
    // second painter on the window while ours is still active.
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (source.isNull()) return;
    if (owner_->fade() <= 0 || (owner_->leadingFade() <= 0 && owner_->trailingFade() <= 0)) {
        painter->drawPixmap(offset, source);
        return;
    }
    QImage layer = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double dpr = source.devicePixelRatio();
    const QSizeF logical = QSizeF(layer.size()) / dpr;
    const bool vertical = owner_->axis() == Qt::Vertical;
    const double length = vertical ? logical.height() : logical.width();
    QLinearGradient g(0, 0, vertical ? 0 : length, vertical ? length : 0);
    const double band = std::min(owner_->fade(), length / 2) / length;
    g.setColorAt(0, QColor::fromRgbF(0, 0, 0, float(owner_->maskAlpha(0, length))));
    g.setColorAt(band, Qt::black);
    g.setColorAt(1 - band, Qt::black);
    g.setColorAt(1, QColor::fromRgbF(0, 0, 0, float(owner_->maskAlpha(length, length))));
    {
        QPainter lp(&layer);
        lp.scale(dpr, dpr);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.fillRect(QRectF(QPointF(0, 0), logical), g);
    }
    layer.setDevicePixelRatio(dpr);
    painter->drawImage(offset, layer);
}

void FadingScroll::showEvent(QShowEvent* e) {
    // The appearance is known once the view sits in its window.
    styleScrollBars(this);
    QScrollArea::showEvent(e);
}

}  // namespace nimbrel
