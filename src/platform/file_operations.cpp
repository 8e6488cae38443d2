#include "platform/file_operations.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "engine/disk_scanner.h"
#include "platform/file_remover.h"
#include "platform/trash.h"

namespace nimbrel {

std::optional<RemovalError> FileOperations::remove(const std::string& path, bool permanently) {
    // A refused Trash move stays a failure: it never turns into a removal for good.
    return permanently ? FileRemover::removeForGood(path) : Trash::moveToTrash(path);
}

bool FileOperations::isFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileOperations::hasOtherLinks(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && st.st_nlink > 1;
}

RemovalFileOps::Listing FileOperations::list(const std::string& folder) {
    return listFolder(folder);
}

RemovalFileOps::Listing FileOperations::listFolder(const std::string& folder) {
    Listing listing;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        listing.error = errno == ENOENT ? RemovalError::notFound(folder + ": " + std::strerror(errno))
                                        : RemovalError::posix(errno, folder + ": " + std::strerror(errno));
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

int64_t FileOperations::allocatedSize(const std::string& normalizedPath) {
    return DiskScanner::usage(normalizedPath).size;
}

}  // namespace nimbrel
