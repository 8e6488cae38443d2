#include "model/duplicates_model.h"

#include <QPointer>
#include <mutex>
#include <optional>

#include "engine/path_rules.h"
#include "model/background.h"
#include "util/fmt.h"

namespace nimbrel {

namespace {}  // namespace

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

void DuplicatesModel::run(const std::vector<FileItem>& files, int64_t minSize) {
    cancel();
    std::vector<FileItem> kept;
    for (const FileItem& f : files) {
        if (!f.isPackage && f.size >= minSize && f.logicalSize > 0) kept.push_back(f);
    }
    auto token = std::make_shared<CancelToken>();
    token_ = token;
    setIsRunning(true);
    setProgress(0);
    setStatus(tr("Comparing sizes…"));
    setMarked({});

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
        [kept = std::move(kept), token, onProgress] {
            return DuplicateEngine::find(kept, *token, onProgress);
        },
        [this, token](std::optional<std::vector<DuplicateGroup>> found) {
            if (token->isCancelled() || !found) return;
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
}

void DuplicatesModel::remove(const std::unordered_set<std::string>& paths) {
    if (paths.empty()) return;
    std::vector<DuplicateGroup> kept;
    kept.reserve(groups_.size());
    std::unordered_set<int64_t> present;
    for (DuplicateGroup& g : groups_) {
        std::erase_if(g.files, [&](const FileItem& f) { return PathRules::isAtOrInsideAny(f.path, paths); });
        if (g.files.size() < 2) continue;
        for (const FileItem& f : g.files)
            present.insert(f.id);
        kept.push_back(std::move(g));
    }
    setGroups(std::move(kept));
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

}  // namespace nimbrel
