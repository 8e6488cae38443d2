#pragma once

#include <utility>
#include <vector>

#include "engine/dir_node.h"

namespace nimbrel {

// Gives the folders of a tree that no result holds yet their files: the scan, the sample data and
// hand-made trees. A result's tree changes only through the result (ScanResult).
struct TreeBuild {
    static void addFile(DirNode& folder, FileItem item) { folder.files.block_.push_back(std::move(item)); }
    static void setFiles(DirNode& folder, std::vector<FileItem> files) {
        FileBlock block;
        block.reserve(files.size());
        for (FileItem& file : files)
            block.push_back(std::move(file));
        folder.files.block_ = std::move(block);
    }
    // The folder's lists are complete: the room they grew into would stay unused.
    static void close(DirNode& folder) {
        folder.files.block_.shrink_to_fit();
        folder.children.shrink_to_fit();
    }
    // Orders children and files of this folder and every folder below it, largest first; equal
    // sizes keep their order (for a fresh scan, walk order).
    static void sortRecursively(DirNode& top);
};

}  // namespace nimbrel
