#include "engine/file_block.h"

#include <algorithm>
#include <new>

namespace nimbrel {

void FileBlock::own(size_type capacity) {
    const size_type count = size();
    void* memory = ::operator new(kItemsAt + capacity * sizeof(FileItem));
    auto* header =
        new (memory) Header{{1}, static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(capacity)};
    auto* to = reinterpret_cast<FileItem*>(static_cast<char*>(memory) + kItemsAt);
    if (header_) {
        FileItem* from = items();
        const bool moving = alone();
        for (size_type i = 0; i < count; ++i) {
            if (moving)
                new (to + i) FileItem(std::move(from[i]));
            else
                new (to + i) FileItem(from[i]);
        }
    }
    release();
    header_ = header;
}

void FileBlock::release() noexcept {
    if (!header_) return;
    if (header_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        FileItem* all = items();
        for (std::uint32_t i = 0; i < header_->size; ++i)
            all[i].~FileItem();
        header_->~Header();
        ::operator delete(static_cast<void*>(header_));
    }
    header_ = nullptr;
}

void FileBlock::reserve(size_type capacity) {
    if (capacity > this->capacity()) own(capacity);
}

void FileBlock::push_back(FileItem item) {
    const size_type count = size();
    if (count == capacity())
        own(std::max<size_type>(1, 2 * count));
    else if (!alone())
        own(capacity());
    new (items() + count) FileItem(std::move(item));
    ++header_->size;
}

void FileBlock::shrink_to_fit() {
    if (empty())
        release();
    else if (size() < capacity())
        own(size());
}

FileItem* FileBlock::edit() {
    if (header_ && !alone()) own(size());
    return header_ ? items() : nullptr;
}

}  // namespace nimbrel
