#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/deletion.h"
#include "engine/junk_location.h"
#include "engine/scan_result.h"
#include "model/removal.h"
#include "platform/removal_fs.h"

namespace nimbrel {

class AppState;
struct PlannedPrune;
struct RemovalOutcome;

// The removal road: opening the review (the folders it pins and the targets it lists), the
// reviewed removal and its worker, the hold that keeps it on screen, stopping it for a quit, the
// records of the last removal, and how the tree, the Files shelves and the twins lose what went,
// a result scanned meanwhile included. One per application state, which delegates to it and whose
// observed properties it sets; it lives and is called on the main thread.
//
// One removal runs at a time: its worker reads the tree it started from without the readers' lock
// (see ScanResult). Every way in refuses a second one while one is being built or runs.
class RemovalRoad : public QObject {
    Q_OBJECT

  public:
    explicit RemovalRoad(AppState& state);
    ~RemovalRoad() override;

    // Opens the review of the whole selection: at once, or once what the ticked junk locations hold
    // is listed and sized on a worker. Stopping it (or any change of the selection) leaves that
    // answer unused.
    void openReview();
    bool isPreparingReview() const { return openingSelection_.has_value(); }
    void stopPreparingReview();
    // Removes the reviewed entries `ids` to the Trash or for good.
    void remove(std::unordered_set<std::string>&& ids, bool permanently);
    // Asks the running removal to stop at its next item: it ends as usual then, with what went
    // counted and the rest left as it is; a hold it plays ends at once.
    void stop();
    // The items of the running removal not dealt with yet, the one in hand included: 0 once its
    // worker is back.
    size_t itemsLeft() const;
    // The removal's worker is back and its hold plays (holdStarted); endHold() ends it now, with
    // everything the removal's end does.
    bool isHolding() const { return holdFinish_ != nullptr; }
    void endHold();

    // The records: bytes freed per path by the last removal, the paths its guard kept, and the
    // targets of each ticked junk location ("junk:<id>") as the open review listed them, which the
    // removal takes and nothing that arrived since.
    const std::unordered_map<std::string, std::int64_t>& lastRemoval() const { return lastRemoval_; }
    void setLastRemoval(std::unordered_map<std::string, std::int64_t> freed);
    const std::unordered_set<std::string>& lastGuardRefused() const { return lastGuardRefused_; }
    const std::unordered_map<std::string, std::vector<JunkEntry>>& reviewTargets() const {
        return reviewTargets_;
    }
    // What the review pins and lists as it opens: a removal goes through a linked folder of a
    // ticked location only while it still leads where it did then.
    void pinReview(std::unordered_map<std::string, PinnedFolder> pins,
                   std::unordered_map<std::string, std::vector<JunkEntry>> targets);

    // Demo mode's sources: the sample's listings and tree stand for the disk, which is never read.
    RemovalSources sampleSources() const;

    // A scan that runs while a removal ends may have read what the removal took: `scanStarted`
    // forgets what earlier removals took, and a finished scan's result is pruned of what removals
    // took while it ran (on a worker) before `install` gets it.
    void scanStarted() { removedDuringScan_.clear(); }
    bool tookDuringScan() const { return !removedDuringScan_.empty(); }
    void pruneScanned(std::shared_ptr<ScanResult> result,
                      std::function<void(std::shared_ptr<ScanResult>)> install);

    // Prunes `paths`, gone from the disk, from the result and the twins as a removal that took them
    // does, once no worker reads the result; never while a removal runs.
    void prune(std::unordered_set<std::string> paths);

  signals:
    void isPreparingReviewChanged();
    void holdStarted();

  private:
    // Runs `fn` once no worker reads the result: at once, or a little later on the main thread.
    void whenResultUnread(std::function<void()> fn);
    void startReviewedRemoval(std::optional<ReviewedRemoval> removal, bool permanently);
    void performDeletion(DeletionRequest request, bool permanently);
    void completeRemoval(RemovalOutcome outcome);
    // The removal's toast, failures and completion, a turn after the tree was pruned.
    void reportRemoval(RemovalOutcome& outcome,
                       std::shared_ptr<const std::unordered_set<std::string>> removedSet);
    void pretendDeletion(DeletionRequest request);
    // Works out, on a worker and from the unchanged `tree`, how the removed paths leave it.
    static std::shared_ptr<PlannedPrune> planPrune(ScanResult& tree, const std::vector<std::string>& removed,
                                                   const std::unordered_set<std::string>& recheckGone);
    // On the worker, once the removal ran: what to recheck, the figures, and how the tree, the
    // Files shelves and the twins lose what went.
    static void planAfterRemoval(RemovalOutcome& outcome);
    // Prunes the removed paths, and what a recheck of `rechecked` found gone, from the result and
    // the twins; with the pruning `planned` for the current result as it is, only applies it.
    void applyRemoval(const std::unordered_set<std::string>& paths,
                      const ScanResult::Recheck* recheck = nullptr, const ScanResult* rechecked = nullptr,
                      PlannedPrune* planned = nullptr);
    // Lowers the current result, on a worker's word, by what it counted loose of `removed` that
    // the disk no longer holds, unless it changed meanwhile.
    void recheckLooseLater(const std::unordered_set<std::string>& removed);
    void noteRemovedDuringScan(const RemovalOutcome& outcome);
    // Makes the file operations of a removal; called on the worker that runs it.
    std::function<std::shared_ptr<RemovalFileOps>()> fileOps(std::vector<PinnedFolder> pinned = {}) const;
    RemovalSources diskSources() const;
    std::vector<JunkEntry> sampleTargets(const JunkLocation& location) const;
    void setOpeningSelection(std::optional<uint64_t> selection);

    AppState& state_;

    std::unordered_map<std::string, std::int64_t> lastRemoval_;
    std::unordered_set<std::string> lastGuardRefused_;
    // While a removal's completion callback runs: the removed paths as a set, made on the worker.
    std::shared_ptr<const std::unordered_set<std::string>> completingRemoved_;
    std::unordered_map<std::string, PinnedFolder> reviewPins_;
    std::unordered_map<std::string, std::vector<JunkEntry>> reviewTargets_;
    // A long reviewed selection is being turned into its request on a worker: no review opens and
    // no other removal starts meanwhile.
    bool buildingRemoval_ = false;
    // The selection (its queue generation) of the review whose junk locations are being listed on a
    // worker: it opens when they are back, and a press on that selection meanwhile does nothing. One
    // stuck on a share that stopped answering blocks no review of another selection.
    std::optional<uint64_t> openingSelection_;
    uint64_t reviewGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_;  // the running removal's, or the last one's
    // What removals that ended while the running scan ran took (normalised).
    std::unordered_set<std::string> removedDuringScan_;
    // The running removal's items, and how many its worker dealt with; unset once it is back.
    struct Count {
        std::atomic<size_t> items{0};
        std::atomic<size_t> done{0};
    };
    std::shared_ptr<Count> count_;
    // The end of the removal whose hold plays.
    std::shared_ptr<std::function<void()>> holdFinish_;
};

}  // namespace nimbrel
