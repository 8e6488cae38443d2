#include <gtest/gtest.h>

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QTest>
#include <functional>

#include "engine/demo.h"
#include "model/cleanup_model.h"
#include "support/animations.h"
#include "support/motion_scopes.h"
#include "theme/evaporate_effect.h"
#include "theme/motion.h"
#include "views/deepclean/steam_view.h"
#include "views/kit/elided_label.h"
#include "views/kit/selection_bar.h"
#include "views/kit/shelf.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/shell/top_bar.h"
#include "views/shell_fixture.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {
namespace {

class TransitionsTest : public ShellFixture {};

// A timing: how long, and the share of the way done at each share of that time.
struct Timing {
    int ms;
    std::function<double(double)> share;
};

Timing along(const MotionSpec& m) {
    return {m.ms, [m](double t) { return m.curve.valueForProgress(t); }};
}

Timing along(const Spring& s) {
    const int ms = int(std::lround(s.settlingTime() * 1000));
    return {ms, [s, ms](double t) { return s.value(t * ms / 1000.0); }};
}

// Every transition the window draws, on the test clock: each stands where it starts, is as far along
// as its curve says at a third of its time (and again at two thirds), and stands where it goes once
// its time is up.
TEST_F(TransitionsTest, EachRunsItsDurationAlongItsCurve) {
    ReduceMotionScope motion(false);
    AnimationClock clock;
    state_->setResult(Demo::scanResult(0));
    state_->cleanup().loadDemo();
    NimbrelCommands commands(*state_, {});
    MainWindow window(*state_, commands);
    window.resize(1240, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    state_->setSection(SidebarItem::overview);
    settle();
    auto* space = window.findChild<SpaceView*>();
    ASSERT_NE(space, nullptr);
    ASSERT_TRUE(space->model().tile(0).entry.has_value());
    const ExplorerEntry entry = *space->model().tile(0).entry;
    const std::string id = entry.id;
    ASSERT_TRUE(space->model().tile(1).entry.has_value());
    const ExplorerEntry other = *space->model().tile(1).entry;
    CompositionStrip* strip = space->findChild<CompositionStrip*>();
    ASSERT_NE(strip, nullptr);
    ASSERT_FALSE(strip->entries().empty());
    const FileCategory category = strip->entries().front().category;
    auto* bar = qobject_cast<SelectionBar*>(window.findChild<RootView*>()->selectionBar());
    ASSERT_NE(bar, nullptr);
    TopBar* top = window.findChild<TopBar*>();
    ASSERT_NE(top, nullptr);

    // What stands apart from the window: a Deep Clean list and a plain row that leaves.
    SteamView steam(*state_);
    steam.resize(1000, 700);
    steam.show();
    QWidget rowHost;
    rowHost.resize(400, 200);
    QWidget row(&rowHost);
    row.setGeometry(0, 100, 400, 50);
    rowHost.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rowHost));
    EvaporateTrigger evaporate(&row, 0.5);
    MoltenProgress twinsProgress(&rowHost);
    twinsProgress.setGeometry(0, 0, 400, 8);

    const auto paint = [&] {
        window.grab();  // the painters ease what they draw
        steam.grab();
        rowHost.grab();
    };
    // The window may build its space view again (as it comes back to it): the one shown now.
    const auto spaceNow = [&window] {
        for (SpaceView* v : window.findChildren<SpaceView*>())
            if (v->isVisible()) return v;
        return static_cast<SpaceView*>(nullptr);
    };
    const auto look = [&](LookAnimations::Channel channel) {
        return [=] { return spaceNow()->explorer()->looks().value(id, channel, -1); };
    };
    const auto legend = [&](LookAnimations::Channel channel) {
        return [=] { return strip->looks().value(category.title(), channel, -1); };
    };
    const auto opacityOf = [](QWidget* w) {
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
        return fade ? fade->opacity() : 1.0;
    };
    // Pressed on the first legend item (under the bar), let go outside it (a click opens Files).
    const auto pressLegend = [&](QEvent::Type type) {
        const QPointF at =
            type == QEvent::MouseButtonPress ? QPointF(4, strip->sizeHint().height() - 4) : QPointF(-20, -20);
        QMouseEvent e(type, at, strip->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(strip, &e);
    };

    struct Transition {
        const char* what;
        std::function<void()> start;
        std::function<double()> read;
        double from, to;
        Timing timing;
        std::function<void()> after = [] {};
        std::function<void()> before = [] {};
    } transitions[] = {
        {"selection bar moves and fades in", [&] { state_->queue().add(other.cleanItem()); },
         [&] { return bar->opacity(); }, 0, 1, along(Spring{0.4, 0.85})},
        {"tile hover (the row's path buttons and chevron)", [&] { spaceNow()->model().hoverEntered(id); },
         look(LookAnimations::hover), 0, 1, along(Motion::hover())},
        {"tile selection", [&] { state_->queue().add(entry.cleanItem()); }, look(LookAnimations::selected), 0,
         1, along(Motion::snappy(0.18))},
        {"select circle", [&] { state_->queue().remove(id); }, look(LookAnimations::circle), 1, 0,
         along(Motion::snappy(0.15))},
        {"legend hover", [&] { strip->hoverCategory(category); }, legend(LookAnimations::hover), 0, 1,
         along(Motion::hover())},
        {"legend press",
         [&] {
             pressLegend(QEvent::MouseButtonPress);
             EXPECT_EQ(strip->pressed(), category);
         },
         legend(LookAnimations::press), 1, 0.98, along(Motion::press()),
         [&] { pressLegend(QEvent::MouseButtonRelease); }},
        {"twins progress fill", [&] { twinsProgress.setFraction(0.75); },
         [&] { return twinsProgress.shownFillWidth(); }, 100, 300, along(Motion::snappy(0.25)), [] {},
         [&] { twinsProgress.setFraction(0.25); }},
        {"row evaporates", [&] { evaporate.setVanishing(true); },
         [&] { return evaporate.effect()->progress(); }, 0, 1, along(Motion::evaporate())},
        {"row comes back", [&] { evaporate.setVanishing(false); },
         [&] { return evaporate.effect() ? evaporate.effect()->progress() : 0.0; }, 1, 0,
         along(EvaporateTrigger::comeBack())},
        {"tile fades under Reduce Motion", [&] { state_->setNimbrelisingIDs({id}); },
         look(LookAnimations::fade), 1, 0, along(EvaporateTrigger::reducedFade()),
         [&] {
             state_->setNimbrelisingIDs({});
             ReduceMotion::setOverride(false);
         },
         [] { ReduceMotion::setOverride(true); }},
        {"row fades under Reduce Motion",
         [&] {
             ReduceMotion::setOverride(true);
             evaporate.setVanishing(true);
         },
         [&] { return evaporate.effect()->opacity(); }, 1, 0, along(EvaporateTrigger::reducedFade()),
         [&] { ReduceMotion::setOverride(false); }},
        // Last: these build the window's space view again.
        {"Deep Clean contents", [&] { steam.toggle("caches"); },
         [&] { return steam.contentsOpacity("caches"); }, 0, 1, along(Motion::snappy(0.2))},
        {"scan controls cross-fade", [&] { state_->setIsScanning(true); },
         [&] { return opacityOf(top->progressLabel()); }, 0, 1, along(Motion::snappy(0.2)),
         [&] { state_->setIsScanning(false); }},
    };
    for (const Transition& t : transitions) {
        SCOPED_TRACE(t.what);
        t.before();
        clock.step(3000);
        paint();
        t.start();
        paint();
        EXPECT_NEAR(t.read(), t.from, 0.001) << "at the start";
        const int ms = t.timing.ms;
        int passed = 0;
        for (double share : {1 / 3.0, 2 / 3.0}) {
            const int at = int(std::lround(ms * share));
            clock.step(at - passed);
            passed = at;
            paint();
            EXPECT_NEAR(t.read(), t.from + (t.to - t.from) * t.timing.share(double(at) / ms),
                        0.03 * std::abs(t.to - t.from))
                << "at " << at << " of " << ms << " ms";
        }
        clock.step(ms - passed + 1);
        paint();
        EXPECT_NEAR(t.read(), t.to, 0.001) << "at the end";
        t.after();
    }
    clock.finish();
}

}  // namespace
}  // namespace nimbrel
