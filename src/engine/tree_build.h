#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/dir_node.h"
#include "engine/scan_result.h"

namespace nimbrel {

// Puts together a tree and its result before anyone reads them: the scan, the sample data and
// hand-made trees. Once a result is handed out, its tree changes only through the result
// (ScanResult).
struct TreeBuild {
    // A new folder at the end of `parent`'s children.
    static std::shared_ptr<DirNode> addFolder(DirNode& parent, std::string name) {
        auto folder = std::make_shared<DirNode>(std::move(name), &parent);
        parent.children_.push_back(folder);
        return folder;
    }
    // Makes `child` (a folder of no tree) the last of `parent`'s children.
    static void addChild(DirNode& parent, std::shared_ptr<DirNode> child) {
        child->parent_ = &parent;
        parent.children_.push_back(std::move(child));
    }
    // A hand-made tree's figures, given outright rather than counted.
    static void setSize(DirNode& folder, std::int64_t size) { folder.size_ = size; }
    static void setFileCount(DirNode& folder, std::int64_t files) { folder.fileCount_ = files; }
    static void setSmallFiles(DirNode& folder, std::int64_t size) { folder.smallFilesSize_ = size; }
    // Adds to the folder's own figures, not to those above it.
    static void count(DirNode& folder, std::int64_t size, std::int64_t files) {
        folder.size_ += size;
        folder.fileCount_ += files;
    }
    // Adds to the folder's figures and to those of every folder above it.
    static void countUpwards(DirNode& from, std::int64_t size, std::int64_t files) {
        for (DirNode* n = &from; n; n = n->parent_)
            count(*n, size, files);
    }
    // The upward link, for whoever builds the tree to walk up it.
    static DirNode* parentOf(DirNode& folder) { return folder.parent_; }
    // Takes a folder out of a tree no result holds yet (a hand-made copy changed by plain rules).
    static void takeOut(DirNode& folder) {
        if (!folder.parent_) return;
        std::erase_if(folder.parent_->children_, [&](const auto& child) { return child.get() == &folder; });
        folder.parent_ = nullptr;
    }
    // Files directly inside the folder that are not listed one by one (their bytes only; count()
    // counts them too).
    static void addSmallFiles(DirNode& folder, std::int64_t size) { folder.smallFilesSize_ += size; }
    static void setIdentity(DirNode& folder, std::uint64_t device, std::uint64_t inode) {
        folder.device_ = device;
        folder.inode_ = inode;
    }
    static void markArtifact(DirNode& folder, std::optional<std::string> kind) {
        folder.artifactKind_ = std::move(kind);
    }

    static void addFile(DirNode& folder, FileItem item) { folder.files_.block_.push_back(std::move(item)); }
    static void setFiles(DirNode& folder, std::vector<FileItem> files) {
        FileBlock block;
        block.reserve(files.size());
        for (FileItem& file : files)
            block.push_back(std::move(file));
        folder.files_.block_ = std::move(block);
    }
    // The folder's lists are complete: the room they grew into would stay unused.
    static void close(DirNode& folder) {
        folder.files_.block_.shrink_to_fit();
        folder.children_.shrink_to_fit();
    }
    // Orders children and files of this folder and every folder below it, largest first; equal
    // sizes keep their order (for a fresh scan, walk order).
    static void sortRecursively(DirNode& top);

    static void setRoot(ScanResult& result, std::shared_ptr<DirNode> root) { result.root_ = std::move(root); }
    // Lists every file the tree holds now, in place of what was listed.
    static void listTree(ScanResult& result) {
        result.files_ = result.root_ ? ListedFiles::of(*result.root_) : ListedFiles();
    }
    // Lists an item that no folder of the tree holds: the list keeps it itself.
    static void listFile(ScanResult& result, FileItem item) { result.files_.push_back(std::move(item)); }
    static std::map<FileCategory, CategoryTotal>& categoryTotals(ScanResult& result) {
        return result.categoryTotals_;
    }
    static std::vector<DevArtifact>& artifacts(ScanResult& result) { return result.artifacts_; }
    static ScanCounts& counts(ScanResult& result) { return result.counts_; }
};

}  // namespace nimbrel
