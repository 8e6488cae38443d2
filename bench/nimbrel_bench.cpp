// nimbrel-bench: runs the engine on a real folder and prints one line of key=value pairs, for
// measuring speed and memory side by side with other tools.
//
//   nimbrel-bench scan PATH [--min-tracked BYTES] [--threads N] [--check 1]
//   nimbrel-bench usage PATH
//   nimbrel-bench twins PATH [--min-size BYTES] [--min-tracked BYTES] [--threads N] [--list FILE]
//   nimbrel-bench explorer PATH [--min-tracked BYTES]
//   nimbrel-bench window PATH [--twins 1] [--remove N] [--trace 1]
//   nimbrel-bench evaporate ROWS [--visible V] [--reduce 1] [--trace 1] [--frames DIR]
//   nimbrel-bench files PATH
//   nimbrel-bench prune PATH [--count N] [--min-tracked BYTES]
//
// A new subcommand is one function and one row in kCommands.

#include <sys/resource.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_set>

#include "engine/engine.h"
#include "engine/scan_compare.h"

#ifdef NIMBREL_BENCH_EXPLORER
namespace nimbrel::bench {
int runExplorer(const std::string& path, long long minTracked);                         // explorer_bench.cpp
int runWindow(const std::string& path, bool twins, long long removeCount, bool trace);  // window_bench.cpp
int runEvaporate(long long rows, int visible, bool reduce, bool trace,
                 const std::string& framesDir);  // effects_bench.cpp
}  // namespace nimbrel::bench
#endif

#ifdef NIMBREL_BENCH_FILES
namespace nimbrel::bench {
int runFiles(const std::string& path);  // files_bench.cpp
}
#endif

namespace {

using namespace nimbrel;

struct Args {
    std::string path;
    std::map<std::string, std::string> options;  // "--min-tracked" -> "1000000"

    bool has(const std::string& key) const { return options.count(key) > 0; }
    long long number(const std::string& key, long long fallback) const {
        auto it = options.find(key);
        return it == options.end() ? fallback : std::strtoll(it->second.c_str(), nullptr, 10);
    }
};

double peakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

class Stopwatch {
  public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

ScanOptions scanOptions(const Args& args) {
    ScanOptions options;
    options.minTrackedSize = args.number("--min-tracked", options.minTrackedSize);
    return options;
}

// --threads 1 walks on the calling thread, more on a pool of workers, 0 (the default) as the
// application does. --check 1 then scans again with the other walker and compares the two results
// field by field (the timing and memory printed are the first scan's).
int runScan(const Args& args) {
    CancelToken token;
    const int threads = static_cast<int>(args.number("--threads", 0));
    Stopwatch clock;
    auto result = DiskScanner::scanWith(args.path, scanOptions(args), 1, token, nullptr, threads);
    const double seconds = clock.seconds();
    const double peak = peakRssMB();
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", args.path.c_str());
        return 1;
    }
    std::string check = "no";
    if (args.number("--check", 0) != 0) {
        auto other =
            DiskScanner::scanWith(args.path, scanOptions(args), 1, token, nullptr, threads == 1 ? 0 : 1);
        std::string difference = other ? firstScanDifference(*result, *other) : "second scan failed";
        check = difference.empty() ? "same" : "DIFFERENT";
        if (!difference.empty()) std::fprintf(stderr, "first difference: %s\n", difference.c_str());
    }
    std::printf(
        "files=%lld dirs=%lld bytes=%lld unreadable=%lld artifacts=%zu listed=%zu threads=%d seconds=%.3f "
        "peak_rss_mb=%.1f check=%s\n",
        static_cast<long long>(result->totalFiles()), static_cast<long long>(result->totalDirs()),
        static_cast<long long>(result->root()->size()), static_cast<long long>(result->unreadableCount()),
        result->artifacts().size(), result->files().size(),
        threads > 0 ? threads : DiskScanner::defaultWalkThreads(), seconds, peak, check.c_str());
    return check == "DIFFERENT" ? 3 : 0;
}

int runUsage(const Args& args) {
    Stopwatch clock;
    DiskUsage usage = DiskScanner::usage(args.path);
    const double seconds = clock.seconds();
    std::printf("files=%lld bytes=%lld exists=%d readable=%d seconds=%.3f peak_rss_mb=%.1f\n",
                static_cast<long long>(usage.items), static_cast<long long>(usage.size), usage.exists ? 1 : 0,
                usage.readable ? 1 : 0, seconds, peakRssMB());
    return usage.exists ? 0 : 1;
}

// Scans PATH, then looks for twins among the scan's files as the Twins shelf offers them: no
// packages, nothing empty, nothing below --min-size. --list writes "hash<TAB>path" per member.
int runTwins(const Args& args) {
    CancelToken token;
    Stopwatch clock;
    auto result = DiskScanner::scan(args.path, scanOptions(args), 1, token, nullptr);
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", args.path.c_str());
        return 1;
    }
    const double scanSeconds = clock.seconds();
    const long long minSize = args.number("--min-size", 0);
    std::vector<const FileItem*> candidates;
    for (const FileItem& f : result->files()) {
        if (!f.isPackage && f.size >= minSize && f.logicalSize > 0) candidates.push_back(&f);
    }
    Stopwatch twinClock;
    auto groups = DuplicateEngine::find(candidates, token, {}, static_cast<int>(args.number("--threads", 0)));
    const double twinSeconds = twinClock.seconds();
    const double seconds = clock.seconds();
    size_t members = 0;
    int64_t wasted = 0;
    for (const DuplicateGroup& g : *groups) {
        members += g.files.size();
        wasted += g.wasted();
    }
    if (args.has("--list")) {
        FILE* out = std::fopen(args.options.at("--list").c_str(), "w");
        if (!out) {
            std::fprintf(stderr, "Couldn't write %s.\n", args.options.at("--list").c_str());
            return 1;
        }
        for (const DuplicateGroup& g : *groups) {
            for (const FileItem& f : g.files)
                std::fprintf(out, "%s\t%s\n", g.id.c_str(), f.path.c_str());
        }
        std::fclose(out);
    }
    std::printf("groups=%zu files_in_groups=%zu wasted_bytes=%" PRId64
                " candidates=%zu scan_seconds=%.3f "
                "twin_seconds=%.3f seconds=%.3f peak_rss_mb=%.1f\n",
                groups->size(), members, wasted, candidates.size(), scanSeconds, twinSeconds, seconds,
                peakRssMB());
    return 0;
}

// Scans PATH, then prunes from the result what a removal of --count listed files and every
// folder two levels down would take, and compares the whole tree with the disk (nothing went, so
// the recheck finds nothing: its cost is the lstat of everything listed).
int runPrune(const Args& args) {
    CancelToken token;
    ScanOptions options = scanOptions(args);
    options.minTrackedSize = args.number("--min-tracked", 0);
    auto result = DiskScanner::scan(args.path, options, 1, token, nullptr);
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", args.path.c_str());
        return 1;
    }
    const size_t count = static_cast<size_t>(args.number("--count", 100000));
    std::unordered_set<std::string> paths;
    for (size_t i = 0; i < result->files().size() && paths.size() < count; ++i)
        if (result->files()[i].parent && result->files()[i].parent->parent())
            paths.insert(result->files()[i].path);
    const size_t files = paths.size();
    for (const auto& child : result->root()->children())
        for (const auto& grandchild : child->children())
            paths.insert(grandchild->path());
    Stopwatch recheckClock;
    ScanResult::Recheck recheck = result->recheck({result->root()->name});
    const double recheckSeconds = recheckClock.seconds();
    Stopwatch clock;
    result->remove(paths, {});
    const double seconds = clock.seconds();
    std::printf("files=%zu folders=%zu seconds=%.3f recheck_seconds=%.3f recheck_gone=%zu peak_rss_mb=%.1f\n",
                files, paths.size() - files, seconds, recheckSeconds, recheck.gone.size(), peakRssMB());
    return 0;
}

#ifdef NIMBREL_BENCH_EXPLORER
int runExplorer(const Args& args) {
    return bench::runExplorer(args.path, args.number("--min-tracked", 1));
}
int runWindow(const Args& args) {
    return bench::runWindow(args.path, args.number("--twins", 0) != 0, args.number("--remove", 0),
                            args.number("--trace", 0) != 0);
}
#endif

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"scan",
     "scan PATH [--min-tracked BYTES] [--threads N] [--check 1]\n"
     "                                     scan a folder into a result (--threads 1: sequential walk;\n"
     "                                     --check 1: compare with the other walker's result)",
     runScan},
    {"usage", "usage PATH                         measure a path without building a tree", runUsage},
    {"prune",
     "prune PATH [--count N] [--min-tracked BYTES]\n"
     "                                     scan, then prune N listed files and the folders two levels down",
     runPrune},
    {"twins",
     "twins PATH [--min-size BYTES] [--min-tracked BYTES] [--threads N] [--list FILE]\n"
     "                                     scan, then find twins among the listed files",
     runTwins},
#ifdef NIMBREL_BENCH_FILES
    {"files", "files PATH                         time the Files lists over every file of PATH",
     [](const Args& args) { return nimbrel::bench::runFiles(args.path); }},
#endif
#ifdef NIMBREL_BENCH_EXPLORER
    {"explorer",
     "explorer PATH [--min-tracked BYTES]\n"
     "                                     open the largest folder in the explorer, type a search",
     runExplorer},
    {"window",
     "window PATH [--twins 1] [--remove N] [--trace 1]\n"
     "                                     scan, twins, removal in the main window; GUI-thread stalls",
     runWindow},
    {"evaporate",
     "evaporate ROWS [--visible V] [--reduce 1] [--trace 1] [--frames DIR]\n"
     "                                     ROWS of Biggest sent to the Trash (demo); frame costs",
     [](const Args& args) {
         return nimbrel::bench::runEvaporate(
             std::strtoll(args.path.c_str(), nullptr, 10), int(args.number("--visible", 8)),
             args.number("--reduce", 0) != 0, args.number("--trace", 0) != 0,
             args.has("--frames") ? args.options.at("--frames") : std::string());
     }},
#endif
};

int printUsage() {
    std::fprintf(stderr, "usage: nimbrel-bench COMMAND PATH [options]\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  %s\n", c.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return printUsage();
    Args args;
    args.path = argv[2];
    for (int i = 3; i < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0 || i + 1 >= argc) return printUsage();
        args.options[argv[i]] = argv[i + 1];
    }
    for (const Command& c : kCommands)
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(args);
    return printUsage();
}
