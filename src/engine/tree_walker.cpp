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

TreeWalker::TreeWalker(std::string root, bool followRoot) : root_(std::move(root)), followRoot_(followRoot) {}

TreeWalker::~TreeWalker() {
    for (std::size_t i = 0; i < depth_; ++i)
        if (frames_[i].fd >= 0) close(frames_[i].fd);
}

void TreeWalker::setPath(std::size_t length) {
    path_.resize(length);
    entry_.path = path_;
    if (length <= 1) {
        entry_.name = entry_.path;
        return;
    }
    std::size_t slash = entry_.path.rfind('/');
    entry_.name = slash == std::string_view::npos ? entry_.path : entry_.path.substr(slash + 1);
}

void TreeWalker::setEntry(WalkEntry::Kind kind, int level, const Status& status) {
    entry_.kind = kind;
    entry_.level = level;
    entry_.error = status.error;
    entry_.mode = status.mode;
    entry_.device = status.device;
    entry_.inode = status.inode;
    entry_.links = status.links;
    entry_.blocks = status.blocks;
    entry_.size = status.size;
    entry_.modified = status.modified;
    entry_.accessed = status.accessed;
}

bool TreeWalker::isAncestor(const Status& status) const {
    for (std::size_t i = 0; i < depth_; ++i)
        if (frames_[i].self.inode == status.inode && frames_[i].self.device == status.device) return true;
    return false;
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
        fd = open(path_.c_str(), kDirFlags | O_NOFOLLOW);

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

const WalkEntry* TreeWalker::read() {
    switch (phase_) {
        case Phase::done:
            return nullptr;

        case Phase::start: {
            path_ = root_;
            setPath(path_.size());
            Status status;
            const WalkEntry::Kind kind = walk::visitRoot(path_, followRoot_, status);
            if (kind == WalkEntry::Kind::directory) {
                pending_ = status;
                pendingLevel_ = 0;
                skipRequested_ = false;
                phase_ = Phase::afterDirectory;
            } else {
                phase_ = Phase::done;
            }
            setEntry(kind, 0, status);
            return &entry_;
        }

        case Phase::afterDirectory:
            phase_ = Phase::walking;
            if (skipRequested_) {
                skipRequested_ = false;
                setEntry(WalkEntry::Kind::directoryPost, pendingLevel_, pending_);
                return &entry_;
            }
            openPending();
            if (entry_.kind == WalkEntry::Kind::directoryUnreadable) return &entry_;
            break;

        case Phase::walking:
            break;
    }

    if (depth_ == 0) {
        phase_ = Phase::done;
        return nullptr;
    }
    Frame& frame = frames_[depth_ - 1];
    if (frame.next < frame.children.size()) {
        const Child& child = frame.children[frame.next++];
        path_.resize(frame.pathLength);
        if (path_.empty() || path_.back() != '/') path_ += '/';
        path_.append(frame.names, child.nameOffset, child.nameLength);
        setPath(path_.size());
        const Status& status = child.status;
        const int level = frame.level + 1;
        if (status.error != 0) {
            setEntry(WalkEntry::Kind::noStat, level, status);
        } else if (S_ISDIR(status.mode)) {
            if (isAncestor(status)) {
                setEntry(WalkEntry::Kind::cycle, level, status);
            } else {
                pending_ = status;
                pendingLevel_ = level;
                skipRequested_ = false;
                setEntry(WalkEntry::Kind::directory, level, status);
                phase_ = Phase::afterDirectory;
            }
        } else if (S_ISREG(status.mode)) {
            setEntry(WalkEntry::Kind::file, level, status);
        } else if (S_ISLNK(status.mode)) {
            setEntry(WalkEntry::Kind::symlink, level, status);
        } else {
            setEntry(WalkEntry::Kind::other, level, status);
        }
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
    setPath(frame.pathLength);
    setEntry(WalkEntry::Kind::directoryPost, frame.level, frame.self);
    return &entry_;
}

}  // namespace nimbrel
