// nimbrel-bench evaporate ROWS [--visible V] [--reduce 1] [--trace 1] [--frames DIR]: the cost of the rows'
// removal animation on the GUI thread. The main window (offscreen unless a display is chosen) shows
// the Biggest shelf of a made-up tree, paged out until ROWS files are listed and sized so that V
// rows show; the ROWS largest are ticked, the review opens and sends them to the Trash (demo mode:
// nothing on disk is touched). Every window repaint from then until the rows have gone (the review
// leaving, then the rows evaporating) is one frame; its cost is the paint plus the animation ticks
// since the previous one. The rows then stay gone while the removal is held ("hold") and the list
// closes over their gaps ("close"). --frames DIR saves pictures of the window half way through the
// review's leaving and a quarter, half and three quarters of the way through the evaporation
// instead (pictures cost time of their own, so such a run prints no timings). --trace 1 prints every frame as
// it ends.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "engine/dir_node.h"
#include "engine/listed_files.h"
#include "engine/scan_result.h"
#include "engine/tree_build.h"
#include "model/app_state.h"
#include "model/prefs.h"
#include "theme/evaporate_effect.h"
#include "theme/fonts.h"
#include "theme/motion.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/item_row.h"
#include "views/kit/shelf_lists.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"

namespace nimbrel::bench {

namespace {

// Times the window's repaints and the animation ticks between them.
class FrameClock : public QApplication {
  public:
    using QApplication::QApplication;

    void record(bool on) {
        recording_ = on;
        pendingTick_ = 0;
        pendingTickWork_ = 0;
        since_.start();
    }
    // Each frame on stderr as it ends.
    void setTrace(bool trace) { trace_ = trace; }
    std::vector<double> take() { return std::exchange(frames_, {}); }
    // The GUI thread's own processor time in each frame: the work, without the waits (for Qt's fill
    // threads, or for a processor on a busy machine).
    std::vector<double> takeWork() { return std::exchange(work_, {}); }

    bool notify(QObject* receiver, QEvent* event) override {
        const bool paint = event->type() == QEvent::UpdateRequest &&
                           (receiver->isWindowType() ||
                            (receiver->isWidgetType() && static_cast<QWidget*>(receiver)->isWindow()));
        const bool tick = event->type() == QEvent::Timer && receiver->inherits("QAnimationDriver");
        if (!recording_ || depth_ > 0 || (!paint && !tick)) return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = threadCpuMs();
        ++depth_;
        const bool done = QApplication::notify(receiver, event);
        --depth_;
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        const double cpu = threadCpuMs() - cpuBefore;
        if (tick) {
            pendingTick_ += ms;
            pendingTickWork_ += cpu;
        } else {
            frames_.push_back(pendingTick_ + ms);
            work_.push_back(pendingTickWork_ + cpu);
            if (trace_)
                std::fprintf(stderr, "frame at %lld ms: %.1f ms (work %.1f ms)\n", qint64(since_.elapsed()),
                             frames_.back(), work_.back());
            pendingTick_ = 0;
            pendingTickWork_ = 0;
        }
        return done;
    }

  private:
    static double threadCpuMs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }

    bool recording_ = false;
    bool trace_ = false;
    QElapsedTimer since_;
    int depth_ = 0;
    double pendingTick_ = 0;
    double pendingTickWork_ = 0;
    std::vector<double> frames_;
    std::vector<double> work_;
};

void waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

// A tree of `count` listed files in 20 folders, sizes all different so the order is fixed.
std::shared_ptr<ScanResult> madeUpTree(int count) {
    auto root = std::make_shared<DirNode>("/nimbrel-bench", nullptr);
    const auto now = std::chrono::system_clock::now();
    std::vector<DirNode*> folders;
    for (int i = 0; i < 20; ++i) {
        auto folder = std::make_shared<DirNode>("folder " + std::to_string(i), root.get());
        folders.push_back(folder.get());
        TreeBuild::addChild(*root, std::move(folder));
    }
    static const char* const kinds[] = {".mov", ".zip", ".iso", ".psd", ".mp4", ".dmg", ".tar.gz", ".pdf"};
    for (int i = 0; i < count; ++i) {
        DirNode* parent = folders[size_t(i) % folders.size()];
        FileItem f;
        f.id = i;
        f.name = "recording " + std::to_string(i) + kinds[i % 8];
        f.path = parent->path() + "/" + f.name;
        f.size = int64_t{5'000'000'000} - int64_t{1'000'003} * i;
        f.logicalSize = f.size;
        f.modified = now - std::chrono::hours(24 * (i % 400));
        f.accessed = f.modified;
        f.category = FileCategory::classify(pathExtension(f.name));
        f.parent = parent;
        TreeBuild::addFile(*parent, f);
        TreeBuild::countUpwards(*parent, f.size, 1);
    }
    TreeBuild::sortRecursively(*root);
    auto result = std::make_shared<ScanResult>();
    TreeBuild::counts(*result).totalFiles = root->fileCount();
    TreeBuild::counts(*result).totalDirs = 21;
    TreeBuild::setRoot(*result, std::move(root));
    TreeBuild::listTree(*result);
    TreeBuild::counts(*result).date = std::chrono::system_clock::now();
    TreeBuild::counts(*result).lastID = count;
    return result;
}

int shownRows(QWidget& window) {
    int n = 0;
    for (ItemRow* row : window.findChildren<ItemRow*>())
        if (row->isVisible() && row->visibleRegion().boundingRect().height() >= row->height()) ++n;
    return n;
}

void printFrames(const char* phase, std::vector<double> ms, std::vector<double> work) {
    if (ms.empty()) {
        std::printf("phase=%s frames=0\n", phase);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::sort(work.begin(), work.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    const auto over = [&](double limit) {
        return std::count_if(ms.begin(), ms.end(), [&](double v) { return v > limit; });
    };
    std::printf(
        "phase=%s frames=%zu median_ms=%.1f p90_ms=%.1f worst_ms=%.1f over_16ms=%ld over_20ms=%ld "
        "worst_work_ms=%.1f\n",
        phase, ms.size(), at(0.5), at(0.9), ms.back(), long(over(16)), long(over(20)), work.back());
    std::fflush(stdout);
}

}  // namespace

int runEvaporate(long long rows, int visible, bool reduce, bool trace, const std::string& framesDir) {
    if (rows <= 0 || visible <= 0) {
        std::fprintf(stderr, "evaporate ROWS [--visible V]: ROWS and V must be positive.\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "nimbrel-bench";
    char* argv[] = {name, nullptr};
    FrameClock app(argc, argv);
    app.setTrace(trace);
    Fonts::install();
    ReduceMotion::setOverride(reduce);
    QTemporaryDir store;
    Prefs::useStore(store.filePath(QStringLiteral("prefs.ini")));
    Prefs::registerDefaults();

    AppStateServices services = AppStateServices::standard();
    services.isDemo = [] { return true; };
    services.arguments = [] { return std::vector<std::string>{"nimbrel-bench"}; };
    AppState state(std::move(services));
    NimbrelCommands commands(state, {});
    MainWindow window(state, commands);
    window.resize(1200, 800);
    window.bringForward();
    // Twice the rows ticked, so the list goes on past them.
    state.setResult(madeUpTree(int(std::max<long long>(rows * 2, 200))));
    state.setSection(SidebarItem::largest);
    spin(500);
    auto* shelves = window.findChild<BiggestShelves*>();
    if (!shelves) {
        std::fprintf(stderr, "no Biggest shelf in the window\n");
        return 1;
    }
    while (shelves->shown() < rows && shelves->moreButton())
        shelves->showMore();
    spin(300);
    // As tall as it takes to show `visible` whole rows.
    for (int i = 0; i < 6; ++i) {
        const int shown = shownRows(window);
        if (shown == visible) break;
        window.resize(1200, std::max(400, window.height() + (visible - shown) * (ItemRow::kHeight + 4)));
        spin(300);
    }

    std::vector<CleanItem> items;
    for (int i = 0; i < std::min<int>(int(rows), shelves->matchCount()); ++i)
        items.push_back(CleanItem::file(shelves->match(i), CleanItem::Source::files));
    const uint64_t generation = state.queue().generation();
    state.queue().add(items);
    waitUntil([&] { return state.queue().generation() != generation; }, 60 * 1000);
    spin(500);
    state.nimbrelise();
    ReviewSheet* sheet = nullptr;
    waitUntil([&] { return (sheet = window.findChild<ReviewSheet*>()) && sheet->removalEnabled(); },
              30 * 1000);
    spin(800);
    if (!sheet) {
        std::fprintf(stderr, "the review did not open\n");
        return 1;
    }
    std::printf("rows=%lld visible=%d window=%dx%d reduce_motion=%d\n", rows, shownRows(window),
                window.width(), window.height(), reduce ? 1 : 0);
    std::fflush(stdout);

    std::vector<QPointer<ItemRow>> listed;
    for (ItemRow* row : window.findChildren<ItemRow*>())
        listed.emplace_back(row);
    QElapsedTimer clock;
    const bool pictures = !framesDir.empty();
    app.record(!pictures);
    clock.start();
    sheet->moveToTrash();
    // Pictures are saved once the run is over: writing one takes longer than the animation's steps.
    std::vector<std::pair<QString, QPixmap>> taken;
    const auto picture = [&](const QString& name) {
        if (pictures) taken.emplace_back(name, window.grab());
    };
    // Half way through the review's leaving.
    waitUntil([&] { return clock.elapsed() >= 130; }, 2000);
    picture(QStringLiteral("leaving"));
    // The rows wait for the review to leave the screen, then go together.
    // Looked up among the rows listed before the click: a search of the whole window between frames
    // would take the time the frames are measured against.
    const auto triggers = [&] {
        std::vector<EvaporateTrigger*> found;
        for (const QPointer<ItemRow>& row : listed)
            if (auto* trigger =
                    row ? row->findChild<EvaporateTrigger*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
                trigger && trigger->isVanishing() && row->isVisible())
                found.push_back(trigger);
        return found;
    };
    waitUntil(
        [&] {
            const auto going = triggers();
            return !going.empty() &&
                   std::none_of(going.begin(), going.end(), [](auto* t) { return t->isWaiting(); });
        },
        5000);
    const qint64 started = clock.elapsed();
    for (int at : {250, 500, 750}) {
        if (!pictures) break;
        waitUntil([&] { return clock.elapsed() >= started + at; }, 2000);
        picture(QStringLiteral("%1ms").arg(at));
    }
    // A third of the way through: how each row on screen is going.
    waitUntil([&] { return clock.elapsed() >= started + 300; }, 2000);
    int evaporating = 0, fading = 0, atOnce = 0;
    for (EvaporateTrigger* trigger : triggers()) {
        // Asked of the row's trigger, not of the picture: a 0.25 s fade is over by now, and a row
        // that faded is not one that went at once.
        if (trigger->wentAtOnce())
            ++atOnce;
        else if (trigger->isFading())
            ++fading;
        else if (trigger->effect() && trigger->effect()->progress() > 0)
            ++evaporating;
    }
    if (!pictures)
        std::printf("evaporating=%d fading=%d gone_at_once=%d started_after_ms=%lld\n", evaporating, fading,
                    atOnce, started);
    // Until every row has gone, and a frame more.
    waitUntil(
        [&] {
            const auto going = triggers();
            return std::none_of(going.begin(), going.end(),
                                [](auto* t) { return t->animation().isRunning(); });
        },
        5000);
    spin(20);
    if (!pictures) printFrames("evaporate", app.take(), app.takeWork());
    app.record(!pictures);
    waitUntil([&] { return !state.isDeleting(); }, 60 * 1000);
    if (!pictures) printFrames("hold", app.take(), app.takeWork());
    app.record(!pictures);
    spin(600);
    if (!pictures) printFrames("close", app.take(), app.takeWork());
    app.record(false);
    if (pictures) QDir().mkpath(QString::fromStdString(framesDir));
    for (const auto& [pictureName, pixmap] : taken) {
        const QString path = QString::fromStdString(framesDir) +
                             QStringLiteral("/evaporate-%1-%2.png").arg(rows).arg(pictureName);
        pixmap.save(path);
        std::printf("%s\n", qPrintable(path));
    }
    Prefs::useStore(QString());
    return 0;
}

}  // namespace nimbrel::bench
