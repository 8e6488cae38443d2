#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/disk_scanner.h"
#include "engine/inode_key.h"
#include "engine/walk_listing.h"

namespace nimbrel {

namespace {

constexpr std::int64_t kPollEvery = 4096;
// At most this many folders of one measure are open at a time, however deep the tree goes.
constexpr std::size_t kOpenFolders = 32;
constexpr int kOpenFlags = walk::kDirFlags | O_NOFOLLOW;

// One folder on the way down: its identity, the sub-folders still to enter, and its descriptor
// while it is among the deepest few.
struct Frame {
    int fd = -1;
    InodeKey id;
    std::string names;  // the sub-folders' names, each ended by a NUL
    std::vector<std::pair<std::uint32_t, InodeKey>> subfolders;  // offset into `names`, identity
    std::size_t next = 0;
};

// Sums the regular files below an open folder. Every folder is opened relative to its parent's
// descriptor, never by a path, so no depth is too deep for PATH_MAX; the folders above the deepest
// few are closed and re-opened through ".." on the way back up, checked to be the same folder.
class UsageWalk {
  public:
    UsageWalk(const CancelToken* token) : token_(token) {}
    ~UsageWalk() {
        for (Frame& f : frames_)
            if (f.fd >= 0) close(f.fd);
    }
    UsageWalk(const UsageWalk&) = delete;
    UsageWalk& operator=(const UsageWalk&) = delete;

    // False when the root itself cannot be read.
    bool run(int rootFd, const InodeKey& rootId) {
        if (!push(rootFd, rootId)) return false;
        while (!frames_.empty()) {
            if (cancelled_) return true;
            Frame& top = frames_.back();
            if (top.next < top.subfolders.size()) {
                const auto& [offset, id] = top.subfolders[top.next++];
                // A bind mount may show a folder inside itself: never walk into an ancestor again.
                if (ancestors_.count(id)) continue;
                const int fd = openat(top.fd, top.names.c_str() + offset, kOpenFlags);
                if (fd < 0) continue;  // an unreadable folder counts for nothing
                struct stat st;
                if (fstat(fd, &st) != 0 ||
                    InodeKey{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)} != id) {
                    close(fd);  // replaced since it was listed: not the folder being measured
                    continue;
                }
                push(fd, id);
                continue;
            }
            pop();
        }
        return true;
    }

    std::int64_t size = 0;
    std::int64_t items = 0;
    bool cancelled_ = false;

  private:
    // Lists the open folder `fd` into a new frame; false (and `fd` closed) when it cannot be read.
    bool push(int fd, const InodeKey& id) {
        Frame frame;
        frame.fd = fd;
        frame.id = id;
        const int error = walk::listFolder(fd, [&](const char* name) {
            if (token_ && ++entries_ % kPollEvery == 0 && token_->isCancelled()) cancelled_ = true;
            walk::Status status;
            walk::statAt(fd, name, status);
            if (status.error != 0) return;
            if (S_ISREG(status.mode)) {
                if (status.links < 2 || linked_.insert(InodeKey{status.device, status.inode}).second) {
                    size += status.blocks * 512;
                    items += 1;
                }
            } else if (S_ISDIR(status.mode)) {
                frame.subfolders.emplace_back(static_cast<std::uint32_t>(frame.names.size()),
                                              InodeKey{status.device, status.inode});
                frame.names.append(name);
                frame.names.push_back('\0');
            }
        });
        if (error != 0) {
            close(fd);
            return false;
        }
        frame.names.shrink_to_fit();
        frames_.push_back(std::move(frame));
        ancestors_.insert(id);
        // Keep only the deepest few open.
        if (frames_.size() - lowestOpen_ > kOpenFolders) {
            close(frames_[lowestOpen_].fd);
            frames_[lowestOpen_].fd = -1;
            ++lowestOpen_;
        }
        return true;
    }

    void pop() {
        Frame& done = frames_.back();
        ancestors_.erase(done.id);
        if (frames_.size() >= 2) {
            Frame& parent = frames_[frames_.size() - 2];
            if (parent.fd < 0) {
                parent.fd = openat(done.fd, "..", walk::kDirFlags);
                struct stat st;
                if (parent.fd >= 0 &&
                    (fstat(parent.fd, &st) != 0 ||
                     InodeKey{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)} != parent.id)) {
                    close(parent.fd);
                    parent.fd = -1;
                }
                if (parent.fd < 0) {
                    // Moved away meanwhile: what is left of it cannot be reached the same way.
                    parent.next = parent.subfolders.size();
                }
                lowestOpen_ = frames_.size() - 2;
            }
        }
        if (done.fd >= 0) close(done.fd);
        frames_.pop_back();
        if (lowestOpen_ > frames_.size()) lowestOpen_ = frames_.size();
    }

    const CancelToken* token_;
    std::vector<Frame> frames_;
    std::size_t lowestOpen_ = 0;  // frames below this index have their descriptor closed
    std::unordered_set<InodeKey> ancestors_;
    std::unordered_set<InodeKey> linked_;
    std::int64_t entries_ = 0;
};

}  // namespace

DiskUsage DiskScanner::usage(const std::string& rawPath, const CancelToken* token) {
    const std::string path = normalize(rawPath);
    if (path.find('\0') != std::string::npos) return {0, 0, true, true};

    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return {0, 0, false, true};
    if (!S_ISDIR(st.st_mode)) return {static_cast<std::int64_t>(st.st_blocks) * 512, 1, true, true};

    const int fd = open(path.c_str(), kOpenFlags);
    if (fd < 0) return {0, 0, true, false};
    struct stat opened;
    if (fstat(fd, &opened) != 0) {
        close(fd);
        return {0, 0, true, false};
    }
    UsageWalk walk(token);
    const bool readable = walk.run(fd, InodeKey{std::uint64_t(opened.st_dev), std::uint64_t(opened.st_ino)});
    if (walk.cancelled_ || (token && token->isCancelled())) return {0, 0, true, readable, true};
    return {walk.size, walk.items, true, readable};
}

}  // namespace nimbrel
