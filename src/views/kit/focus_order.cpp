#include "views/kit/focus_order.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "views/kit/selection_bar.h"

namespace nimbrel {

namespace {

bool takesTab(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isEnabled() && !w->focusProxy();
}

// Siblings in reading order. A line is led by its topmost widget; a widget whose middle lies above
// the leader's bottom stands on that line (a tall widget beside a column of short ones takes the
// column into its line), and a line reads left to right.
std::vector<QWidget*> readingOrder(std::vector<QWidget*> widgets) {
    std::stable_sort(widgets.begin(), widgets.end(), [](const QWidget* a, const QWidget* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    std::vector<QWidget*> ordered;
    ordered.reserve(widgets.size());
    for (size_t first = 0; first < widgets.size();) {
        const int bottom = widgets[first]->geometry().bottom();
        size_t end = first + 1;
        while (end < widgets.size() && widgets[end]->geometry().center().y() <= bottom)
            ++end;
        std::stable_sort(widgets.begin() + long(first), widgets.begin() + long(end),
                         [](const QWidget* a, const QWidget* b) {
                             return a->x() != b->x() ? a->x() < b->x() : a->y() < b->y();
                         });
        ordered.insert(ordered.end(), widgets.begin() + long(first), widgets.begin() + long(end));
        first = end;
    }
    return ordered;
}

// The stops under `w` in reading order; `from` is listed at its place too, even hidden, so the
// focus can leave a widget that is going away.
void collect(QWidget* w, const QWidget* from, std::vector<QWidget*>& out) {
    std::vector<QWidget*> children;
    for (QObject* o : w->children()) {
        if (!o->isWidgetType()) continue;
        auto* c = static_cast<QWidget*>(o);
        if (c->isWindow()) continue;
        if (c->isHidden() && c != from && !(from && c->isAncestorOf(from))) continue;
        children.push_back(c);
    }
    for (QWidget* c : readingOrder(std::move(children))) {
        if (c == from || (takesTab(c) && !c->isHidden())) out.push_back(c);
        collect(c, from, out);
    }
}

std::vector<QWidget*> ordered(QWidget* scope, const QWidget* from) {
    std::vector<QWidget*> out;
    collect(scope, from, out);
    return out;
}

// Tab into a scrolled list goes to what shows of it: its first stop on screen (going back, its
// last), not a row scrolled away above (or below) that the list keeps built. Within the list, and
// when none of it shows, the order stands.
QWidget* inView(QWidget* target, const QWidget* from, const std::vector<QWidget*>& order, bool next,
                const std::function<bool(QWidget*)>& isStop) {
    QScrollArea* area = nullptr;
    for (QWidget* w = target->parentWidget(); w && !w->isWindow() && !area; w = w->parentWidget())
        if (auto* a = qobject_cast<QScrollArea*>(w); a && a->widget() && a->widget()->isAncestorOf(target))
            area = a;
    if (!area || (from && area->widget()->isAncestorOf(from))) return target;
    // Whole, or (a long list) over half the view.
    const int viewHeight = area->viewport()->height();
    const auto shows = [&](const QWidget* w) {
        const QRect part = FocusOrder::shownPart(w);
        return !part.isEmpty() && (part.size() == w->size() || 2 * part.height() >= viewHeight);
    };
    if (shows(target)) return target;
    std::vector<QWidget*> inside;
    for (QWidget* w : order)
        if (area->widget()->isAncestorOf(w) && isStop(w)) inside.push_back(w);
    if (!next) std::reverse(inside.begin(), inside.end());
    const auto shown = std::find_if(inside.begin(), inside.end(), shows);
    return shown == inside.end() ? target : *shown;
}

}  // namespace

// Every scroll view around the stop scrolls its focus into view (Qt does so only when the focus
// moves inside one view), with room below for the selection bar that floats over a list's end. Qt
// leaves a stop that shows whole where it is, also under the bar, so that room is made first.
void FocusOrder::reveal(QWidget* stop) {
    constexpr int kAcross = 50;
    constexpr int kDown = SelectionBar::kHeight + 32;
    // Qt's own scrolling follows the same rectangle.
    const QRect cursor = stop->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const QRect focus =
        cursor != stop->QWidget::inputMethodQuery(Qt::ImCursorRectangle).toRect() ? cursor : stop->rect();
    for (QWidget* w = stop->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(w);
            area && area->widget() && area->widget()->isAncestorOf(stop)) {
            const int bottom = stop->mapTo(area->viewport(), focus.bottomLeft()).y() + 1;
            if (const int under = bottom + kDown - area->viewport()->height(); under > 0)
                area->verticalScrollBar()->setValue(area->verticalScrollBar()->value() + under);
            area->ensureWidgetVisible(stop, kAcross, kDown);
        }
}

QRect FocusOrder::shownPart(const QWidget* w) {
    QRect part = w->rect();
    for (const QWidget* up = w->parentWidget(); up && !up->isWindow() && !part.isEmpty();
         up = up->parentWidget())
        if (auto* area = qobject_cast<const QScrollArea*>(up);
            area && area->widget() && area->widget()->isAncestorOf(w)) {
            const QWidget* view = area->viewport();
            part &= QRect(w->mapFrom(view, QPoint(0, 0)), view->size());
        }
    return part;
}

std::vector<QWidget*> FocusOrder::stops(QWidget* scope) {
    return ordered(scope, nullptr);
}

bool FocusOrder::move(QWidget* scope, bool next) {
    QWidget* from = scope->window()->focusWidget();
    if (from && !scope->isAncestorOf(from)) from = nullptr;
    const std::vector<QWidget*> order = ordered(scope, from);
    const auto isStop = [from](QWidget* w) { return w != from || (takesTab(w) && w->isVisible()); };
    if (std::none_of(order.begin(), order.end(), isStop)) return false;
    const long n = long(order.size());
    const long at = from ? long(std::find(order.begin(), order.end(), from) - order.begin()) : -1;
    long i = at < 0 || at == n ? (next ? -1 : n) : at;
    QWidget* target = nullptr;
    do {
        i = ((next ? i + 1 : i - 1) % n + n) % n;
        if (isStop(order[size_t(i)])) target = order[size_t(i)];
    } while (!target);
    target = inView(target, from, order, next, isStop);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    reveal(target);
    return true;
}

}  // namespace nimbrel
