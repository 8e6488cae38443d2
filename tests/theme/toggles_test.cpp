#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/chip.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"

namespace nimbrel {
namespace {

TEST(ChipTest, ColoursForDotAndState) {
    QWidget window;
    AppearanceOf::set(&window, Appearance::dark);
    const QColor dot = fixedColor(OKLCH::of(0.7, 0.15, 305));
    Chip plainOn(QStringLiteral("All"), std::nullopt, true, &window);
    Chip dotOn(QStringLiteral("Video"), dot, true, &window);
    Chip dotOff(QStringLiteral("Video"), dot, false, &window);
    const QColor accent = Palette::accent().resolve(Appearance::dark);
    EXPECT_EQ(plainOn.currentFill(), withOpacity(accent, 0.18));
    EXPECT_EQ(plainOn.currentStroke(), withOpacity(accent, 0.6));
    EXPECT_EQ(dotOn.currentFill(), withOpacity(dot, 0.18));
    EXPECT_EQ(dotOn.currentStroke(), withOpacity(dot, 0.6));
    EXPECT_EQ(dotOff.currentFill(), Palette::surface().resolve(Appearance::dark));
    EXPECT_EQ(dotOff.currentStroke(), Palette::line().resolve(Appearance::dark));
    EXPECT_EQ(dotOn.textColor(), Palette::ink().resolve(Appearance::dark));
    EXPECT_EQ(dotOff.textColor(), Palette::ink2().resolve(Appearance::dark));
    EXPECT_EQ(dotOn.titleFont().weight(), QFont::DemiBold);
    EXPECT_EQ(dotOff.titleFont().weight(), QFont::Medium);
    // The dot and its 6 points of spacing add to the width.
    EXPECT_EQ(dotOff.sizeHint().width() - Chip(QStringLiteral("Video")).sizeHint().width(), 7 + 6);
    EXPECT_EQ(dotOff.sizeHint().height(), 26);
}

TEST(ChipTest, HoverChangesOnlyAChipThatIsOff) {
    InstantAnimations instant;
    QWidget window;
    AppearanceOf::set(&window, Appearance::dark);
    Chip off(QStringLiteral("All"), std::nullopt, false, &window);
    Chip on(QStringLiteral("All"), std::nullopt, true, &window);
    const QColor onFill = on.currentFill();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&off, &enter);
    QApplication::sendEvent(&on, &enter);
    EXPECT_EQ(off.currentFill(), Palette::raised().resolve(Appearance::dark));
    EXPECT_EQ(off.currentStroke(), Palette::line().resolve(Appearance::dark));
    EXPECT_EQ(on.currentFill(), onFill);
}

TEST(ChipTest, ATapAsksButDoesNotChangeTheState) {
    Chip chip(QStringLiteral("All"));
    chip.resize(chip.sizeHint());
    chip.show();
    QSignalSpy clicks(&chip, &QAbstractButton::clicked);
    QTest::mouseClick(&chip, Qt::LeftButton, {}, QPoint(chip.width() / 2, 13));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(chip.isOn());
    // Its on/off change takes 0.15 s and ignores Reduce Motion.
    ReduceMotionScope reduce(true);
    AnimationClock clock;
    chip.setOn(true);
    clock.step(75);
    EXPECT_TRUE(chip.onAnimation().isRunning());
    clock.step(75);
    EXPECT_FALSE(chip.onAnimation().isRunning());
}

TEST(NimbrelCheckTest, RequestsTheNegationAndHonoursDisabled) {
    NimbrelCheck check(false);
    check.resize(check.sizeHint());
    check.show();
    EXPECT_EQ(check.sizeHint(), QSize(28, 28));
    QSignalSpy requests(&check, &NimbrelCheck::toggleRequested);
    QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(2, 2));  // the padding is part of the target
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests.at(0).at(0).toBool(), true);
    EXPECT_FALSE(check.isOn());  // the caller decides

    check.setEnabled(false);
    QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(14, 14));
    EXPECT_EQ(requests.count(), 1);
    EXPECT_DOUBLE_EQ(check.disabledOpacity(), 0.35);
    // A value set from outside animates even while disabled and under Reduce Motion.
    ReduceMotionScope reduce(true);
    AnimationClock clock;
    check.setOn(true);
    clock.step(80);
    EXPECT_TRUE(check.tickAnimation().isRunning());
    clock.step(80);
    EXPECT_FALSE(check.tickAnimation().isRunning());
    EXPECT_TRUE(check.isChecked());
}

TEST(NimbrelSwitchTest, KnobTravelsOrJumpsUnderReduceMotion) {
    AnimationClock clock;
    NimbrelSwitch sw(false);
    sw.resize(sw.sizeHint());
    EXPECT_EQ(sw.sizeHint(), QSize(38, 22));
    EXPECT_EQ(sw.knobRect(), QRectF(2.5, 2.5, 17, 17));
    {
        ReduceMotionScope reduce(true);
        sw.setOn(true);
        EXPECT_FALSE(sw.knobAnimation().isRunning());
        EXPECT_EQ(sw.knobRect(), QRectF(18.5, 2.5, 17, 17));
    }
    ReduceMotionScope reduce(false);
    sw.setOn(false);
    clock.step(100);
    EXPECT_GT(sw.knobRect().x(), 2.5);
    EXPECT_LT(sw.knobRect().x(), 18.5);
    clock.step(100);
    EXPECT_EQ(sw.knobRect().x(), 2.5);

    sw.show();
    QSignalSpy requests(&sw, &NimbrelSwitch::toggleRequested);
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(19, 11));
    ASSERT_EQ(requests.count(), 1);
    EXPECT_TRUE(requests.at(0).at(0).toBool());
}

QList<PillOption> sorts() {
    return {{QStringLiteral("size"), QStringLiteral("Size")},
            {QStringLiteral("name"), QStringLiteral("Name")},
            {QStringLiteral("date"), QStringLiteral("Modified")}};
}

TEST(PillPickerTest, Metrics) {
    PillPicker picker(sorts(), QStringLiteral("name"));
    int width = 6;
    for (auto* b : picker.buttons()) {
        const double text = QFontMetricsF(b->labelFont()).horizontalAdvance(b->option().label);
        EXPECT_EQ(b->sizeHint().width(), int(std::ceil(text)) + 20);
        EXPECT_EQ(b->sizeHint().height(), 24);
        width += b->sizeHint().width();
    }
    width += 2 * 2;
    EXPECT_EQ(picker.sizeHint(), QSize(width, 30));
    EXPECT_EQ(picker.buttons()[1]->labelFont().weight(), QFont::DemiBold);
    EXPECT_EQ(picker.buttons()[0]->labelFont().weight(), QFont::Medium);
    EXPECT_EQ(PillPicker().sizeHint(), QSize(6, 6));
}

TEST(PillPickerTest, ThumbFollowsTheCallersSelection) {
    ReduceMotionScope reduce(false);
    PillPicker picker(sorts(), QStringLiteral("other"));
    picker.resize(picker.sizeHint());
    picker.show();
    EXPECT_EQ(picker.selectedIndex(), -1);
    EXPECT_TRUE(picker.thumbRect().isEmpty());

    QSignalSpy requests(&picker, &PillPicker::selectionRequested);
    auto* name = picker.buttons()[1];
    QTest::mouseClick(name, Qt::LeftButton, {}, QPoint(name->width() / 2, 12));
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests.at(0).at(0).toString(), QStringLiteral("name"));
    EXPECT_TRUE(picker.thumbRect().isEmpty());  // nothing moves until the caller answers

    // The first thumb appears in place, without sliding.
    picker.setSelection(QStringLiteral("name"));
    EXPECT_FALSE(picker.isThumbMoving());
    EXPECT_EQ(picker.thumbRect().x(), picker.buttons()[1]->x());

    picker.setSelection(QStringLiteral("date"));
    EXPECT_TRUE(picker.isThumbMoving());
    picker.resize(picker.sizeHint());

    // Tapping the selected option asks again; the caller's write changes nothing.
    auto* date = picker.buttons()[2];
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() / 2, 12));
    EXPECT_EQ(requests.count(), 2);
    EXPECT_EQ(requests.at(1).at(0).toString(), QStringLiteral("date"));
}

TEST(PillPickerTest, ThumbJumpsUnderReduceMotion) {
    ReduceMotionScope reduce(true);
    PillPicker picker(sorts(), QStringLiteral("size"));
    picker.resize(picker.sizeHint());
    picker.setSelection(QStringLiteral("date"));
    EXPECT_FALSE(picker.isThumbMoving());
    EXPECT_EQ(picker.thumbRect().x(), picker.buttons()[2]->x());
    EXPECT_EQ(picker.buttons()[2]->accessibleName().isEmpty() ? picker.buttons()[2]->text()
                                                              : picker.buttons()[2]->accessibleName(),
              QStringLiteral("Modified"));
}

}  // namespace
}  // namespace nimbrel
