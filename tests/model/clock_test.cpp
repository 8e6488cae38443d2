#include "model/clock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace nimbrel {
namespace {

using std::chrono::milliseconds;

TEST(ManualClockTest, FiresDueTimersInOrderAndSkipsDeadContexts) {
    ManualClock clock;
    QObject owner;
    auto doomed = std::make_unique<QObject>();
    std::vector<std::string> fired;
    const auto start = clock.now();
    clock.after(milliseconds(300), &owner, [&] { fired.push_back("300"); });
    clock.after(milliseconds(100), &owner, [&] {
        fired.push_back("100");
        // Started while time moves: due at 250, inside the same advance.
        clock.after(milliseconds(150), &owner, [&] { fired.push_back("250"); });
    });
    clock.after(milliseconds(200), doomed.get(), [&] { fired.push_back("dead"); });
    clock.after(milliseconds(100), &owner, [&] { fired.push_back("100b"); });
    doomed.reset();

    clock.advance(milliseconds(299));
    EXPECT_EQ(fired, (std::vector<std::string>{"100", "100b", "250"}));
    EXPECT_EQ(clock.now() - start, milliseconds(299));
    clock.advance(milliseconds(1));
    EXPECT_EQ(fired.back(), "300");
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

// The real clock's waits fire on time: Qt's coarse timers, its default from 2 s up, may be 5% late,
// which is 400 ms on the removal's longest hold. Each wait is a precise timer owned by its context,
// so it goes with the context, and it goes once it fired.
TEST(SystemClockTest, EveryWaitIsAPreciseTimerThatGoesWithItsContext) {
    QObject owner;
    int fired = 0;
    for (const milliseconds delay :
         {milliseconds(0), milliseconds(2000), milliseconds(8000), milliseconds(std::chrono::hours(1))})
        Clock::system().after(delay, &owner, [&] { ++fired; });
    const QList<QTimer*> timers = owner.findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 4);
    for (const QTimer* timer : timers) {
        EXPECT_EQ(timer->timerType(), Qt::PreciseTimer) << timer->interval();
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_TRUE(timer->isActive());
    }
    QTimer* first = *std::min_element(timers.begin(), timers.end(), [](const QTimer* a, const QTimer* b) {
        return a->interval() < b->interval();
    });
    QSignalSpy firstFired(first, &QTimer::timeout);
    ASSERT_TRUE(firstFired.wait(10000));
    EXPECT_EQ(fired, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(owner.findChildren<QTimer*>().size(), 3);
}

}  // namespace
}  // namespace nimbrel
