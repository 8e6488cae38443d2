#pragma once

// Pieces shared by the sequential and the parallel tree walker: an entry's status as a walk keeps
// it, and reading one folder's names.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string_view>

namespace nimbrel::walk {

// Folders a sequential walk holds open at once (the root among them), however deep or wide the tree:
// a folder is held only while sub-folders of it are still to be opened, and past this the shallowest
// is closed and opened again from above when the walk comes back to it.
constexpr int kHeldFolders = 16;

// The error of a folder that is not the one its parent listed: swapped for another folder, or a
// mount appeared on it, between the listing and the opening. It is not read as the listed one.
constexpr int kChanged = ESTALE;

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Opens the folder `relative` below the open folder `base` ("a/b/c"; empty names are skipped),
// refusing with ELOOP a symbolic link anywhere on the way, the last name included. Any length
// works: the path is resolved in pieces shorter than PATH_MAX. `base` stays open. Returns the
// descriptor, or -1 with errno set.
int openBelow(int base, std::string_view relative);
// The same one name at a time, with openat: what openBelow does where the kernel has no openat2.
int openBelowNameByName(int base, std::string_view relative);

struct Status {
    mode_t mode = 0;
    int error = 0;  // non-zero: the status could not be read
    std::uint64_t device = 0, inode = 0, links = 0;
    std::int64_t blocks = 0, size = 0;
    // Nanoseconds since the epoch: a listing of a huge folder holds one Status per entry, and three
    // timespecs would take twice the room.
    std::int64_t modified = 0, accessed = 0, changed = 0;
};

inline std::int64_t toNanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

inline timespec toTimespec(std::int64_t nanoseconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
    t.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1'000'000'000;
        --t.tv_sec;
    }
    return t;
}

// One listed entry: its name within the folder's name buffer and its status.
struct Child {
    std::uint32_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    Status status;
};

inline void fill(const struct stat& st, Status& status) {
    status.mode = st.st_mode;
    status.error = 0;
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = static_cast<std::uint64_t>(st.st_ino);
    status.links = static_cast<std::uint64_t>(st.st_nlink);
    status.blocks = static_cast<std::int64_t>(st.st_blocks);
    status.size = static_cast<std::int64_t>(st.st_size);
#ifdef __APPLE__
    status.modified = toNanoseconds(st.st_mtimespec);
    status.accessed = toNanoseconds(st.st_atimespec);
    status.changed = toNanoseconds(st.st_ctimespec);
#else
    status.modified = toNanoseconds(st.st_mtim);
    status.accessed = toNanoseconds(st.st_atim);
    status.changed = toNanoseconds(st.st_ctim);
#endif
}

// True when the open folder `fd` is the folder that was listed as `device` and `inode`.
inline bool isListed(int fd, std::uint64_t device, std::uint64_t inode) {
    struct stat st;
    return fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == device &&
           static_cast<std::uint64_t>(st.st_ino) == inode;
}

// The status of `name` in the open folder `fd`, never following a link.
inline void statAt(int fd, const char* name, Status& status) {
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        fill(st, status);
    else
        status.error = errno != 0 ? errno : EIO;
}

inline bool isDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Calls `each(name)` for every entry of the open folder but "." and "..", in the order the file
// system lists them. Returns 0, or the errno of a failure before anything was read.
template <typename Each>
int listFolder(int fd, Each&& each) {
#ifdef __linux__
    alignas(dirent64) static thread_local char buffer[1 << 16];
    bool any = false;
    for (;;) {
        ssize_t n = getdents64(fd, buffer, sizeof buffer);
        if (n == 0) return 0;
        if (n < 0) return errno == EINTR ? 0 : (any ? 0 : errno);
        any = true;
        for (ssize_t off = 0; off < n;) {
            auto* d = reinterpret_cast<const dirent64*>(buffer + off);
            off += d->d_reclen;
            if (!isDot(d->d_name)) each(d->d_name);
        }
    }
#else
    int copy = dup(fd);
    if (copy < 0) return errno;
    DIR* dir = fdopendir(copy);
    if (!dir) {
        int e = errno;
        close(copy);
        return e;
    }
    while (const dirent* d = readdir(dir))
        if (!isDot(d->d_name)) each(d->d_name);
    closedir(dir);
    return 0;
#endif
}

}  // namespace nimbrel::walk
