#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/clean_item.h"

namespace nimbrel {

// The selection: every ticked entry of every area, in the order it was ticked. A queued folder or
// build product covers everything below it, so the list never holds an item inside one of them.
// Ids are compared as given (callers pass normalised absolute paths). Main thread only.
class CleanQueue : public QObject {
    Q_OBJECT

  public:
    struct SourceTotal {
        CleanItem::Source source;
        int64_t count = 0;
        int64_t size = 0;

        bool operator==(const SourceTotal&) const = default;
    };

    explicit CleanQueue(QObject* parent = nullptr);

    const std::vector<CleanItem>& items() const { return *items_; }
    // The list as it is now, for a worker: it never changes, whatever happens to the queue.
    std::shared_ptr<const std::vector<CleanItem>> snapshot() const { return items_; }
    // Notifies only when the list differs.
    void setItems(std::vector<CleanItem> items);

    bool contains(const std::string& path) const;
    // The first queued folder or build product strictly above `path`.
    std::optional<CleanItem> covering(const std::string& path) const;
    // Queued itself or covered by a queued folder.
    bool includes(const std::string& path) const;

    // Ignored when already queued or covered; a folder drops the items already queued inside it.
    void add(const CleanItem& item);
    // Element by element, so an element may drop or be dropped by an earlier one; one notification.
    void add(const std::vector<CleanItem>& items);
    // The same as add(items), but a list of many thousands is worked out on a worker and handed back
    // in one step, so the main thread is not kept from its events meanwhile: until then the queue is
    // as it was. A change made in between is kept, and the list is then applied after it.
    void addAside(std::vector<CleanItem> items);
    static constexpr size_t kAsideFrom = 2000;
    // A list to add that is itself made on the worker, from data that never changes under it (so
    // the click that asks for it costs nothing per item). `current` says, on the main thread when
    // the list is back, whether that data still stands; when it does not, the list is dropped and
    // made again from what `making` gives then, so nothing that went meanwhile is added. A making
    // without `make` adds nothing. `added` runs on the main thread once the list that stood is in.
    struct Making {
        std::function<std::vector<CleanItem>()> make;
        std::function<bool()> current;
        std::function<void()> added;
    };
    void addAside(std::function<Making()> making);
    void remove(const std::string& path);
    // After a removal: drops the items whose ids are in either set.
    void removeEvaporated(const std::unordered_set<std::string>& paths,
                          const std::unordered_set<std::string>& cleared);
    // The same, but a selection of many thousands is worked out on a worker and handed back in one
    // step, as with addAside; a change made in between is kept, and the removal applied after it.
    void removeEvaporatedAside(std::shared_ptr<const std::unordered_set<std::string>> paths,
                               std::unordered_set<std::string> cleared);
    // After a removal that took part of some items: each of those ids keeps its place and loses
    // the bytes that went below it, so the selection weighs what is still there.
    void shrink(const std::unordered_map<std::string, int64_t>& wentBelow);
    // Gives the queued items of these ids the sizes given (what their targets weigh now).
    void resize(const std::unordered_map<std::string, int64_t>& sizes);
    // What a scan or a twin search saw of an entry; the search also the set it found it in.
    struct Seen {
        int64_t size = 0;
        EntryIdentity identity;
        std::shared_ptr<const TwinCopies> twins = nullptr;
    };
    // Gives the queued items of these ids what a new scan or twin search saw, so a removal takes
    // each entry as it is now (an extra copy, against its set as found now); the others, and one
    // seen as another kind of entry, keep what they had.
    void reseen(const std::unordered_map<std::string, Seen>& seen);

    // Count and size per source, in source order, leaving out sources without items; kept as the
    // list changes, so asking costs nothing per item.
    std::vector<SourceTotal> bySource() const;
    // The sum of every queued size.
    int64_t totalSize() const;

    // Some queued item, junk aside, lies strictly inside `path` (adding it would drop them).
    bool holdsInside(const std::string& path) const;
    // Changes with every change of the list, so a caller can tell whether anything happened since.
    uint64_t generation() const { return generation_; }

  signals:
    void itemsChanged();

  private:
    // Looks strings up by view, so a lookup of a folder above a path copies nothing.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    void changed();
    // A queue of its own, on a worker, holding a snapshot's items; the snapshot is let go of.
    static std::shared_ptr<CleanQueue> scratchOf(std::shared_ptr<const std::vector<CleanItem>> snapshot);
    // The main thread's part once a list added aside is back: the queue worked out on the worker is
    // taken over if nothing changed since `from`, else the list goes on top of what is there now.
    void finishAside(uint64_t from, std::shared_ptr<CleanQueue> scratch,
                     std::shared_ptr<const std::vector<CleanItem>> list);
    // Takes over the list and lookups of `other`.
    void adopt(CleanQueue& other);
    // adopt(), then the queue's former contents, now in `scratch`, are freed on a worker.
    void adoptFreeingAside(CleanQueue& scratch);
    // Hands the list and lookups to a worker to free; for a scratch queue that is done with.
    void releaseAside();
    // Applies the covering rules without notifying; true when the item was appended. Items it drops
    // are only marked: compact() takes them out, once per public operation.
    bool insert(const CleanItem& item);
    void drop(size_t position);
    void compact();
    // Rebuilds the lookups from `items_`.
    void reindex();
    // The position of the item with this ticket.
    size_t positionOf(uint64_t ticket) const;
    // Adds an item to the totals (sign 1) or takes it out (-1).
    void count(const CleanItem& item, int sign);

    // The list for changing: the queue's own, copied first if a snapshot still shares it.
    std::vector<CleanItem>& own();

    std::shared_ptr<std::vector<CleanItem>> items_ = std::make_shared<std::vector<CleanItem>>();
    // Lookups over `items_`, so ticking many thousands of rows stays linear: ticket by id (the
    // first one when a list set from outside repeats an id), ticket of every folder and build
    // product by id, and every path id in order, so the items inside a folder are one range.
    // A ticket is given to an item as it joins and never changes; `tickets_` holds them in list
    // order (rising), so an item leaving moves no other item's ticket.
    using Index = std::unordered_map<std::string, uint64_t, Hash, std::equal_to<>>;
    Index positions_;
    Index coverers_;
    std::vector<uint64_t> tickets_;
    uint64_t nextTicket_ = 0;
    std::array<SourceTotal, 3> totals_{};
    std::set<std::string, std::less<>> paths_;
    std::vector<bool> dropped_;
    size_t droppedCount_ = 0;
    bool repeated_ = false;  // some id is listed twice: the lookups hold only its first entry
    uint64_t generation_ = 0;
};

}  // namespace nimbrel
