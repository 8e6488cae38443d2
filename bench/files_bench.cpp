// nimbrel-bench files PATH: the Files area's lists on a real folder. Scans PATH with every file
// listed, then times the questions a user's hands ask of the Files model: a search keystroke, a kind
// filter change, "Show more" and a tick. Prints median and worst milliseconds of each, plus peak memory.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "model/app_state.h"
#include "model/clean_queue.h"
#include "model/files_model.h"

namespace nimbrel::bench {

namespace {

constexpr int kPage = 48;

struct Timings {
    std::vector<double> ms;
    template <typename F>
    void time(F&& f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    double median() const {
        if (ms.empty()) return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// What a shelf reads to show its first `shown` rows.
int64_t touchRows(FilesModel& model, const FileList& list, int shown, const CleanQueue& queue) {
    int64_t sum = model.largest(list, shown);
    const size_t n = std::min(list.rows.size(), static_cast<size_t>(shown));
    for (size_t i = 0; i < n; ++i) {
        const FileItem& f = model.file(list.rows[i]);
        sum += f.size + static_cast<int64_t>(f.name.size()) + (queue.includes(f.path) ? 1 : 0);
    }
    return sum;
}

double peakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int runFiles(const std::string& path) {
    int argc = 1;
    char name[] = "nimbrel-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ScanOptions options;
    options.minTrackedSize = 1;
    CancelToken token;
    const auto scanStart = std::chrono::steady_clock::now();
    std::shared_ptr<ScanResult> result = DiskScanner::scan(path, options, 1, token, nullptr);
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", path.c_str());
        return 1;
    }
    const double scanSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - scanStart).count();

    AppState state(AppStateServices::standard());
    state.setResult(result);
    FilesModel& model = state.files();
    int64_t sink = 0;

    FilesModel::BiggestQuery query;
    Timings first;  // building the index once per scan result (a large one is built aside)
    first.time([&] {
        model.biggest(query);
        if (model.isIndexing()) {
            QEventLoop loop;
            QObject::connect(&model, &FilesModel::indexReady, &loop, &QEventLoop::quit);
            if (model.isIndexing()) loop.exec();
        }
        sink += touchRows(model, model.biggest(query), kPage, state.queue());
    });

    Timings keys;
    const char* words[] = {"photos", "report", ".mov", "project", "zzzq", "2019"};
    for (const char* word : words) {
        const QString text = QString::fromUtf8(word);
        for (qsizetype n = 1; n <= text.size(); ++n) {
            query.search = text.left(n);
            keys.time([&] { sink += touchRows(model, model.biggest(query), kPage, state.queue()); });
            if (std::getenv("NIMBREL_BENCH_TRACE"))
                std::fprintf(stderr, "%s %.2f\n", query.search.toUtf8().constData(), keys.ms.back());
        }
        for (qsizetype n = text.size() - 1; n >= 0; --n) {
            query.search = text.left(n);
            keys.time([&] { sink += touchRows(model, model.biggest(query), kPage, state.queue()); });
        }
    }

    Timings kinds;
    query = {};
    for (int round = 0; round < 3; ++round) {
        for (FileCategory c : FileCategory::allCases()) {
            query.category = c;
            kinds.time([&] { sink += touchRows(model, model.biggest(query), kPage, state.queue()); });
        }
        query.category.reset();
        kinds.time([&] { sink += touchRows(model, model.biggest(query), kPage, state.queue()); });
    }

    Timings more;
    query = {};
    for (int shown = kPage; shown <= 40 * kPage; shown += kPage)
        more.time([&] { sink += touchRows(model, model.biggest(query), shown + kPage, state.queue()); });

    Timings ticks;
    const FileList& list = model.biggest(query);
    for (size_t i = 0; i < std::min<size_t>(list.rows.size(), 60); ++i) {
        const FileItem& f = model.file(list.rows[i]);
        CleanItem item;
        item.id = f.path;
        item.name = f.name;
        item.size = f.size;
        item.symbolPath = f.path;
        item.source = CleanItem::Source::files;
        ticks.time([&] {
            if (state.queue().contains(item.id)) {
                state.queue().remove(item.id);
            } else {
                state.queue().add(item);
            }
            sink += touchRows(model, model.biggest(query), kPage, state.queue());
        });
    }

    std::printf(
        "listed=%zu scan_seconds=%.3f index_ms=%.1f search_median_ms=%.2f search_worst_ms=%.2f "
        "kind_median_ms=%.2f kind_worst_ms=%.2f more_median_ms=%.2f more_worst_ms=%.2f "
        "tick_median_ms=%.2f tick_worst_ms=%.2f peak_rss_mb=%.1f check=%lld\n",
        result->files().size(), scanSeconds, first.worst(), keys.median(), keys.worst(), kinds.median(),
        kinds.worst(), more.median(), more.worst(), ticks.median(), ticks.worst(), peakRssMB(),
        static_cast<long long>(sink % 10));
    return 0;
}

}  // namespace nimbrel::bench
