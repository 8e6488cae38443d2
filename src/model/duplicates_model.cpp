#include "model/duplicates_model.h"

#include <QPointer>
#include <algorithm>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "engine/path_rules.h"
#include "model/background.h"
#include "util/fmt.h"

namespace nimbrel {

namespace {

// What a removal did to the sets: the sets that lost their kept copy but keep two copies or more,
// and the one copy left of those that lost their kept copy and the rest but one.
struct Dropped {
    std::vector<std::string> keptGone;
    std::vector<std::string> lastCopies;
};

// Drops removed members from `groups`; sets left with one copy go. With `aside`, what goes is moved
// there rather than destroyed.
Dropped dropRemoved(std::vector<DuplicateGroup>& groups, const std::unordered_set<std::string>& paths,
                    const std::unordered_set<int64_t>* goneIDs = nullptr,
                    std::vector<FileItem>* aside = nullptr) {
    Dropped out;
    if (paths.empty() && !goneIDs) return out;
    auto gone = [&](const FileItem& f) {
        return goneIDs ? goneIDs->count(f.id) > 0 : PathRules::isAtOrInsideAny(f.path, paths);
    };
    std::erase_if(groups, [&](DuplicateGroup& g) {
        const FileItem* stay = DuplicatesModel::kept(g);
        const bool lostKept = stay && gone(*stay);
        // The last holders of many removed paths: their bytes are freed on another thread.
        g.keepOnly([&](const FileItem& f) { return !gone(f); }, aside);
        if (g.files.size() < 2) {
            if (lostKept && g.files.size() == 1) out.lastCopies.push_back(g.files.front().path);
            if (aside) std::move(g.files.begin(), g.files.end(), std::back_inserter(*aside));
            return true;
        }
        if (lostKept) out.keptGone.push_back(g.id);
        return false;
    });
    return out;
}

// The ids of every copy the sets hold.
std::unordered_set<int64_t> presentIDs(const std::vector<DuplicateGroup>& groups) {
    std::unordered_set<int64_t> ids;
    for (const DuplicateGroup& g : groups)
        for (const FileItem& f : g.files)
            ids.insert(f.id);
    return ids;
}

CleanItem extraItem(const FileItem& file, std::shared_ptr<const TwinCopies> twins) {
    CleanItem item = CleanItem::file(file, CleanItem::Source::files, 0.55);
    item.twins = std::move(twins);
    return item;
}

bool unchangedOnDisk(const std::string& path, const EntryIdentity* seen) {
    if (!seen) return false;
    const std::optional<EntryIdentity> now = EntryIdentity::read(path);
    return now && seen->sameEntry(*now);
}

}  // namespace

DuplicatesModel::DuplicatesModel(QObject* parent, QThreadPool* pool)
    : QObject(parent), pool_(pool ? pool : &Background::userInitiated()), stillThere_(&unchangedOnDisk) {}

DuplicatesModel::~DuplicatesModel() {
    if (token_) token_->cancel();
}

void DuplicatesModel::setGroups(std::vector<DuplicateGroup> groups) {
    ++revision_;
    if (groups_.use_count() > 1)
        groups_ = std::make_shared<std::vector<DuplicateGroup>>(std::move(groups));
    else
        *groups_ = std::move(groups);
    emit groupsChanged();
}

std::vector<DuplicateGroup> DuplicatesModel::takeGroups() {
    if (groups_.use_count() > 1) return *groups_;
    return std::move(*groups_);
}

void DuplicatesModel::setIsRunning(bool value) {
    if (isRunning_ == value) return;
    isRunning_ = value;
    emit isRunningChanged();
}

void DuplicatesModel::setProgress(double value) {
    if (progress_ == value) return;
    progress_ = value;
    emit progressChanged();
}

void DuplicatesModel::setStatus(const QString& value) {
    if (status_ == value) return;
    status_ = value;
    emit statusChanged();
}

void DuplicatesModel::setMarked(std::unordered_set<int64_t> marked) {
    if (marked_ == marked) return;
    marked_ = std::move(marked);
    emit markedChanged();
}

void DuplicatesModel::setHasRun(bool value) {
    if (hasRun_ == value) return;
    hasRun_ = value;
    emit hasRunChanged();
}

namespace {

bool isCandidate(const FileItem& f, int64_t minSize) {
    return !f.isPackage && f.size >= minSize && f.logicalSize > 0;
}

}  // namespace

void DuplicatesModel::run(const std::vector<FileItem>& files, int64_t minSize) {
    auto kept = std::make_shared<std::vector<FileItem>>();
    for (const FileItem& f : files) {
        if (isCandidate(f, minSize)) kept->push_back(f);
    }
    start(minSize, [kept] {
        Candidates candidates;
        candidates.items.reserve(kept->size());
        for (const FileItem& f : *kept)
            candidates.items.push_back(&f);
        candidates.owner = kept;
        return candidates;
    });
}

void DuplicatesModel::run(std::shared_ptr<const ScanResult> result, int64_t minSize) {
    start(minSize, [result, minSize, readers = readers_] {
        Candidates candidates;
        if (!result) return candidates;
        std::shared_lock<std::shared_mutex> lock;
        if (readers) lock = std::shared_lock(*readers);
        for (const FileItem& f : result->files()) {
            if (isCandidate(f, minSize)) candidates.items.push_back(&f);
        }
        candidates.owner = ScanResult::holdItems(result);
        return candidates;
    });
}

void DuplicatesModel::start(int64_t minSize, std::function<Candidates()> gather) {
    cancel();
    auto token = std::make_shared<CancelToken>();
    token_ = token;
    setIsRunning(true);
    setProgress(0);
    setStatus(tr("Comparing sizes…"));
    setMarked({});
    removedDuringRun_.clear();

    // Updates carry their own search's token: a search that was stopped or replaced since it sent
    // them changes nothing. Only the latest report is kept, so a search over many small twins does
    // not flood the event queue.
    auto onProgress =
        Background::latestOnly<DuplicateProgress>(this, [this, token](const DuplicateProgress& p) {
            if (token->isCancelled()) return;
            setProgress(p.fraction);
            setStatus(QString::fromStdString(p.text([](int64_t b) { return Fmt::bytes(b).toStdString(); })));
        });
    Search search = search_;
    if (!search)
        search = [](const std::vector<const FileItem*>& files, const CancelToken& token,
                    const DuplicateProgressFn& progress) {
            return DuplicateEngine::find(files, token, progress);
        };
    Background::run(
        *pool_, this,
        [gather = std::move(gather), token, onProgress,
         search = std::move(search)]() mutable -> std::optional<std::vector<DuplicateGroup>> {
            std::optional<std::vector<DuplicateGroup>> found;
            if (!token->isCancelled()) {
                Candidates candidates = gather();
                found = search(candidates.items, *token, onProgress);
            }
            return found;
        },
        [this, token, minSize](std::optional<std::vector<DuplicateGroup>> found) {
            if (token->isCancelled() || !found) return;
            searchedMinSize_ = minSize;
            // A removal that ended while the search ran took files the search still names.
            std::unordered_set<std::string> gone;
            gone.swap(removedDuringRun_);
            keptGone_.clear();
            Dropped dropped = dropRemoved(*found, gone);
            keptGone_.insert(dropped.keptGone.begin(), dropped.keptGone.end());
            lastCopies_ = std::make_shared<const std::vector<std::string>>(std::move(dropped.lastCopies));
            setChangedCopies({});
            setGroups(std::move(*found));
            setIsRunning(false);
            setHasRun(true);
            token_.reset();
            emit searchEnded();
        });
}

void DuplicatesModel::cancel() {
    if (token_) token_->cancel();
    token_.reset();
    setIsRunning(false);
}

void DuplicatesModel::reset() {
    cancel();
    setGroups({});
    setMarked({});
    setHasRun(false);
    removedDuringRun_.clear();
    keptGone_.clear();
    setChangedCopies({});
    lastCopies_ = std::make_shared<const std::vector<std::string>>();
}

std::shared_ptr<DuplicatesModel::Pruning> DuplicatesModel::startPruning() const {
    if (groups_->empty()) return nullptr;
    auto pruning = std::make_shared<Pruning>();
    pruning->before = groups_;
    pruning->revision = revision_;
    return pruning;
}

void DuplicatesModel::Pruning::apply(const std::unordered_set<int64_t>& goneIDs) {
    after = *before;
    Dropped dropped = dropRemoved(after, {}, &goneIDs);  // the ids decide alone
    keptGone = std::move(dropped.keptGone);
    lastCopies = std::move(dropped.lastCopies);
    present = presentIDs(after);
}

void DuplicatesModel::remove(const std::unordered_set<std::string>& paths,
                             const std::unordered_set<int64_t>* goneIDs, Pruning* pruned) {
    if (paths.empty()) return;
    if (token_) removedDuringRun_.insert(paths.begin(), paths.end());
    std::vector<DuplicateGroup> groups;
    std::unordered_set<int64_t> present;
    if (pruned && goneIDs && pruned->revision == revision_ && pruned->before == groups_) {
        // Worked out aside from these very sets, with these ids.
        groups = std::move(pruned->after);
        present = std::move(pruned->present);
        for (std::string& id : pruned->keptGone)
            keptGone_.insert(std::move(id));
        addLastCopies(std::move(pruned->lastCopies), paths);
    } else {
        groups = takeGroups();
        std::vector<FileItem> gone;
        Dropped dropped = dropRemoved(groups, paths, goneIDs, &gone);
        keptGone_.insert(dropped.keptGone.begin(), dropped.keptGone.end());
        addLastCopies(std::move(dropped.lastCopies), paths);
        if (!gone.empty()) Background::dispose(std::move(gone));
        present = presentIDs(groups);
    }
    setGroups(std::move(groups));
    std::unordered_set<int64_t> marked;
    for (int64_t id : marked_) {
        if (present.count(id)) marked.insert(id);
    }
    setMarked(std::move(marked));
    if (present.size() > 1024) Background::dispose(std::move(present));
}

int64_t DuplicatesModel::reclaimable() const {
    int64_t total = 0;
    for (const DuplicateGroup& g : *groups_)
        total += g.wasted();
    return total;
}

const FileItem* DuplicatesModel::kept(const DuplicateGroup& group) {
    const FileItem* best = nullptr;
    for (const FileItem& f : group.files)
        if (!best || f.modified > best->modified) best = &f;
    return best;
}

void DuplicatesModel::addLastCopies(std::vector<std::string> paths,
                                    const std::unordered_set<std::string>& gonePaths) {
    bool left = false;
    for (const std::string& path : *lastCopies_)
        left = left || PathRules::isAtOrInsideAny(path, gonePaths);
    if (paths.empty() && !left) return;
    auto copies = std::make_shared<std::vector<std::string>>();
    for (const std::string& path : *lastCopies_)
        if (!PathRules::isAtOrInsideAny(path, gonePaths)) copies->push_back(path);
    for (std::string& path : paths)
        copies->push_back(std::move(path));
    lastCopies_ = std::move(copies);
}

namespace {

// The extras of one set, after the set itself: every copy but the kept one, while the kept copy is
// neither selected nor leaving, and is still on disk as the search read it; else why not.
void appendExtras(const DuplicateGroup& g, const DuplicatesModel::StillThere& stillThere,
                  const DuplicatesModel::Around& around, std::vector<CleanItem>& out,
                  DuplicatesModel::Withholding* withheld) {
    using Why = DuplicatesModel::Withheld::Why;
    // Groups only ever hold copies still present: removals and late searches drop the rest.
    if (g.files.size() < 2) return;
    const FileItem* stay = DuplicatesModel::kept(g);
    auto withhold = [&](Why why) {
        if (!withheld) return;
        std::string holder =
            why == Why::selected && withheld->holder ? withheld->holder(stay->path) : std::string();
        withheld->sets.push_back({why, stay->name, std::move(holder)});
    };
    if (around.selected && around.selected(stay->path)) return withhold(Why::selected);
    if (around.leaving && around.leaving(stay->path)) return withhold(Why::leaving);
    const size_t keptAt = static_cast<size_t>(stay - g.files.data());
    if (!stillThere(stay->path, g.seenOf(keptAt))) return withhold(Why::changed);
    const std::shared_ptr<const TwinCopies> copies = DuplicatesModel::copiesOf(g);
    for (const FileItem& f : g.files)
        if (f.id != stay->id) out.push_back(extraItem(f, copies));
}

}  // namespace

std::shared_ptr<const TwinCopies> DuplicatesModel::copiesOf(const DuplicateGroup& group) {
    if (group.seen.size() != group.files.size()) return nullptr;
    auto copies = std::make_shared<TwinCopies>();
    copies->setID = group.id;
    copies->copies.reserve(group.files.size());
    for (size_t i = 0; i < group.files.size(); ++i)
        copies->copies.push_back({group.files[i].path, group.seen[i]});
    return copies;
}

const DuplicateGroup* DuplicatesModel::groupWithID(const std::vector<DuplicateGroup>& groups,
                                                   const std::string& groupID) {
    const auto found =
        std::find_if(groups.begin(), groups.end(), [&](const DuplicateGroup& g) { return g.id == groupID; });
    return found == groups.end() ? nullptr : &*found;
}

std::vector<CleanItem> DuplicatesModel::extras(const std::string& groupID, const Around& around) const {
    std::vector<CleanItem> out;
    if (keptGone_.count(groupID)) return out;
    // One set: a walk, not an index of every set.
    if (const DuplicateGroup* found = groupWithID(*groups_, groupID))
        appendExtras(*found, stillThere_, around, out, nullptr);
    return out;
}

DuplicatesModel::Sets DuplicatesModel::sets() const {
    return Sets{groups_, keptGone_, revision_, stillThere_};
}

std::vector<CleanItem> DuplicatesModel::extras(const Sets& sets,
                                               const std::vector<const DuplicateGroup*>& shown,
                                               const Around& around, Withholding* withheld) {
    std::vector<CleanItem> out;
    for (const DuplicateGroup* g : shown) {
        if (!sets.keptGone.count(g->id)) {
            appendExtras(*g, sets.stillThere, around, out, withheld);
        } else if (withheld && !g->files.empty()) {
            withheld->sets.push_back({Withheld::Why::changed, kept(*g)->name, {}});
        }
    }
    return out;
}

DuplicatesModel::Look DuplicatesModel::look(const Sets& sets, const std::string& groupID) {
    Look look;
    const DuplicateGroup* found = groupWithID(*sets.groups, groupID);
    if (!found || found->files.empty()) return look;
    const DuplicateGroup& g = *found;
    const FileItem* stay = kept(g);
    look.keptName = stay->name;
    look.keptChanged = sets.keptGone.count(groupID) > 0;
    for (size_t i = 0; i < g.files.size(); ++i) {
        if (sets.stillThere(g.files[i].path, g.seenOf(i))) continue;
        look.changed.push_back(g.files[i].path);
        if (&g.files[i] == stay) look.keptChanged = true;
    }
    return look;
}

void DuplicatesModel::noteChangedCopies(const std::vector<std::string>& paths) {
    std::unordered_set<std::string> changed = changedCopies_;
    changed.insert(paths.begin(), paths.end());
    setChangedCopies(std::move(changed));
}

void DuplicatesModel::setChangedCopies(std::unordered_set<std::string> paths) {
    if (paths == changedCopies_) return;
    changedCopies_ = std::move(paths);
    emit changedCopiesChanged();
}

DuplicatesModel::Watch DuplicatesModel::watch() const {
    return Watch{groups_, lastCopies_};
}

}  // namespace nimbrel
