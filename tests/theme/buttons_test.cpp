#include <gtest/gtest.h>

#include <QAccessible>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/chip.h"
#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/menu_row.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/tight_label.h"

namespace nimbrel {
namespace {

using Kind = NimbrelButton::Kind;
using Size = NimbrelButton::Size;

TEST(NimbrelButtonTest, SizesFollowTheTable) {
    struct Case {
        Size size;
        int height, padding;
        double font;
        QFont::Weight weight;
        const char* family;
    } cases[] = {
        {Size::small, 26, 11, 11.5, QFont::DemiBold, "Inter"},
        {Size::regular, 32, 15, 13, QFont::DemiBold, "Inter"},
        {Size::large, 42, 22, 15, QFont::Bold, "Quicksand"},
    };
    for (const Case& c : cases) {
        NimbrelButton b(QStringLiteral("Scan Home"), Kind::secondary, c.size);
        const QFont f = b.titleFont();
        EXPECT_EQ(b.sizeHint().height(), c.height);
        EXPECT_NEAR(Fonts::size(f), c.font, c.font / 200);
        EXPECT_EQ(f.weight(), c.weight);
        EXPECT_EQ(QFontInfo(f).family(), QString::fromLatin1(c.family));
        const double text = QFontMetricsF(f).horizontalAdvance(b.text());
        EXPECT_NEAR(b.sizeHint().width(), text + 2 * c.padding, 2.0);
    }
}

TEST(NimbrelButtonTest, ForegroundAndRingByKind) {
    QWidget window;
    AppearanceOf::set(&window, Appearance::dark);
    NimbrelButton primary(QStringLiteral("Go"), Kind::primary, Size::regular, &window);
    NimbrelButton danger(QStringLiteral("Go"), Kind::danger, Size::regular, &window);
    NimbrelButton ghost(QStringLiteral("Go"), Kind::ghost, Size::regular, &window);
    EXPECT_EQ(primary.foreground(), Palette::onAccent());
    EXPECT_EQ(danger.foreground(), Palette::ember().resolve(Appearance::dark));
    EXPECT_EQ(ghost.foreground(), Palette::ink().resolve(Appearance::dark));
    // The ring sits 4 points outside every button; the primary glow reaches further.
    EXPECT_EQ(ghost.decorationMargins(), QMargins(4, 4, 4, 4));
    EXPECT_GE(primary.decorationMargins().bottom(), 10 + 3);
}

TEST(NimbrelButtonTest, ClicksHoverAndDisabledState) {
    InstantAnimations instant;
    QWidget window;
    auto* box = new QHBoxLayout(&window);
    auto* b = new NimbrelButton(QStringLiteral("Primary"), Kind::primary, Size::regular);
    box->addWidget(b);
    window.show();
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 2));
    EXPECT_EQ(clicks.count(), 1);
    // The corner of the frame lies outside the capsule and does not answer.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks.count(), 1);

    EXPECT_DOUBLE_EQ(b->glowOpacity(), 0.25);
    EXPECT_DOUBLE_EQ(b->glowRadius(), 6);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(b, &enter);
    EXPECT_TRUE(b->isHovering());
    EXPECT_DOUBLE_EQ(b->glowOpacity(), 0.45);
    EXPECT_DOUBLE_EQ(b->glowRadius(), 10);

    b->setEnabled(false);
    EXPECT_FALSE(b->isHovering());
    QApplication::sendEvent(b, &enter);
    EXPECT_FALSE(b->isHovering());
    EXPECT_DOUBLE_EQ(b->glowOpacity(), 0.25);
    EXPECT_DOUBLE_EQ(b->disabledOpacity(), 0.4);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 2));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(NimbrelButtonTest, PressShrinksAlongThePressCurve) {
    AnimationClock clock;
    NimbrelButton b(QStringLiteral("Go"));
    b.resize(b.sizeHint());
    b.show();
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(b.width() / 2, b.height() / 2));
    clock.step(60);
    EXPECT_GT(b.currentScale(), 0.97);
    clock.step(60);
    EXPECT_DOUBLE_EQ(b.currentScale(), 0.97);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(b.width() / 2, b.height() / 2));
    clock.step(120);
    EXPECT_DOUBLE_EQ(b.currentScale(), 1.0);
}

// A widget that paints itself all over, as a backdrop or a bar's panel does.
class Painted : public QWidget {
  public:
    explicit Painted(QColor colour, QWidget* parent = nullptr) : QWidget(parent), colour_(colour) {}

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

  private:
    QColor colour_;
};

TEST(NimbrelButtonTest, FocusRingOnlyFromTheKeyboard) {
    // The buttons sit on a painted panel, over a backdrop that paints the whole window (the top bar
    // over the window's backdrop, the review button in the selection bar).
    for (NimbrelButton::Kind kind : {NimbrelButton::Kind::secondary, NimbrelButton::Kind::primary}) {
        QWidget window;
        window.resize(400, 120);
        auto* backdrop = new Painted(Qt::darkBlue, &window);
        backdrop->setGeometry(window.rect());
        auto* panel = new Painted(Qt::black, &window);
        panel->setGeometry(40, 30, 320, 60);
        auto* box = new QHBoxLayout(panel);
        box->setContentsMargins(14, 14, 14, 14);
        auto* first = new NimbrelButton(QStringLiteral("One"), kind);
        auto* second = new NimbrelButton(QStringLiteral("Two"), kind);
        box->addWidget(first);
        box->addWidget(second);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        first->clearFocus();
        QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(second->width() / 2, second->height() / 2));
        EXPECT_FALSE(second->showsFocusRing());
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Tab);
        EXPECT_TRUE(second->hasFocus());
        EXPECT_TRUE(second->showsFocusRing());
        // Space and Return on a focused button click it.
        QSignalSpy clicks(second, &QAbstractButton::clicked);
        QTest::keyClick(second, Qt::Key_Space);
        EXPECT_EQ(clicks.count(), 1);
        QTest::keyClick(second, Qt::Key_Return);
        QTest::keyClick(second, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicks.count(), 3);

        // The ring is drawn outside the button's frame and stays visible over everything painted there.
        const QImage shot = window.grab().toImage();
        const QPoint outside = second->mapTo(&window, QPoint(second->width() / 2, -3));
        EXPECT_NE(shot.pixelColor(outside), QColor(Qt::black)) << int(kind);
        second->clearFocus();
        EXPECT_EQ(window.grab().toImage().pixelColor(outside), QColor(Qt::black)) << int(kind);
    }
}

TEST(NimbrelButtonTest, TitleKeepsToOneLine) {
    EXPECT_EQ(TightLabel::firstLine(QStringLiteral("Empty\nTrash")), QStringLiteral("Empty\u2026"));
    EXPECT_EQ(TightLabel::firstLine(QStringLiteral("Empty Trash")), QStringLiteral("Empty Trash"));
    NimbrelButton twoLines(QStringLiteral("Empty\nTrash"));
    NimbrelButton oneLine(QStringLiteral("Empty\u2026"));
    EXPECT_EQ(twoLines.sizeHint(), oneLine.sizeHint());
}

TEST(DecorationTest, ItemViewViewportsNeverHost) {
    QListWidget list;
    list.resize(200, 100);
    auto* b = new NimbrelButton(QStringLiteral("In a list"), Kind::secondary, Size::regular, list.viewport());
    b->move(0, 0);
    list.show();
    QApplication::processEvents();
    EXPECT_EQ(DecorationHost::hostFor(b), nullptr);
    EXPECT_EQ(list.viewport()->findChild<DecorationHost*>(), nullptr);

    QWidget window;
    auto* tight = new QWidget(&window);
    tight->setGeometry(10, 10, 120, 32);
    auto* inRow = new NimbrelButton(QStringLiteral("Tight"), Kind::secondary, Size::regular, tight);
    inRow->setGeometry(0, 0, 100, 32);
    window.resize(200, 100);
    window.show();
    // The row has no room for the ring above and below the button, so the window draws it.
    EXPECT_EQ(DecorationHost::hostFor(inRow), &window);
}

TEST(IconButtonTest, SizeSymbolAndRoundHitArea) {
    QWidget window;
    auto* b = new IconButton(QStringLiteral("slider.horizontal.3"), 28, false, &window);
    b->resize(b->sizeHint());
    window.show();
    EXPECT_EQ(b->sizeHint(), QSize(36, 36));
    EXPECT_NEAR(b->symbolSize(), 11.76, 1e-9);
    EXPECT_DOUBLE_EQ(b->pressedScale(), 0.94);
    EXPECT_DOUBLE_EQ(b->disabledOpacity(), 0.35);
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(18, 1));  // inside the padded circle
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(2, 2));   // corner: outside the circle
    EXPECT_EQ(clicks.count(), 1);
    b->setHelp(QStringLiteral("Settings"));
    EXPECT_EQ(b->accessibleName(), QStringLiteral("Settings"));
}

TEST(MenuRowTest, TitleStartAndWholeRowClicks) {
    QWidget window;
    auto* plain = new MenuRow(QStringLiteral("Applications"), QString(), QString(), &window);
    auto* full =
        new MenuRow(QStringLiteral("Home Folder"), QStringLiteral("house"), QStringLiteral("~"), &window);
    plain->setGeometry(0, 0, 280, 32);
    full->setGeometry(0, 40, 280, 32);
    window.show();
    EXPECT_EQ(plain->titleX(), 10);
    EXPECT_EQ(full->titleX(), 38);
    EXPECT_EQ(full->sizeHint().height(), 32);
    EXPECT_DOUBLE_EQ(full->pressedScale(), 0.98);
    QSignalSpy clicks(full, &QAbstractButton::clicked);
    QTest::mouseClick(full, Qt::LeftButton, {}, QPoint(200, 16));  // the gap between title and detail
    QTest::mouseClick(full, Qt::LeftButton, {}, QPoint(1, 1));     // the very corner
    EXPECT_EQ(clicks.count(), 2);
}

TEST(MenuRowTest, LongDetailIsCutAndKeepsTheGap) {
    MenuRow row(QStringLiteral("A long folder name that goes on"), QStringLiteral("clock"),
                QStringLiteral("/home/someone/projects/archive/2019/photos/summer"));
    row.resize(260, 32);
    const QString detail = row.shownDetail();
    EXPECT_TRUE(detail.endsWith(QChar(0x2026)) || detail.isEmpty()) << detail.toStdString();
    const QFontMetricsF tm(Fonts::font(13, FontWeight::medium));
    const QFontMetricsF dm(Fonts::font(11, FontWeight::medium));
    const double used =
        row.titleX() + tm.horizontalAdvance(row.shownTitle()) + 12 + dm.horizontalAdvance(detail) + 10;
    EXPECT_LE(used, 260.5);
}

// Assistive technology reads a title as written ("&" is a character here, never a mnemonic), a tick
// box as a check box, and a control that marks the current choice as checked.
TEST(PressButtonTest, AccessibleNamesRolesAndStates) {
    QWidget window;
    auto* review = new NimbrelButton(QStringLiteral("Review & Nimbrelise\u2026"),
                                     NimbrelButton::Kind::primary, NimbrelButton::Size::regular, &window);
    auto* chip = new Chip(QStringLiteral("Apps & Installers"), std::nullopt, true, &window);
    auto* check = new NimbrelCheck(false, &window);
    check->setAccessibleName(QStringLiteral("Movie.mov"));
    auto* icon = new IconButton(QStringLiteral("minus"), 22, false, &window);
    icon->setHelp(QStringLiteral("Remove"));
    window.show();
    struct Case {
        QWidget* widget;
        const char* name;
        QAccessible::Role role;
        bool checkable;
        bool checked;
    } cases[] = {
        {review, "Review & Nimbrelise\u2026", QAccessible::Button, false, false},
        {chip, "Apps & Installers", QAccessible::Button, true, true},
        {check, "Movie.mov", QAccessible::CheckBox, true, false},
        {icon, "Remove", QAccessible::Button, false, false},
    };
    for (const Case& c : cases) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.widget);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(c.name));
        EXPECT_EQ(a->role(), c.role) << c.name;
        EXPECT_EQ(bool(a->state().checkable), c.checkable) << c.name;
        EXPECT_EQ(bool(a->state().checked), c.checked) << c.name;
    }
    check->setOn(true);
    chip->setOn(false);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(check)->state().checked);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(chip)->state().checked);
    // Pressing through assistive technology clicks, as a click would.
    QSignalSpy clicks(review, &QAbstractButton::clicked);
    QAccessible::queryAccessibleInterface(review)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace nimbrel
