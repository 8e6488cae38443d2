#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/cancel_token.h"
#include "engine/deletion.h"
#include "engine/disk_scanner.h"
#include "engine/file_actions.h"
#include "engine/file_category.h"
#include "engine/junk_location.h"
#include "engine/removal_worker.h"
#include "engine/scan_options.h"
#include "engine/scan_progress.h"
#include "engine/scan_result.h"
#include "engine/volume_info.h"
#include "model/clean_queue.h"
#include "model/cleanup_model.h"
#include "model/clock.h"
#include "model/selection.h"
#include "model/sidebar_item.h"
#include "model/toast.h"
#include "platform/removal_fs.h"

namespace nimbrel {

class DuplicatesModel;
class FilesModel;
class RemovalRoad;
struct DuplicateGroup;

// What the last finished scan could not read. Where the system has no Full Disk Access permission to
// probe, "the last scan read everything" is the access state the screens show.
struct UnreadableReport {
    static constexpr size_t kShownPaths = 5;
    int64_t count = 0;
    std::vector<std::string> paths;  // the first few, as the file system's bytes

    // "3 folders could not be read"
    QString text() const;
    // The paths, one per line, the home folder as "~".
    QString pathsText(const std::string& home) const;
    friend bool operator==(const UnreadableReport&, const UnreadableReport&) = default;
};

// What the state needs of the outside world. The defaults walk the real disk, list the real
// volumes and open a real dialog; tests hand in fakes.
struct AppStateServices {
    using Scanner = std::function<std::shared_ptr<ScanResult>(
        const std::string& root, const ScanOptions& options, std::int64_t firstID, const CancelToken& token,
        const DiskScanner::ProgressCallback& progress)>;

    Scanner scanner;                                           // runs on a worker thread
    std::function<std::vector<VolumeInfo>()> listVolumes;      // runs on a worker thread
    std::function<std::optional<std::string>()> chooseFolder;  // a modal folder dialog
    std::function<ScanOptions()> scanOptions;                  // read when a scan starts
    Clock* clock = nullptr;
    std::function<bool()> isDemo;
    // The process arguments, the program's path first.
    std::function<std::vector<std::string>()> arguments;
    std::function<std::string()> workingFolder;  // resolves a relative "-scan" path
    std::function<std::string()> home;           // for "~" in messages and "-scan"
    // Files whose readability tells whether the app has Full Disk Access (none on Linux).
    std::vector<std::string> fullDiskAccessProbes;
    std::function<bool(const std::string&)> fileExists;
    std::function<bool(const std::string&)> canOpenReadOnly;
    std::chrono::milliseconds volumeRefreshInterval{30000};
    // The removal road's file operations (one set per removal, used on a worker thread), the Trash
    // emptier and the outside-command runner (both run on a worker thread). Unset: the real ones.
    std::function<std::shared_ptr<RemovalFileOps>()> fileOps;
    std::function<CommandResult()> emptyTrash;
    std::function<CommandResult(const std::string&, const std::vector<std::string>&)> runCommand;
    // Deep Clean's disk work (run on a worker thread); unset: this machine's.
    std::optional<CleanupModel::Disk> cleanupDisk;
    // Where the local volumes are mounted whose users' Trash folders scans leave out and the removal's
    // guard keeps, by identity (as localMountTops gives them); unset: this machine's, read as each
    // scan and each removal starts.
    std::optional<std::vector<std::string>> mountTops;
    // Where background work runs; unset: the shared user-initiated and utility pools. Scans run on
    // the user pool unless given one of their own (a test's fake scans then never hold up the rest).
    QThreadPool* userPool = nullptr;
    QThreadPool* utilityPool = nullptr;
    QThreadPool* scanPool = nullptr;

    static AppStateServices standard();
};

// The one application state: what is shown, the scan and its result, the volumes, the selection,
// the modal requests, the toast and the removal's progress. Lives on the main thread; background
// work gets copies and posts its results back. Every observed property has a getter, a setter and
// one change signal; a setter notifies only on change, except `progress`, `result`,
// `pendingDeletion`, `confirm` and `deletionFailures`, which notify on every write.
class AppState : public QObject {
    Q_OBJECT

  public:
    explicit AppState(QObject* parent = nullptr);
    explicit AppState(AppStateServices services, QObject* parent = nullptr);
    ~AppState() override;

    // Observed properties.
    std::optional<SidebarItem> section() const { return section_; }
    void setSection(std::optional<SidebarItem> section);
    // The clock the state and the views tell time by (a manual one in tests).
    Clock& clock() const { return *services_.clock; }

    const std::optional<std::string>& scanTarget() const { return scanTarget_; }
    void setScanTarget(std::optional<std::string> target);
    bool isScanning() const { return isScanning_; }
    void setIsScanning(bool scanning);
    std::chrono::system_clock::time_point scanStarted() const { return scanStarted_; }
    void setScanStarted(std::chrono::system_clock::time_point started);
    const ScanProgress& progress() const { return progress_; }
    void setProgress(ScanProgress progress);
    // Readers get the tree they cannot change; the removal road (the owner) changes result_.
    std::shared_ptr<const ScanResult> result() const { return result_; }
    void setResult(std::shared_ptr<ScanResult> result);
    std::int64_t revision() const { return revision_; }
    void setRevision(std::int64_t revision);
    void bumpRevision();
    const std::vector<VolumeInfo>& volumes() const { return volumes_; }
    void setVolumes(std::vector<VolumeInfo> volumes);
    bool hasFullDiskAccess() const { return hasFullDiskAccess_; }
    void setHasFullDiskAccess(bool granted);
    const UnreadableReport& unreadable() const { return unreadable_; }
    void setUnreadable(UnreadableReport report);
    const std::vector<std::string>& recents() const { return recents_; }
    void setRecents(std::vector<std::string> recents);
    const std::optional<DeletionRequest>& pendingDeletion() const { return pendingDeletion_; }
    void setPendingDeletion(std::optional<DeletionRequest> request);
    bool isReviewing() const { return isReviewing_; }
    void setIsReviewing(bool reviewing);
    const std::optional<ConfirmRequest>& confirm() const { return confirm_; }
    void setConfirm(std::optional<ConfirmRequest> request);
    bool isDeleting() const { return isDeleting_; }
    void setIsDeleting(bool deleting);
    const std::unordered_set<std::string>& vanishingPaths() const { return vanishingPaths_; }
    void setVanishingPaths(std::unordered_set<std::string> paths);
    std::int64_t sessionFreed() const { return sessionFreed_; }
    void setSessionFreed(std::int64_t bytes);
    const std::optional<Toast>& toast() const { return toast_; }
    void setToast(std::optional<Toast> toast);
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    void setErrorMessage(std::optional<QString> message);
    const std::optional<std::vector<DeletionFailure>>& deletionFailures() const { return deletionFailures_; }
    void setDeletionFailures(std::optional<std::vector<DeletionFailure>> failures);
    std::optional<FileCategory> largestCategory() const { return largestCategory_; }
    void setLargestCategory(std::optional<FileCategory> category);
    const std::optional<std::string>& folderFocus() const { return folderFocus_; }
    void setFolderFocus(std::optional<std::string> path);
    const std::unordered_set<std::string>& nimbrelisingIDs() const { return nimbrelisingIDs_; }
    void setNimbrelisingIDs(std::unordered_set<std::string> ids);

    // The root volume, else the first volume; follows `volumesChanged`.
    std::optional<VolumeInfo> rootVolume() const;

    // The models the state owns; created with it and never replaced.
    DuplicatesModel& duplicates() const { return *duplicates_; }
    CleanQueue& queue() const { return *queue_; }
    // The rules of ticking, over the queue.
    Selection& selection() const { return *selection_; }
    CleanupModel& cleanup() const { return *cleanup_; }

    // The removal road: the review, the removal, its hold and its records.
    RemovalRoad& removal() const { return *removal_; }
    // The Files shelves' index and answers.
    FilesModel& files() const { return *files_; }

    // The last shelf shown in `area`, if any.
    std::optional<SidebarItem> lastInArea(Area area) const;
    // The first file id of the next scan.
    std::int64_t nextFileID() const { return nextFileID_; }
    void setNextFileID(std::int64_t id) { nextFileID_ = id; }
    bool didLaunch() const { return didLaunch_; }

    const AppStateServices& services() const { return services_; }
    // Where this state and the models and views that serve it run their background work.
    QThreadPool& userPool() const;
    QThreadPool& utilityPool() const;

    // Workers that read the current result while the main thread may prune it (an index build,
    // a twin search gathering its candidates) hold this shared; the main thread changes the result
    // in place only when it can hold it alone, and otherwise waits for them without blocking.
    const std::shared_ptr<std::shared_mutex>& resultReaders() const { return resultReaders_; }

    // Launch, volumes and Full Disk Access.
    void onLaunch();
    void checkFullDiskAccess();
    void refreshVolumes();

    // Scans. `scan` takes any path form; a running scan is cancelled first.
    void scan(const std::string& path);
    void chooseFolderAndScan();
    void cancelScan();

    // Selection: a click on a selectable entry (see Selection::toggle); a leave-out, or a folder it
    // cannot open, is told in a toast.
    Selection::Toggled toggleSelection(const CleanItem& item);
    void deselectInside(const std::string& path);
    // Adds the extra copies of the twin sets `pick` chooses among the current sets, in its order
    // (see DuplicatesModel::extras). Each kept copy is looked at on disk, so the list is always made
    // on a worker: a file system that stops answering never holds the window. The selection
    // changes when the worker is back; `pick` runs there too.
    using TwinSetPick = std::function<std::vector<const DuplicateGroup*>(const std::vector<DuplicateGroup>&)>;
    void selectTwinExtras(TwinSetPick pick);
    // "Select extras" of one set. Its copies are looked at on disk first (on a worker): when the kept
    // copy is gone or changed since the search, nothing is added, the copies found gone or changed
    // are noted (DuplicatesModel::changedCopies) and a toast says why.
    void selectTwinSetExtras(const std::string& groupID);

    // Review and removal (see RemovalRoad): open the review of the whole selection; remove the
    // reviewed entries to the Trash or for good.
    void nimbrelise();
    bool isPreparingReview() const;
    void stopPreparingReview();
    void nimbrelise(const std::unordered_set<std::string>& ids, bool permanently);
    void nimbrelise(std::unordered_set<std::string>&& ids, bool permanently);
    // Stops the running removal at its next item, for a quit; the items it has still to deal with;
    // whether its hold plays, and ending that hold now.
    void stopRemoval();
    size_t removalItemsLeft() const;
    bool isHoldingRemoval() const;
    void endRemovalHold();
    void emptyTrash();
    void removeUnavailableSimulators();
    void copyPaths(const std::vector<std::string>& paths);
    // Tells the user that no file manager could show `path`.
    void revealFailed(const std::string& path);

  signals:
    void sectionChanged();
    void scanTargetChanged();
    void isScanningChanged();
    void scanStartedChanged();
    void progressChanged();
    void resultChanged();
    void revisionChanged();
    // After each change of the tree, with what it changed; revisionChanged follows.
    void treeChanged(const nimbrel::TreeChange& change);
    void volumesChanged();
    void hasFullDiskAccessChanged();
    void unreadableChanged();
    void recentsChanged();
    void pendingDeletionChanged();
    void isReviewingChanged();
    void isPreparingReviewChanged();
    void confirmChanged();
    void isDeletingChanged();
    void vanishingPathsChanged();
    void sessionFreedChanged();
    void toastChanged();
    void errorMessageChanged();
    void deletionFailuresChanged();
    void largestCategoryChanged();
    void folderFocusChanged();
    void nimbrelisingIDsChanged();
    void removalHoldStarted();

  private:
    // The removal road owns the tree's changes and reads the scan's pins and mounts.
    friend class RemovalRoad;

    QThreadPool& scanPool() const;
    void stopScan();
    void followShownResult();
    // Keeps what a finished scan could not read, and tells the user once where no access check can.
    void reportUnreadable(const ScanResult& result);
    // The home that messages write as "~": the sample's in demo mode, whose paths are all in it.
    std::string shownHome() const;
    void addRecent(const std::string& path);
    // The toast of a toggle that left `path` out of a folder or could not open the folder.
    void tellToggled(const std::string& path, const Selection::Toggled& toggled);
    void removeRecent(const std::string& path);
    void finishScan(const std::shared_ptr<CancelToken>& token, const std::string& path,
                    std::shared_ptr<ScanResult> result);
    void scheduleVolumeRefresh();
    std::optional<std::string> argumentAfter(const std::vector<std::string>& arguments,
                                             const char* flag) const;

    AppStateServices services_;

    std::optional<SidebarItem> section_ = SidebarItem::overview;
    std::optional<std::string> scanTarget_;
    bool isScanning_ = false;
    std::chrono::system_clock::time_point scanStarted_;
    ScanProgress progress_;
    std::shared_ptr<ScanResult> result_;
    std::int64_t revision_ = 0;
    std::vector<VolumeInfo> volumes_;
    bool hasFullDiskAccess_ = true;
    UnreadableReport unreadable_;
    std::vector<std::string> recents_;
    std::optional<DeletionRequest> pendingDeletion_;
    bool isReviewing_ = false;
    std::optional<ConfirmRequest> confirm_;
    bool isDeleting_ = false;
    std::unordered_set<std::string> vanishingPaths_;
    std::int64_t sessionFreed_ = 0;
    std::optional<Toast> toast_;
    std::optional<QString> errorMessage_;
    std::optional<std::vector<DeletionFailure>> deletionFailures_;
    std::optional<FileCategory> largestCategory_;
    std::optional<std::string> folderFocus_;
    std::unordered_set<std::string> nimbrelisingIDs_;

    std::shared_ptr<std::shared_mutex> resultReaders_ = std::make_shared<std::shared_mutex>();
    DuplicatesModel* duplicates_ = nullptr;
    CleanQueue* queue_ = nullptr;
    std::unique_ptr<Selection> selection_;
    CleanupModel* cleanup_ = nullptr;
    FilesModel* files_ = nullptr;
    RemovalRoad* removal_ = nullptr;

    std::unordered_map<Area, SidebarItem> lastInArea_;  // last shelf shown per area
    std::shared_ptr<CancelToken> scanToken_;  // the running scan's; a finishing scan must still own it
    // The scan root as it was when its scan started, for the running scan and the installed result:
    // removals reach it through a link only while it is still that folder.
    std::optional<PinnedFolder> scanningRootPin_, resultRootPin_;
    // The mounts there were when that scan started: a removal refuses what lies on any other one.
    std::optional<std::vector<MountEntry>> scanningMounts_, resultMounts_;
    std::int64_t nextFileID_ = 0;
    bool didLaunch_ = false;

    // One volume listing at a time; a request during one asks for one more afterwards.
    bool listingVolumes_ = false;
    bool listAgain_ = false;
    // One Trash emptying and one simulator removal at a time; a request during one is dropped.
    bool emptyingTrash_ = false;
    bool removingSimulators_ = false;
};

}  // namespace nimbrel
