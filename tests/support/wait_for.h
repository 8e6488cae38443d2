#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSignalSpy>
#include <QThreadPool>
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

// Delivers the events posted to the main thread so far; returns how many went out.
inline int deliverPosted() {
    struct Counter : QObject {
        int seen = 0;
        bool eventFilter(QObject*, QEvent*) override {
            ++seen;
            return false;
        }
    } counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&counter);
    return counter.seen;
}

// Lets the work handed to `pools` end and delivers what it posted back. A delivery may start more
// work (a finished scan lists the volumes again), so rounds go on until one delivers nothing. A
// worker posts before it ends, so after waitForDone its result is always in the queue.
inline void settle(std::initializer_list<QThreadPool*> pools) {
    for (int round = 0; round < 1000; ++round) {
        for (QThreadPool* pool : pools)
            pool->waitForDone();
        if (deliverPosted() == 0) return;
    }
}

// Lets the work already handed to `pool` end and delivers what it posted back to the main thread,
// so a test can check that nothing more happens.
inline void drain(QThreadPool& pool) {
    settle({&pool});
}

}  // namespace nimbrel
