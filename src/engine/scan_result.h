#pragma once

#include <chrono>
#include <cstdint>
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

// One finished scan: the folder tree, the files listed one by one, totals and counters. Built once,
// whole, then owned by one thread; after a removal it is pruned in place with remove().
class ScanResult {
  public:
    std::shared_ptr<DirNode> root;
    ListedFiles files;  // the tree's items, largest first
    // A category that never occurred has no entry.
    std::map<FileCategory, CategoryTotal> categoryTotals;
    std::vector<DevArtifact> artifacts;  // largest first
    std::int64_t totalFiles = 0;
    std::int64_t totalDirs = 0;  // the root and package folders included
    std::int64_t unreadableCount = 0;
    std::vector<std::string> unreadableSamples;  // the first 200, in walk order
    double duration = 0;                         // seconds
    std::chrono::system_clock::time_point date;
    std::int64_t lastID = 0;  // the next free FileItem id

    // The folder at an absolute path, or null. Files are not found.
    std::shared_ptr<DirNode> node(const std::string& path) const;

    // Prunes removed paths (normalised, absolute, not inside one another) out of the result.
    // `sizes` is consulted only for paths that are neither a listed file nor a folder of the tree.
    // A removed path that is neither gives back at most what the scan counted loose in its folder.
    void remove(const std::unordered_set<std::string>& paths,
                const std::unordered_map<std::string, std::int64_t>& sizes);

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
    // Prunes what the recheck found gone and lowers the folders that lost unlisted files.
    void apply(const Recheck& recheck);
};

}  // namespace nimbrel
