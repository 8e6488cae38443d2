#include "views/files/review_model.h"

#include <QCoreApplication>
#include <algorithm>
#include <map>

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

}  // namespace

ReviewModel::ReviewModel(std::vector<CleanItem> queue, std::unordered_set<std::string> excluded,
                         std::vector<JunkLocation> locations, std::unordered_set<std::string> protectedOnDisk,
                         const ReviewModel* previous)
    : excluded_(std::make_shared<const std::unordered_set<std::string>>(std::move(excluded))) {
    auto base = std::make_shared<Base>();
    base->queue = std::move(queue);
    base->locations = std::move(locations);
    base->protectedOnDisk = std::move(protectedOnDisk);
    base->judged.reserve(base->queue.size());
    base->index.reserve(base->queue.size());
    // The risk of a junk item follows the catalogue, so judgements are lent only while it is the same.
    const bool sameLocations =
        previous && previous->base_->locations.size() == base->locations.size() &&
        std::equal(
            base->locations.begin(), base->locations.end(), previous->base_->locations.begin(),
            [](const JunkLocation& a, const JunkLocation& b) { return a.id == b.id && a.paths == b.paths; });
    for (size_t i = 0; i < base->queue.size(); ++i) {
        const CleanItem& item = base->queue[i];
        base->index.emplace(item.id, i);
        Judgement j;
        const CleanItem* known = sameLocations ? previous->find(item.id) : nullptr;
        if (known && known->kind == item.kind && known->size == item.size && known->heat == item.heat) {
            j = *previous->judgement(*known);
        } else {
            j.locked = locked(item);
            j.contentsOnly = contentsOnly(item);
            j.risk = reviewRisk(item, base->locations);
        }
        j.kept = j.locked || (item.kind != CleanItem::Kind::junk && base->protectedOnDisk.count(item.id) &&
                              !j.contentsOnly);
        base->judged.push_back(std::move(j));
    }
    base_ = std::move(base);
    derive();
}

ReviewModel::ReviewModel(const ReviewModel& same, Unticks excluded)
    : base_(same.base_), excluded_(std::move(excluded)) {
    derive();
}

void ReviewModel::derive() {
    const std::vector<CleanItem>& queue = base_->queue;
    std::vector<Section> sections;
    for (CleanItem::Source source : CleanItem::allSources())
        sections.push_back(Section{source, {}, 0, 0});
    for (size_t i = 0; i < queue.size(); ++i) {
        const CleanItem& item = queue[i];
        const Judgement& j = base_->judged[i];
        const bool ticked = isTicked(item.id);
        for (Section& section : sections) {
            if (section.source != item.source) continue;
            section.items.push_back(&item);
            if (ticked) {
                ++section.ticked;
                section.tickedSize += item.size;
            }
        }
        if (!ticked) continue;
        included_.push_back(&item);
        if (j.kept) {
            kept_.push_back(item);
            continue;
        }
        removalSize_ += item.size;
        if (j.risk.level == Risk::Level::danger) danger_.push_back(item);
    }
    for (Section& section : sections)
        if (!section.items.empty()) sections_.push_back(std::move(section));
}

const CleanItem* ReviewModel::find(const std::string& id) const {
    auto it = base_->index.find(id);
    return it == base_->index.end() ? nullptr : &base_->queue[it->second];
}

const ReviewModel::Section* ReviewModel::section(CleanItem::Source source) const {
    for (const Section& section : sections_)
        if (section.source == source) return &section;
    return nullptr;
}

const ReviewModel::Judgement* ReviewModel::judgement(const CleanItem& item) const {
    auto it = base_->index.find(item.id);
    if (it == base_->index.end()) return nullptr;
    // Only the queued item itself has this judgement; a changed copy is judged afresh.
    const CleanItem& queued = base_->queue[it->second];
    if (queued.kind != item.kind || queued.size != item.size || queued.heat != item.heat) return nullptr;
    return &base_->judged[it->second];
}

Risk ReviewModel::reviewRisk(const CleanItem& item) const {
    if (const Judgement* j = judgement(item)) return j->risk;
    return reviewRisk(item, base_->locations);
}

bool ReviewModel::locked(const CleanItem& item) {
    if (item.kind == CleanItem::Kind::junk) return false;
    return SafetyGuard::isProtected(item.id) &&
           !SafetyGuard::contentsOnly().count(DiskScanner::normalize(item.id));
}

bool ReviewModel::isKept(const CleanItem& item) const {
    if (const Judgement* j = judgement(item)) return j->kept;
    if (locked(item)) return true;
    return item.kind != CleanItem::Kind::junk && base_->protectedOnDisk.count(item.id) && !contentsOnly(item);
}

bool ReviewModel::isLocked(const CleanItem& item) const {
    if (const Judgement* j = judgement(item)) return j->locked;
    return locked(item);
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
    if (item.kind != CleanItem::Kind::junk) return item.risk();
    if (const auto found = location(item, locations)) {
        for (const std::string& path : found->paths) {
            Risk risk = RiskCatalog::assess(path, true, false, std::nullopt);
            if (risk.level == Risk::Level::danger) return risk;
        }
    }
    return item.risk();
}

std::unordered_set<std::string> ReviewModel::ids() const {
    std::unordered_set<std::string> out;
    for (const CleanItem* item : included_)
        out.insert(item->id);
    return out;
}

std::unordered_set<std::string> ReviewModel::dangerIDs() const {
    std::unordered_set<std::string> out;
    for (const CleanItem& item : danger_)
        out.insert(item.id);
    return out;
}

std::vector<ReviewModel::Kind> ReviewModel::dangerKinds() const {
    std::vector<Kind> kinds;
    for (const CleanItem& item : danger_) {
        const Risk risk = reviewRisk(item);
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
    if (included_.empty()) return false;
    for (const CleanItem& item : danger_)
        if (!acknowledgedIDs.count(item.id)) return true;
    return false;
}

bool ReviewModel::removalEnabled(const std::unordered_set<std::string>& acknowledgedIDs) const {
    return !included_.empty() && !waitsForAcknowledgement(acknowledgedIDs);
}

QString ReviewModel::trashHelp(const std::unordered_set<std::string>& acknowledgedIDs) const {
    return waitsForAcknowledgement(acknowledgedIDs) ? tr("Confirm the warning above first")
                                                    : tr("Moves everything ticked to the Trash");
}

QString ReviewModel::countLine() const {
    const size_t all = base_->queue.size();
    return Plural::choose(int64_t(all), tr("%1 of %2 item · %3"), tr("%1 of %2 items · %3"))
        .arg(included_.size())
        .arg(all)
        .arg(Fmt::bytes(removalSize_));
}

QString ReviewModel::trashTitle() const {
    return tr("Nimbrelise %1 to Trash").arg(Fmt::bytes(removalSize_));
}

QString ReviewModel::keptNote() const {
    if (kept_.empty()) return {};
    QStringList names;
    for (const CleanItem& item : kept_)
        names << QStringLiteral("\u201C") + utf8(item.name) + QStringLiteral("\u201D");
    const QString joined = names.join(QStringLiteral(", "));
    return kept_.size() == 1
               ? tr("Kept by the safety guard: %1. Open it in Space to clean inside.").arg(joined)
               : tr("Kept by the safety guard: %1. Open them in Space to clean inside.").arg(joined);
}

QString ReviewModel::sectionTitle(CleanItem::Source source, int count) {
    return tr("%1  %2").arg(sourceTitle(source).toUpper()).arg(count);
}

ReviewModel::RowBadge ReviewModel::rowBadge(const CleanItem& item) const {
    if (isKept(item)) return RowBadge::kept;
    if (contentsOnly(item)) return RowBadge::contentsOnly;
    if (item.kind != CleanItem::Kind::junk) return RowBadge::risk;
    // A junk location of irreplaceable data is marked like any danger item.
    return reviewRisk(item).level == Risk::Level::danger ? RowBadge::risk : RowBadge::none;
}

QString ReviewModel::rowDetail(
    const CleanItem& item,
    const std::function<std::optional<int64_t>(const std::string&)>& folderFileCount) const {
    if (isKept(item) && !locked(item)) return utf8(SafetyGuard::reasonOnDisk(item.id));
    if (locked(item) || contentsOnly(item)) return utf8(SafetyGuard::reason(item.id));
    const Risk risk = reviewRisk(item);
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
    const auto found = location(item, base_->locations);
    if (!found) return {};
    QStringList paths;
    for (const std::string& path : found->paths)
        paths << tildePath(path);
    return paths.join(QStringLiteral(", "));
}

}  // namespace nimbrel
