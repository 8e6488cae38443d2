#include "engine/removal_worker.h"

#include "engine/disk_scanner.h"

namespace nimbrel {

RemovalResult RemovalWorker::run(const std::vector<DeletionItem>& items, const std::atomic<bool>* stop,
                                 std::atomic<size_t>* done) {
    result_ = {};
    ops_.stopWhen(stop);
    for (const DeletionItem& item : items) {
        if (stopped()) break;
        struct Count {
            std::atomic<size_t>* done;
            ~Count() {
                if (done) ++*done;
            }
        } count{done};
        if (auto refused = mayGo(item)) {
            fail(item.path, *refused);
            continue;
        }
        auto error = removeOne(item.path, item.size, item.reviewed());
        if (!error) continue;
        if (item.clearInsideOnFailure && error->allowsClearInside() && ops_.isFolder(item.path))
            clearInside(item.path, 0, *error);
        else
            fail(item.path, *error);
    }
    return std::move(result_);
}

std::optional<RemovalError> RemovalWorker::mayGo(const DeletionItem& item) const {
    // The path the guard judged is the path removed: any other spelling is refused, never
    // re-spelled here.
    if (!isRemovablePathSpelling(item.path))
        return RemovalError::refused(RemovalError::Cause::notNormal,
                                     "Not a normal absolute path; nothing was removed.");
    // An extra copy of twins goes only while a copy that stays still matches it.
    if (item.twin)
        if (auto why = item.twin->refusal(item.path))
            return RemovalError::refused(RemovalError::Cause::notTwin, *why);
    return std::nullopt;
}

std::optional<RemovalError> RemovalWorker::removeOne(const std::string& path,
                                                     std::optional<int64_t> knownSize,
                                                     const ReviewedEntry& reviewed) {
    const bool counted = ops_.countsFreedBytes(permanently_);
    int64_t size = 0;
    // A file with other hard links keeps its bytes on disk whatever its scanned size.
    if (!counted) size = ops_.hasOtherLinks(path) ? 0 : knownSize ? *knownSize : measure(path);
    std::optional<RemovalError> error = reviewed.identity || reviewed.notFolder
                                            ? ops_.removeReviewed(path, permanently_, reviewed)
                                            : ops_.remove(path, permanently_);
    std::optional<RemovalFileOps::Counted> done = counted ? ops_.takeCounted() : std::nullopt;
    if (!error) {
        result_.freed[path] = !counted ? size : done ? done->freedBytes : knownSize.value_or(0);
        return std::nullopt;
    }
    if (done && (done->freedBytes > 0 || !done->goneInside.empty())) {
        RemovalResult::Partial& partial = result_.partlyRemoved[path];
        partial.freedBytes += done->freedBytes;
        partial.goneInside.insert(partial.goneInside.end(), done->goneInside.begin(), done->goneInside.end());
    }
    return error;
}

int64_t RemovalWorker::measure(const std::string& path) {
    return ops_.allocatedSize(DiskScanner::normalize(path));
}

void RemovalWorker::clearInside(const std::string& folder, int depth, const RemovalError& folderError) {
    auto listing = ops_.list(folder);
    if (listing.error || listing.names.empty()) {
        // The folder stays and nothing inside it can go: report why it stayed.
        fail(folder, folderError);
        return;
    }
    for (const std::string& name : listing.names) {
        if (stopped()) return;
        std::string child = folder + "/" + name;
        auto error = removeOne(child, std::nullopt);
        if (!error) continue;
        if (depth < kMaxClearDepth && error->allowsClearInside() && ops_.isFolder(child))
            clearInside(child, depth + 1, *error);
        else
            fail(child, *error);
    }
}

void RemovalWorker::fail(const std::string& path, const RemovalError& error) {
    if (error.isNotFound()) {
        result_.freed[path] = 0;
        return;
    }
    result_.failures.push_back({path, DeletionFailure::classify(error), error.description});
}

}  // namespace nimbrel
