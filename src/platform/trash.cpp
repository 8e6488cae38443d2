#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "engine/safety_guard.h"
#include "platform/file_remover.h"
#include "platform/removal_fs.h"

namespace nimbrel {

namespace {

RemovalError noTrash(const std::string& path, const std::string& why) {
    return RemovalError::refused(RemovalError::Cause::noTrash,
                                 path + ": can't be moved to the Trash (" + why + "); nothing was moved");
}

// File systems that keep nothing a Trash could give back, or are the system's own.
bool hasNoTrash(const MountEntry& mount) {
    static const std::array<const char*, 22> kTypes = {
        "tmpfs",   "ramfs",    "devtmpfs",    "proc",       "sysfs",    "devpts", "cgroup",    "cgroup2",
        "mqueue",  "debugfs",  "tracefs",     "securityfs", "pstore",   "bpf",    "hugetlbfs", "autofs",
        "fusectl", "configfs", "binfmt_misc", "efivarfs",   "squashfs", "iso9660"};
    for (const char* type : kTypes)
        if (mount.type == type) return true;
    if (mount.options.find("x-gvfs-notrash") != std::string::npos) return true;
    static const std::array<const char*, 12> kSystem = {"/",    "/boot", "/usr", "/var",  "/tmp", "/var/tmp",
                                                        "/opt", "/srv",  "/dev", "/proc", "/sys", "/run"};
    for (const char* folder : kSystem)
        if (mount.mountPoint == folder) return true;
    for (const char* folder : {"/dev", "/proc", "/sys", "/boot"})
        if (PathRules::isInside(mount.mountPoint, folder)) return true;
    return PathRules::isInside(mount.mountPoint, "/run") &&
           !PathRules::isInside(mount.mountPoint, "/run/media");
}

// Opens (making it 0700 when missing) the folder `name` of `dirFd`, never through a link.
UniqueFd ownFolder(int dirFd, const char* name, bool mustBeMine) {
    if (mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) return {};
    UniqueFd fd(openat(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    EntryInfo info;
    if (!fd || statEntry(fd.get(), "", info) != 0) return {};
    if (mustBeMine && info.uid != geteuid()) return {};
    return fd;
}

// mkdir -p for the home Trash, through the links the user's data home may hold.
bool makeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// The entry of a path, or of its nearest existing ancestor: its mount and device.
EntryInfo entryNear(std::string path) {
    while (!path.empty()) {
        UniqueFd fd(open(path.c_str(), O_PATH | O_CLOEXEC));
        EntryInfo info;
        if (fd && statEntry(fd.get(), "", info) == 0) return info;
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) break;
        path = slash == 0 ? (path == "/" ? "" : "/") : path.substr(0, slash);
    }
    return {};
}

// The part of `path` below `folder` ("" for the folder itself), when it lies there.
std::optional<std::string> below(const std::string& path, const std::string& folder) {
    if (path == folder) return std::string();
    if (!PathRules::isInside(path, folder)) return std::nullopt;
    return folder == "/" ? path : path.substr(folder.size());
}

// The item's folder `folder` (real path `realParent`) lies on the home Trash's file system but is
// reached through another mount of it (a bind of the home): the same folder reached through the
// mount `homeMountId` that holds the home Trash, so the move stays one rename into the home Trash.
// Nothing when that mount does not show it.
UniqueFd sameFolderThroughMount(const EntryInfo& folder, const std::string& realParent,
                                const std::string& name, uint64_t homeMountId) {
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry *itemMount = nullptr, *homeMount = nullptr;
    for (const MountEntry& mount : mounts) {
        if (mount.id == folder.mountId) itemMount = &mount;
        if (mount.id == homeMountId) homeMount = &mount;
    }
    if (!itemMount || !homeMount || realParent.empty()) return {};
    const auto inMount = below(realParent, itemMount->mountPoint);
    if (!inMount) return {};
    const std::string onDevice = (itemMount->root == "/" ? std::string() : itemMount->root) + *inMount;
    const auto inHome = below(onDevice.empty() ? "/" : onDevice, homeMount->root);
    if (!inHome) return {};
    const std::string there =
        (homeMount->mountPoint == "/" ? std::string() : homeMount->mountPoint) + *inHome;
    ParentFolder parent = openParent(there + "/" + name, {homeMount->mountPoint});
    EntryInfo reached;
    if (parent.error || statEntry(parent.fd.get(), "", reached) != 0 || !reached.sameObject(folder) ||
        reached.mountId != homeMountId)
        return {};
    return std::move(parent.fd);
}

std::string percentEncoded(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The name of the item in files/ at the n-th try. Its info file adds ".trashinfo", which must
// still fit in a name: a longer name is shortened (never inside a UTF-8 sequence), since the info's
// Path= keeps the original one.
std::string trashNameFor(const std::string& name, int n) {
    const std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    const size_t room = NAME_MAX - suffix.size() - std::strlen(".trashinfo");
    if (name.size() <= room) return name + suffix;
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut) + suffix;
}

RemovalError mountError(const std::string& path) {
    RemovalError error = RemovalError::refused(
        RemovalError::Cause::mountPoint,
        path + ": is or holds a mounted file system (mount point); not moved to the Trash");
    error.domain = RemovalError::Domain::posix;
    error.code = EXDEV;
    return error;
}

// The item to move, as found in its folder: read without following links below a trusted anchor.
struct TrashItem {
    UniqueFd parentOwned, homeSide;  // the folder opened, and the same folder through the home's mount
    int parentFd = -1;               // the one the move is made from
    std::string name;
    EntryInfo folder, item;
    std::string realParent;

    // Moving a folder with a file system mounted inside would carry that file system into the
    // Trash, and emptying it would delete what the mount shows.
    bool carriesMount() const {
        const std::string realPath = (realParent == "/" ? "" : realParent) + "/" + name;
        return item.crossesMount(folder) || (item.isFolder() && !realParent.empty() &&
                                             mountInside(realPath, readMountTable()).has_value());
    }
};

// Step 1: open the item's folder, read the item and check it is what was reviewed and may move.
std::optional<RemovalError> openItem(const std::string& path, const std::vector<std::string>& anchors,
                                     const std::vector<PinnedFolder>& pinned, const MountIds* knownMounts,
                                     const ReviewedEntry& reviewed, TrashItem& out) {
    ParentFolder parent = openParent(path, anchors, pinned, knownMounts);
    if (parent.error) return parent.error;
    out.parentOwned = std::move(parent.fd);
    out.parentFd = out.parentOwned.get();
    out.name = std::move(parent.name);
    if (int code = statEntry(out.parentFd, "", out.folder))
        return RemovalError::posix(code, path + ": " + std::strerror(code));
    if (int code = statEntry(out.parentFd, out.name.c_str(), out.item))
        return removalErrorAt(code, out.parentFd, out.name.c_str(), path, FailedStep::rename);
    if (out.item.crossesMount(out.folder)) return mountError(path);
    if (auto changed = changedFromReview(path, out.item, reviewed)) return changed;
    out.realParent = realPathOf(out.parentFd);
    if (out.carriesMount()) return mountError(path);
    return std::nullopt;
}

// Step 2: an item on the home's own file system but reached through another mount of it (a bind
// of the home) still goes to the home Trash, by one rename from the same folder reached through
// the home's mount, where the same checks are made again (that mount may hold other mounts).
std::optional<RemovalError> moveToHomeSide(const std::string& path, const EntryInfo& homeTrash,
                                           TrashItem& it) {
    if (it.folder.mountId == 0 || homeTrash.mountId == 0 || it.folder.mountId == homeTrash.mountId ||
        it.folder.dev != homeTrash.dev)
        return std::nullopt;
    it.homeSide = sameFolderThroughMount(it.folder, it.realParent, it.name, homeTrash.mountId);
    EntryInfo there, itemThere;
    if (!it.homeSide || statEntry(it.homeSide.get(), "", there) != 0 ||
        statEntry(it.homeSide.get(), it.name.c_str(), itemThere) != 0 || !itemThere.sameObject(it.item))
        return std::nullopt;
    it.parentFd = it.homeSide.get();
    it.folder = there;
    it.item = itemThere;
    it.realParent = realPathOf(it.parentFd);
    if (it.carriesMount()) return mountError(path);
    return std::nullopt;
}

struct TrashTarget {
    UniqueFd files, info;
    std::string originalPath;  // for Path=
};

// Step 3a: the home Trash, for an item on the home Trash's mount.
std::optional<RemovalError> openHomeTrash(const std::string& path, const std::string& homeTrash,
                                          TrashTarget& target) {
    if (auto kept = Trash::keptPlaceBehind(homeTrash, HostLayout::current()))
        return noTrash(path, homeTrash + " leads to " + *kept + ", a folder that is never a Trash");
    if (!makeFolders(homeTrash)) return noTrash(path, homeTrash + ": " + std::strerror(errno));
    // The home Trash is where the user's data home says, through a link if it is one.
    UniqueFd trash(open(homeTrash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!trash) return noTrash(path, homeTrash + ": " + std::strerror(errno));
    target.files = ownFolder(trash.get(), "files", false);
    target.info = ownFolder(trash.get(), "info", false);
    target.originalPath = path;
    return std::nullopt;
}

// Step 3b: the Trash of the item's own volume: its shared .Trash/<uid> (a real, sticky .Trash),
// otherwise its .Trash-<uid>.
std::optional<RemovalError> openVolumeTrash(const std::string& path, const TrashItem& it,
                                            TrashTarget& target) {
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry* mount = nullptr;
    for (const MountEntry& entry : mounts)
        if (it.folder.mountId != 0 && entry.id == it.folder.mountId) mount = &entry;
    if (!mount || hasNoTrash(*mount)) return noTrash(path, "this file system has no Trash");
    UniqueFd top(open(mount->mountPoint.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    EntryInfo topInfo, shared;
    if (!top || statEntry(top.get(), "", topInfo) != 0 || topInfo.mountId != mount->id)
        return noTrash(path, "the top of its file system is out of reach");
    const std::string uid = std::to_string(geteuid());
    UniqueFd trash;
    if (statEntry(top.get(), ".Trash", shared) == 0 && shared.isFolder() && (shared.mode & S_ISVTX)) {
        UniqueFd sharedFd(openat(top.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedFd) trash = ownFolder(sharedFd.get(), uid.c_str(), true);
    }
    if (!trash) trash = ownFolder(top.get(), (".Trash-" + uid).c_str(), true);
    if (!trash) return noTrash(path, "no Trash folder can be made on its file system");
    target.files = ownFolder(trash.get(), "files", true);
    target.info = ownFolder(trash.get(), "info", true);
    // A volume's Trash keeps the path relative to the volume's top, so it survives another mount point.
    const std::string& topPath = mount->mountPoint;
    const std::string realPath = (it.realParent == "/" ? "" : it.realParent) + "/" + it.name;
    if (it.realParent.empty())
        target.originalPath = path;
    else if (topPath == "/")
        target.originalPath = realPath.substr(1);
    else if (PathRules::isInside(realPath, topPath))
        target.originalPath = realPath.substr(topPath.size() + 1);
    else
        target.originalPath = realPath;
    return std::nullopt;
}

// Writes the info file `infoName` anew; an error when it exists already (errno EEXIST) or fails.
int writeInfo(const TrashTarget& target, const std::string& infoName, const std::string& info) {
    const int infoFd = openat(target.info.get(), infoName.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (infoFd < 0) return errno;
    errno = EIO;  // a short write sets nothing
    const bool written = write(infoFd, info.data(), info.size()) == ssize_t(info.size());
    int infoError = written ? 0 : errno;
    // A file system may report running out of room only when the file is closed.
    if (::close(infoFd) != 0 && written) infoError = errno;
    if (infoError != 0) unlinkat(target.info.get(), infoName.c_str(), 0);
    return infoError;
}

// What reached files/ must be the entry checked in step 1: a swap between that check and the
// rename is put back where it was found (or, when its name is taken meanwhile, left in the Trash
// with its info, where it can be restored), and the move is a failure.
std::optional<RemovalError> checkMoved(const std::string& path, const TrashItem& it,
                                       const TrashTarget& target, const std::string& trashName,
                                       const std::string& infoName) {
    EntryInfo moved;
    if (statEntry(target.files.get(), trashName.c_str(), moved) == 0 && moved.sameObject(it.item) &&
        (moved.mode & S_IFMT) == (it.item.mode & S_IFMT))
        return std::nullopt;
    if (renameat2(target.files.get(), trashName.c_str(), it.parentFd, it.name.c_str(), RENAME_NOREPLACE) ==
        0) {
        unlinkat(target.info.get(), infoName.c_str(), 0);
        return RemovalError::changed(path, "another entry took its place as it was being moved");
    }
    return RemovalError::changed(path,
                                 "another entry took its place as it was being moved; it is in the Trash");
}

// Step 4: the info file first, then the one rename into files/, under the first free name.
std::optional<RemovalError> moveInto(const std::string& path, const TrashItem& it,
                                     const TrashTarget& target) {
    const std::string info = Trash::trashInfo(target.originalPath, now());
    for (int n = 1; n < 10000; ++n) {
        const std::string trashName = trashNameFor(it.name, n);
        const std::string infoName = trashName + ".trashinfo";
        if (int code = writeInfo(target, infoName, info)) {
            if (code == EEXIST) continue;
            return noTrash(path, "its Trash info can't be written: " + std::string(std::strerror(code)));
        }
        if (renameat2(it.parentFd, it.name.c_str(), target.files.get(), trashName.c_str(),
                      RENAME_NOREPLACE) == 0)
            return checkMoved(path, it, target, trashName, infoName);
        const int code = errno;
        unlinkat(target.info.get(), infoName.c_str(), 0);
        if (code == EEXIST) continue;  // a name in files/ without its info: take the next
        // Another file system, or one that cannot rename this item (a folder from an overlay's lower layer).
        if (code == EXDEV) return noTrash(path, "its file system can't move it into its Trash");
        return removalErrorAt(code, it.parentFd, it.name.c_str(), path, FailedStep::rename);
    }
    return noTrash(path, "no free name in the Trash");
}

}  // namespace

std::optional<std::string> Trash::keptPlaceBehind(const std::string& trashFolder, const HostLayout& layout) {
    char buffer[PATH_MAX];
    if (!::realpath(trashFolder.c_str(), buffer)) return std::nullopt;
    const std::string real(buffer);
    if (real == trashFolder || layout.isTrashOrInside(real)) return std::nullopt;
    if (SafetyGuard::isProtected(real, layout)) return real;
    return std::nullopt;
}

std::string Trash::trashInfo(const std::string& originalPath, const std::string& deletionDate) {
    return "[Trash Info]\nPath=" + percentEncoded(originalPath) + "\nDeletionDate=" + deletionDate + "\n";
}

std::optional<RemovalError> Trash::moveToTrash(const std::string& path,
                                               const std::vector<std::string>& anchors, int64_t* leavingBytes,
                                               const std::vector<PinnedFolder>& pinned,
                                               const ReviewedEntry& reviewed, const MountIds* knownMounts,
                                               LinkedNames* takenNames) {
    if (leavingBytes) *leavingBytes = 0;
    TrashItem it;
    if (auto error = openItem(path, anchors, pinned, knownMounts, reviewed, it)) return error;
    const std::string homeTrash = HostLayout::current().trashFolder;
    const EntryInfo homeTrashInfo = entryNear(homeTrash);
    if (auto error = moveToHomeSide(path, homeTrashInfo, it)) return error;
    TrashTarget target;
    const bool toHomeTrash = it.folder.mountId != 0 && homeTrashInfo.mountId == it.folder.mountId;
    if (auto error = toHomeTrash ? openHomeTrash(path, homeTrash, target) : openVolumeTrash(path, it, target))
        return error;
    if (!target.files || !target.info) return noTrash(path, "its Trash has no usable files and info folders");
    // What emptying the Trash will give back of it, counted as a removal for good would count it.
    // The walk also finds a folder that holds a Trash, which keeps the whole item where it is.
    LinkedNames namesHere;
    std::optional<RemovalError> heldTrash;
    const int64_t leaving =
        leavingBytes || it.item.isFolder()
            ? FileRemover::bytesLeaving(it.parentFd, it.name, path, takenNames, &namesHere, &heldTrash)
            : 0;
    if (heldTrash) return heldTrash;
    if (auto error = moveInto(path, it, target)) return error;
    if (leavingBytes) *leavingBytes = leaving;
    if (takenNames)
        for (const auto& [key, names] : namesHere)
            (*takenNames)[key] += names;
    return std::nullopt;
}

}  // namespace nimbrel
