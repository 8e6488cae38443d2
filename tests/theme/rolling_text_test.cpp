#include "theme/rolling_text.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QVariantAnimation>
#include <QWidget>

#include "support/motion_scopes.h"
#include "theme/drawing_test_support.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"

namespace nimbrel {
namespace {

QString joined(const std::vector<RollingText::Place>& places, bool from) {
    QString out;
    for (const auto& p : places)
        out += (from ? p.from : p.to).isNull() ? QChar(u'_') : (from ? p.from : p.to);
    return out;
}

TEST(RollingTextTest, PlacesLineUpAtTheEnd) {
    struct Case {
        const char* from;
        const char* to;
        const char* fromPlaces;
        const char* toPlaces;
    } cases[] = {
        {"1.2 GB", "1.4 GB", "1.2 GB", "1.4 GB"},
        {"980 MB", "1.02 GB", "_980 MB", "1.02 GB"},
        {"12 KB", "8 KB", "12 KB", "_8 KB"},
        {"", "5", "_", "5"},
    };
    for (const Case& c : cases) {
        const auto places = RollingText::places(QString::fromLatin1(c.from), QString::fromLatin1(c.to));
        EXPECT_EQ(joined(places, true), QString::fromLatin1(c.fromPlaces)) << c.from;
        EXPECT_EQ(joined(places, false), QString::fromLatin1(c.toPlaces)) << c.to;
    }
}

TEST(RollingTextTest, RollsOnlyTheChangedDigitsAndSettlesOnTheNewText) {
    Fonts::install();
    ReduceMotionScope motion(false);
    QWidget host;
    RollingText text(&host);
    const QFont font = Fonts::font(30, FontWeight::bold);
    auto picture = [&](RollingText& t) {
        return test::painted({220, 50},
                             [&](QPainter& p) { t.paint(p, QPointF(4, 38), font, QBrush(Qt::black)); });
    };
    text.setText(QStringLiteral("1.2 GB"), false);
    EXPECT_FALSE(text.isRolling());
    const QImage before = picture(text);

    text.setText(QStringLiteral("1.4 GB"));
    ASSERT_TRUE(text.isRolling());
    text.animation().animation().setCurrentTime(text.animation().animation().duration() / 2);
    const QImage middle = picture(text);
    // The leading "1." does not move; the changing digit does.
    const int stillRight = 4 + int(FixedDigits::advance(font, QStringLiteral("1."))) - 1;
    EXPECT_EQ(middle.copy(0, 0, stillRight, 50), before.copy(0, 0, stillRight, 50));
    EXPECT_NE(middle, before);

    text.animation().animation().setCurrentTime(text.animation().animation().duration());
    RollingText settled(&host);
    settled.setText(QStringLiteral("1.4 GB"), false);
    EXPECT_EQ(picture(text), picture(settled));

    // Under Reduce Motion the new text just replaces the old.
    ReduceMotion::setOverride(true);
    text.setText(QStringLiteral("2.0 GB"));
    EXPECT_FALSE(text.isRolling());
}

TEST(RollingTextTest, ManyFiguresRollTogetherWhenTheirTextsChange) {
    Fonts::install();
    ReduceMotionScope motion(false);
    QWidget host;
    RollingFigures figures(&host);
    const QFont font = Fonts::font(13, FontWeight::semibold, FontDesign::rounded);
    auto draw = [&](const QString& key, const QString& text) {
        return test::painted({400, 40}, [&](QPainter& p) {
            figures.paint(p, QPointF(4, 30), font, QBrush(Qt::black), key, text);
        });
    };
    auto still = [&](const QString& text) {
        return test::painted({400, 40}, [&](QPainter& p) {
            RollingText::paint(p, QPointF(4, 30), font, QBrush(Qt::black), text, text, 1);
        });
    };
    // A figure drawn for the first time stands still.
    EXPECT_EQ(draw("a", "1.2 GB"), still("1.2 GB"));
    draw("b", "980 MB");
    EXPECT_FALSE(figures.isRolling());

    // Both change in one frame: one roll carries both, and each is between its texts.
    EXPECT_NE(draw("a", "1.4 GB"), still("1.4 GB"));
    ASSERT_TRUE(figures.isRolling());
    QVariantAnimation& roll = figures.animation().animation();
    const QImage bMiddle = draw("b", "1.02 GB");
    EXPECT_NE(bMiddle, still("1.02 GB"));
    EXPECT_NE(bMiddle, still("980 MB"));
    roll.setCurrentTime(roll.duration());
    EXPECT_EQ(draw("a", "1.4 GB"), still("1.4 GB"));
    EXPECT_EQ(draw("b", "1.02 GB"), still("1.02 GB"));

    // A change after the roll has moved starts a new one; an unchanged figure stays at rest in it.
    draw("a", "1.5 GB");
    roll.setCurrentTime(roll.duration() / 2);
    EXPECT_EQ(draw("b", "1.02 GB"), still("1.02 GB"));
    EXPECT_NE(draw("b", "1.03 GB"), still("1.03 GB"));
    EXPECT_EQ(roll.currentTime(), 0) << "the second change started its own roll";

    // Under Reduce Motion a new size just replaces the old.
    roll.setCurrentTime(roll.duration());
    ReduceMotion::setOverride(true);
    EXPECT_EQ(draw("a", "2.0 GB"), still("2.0 GB"));
}

// What follows a figure is placed at its advance: the ink must end there, whatever the font's
// tracking and whether the text holds digits at all ("Zero KB").
TEST(RollingTextTest, AdvanceIsWhereTheInkEnds) {
    Fonts::install();
    QWidget host;
    QFont tracked = Fonts::font(50, FontWeight::black, FontDesign::rounded);
    tracked.setLetterSpacing(QFont::AbsoluteSpacing, -1.5);
    for (const QFont& font : {tracked, Fonts::font(30, FontWeight::bold)}) {
        for (const char* figure : {"Zero KB", "1.21 GB", "980 MB", "\u2026"}) {
            RollingText text(&host);
            text.setText(QString::fromUtf8(figure), false);
            const QImage img = test::painted(
                {600, 90}, [&](QPainter& p) { text.paint(p, QPointF(10, 70), font, QBrush(Qt::black)); });
            const int right = test::inkColumns(img, 64).second;
            const double end = 10 + text.advance(font);
            EXPECT_LE(right, end + 1) << figure;
            EXPECT_GE(right, end - 8) << figure << ": a gap after the figure";
        }
    }
}

}  // namespace
}  // namespace nimbrel
