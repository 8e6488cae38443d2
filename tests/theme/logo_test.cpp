#include "theme/logo.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include "theme/drawing_test_support.h"
#include "theme/loader.h"
#include "theme/steamer.h"
#include "theme/wordmark.h"

namespace nimbrel {
namespace {

using test::maxAlpha;
using test::PuffsGuard;
using test::renderOf;
using test::whitePuff;

TEST(NimbrelLogo, PuffRisesAboveTheFrameOnlyWhenThereIsOne) {
    NimbrelLogo logo(54);
    const QRectF frame = logo.layoutRect();
    EXPECT_NEAR(frame.height(), 59.4, 1e-9);
    EXPECT_EQ(logo.bleed().top(), 19);  // 0.35 x 54 above the frame
    const int frameTop = int(frame.top());
    {
        PuffsGuard puffs({whitePuff()});
        const QImage img = renderOf(logo);
        EXPECT_GT(maxAlpha(img, 0, frameTop), 100);
    }
    {
        PuffsGuard puffs({});
        const QImage img = renderOf(logo);
        EXPECT_EQ(maxAlpha(img, 0, frameTop), 0);  // only the drop, in the same frame
        EXPECT_GT(maxAlpha(img, frameTop, img.height()), 200);
        EXPECT_EQ(logo.layoutRect(), frame);
    }
}

TEST(Wordmark, IsOneAccessibleElementNamedAfterTheProduct) {
    Wordmark mark;
    EXPECT_EQ(mark.accessibleName(), "Nimbrel");
    EXPECT_TRUE(mark.findChildren<QWidget*>().isEmpty());
    EXPECT_GT(mark.sizeHint().width(), 22 + 8);
}

TEST(NimbrelLoader, WithoutPuffsKeepsItsSizeAndLabelAndDrawsNothing) {
    NimbrelLoader loader(20);
    const QSize withPuffs = loader.sizeHint();
    EXPECT_DOUBLE_EQ(loader.layoutRect().width(), 32);
    PuffsGuard puffs({});
    EXPECT_EQ(loader.sizeHint(), withPuffs);
    EXPECT_EQ(loader.accessibleName(), "Working");
    const QImage img = renderOf(loader);
    EXPECT_EQ(maxAlpha(img, 0, img.height()), 0);
}

TEST(Stain, SameSeedSameBlot) {
    const QSize size(40, 40);
    EXPECT_EQ(Stain::render(3, size), Stain::render(3, size));
    EXPECT_NE(Stain::render(0, size), Stain::render(1, size));
    PuffsGuard puffs({});
    // Without puff images only the two dots remain.
    const QImage dots = Stain::render(0, size);
    EXPECT_GT(qAlpha(dots.pixel(29, 13)), 100);  // centre + (9, -7)
    EXPECT_EQ(qAlpha(dots.pixel(20, 20)), 0);
}

}  // namespace
}  // namespace nimbrel
