#include "theme/badge.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>

#include "theme/appearance.h"
#include "theme/drawing_test_support.h"
#include "theme/palette.h"

namespace nimbrel {
namespace {

Risk riskOf(Risk::Level level, std::string title = "Cache",
            std::string why = "Apps rebuild it when needed.") {
    Risk r;
    r.level = level;
    r.title = std::move(title);
    r.why = std::move(why);
    return r;
}

TEST(RiskBadge, LevelsTextsAndColours) {
    QWidget window;
    AppearanceOf::set(&window, Appearance::dark);
    struct Case {
        Risk::Level level;
        bool shown;
        const char* symbol;
        QColor foreground;
        QColor fill;
    };
    const QColor honeyFill = withOpacity(Palette::honey(), 0.18);
    const Case cases[] = {
        {Risk::Level::safe, false, nullptr, {}, {}},
        {Risk::Level::normal, false, nullptr, {}, {}},
        {Risk::Level::locked, false, nullptr, {}, {}},
        {Risk::Level::caution, true, "exclamationmark.circle.fill",
         Palette::honeyInk().resolve(Appearance::dark), honeyFill},
        {Risk::Level::danger, true, "exclamationmark.triangle.fill", Qt::white, Palette::magma()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.level));
        RiskBadge badge(riskOf(c.level), &window);
        EXPECT_EQ(RiskBadge::isShown(c.level), c.shown);
        badge.setVisible(true);  // a caller showing every badge of a row cannot show a silent one
        EXPECT_EQ(badge.isVisibleTo(&window), c.shown);
        if (!c.shown) {
            EXPECT_EQ(badge.sizeHint(), QSize(0, 0));
            continue;
        }
        EXPECT_STREQ(RiskBadge::symbolName(c.level), c.symbol);
        EXPECT_EQ(badge.foreground(), c.foreground);
        EXPECT_EQ(badge.fill(), c.fill);
        EXPECT_EQ(badge.toolTip(), "Apps rebuild it when needed.");
        EXPECT_GT(badge.sizeHint().width(), badge.sizeHint().height());
    }
    // Light appearance: the caution ink follows it, the fixed fills do not.
    QWidget light;
    AppearanceOf::set(&light, Appearance::light);
    RiskBadge caution(riskOf(Risk::Level::caution), &light);
    EXPECT_EQ(caution.foreground(), Palette::honeyInk().resolve(Appearance::light));
    EXPECT_EQ(caution.fill(), honeyFill);
}

TEST(RiskBadge, SilentLevelsTakeNoRoomInARow) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* left = new QWidget;
    left->setFixedSize(20, 10);
    auto* right = new QWidget;
    right->setFixedSize(20, 10);
    layout->addWidget(left);
    layout->addWidget(new RiskBadge(riskOf(Risk::Level::normal, "", "")));
    layout->addWidget(new RiskBadge(riskOf(Risk::Level::locked, "Part of Linux", "Never touched.")));
    layout->addWidget(right);
    layout->addStretch();
    row.resize(300, 20);
    row.show();
    EXPECT_EQ(right->x() - left->geometry().right() - 1, 10);  // one gap, as if the badges were absent
}

// A badge built before it has a parent must still take the ink of the window it ends up in.
TEST(Badge, InkFollowsTheAppearanceWhereItPaints) {
    for (Appearance appearance : {Appearance::dark, Appearance::light}) {
        SCOPED_TRACE(appearance == Appearance::dark ? "dark" : "light");
        QWidget window;
        AppearanceOf::set(&window, appearance);
        auto* badge = new Badge("newest", Palette::honey(), Palette::honeyInk());
        badge->setParent(&window);
        const QColor ink = Palette::honeyInk().resolve(appearance);
        EXPECT_EQ(badge->foreground(), ink);
        const QImage img = test::renderOf(*badge);
        // The most opaque pixel is the text's; it carries this appearance's ink.
        QColor darkest = Qt::transparent;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).alpha() > darkest.alpha()) darkest = img.pixelColor(x, y);
        EXPECT_NEAR(darkest.red(), ink.red(), 12);
        EXPECT_NEAR(darkest.green(), ink.green(), 12);
        EXPECT_NEAR(darkest.blue(), ink.blue(), 12);
    }
    EXPECT_NE(Palette::honeyInk().resolve(Appearance::dark), Palette::honeyInk().resolve(Appearance::light));
}

TEST(Badge, TextIsShownInCapitalsOnAFaintCapsule) {
    EXPECT_EQ(BadgeStyle::displayText("Cache"), "CACHE");
    EXPECT_EQ(BadgeStyle::displayText("straße"), "STRASSE");
    Badge badge("node_modules", Qt::red, Qt::white);
    Badge longer("node_modules and more", Qt::red, Qt::white);
    EXPECT_GT(longer.sizeHint().width(), badge.sizeHint().width());
    EXPECT_EQ(longer.sizeHint().height(), badge.sizeHint().height());
    EXPECT_EQ(badge.text(), "node_modules");  // kept as given; only the drawing is upper-cased

    // The capsule is the tint at 18% under the text colour.
    const QImage img = test::renderOf(badge);
    const QColor corner = img.pixelColor(3, img.height() / 2);  // left of the text, inside the capsule
    EXPECT_NEAR(corner.alphaF(), 0.18, 0.02);
    EXPECT_EQ(corner.red(), 255);
}

}  // namespace
}  // namespace nimbrel
