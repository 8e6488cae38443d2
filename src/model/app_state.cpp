#include "model/app_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <algorithm>
#include <mutex>
#include <utility>

#include "engine/demo.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "model/background.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "model/removal_road.h"
#include "platform/removal_fs.h"
#include "util/fmt.h"
#include "util/plural.h"

namespace nimbrel {

namespace {

constexpr size_t kMaxRecents = 6;

std::vector<std::string> storedRecents() {
    return Prefs::recentTargets();
}

// Stores `value` and notifies when it differs from what is stored.
template <typename T>
void assign(AppState* state, T& field, T value, void (AppState::*changed)()) {
    if (field == value) return;
    field = std::move(value);
    emit(state->*changed)();
}

// For values without a usable equality: every write notifies.
template <typename T>
void assignAlways(AppState* state, T& field, T value, void (AppState::*changed)()) {
    field = std::move(value);
    emit(state->*changed)();
}

std::vector<std::string> processArguments() {
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) {
        arguments.push_back(QFile::encodeName(argument).toStdString());
    }
    return arguments;
}

std::string currentFolder() {
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.c_str();
}

std::optional<std::string> chooseFolderWithDialog() {
    QFileDialog dialog(nullptr, AppState::tr("Choose a folder or disk to analyze"), QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, AppState::tr("Scan"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

}  // namespace

AppStateServices AppStateServices::standard() {
    AppStateServices services;
    services.scanner = &DiskScanner::scan;
    services.listVolumes = &VolumeInfo::mounted;
    services.chooseFolder = &chooseFolderWithDialog;
    services.scanOptions = &Prefs::scanOptions;
    services.clock = &Clock::system();
    services.isDemo = &Demo::isOn;
    services.arguments = &processArguments;
    services.workingFolder = &currentFolder;
    services.home = [] { return HostLayout::current().home; };
    services.fullDiskAccessProbes = HostLayout::current().fullDiskAccessProbes;
    services.fileExists = [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    };
    services.canOpenReadOnly = [](const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    };
    return services;
}

AppState::AppState(QObject* parent) : AppState(AppStateServices::standard(), parent) {}

namespace {

// What the twin sets `groups` read of each extra copy of `items` they hold, with the set as found
// now. A copy they no longer hold, or hold unread, is left out.
std::unordered_map<std::string, CleanQueue::Seen> seenByTwins(const std::vector<DuplicateGroup>& groups,
                                                              const std::vector<CleanItem>& items) {
    std::unordered_map<std::string, CleanQueue::Seen> seen;
    for (const CleanItem& item : items)
        if (item.twins) seen.emplace(item.id, CleanQueue::Seen{});
    if (seen.empty()) return seen;
    for (const DuplicateGroup& group : groups) {
        std::shared_ptr<const TwinCopies> copies;
        for (size_t i = 0; i < group.files.size(); ++i) {
            const auto queued = seen.find(group.files[i].path);
            const EntryIdentity* read = group.seenOf(i);
            if (queued == seen.end() || !read) continue;
            if (!copies) copies = DuplicatesModel::copiesOf(group);
            queued->second = {group.files[i].size, *read, copies};
        }
    }
    std::erase_if(seen, [](const auto& entry) { return !entry.second.twins; });
    return seen;
}

}  // namespace

AppState::AppState(AppStateServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      scanStarted_(services_.clock->date()),
      recents_(storedRecents()),
      duplicates_(new DuplicatesModel(this, &userPool())),
      queue_(new CleanQueue(this)),
      selection_(std::make_unique<Selection>(*queue_, [this] { return result_.get(); })),
      cleanup_(
          new CleanupModel(this, &userPool(), &utilityPool(),
                           services_.cleanupDisk ? *services_.cleanupDisk : CleanupModel::Disk::real())) {
    duplicates_->setResultReaders(resultReaders_);
    // Like a scan, a twin search that found a queued extra copy again gives it what it read, so
    // "look for twins again" clears a copy that only changed since the last search.
    connect(duplicates_, &DuplicatesModel::searchEnded, this,
            [this] { queue().reseen(seenByTwins(duplicates().groups(), queue().items())); });
    files_ = new FilesModel(*this);
    removal_ = new RemovalRoad(*this);
    connect(removal_, &RemovalRoad::isPreparingReviewChanged, this, &AppState::isPreparingReviewChanged);
    connect(removal_, &RemovalRoad::holdStarted, this, &AppState::removalHoldStarted);
}

AppState::~AppState() {
    // Quitting stops a running scan; its worker returns at its next poll.
    if (scanToken_) scanToken_->cancel();
}

void AppState::setSection(std::optional<SidebarItem> section) {
    assign(this, section_, section, &AppState::sectionChanged);
    // Remembered on every store, also an unchanged one, so the area switcher returns here.
    if (section) lastInArea_[area(*section)] = *section;
}

void AppState::setScanTarget(std::optional<std::string> target) {
    assign(this, scanTarget_, std::move(target), &AppState::scanTargetChanged);
}
void AppState::setIsScanning(bool scanning) {
    assign(this, isScanning_, scanning, &AppState::isScanningChanged);
}
void AppState::setScanStarted(std::chrono::system_clock::time_point started) {
    assign(this, scanStarted_, started, &AppState::scanStartedChanged);
}
void AppState::setProgress(ScanProgress progress) {
    assignAlways(this, progress_, std::move(progress), &AppState::progressChanged);
}
void AppState::setResult(std::shared_ptr<ScanResult> result) {
    assignAlways(this, result_, std::move(result), &AppState::resultChanged);
}
void AppState::setRevision(std::int64_t revision) {
    assign(this, revision_, revision, &AppState::revisionChanged);
}
void AppState::bumpRevision() {
    setRevision(revision_ + 1);
}
void AppState::setVolumes(std::vector<VolumeInfo> volumes) {
    assign(this, volumes_, std::move(volumes), &AppState::volumesChanged);
}
void AppState::setHasFullDiskAccess(bool granted) {
    assign(this, hasFullDiskAccess_, granted, &AppState::hasFullDiskAccessChanged);
}
void AppState::setUnreadable(UnreadableReport report) {
    assign(this, unreadable_, std::move(report), &AppState::unreadableChanged);
}
void AppState::setRecents(std::vector<std::string> recents) {
    assign(this, recents_, std::move(recents), &AppState::recentsChanged);
}
void AppState::setPendingDeletion(std::optional<DeletionRequest> request) {
    assignAlways(this, pendingDeletion_, std::move(request), &AppState::pendingDeletionChanged);
}
void AppState::setIsReviewing(bool reviewing) {
    assign(this, isReviewing_, reviewing, &AppState::isReviewingChanged);
}
void AppState::setConfirm(std::optional<ConfirmRequest> request) {
    assignAlways(this, confirm_, std::move(request), &AppState::confirmChanged);
}
void AppState::setIsDeleting(bool deleting) {
    assign(this, isDeleting_, deleting, &AppState::isDeletingChanged);
}
namespace {

// Stores a set of paths like `assign`; a large set it replaces is freed off the main thread.
void assignPaths(AppState* state, std::unordered_set<std::string>& field,
                 std::unordered_set<std::string> value, void (AppState::*changed)()) {
    if (field == value) return;
    std::unordered_set<std::string> old = std::exchange(field, std::move(value));
    emit(state->*changed)();
    if (old.size() > 1024) Background::dispose(std::move(old));
}

}  // namespace

void AppState::setVanishingPaths(std::unordered_set<std::string> paths) {
    assignPaths(this, vanishingPaths_, std::move(paths), &AppState::vanishingPathsChanged);
}
void AppState::setSessionFreed(std::int64_t bytes) {
    assign(this, sessionFreed_, bytes, &AppState::sessionFreedChanged);
}
void AppState::setToast(std::optional<Toast> toast) {
    assign(this, toast_, std::move(toast), &AppState::toastChanged);
}
void AppState::setErrorMessage(std::optional<QString> message) {
    assign(this, errorMessage_, std::move(message), &AppState::errorMessageChanged);
}
void AppState::setDeletionFailures(std::optional<std::vector<DeletionFailure>> failures) {
    assignAlways(this, deletionFailures_, std::move(failures), &AppState::deletionFailuresChanged);
}
void AppState::setLargestCategory(std::optional<FileCategory> category) {
    assign(this, largestCategory_, category, &AppState::largestCategoryChanged);
}
void AppState::setFolderFocus(std::optional<std::string> path) {
    assign(this, folderFocus_, std::move(path), &AppState::folderFocusChanged);
}
void AppState::setNimbrelisingIDs(std::unordered_set<std::string> ids) {
    assignPaths(this, nimbrelisingIDs_, std::move(ids), &AppState::nimbrelisingIDsChanged);
}

QThreadPool& AppState::userPool() const {
    return services_.userPool ? *services_.userPool : Background::userInitiated();
}

QThreadPool& AppState::utilityPool() const {
    return services_.utilityPool ? *services_.utilityPool : Background::utility();
}

QThreadPool& AppState::scanPool() const {
    return services_.scanPool ? *services_.scanPool : userPool();
}

std::optional<VolumeInfo> AppState::rootVolume() const {
    auto root = std::find_if(volumes_.begin(), volumes_.end(), [](const VolumeInfo& v) { return v.isRoot; });
    if (root != volumes_.end()) return *root;
    if (!volumes_.empty()) return volumes_.front();
    return std::nullopt;
}

std::optional<std::string> AppState::argumentAfter(const std::vector<std::string>& arguments,
                                                   const char* flag) const {
    auto found = std::find(arguments.begin(), arguments.end(), flag);
    if (found == arguments.end() || std::next(found) == arguments.end()) return std::nullopt;
    return *std::next(found);
}

void AppState::onLaunch() {
    if (didLaunch_) return;
    didLaunch_ = true;
    const std::vector<std::string> arguments = services_.arguments();
    auto applySection = [&] {
        if (auto raw = argumentAfter(arguments, "-section")) {
            if (auto item = sidebarItemFromRaw(*raw)) setSection(*item);
        }
    };

    if (services_.isDemo()) {
        setVolumes({Demo::volume()});
        setHasFullDiskAccess(true);
        cleanup().loadDemo();
        setScanTarget(std::string(Demo::home));
        setResult(Demo::scanResult(nextFileID_));
        bumpRevision();
        applySection();
        return;
    }

    refreshVolumes();
    setUnreadable(
        {Prefs::value(Prefs::kUnreadableCount).toLongLong(), Prefs::paths(Prefs::kUnreadablePaths)});
    checkFullDiskAccess();
    cleanup().measure();
    scheduleVolumeRefresh();
    if (auto target = argumentAfter(arguments, "-scan")) {
        std::string path = *target;
        if (path == "~" || path.starts_with("~/")) {
            path = services_.home() + path.substr(1);
        } else if (!path.starts_with("/") && !path.starts_with("~")) {
            // A relative path names a folder below the one the program was started in.
            path = services_.workingFolder() + "/" + path;
        }
        scan(path);
    }
    applySection();
}

void AppState::scheduleVolumeRefresh() {
    services_.clock->after(services_.volumeRefreshInterval, this, [this] {
        if (!services_.isDemo()) refreshVolumes();
        scheduleVolumeRefresh();
    });
}

void AppState::checkFullDiskAccess() {
    if (services_.isDemo()) return;
    std::vector<std::string> present;
    for (const std::string& probe : services_.fullDiskAccessProbes) {
        if (services_.fileExists(probe)) present.push_back(probe);
    }
    if (present.empty()) {
        setHasFullDiskAccess(true);
        return;
    }
    setHasFullDiskAccess(std::any_of(present.begin(), present.end(), services_.canOpenReadOnly));
}

void AppState::refreshVolumes() {
    // One listing at a time: overlapping listings could finish out of order and leave the older
    // list installed. A request during a listing asks for one more run after it.
    if (listingVolumes_) {
        listAgain_ = true;
        return;
    }
    listingVolumes_ = true;
    Background::run(utilityPool(), this, services_.listVolumes, [this](std::vector<VolumeInfo> volumes) {
        // A volume that comes or goes brings or takes its Trash: the Trash figure follows, so it
        // always names what emptying would delete.
        const bool mountsChanged =
            !std::equal(volumes.begin(), volumes.end(), volumes_.begin(), volumes_.end(),
                        [](const VolumeInfo& a, const VolumeInfo& b) { return a.url == b.url; });
        setVolumes(std::move(volumes));
        if (mountsChanged && cleanup().hasMeasured()) cleanup().measureTrash();
        listingVolumes_ = false;
        if (listAgain_) {
            listAgain_ = false;
            refreshVolumes();
        }
    });
}

namespace {

// What `result` saw of each entry of `items` it holds: a folder of its tree for a folder or build
// product, a listed file for a file. An entry it holds as something else, or not at all, is left
// out. Each folder holding entries is indexed once, so many entries of one wide folder stay cheap.
std::unordered_map<std::string, CleanQueue::Seen> seenByScan(const ScanResult& result,
                                                             const std::vector<CleanItem>& items) {
    std::unordered_map<std::string, CleanQueue::Seen> seen;
    if (!result.root()) return seen;
    std::unordered_map<std::string, std::vector<const CleanItem*>> byFolder;
    for (const CleanItem& item : items) {
        if (item.kind == CleanItem::Kind::junk) continue;
        if (item.id == result.root()->name) {
            if (item.kind != CleanItem::Kind::file)
                seen[item.id] = {result.root()->size(), EntryIdentity::folder(*result.root())};
            continue;
        }
        byFolder[PathRules::parent(item.id)].push_back(&item);
    }
    for (const auto& [path, inside] : byFolder) {
        const std::shared_ptr<DirNode> folder = result.node(path);
        if (!folder) continue;
        std::unordered_map<std::string_view, const DirNode*> children;
        std::unordered_map<std::string_view, const FileItem*> files;
        for (const std::shared_ptr<DirNode>& child : folder->children())
            children.emplace(child->name, child.get());
        for (const FileItem& file : folder->files())
            files.emplace(std::string_view(file.name), &file);
        for (const CleanItem* item : inside) {
            const std::string_view name = PathRules::lastComponent(item->id);
            if (item->kind == CleanItem::Kind::file) {
                const auto file = files.find(name);
                if (file == files.end()) continue;
                if (auto identity = EntryIdentity::scanned(*file->second))
                    seen[item->id] = {file->second->size, *identity};
            } else if (const auto child = children.find(name); child != children.end()) {
                seen[item->id] = {child->second->size(), EntryIdentity::folder(*child->second)};
            }
        }
    }
    return seen;
}

}  // namespace

void AppState::scan(const std::string& target) {
    if (isScanning_) stopScan();
    const std::string path = normalizePath(target, services_.home());
    ScanOptions options = services_.scanOptions();
    if (services_.mountTops) options.mountTops = services_.mountTops;
    auto token = std::make_shared<CancelToken>();
    scanToken_ = token;
    setScanTarget(path);
    scanningMounts_ = readMountTable();
    setIsScanning(true);
    setScanStarted(services_.clock->date());
    setProgress(ScanProgress{});
    removal().scanStarted();
    duplicates().reset();
    addRecent(path);
    const std::int64_t firstID = nextFileID_;

    // Called on the scanning thread (a root with many entries reports once per entry); the state
    // takes the newest report while this scan is still the current one.
    const DiskScanner::ProgressCallback forward =
        Background::latestOnly<ScanProgress>(this, [this, token](ScanProgress latest) {
            if (scanToken_ == token && !token->isCancelled()) setProgress(std::move(latest));
        });
    // The root is pinned on the worker too: on a share whose server stopped answering even its
    // status waits, and the window must not.
    struct Scanned {
        std::optional<PinnedFolder> pin;
        std::shared_ptr<ScanResult> result;
        std::unordered_map<std::string, CleanQueue::Seen> seen;
    };
    Background::run(
        scanPool(), this,
        [scanner = services_.scanner, path, options, firstID, token, forward,
         selection = queue().snapshot()]() mutable {
            Scanned scanned;
            scanned.pin = PinnedFolder::pin(path);
            scanned.result = scanner(path, options, firstID, *token, forward);
            if (scanned.result) scanned.seen = seenByScan(*scanned.result, *selection);
            selection.reset();  // the queue need not copy its list to change it
            return scanned;
        },
        [this, token, path](Scanned scanned) {
            if (scanToken_ == token) scanningRootPin_ = std::move(scanned.pin);
            const bool current = scanToken_ == token && scanned.result;
            finishScan(token, path, std::move(scanned.result));
            // What the scan saw of the ticked entries is what a removal now checks them against, so
            // "scan again" clears an entry that only changed since the last scan.
            if (current) queue().reseen(scanned.seen);
        });
}

void AppState::finishScan(const std::shared_ptr<CancelToken>& token, const std::string& path,
                          std::shared_ptr<ScanResult> result) {
    // Superseded or cancelled: a newer scan, or none, owns the state now.
    if (!scanToken_ || scanToken_ != token) return;
    if (result && removal().tookDuringScan()) {
        removal().pruneScanned(std::move(result), [this, token, path](std::shared_ptr<ScanResult> pruned) {
            finishScan(token, path, std::move(pruned));
        });
        return;
    }
    setIsScanning(false);
    scanToken_.reset();
    if (!result) {
        if (!token->isCancelled()) {
            setErrorMessage(
                tr("Couldn't scan %1.").arg(QString::fromUtf8(PathRules::tildeForm(path, services_.home()))));
            // A target that cannot be scanned is no recent target: offering it again would only fail again.
            removeRecent(path);
            followShownResult();
        }
    } else {
        nextFileID_ = result->lastID();
        const bool unreadable = result->unreadableCount() > 0;
        if (!services_.isDemo()) reportUnreadable(*result);
        resultRootPin_ = std::move(scanningRootPin_);
        resultMounts_ = std::move(scanningMounts_);
        setResult(std::move(result));
        setLargestCategory(std::nullopt);
        setFolderFocus(std::nullopt);
        bumpRevision();
        if (unreadable) checkFullDiskAccess();
        // The scan has just read what the junk locations hold: Deep Clean shows the same disk.
        cleanup().measure();
    }
    if (!services_.isDemo()) refreshVolumes();
}

void AppState::cancelScan() {
    stopScan();
    followShownResult();
}

void AppState::stopScan() {
    if (scanToken_) scanToken_->cancel();
    scanToken_.reset();
    setIsScanning(false);
}

void AppState::followShownResult() {
    // Rescan means the result on screen: a scan that stopped or failed left the one before it shown,
    // so the target goes back to that one. With nothing shown, Rescan starts the stopped one again.
    if (result_ && result_->root()) setScanTarget(result_->root()->name);
}

void AppState::chooseFolderAndScan() {
    if (auto folder = services_.chooseFolder()) scan(*folder);
}

void AppState::reportUnreadable(const ScanResult& result) {
    UnreadableReport report{result.unreadableCount(), {}};
    const size_t shown = std::min(result.unreadableSamples().size(), UnreadableReport::kShownPaths);
    report.paths.assign(result.unreadableSamples().begin(), result.unreadableSamples().begin() + shown);
    if (report != unreadable_) {
        Prefs::setValue(Prefs::kUnreadableCount, qint64(report.count));
        Prefs::setPaths(Prefs::kUnreadablePaths, report.paths);
    }
    if (report.count > 0 && services_.fullDiskAccessProbes.empty())
        setToast(Toast(report.text(), QStringLiteral("lock.fill")));
    setUnreadable(std::move(report));
}

QString UnreadableReport::text() const {
    return Plural::choose(count, AppState::tr("%1 folder could not be read"),
                          AppState::tr("%1 folders could not be read"))
        .arg(Fmt::count(count));
}

QString UnreadableReport::pathsText(const std::string& home) const {
    QStringList lines;
    for (const std::string& path : paths)
        lines << QString::fromUtf8(PathRules::tildeForm(path, home));
    return lines.join(QLatin1Char('\n'));
}

void AppState::addRecent(const std::string& path) {
    std::vector<std::string> recents = recents_;
    std::erase(recents, path);
    recents.insert(recents.begin(), path);
    if (recents.size() > kMaxRecents) recents.resize(kMaxRecents);
    setRecents(recents);
    Prefs::setRecentTargets(recents_);
}

void AppState::removeRecent(const std::string& path) {
    std::vector<std::string> recents = recents_;
    if (std::erase(recents, path) == 0) return;
    setRecents(recents);
    Prefs::setRecentTargets(recents_);
}

Selection::Toggled AppState::toggleSelection(const CleanItem& item) {
    const Selection::Toggled toggled = selection().toggle(item);
    tellToggled(item.id, toggled);
    return toggled;
}

std::string AppState::shownHome() const {
    if (services_.isDemo && services_.isDemo()) return Demo::home;
    return services_.home ? services_.home() : HostLayout::current().home;
}

void AppState::revealFailed(const std::string& path) {
    const std::string parent = PathRules::parent(path);
    setToast(
        Toast(tr("No file manager could show “%1”. It is in %2")
                  .arg(QString::fromUtf8(std::string(PathRules::lastComponent(path))),
                       QString::fromUtf8(PathRules::tildeForm(parent.empty() ? "/" : parent, shownHome()))),
              QStringLiteral("info.circle.fill")));
}

void AppState::deselectInside(const std::string& path) {
    if (const auto toggled = selection().leaveOut(path)) tellToggled(path, *toggled);
}

std::optional<SidebarItem> AppState::lastInArea(Area area) const {
    if (auto it = lastInArea_.find(area); it != lastInArea_.end()) return it->second;
    return std::nullopt;
}

void AppState::nimbrelise() {
    removal().openReview();
}

bool AppState::isPreparingReview() const {
    return removal().isPreparingReview();
}

void AppState::stopPreparingReview() {
    removal().stopPreparingReview();
}

void AppState::nimbrelise(const std::unordered_set<std::string>& ids, bool permanently) {
    removal().remove(std::unordered_set<std::string>(ids), permanently);
}

void AppState::nimbrelise(std::unordered_set<std::string>&& ids, bool permanently) {
    removal().remove(std::move(ids), permanently);
}

void AppState::stopRemoval() {
    removal().stop();
}

size_t AppState::removalItemsLeft() const {
    return removal().itemsLeft();
}

bool AppState::isHoldingRemoval() const {
    return removal().isHolding();
}

void AppState::endRemovalHold() {
    removal().endHold();
}

void AppState::tellToggled(const std::string& path, const Selection::Toggled& toggled) {
    using Outcome = Selection::Outcome;
    if (toggled.outcome != Outcome::leftOut && toggled.outcome != Outcome::keptWhole) return;
    const QString coverName = QString::fromUtf8(toggled.cover->name);
    if (toggled.outcome == Outcome::keptWhole) {
        setToast(Toast(tr("“%1” is selected as a whole. Deselect it to choose inside it").arg(coverName),
                       QStringLiteral("info.circle.fill")));
        return;
    }
    const QString name = QString::fromUtf8(std::string(PathRules::lastComponent(path)));
    const QString message =
        toggled.looseKept <= 0
            ? tr("Left out “%1” · the rest of “%2” stays selected").arg(name, coverName)
            : tr("Left out “%1” · the rest of “%2” stays selected (%3 of loose small files are kept too)")
                  .arg(name, coverName, Fmt::bytes(toggled.looseKept));
    setToast(Toast(message, QStringLiteral("checklist")));
}

}  // namespace nimbrel
