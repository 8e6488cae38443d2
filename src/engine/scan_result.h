#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/dev_artifact.h"
#include "engine/dir_node.h"
#include "engine/file_category.h"
#include "engine/file_item.h"
#include "engine/listed_files.h"

namespace nimbrel {

// Size and count of one category in a scan.
struct CategoryTotal {
    std::int64_t size = 0;
    std::int64_t count = 0;

    friend bool operator==(const CategoryTotal&, const CategoryTotal&) = default;
};

class ScanPrune;

// What one change of a result did. Whoever keeps something made from the result (an index of its
// listed files) follows it from here; the caller frees what the change let go of, aside when it is
// large.
struct TreeChange {
    // Positions in the flat list before the change that it dropped, ascending.
    std::vector<std::size_t> droppedListed;
    // Folders taken out of the tree (their parent link cleared): the last owners of their subtrees.
    std::vector<std::shared_ptr<DirNode>> detached;
    // The folders' file blocks and the flat list that were replaced.
    std::vector<FileBlock> replaced;
    std::vector<const FileItem*> oldListed;
};

// What a scan counted besides the tree.
struct ScanCounts {
    std::int64_t totalFiles = 0;
    std::int64_t totalDirs = 0;  // the root and package folders included
    std::int64_t unreadableCount = 0;
    std::vector<std::string> unreadableSamples;  // the first 200, in walk order
    double duration = 0;                         // seconds
    std::chrono::system_clock::time_point date;
    std::int64_t lastID = 0;  // the next free FileItem id
};

// One finished scan: the folder tree, the files listed one by one, totals and counters. Built once,
// whole (TreeBuild), then owned by one thread. It is the one owner of changes to its tree after
// that: each goes through prune(), remove(), apply() or unlist() and comes back as a TreeChange.
// Everyone else holds it const, and reads it safely across a change in one of three ways:
// - a worker reading the tree holds the owner's shared lock of the result; the owner changes the
//   tree only once it can take that lock whole;
// - a worker reading listed items holds them (holdItems()): a change puts new blocks in place of
//   the ones it holds, which stay as they were;
// - the removal, which plans its prune from the tree on a worker without the lock, relies on one
//   removal at a time: nothing else changes the tree while its worker runs.
class ScanResult {
  public:
    const std::shared_ptr<DirNode>& root() const { return root_; }
    const ListedFiles& files() const { return files_; }  // the tree's items, largest first
    // A category that never occurred has no entry.
    const std::map<FileCategory, CategoryTotal>& categoryTotals() const { return categoryTotals_; }
    const std::vector<DevArtifact>& artifacts() const { return artifacts_; }  // largest first
    std::int64_t totalFiles() const { return counts_.totalFiles; }
    std::int64_t totalDirs() const { return counts_.totalDirs; }
    std::int64_t unreadableCount() const { return counts_.unreadableCount; }
    const std::vector<std::string>& unreadableSamples() const { return counts_.unreadableSamples; }
    double duration() const { return counts_.duration; }
    std::chrono::system_clock::time_point date() const { return counts_.date; }
    std::int64_t lastID() const { return counts_.lastID; }

    // The folder at an absolute path, or null. Files are not found.
    std::shared_ptr<DirNode> node(const std::string& path) const;

    // Prunes removed paths (normalised, absolute, not inside one another) out of the result.
    // `sizes` is consulted only for paths that are neither a listed file nor a folder of the tree.
    // A removed path that is neither gives back at most what the scan counted loose in its folder.
    TreeChange remove(const std::unordered_set<std::string>& paths,
                      const std::unordered_map<std::string, std::int64_t>& sizes);
    // The same, worked out beforehand (see ScanPrune); a plan made for another result, or for this
    // one before some other change, changes nothing.
    TreeChange prune(ScanPrune plan);
    // Drops the listed files for which `leaveOut` holds from the flat list; their folders keep them.
    TreeChange unlist(const std::function<bool(const FileItem&)>& leaveOut);

    // What a reader keeps to go on reading the listed items after the result changed or went: the
    // folders' file blocks as they are now and the result itself. Take it while nothing changes the
    // result.
    static std::shared_ptr<const void> holdItems(std::shared_ptr<const ScanResult> result);

    // What a folder (or listed file) whose removal stopped part-way still has on disk, compared with
    // what the scan listed for it.
    struct Recheck {
        // Listed folders and files no longer there, outermost only.
        std::unordered_set<std::string> gone;
        // Folders still there whose files below the listing threshold shrank.
        struct Shrunk {
            std::string folder;
            std::int64_t smallFilesSize = 0;  // what is left of them
            std::int64_t smallFiles = 0;      // how many are left
        };
        std::vector<Shrunk> shrunk;
        std::int64_t looseFilesGone = 0;  // how many of those unlisted files went, in all
        // Per rechecked path, what the scan had counted for everything that went below it.
        std::unordered_map<std::string, std::int64_t> bytes;
    };
    // Looks at the disk at and below each path (a folder of the tree or a listed file; others are
    // ignored): lstat of every listed folder and file, and a listing of each folder still there for
    // its unlisted files. Only what is missing drops; what cannot be read counts as still there.
    // Touches the disk, so run it off the main thread, while nothing changes the tree.
    Recheck recheck(const std::vector<std::string>& paths) const;
    // The same for the folders that held removed paths the tree has neither as a folder nor as a
    // listed file: only their unlisted files are compared, so a removed path the scan never
    // counted (excluded, hidden, a link, made since) lowers nothing, and one it counted loose
    // lowers its folder by what the scan had for it. Touches the disk likewise.
    Recheck recheckLoose(const std::unordered_set<std::string>& removed) const;
    // Prunes what the recheck found gone and lowers the folders that lost unlisted files.
    TreeChange apply(const Recheck& recheck);

    // Tells whether a change went through the result since this count was read.
    std::uint64_t changeCount() const { return changes_; }

  private:
    friend class ScanPrune;
    friend struct TreeBuild;
    // Lowers `from` and every folder above it.
    static void lowerUpwards(DirNode* from, std::int64_t size, std::int64_t files);
    // Takes the folders out of their parents' children. Returns them: the last owners of their
    // subtrees.
    static std::vector<std::shared_ptr<DirNode>> detach(const std::vector<DirNode*>& folders);

    std::shared_ptr<DirNode> root_;
    ListedFiles files_;
    std::map<FileCategory, CategoryTotal> categoryTotals_;
    std::vector<DevArtifact> artifacts_;
    ScanCounts counts_;
    // Tells one result from another for a plan, whatever addresses they were given.
    static std::uint64_t nextSerial();
    std::uint64_t serial_ = nextSerial();
    std::uint64_t changes_ = 0;  // how many changes went through it
};

}  // namespace nimbrel
