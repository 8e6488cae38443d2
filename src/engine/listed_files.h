#pragma once

#include <compare>
#include <cstddef>
#include <deque>
#include <iterator>
#include <vector>

#include "engine/file_item.h"

namespace nimbrel {

class DirNode;
class ScanResult;

// A result's flat list of files. Each entry refers to an item that a folder of the tree holds, so
// a million listed files are stored once, not twice. Reads like a std::vector<FileItem> of const
// items: indexing, iteration, size. Entries leave only through the result (ScanResult), which
// changes the folders' files and this list together.
class ListedFiles {
  public:
    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = FileItem;
        using difference_type = std::ptrdiff_t;
        using pointer = const FileItem*;
        using reference = const FileItem&;

        const_iterator() = default;
        explicit const_iterator(const FileItem* const* at) : at_(at) {}

        reference operator*() const { return **at_; }
        pointer operator->() const { return *at_; }
        reference operator[](difference_type n) const { return *at_[n]; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) { return const_iterator(at_++); }
        const_iterator& operator--() {
            --at_;
            return *this;
        }
        const_iterator operator--(int) { return const_iterator(at_--); }
        const_iterator& operator+=(difference_type n) {
            at_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            at_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const_iterator a, const_iterator b) { return a.at_ - b.at_; }
        friend bool operator==(const_iterator a, const_iterator b) { return a.at_ == b.at_; }
        friend auto operator<=>(const_iterator a, const_iterator b) { return a.at_ <=> b.at_; }

      private:
        friend class ListedFiles;
        const FileItem* const* at_ = nullptr;
    };
    using iterator = const_iterator;
    using value_type = FileItem;
    using size_type = std::size_t;

    ListedFiles() = default;
    // Moving keeps every item where it is; a copy would refer to the items kept by the original.
    ListedFiles(ListedFiles&&) noexcept = default;
    ListedFiles& operator=(ListedFiles&&) noexcept = default;
    ListedFiles(const ListedFiles&) = delete;
    ListedFiles& operator=(const ListedFiles&) = delete;

    // Every item the tree below `root` holds, largest first, equal sizes in id order (for a scan,
    // the order the walk met them).
    static ListedFiles of(const DirNode& root);

    size_type size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const FileItem& operator[](size_type i) const { return *items_[i]; }
    const FileItem& front() const { return *items_.front(); }
    const FileItem& back() const { return *items_.back(); }
    const_iterator begin() const { return const_iterator(items_.data()); }
    const_iterator end() const { return const_iterator(items_.data() + items_.size()); }
    void reserve(size_type n) { items_.reserve(n); }

    // Appends an item that no folder of the tree holds (a hand-built result): the list keeps it
    // itself, where it stays for the list's life.
    void push_back(FileItem item) {
        kept_.push_back(std::move(item));
        items_.push_back(&kept_.back());
    }

    const std::vector<const FileItem*>& references() const { return items_; }

  private:
    friend class ScanResult;
    std::vector<const FileItem*> items_;
    std::deque<FileItem> kept_;
};

}  // namespace nimbrel
