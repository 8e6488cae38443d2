#include "platform/file_remover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace nimbrel {

namespace {

RemovalError errorAt(int code, const std::string& path) {
    if (code == ENOENT) return RemovalError::notFound(path + ": " + std::strerror(code));
    return RemovalError::posix(code, path + ": " + std::strerror(code));
}

RemovalError otherFileSystem(const std::string& path) {
    return RemovalError::posix(EXDEV, path + ": is on another mounted file system, not removed");
}

// The errno an unlink of an entry with status `entry` inside the open folder `parentFd` would
// fail with for permission reasons, or 0.
int entryRefusal(int parentFd, const struct stat& entry) {
    if (faccessat(parentFd, ".", W_OK | X_OK, AT_EACCESS) != 0) return errno == EROFS ? EROFS : EACCES;
    struct stat parent {};
    uid_t me = geteuid();
    // In a sticky folder only the owner of the folder or of the entry may remove it.
    if (me != 0 && fstat(parentFd, &parent) == 0 && (parent.st_mode & S_ISVTX) && parent.st_uid != me &&
        entry.st_uid != me)
        return EPERM;
    return 0;
}

std::optional<RemovalError> removeFolder(int parentFd, const std::string& name, dev_t device,
                                         const std::string& path) {
    int fd = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errorAt(errno, path);
    struct stat st {};
    std::optional<RemovalError> error;
    if (fstat(fd, &st) != 0)
        error = errorAt(errno, path);
    else if (st.st_dev != device)
        error = otherFileSystem(path);
    else
        error = FileRemover::removeContents(fd, device, path);
    close(fd);
    if (error) return error;
    if (unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0) return errorAt(errno, path);
    return std::nullopt;
}

std::optional<RemovalError> removeEntry(int parentFd, const std::string& name, dev_t device,
                                        const std::string& path) {
    struct stat st {};
    if (fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errorAt(errno, path);
    if (!S_ISDIR(st.st_mode)) {
        if (unlinkat(parentFd, name.c_str(), 0) != 0) return errorAt(errno, path);
        return std::nullopt;
    }
    if (st.st_dev != device) return otherFileSystem(path);
    // Emptying a folder whose own entry cannot then be unlinked would destroy its contents and
    // still fail; refuse up front what the parent's permissions already forbid.
    if (int refused = entryRefusal(parentFd, st)) return errorAt(refused, path);
    return removeFolder(parentFd, name, device, path);
}

}  // namespace

std::optional<RemovalError> FileRemover::removeContents(int folderFd, dev_t device,
                                                        const std::string& where) {
    // fdopendir takes over the descriptor it is given, so read through a duplicate.
    int listFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return errorAt(errno, where);
    DIR* dir = fdopendir(listFd);
    if (!dir) {
        int code = errno;
        close(listFd);
        return errorAt(code, where);
    }
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    int readError = errno;
    closedir(dir);
    if (readError != 0) return errorAt(readError, where);

    for (const std::string& name : names) {
        auto error = removeEntry(folderFd, name, device, where + "/" + name);
        // Something that vanished meanwhile is as good as removed.
        if (error && !error->isNotFound()) return error;
    }
    return std::nullopt;
}

std::optional<RemovalError> FileRemover::removeForGood(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.rfind('/');
    std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (trimmed.empty() || trimmed == "/" || name == "." || name == "..")
        return RemovalError::posix(EINVAL, path + ": not removable");
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);

    int parentFd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) return errorAt(errno, path);
    struct stat parentStat {};
    std::optional<RemovalError> error;
    if (fstat(parentFd, &parentStat) != 0)
        error = errorAt(errno, path);
    else  // the path belongs to its parent's file system: a mount point itself is never removed
        error = removeEntry(parentFd, name, parentStat.st_dev, path);
    close(parentFd);
    return error;
}

}  // namespace nimbrel
