#include "model/clean_queue.h"

#include <algorithm>

#include "engine/path_rules.h"

namespace nimbrel {

namespace {

bool coversChildren(const CleanItem& item) {
    return item.kind == CleanItem::Kind::folder || item.kind == CleanItem::Kind::artifact;
}

}  // namespace

CleanQueue::CleanQueue(QObject* parent) : QObject(parent) {}

void CleanQueue::setItems(std::vector<CleanItem> items) {
    if (items == items_) return;
    items_ = std::move(items);
    emit itemsChanged();
}

bool CleanQueue::contains(const std::string& path) const {
    return std::any_of(items_.begin(), items_.end(), [&](const CleanItem& item) { return item.id == path; });
}

std::optional<CleanItem> CleanQueue::covering(const std::string& path) const {
    for (const CleanItem& item : items_) {
        if (coversChildren(item) && PathRules::isInside(path, item.id)) return item;
    }
    return std::nullopt;
}

bool CleanQueue::includes(const std::string& path) const {
    return contains(path) || covering(path).has_value();
}

bool CleanQueue::insert(const CleanItem& item) {
    if (contains(item.id)) return false;
    const bool isJunk = item.kind == CleanItem::Kind::junk;
    // A junk location's id is not a path: it is never covered and covers nothing.
    if (!isJunk && covering(item.id)) return false;
    if (!isJunk) {
        std::erase_if(items_, [&](const CleanItem& queued) {
            return queued.kind != CleanItem::Kind::junk && PathRules::isInside(queued.id, item.id);
        });
    }
    items_.push_back(item);
    return true;
}

void CleanQueue::add(const CleanItem& item) {
    if (insert(item)) emit itemsChanged();
}

void CleanQueue::add(const std::vector<CleanItem>& items) {
    bool changed = false;
    for (const CleanItem& item : items)
        changed = insert(item) || changed;
    if (changed) emit itemsChanged();
}

void CleanQueue::remove(const std::string& path) {
    std::erase_if(items_, [&](const CleanItem& item) { return item.id == path; });
    emit itemsChanged();
}

void CleanQueue::removeEvaporated(const std::unordered_set<std::string>& paths,
                                  const std::unordered_set<std::string>& cleared) {
    std::erase_if(items_,
                  [&](const CleanItem& item) { return paths.count(item.id) || cleared.count(item.id); });
    emit itemsChanged();
}

std::vector<CleanQueue::SourceTotal> CleanQueue::bySource() const {
    std::vector<SourceTotal> totals;
    for (CleanItem::Source source : CleanItem::allSources()) {
        SourceTotal total{source};
        for (const CleanItem& item : items_) {
            if (item.source != source) continue;
            ++total.count;
            total.size += item.size;
        }
        if (total.count > 0) totals.push_back(total);
    }
    return totals;
}

}  // namespace nimbrel
