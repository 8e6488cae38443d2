#include "engine/scan_progress.h"

#include <utility>

namespace nimbrel {

std::vector<DiscoveredEntry> DiscoveredList::toVector() const {
    return {begin(), end()};
}

bool operator==(const DiscoveredList& a, const DiscoveredList& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

void DiscoveredListBuilder::append(DiscoveredEntry entry) {
    if (open_) settle(*std::exchange(open_, std::nullopt));
    if (entry.measuring)
        open_ = std::move(entry);
    else
        settle(std::move(entry));
}

void DiscoveredListBuilder::settleOpen(std::int64_t finalSize) {
    if (!open_) return;
    DiscoveredEntry entry = *std::exchange(open_, std::nullopt);
    entry.size = finalSize;
    entry.measuring = false;
    settle(std::move(entry));
}

void DiscoveredListBuilder::settle(DiscoveredEntry entry) {
    if (!block_ || count_ == block_->capacity()) {
        // Snapshots may be reading the full block: move on to a new one instead of growing it.
        auto bigger = std::make_shared<std::vector<DiscoveredEntry>>();
        bigger->reserve(count_ < 16 ? 32 : count_ * 2);
        if (block_) bigger->insert(bigger->end(), block_->begin(), block_->begin() + count_);
        block_ = std::move(bigger);
    }
    // Within capacity: existing elements (and their addresses) stay untouched.
    block_->push_back(std::move(entry));
    ++count_;
}

DiscoveredList DiscoveredListBuilder::snapshot() const {
    DiscoveredList list;
    if (block_) {
        list.keepAlive_ = block_;
        list.settled_ = block_->data();
        list.settledCount_ = count_;
    }
    list.open_ = open_;
    return list;
}

}  // namespace nimbrel
