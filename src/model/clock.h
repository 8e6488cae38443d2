#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <vector>

namespace nimbrel {

// Time as the state sees it: a monotonic clock for waits and a wall clock for dates, plus one-shot
// timers on the main thread. Tests replace it with ManualClock and drive time by hand.
class Clock {
  public:
    using Duration = std::chrono::milliseconds;

    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    virtual std::chrono::system_clock::time_point date() const = 0;
    // Runs `fn` on the main thread after `delay`, unless `context` is destroyed first.
    virtual void after(Duration delay, QObject* context, std::function<void()> fn) = 0;

    // The real clocks and QTimer.
    static Clock& system();
};

// A clock that moves only when told to: advance() fires the timers that fall due, in order.
class ManualClock : public Clock {
  public:
    std::chrono::steady_clock::time_point now() const override { return now_; }
    std::chrono::system_clock::time_point date() const override { return date_; }
    void after(Duration delay, QObject* context, std::function<void()> fn) override;

    void advance(Duration by);
    size_t pendingTimers() const { return timers_.size(); }

  private:
    struct Timer {
        std::chrono::steady_clock::time_point due;
        uint64_t order;
        QPointer<QObject> context;
        std::function<void()> fn;
    };

    std::chrono::steady_clock::time_point now_{};
    std::chrono::system_clock::time_point date_{std::chrono::system_clock::now()};
    uint64_t nextOrder_ = 0;
    std::vector<Timer> timers_;
};

}  // namespace nimbrel
