#pragma once

#include <QRect>
#include <functional>

class QAbstractScrollArea;
class QWidget;

namespace nimbrel {

// The nearest scroll area around `widget`, or null while it is not inside one. Once found, every
// scroll or range change of that area calls `refresh`, at most once per turn of the event loop, so a
// list that builds only the rows in view follows the view without rebuilding on each step.
QAbstractScrollArea* watchEnclosingScroll(QWidget* widget, std::function<void()> refresh);

// The part of `widget` that `scroll`'s viewport shows, in the widget's coordinates; the whole widget
// when there is no scroll area.
QRect visiblePart(const QWidget* widget, const QAbstractScrollArea* scroll);

}  // namespace nimbrel
