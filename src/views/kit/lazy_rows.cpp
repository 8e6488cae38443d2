#include "views/kit/lazy_rows.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "views/kit/first_where.h"
#include "views/kit/scroll_watch.h"
#include "views/kit/turn_budget.h"

namespace nimbrel {

namespace {
// Rows this far outside the view are built too, so a short scroll shows no gap.
constexpr int kOverscan = 240;
}  // namespace

LazyRows::LazyRows(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&close_, &AnimatedValue::changed, this, &LazyRows::closeStep);
}

void LazyRows::dropAll() {
    for (auto& [index, built] : built_)
        TurnBudget::retire(built.widget);
    built_.clear();
    for (auto& widget : leaving_)
        TurnBudget::retire(widget);
    leaving_.clear();
    steps_.clear();
    close_.setImmediate(1);
}

void LazyRows::setRows(std::vector<int> heights, Factory factory, int spacing) {
    dropAll();
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
    placeRows();
    setFixedHeight(shownHeight());
    updateGeometry();
    refresh();
}

void LazyRows::placeRows() {
    tops_.resize(heights_.size());
    int y = 0;
    for (size_t i = 0; i < heights_.size(); ++i) {
        tops_[i] = y;
        y += heights_[i] + spacing_;
    }
}

int LazyRows::totalHeight() const {
    if (heights_.empty()) return 0;
    return tops_.back() + heights_.back();
}

int LazyRows::shownHeight() const {
    // The end of the list follows the last row up, so what lies below the list slides with it.
    const double tail = steps_.empty() ? 0.0 : steps_.back().offset * close_.left();
    return std::max(0, totalHeight() + static_cast<int>(std::lround(std::max(0.0, tail))));
}

double LazyRows::offset(int index) const {
    if (steps_.empty()) return 0;
    auto it = std::upper_bound(steps_.begin(), steps_.end(), index,
                               [](int i, const Step& s) { return i < s.index; });
    if (it == steps_.begin()) return 0;
    return std::prev(it)->offset * close_.left();
}

double LazyRows::largestOffset() const {
    double largest = 0;
    for (const Step& s : steps_)
        largest = std::max(largest, std::abs(s.offset));
    return largest * close_.left();
}

QRect LazyRows::rowRect(int index) const {
    return QRect(0, tops_[index], width(), heights_[index]);
}

QRect LazyRows::shownRect(int index) const {
    return rowRect(index).translated(0, static_cast<int>(std::lround(offset(index))));
}

QWidget* LazyRows::rowWidget(int index) const {
    auto it = built_.find(index);
    return it == built_.end() ? nullptr : it->second.widget.data();
}

QSize LazyRows::sizeHint() const {
    return {0, shownHeight()};
}

QSize LazyRows::minimumSizeHint() const {
    return {0, shownHeight()};
}

void LazyRows::watchScroll() {
    if (!scroll_) scroll_ = watchEnclosingScroll(this, [this] { refresh(); });
}

QRect LazyRows::viewRect() const {
    return visiblePart(this, scroll_);
}

void LazyRows::refresh() {
    watchScroll();
    // Not yet in a scroll area and not on screen: the whole list would count as in view, and a set
    // of many thousand rows would be built at once. The show event asks again.
    if (!scroll_ && !isVisible()) return;
    const QRect view = viewRect().adjusted(0, -kOverscan, 0, kOverscan);
    const auto [first, last] = rowsNear(view);
    dropOutOf(view);
    for (auto& [index, built] : built_)
        built.widget->setGeometry(shownRect(index));
    if (!buildIn(view, first, last) && !refreshQueued_) {
        refreshQueued_ = true;
        TurnBudget::next(this, [this] {
            refreshQueued_ = false;
            refresh();
        });
    }
}

std::pair<int, int> LazyRows::rowsNear(const QRect& view) const {
    // Only the rows near the view are looked at, so a long list costs nothing per scroll step.
    const int slack = static_cast<int>(std::ceil(largestOffset()));
    const auto at = [](const std::vector<int>& v, int i) { return v[static_cast<size_t>(i)]; };
    const int first =
        firstWhere(0, count(), [&](int i) { return at(tops_, i) + at(heights_, i) + slack >= view.top(); });
    const int last = firstWhere(first, count(), [&](int i) { return at(tops_, i) - slack > view.bottom(); });
    return {first, last};
}

namespace {
bool meets(const QRect& row, const QRect& view) {
    return row.bottom() + 1 >= view.top() && row.top() <= view.bottom();
}
}  // namespace

void LazyRows::dropOutOf(const QRect& view) {
    for (auto it = built_.begin(); it != built_.end();) {
        if (!it->second.widget) {
            it = built_.erase(it);
        } else if (it->first >= count() || !meets(shownRect(it->first), view)) {
            TurnBudget::retire(it->second.widget);
            it = built_.erase(it);
        } else {
            ++it;
        }
    }
}

bool LazyRows::buildIn(const QRect& view, int first, int last) {
    // Rows are built while the turn has time, those on screen before those in the margin; the rest
    // come in the next turns, so a card of many rows or many cards at once never stall the window.
    const QRect seen = viewRect();
    bool all = true;
    for (const bool screenPass : {true, false}) {
        for (int i = first; i < last; ++i) {
            const QRect r = shownRect(i);
            if (!factory_ || !meets(r, view) || meets(r, seen) != screenPass || built_.count(i)) continue;
            if (TurnBudget::drawingHeld(this) || !TurnBudget::hasTime()) {
                all = false;
                continue;
            }
            QWidget* w = factory_(i);
            if (!w) continue;
            w->setParent(this);
            w->setGeometry(r);
            w->show();
            built_[i] = Built{w, key_ ? key_(i) : std::string()};
        }
    }
    return all;
}

void LazyRows::closeRows(std::vector<int> heights, Factory factory) {
    if (!key_) {
        setRows(std::move(heights), std::move(factory), spacing_);
        return;
    }
    watchScroll();
    const int viewTop = scroll_ ? viewRect().top() : 0;
    factory_ = std::move(factory);
    heights_ = std::move(heights);
    std::vector<Stay> stays;
    std::vector<QPointer<QWidget>> gone;
    sortBuilt(stays, gone);
    placeRows();
    const int shift = holdView(stays, gone, viewTop);
    std::sort(stays.begin(), stays.end(), [](const Stay& a, const Stay& b) { return a.index < b.index; });
    planSteps(stays, gone, shift);
    for (const Stay& s : stays) {
        Built& slot = built_[s.index];
        // A row the scroll's move had built meanwhile gives way to the kept one.
        if (slot.widget && slot.widget != s.built.widget) TurnBudget::retire(slot.widget);
        slot = s.built;
    }

    for (auto& w : leaving_)
        if (w) w->move(w->x(), w->y() + shift);
    // A row that left has evaporated by now; one that merely changed its identity must not stay
    // drawn over the rows sliding in.
    for (auto& w : gone) {
        w->move(w->x(), w->y() + shift);
        w->hide();
        leaving_.push_back(w);
    }
    if (update_)
        for (auto& [index, built] : built_)
            update_(index, built.widget);
    close_.start();
    updateGeometry();
}

void LazyRows::sortBuilt(std::vector<Stay>& stays, std::vector<QPointer<QWidget>>& gone) {
    // Where each built row goes in the new list.
    std::unordered_map<std::string, int> newIndex;
    newIndex.reserve(heights_.size());
    for (int j = 0; j < count(); ++j)
        newIndex.emplace(key_(j), j);
    std::vector<bool> taken(static_cast<size_t>(count()), false);
    for (auto& [old, built] : built_) {
        if (!built.widget) continue;
        auto it = newIndex.find(built.key);
        if (it != newIndex.end() && !taken[static_cast<size_t>(it->second)]) {
            taken[static_cast<size_t>(it->second)] = true;
            stays.push_back({it->second, built, built.widget->y(), built.widget->height()});
        } else {
            gone.push_back(built.widget);
        }
    }
    built_.clear();
}

int LazyRows::holdView(const std::vector<Stay>& stays, const std::vector<QPointer<QWidget>>& gone,
                       int viewTop) {
    // The first row on screen that stays keeps its place, less the gaps of rows that left on screen
    // above it; rows that left above the screen move the scroll position instead.
    auto anchor =
        std::find_if(stays.begin(), stays.end(), [&](const Stay& s) { return s.y + s.height > viewTop; });
    if (!scroll_ || anchor == stays.end()) return 0;
    int gapsAbove = 0;
    for (const auto& w : gone)
        if (w->y() + w->height() > viewTop && w->y() < anchor->y) gapsAbove += w->height() + spacing_;
    const int wanted = tops_[static_cast<size_t>(anchor->index)] - (anchor->y - viewTop - gapsAbove);
    QScrollBar* bar = scroll_->verticalScrollBar();
    const int before = bar->value();
    bar->setValue(std::max(0, before + (wanted - viewTop)));
    return bar->value() - before;
}

void LazyRows::planSteps(const std::vector<Stay>& stays, const std::vector<QPointer<QWidget>>& gone,
                         int shift) {
    steps_.clear();
    double last = 0;
    int lastY = std::numeric_limits<int>::min();
    for (const Stay& s : stays) {
        last = s.y + shift - tops_[static_cast<size_t>(s.index)];
        steps_.push_back({s.index, last});
        lastY = std::max(lastY, s.y);
    }
    // Rows after the last kept one close the gaps of the rows that left below it as well.
    double below = 0;
    for (const auto& w : gone)
        if (w->y() > lastY) below += w->height() + spacing_;
    steps_.push_back({stays.empty() ? 0 : stays.back().index + 1, last + below});
    if (steps_.back().offset == 0 && steps_.size() == 1) steps_.clear();
}

void LazyRows::closeRows(std::vector<int> heights) {
    Factory factory = factory_;
    closeRows(std::move(heights), std::move(factory));
}

void LazyRows::closeStep(double amount) {
    setFixedHeight(shownHeight());
    for (auto& [index, built] : built_)
        if (built.widget && index < count()) built.widget->setGeometry(shownRect(index));
    refresh();
    if (amount >= 1 && isClosing()) endClose();
}

void LazyRows::endClose() {
    for (auto& widget : leaving_)
        TurnBudget::retire(widget);
    leaving_.clear();
    steps_.clear();
    setFixedHeight(shownHeight());
    refresh();
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
