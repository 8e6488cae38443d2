#pragma once

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
};

namespace walk {
// The root's own status and the kind of its first visit (followed when `followRoot`); both walkers
// start here.
WalkEntry::Kind visitRoot(const std::string& root, bool followRoot, Status& status);
}  // namespace walk

// A physical tree walk that visits entries in the order and with the meaning of a BSD fts walk
// (pre- and post-order folder visits, unreadable folders, cycles, status errors) without changing
// the working folder. Each folder is read once and its entries' status is taken relative to the
// open folder, so the cost per entry is one fstatat.
class TreeWalker {
  public:
    // `root` is walked as given; with followRoot a root that is a symbolic link is followed.
    TreeWalker(std::string root, bool followRoot);
    ~TreeWalker();
    TreeWalker(const TreeWalker&) = delete;
    TreeWalker& operator=(const TreeWalker&) = delete;

    // The next entry, or null at the end of the walk.
    const WalkEntry* read();

    // Do not enter the directory that read() just returned for its first visit; its last visit
    // comes next.
    void skip() { skipRequested_ = true; }

  private:
    using Status = walk::Status;
    using Child = walk::Child;
    struct Frame {
        int fd = -1;  // open while entries below it may still need it
        std::size_t pathLength = 0;
        int level = 0;
        Status self;
        std::string names;
        std::vector<Child> children;
        std::size_t next = 0;
    };
    enum class Phase { start, afterDirectory, walking, done };

    void setEntry(WalkEntry::Kind kind, int level, const Status& status);
    void setPath(std::size_t length);
    void openPending();
    bool isAncestor(const Status& status) const;

    std::string root_;
    bool followRoot_;
    Phase phase_ = Phase::start;
    bool skipRequested_ = false;
    std::string path_;
    std::vector<Frame> frames_;  // reused level by level; the first `depth_` are live
    std::size_t depth_ = 0;
    Status pending_;  // the directory whose first visit was returned last
    int pendingLevel_ = 0;
    WalkEntry entry_;
};

}  // namespace nimbrel
