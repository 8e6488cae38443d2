#include "engine/tree_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/walk_listing.h"

namespace nimbrel {

namespace {

using walk::kDirFlags;
using walk::kMaxHeldLevels;

// A frame that once held a huge folder gives its memory back when it is left.
constexpr std::size_t kShrinkAbove = 1 << 16;

}  // namespace

TreeWalker::TreeWalker(std::string root, bool followRoot) : WalkCursor(std::move(root), followRoot) {}

TreeWalker::~TreeWalker() {
    for (std::size_t i = 0; i < depth_; ++i)
        if (frames_[i].fd >= 0) close(frames_[i].fd);
}

bool TreeWalker::isAncestor(const Status& status) const {
    for (std::size_t i = 0; i < depth_; ++i)
        if (frames_[i].self.inode == status.inode && frames_[i].self.device == status.device) return true;
    return false;
}

// Opens the pending folder, whose parent was read and closed, down from the deepest folder still
// held: never by its full path, which may be too long for the system or lead through a link
// swapped in since the folders above were read.
int TreeWalker::openBelowHeld() const {
    std::size_t held = depth_;
    while (held > 0 && frames_[held - 1].fd < 0)
        --held;
    if (held == 0) {
        errno = EBADF;
        return -1;
    }
    const Frame& base = frames_[held - 1];
    return walk::openBelow(base.fd, std::string_view(path_).substr(base.pathLength));
}

// Opens and reads the directory whose first visit was returned last, and pushes its frame.
// Returns with entry_ set to its unreadable visit when it cannot be read.
void TreeWalker::openPending() {
    int fd;
    if (depth_ == 0)
        fd = open(path_.c_str(), kDirFlags | (followRoot_ ? 0 : O_NOFOLLOW));
    else if (frames_[depth_ - 1].fd >= 0)
        fd = openat(frames_[depth_ - 1].fd, std::string(entry_.name).c_str(), kDirFlags | O_NOFOLLOW);
    else
        fd = openBelowHeld();

    int error = fd < 0 ? errno : 0;
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& frame = frames_[depth_];
    frame.names.clear();
    frame.children.clear();
    frame.next = 0;
    if (fd >= 0) {
        error = walk::listFolder(fd, [&](const char* name) {
            Child child;
            child.nameOffset = static_cast<std::uint32_t>(frame.names.size());
            child.nameLength = static_cast<std::uint32_t>(std::strlen(name));
            frame.names.append(name, child.nameLength);
            walk::statAt(fd, name, child.status);
            frame.children.push_back(child);
        });
    }
    if (error != 0) {
        if (fd >= 0) close(fd);
        Status status = pending_;
        status.error = error;
        setEntry(WalkEntry::Kind::directoryUnreadable, pendingLevel_, status);
        return;
    }
    if (pendingLevel_ >= kMaxHeldLevels) {
        close(fd);
        fd = -1;
    }
    frame.fd = fd;
    frame.pathLength = path_.size();
    frame.level = pendingLevel_;
    frame.self = pending_;
    ++depth_;
}

WalkEntry::Kind walk::visitRoot(const std::string& root, bool followRoot, Status& status) {
    struct stat st;
    if ((followRoot ? stat(root.c_str(), &st) : lstat(root.c_str(), &st)) != 0) {
        status.error = errno;
        return WalkEntry::Kind::noStat;
    }
    fill(st, status);
    if (S_ISDIR(status.mode)) return WalkEntry::Kind::directory;
    if (S_ISREG(status.mode)) return WalkEntry::Kind::file;
    return S_ISLNK(status.mode) ? WalkEntry::Kind::symlink : WalkEntry::Kind::other;
}

const WalkEntry* TreeWalker::step() {
    if (depth_ == 0) return end();
    Frame& frame = frames_[depth_ - 1];
    if (frame.next < frame.children.size()) {
        const Child& child = frame.children[frame.next++];
        visitChild(frame.pathLength, frame.names, child, frame.level + 1,
                   S_ISDIR(child.status.mode) && isAncestor(child.status));
        return &entry_;
    }

    // Every entry of the folder was visited: its last visit.
    if (frame.fd >= 0) close(frame.fd);
    frame.fd = -1;
    if (frame.children.capacity() > kShrinkAbove) {
        std::vector<Child>().swap(frame.children);
        std::string().swap(frame.names);
    }
    --depth_;
    return leave(frame.pathLength, frame.level, frame.self);
}

}  // namespace nimbrel
