#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/scan_result.h"

namespace nimbrel {

// ScanResult::remove in two steps, so a large removal never holds the thread that owns the result:
// `plan` works out every change (on any thread, while nothing changes the result), and
// ScanResult::prune then makes them on the owner's thread, in time proportional to what was
// removed. For paths that do not lie inside one another, plan + prune leaves the result exactly as
// remove() would.
class ScanPrune {
  public:
    ScanPrune() = default;
    ScanPrune(ScanPrune&&) noexcept = default;
    ScanPrune& operator=(ScanPrune&&) noexcept = default;

    static ScanPrune plan(ScanResult& result, const std::unordered_set<std::string>& paths,
                          const std::unordered_map<std::string, std::int64_t>& sizes);

    // Whether this plan was made for `result` as it is now: no change went through it since.
    bool isFor(const ScanResult& result) const {
        return result.serial_ == serial_ && result.changes_ == changes_;
    }

    // The positions in the result's files that the plan drops, ascending.
    const std::vector<std::size_t>& droppedListed() const { return files_; }

    // Unlisted files that went, whose kinds the tree does not keep (it counts them per folder
    // only): each category gives up a share in proportion to what it holds unlisted, so the totals
    // drop by exactly what went and no category drops below its listed files that stay.
    // `alreadyLost` is what the categories lose otherwise; `gone` the ids of listed files that go.
    static std::map<FileCategory, CategoryTotal> unlistedShares(
        const ScanResult& result, const std::map<FileCategory, CategoryTotal>& alreadyLost,
        const std::unordered_set<std::int64_t>& gone, std::int64_t size, std::int64_t count);

  private:
    friend class ScanResult;
    struct Planning;  // the plan's working state, phase by phase (scan_prune.cpp)

    struct Lowering {
        DirNode* from = nullptr;  // lowered with every folder above it
        std::int64_t size = 0;
        std::int64_t files = 0;
    };
    struct FolderCut {
        DirNode* folder = nullptr;
        std::vector<std::size_t> drop;  // positions in its `files`, ascending
        // Its files as they will be, made with the plan.
        FileBlock kept;
    };

    // Drops the elements at `drop` (ascending positions), keeping the order of the rest.
    template <typename T>
    static void dropAt(std::vector<T>& items, const std::vector<std::size_t>& drop) {
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
    // Moves the flat list's references into folders that lose items to where they will be: in the
    // kept blocks.
    void closeUp(std::vector<const FileItem*>& listed) const;

    std::uint64_t serial_ = 0;   // the result's; no result's serial is 0, so an unmade plan fits none
    std::uint64_t changes_ = 0;  // its change count when the plan was made
    std::vector<Lowering> lowerings_;
    // The same summed per folder with the plan, each lowering that folder alone.
    std::vector<Lowering> summed_;
    std::vector<std::pair<DirNode*, std::int64_t>> smallFiles_;  // folder, bytes of loose files gone
    std::vector<DirNode*> detached_;
    std::map<FileCategory, CategoryTotal> categories_;  // what each category loses
    std::vector<std::size_t> files_;                    // positions in `files`, ascending
    std::vector<FolderCut> folderCuts_;
    std::vector<std::size_t> artifacts_;  // positions in `artifacts`, ascending
    // The result's flat list as it will be, worked out with the plan.
    std::vector<const FileItem*> listed_;
};

}  // namespace nimbrel
