// nimbrel-bench: runs the engine on a real folder and prints one line of key=value pairs, for
// measuring speed and memory side by side with other tools.
//
//   nimbrel-bench scan PATH [--min-tracked BYTES]
//   nimbrel-bench usage PATH
//   nimbrel-bench twins PATH [--min-size BYTES] [--min-tracked BYTES] [--threads N] [--list FILE]
//   nimbrel-bench files PATH
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

#include "engine/engine.h"

namespace nimbrel::bench {
int runFiles(const std::string& path);  // nimbrel_bench_files.cpp
}

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

int runScan(const Args& args) {
    CancelToken token;
    Stopwatch clock;
    auto result = DiskScanner::scan(args.path, scanOptions(args), 1, token, nullptr);
    const double seconds = clock.seconds();
    if (!result) {
        std::fprintf(stderr, "Couldn't scan %s.\n", args.path.c_str());
        return 1;
    }
    std::printf(
        "files=%lld dirs=%lld bytes=%lld unreadable=%lld artifacts=%zu listed=%zu seconds=%.3f "
        "peak_rss_mb=%.1f\n",
        static_cast<long long>(result->totalFiles), static_cast<long long>(result->totalDirs),
        static_cast<long long>(result->root->size), static_cast<long long>(result->unreadableCount),
        result->artifacts.size(), result->files.size(), seconds, peakRssMB());
    return 0;
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
    std::vector<FileItem> candidates;
    for (const FileItem& f : result->files) {
        if (!f.isPackage && f.size >= minSize && f.logicalSize > 0) candidates.push_back(f);
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

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"scan", "scan PATH [--min-tracked BYTES]   scan a folder into a result", runScan},
    {"usage", "usage PATH                         measure a path without building a tree", runUsage},
    {"twins",
     "twins PATH [--min-size BYTES] [--min-tracked BYTES] [--threads N] [--list FILE]\n"
     "                                     scan, then find twins among the listed files",
     runTwins},
    {"files", "files PATH                         time the Files lists over every file of PATH",
     [](const Args& args) { return nimbrel::bench::runFiles(args.path); }},
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
    for (int i = 3; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) != 0 || i + 1 >= argc) return printUsage();
        args.options[argv[i]] = argv[i + 1];
        ++i;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(c.name, argv[1]) == 0) return c.run(args);
    return printUsage();
}
