#include "theme/empty_state.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include "theme/badge.h"

namespace nimbrel {
namespace {

TEST(EmptyState, StacksLogoTitleMessageAndActionsInTheMiddle) {
    EmptyState empty("Nothing here", "Scan a folder to see what takes the space.",
                     {new Badge("one", Qt::red, Qt::white), new Badge("two", Qt::red, Qt::white)});
    const QSize size(800, 600);
    const EmptyState::Layout l = empty.layoutFor(size);
    EXPECT_DOUBLE_EQ(l.logo.width(), 54);
    EXPECT_NEAR(l.logo.height(), 59.4, 1e-9);
    EXPECT_DOUBLE_EQ(l.logo.center().x(), 400);
    EXPECT_NEAR(l.title.top(), l.logo.bottom() + 8 + 16, 1e-9);
    EXPECT_NEAR(l.message.top(), l.title.bottom() + 16, 1e-9);
    EXPECT_NEAR(l.actions.top(), l.message.bottom() + 16 + 8, 1e-9);
    EXPECT_GT(l.actions.width(), 0);
    EXPECT_DOUBLE_EQ(l.actions.center().x(), 400);
    // Centred vertically: the same room above the logo as below the actions.
    EXPECT_NEAR(l.logo.top(), size.height() - l.actions.bottom(), 1e-6);
}

TEST(EmptyState, EmptyActionsKeepTheirPadding) {
    EmptyState empty("Nothing here", "Short.");
    const EmptyState::Layout l = empty.layoutFor(QSize(800, 600));
    EXPECT_EQ(l.actions.height(), 0);
    EXPECT_NEAR(l.actions.top(), l.message.bottom() + 16 + 8, 1e-9);
    EXPECT_NEAR(l.logo.top(), 600 - l.actions.bottom(), 1e-6);
}

TEST(EmptyState, LongMessageWrapsWithin380) {
    const QString message =
        "Everything the scan found lies in folders you chose to keep, so there is nothing to show on this "
        "shelf "
        "right now. Scan another folder or change the filters to see more.";
    EmptyState empty("Nothing here", message);
    const EmptyState::Layout wide = empty.layoutFor(QSize(1200, 800));
    EXPECT_DOUBLE_EQ(wide.message.width(), 380);
    EXPECT_DOUBLE_EQ(wide.message.center().x(), 600);
    const QFontMetricsF fm(EmptyState::messageFont());
    EXPECT_GT(wide.message.height(), 2.5 * fm.lineSpacing());  // several lines

    // A narrow placeholder wraps within what it is given, less its padding.
    const EmptyState::Layout narrow = empty.layoutFor(QSize(264, 800));
    EXPECT_DOUBLE_EQ(narrow.message.width(), 200);
    EXPECT_GT(narrow.message.height(), wide.message.height());
    EXPECT_EQ(empty.heightForWidth(264) > empty.heightForWidth(1200), true);
}

}  // namespace
}  // namespace nimbrel
