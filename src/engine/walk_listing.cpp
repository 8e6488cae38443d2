#include "engine/walk_listing.h"

#include <climits>
#include <string>

#ifdef __linux__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

#include <atomic>

namespace nimbrel::walk {

namespace {

// A piece resolved in one call: below PATH_MAX with its terminating NUL, and room to spare.
constexpr std::size_t kPiece = PATH_MAX - 256;

#ifdef __linux__
// Cleared once the kernel says it has no openat2; then every name is opened on its own.
std::atomic<bool> haveOpenat2{true};
#endif

// Closes `fd` without disturbing errno, unless it is the caller's.
void release(int fd, int base) {
    if (fd == base) return;
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

}  // namespace

int openBelowNameByName(int base, std::string_view relative) {
    int fd = base;
    std::string name;
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        name.assign(relative.substr(0, slash));
        relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (name.empty()) continue;
        const int next = ::openat(fd, name.c_str(), kDirFlags | O_NOFOLLOW);
        release(fd, base);
        if (next < 0) return -1;
        fd = next;
    }
    // Nothing to descend: a descriptor of its own for the base itself.
    return fd == base ? ::fcntl(base, F_DUPFD_CLOEXEC, 0) : fd;
}

int openBelow(int base, std::string_view relative) {
#ifdef __linux__
    if (!haveOpenat2.load(std::memory_order_relaxed)) return openBelowNameByName(base, relative);
    const std::string_view whole = relative;
    int fd = base;
    std::string piece;
    for (;;) {
        while (!relative.empty() && relative.front() == '/')
            relative.remove_prefix(1);
        if (relative.empty()) break;
        std::size_t length = relative.size();
        if (length > kPiece) {
            // Cut at a slash, so no name is split across two pieces.
            length = relative.rfind('/', kPiece);
            if (length == std::string_view::npos || length == 0) {
                release(fd, base);
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        piece.assign(relative.substr(0, length));
        relative.remove_prefix(length);

        open_how how{};
        how.flags = static_cast<std::uint64_t>(kDirFlags | O_NOFOLLOW);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long next = ::syscall(SYS_openat2, fd, piece.c_str(), &how, sizeof how);
        // No openat2 here; some sandboxes refuse calls they do not know with EPERM instead, which
        // a folder's own open never gives, so that tries name by name for this folder only.
        if (next < 0 && (errno == ENOSYS || errno == EPERM) && fd == base) {
            if (errno == ENOSYS) haveOpenat2.store(false, std::memory_order_relaxed);
            return openBelowNameByName(base, whole);
        }
        release(fd, base);
        if (next < 0) return -1;
        fd = static_cast<int>(next);
    }
    return fd == base ? ::fcntl(base, F_DUPFD_CLOEXEC, 0) : fd;
#else
    return openBelowNameByName(base, relative);
#endif
}

}  // namespace nimbrel::walk
