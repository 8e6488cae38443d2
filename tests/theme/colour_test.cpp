#include <gtest/gtest.h>

#include <QWidget>
#include <cmath>

#include "theme/appearance.h"
#include "theme/oklch.h"
#include "theme/palette.h"

namespace nimbrel {
namespace {

TEST(OKLCHTest, ConvertsReferencePrimaries) {
    // OKLCH coordinates of the sRGB primaries and white, from the published definition of Oklab.
    struct Case {
        OKLCH in;
        double r, g, b;
    } cases[] = {
        {OKLCH::of(0.627955, 0.257683, 29.2339), 1, 0, 0},
        {OKLCH::of(0.866440, 0.294827, 142.4953), 0, 1, 0},
        {OKLCH::of(0.452014, 0.313214, 264.052), 0, 0, 1},
        {OKLCH::grey(1), 1, 1, 1},
        {OKLCH::grey(0), 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto out = c.in.srgb();
        EXPECT_NEAR(out.r, c.r, 2e-3) << c.in.l;
        EXPECT_NEAR(out.g, c.g, 2e-3) << c.in.l;
        EXPECT_NEAR(out.b, c.b, 2e-3) << c.in.l;
    }
}

TEST(OKLCHTest, GreyIgnoresChromaWithoutHue) {
    const OKLCH withChroma{0.155, 0.2, std::nullopt, 1};
    const auto a = withChroma.srgb();
    const auto b = OKLCH::grey(0.155).srgb();
    EXPECT_EQ(a.r, b.r);
    EXPECT_EQ(a.g, b.g);
    EXPECT_EQ(a.b, b.b);
    // The matrix rows sum to 1 only to about 1e-10, so the channels agree within that.
    EXPECT_NEAR(a.r, a.g, 1e-9);
    EXPECT_NEAR(a.g, a.b, 1e-9);
    // A grey's linear value is L cubed.
    EXPECT_NEAR(a.r, 1.055 * std::pow(0.155 * 0.155 * 0.155, 1 / 2.4) - 0.055, 1e-9);
}

TEST(OKLCHTest, ClipsOutOfGamutChannelsWithoutGamutMapping) {
    const OKLCH hot = OKLCH::of(0.95, 0.2, 30);
    EXPECT_GT(oklchToLinearSrgb(hot).r, 2.0);
    const auto out = hot.srgb();
    EXPECT_EQ(out.r, 1.0);
    for (double h = 0; h < 360; h += 15) {
        const auto c = OKLCH::of(0.5, 0.4, h).srgb();
        for (double ch : {c.r, c.g, c.b}) {
            EXPECT_GE(ch, 0.0);
            EXPECT_LE(ch, 1.0);
        }
    }
}

TEST(OKLCHTest, TransferCurveSegments) {
    EXPECT_DOUBLE_EQ(srgbEncode(0.0031308), 12.92 * 0.0031308);
    EXPECT_DOUBLE_EQ(srgbEncode(-0.5), 0.0);
    EXPECT_DOUBLE_EQ(srgbEncode(std::nan("")), 0.0);
    EXPECT_DOUBLE_EQ(srgbEncode(3.0), 1.0);
    EXPECT_NEAR(srgbEncode(0.5), 0.735357, 1e-6);
}

TEST(PaletteTest, AdaptiveTokensFollowAppearance) {
    struct Case {
        const AdaptiveColor& token;
        double darkL, lightL, darkAlpha, lightAlpha;
    } cases[] = {
        {Palette::canvas(), 0.155, 0.975, 1, 1},
        {Palette::ink(), 0.965, 0.21, 1, 1},
        {Palette::surface(), 1, 1, 0.07, 1},
        {Palette::raised(), 1, 0.965, 0.11, 1},
        {Palette::well(), 0, 0.93, 0.24, 1},
        {Palette::line(), 1, 0.905, 0.10, 1},
        {Palette::lineStrong(), 1, 0.83, 0.22, 1},
        {Palette::ink2(), 0.76, 0.45, 1, 1},
        {Palette::ink3(), 0.57, 0.61, 1, 1},
        {Palette::nimbrelSubtle(), 0.82, 0.66, 0.14, 0.13},
        {Palette::emberSubtle(), 0.6, 0.6, 0.18, 0.11},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(c.token.darkValue().l, c.darkL);
        EXPECT_DOUBLE_EQ(c.token.lightValue().l, c.lightL);
        EXPECT_NEAR(c.token.resolve(Appearance::dark).alphaF(), c.darkAlpha, 1e-4);
        EXPECT_NEAR(c.token.resolve(Appearance::light).alphaF(), c.lightAlpha, 1e-4);
    }
    // L 0.155 grey: linear 0.155^3 = 0.003724, encoded 0.0476 -> 12/255; L 0.975: 0.9671 -> 247.
    EXPECT_EQ(Palette::canvas().resolve(Appearance::dark).red(), 12);
    EXPECT_EQ(Palette::canvas().resolve(Appearance::light).red(), 247);
    EXPECT_EQ(Palette::accent().resolve(Appearance::dark), toQColor(OKLCH::of(0.82, 0.11, 195)));
}

TEST(PaletteTest, FixedTokensAreOpaque) {
    for (const QColor& c : {Palette::onAccent(), Palette::honey(), Palette::magma(), Room::burnDim()})
        EXPECT_EQ(c.alpha(), 255);
    EXPECT_EQ(Palette::honey(), fixedColor(OKLCH::of(0.85, 0.14, 82)));
    EXPECT_NEAR(Palette::glass().alphaF(), 0.045, 1e-3);
    EXPECT_NEAR(Palette::glassEdge().alphaF(), 0.09, 1e-3);
    EXPECT_EQ(Palette::nimbrel().stops().size(), 3);
    EXPECT_EQ(Palette::nimbrel().finalStop(), QPointF(1, 1));
    EXPECT_EQ(Palette::nimbrelFlat().finalStop(), QPointF(0, 1));
}

TEST(PaletteTest, CategoryHues) {
    const std::pair<FileCategory, double> hues[] = {
        {FileCategory::video, 305},       {FileCategory::audio, 355},  {FileCategory::image, 88},
        {FileCategory::document, 255},    {FileCategory::archive, 52}, {FileCategory::diskImage, 205},
        {FileCategory::application, 280}, {FileCategory::code, 145},   {FileCategory::developer, 178},
    };
    for (const auto& [category, hue] : hues)
        EXPECT_EQ(categoryHue(category), hue) << category.rawValue();
    EXPECT_FALSE(categoryHue(FileCategory::other).has_value());
}

TEST(AppearanceTest, NearestStatedAppearanceWinsAndUnknownIsLight) {
    QWidget window;
    QWidget child(&window);
    AppearanceOf::set(&window, Appearance::dark);
    EXPECT_EQ(AppearanceOf::widget(&child), Appearance::dark);
    EXPECT_EQ(Palette::ink().resolve(&child), Palette::ink().resolve(Appearance::dark));
    AppearanceOf::set(&child, Appearance::light);
    EXPECT_EQ(AppearanceOf::widget(&child), Appearance::light);
    window.setProperty(AppearanceOf::kProperty, QStringLiteral("sepia"));
    EXPECT_EQ(AppearanceOf::widget(&window), Appearance::light);
}

}  // namespace
}  // namespace nimbrel
