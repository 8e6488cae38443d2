#include "views/files/review_model.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <map>
#include <tuple>
#include <unordered_map>

#include "engine/disk_scanner.h"
#include "engine/path_rules.h"
#include "engine/safety_guard.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/files_text.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::ReviewSheet", text);
}

QString utf8(const std::string& s) {
    return QString::fromUtf8(s);
}

// The value at `key` of a map that may be missing, or nothing.
template <typename Map, typename Key>
const typename Map::mapped_type* lookUp(const Map* map, const Key& key) {
    if (!map) return nullptr;
    const auto it = map->find(key);
    return it == map->end() ? nullptr : &it->second;
}

// See ReviewModel::reviewRisk; `readDisk` on a worker only.
Risk judgedRisk(const CleanItem& item, const std::vector<JunkLocation>& locations, bool readDisk) {
    if (item.kind == CleanItem::Kind::junk)
        if (const auto found = ReviewModel::location(item, locations))
            for (const std::string& path : found->paths) {
                Risk risk = readDisk ? RiskCatalog::assess(path, true, false, std::nullopt)
                                     : RiskCatalog::assessKnown(path, true, false, std::nullopt).risk;
                if (risk.level == Risk::Level::danger) return risk;
            }
    return readDisk ? item.riskOnDisk() : item.risk();
}

}  // namespace

CleanItem ReviewModel::Snapshot::judged(Entry e) const {
    CleanItem item;
    item.id = std::string(id(e));
    item.kind = items[e].kind;
    item.source = items[e].source;
    item.size = items[e].size;
    item.heat = items[e].heat;
    return item;
}

ReviewModel::ReviewModel(std::vector<CleanItem> queue, const std::unordered_set<std::string>& excluded,
                         std::vector<JunkLocation> locations,
                         const std::unordered_set<std::string>& protectedOnDisk,
                         const DuplicatesModel::Watch& twins, const JunkTargets& junkTargets)
    : owned_(std::move(queue)), queue_(&owned_) {
    pack(locations);
    for (Entry e = 0; e < entries_.size(); ++e)
        if (excluded.count(owned_[e].id)) {
            unticked_[e] = true;
            ++untickedCount_;
        }
    verdicts_ = std::make_shared<const Verdicts>(judge(*snapshot_, twins, junkTargets));
    auto onDisk = std::make_shared<OnDisk>();
    for (Entry e = 0; e < entries_.size(); ++e)
        if (protectedOnDisk.count(owned_[e].id)) onDisk->emplace(e, SafetyGuard::reasonOnDisk(owned_[e].id));
    onDisk_ = std::move(onDisk);
    derive();
}

ReviewModel::ReviewModel(Unjudged, const std::vector<CleanItem>& queue, std::vector<JunkLocation> locations,
                         const std::unordered_set<std::string>& unticked)
    : queue_(&queue) {
    pack(locations);
    if (!unticked.empty())
        for (Entry e = 0; e < entries_.size(); ++e)
            if (unticked.count(queue[e].id)) {
                unticked_[e] = true;
                ++untickedCount_;
            }
    derive();
}

ReviewModel::~ReviewModel() = default;

void ReviewModel::pack(const std::vector<JunkLocation>& locations) {
    const std::vector<CleanItem>& queue = *queue_;
    auto snapshot = std::make_shared<Snapshot>();
    size_t bytes = 0;
    for (const CleanItem& item : queue)
        bytes += item.id.size();
    snapshot->ids.reserve(bytes);
    snapshot->items.reserve(queue.size());
    std::unordered_set<const TwinCopies*> sets;
    for (const CleanItem& item : queue) {
        snapshot->items.push_back({snapshot->ids.size(), static_cast<uint32_t>(item.id.size()), item.kind,
                                   item.source, item.size, item.heat});
        snapshot->ids.append(item.id);
        if (item.twins && sets.insert(item.twins.get()).second) snapshot->twinSets.push_back(item.twins);
    }
    snapshot->locations = locations;
    snapshot_ = std::move(snapshot);
    entries_.resize(queue.size());
    positions_.resize(queue.size());
    for (Entry e = 0; e < queue.size(); ++e)
        entries_[e] = positions_[e] = e;
    unticked_.assign(queue.size(), false);
}

namespace {

// The queued entries by the paths they take, to find the entries at or above a path.
class TakenPaths {
  public:
    TakenPaths(const ReviewModel::Snapshot& snapshot, const ReviewModel::JunkTargets& junkTargets) {
        // A path may be taken by several entries: itself ticked by hand and listed by a junk location.
        for (ReviewModel::Entry e = 0; e < snapshot.items.size(); ++e) {
            const CleanItem::Kind kind = snapshot.items[e].kind;
            if (kind == CleanItem::Kind::junk) {
                // A junk location holds the copies inside the targets the review listed for it; one not
                // listed holds everything inside its folders.
                if (const auto listed = junkTargets.find(std::string(snapshot.id(e)));
                    listed != junkTargets.end()) {
                    for (const JunkEntry& target : listed->second)
                        byID_.emplace(target.path, e);
                } else {
                    for (const JunkLocation& location : snapshot.locations)
                        if ("junk:" + location.id == snapshot.id(e))
                            for (const std::string& path : location.paths)
                                byID_.emplace(path, e);
                }
                folders_ = true;
                continue;
            }
            byID_.emplace(snapshot.id(e), e);
            folders_ = folders_ || kind != CleanItem::Kind::file;
        }
    }
    bool empty() const { return byID_.empty(); }
    // The entries at or above a path: the path itself, then (when folders are queued) each folder up.
    void holders(std::string_view path, std::vector<ReviewModel::Entry>& found) const {
        for (;;) {
            const auto [from, to] = byID_.equal_range(path);
            for (auto it = from; it != to; ++it)
                found.push_back(it->second);
            if (!folders_) return;
            const size_t slash = path.rfind('/');
            if (slash == std::string_view::npos || path.size() <= 1) return;
            path = slash == 0 ? std::string_view("/") : path.substr(0, slash);
        }
    }

  private:
    std::unordered_multimap<std::string_view, ReviewModel::Entry> byID_;
    bool folders_ = false;
};

// For every set of twins whose copies all lie at or inside queued entries, the entries that take
// each copy.
std::vector<ReviewModel::TwinHolders> wholeTwinSets(const ReviewModel::Snapshot& snapshot,
                                                    const DuplicatesModel::Watch& twins,
                                                    const ReviewModel::JunkTargets& junkTargets) {
    std::vector<ReviewModel::TwinHolders> out;
    if (twins.empty() && snapshot.twinSets.empty()) return out;
    const TakenPaths taken(snapshot, junkTargets);
    if (taken.empty()) return out;
    ReviewModel::TwinHolders set;
    auto whole = [&](const auto& paths) {
        set.assign(paths.size(), {});
        for (size_t i = 0; i < paths.size(); ++i) {
            taken.holders(std::string_view(paths[i]), set[i]);
            if (set[i].empty()) return;
        }
        if (!set.empty()) out.push_back(std::move(set));
    };
    std::vector<std::string_view> paths;
    if (twins.groups)
        for (const DuplicateGroup& g : *twins.groups) {
            paths.clear();
            for (const FileItem& f : g.files)
                paths.emplace_back(f.path);
            whole(paths);
        }
    if (twins.lastCopies)
        for (const std::string& path : *twins.lastCopies)
            whole(std::vector<std::string_view>{path});
    for (const std::shared_ptr<const TwinCopies>& twinSet : snapshot.twinSets) {
        paths.clear();
        for (const SeenCopy& copy : twinSet->copies)
            paths.emplace_back(copy.path);
        whole(paths);
    }
    return out;
}

}  // namespace

Risk ReviewModel::lastCopyRisk() {
    return {Risk::Level::danger, tr("No copy would remain").toStdString(),
            tr("Every copy left of these identical files is selected").toStdString()};
}

ReviewModel::Verdicts ReviewModel::judge(const Snapshot& snapshot, const DuplicatesModel::Watch& twins,
                                         const JunkTargets& junkTargets) {
    Verdicts out;
    out.wholeTwinSets = wholeTwinSets(snapshot, twins, junkTargets);
    out.judged.reserve(snapshot.items.size());
    std::map<std::tuple<Risk::Level, std::string, std::string>, uint16_t> known;
    for (Entry e = 0; e < snapshot.items.size(); ++e) {
        const CleanItem item = snapshot.judged(e);
        Judgement j;
        j.locked = locked(item);
        j.contentsOnly = contentsOnly(item);
        Risk risk = judgedRisk(item, snapshot.locations, true);
        auto [it, added] = known.try_emplace({risk.level, risk.title, risk.why}, 0);
        if (added) {
            // Risks differ by kind of data, not by item: a few dozen at most. Past the bound the
            // last one stands for the rest by level alone, which is what the removal gates on.
            it->second = static_cast<uint16_t>(std::min<size_t>(out.risks.size(), UINT16_MAX));
            if (out.risks.size() <= UINT16_MAX) out.risks.push_back(std::move(risk));
        }
        j.risk = it->second;
        out.judged.push_back(j);
    }
    for (const JunkLocation& location : snapshot.locations)
        out.junkFolders.emplace("junk:" + location.id, location.existingPaths());
    return out;
}

ReviewModel::OnDisk ReviewModel::judgeOnDisk(const Snapshot& snapshot, const Verdicts& verdicts) {
    OnDisk refused;
    const std::shared_ptr<const DiskGuard> guard = DiskGuard::current();
    for (Entry e = 0; e < snapshot.items.size(); ++e) {
        if (snapshot.items[e].kind == CleanItem::Kind::junk || verdicts.judged[e].locked) continue;
        const std::string path(snapshot.id(e));
        if (guard->isProtected(path)) refused.emplace(e, guard->reason(path));
    }
    return refused;
}

void ReviewModel::take(std::shared_ptr<const Verdicts> verdicts) {
    if (!verdicts || verdicts->judged.size() != snapshot_->items.size()) return;
    verdicts_ = std::move(verdicts);
    derive();
}

void ReviewModel::takeOnDisk(std::shared_ptr<const OnDisk> onDisk) {
    if (!onDisk) return;
    onDisk_ = std::move(onDisk);
    derive();
}

std::optional<std::vector<ReviewModel::Entry>> ReviewModel::follow(const std::vector<CleanItem>& queue) {
    if (queue.size() > entries_.size()) return std::nullopt;
    // One walk along both lists: every item left must be the next one still standing.
    std::vector<Entry> gone;
    size_t next = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry e = entries_[i];
        const Snapshot::Item& was = snapshot_->items[e];
        if (next < queue.size()) {
            const CleanItem& item = queue[next];
            if (item.id == snapshot_->id(e) && item.kind == was.kind && item.source == was.source &&
                item.size == was.size && item.heat == was.heat) {
                ++next;
                continue;
            }
        }
        gone.push_back(e);
        if (gone.size() > entries_.size() - queue.size()) return std::nullopt;
    }
    if (next != queue.size()) return std::nullopt;
    queue_ = &queue;
    if (gone.empty()) return gone;
    for (Entry e : gone) {
        positions_[e] = kGone;
        if (unticked_[e]) {
            unticked_[e] = false;
            --untickedCount_;
        }
    }
    size_t kept = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry e = entries_[i];
        if (positions_[e] == kGone) continue;
        positions_[e] = static_cast<uint32_t>(kept);
        entries_[kept++] = e;
    }
    entries_.resize(kept);
    derive();
    return gone;
}

void ReviewModel::derive() {
    deriveLastCopies();
    std::array<Section, 3> all{};
    for (CleanItem::Source source : CleanItem::allSources())
        all[static_cast<size_t>(source)].source = source;
    std::vector<Entry> danger;
    kept_.clear();
    included_ = 0;
    removalSize_ = 0;
    // The packed copy of each item (one contiguous list; the queue's items lie all over the heap):
    // what the model follows is the same as the queue holds, field for field.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry e = entries_[i];
        const Snapshot::Item& item = snapshot_->items[e];
        Section& section = all[static_cast<size_t>(item.source)];
        ++section.count;
        if (unticked_[e]) continue;
        ++section.ticked;
        section.tickedSize += item.size;
        ++included_;
        if (!verdicts_) {
            removalSize_ += item.size;
            continue;
        }
        if (isKept(e)) {
            kept_.push_back(e);
            continue;
        }
        removalSize_ += item.size;
        if (isDanger(e)) danger.push_back(e);
    }
    sections_.clear();
    for (const Section& section : all)
        if (section.count > 0) sections_.push_back(section);
    if (danger != danger_) ++dangerRevision_;
    danger_ = std::move(danger);
}

ReviewModel::Section& ReviewModel::sectionOf(CleanItem::Source source) {
    for (Section& section : sections_)
        if (section.source == source) return section;
    // Every queued item's source has its section.
    return sections_.front();
}

bool ReviewModel::isDanger(Entry e) const {
    if (!verdicts_) return false;
    return verdicts_->risks[verdicts_->judged[e].risk].level == Risk::Level::danger ||
           (e < lastCopy_.size() && lastCopy_[e]);
}

void ReviewModel::deriveLastCopies() {
    lastCopy_.assign(snapshot_->items.size(), false);
    holdsTwin_.assign(snapshot_->items.size(), false);
    if (!verdicts_) return;
    const auto ticked = [this](Entry e) { return isQueued(e) && !unticked_[e]; };
    for (const TwinHolders& set : verdicts_->wholeTwinSets) {
        // Whole while every copy keeps some ticked entry that takes it.
        bool all = true;
        for (const std::vector<Entry>& copy : set) {
            for (Entry e : copy)
                holdsTwin_[e] = true;
            all = all && std::any_of(copy.begin(), copy.end(), ticked);
        }
        if (all)
            for (const std::vector<Entry>& copy : set)
                for (Entry e : copy)
                    if (ticked(e)) lastCopy_[e] = true;
    }
}

void ReviewModel::place(std::vector<Entry>& list, Entry e, bool in) {
    const auto at = std::lower_bound(list.begin(), list.end(), e,
                                     [this](Entry a, Entry b) { return positions_[a] < positions_[b]; });
    const bool there = at != list.end() && *at == e;
    if (in && !there) list.insert(at, e);
    if (!in && there) list.erase(at);
}

bool ReviewModel::setTicked(Entry e, bool ticked) {
    if (!isQueued(e) || unticked_[e] == !ticked) return false;
    if (e < holdsTwin_.size() && holdsTwin_[e]) {
        // It may complete or break a set of twins: every holder of one is judged again.
        unticked_[e] = !ticked;
        untickedCount_ += ticked ? -1 : 1;
        derive();
        return true;
    }
    unticked_[e] = !ticked;
    untickedCount_ += ticked ? -1 : 1;
    const CleanItem& it = item(e);
    const int sign = ticked ? 1 : -1;
    Section& section = sectionOf(it.source);
    section.ticked += sign;
    section.tickedSize += sign * it.size;
    included_ += ticked ? 1 : -1;
    if (verdicts_ && isKept(e)) {
        place(kept_, e, ticked);
        return true;
    }
    removalSize_ += sign * it.size;
    if (isDanger(e)) {
        place(danger_, e, ticked);
        ++dangerRevision_;
    }
    return true;
}

bool ReviewModel::setSourceTicked(CleanItem::Source source, bool ticked) {
    bool changed = false;
    for (size_t i = 0; i < queue_->size(); ++i) {
        if ((*queue_)[i].source != source) continue;
        const Entry e = entries_[i];
        if (unticked_[e] == !ticked) continue;
        unticked_[e] = !ticked;
        untickedCount_ += ticked ? -1 : 1;
        changed = true;
    }
    if (changed) derive();
    return changed;
}

std::unordered_set<std::string> ReviewModel::excluded() const {
    std::unordered_set<std::string> out;
    if (untickedCount_ == 0) return out;
    // From the model's own ids: the queue may have changed under it already.
    for (size_t i = 0; i < entries_.size(); ++i)
        if (unticked_[entries_[i]]) out.emplace(snapshot_->id(entries_[i]));
    return out;
}

size_t ReviewModel::excludedCount() const {
    return untickedCount_;
}

ReviewModel::Entry ReviewModel::entry(std::string_view id) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (snapshot_->id(entries_[i]) == id) return entries_[i];
    return kNoEntry;
}

const CleanItem* ReviewModel::find(const std::string& id) const {
    const Entry e = entry(id);
    return e == kNoEntry ? nullptr : &item(e);
}

bool ReviewModel::isTicked(const std::string& id) const {
    const Entry e = entry(id);
    return e == kNoEntry || isTicked(e);
}

const ReviewModel::Section* ReviewModel::section(CleanItem::Source source) const {
    for (const Section& section : sections_)
        if (section.source == source) return &section;
    return nullptr;
}

bool ReviewModel::isLocked(Entry e) const {
    if (verdicts_) return verdicts_->judged[e].locked;
    return locked(item(e));
}

bool ReviewModel::isKept(Entry e) const {
    if (isLocked(e)) return true;
    const bool onDisk = onDisk_ && onDisk_->count(e);
    if (!onDisk) return false;
    return verdicts_ ? !verdicts_->judged[e].contentsOnly : !contentsOnly(item(e));
}

Risk ReviewModel::reviewRisk(Entry e) const {
    if (verdicts_) {
        const Risk& own = verdicts_->risks[verdicts_->judged[e].risk];
        if (own.level < Risk::Level::danger && e < lastCopy_.size() && lastCopy_[e]) return lastCopyRisk();
        return own;
    }
    return reviewRisk(item(e), snapshot_->locations);
}

namespace {

// The queued entry behind `item`, when it is that very item (a changed copy is judged afresh).
ReviewModel::Entry sameEntry(const ReviewModel& model, const CleanItem& item) {
    const ReviewModel::Entry e = model.entry(item.id);
    if (e == ReviewModel::kNoEntry) return e;
    const CleanItem& queued = model.item(e);
    if (queued.kind != item.kind || queued.size != item.size || queued.heat != item.heat)
        return ReviewModel::kNoEntry;
    return e;
}

}  // namespace

bool ReviewModel::isKept(const CleanItem& item) const {
    const Entry e = sameEntry(*this, item);
    return e != kNoEntry ? isKept(e) : locked(item);
}

bool ReviewModel::isLocked(const CleanItem& item) const {
    const Entry e = sameEntry(*this, item);
    return e != kNoEntry ? isLocked(e) : locked(item);
}

Risk ReviewModel::reviewRisk(const CleanItem& item) const {
    const Entry e = sameEntry(*this, item);
    return e != kNoEntry ? reviewRisk(e) : reviewRisk(item, snapshot_->locations);
}

bool ReviewModel::locked(const CleanItem& item) {
    if (item.kind == CleanItem::Kind::junk) return false;
    return SafetyGuard::isProtected(item.id) &&
           !SafetyGuard::contentsOnly().count(DiskScanner::normalize(item.id));
}

bool ReviewModel::contentsOnly(const CleanItem& item) {
    return item.kind != CleanItem::Kind::junk &&
           SafetyGuard::contentsOnly().count(DiskScanner::normalize(item.id));
}

std::optional<JunkLocation> ReviewModel::location(const CleanItem& item,
                                                  const std::vector<JunkLocation>& locations) {
    for (const JunkLocation& location : locations)
        if ("junk:" + location.id == item.id) return location;
    return std::nullopt;
}

Risk ReviewModel::reviewRisk(const CleanItem& item, const std::vector<JunkLocation>& locations) {
    return judgedRisk(item, locations, false);
}

std::unordered_set<std::string> ReviewModel::ids() const {
    std::unordered_set<std::string> out;
    out.reserve(included_);
    for (size_t i = 0; i < entries_.size(); ++i)
        if (!unticked_[entries_[i]]) out.insert((*queue_)[i].id);
    return out;
}

std::vector<CleanItem> ReviewModel::itemsOf(const std::vector<Entry>& entries) const {
    std::vector<CleanItem> out;
    out.reserve(entries.size());
    for (Entry e : entries)
        out.push_back(item(e));
    return out;
}

std::vector<CleanItem> ReviewModel::dangerItems() const {
    return itemsOf(danger_);
}

std::unordered_set<std::string> ReviewModel::dangerIDs() const {
    std::unordered_set<std::string> out;
    for (Entry e : danger_)
        out.insert(item(e).id);
    return out;
}

std::vector<CleanItem> ReviewModel::kept() const {
    return itemsOf(kept_);
}

std::vector<ReviewModel::Kind> ReviewModel::dangerKinds() const {
    std::vector<Kind> kinds;
    for (Entry e : danger_) {
        const CleanItem& item = this->item(e);
        const Risk risk = reviewRisk(e);
        auto it =
            std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.title == risk.title; });
        if (it == kinds.end()) {
            kinds.push_back({risk.title, risk.why, {item}});
        } else {
            it->items.push_back(item);
        }
    }
    std::stable_sort(kinds.begin(), kinds.end(), [](const Kind& a, const Kind& b) {
        if (a.items.size() != b.items.size()) return a.items.size() > b.items.size();
        return a.title < b.title;
    });
    return kinds;
}

std::pair<QString, QString> ReviewModel::kindLine(const Kind& kind) {
    if (kind.items.size() == 1)
        return {utf8(kind.items.front().name),
                QStringLiteral(" \u00B7 ") + utf8(kind.title) + QStringLiteral(": ") + utf8(kind.why)};
    return {Plural::choose(int64_t(kind.items.size()), tr("%1 · %2 item"), tr("%1 · %2 items"))
                .arg(utf8(kind.title))
                .arg(kind.items.size()),
            QStringLiteral(": ") + utf8(kind.why)};
}

QString ReviewModel::bannerTitle() const {
    return Plural::choose(int64_t(danger_.size()), tr("%1 item holds data that can't be rebuilt"),
                          tr("%1 items hold data that can't be rebuilt"))
        .arg(danger_.size());
}

QString ReviewModel::bannerTail() const {
    const size_t groups = dangerKinds().size();
    if (groups > static_cast<size_t>(kShownKinds))
        return Plural::choose(int64_t(groups - kShownKinds), tr("and %1 more kind, marked below"),
                              tr("and %1 more kinds, marked below"))
            .arg(groups - kShownKinds);
    if (danger_.size() >= 2) return tr("Each one is marked in the list below.");
    return {};
}

bool ReviewModel::waitsForAcknowledgement(const std::unordered_set<std::string>& acknowledgedIDs) const {
    return included_ > 0 && !coversDanger(acknowledgedIDs);
}

bool ReviewModel::coversDanger(const std::unordered_set<std::string>& ids) const {
    for (Entry e : danger_)
        if (!ids.count(item(e).id)) return false;
    return true;
}

bool ReviewModel::removalEnabled(const std::unordered_set<std::string>& acknowledgedIDs) const {
    return verdicts_ && included_ > 0 && !waitsForAcknowledgement(acknowledgedIDs);
}

QString ReviewModel::trashHelp(const std::unordered_set<std::string>& acknowledgedIDs) const {
    return waitsForAcknowledgement(acknowledgedIDs) ? tr("Confirm the warning above first")
                                                    : tr("Moves everything ticked to the Trash");
}

QString ReviewModel::countLine() const {
    return countLine(included_, queue_->size(), removalSize_);
}

QString ReviewModel::countLine(size_t included, size_t all, int64_t size) {
    return Plural::choose(int64_t(all), tr("%1 of %2 item · %3"), tr("%1 of %2 items · %3"))
        .arg(included)
        .arg(all)
        .arg(Fmt::bytes(size));
}

QString ReviewModel::trashTitle() const {
    return trashTitle(removalSize_);
}

QString ReviewModel::trashTitle(int64_t size) {
    return tr("Nimbrelise %1 to Trash").arg(Fmt::bytes(size));
}

QString ReviewModel::keptNote() const {
    if (kept_.empty()) return {};
    QStringList names;
    for (Entry e : kept_)
        names << QStringLiteral("\u201C") + utf8(item(e).name) + QStringLiteral("\u201D");
    const QString joined = names.join(QStringLiteral(", "));
    return kept_.size() == 1
               ? tr("Kept by the safety guard: %1. Open it in Space to clean inside.").arg(joined)
               : tr("Kept by the safety guard: %1. Open them in Space to clean inside.").arg(joined);
}

QString ReviewModel::sectionTitle(CleanItem::Source source, int count) {
    return tr("%1  %2").arg(sourceTitle(source).toUpper()).arg(count);
}

ReviewModel::RowBadge ReviewModel::badge(const CleanItem& item, bool kept, const Risk& risk) const {
    if (kept) return RowBadge::kept;
    if (contentsOnly(item)) return RowBadge::contentsOnly;
    if (item.kind != CleanItem::Kind::junk) return RowBadge::risk;
    // A junk location of irreplaceable data is marked like any danger item.
    return risk.level == Risk::Level::danger ? RowBadge::risk : RowBadge::none;
}

ReviewModel::RowBadge ReviewModel::rowBadge(Entry e) const {
    return badge(item(e), isKept(e), reviewRisk(e));
}

ReviewModel::RowBadge ReviewModel::rowBadge(const CleanItem& item) const {
    const Entry e = sameEntry(*this, item);
    if (e != kNoEntry) return rowBadge(e);
    return badge(item, locked(item), reviewRisk(item, snapshot_->locations));
}

QString ReviewModel::rowDetail(Entry e, const FileCount& folderFileCount) const {
    const std::string* reason = lookUp(onDisk_.get(), e);
    return detail(item(e), isKept(e), isLocked(e), reviewRisk(e), reason ? *reason : std::string(),
                  folderFileCount);
}

QString ReviewModel::rowDetail(const CleanItem& item, const FileCount& folderFileCount) const {
    const Entry e = sameEntry(*this, item);
    if (e != kNoEntry) return rowDetail(e, folderFileCount);
    const bool isLocked = locked(item);
    return detail(item, isLocked, isLocked, reviewRisk(item, snapshot_->locations), {}, folderFileCount);
}

QString ReviewModel::detail(const CleanItem& item, bool kept, bool locked, const Risk& risk,
                            const std::string& onDiskReason, const FileCount& folderFileCount) const {
    if (kept && !locked) return utf8(onDiskReason);
    if (locked || contentsOnly(item)) return utf8(SafetyGuard::reason(item.id));
    if (item.kind != CleanItem::Kind::junk && risk.level >= Risk::Level::caution) return utf8(risk.why);
    if (item.kind != CleanItem::Kind::junk) {
        const QString parent = tildePath(PathRules::parent(item.id));
        if (item.kind == CleanItem::Kind::folder || item.kind == CleanItem::Kind::artifact) {
            if (folderFileCount) {
                if (const auto count = folderFileCount(item.id))
                    return Plural::choose(*count, tr("%1 · %2 file inside"), tr("%1 · %2 files inside"))
                        .arg(parent, Fmt::count(*count));
            }
        }
        return parent;
    }
    const auto found = location(item, snapshot_->locations);
    if (!found) return {};
    // The folders that hold something, not every place the location could be: a list led by
    // folders that do not exist would elide the one holding the data. They are looked up with the
    // verdicts, on a worker.
    const std::vector<std::string>* existing = lookUp(verdicts_ ? &verdicts_->junkFolders : nullptr, item.id);
    QStringList paths;
    for (const std::string& path : existing && !existing->empty() ? *existing : found->paths)
        paths << tildePath(path);
    return paths.join(QStringLiteral(", "));
}

}  // namespace nimbrel
