#include "views/kit/lazy_rows.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>

namespace nimbrel {

namespace {
// Rows this far outside the view are built too, so a short scroll shows no gap.
constexpr int kOverscan = 240;
}  // namespace

LazyRows::LazyRows(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LazyRows::setRows(std::vector<int> heights, Factory factory, int spacing) {
    for (auto& [index, widget] : built_)
        if (widget) widget->deleteLater();
    built_.clear();
    heights_ = std::move(heights);
    factory_ = std::move(factory);
    spacing_ = spacing;
    layOut();
}

void LazyRows::appendRows(const std::vector<int>& heights) {
    heights_.insert(heights_.end(), heights.begin(), heights.end());
    layOut();
}

void LazyRows::layOut() {
    tops_.resize(heights_.size());
    int y = 0;
    for (size_t i = 0; i < heights_.size(); ++i) {
        tops_[i] = y;
        y += heights_[i] + spacing_;
    }
    setFixedHeight(totalHeight());
    updateGeometry();
    refresh();
}

int LazyRows::totalHeight() const {
    if (heights_.empty()) return 0;
    return tops_.back() + heights_.back();
}

QRect LazyRows::rowRect(int index) const {
    return QRect(0, tops_[index], width(), heights_[index]);
}

QWidget* LazyRows::rowWidget(int index) const {
    auto it = built_.find(index);
    return it == built_.end() ? nullptr : it->second.data();
}

QSize LazyRows::sizeHint() const {
    return {0, totalHeight()};
}

QSize LazyRows::minimumSizeHint() const {
    return {0, totalHeight()};
}

void LazyRows::watchScroll() {
    if (scroll_) return;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
            scroll_ = area;
            auto later = [this] {
                if (refreshQueued_) return;
                refreshQueued_ = true;
                QTimer::singleShot(0, this, [this] {
                    refreshQueued_ = false;
                    refresh();
                });
            };
            connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, later);
            connect(area->verticalScrollBar(), &QScrollBar::rangeChanged, this, later);
            return;
        }
    }
}

void LazyRows::refresh() {
    watchScroll();
    // Not yet in a scroll area and not on screen: the whole list would count as in view, and a set
    // of many thousand rows would be built at once. The show event asks again.
    if (!scroll_ && !isVisible()) return;
    QRect view;
    if (scroll_) {
        const QWidget* viewport = scroll_->viewport();
        view = QRect(mapFrom(viewport, QPoint(0, 0)), viewport->size());
    } else {
        view = rect();
    }
    view.adjust(0, -kOverscan, 0, kOverscan);
    for (int i = 0; i < count(); ++i) {
        const bool inView = tops_[i] + heights_[i] >= view.top() && tops_[i] <= view.bottom();
        auto it = built_.find(i);
        if (inView && (it == built_.end() || !it->second)) {
            QWidget* w = factory_ ? factory_(i) : nullptr;
            if (!w) continue;
            w->setParent(this);
            w->setGeometry(rowRect(i));
            w->show();
            built_[i] = w;
        } else if (!inView && it != built_.end()) {
            if (it->second) it->second->deleteLater();
            built_.erase(it);
        } else if (inView) {
            it->second->setGeometry(rowRect(i));
        }
    }
}

void LazyRows::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void LazyRows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refresh();
}

void LazyRows::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    refresh();
}

}  // namespace nimbrel
