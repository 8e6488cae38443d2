#include "platform/removal_fs.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "engine/path_rules.h"

namespace nimbrel {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int statEntry(int dirFd, const char* name, EntryInfo& out) {
    struct statx sx {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (name[0] == '\0' ? AT_EMPTY_PATH : 0);
    if (statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) return errno;
    out.mode = sx.stx_mode;
    out.uid = sx.stx_uid;
    out.links = sx.stx_nlink;
    out.allocated = int64_t(sx.stx_blocks) * 512;
    out.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    out.ino = sx.stx_ino;
    out.mountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    out.mountRoot =
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    out.length = int64_t(sx.stx_size);
    out.modifiedNs = int64_t(sx.stx_mtime.tv_sec) * 1'000'000'000 + sx.stx_mtime.tv_nsec;
    out.changedNs = int64_t(sx.stx_ctime.tv_sec) * 1'000'000'000 + sx.stx_ctime.tv_nsec;
    return 0;
}

EntryIdentity EntryInfo::identity() const {
    struct stat st {};
    st.st_mode = mode;
    st.st_dev = dev;
    st.st_ino = ino;
    st.st_size = length;
    st.st_mtim = {time_t(modifiedNs / 1'000'000'000), long(modifiedNs % 1'000'000'000)};
    st.st_ctim = {time_t(changedNs / 1'000'000'000), long(changedNs % 1'000'000'000)};
    return EntryIdentity::of(st);
}

std::optional<RemovalError> changedFromReview(const std::string& path, const EntryInfo& now,
                                              const ReviewedEntry& reviewed) {
    if (reviewed.identity) {
        EntryIdentity seen = now.identity();
        const EntryIdentity& expected = *reviewed.identity;
        // Another name of it taken by this very removal changed the file's change time, nothing else.
        if (reviewed.namesTaken && seen.type == EntryIdentity::Type::file &&
            reviewed.namesTaken->count(seen.key) && seen.key == expected.key && seen.size == expected.size &&
            seen.modifiedNs == expected.modifiedNs)
            seen.changedNs = expected.changedNs;
        std::string what = expected.difference(seen);
        if (!what.empty()) return RemovalError::changed(path, what);
    }
    if (reviewed.notFolder && now.isFolder())
        return RemovalError::changed(path, "a folder took the file's place");
    return std::nullopt;
}

namespace {

std::string trimmed(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// FS_IMMUTABLE_FL or FS_APPEND_FL on entry `name` of `dirFd` ("." for the folder itself).
bool isImmutableAt(int dirFd, const char* name) {
    // Only files and folders are opened to ask: opening a device could act on the device.
    EntryInfo entry;
    if (statEntry(dirFd, std::strcmp(name, ".") == 0 ? "" : name, entry) != 0 ||
        !(S_ISREG(entry.mode) || S_ISDIR(entry.mode)))
        return false;
    UniqueFd fd(openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return false;
    int flags = 0;
    if (ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) return false;
    return flags & (FS_IMMUTABLE_FL | FS_APPEND_FL);
}

// Who owns an entry, as the user knows them: "the system (root)", or a user by name.
std::string ownerName(uid_t uid) {
    if (uid == 0) return "the system (root)";
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(4096);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return "another user (" + std::string(found->pw_name) + ")";
    return "another user (" + std::to_string(uid) + ")";
}

std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

}  // namespace

namespace {

// Where the walk to a path starts: the deepest anchor the path lies in, or a pinned folder deeper
// still (which must still be the folder that was reviewed).
struct Anchor {
    std::string path = "/";
    const PinnedFolder* pin = nullptr;
};

Anchor anchorOf(const std::string& path, const std::vector<std::string>& anchors,
                const std::vector<PinnedFolder>& pinned) {
    Anchor anchor;
    for (const std::string& candidate : anchors) {
        const std::string a = trimmed(candidate);
        if (!a.empty() && a.front() == '/' && PathRules::isInside(path, a) && a.size() > anchor.path.size())
            anchor.path = a;
    }
    for (const PinnedFolder& candidate : pinned) {
        if (isRemovablePathSpelling(candidate.path) && PathRules::isInside(path, candidate.path) &&
            candidate.path.size() > anchor.path.size()) {
            anchor.path = candidate.path;
            anchor.pin = &candidate;
        }
    }
    return anchor;
}

// Opens the anchor into `fd`: the one place a link may lead, the scan root or the home folder as the
// user has it.
std::optional<RemovalError> openAnchor(const Anchor& anchor, const std::string& path, UniqueFd& fd) {
    const int opened = open(anchor.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) {
        // Judged from the folder that holds the anchor, as every other step is.
        const int code = errno;
        const std::string above = PathRules::parent(anchor.path);
        UniqueFd up(open(above.empty() ? "/" : above.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!up) return RemovalError::posix(code, path + ": " + std::strerror(code));
        const std::string name(PathRules::lastComponent(anchor.path));
        return removalErrorAt(code, up.get(), name.c_str(), path, FailedStep::open, anchor.path);
    }
    fd.reset(opened);
    EntryInfo reached;
    if (anchor.pin && (statEntry(fd.get(), "", reached) != 0 || reached.dev != dev_t(anchor.pin->device) ||
                       reached.ino != ino_t(anchor.pin->inode)))
        return RemovalError::refused(
            RemovalError::Cause::pathChanged,
            path + ": " + anchor.path +
                " no longer leads to the folder that was reviewed; nothing was removed");
    return std::nullopt;
}

// Goes down from the anchor open in `fd` to the folder that holds the path's last component, one
// folder at a time and following no link.
std::optional<RemovalError> walkDown(UniqueFd& fd, const std::string& path, const std::string& anchor) {
    const size_t last = path.rfind('/');
    size_t start = anchor == "/" ? 1 : anchor.size() + 1;
    while (start < last) {
        size_t end = path.find('/', start);
        const std::string component = path.substr(start, end - start);
        UniqueFd next(openat(fd.get(), component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            const int code = errno;
            if (code == ENOTDIR || code == ELOOP)
                return RemovalError::refused(
                    RemovalError::Cause::pathChanged,
                    path + ": " + path.substr(0, end) +
                        " is no longer a folder (a link or a file took its place); nothing was removed");
            return removalErrorAt(code, fd.get(), component.c_str(), path, FailedStep::open,
                                  path.substr(0, end));
        }
        fd = std::move(next);
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

ParentFolder openParent(const std::string& path, const std::vector<std::string>& anchors,
                        const std::vector<PinnedFolder>& pinned, const MountIds* knownMounts) {
    ParentFolder parent;
    if (!isRemovablePathSpelling(path)) {
        parent.error = RemovalError::refused(RemovalError::Cause::notNormal,
                                             path + ": not a normal absolute path; nothing was removed");
        return parent;
    }
    const Anchor anchor = anchorOf(path, anchors, pinned);
    UniqueFd fd;
    parent.error = openAnchor(anchor, path, fd);
    if (!parent.error) parent.error = walkDown(fd, path, anchor.path);
    if (parent.error) return parent;
    EntryInfo folder;
    if (knownMounts && statEntry(fd.get(), "", folder) == 0 && folder.mountId != 0 &&
        !knownMounts->count(folder.mountId)) {
        parent.error = RemovalError::refused(
            RemovalError::Cause::pathChanged,
            path + ": a file system was mounted on its way since it was scanned; nothing was removed");
        return parent;
    }
    parent.fd = std::move(fd);
    parent.name = path.substr(path.rfind('/') + 1);
    return parent;
}

namespace {

// Not the system's protection: in a shared folder with the sticky bit, another user's entry may be
// taken out only by its owner or the folder's.
void explainSticky(RemovalError& error, int code, int dirFd, const char* name, const std::string& path,
                   uid_t me) {
    EntryInfo folder, entry;
    if (statEntry(dirFd, "", folder) == 0 && (folder.mode & S_ISVTX) && folder.uid != me &&
        statEntry(dirFd, name, entry) == 0 && entry.uid != me) {
        error.cause = RemovalError::Cause::notYours;
        error.description = path + ": " + std::strerror(code) + " (it belongs to " + ownerName(entry.uid) +
                            ", in a shared folder where only its owner may take it out)";
    }
}

// Whose permissions were in the way: the folder the entry is taken out of, or for an open or a move
// of a folder the folder itself. When that folder is the user's own, it is theirs to change, not
// someone else's, and the message names it: the item is often not the folder that refuses.
void explainDenied(RemovalError& error, int code, int dirFd, const char* name, const std::string& path,
                   const std::string& entryPath, FailedStep step, uid_t me) {
    EntryInfo folder, entry;
    const bool folderKnown = statEntry(dirFd, "", folder) == 0;
    const bool entryKnown = statEntry(dirFd, name, entry) == 0;
    // Taking an entry out needs the folder's write and search rights, opening one its search right;
    // opening a folder to list it needs its own read right, and moving it elsewhere its write right.
    const mode_t folderRights = step == FailedStep::open ? 0100 : 0300;
    const mode_t entryRights = step == FailedStep::open ? 0500 : 0300;
    const bool folderLocked = folderKnown && folder.uid == me && (folder.mode & folderRights) != folderRights;
    const bool entryLocked = entryKnown && entry.isFolder() && entry.uid == me &&
                             step != FailedStep::unlink && (entry.mode & entryRights) != entryRights;
    if (folderLocked || entryLocked) {
        error.cause = RemovalError::Cause::ownFolderLocked;
        const std::string locked = folderLocked ? PathRules::parent(entryPath) : entryPath;
        error.description = path + ": " + std::strerror(code) + " (your folder " + locked +
                            (step == FailedStep::open
                                 ? " can't be opened or read; give yourself read access to that folder)"
                                 : " does not allow changes; give yourself write access to that folder)");
        return;
    }
    // Someone else's folder is in the way. Say whose, and that the item may well be the user's own:
    // a file of theirs in a folder of the system's is not the system's file.
    const bool entryMine = entryKnown && entry.uid == me;
    const int folderNeeds = step == FailedStep::open ? X_OK : W_OK | X_OK;
    if (folderKnown && folder.uid != me && faccessat(dirFd, ".", folderNeeds, AT_EACCESS) != 0) {
        const std::string owner = ownerName(folder.uid);
        error.description = path + ": " + std::strerror(code) +
                            (entryMine ? " (it is yours, but the folder it is in belongs to " + owner +
                                             " and does not let you take things out of it)"
                                       : " (the folder it is in belongs to " + owner +
                                             " and does not let you take things out of it)");
    } else if (entryKnown && entry.isFolder() && !entryMine && step != FailedStep::unlink) {
        error.description =
            path + ": " + std::strerror(code) + " (this folder belongs to " + ownerName(entry.uid) +
            (step == FailedStep::open ? " and does not let you read it)" : " and does not let you move it)");
    }
}

}  // namespace

RemovalError removalErrorAt(int code, int dirFd, const char* name, const std::string& path, FailedStep step,
                            const std::string& entryPath) {
    if (code == ENOENT) return RemovalError::notFound(path + ": " + std::strerror(code));
    RemovalError error = RemovalError::posix(code, path + ": " + std::strerror(code));
    if (code != EPERM && code != EACCES) return error;
    if (isImmutableAt(dirFd, name) || isImmutableAt(dirFd, ".")) {
        error.cause = RemovalError::Cause::immutable;
        error.description = path + ": marked immutable or append-only (" + std::strerror(code) + ")";
        return error;
    }
    const uid_t me = geteuid();
    if (me == 0) return error;
    if (code == EPERM)
        explainSticky(error, code, dirFd, name, path, me);
    else
        explainDenied(error, code, dirFd, name, path, entryPath.empty() ? path : entryPath, step, me);
    return error;
}

std::string realPathOf(int fd) {
    char buffer[PATH_MAX + 1];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t length = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0 || length >= ssize_t(sizeof buffer - 1) || buffer[0] != '/') return {};
    return std::string(buffer, size_t(length));
}

std::vector<MountEntry> parseMountTable(const std::string& mountInfo) {
    std::vector<MountEntry> mounts;
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, devNumbers, root, mountPoint, options, field;
        if (!(fields >> id >> parent >> devNumbers >> root >> mountPoint >> options)) continue;
        // Optional fields run up to a lone "-"; then the type, the source and the super options.
        while (fields >> field && field != "-") {
        }
        std::string type, source, superOptions;
        fields >> type >> source >> superOptions;
        MountEntry entry;
        entry.id = std::strtoull(id.c_str(), nullptr, 10);
        entry.parent = std::strtoull(parent.c_str(), nullptr, 10);
        entry.device = devNumbers;
        entry.root = unescapeMountField(root);
        entry.mountPoint = unescapeMountField(mountPoint);
        entry.type = type;
        entry.options = options + "," + superOptions;
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> readMountTable() {
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    return parseMountTable(text.str());
}

MountIds currentMountIds() {
    MountIds ids;
    for (const MountEntry& mount : readMountTable())
        ids.insert(mount.id);
    return ids;
}

MountIds mountsUnchangedSince(const std::vector<MountEntry>& then) {
    std::unordered_map<uint64_t, const MountEntry*> before;
    for (const MountEntry& mount : then)
        before.emplace(mount.id, &mount);
    MountIds ids;
    for (const MountEntry& now : readMountTable()) {
        const auto it = before.find(now.id);
        if (it == before.end()) continue;
        const MountEntry& was = *it->second;
        if (was.parent == now.parent && was.device == now.device && was.root == now.root &&
            was.mountPoint == now.mountPoint && was.type == now.type)
            ids.insert(now.id);
    }
    return ids;
}

std::optional<OverlayUpper> overlayUpperOf(int fd) {
    constexpr long kOverlayMagic = 0x794c7630;
    struct statfs fs {};
    EntryInfo folder;
    if (fstatfs(fd, &fs) != 0 || fs.f_type != kOverlayMagic || statEntry(fd, "", folder) != 0)
        return std::nullopt;
    OverlayUpper overlay;
    for (const MountEntry& mount : readMountTable()) {
        if (mount.id != folder.mountId) continue;
        overlay.mountPoint = mount.mountPoint;
        // The kernel writes commas, blanks and backslashes in the value as octal escapes.
        const std::string options = "," + mount.options;
        const std::string key = ",upperdir=";
        const size_t at = options.find(key);
        if (at == std::string::npos) break;
        const size_t start = at + key.size();
        overlay.upperDir = unescapeMountField(options.substr(start, options.find(',', start) - start));
    }
    return overlay;
}

int64_t overlayBytesFreed(const OverlayUpper& overlay, const std::string& realPath) {
    if (overlay.upperDir.empty() || !PathRules::isInside(realPath, overlay.mountPoint)) return 0;
    const std::string relative =
        overlay.mountPoint == "/" ? realPath : realPath.substr(overlay.mountPoint.size());
    struct stat upper {};
    if (lstat((overlay.upperDir + relative).c_str(), &upper) != 0 || !S_ISREG(upper.st_mode)) return 0;
    return int64_t(upper.st_blocks) * 512;
}

std::optional<std::string> mountInside(const std::string& folder, const std::vector<MountEntry>& mounts) {
    for (const MountEntry& mount : mounts)
        if (PathRules::isInside(mount.mountPoint, folder)) return mount.mountPoint;
    return std::nullopt;
}

}  // namespace nimbrel
