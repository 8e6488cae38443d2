// nimbrel-bench window PATH [--twins 1] [--remove N]: the main window (offscreen unless a display is
// chosen) scans PATH while a watchdog timer on the GUI thread measures how long the thread is ever
// kept from its events. Then the largest folder is opened and searched in the window, watched the
// same way. --twins 1 then scans again with every file listed, shows the Biggest shelf and runs a
// twin search over every file; --remove N then does what a user does with N listed files: selects
// every extra copy of the twins and drops the largest other files on the selection bar, ticks a few
// rows, opens the review, takes two entries out of it and removes the rest for good (each step its
// own phase). PATH must then be a copy under /tmp made for the purpose. --trace 1 prints, for every
// stall over 50 ms, the GUI thread's stacks sampled while it lasted.

#include <cxxabi.h>
#include <execinfo.h>
#include <pthread.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/app_state.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "theme/fonts.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/item_row.h"
#include "views/kit/selection_bar.h"
#include "views/shell/main_window.h"
#include "views/shell/nimbrel_commands.h"
#include "views/space/space_view.h"

namespace nimbrel::bench {

namespace {

// Takes the GUI thread's stack every few milliseconds while it is late for its tick, so that a
// stall can be told by what the thread was doing. The stack is taken by the thread itself, in a
// signal handler; the unwinder is loaded beforehand so the handler does not load it.
class StallSampler {
  public:
    StallSampler() : gui_(pthread_self()) {
        void* warm[4];
        backtrace(warm, 4);
        struct sigaction action {};
        action.sa_handler = &StallSampler::onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGPROF, &action, nullptr);
        ticked();
        thread_ = std::thread([this] { run(); });
    }
    ~StallSampler() {
        stop_ = true;
        thread_.join();
        signal(SIGPROF, SIG_IGN);
    }
    StallSampler(const StallSampler&) = delete;
    StallSampler& operator=(const StallSampler&) = delete;

    // Called on every tick; a gap over the limit prints what was sampled during it.
    void ticked(long long gapMs = 0, const std::string& phase = {}, long long limitMs = 50) {
        std::vector<std::vector<void*>> samples;
        {
            std::lock_guard lock(mutex_);
            samples.swap(samples_);
            lastTick_ = nowMs();
        }
        if (gapMs > limitMs) print(gapMs, phase, samples);
    }

  private:
    static long long nowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    static void onSignal(int) {
        depth_ = backtrace(frames_, kDepth);
        taken_ = true;
    }
    void run() {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            std::lock_guard lock(mutex_);
            if (nowMs() - lastTick_ < 20) continue;
            taken_ = false;
            pthread_kill(gui_, SIGPROF);
            for (int i = 0; i < 2000 && !taken_; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            if (taken_) samples_.emplace_back(frames_, frames_ + depth_);
        }
    }
    static std::string symbol(void* address) {
        char** names = backtrace_symbols(&address, 1);
        std::string text = names ? names[0] : "?";
        std::free(names);
        const auto open = text.find('('), plus = text.find('+', open);
        if (open == std::string::npos || plus == std::string::npos || plus == open + 1) return text;
        const std::string mangled = text.substr(open + 1, plus - open - 1);
        int status = 0;
        char* plain = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
        std::string name = status == 0 && plain ? plain : mangled;
        std::free(plain);
        if (name.size() > 160) name = name.substr(0, 160) + "...";
        return name;
    }
    // Each sample told by its innermost Nimbrel frame and the handler the event loop called; then the
    // most frequent whole stack.
    static void print(long long gapMs, const std::string& phase,
                      const std::vector<std::vector<void*>>& samples) {
        std::map<std::string, int> summary;
        std::map<std::vector<void*>, int> stacks;
        for (const auto& s : samples) {
            const std::vector<void*> stack(s.begin() + std::min<size_t>(2, s.size()), s.end());
            ++stacks[stack];
            std::string own, handler;
            for (size_t i = 0; i < stack.size(); ++i) {
                const std::string name = symbol(stack[i]);
                if (own.empty() && name.find("nimbrel::") != std::string::npos) own = name;
                if (name.find("notify_helper") != std::string::npos ||
                    name.find("QCoreApplication::notifyInternal2") != std::string::npos) {
                    if (i > 0) handler = symbol(stack[i - 1]);
                    if (handler.find("::event(") != std::string::npos && i > 1 &&
                        symbol(stack[i - 2]).find("nimbrel::") != std::string::npos)
                        handler = symbol(stack[i - 2]);
                    break;
                }
            }
            ++summary[own.substr(0, 90) + "  <-  " + handler.substr(0, 90)];
        }
        std::printf("stall phase=%s ms=%lld samples=%zu\n", phase.c_str(), gapMs, samples.size());
        std::vector<std::pair<int, std::string>> lines;
        for (const auto& [line, n] : summary)
            lines.emplace_back(n, line);
        std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [n, line] : lines)
            std::printf("  * %3d  %s\n", n, line.c_str());
        const auto most = std::max_element(stacks.begin(), stacks.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        if (most != stacks.end()) {
            std::printf("  most frequent stack (%d):\n", most->second);
            for (void* frame : most->first) {
                const std::string name = symbol(frame);
                std::printf("    %s\n", name.c_str());
                if (name.find("QCoreApplication::notifyInternal2") != std::string::npos) break;
            }
        }
        std::fflush(stdout);
    }

    static constexpr int kDepth = 64;
    static inline void* frames_[kDepth];
    static inline volatile sig_atomic_t depth_ = 0;
    static inline std::atomic<bool> taken_ = false;
    pthread_t gui_;
    std::mutex mutex_;
    long long lastTick_ = 0;
    std::vector<std::vector<void*>> samples_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// Ticks every few milliseconds; a late tick is a stall of the thread, by as much as it is late.
class Watchdog {
  public:
    static constexpr int kTickMs = 5;
    static constexpr int kStallMs = 50;

    explicit Watchdog(const char* phase, bool trace) : phase_(phase) {
        if (trace) sampler_ = std::make_unique<StallSampler>();
        clock_.start();
        last_ = 0;
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(kTickMs);
    }
    // Prints the phase that ends as soon as it ends, so a run stopped later still told it.
    void setPhase(const char* phase) {
        tick();
        print(phase_);
        phase_ = phase;
    }
    void print(const std::string& phase) const {
        for (const auto& [name, worst, stalls] : phases_)
            if (name == phase) {
                std::printf("phase=%s worst_stall_ms=%lld stalls_over_%dms=%d\n", name.c_str(), worst,
                            kStallMs, stalls);
                std::fflush(stdout);
            }
    }
    void report() {
        tick();
        print(phase_);
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
        if (sampler_) sampler_->ticked(gap, phase_, kStallMs);
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
    std::unique_ptr<StallSampler> sampler_;
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

// A folder the bench may remove from: a real folder below /tmp, and not /tmp itself.
bool isScratchCopy(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return false;
    const std::string real(resolved);
    return real.rfind("/tmp/", 0) == 0 && real.size() > 5;
}

double peakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

}  // namespace

int runWindow(const std::string& path, bool twins, long long removeCount, bool trace) {
    if (removeCount > 0 && !isScratchCopy(path)) {
        std::fprintf(stderr, "--remove removes files for good: PATH must be a copy below /tmp.\n");
        return 2;
    }
    twins = twins || removeCount > 0;
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

    Watchdog watchdog("scan", trace);
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
        largest = state.result()->root();
        std::vector<std::shared_ptr<DirNode>> stack{largest};
        auto entries = [](const DirNode& n) { return n.children().size() + n.files().size(); };
        while (!stack.empty()) {
            auto node = std::move(stack.back());
            stack.pop_back();
            if (entries(*node) > entries(*largest)) largest = node;
            for (const auto& child : node->children())
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

    // Memory as a user with default settings would see it, before anything below lists every file.
    const double defaultPeakMB = peakRssMB();
    std::printf("scan_seconds=%.2f largest_folder_entries=%zu peak_rss_mb=%.1f\n", scanSeconds,
                largest ? largest->children().size() + largest->files().size() : 0, defaultPeakMB);
    std::fflush(stdout);

    if (twins) {
        if (auto* space = window.findChild<SpaceView*>()) space->model().setSearch(QString());
        state.setFolderFocus(std::nullopt);
        Prefs::setValue(QString::fromLatin1(Prefs::kMinTrackedSize), 1);
        watchdog.setPhase("scan-all");
        scanClock.restart();
        state.scan(path);
        waitUntil([&] { return !state.isScanning(); }, 30 * 60 * 1000);
        const double allSeconds = scanClock.elapsed() / 1000.0;
        watchdog.setPhase("files-shown");
        state.setSection(SidebarItem::largest);
        spin(1500);

        watchdog.setPhase("twins");
        state.setSection(SidebarItem::duplicates);
        spin(300);
        scanClock.restart();
        if (state.result()) state.duplicates().run(std::shared_ptr<const ScanResult>(state.result()), 1);
        waitUntil([&] { return !state.duplicates().isRunning(); }, 30 * 60 * 1000);
        const double twinSeconds = scanClock.elapsed() / 1000.0;
        spin(1500);
        size_t extras = 0;
        for (const DuplicateGroup& g : state.duplicates().groups())
            extras += g.files.size() - 1;
        std::printf("listed=%zu scan_all_seconds=%.2f twins_seconds=%.2f twin_sets=%zu twin_extras=%zu\n",
                    state.result() ? state.result()->files().size() : 0, allSeconds, twinSeconds,
                    state.duplicates().groups().size(), extras);
        std::fflush(stdout);
    }

    if (removeCount > 0 && state.result()) {
        // What a user does: "Select every extra copy" on the Twins shelf, then, up to the count
        // asked for, the largest listed files dropped on the selection bar (one list, as a drop
        // hands it over).
        // The list dropped below is made before the phase, in a phase of its own: the bench's own
        // work is not counted against the window.
        watchdog.setPhase("bench-own-work");
        std::vector<CleanItem> items;
        for (const FileItem& f : state.result()->files()) {
            if (items.size() >= static_cast<size_t>(removeCount)) break;
            if (f.isPackage) continue;
            CleanItem item;
            item.id = f.path;
            item.name = f.name;
            item.size = f.size;
            item.kind = CleanItem::Kind::file;
            item.symbolPath = f.path;
            item.source = CleanItem::Source::files;
            items.push_back(std::move(item));
        }
        watchdog.setPhase("select");
        // A long list is worked out aside and comes back as one change.
        auto addedAside = [&](const std::function<void()>& add) {
            const uint64_t before = state.queue().generation();
            add();
            waitUntil([&] { return state.queue().generation() != before; }, 60 * 1000);
        };
        if (auto* twinShelves = window.findChild<TwinShelves*>())
            addedAside([&] { twinShelves->selectEveryExtra(); });
        spin(300);
        if (auto* bar = window.findChild<SelectionBar*>())
            addedAside([&] { bar->drop(std::move(items)); });
        else
            state.queue().add(items);
        spin(500);

        // Single ticks on the Biggest shelf with the whole selection queued: each one a click.
        watchdog.setPhase("tick");
        state.setSection(SidebarItem::largest);
        spin(500);
        std::vector<ItemRow*> rows;
        for (ItemRow* row : window.findChildren<ItemRow*>())
            if (row->isVisible()) rows.push_back(row);
        for (int i = 0; i < 6 && !rows.empty(); ++i) {
            rows[static_cast<size_t>(i) % rows.size()]->click();
            spin(600);  // past the double-click interval, so every click is a first click
        }

        watchdog.setPhase("review");
        state.nimbrelise();
        spin(1000);
        ReviewSheet* sheet = window.findChild<ReviewSheet*>();
        // "Remove from Selection" in the sheet's menu, twice.
        for (int i = 0; i < 2 && sheet && !state.queue().items().empty(); ++i) {
            state.queue().remove(state.queue().items().back().id);
            spin(300);
        }

        const size_t chosen = sheet ? sheet->model().includedCount() : 0;
        watchdog.setPhase("removal");
        const std::int64_t revision = state.revision();
        scanClock.restart();
        if (sheet) sheet->removeForever();
        waitUntil([&] { return !state.isDeleting() && state.revision() != revision; }, 30 * 60 * 1000);
        const double removalSeconds = scanClock.elapsed() / 1000.0;
        watchdog.setPhase("after-removal");
        spin(1500);
        std::printf("removed_items=%zu removal_seconds=%.2f failures=%zu listed_after=%zu queued_after=%zu\n",
                    chosen, removalSeconds, state.deletionFailures() ? state.deletionFailures()->size() : 0,
                    state.result() ? state.result()->files().size() : 0, state.queue().items().size());
    }

    std::printf("peak_rss_mb_all=%.1f\n", peakRssMB());
    watchdog.report();
    Prefs::useStore(QString());
    return 0;
}

}  // namespace nimbrel::bench
