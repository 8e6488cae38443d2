#include "views/files/review_list.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "theme/animated_value.h"
#include "views/kit/first_where.h"
#include "views/kit/scroll_watch.h"
#include "views/kit/turn_budget.h"

namespace nimbrel {

namespace {
// Rows this far outside the view are built too, so a short scroll shows no gap.
constexpr int kOverscan = 240;

void drop(QWidget* w) {
    if (!w) return;
    w->hide();
    w->deleteLater();
}
}  // namespace

ReviewList::ReviewList(Factory factory, QWidget* parent) : QWidget(parent), factory_(std::move(factory)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

ReviewList::~ReviewList() = default;

void ReviewList::dropMotion(const std::string& key) {
    targets_.erase(key);
    if (auto m = motions_.find(key); m != motions_.end()) {
        // It may be inside the value's own signal: it goes once the signal is done.
        m->second.release()->deleteLater();
        motions_.erase(m);
    }
}

void ReviewList::setRows(std::vector<Row> rows) {
    std::vector<std::string> jumped;
    // Only the rows built or moving are looked for among the new ones, and only when there are any.
    ByKey<size_t> found;
    if (!built_.empty() || !targets_.empty()) {
        for (size_t i = 0; i < rows.size(); ++i) {
            Row& row = rows[i];
            const bool built = built_.find(row.key) != built_.end();
            auto target = targets_.find(row.key);
            if (!built && target == targets_.end()) continue;
            found.emplace(std::string(row.key), i);
            if (target == targets_.end()) continue;
            if (target->second == row.height) {
                row.height = rows_[positionOf(row.key)].height;  // the motion goes on from where it is
            } else {
                // Another height than the one it was moving to: it goes there at once.
                jumped.push_back(target->first);
                dropMotion(std::string(row.key));
            }
        }
    }
    std::vector<std::string> ended;
    for (const auto& [key, target] : targets_)
        if (!found.count(key)) ended.push_back(key);
    for (const std::string& key : ended)
        dropMotion(key);
    rows_ = std::move(rows);
    for (auto it = built_.begin(); it != built_.end();) {
        auto at = found.find(it->first);
        if (at == found.end()) {
            drop(it->second.widget);
            it = built_.erase(it);
            continue;
        }
        it->second.at = at->second;
        ++it;
    }
    layOut();
    for (const std::string& key : jumped)
        emit heightSettled(key);
}

void ReviewList::removeRows(const std::function<bool(const Row&)>& gone) {
    std::vector<size_t> removed;  // old positions, ascending
    size_t kept = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (gone(rows_[i])) {
            removed.push_back(i);
            continue;
        }
        if (kept != i) rows_[kept] = rows_[i];
        ++kept;
    }
    if (removed.empty()) return;
    const auto wasRemoved = [&](size_t at) { return std::binary_search(removed.begin(), removed.end(), at); };
    // A moving row that left ends its motion; built rows move up by the rows taken out above them.
    for (auto it = built_.begin(); it != built_.end();) {
        const size_t at = it->second.at;
        if (wasRemoved(at)) {
            drop(it->second.widget);
            dropMotion(it->first);
            it = built_.erase(it);
            continue;
        }
        it->second.at =
            at - static_cast<size_t>(std::lower_bound(removed.begin(), removed.end(), at) - removed.begin());
        ++it;
    }
    rows_.resize(kept);
    std::vector<std::string> ended;
    for (const auto& [key, target] : targets_)
        if (positionOf(key) == kNowhere) ended.push_back(key);
    for (const std::string& key : ended)
        dropMotion(key);
    layOut();
}

size_t ReviewList::positionOf(std::string_view key) const {
    if (auto it = built_.find(key);
        it != built_.end() && it->second.at < rows_.size() && rows_[it->second.at].key == key)
        return it->second.at;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].key == key) return i;
    return kNowhere;
}

uint32_t ReviewList::tagOf(std::string_view key) const {
    const size_t at = positionOf(key);
    return at == kNowhere ? 0 : rows_[at].tag;
}

void ReviewList::setRowHeight(const std::string& key, int height, const MotionSpec* motion) {
    const size_t at = positionOf(key);
    if (at == kNowhere) return;
    Row& row = rows_[at];
    if (!motion || AnimatedValue::allInstant() || row.height == height) {
        dropMotion(key);
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
    const size_t at = positionOf(key);
    if (at == kNowhere) return;
    rows_[at].height = static_cast<int>(std::lround(height));
    layOut();
    auto target = targets_.find(key);
    if (target == targets_.end() || rows_[at].height != target->second) return;
    auto m = motions_.find(key);
    if (m != motions_.end() && m->second->isRunning() && m->second->value() != m->second->target()) return;
    dropMotion(key);
    emit heightSettled(key);
}

QVariantAnimation* ReviewList::motion(std::string_view key) const {
    auto m = motions_.find(key);
    return m == motions_.end() ? nullptr : &m->second->animation();
}

int ReviewList::shownHeight(std::string_view key) const {
    const size_t at = positionOf(key);
    return at == kNowhere ? 0 : rows_[at].height;
}

int ReviewList::targetHeight(std::string_view key) const {
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

QRect ReviewList::rowRect(std::string_view key) const {
    const size_t at = positionOf(key);
    if (at == kNowhere) return {};
    return QRect(0, tops_[at], width(), rows_[at].height);
}

QWidget* ReviewList::widget(std::string_view key) const {
    auto it = built_.find(key);
    return it == built_.end() ? nullptr : it->second.widget.data();
}

int ReviewList::builtCount() const {
    int n = 0;
    for (const auto& [key, built] : built_)
        if (built.widget) ++n;
    return n;
}

void ReviewList::forEachBuilt(const std::function<void(const std::string&, QWidget*)>& visit) const {
    for (const auto& [key, built] : built_)
        if (built.widget) visit(key, built.widget.data());
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
    const auto [first, last] = rowsIn(view);
    dropOutside(first, last);
    if (!buildInside(first, last) && !refreshQueued_) {
        refreshQueued_ = true;
        TurnBudget::next(this, [this] {
            refreshQueued_ = false;
            refresh();
        });
    }
}

std::pair<size_t, size_t> ReviewList::rowsIn(const QRect& view) const {
    // Tops and bottoms only grow down the column, so the rows in view are found by halving.
    const size_t first = firstWhere(size_t(0), rows_.size(),
                                    [&](size_t i) { return tops_[i] + rows_[i].height >= view.top(); });
    const size_t last = firstWhere(first, rows_.size(), [&](size_t i) { return tops_[i] > view.bottom(); });
    return {first, last};
}

// Rows that left the view go, unless they hold the focus.
void ReviewList::dropOutside(size_t first, size_t last) {
    const QWidget* focus = QApplication::focusWidget();
    for (auto it = built_.begin(); it != built_.end();) {
        const size_t i = it->second.at;
        QWidget* w = it->second.widget;
        if (w && (i >= first && i < last)) {
            ++it;
            continue;
        }
        if (w && focus && w->isAncestorOf(focus)) {
            w->setGeometry(0, tops_[i], width(), rows_[i].height);
            ++it;
            continue;
        }
        drop(w);
        it = built_.erase(it);
    }
}

bool ReviewList::buildInside(size_t first, size_t last) {
    bool all = true;
    for (size_t i = first; i < last; ++i) {
        const Row& row = rows_[i];
        const QRect r(0, tops_[i], width(), row.height);
        auto it = built_.find(row.key);
        if (it != built_.end()) {
            if (it->second.widget->geometry() != r) it->second.widget->setGeometry(r);
            continue;
        }
        if (TurnBudget::drawingHeld(this)) {
            all = false;
            continue;
        }
        QWidget* w = factory_ ? factory_(row) : nullptr;
        if (!w) continue;
        w->setParent(this);
        w->setGeometry(r);
        w->show();
        built_.emplace(std::string(row.key), Built{w, i});
    }
    return all;
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
