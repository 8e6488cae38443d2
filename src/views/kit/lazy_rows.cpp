#include "views/kit/lazy_rows.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

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
    tops_.resize(heights_.size());
    int y = 0;
    for (size_t i = 0; i < heights_.size(); ++i) {
        tops_[i] = y;
        y += heights_[i] + spacing_;
    }
    setFixedHeight(shownHeight());
    updateGeometry();
    refresh();
}

int LazyRows::totalHeight() const {
    if (heights_.empty()) return 0;
    return tops_.back() + heights_.back();
}

int LazyRows::shownHeight() const {
    // The end of the list follows the last row up, so what lies below the list slides with it.
    const double tail = steps_.empty() ? 0.0 : steps_.back().offset * (1 - close_.value());
    return std::max(0, totalHeight() + static_cast<int>(std::lround(std::max(0.0, tail))));
}

double LazyRows::offset(int index) const {
    if (steps_.empty()) return 0;
    auto it = std::upper_bound(steps_.begin(), steps_.end(), index,
                               [](int i, const Step& s) { return i < s.index; });
    if (it == steps_.begin()) return 0;
    return std::prev(it)->offset * (1 - close_.value());
}

double LazyRows::largestOffset() const {
    double largest = 0;
    for (const Step& s : steps_)
        largest = std::max(largest, std::abs(s.offset));
    return largest * (1 - close_.value());
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
    // Only the rows near the view are looked at, so a long list costs nothing per scroll step.
    const int slack = static_cast<int>(std::ceil(largestOffset()));
    // The first index at which `past` turns true (it is false, then true, along the list).
    const auto firstWhere = [this](int from, auto past) {
        int lo = from, hi = count();
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (past(mid))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };
    const auto at = [](const std::vector<int>& v, int i) { return v[static_cast<size_t>(i)]; };
    const int first =
        firstWhere(0, [&](int i) { return at(tops_, i) + at(heights_, i) + slack >= view.top(); });
    const int last = firstWhere(first, [&](int i) { return at(tops_, i) - slack > view.bottom(); });
    const auto inView = [&](int i) {
        const QRect r = shownRect(i);
        return r.bottom() + 1 >= view.top() && r.top() <= view.bottom();
    };
    for (auto it = built_.begin(); it != built_.end();) {
        if (!it->second.widget) {
            it = built_.erase(it);
        } else if (it->first >= count() || !inView(it->first)) {
            TurnBudget::retire(it->second.widget);
            it = built_.erase(it);
        } else {
            ++it;
        }
    }
    // Rows are built while the turn has time, those on screen before those in the margin; the rest
    // come in the next turns, so a card of many rows or many cards at once never stall the window.
    const QRect seen = viewRect();
    const auto onScreen = [&](int i) {
        const QRect r = shownRect(i);
        return r.bottom() + 1 >= seen.top() && r.top() <= seen.bottom();
    };
    for (auto& [index, built] : built_)
        built.widget->setGeometry(shownRect(index));
    bool unbuilt = false;
    for (const bool screenPass : {true, false}) {
        for (int i = first; i < last; ++i) {
            if (!factory_ || !inView(i) || onScreen(i) != screenPass || built_.count(i)) continue;
            if (!TurnBudget::hasTime()) {
                unbuilt = true;
                continue;
            }
            QWidget* w = factory_(i);
            if (!w) continue;
            w->setParent(this);
            w->setGeometry(shownRect(i));
            w->show();
            built_[i] = Built{w, key_ ? key_(i) : std::string()};
        }
    }
    if (unbuilt && !refreshQueued_) {
        refreshQueued_ = true;
        TurnBudget::next(this, [this] {
            refreshQueued_ = false;
            refresh();
        });
    }
}

void LazyRows::closeRows(std::vector<int> heights, Factory factory) {
    if (!key_) {
        setRows(std::move(heights), std::move(factory), spacing_);
        return;
    }
    watchScroll();
    const int viewTop = scroll_ ? viewRect().top() : 0;

    // Where each built row goes in the new list.
    std::unordered_map<std::string, int> newIndex;
    newIndex.reserve(heights.size());
    factory_ = std::move(factory);
    heights_ = std::move(heights);
    for (int j = 0; j < count(); ++j)
        newIndex.emplace(key_(j), j);
    struct Stay {
        int index;
        Built built;
        int y;
        int height;
    };
    std::vector<Stay> stays;
    std::vector<QPointer<QWidget>> gone;
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
    tops_.resize(heights_.size());
    for (size_t i = 0, y = 0; i < heights_.size(); ++i) {
        tops_[i] = static_cast<int>(y);
        y += static_cast<size_t>(heights_[i] + spacing_);
    }

    // The first row on screen that stays keeps its place, less the gaps of rows that left on screen
    // above it; rows that left above the screen move the scroll position instead.
    int shift = 0;
    auto anchor =
        std::find_if(stays.begin(), stays.end(), [&](const Stay& s) { return s.y + s.height > viewTop; });
    if (scroll_ && anchor != stays.end()) {
        int gapsAbove = 0;
        for (const auto& w : gone)
            if (w->y() + w->height() > viewTop && w->y() < anchor->y) gapsAbove += w->height() + spacing_;
        const int wanted = tops_[static_cast<size_t>(anchor->index)] - (anchor->y - viewTop - gapsAbove);
        QScrollBar* bar = scroll_->verticalScrollBar();
        const int before = bar->value();
        bar->setValue(std::max(0, before + (wanted - viewTop)));
        shift = bar->value() - before;
    }

    std::sort(stays.begin(), stays.end(), [](const Stay& a, const Stay& b) { return a.index < b.index; });
    steps_.clear();
    double last = 0;
    int lastY = std::numeric_limits<int>::min();
    for (const Stay& s : stays) {
        last = s.y + shift - tops_[static_cast<size_t>(s.index)];
        steps_.push_back({s.index, last});
        lastY = std::max(lastY, s.y);
        built_[s.index] = s.built;
    }
    // Rows after the last kept one close the gaps of the rows that left below it as well.
    double below = 0;
    for (const auto& w : gone)
        if (w->y() > lastY) below += w->height() + spacing_;
    steps_.push_back({stays.empty() ? 0 : stays.back().index + 1, last + below});
    if (steps_.back().offset == 0 && steps_.size() == 1) steps_.clear();

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

    close_.setImmediate(0);
    close_.animateTo(1, closeMotion(), true);
    updateGeometry();
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
