#include "engine/disk_scanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "engine/entry_identity.h"
#include "engine/host_layout.h"
#include "engine/inode_key.h"
#include "engine/parallel_tree_walker.h"
#include "engine/risk_catalog.h"
#include "engine/trash_contents.h"
#include "engine/tree_build.h"
#include "engine/tree_walker.h"

namespace nimbrel {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = WalkEntry::Kind;

constexpr std::int64_t kPollEvery = 1024;
constexpr auto kReportInterval = std::chrono::milliseconds(100);
constexpr std::size_t kMaxSamples = 200;
constexpr std::size_t kMaxExtension = 15;

struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
using PathSet = std::unordered_set<std::string, PathHash, std::equal_to<>>;

std::chrono::system_clock::time_point toTimePoint(const timespec& ts) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

std::int64_t nanoseconds(const timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool isHidden(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

// The category of a file by its name: the bytes after the last "." (none for a hidden name, an
// empty tail or a tail over 15 bytes), ASCII lower-cased. Non-ASCII bytes match no extension.
FileCategory categoryOfFile(std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return FileCategory::other;
    std::size_t length = name.size() - dot - 1;
    if (length == 0 || length > kMaxExtension) return FileCategory::other;
    char ext[kMaxExtension];
    for (std::size_t i = 0; i < length; ++i) {
        char c = name[dot + 1 + i];
        ext[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return FileCategory::classify(std::string_view(ext, length));
}

// The one package folder being counted as a file.
struct PackageAccumulator {
    std::string path;
    std::string name;
    int level = 0;
    std::chrono::system_clock::time_point modified;
    std::chrono::system_clock::time_point accessed;
    FileCategory category = FileCategory::other;
    std::uint64_t inode = 0;  // of the package folder: a removal judges it as a folder
    std::int64_t size = 0;
    std::int64_t logicalSize = 0;
    std::int64_t count = 0;
};

// One scan's walk state and its handling of each walk entry.
class Scan {
  public:
    Scan(const ScanOptions& options, std::int64_t firstID, const CancelToken& token,
         const DiskScanner::ProgressCallback& progress, std::unordered_set<InodeKey> trashIDs,
         bool rootInTrash)
        : options_(options),
          trashIDs_(std::move(trashIDs)),
          rootInTrash_(rootInTrash),
          minTracked_(std::max<std::int64_t>(1, options.minTrackedSize)),
          token_(token),
          progress_(progress),
          nextID_(firstID) {
        for (const std::string& p : options.excludedPaths)
            skips_.insert(DiskScanner::normalize(p));
        for (const std::string& p : DiskScanner::systemSkips())
            skips_.insert(p);
    }

    // The folders the walk knew as Trash folders by their identity.
    const std::vector<DirNode*>& trashNodes() const { return trashNodes_; }

    std::shared_ptr<ScanResult> run(const std::string& root, int threads) {
        const Clock::time_point start = Clock::now();
        lastReport_ = start;
        if (threads == 1) {
            TreeWalker walker(root, /*followRoot=*/true);
            return walk(walker, start);
        }
        // The workers leave alone what enterFolder() is sure to skip.
        ParallelTreeWalker walker(root, /*followRoot=*/true, threads,
                                  [this](std::string_view path, std::string_view name, int level) {
                                      return level > 0 && (skips_.find(path) != skips_.end() ||
                                                           (options_.skipHidden && isHidden(name)));
                                  });
        return walk(walker, start);
    }

  private:
    template <typename Walker>
    std::shared_ptr<ScanResult> walk(Walker& walker, Clock::time_point start) {
        while (const WalkEntry* e = walker.read()) {
            if (++entries_ % kPollEvery == 0) {
                if (token_.isCancelled()) return nullptr;
                if (Clock::now() - lastReport_ >= kReportInterval) {
                    currentPath_ = e->path;
                    if (discovered_.hasOpen() && stack_.size() >= 2)
                        discovered_.open().size = stack_[1]->size();
                    report();
                }
            }
            switch (e->kind) {
                case Kind::directory:
                    if (!enterFolder(*e)) walker.skip();
                    break;
                case Kind::directoryUnreadable:
                    noteUnreadable(*e);
                    leaveFolder(*e);
                    break;
                case Kind::directoryPost:
                    leaveFolder(*e);
                    break;
                case Kind::file:
                    countFile(*e);
                    break;
                case Kind::noStat:
                    noteUnreadable(*e);
                    break;
                case Kind::symlink:
                case Kind::cycle:
                case Kind::other:
                    break;
            }
        }
        if (token_.isCancelled() || !rootNode_) return nullptr;

        TreeBuild::sortRecursively(*rootNode_);
        auto bySize = [](const auto& a, const auto& b) { return a.size > b.size; };
        std::stable_sort(artifacts_.begin(), artifacts_.end(), bySize);

        auto result = std::make_shared<ScanResult>();
        TreeBuild::setRoot(*result, rootNode_);
        TreeBuild::listTree(*result);
        for (FileCategory c : FileCategory::allCases())
            if (seen_[c]) TreeBuild::categoryTotals(*result).emplace(c, totals_[c]);
        TreeBuild::artifacts(*result) = std::move(artifacts_);
        ScanCounts& counts = TreeBuild::counts(*result);
        counts.totalFiles = filesScanned_;
        counts.totalDirs = totalDirs_;
        counts.unreadableCount = unreadableCount_;
        counts.unreadableSamples = std::move(samples_);
        counts.duration = std::chrono::duration<double>(Clock::now() - start).count();
        counts.date = std::chrono::system_clock::now();
        counts.lastID = nextID_;
        return result;
    }

    void report() {
        if (progress_)
            progress_(ScanProgress{filesScanned_, bytesScanned_, currentPath_, discovered_.snapshot()});
        lastReport_ = Clock::now();
    }

    void addToCategory(FileCategory c, std::int64_t size) {
        seen_[c] = true;
        totals_[c].size += size;
        totals_[c].count += 1;
    }

    // The name is the path's last component and shares its bytes.
    FileItem makeItem(std::string_view path, std::int64_t size, std::int64_t logicalSize,
                      std::chrono::system_clock::time_point modified,
                      std::chrono::system_clock::time_point accessed, FileCategory category, bool isPackage,
                      DirNode* parent, std::uint64_t inode, std::int64_t changedNs) {
        SharedString shared(path, paths_);
        SharedString name = shared.lastComponent();
        return FileItem{.id = nextID_++,
                        .path = std::move(shared),
                        .name = std::move(name),
                        .size = size,
                        .logicalSize = logicalSize,
                        .modified = modified,
                        .accessed = accessed,
                        .category = category,
                        .isPackage = isPackage,
                        .parent = parent,
                        .inode = inode,
                        .changedNs = changedNs};
    }

    // The number of a listed file's device; the last one is kept, since a tree lies on few devices.
    std::uint16_t deviceNumber(std::uint64_t device) {
        if (device != lastDevice_ || lastDeviceNumber_ == 0) {
            lastDevice_ = device;
            lastDeviceNumber_ = DeviceNumbers::number(device);
        }
        return lastDeviceNumber_;
    }

    void noteUnreadable(const WalkEntry& e) {
        ++unreadableCount_;
        if (samples_.size() < kMaxSamples) samples_.emplace_back(e.path);
    }

    // First visit of a folder. Returns false when the walk must not enter it.
    bool enterFolder(const WalkEntry& e) {
        if (package_) return true;  // its files are counted as they come
        if (e.level == 0) {
            ++totalDirs_;
            rootNode_ = std::make_shared<DirNode>(std::string(e.path), nullptr);
            TreeBuild::setIdentity(*rootNode_, e.device, e.inode);
            if (rootInTrash_) trashNodes_.push_back(rootNode_.get());
            stack_.push_back(rootNode_.get());
            depths_.push_back(0);
            return true;
        }
        if (skips_.find(e.path) != skips_.end()) return false;
        if (options_.skipHidden && isHidden(e.name)) return false;
        ++totalDirs_;

        if (options_.treatPackagesAsFiles) {
            const std::string ext = asciiLower(pathExtension(e.name));
            if (!ext.empty() && FileCategory::packageExtensions().count(ext)) {
                if (e.level == 1) {
                    discovered_.append(DiscoveredEntry{std::string(e.path), std::string(e.name), 0, false,
                                                       std::nullopt, true,
                                                       EntryIdentity::folder(e.device, e.inode)});
                    report();
                }
                package_ = PackageAccumulator{
                    std::string(e.path),     std::string(e.name),         e.level, toTimePoint(e.modified),
                    toTimePoint(e.accessed), FileCategory::classify(ext), e.inode};
                return true;
            }
        }

        DirNode* parent = stack_.back();
        std::shared_ptr<DirNode> node = TreeBuild::addFolder(*parent, std::string(e.name));
        TreeBuild::setIdentity(*node, e.device, e.inode);
        stack_.push_back(node.get());
        depths_.push_back(e.level);
        if (!trashIDs_.empty() && trashIDs_.count(InodeKey{e.device, e.inode}))
            trashNodes_.push_back(node.get());
        if (artifactLevel_ < 0) {
            TreeBuild::markArtifact(*node, DevArtifactRule::match(node->name, std::string(e.path)));
            if (node->artifactKind()) artifactLevel_ = e.level;
        }
        if (e.level == 1) {
            discovered_.append(DiscoveredEntry{std::string(e.path), node->name, 0, true, node->artifactKind(),
                                               true, EntryIdentity::folder(e.device, e.inode)});
            report();
        }
        return true;
    }

    // Last visit of a folder (also of one that was skipped or could not be read).
    void leaveFolder(const WalkEntry& e) {
        if (package_) {
            if (package_->level == e.level) closePackage();
            return;
        }
        if (depths_.empty() || depths_.back() != e.level) return;  // skipped: nothing was opened
        DirNode* node = stack_.back();
        stack_.pop_back();
        depths_.pop_back();
        // The lists are complete: the room they grew into would stay unused for the result's life.
        TreeBuild::close(*node);
        if (e.level == 1 && discovered_.hasOpen()) discovered_.settleOpen(node->size());
        if (!stack_.empty()) {
            TreeBuild::count(*stack_.back(), node->size(), node->fileCount());
        }
        if (artifactLevel_ == e.level) {
            if (node->artifactKind())
                artifacts_.push_back(DevArtifact{node->path(), *node->artifactKind(), node->size(),
                                                 node->fileCount(), node->device(), node->inode()});
            artifactLevel_ = -1;
        }
    }

    void closePackage() {
        PackageAccumulator p = std::move(*package_);
        package_.reset();
        if (p.level == 1 && discovered_.hasOpen()) discovered_.settleOpen(p.size);
        if (stack_.empty()) return;
        DirNode* parent = stack_.back();
        TreeBuild::count(*parent, p.size, p.count);
        addToCategory(p.category, p.size);
        if (p.size < minTracked_) {
            TreeBuild::addSmallFiles(*parent, p.size);
            return;
        }
        FileItem item = makeItem(p.path, p.size, p.logicalSize, p.modified, p.accessed, p.category, true,
                                 parent, p.inode, 0);
        item.deviceNumber = deviceNumber(parent->device());
        item.fileCount = static_cast<std::int32_t>(
            std::min<std::int64_t>(p.count, std::numeric_limits<std::int32_t>::max()));
        TreeBuild::addFile(*parent, std::move(item));
    }

    void countFile(const WalkEntry& e) {
        if (!package_) {
            if (stack_.empty()) return;  // the root itself is a file
            // Before the hard-link test, so a file reached first through a hidden name still counts
            // under its visible one.
            if (options_.skipHidden && isHidden(e.name)) return;
        }
        if (e.links > 1 && !linked_.insert(InodeKey{e.device, e.inode}).second) return;
        const std::int64_t size = e.blocks * 512;
        ++filesScanned_;
        bytesScanned_ += size;
        if (package_) {
            package_->size += size;
            package_->logicalSize += e.size;
            package_->count += 1;
            return;
        }

        const FileCategory category = categoryOfFile(e.name);
        addToCategory(category, size);
        DirNode* parent = stack_.back();
        TreeBuild::count(*parent, size, 1);
        if (size < minTracked_) {
            TreeBuild::addSmallFiles(*parent, size);
            return;
        }
        FileItem item = makeItem(e.path, size, e.size, toTimePoint(e.modified), toTimePoint(e.accessed),
                                 category, false, parent, e.inode, nanoseconds(e.changed));
        item.deviceNumber = deviceNumber(e.device);
        if (e.level == 1) {
            discovered_.append(DiscoveredEntry{item.path.str(), item.name.str(), size, false, std::nullopt,
                                               false, EntryIdentity::scanned(item)});
            report();
        }
        TreeBuild::addFile(*parent, std::move(item));
    }

    std::uint64_t lastDevice_ = 0;
    std::uint16_t lastDeviceNumber_ = 0;
    const ScanOptions& options_;
    const std::unordered_set<InodeKey> trashIDs_;
    const bool rootInTrash_;
    std::vector<DirNode*> trashNodes_;
    const std::int64_t minTracked_;
    const CancelToken& token_;
    const DiskScanner::ProgressCallback& progress_;
    PathSet skips_;

    // The listed files' paths: at a million, the allocator's overhead on each would add up.
    SharedString::Arena paths_;
    std::shared_ptr<DirNode> rootNode_;
    std::vector<DirNode*> stack_;
    std::vector<int> depths_;
    std::optional<PackageAccumulator> package_;
    int artifactLevel_ = -1;  // depth of the build product the walk is inside, or -1
    DiscoveredListBuilder discovered_;
    std::unordered_set<InodeKey> linked_;

    std::int64_t filesScanned_ = 0;
    std::int64_t bytesScanned_ = 0;
    std::int64_t totalDirs_ = 0;
    std::int64_t unreadableCount_ = 0;
    std::vector<std::string> samples_;
    std::array<CategoryTotal, FileCategory::count> totals_{};
    std::array<bool, FileCategory::count> seen_{};
    std::vector<DevArtifact> artifacts_;
    std::int64_t nextID_;
    std::int64_t entries_ = 0;
    std::string currentPath_;
    Clock::time_point lastReport_;
};

}  // namespace

std::string DiskScanner::normalize(const std::string& path) {
    return normalizePath(path, HostLayout::current().home);
}

const std::unordered_set<std::string>& DiskScanner::systemSkips() {
    return HostLayout::current().systemSkips;
}

std::shared_ptr<ScanResult> DiskScanner::scan(const std::string& root, const ScanOptions& options,
                                              std::int64_t firstID, const CancelToken& token,
                                              const ProgressCallback& progress) {
    return scanWith(root, options, firstID, token, progress, 0);
}

std::shared_ptr<ScanResult> DiskScanner::scanWith(const std::string& root, const ScanOptions& options,
                                                  std::int64_t firstID, const CancelToken& token,
                                                  const ProgressCallback& progress, int threads) {
    if (threads <= 0) threads = defaultWalkThreads();
    RiskCatalog::forgetGitVerdicts();
    const HostLayout& layout = HostLayout::current();
    const std::string start = normalize(root);
    // A Trash is known by what it is on disk, not by how the path to it is spelled: through a
    // bind mount or a linked root it has another name.
    std::unordered_set<InodeKey> trashIDs =
        options.mountTops ? trashIdentities(layout, *options.mountTops) : trashIdentities(layout);
    const bool rootInTrash = isInTrashOnDisk(start, layout, trashIDs);
    Scan scan(options, firstID, token, progress, std::move(trashIDs), rootInTrash);
    std::shared_ptr<ScanResult> result = scan.run(start, threads);
    if (result) leaveOutTrashContents(*result, layout, scan.trashNodes());
    return result;
}

int DiskScanner::defaultWalkThreads() {
    // Reading folders waits on the disk more than on the processor: on a cold cache more requests
    // in flight than cores still pay.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores, 2, 8);
}

}  // namespace nimbrel
