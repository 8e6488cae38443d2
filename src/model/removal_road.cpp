#include "model/removal_road.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "engine/disk_scanner.h"
#include "engine/host_layout.h"
#include "engine/junk_location.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "engine/safety_guard.h"
#include "engine/scan_prune.h"
#include "engine/trash_contents.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "platform/file_operations.h"

namespace nimbrel {

// How a removal's paths leave the current tree, worked out on the removal's worker.
struct PlannedPrune {
    std::unordered_set<std::string> outermost;  // normalised
    ScanPrune plan;
    // The listed files that go, with what a recheck found gone: the twins drop them by id, without
    // walking every path up through a hundred thousand removed ones.
    std::unordered_set<std::int64_t> goneIDs;
    // The Files shelves' index and answers, and the twin sets, as they will be after the pruning.
    std::shared_ptr<FilesModel::Pruning> files;
    std::shared_ptr<DuplicatesModel::Pruning> twins;
};

// A removal as its completion sees it: what it was asked, and what its worker worked out and hands
// back to the main thread.
struct RemovalOutcome {
    DeletionRequest request;  // without its items, which only the worker needs
    std::chrono::steady_clock::time_point started;
    bool permanently = false;
    size_t entries = 0;  // the selection entries it takes, which set how long it stays on screen
    // The result when the removal started, read on the worker while it runs: one removal runs at a
    // time and a new scan installs a new tree instead of changing this one. Its plan applies only
    // if no change went through the result since.
    std::shared_ptr<ScanResult> tree;
    RemovalResult result;
    ScanResult::Recheck recheck;
    std::vector<DeletionFailure> guardFailures;
    RemovalFigures figures;
    std::unordered_set<std::string> removedSet;  // figures.removed, looked up by the completion
    std::shared_ptr<PlannedPrune> prune;
    // The Files shelves' index and the twin sets as they were when the removal started, mapped
    // aside like the tree; the prune carries them on once they are brought up to date.
    std::shared_ptr<FilesModel::Pruning> files;
    std::shared_ptr<DuplicatesModel::Pruning> twins;
};

namespace {

// What the review lists of the ticked junk locations, read on a worker.
struct ReviewListing {
    std::unordered_map<std::string, PinnedFolder> pins;
    std::unordered_map<std::string, std::vector<JunkEntry>> targets;
};

// Quitting and a running removal: however the application ends, the worker is stopped at its next
// item and waited for, so nothing is left half-removed by the process ending. A worker whose disk
// stopped answering is not waited for without end: the process then ends without it. (A quit the
// user asks for waits earlier, with the window up: QuitGuard.)
struct RemovalsInFlight {
    static constexpr std::chrono::seconds kStopWait{2};
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
    std::vector<std::shared_ptr<std::atomic<bool>>> stops;

    static RemovalsInFlight& shared() {
        static RemovalsInFlight* inFlight = [] {
            auto* created = new RemovalsInFlight;
            if (auto* app = QCoreApplication::instance())
                QObject::connect(app, &QCoreApplication::aboutToQuit,
                                 [created] { created->waitUntilIdle(); });
            return created;
        }();
        return *inFlight;
    }
    void waitUntilIdle() {
        std::unique_lock lock(mutex);
        for (const auto& stop : stops)
            stop->store(true);
        idle.wait_for(lock, kStopWait, [this] { return running == 0; });
    }
    // Held by a worker for as long as it runs; `stop` is its removal's.
    struct Running {
        RemovalsInFlight& owner;
        std::shared_ptr<std::atomic<bool>> stop;
        Running(RemovalsInFlight& owner, std::shared_ptr<std::atomic<bool>> stop) : owner(owner), stop(stop) {
            std::lock_guard lock(owner.mutex);
            ++owner.running;
            owner.stops.push_back(std::move(stop));
        }
        ~Running() {
            std::lock_guard lock(owner.mutex);
            --owner.running;
            std::erase(owner.stops, stop);
            owner.idle.notify_all();
        }
    };
};

// The items the guard lets go, and the paths of those, which are what may vanish on screen; the
// rest become guard failures in `outcome`.
struct GuardedItems {
    std::vector<DeletionItem> allowed;
    std::unordered_set<std::string> vanishing;
};

GuardedItems sortByGuard(const std::vector<DeletionItem>& items, RemovalOutcome& outcome,
                         const std::optional<std::vector<std::string>>& mountTops) {
    // The guard judges where each path really leads too: a scan through a linked folder or a bind
    // mount names guarded folders by other paths. It reads the protected folders' identities now,
    // so a folder made or mounted a moment ago is known by every name.
    const DiskGuard guard =
        mountTops ? DiskGuard(HostLayout::current(), *mountTops) : DiskGuard(HostLayout::current());
    GuardedItems guarded;
    for (const DeletionItem& item : items) {
        if (guard.isProtected(item.path)) {
            outcome.guardFailures.push_back(
                {item.path, DeletionFailure::Reason::safetyGuard, guard.reason(item.path)});
        } else {
            guarded.allowed.push_back(item);
            guarded.vanishing.insert(item.path);
        }
    }
    return guarded;
}

}  // namespace

RemovalRoad::RemovalRoad(AppState& state) : QObject(&state), state_(state) {
    // A review being prepared is for the selection it was asked for, not another.
    connect(&state.queue(), &CleanQueue::itemsChanged, this, [this] {
        if (openingSelection_ && *openingSelection_ != state_.queue().generation()) stopPreparingReview();
    });
}

RemovalRoad::~RemovalRoad() = default;

void RemovalRoad::setLastRemoval(std::unordered_map<std::string, std::int64_t> freed) {
    Background::dispose(std::exchange(lastRemoval_, std::move(freed)));
}

void RemovalRoad::pinReview(std::unordered_map<std::string, PinnedFolder> pins,
                            std::unordered_map<std::string, std::vector<JunkEntry>> targets) {
    reviewPins_ = std::move(pins);
    reviewTargets_ = std::move(targets);
}

std::function<std::shared_ptr<RemovalFileOps>()> RemovalRoad::fileOps(
    std::vector<PinnedFolder> pinned) const {
    if (state_.services_.fileOps) return state_.services_.fileOps;
    // The home folder and the scan root may be reached through a link, and so may the folders
    // pinned at the review while they stay the same; nothing below them may.
    std::vector<std::string> anchors = FileOperations::defaultAnchors();
    if (state_.result() && state_.result()->root()) {
        const std::string root = state_.result()->root()->path();
        // A scan root swapped for a link after its scan began leads elsewhere: refused there.
        if (state_.resultRootPin_ && state_.resultRootPin_->path == root)
            pinned.push_back(*state_.resultRootPin_);
        else
            anchors.push_back(root);
    }
    // What the scan saw lay on the mounts there were when it started: a file system mounted over a
    // folder since then shows what nobody reviewed. The mounts now are read where the operations
    // are made, on the worker that uses them.
    std::optional<std::vector<MountEntry>> seen;
    if (state_.result() && state_.resultMounts_) seen = *state_.resultMounts_;
    return [anchors = std::move(anchors), pinned = std::move(pinned), seen = std::move(seen)] {
        return std::shared_ptr<RemovalFileOps>(std::make_shared<FileOperations>(
            anchors, pinned, seen ? std::optional(mountsUnchangedSince(*seen)) : std::nullopt));
    };
}

RemovalSources RemovalRoad::diskSources() const {
    RemovalSources sources;
    std::vector<JunkLocation> locations = state_.cleanup().locations();
    sources.junkTargets = [locations](const std::string& entryID) -> std::optional<std::vector<JunkEntry>> {
        if (const JunkLocation* location = junkLocationOf(locations, entryID))
            return JunkLocation::identified(location->targets());
        return std::nullopt;
    };
    sources.contentsOnly = SafetyGuard::contentsOnly();
    // Made on first use, by whichever thread lists.
    struct Lister {
        std::function<std::shared_ptr<RemovalFileOps>()> make;
        std::once_flag once;
        std::shared_ptr<RemovalFileOps> ops;
    };
    auto lister = std::make_shared<Lister>();
    lister->make = fileOps();
    sources.listFolder = [lister](const std::string& folder) {
        std::call_once(lister->once, [&] { lister->ops = lister->make(); });
        return lister->ops->list(folder);
    };
    sources.normalize = &DiskScanner::normalize;
    // A location ticked before the review opened goes through its folders only while they still
    // lead where they did then.
    sources.pin = [pins = reviewPins_](const std::string& folder) {
        if (auto it = pins.find(folder); it != pins.end()) return std::optional<PinnedFolder>(it->second);
        return PinnedFolder::pin(folder);
    };
    return sources;
}

std::vector<JunkEntry> RemovalRoad::sampleTargets(const JunkLocation& location) const {
    if (auto listed = state_.cleanup().contents().find(location.id);
        listed != state_.cleanup().contents().end() && !listed->second.empty())
        return listed->second;
    // Without a listing, what the sample tree holds of the location; a folder the tree does not
    // hold stands for itself (a location that matches files by kind offers only what it holds).
    std::vector<JunkEntry> targets;
    for (const std::string& folder : location.paths) {
        const std::shared_ptr<DirNode> node = state_.result() ? state_.result()->node(folder) : nullptr;
        if (!node || location.kind == JunkLocation::Kind::item) {
            if (location.kind != JunkLocation::Kind::matching) targets.push_back({folder, 0, true});
            continue;
        }
        auto take = [&](const std::string& path, bool isDirectory) {
            if (location.kind == JunkLocation::Kind::matching &&
                !location.extensions.count(asciiLower(pathExtension(PathRules::lastComponent(path)))))
                return;
            targets.push_back({path, 0, isDirectory});
        };
        for (const auto& child : node->children())
            take(child->path(), true);
        for (const FileItem& file : node->files())
            take(file.path, false);
    }
    return targets;
}

RemovalSources RemovalRoad::sampleSources() const {
    RemovalSources sources;
    std::unordered_map<std::string, std::vector<JunkEntry>> targets;
    for (const JunkLocation& location : state_.cleanup().locations())
        targets["junk:" + location.id] = sampleTargets(location);
    sources.junkTargets = [targets = std::move(targets)](const std::string& entryID) {
        auto it = targets.find(entryID);
        return it == targets.end() ? std::nullopt : std::optional<std::vector<JunkEntry>>(it->second);
    };
    // A folder whose contents go lists what the sample's listings hold directly inside it.
    sources.contentsOnly = SafetyGuard::contentsOnly();
    std::unordered_map<std::string, std::vector<std::string>> inside;
    for (const auto& [id, entries] : state_.cleanup().contents())
        for (const JunkEntry& entry : entries)
            inside[PathRules::parent(entry.path)].emplace_back(PathRules::lastComponent(entry.path));
    sources.listFolder = [inside = std::move(inside)](const std::string& folder) {
        RemovalFileOps::Listing listing;
        if (auto it = inside.find(DiskScanner::normalize(folder)); it != inside.end())
            listing.names = it->second;
        return listing;
    };
    sources.normalize = &DiskScanner::normalize;
    return sources;  // nothing is pinned
}

void RemovalRoad::openReview() {
    if (state_.queue().items().empty() || state_.isDeleting() || buildingRemoval_) return;
    if (openingSelection_ == state_.queue().generation()) return;
    reviewPins_.clear();
    reviewTargets_.clear();
    const uint64_t review = ++reviewGeneration_;
    std::vector<JunkLocation> ticked;
    for (const CleanItem& item : state_.queue().items())
        if (item.kind == CleanItem::Kind::junk)
            if (const JunkLocation* location = junkLocationOf(state_.cleanup().locations(), item.id))
                ticked.push_back(*location);
    if (state_.services_.isDemo() || ticked.empty()) {
        // The sample's figures and listing stand as they are.
        for (const JunkLocation& location : ticked)
            reviewTargets_["junk:" + location.id] = sampleTargets(location);
        state_.setIsReviewing(true);
        return;
    }
    // What the review shows of a junk location is what its folders hold now: they are pinned, with
    // the folders above them, so a link swapped while the review is open leads nowhere. That reads
    // the disk, so it is done on a worker and the review opens when it is back.
    setOpeningSelection(state_.queue().generation());
    Background::run(
        state_.userPool(), this,
        [ticked = std::move(ticked)] {
            ReviewListing listing;
            for (const JunkLocation& location : ticked) {
                for (const std::string& path : location.existingPaths())
                    for (const std::string& folder : {path, PathRules::parent(path)})
                        if (!listing.pins.count(folder))
                            if (auto pin = PinnedFolder::pin(folder))
                                listing.pins.emplace(folder, std::move(*pin));
                // What the location holds now, each target sized, is what the review shows and the
                // removal takes: no figure of an older listing reaches the review.
                listing.targets["junk:" + location.id] = CleanupModel::sizedTargets(location);
            }
            return listing;
        },
        [this, review, selection = *openingSelection_](ReviewListing listing) {
            // The generation only grows, so no other opening of this selection can be under way.
            if (openingSelection_ == selection) setOpeningSelection(std::nullopt);
            // A selection changed meanwhile, or a removal begun, asks for the review again.
            if (review != reviewGeneration_ || selection != state_.queue().generation() ||
                state_.isDeleting())
                return;
            pinReview(std::move(listing.pins), std::move(listing.targets));
            // The figure the review shows for a location is what its listed targets weigh.
            std::unordered_map<std::string, int64_t> sizes;
            for (const auto& [id, entries] : reviewTargets_) {
                int64_t& total = sizes[id];
                for (const JunkEntry& entry : entries)
                    total += entry.size;
            }
            state_.queue().resize(sizes);
            state_.setIsReviewing(true);
        });
}

void RemovalRoad::setOpeningSelection(std::optional<uint64_t> selection) {
    const bool was = openingSelection_.has_value();
    openingSelection_ = selection;
    if (was != selection.has_value()) emit isPreparingReviewChanged();
}

void RemovalRoad::stopPreparingReview() {
    if (!openingSelection_) return;
    ++reviewGeneration_;  // its answer opens nothing
    setOpeningSelection(std::nullopt);
}

void RemovalRoad::remove(std::unordered_set<std::string>&& ids, bool permanently) {
    state_.setIsReviewing(false);
    // One removal at a time: the review cannot open during one, and nothing else may start one.
    if (state_.isDeleting() || buildingRemoval_) return;
    RemovalSources sources = state_.services_.isDemo() ? sampleSources() : diskSources();
    reviewPins_.clear();
    ++reviewGeneration_;
    // A location ticked before the review opened removes the targets the review listed, and only them.
    sources.junkTargets = [listed = std::exchange(reviewTargets_, {}),
                           now = std::move(sources.junkTargets)](const std::string& entryID) {
        if (auto it = listed.find(entryID); it != listed.end())
            return std::optional<std::vector<JunkEntry>>(it->second);
        return now(entryID);
    };
    if (ids.size() < CleanQueue::kAsideFrom) {
        startReviewedRemoval(buildReviewedRemoval(state_.queue().items(), ids, sources), permanently);
        return;
    }
    // Tens of thousands of entries take longer to turn into a request than the window may stand
    // still: that is done on a worker, from the selection as it is now (a snapshot, not a copy),
    // and the removal starts when it comes back.
    buildingRemoval_ = true;
    Background::run(
        state_.userPool(), this,
        [items = state_.queue().snapshot(), ids = std::move(ids), sources = std::move(sources)]() mutable {
            auto removal = buildReviewedRemoval(*items, ids, sources);
            items.reset();  // the queue need not copy its list to change it
            return removal;
        },
        [this, permanently](std::optional<ReviewedRemoval> removal) {
            buildingRemoval_ = false;
            startReviewedRemoval(std::move(removal), permanently);
        });
}

void RemovalRoad::startReviewedRemoval(std::optional<ReviewedRemoval> removal, bool permanently) {
    if (!removal) {
        state_.setToast(Toast(AppState::tr("Nothing left to nimbrelise"), "info.circle.fill"));
        return;
    }
    QPointer<RemovalRoad> self(this);
    removal->request.onComplete =
        [self, entryPaths = std::move(removal->entryPaths), cleared = std::move(removal->clearedIDs),
         touchesCleanup = removal->touchesCleanup](const std::vector<std::string>& removed) mutable {
            if (!self) return;
            // Called once: the entries that leave are taken, not copied, since there may be
            // a hundred thousand of them.
            std::unordered_set<std::string> leaving = std::move(cleared);
            // The worker's guard judged every item on disk; its verdicts decide which entries leave.
            for (const std::string& id : guardRefusedIDs(entryPaths, self->lastGuardRefused_))
                leaving.insert(id);
            if (self->completingRemoved_ && self->completingRemoved_->size() == removed.size())
                self->state_.queue().removeEvaporatedAside(self->completingRemoved_, std::move(leaving));
            else
                self->state_.queue().removeEvaporatedAside(
                    std::make_shared<const std::unordered_set<std::string>>(removed.begin(), removed.end()),
                    std::move(leaving));
            if (touchesCleanup) {
                self->state_.cleanup().subtract(self->lastRemoval_);
                self->state_.cleanup().measure();
            }
        };
    performDeletion(std::move(removal->request), permanently);
}

void RemovalRoad::performDeletion(DeletionRequest request, bool permanently) {
    // One removal at a time: its worker reads the tree without the readers' lock (see ScanResult).
    // Every road here refuses a second one first; this is the last stop.
    Q_ASSERT(!state_.isDeleting());
    if (state_.isDeleting()) return;
    if (state_.services_.isDemo()) {
        pretendDeletion(std::move(request));
        return;
    }
    // Nothing is judged here: the guard reads the disk and costs microseconds per item, so it runs
    // on the worker, which hands back what may vanish before anything goes.
    state_.setIsDeleting(true);
    // The entries only count for the hold from here on: the set itself marks the vanishing rows.
    const size_t entries = request.queueIDs.size();
    state_.setNimbrelisingIDs(std::move(request.queueIDs));

    RemovalsInFlight& inFlight = RemovalsInFlight::shared();
    // Only the worker needs the items; the completion keeps the rest of the request.
    std::vector<DeletionItem> items = std::move(request.items);
    std::function<std::shared_ptr<RemovalFileOps>()> makeOps = fileOps(request.pinnedFolders);
    stop_ = std::make_shared<std::atomic<bool>>(false);
    count_ = std::make_shared<Count>();
    count_->items = items.size();
    RemovalOutcome outcome;
    outcome.started = state_.services_.clock->now();
    outcome.permanently = permanently;
    outcome.entries = entries;
    outcome.tree = state_.result_;
    outcome.files = state_.files().startPruning();
    outcome.twins = state_.duplicates().startPruning();
    Background::run(
        state_.userPool(), this,
        [context = QPointer<QObject>(this), self = this, makeOps = std::move(makeOps),
         items = std::move(items), permanently, &inFlight, stop = stop_, count = count_,
         mountTops = state_.services_.mountTops, outcome = std::move(outcome)]() mutable {
            RemovalsInFlight::Running running(inFlight, stop);
            const std::shared_ptr<RemovalFileOps> ops = makeOps();
            GuardedItems guarded = sortByGuard(items, outcome, mountTops);
            count->items = guarded.allowed.size();
            // Posted before the outcome, so the screens animate exactly what may go, and only that.
            Background::post(context, [self, vanishing = std::move(guarded.vanishing)]() mutable {
                if (self->state_.isDeleting()) self->state_.setVanishingPaths(std::move(vanishing));
            });
            outcome.result = RemovalWorker(*ops, permanently).run(guarded.allowed, stop.get(), &count->done);
            planAfterRemoval(outcome);
            return std::move(outcome);
        },
        [this, request = std::move(request)](RemovalOutcome outcome) mutable {
            outcome.request = std::move(request);
            completeRemoval(std::move(outcome));
        });
}

void RemovalRoad::stop() {
    if (stop_) stop_->store(true);
    endHold();
}

size_t RemovalRoad::itemsLeft() const {
    if (!count_) return 0;
    const size_t items = count_->items, done = count_->done;
    return items > done ? items - done : 0;
}

void RemovalRoad::endHold() {
    if (!holdFinish_) return;
    std::function<void()> finish = std::move(*std::exchange(holdFinish_, nullptr));
    whenResultUnread(std::move(finish));
}

void RemovalRoad::completeRemoval(RemovalOutcome finished) {
    count_.reset();
    auto outcome = std::make_shared<RemovalOutcome>(std::move(finished));
    noteRemovedDuringScan(*outcome);
    setLastRemoval(std::move(outcome->figures.credited));
    const auto rest = removalHold(outcome->entries) - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          state_.services_.clock->now() - outcome->started);
    auto finish = [this, outcome]() mutable {
        auto removedSet =
            std::make_shared<const std::unordered_set<std::string>>(std::move(outcome->removedSet));
        // The report comes in the next turn of the event loop: the window shows the pruned lists in
        // between, instead of standing still for both at once after a large removal. It is queued
        // first, so what others queue on the changes below (a quit waiting for the removal to end)
        // runs after it and finds the report made.
        Background::post(this, [this, outcome, removedSet]() mutable {
            reportRemoval(*outcome, removedSet);
            // A large removal's lists are freed aside, with what the request holds of every entry.
            Background::dispose(std::move(outcome));
            Background::dispose(std::move(removedSet));
        });
        state_.setIsDeleting(false);
        applyRemoval(*removedSet, &outcome->recheck, outcome->tree.get(), outcome->prune.get());
        state_.setVanishingPaths({});
        state_.setNimbrelisingIDs({});
        Background::dispose(std::move(outcome->prune));
        outcome.reset();
    };

    // A removal stopped for quitting has no one to play its hold to.
    if (rest > std::chrono::milliseconds(0) && !(stop_ && stop_->load())) {
        auto held = std::make_shared<std::function<void()>>(std::move(finish));
        holdFinish_ = held;
        state_.services_.clock->after(rest, this, [this, held] {
            if (holdFinish_ == held) endHold();
        });
        emit holdStarted();
    } else {
        whenResultUnread(std::move(finish));
    }
}

void RemovalRoad::reportRemoval(RemovalOutcome& outcome,
                                std::shared_ptr<const std::unordered_set<std::string>> removedSet) {
    const RemovalFigures& figures = outcome.figures;
    state_.setSessionFreed(state_.sessionFreed() + figures.total);
    if (figures.count > 0)
        state_.setToast(
            Toast(removalToastText(figures.total, figures.count, outcome.permanently), kRemovalSymbol));
    lastGuardRefused_.clear();
    for (const DeletionFailure& kept : outcome.guardFailures)
        lastGuardRefused_.insert(kept.path);
    // What the guard kept comes first, then what the removal left, each in its own order.
    std::vector<DeletionFailure> failures = std::move(outcome.guardFailures);
    failures.insert(failures.end(), outcome.result.failures.begin(), outcome.result.failures.end());
    if (!failures.empty()) state_.setDeletionFailures(std::move(failures));
    // What stayed ticked after losing part of itself weighs what is left of it. Done before the
    // entries that went leave, which a large selection works out aside.
    state_.queue().shrink(outcome.recheck.bytes);
    completingRemoved_ = std::move(removedSet);
    if (outcome.request.onComplete) outcome.request.onComplete(figures.removed);
    completingRemoved_.reset();
    if (!state_.services_.isDemo()) state_.refreshVolumes();
    // What went to the Trash is there now: its figure (and what emptying it will give back) must
    // not stay at the size it had before.
    if (!outcome.permanently && figures.count > 0) state_.cleanup().measureTrash();
}

void RemovalRoad::whenResultUnread(std::function<void()> fn) {
    if (state_.resultReaders_->try_lock()) {
        std::unique_lock held(*state_.resultReaders_, std::adopt_lock);
        fn();
        return;
    }
    // A reader holds it for well under a second; look again soon, never blocking the thread.
    QTimer::singleShot(5, this, [this, fn = std::move(fn)]() mutable { whenResultUnread(std::move(fn)); });
}

void RemovalRoad::prune(std::unordered_set<std::string> paths) {
    // A running removal's worker reads the tree it started from without the readers' lock.
    Q_ASSERT(!state_.isDeleting());
    if (state_.isDeleting()) return;
    whenResultUnread([this, paths = std::move(paths)] { applyRemoval(paths); });
}

void RemovalRoad::pretendDeletion(DeletionRequest request) {
    // Demo mode plays the removal on the sample data and never touches the disk.
    std::unordered_set<std::string> vanishing;
    for (const DeletionItem& item : request.items)
        vanishing.insert(item.path);
    state_.setIsDeleting(true);
    state_.setVanishingPaths(vanishing);
    state_.setNimbrelisingIDs(request.queueIDs);

    const auto hold = removalHold(request.queueIDs.size());
    state_.services_.clock->after(hold, this, [this, request = std::move(request)] {
        // A worker reading the sample result is waited for, like after a real removal.
        whenResultUnread([this, request] {
            std::vector<std::string> removed;
            std::unordered_map<std::string, int64_t> freed;
            for (const DeletionItem& item : request.items) {
                removed.push_back(item.path);
                freed[item.path] = item.size.value_or(0);
            }
            setLastRemoval(std::move(freed));
            state_.setIsDeleting(false);
            applyRemoval(std::unordered_set<std::string>(removed.begin(), removed.end()));
            state_.setVanishingPaths({});
            state_.setNimbrelisingIDs({});
            state_.setToast(Toast(demoRemovalToastText(request.estimatedSize), kRemovalSymbol));
            if (request.onComplete) request.onComplete(removed);
        });
    });
}

namespace {

// The ids of the listed files at or inside `gone`.
std::unordered_set<std::int64_t> goneListed(const ScanResult& tree,
                                            const std::unordered_set<std::string>& gone) {
    std::unordered_set<std::int64_t> ids;
    for (const FileItem& item : tree.files())
        if (PathRules::isAtOrInsideAny(item.path, gone)) ids.insert(item.id);
    return ids;
}

// The outermost of the removed paths, normalised as the tree and the twins hold them.
template <typename Paths>
std::unordered_set<std::string> outermostNormalized(const Paths& removed) {
    std::unordered_set<std::string> normalized;
    for (const std::string& path : removed)
        normalized.insert(DiskScanner::normalize(path));
    return outermostPaths(normalized);
}

}  // namespace

std::shared_ptr<PlannedPrune> RemovalRoad::planPrune(ScanResult& tree,
                                                     const std::vector<std::string>& removed,
                                                     const std::unordered_set<std::string>& recheckGone) {
    auto planned = std::make_shared<PlannedPrune>();
    planned->outermost = outermostNormalized(removed);
    // What a removed path weighed is no measure of what the scan counted for it: a path the tree
    // neither lists nor holds as a folder lowers its folder only by what its recheck finds gone.
    planned->plan = ScanPrune::plan(tree, planned->outermost, {});
    std::unordered_set<std::string> gone = recheckGone;
    gone.insert(planned->outermost.begin(), planned->outermost.end());
    planned->goneIDs = goneListed(tree, gone);
    return planned;
}

void RemovalRoad::planAfterRemoval(RemovalOutcome& outcome) {
    ScanResult* tree = outcome.tree.get();
    // What stayed behind may have been removed in part: look at the disk for what went.
    if (tree && (!outcome.result.failures.empty() || !outcome.result.partlyRemoved.empty()))
        outcome.recheck = tree->recheck(recheckedPaths(outcome.result));
    // The figures and the pruning of a large removal are worked out here, off the main thread,
    // which then only applies them.
    outcome.figures = removalFigures(outcome.result, outcome.recheck);
    outcome.removedSet.insert(outcome.figures.removed.begin(), outcome.figures.removed.end());
    // The figures hold what the completion needs of the freed map, which is let go of here rather
    // than on the main thread.
    std::unordered_map<std::string, int64_t>().swap(outcome.result.freed);
    if (!tree) return;
    outcome.prune = planPrune(*tree, outcome.figures.removed, outcome.recheck.gone);
    // Only the shrink: what went loose is already in the figures the worker reported.
    for (ScanResult::Recheck::Shrunk& shrunk : tree->recheckLoose(outcome.prune->outermost).shrunk)
        outcome.recheck.shrunk.push_back(std::move(shrunk));
    if (outcome.files) {
        outcome.files->apply(outcome.prune->plan.droppedListed());
        outcome.prune->files = std::move(outcome.files);
    }
    if (outcome.twins) {
        outcome.twins->apply(outcome.prune->goneIDs);
        outcome.prune->twins = std::move(outcome.twins);
    }
}

void RemovalRoad::applyRemoval(const std::unordered_set<std::string>& paths,
                               const ScanResult::Recheck* recheck, const ScanResult* rechecked,
                               PlannedPrune* planned) {
    ScanResult* tree = state_.result_.get();
    const bool recheckApplies =
        recheck && tree && rechecked == tree && (!recheck->gone.empty() || !recheck->shrunk.empty());
    if (paths.empty() && !recheckApplies) return;
    std::unordered_set<std::string> outermost;
    std::unordered_set<std::int64_t> goneIDs;
    std::vector<TreeChange> changes;
    // Worked out on the removal's worker from this very tree, when no change went through it since.
    const bool usePlan = planned && tree && planned->plan.isFor(*tree);
    if (usePlan) {
        outermost = std::move(planned->outermost);
        goneIDs = std::move(planned->goneIDs);
        changes.push_back(tree->prune(std::move(planned->plan)));
        // In the same turn, so no view reads an index that does not match the files.
        if (planned->files) state_.files().adopt(std::move(*planned->files), changes.back());
    } else {
        outermost = outermostNormalized(paths);
        if (tree) changes.push_back(tree->remove(outermost, {}));
        // A result installed while the removal ran: what it counted loose of the removed paths
        // is looked for on disk.
        if (tree && rechecked && rechecked != tree) recheckLooseLater(outermost);
    }
    if (recheckApplies) {
        changes.push_back(tree->apply(*recheck));
        outermost.insert(recheck->gone.begin(), recheck->gone.end());
    }
    state_.duplicates().remove(outermost, usePlan ? &goneIDs : nullptr,
                               usePlan ? planned->twins.get() : nullptr);
    for (const TreeChange& change : changes)
        emit state_.treeChanged(change);
    state_.bumpRevision();
    // What the tree let go of (removed subtrees, the old file lists) is freed off the main thread.
    if (!changes.empty())
        state_.utilityPool().start([changes = std::move(changes)]() mutable { changes.clear(); });
    if (outermost.size() > 1024) Background::dispose(std::move(outermost));
    if (goneIDs.size() > 1024) Background::dispose(std::move(goneIDs));
}

void RemovalRoad::recheckLooseLater(const std::unordered_set<std::string>& removed) {
    const std::shared_ptr<ScanResult> tree = state_.result_;
    const std::uint64_t stamp = tree->changeCount();
    Background::run(
        state_.utilityPool(), this,
        [tree, removed, readers = state_.resultReaders_] {
            std::shared_lock reading(*readers);
            return tree->recheckLoose(removed);
        },
        [this, tree, stamp](ScanResult::Recheck loose) {
            if (loose.shrunk.empty()) return;
            whenResultUnread([this, tree, stamp, loose = std::move(loose)] {
                if (state_.result_ != tree || tree->changeCount() != stamp) return;
                emit state_.treeChanged(tree->apply(loose));
                state_.bumpRevision();
            });
        });
}

void RemovalRoad::noteRemovedDuringScan(const RemovalOutcome& outcome) {
    if (!state_.scanToken_) return;
    for (const std::string& path : outcome.figures.removed)
        removedDuringScan_.insert(DiskScanner::normalize(path));
    removedDuringScan_.insert(outcome.recheck.gone.begin(), outcome.recheck.gone.end());
}

void RemovalRoad::pruneScanned(std::shared_ptr<ScanResult> result,
                               std::function<void(std::shared_ptr<ScanResult>)> install) {
    // Nobody holds the new result yet: the worker changes it freely. What ends meanwhile is noted
    // again and pruned in another round.
    Background::run(
        state_.scanPool(), this,
        [result = std::move(result), removed = outermostPaths(std::exchange(removedDuringScan_, {}))] {
            ScanResult::Recheck loose = result->recheckLoose(removed);
            result->remove(removed, {});
            result->apply(loose);
            return result;
        },
        std::move(install));
}

}  // namespace nimbrel
