#include "model/background.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <thread>
#include <vector>

namespace nimbrel {
namespace {

// Reports sent from a worker while the main thread is busy; the main thread then runs its events.
std::vector<int> deliveredAfter(QObject* context, const std::vector<int>& reports, bool dropContext = false) {
    std::vector<int> delivered;
    auto report =
        Background::latestOnly<int>(context, [&delivered](int value) { delivered.push_back(value); });
    std::thread worker([&] {
        for (int value : reports)
            report(value);
    });
    worker.join();
    if (dropContext) delete context;
    QCoreApplication::processEvents();
    return delivered;
}

TEST(LatestOnlyTest, ReportsThatPileUpReachTheMainThreadAsTheNewestOne) {
    QObject context;
    EXPECT_EQ(deliveredAfter(&context, {1, 2, 3, 4, 5}), std::vector<int>{5});
    EXPECT_EQ(deliveredAfter(&context, {}), std::vector<int>{});
}

TEST(LatestOnlyTest, AReportAfterADeliveryIsDeliveredAgain) {
    QObject context;
    std::vector<int> delivered;
    auto report =
        Background::latestOnly<int>(&context, [&delivered](int value) { delivered.push_back(value); });
    report(1);
    QCoreApplication::processEvents();
    report(2);
    report(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, (std::vector<int>{1, 3}));
}

TEST(LatestOnlyTest, NothingReachesAReceiverThatIsGone) {
    EXPECT_TRUE(deliveredAfter(new QObject, {1, 2}, /*dropContext=*/true).empty());
}

}  // namespace
}  // namespace nimbrel
