#include "model/clock.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nimbrel
