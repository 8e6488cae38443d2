// nimbrel-bench window PATH: the main window (offscreen unless a display is chosen) scans PATH while a
// watchdog timer on the GUI thread measures how long the thread is ever kept from its events. Then
// the largest folder is opened and searched in the window, watched the same way.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/prefs.h"
#include "theme/fonts.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/space/space_view.h"

namespace nimbrel::bench {

namespace {

// Ticks every few milliseconds; a late tick is a stall of the thread, by as much as it is late.
class Watchdog {
  public:
    static constexpr int kTickMs = 5;
    static constexpr int kStallMs = 50;

    explicit Watchdog(const char* phase) : phase_(phase) {
        clock_.start();
        last_ = 0;
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(kTickMs);
    }
    void setPhase(const char* phase) {
        tick();
        phase_ = phase;
    }
    void report() const {
        for (const auto& [phase, worst, stalls] : phases_)
            std::printf("phase=%s worst_stall_ms=%lld stalls_over_%dms=%d\n", phase.c_str(), worst, kStallMs,
                        stalls);
    }

  private:
    void tick() {
        const qint64 now = clock_.elapsed();
        const qint64 gap = now - last_ - kTickMs;
        last_ = now;
        auto it =
            std::find_if(phases_.begin(), phases_.end(), [&](const Phase& p) { return p.name == phase_; });
        if (it == phases_.end()) it = phases_.insert(phases_.end(), {phase_, 0, 0});
        it->worst = std::max(it->worst, gap);
        if (gap > kStallMs) ++it->stalls;
    }
    struct Phase {
        std::string name;
        long long worst;
        int stalls;
    };
    std::string phase_;
    std::vector<Phase> phases_;
    QElapsedTimer clock_;
    qint64 last_;
    QTimer timer_;
};

void waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

}  // namespace

int runWindow(const std::string& path) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "nimbrel-bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    Fonts::install();
    QTemporaryDir store;
    Prefs::useStore(store.filePath(QStringLiteral("prefs.ini")));
    Prefs::registerDefaults();

    AppStateServices services = AppStateServices::standard();
    services.isDemo = [] { return false; };
    services.arguments = [] { return std::vector<std::string>{"nimbrel-bench"}; };
    AppState state(std::move(services));
    NimbrelCommands commands(state, {});
    MainWindow window(state, commands);
    window.bringForward();
    spin(300);

    Watchdog watchdog("scan");
    QElapsedTimer scanClock;
    scanClock.start();
    state.scan(path);
    waitUntil([&] { return !state.isScanning(); }, 30 * 60 * 1000);
    const double scanSeconds = scanClock.elapsed() / 1000.0;
    watchdog.setPhase("result-shown");
    spin(1500);

    // The folder with the most entries, opened and searched as a user would.
    watchdog.setPhase("largest-folder");
    std::shared_ptr<DirNode> largest;
    if (state.result()) {
        largest = state.result()->root;
        std::vector<std::shared_ptr<DirNode>> stack{largest};
        auto entries = [](const DirNode& n) { return n.children.size() + n.files.size(); };
        while (!stack.empty()) {
            auto node = std::move(stack.back());
            stack.pop_back();
            if (entries(*node) > entries(*largest)) largest = node;
            for (const auto& child : node->children)
                stack.push_back(child);
        }
        state.setFolderFocus(largest->path());
        spin(500);
        if (auto* space = window.findChild<SpaceView*>()) {
            for (const char* text : {"r", "re", "rep", "re", "r", ""}) {
                space->model().setSearch(QString::fromLatin1(text));
                spin(100);
            }
        }
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("scan_seconds=%.2f largest_folder_entries=%zu peak_rss_mb=%.1f\n", scanSeconds,
                largest ? largest->children.size() + largest->files.size() : 0, usage.ru_maxrss / 1024.0);
    watchdog.report();
    Prefs::useStore(QString());
    return 0;
}

}  // namespace nimbrel::bench
