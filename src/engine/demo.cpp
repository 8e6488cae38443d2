#include "engine/demo.h"

#ifdef __APPLE__
#include <crt_externs.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "engine/localized.h"
#include "engine/risk_catalog.h"
#include "engine/tree_build.h"

namespace nimbrel {

namespace {

using Clock = std::chrono::system_clock;

constexpr int64_t kDay = 86400;
constexpr int64_t kPackageAge = 3 * kDay;
constexpr double kSampleDuration = 6.4;

std::vector<std::string> processArguments() {
#ifdef __APPLE__
    std::vector<std::string> args;
    for (int i = 0; i < *_NSGetArgc(); ++i)
        args.emplace_back((*_NSGetArgv())[i]);
    return args;
#else
    // The arguments as the kernel keeps them: NUL-separated, so any byte survives.
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        args.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return args;
#endif
}

// -1: not decided yet.
std::atomic<int> demoState{-1};

// Assembles the sample tree the way a scan would have: sizes and counts flow up to the root.
class Builder {
  public:
    explicit Builder(int64_t firstID) : nextID_(firstID), now_(Clock::now()) {}

    DirNode* dir(const std::string& name, DirNode* parent, const char* artifactKind) {
        std::shared_ptr<DirNode> node = TreeBuild::addFolder(*parent, name);
        if (artifactKind) TreeBuild::markArtifact(*node, localized(artifactKind));
        ++dirs_;
        return node.get();
    }

    void file(const std::string& name, int64_t size, DirNode* parent, int64_t ageSeconds,
              std::optional<FileCategory> packageCategory) {
        FileItem f;
        f.id = nextID_++;
        f.path = parent->path() + "/" + name;
        f.name = name;
        f.size = size;
        f.logicalSize = size;
        f.modified = now_ - std::chrono::seconds(ageSeconds);
        f.accessed = f.modified;
        f.category =
            packageCategory ? *packageCategory : FileCategory::classify(asciiLower(pathExtension(name)));
        f.isPackage = packageCategory.has_value();
        f.parent = parent;
        TreeBuild::addFile(*parent, f);
        TreeBuild::countUpwards(*parent, size, 1);
        auto& total = categories_[f.category];
        total.size += size;
        total.count += 1;
    }

    // Many small files that are not listed one by one.
    void filler(DirNode* node, int64_t bytes, int64_t files) {
        TreeBuild::addSmallFiles(*node, bytes);
        TreeBuild::countUpwards(*node, bytes, files);
        for (FileCategory c : {FileCategory::other, FileCategory::code, FileCategory::developer}) {
            auto& total = categories_[c];
            total.size += bytes / 3;
            total.count += files / 3;
        }
        if (node->artifactKind()) artifacts_.push_back({node->path(), *node->artifactKind(), bytes, files});
    }

    std::shared_ptr<ScanResult> finish(std::shared_ptr<DirNode> root) {
        TreeBuild::sortRecursively(*root);
        auto bySize = [](const auto& a, const auto& b) { return a.size > b.size; };
        std::stable_sort(artifacts_.begin(), artifacts_.end(), bySize);
        auto result = std::make_shared<ScanResult>();
        ScanCounts& counts = TreeBuild::counts(*result);
        counts.totalFiles = root->fileCount();
        TreeBuild::setRoot(*result, std::move(root));
        TreeBuild::listTree(*result);
        TreeBuild::categoryTotals(*result) = std::move(categories_);
        TreeBuild::artifacts(*result) = std::move(artifacts_);
        counts.totalDirs = dirs_;
        counts.duration = kSampleDuration;
        counts.date = Clock::now();
        counts.lastID = nextID_;
        return result;
    }

  private:
    int64_t nextID_;
    Clock::time_point now_;
    std::map<FileCategory, CategoryTotal> categories_;
    std::vector<DevArtifact> artifacts_;
    int64_t dirs_ = 1;  // the root
};

enum class Op { folder, file, filler, package };

struct Step {
    Op op;
    const char* path;  // relative to the sample home
    int64_t bytes = 0;
    int64_t ageDaysOrFiles = 0;
    const char* artifactKind = nullptr;           // folders that are build products
    FileCategory category = FileCategory::other;  // packages
};

// clang-format off
const Step kSteps[] = {
    {Op::folder, "Movies"},
    {Op::file, "Movies/Iceland Trip 4K.mov", 18400000000, 420},
    {Op::folder, "Movies/Drone Footage"},
    {Op::file, "Movies/Drone Footage/DJI_0412.MP4", 6210000000, 300},
    {Op::file, "Movies/Drone Footage/DJI_0418.MP4", 4820000000, 300},
    {Op::file, "Movies/Drone Footage/DJI_0420.MP4", 3090000000, 290},
    {Op::folder, "Movies/Screen Recordings"},
    {Op::file, "Movies/Screen Recordings/Product Demo v3.mov", 940000000, 40},
    {Op::file, "Movies/Screen Recordings/Bug Repro.mov", 610000000, 12},
    {Op::folder, "Movies/Exports"},
    {Op::file, "Movies/Exports/Client Cut v7 FINAL.mov", 2860000000, 540},
    {Op::filler, "Movies", 1200000000, 340},
    {Op::folder, "Projects"},
    {Op::folder, "Projects/atlas-web"},
    {Op::folder, "Projects/atlas-web/node_modules", 0, 0, "Node.js dependencies"},
    {Op::filler, "Projects/atlas-web/node_modules", 1940000000, 48200},
    {Op::folder, "Projects/atlas-web/.next", 0, 0, "Next.js build"},
    {Op::filler, "Projects/atlas-web/.next", 620000000, 3100},
    {Op::folder, "Projects/atlas-web/src"},
    {Op::filler, "Projects/atlas-web/src", 38000000, 412},
    {Op::folder, "Projects/atlas-web/public"},
    {Op::file, "Projects/atlas-web/public/hero-loop.mp4", 140000000, 30},
    {Op::folder, "Projects/orbit-ios"},
    {Op::folder, "Projects/orbit-ios/.build", 0, 0, "Swift build"},
    {Op::filler, "Projects/orbit-ios/.build", 2410000000, 9020},
    {Op::folder, "Projects/orbit-ios/Sources"},
    {Op::filler, "Projects/orbit-ios/Sources", 22000000, 260},
    {Op::folder, "Projects/orbit-ios/Assets.xcassets"},
    {Op::filler, "Projects/orbit-ios/Assets.xcassets", 180000000, 96},
    {Op::folder, "Projects/nimbus-api"},
    {Op::folder, "Projects/nimbus-api/.venv", 0, 0, "Python virtualenv"},
    {Op::filler, "Projects/nimbus-api/.venv", 840000000, 21300},
    {Op::folder, "Projects/nimbus-api/data"},
    {Op::file, "Projects/nimbus-api/data/fixtures.sqlite", 1210000000, 200},
    {Op::filler, "Projects/nimbus-api", 14000000, 120},
    {Op::folder, "Projects/pixel-quest"},
    {Op::folder, "Projects/pixel-quest/target", 0, 0, "Rust build"},
    {Op::filler, "Projects/pixel-quest/target", 3620000000, 14100},
    {Op::folder, "Projects/pixel-quest/assets"},
    {Op::filler, "Projects/pixel-quest/assets", 450000000, 1800},
    {Op::folder, "Projects/brand-kit"},
    {Op::file, "Projects/brand-kit/Logo Source.psd", 1380000000, 500},
    {Op::file, "Projects/brand-kit/Brand Guidelines.pdf", 86000000, 90},
    {Op::folder, "Downloads"},
    {Op::file, "Downloads/Xcode_16.xip", 7940000000, 210},
    {Op::file, "Downloads/ubuntu-24.04-desktop.iso", 6110000000, 380},
    {Op::file, "Downloads/Old Backup.zip", 4420000000, 700},
    {Op::file, "Downloads/Figma.dmg", 420000000, 60},
    {Op::file, "Downloads/Blender-4.2.dmg", 380000000, 150},
    {Op::file, "Downloads/Unity Hub Installer.dmg", 1140000000, 480},
    {Op::filler, "Downloads", 310000000, 260},
    {Op::folder, "Pictures"},
    {Op::package, "Pictures/Photos Library.photoslibrary", 34200000000, 0, nullptr, FileCategory::other},
    {Op::folder, "Pictures/Exports"},
    {Op::filler, "Pictures/Exports", 2440000000, 1210},
    {Op::folder, "Music"},
    {Op::folder, "Music/Logic Projects"},
    {Op::package, "Music/Logic Projects/Album Demo.logicx", 3810000000, 0, nullptr, FileCategory::audio},
    {Op::filler, "Music", 2100000000, 860},
    {Op::folder, "Documents"},
    {Op::package, "Documents/Thesis Draft.pages", 210000000, 0, nullptr, FileCategory::document},
    {Op::file, "Documents/vault.kdbx", 3000000, 2},
    {Op::file, "Documents/Conference Talk 2024.key", 1060000000, 610},
    {Op::folder, "Documents/Scans"},
    {Op::filler, "Documents/Scans", 640000000, 380},
    {Op::folder, "Documents/Taxes"},
    {Op::filler, "Documents/Taxes", 120000000, 96},
    {Op::folder, "Desktop"},
    {Op::file, "Desktop/Screen Recording 2026-09-14.mov", 1120000000, 25},
    {Op::filler, "Desktop", 420000000, 140},
    {Op::folder, "VirtualBox VMs"},
    {Op::folder, "VirtualBox VMs/Windows 11"},
    {Op::file, "VirtualBox VMs/Windows 11/Windows 11.vdi", 27900000000, 260},
    {Op::folder, "Creative Cloud Files"},
    {Op::filler, "Creative Cloud Files", 4120000000, 2300},
    {Op::folder, "Applications"},
    {Op::filler, "Applications", 2240000000, 9100},
    {Op::folder, "go"},
    {Op::filler, "go", 1090000000, 31000},
    {Op::folder, "Zotero"},
    {Op::filler, "Zotero", 610000000, 4400},
    {Op::folder, ".npm"},
    {Op::filler, ".npm", 2630000000, 61000},
    {Op::folder, ".cache"},
    {Op::filler, ".cache", 1840000000, 12800},
    {Op::folder, ".gradle", 0, 0, "Gradle cache"},
    {Op::filler, ".gradle", 3420000000, 40500},
    {Op::file, "Archive 2019.zip", 3210000000, 900},
    {Op::folder, "Library"},
    {Op::folder, "Library/Caches"},
    {Op::filler, "Library/Caches", 12640000000, 48210},
    {Op::folder, "Library/Application Support"},
    {Op::filler, "Library/Application Support", 18300000000, 120400},
    {Op::folder, "Library/Containers"},
    {Op::filler, "Library/Containers", 7200000000, 40100},
    {Op::folder, "Library/Developer"},
    {Op::filler, "Library/Developer", 15200000000, 66000},
};
// clang-format on

std::pair<std::string, std::string> splitParent(const std::string& relative) {
    size_t slash = relative.rfind('/');
    if (slash == std::string::npos) return {"", relative};
    return {relative.substr(0, slash), relative.substr(slash + 1)};
}

}  // namespace

bool Demo::hasDemoFlag(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "-demo") != arguments.end();
}

bool Demo::isOn() {
    int state = demoState.load();
    if (state < 0) {
        int decided = hasDemoFlag(processArguments()) ? 1 : 0;
        demoState.compare_exchange_strong(state, decided);
        return demoState.load() == 1;
    }
    return state == 1;
}

void Demo::setOnForTesting(bool on) {
    demoState.store(on ? 1 : 0);
}

const HostLayout& Demo::layout() {
    // The host's words would misname it: "Linux's own cache" for a folder of the Mac's Library.
    static const HostLayout sample = HostLayout::macOS(home);
    return sample;
}

std::vector<JunkLocation> Demo::junkLocations() {
    return JunkLocation::all(layout());
}

const VolumeInfo& Demo::volume() {
    static const VolumeInfo root{"/", "Macintosh HD", 994662584320, 131000000000, true, true, 863662584320};
    return root;
}

const std::unordered_map<std::string, DiskUsage>& Demo::measurements() {
    static const std::unordered_map<std::string, DiskUsage> values = [] {
        std::unordered_map<std::string, DiskUsage> m;
        const std::pair<const char*, std::pair<int64_t, int64_t>> rows[] = {
            {"caches", {12640000000, 48210}},   {"logs", {640000000, 1204}},
            {"derived", {9820000000, 61400}},   {"devicesupport", {4210000000, 3100}},
            {"simcaches", {1130000000, 2870}},  {"archives", {3310000000, 640}},
            {"pkgcaches", {5620000000, 88000}}, {"installers", {14820000000, 5}},
        };
        for (const auto& [id, figures] : rows)
            m[id] = DiskUsage{figures.first, figures.second, true, true};
        return m;
    }();
    return values;
}

DiskUsage Demo::trash() {
    return DiskUsage{2300000000, 412, true, true};
}

const std::vector<JunkEntry>& Demo::cacheContents() {
    static const std::vector<JunkEntry> entries = [] {
        const std::pair<const char*, int64_t> rows[] = {
            {"com.spotify.client", 3140000000},
            {"Google", 2410000000},
            {"com.microsoft.VSCode.ShipIt", 1620000000},
            {"pnpm", 1380000000},
            {"Homebrew", 1190000000},
            {"com.figma.Desktop", 910000000},
            {"org.swift.swiftpm", 760000000},
            {"com.tinyspeck.slackmacgap", 640000000},
            {"ms-playwright", 420000000},
            {"node-gyp", 170000000},
        };
        std::vector<JunkEntry> list;
        for (const auto& [name, size] : rows) {
            list.push_back({std::string(home) + "/Library/Caches/" + name, size, true});
        }
        return list;
    }();
    return entries;
}

std::shared_ptr<ScanResult> Demo::scanResult(int64_t firstID) {
    auto root = std::make_shared<DirNode>(home, nullptr);
    Builder b(firstID);
    std::unordered_map<std::string, DirNode*> folders{{"", root.get()}};
    for (const Step& step : kSteps) {
        auto [parentPath, name] = splitParent(step.path);
        DirNode* parent = folders.at(parentPath);
        switch (step.op) {
            case Op::folder:
                folders[step.path] = b.dir(name, parent, step.artifactKind);
                break;
            case Op::file:
                b.file(name, step.bytes, parent, step.ageDaysOrFiles * kDay, std::nullopt);
                break;
            case Op::package:
                b.file(name, step.bytes, parent, kPackageAge, step.category);
                break;
            case Op::filler:
                b.filler(folders.at(step.path), step.bytes, step.ageDaysOrFiles);
                break;
        }
    }
    return b.finish(std::move(root));
}

}  // namespace nimbrel
