#include "views/kit/turn_budget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <deque>

namespace nimbrel {

namespace {

struct Turn {
    QElapsedTimer clock;
    bool started = false;
    std::optional<int> override;
    int asks = 0;
    std::deque<QPointer<QWidget>> retired;
    bool draining = false;
};

Turn& turn() {
    static Turn t;
    return t;
}

void drain() {
    Turn& t = turn();
    t.draining = false;
    bool first = true;
    while (!t.retired.empty() && (first || TurnBudget::hasTime())) {
        QPointer<QWidget> w = t.retired.front();
        t.retired.pop_front();
        if (!w) continue;
        delete w.data();
        first = false;
    }
    if (!t.retired.empty()) {
        t.draining = true;
        TurnBudget::next(QCoreApplication::instance(), drain);
    }
}

// Starts the turn's clock unless it runs.
Turn& thisTurn() {
    Turn& t = turn();
    if (!t.started) {
        t.started = true;
        t.asks = 0;
        t.clock.start();
        // A queued call runs in the next pass over the posted events, not in this one: the clock
        // then starts again for whoever asks first there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { turn().started = false; }, Qt::QueuedConnection);
    }
    return t;
}

}  // namespace

bool TurnBudget::hasTime() {
    Turn& t = thisTurn();
    if (t.override) return *t.override == kUnlimited || t.asks++ < *t.override;
    return t.clock.elapsed() < kMs;
}

void TurnBudget::next(QObject* context, std::function<void()> fn) {
    // The clock's restart is queued first, so `fn` finds a fresh turn.
    thisTurn();
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void TurnBudget::retire(QWidget* widget) {
    if (!widget) return;
    widget->hide();
    Turn& t = turn();
    t.retired.emplace_back(widget);
    if (!t.draining) {
        t.draining = true;
        next(QCoreApplication::instance(), drain);
    }
}

void TurnBudget::setOverride(std::optional<int> asksPerTurn) {
    turn().override = asksPerTurn;
}

}  // namespace nimbrel
