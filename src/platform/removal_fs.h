#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/deletion.h"

namespace nimbrel {

// The descriptor-level pieces the remover, the Trash move and the emptier share: they act on what
// was reviewed, relative to folders opened without following links, and never cross into another
// mounted file system (judged by mount identity, which a bind mount does not share).

// An owned file descriptor, closed when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

// One directory entry, read without following a link.
struct EntryInfo {
    mode_t mode = 0;
    uid_t uid = 0;
    nlink_t links = 0;
    int64_t allocated = 0;  // st_blocks * 512
    dev_t dev = 0;
    ino_t ino = 0;
    uint64_t mountId = 0;  // 0 when the kernel does not tell
    bool mountRoot = false;
    int64_t length = 0;  // st_size
    int64_t modifiedNs = 0, changedNs = 0;

    bool isFolder() const { return S_ISDIR(mode); }
    bool sameObject(const EntryInfo& other) const { return dev == other.dev && ino == other.ino; }
    // True when this entry lies on another mount than its folder `parent`.
    // What it is, in the terms a scan recorded it in.
    EntryIdentity identity() const;
    bool crossesMount(const EntryInfo& parent) const {
        return mountRoot || (mountId && parent.mountId && mountId != parent.mountId) || dev != parent.dev;
    }
};

// Reads the entry `name` of the open folder `dirFd` ("" for the folder itself). Returns 0 or errno.
int statEntry(int dirFd, const char* name, EntryInfo& out);

// The error when the entry `now` is not the one the review saw: nothing when it is.
std::optional<RemovalError> changedFromReview(const std::string& path, const EntryInfo& now,
                                              const ReviewedEntry& reviewed);

// The folder holding a path's last component, opened as a path descriptor without following any
// link below the trusted anchor: only the anchor (the longest of `anchors` and `pinned` the path
// lies strictly inside, else "/") may itself be reached through a link, and a pinned one only
// while it is the folder it was pinned as. A folder on the way that is now a link or a file, or a
// pinned folder that now leads elsewhere, is an error with cause pathChanged.
// With `knownMounts` (the mounts there were when the path was seen), a folder that lies on a mount
// made since is an error with cause pathChanged too: something was mounted over a folder on its
// way, and what it shows now is not what was reviewed.
struct ParentFolder {
    UniqueFd fd;
    std::string name;  // the last component
    std::optional<RemovalError> error;
};
using MountIds = std::unordered_set<uint64_t>;
ParentFolder openParent(const std::string& path, const std::vector<std::string>& anchors,
                        const std::vector<PinnedFolder>& pinned = {}, const MountIds* knownMounts = nullptr);

// What is being done when a call fails: it tells which folder's permissions were in the way.
enum class FailedStep { unlink, open, rename };

// The error of `step` failing with `code` on entry `name` of the open folder `dirFd`, with its
// cause told apart: an immutable or append-only item or folder, or a folder of the user's own
// whose permissions forbid it (named in the message). `path` is what failed; `entryPath`, the path
// of `name`, when that is a folder on the way to it.
RemovalError removalErrorAt(int code, int dirFd, const char* name, const std::string& path, FailedStep step,
                            const std::string& entryPath = {});

// The real path of an open folder, from the kernel; empty when unknown.
std::string realPathOf(int fd);

// The mount points of this process's mount table (unescaped), each with its id, file-system type
// and options.
struct MountEntry {
    uint64_t id = 0;
    uint64_t parent = 0;
    std::string device;  // "major:minor" of its file system
    std::string root;    // the folder of its file system that the mount shows ("/" unless a bind)
    std::string mountPoint;
    std::string type;
    std::string options;  // the mount's and the super block's options, comma-joined
};
std::vector<MountEntry> readMountTable();
// The ids of the mounts there are now.
MountIds currentMountIds();
// The ids of the mounts of `then` that are still there as they were. The kernel hands a freed id to
// the next mount, so an id alone does not say that a mount is the one seen before.
MountIds mountsUnchangedSince(const std::vector<MountEntry>& then);
std::vector<MountEntry> parseMountTable(const std::string& mountInfo);

// An overlay file system's own layer: unlinking a name that has no file there only hides the lower
// layer's file, which keeps its bytes.
struct OverlayUpper {
    std::string mountPoint;
    std::string upperDir;  // empty when the overlay has no upper layer or it can't be told
};
// The upper layer of the overlay that the open folder `fd` lies on; nothing when it is no overlay.
std::optional<OverlayUpper> overlayUpperOf(int fd);
// What unlinking the overlay file at `realPath` gives back: the allocated bytes of its upper-layer
// file, 0 when it has none or that layer is out of reach.
int64_t overlayBytesFreed(const OverlayUpper& overlay, const std::string& realPath);

// The first mount point strictly inside the folder whose real path is `folder`, if any.
std::optional<std::string> mountInside(const std::string& folder, const std::vector<MountEntry>& mounts);

}  // namespace nimbrel
