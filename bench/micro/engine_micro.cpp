// nimbrel-micro: the engine's small, hot operations in isolation, with Google Benchmark.
//
//   build/bench/nimbrel-micro [--benchmark_filter=REGEX]
//
// Per-path work (normalising, judging risk, the guard) runs for every row a view shows and every
// item a removal checks; the scan of a small generated tree shows the walk's fixed costs.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace {

using namespace nimbrel;

// A mix of what the app meets: tidy absolute paths, paths typed by the user, build outputs, system
// folders and the home folder's own folders.
const std::vector<std::string>& samplePaths() {
    static const std::vector<std::string> paths = {
        "/home/user/Documents/report.pdf",
        "~/Projects/app/node_modules/left-pad/index.js",
        "/home/user//Projects/./app/../app/target/debug/app",
        "/usr/lib/x86_64-linux-gnu/libc.so.6",
        "/etc/passwd",
        "~/.ssh/id_ed25519",
        "/home/user/.cache/pip/http/a/b/c/d/e/0123456789abcdef",
        "/home/user/Downloads/video of the summer holiday.mkv",
        "/var/lib/apt/lists/",
        "/home/user",
        "/",
        "/home/user/Pictures/2024/../2023/./IMG_0001.HEIC",
    };
    return paths;
}

void BM_NormalizePath(benchmark::State& state) {
    const auto& paths = samplePaths();
    for (auto _ : state) {
        for (const std::string& path : paths)
            benchmark::DoNotOptimize(DiskScanner::normalize(path));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}
BENCHMARK(BM_NormalizePath);

void BM_RiskAssess(benchmark::State& state) {
    const HostLayout& layout = HostLayout::current();
    std::vector<std::string> paths;
    for (const std::string& path : samplePaths())
        paths.push_back(DiskScanner::normalize(path));
    for (auto _ : state) {
        for (const std::string& path : paths) {
            benchmark::DoNotOptimize(RiskCatalog::assess(path, false, false, int64_t{4096}, layout));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}
BENCHMARK(BM_RiskAssess);

void BM_GuardCheck(benchmark::State& state) {
    const HostLayout& layout = HostLayout::current();
    std::vector<std::string> paths;
    for (const std::string& path : samplePaths())
        paths.push_back(DiskScanner::normalize(path));
    for (auto _ : state) {
        for (const std::string& path : paths)
            benchmark::DoNotOptimize(SafetyGuard::isProtected(path, layout));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}
BENCHMARK(BM_GuardCheck);

// A tree of `folders` folders, three levels deep, each holding `filesPerFolder` small files (a few
// of them above the scan's tracking size would need real data; sizes here come from ftruncate, so
// the files are sparse and the tree costs no disk).
class SmallTree {
  public:
    SmallTree(int folders, int filesPerFolder) {
        char pattern[] = "/tmp/nimbrel-micro-XXXXXX";
        if (char* made = mkdtemp(pattern)) root_ = made;
        if (root_.empty()) return;
        for (int d = 0; d < folders; ++d) {
            std::string folder = root_ + "/a" + std::to_string(d % 4) + "/b" + std::to_string(d % 16) + "/c" +
                                 std::to_string(d);
            std::filesystem::create_directories(folder);
            for (int f = 0; f < filesPerFolder; ++f) {
                std::string file = folder + "/file" + std::to_string(f) + (f % 3 ? ".txt" : ".jpg");
                int fd = open(file.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
                if (fd < 0) continue;
                if (ftruncate(fd, f % 10 == 0 ? 2'000'000 : 1000 + f) != 0) std::perror("ftruncate");
                close(fd);
            }
        }
    }
    ~SmallTree() {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    SmallTree(const SmallTree&) = delete;
    SmallTree& operator=(const SmallTree&) = delete;

    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

void BM_ScanSmallTree(benchmark::State& state) {
    SmallTree tree(static_cast<int>(state.range(0)), 20);
    if (tree.root().empty()) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    const ScanOptions options;
    const CancelToken token;
    int64_t files = 0;
    for (auto _ : state) {
        auto result = DiskScanner::scan(tree.root(), options, 1, token, [](const ScanProgress&) {});
        if (!result) {
            state.SkipWithError("the scan returned nothing");
            return;
        }
        files = result->totalFiles();
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * files);
    state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_ScanSmallTree)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
