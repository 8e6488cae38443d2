#include "views/files/review_list.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "theme/animated_value.h"
#include "views/kit/scroll_watch.h"

namespace nimbrel {

namespace {
// Rows this far outside the view are built too, so a short scroll shows no gap.
constexpr int kOverscan = 240;
}  // namespace

ReviewList::ReviewList(Factory factory, QWidget* parent) : QWidget(parent), factory_(std::move(factory)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

ReviewList::~ReviewList() = default;

void ReviewList::setRows(std::vector<Row> rows) {
    std::vector<std::string> jumped;
    std::unordered_map<std::string, size_t> index;
    index.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        index.emplace(row.key, i);
        auto target = targets_.find(row.key);
        if (target == targets_.end()) continue;
        if (target->second == row.height) {
            row.height = rows_[index_.at(row.key)].height;  // the motion goes on from where it is
        } else {
            // Another height than the one it was moving to: it goes there at once.
            jumped.push_back(row.key);
            targets_.erase(target);
            if (auto m = motions_.find(row.key); m != motions_.end()) {
                m->second.release()->deleteLater();
                motions_.erase(m);
            }
        }
    }
    for (auto it = motions_.begin(); it != motions_.end();) {
        if (index.count(it->first)) {
            ++it;
            continue;
        }
        targets_.erase(it->first);
        it->second.release()->deleteLater();
        it = motions_.erase(it);
    }
    rows_ = std::move(rows);
    index_ = std::move(index);
    for (auto it = built_.begin(); it != built_.end();) {
        if (index_.count(it->first)) {
            ++it;
            continue;
        }
        if (it->second) {
            it->second->hide();
            it->second->deleteLater();
        }
        it = built_.erase(it);
    }
    layOut();
    for (const std::string& key : jumped)
        emit heightSettled(key);
}

void ReviewList::setRowHeight(const std::string& key, int height, const MotionSpec* motion) {
    auto at = index_.find(key);
    if (at == index_.end()) return;
    Row& row = rows_[at->second];
    if (!motion || AnimatedValue::allInstant() || row.height == height) {
        if (auto m = motions_.find(key); m != motions_.end()) {
            m->second.release()->deleteLater();
            motions_.erase(m);
        }
        targets_.erase(key);
        if (row.height != height) {
            row.height = height;
            layOut();
        }
        emit heightSettled(key);
        return;
    }
    if (targetHeight(key) == height) return;
    targets_[key] = height;
    auto& value = motions_[key];
    if (!value) {
        value = std::make_unique<AnimatedValue>(row.height);
        connect(value.get(), &AnimatedValue::changed, this, [this, key](double h) { moved(key, h); });
    }
    // Reduce Motion: the row takes its new height at once.
    value->animateTo(height, *motion, true);
}

void ReviewList::moved(const std::string& key, double height) {
    auto at = index_.find(key);
    if (at == index_.end()) return;
    rows_[at->second].height = static_cast<int>(std::lround(height));
    layOut();
    auto target = targets_.find(key);
    if (target == targets_.end() || rows_[at->second].height != target->second) return;
    auto m = motions_.find(key);
    if (m != motions_.end() && m->second->isRunning() && m->second->value() != m->second->target()) return;
    targets_.erase(target);
    if (m != motions_.end()) {
        // Still inside the value's own signal: it goes once the signal is done.
        m->second.release()->deleteLater();
        motions_.erase(m);
    }
    emit heightSettled(key);
}

QVariantAnimation* ReviewList::motion(const std::string& key) const {
    auto m = motions_.find(key);
    return m == motions_.end() ? nullptr : &m->second->animation();
}

int ReviewList::shownHeight(const std::string& key) const {
    auto at = index_.find(key);
    return at == index_.end() ? 0 : rows_[at->second].height;
}

int ReviewList::targetHeight(const std::string& key) const {
    if (auto t = targets_.find(key); t != targets_.end()) return t->second;
    return shownHeight(key);
}

void ReviewList::layOut() {
    tops_.resize(rows_.size());
    int y = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        y += rows_[i].gapBefore;
        tops_[i] = y;
        y += rows_[i].height;
    }
    setFixedHeight(totalHeight());
    updateGeometry();
    refresh();
}

int ReviewList::totalHeight() const {
    return rows_.empty() ? 0 : tops_.back() + rows_.back().height;
}

QRect ReviewList::rowRect(const std::string& key) const {
    auto at = index_.find(key);
    if (at == index_.end()) return {};
    return QRect(0, tops_[at->second], width(), rows_[at->second].height);
}

QWidget* ReviewList::widget(const std::string& key) const {
    auto it = built_.find(key);
    return it == built_.end() ? nullptr : it->second.data();
}

int ReviewList::builtCount() const {
    int n = 0;
    for (const auto& [key, w] : built_)
        if (w) ++n;
    return n;
}

void ReviewList::forEachBuilt(const std::function<void(const std::string&, QWidget*)>& visit) const {
    for (const auto& [key, w] : built_)
        if (w) visit(key, w.data());
}

QSize ReviewList::sizeHint() const {
    return {0, totalHeight()};
}

QSize ReviewList::minimumSizeHint() const {
    return {0, totalHeight()};
}

void ReviewList::watchScroll() {
    if (!scroll_) scroll_ = watchEnclosingScroll(this, [this] { refresh(); });
}

void ReviewList::refresh() {
    watchScroll();
    QRect view = visiblePart(this, scroll_);
    view.adjust(0, -kOverscan, 0, kOverscan);
    const size_t n = rows_.size();
    // Tops and bottoms only grow down the column, so the rows in view are found by halving.
    size_t first = 0;
    size_t last = n;
    {
        size_t lo = 0, hi = n;
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (tops_[mid] + rows_[mid].height < view.top()) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        first = lo;
        lo = first, hi = n;
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (tops_[mid] <= view.bottom()) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        last = lo;
    }
    // Rows that left the view go, unless they hold the focus.
    const QWidget* focus = QApplication::focusWidget();
    for (auto it = built_.begin(); it != built_.end();) {
        const size_t i = index_.at(it->first);
        QWidget* w = it->second;
        if (w && (i >= first && i < last)) {
            ++it;
            continue;
        }
        if (w && focus && w->isAncestorOf(focus)) {
            w->setGeometry(0, tops_[i], width(), rows_[i].height);
            ++it;
            continue;
        }
        if (w) {
            w->hide();
            w->deleteLater();
        }
        it = built_.erase(it);
    }
    for (size_t i = first; i < last; ++i) {
        const Row& row = rows_[i];
        const QRect r(0, tops_[i], width(), row.height);
        auto it = built_.find(row.key);
        if (it != built_.end()) {
            if (it->second->geometry() != r) it->second->setGeometry(r);
            continue;
        }
        QWidget* w = factory_ ? factory_(row.key) : nullptr;
        if (!w) continue;
        w->setParent(this);
        w->setGeometry(r);
        w->show();
        built_.emplace(row.key, w);
    }
}

void ReviewList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void ReviewList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refresh();
}

void ReviewList::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    refresh();
}

}  // namespace nimbrel
