#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/host_layout.h"
#include "engine/inode_key.h"

namespace nimbrel {

// The last word on what may never be removed, whatever the user ticks: system folders, the home
// folder and its main folders, key stores and volume mount points. Every form without a layout
// judges against HostLayout::judging(); the layout forms let tests check either host.
struct SafetyGuard {
    // True when the path may never be removed. Any spelling that normalizePath accepts is judged
    // after normalising it.
    static bool isProtected(const std::string& path);
    static bool isProtected(const std::string& path, const HostLayout& layout);

    // The same judgement of the place the path really names on disk (DiskGuard::current()): a path
    // that reaches a protected folder through a linked folder ("/tmp/home-link/.ssh") or a bind
    // mount is protected too. The path's own name is not followed: a link itself is removed, never
    // what it points to. A folder that cannot be read leaves only the path's own judgement.
    static bool isProtectedOnDisk(const std::string& path);
    // The path with its folder resolved as above; the normalised path when that folder cannot be.
    static std::string onDiskPath(const std::string& path);
    // The reason for a path refused by isProtectedOnDisk.
    static std::string reasonOnDisk(const std::string& path);

    // One line saying why a path is kept. Meaningful for protected and contents-only paths; any
    // other path still gets a text.
    static std::string reason(const std::string& path);
    static std::string reason(const std::string& path, const HostLayout& layout);

    // Folders that stay while their children may be removed; compare normalised paths against it.
    static const std::unordered_set<std::string>& contentsOnly();
    static const std::unordered_set<std::string>& contentsOnly(const HostLayout& layout) {
        return layout.contentsOnly;
    }
};

// The guard's judgement of places on disk. A protected folder keeps its protection under every name
// that reaches it: a linked parent, a bind mount ("/srv/bound-home/Documents" when the home is bound
// at /srv/bound-home) or a second mount of the same file system. Each protected folder is known by
// its identity (device and inode), read once when the guard is made; a path is judged by its own
// identity and those of its ancestors. One guard may judge from any thread.
class DiskGuard {
  public:
    // The guard of `layout` on the volumes `useVolumes` names: this machine's mounts unless told.
    explicit DiskGuard(const HostLayout& layout);
    // The same with the local volumes mounted at `mountTops` (as localMountTops gives them): their
    // users' Trash folders are guarded by identity, and their tops read as mounted volumes.
    DiskGuard(const HostLayout& layout, const std::vector<std::string>& mountTops);

    // The judgement of SafetyGuard::isProtected, extended to every other name of a protected place.
    // A path that is not plain and absolute (PathRules::isNormalAbsolute) is refused: the system
    // would read its ".." after following links, so it may name another place than the one judged.
    bool isProtected(const std::string& path) const;
    // Why isProtected refused the path (the reason of the protected folder it reaches).
    std::string reason(const std::string& path) const;
    // The protected path that `path` reaches on disk (the path itself when it is protected by its
    // own spelling), or nothing.
    std::optional<std::string> protectedPlace(const std::string& path) const;

    // A guard of this machine's layout, made again when the one at hand is older than a second:
    // cheap enough for every removal, fresh enough for folders made or mounted meanwhile.
    static std::shared_ptr<const DiskGuard> current();
    // The mount tops of the volumes the guards made without any know (the one-argument guard and
    // current()). Unset, as in the app: this machine's local mounts, read as each guard is made. A
    // program that only judges scratch folders of its own names them, or none.
    static void useVolumes(std::optional<std::vector<std::string>> mountTops);

  private:
    // What the guard learnt of one folder on the way to the paths it judged; removals judge many
    // paths of few folders.
    struct Folder {
        std::optional<std::string> resolved;  // with every link followed; nothing when unreadable
        std::optional<std::string> tree;      // the protected tree holding it (or being it), by identity
    };
    const Folder& folder(const std::string& normalized) const;
    // A Trash folder directly inside the folder `normalized` (a volume's top holds its users'
    // Trash folders); nothing for a file, a link or a folder without one.
    std::optional<std::string> heldTrash(const std::string& normalized) const;

    HostLayout layout_;
    std::unordered_map<InodeKey, std::string> exact_;    // folders protected themselves
    std::unordered_map<InodeKey, std::string> trees_;    // folders protected with all they hold
    std::unordered_map<InodeKey, std::string> holders_;  // folders that hold a protected folder
    std::unordered_set<std::string> mountTops_;          // where local file systems are mounted
    mutable std::mutex mutex_;
    mutable std::unordered_map<std::string, Folder> folders_;
    mutable std::unordered_map<std::string, std::optional<std::string>> held_;
};

// The text as it stands on macOS; elsewhere the host's variant, with "%1" replaced by the host's
// system name ("Part of %1, never touched" -> "Part of Linux, never touched").
std::string hostLocalized(const HostLayout& layout, const char* macText, const char* hostPattern);

}  // namespace nimbrel
