#pragma once

#include <QRect>
#include <vector>

class QWidget;

namespace nimbrel {

// Tab, Shift+Tab and a button's arrow keys go through a window in reading order: top to bottom, and
// left to right along a line. Qt's own order is the order the widgets were made in, which a lazily
// built list, a rebuilt area or a bar added later turns into jumps across the screen.
namespace FocusOrder {

// The controls inside `scope` that take the focus from the keyboard (shown, enabled, taking Tab),
// in reading order; `scope` itself is never one: a card or a view that holds the focus for its keys
// shows no focus of its own.
std::vector<QWidget*> stops(QWidget* scope);

// Moves the focus to the next (or previous) stop after the focused widget, round the end; the
// focus may be outside `scope` or on a widget just hidden, which still has its place. Scroll views
// bring the new stop into view. False when `scope` has no stop.
bool move(QWidget* scope, bool next);

// Scrolls every scroll view around `stop` to show its focus: the part its cursor rectangle names
// (a list that holds the focus for its lines names the current one), else the whole of it, with
// room below for the selection bar.
void reveal(QWidget* stop);

// The part of `w` that the scroll views around it show, in its own coordinates; empty when none.
QRect shownPart(const QWidget* w);

}  // namespace FocusOrder

}  // namespace nimbrel
