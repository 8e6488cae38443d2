#include "theme/steam_jet_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace nimbrel {
namespace {

TEST(SteamJetGeometry, NoImagesNoPuffs) {
    EXPECT_TRUE(SteamJetGeometry::puffs({0, 0}, {100, 50}, 3, 1, 0).empty());
}

TEST(SteamJetGeometry, ImageIndicesWrapOverTheAvailableImages) {
    struct Case {
        int images;
        std::vector<int> expected;  // nine jet puffs, then four cloud puffs
    };
    const Case cases[] = {
        {1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {3, {0, 1, 2, 0, 1, 2, 0, 1, 2, 2, 0, 1, 2}},
        {4, {0, 1, 2, 3, 0, 1, 2, 3, 0, 2, 3, 0, 1}},
    };
    for (const Case& c : cases) {
        const auto puffs = SteamJetGeometry::puffs({0, 0}, {10, 10}, 1, 1, c.images);
        ASSERT_EQ(puffs.size(), 13u);
        for (size_t k = 0; k < puffs.size(); ++k)
            EXPECT_EQ(puffs[k].image, c.expected[k]) << c.images << " " << k;
    }
}

TEST(SteamJetGeometry, JetPuffsTravelFromNozzleToTarget) {
    const QPointF from(20, 100), to(220, 40);
    const double t = 0;  // phases i/9, shimmer 3 sin(i)
    const auto puffs = SteamJetGeometry::puffs(from, to, t, 0.5, 4);
    for (int i = 0; i < 9; ++i) {
        const double p = i / 9.0;
        const JetPuff& j = puffs[i];
        EXPECT_NEAR(j.centre.x(), 20 + p * 200 + 3 * std::sin(i), 1e-9);
        EXPECT_NEAR(j.centre.y(), 100 - p * 60, 1e-9);
        EXPECT_NEAR(j.side, 18 + 30 * p, 1e-9);
        EXPECT_NEAR(j.rotation, 40 * i + 90 * p, 1e-9);
        EXPECT_NEAR(j.opacity, 0.85 * std::sin(std::numbers::pi * p) * 0.5, 1e-9);
    }
    for (int j = 0; j < 4; ++j) {
        const double p = j / 4.0;
        const JetPuff& c = puffs[9 + j];
        EXPECT_NEAR(c.centre.x(), 220 + 8 * (j - 2), 1e-9);
        EXPECT_NEAR(c.centre.y(), 40 - 34 * p, 1e-9);  // rises as it grows
        EXPECT_NEAR(c.side, 30 + 40 * p, 1e-9);
        EXPECT_NEAR(c.opacity, 0.6 * std::sin(std::numbers::pi * p) * 0.5, 1e-9);
    }
}

TEST(SteamJetGeometry, CyclesAndStrength) {
    // The jet repeats every 1/1.8 s, the cloud every 1/0.9 s.
    const auto a = SteamJetGeometry::puffs({0, 0}, {90, 0}, 0.1, 1, 4);
    const auto b = SteamJetGeometry::puffs({0, 0}, {90, 0}, 0.1 + 10 / 0.9, 1, 4);
    for (size_t k = 9; k < 13; ++k)
        EXPECT_NEAR(a[k].centre.y(), b[k].centre.y(), 1e-6);
    for (size_t k = 0; k < 9; ++k)
        EXPECT_NEAR(a[k].side, b[k].side, 1e-6);

    // Zero strength makes every puff transparent; the layout itself does not change.
    const auto off = SteamJetGeometry::puffs({0, 0}, {90, 0}, 0.1, 0, 4);
    for (size_t k = 0; k < off.size(); ++k) {
        EXPECT_EQ(off[k].opacity, 0.0);
        EXPECT_EQ(off[k].centre, a[k].centre);
    }
}

TEST(SteamJetGeometry, SameStartAndTargetShimmersInPlace) {
    const QPointF at(50, 60);
    for (double t : {0.0, 0.21, 0.4}) {
        const auto puffs = SteamJetGeometry::puffs(at, at, t, 1, 2);
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(puffs[i].centre.y(), 60, 1e-9);
            EXPECT_LE(std::abs(puffs[i].centre.x() - 50), 3 + 1e-9);
        }
    }
}

}  // namespace
}  // namespace nimbrel
