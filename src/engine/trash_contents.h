#pragma once

#include <string>
#include <unordered_set>
#include <vector>

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
// Every user's Trash folder at the top of a mounted local volume (".Trash-<uid>", ".Trash/<uid>");
// `shared` receives the volumes' shared ".Trash" folders themselves.
std::vector<std::string> volumeTrashFolders(std::vector<std::string>* shared = nullptr);

// The identities (device, inode) of the layout's Trash folders (links followed) and of every
// user's Trash folders on the mounted local volumes: a Trash reached through a bind mount or a
// linked root has another path but the same identity.
std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout);

// True when the folder `path` is a Trash folder or lies inside one, judged on disk: every folder
// from its resolved place up to "/" is compared with `identities` and read by its name.
bool isInTrashOnDisk(const std::string& path, const HostLayout& layout,
                     const std::unordered_set<InodeKey>& identities);

}  // namespace nimbrel
