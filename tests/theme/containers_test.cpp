#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/appearance.h"
#include "theme/backdrop.h"
#include "theme/evaporate_effect.h"
#include "theme/fading_scroll.h"
#include "theme/press_button.h"
#include "theme/search_field.h"
#include "theme/shrinking_scroll.h"
#include "theme/surface.h"

namespace nimbrel {
namespace {

// A block of content with a fixed height.
QWidget* block(int height, int width = 200) {
    auto* w = new QWidget;
    w->setFixedSize(width, height);
    return w;
}

TEST(SearchFieldTest, ClearButtonFollowsTheText) {
    QWidget window;
    auto* box = new QVBoxLayout(&window);
    auto* field = new SearchField(QStringLiteral("Search this folder"));
    box->addWidget(field);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(field->sizeHint().height(), 30);
    EXPECT_EQ(field->prompt(), QStringLiteral("Search this folder"));
    EXPECT_FALSE(field->clearButton()->isVisible());

    QSignalSpy changes(field, &SearchField::textChanged);
    field->lineEdit()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(field->lineEdit(), QStringLiteral("n"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(field->clearButton()->isVisible());

    QTest::mouseClick(field->clearButton(), Qt::LeftButton);
    EXPECT_EQ(field->text(), QString());
    EXPECT_FALSE(field->clearButton()->isVisible());
    EXPECT_TRUE(field->lineEdit()->hasFocus());

    // The caller may set the text at any time.
    field->setText(QStringLiteral("cache"));
    EXPECT_TRUE(field->clearButton()->isVisible());
    // Return and Escape do nothing of the field's own.
    QTest::keyClick(field->lineEdit(), Qt::Key_Escape);
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(field->text(), QStringLiteral("cache"));
    field->setText(QString());
    EXPECT_FALSE(field->clearButton()->isVisible());
    EXPECT_EQ(field->clearButton()->focusPolicy(), Qt::NoFocus);
}

TEST(SearchFieldTest, AccentRingFadesInWithFocus) {
    AnimationClock clock;
    QWidget window;
    auto* box = new QVBoxLayout(&window);
    auto* other = new QLineEdit;
    auto* field = new SearchField;
    box->addWidget(other);
    box->addWidget(field);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    EXPECT_FALSE(field->isFocused());
    field->lineEdit()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(field->isFocused());
    clock.step(80);
    EXPECT_LT(field->ringOpacity(), 1.0);
    clock.step(80);
    EXPECT_DOUBLE_EQ(field->ringOpacity(), 1.0);
}

TEST(ShrinkingScrollTest, HeightRule) {
    struct Case {
        int content, max, minimum, ideal;
    } cases[] = {
        {50, 280, 50, 50}, {600, 280, 88, 280}, {0, 280, 88, 280}, {0, 60, 60, 60}, {280, 280, 88, 280},
    };
    for (const Case& c : cases) {
        const auto h = ShrinkingScroll::heights(c.content, c.max);
        EXPECT_EQ(h.minimum, c.minimum) << c.content << "/" << c.max;
        EXPECT_EQ(h.ideal, c.ideal) << c.content << "/" << c.max;
        EXPECT_EQ(h.maximum, c.ideal) << c.content << "/" << c.max;
    }
}

TEST(ShrinkingScrollTest, MeasuresItsContentAndYieldsWhenSqueezed) {
    QWidget window;
    auto* box = new QVBoxLayout(&window);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* header = block(100);
    auto* scroll = new ShrinkingScroll(280);
    scroll->setContent(block(600));
    box->addWidget(header);
    box->addWidget(scroll);
    window.resize(220, 500);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(scroll->contentHeight(), 600);
    EXPECT_EQ(scroll->height(), 280);
    // Squeezed by the window, it gives way down to 88 while the header keeps its height.
    window.resize(220, 150);
    QApplication::processEvents();
    EXPECT_EQ(header->height(), 100);
    EXPECT_EQ(scroll->minimumSizeHint().height(), 88);

    auto* shortScroll = new ShrinkingScroll(280);
    shortScroll->setContent(block(50));
    EXPECT_EQ(shortScroll->sizeHint().height(), 50);
    EXPECT_EQ(shortScroll->minimumSizeHint().height(), 50);
    delete shortScroll;
}

TEST(FadingScrollTest, EdgeRule) {
    struct Case {
        double o, v, n;
        bool leading, trailing;
    } cases[] = {
        {0, 300, 200, false, false},      // content shorter than the view
        {0, 300, 1000, false, true},      // at the start
        {1, 300, 1000, false, true},      // one point in still counts as the start
        {2, 300, 1000, true, true},       // scrolled
        {699.5, 300, 1000, true, false},  // within a point of the end
        {700, 300, 1000, true, false},
    };
    for (const Case& c : cases) {
        const auto e = FadingScroll::edges(c.o, c.v, c.n);
        EXPECT_EQ(e.leading, c.leading) << c.o;
        EXPECT_EQ(e.trailing, c.trailing) << c.o;
    }
}

TEST(FadingScrollTest, BandsFollowTheScrollPosition) {
    InstantAnimations instant;
    FadingScroll vertical(Qt::Vertical, 24);
    vertical.setContent(block(1000, 180));
    vertical.resize(200, 300);
    vertical.show();
    QApplication::processEvents();
    EXPECT_FALSE(vertical.currentEdges().leading);
    EXPECT_TRUE(vertical.currentEdges().trailing);
    EXPECT_DOUBLE_EQ(vertical.maskAlpha(0, 300), 1.0);
    EXPECT_DOUBLE_EQ(vertical.maskAlpha(300, 300), 0.0);
    vertical.verticalScrollBar()->setValue(vertical.verticalScrollBar()->maximum());
    EXPECT_TRUE(vertical.currentEdges().leading);
    EXPECT_FALSE(vertical.currentEdges().trailing);
    EXPECT_DOUBLE_EQ(vertical.maskAlpha(0, 300), 0.0);
    EXPECT_DOUBLE_EQ(vertical.maskAlpha(150, 300), 1.0);
    EXPECT_NE(vertical.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    vertical.setFade(0);
    EXPECT_DOUBLE_EQ(vertical.maskAlpha(0, 300), 1.0);

    FadingScroll horizontal(Qt::Horizontal, 32);
    EXPECT_EQ(horizontal.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(FadingScrollTest, EdgeFadesAnimateWithoutReduceMotion) {
    ReduceMotionScope motion(true);
    FadingScroll list(Qt::Vertical, 24);
    list.setContent(block(1000, 180));
    list.resize(200, 300);
    list.show();
    QApplication::processEvents();
    EXPECT_TRUE(list.trailingAnimation().isRunning() || list.trailingFade() == 1.0);
    EXPECT_EQ(list.trailingAnimation().animation().duration(), 200);
}

// A block painted in one colour that can change.
class Swatch : public QWidget {
  public:
    explicit Swatch(QColor colour) : colour_(colour) { setFixedSize(180, 100); }
    void setColour(QColor colour) { colour_ = colour; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect().adjusted(4, 4, -4, -4), colour_);
    }

  private:
    QColor colour_;
};

TEST(FadingScrollTest, RepaintsDrawAgainOnlyWhatChangedAndMatchAWholeRedraw) {
    InstantAnimations instant;
    FadingScroll list(Qt::Vertical, 24);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    std::vector<Swatch*> swatches;
    for (int i = 0; i < 10; ++i) {
        swatches.push_back(new Swatch(QColor::fromHsv(i * 36, 200, 220)));
        column->addWidget(swatches.back());
    }
    list.setContent(content);
    list.resize(200, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QApplication::processEvents();
    FadeMaskEffect* mask = list.maskEffect();
    // What a frame drew matches the picture drawn whole from scratch, bands included.
    const auto matchesAWholeRedraw = [&] {
        const QImage partial = mask->picture().copy();
        mask->invalidate();
        list.viewport()->repaint();
        return partial == mask->picture();
    };
    struct Case {
        const char* what;
        int scrollTo;
        int swatch;  // repainted in a new colour
    } cases[] = {{"in the middle", 0, 1}, {"under the trailing band", 0, 2}, {"after a scroll", 150, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list.verticalScrollBar()->setValue(c.scrollTo);
        QApplication::processEvents();
        Swatch* changed = swatches[size_t(c.swatch)];
        changed->setColour(Qt::white);
        changed->repaint();
        const QRect where(changed->mapTo(list.viewport(), QPoint(0, 0)), changed->size());
        EXPECT_EQ(mask->lastRedrawn().boundingRect(), where & list.viewport()->rect());
        EXPECT_TRUE(matchesAWholeRedraw());
    }
    // The trailing band fades what lies under it.
    const QImage& picture = mask->picture();
    EXPECT_LT(qAlpha(picture.pixel(90, picture.height() - 1)), qAlpha(picture.pixel(90, 170)));
    // So it does drawn at twice the pixel ratio (a hi-dpi screen).
    QImage sharp(list.size() * 2, QImage::Format_ARGB32_Premultiplied);
    sharp.setDevicePixelRatio(2);
    sharp.fill(Qt::transparent);
    list.render(&sharp);
    ASSERT_EQ(mask->picture().devicePixelRatio(), 2.0);
    EXPECT_LT(qAlpha(mask->picture().pixel(180, mask->picture().height() - 1)),
              qAlpha(mask->picture().pixel(180, 340)));

    // A frame of an evaporating block draws that block's room again, not the whole list.
    Swatch* going = swatches[4];
    auto* effect = new EvaporateEffect(going);
    going->setGraphicsEffect(effect);
    effect->setProgress(0.3);
    QApplication::processEvents();
    effect->setProgress(0.5);
    QApplication::processEvents();
    const QRectF room = effect->boundingRectFor(QRectF(going->rect()))
                            .translated(going->mapTo(list.viewport(), QPoint(0, 0)));
    EXPECT_TRUE(room.toAlignedRect().contains(mask->lastRedrawn().boundingRect()))
        << mask->lastRedrawn().boundingRect().height();
    EXPECT_TRUE(matchesAWholeRedraw());
}

TEST(FadingScrollTest, AClickedChipUnderTheFadeComesFullyIntoView) {
    FadingScroll row(Qt::Horizontal, 28);
    auto* content = new QWidget;
    auto* chips = new QHBoxLayout(content);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(6);
    QList<QWidget*> items;
    for (int i = 0; i < 6; ++i) {
        items << block(28, 70);
        chips->addWidget(items.last());
    }
    content->adjustSize();
    row.setContent(content);
    row.resize(300, 30);
    row.show();
    QApplication::processEvents();
    // The fourth chip sits partly under the trailing fade; a click brings it clear of the fade, and
    // the next chip into reach.
    QWidget* half = items[3];
    ASSERT_GT(half->mapTo(&row, QPoint(half->width(), 0)).x(), 300 - 28);
    QTest::mouseClick(half, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_LE(half->mapTo(&row, QPoint(half->width(), 0)).x(), 300 - 28);
    EXPECT_LT(items[4]->mapTo(&row, QPoint(0, 0)).x(), 300);
    // Reaching the last one by keyboard focus works the same way.
    items[5]->setFocusPolicy(Qt::StrongFocus);
    items[5]->setFocus();
    QApplication::processEvents();
    EXPECT_LE(items[5]->mapTo(&row, QPoint(items[5]->width(), 0)).x(), 300);

    // An arrow stands at each edge with more beyond it, and its click scrolls that way; a row that
    // fits shows none.
    QScrollBar* bar = row.horizontalScrollBar();
    bar->setValue(0);
    QApplication::processEvents();
    EXPECT_FALSE(row.leadingArrow()->isVisible());
    ASSERT_TRUE(row.trailingArrow()->isVisible());
    EXPECT_GE(row.trailingArrow()->geometry().right(), 300 - 28);
    // Drawn where it stands, inside the row.
    EXPECT_TRUE(row.rect().contains(row.trailingArrow()->geometry()));
    row.trailingArrow()->click();
    EXPECT_GT(bar->value(), 0);
    QApplication::processEvents();
    EXPECT_TRUE(row.leadingArrow()->isVisible());
    row.resize(content->width() + 10, 30);
    QApplication::processEvents();
    EXPECT_FALSE(row.leadingArrow()->isVisible());
    EXPECT_FALSE(row.trailingArrow()->isVisible());
}

TEST(SurfaceTest, LiftingFadesTheShadowIn) {
    AnimationClock clock;
    QWidget window;
    auto* card = new Surface(16, 26, false, &window);
    card->setGeometry(40, 40, 200, 100);
    window.resize(300, 220);
    window.show();
    EXPECT_DOUBLE_EQ(card->shadowOpacity(), 0.0);
    card->setLifted(true);
    clock.step(80);
    EXPECT_LT(card->shadowOpacity(), 1.0);
    clock.step(80);
    EXPECT_DOUBLE_EQ(card->shadowOpacity(), 1.0);
    // The shadow lies below the card, outside its frame, on the window.
    const QImage lifted = window.grab().toImage();
    card->setLifted(false);
    clock.step(160);
    const QImage flat = window.grab().toImage();
    const QPoint below(140, 40 + 100 + 12);
    EXPECT_LT(lifted.pixelColor(below).lightness(), flat.pixelColor(below).lightness());
}

TEST(SurfaceTest, CardHeaderOnlyWithATitle) {
    auto* content = block(40);
    MCard titled(QStringLiteral("Never scan"), QStringLiteral("eye.slash"), nullptr, content);
    ASSERT_NE(titled.header(), nullptr);
    EXPECT_EQ(titled.header()->shownTitle(), QStringLiteral("NEVER SCAN"));
    EXPECT_EQ(titled.padding(), 16);
    EXPECT_DOUBLE_EQ(titled.radius(), 26);
    EXPECT_FALSE(titled.isLifted());

    auto* body = block(40);
    MCard untitled(std::nullopt, QStringLiteral("cube"), nullptr, body);
    EXPECT_EQ(untitled.header(), nullptr);
    untitled.resize(300, 200);
    untitled.show();
    QApplication::processEvents();
    EXPECT_EQ(body->geometry().topLeft(), QPoint(16, 16));
}

TEST(EvaporateTest, FallbackParameters) {
    struct Case {
        double p, blur, offset, opacity;
    } cases[] = {{0, 0, 0, 1}, {0.5, 4, -10, 0.5}, {1, 8, -40, 0}};
    for (const Case& c : cases) {
        const auto f = EvaporateEffect::fallback(c.p);
        EXPECT_DOUBLE_EQ(f.blur, c.blur);
        EXPECT_DOUBLE_EQ(f.offsetY, c.offset);
        EXPECT_DOUBLE_EQ(f.opacity, c.opacity);
    }
    // The effect asks for room above the item for the rise.
    EvaporateEffect effect;
    effect.setProgress(1);
    EXPECT_LE(effect.boundingRectFor(QRectF(0, 0, 100, 30)).top(), -40);
}

TEST(EvaporateTest, LibraryLookupOrder) {
    QTemporaryDir bundle, exeDir;
    const QString inBundle = bundle.filePath(QStringLiteral("Nimbrel.metallib"));
    const QString besideExe = exeDir.filePath(QStringLiteral("Nimbrel.metallib"));
    EXPECT_FALSE(NimbrelShaders::lookup({inBundle, besideExe}).has_value());
    QFile(besideExe).open(QIODevice::WriteOnly);
    EXPECT_EQ(NimbrelShaders::lookup({inBundle, besideExe}), besideExe);
    QFile(inBundle).open(QIODevice::WriteOnly);
    EXPECT_EQ(NimbrelShaders::lookup({inBundle, besideExe}), inBundle);
    // Nimbrel's own library is built in, and names both effects.
    ASSERT_TRUE(NimbrelShaders::library().has_value());
    EXPECT_TRUE(NimbrelShaders::has(QStringLiteral("evaporate")));
    EXPECT_TRUE(NimbrelShaders::has(QStringLiteral("fog")));
    // A library file that names only one effect leaves the other to its fallback.
    QFile partial(bundle.filePath(QStringLiteral("partial")));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("# comment\n  evaporate  # the row effect\n\n");
    partial.close();
    const auto loaded = NimbrelShaders::load(partial.fileName());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->functions, QStringList{QStringLiteral("evaporate")});
    EXPECT_FALSE(NimbrelShaders::load(bundle.filePath(QStringLiteral("missing"))).has_value());
}

TEST(EvaporateTest, TriggerTimingsAndReduceMotion) {
    ReduceMotionScope motion(false);
    AnimationClock clock;
    QWidget parent;
    auto* row = new QWidget(&parent);
    row->resize(100, 30);
    parent.show();
    {
        EvaporateTrigger trigger(row, 0.3);
        ReduceMotion::setOverride(false);
        trigger.setVanishing(true);
        ASSERT_NE(trigger.effect(), nullptr);
        EXPECT_EQ(row->graphicsEffect(), trigger.effect());
        clock.step(500);
        EXPECT_LT(trigger.effect()->progress(), 1.0);
        clock.step(500);
        EXPECT_DOUBLE_EQ(trigger.effect()->progress(), 1.0);
        trigger.setVanishing(false);
        clock.step(100);
        EXPECT_EQ(row->graphicsEffect(), trigger.effect());
        clock.step(100);
        // Back at rest, the widget gets its effect slot back.
        EXPECT_EQ(row->graphicsEffect(), nullptr);
    }
    {
        // Reduce Motion: the item only fades, out and back, over 0.25 s.
        EvaporateTrigger trigger(row, 0.3);
        ReduceMotion::setOverride(true);
        trigger.setVanishing(true);
        EXPECT_TRUE(trigger.isFading());
        EXPECT_FALSE(trigger.wentAtOnce());
        ASSERT_NE(trigger.effect(), nullptr);
        clock.step(125);
        EXPECT_GT(trigger.effect()->opacity(), 0.0);
        clock.step(125);
        EXPECT_TRUE(trigger.effect()->isOpacityOnly());
        EXPECT_DOUBLE_EQ(trigger.effect()->opacity(), 0.0);
        trigger.setVanishing(false);
        clock.step(125);
        EXPECT_EQ(row->graphicsEffect(), trigger.effect());
        clock.step(125);
        EXPECT_EQ(row->graphicsEffect(), nullptr);
    }
    {
        // A row dimmed at rest keeps its dimming while it evaporates and after it comes back.
        EvaporateTrigger trigger(row, 0.3, 0.45);
        ReduceMotion::setOverride(false);
        ASSERT_NE(trigger.effect(), nullptr);
        EXPECT_DOUBLE_EQ(trigger.effect()->restOpacity(), 0.45);
        trigger.setVanishing(true);
        EXPECT_TRUE(trigger.animation().isRunning());
        clock.step(1000);
        trigger.setVanishing(false);
        clock.step(200);
        ASSERT_EQ(row->graphicsEffect(), trigger.effect());
        EXPECT_DOUBLE_EQ(trigger.effect()->restOpacity(), 0.45);
        EXPECT_DOUBLE_EQ(trigger.effect()->progress(), 0.0);
        row->setGraphicsEffect(nullptr);
    }
}

TEST(BackdropTest, SameInBothAppearancesAndFogNeverTakesClicks) {
    NimbrelBackdrop dark, light;
    AppearanceOf::set(&dark, Appearance::dark);
    AppearanceOf::set(&light, Appearance::light);
    dark.resize(200, 150);
    light.resize(200, 150);
    EXPECT_EQ(dark.grab().toImage(), light.grab().toImage());
    EXPECT_TRUE(dark.fog()->testAttribute(Qt::WA_TransparentForMouseEvents));
    // Top is lighter than the bottom (0.19 to 0.115 lightness).
    const QImage img = dark.grab().toImage();
    EXPECT_GT(img.pixelColor(100, 2).lightness(), img.pixelColor(100, 147).lightness());
}

}  // namespace
}  // namespace nimbrel
