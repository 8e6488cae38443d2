#include "engine/tree_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/walk_listing.h"

namespace nimbrel {

namespace {

using walk::kDirFlags;

// How many folders above it are opened again along with a folder that was closed for the budget.
constexpr std::size_t kReopenRun = walk::kHeldFolders / 2;
// Holding the run never closes a folder of it: the budget has room for it, the root and one more.
static_assert(kReopenRun + 2 <= walk::kHeldFolders);

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

// Keeps `fd` as the live frame `index`'s descriptor; past the budget the shallowest other folder
// below the root lets go of its own (the root stays: everything is opened again from it at worst).
void TreeWalker::hold(std::size_t index, int fd) {
    frames_[index].fd = fd;
    ++held_;
    if (index > 0 && index < firstHeld_) firstHeld_ = index;
    if (held_ <= walk::kHeldFolders) return;
    for (std::size_t i = firstHeld_; i < depth_; ++i) {
        if (i == index || frames_[i].fd < 0) continue;
        release(i);
        if (i == firstHeld_) firstHeld_ = i + 1;
        return;
    }
}

void TreeWalker::release(std::size_t index) {
    close(frames_[index].fd);
    frames_[index].fd = -1;
    --held_;
}

// A folder below the root needs no descriptor once its last sub-folder was met.
void TreeWalker::releaseIfDone(std::size_t index) {
    const Frame& frame = frames_[index];
    if (index > 0 && frame.fd >= 0 && frame.next >= frame.lastSub) release(index);
}

// Opens again the live frame `index`, closed for the budget, and holds it. The folders from the
// nearest one still open above it are closed too: the run of them just above `index` is opened
// again with it, one name at a time, so that climbing on costs one name each instead of a path from
// far above each. Every folder opened must still be the folder that was read: one moved away or
// replaced meanwhile fails with kChanged, and its remaining sub-folders go unread. False with errno
// set when `index` cannot be opened.
bool TreeWalker::reopen(std::size_t index) {
    std::size_t base = index - 1;
    while (frames_[base].fd < 0)
        --base;  // the root is open while anything below it is
    const std::size_t first = std::max(base + 1, index + 1 - std::min<std::size_t>(index, kReopenRun));
    int fd = frames_[base].fd;
    for (std::size_t i = first; i <= index; ++i) {
        // From `base` to the first of the run in one call; then one name at a time.
        const std::size_t from = frames_[i == first ? base : i - 1].pathLength;
        const int next =
            walk::openBelow(fd, std::string_view(path_).substr(from, frames_[i].pathLength - from));
        const int saved = errno;
        if (i > first && frames_[i - 1].fd != fd) close(fd);
        if (next < 0) {
            errno = saved;
            return false;
        }
        if (!walk::isListed(next, frames_[i].self.device, frames_[i].self.inode)) {
            close(next);
            errno = walk::kChanged;
            return false;
        }
        fd = next;
        // Held if sub-folders of it are still to be opened; the last one is, by the caller's asking.
        if (i == index || frames_[i].next < frames_[i].lastSub) hold(i, fd);
    }
    return true;
}

// Opens and reads the directory whose first visit was returned last, and pushes its frame.
// Returns with entry_ set to its unreadable visit when it cannot be read.
void TreeWalker::openPending() {
    int fd = -1;
    int error = 0;
    if (depth_ == 0) {
        fd = open(path_.c_str(), kDirFlags | (followRoot_ ? 0 : O_NOFOLLOW));
        error = fd < 0 ? errno : 0;
    } else {
        const std::size_t parent = depth_ - 1;
        if (frames_[parent].fd >= 0 || reopen(parent))
            fd = openat(frames_[parent].fd, std::string(entry_.name).c_str(), kDirFlags | O_NOFOLLOW);
        error = fd < 0 ? errno : 0;
        releaseIfDone(parent);
    }
    // Listed as one folder, opened as another: never read it as the one listed.
    if (fd >= 0 && !walk::isListed(fd, pending_.device, pending_.inode)) {
        close(fd);
        fd = -1;
        error = walk::kChanged;
    }

    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& frame = frames_[depth_];
    frame.names.clear();
    frame.children.clear();
    frame.next = 0;
    frame.lastSub = 0;
    frame.fd = -1;
    if (fd >= 0) {
        error = walk::listFolder(fd, [&](const char* name) {
            Child child;
            child.nameOffset = static_cast<std::uint32_t>(frame.names.size());
            child.nameLength = static_cast<std::uint32_t>(std::strlen(name));
            frame.names.append(name, child.nameLength);
            walk::statAt(fd, name, child.status);
            frame.children.push_back(child);
            if (child.status.error == 0 && S_ISDIR(child.status.mode)) frame.lastSub = frame.children.size();
        });
    }
    if (error != 0) {
        if (fd >= 0) close(fd);
        Status status = pending_;
        status.error = error;
        setEntry(WalkEntry::Kind::directoryUnreadable, pendingLevel_, status);
        return;
    }
    frame.pathLength = path_.size();
    frame.level = pendingLevel_;
    frame.self = pending_;
    ++depth_;
    if (depth_ == 1 || frame.lastSub > 0)
        hold(depth_ - 1, fd);
    else
        close(fd);
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
    releaseIfDone(depth_ - 1);
    if (frame.next < frame.children.size()) {
        const Child& child = frame.children[frame.next++];
        visitChild(frame.pathLength, frame.names, child, frame.level + 1,
                   S_ISDIR(child.status.mode) && isAncestor(child.status));
        return &entry_;
    }

    // Every entry of the folder was visited: its last visit.
    if (frame.fd >= 0) release(depth_ - 1);
    if (frame.children.capacity() > kShrinkAbove) {
        std::vector<Child>().swap(frame.children);
        std::string().swap(frame.names);
    }
    --depth_;
    if (firstHeld_ > depth_) firstHeld_ = std::max<std::size_t>(depth_, 1);
    return leave(frame.pathLength, frame.level, frame.self);
}

}  // namespace nimbrel
