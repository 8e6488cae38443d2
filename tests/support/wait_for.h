#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThreadPool>
#include <functional>

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

// Lets the work already handed to `pool` end and delivers what it posted back to the main thread,
// so a test can check that nothing more happens.
inline void drain(QThreadPool& pool) {
    pool.waitForDone();
    QCoreApplication::sendPostedEvents();
}

}  // namespace nimbrel
