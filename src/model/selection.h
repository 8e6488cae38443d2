#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/clean_item.h"

namespace nimbrel {

class CleanQueue;
class ScanResult;

// What a tick on an entry does to the selection, and the undo of the last one. Every row and the
// explorer toggle through here and draw what it answers, so the rules live in one place. The queue
// keeps the list; this decides what a toggle makes of it. Main thread only.
class Selection {
  public:
    enum class Outcome {
        added,
        removed,
        // Inside a queued folder or build product: that one gave way to what it holds but the entry.
        leftOut,
        // Inside a queued folder the tree does not list: nothing changed.
        keptWhole,
    };
    struct Toggled {
        Outcome outcome = Outcome::added;
        // leftOut and keptWhole: the queued folder or build product that held the entry.
        std::optional<CleanItem> cover;
        // leftOut: the loose small files of the folders opened on the way, which stay selected.
        int64_t looseKept = 0;
    };

    // `tree` gives the installed result (or null) that a leave-out opens folders of.
    Selection(CleanQueue& queue, std::function<const ScanResult*()> tree);

    // Queued itself or, unless junk, inside a queued folder or build product.
    static bool includes(const CleanQueue& queue, const CleanItem& item);
    // Selected only because a queued folder or build product holds it: that one. A junk location's
    // id is not a path, so it is never held.
    static std::optional<CleanItem> heldBy(const CleanQueue& queue, const CleanItem& item);
    static std::optional<CleanItem> heldBy(const CleanQueue& queue, const std::string& path);
    bool includes(const CleanItem& item) const { return includes(queue_, item); }

    // Unticks a queued entry, leaves an entry held by a queued folder out of it, ticks any other.
    Toggled toggle(const CleanItem& item);
    // Leaves `path` out of the queued folder that holds it; nothing when none does.
    std::optional<Toggled> leaveOut(const std::string& path);
    // Takes back the last toggle of `item`, which added or removed it: exactly when nothing changed
    // since, so an add that dropped the items queued inside it brings them back; else by toggling
    // the item itself back.
    void undo(const CleanItem& item);

  private:
    CleanQueue& queue_;
    std::function<const ScanResult*()> tree_;
    // The last toggle that changed the list: its item, the list before it when an add dropped
    // items (a plain toggle back undoes any other), and the queue's generation after it.
    struct Last {
        std::string id;
        std::optional<std::vector<CleanItem>> before;
        uint64_t after = 0;
    };
    std::optional<Last> last_;
};

}  // namespace nimbrel
