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
