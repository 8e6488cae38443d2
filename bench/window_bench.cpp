// nimbrel-bench window PATH [--twins 1] [--remove N]: the main window (offscreen unless a display is
// chosen) scans PATH while a watchdog timer on the GUI thread measures how long the thread is ever
// kept from its events. Then the largest folder is opened and searched in the window, watched the
// same way. --twins 1 then scans again with every file listed, shows the Biggest shelf and runs a
// twin search over every file; --remove N then does what a user does with N listed files: selects
// every extra copy of the twins and drops the largest other files on the selection bar, ticks a few
// rows, opens the review, takes two entries out of it and removes the rest for good (each step its
// own phase). PATH must then be a copy under /tmp made for the purpose.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
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

int runWindow(const std::string& path, bool twins, long long removeCount) {
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

    // Memory as a user with default settings would see it, before anything below lists every file.
    const double defaultPeakMB = peakRssMB();
    std::printf("scan_seconds=%.2f largest_folder_entries=%zu peak_rss_mb=%.1f\n", scanSeconds,
                largest ? largest->children.size() + largest->files.size() : 0, defaultPeakMB);
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
                    state.result() ? state.result()->files.size() : 0, allSeconds, twinSeconds,
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
        for (const FileItem& f : state.result()->files) {
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
            addedAside([&] { bar->drop(items); });
        else
            state.queue().add(items);
        items = {};
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

        watchdog.setPhase("removal");
        const size_t chosen = sheet ? sheet->model().ids().size() : 0;
        const std::int64_t revision = state.revision();
        scanClock.restart();
        if (sheet) sheet->removeForever();
        waitUntil([&] { return !state.isDeleting() && state.revision() != revision; }, 30 * 60 * 1000);
        const double removalSeconds = scanClock.elapsed() / 1000.0;
        watchdog.setPhase("after-removal");
        spin(1500);
        std::printf("removed_items=%zu removal_seconds=%.2f failures=%zu listed_after=%zu queued_after=%zu\n",
                    chosen, removalSeconds, state.deletionFailures() ? state.deletionFailures()->size() : 0,
                    state.result() ? state.result()->files.size() : 0, state.queue().items().size());
    }

    std::printf("peak_rss_mb_all=%.1f\n", peakRssMB());
    watchdog.report();
    Prefs::useStore(QString());
    return 0;
}

}  // namespace nimbrel::bench
