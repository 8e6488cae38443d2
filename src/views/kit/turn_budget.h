#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

namespace nimbrel {

// The GUI thread's time for building and freeing list widgets (cards, rows), shared by everything
// that does so in one turn of the event loop. Several handlers run back to back between two frames
// (a new result, the layout it sets off, the rows that come into view, the widgets freed from the
// last turn), so a budget per handler would add up to a stall; one clock per turn does not.
class TurnBudget {
  public:
    static constexpr int kMs = 6;

    // Whether this turn may still build or free something. The first ask in a turn starts its clock.
    static bool hasTime();
    // Whether a widget made in `parent` now would never be drawn: while Qt holds a widget's updates
    // (it sends the move and resize events it owes that way as it renders a picture), a child made
    // then keeps them held for good. What would be made waits for a coming turn.
    static bool drawingHeld(const QWidget* parent) { return !parent->updatesEnabled(); }
    // Runs `fn` in a coming turn, with a fresh clock, while `context` lives.
    static void next(QObject* context, std::function<void()> fn);
    // Hides `widget` now and deletes it in coming turns, as many per turn as the budget allows (at
    // least one): a thousand cards freed at once would hold the window still.
    static void retire(QWidget* widget);
    // Tests fix how many asks in each turn are answered yes (kUnlimited: all of them), so what a turn
    // builds does not depend on how busy the machine is; nullopt goes back to the clock.
    static constexpr int kUnlimited = -1;
    static void setOverride(std::optional<int> asksPerTurn);
};

}  // namespace nimbrel
