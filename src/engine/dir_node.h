#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_block.h"
#include "engine/file_item.h"

namespace nimbrel {

class ScanPrune;
class ScanResult;
struct TreeBuild;

// A folder's listed files, read like a const std::vector<FileItem>. Only the result that owns the
// tree changes them (ScanResult), and TreeBuild while a tree is put together: a change puts new
// items in place of the block, so whoever holds the old one (a twin search) reads it as it was.
class FolderFiles {
  public:
    using value_type = FileItem;
    using size_type = std::size_t;
    using const_iterator = FileBlock::const_iterator;
    using iterator = const_iterator;

    FolderFiles() = default;
    FolderFiles(const FolderFiles&) = delete;
    FolderFiles& operator=(const FolderFiles&) = delete;

    size_type size() const { return block_.size(); }
    bool empty() const { return block_.empty(); }
    const FileItem* data() const { return block_.data(); }
    const FileItem& operator[](size_type i) const { return block_[i]; }
    const FileItem& front() const { return block_.front(); }
    const FileItem& back() const { return block_.back(); }
    const_iterator begin() const { return block_.begin(); }
    const_iterator end() const { return block_.end(); }

    // The items as they are now, which stay as they are for as long as they are held.
    FileBlock share() const { return block_; }

  private:
    friend class ScanResult;
    friend struct TreeBuild;
    FileBlock block_;
};

// One folder of a scanned tree. Shared and compared by identity; a folder owns its children, the
// upward link is non-owning. Read-only to its readers: only the result that holds it (ScanResult)
// changes it, and TreeBuild while a tree is put together.
class DirNode {
  public:
    DirNode(std::string name, DirNode* parent) : name(std::move(name)), parent_(parent) {}
    ~DirNode();  // tears the subtree down without recursion, however deep it is

    DirNode(const DirNode&) = delete;
    DirNode& operator=(const DirNode&) = delete;

    const std::string name;  // the root's name is its whole normalised path

    // Null for the root, and for a folder taken out of its tree.
    const DirNode* parent() const { return parent_; }
    std::int64_t size() const { return size_; }            // allocated bytes of everything counted below it
    std::int64_t fileCount() const { return fileCount_; }  // regular files below it (packages add theirs)
    const std::vector<std::shared_ptr<DirNode>>& children() const { return children_; }
    const FolderFiles& files() const {
        return files_;
    }  // files and packages of at least the minimum tracked size
    std::int64_t smallFilesSize() const {
        return smallFilesSize_;
    }  // the rest of the files directly inside it
    const std::optional<std::string>& artifactKind() const { return artifactKind_; }
    // The folder the scan saw: a removal takes it only while the path still leads to this folder.
    std::uint64_t device() const { return device_; }
    std::uint64_t inode() const { return inode_; }

    // Absolute path: the parent's path, "/" unless it already ends with one, then the name.
    std::string path() const;

  private:
    friend class ScanResult;
    friend class ScanPrune;  // plans a result's change, which the result makes
    friend struct TreeBuild;
    DirNode* parent_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t fileCount_ = 0;
    std::vector<std::shared_ptr<DirNode>> children_;
    FolderFiles files_;
    std::int64_t smallFilesSize_ = 0;
    std::optional<std::string> artifactKind_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

}  // namespace nimbrel
