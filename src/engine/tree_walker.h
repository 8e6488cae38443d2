#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/walk_listing.h"

namespace nimbrel {

// One entry of a TreeWalker walk. `path` and `name` are valid until the next read().
struct WalkEntry {
    enum class Kind {
        directory,            // first visit (pre-order)
        directoryPost,        // last visit, also for a directory that was skipped
        directoryUnreadable,  // comes instead of directoryPost when the directory cannot be read
        file,                 // regular file
        symlink,
        cycle,   // a directory that is one of its own ancestors; not entered
        noStat,  // its status could not be read
        other,   // devices, sockets, pipes
    };

    Kind kind = Kind::other;
    int level = 0;  // the root is 0
    std::string_view path;
    std::string_view name;
    int error = 0;  // errno for noStat and directoryUnreadable

    // The entry's own status (never followed, except a root walked with followRoot).
    mode_t mode = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t links = 0;
    std::int64_t blocks = 0;  // 512-byte blocks
    std::int64_t size = 0;
    timespec modified{};
    timespec accessed{};
    timespec changed{};
};

namespace walk {
// The root's own status and the kind of its first visit (followed when `followRoot`); both walkers
// start here.
WalkEntry::Kind visitRoot(const std::string& root, bool followRoot, Status& status);
}  // namespace walk

// What both walkers share: the walk's place (path, phase, the folder whose first visit was returned
// last), the entry it returns, and the steps that do not depend on how folders are read. `Walker`
// supplies openPending() (read the pending folder and push it, or set its unreadable visit),
// dropPending() (the pending folder is skipped) and step() (the next entry of the innermost folder,
// or its last visit).
template <typename Walker>
class WalkCursor {
  public:
    // The next entry, or null at the end of the walk.
    const WalkEntry* read() {
        switch (phase_) {
            case Phase::done:
                return nullptr;
            case Phase::start:
                return visitRoot();
            case Phase::afterDirectory:
                phase_ = Phase::walking;
                if (skipRequested_) {
                    skipRequested_ = false;
                    static_cast<Walker*>(this)->dropPending();
                    setEntry(WalkEntry::Kind::directoryPost, pendingLevel_, pending_);
                    return &entry_;
                }
                static_cast<Walker*>(this)->openPending();
                if (entry_.kind == WalkEntry::Kind::directoryUnreadable) return &entry_;
                break;
            case Phase::walking:
                break;
        }
        return static_cast<Walker*>(this)->step();
    }

    // Do not enter the directory that read() just returned for its first visit; its last visit
    // comes next.
    void skip() { skipRequested_ = true; }

  protected:
    using Status = walk::Status;
    enum class Phase { start, afterDirectory, walking, done };

    WalkCursor(std::string root, bool followRoot) : root_(std::move(root)), followRoot_(followRoot) {}

    void setPath(std::size_t length) {
        path_.resize(length);
        entry_.path = path_;
        if (length <= 1) {
            entry_.name = entry_.path;
            return;
        }
        const std::size_t slash = entry_.path.rfind('/');
        entry_.name = slash == std::string_view::npos ? entry_.path : entry_.path.substr(slash + 1);
    }

    void setEntry(WalkEntry::Kind kind, int level, const Status& status) {
        entry_.kind = kind;
        entry_.level = level;
        entry_.error = status.error;
        entry_.mode = status.mode;
        entry_.device = status.device;
        entry_.inode = status.inode;
        entry_.links = status.links;
        entry_.blocks = status.blocks;
        entry_.size = status.size;
        entry_.modified = walk::toTimespec(status.modified);
        entry_.accessed = walk::toTimespec(status.accessed);
        entry_.changed = walk::toTimespec(status.changed);
    }

    // The visit of a folder's child `name` (the folder's path is `folderPath` long) at `level`; `cycle`
    // says a directory is one of its own ancestors. True when it is a directory to enter: it is then
    // pending, and the walk waits for skip() or the next read().
    bool visitChild(std::size_t folderPath, const std::string& names, const walk::Child& child, int level,
                    bool cycle) {
        path_.resize(folderPath);
        if (path_.empty() || path_.back() != '/') path_ += '/';
        path_.append(names, child.nameOffset, child.nameLength);
        setPath(path_.size());
        const Status& status = child.status;
        if (status.error != 0) {
            setEntry(WalkEntry::Kind::noStat, level, status);
        } else if (S_ISDIR(status.mode)) {
            if (cycle) {
                setEntry(WalkEntry::Kind::cycle, level, status);
                return false;
            }
            setPending(status, level);
            setEntry(WalkEntry::Kind::directory, level, status);
            return true;
        } else if (S_ISREG(status.mode)) {
            setEntry(WalkEntry::Kind::file, level, status);
        } else if (S_ISLNK(status.mode)) {
            setEntry(WalkEntry::Kind::symlink, level, status);
        } else {
            setEntry(WalkEntry::Kind::other, level, status);
        }
        return false;
    }

    // The last visit of a folder that was left.
    const WalkEntry* leave(std::size_t pathLength, int level, const Status& self) {
        setPath(pathLength);
        setEntry(WalkEntry::Kind::directoryPost, level, self);
        return &entry_;
    }

    const WalkEntry* end() {
        phase_ = Phase::done;
        return nullptr;
    }

    std::string root_;
    bool followRoot_;
    Phase phase_ = Phase::start;
    bool skipRequested_ = false;
    std::string path_;
    Status pending_;  // the directory whose first visit was returned last
    int pendingLevel_ = 0;
    WalkEntry entry_;

  private:
    void setPending(const Status& status, int level) {
        pending_ = status;
        pendingLevel_ = level;
        skipRequested_ = false;
        phase_ = Phase::afterDirectory;
    }

    const WalkEntry* visitRoot() {
        path_ = root_;
        setPath(path_.size());
        Status status;
        const WalkEntry::Kind kind = walk::visitRoot(path_, followRoot_, status);
        if (kind == WalkEntry::Kind::directory)
            setPending(status, 0);
        else
            phase_ = Phase::done;
        setEntry(kind, 0, status);
        return &entry_;
    }
};

// A physical tree walk that visits entries in the order and with the meaning of a BSD fts walk
// (pre- and post-order folder visits, unreadable folders, cycles, status errors) without changing
// the working folder. Each folder is read once and its entries' status is taken relative to the
// open folder, so the cost per entry is one fstatat. A folder is opened by name from its open parent
// and read only if it is the folder that was listed (device and inode); at most kHeldFolders are
// open at a time, whatever the depth.
class TreeWalker : public WalkCursor<TreeWalker> {
  public:
    // `root` is walked as given; with followRoot a root that is a symbolic link is followed.
    TreeWalker(std::string root, bool followRoot);
    ~TreeWalker();
    TreeWalker(const TreeWalker&) = delete;
    TreeWalker& operator=(const TreeWalker&) = delete;

  private:
    friend class WalkCursor<TreeWalker>;
    using Child = walk::Child;
    struct Frame {
        int fd = -1;  // open while sub-folders are still to be opened from it, if within the budget
        std::size_t pathLength = 0;
        int level = 0;
        Status self;
        std::string names;
        std::vector<Child> children;
        std::size_t next = 0;
        std::size_t lastSub = 0;  // one past the last child that is a folder
    };

    void openPending();
    void dropPending() {}
    const WalkEntry* step();
    bool isAncestor(const Status& status) const;
    bool reopen(std::size_t index);
    void hold(std::size_t index, int fd);
    void release(std::size_t index);
    void releaseIfDone(std::size_t index);

    std::vector<Frame> frames_;  // reused level by level; the first `depth_` are live
    std::size_t depth_ = 0;
    int held_ = 0;               // descriptors held by live frames
    std::size_t firstHeld_ = 1;  // no live frame in [1, firstHeld_) holds one
};

}  // namespace nimbrel
