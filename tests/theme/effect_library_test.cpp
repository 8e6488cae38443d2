#include "theme/effect_library.h"

#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <functional>
#include <memory>

#include "support/animations.h"
#include "support/motion_scopes.h"
#include "support/painter_warnings.h"
#include "theme/backdrop.h"
#include "theme/drawing_test_support.h"
#include "theme/evaporate_effect.h"

namespace nimbrel {
namespace {

// An opaque picture with a band of colour between x0 and x1 (the rest transparent).
QImage band(int w, int h, int x0, int x1) {
    return test::painted({w, h},
                         [&](QPainter& p) { p.fillRect(QRect(x0, 0, x1 - x0, h), QColor(200, 120, 40)); });
}

double totalAlpha(const QImage& img) {
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            sum += qAlpha(img.pixel(x, y));
    return sum;
}

TEST(EvaporateFunctionTest, IntactAtRestGoneAtTheEnd) {
    const QImage layer = band(120, 40, 0, 120);
    const int lift = int(EffectLibrary::evaporateLift(QSizeF(120, 40)));
    EXPECT_EQ(lift, 40);  // 2.6 x 40 reaches further, the rise stops at 40
    EXPECT_EQ(EffectLibrary::evaporateLift(QSizeF(120, 10)), 26.0);

    const QImage rest = EffectLibrary::evaporate(layer, 0, QSizeF(120, 40), 0.3, lift);
    ASSERT_EQ(rest.size(), QSize(120, 80));
    EXPECT_EQ(rest.copy(0, lift, 120, 40), layer);
    EXPECT_EQ(totalAlpha(rest.copy(0, 0, 120, lift)), 0);

    EXPECT_EQ(totalAlpha(EffectLibrary::evaporate(layer, 1, QSizeF(120, 40), 0.3, lift)), 0);
    // The picture thins out steadily on the way; a frame drawn into the last one's buffer shows
    // nothing of it.
    double previous = totalAlpha(rest);
    QImage buffer = rest;
    for (double p : {0.25, 0.5, 0.75, 0.95}) {
        const QImage fresh = EffectLibrary::evaporate(layer, p, QSizeF(120, 40), 0.3, lift);
        const double now = totalAlpha(fresh);
        EXPECT_LT(now, previous) << p;
        previous = now;
        EffectLibrary::evaporate(layer, p, QSizeF(120, 40), 0.3, lift, buffer);
        EXPECT_EQ(buffer, fresh) << p;
    }
}

TEST(EvaporateFunctionTest, StaysWithinItsSampleOffsets) {
    // A band from x 50 to 70: grains drift at most 12 sideways, only up, never down.
    const QImage layer = band(120, 30, 50, 70);
    const int lift = int(EffectLibrary::evaporateLift(QSizeF(120, 30)));
    for (double p : {0.1, 0.4, 0.7, 0.9}) {
        for (double seed : {0.0, 0.77, 123.5}) {
            const auto [left, right] =
                test::inkColumns(EffectLibrary::evaporate(layer, p, QSizeF(120, 30), seed, lift));
            EXPECT_GE(left, 38) << "p " << p;
            EXPECT_LT(right, 82) << "p " << p;
        }
    }
    // Drawn at twice the pixel ratio, the drift is measured in points.
    QImage hi = band(240, 60, 100, 140);
    hi.setDevicePixelRatio(2);
    const QImage out = EffectLibrary::evaporate(hi, 0.6, QSizeF(120, 30), 0.5, 2 * lift);
    EXPECT_EQ(out.devicePixelRatio(), 2.0);
    EXPECT_GE(test::inkColumns(out).first, 76);
    EXPECT_LT(test::inkColumns(out).second, 164);
}

TEST(EvaporateFunctionTest, TheSeedVariesThePattern) {
    const QImage layer = band(90, 30, 0, 90);
    const auto at = [&](double seed) {
        return EffectLibrary::evaporate(layer, 0.5, QSizeF(90, 30), seed, 30);
    };
    EXPECT_EQ(at(0.25), at(0.25));
    EXPECT_NE(at(0.25), at(0.26));
}

TEST(EvaporateEffectTest, LibraryEffectOnlyWhileUnderWay) {
    EXPECT_FALSE(EvaporateEffect::libraryEffectOn(0));
    EXPECT_FALSE(EvaporateEffect::libraryEffectOn(0.0005));
    EXPECT_TRUE(EvaporateEffect::libraryEffectOn(0.002));

    // Delegate-drawn items: at a sliver of progress the picture is drawn unchanged; without the library
    // the fallback already blurs it.
    const QImage layer = band(60, 20, 0, 60);
    for (bool library : {true, false}) {
        const QImage canvas = test::painted({60, 80}, [&](QPainter& p) {
            EvaporateEffect::paintLayer(p, layer, QPointF(0, 50), 0.0005, 0, library);
        });
        EXPECT_EQ(canvas.copy(0, 50, 60, 20) == layer, library);
    }
}

TEST(EvaporateEffectTest, RaisedAboveItsNeighboursWhileUnderWay) {
    ReduceMotionScope motion(false);
    AnimationClock clock;
    QWidget parent;
    auto* first = new QWidget(&parent);
    auto* second = new QWidget(&parent);
    auto* third = new QWidget(&parent);
    parent.show();
    auto order = [&] {
        QList<QWidget*> list;
        for (QObject* o : parent.children())
            list << static_cast<QWidget*>(o);
        return list;
    };
    {
        EvaporateTrigger trigger(first, 0.5);
        EXPECT_TRUE(trigger.effect() == nullptr || trigger.effect()->usesLibrary());
        trigger.setVanishing(true);
        clock.step(1);
        EXPECT_EQ(order().last(), first);
        clock.step(999);
        trigger.setVanishing(false);
        clock.step(200);
        // Back in its place between the same neighbours.
        EXPECT_EQ(order(), (QList<QWidget*>{first, second, third}));
        EXPECT_EQ(first->graphicsEffect(), nullptr);
    }
}

// A row-sized widget that paints a fill, with a child that has a graphics effect of its own (as a
// dimmed badge or a fading control inside a row has).
QWidget* paintedRow(QWidget* parent, QRect geometry) {
    auto* row = new QWidget(parent);
    row->setGeometry(geometry);
    row->setAutoFillBackground(true);
    row->setPalette(QPalette(QColor(90, 140, 220)));
    auto* inner = new QWidget(row);
    inner->setGeometry(10, 10, 40, 20);
    inner->setAutoFillBackground(true);
    auto* dim = new QGraphicsOpacityEffect(inner);
    dim->setOpacity(0.5);
    inner->setGraphicsEffect(dim);
    return row;
}

TEST(EvaporateEffectTest, DrawsThroughAPictureTakenOnceWhileUnderWay) {
    // Outside any fading list, so nothing above the effect draws from a picture of its own.
    PainterWarnings warnings;
    QWidget window;
    window.resize(400, 200);
    QWidget* row = paintedRow(&window, QRect(0, 100, 400, 50));
    auto* effect = new EvaporateEffect(row);
    row->setGraphicsEffect(effect);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // At rest the item may change, so each repaint takes its picture again; under way the picture
    // the last frame at rest drew (or, without one, a picture taken as it starts to go) serves every
    // frame, a fade's and the evaporation after it alike.
    struct Step {
        const char* what;
        std::function<void()> set;
        bool picture;
    } steps[] = {
        {"at rest", [&] { effect->setProgress(0); }, true},
        {"faded", [&] { effect->setOpacityOnly(0.5); }, false},
        {"starting to go", [&] { effect->setProgress(0.3); }, false},
        {"further", [&] { effect->setProgress(0.6); }, false},
        {"further still", [&] { effect->setProgress(0.9); }, false},
        {"gone", [&] { effect->setProgress(1); }, false},
        {"back at rest", [&] { effect->setProgress(0); }, true},
        {"gone at once", [&] { effect->setOpacityOnly(0); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const int before = effect->picturesTaken();
        step.set();
        QApplication::processEvents();
        window.repaint();
        if (step.picture) {
            EXPECT_GE(effect->picturesTaken(), before + 1);
        } else {
            EXPECT_EQ(effect->picturesTaken(), before);
        }
        window.grab();
        EXPECT_TRUE(PainterWarnings::seen().isEmpty()) << PainterWarnings::text();
    }
    // On a sharp screen the item evaporates where it stands (from a picture of one pixel a point).
    effect->setProgress(0);
    window.repaint();
    effect->setProgress(0.2);
    QImage sharp(window.size() * 2, QImage::Format_ARGB32_Premultiplied);
    sharp.setDevicePixelRatio(2);
    sharp.fill(Qt::transparent);
    window.render(&sharp, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_GT(test::maxAlpha(sharp, 280, 300), 200);  // the row reaches 150 points down
    EXPECT_EQ(test::maxAlpha(sharp, 300, 400), 0);    // and nothing below it
}

TEST(EvaporateEffectTest, EveryItemOnScreenEvaporatesHoweverMany) {
    ReduceMotionScope motion(false);
    // Straight away, and held while a layer over the rows leaves (twice: holds are counted).
    for (const int holds : {0, 2}) {
        SCOPED_TRACE(holds);
        QWidget window;
        window.resize(1000, 2100);
        // 40 rows of 1,000 x 50 on screen and one below the window's edge.
        std::vector<std::unique_ptr<EvaporateTrigger>> triggers;
        for (int i = 0; i <= 40; ++i) {
            QWidget* row = paintedRow(&window, QRect(0, i < 40 ? i * 50 : 2200, 1000, 50));
            triggers.push_back(std::make_unique<EvaporateTrigger>(row, i / 41.0));
        }
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (int h = 0; h < holds; ++h)
            EvaporateTrigger::holdStarts();
        for (auto& t : triggers)
            t->setVanishing(true);
        std::vector<int> taken(41, 0);
        if (holds > 0) {
            // Waiting, they take their pictures a few at a time between frames; the one out of
            // sight takes none.
            for (auto& t : triggers)
                EXPECT_TRUE(t->isWaiting() && !t->animation().isRunning());
            EXPECT_TRUE(QTest::qWaitFor([&] { return triggers[39]->effect()->hasPictureAhead(); }, 5000));
            for (int i = 0; i <= 40; ++i) {
                EXPECT_EQ(triggers[size_t(i)]->effect()->hasPictureAhead(), i < 40) << i;
                taken[size_t(i)] = triggers[size_t(i)]->effect()->picturesTaken();
            }
            // One kept by the removal before it started is at rest again at once.
            triggers[0]->setVanishing(false);
            EXPECT_EQ(triggers[0]->effect(), nullptr);
            EvaporateTrigger::releaseStarts();
            QCoreApplication::processEvents();
            EXPECT_TRUE(triggers[1]->isWaiting());
            EvaporateTrigger::releaseStarts();
            EXPECT_TRUE(triggers[1]->isWaiting());  // they start at the next turn
            QCoreApplication::processEvents();
        }
        for (int i = holds > 0 ? 1 : 0; i <= 40; ++i) {
            SCOPED_TRACE(i);
            const bool onScreen = i < 40;
            EXPECT_FALSE(triggers[size_t(i)]->isWaiting());
            EXPECT_EQ(triggers[size_t(i)]->wentAtOnce(), !onScreen);
            EXPECT_EQ(triggers[size_t(i)]->animation().isRunning(), onScreen);
            // One that went at once is not drawn at all.
            if (!onScreen) {
                EXPECT_DOUBLE_EQ(triggers[size_t(i)]->effect()->opacity(), 0);
            }
        }
        // Frames under way come from the pictures taken ahead: no row is painted again, once every
        // row has moved on (each step of its progress asks for a frame).
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (int i = 1; i < 40; ++i)
                    if (triggers[size_t(i)]->effect()->progress() <= 0) return false;
                return true;
            },
            5000));
        window.repaint();
        for (int i = 1; i < 40 && holds > 0; ++i)
            EXPECT_EQ(triggers[size_t(i)]->effect()->picturesTaken(), taken[size_t(i)]) << i;
        // One that went at once comes back at once.
        triggers[40]->setVanishing(false);
        EXPECT_FALSE(triggers[40]->wentAtOnce());
        EXPECT_EQ(triggers[40]->effect(), nullptr);
    }
    EXPECT_FALSE(EvaporateTrigger::startsHeld());
}

// Rows far enough apart that their grains never meet, each at its own progress: as the window
// paints them, each shows the library's frame at its progress, whichever thread worked it out and
// whenever (as the window paints, or ahead, when the progress changed).
TEST(EvaporateEffectTest, EachRowShowsTheFrameOfItsOwnProgress) {
    QWidget window;
    const int rows = 24;
    window.resize(600, 60 + rows * 110);
    std::vector<EvaporateEffect*> effects;
    std::vector<QImage> pictures;
    for (int i = 0; i < rows; ++i) {
        QWidget* row = paintedRow(&window, QRect(0, 60 + i * 110, 600, 50));
        pictures.push_back(row->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        auto* effect = new EvaporateEffect(row);
        effect->setUsesLibrary(true);
        effect->setSeed(i / double(rows));
        row->setGraphicsEffect(effect);
        effects.push_back(effect);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int lift = int(std::ceil(EffectLibrary::evaporateLift(QSizeF(600, 50))));
    // The first frames take the pictures as they paint; the next ones are worked out ahead.
    for (const double base : {0.05, 0.3, 0.55}) {
        SCOPED_TRACE(base);
        for (int i = 0; i < rows; ++i)
            effects[size_t(i)]->setProgress(base + 0.4 * i / rows);
        // The window paints (the first time, taking the pictures), then is drawn for the check.
        window.repaint();
        QImage shown(window.size(), QImage::Format_ARGB32_Premultiplied);
        shown.fill(Qt::transparent);
        window.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
        for (int i = 0; i < rows; ++i) {
            const QImage expected = EffectLibrary::evaporate(pictures[size_t(i)], base + 0.4 * i / rows,
                                                             QSizeF(600, 50), i / double(rows), lift);
            EXPECT_EQ(shown.copy(0, 60 + i * 110 - lift, 600, 50 + lift), expected) << i;
        }
    }
}

TEST(FogTest, FaintStableAndPatterned) {
    const QImage a = EffectLibrary::fog(QSize(400, 300), 42);
    EXPECT_EQ(a, EffectLibrary::fog(QSize(400, 300), 42));
    EXPECT_NE(a, EffectLibrary::fog(QSize(400, 300), 43));
    int lowest = 255, highest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            lowest = std::min(lowest, qAlpha(a.pixel(x, y)));
            highest = std::max(highest, qAlpha(a.pixel(x, y)));
        }
    EXPECT_GE(lowest, 1);    // never fully clear: the layer's own black at 0.004
    EXPECT_LE(highest, 14);  // and never more than a faint veil
    EXPECT_GT(highest, lowest + 4);
}

TEST(FogTest, DrawnOverTheBackdropWithoutTakingClicks) {
    NimbrelBackdrop backdrop;
    backdrop.resize(320, 200);
    auto* button = new QWidget(&backdrop);
    button->setGeometry(10, 10, 100, 40);
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    backdrop.grab();
    EXPECT_EQ(backdrop.fog()->picture().isNull(), false);
    EXPECT_EQ(backdrop.childAt(QPoint(50, 30)), button);
    EXPECT_EQ(backdrop.childAt(QPoint(200, 150)), nullptr);  // the fog is there, but not for the pointer
}

}  // namespace
}  // namespace nimbrel
