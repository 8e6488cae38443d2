#include "engine/trash_contents.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include "engine/bounded_wait.h"
#include "engine/disk_scanner.h"
#include "engine/path_rules.h"
#include "engine/tree_build.h"
#include "engine/volume_info.h"

namespace nimbrel {

namespace {

// A volume's Trash by its name, as HostLayout reads it from a path.
bool isVolumeTrash(const DirNode& node) {
    const std::string_view name(node.name);
    if (HostLayout::isVolumeTrashName(name)) return true;
    return node.parent() && HostLayout::isSharedTrashName(PathRules::lastComponent(node.parent()->name)) &&
           HostLayout::isUid(name);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> childNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

void clearMarks(DirNode& top) {
    std::vector<DirNode*> pending = {&top};
    while (!pending.empty()) {
        DirNode* node = pending.back();
        pending.pop_back();
        TreeBuild::markArtifact(*node, std::nullopt);
        for (const auto& child : node->children())
            pending.push_back(child.get());
    }
}

// Everything below the folders the walk knew as Trash folders by identity, whatever it is called
// here; the folders lose their build-product marks, and `paths` receives theirs.
std::unordered_set<const DirNode*> insideTrashNodes(const std::vector<DirNode*>& trashNodes,
                                                    std::vector<std::string>& paths) {
    std::unordered_set<const DirNode*> inside;
    std::vector<const DirNode*> pending;
    for (DirNode* node : trashNodes) {
        clearMarks(*node);
        paths.push_back(node->path());
        pending.push_back(node);
    }
    while (!pending.empty()) {
        const DirNode* node = pending.back();
        pending.pop_back();
        if (!inside.insert(node).second) continue;
        for (const auto& child : node->children())
            pending.push_back(child.get());
    }
    return inside;
}

}  // namespace

void leaveOutTrashContents(ScanResult& result, const HostLayout& layout,
                           const std::vector<DirNode*>& trashNodes) {
    std::erase_if(TreeBuild::artifacts(result),
                  [&](const DevArtifact& a) { return layout.isTrashOrInside(a.path); });
    std::vector<std::string> paths;
    const std::unordered_set<const DirNode*> inside =
        result.root() ? insideTrashNodes(trashNodes, paths) : std::unordered_set<const DirNode*>{};
    result.unlist([&](const FileItem& f) {
        return layout.isInsideTrash(f.path) || (f.parent && inside.count(f.parent));
    });
    if (!result.root()) return;
    std::erase_if(TreeBuild::artifacts(result), [&](const DevArtifact& a) {
        return std::any_of(paths.begin(), paths.end(),
                           [&](const std::string& p) { return PathRules::isAtOrInside(a.path, p); });
    });
    if (layout.isTrashOrInside(result.root()->name)) {
        clearMarks(*result.root());
        return;
    }
    std::vector<DirNode*> pending = {result.root().get()};
    for (const std::string& trash : layout.trashSpellings)
        if (auto node = result.node(trash)) clearMarks(*node);
    if (auto node = result.node(layout.trashFolder)) clearMarks(*node);
    while (!pending.empty()) {
        DirNode* node = pending.back();
        pending.pop_back();
        if (isVolumeTrash(*node)) {
            clearMarks(*node);
            continue;
        }
        for (const auto& child : node->children())
            pending.push_back(child.get());
    }
}

namespace {

// Whether the mount is a local file system, asked about without risk: not a network share, nor a
// FUSE file system other than a disk's, nor an automount point (looking inside it would mount what
// it stands for).
bool isLocalMount(const VolumeInfo::MountEntry& mount) {
    static const char* const kRemote[] = {"nfs",  "nfs4",      "cifs",   "smb3",  "smbfs", "9p",    "afs",
                                          "ceph", "glusterfs", "lustre", "davfs", "ncpfs", "autofs"};
    const std::string& type = mount.fsType;
    return !(type.starts_with("fuse") && type != "fuseblk") &&
           std::none_of(std::begin(kRemote), std::end(kRemote),
                        [&](const char* remote) { return type == remote; });
}

std::string readMountInfo() {
    std::ifstream table("/proc/self/mountinfo");
    std::stringstream text;
    text << table.rdbuf();
    return text.str();
}

std::optional<InodeKey> folderIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

std::vector<std::string> localMountTops() {
    std::vector<std::string> tops;
    for (const VolumeInfo::MountEntry& mount : VolumeInfo::parseMountInfo(readMountInfo()))
        if (isLocalMount(mount)) tops.push_back(mount.mountPoint);
    return tops;
}

namespace {

struct TrashFolder {
    std::string path;
    InodeKey identity;
};

// The user's Trash folders at the top of a volume, with the identity their one lstat gave.
std::vector<TrashFolder> userTrashFolders(const std::string& mountPoint, unsigned uid) {
    const std::string top = mountPoint == "/" ? std::string() : mountPoint;
    std::vector<TrashFolder> folders;
    // Only a real folder of the user's own: trashing never moves anything into another one, so
    // emptying must not delete what such a folder holds.
    auto addOwned = [&](std::string path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid)
            folders.push_back({std::move(path), InodeKey{static_cast<std::uint64_t>(st.st_dev),
                                                         static_cast<std::uint64_t>(st.st_ino)}});
    };
    struct stat shared {};
    // The shared .Trash counts only when it is a real folder with the sticky bit.
    if (::lstat((top + "/.Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX))
        addOwned(top + "/.Trash/" + std::to_string(uid));
    addOwned(top + "/.Trash-" + std::to_string(uid));
    return folders;
}

}  // namespace

std::vector<std::string> userTrashFoldersAt(const std::string& mountPoint, unsigned uid) {
    std::vector<std::string> paths;
    for (TrashFolder& folder : userTrashFolders(mountPoint, uid))
        paths.push_back(std::move(folder.path));
    return paths;
}

TrashUsage measureUserTrash(const std::string& homeTrash, const std::string& mountInfo, unsigned uid) {
    struct Measured {
        InodeKey identity;
        DiskUsage usage;
    };
    TrashUsage out;
    // A home Trash that is a link (a data home kept elsewhere) is emptied through it: what it leads
    // to is what emptying deletes.
    char resolved[PATH_MAX];
    out.usage =
        DiskScanner::usage(::realpath(homeTrash.c_str(), resolved) ? std::string(resolved) : homeTrash);
    out.usage.exists = true;
    std::unordered_set<InodeKey> seen;
    if (const auto home = folderIdentity(homeTrash)) seen.insert(*home);
    for (const VolumeInfo::MountEntry& mount : VolumeInfo::parseMountInfo(mountInfo)) {
        std::function<std::vector<Measured>()> measure = [mountPoint = mount.mountPoint, uid] {
            std::vector<Measured> measured;
            for (const TrashFolder& folder : userTrashFolders(mountPoint, uid))
                measured.push_back({folder.identity, DiskScanner::usage(folder.path)});
            return measured;
        };
        const std::optional<std::vector<Measured>> measured =
            isLocalMount(mount)
                ? measure()
                : answerWithin("trash:" + mount.mountPoint, VolumeInfo::kNetworkLimit, measure);
        bool holdsSome = false;
        for (const Measured& folder : measured.value_or(std::vector<Measured>{})) {
            // Another mount of a volume already counted (a bind) shows the same folders.
            if (!seen.insert(folder.identity).second) continue;
            out.usage.size += folder.usage.size;
            out.usage.items += folder.usage.items;
            out.usage.readable = out.usage.readable && folder.usage.readable;
            out.onVolumes += folder.usage.size;
            holdsSome = holdsSome || folder.usage.size > 0 || folder.usage.items > 0;
        }
        if (holdsSome) out.volumes.push_back(mount.mountPoint);
    }
    return out;
}

std::vector<std::string> volumeTrashFolders(const std::vector<std::string>& mountTops,
                                            std::vector<std::string>* shared) {
    std::vector<std::string> trashes;
    for (const std::string& mountPoint : mountTops) {
        const std::string top = mountPoint == "/" ? std::string() : mountPoint;
        for (const std::string& name : childNames(top.empty() ? "/" : top)) {
            const std::string path = top + "/" + name;
            if (HostLayout::isVolumeTrashName(name) && isFolder(path)) trashes.push_back(path);
            if (!HostLayout::isSharedTrashName(name) || !isFolder(path)) continue;
            if (shared) shared->push_back(path);
            for (const std::string& user : childNames(path))
                if (HostLayout::isUid(user) && isFolder(path + "/" + user))
                    trashes.push_back(path + "/" + user);
        }
    }
    return trashes;
}

TrashUsage measureUserTrash(const std::string& homeTrash) {
    return measureUserTrash(homeTrash, readMountInfo(), ::getuid());
}

std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout) {
    return trashIdentities(layout, localMountTops());
}

std::unordered_set<InodeKey> trashIdentities(const HostLayout& layout,
                                             const std::vector<std::string>& mountTops) {
    std::unordered_set<InodeKey> ids;
    auto add = [&](const std::string& path) {
        struct stat st {};
        if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            ids.insert(
                InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    };
    add(layout.trashFolder);
    for (const std::string& spelling : layout.trashSpellings)
        add(spelling);
    // The volumes' own Trash folders, of every user: none of them is offered for removal.
    for (const std::string& trash : volumeTrashFolders(mountTops))
        add(trash);
    return ids;
}

bool isInTrashOnDisk(const std::string& path, const HostLayout& layout,
                     const std::unordered_set<InodeKey>& identities) {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return layout.isTrashOrInside(path);
    const std::string real(buffer);
    if (layout.isTrashOrInside(path) || layout.isTrashOrInside(real)) return true;
    for (std::string folder = real;; folder = PathRules::parent(folder)) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 &&
            identities.count(
                InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}))
            return true;
        if (folder == "/") return false;
    }
}

}  // namespace nimbrel
