#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/junk_location.h"
#include "engine/risk_catalog.h"
#include "model/clean_item.h"

namespace nimbrel {

// What the review shows and allows for one selection and the user's unticks, worked out without a
// window. Rebuilt whenever the queue, the unticks or the acknowledgement change. What the guard and
// the risk catalogue say about each item is worked out once per item and shared by the models that
// follow, so a tick in a selection of thousands costs a walk over the queue and nothing more.
class ReviewModel {
  public:
    // One line of the danger banner: a kind of data and how many items of it are ticked.
    struct Kind {
        std::string title;
        std::string why;  // the first item's reason
        std::vector<CleanItem> items;
    };
    struct Section {
        CleanItem::Source source;
        std::vector<const CleanItem*> items;  // every queued item of the source, ticked or not
        int ticked = 0;
        int64_t tickedSize = 0;  // kept items included
        bool allTicked() const { return ticked == static_cast<int>(items.size()); }
    };

    // `locations` is the whole junk catalogue (a junk item is looked up in it by id).
    // `previous`, when given, lends the judgements of the items it already knew.
    ReviewModel(std::vector<CleanItem> queue, std::unordered_set<std::string> excluded,
                std::vector<JunkLocation> locations, std::unordered_set<std::string> protectedOnDisk = {},
                const ReviewModel* previous = nullptr);
    // The same queue, locations and judgements with other unticks.
    // The unticks are shared, not copied: a section's tick can stand for thousands of them.
    using Unticks = std::shared_ptr<const std::unordered_set<std::string>>;
    ReviewModel(const ReviewModel& same, Unticks excluded);

    // An item the safety guard keeps: not junk, protected, and not a contents-only folder.
    static bool locked(const CleanItem& item);
    // Kept as the removal will judge it: by the written path, or because the path leads into a
    // protected folder on disk (`protectedOnDisk`, worked out off the main thread by the sheet).
    bool isKept(const CleanItem& item) const;
    // `locked` as judged for the queued item (worked out once per item).
    bool isLocked(const CleanItem& item) const;
    // A folder that stays while its contents go (the home folder's cache folder).
    static bool contentsOnly(const CleanItem& item);
    // The risk the review judges an item by. A junk location counts as what its most delicate folder
    // holds: a location of device backups is as dangerous as one backup picked from inside it.
    static Risk reviewRisk(const CleanItem& item, const std::vector<JunkLocation>& locations);
    Risk reviewRisk(const CleanItem& item) const;
    static std::optional<JunkLocation> location(const CleanItem& item,
                                                const std::vector<JunkLocation>& locations);

    const std::vector<CleanItem>& queue() const { return base_->queue; }
    const std::vector<JunkLocation>& locations() const { return base_->locations; }
    const std::unordered_set<std::string>& excluded() const { return *excluded_; }
    bool isTicked(const std::string& id) const { return !excluded_->count(id); }
    // The queued item with this id, if any.
    const CleanItem* find(const std::string& id) const;
    const Section* section(CleanItem::Source source) const;

    const std::vector<const CleanItem*>& included() const { return included_; }
    // The ids handed to the removal: every ticked item, kept ones too (the removal reports them).
    std::unordered_set<std::string> ids() const;
    int64_t removalSize() const { return removalSize_; }
    const std::vector<CleanItem>& dangerItems() const { return danger_; }
    std::unordered_set<std::string> dangerIDs() const;
    const std::vector<CleanItem>& kept() const { return kept_; }
    const std::vector<Section>& sections() const { return sections_; }

    // The banner's kinds, most items first and then by title; all of them (the banner shows three).
    std::vector<Kind> dangerKinds() const;
    static constexpr int kShownKinds = 3;
    // The banner's last line; empty when there is none.
    QString bannerTail() const;
    QString bannerTitle() const;
    // One shown kind line: the bold lead and the plain rest.
    static std::pair<QString, QString> kindLine(const Kind& kind);

    // The removal buttons: nothing ticked, or danger not acknowledged, keeps them off. The
    // acknowledgement covers the danger items present when it was given, so an item that turns up
    // later (the queue changed under the open sheet) needs a new one.
    bool removalEnabled(const std::unordered_set<std::string>& acknowledgedIDs) const;
    bool waitsForAcknowledgement(const std::unordered_set<std::string>& acknowledgedIDs) const;
    QString trashHelp(const std::unordered_set<std::string>& acknowledgedIDs) const;

    QString countLine() const;
    QString trashTitle() const;
    // Empty without kept items.
    QString keptNote() const;
    static QString sectionTitle(CleanItem::Source source, int count);

    // The grey line under a row's name and the review row's badge.
    enum class RowBadge { none, kept, contentsOnly, risk };
    RowBadge rowBadge(const CleanItem& item) const;
    QString rowDetail(const CleanItem& item,
                      const std::function<std::optional<int64_t>(const std::string&)>& folderFileCount) const;

  private:
    // What the guard and the catalogue say of one item; none of it depends on the unticks.
    struct Judgement {
        bool locked = false;
        bool contentsOnly = false;
        bool kept = false;
        Risk risk;
    };
    struct Base {
        std::vector<CleanItem> queue;
        std::vector<JunkLocation> locations;
        std::unordered_set<std::string> protectedOnDisk;
        std::vector<Judgement> judged;  // one per queued item
        std::unordered_map<std::string, size_t> index;
    };
    void derive();
    const Judgement* judgement(const CleanItem& item) const;

    std::shared_ptr<const Base> base_;
    Unticks excluded_;
    std::vector<const CleanItem*> included_;
    std::vector<CleanItem> danger_;
    std::vector<CleanItem> kept_;
    std::vector<Section> sections_;
    int64_t removalSize_ = 0;
};

}  // namespace nimbrel
