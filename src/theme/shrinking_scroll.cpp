#include "theme/shrinking_scroll.h"

#include <QEvent>
#include <QScrollBar>

#include "theme/scroll_bars.h"

namespace nimbrel {

ShrinkingScroll::Heights ShrinkingScroll::heights(int contentHeight, int max) {
    const int h = contentHeight > 0 ? std::min(contentHeight, max) : max;
    return {std::min(h, kFloor), h, h};
}

ShrinkingScroll::ShrinkingScroll(int max, QWidget* parent) : QScrollArea(parent), max_(max) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);  // a container: its controls take the focus, and the view follows them
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    viewport()->setAutoFillBackground(false);
    setMaximumHeight(heights(0, max_).maximum);
}

void ShrinkingScroll::setContent(QWidget* content) {
    if (widget()) widget()->removeEventFilter(this);
    setWidget(content);
    content->setAutoFillBackground(false);
    content->installEventFilter(this);
    measure();
}

void ShrinkingScroll::measure() {
    int h = 0;
    if (QWidget* w = widget()) {
        const int width = viewport()->width() > 0 ? viewport()->width() : w->sizeHint().width();
        h = w->hasHeightForWidth() ? w->heightForWidth(width) : w->sizeHint().height();
        // A content without a layout has no size hint; its minimum (a fixed height) still counts.
        h = std::max({h, w->minimumHeight(), 0});
    }
    // Only a changed height re-lays the parent, so content of stable height costs nothing more.
    const Heights hs = heights(h, max_);
    if (h == contentHeight_ && maximumHeight() == hs.maximum) return;
    contentHeight_ = h;
    setMaximumHeight(hs.maximum);
    setMinimumHeight(hs.minimum);
    updateGeometry();
}

QSize ShrinkingScroll::sizeHint() const {
    const int w = widget() ? widget()->sizeHint().width() + verticalScrollBar()->sizeHint().width() : 0;
    return QSize(w, heights(contentHeight_, max_).ideal);
}

QSize ShrinkingScroll::minimumSizeHint() const {
    return QSize(0, heights(contentHeight_, max_).minimum);
}

bool ShrinkingScroll::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget() && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize ||
                                event->type() == QEvent::Show || event->type() == QEvent::Hide))
        measure();
    return QScrollArea::eventFilter(watched, event);
}

void ShrinkingScroll::showEvent(QShowEvent* e) {
    // The appearance is known once the view sits in its window.
    styleScrollBars(this);
    QScrollArea::showEvent(e);
}

}  // namespace nimbrel
