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
    std::vector<FileItem> files;  // largest first
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
    void remove(const std::unordered_set<std::string>& paths,
                const std::unordered_map<std::string, std::int64_t>& sizes);
};

}  // namespace nimbrel
