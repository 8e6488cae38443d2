#include "model/duplicates_model.h"

#include <QPointer>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "engine/path_rules.h"
#include "model/background.h"
#include "util/fmt.h"

namespace nimbrel {

namespace {

// Drops removed members from `groups`; sets left with one copy go. Returns the ids of the sets whose
// kept copy was among the removed.
std::vector<std::string> dropRemoved(std::vector<DuplicateGroup>& groups,
                                     const std::unordered_set<std::string>& paths) {
    std::vector<std::string> keptGone;
    if (paths.empty()) return keptGone;
    std::erase_if(groups, [&](DuplicateGroup& g) {
        const FileItem* stay = DuplicatesModel::kept(g);
        const bool lostKept = stay && PathRules::isAtOrInsideAny(stay->path, paths);
        std::erase_if(g.files, [&](const FileItem& f) { return PathRules::isAtOrInsideAny(f.path, paths); });
        if (g.files.size() < 2) return true;
        if (lostKept) keptGone.push_back(g.id);
        return false;
    });
    return keptGone;
}

CleanItem extraItem(const FileItem& file) {
    CleanItem item;
    item.id = file.path;
    item.name = file.name;
    item.size = file.size;
    item.kind = CleanItem::Kind::file;
    item.heat = 0.55;
    item.symbolPath = file.path;
    item.source = CleanItem::Source::files;
    return item;
}

}  // namespace

DuplicatesModel::DuplicatesModel(QObject* parent, QThreadPool* pool)
    : QObject(parent), pool_(pool ? pool : &Background::userInitiated()) {}

DuplicatesModel::~DuplicatesModel() {
    if (token_) token_->cancel();
}

void DuplicatesModel::setGroups(std::vector<DuplicateGroup> groups) {
    groups_ = std::move(groups);
    emit groupsChanged();
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
    std::vector<FileItem> kept;
    for (const FileItem& f : files) {
        if (isCandidate(f, minSize)) kept.push_back(f);
    }
    start([kept = std::move(kept)]() mutable { return std::move(kept); });
}

void DuplicatesModel::run(std::shared_ptr<const ScanResult> result, int64_t minSize) {
    start([result = std::move(result), minSize, readers = readers_] {
        std::vector<FileItem> kept;
        if (!result) return kept;
        std::shared_lock<std::shared_mutex> lock;
        if (readers) lock = std::shared_lock(*readers);
        for (const FileItem& f : result->files) {
            if (isCandidate(f, minSize)) kept.push_back(f);
        }
        return kept;
    });
}

void DuplicatesModel::start(std::function<std::vector<FileItem>()> gather) {
    cancel();
    auto token = std::make_shared<CancelToken>();
    token_ = token;
    setIsRunning(true);
    setProgress(0);
    setStatus(tr("Comparing sizes…"));
    setMarked({});
    removedDuringRun_.clear();

    // Updates carry their own search's token: a search that was stopped or replaced since it sent
    // them changes nothing. Reports that come faster than the main thread takes them collapse into
    // the latest one, so a search over many small twins does not flood the event queue.
    struct Mailbox {
        std::mutex mutex;
        std::optional<DuplicateProgress> latest;
    };
    auto mailbox = std::make_shared<Mailbox>();
    QPointer<QObject> self(this);
    auto onProgress = [self, token, mailbox](const DuplicateProgress& p) {
        {
            std::lock_guard lock(mailbox->mutex);
            const bool pending = mailbox->latest.has_value();
            mailbox->latest = p;
            if (pending) return;
        }
        Background::post(self, [self, token, mailbox] {
            std::optional<DuplicateProgress> latest;
            {
                std::lock_guard lock(mailbox->mutex);
                latest.swap(mailbox->latest);
            }
            if (token->isCancelled() || !latest) return;
            auto* model = static_cast<DuplicatesModel*>(self.data());
            model->setProgress(latest->fraction);
            model->setStatus(
                QString::fromStdString(latest->text([](int64_t b) { return Fmt::bytes(b).toStdString(); })));
        });
    };
    Background::run(
        *pool_, this,
        [gather = std::move(gather), token, onProgress]() -> std::optional<std::vector<DuplicateGroup>> {
            if (token->isCancelled()) return std::nullopt;
            return DuplicateEngine::find(gather(), *token, onProgress);
        },
        [this, token](std::optional<std::vector<DuplicateGroup>> found) {
            if (token->isCancelled() || !found) return;
            // A removal that ended while the search ran took files the search still names.
            std::unordered_set<std::string> gone;
            gone.swap(removedDuringRun_);
            keptGone_.clear();
            for (std::string& id : dropRemoved(*found, gone))
                keptGone_.insert(std::move(id));
            setGroups(std::move(*found));
            setIsRunning(false);
            setHasRun(true);
            token_.reset();
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
}

void DuplicatesModel::remove(const std::unordered_set<std::string>& paths) {
    if (paths.empty()) return;
    if (token_) removedDuringRun_.insert(paths.begin(), paths.end());
    std::vector<DuplicateGroup> groups = std::move(groups_);
    for (std::string& id : dropRemoved(groups, paths))
        keptGone_.insert(std::move(id));
    std::unordered_set<int64_t> present;
    for (const DuplicateGroup& g : groups)
        for (const FileItem& f : g.files)
            present.insert(f.id);
    setGroups(std::move(groups));
    std::unordered_set<int64_t> marked;
    for (int64_t id : marked_) {
        if (present.count(id)) marked.insert(id);
    }
    setMarked(std::move(marked));
}

int64_t DuplicatesModel::reclaimable() const {
    int64_t total = 0;
    for (const DuplicateGroup& g : groups_)
        total += g.wasted();
    return total;
}

const FileItem* DuplicatesModel::kept(const DuplicateGroup& group) {
    const FileItem* best = nullptr;
    for (const FileItem& f : group.files)
        if (!best || f.modified > best->modified) best = &f;
    return best;
}

std::vector<CleanItem> DuplicatesModel::extras(const std::string& groupID) const {
    return extras(std::vector<std::string>{groupID});
}

std::vector<CleanItem> DuplicatesModel::extras(const std::vector<std::string>& groupIDs) const {
    std::unordered_map<std::string_view, const DuplicateGroup*> byID;
    byID.reserve(groups_.size());
    for (const DuplicateGroup& g : groups_)
        byID.emplace(g.id, &g);
    std::vector<CleanItem> out;
    for (const std::string& id : groupIDs) {
        auto it = byID.find(id);
        if (it == byID.end() || keptGone_.count(id)) continue;
        const DuplicateGroup& g = *it->second;
        // Groups only ever hold copies still present: removals and late searches drop the rest.
        if (g.files.size() < 2) continue;
        const FileItem* stay = kept(g);
        for (const FileItem& f : g.files)
            if (f.id != stay->id) out.push_back(extraItem(f));
    }
    return out;
}

}  // namespace nimbrel
