#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/junk_location.h"
#include "engine/risk_catalog.h"
#include "model/clean_item.h"
#include "model/duplicates_model.h"

namespace nimbrel {

// What the review shows and allows for one selection and the user's unticks, worked out without a
// window. A selection of a hundred thousand items must open and change without keeping the main
// thread busy, so:
// - the model reads the queue it was made for in place and copies only the ids, packed into one
//   buffer (a snapshot the workers read);
// - what the guard and the risk catalogue say of each item is worked out on a worker (judge()) and
//   handed in with take(); until then counts and sizes are shown, and the removal waits;
// - a tick, a section's tick and items leaving the queue update the counts in place.
// Items are known by their entry in the snapshot, which never changes while the model lives.
class ReviewModel {
  public:
    using Entry = uint32_t;
    static constexpr Entry kNoEntry = UINT32_MAX;

    // One line of the danger banner: a kind of data and how many items of it are ticked.
    struct Kind {
        std::string title;
        std::string why;  // the first item's reason
        std::vector<CleanItem> items;
    };
    struct Section {
        CleanItem::Source source;
        int count = 0;  // every queued item of the source, ticked or not
        int ticked = 0;
        int64_t tickedSize = 0;  // kept items included
        bool allTicked() const { return ticked == count; }
    };

    // What a judgement depends on, per item: the rest of an item only changes how it is shown.
    struct Snapshot {
        struct Item {
            size_t at = 0;
            uint32_t length = 0;
            CleanItem::Kind kind = CleanItem::Kind::file;
            CleanItem::Source source = CleanItem::Source::space;
            int64_t size = 0;
            double heat = 0.0;
        };
        std::string ids;
        std::vector<Item> items;
        std::vector<JunkLocation> locations;
        // The sets the queued extra copies were chosen from, once each: a removal counts on these,
        // whatever the twin search holds now (a new scan forgets it).
        std::vector<std::shared_ptr<const TwinCopies>> twinSets;
        std::string_view id(Entry e) const { return {ids.data() + items[e].at, items[e].length}; }
        // The item as far as judging it goes (no name, no icon path).
        CleanItem judged(Entry e) const;
    };
    // What the guard and the catalogue say of each entry; a handful of distinct risks, shared.
    struct Judgement {
        bool locked = false;
        bool contentsOnly = false;
        uint16_t risk = 0;  // into Verdicts::risks
    };
    // For each copy of a set of twins, every entry that takes it (itself, a folder above it, a junk
    // location listing it).
    using TwinHolders = std::vector<std::vector<Entry>>;
    struct Verdicts {
        std::vector<Judgement> judged;  // one per entry
        std::vector<Risk> risks;
        // Sets of twins that no copy of would remain if every entry that holds one went. While each
        // copy keeps a ticked entry that takes it, those ticked entries are danger items.
        std::vector<TwinHolders> wholeTwinSets;
        // The folders of each queued junk location ("junk:<id>") that exist.
        std::unordered_map<std::string, std::vector<std::string>> junkFolders;
    };
    // The targets the review listed for each ticked junk location, by its id ("junk:<id>").
    using JunkTargets = std::unordered_map<std::string, std::vector<JunkEntry>>;
    // Entries the removal will refuse by where their path leads on disk, with the guard's reason.
    using OnDisk = std::unordered_map<Entry, std::string>;

    // Judged at once: for tests and callers with a few items.
    ReviewModel(std::vector<CleanItem> queue, const std::unordered_set<std::string>& excluded,
                std::vector<JunkLocation> locations,
                const std::unordered_set<std::string>& protectedOnDisk = {},
                const DuplicatesModel::Watch& twins = {}, const JunkTargets& junkTargets = {});
    // Not judged yet: reads `queue` in place, which must stay as it is until follow() is told of a
    // change. `unticked` holds ids to start unticked.
    struct Unjudged {};
    ReviewModel(Unjudged, const std::vector<CleanItem>& queue, std::vector<JunkLocation> locations,
                const std::unordered_set<std::string>& unticked);
    ~ReviewModel();
    ReviewModel(const ReviewModel&) = delete;
    ReviewModel& operator=(const ReviewModel&) = delete;

    // The work of a worker, which reads the disk: every entry judged, and (second step) every entry
    // that is neither junk nor locked looked up on disk. The main thread judges nothing on disk:
    // until these come in, what it says of an entry is what is known without reading it.
    static Verdicts judge(const Snapshot& snapshot, const DuplicatesModel::Watch& twins = {},
                          const JunkTargets& junkTargets = {});
    // What the review says of an item that would take the last copy of a file with it.
    static Risk lastCopyRisk();
    static OnDisk judgeOnDisk(const Snapshot& snapshot, const Verdicts& verdicts);
    const std::shared_ptr<const Snapshot>& snapshot() const { return snapshot_; }
    const std::shared_ptr<const Verdicts>& verdicts() const { return verdicts_; }
    bool isJudged() const { return verdicts_ != nullptr; }
    // Hands in what a worker worked out for this model's snapshot.
    void take(std::shared_ptr<const Verdicts> verdicts);
    void takeOnDisk(std::shared_ptr<const OnDisk> onDisk);

    // The queue changed to `queue`. When it only lost items (the usual case: "Remove from
    // Selection"), the model follows in place and returns the entries that left; otherwise it
    // returns nothing and must be replaced.
    std::optional<std::vector<Entry>> follow(const std::vector<CleanItem>& queue);
    // A model made on a worker from a snapshot of the queue reads the queue itself from now on;
    // `queue` must hold the very items it was made from.
    void rebind(const std::vector<CleanItem>& queue) { queue_ = &queue; }

    // An item the safety guard keeps: not junk, protected, and not a contents-only folder.
    static bool locked(const CleanItem& item);
    // A folder that stays while its contents go (the home folder's cache folder).
    static bool contentsOnly(const CleanItem& item);
    // The risk the review judges an item by, as far as it is known without reading the disk. A junk
    // location counts as what its most delicate folder holds: a location of device backups is as
    // dangerous as one backup picked from inside it.
    static Risk reviewRisk(const CleanItem& item, const std::vector<JunkLocation>& locations);
    static std::optional<JunkLocation> location(const CleanItem& item,
                                                const std::vector<JunkLocation>& locations);

    // By entry, as judged; an entry not judged yet is judged here on the spot (a row in view), from
    // what is known.
    bool isKept(Entry e) const;
    bool isLocked(Entry e) const;
    Risk reviewRisk(Entry e) const;
    // The same for any item: a queued one by its entry, another judged on the spot.
    bool isKept(const CleanItem& item) const;
    bool isLocked(const CleanItem& item) const;
    Risk reviewRisk(const CleanItem& item) const;

    const std::vector<CleanItem>& queue() const { return *queue_; }
    const std::vector<JunkLocation>& locations() const { return snapshot_->locations; }
    // The entry of a queued id (a walk over the queue), or kNoEntry.
    Entry entry(std::string_view id) const;
    // The entry of the item at a queue position, and back.
    Entry entryAt(size_t position) const { return entries_[position]; }
    const CleanItem& item(Entry e) const { return (*queue_)[positions_[e]]; }
    std::vector<CleanItem> itemsOf(const std::vector<Entry>& entries) const;
    bool isQueued(Entry e) const { return e < positions_.size() && positions_[e] != kGone; }
    const CleanItem* find(const std::string& id) const;

    bool isTicked(Entry e) const { return !unticked_[e]; }
    bool isTicked(const std::string& id) const;
    // False when nothing changed.
    bool setTicked(Entry e, bool ticked);
    bool setSourceTicked(CleanItem::Source source, bool ticked);
    // The unticked ids (made on request).
    std::unordered_set<std::string> excluded() const;
    size_t excludedCount() const;

    const Section* section(CleanItem::Source source) const;
    const std::vector<Section>& sections() const { return sections_; }

    size_t includedCount() const { return included_; }
    // The ids handed to the removal: every ticked item, kept ones too (the removal reports them).
    std::unordered_set<std::string> ids() const;
    // Kept items are left out once judged; until then every ticked item counts.
    int64_t removalSize() const { return removalSize_; }
    std::vector<CleanItem> dangerItems() const;
    size_t dangerCount() const { return danger_.size(); }
    std::unordered_set<std::string> dangerIDs() const;
    std::vector<CleanItem> kept() const;
    // Changes whenever the danger items change, so the banner is built again only then.
    uint64_t dangerRevision() const { return dangerRevision_; }

    // The banner's kinds, most items first and then by title; all of them (the banner shows three).
    std::vector<Kind> dangerKinds() const;
    static constexpr int kShownKinds = 3;
    // The banner's last line; empty when there is none.
    QString bannerTail() const;
    QString bannerTitle() const;
    // One shown kind line: the bold lead and the plain rest.
    static std::pair<QString, QString> kindLine(const Kind& kind);

    // The removal buttons: nothing ticked, danger not acknowledged, or the items not judged yet keep
    // them off. The acknowledgement covers the danger items present when it was given, so an item
    // that turns up later (the queue changed under the open sheet) needs a new one.
    bool removalEnabled(const std::unordered_set<std::string>& acknowledgedIDs) const;
    bool waitsForAcknowledgement(const std::unordered_set<std::string>& acknowledgedIDs) const;
    // Every danger item ticked now is among `ids`.
    bool coversDanger(const std::unordered_set<std::string>& ids) const;
    QString trashHelp(const std::unordered_set<std::string>& acknowledgedIDs) const;

    QString countLine() const;
    QString trashTitle() const;
    // The same lines from figures, for a selection not packed yet.
    static QString countLine(size_t included, size_t all, int64_t size);
    static QString trashTitle(int64_t size);
    // Empty without kept items.
    QString keptNote() const;
    static QString sectionTitle(CleanItem::Source source, int count);

    // The grey line under a row's name and the review row's badge.
    enum class RowBadge { none, kept, contentsOnly, risk };
    RowBadge rowBadge(Entry e) const;
    RowBadge rowBadge(const CleanItem& item) const;
    using FileCount = std::function<std::optional<int64_t>(const std::string&)>;
    QString rowDetail(Entry e, const FileCount& folderFileCount) const;
    QString rowDetail(const CleanItem& item, const FileCount& folderFileCount) const;

  private:
    static constexpr uint32_t kGone = UINT32_MAX;
    void pack(const std::vector<JunkLocation>& locations);
    void derive();
    Section& sectionOf(CleanItem::Source source);
    bool isDanger(Entry e) const;
    // Marks the entries of every set of twins whose entries are all ticked.
    void deriveLastCopies();
    // Puts `e` into or out of a list of entries kept in queue order.
    void place(std::vector<Entry>& list, Entry e, bool in);
    RowBadge badge(const CleanItem& item, bool kept, const Risk& risk) const;
    // `onDiskReason`: why the guard keeps an item that is kept and not locked.
    QString detail(const CleanItem& item, bool kept, bool locked, const Risk& risk,
                   const std::string& onDiskReason, const FileCount& folderFileCount) const;

    std::vector<CleanItem> owned_;  // the queue of a model judged at once
    const std::vector<CleanItem>* queue_;
    std::shared_ptr<const Snapshot> snapshot_;
    std::shared_ptr<const Verdicts> verdicts_;
    std::shared_ptr<const OnDisk> onDisk_;
    std::vector<Entry> entries_;       // by queue position
    std::vector<uint32_t> positions_;  // by entry; kGone once it left the queue
    std::vector<bool> unticked_;       // by entry
    size_t untickedCount_ = 0;

    std::vector<Section> sections_;  // the sources present, in source order
    size_t included_ = 0;
    int64_t removalSize_ = 0;
    std::vector<Entry> danger_;    // ticked, not kept, danger; in queue order
    std::vector<Entry> kept_;      // ticked and kept; in queue order
    std::vector<bool> lastCopy_;   // by entry: ticked while each copy of some set has a ticked holder
    std::vector<bool> holdsTwin_;  // by entry: holds a copy of a set that is queued whole
    uint64_t dangerRevision_ = 0;
};

}  // namespace nimbrel
