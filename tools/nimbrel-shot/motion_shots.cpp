#include "motion_shots.h"

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "model/app_state.h"
#include "shot_capture.h"
#include "theme/animated_value.h"
#include "theme/motion.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/shell/root_view.h"
#include "views/space/entry_rules.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {

namespace {

// Drives every animation from a clock the shots move: a picture shows the frame asked for.
class ShotClock : public QAnimationDriver {
  public:
    ShotClock() { install(); }
    ~ShotClock() override { uninstall(); }
    qint64 elapsed() const override { return now_; }
    void step(int ms) {
        QCoreApplication::processEvents();
        now_ += ms;
        advance();
        QCoreApplication::processEvents();
    }

  protected:
    void start() override {
        now_ = 0;
        QAnimationDriver::start();
    }

  private:
    qint64 now_ = 0;
};

bool saveCrop(QWidget& widget, const QRect& area, int scale, const QString& outDir, const QString& name) {
    QCoreApplication::processEvents();
    const QPixmap picture = widget.grab(area);
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!picture.scaled(picture.size() * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int shootMotion(const QString& outDir) {
    int failed = 0;
    const bool instant = AnimatedValue::allInstant();
    AnimatedValue::setAllInstant(false);
    ReduceMotion::setOverride(false);
    {
        AppState state;
        state.onLaunch();
        NimbrelCommands commands(state, {});
        MainWindow window(state, commands);
        window.resize(MainWindow::kDefaultWidth, MainWindow::kDefaultHeight);
        window.show();
        state.setSection(SidebarItem::overview);
        settleForShot();
        auto* space = window.findChild<SpaceView*>();
        if (!space || !state.result()) {
            std::fprintf(stderr, "no Space view or no sample result\n");
            return 1;
        }
        ShotClock clock;
        space->model().setLayout(ExplorerLayout::icons);
        ExplorerView* explorer = space->explorer();
        settleForShot();
        // The first tile the user can select (a kept folder shows a lock, not the circle).
        int index = 0;
        while (index < space->model().visibleCount() &&
               !(space->model().tile(index).entry &&
                 EntryRules::control(*space->model().tile(index).entry) == EntryRules::Control::select))
            ++index;
        const auto frame = explorer->frameAt(index);
        const auto entry =
            index < space->model().visibleCount() ? space->model().tile(index).entry : std::nullopt;
        if (!frame || !entry) {
            std::fprintf(stderr, "no selectable tile\n");
            return 1;
        }
        const QRect tile = frame->toAlignedRect().translated(explorer->viewport()->mapTo(&window, QPoint()));
        // The circle of a hovered tile ticking on (0.15 s) while the tile takes the selected look (0.18 s).
        space->model().hoverEntered(entry->id);
        clock.step(400);
        window.grab();
        state.queue().add(entry->cleanItem());
        int at = 0;
        for (int ms : {0, 12, 25, 50, 200}) {
            clock.step(ms - at);
            at = ms;
            failed +=
                saveCrop(window, tile, 3, outDir, QStringLiteral("motion-tile-circle-%1ms").arg(ms)) ? 0 : 1;
        }
        // The selection bar leaving and coming back: it moves from the bottom edge and fades.
        state.queue().setItems({});
        clock.step(2000);
        window.grab();
        const QRect bottom((window.width() - 600) / 2, window.height() - 120, 600, 120);
        state.queue().add(entry->cleanItem());
        at = 0;
        for (int ms : {40, 80, 160, 600}) {
            clock.step(ms - at);
            at = ms;
            failed += saveCrop(window, bottom, 2, outDir, QStringLiteral("motion-selection-bar-%1ms").arg(ms))
                          ? 0
                          : 1;
        }
        state.queue().setItems({});
        clock.step(2000);
    }
    ReduceMotion::setOverride(true);
    AnimatedValue::setAllInstant(instant);
    return failed;
}

}  // namespace nimbrel
