#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "engine/file_item.h"

namespace nimbrel {

// Files kept together in one allocation with the number of their holders, read like a
// std::vector<FileItem>. A copy shares the items; a change through one holder while others hold
// them works on a copy of its own, so what a holder reads never changes under it.
class FileBlock {
  public:
    using value_type = FileItem;
    using size_type = std::size_t;
    using const_iterator = const FileItem*;
    using iterator = const_iterator;

    FileBlock() noexcept = default;
    FileBlock(const FileBlock& other) noexcept : header_(other.header_) { retain(); }
    FileBlock(FileBlock&& other) noexcept : header_(std::exchange(other.header_, nullptr)) {}
    FileBlock& operator=(FileBlock other) noexcept {
        std::swap(header_, other.header_);
        return *this;
    }
    ~FileBlock() { release(); }

    size_type size() const noexcept { return header_ ? header_->size : 0; }
    size_type capacity() const noexcept { return header_ ? header_->capacity : 0; }
    bool empty() const noexcept { return size() == 0; }
    const FileItem* data() const noexcept { return header_ ? items() : nullptr; }
    const FileItem& operator[](size_type i) const noexcept { return items()[i]; }
    const FileItem& front() const noexcept { return items()[0]; }
    const FileItem& back() const noexcept { return items()[size() - 1]; }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size(); }
    // How many hold these items (0 for none).
    size_type holders() const noexcept {
        return header_ ? header_->holders.load(std::memory_order_acquire) : 0;
    }

    void reserve(size_type capacity);
    void push_back(FileItem item);
    void shrink_to_fit();
    // The items, to change in place (to reorder them).
    FileItem* edit();

  private:
    struct Header {
        std::atomic<std::uint32_t> holders;
        std::uint32_t size;
        std::uint32_t capacity;
    };
    static constexpr std::size_t kItemsAt =
        (sizeof(Header) + alignof(FileItem) - 1) / alignof(FileItem) * alignof(FileItem);

    FileItem* items() const noexcept {
        return reinterpret_cast<FileItem*>(reinterpret_cast<char*>(header_) + kItemsAt);
    }
    bool alone() const noexcept { return holders() == 1; }
    // Takes items of its own with room for `capacity` (at least size()): moved when it held them
    // alone, copied otherwise.
    void own(size_type capacity);
    void retain() const noexcept {
        if (header_) header_->holders.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept;

    Header* header_ = nullptr;
};

}  // namespace nimbrel
