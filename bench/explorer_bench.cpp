// nimbrel-bench explorer PATH: how the Space explorer copes with the largest folder of a real tree.
// Scans PATH (every file listed unless --min-tracked says otherwise), opens the folder with the most
// entries as the window would, then types a search one keystroke at a time and takes it back again.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "model/app_state.h"
#include "model/prefs.h"
#include "views/space/space_view_model.h"

namespace nimbrel::bench {

namespace {

double peakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double currentRssMB() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    const int read = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return read == 2 ? static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0) : 0;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::shared_ptr<DirNode> largestFolder(const std::shared_ptr<DirNode>& root) {
    std::shared_ptr<DirNode> best = root;
    std::vector<std::shared_ptr<DirNode>> stack{root};
    auto entries = [](const DirNode& n) { return n.children().size() + n.files().size(); };
    while (!stack.empty()) {
        auto node = std::move(stack.back());
        stack.pop_back();
        if (entries(*node) > entries(*best)) best = node;
        for (const auto& child : node->children())
            stack.push_back(child);
    }
    return best;
}

// A word to type: the start of a name halfway down the folder, so the search narrows as it grows.
std::string searchWord(const DirNode& folder) {
    std::string name;
    if (!folder.files().empty())
        name = folder.files()[folder.files().size() / 2].name;
    else if (!folder.children().empty())
        name = folder.children()[folder.children().size() / 2]->name;
    return name.substr(0, std::min<size_t>(name.size(), 6));
}

}  // namespace

int runExplorer(const std::string& path, long long minTracked) {
    int argc = 1;
    char name[] = "nimbrel-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir store;
    Prefs::useStore(store.filePath(QStringLiteral("prefs.ini")));

    ScanOptions options;
    options.minTrackedSize = minTracked;
    CancelToken token;
    auto scanStart = std::chrono::steady_clock::now();
    auto result = DiskScanner::scan(path, options, 1, token, nullptr);
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", path.c_str());
        return 1;
    }
    const double scanMs = msSince(scanStart);
    const auto folder = largestFolder(result->root());
    const std::string word = searchWord(*folder);

    AppStateServices services = AppStateServices::standard();
    services.listVolumes = [] { return std::vector<VolumeInfo>(); };
    services.isDemo = [] { return false; };
    AppState state(std::move(services));
    state.setResult(result);
    SpaceViewModel model(state);
    const double rssBefore = currentRssMB();

    // Every tile of the first page is made, more than a window paints at once.
    auto readFirstPage = [&model] {
        const int page = model.visibleCount();
        for (int i = 0; i < page; ++i)
            model.tile(i);
    };
    // Listing: the folder opens and its first page is read, as the explorer does when it paints.
    auto listStart = std::chrono::steady_clock::now();
    model.focus(folder->path());
    const size_t count = static_cast<size_t>(model.tileCount());
    readFirstPage();
    const double listMs = msSince(listStart);
    const double rssListed = currentRssMB();

    // Keystrokes: the word typed letter by letter, then erased.
    std::vector<double> keys;
    std::vector<QString> texts;
    const QString typed = QString::fromStdString(word);
    for (int i = 1; i <= typed.size(); ++i)
        texts.push_back(typed.left(i));
    for (int i = typed.size() - 1; i >= 0; --i)
        texts.push_back(typed.left(i));
    size_t narrowest = count;
    for (const QString& text : texts) {
        auto keyStart = std::chrono::steady_clock::now();
        model.setSearch(text);
        narrowest = std::min(narrowest, static_cast<size_t>(model.tileCount()));
        readFirstPage();
        keys.push_back(msSince(keyStart));
    }
    std::vector<double> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    const double worst = sorted.empty() ? 0 : sorted.back();

    std::printf(
        "folder=%s entries=%zu scan_seconds=%.3f list_ms=%.1f search=\"%s\" keystrokes=%zu matches=%zu "
        "key_median_ms=%.1f key_worst_ms=%.1f list_rss_growth_mb=%.1f peak_rss_mb=%.1f\n",
        folder->path().c_str(), count, scanMs / 1000.0, listMs, word.c_str(), keys.size(), narrowest, median,
        worst, rssListed - rssBefore, peakRssMB());
    Prefs::useStore(QString());
    return 0;
}

}  // namespace nimbrel::bench
