#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/entry_identity.h"

namespace nimbrel {

// One entry directly inside the scanned root, as the scan found it.
struct DiscoveredEntry {
    std::string path;
    std::string name;
    std::int64_t size = 0;  // measured so far; final once `measuring` is false
    bool isDirectory = false;
    std::optional<std::string> artifactKind;
    bool measuring = false;
    // What the walk saw of it, so a tick made while the scan runs removes this very entry.
    std::optional<EntryIdentity> identity = std::nullopt;

    friend bool operator==(const DiscoveredEntry&, const DiscoveredEntry&) = default;
};

// The root's top-level entries found so far, in walk order: a cheap, immutable snapshot. The
// finished entries are shared with the scanner (never copied per report); at most the last entry is
// still being measured and is held by value.
class DiscoveredList {
  public:
    DiscoveredList() = default;

    std::size_t size() const { return settledCount_ + (open_ ? 1 : 0); }
    bool empty() const { return size() == 0; }
    const DiscoveredEntry& operator[](std::size_t i) const {
        return i < settledCount_ ? settled_[i] : *open_;
    }
    const DiscoveredEntry& back() const { return (*this)[size() - 1]; }
    std::vector<DiscoveredEntry> toVector() const;

    class const_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = DiscoveredEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const DiscoveredEntry*;
        using reference = const DiscoveredEntry&;

        const_iterator() = default;
        const_iterator(const DiscoveredList* list, std::size_t i) : list_(list), i_(i) {}
        reference operator*() const { return (*list_)[i_]; }
        pointer operator->() const { return &(*list_)[i_]; }
        reference operator[](difference_type n) const { return (*list_)[i_ + n]; }
        const_iterator& operator++() { return ++i_, *this; }
        const_iterator operator++(int) { return {list_, i_++}; }
        const_iterator& operator--() { return --i_, *this; }
        const_iterator operator--(int) { return {list_, i_--}; }
        const_iterator& operator+=(difference_type n) { return i_ += n, *this; }
        const_iterator& operator-=(difference_type n) { return i_ -= n, *this; }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.i_ == b.i_; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.i_ <=> b.i_; }

      private:
        const DiscoveredList* list_ = nullptr;
        std::size_t i_ = 0;
    };

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    friend bool operator==(const DiscoveredList& a, const DiscoveredList& b);

  private:
    friend class DiscoveredListBuilder;

    std::shared_ptr<const void> keepAlive_;  // owns the storage `settled_` points into
    const DiscoveredEntry* settled_ = nullptr;
    std::size_t settledCount_ = 0;
    std::optional<DiscoveredEntry> open_;
};

// The scanner's side of DiscoveredList: appends entries and hands out snapshots in O(1). Storage
// that snapshots may still read is never moved or written: when it is full, the settled entries go
// to a new, larger block and the old block lives on in the snapshots that hold it.
class DiscoveredListBuilder {
  public:
    // Appends a finished entry, or the one entry still being measured (only the last may be open).
    void append(DiscoveredEntry entry);
    bool hasOpen() const { return open_.has_value(); }
    DiscoveredEntry& open() { return *open_; }
    // Finishes the open entry with its final size.
    void settleOpen(std::int64_t finalSize);

    DiscoveredList snapshot() const;

  private:
    void settle(DiscoveredEntry entry);

    std::shared_ptr<std::vector<DiscoveredEntry>> block_;
    std::size_t count_ = 0;
    std::optional<DiscoveredEntry> open_;
};

// Progress of a running scan, handed to its progress callback as a value.
struct ScanProgress {
    std::int64_t filesScanned = 0;
    std::int64_t bytesScanned = 0;
    std::string currentPath;  // the entry read at the last timed report; empty until then
    DiscoveredList discovered;
};

}  // namespace nimbrel
