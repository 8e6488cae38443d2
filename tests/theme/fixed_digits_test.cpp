#include "theme/fixed_digits.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include "theme/drawing_test_support.h"
#include "theme/fonts.h"

namespace nimbrel {
namespace {

TEST(FixedDigitsTest, EveryNumberOfALengthTakesTheSameWidth) {
    Fonts::install();
    for (const QFont& font :
         {Fonts::font(12, FontWeight::medium), Fonts::font(12, FontWeight::semibold, FontDesign::rounded),
          Fonts::font(34, FontWeight::bold, FontDesign::rounded)}) {
        // "1" is narrower than "0" in the proportional figures, so a plain count would move.
        const double ones = FixedDigits::advance(font, QStringLiteral("Reading x · 11,111"));
        for (const char* other : {"Reading x · 48,213", "Reading x · 00,000", "Reading x · 77,747"})
            EXPECT_DOUBLE_EQ(FixedDigits::advance(font, QString::fromUtf8(other)), ones) << other;
        EXPECT_DOUBLE_EQ(FixedDigits::advance(font, QStringLiteral("12")), 2 * FixedDigits::cell(font));
        // Text without digits keeps its own advance.
        EXPECT_DOUBLE_EQ(FixedDigits::advance(font, QStringLiteral("free")),
                         QFontMetricsF(font).horizontalAdvance(QStringLiteral("free")));
    }
}

TEST(FixedDigitsTest, DrawsEachDigitInItsCell) {
    Fonts::install();
    const QFont font = Fonts::font(20, FontWeight::bold);
    const double cell = FixedDigits::cell(font);
    // Where the ink of the last digit ends does not depend on the digits before it.
    auto inkRight = [&](const QString& text) {
        const QImage img = test::painted({200, 40}, [&](QPainter& p) {
            p.setFont(font);
            p.setPen(Qt::black);
            FixedDigits::draw(p, QPointF(2, 30), text);
        });
        return test::inkColumns(img).second;
    };
    const int reference = inkRight(QStringLiteral("008"));
    EXPECT_EQ(inkRight(QStringLiteral("118")), reference);
    EXPECT_EQ(inkRight(QStringLiteral("718")), reference);
    EXPECT_LE(reference, 2 + int(3 * cell) + 1);
}

TEST(FixedDigitsTest, ElidesInTheMiddleKeepingTheCount) {
    Fonts::install();
    const QFont font = Fonts::font(12, FontWeight::medium);
    const QString text = QStringLiteral("Reading a-very-long-folder-name-indeed · 48,213");
    EXPECT_EQ(FixedDigits::elided(font, text, 1000), text);
    const double width = FixedDigits::advance(font, text) / 2;
    const QString cut = FixedDigits::elided(font, text, width);
    EXPECT_LE(FixedDigits::advance(font, cut), width);
    EXPECT_TRUE(cut.contains(QChar(0x2026)));
    EXPECT_TRUE(cut.startsWith(QStringLiteral("Reading")));
    EXPECT_TRUE(cut.endsWith(QStringLiteral("48,213")));
    EXPECT_EQ(FixedDigits::elided(font, text, 0), QString());
}

}  // namespace
}  // namespace nimbrel
