#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/deletion.h"
#include "engine/inode_key.h"

namespace nimbrel {

// Removal for good that cannot be led astray: the item's folder is reached without following links
// below a trusted anchor, every step works relative to an open folder (openat/unlinkat), a symbolic
// link is removed as a link and never followed, and a mount point (another file system or a bind
// mount) is never entered nor removed. Any depth: the walk keeps its own stack of folders and only
// a few of them open, re-opening a parent through ".." and checking it is the same folder.
// An entry that cannot go stays with the folders that hold it, and the rest goes; the first such
// failure is the item's. A folder on the way that changed stops the removal at once. What went is
// reported either way.
struct FileRemover {
    struct Report {
        std::optional<RemovalError> error;
        // Allocated bytes of the names unlinked whose link count was 1: what the disk got back.
        int64_t freedBytes = 0;
        // When the item stayed: the paths directly under it that went whole.
        std::vector<std::string> goneInside;
        // Names of hard-linked files it unlinked.
        LinkedNames linkedNamesGone;
    };
    // At most this many folders of one removal are open at a time.
    static constexpr size_t kOpenFolders = 16;

    // Removes the file, link or folder tree at `path`, which must be absolute and normal; `anchors`
    // are the folders that may themselves be reached through a link. A path that does not exist
    // gives the "no such file" error.
    // `pinned`: folders that may be reached through links while they are the folders pinned.
    // `reviewed`: what the entry must still be (what the scan saw); anything else stays whole, with
    // a failure saying it changed since the scan.
    // `knownMounts`: see openParent.
    // `stop`: once set, the removal ends before its next entry, with a `stopped` error.
    static Report removeForGood(const std::string& path, const std::vector<std::string>& anchors = {},
                                const std::vector<PinnedFolder>& pinned = {},
                                const ReviewedEntry& reviewed = {},
                                const std::unordered_set<uint64_t>* knownMounts = nullptr,
                                const std::atomic<bool>* stop = nullptr);

    // What removing the entry `name` of the open folder `parentFd` would give back, walked the same
    // way and removing nothing: its files' allocated bytes, a hard-linked file only when all its
    // names lie inside it or were taken before (`takenBefore`, by earlier items of the same
    // removal), as a removal for good credits the last name it unlinks. What cannot be read counts
    // for nothing. `namesHere`, when given, receives the hard-linked names inside it.
    // `heldTrash`, when given, receives why the entry must stay whole: a folder in it that holds a
    // Trash folder.
    static int64_t bytesLeaving(int parentFd, const std::string& name, const std::string& path,
                                const LinkedNames* takenBefore = nullptr, LinkedNames* namesHere = nullptr,
                                std::optional<RemovalError>* heldTrash = nullptr);

    // Removes the entry `name` of the open folder `parentFd`; `path` names it in messages. A folder
    // that holds a Trash folder (".Trash", ".Trash-UID", any letter case) is never entered: it stays
    // whole, with the folders above it, and the rest goes. `insideTrash` (emptying the Trash, where
    // the user has already let everything go) gives folders of the user's own u+rwx before emptying
    // them and empties Trash-named folders too.
    static Report removeEntry(int parentFd, const std::string& name, const std::string& path,
                              bool insideTrash = false, const ReviewedEntry& reviewed = {},
                              const std::atomic<bool>* stop = nullptr);
};

}  // namespace nimbrel
