#include "engine/scan_compare.h"

#include <vector>

namespace nimbrel {

namespace {

std::string describe(const FileItem& f) {
    return f.path + " #" + std::to_string(f.id);
}

std::string compareFile(const FileItem& a, const FileItem& b) {
    if (a.id != b.id) return "file id: " + describe(a) + " vs " + describe(b);
    if (a.path != b.path) return "file path: " + describe(a) + " vs " + describe(b);
    if (a.name != b.name) return "file name: " + describe(a);
    if (a.size != b.size) return "file size: " + describe(a);
    if (a.logicalSize != b.logicalSize) return "file length: " + describe(a);
    if (a.modified != b.modified) return "file modified: " + describe(a);
    if (a.accessed != b.accessed) return "file accessed: " + describe(a);
    if (a.category != b.category) return "file category: " + describe(a);
    if (a.isPackage != b.isPackage) return "file package: " + describe(a);
    if (a.inode != b.inode) return "file inode: " + describe(a);
    if (a.changedNs != b.changedNs || a.deviceNumber != b.deviceNumber)
        return "file identity: " + describe(a);
    if (a.fileCount != b.fileCount) return "file count: " + describe(a);
    if ((a.parent == nullptr) != (b.parent == nullptr) || (a.parent && a.parent->path() != b.parent->path()))
        return "file parent: " + describe(a);
    return {};
}

// A folder's own list or a result's flat one.
template <typename Files>
std::string compareFiles(const Files& a, const Files& b, const std::string& where) {
    if (a.size() != b.size())
        return where + ": " + std::to_string(a.size()) + " vs " + std::to_string(b.size()) + " files";
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::string d = compareFile(a[i], b[i]); !d.empty()) return where + ": " + d;
    return {};
}

std::string compareTrees(const DirNode& rootA, const DirNode& rootB) {
    std::vector<std::pair<const DirNode*, const DirNode*>> stack{{&rootA, &rootB}};
    while (!stack.empty()) {
        auto [a, b] = stack.back();
        stack.pop_back();
        const std::string where = a->path();
        if (a->name != b->name) return "folder name: " + where + " vs " + b->path();
        if (a->size() != b->size()) return "folder size: " + where;
        if (a->fileCount() != b->fileCount()) return "folder file count: " + where;
        if (a->smallFilesSize() != b->smallFilesSize()) return "folder small files: " + where;
        if (a->artifactKind() != b->artifactKind()) return "folder build product: " + where;
        if (a->device() != b->device() || a->inode() != b->inode()) return "folder identity: " + where;
        if (a->children().size() != b->children().size()) return "folder children: " + where;
        if (std::string d = compareFiles(a->files(), b->files(), "folder " + where); !d.empty()) return d;
        for (std::size_t i = 0; i < a->children().size(); ++i)
            stack.emplace_back(a->children()[i].get(), b->children()[i].get());
    }
    return {};
}

}  // namespace

std::string firstScanDifference(const ScanResult& a, const ScanResult& b) {
    if (a.totalFiles() != b.totalFiles()) return "totalFiles";
    if (a.totalDirs() != b.totalDirs()) return "totalDirs";
    if (a.unreadableCount() != b.unreadableCount()) return "unreadableCount";
    if (a.unreadableSamples() != b.unreadableSamples()) return "unreadableSamples";
    if (a.lastID() != b.lastID()) return "lastID";
    if (a.categoryTotals() != b.categoryTotals()) return "categoryTotals";
    if (a.artifacts() != b.artifacts()) return "artifacts";
    if ((a.root() == nullptr) != (b.root() == nullptr)) return "root";
    if (a.root())
        if (std::string d = compareTrees(*a.root(), *b.root()); !d.empty()) return d;
    return compareFiles(a.files(), b.files(), "files");
}

}  // namespace nimbrel
