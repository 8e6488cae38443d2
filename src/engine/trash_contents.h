#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/disk_usage.h"
#include "engine/host_layout.h"
#include "engine/inode_key.h"
#include "engine/scan_result.h"

namespace nimbrel {

// Leaves what lies inside a Trash (the home Trash, a volume's ".Trash-<uid>" or ".Trash/<uid>") out
// of everything a scan offers for removal: the listed files (and so the shelves and twins), the
// build products and the build-product marks of its folders. The folder sizes, counts and category
// totals keep counting it: the space is used until the Trash is emptied. `trashNodes` are folders
// of the result the walk knew as Trash folders by their identity, whatever their path says.
void leaveOutTrashContents(ScanResult& result, const HostLayout& layout,
                           const std::vector<DirNode*>& trashNodes = {});

// The mount points of local file systems. A network share or a FUSE file system (other than a
// disk's) is left out: a server that does not answer must not hold up whoever asks, nor an
// automount point be mounted by looking.
std::vector<std::string> localMountTops();
// Every user's Trash folder at the top of the local volumes mounted at `mountTops` (as
// localMountTops gives them): ".Trash-<uid>", ".Trash/<uid>"; `shared` receives the volumes' shared
// ".Trash" folders themselves.
std::vector<std::string> volumeTrashFolders(const std::vector<std::string>& mountTops,
                                            std::vector<std::string>* shared = nullptr);

// The Trash folders of user `uid` at the top of the volume mounted at `mountPoint` that exist as
// real folders the user owns: <top>/.Trash/<uid> under a real, sticky .Trash, and <top>/.Trash-<uid>.
std::vector<std::string> userTrashFoldersAt(const std::string& mountPoint, unsigned uid);

// What the user's Trash holds: the home Trash and the user's Trash folders on every volume that
// `mountInfo` (the text of /proc/self/mountinfo) lists, each folder counted once however many
// mounts show it.
struct TrashUsage {
    DiskUsage usage;        // all of them together; unreadable when one of them could not be read
    int64_t onVolumes = 0;  // the part in the volumes' Trash folders
    // The mount points of the volumes holding that part, as the mount table lists them.
    std::vector<std::string> volumes = {};

    friend bool operator==(const TrashUsage&, const TrashUsage&) = default;
};
// A share or FUSE file system is measured with a time limit: one that does not answer in time
// counts nothing.
TrashUsage measureUserTrash(const std::string& homeTrash, const std::string& mountInfo, unsigned uid);
// The same for this process's user and mounts.
TrashUsage measureUserTrash(const std::string& homeTrash);

// The identities (device, inode) of the layout's Trash folders (links followed) and of every
// user's Trash folders on the mounted local volumes: a Trash reached through a bind mount or a
// linked root has another path but the same identity.
std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout);
// The same with the local volumes mounted at `mountTops` (as localMountTops gives them).
std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout,
                                             const std::vector<std::string>& mountTops);

// True when the folder `path` is a Trash folder or lies inside one, judged on disk: every folder
// from its resolved place up to "/" is compared with `identities` and read by its name.
bool isInTrashOnDisk(const std::string& path, const HostLayout& layout,
                     const std::unordered_set<InodeKey>& identities);

}  // namespace nimbrel
