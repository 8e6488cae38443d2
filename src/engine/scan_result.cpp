#include "engine/scan_result.h"

#include <algorithm>

#include "engine/path_rules.h"
#include "engine/risk_catalog.h"

namespace nimbrel {

namespace {

void lower(std::int64_t& value, std::int64_t by) {
    value = std::max<std::int64_t>(0, value - by);
}

void lowerCategory(std::map<FileCategory, CategoryTotal>& totals, FileCategory category, std::int64_t size) {
    auto it = totals.find(category);
    if (it == totals.end()) return;  // never created by a removal
    lower(it->second.size, size);
    lower(it->second.count, 1);
}

// Lowers `from` and every folder above it.
void lowerUpwards(DirNode* from, std::int64_t size, std::int64_t files) {
    for (DirNode* n = from; n; n = n->parent) {
        lower(n->size, size);
        lower(n->fileCount, files);
    }
}

}  // namespace

std::shared_ptr<DirNode> ScanResult::node(const std::string& path) const {
    if (!root) return nullptr;
    if (path == root->name) return root;
    std::string prefix = root->name;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (path.compare(0, prefix.size(), prefix) != 0) return nullptr;

    std::shared_ptr<DirNode> node = root;
    std::size_t pos = prefix.size();
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) {
            std::string_view part(path.data() + pos, end - pos);
            auto it = std::find_if(node->children.begin(), node->children.end(),
                                   [&](const auto& child) { return child->name == part; });
            if (it == node->children.end()) return nullptr;
            node = *it;
        }
        pos = end + 1;
    }
    return node;
}

void ScanResult::remove(const std::unordered_set<std::string>& paths,
                        const std::unordered_map<std::string, std::int64_t>& sizes) {
    if (paths.empty()) return;
    std::unordered_set<std::int64_t> removedIDs;
    std::unordered_set<std::string> handled;

    // Listed files first, while every folder of the tree is still attached.
    for (const FileItem& item : files) {
        if (!paths.count(item.path)) continue;
        removedIDs.insert(item.id);
        handled.insert(item.path);
        if (DirNode* parent = item.parent) {
            std::erase_if(parent->files, [&](const FileItem& f) { return f.id == item.id; });
            lowerUpwards(parent, item.size, 1);
        }
        lowerCategory(categoryTotals, item.category, item.size);
    }

    for (const std::string& path : paths) {
        if (handled.count(path)) continue;
        std::shared_ptr<DirNode> folder = node(path);
        if (folder && folder->parent) {
            DirNode* parent = folder->parent;
            std::erase_if(parent->children, [&](const auto& child) { return child == folder; });
            folder->parent = nullptr;  // lets holders of the folder see that it left the tree
            lowerUpwards(parent, folder->size, folder->fileCount);
            std::int64_t tracked = 0;
            for (const FileItem& item : files) {
                if (!PathRules::isInside(item.path, path) || removedIDs.count(item.id)) continue;
                removedIDs.insert(item.id);
                tracked += item.size;
                lowerCategory(categoryTotals, item.category, item.size);
            }
            // What the folder held below the listing threshold is booked as one "other" item.
            lowerCategory(categoryTotals, FileCategory::other,
                          std::max<std::int64_t>(0, folder->size - tracked));
            continue;
        }
        // Not a folder of the tree (or the root itself): a small file measured by the caller.
        auto size = sizes.find(path);
        if (size == sizes.end() || size->second <= 0) continue;
        std::shared_ptr<DirNode> parent = node(PathRules::parent(path));
        if (!parent) continue;
        lower(parent->smallFilesSize, size->second);
        lowerUpwards(parent.get(), size->second, 1);
        lowerCategory(categoryTotals,
                      FileCategory::classify(asciiLower(pathExtension(PathRules::lastComponent(path)))),
                      size->second);
    }

    std::erase_if(files, [&](const FileItem& f) { return removedIDs.count(f.id) > 0; });
    std::erase_if(artifacts, [&](const DevArtifact& a) {
        if (paths.count(a.path)) return true;
        for (const std::string& p : paths)
            if (PathRules::isInside(a.path, p)) return true;
        return false;
    });
}

}  // namespace nimbrel
