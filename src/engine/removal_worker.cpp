#include "engine/removal_worker.h"

#include "engine/disk_scanner.h"

namespace nimbrel {

RemovalResult RemovalWorker::run(const std::vector<DeletionItem>& items, const std::atomic<bool>* stop) {
    result_ = {};
    for (const DeletionItem& item : items) {
        if (stop && stop->load()) break;
        // A file with other hard links keeps its bytes on disk whatever its scanned size.
        int64_t size = ops_.hasOtherLinks(item.path) ? 0 : item.size ? *item.size : measure(item.path);
        auto error = ops_.remove(item.path, permanently_);
        if (!error) {
            result_.freed[item.path] = size;
        } else if (item.clearInsideOnFailure && ops_.isFolder(item.path)) {
            clearInside(item.path, 0, *error);
        } else {
            fail(item.path, *error);
        }
    }
    return std::move(result_);
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
        std::string child = folder + "/" + name;
        int64_t size = measure(child);
        auto error = ops_.remove(child, permanently_);
        if (!error) {
            result_.freed[child] = size;
        } else if (depth < kMaxClearDepth && ops_.isFolder(child)) {
            clearInside(child, depth + 1, *error);
        } else {
            fail(child, *error);
        }
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
