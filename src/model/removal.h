#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/deletion.h"
#include "engine/junk_location.h"
#include "engine/removal_worker.h"
#include "engine/scan_result.h"
#include "model/clean_item.h"

namespace nimbrel {

// Which request paths are chosen entries of their own: a plain file or folder is removed under its
// own id, so every path is one but those that junk locations and contents-only folders expand to,
// unless such a path is chosen as an entry too. Small, whatever the size of the selection.
struct EntryPaths {
    std::unordered_set<std::string> expanded;
    std::unordered_set<std::string> alsoChosen;
    bool isEntry(const std::string& path) const { return !expanded.count(path) || alsoChosen.count(path); }
};

// What the review's choice of selection entries turns into.
struct ReviewedRemoval {
    DeletionRequest request;  // its completion is left for the state to attach
    EntryPaths entryPaths;
    // Entries that leave the selection whatever happens to their paths: junk locations and
    // contents-only folders.
    std::unordered_set<std::string> clearedIDs;
    bool touchesCleanup = false;  // the junk measurements are out of date afterwards
};

// Where the request's paths come from, beyond the entries themselves.
struct RemovalSources {
    // The targets of the junk location a "junk:<id>" entry names, with what each was when listed;
    // nothing for an unknown one.
    std::function<std::optional<std::vector<JunkEntry>>(const std::string& entryID)> junkTargets;
    // Folders that stay while their children go, compared after normalising.
    std::unordered_set<std::string> contentsOnly;
    std::function<RemovalFileOps::Listing(const std::string& folder)> listFolder;
    std::function<std::string(const std::string& path)> normalize;
    // The folder a path leads to now, for the folders of junk targets: a junk location may lie
    // behind a link (~/.cache on another disk), and is removed through it only while it still leads
    // where it did at the review. Unset: nothing is pinned.
    std::function<std::optional<PinnedFolder>(const std::string& folder)> pin;
};

// The symbol of the toasts that tell what went.
inline constexpr const char* kRemovalSymbol = "humidity.fill";

// The location a selected junk entry ("junk:" + id) names, if any.
const JunkLocation* junkLocationOf(const std::vector<JunkLocation>& locations, const std::string& entryID);

// Turns the entries of `queueItems` whose id is in `ids` into one flat, duplicate-free request.
// Nothing when no path is left to remove.
std::optional<ReviewedRemoval> buildReviewedRemoval(const std::vector<CleanItem>& queueItems,
                                                    const std::unordered_set<std::string>& ids,
                                                    const RemovalSources& sources);

// The ids of chosen entries the safety guard refused (junk locations and contents-only folders
// aside), from the paths it refused: they leave the selection, since no removal will ever take them.
std::unordered_set<std::string> guardRefusedIDs(const EntryPaths& entries,
                                                const std::unordered_set<std::string>& refusedPaths);

// The paths of `paths` that no other one of them lies inside.
std::unordered_set<std::string> outermostPaths(const std::unordered_set<std::string>& paths);

// What stayed behind after a removal, normalised and outermost: each may have gone in part, so the
// tree is compared with the disk below it.
std::vector<std::string> recheckedPaths(const RemovalResult& result);

// What a removal did, as the state reports it.
struct RemovalFigures {
    std::vector<std::string> removed;  // paths that went whole; they leave the tree and the selection
    // Bytes freed per path: the worker's figures, plus, for a path that stayed behind and for which
    // the worker reported nothing, what the scan had counted for the part of it that went.
    std::unordered_map<std::string, int64_t> credited;
    int64_t total = 0;  // the sum of `credited`
    int64_t count = 0;  // paths that went: whole ones and the listed parts of partial ones
};
RemovalFigures removalFigures(const RemovalResult& result, const ScanResult::Recheck& recheck);

// How long the removal's animation stays on screen at least, for `entries` selection entries.
std::chrono::milliseconds removalHold(size_t entries);

// The toasts of a removal, a demo removal, emptying the Trash and copying paths.
QString removalToastText(int64_t totalBytes, int64_t removedCount, bool permanently);
QString demoRemovalToastText(int64_t estimatedBytes);
QString trashEmptiedToastText(int64_t trashBytes);
QString copiedPathsToastText(const std::vector<std::string>& paths, const std::string& home);

}  // namespace nimbrel
