#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <set>
#include <string>

#include "theme/fonts.h"
#include "theme/symbols.h"
#include "theme/typo.h"

namespace nimbrel {
namespace {

TEST(FontsTest, EmbeddedFamiliesResolve) {
    ASSERT_TRUE(Fonts::install());
    struct Case {
        QFont font;
        const char* family;
    } cases[] = {
        {Fonts::font(13, FontWeight::semibold), "Inter"},
        {Fonts::font(15, FontWeight::bold, FontDesign::rounded), "Quicksand"},
        {Fonts::symbolFont(14), "Material Icons"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QFontInfo(c.font).family(), QString::fromLatin1(c.family));
}

// The rounded faces are families of their own on Debian (Light, Regular, Medium, Bold): each weight
// draws the heaviest face at or below it, the lightest face below Light.
TEST(FontsTest, RoundedWeightsReachEveryEmbeddedFace) {
    struct Case {
        FontWeight weight;
        const char* face;
    } cases[] = {
        {FontWeight::thin, "Quicksand Light"},      {FontWeight::light, "Quicksand Light"},
        {FontWeight::regular, "Quicksand"},         {FontWeight::medium, "Quicksand Medium"},
        {FontWeight::semibold, "Quicksand Medium"}, {FontWeight::bold, "Quicksand Bold"},
        {FontWeight::heavy, "Quicksand Bold"},      {FontWeight::black, "Quicksand Bold"},
    };
    for (const Case& c : cases) {
        const QRawFont raw = QRawFont::fromFont(Fonts::font(15, c.weight, FontDesign::rounded));
        const QString face =
            raw.familyName() +
            (raw.styleName() == QLatin1String("Regular") ? QString() : QLatin1Char(' ') + raw.styleName());
        EXPECT_EQ(face.toStdString(), c.face) << int(c.weight);
    }
}

// Design sizes are drawn at their size, half sizes too (Qt alone would draw 11.5 as 12): 20 "H" at
// a half size are as wide as half way between the whole sizes either side.
TEST(FontsTest, DesignSizesDrawAtTheirSize) {
    const QString line(20, u'H');
    for (FontDesign design : {FontDesign::standard, FontDesign::rounded}) {
        const auto width = [&](double size) {
            return QFontMetricsF(Fonts::font(size, FontWeight::medium, design)).horizontalAdvance(line);
        };
        for (double size : {9.5, 11.5, 12.5}) {
            const double below = width(size - 0.5), above = width(size + 0.5), at = width(size);
            EXPECT_GT(at, below) << size;
            EXPECT_LT(at, above) << size;
            EXPECT_NEAR(at, (below + above) / 2, (above - below) / 5) << size;
            // Widened by whole percents.
            EXPECT_NEAR(Fonts::size(Fonts::font(size, FontWeight::medium, design)), size, size / 200);
        }
    }
    for (double px : {10.0, 11.0, 13.0, 15.0})
        EXPECT_DOUBLE_EQ(Fonts::size(Fonts::font(px)), px);
    EXPECT_EQ(Typo::caption().weight(), QFont::Medium);
    EXPECT_DOUBLE_EQ(Fonts::size(Typo::caption()), 11);
    EXPECT_EQ(Typo::micro().weight(), QFont::DemiBold);
}

// Every symbol name the screens use, gathered from the whole design.
const char* const kNamesInUse =
    "archivebox arrow.clockwise arrow.down.circle arrow.up.arrow.down checklist "
    "checklist.checked checkmark checkmark.shield chevron.compact.right chevron.down "
    "chevron.left chevron.right chevron.up circle.dotted.circle clock cube doc.on.doc "
    "doc.on.doc.fill doc.text.magnifyingglass exclamationmark.circle "
    "exclamationmark.circle.fill exclamationmark.octagon.fill exclamationmark.triangle.fill "
    "externaldrive externaldrive.badge.timemachine eye eye.slash folder folder.fill hammer "
    "house house.fill humidity humidity.fill info.circle.fill internaldrive ipad.and.iphone "
    "iphone key.fill list.bullet lock.fill macwindow magnifyingglass minus plus power scope "
    "shippingbox shippingbox.circle slider.horizontal.3 sparkles square.grid.2x2 "
    "square.grid.3x3 square.on.square stop.fill trash xmark.circle.fill";

// Each name in use is in the table, and each entry of the table has a glyph in the embedded font,
// under one name only.
TEST(SymbolsTest, EveryNameInUseHasAGlyphInTheFont) {
    const QRawFont raw = QRawFont::fromFont(Fonts::symbolFont(24));
    ASSERT_TRUE(raw.isValid());
    ASSERT_EQ(raw.familyName(), QStringLiteral("Material Icons"));
    for (const QString& name : QString::fromLatin1(kNamesInUse).split(u' ', Qt::SkipEmptyParts))
        EXPECT_TRUE(Symbols::codepoint(name.toStdString()).has_value()) << name.toStdString();
    std::set<std::string> seen;
    for (const auto& e : Symbols::table()) {
        EXPECT_TRUE(seen.insert(std::string(e.name)).second) << e.name;
        EXPECT_TRUE(raw.supportsCharacter(QChar(e.codepoint))) << e.name;
    }
    EXPECT_FALSE(Symbols::codepoint("no.such.symbol").has_value());
}

TEST(SymbolsTest, DrawsInkInTheRequestedColour) {
    QImage img(40, 40, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    ASSERT_TRUE(Symbols::draw(p, QRectF(0, 0, 40, 40), "stop.fill", QColor(255, 0, 0), 20));
    EXPECT_FALSE(Symbols::draw(p, QRectF(0, 0, 40, 40), "no.such.symbol", QColor(255, 0, 0), 20));
    p.end();
    // "stop.fill" is a filled square: the centre is solid red.
    EXPECT_EQ(img.pixelColor(20, 20), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(1, 1).alpha(), 0);
}

}  // namespace
}  // namespace nimbrel
