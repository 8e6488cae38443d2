#include "engine/scan_progress.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

DiscoveredEntry entry(int i, bool measuring) {
    return {"/r/" + std::to_string(i), std::to_string(i), i, measuring, std::nullopt, measuring};
}

TEST(DiscoveredList, SnapshotsStayAsTheyWereWhileTheListGrows) {
    DiscoveredListBuilder builder;
    std::vector<DiscoveredList> snapshots;
    for (int i = 0; i < 300; ++i) {
        builder.append(entry(i, i % 3 == 0));  // every third is a folder still being measured
        if (builder.hasOpen()) builder.open().size = i + 1000;
        snapshots.push_back(builder.snapshot());
        if (i % 3 == 0) builder.settleOpen(i * 10);
    }
    for (int n = 0; n < 300; ++n) {
        const DiscoveredList& s = snapshots[n];
        ASSERT_EQ(s.size(), static_cast<std::size_t>(n + 1));
        for (int i = 0; i <= n; ++i) {
            const bool open = i == n && i % 3 == 0;
            EXPECT_EQ(s[i].measuring, open) << n << " " << i;
            EXPECT_EQ(s[i].size, open ? i + 1000 : (i % 3 == 0 ? i * 10 : i)) << n << " " << i;
            EXPECT_EQ(s[i].path, "/r/" + std::to_string(i));
        }
    }
    // Iteration sees the same entries as indexing.
    const DiscoveredList& all = snapshots.back();
    EXPECT_EQ(all.toVector().size(), 300u);
    EXPECT_EQ(std::distance(all.begin(), all.end()), 300);
    EXPECT_EQ(all, snapshots.back());
    EXPECT_FALSE(all == snapshots[10]);
}

TEST(DiscoveredList, AppendingAfterAnOpenEntrySettlesIt) {
    DiscoveredListBuilder builder;
    builder.append(entry(1, true));
    builder.append(entry(2, false));
    DiscoveredList s = builder.snapshot();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].path, "/r/1");
    EXPECT_FALSE(builder.hasOpen());
    EXPECT_TRUE(DiscoveredList().empty());
}

}  // namespace
}  // namespace nimbrel
