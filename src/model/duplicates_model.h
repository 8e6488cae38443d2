#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/cancel_token.h"
#include "engine/duplicate_engine.h"
#include "engine/file_item.h"
#include "engine/scan_result.h"
#include "model/clean_item.h"

namespace nimbrel {

// The twin search as the Twins shelf sees it: the groups found, whether a search runs, its progress
// and status line, and whether one completed since the last scan. Main thread only; the engine runs
// on a worker and every update it sends back is applied only while its own search is still current.
class DuplicatesModel : public QObject {
    Q_OBJECT

  public:
    // `pool` runs the searches (default: the user-initiated pool).
    explicit DuplicatesModel(QObject* parent = nullptr, QThreadPool* pool = nullptr);
    ~DuplicatesModel() override;

    const std::vector<DuplicateGroup>& groups() const { return *groups_; }
    // Notifies on every write, equal or not.
    void setGroups(std::vector<DuplicateGroup> groups);

    bool isRunning() const { return isRunning_; }
    double progress() const { return progress_; }
    const QString& status() const { return status_; }
    const std::unordered_set<int64_t>& marked() const { return marked_; }
    void setMarked(std::unordered_set<int64_t> marked);
    bool hasRun() const { return hasRun_; }
    // The smallest size the search whose sets are shown considered (a later search that was stopped
    // leaves it); 0 before any search ended.
    int64_t searchedMinSize() const { return searchedMinSize_; }

    // Starts a search over the files that are not packages, take at least `minSize` bytes and are
    // not empty; a running search is stopped first. The previous groups stay until replaced.
    void run(const std::vector<FileItem>& files, int64_t minSize);
    // The same over a scan result's files, gathered on the worker: the search reads the result's
    // own items, never copies of them, and holds them as they were (ScanResult::holdItems) whatever
    // a removal changes in the result meanwhile.
    void run(std::shared_ptr<const ScanResult> result, int64_t minSize);
    // Held shared while a search gathers the files of a result the main thread may prune.
    void setResultReaders(std::shared_ptr<std::shared_mutex> readers) { readers_ = std::move(readers); }

    // The search itself; tests wrap it to stop a search part-way.
    using Search = std::function<std::optional<std::vector<DuplicateGroup>>(
        const std::vector<const FileItem*>&, const CancelToken&, const DuplicateProgressFn&)>;
    void setSearch(Search search) { search_ = std::move(search); }
    // Where the searches started from now on run.
    void setPool(QThreadPool* pool) { pool_ = pool; }
    void cancel();
    // Forgets every result (a new scan started).
    void reset();
    // Drops the removed files from the groups: a path given, or any path inside a removed folder.
    // Groups left with one file go; the others keep their place, size and id.
    // With `goneIDs`, the ids of every listed file at or inside `paths`, files are matched by id.
    // A removal's pruning of the sets by id, worked out on its worker from the sets as they were
    // when it started: taken by remove() while the sets are still those.
    struct Pruning {
        std::shared_ptr<const std::vector<DuplicateGroup>> before;
        uint64_t revision = 0;
        std::vector<DuplicateGroup> after;
        std::vector<std::string> keptGone;
        std::vector<std::string> lastCopies;
        std::unordered_set<int64_t> present;
        // Any thread. `goneIDs` as remove() takes them.
        void apply(const std::unordered_set<int64_t>& goneIDs);
    };
    // Null when there are no sets to prune.
    std::shared_ptr<Pruning> startPruning() const;
    void remove(const std::unordered_set<std::string>& paths,
                const std::unordered_set<int64_t>* goneIDs = nullptr, Pruning* pruned = nullptr);

    // What removing every copy but one of every group would free.
    int64_t reclaimable() const;

    // The copy a set keeps: the newest by modification; on equal dates the first in the set's order.
    static const FileItem* kept(const DuplicateGroup& group);

    // What the last-copy rule reads besides the sets: whether a path is selected (queued itself or
    // inside a queued folder) and whether it is leaving with a removal that runs now. For a worker,
    // both read data of their own.
    struct Around {
        std::function<bool(const std::string&)> selected;
        std::function<bool(const std::string&)> leaving;
    };
    // A set that offered no extras, and why: its kept copy is selected (by `holder`, empty when
    // selected itself), leaves with the removal under way, or is gone or changed since the search.
    struct Withheld {
        enum class Why { selected, leaving, changed };
        Why why = Why::changed;
        std::string keptName;
        std::string holder;
    };
    // Where extras() tells of the sets that offered nothing; `holder` names what selects a path
    // other than itself (a folder, a location), empty for the path itself.
    struct Withholding {
        std::vector<Withheld> sets;
        std::function<std::string(const std::string&)> holder;
    };
    // Whether the copy at `path` is still what the search read (`seen`); null `seen`: unknown.
    // Reads the disk; any thread.
    using StillThere = std::function<bool(const std::string& path, const EntryIdentity* seen)>;
    // Tests stand in for the disk.
    void setStillThere(StillThere stillThere) { stillThere_ = std::move(stillThere); }

    // The set's copies as the search read them, for the items queued from it; null for a set the
    // search did not make.
    static std::shared_ptr<const TwinCopies> copiesOf(const DuplicateGroup& group);
    // The set with this id among `groups`, or null.
    static const DuplicateGroup* groupWithID(const std::vector<DuplicateGroup>& groups,
                                             const std::string& groupID);
    // The one way to pick extra copies. For the current set with this id: every copy but the kept
    // one, each carrying the set as the search read it, so its removal checks that a copy stays.
    // Nothing when the kept copy is selected, leaving, gone or changed on disk, or was removed: the
    // last copy of a file is never queued. A set that is gone offers nothing either. Reads the disk
    // for the kept copy.
    std::vector<CleanItem> extras(const std::string& groupID, const Around& around) const;

    // The sets as they are now, for a worker: they never change, whatever happens to the model.
    struct Sets {
        std::shared_ptr<const std::vector<DuplicateGroup>> groups;
        std::unordered_set<std::string> keptGone;
        uint64_t revision = 0;
        StillThere stillThere;
    };
    Sets sets() const;
    // Changes with every write of the groups, so a worker's sets can be told apart from the model's.
    uint64_t revision() const { return revision_; }
    // extras() worked out from `sets` for the sets `shown`, which point into `sets.groups`, in
    // that order. Reads the disk for each kept copy: a worker's work when the sets are many.
    // The sets that offered nothing go to `withheld`, when given, in the order shown.
    static std::vector<CleanItem> extras(const Sets& sets, const std::vector<const DuplicateGroup*>& shown,
                                         const Around& around, Withholding* withheld = nullptr);
    // A look at the disk for the set with this id (any thread): its copies no longer as the search
    // read them (gone or changed), and whether its kept copy is one of them or was removed before,
    // so that it offers no extras.
    struct Look {
        std::vector<std::string> changed;
        bool keptChanged = false;
        std::string keptName;
    };
    static Look look(const Sets& sets, const std::string& groupID);
    // The copies looks found changed, until the next search shows what is there now.
    const std::unordered_set<std::string>& changedCopies() const { return changedCopies_; }
    void noteChangedCopies(const std::vector<std::string>& paths);

    // What the review reads to warn when no copy of a set would remain: the copies each set still
    // holds, and the last copy of each set that lost its kept copy to a removal (its extras were
    // meant to go while another copy stayed). Shared, never changed; any thread.
    struct Watch {
        std::shared_ptr<const std::vector<DuplicateGroup>> groups;
        std::shared_ptr<const std::vector<std::string>> lastCopies;
        bool empty() const { return (!groups || groups->empty()) && (!lastCopies || lastCopies->empty()); }
    };
    Watch watch() const;

  signals:
    void groupsChanged();
    // A search ended and its sets are the groups now.
    void searchEnded();
    void isRunningChanged();
    void progressChanged();
    void statusChanged();
    void markedChanged();
    void hasRunChanged();
    void changedCopiesChanged();

  private:
    void setIsRunning(bool value);
    void setProgress(double value);
    void setStatus(const QString& value);
    void setHasRun(bool value);
    // What a search reads, and what it keeps alive for as long as it reads them.
    struct Candidates {
        std::vector<const FileItem*> items;
        std::shared_ptr<const void> owner;
    };
    // Starts a search over what `gather` returns on the worker, which lets go of it there.
    void start(int64_t minSize, std::function<Candidates()> gather);

    QThreadPool* pool_;
    Search search_;
    std::shared_ptr<std::shared_mutex> readers_;
    // The groups for changing: the model's own, copied first if a worker still reads them.
    std::vector<DuplicateGroup> takeGroups();

    // Shared with the workers that read sets(); replaced, never changed, while they do.
    std::shared_ptr<std::vector<DuplicateGroup>> groups_ = std::make_shared<std::vector<DuplicateGroup>>();
    uint64_t revision_ = 0;
    bool isRunning_ = false;
    double progress_ = 0;
    QString status_;
    std::unordered_set<int64_t> marked_;
    bool hasRun_ = false;
    int64_t searchedMinSize_ = 0;
    std::shared_ptr<CancelToken> token_;
    // Paths removed while the current search runs: its result still names them.
    std::unordered_set<std::string> removedDuringRun_;
    // Sets whose kept copy was removed: they keep their other copies but offer no extras.
    std::unordered_set<std::string> keptGone_;
    // The one copy left of sets whose kept copy was removed.
    std::shared_ptr<const std::vector<std::string>> lastCopies_ =
        std::make_shared<std::vector<std::string>>();
    StillThere stillThere_;
    std::unordered_set<std::string> changedCopies_;
    void setChangedCopies(std::unordered_set<std::string> paths);
    void addLastCopies(std::vector<std::string> paths, const std::unordered_set<std::string>& gonePaths);
};

}  // namespace nimbrel
