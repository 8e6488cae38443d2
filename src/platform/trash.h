#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/deletion.h"
#include "engine/host_layout.h"
#include "platform/file_remover.h"

namespace nimbrel {

// Moving to the freedesktop.org Trash: the home Trash ($XDG_DATA_HOME/Trash) for items on its
// mount, otherwise the mount's own <top>/.Trash/<uid> (a sticky, real .Trash) or <top>/.Trash-<uid>.
// The move is one rename from the item's folder, opened without following links below a trusted
// anchor, so what moves is what was reviewed. A move that fails, or a file system without a Trash
// (memory and system file systems, mounts marked x-gvfs-notrash, system folders), is an error: the
// item stays where it is, whole, and nothing is deleted instead.
struct Trash {
    // Moves the file, folder or link (the link itself) at `path`, absolute and normal. A folder
    // that is or holds a mount point is refused whole. `anchors`, `pinned`, `reviewed`: see
    // FileRemover; `knownMounts`: see openParent. `leavingBytes`, when given, receives what emptying
    // the Trash would give back of the moved item (allocated bytes of its files; a hard-linked file
    // only once all its names are in the Trash: moved with it, or before it by the same removal,
    // as `takenNames` records), 0 on failure.
    static std::optional<RemovalError> moveToTrash(const std::string& path,
                                                   const std::vector<std::string>& anchors = {},
                                                   int64_t* leavingBytes = nullptr,
                                                   const std::vector<PinnedFolder>& pinned = {},
                                                   const ReviewedEntry& reviewed = {},
                                                   const std::unordered_set<uint64_t>* knownMounts = nullptr,
                                                   FileRemover::LinkedNames* takenNames = nullptr);

    // Where the Trash folder `trashFolder` really is, when a link on the way leads it to a folder
    // the guard keeps (the home, one of its main folders, a system folder): filling or emptying its
    // files/ and info/ there would take the user's own files. Nothing when it leads elsewhere.
    static std::optional<std::string> keptPlaceBehind(const std::string& trashFolder,
                                                      const HostLayout& layout);

    // The text of a .trashinfo file for an item whose original path (absolute for the home Trash,
    // relative to the mount's top for a volume's) is `originalPath`.
    static std::string trashInfo(const std::string& originalPath, const std::string& deletionDate);
};

}  // namespace nimbrel
