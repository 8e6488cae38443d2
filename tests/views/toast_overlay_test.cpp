#include "views/shell/toast_overlay.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <functional>

#include "layer_window.h"
#include "model/clean_queue.h"
#include "test_items.h"
#include "theme/fixed_digits.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;

struct ToastWindow : testing::LayerWindow<ToastOverlay> {
    ToastOverlay* overlay = layer;

    ToastWindow() : LayerWindow({1000, 700}) {}

    Toast post(const QString& message) {
        Toast t(message, QStringLiteral("checkmark"));
        state.setToast(t);
        return t;
    }
    std::optional<QString> message() const {
        return state.toast() ? std::optional<QString>(state.toast()->message) : std::nullopt;
    }
};

TEST(ToastOverlayTest, EachToastStaysFourSecondsFromWhenItIsShown) {
    ToastWindow w;
    w.post(QStringLiteral("first"));
    w.shell.clock.advance(3999ms);
    EXPECT_EQ(w.message(), QStringLiteral("first"));
    w.shell.clock.advance(1ms);
    EXPECT_FALSE(w.message());

    // A newer toast is not cleared by the older one's wait, and gets its own 4 seconds.
    w.post(QStringLiteral("old"));
    w.shell.clock.advance(3000ms);
    const Toast newer = w.post(QStringLiteral("new"));
    w.shell.clock.advance(1000ms);  // the old toast's time is up
    ASSERT_TRUE(w.state.toast());
    EXPECT_EQ(w.state.toast()->id, newer.id);
    w.shell.clock.advance(2999ms);
    EXPECT_TRUE(w.message());
    w.shell.clock.advance(1ms);
    EXPECT_FALSE(w.message());

    // The same words with a new id count as a new toast.
    w.post(QStringLiteral("same"));
    w.shell.clock.advance(2000ms);
    const Toast again = w.post(QStringLiteral("same"));
    w.shell.clock.advance(2000ms);
    ASSERT_TRUE(w.state.toast());
    EXPECT_EQ(w.state.toast()->id, again.id);
    w.shell.clock.advance(2000ms);
    EXPECT_FALSE(w.message());
}

TEST(ToastOverlayTest, AToastClearedEarlyLeavesItsWaitHarmless) {
    ToastWindow w;
    w.post(QStringLiteral("early"));
    w.shell.clock.advance(1000ms);
    w.state.setToast(std::nullopt);
    EXPECT_TRUE(w.overlay->toastPillRect().isEmpty());
    w.shell.clock.advance(2000ms);
    const Toast later = w.post(QStringLiteral("later"));
    w.shell.clock.advance(1000ms);  // the early toast's wait ends here
    ASSERT_TRUE(w.state.toast());
    EXPECT_EQ(w.state.toast()->id, later.id);
}

TEST(ToastOverlayTest, PillsStackAtTheBottomAndLetClicksThrough) {
    ToastWindow w;
    EXPECT_TRUE(w.overlay->removalPillRect().isEmpty());
    EXPECT_TRUE(w.overlay->toastPillRect().isEmpty());

    w.state.setIsDeleting(true);
    w.post(QStringLiteral("Copied 2 paths"));
    const QRect removal = w.overlay->removalPillRect();
    const QRect toast = w.overlay->toastPillRect();
    EXPECT_EQ(toast.height(), ToastOverlay::kPillHeight);
    EXPECT_EQ(toast.bottom() + 1, w.overlay->height() - ToastOverlay::kBottomPadding);
    EXPECT_EQ(removal.bottom() + 1 + ToastOverlay::kPillSpacing, toast.top());
    EXPECT_NEAR(toast.center().x(), w.overlay->width() / 2, 1);

    // The selection bar below pushes the pills up.
    w.state.queue().add(testItem("/home/u/big.iso", 0));
    EXPECT_EQ(w.overlay->toastPillRect().bottom() + 1,
              w.overlay->height() - ToastOverlay::kBottomPaddingOverSelection);

    // When the removal ends the toast keeps its place and the pill goes.
    w.state.setIsDeleting(false);
    EXPECT_TRUE(w.overlay->removalPillRect().isEmpty());
    EXPECT_EQ(w.overlay->toastPillRect().bottom() + 1,
              w.overlay->height() - ToastOverlay::kBottomPaddingOverSelection);

    // A click on the pill lands on what lies beneath.
    w.content->setGeometry(w.overlay->toastPillRect());
    EXPECT_EQ(w.window.childAt(w.overlay->toastPillRect().center()), w.content);
}

// A toast wider than the window goes over several lines, broken between words: every word shows,
// no line is wider than the pill, and the removal pill stays clear above it.
TEST(ToastOverlayTest, AToastThatDoesNotFitWrapsAndIsNeverCut) {
    ToastWindow w;
    const QString message = QStringLiteral(
        "These 2 extra copies stay: their kept copy changed since the search · look for twins again "
        "to choose from them as they are now");
    w.state.setIsDeleting(true);
    w.post(message);
    ASSERT_EQ(w.overlay->toastLines(), QStringList{message});
    EXPECT_EQ(w.overlay->toastPillRect().height(), ToastOverlay::kPillHeight);

    for (const int narrow : {420, 260}) {
        w.window.resize(narrow, 700);
        w.overlay->setGeometry(w.window.rect());
        const QStringList lines = w.overlay->toastLines();
        const QRect toast = w.overlay->toastPillRect();
        EXPECT_GT(lines.size(), 1);
        EXPECT_EQ(lines.join(QLatin1Char(' ')), message);
        EXPECT_GT(toast.height(), ToastOverlay::kPillHeight);
        EXPECT_TRUE(w.overlay->rect().contains(toast));
        const double room = toast.width() - 2 * ToastOverlay::kPillPadding;
        for (const QString& line : lines) {
            EXPECT_LE(FixedDigits::advance(ToastOverlay::pillFont(), line), room) << line.toStdString();
            EXPECT_FALSE(line.startsWith(QStringLiteral("\u00B7"))) << line.toStdString();
        }
        EXPECT_EQ(w.overlay->removalPillRect().bottom() + 1 + ToastOverlay::kPillSpacing, toast.top());
    }
    // A word longer than a whole line is the only thing broken inside a word.
    const QString word(200, QLatin1Char('w'));
    EXPECT_EQ(ToastOverlay::wrapped(ToastOverlay::pillFont(), word, 100).join(QString()), word);
}

// The overlay covers the window: a pill coming, moving or going repaints only around the pills, not
// the whole window beneath them (which would cost a frame while rows evaporate).
TEST(ToastOverlayTest, PillsRepaintOnlyAroundThemselves) {
    struct Counted : QWidget {
        using QWidget::QWidget;
        int paints = 0;
        void paintEvent(QPaintEvent*) override { ++paints; }
    };
    ToastWindow w;
    auto* far = new Counted(&w.window);
    far->setGeometry(0, 0, 1000, 300);
    far->lower();
    far->show();
    // The overlay's own paints: each step is followed until the repaint it asks for has happened.
    struct Paints : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++count;
            return false;
        }
    } overlayPaints;
    w.overlay->installEventFilter(&overlayPaints);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return far->paints > 0; }));
    // Whatever the first frames left to paint is painted now.
    w.window.repaint();
    const int before = far->paints;
    const std::function<void()> steps[] = {
        [&] { w.state.setIsDeleting(true); },
        [&] { w.post(QStringLiteral("Copied 2 paths")); },
        [&] { w.state.queue().add(testItem("/home/u/big.iso", 0)); },
        [&] { w.state.setIsDeleting(false); },
        [&] { w.state.setToast(std::nullopt); },
    };
    for (const auto& step : steps) {
        const int painted = overlayPaints.count;
        step();
        ASSERT_TRUE(QTest::qWaitFor([&] { return overlayPaints.count > painted; }));
    }
    EXPECT_EQ(far->paints, before);
}

}  // namespace
}  // namespace nimbrel
