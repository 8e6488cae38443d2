#include "views/kit/plain_text.h"

#include <gtest/gtest.h>

#include "tool_tip_text.h"
#include "views/kit/elided_label.h"

namespace nimbrel {
namespace {

TEST(PlainText, NamesThatLookLikeMarkupAreShownLiterally) {
    const QString names[] = {
        QStringLiteral("<b>x</b>"),    QStringLiteral("<img src=x onerror=y>.png"),
        QStringLiteral("Tom & Jerry"), QStringLiteral("a &amp; b"),
        QStringLiteral("plain name"),
    };
    for (const QString& name : names) {
        EXPECT_EQ(shownByToolTip(PlainText::toolTip(QStringLiteral("Rescan %1").arg(name))),
                  QStringLiteral("Rescan %1").arg(name))
            << name.toStdString();
    }
    EXPECT_EQ(PlainText::actionText(QStringLiteral("R&D")), QStringLiteral("R&&D"));
}

TEST(ElidedLabel, KeepsOneLineAndCutsInTheMiddle) {
    ElidedLabel label;
    label.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    label.setText(QStringLiteral("<b>x</b>"));
    label.resize(400, 20);
    EXPECT_EQ(label.shownText(), QStringLiteral("<b>x</b>"));

    const QString longPath =
        QStringLiteral("/start/") + QString(200, QLatin1Char('m')) + QStringLiteral("/end");
    label.setText(longPath);
    label.resize(120, 20);
    const QString shown = label.shownText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/st"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("end"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));

    label.setText(QStringLiteral("two\nlines"));
    label.resize(400, 20);
    EXPECT_FALSE(label.shownText().contains(QLatin1Char('\n')));

    // What is shown and asked for follows every change, also at a width already painted at.
    label.setText(QStringLiteral("short"));
    EXPECT_EQ(label.shownText(), QStringLiteral("short"));
    const int shortWidth = label.sizeHint().width();
    label.setText(QStringLiteral("a longer text"));
    EXPECT_EQ(label.shownText(), QStringLiteral("a longer text"));
    const int longerWidth = label.sizeHint().width();
    EXPECT_GT(longerWidth, shortWidth);
    label.setFont(QFont(QStringLiteral("DejaVu Sans"), 22));
    EXPECT_GT(label.sizeHint().width(), longerWidth);
    label.setText(longPath);
    EXPECT_TRUE(label.shownText().contains(QChar(0x2026)));
}

}  // namespace
}  // namespace nimbrel
