#include "platform/file_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/disk_scanner.h"
#include "engine/host_layout.h"
#include "platform/file_remover.h"
#include "platform/removal_fs.h"
#include "platform/trash.h"

namespace nimbrel {

namespace {

RemovalFileOps::Listing listOpen(int fd, const std::string& folder) {
    RemovalFileOps::Listing listing;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        listing.error = RemovalError::posix(errno, folder + ": " + std::strerror(errno));
        close(fd);
        return listing;
    }
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            listing.names.emplace_back(entry->d_name);
        errno = 0;
    }
    if (errno != 0) listing.error = RemovalError::posix(errno, folder + ": " + std::strerror(errno));
    closedir(dir);
    return listing;
}

}  // namespace

FileOperations::FileOperations(std::vector<std::string> anchors, std::vector<PinnedFolder> pinned,
                               std::optional<std::unordered_set<uint64_t>> knownMounts)
    : anchors_(std::move(anchors)),
      pinned_(std::move(pinned)),
      knownMounts_(knownMounts ? std::move(*knownMounts) : currentMountIds()) {}

std::vector<std::string> FileOperations::defaultAnchors() {
    return {HostLayout::current().home};
}

std::optional<RemovalError> FileOperations::remove(const std::string& path, bool permanently) {
    return removeReviewed(path, permanently, {});
}

std::optional<RemovalError> FileOperations::removeReviewed(const std::string& path, bool permanently,
                                                           const ReviewedEntry& asReviewed) {
    ReviewedEntry reviewed = asReviewed;
    reviewed.namesTaken = &namesTaken_;
    counted_.reset();
    // A refused Trash move stays a failure: it never turns into a removal for good.
    if (!permanently) {
        int64_t leaving = 0;
        std::optional<RemovalError> error =
            Trash::moveToTrash(path, anchors_, &leaving, pinned_, reviewed, &knownMounts_, &namesTaken_);
        counted_ = Counted{leaving, {}};
        return error;
    }
    FileRemover::Report report =
        FileRemover::removeForGood(path, anchors_, pinned_, reviewed, &knownMounts_, stop_);
    for (const auto& [key, names] : report.linkedNamesGone)
        namesTaken_[key] += names;
    counted_ = Counted{report.freedBytes, std::move(report.goneInside)};
    return std::move(report.error);
}

std::optional<RemovalFileOps::Counted> FileOperations::takeCounted() {
    return std::exchange(counted_, std::nullopt);
}

bool FileOperations::isFolder(const std::string& path) {
    ParentFolder parent = openParent(path, anchors_, pinned_, &knownMounts_);
    EntryInfo entry;
    return !parent.error && statEntry(parent.fd.get(), parent.name.c_str(), entry) == 0 && entry.isFolder();
}

bool FileOperations::hasOtherLinks(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && st.st_nlink > 1;
}

RemovalFileOps::Listing FileOperations::list(const std::string& folder) {
    ParentFolder parent = openParent(folder, anchors_, pinned_, &knownMounts_);
    if (parent.error) {
        Listing listing;
        listing.error = parent.error;
        return listing;
    }
    int fd = openat(parent.fd.get(), parent.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Listing listing;
        listing.error = removalErrorAt(errno, parent.fd.get(), parent.name.c_str(), folder, FailedStep::open);
        return listing;
    }
    return listOpen(fd, folder);
}

RemovalFileOps::Listing FileOperations::listFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Listing listing;
        listing.error = errno == ENOENT ? RemovalError::notFound(folder + ": " + std::strerror(errno))
                                        : RemovalError::posix(errno, folder + ": " + std::strerror(errno));
        return listing;
    }
    return listOpen(fd, folder);
}

int64_t FileOperations::allocatedSize(const std::string& normalizedPath) {
    return DiskScanner::usage(normalizedPath).size;
}

}  // namespace nimbrel
