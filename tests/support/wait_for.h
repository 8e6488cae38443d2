#pragma once

#include <QElapsedTimer>
#include <QTest>
#include <functional>

namespace nimbrel {

// Runs the event loop until `condition` holds or `ms` pass; true when it held.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QTest::qWait(5);
    }
    return true;
}

}  // namespace nimbrel
