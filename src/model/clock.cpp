#include "model/clock.h"

#include <QTimer>
#include <algorithm>

namespace nimbrel {

namespace {

class SystemClock : public Clock {
  public:
    std::chrono::steady_clock::time_point now() const override { return std::chrono::steady_clock::now(); }
    std::chrono::system_clock::time_point date() const override { return std::chrono::system_clock::now(); }
    void after(Duration delay, QObject* context, std::function<void()> fn) override {
        // Precise: from 2 s up Qt's default may fire 5% late, which is 400 ms on a removal's hold.
        // Owned by the context, so it goes with it.
        auto* timer = new QTimer(context);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
            timer->deleteLater();
            fn();
        });
        timer->start(delay);
    }
};

}  // namespace

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

void ManualClock::after(Duration delay, QObject* context, std::function<void()> fn) {
    timers_.push_back({now_ + delay, nextOrder_++, context, std::move(fn)});
}

void ManualClock::advance(Duration by) {
    const auto target = now_ + by;
    for (;;) {
        // A fired timer may start another one; take the earliest due each time.
        auto due = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (due == timers_.end() || due->due > target) break;
        Timer timer = std::move(*due);
        timers_.erase(due);
        if (timer.due > now_) {
            date_ += timer.due - now_;
            now_ = timer.due;
        }
        if (timer.context) timer.fn();
    }
    date_ += target - now_;
    now_ = target;
}

}  // namespace nimbrel
