#include "engine/scan_prune.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "engine/node_finder.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"

namespace nimbrel {

namespace {

void lower(std::int64_t& value, std::int64_t by) {
    value = std::max<std::int64_t>(0, value - by);
}

void charge(std::map<FileCategory, CategoryTotal>& lost, FileCategory category, std::int64_t size) {
    CategoryTotal& total = lost[category];
    total.size += size;
    total.count += 1;
}

}  // namespace

std::map<FileCategory, CategoryTotal> ScanPrune::unlistedShares(
    const ScanResult& result, const std::map<FileCategory, CategoryTotal>& alreadyLost,
    const std::unordered_set<std::int64_t>& gone, std::int64_t size, std::int64_t count) {
    std::map<FileCategory, CategoryTotal> shares;
    if (size <= 0 && count <= 0) return shares;
    // What each category holds unlisted: its total, less what it already loses, less its listed
    // files that stay.
    std::map<FileCategory, CategoryTotal> unlisted = result.categoryTotals();
    for (const auto& [category, lost] : alreadyLost) {
        auto it = unlisted.find(category);
        if (it == unlisted.end()) continue;
        lower(it->second.size, lost.size);
        lower(it->second.count, lost.count);
    }
    for (const FileItem& item : result.files()) {
        if (gone.count(item.id)) continue;
        auto it = unlisted.find(item.category);
        if (it == unlisted.end()) continue;
        lower(it->second.size, item.size);
        lower(it->second.count, std::max<std::int64_t>(1, item.fileCount));
    }
    auto share = [&](std::int64_t amount, std::int64_t CategoryTotal::*field) {
        std::int64_t pool = 0;
        for (const auto& [category, total] : unlisted)
            pool += total.*field;
        amount = std::min(amount, pool);
        if (amount <= 0) return;
        std::int64_t left = amount;
        for (auto& [category, total] : unlisted) {
            // In floating point: sizes of whole disks times each other overflow 64 bits.
            const auto part = std::int64_t(static_cast<long double>(amount) * (total.*field) / pool);
            shares[category].*field += part;
            total.*field -= part;
            left -= part;
        }
        // What rounding left over goes to the categories that still hold some, largest first.
        while (left > 0) {
            auto largest = std::max_element(
                unlisted.begin(), unlisted.end(),
                [&](const auto& a, const auto& b) { return a.second.*field < b.second.*field; });
            if (largest == unlisted.end() || largest->second.*field <= 0) break;
            const std::int64_t part = std::min(left, largest->second.*field);
            shares[largest->first].*field += part;
            largest->second.*field -= part;
            left -= part;
        }
    };
    share(size, &CategoryTotal::size);
    share(count, &CategoryTotal::count);
    return shares;
}

// The plan's working state, phase by phase.
struct ScanPrune::Planning {
    Planning(ScanPrune& prune, ScanResult& result, const std::unordered_set<std::string>& paths,
             const std::unordered_map<std::string, std::int64_t>& sizes)
        : prune(prune), result(result), paths(paths), sizes(sizes) {}

    ScanPrune& prune;
    ScanResult& result;
    const std::unordered_set<std::string>& paths;
    const std::unordered_map<std::string, std::int64_t>& sizes;
    NodeFinder<ScanResult> finder{result};
    std::unordered_set<std::int64_t> removedIDs;
    std::unordered_set<std::string_view> handled;
    std::vector<DirNode*> filesTouched;
    std::unordered_set<DirNode*> filesTouchedSet;
    std::unordered_map<const DirNode*, std::int64_t> trackedInside;
    std::unordered_map<const DirNode*, std::int64_t> listedInside;  // files the listed ones hold
    std::unordered_map<std::string_view, DirNode*> detachedPaths;
    // Loose bytes still counted per folder, as earlier paths of this plan leave them.
    std::unordered_map<const DirNode*, std::int64_t> smallLeft;

    // Listed files named by a path.
    void dropNamedFiles() {
        for (const FileItem& item : result.files()) {
            if (!paths.count(item.path)) continue;
            removedIDs.insert(item.id);
            handled.insert(item.path);
            if (DirNode* parent = item.parent) {
                if (filesTouchedSet.insert(parent).second) filesTouched.push_back(parent);
                prune.lowerings_.push_back({parent, item.size, std::max<std::int64_t>(1, item.fileCount)});
            }
            charge(prune.categories_, item.category, item.size);
        }
    }

    // Folders of the tree, and small files measured by the caller.
    void takeOutFolders() {
        for (const std::string& path : paths) {
            if (handled.count(path)) continue;
            DirNode* folder = finder.find(path);
            if (folder && folder->parent_) {
                finder.takeOut(folder);
                prune.detached_.push_back(folder);
                prune.lowerings_.push_back({folder->parent_, folder->size(), folder->fileCount()});
                trackedInside[folder] = 0;
                detachedPaths.emplace(path, folder);
                continue;
            }
            takeSmallFile(path);
        }
    }

    // A small file measured by the caller: never gives back more than the loose bytes its folder
    // still counts.
    void takeSmallFile(const std::string& path) {
        auto size = sizes.find(path);
        if (size == sizes.end() || size->second <= 0) return;
        DirNode* parent = finder.find(PathRules::parent(path));
        if (!parent) return;
        auto [left, fresh] = smallLeft.try_emplace(parent, parent->smallFilesSize());
        const std::int64_t counted = std::min(size->second, left->second);
        if (counted <= 0) return;
        lower(left->second, counted);
        prune.smallFiles_.emplace_back(parent, counted);
        prune.lowerings_.push_back({parent, counted, 1});
        charge(prune.categories_,
               FileCategory::classify(asciiLower(pathExtension(PathRules::lastComponent(path)))), counted);
    }

    // The nearest folder taken out at or above a listed file, or null.
    const DirNode* takenOutAbove(const FileItem& item) const {
        if (item.parent) {
            for (const DirNode* n = item.parent; n; n = n->parent())
                if (trackedInside.count(n)) return n;
            return nullptr;
        }
        for (std::size_t slash = item.path.rfind('/'); slash != std::string::npos && slash > 0;
             slash = item.path.rfind('/', slash - 1))
            if (auto d = detachedPaths.find(std::string_view(item.path).substr(0, slash));
                d != detachedPaths.end())
                return d->second;
        return nullptr;
    }

    // The listed files inside removed folders leave with them, each charged to the nearest removed
    // folder above it; what the folders held below the listing threshold went too.
    void dropFilesInsideFolders() {
        if (prune.detached_.empty()) return;
        for (const FileItem& item : result.files()) {
            if (removedIDs.count(item.id)) continue;
            const DirNode* owner = takenOutAbove(item);
            if (!owner) continue;
            removedIDs.insert(item.id);
            trackedInside[owner] += item.size;
            listedInside[owner] += std::max<std::int64_t>(1, item.fileCount);
            charge(prune.categories_, item.category, item.size);
        }
        std::int64_t unlistedSize = 0, unlistedCount = 0;
        for (const DirNode* folder : prune.detached_) {
            unlistedSize += std::max<std::int64_t>(0, folder->size() - trackedInside[folder]);
            unlistedCount += std::max<std::int64_t>(0, folder->fileCount() - listedInside[folder]);
        }
        for (const auto& [category, lost] :
             unlistedShares(result, prune.categories_, removedIDs, unlistedSize, unlistedCount)) {
            prune.categories_[category].size += lost.size;
            prune.categories_[category].count += lost.count;
        }
    }

    // Each folder that loses files and stays gets its files as they will be, in a block of its own.
    void cutFolderFiles() {
        for (DirNode* parent : filesTouched) {
            const FolderFiles& files = parent->files();
            FolderCut cut{parent, {}, {}};
            for (std::size_t i = 0; i < files.size(); ++i)
                if (removedIDs.count(files[i].id)) cut.drop.push_back(i);
            if (cut.drop.empty()) continue;
            cut.kept.reserve(files.size() - cut.drop.size());
            for (std::size_t i = 0, d = 0; i < files.size(); ++i) {
                if (d < cut.drop.size() && cut.drop[d] == i)
                    ++d;
                else
                    cut.kept.push_back(files[i]);
            }
            prune.folderCuts_.push_back(std::move(cut));
        }
    }

    // Positions in the flat list and in the build products.
    void dropPositions() {
        for (std::size_t i = 0; i < result.files().size(); ++i)
            if (removedIDs.count(result.files()[i].id)) prune.files_.push_back(i);
        for (std::size_t i = 0; i < result.artifacts().size(); ++i) {
            const std::string& path = result.artifacts()[i].path;
            bool gone = paths.count(path) > 0;
            for (std::size_t slash = path.find('/', 1); !gone && slash != std::string::npos;
                 slash = path.find('/', slash + 1))
                gone = paths.count(path.substr(0, slash)) > 0;
            if (gone) prune.artifacts_.push_back(i);
        }
    }

    // The flat list as it will be, worked out here rather than on the thread that applies the plan:
    // the kept blocks are made, so the items' new addresses are known now.
    void planFlatList() {
        prune.listed_ = result.files().references();
        ScanPrune::dropAt(prune.listed_, prune.files_);
        prune.closeUp(prune.listed_);
    }

    // Every folder is lowered once by what went below it, not once per file that went: the same
    // figures, since lowering stops at zero and nothing is lowered by less than nothing.
    void sumLowerings() {
        const bool nonNegative = std::all_of(prune.lowerings_.begin(), prune.lowerings_.end(),
                                             [](const Lowering& l) { return l.size >= 0 && l.files >= 0; });
        if (!nonNegative) return;
        std::unordered_map<DirNode*, std::size_t> at;
        for (const Lowering& l : prune.lowerings_)
            for (DirNode* n = l.from; n; n = n->parent_) {
                auto [it, fresh] = at.try_emplace(n, prune.summed_.size());
                if (fresh) prune.summed_.push_back({n, 0, 0});
                prune.summed_[it->second].size += l.size;
                prune.summed_[it->second].files += l.files;
            }
        prune.lowerings_.clear();
    }
};

ScanPrune ScanPrune::plan(ScanResult& result, const std::unordered_set<std::string>& paths,
                          const std::unordered_map<std::string, std::int64_t>& sizes) {
    ScanPrune prune;
    prune.serial_ = result.serial_;
    prune.changes_ = result.changes_;
    if (paths.empty()) return prune;
    Planning planning(prune, result, paths, sizes);
    planning.dropNamedFiles();
    planning.takeOutFolders();
    planning.dropFilesInsideFolders();
    planning.cutFolderFiles();
    planning.dropPositions();
    planning.planFlatList();
    planning.sumLowerings();
    return prune;
}

void ScanPrune::closeUp(std::vector<const FileItem*>& listed) const {
    if (folderCuts_.empty()) return;
    // The folders' lists close up over what left them: what the flat list refers to there moves
    // down by the number of items dropped before it.
    std::unordered_map<const DirNode*, const FolderCut*> closing;
    for (const FolderCut& cut : folderCuts_)
        closing.emplace(cut.folder, &cut);
    for (const FileItem*& ref : listed) {
        auto it = closing.find(ref->parent);
        if (it == closing.end()) continue;
        const FolderFiles& files = it->first->files();
        const std::less<const FileItem*> before;
        if (before(ref, files.begin()) || !before(ref, files.end()))
            continue;  // an item the list keeps itself
        const auto at = static_cast<std::size_t>(ref - files.begin());
        const std::vector<std::size_t>& drop = it->second->drop;
        const auto dropped = std::lower_bound(drop.begin(), drop.end(), at) - drop.begin();
        ref = it->second->kept.data() + (at - static_cast<std::size_t>(dropped));
    }
}

}  // namespace nimbrel
