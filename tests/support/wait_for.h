#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <initializer_list>

namespace nimbrel {

// Waits on `signal` of `sender` until `done()` holds (at once when it already does): `done` is looked
// at again after each emission, never on a timer. False when `ms` pass first.
template <typename Sender, typename Signal>
bool waitOn(const Sender* sender, Signal signal, const std::function<bool()>& done, int ms = 10000) {
    QSignalSpy spy(sender, signal);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        const int left = ms - int(timer.elapsed());
        if (left <= 0 || !spy.wait(left)) return done();
    }
    return true;
}

// How long a settle waits for a pool before it gives up on a stuck worker.
constexpr int kPatienceMs = 30000;

namespace detail {
// Counts the events the application hands out while it lives.
struct EventCounter : QObject {
    EventCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~EventCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent*) override {
        ++seen;
        return false;
    }
    int seen = 0;
};
}  // namespace detail

// Delivers the events posted to the main thread so far; returns how many went out.
inline int deliverPosted() {
    detail::EventCounter counter;
    QCoreApplication::sendPostedEvents();
    return counter.seen;
}

// Lets the work handed to `pools` end, then runs what the event loop has pending: posted events
// (layouts, repaints, queued calls, results handed back) and timers already due (zero-delay ones),
// round after round until one finds nothing. No time is let pass, so animations stay where their
// clocks are.
inline void settleWindows(std::initializer_list<QThreadPool*> pools) {
    for (int round = 0; round < 100; ++round) {
        for (QThreadPool* pool : pools)
            pool->waitForDone(kPatienceMs);  // a worker stuck past it fails the test's checks instead
        detail::EventCounter counter;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        // What an event loop would delete on its way round (widgets that have gone).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (counter.seen == 0) return;
    }
}

// The same without background work.
inline void flushEvents() {
    settleWindows({});
}

// Runs the event loop until `done()` holds, looking again after each batch of events (it sleeps
// until the next one comes, such as a widget's own timer). False when `ms` pass first.
inline bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    QTimer wake;  // ends the last sleep at the deadline
    wake.setSingleShot(true);
    wake.start(ms);
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Lets the work handed to `pools` end and delivers what it posted back. A delivery may start more
// work (a finished scan lists the volumes again), so rounds go on until one delivers nothing. A
// worker posts before it ends, so after waitForDone its result is always in the queue.
inline void settle(std::initializer_list<QThreadPool*> pools) {
    for (int round = 0; round < 1000; ++round) {
        for (QThreadPool* pool : pools)
            pool->waitForDone(kPatienceMs);
        if (deliverPosted() == 0) return;
    }
}

// Lets the work already handed to `pool` end and delivers what it posted back to the main thread,
// so a test can check that nothing more happens.
inline void drain(QThreadPool& pool) {
    settle({&pool});
}

}  // namespace nimbrel
