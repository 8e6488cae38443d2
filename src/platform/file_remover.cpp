#include "platform/file_remover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "engine/host_layout.h"
#include "engine/inode_key.h"
#include "platform/removal_fs.h"

namespace nimbrel {

namespace {

RemovalError mountPointError(const std::string& path) {
    RemovalError error =
        RemovalError::refused(RemovalError::Cause::mountPoint,
                              path + ": a mounted file system (mount point); never entered or removed");
    error.domain = RemovalError::Domain::posix;
    error.code = EXDEV;
    return error;
}

// A folder that holds a Trash folder (a volume's ".Trash" or ".Trash-UID", any letter case) keeps
// all it holds, as the safety guard keeps it when it is ticked: the Trash holds what the user
// already let go of, maybe another user's, and only the Trash drain may empty it.
RemovalError holdsTrashError(const std::string& path, const std::string& trash) {
    return RemovalError::refused(
        RemovalError::Cause::holdsTrash,
        path + ": holds a Trash folder (" + trash +
            "); a folder that holds a Trash is kept whole, so nothing in it was removed");
}

bool isTrashName(const std::string& name) {
    return HostLayout::isSharedTrashName(name) || HostLayout::isVolumeTrashName(name);
}

RemovalError changedError(const std::string& path) {
    return RemovalError::refused(RemovalError::Cause::pathChanged,
                                 path + ": changed while it was being removed; stopped there");
}

// The errno an unlink of `entry` out of the open folder `parentFd` would fail with for permission
// reasons, or 0. Emptying a folder whose own entry cannot then be unlinked would destroy its
// contents and still fail.
int entryRefusal(int parentFd, const EntryInfo& entry) {
    if (faccessat(parentFd, ".", W_OK | X_OK, AT_EACCESS) != 0) return errno == EROFS ? EROFS : EACCES;
    EntryInfo parent;
    const uid_t me = geteuid();
    // In a sticky folder only the owner of the folder or of the entry may remove it.
    if (me != 0 && statEntry(parentFd, "", parent) == 0 && (parent.mode & S_ISVTX) && parent.uid != me &&
        entry.uid != me)
        return EPERM;
    return 0;
}

// Inside the Trash the user's own folders may lack rights the emptying needs: add u+rwx.
void unlockOwnFolder(int parentFd, const std::string& name, EntryInfo& entry) {
    if (entry.uid != geteuid() || (entry.mode & 0700) == 0700) return;
    UniqueFd fd(openat(parentFd, name.c_str(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
    EntryInfo opened;
    if (!fd || statEntry(fd.get(), "", opened) != 0 || !opened.sameObject(entry)) return;
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    if (chmod(self.c_str(), (entry.mode & 07777) | 0700) == 0) entry.mode |= 0700;
}

struct Frame {
    std::string name;  // in the folder below it in the stack
    EntryInfo info;
    UniqueFd fd;
    std::vector<std::string> names;
    size_t next = 0;
    bool keeps = false;  // something inside it stayed, so it stays too
};

class TreeRemover {
  public:
    // `countOnly`: walk the same way but remove nothing, and only count what a removal would free.
    // `insideTrash`: emptying the Trash, where the user's own folders are unlocked and a folder
    // holding a Trash-named folder is emptied like any other.
    // `stop`: see FileRemover::removeForGood.
    TreeRemover(int baseFd, std::string itemPath, bool insideTrash, bool countOnly = false,
                const std::atomic<bool>* stop = nullptr)
        : baseFd_(baseFd),
          itemPath_(std::move(itemPath)),
          insideTrash_(insideTrash),
          countOnly_(countOnly),
          stop_(stop) {}

    // The first folder met that holds a Trash folder and so is kept whole.
    const std::optional<RemovalError>& heldTrash() const { return heldTrash_; }

    // What removing the whole item would give back: its files' allocated bytes, a hard-linked file
    // only when every one of its names lies inside the item. A part that cannot be read counts 0.
    int64_t countLeaving(const std::string& name, const LinkedNames* takenBefore, LinkedNames* namesHere) {
        run(name);
        int64_t bytes = report_.freedBytes;
        for (const auto& [key, file] : linked_) {
            nlink_t taken = file.seen;
            if (takenBefore)
                if (auto it = takenBefore->find(key); it != takenBefore->end()) taken += it->second;
            if (taken >= file.links) bytes += file.allocated;
            if (namesHere) (*namesHere)[key] += file.seen;
        }
        return bytes;
    }

    // `reviewed`: what the item must still be; it is judged on the entry read here, and a folder is
    // then opened and checked to be that very entry before anything inside it goes.
    FileRemover::Report run(const std::string& name, const ReviewedEntry& reviewed = {}) {
        EntryInfo base, item;
        if (int code = statEntry(baseFd_, "", base))
            return fail(RemovalError::posix(code, itemPath_ + ": " + std::strerror(code)));
        if (int code = statEntry(baseFd_, name.c_str(), item))
            return fail(removalErrorAt(code, baseFd_, name.c_str(), itemPath_, FailedStep::unlink));
        if (item.crossesMount(base)) return fail(mountPointError(itemPath_));
        if (auto changed = changedFromReview(itemPath_, item, reviewed)) return fail(std::move(*changed));
        if (!countOnly_) {
            overlay_ = overlayUpperOf(baseFd_);
            if (overlay_) realBase_ = realPathOf(baseFd_);
        }
        if (!item.isFolder()) {
            if (auto error = unlinkFile(baseFd_, name, item)) return fail(*error);
            return std::move(report_);
        }
        if (!insideTrash_ && isTrashName(name)) {
            heldTrash_ = RemovalError::refused(
                RemovalError::Cause::holdsTrash,
                itemPath_ + ": a Trash folder; only emptying the Trash removes what it holds");
            return fail(*heldTrash_);
        }
        if (auto error = enter(baseFd_, name, item)) return fail(*error);
        while (!frames_.empty()) {
            if (stop_ && stop_->load())
                return fail(
                    RemovalError::refused(RemovalError::Cause::stopped,
                                          itemPath_ + ": stopped as Nimbrel quit; what is left stays"));
            if (auto error = step()) return fail(*error);
        }
        // Something inside stayed, so the item did too: the first reason is its failure.
        if (firstKept_) return fail(*firstKept_);
        return std::move(report_);
    }

  private:
    // One step: the next entry of the deepest folder, or that folder itself once it is empty.
    std::optional<RemovalError> step() {
        Frame& folder = frames_.back();
        if (folder.next < folder.names.size()) {
            const std::string name = folder.names[folder.next++];
            EntryInfo entry;
            // Paths are spelled out only for messages: building one per entry would cost the
            // depth of the tree each time.
            if (int code = statEntry(folder.fd.get(), name.c_str(), entry)) {
                if (code == ENOENT) return gone(name);  // vanished meanwhile: as good as removed
                return keep(
                    removalErrorAt(code, folder.fd.get(), name.c_str(), pathOf(name), FailedStep::unlink));
            }
            if (entry.crossesMount(folder.info)) return keep(mountPointError(pathOf(name)));
            if (!entry.isFolder()) {
                if (auto error = unlinkFile(folder.fd.get(), name, entry)) return keep(std::move(*error));
                return gone(name);
            }
            if (auto error = enter(folder.fd.get(), name, entry)) return keep(std::move(*error));
            return std::nullopt;
        }
        // Empty now (or, when counting, done): take it out of the folder below it, which may need
        // opening again.
        const size_t depth = frames_.size() - 1;
        int parentFd = baseFd_;
        if (depth > 0) {
            Frame& parent = frames_[depth - 1];
            if (!parent.fd) {
                parent.fd =
                    UniqueFd(openat(folder.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                EntryInfo reopened;
                if (!parent.fd || statEntry(parent.fd.get(), "", reopened) != 0 ||
                    !reopened.sameObject(parent.info))
                    return changedError(pathAt(depth - 1));
                lowestOpen_ = depth - 1;
            }
            parentFd = parent.fd.get();
        }
        folder.fd.reset();
        std::optional<RemovalError> stays;
        if (folder.keeps)
            stays = RemovalError();  // what it keeps was reported; it stays for that reason
        else if (!countOnly_ && unlinkat(parentFd, folder.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            stays = removalErrorAt(errno, parentFd, folder.name.c_str(), pathAt(depth), FailedStep::unlink);
        const std::string name = std::move(folder.name);
        frames_.pop_back();
        if (frames_.empty()) return stays && !firstKept_ ? stays : std::nullopt;
        if (stays) return keep(std::move(*stays));
        return gone(name);
    }

    // An entry that stays: the rest of the tree still goes, and every folder holding the entry
    // stays with it. A folder on the way that changed ends the removal at once: what it holds now
    // is not what was reviewed. So does a read-only file system, where nothing more can go.
    std::optional<RemovalError> keep(RemovalError error) {
        if (error.cause == RemovalError::Cause::pathChanged ||
            (error.domain == RemovalError::Domain::posix && error.code == EROFS))
            return error;
        if (!firstKept_ && !error.description.empty()) firstKept_ = error;
        if (frames_.empty()) return std::nullopt;
        Frame& folder = frames_.back();
        folder.keeps = true;
        // A folder the user may not change keeps all it holds: no need to try each entry.
        if (error.domain == RemovalError::Domain::posix && error.code == EACCES && !countOnly_ &&
            faccessat(folder.fd.get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
            folder.next = folder.names.size();
        return std::nullopt;
    }

    std::optional<RemovalError> unlinkFile(int parentFd, const std::string& name, const EntryInfo& entry) {
        if (countOnly_) {
            // What a removal for good would free, below: a link's own block counts like a file's.
            if (!S_ISREG(entry.mode) || entry.links == 1) {
                if (entry.links == 1) report_.freedBytes += entry.allocated;
            } else {
                Linked& file = linked_[InodeKey{uint64_t(entry.dev), uint64_t(entry.ino)}];
                file.links = entry.links;
                file.allocated = entry.allocated;
                ++file.seen;
            }
            return std::nullopt;
        }
        // Another name keeps the data: nothing freed by this one. An overlay's layer is read before
        // the unlink takes the file out of it.
        const int64_t freed = entry.links != 1 ? 0 : overlay_ ? overlayFreed(name) : entry.allocated;
        if (unlinkat(parentFd, name.c_str(), 0) != 0) {
            if (errno == ENOENT) return std::nullopt;
            return removalErrorAt(errno, parentFd, name.c_str(), entryPath(name), FailedStep::unlink);
        }
        report_.freedBytes += freed;
        if (S_ISREG(entry.mode) && entry.links > 1)
            ++report_.linkedNamesGone[InodeKey{uint64_t(entry.dev), uint64_t(entry.ino)}];
        return std::nullopt;
    }

    // On an overlay only a file of its own layer gives bytes back; one of a lower layer is hidden.
    int64_t overlayFreed(const std::string& name) const {
        if (realBase_.empty()) return 0;
        std::string path = realBase_ == "/" ? std::string() : realBase_;
        for (const Frame& frame : frames_)
            path += "/" + frame.name;
        return overlayBytesFreed(*overlay_, path + "/" + name);
    }

    // Opens the folder `name` of `parentFd`, checks it is the one just read, lists it and pushes it.
    std::optional<RemovalError> enter(int parentFd, const std::string& name, EntryInfo entry) {
        if (insideTrash_) unlockOwnFolder(parentFd, name, entry);
        if (int refused = countOnly_ ? 0 : entryRefusal(parentFd, entry))
            return removalErrorAt(refused, parentFd, name.c_str(), entryPath(name), FailedStep::unlink);
        UniqueFd fd(openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            const int code = errno;
            if (code == ENOENT && !frames_.empty()) return gone(name);
            if (code == ENOTDIR || code == ELOOP) return changedError(entryPath(name));
            return removalErrorAt(code, parentFd, name.c_str(), entryPath(name), FailedStep::open);
        }
        EntryInfo opened;
        if (statEntry(fd.get(), "", opened) != 0 || !opened.sameObject(entry))
            return changedError(entryPath(name));
        Frame frame;
        frame.name = name;
        frame.info = entry;
        if (int code = list(fd.get(), frame.names))
            return RemovalError::posix(code, entryPath(name) + ": " + std::strerror(code));
        if (auto trash = insideTrash_ ? std::nullopt : trashFolderIn(fd.get(), frame.names)) {
            RemovalError error = holdsTrashError(entryPath(name), *trash);
            if (!heldTrash_) heldTrash_ = error;
            return error;
        }
        frame.fd = std::move(fd);
        frames_.push_back(std::move(frame));
        // Keep only the deepest few folders open; the others are re-opened through ".." on the way up.
        while (frames_.size() - lowestOpen_ > FileRemover::kOpenFolders) {
            frames_[lowestOpen_].fd.reset();
            ++lowestOpen_;
        }
        return std::nullopt;
    }

    // The name of a Trash folder among `names` of the open folder `fd`, not followed if a link.
    static std::optional<std::string> trashFolderIn(int fd, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            EntryInfo entry;
            if (isTrashName(name) && statEntry(fd, name.c_str(), entry) == 0 && entry.isFolder()) return name;
        }
        return std::nullopt;
    }

    // Every name of the open folder; 0 or errno.
    static int list(int fd, std::vector<std::string>& names) {
        // fdopendir takes over the descriptor it is given, so read through a duplicate.
        int listFd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listFd < 0) return errno;
        DIR* dir = fdopendir(listFd);
        if (!dir) {
            int code = errno;
            close(listFd);
            return code;
        }
        errno = 0;
        while (dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
            errno = 0;
        }
        int code = errno;
        closedir(dir);
        return code;
    }

    // One entry directly inside the deepest folder is gone; the item's own children are listed.
    std::optional<RemovalError> gone(const std::string& name) {
        if (frames_.size() == 1) goneTop_.push_back(name);
        return std::nullopt;
    }

    // The path of the folder at `depth` of the stack (0 is the item), built only for messages.
    std::string pathAt(size_t depth) const {
        std::string path = itemPath_;
        for (size_t i = 1; i <= depth && i < frames_.size(); ++i)
            path += "/" + frames_[i].name;
        return path;
    }
    std::string pathOf(const std::string& name) const { return pathAt(frames_.size() - 1) + "/" + name; }
    // The path of an entry of the deepest folder, or of the item itself before anything is open.
    std::string entryPath(const std::string& name) const {
        return frames_.empty() ? itemPath_ : pathOf(name);
    }

    FileRemover::Report fail(RemovalError error) {
        report_.error = std::move(error);
        for (const std::string& name : goneTop_)
            report_.goneInside.push_back(itemPath_ + "/" + name);
        return std::move(report_);
    }

    int baseFd_;
    std::string itemPath_;
    bool insideTrash_;
    bool countOnly_;
    const std::atomic<bool>* stop_;
    std::optional<RemovalError> heldTrash_;
    struct Linked {
        nlink_t links = 0, seen = 0;
        int64_t allocated = 0;
    };
    std::unordered_map<InodeKey, Linked> linked_;  // hard-linked files met while counting
    std::vector<Frame> frames_;
    std::optional<OverlayUpper> overlay_;  // the overlay the item lies on
    std::string realBase_;                 // the real path of the item's folder, on an overlay
    size_t lowestOpen_ = 0;
    std::vector<std::string> goneTop_;       // entries directly in the item that went whole
    std::optional<RemovalError> firstKept_;  // why the first entry that stayed did
    FileRemover::Report report_;
};

}  // namespace

FileRemover::Report FileRemover::removeEntry(int parentFd, const std::string& name, const std::string& path,
                                             bool insideTrash, const ReviewedEntry& reviewed,
                                             const std::atomic<bool>* stop) {
    return TreeRemover(parentFd, path, insideTrash, false, stop).run(name, reviewed);
}

int64_t FileRemover::bytesLeaving(int parentFd, const std::string& name, const std::string& path,
                                  const LinkedNames* takenBefore, LinkedNames* namesHere,
                                  std::optional<RemovalError>* heldTrash) {
    TreeRemover counter(parentFd, path, false, true);
    const int64_t bytes = counter.countLeaving(name, takenBefore, namesHere);
    if (heldTrash) *heldTrash = counter.heldTrash();
    return bytes;
}

FileRemover::Report FileRemover::removeForGood(const std::string& path,
                                               const std::vector<std::string>& anchors,
                                               const std::vector<PinnedFolder>& pinned,
                                               const ReviewedEntry& reviewed,
                                               const std::unordered_set<uint64_t>* knownMounts,
                                               const std::atomic<bool>* stop) {
    ParentFolder parent = openParent(path, anchors, pinned, knownMounts);
    if (parent.error) {
        Report report;
        report.error = parent.error;
        return report;
    }
    return removeEntry(parent.fd.get(), parent.name, path, false, reviewed, stop);
}

}  // namespace nimbrel
