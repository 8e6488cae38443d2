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

// Drops the elements at `drop` (ascending positions), keeping the order of the rest.
template <typename T>
void dropAt(std::vector<T>& items, const std::vector<std::size_t>& drop) {
    if (drop.empty()) return;
    std::size_t to = drop.front();
    std::size_t next = 0;
    for (std::size_t i = drop.front(); i < items.size(); ++i) {
        if (next < drop.size() && drop[next] == i) {
            ++next;
            continue;
        }
        items[to++] = std::move(items[i]);
    }
    items.resize(to);
}

}  // namespace

std::map<FileCategory, CategoryTotal> ScanPrune::unlistedShares(
    const ScanResult& result, const std::map<FileCategory, CategoryTotal>& alreadyLost,
    const std::unordered_set<std::int64_t>& gone, std::int64_t size, std::int64_t count) {
    std::map<FileCategory, CategoryTotal> shares;
    if (size <= 0 && count <= 0) return shares;
    // What each category holds unlisted: its total, less what it already loses, less its listed
    // files that stay.
    std::map<FileCategory, CategoryTotal> unlisted = result.categoryTotals;
    for (const auto& [category, lost] : alreadyLost) {
        auto it = unlisted.find(category);
        if (it == unlisted.end()) continue;
        lower(it->second.size, lost.size);
        lower(it->second.count, lost.count);
    }
    for (const FileItem& item : result.files) {
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

ScanPrune ScanPrune::plan(const ScanResult& result, const std::unordered_set<std::string>& paths,
                          const std::unordered_map<std::string, std::int64_t>& sizes) {
    ScanPrune prune;
    prune.result_ = &result;
    if (paths.empty()) return prune;
    std::unordered_set<std::int64_t> removedIDs;
    std::unordered_set<std::string_view> handled;
    std::vector<DirNode*> filesTouched;
    std::unordered_set<DirNode*> filesTouchedSet;

    // Listed files first.
    for (const FileItem& item : result.files) {
        if (!paths.count(item.path)) continue;
        removedIDs.insert(item.id);
        handled.insert(item.path);
        if (DirNode* parent = item.parent) {
            if (filesTouchedSet.insert(parent).second) filesTouched.push_back(parent);
            prune.lowerings_.push_back({parent, item.size, std::max<std::int64_t>(1, item.fileCount)});
        }
        charge(prune.categories_, item.category, item.size);
    }

    NodeFinder finder(result);
    std::unordered_map<const DirNode*, std::int64_t> trackedInside;
    std::unordered_map<const DirNode*, std::int64_t> listedInside;  // files the listed ones hold
    std::unordered_map<std::string_view, DirNode*> detachedPaths;
    // Loose bytes still counted per folder, as earlier paths of this plan leave them.
    std::unordered_map<const DirNode*, std::int64_t> smallLeft;
    for (const std::string& path : paths) {
        if (handled.count(path)) continue;
        DirNode* folder = finder.find(path);
        if (folder && folder->parent) {
            finder.takeOut(folder);
            prune.detached_.push_back(folder);
            prune.lowerings_.push_back({folder->parent, folder->size, folder->fileCount});
            trackedInside[folder] = 0;
            detachedPaths.emplace(path, folder);
            continue;
        }
        // A small file measured by the caller: never give back more than the loose bytes its folder
        // still counts.
        auto size = sizes.find(path);
        if (size == sizes.end() || size->second <= 0) continue;
        DirNode* parent = finder.find(PathRules::parent(path));
        if (!parent) continue;
        auto [left, fresh] = smallLeft.try_emplace(parent, parent->smallFilesSize);
        const std::int64_t counted = std::min(size->second, left->second);
        if (counted <= 0) continue;
        lower(left->second, counted);
        prune.smallFiles_.emplace_back(parent, counted);
        prune.lowerings_.push_back({parent, counted, 1});
        charge(prune.categories_,
               FileCategory::classify(asciiLower(pathExtension(PathRules::lastComponent(path)))), counted);
    }

    // The listed files inside removed folders leave with them, each charged to the nearest removed
    // folder above it.
    if (!prune.detached_.empty()) {
        for (const FileItem& item : result.files) {
            if (removedIDs.count(item.id)) continue;
            const DirNode* owner = nullptr;
            if (item.parent) {
                for (const DirNode* n = item.parent; n && !owner; n = n->parent)
                    if (trackedInside.count(n)) owner = n;
            } else {
                for (std::size_t slash = item.path.rfind('/');
                     slash != std::string::npos && slash > 0 && !owner;
                     slash = item.path.rfind('/', slash - 1))
                    if (auto d = detachedPaths.find(std::string_view(item.path).substr(0, slash));
                        d != detachedPaths.end())
                        owner = d->second;
            }
            if (!owner) continue;
            removedIDs.insert(item.id);
            trackedInside[owner] += item.size;
            listedInside[owner] += std::max<std::int64_t>(1, item.fileCount);
            charge(prune.categories_, item.category, item.size);
        }
        // What the folders held below the listing threshold went too.
        std::int64_t unlistedSize = 0, unlistedCount = 0;
        for (const DirNode* folder : prune.detached_) {
            unlistedSize += std::max<std::int64_t>(0, folder->size - trackedInside[folder]);
            unlistedCount += std::max<std::int64_t>(0, folder->fileCount - listedInside[folder]);
        }
        for (const auto& [category, lost] :
             unlistedShares(result, prune.categories_, removedIDs, unlistedSize, unlistedCount)) {
            prune.categories_[category].size += lost.size;
            prune.categories_[category].count += lost.count;
        }
    }

    for (DirNode* parent : filesTouched) {
        FolderFiles entry{parent, {}, {}};
        for (std::size_t i = 0; i < parent->files.size(); ++i)
            if (removedIDs.count(parent->files[i].id)) entry.drop.push_back(i);
        if (entry.drop.empty()) continue;
        entry.kept.reserve(parent->files.size() - entry.drop.size());
        for (std::size_t i = 0, d = 0; i < parent->files.size(); ++i) {
            if (d < entry.drop.size() && entry.drop[d] == i)
                ++d;
            else
                entry.kept.push_back(parent->files[i]);
        }
        prune.folderFiles_.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < result.files.size(); ++i)
        if (removedIDs.count(result.files[i].id)) prune.files_.push_back(i);
    for (std::size_t i = 0; i < result.artifacts.size(); ++i) {
        const std::string& path = result.artifacts[i].path;
        bool gone = paths.count(path) > 0;
        for (std::size_t slash = path.find('/', 1); !gone && slash != std::string::npos;
             slash = path.find('/', slash + 1))
            gone = paths.count(path.substr(0, slash)) > 0;
        if (gone) prune.artifacts_.push_back(i);
    }
    // The flat list as it will be, worked out here rather than on the thread that applies the plan:
    // the folders' lists close up in place, so their items' new addresses are known now.
    prune.listed_ = result.files.references();
    dropAt(prune.listed_, prune.files_);
    prune.closeUp(prune.listed_);
    prune.listedReady_ = true;
    // Every folder is lowered once by what went below it, not once per file that went: the same
    // figures, since lowering stops at zero and nothing is lowered by less than nothing.
    const bool nonNegative = std::all_of(prune.lowerings_.begin(), prune.lowerings_.end(),
                                         [](const Lowering& l) { return l.size >= 0 && l.files >= 0; });
    if (nonNegative) {
        std::unordered_map<DirNode*, std::size_t> at;
        for (const Lowering& l : prune.lowerings_)
            for (DirNode* n = l.from; n; n = n->parent) {
                auto [it, fresh] = at.try_emplace(n, prune.summed_.size());
                if (fresh) prune.summed_.push_back({n, 0, 0});
                prune.summed_[it->second].size += l.size;
                prune.summed_[it->second].files += l.files;
            }
        prune.lowerings_.clear();
    }
    return prune;
}

void ScanPrune::closeUp(std::vector<const FileItem*>& listed) const {
    if (folderFiles_.empty()) return;
    // The folders' lists close up over what left them: what the flat list refers to there moves
    // down by the number of items dropped before it.
    std::unordered_map<const DirNode*, const FolderFiles*> closing;
    for (const FolderFiles& entry : folderFiles_)
        closing.emplace(entry.folder, &entry);
    for (const FileItem*& ref : listed) {
        auto it = closing.find(ref->parent);
        if (it == closing.end()) continue;
        const std::vector<FileItem>& files = it->first->files;
        const std::less<const FileItem*> before;
        if (before(ref, files.data()) || !before(ref, files.data() + files.size()))
            continue;  // an item the list keeps itself
        const auto at = static_cast<std::size_t>(ref - files.data());
        const std::vector<std::size_t>& drop = it->second->drop;
        const auto dropped = std::lower_bound(drop.begin(), drop.end(), at) - drop.begin();
        ref = it->second->kept.data() + (at - static_cast<std::size_t>(dropped));
    }
}

std::vector<std::shared_ptr<DirNode>> ScanPrune::apply(ScanResult& result) {
    std::vector<std::shared_ptr<DirNode>> out;
    if (!isFor(result)) return out;
    for (const Lowering& l : lowerings_)
        for (DirNode* n = l.from; n; n = n->parent) {
            lower(n->size, l.size);
            lower(n->fileCount, l.files);
        }
    for (const Lowering& l : summed_) {
        lower(l.from->size, l.size);
        lower(l.from->fileCount, l.files);
    }
    for (const auto& [folder, bytes] : smallFiles_)
        lower(folder->smallFilesSize, bytes);
    for (const auto& [category, lost] : categories_) {
        auto it = result.categoryTotals.find(category);
        if (it == result.categoryTotals.end()) continue;  // never created by a removal
        lower(it->second.size, lost.size);
        lower(it->second.count, lost.count);
    }
    std::vector<DirNode*> parents;
    for (DirNode* folder : detached_) {
        parents.push_back(folder->parent);
        folder->parent = nullptr;  // lets holders of the folder see that it left the tree
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (DirNode* parent : parents) {
        auto& children = parent->children;
        auto kept = std::stable_partition(children.begin(), children.end(),
                                          [](const auto& child) { return child->parent != nullptr; });
        std::move(kept, children.end(), std::back_inserter(out));
        children.erase(kept, children.end());
    }
    std::vector<const FileItem*>& listed = result.files.references();
    if (listedReady_) {
        listed.swap(listed_);  // the old list leaves with the plan
        listedReady_ = false;
    } else {
        dropAt(listed, files_);
        closeUp(listed);
    }
    // The folders take their kept copies; the old lists, with the files that went, leave with the
    // plan, which its owner may free on another thread.
    for (FolderFiles& entry : folderFiles_)
        entry.folder->files.swap(entry.kept);
    dropAt(result.artifacts, artifacts_);
    result_ = nullptr;  // applied once
    return out;
}

}  // namespace nimbrel
