// The removal road of the application state: review, removal, completion, the demo removal,
// emptying the Trash, removing unavailable simulators and copying paths.
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "engine/disk_scanner.h"
#include "engine/file_actions.h"
#include "engine/host_layout.h"
#include "engine/junk_location.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "engine/safety_guard.h"
#include "engine/scan_prune.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "model/removal.h"
#include "platform/file_operations.h"
#include "platform/trash_emptier.h"
#include "util/fmt.h"
#include "util/plural.h"

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

constexpr const char* kRemovalSymbol = "humidity.fill";

// The location a selected junk entry ("junk:" + id) names, if any.
const JunkLocation* locationOf(const std::vector<JunkLocation>& locations, const std::string& entryID) {
    for (const JunkLocation& location : locations)
        if ("junk:" + location.id == entryID) return &location;
    return nullptr;
}

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

GuardedItems sortByGuard(const std::vector<DeletionItem>& items, RemovalOutcome& outcome) {
    // The guard judges where each path really leads too: a scan through a linked folder or a bind
    // mount names guarded folders by other paths. It reads the protected folders' identities now,
    // so a folder made or mounted a moment ago is known by every name.
    const DiskGuard guard(HostLayout::current());
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

std::function<std::shared_ptr<RemovalFileOps>()> AppState::removalFileOps(
    std::vector<PinnedFolder> pinned) const {
    if (services_.fileOps) return services_.fileOps;
    // The home folder and the scan root may be reached through a link, and so may the folders
    // pinned at the review while they stay the same; nothing below them may.
    std::vector<std::string> anchors = FileOperations::defaultAnchors();
    if (result() && result()->root()) {
        const std::string root = result()->root()->path();
        // A scan root swapped for a link after its scan began leads elsewhere: refused there.
        if (resultRootPin && resultRootPin->path == root)
            pinned.push_back(*resultRootPin);
        else
            anchors.push_back(root);
    }
    // What the scan saw lay on the mounts there were when it started: a file system mounted over a
    // folder since then shows what nobody reviewed. The mounts now are read where the operations
    // are made, on the worker that uses them.
    std::optional<std::vector<MountEntry>> seen;
    if (result() && resultMounts) seen = *resultMounts;
    return [anchors = std::move(anchors), pinned = std::move(pinned), seen = std::move(seen)] {
        return std::shared_ptr<RemovalFileOps>(std::make_shared<FileOperations>(
            anchors, pinned, seen ? std::optional(mountsUnchangedSince(*seen)) : std::nullopt));
    };
}

RemovalSources AppState::removalSources() const {
    RemovalSources sources;
    std::vector<JunkLocation> locations = cleanup().locations();
    sources.junkTargets = [locations](const std::string& entryID) -> std::optional<std::vector<JunkEntry>> {
        if (const JunkLocation* location = locationOf(locations, entryID))
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
    lister->make = removalFileOps();
    sources.listFolder = [lister](const std::string& folder) {
        std::call_once(lister->once, [&] { lister->ops = lister->make(); });
        return lister->ops->list(folder);
    };
    sources.normalize = &DiskScanner::normalize;
    // A location ticked before the review opened goes through its folders only while they still
    // lead where they did then.
    sources.pin = [pins = reviewPins](const std::string& folder) {
        if (auto it = pins.find(folder); it != pins.end()) return std::optional<PinnedFolder>(it->second);
        return PinnedFolder::pin(folder);
    };
    return sources;
}

std::vector<JunkEntry> AppState::sampleTargets(const JunkLocation& location) const {
    if (auto listed = cleanup().contents().find(location.id);
        listed != cleanup().contents().end() && !listed->second.empty())
        return listed->second;
    // Without a listing, what the sample tree holds of the location; a folder the tree does not
    // hold stands for itself (a location that matches files by kind offers only what it holds).
    std::vector<JunkEntry> targets;
    for (const std::string& folder : location.paths) {
        const std::shared_ptr<DirNode> node = result() ? result()->node(folder) : nullptr;
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

RemovalSources AppState::sampleSources() const {
    RemovalSources sources;
    std::unordered_map<std::string, std::vector<JunkEntry>> targets;
    for (const JunkLocation& location : cleanup().locations())
        targets["junk:" + location.id] = sampleTargets(location);
    sources.junkTargets = [targets = std::move(targets)](const std::string& entryID) {
        auto it = targets.find(entryID);
        return it == targets.end() ? std::nullopt : std::optional<std::vector<JunkEntry>>(it->second);
    };
    // A folder whose contents go lists what the sample's listings hold directly inside it.
    sources.contentsOnly = SafetyGuard::contentsOnly();
    std::unordered_map<std::string, std::vector<std::string>> inside;
    for (const auto& [id, entries] : cleanup().contents())
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

void AppState::nimbrelise() {
    if (queue().items().empty() || isDeleting() || buildingRemoval_) return;
    if (openingSelection_ == queue().generation()) return;
    reviewPins.clear();
    reviewTargets.clear();
    const uint64_t review = ++reviewGeneration_;
    std::vector<JunkLocation> ticked;
    for (const CleanItem& item : queue().items())
        if (item.kind == CleanItem::Kind::junk)
            if (const JunkLocation* location = locationOf(cleanup().locations(), item.id))
                ticked.push_back(*location);
    if (services_.isDemo() || ticked.empty()) {
        // The sample's figures and listing stand as they are.
        for (const JunkLocation& location : ticked)
            reviewTargets["junk:" + location.id] = sampleTargets(location);
        setIsReviewing(true);
        return;
    }
    // What the review shows of a junk location is what its folders hold now: they are pinned, with
    // the folders above them, so a link swapped while the review is open leads nowhere. That reads
    // the disk, so it is done on a worker and the review opens when it is back.
    setOpeningSelection(queue().generation());
    Background::run(
        userPool(), this,
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
            if (review != reviewGeneration_ || selection != queue().generation() || isDeleting()) return;
            reviewPins = std::move(listing.pins);
            reviewTargets = std::move(listing.targets);
            // The figure the review shows for a location is what its listed targets weigh.
            std::unordered_map<std::string, int64_t> sizes;
            for (const auto& [id, entries] : reviewTargets) {
                int64_t& total = sizes[id];
                for (const JunkEntry& entry : entries)
                    total += entry.size;
            }
            queue().resize(sizes);
            setIsReviewing(true);
        });
}

void AppState::setOpeningSelection(std::optional<uint64_t> selection) {
    const bool was = openingSelection_.has_value();
    openingSelection_ = selection;
    if (was != selection.has_value()) emit isPreparingReviewChanged();
}

void AppState::stopPreparingReview() {
    if (!openingSelection_) return;
    ++reviewGeneration_;  // its answer opens nothing
    setOpeningSelection(std::nullopt);
}

void AppState::nimbrelise(const std::unordered_set<std::string>& ids, bool permanently) {
    nimbrelise(std::unordered_set<std::string>(ids), permanently);
}

void AppState::nimbrelise(std::unordered_set<std::string>&& ids, bool permanently) {
    setIsReviewing(false);
    // One removal at a time: the review cannot open during one, and nothing else may start one.
    if (isDeleting() || buildingRemoval_) return;
    RemovalSources sources = services_.isDemo() ? sampleSources() : removalSources();
    reviewPins.clear();
    ++reviewGeneration_;
    // A location ticked before the review opened removes the targets the review listed, and only them.
    sources.junkTargets = [listed = std::exchange(reviewTargets, {}),
                           now = std::move(sources.junkTargets)](const std::string& entryID) {
        if (auto it = listed.find(entryID); it != listed.end())
            return std::optional<std::vector<JunkEntry>>(it->second);
        return now(entryID);
    };
    if (ids.size() < CleanQueue::kAsideFrom) {
        startReviewedRemoval(buildReviewedRemoval(queue().items(), ids, sources), permanently);
        return;
    }
    // Tens of thousands of entries take longer to turn into a request than the window may stand
    // still: that is done on a worker, from the selection as it is now (a snapshot, not a copy),
    // and the removal starts when it comes back.
    buildingRemoval_ = true;
    Background::run(
        userPool(), this,
        [items = queue().snapshot(), ids = std::move(ids), sources = std::move(sources)]() mutable {
            auto removal = buildReviewedRemoval(*items, ids, sources);
            items.reset();  // the queue need not copy its list to change it
            return removal;
        },
        [this, permanently](std::optional<ReviewedRemoval> removal) {
            buildingRemoval_ = false;
            startReviewedRemoval(std::move(removal), permanently);
        });
}

void AppState::startReviewedRemoval(std::optional<ReviewedRemoval> removal, bool permanently) {
    if (!removal) {
        setToast(Toast(tr("Nothing left to nimbrelise"), "info.circle.fill"));
        return;
    }
    QPointer<AppState> self(this);
    removal->request.onComplete =
        [self, entryPaths = std::move(removal->entryPaths), cleared = std::move(removal->clearedIDs),
         touchesCleanup = removal->touchesCleanup](const std::vector<std::string>& removed) mutable {
            if (!self) return;
            // Called once: the entries that leave are taken, not copied, since there may be
            // a hundred thousand of them.
            std::unordered_set<std::string> leaving = std::move(cleared);
            // The worker's guard judged every item on disk; its verdicts decide which entries leave.
            for (const std::string& id : guardRefusedIDs(entryPaths, self->lastGuardRefused))
                leaving.insert(id);
            if (self->completingRemoved && self->completingRemoved->size() == removed.size())
                self->queue().removeEvaporatedAside(self->completingRemoved, std::move(leaving));
            else
                self->queue().removeEvaporatedAside(
                    std::make_shared<const std::unordered_set<std::string>>(removed.begin(), removed.end()),
                    std::move(leaving));
            if (touchesCleanup) {
                self->cleanup().subtract(self->lastRemoval);
                self->cleanup().measure();
            }
        };
    performDeletion(std::move(removal->request), permanently);
}

void AppState::performDeletion(DeletionRequest request, bool permanently) {
    // One removal at a time: its worker reads the tree without the readers' lock (see ScanResult).
    // Every road here refuses a second one first; this is the last stop.
    Q_ASSERT(!isDeleting());
    if (isDeleting()) return;
    if (services_.isDemo()) {
        pretendDeletion(std::move(request));
        return;
    }
    // Nothing is judged here: the guard reads the disk and costs microseconds per item, so it runs
    // on the worker, which hands back what may vanish before anything goes.
    setIsDeleting(true);
    // The entries only count for the hold from here on: the set itself marks the vanishing rows.
    const size_t entries = request.queueIDs.size();
    setNimbrelisingIDs(std::move(request.queueIDs));

    RemovalsInFlight& inFlight = RemovalsInFlight::shared();
    // Only the worker needs the items; the completion keeps the rest of the request.
    std::vector<DeletionItem> items = std::move(request.items);
    std::function<std::shared_ptr<RemovalFileOps>()> makeOps = removalFileOps(request.pinnedFolders);
    removalStop_ = std::make_shared<std::atomic<bool>>(false);
    removalCount_ = std::make_shared<RemovalCount>();
    removalCount_->items = items.size();
    RemovalOutcome outcome;
    outcome.started = services_.clock->now();
    outcome.permanently = permanently;
    outcome.entries = entries;
    outcome.tree = result_;
    outcome.files = FilesModel::of(*this).startPruning();
    outcome.twins = duplicates().startPruning();
    Background::run(
        userPool(), this,
        [context = QPointer<QObject>(this), self = this, makeOps = std::move(makeOps),
         items = std::move(items), permanently, &inFlight, stop = removalStop_, count = removalCount_,
         outcome = std::move(outcome)]() mutable {
            RemovalsInFlight::Running running(inFlight, stop);
            const std::shared_ptr<RemovalFileOps> ops = makeOps();
            GuardedItems guarded = sortByGuard(items, outcome);
            count->items = guarded.allowed.size();
            // Posted before the outcome, so the screens animate exactly what may go, and only that.
            Background::post(context, [self, vanishing = std::move(guarded.vanishing)]() mutable {
                if (self->isDeleting()) self->setVanishingPaths(std::move(vanishing));
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

void AppState::stopRemoval() {
    if (removalStop_) removalStop_->store(true);
    endRemovalHold();
}

size_t AppState::removalItemsLeft() const {
    if (!removalCount_) return 0;
    const size_t items = removalCount_->items, done = removalCount_->done;
    return items > done ? items - done : 0;
}

void AppState::endRemovalHold() {
    if (!holdFinish_) return;
    std::function<void()> finish = std::move(*std::exchange(holdFinish_, nullptr));
    whenResultUnread(std::move(finish));
}

void AppState::completeRemoval(RemovalOutcome finished) {
    removalCount_.reset();
    auto outcome = std::make_shared<RemovalOutcome>(std::move(finished));
    noteRemovedDuringScan(*outcome);
    Background::dispose(std::exchange(lastRemoval, std::move(outcome->figures.credited)));
    const auto rest = removalHold(outcome->entries) - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          services_.clock->now() - outcome->started);
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
        setIsDeleting(false);
        applyRemoval(*removedSet, &outcome->recheck, outcome->tree.get(), outcome->prune.get());
        setVanishingPaths({});
        setNimbrelisingIDs({});
        Background::dispose(std::move(outcome->prune));
        outcome.reset();
    };

    // A removal stopped for quitting has no one to play its hold to.
    if (rest > std::chrono::milliseconds(0) && !(removalStop_ && removalStop_->load())) {
        auto held = std::make_shared<std::function<void()>>(std::move(finish));
        holdFinish_ = held;
        services_.clock->after(rest, this, [this, held] {
            if (holdFinish_ == held) endRemovalHold();
        });
        emit removalHoldStarted();
    } else {
        whenResultUnread(std::move(finish));
    }
}

void AppState::reportRemoval(RemovalOutcome& outcome,
                             std::shared_ptr<const std::unordered_set<std::string>> removedSet) {
    const RemovalFigures& figures = outcome.figures;
    setSessionFreed(sessionFreed() + figures.total);
    if (figures.count > 0)
        setToast(Toast(removalToastText(figures.total, figures.count, outcome.permanently), kRemovalSymbol));
    lastGuardRefused.clear();
    for (const DeletionFailure& kept : outcome.guardFailures)
        lastGuardRefused.insert(kept.path);
    // What the guard kept comes first, then what the removal left, each in its own order.
    std::vector<DeletionFailure> failures = std::move(outcome.guardFailures);
    failures.insert(failures.end(), outcome.result.failures.begin(), outcome.result.failures.end());
    if (!failures.empty()) setDeletionFailures(std::move(failures));
    // What stayed ticked after losing part of itself weighs what is left of it. Done before the
    // entries that went leave, which a large selection works out aside.
    queue().shrink(outcome.recheck.bytes);
    completingRemoved = std::move(removedSet);
    if (outcome.request.onComplete) outcome.request.onComplete(figures.removed);
    completingRemoved.reset();
    if (!services_.isDemo()) refreshVolumes();
    // What went to the Trash is there now: its figure (and what emptying it will give back) must
    // not stay at the size it had before.
    if (!outcome.permanently && figures.count > 0) cleanup().measureTrash();
}

void AppState::whenResultUnread(std::function<void()> fn) {
    if (resultReaders_->try_lock()) {
        std::unique_lock held(*resultReaders_, std::adopt_lock);
        fn();
        return;
    }
    // A reader holds it for well under a second; look again soon, never blocking the thread.
    QTimer::singleShot(5, this, [this, fn = std::move(fn)]() mutable { whenResultUnread(std::move(fn)); });
}

void AppState::pretendDeletion(DeletionRequest request) {
    // Demo mode plays the removal on the sample data and never touches the disk.
    std::unordered_set<std::string> vanishing;
    for (const DeletionItem& item : request.items)
        vanishing.insert(item.path);
    setIsDeleting(true);
    setVanishingPaths(vanishing);
    setNimbrelisingIDs(request.queueIDs);

    const auto hold = removalHold(request.queueIDs.size());
    services_.clock->after(hold, this, [this, request = std::move(request)] {
        // A worker reading the sample result is waited for, like after a real removal.
        whenResultUnread([this, request] {
            std::vector<std::string> removed;
            std::unordered_map<std::string, int64_t> freed;
            for (const DeletionItem& item : request.items) {
                removed.push_back(item.path);
                freed[item.path] = item.size.value_or(0);
            }
            lastRemoval = std::move(freed);
            setIsDeleting(false);
            applyRemoval(std::unordered_set<std::string>(removed.begin(), removed.end()));
            setVanishingPaths({});
            setNimbrelisingIDs({});
            setToast(Toast(demoRemovalToastText(request.estimatedSize), kRemovalSymbol));
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

std::shared_ptr<PlannedPrune> AppState::planPrune(ScanResult& tree, const std::vector<std::string>& removed,
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

void AppState::planAfterRemoval(RemovalOutcome& outcome) {
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

void AppState::applyRemoval(const std::unordered_set<std::string>& paths, const ScanResult::Recheck* recheck,
                            const ScanResult* rechecked, PlannedPrune* planned) {
    ScanResult* tree = result_.get();
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
        if (planned->files) FilesModel::of(*this).adopt(std::move(*planned->files), changes.back());
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
    duplicates().remove(outermost, usePlan ? &goneIDs : nullptr, usePlan ? planned->twins.get() : nullptr);
    for (const TreeChange& change : changes)
        emit treeChanged(change);
    bumpRevision();
    // What the tree let go of (removed subtrees, the old file lists) is freed off the main thread.
    if (!changes.empty()) utilityPool().start([changes = std::move(changes)]() mutable { changes.clear(); });
    if (outermost.size() > 1024) Background::dispose(std::move(outermost));
    if (goneIDs.size() > 1024) Background::dispose(std::move(goneIDs));
}

void AppState::recheckLooseLater(const std::unordered_set<std::string>& removed) {
    const std::shared_ptr<ScanResult> tree = result_;
    const std::uint64_t stamp = tree->changeCount();
    Background::run(
        utilityPool(), this,
        [tree, removed, readers = resultReaders_] {
            std::shared_lock reading(*readers);
            return tree->recheckLoose(removed);
        },
        [this, tree, stamp](ScanResult::Recheck loose) {
            if (loose.shrunk.empty()) return;
            whenResultUnread([this, tree, stamp, loose = std::move(loose)] {
                if (result_ != tree || tree->changeCount() != stamp) return;
                emit treeChanged(tree->apply(loose));
                bumpRevision();
            });
        });
}

void AppState::noteRemovedDuringScan(const RemovalOutcome& outcome) {
    if (!scanToken) return;
    for (const std::string& path : outcome.figures.removed)
        removedDuringScan_.insert(DiskScanner::normalize(path));
    removedDuringScan_.insert(outcome.recheck.gone.begin(), outcome.recheck.gone.end());
}

void AppState::emptyTrash() {
    if (emptyingTrash_) return;  // the running one credits the Trash size; a second would count it twice
    const int64_t trashSize = cleanup().trash() ? cleanup().trash()->usage.size : 0;
    if (services_.isDemo()) {
        // The sample Trash is not the user's: nothing is emptied and nothing is credited.
        setToast(Toast(trashEmptiedToastText(trashSize), kRemovalSymbol));
        return;
    }
    std::function<CommandResult()> empty = services_.emptyTrash;
    if (!empty)
        empty = [] {
#ifdef __APPLE__
            return FileActions::run("/usr/bin/osascript",
                                    {"-e", "tell application \"Finder\" to empty trash"});
#else
            TrashEmptier::Outcome outcome = TrashEmptier::emptyAll();
            return CommandResult{outcome.status, outcome.output, outcome.freedBytes};
#endif
        };
    emptyingTrash_ = true;
    cleanup().setIsEmptyingTrash(true);
    Background::run(userPool(), this, std::move(empty), [this, trashSize](CommandResult outcome) {
        emptyingTrash_ = false;
        cleanup().setIsEmptyingTrash(false);
        // What the emptier gave back is what counts: the Trash's size also counts hard-linked files
        // whose other names keep their data, and misses what was trashed since it was measured.
        const int64_t freed = outcome.freedBytes.value_or(outcome.status == 0 ? trashSize : 0);
        setSessionFreed(sessionFreed() + freed);
        if (outcome.status == 0) {
            setToast(Toast(trashEmptiedToastText(freed), kRemovalSymbol));
        } else {
            // Off the Mac the emptier is Nimbrel's own: it tells what went beside what stayed, for
            // part of the Trash may be gone.
            QString message =
                HostLayout::current().isMac()
                    ? tr("Couldn't empty the Trash. Allow Nimbrel to control Finder in System Settings › "
                         "Privacy & Security › Automation.")
                : freed > 0 ? tr("The Trash was emptied only in part: %1 left the disk. These items stayed:")
                                  .arg(Fmt::bytes(freed))
                            : tr("Couldn't empty the Trash: nothing left the disk. These items stayed:");
            setErrorMessage(message + "\n\n" + QString::fromStdString(outcome.output));
        }
        cleanup().measure();
        refreshVolumes();
    });
}

void AppState::removeUnavailableSimulators() {
    if (removingSimulators_) return;
    if (services_.isDemo()) {
        setToast(Toast(tr("Removed unavailable simulators"), kRemovalSymbol));
        return;
    }
    std::function<CommandResult(const std::string&, const std::vector<std::string>&)> run =
        services_.runCommand;
    if (!run) run = &FileActions::run;
    removingSimulators_ = true;
    Background::run(
        userPool(), this,
        [run] {
            return run("/usr/bin/xcrun", {"simctl", "delete", "unavailable"});
        },
        [this](CommandResult outcome) {
            removingSimulators_ = false;
            if (outcome.status != 0)
                setErrorMessage(tr("simctl failed:") + QStringLiteral("\n") +
                                QString::fromStdString(outcome.output));
            else
                setToast(Toast(tr("Removed unavailable simulators"), kRemovalSymbol));
            refreshVolumes();
        });
}

namespace {

// Whether a path leaves with the removal that runs now.
bool isLeaving(const std::string& path, const std::unordered_set<std::string>& vanishing,
               const std::unordered_set<std::string>& nimbrelising) {
    return PathRules::isAtOrInsideAny(path, vanishing) || PathRules::isAtOrInsideAny(path, nimbrelising);
}

}  // namespace

namespace {

using Withheld = DuplicatesModel::Withheld;

// Why "Select extras" added nothing for some sets; empty when every set offered its extras.
QString withheldToastText(const std::vector<Withheld>& withheld) {
    if (withheld.empty()) return {};
    if (withheld.size() == 1) {
        const Withheld& w = withheld.front();
        const QString name = QString::fromUtf8(w.keptName);
        switch (w.why) {
            case Withheld::Why::selected:
                return w.holder.empty()
                           ? AppState::tr(
                                 "The kept copy of “%1” is selected itself, so its other copies stay "
                                 "unselected")
                                 .arg(name)
                           : AppState::tr(
                                 "The kept copy of “%1” is in %2, which is selected, so its other "
                                 "copies stay unselected")
                                 .arg(name, QString::fromUtf8(w.holder));
            case Withheld::Why::leaving:
                return AppState::tr(
                           "The kept copy of “%1” is being nimbrelised, so its other copies stay "
                           "unselected")
                    .arg(name);
            case Withheld::Why::changed:
                return AppState::tr("The kept copy of “%1” changed since the search. Search again to compare")
                    .arg(name);
        }
    }
    const auto all = [&](Withheld::Why why) {
        return std::all_of(withheld.begin(), withheld.end(),
                           [why](const Withheld& w) { return w.why == why; });
    };
    const int64_t n = int64_t(withheld.size());
    QString text =
        all(Withheld::Why::selected)
            ? Plural::choose(n, AppState::tr("%1 set added nothing: its kept copy is selected"),
                             AppState::tr("%1 sets added nothing: their kept copy is selected"))
        : all(Withheld::Why::leaving)
            ? Plural::choose(n, AppState::tr("%1 set added nothing: its kept copy is being nimbrelised"),
                             AppState::tr("%1 sets added nothing: their kept copy is being nimbrelised"))
        : all(Withheld::Why::changed)
            ? Plural::choose(n,
                             AppState::tr("%1 set added nothing: its kept copy changed since the "
                                          "search. Search again to compare"),
                             AppState::tr("%1 sets added nothing: their kept copy changed since the "
                                          "search. Search again to compare"))
            : AppState::tr(
                  "%1 sets added nothing: their kept copy is selected, being nimbrelised or "
                  "changed since the search");
    return text.arg(n);
}

}  // namespace

void AppState::selectTwinExtras(TwinSetPick pick) {
    // Made from the sets, the selection and the removal under way as they are now. When any of them
    // changed by the time the list is back (a removal took copies, the selection changed), it is
    // made again from what they are then.
    QPointer<AppState> state(this);
    queue().addAside([state, pick = std::move(pick)]() -> CleanQueue::Making {
        if (!state) return {};
        auto sets = std::make_shared<DuplicatesModel::Sets>(state->duplicates().sets());
        auto selection = state->queue().snapshot();
        auto locations = std::make_shared<const std::vector<JunkLocation>>(state->cleanup().locations());
        // In the sample a location holds what the sample lists; the disk is not read for it.
        decltype(RemovalSources::junkTargets) sampled;
        if (state->services_.isDemo()) sampled = state->sampleSources().junkTargets;
        auto vanishing = std::make_shared<const std::unordered_set<std::string>>(state->vanishingPaths());
        auto nimbrelising = std::make_shared<const std::unordered_set<std::string>>(state->nimbrelisingIDs());
        // The sets that offer nothing, written on the worker and told once the list is in.
        auto withheld = std::make_shared<DuplicatesModel::Withholding>();
        const uint64_t revision = sets->revision;
        const uint64_t generation = state->queue().generation();
        const bool deleting = state->isDeleting();
        const size_t vanishingCount = vanishing->size();
        return {[sets, pick, selection, locations, sampled, vanishing, nimbrelising, withheld]() mutable {
                    const std::vector<const DuplicateGroup*> shown = pick(*sets->groups);
                    // What a ticked junk location holds is selected too: it leaves with the location.
                    std::unordered_set<std::string> junkTargets;
                    std::vector<std::pair<std::string, std::string>> titled;  // target, its location's title
                    for (const CleanItem& item : *selection) {
                        if (item.kind != CleanItem::Kind::junk) continue;
                        const JunkLocation* location = locationOf(*locations, item.id);
                        const std::string title = location ? location->title : item.name;
                        std::vector<std::string> targets;
                        if (sampled) {
                            if (auto listed = sampled(item.id))
                                for (const JunkEntry& target : *listed)
                                    targets.push_back(target.path);
                        } else if (location) {
                            targets = location->targets();
                        }
                        for (std::string& target : targets) {
                            titled.emplace_back(target, title);
                            junkTargets.insert(std::move(target));
                        }
                    }
                    CleanQueue selected;
                    selected.setItems(std::vector<CleanItem>(*std::exchange(selection, nullptr)));
                    const DuplicatesModel::Around around{
                        [&](const std::string& path) {
                            return selected.includes(path) || PathRules::isAtOrInsideAny(path, junkTargets);
                        },
                        [&](const std::string& path) { return isLeaving(path, *vanishing, *nimbrelising); }};
                    withheld->sets.clear();
                    withheld->holder = [&](const std::string& path) -> std::string {
                        if (selected.contains(path)) return {};
                        if (auto cover = selected.covering(path)) return "“" + cover->name + "”";
                        for (const auto& [target, title] : titled)
                            if (PathRules::isAtOrInside(path, target)) return title;
                        return {};
                    };
                    std::vector<CleanItem> extras =
                        DuplicatesModel::extras(*sets, shown, around, withheld.get());
                    withheld->holder = nullptr;  // it reads what is let go of here
                    return extras;
                },
                [state, revision, generation, deleting, vanishingCount] {
                    return state && state->duplicates().revision() == revision &&
                           state->queue().generation() == generation && state->isDeleting() == deleting &&
                           state->vanishingPaths().size() == vanishingCount;
                },
                [state, withheld] {
                    const std::vector<Withheld>& sets = withheld->sets;
                    if (!state || sets.empty()) return;
                    const bool changed = std::any_of(sets.begin(), sets.end(), [](const Withheld& w) {
                        return w.why == Withheld::Why::changed;
                    });
                    state->setToast(Toast(withheldToastText(sets),
                                          changed ? QStringLiteral("exclamationmark.triangle.fill")
                                                  : QStringLiteral("info.circle.fill")));
                }};
    });
}

void AppState::selectTwinSetExtras(const std::string& groupID) {
    Background::run(
        userPool(), this,
        [sets = duplicates().sets(), groupID] { return DuplicatesModel::look(sets, groupID); },
        [this, groupID](const DuplicatesModel::Look& look) {
            if (!look.keptChanged) {
                selectTwinExtras([groupID](const std::vector<DuplicateGroup>& groups) {
                    std::vector<const DuplicateGroup*> shown;
                    if (const DuplicateGroup* g = DuplicatesModel::groupWithID(groups, groupID))
                        shown.push_back(g);
                    return shown;
                });
                return;
            }
            duplicates().noteChangedCopies(look.changed);
            setToast(Toast(tr("The kept copy of “%1” changed since the search. Search again to compare")
                               .arg(QString::fromUtf8(look.keptName)),
                           QStringLiteral("exclamationmark.triangle.fill")));
        });
}

void AppState::copyPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::string joined = paths.front();
    for (size_t i = 1; i < paths.size(); ++i)
        joined += "\n" + paths[i];
    QGuiApplication::clipboard()->setText(QString::fromUtf8(joined.data(), qsizetype(joined.size())));
    setToast(Toast(copiedPathsToastText(paths, shownHome()), "doc.on.doc.fill"));
}

}  // namespace nimbrel
