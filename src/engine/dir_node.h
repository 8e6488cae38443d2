#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_item.h"

namespace nimbrel {

// One folder of a scanned tree. Shared and compared by identity; a folder owns its children, the
// upward link is non-owning.
class DirNode {
  public:
    DirNode(std::string name, DirNode* parent) : name(std::move(name)), parent(parent) {}
    ~DirNode();  // tears the subtree down without recursion, however deep it is

    DirNode(const DirNode&) = delete;
    DirNode& operator=(const DirNode&) = delete;

    const std::string name;  // the root's name is its whole normalised path
    DirNode* parent = nullptr;
    std::int64_t size = 0;       // allocated bytes of everything counted below it
    std::int64_t fileCount = 0;  // regular files counted below it (packages add their contents)
    std::vector<std::shared_ptr<DirNode>> children;
    std::vector<FileItem> files;      // files and packages of at least the minimum tracked size
    std::int64_t smallFilesSize = 0;  // the rest of the files directly inside it
    std::optional<std::string> artifactKind;
    // The folder the scan saw: a removal takes it only while the path still leads to this folder.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // Absolute path: the parent's path, "/" unless it already ends with one, then the name.
    std::string path() const;

    // Orders children and files of this folder and every folder below it, largest first; equal
    // sizes keep their order (for a fresh scan, walk order).
    void sortRecursively();
};

}  // namespace nimbrel
