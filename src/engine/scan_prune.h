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
// `plan` reads the result (on any thread, while nothing changes it) and works out every change;
// `apply` then makes them on the owner's thread, in time proportional to what was removed plus one
// pass over the listed files. For paths that do not lie inside one another, plan + apply leaves the
// result exactly as remove() would.
class ScanPrune {
  public:
    static ScanPrune plan(const ScanResult& result, const std::unordered_set<std::string>& paths,
                          const std::unordered_map<std::string, std::int64_t>& sizes);

    // Whether this plan was made for `result`. The caller also guarantees that nothing changed the
    // result between the plan and now.
    bool isFor(const ScanResult& result) const { return result_ == &result; }

    // The positions in the result's files that the plan drops, ascending.
    const std::vector<std::size_t>& droppedListed() const { return files_; }
    // Something moved the folders' file lists since the plan: apply() maps the flat list itself
    // instead of taking the one the plan worked out.
    void forgetListed() {
        listedReady_ = false;
        std::vector<const FileItem*>().swap(listed_);
    }

    // Applies the plan to the result it was made for. Returns the folders it took out of the tree:
    // the last owners of their subtrees, which the caller may release on another thread.
    std::vector<std::shared_ptr<DirNode>> apply(ScanResult& result);

    // Unlisted files that went, whose kinds the tree does not keep (it counts them per folder
    // only): each category gives up a share in proportion to what it holds unlisted, so the totals
    // drop by exactly what went and no category drops below its listed files that stay.
    // `alreadyLost` is what the categories lose otherwise; `gone` the ids of listed files that go.
    static std::map<FileCategory, CategoryTotal> unlistedShares(
        const ScanResult& result, const std::map<FileCategory, CategoryTotal>& alreadyLost,
        const std::unordered_set<std::int64_t>& gone, std::int64_t size, std::int64_t count);

  private:
    struct Lowering {
        DirNode* from = nullptr;  // lowered with every folder above it
        std::int64_t size = 0;
        std::int64_t files = 0;
    };
    struct FolderFiles {
        DirNode* folder = nullptr;
        std::vector<std::size_t> drop;  // positions in its `files`, ascending
        // Its `files` as they will be, copied with the plan; after apply(), the old ones.
        std::vector<FileItem> kept;
    };

    // Moves the flat list's references into folders that lose items to where they will be: in the
    // kept copies.
    void closeUp(std::vector<const FileItem*>& listed) const;

    const ScanResult* result_ = nullptr;
    std::vector<Lowering> lowerings_;
    // The same summed per folder with the plan, each lowering that folder alone.
    std::vector<Lowering> summed_;
    std::vector<std::pair<DirNode*, std::int64_t>> smallFiles_;  // folder, bytes of loose files gone
    std::vector<DirNode*> detached_;
    std::map<FileCategory, CategoryTotal> categories_;  // what each category loses
    std::vector<std::size_t> files_;                    // positions in `files`, ascending
    std::vector<FolderFiles> folderFiles_;
    std::vector<std::size_t> artifacts_;  // positions in `artifacts`, ascending
    // The result's flat list as it will be, worked out with the plan; after apply(), the old one,
    // to be freed with the plan.
    std::vector<const FileItem*> listed_;
    bool listedReady_ = false;
};

}  // namespace nimbrel
