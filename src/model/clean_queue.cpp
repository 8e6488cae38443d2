#include "model/clean_queue.h"

#include <algorithm>

#include "engine/path_rules.h"
#include "model/background.h"

namespace nimbrel {

namespace {

bool coversChildren(const CleanItem& item) {
    return item.kind == CleanItem::Kind::folder || item.kind == CleanItem::Kind::artifact;
}

}  // namespace

CleanQueue::CleanQueue(QObject* parent) : QObject(parent) {}

void CleanQueue::changed() {
    ++generation_;
    emit itemsChanged();
}

std::vector<CleanItem>& CleanQueue::own() {
    // A snapshot handed to a worker is never changed under it: the queue takes a copy of its own.
    if (items_.use_count() > 1) items_ = std::make_shared<std::vector<CleanItem>>(*items_);
    return *items_;
}

void CleanQueue::setItems(std::vector<CleanItem> items) {
    if (items == *items_) return;
    Background::dispose(std::exchange(items_, std::make_shared<std::vector<CleanItem>>(std::move(items))));
    reindex();
    changed();
}

void CleanQueue::reindex() {
    // The old lookups of a large selection are freed aside.
    if (positions_.size() > 1024) {
        Background::dispose(std::exchange(positions_, {}));
        Background::dispose(std::exchange(coverers_, {}));
        Background::dispose(std::exchange(paths_, {}));
    }
    positions_.clear();
    coverers_.clear();
    paths_.clear();
    const std::vector<CleanItem>& list = *items_;
    positions_.reserve(list.size());
    repeated_ = false;
    dropped_.assign(list.size(), false);
    droppedCount_ = 0;
    tickets_.resize(list.size());
    totals_ = {};
    for (size_t i = 0; i < list.size(); ++i) {
        const CleanItem& item = list[i];
        tickets_[i] = i;
        count(item, 1);
        if (!positions_.emplace(item.id, i).second) repeated_ = true;
        if (coversChildren(item)) coverers_.emplace(item.id, i);
        if (item.kind != CleanItem::Kind::junk) paths_.insert(item.id);
    }
    nextTicket_ = list.size();
}

size_t CleanQueue::positionOf(uint64_t ticket) const {
    return static_cast<size_t>(std::lower_bound(tickets_.begin(), tickets_.end(), ticket) - tickets_.begin());
}

void CleanQueue::count(const CleanItem& item, int sign) {
    SourceTotal& total = totals_[static_cast<size_t>(item.source)];
    total.count += sign;
    total.size += sign * item.size;
}

bool CleanQueue::contains(const std::string& path) const {
    return positions_.count(path) > 0;
}

std::optional<CleanItem> CleanQueue::covering(const std::string& path) const {
    if (coverers_.empty()) return std::nullopt;
    // Only the folders above the path can cover it; the first queued of them wins.
    std::optional<size_t> first;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        // The root folder is the one above every other absolute path.
        if (slash == 0 && path.size() == 1) break;
        auto found =
            coverers_.find(slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash));
        // Tickets follow the list's order, so the first ticket is the first queued.
        if (found != coverers_.end() && !dropped_[positionOf(found->second)] &&
            (!first || found->second < *first))
            first = found->second;
    }
    if (!first) return std::nullopt;
    return (*items_)[positionOf(*first)];
}

bool CleanQueue::includes(const std::string& path) const {
    return contains(path) || covering(path).has_value();
}

void CleanQueue::drop(size_t position) {
    if (dropped_[position]) return;
    dropped_[position] = true;
    ++droppedCount_;
    const CleanItem& item = (*items_)[position];
    count(item, -1);
    positions_.erase(item.id);
    coverers_.erase(item.id);
    if (item.kind != CleanItem::Kind::junk) paths_.erase(item.id);
}

bool CleanQueue::insert(const CleanItem& item) {
    if (contains(item.id)) return false;
    const bool isJunk = item.kind == CleanItem::Kind::junk;
    // A junk location's id is not a path: it is never covered and covers nothing.
    if (!isJunk && covering(item.id)) return false;
    if (!isJunk) {
        if (repeated_) {
            compact();
            std::erase_if(own(), [&](const CleanItem& queued) {
                return queued.kind != CleanItem::Kind::junk && PathRules::isInside(queued.id, item.id);
            });
            reindex();
        } else {
            // Every path id inside `item` sorts between "<id>/" and "<id>0" ('0' follows '/'); inside
            // the root, between "/" and "0", the root itself not being queued yet.
            const bool root = item.id == "/";
            std::string slash = root ? "/" : item.id + '/';
            std::string after = root ? "0" : item.id + '0';
            std::vector<size_t> inside;
            for (auto it = paths_.lower_bound(slash); it != paths_.end() && *it < after; ++it)
                inside.push_back(positionOf(positions_.at(*it)));
            for (size_t position : inside)
                drop(position);
        }
    }
    const uint64_t ticket = nextTicket_++;
    own().push_back(item);
    dropped_.push_back(false);
    tickets_.push_back(ticket);
    count(item, 1);
    positions_.emplace(item.id, ticket);
    if (coversChildren(item)) coverers_.emplace(item.id, ticket);
    if (!isJunk) paths_.insert(item.id);
    return true;
}

void CleanQueue::compact() {
    if (droppedCount_ == 0) return;
    // Only the items from the first dropped one on move.
    const size_t first =
        static_cast<size_t>(std::find(dropped_.begin(), dropped_.end(), true) - dropped_.begin());
    size_t kept = first;
    std::vector<CleanItem>& list = own();
    for (size_t i = first; i < list.size(); ++i) {
        if (dropped_[i]) continue;
        if (kept != i) {
            list[kept] = std::move(list[i]);
            tickets_[kept] = tickets_[i];
        }
        ++kept;
    }
    list.resize(kept);
    tickets_.resize(kept);
    // The dropped ids already left the lookups, and the others are known by their tickets, which
    // do not move: taking one item out of a long selection touches no lookup.
    dropped_.assign(list.size(), false);
    droppedCount_ = 0;
}

void CleanQueue::add(const CleanItem& item) {
    const bool added = insert(item);
    compact();
    if (added) changed();
}

void CleanQueue::add(const std::vector<CleanItem>& items) {
    bool added = false;
    own().reserve(items_->size() + items.size());
    dropped_.reserve(items_->size() + items.size());
    positions_.reserve(positions_.size() + items.size());
    for (const CleanItem& item : items)
        added = insert(item) || added;
    compact();
    if (added) changed();
}

void CleanQueue::addAside(std::vector<CleanItem> items) {
    if (items.size() < kAsideFrom) {
        add(items);
        return;
    }
    const uint64_t from = generation_;
    auto list = std::make_shared<const std::vector<CleanItem>>(std::move(items));
    Background::run(
        Background::userInitiated(), this,
        [snapshot = items_, list]() mutable {
            auto scratch = scratchOf(std::move(snapshot));
            scratch->add(*list);
            return scratch;
        },
        [this, from, list](std::shared_ptr<CleanQueue> scratch) mutable {
            finishAside(from, std::move(scratch), std::move(list));
        });
}

void CleanQueue::addAside(std::function<Making()> making) {
    Making now = making();
    if (!now.make) return;  // nothing to make the list from any more
    const uint64_t from = generation_;
    struct Made {
        std::shared_ptr<CleanQueue> scratch;
        std::shared_ptr<const std::vector<CleanItem>> list;
    };
    Background::run(
        Background::userInitiated(), this,
        [snapshot = items_, make = std::move(now.make)]() mutable {
            Made made;
            made.list = std::make_shared<const std::vector<CleanItem>>(make());
            make = nullptr;  // what it read is let go of here, not on the main thread
            made.scratch = scratchOf(std::move(snapshot));
            made.scratch->add(*made.list);
            return made;
        },
        [this, from, current = std::move(now.current), added = std::move(now.added),
         making = std::move(making)](Made made) mutable {
            if (current && !current()) {
                // Made from data that changed meanwhile (a removal took some of it): made again.
                made.scratch->releaseAside();
                Background::dispose(std::move(made.list));
                addAside(std::move(making));
                return;
            }
            finishAside(from, std::move(made.scratch), std::move(made.list));
            if (added) added();
        });
}

std::shared_ptr<CleanQueue> CleanQueue::scratchOf(std::shared_ptr<const std::vector<CleanItem>> snapshot) {
    auto scratch = std::make_shared<CleanQueue>();
    // Copied here, and let go of at once: the queue copies its list only if it changes while the
    // snapshot is still held.
    scratch->setItems(std::vector<CleanItem>(*std::exchange(snapshot, nullptr)));
    return scratch;
}

void CleanQueue::finishAside(uint64_t from, std::shared_ptr<CleanQueue> scratch,
                             std::shared_ptr<const std::vector<CleanItem>> list) {
    if (generation_ != from) {
        // The selection changed meanwhile: the list goes on top of what it is now.
        scratch->releaseAside();
        add(*list);
        Background::dispose(std::move(list));
        return;
    }
    Background::dispose(std::move(list));
    adoptFreeingAside(*scratch);
    changed();
}

void CleanQueue::adoptFreeingAside(CleanQueue& scratch) {
    adopt(scratch);
    // What the queue held before is large: it is freed aside.
    scratch.releaseAside();
}

void CleanQueue::releaseAside() {
    Background::dispose(std::move(items_));
    Background::dispose(std::move(positions_));
    Background::dispose(std::move(coverers_));
    Background::dispose(std::move(paths_));
}

void CleanQueue::adopt(CleanQueue& other) {
    std::swap(items_, other.items_);
    std::swap(positions_, other.positions_);
    std::swap(coverers_, other.coverers_);
    std::swap(paths_, other.paths_);
    std::swap(dropped_, other.dropped_);
    std::swap(tickets_, other.tickets_);
    std::swap(nextTicket_, other.nextTicket_);
    std::swap(totals_, other.totals_);
    std::swap(droppedCount_, other.droppedCount_);
    std::swap(repeated_, other.repeated_);
}

void CleanQueue::remove(const std::string& path) {
    if (repeated_) {
        if (contains(path)) {
            std::erase_if(own(), [&](const CleanItem& item) { return item.id == path; });
            reindex();
        }
    } else if (auto found = positions_.find(path); found != positions_.end()) {
        // One item out: the lookups lose its entry and the positions after it move up.
        drop(positionOf(found->second));
        compact();
    }
    changed();
}

void CleanQueue::removeEvaporated(const std::unordered_set<std::string>& paths,
                                  const std::unordered_set<std::string>& cleared) {
    // Each id is looked up once.
    const std::vector<CleanItem>& list = *items_;
    std::vector<bool> leaving(list.size());
    size_t going = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (paths.count(list[i].id) || cleared.count(list[i].id)) {
            leaving[i] = true;
            ++going;
        }
    if (repeated_ || going > list.size() - going) {
        // Most of the selection went: what stays is indexed anew, and the rest is freed aside.
        auto staying = std::make_shared<std::vector<CleanItem>>();
        staying->reserve(list.size() - going);
        // Moved out only when no snapshot shares the list.
        const bool shared = items_.use_count() > 1;
        for (size_t i = 0; i < list.size(); ++i) {
            if (leaving[i]) continue;
            if (shared)
                staying->push_back(list[i]);
            else
                staying->push_back(std::move((*items_)[i]));
        }
        Background::dispose(std::exchange(items_, std::move(staying)));
        reindex();
    } else if (going > 0) {
        for (size_t i = 0; i < leaving.size(); ++i)
            if (leaving[i]) drop(i);
        compact();
    }
    changed();
}

void CleanQueue::removeEvaporatedAside(std::shared_ptr<const std::unordered_set<std::string>> paths,
                                       std::unordered_set<std::string> cleared) {
    if (items_->size() < kAsideFrom) {
        removeEvaporated(*paths, cleared);
        return;
    }
    const uint64_t from = generation_;
    auto gone = std::make_shared<const std::unordered_set<std::string>>(std::move(cleared));
    Background::run(
        Background::userInitiated(), this,
        [snapshot = items_, paths, gone]() mutable {
            auto scratch = scratchOf(std::move(snapshot));
            scratch->removeEvaporated(*paths, *gone);
            return scratch;
        },
        [this, from, paths, gone](std::shared_ptr<CleanQueue> scratch) mutable {
            if (generation_ != from) {
                removeEvaporated(*paths, *gone);
            } else {
                adoptFreeingAside(*scratch);
                changed();
            }
            // A removal's paths are many: they are freed aside.
            Background::dispose(std::move(paths));
        });
}

void CleanQueue::shrink(const std::unordered_map<std::string, int64_t>& wentBelow) {
    bool shrunk = false;
    for (const auto& [id, bytes] : wentBelow) {
        const auto found = positions_.find(id);
        if (found == positions_.end() || bytes <= 0) continue;
        CleanItem& item = own()[positionOf(found->second)];
        count(item, -1);
        item.size = std::max<int64_t>(0, item.size - bytes);
        count(item, 1);
        shrunk = true;
    }
    if (shrunk) changed();
}

void CleanQueue::resize(const std::unordered_map<std::string, int64_t>& sizes) {
    bool resized = false;
    for (const auto& [id, bytes] : sizes) {
        const auto found = positions_.find(id);
        if (found == positions_.end() || own()[positionOf(found->second)].size == bytes) continue;
        CleanItem& item = own()[positionOf(found->second)];
        count(item, -1);
        item.size = std::max<int64_t>(0, bytes);
        count(item, 1);
        resized = true;
    }
    if (resized) changed();
}

void CleanQueue::reseen(const std::unordered_map<std::string, Seen>& seen) {
    bool changedAny = false;
    for (const auto& [id, now] : seen) {
        const auto found = positions_.find(id);
        if (found == positions_.end()) continue;
        CleanItem& item = own()[positionOf(found->second)];
        // Another kind of entry under its name (a file now a folder the scan lists as a file) is not
        // what was ticked: the item keeps what it had, and stays as changed.
        const EntryIdentity::Type ticked = item.identity                        ? item.identity->type
                                           : item.kind == CleanItem::Kind::file ? EntryIdentity::Type::file
                                                                                : EntryIdentity::Type::folder;
        if (now.identity.type != ticked) continue;
        // A copy ticked by hand stays one: only an extra copy is checked against its set.
        const bool retwinned = now.twins && item.twins && item.twins != now.twins;
        if (item.size == now.size && item.identity == now.identity && !retwinned) continue;
        count(item, -1);
        item.size = now.size;
        item.identity = now.identity;
        if (retwinned) item.twins = now.twins;
        count(item, 1);
        changedAny = true;
    }
    if (changedAny) changed();
}

bool CleanQueue::holdsInside(const std::string& path) const {
    // As in insert: the ids inside sort right after "<path>/".
    if (path == "/") {
        auto it = paths_.upper_bound(std::string_view("/"));
        return it != paths_.end() && it->front() == '/';
    }
    const std::string slash = path + '/';
    auto it = paths_.lower_bound(slash);
    return it != paths_.end() && it->compare(0, slash.size(), slash) == 0;
}

int64_t CleanQueue::totalSize() const {
    int64_t size = 0;
    for (const SourceTotal& total : totals_)
        size += total.size;
    return size;
}

std::vector<CleanQueue::SourceTotal> CleanQueue::bySource() const {
    std::vector<SourceTotal> totals;
    for (CleanItem::Source source : CleanItem::allSources()) {
        SourceTotal total = totals_[static_cast<size_t>(source)];
        total.source = source;
        if (total.count > 0) totals.push_back(total);
    }
    return totals;
}

}  // namespace nimbrel
