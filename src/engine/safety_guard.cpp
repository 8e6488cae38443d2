#include "engine/safety_guard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "engine/localized.h"
#include "engine/path_rules.h"
#include "engine/trash_contents.h"

namespace nimbrel {

namespace {

// The folder a prefix entry names: "/usr/bin/" -> "/usr/bin". The folder itself is protected too,
// not only what lies below it.
std::string_view prefixFolder(const std::string& entry) {
    std::string_view folder(entry);
    if (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    return folder;
}

// True when `p` is a direct child of one of `parents` ("/home/other" of "/home").
bool isChildOf(const std::string& p, const std::vector<std::string>& parents) {
    for (const std::string& parent : parents)
        if (PathRules::isInside(p, parent) && p.find('/', parent.size() + 1) == std::string::npos)
            return true;
    return false;
}

std::optional<InodeKey> identity(const std::string& path, bool followLast) {
    struct stat st {};
    if ((followLast ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
    return InodeKey{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<std::string> resolved(const std::string& path) {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return std::nullopt;
    return std::string(buffer);
}

// The normalised path with its folder's links resolved, its own name kept; unchanged when the folder
// cannot be resolved.
std::string withResolvedFolder(const std::string& p) {
    if (p == "/") return p;
    const auto real = resolved(PathRules::parent(p));
    if (!real) return p;
    return (*real == "/" ? std::string() : *real) + "/" + std::string(PathRules::lastComponent(p));
}

std::string mountedVolumeReason() {
    return localized("A mounted volume can't be nimbrelised. Open it to clean inside");
}

}  // namespace

std::string hostLocalized(const HostLayout& layout, const char* macText, const char* hostPattern) {
    if (layout.isMac()) return localized(macText);
    std::string text = localized(hostPattern);
    if (size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, layout.systemName);
    return text;
}

bool SafetyGuard::isProtected(const std::string& path) {
    return isProtected(path, HostLayout::judging());
}

bool SafetyGuard::isProtected(const std::string& path, const HostLayout& layout) {
    const std::string p = normalizePath(path, layout.home);
    if (layout.guardExact.count(p)) return true;
    for (const std::string& entry : layout.guardPrefixes)
        if (PathRules::isAtOrInside(p, prefixFolder(entry))) return true;
    if (layout.isMountPointPath(p)) return true;
    // Another user's home folder is kept like the user's own.
    if (isChildOf(p, layout.usersHomeParents)) return true;
    // The Trash is emptied, never removed nor taken apart, wherever $XDG_DATA_HOME puts it: moving a
    // trashed item again would strand its restore information.
    if (layout.isTrashOrInside(p)) return true;
    if (!layout.trashFolder.empty() && PathRules::isInside(layout.trashFolder, p)) return true;
    for (const std::string& e : layout.guardExact)
        if (PathRules::isInside(e, p)) return true;
    for (const std::string& entry : layout.guardPrefixes)
        if (PathRules::isInside(prefixFolder(entry), p)) return true;
    return false;
}

std::string SafetyGuard::onDiskPath(const std::string& path) {
    return withResolvedFolder(normalizePath(path, HostLayout::current().home));
}

bool SafetyGuard::isProtectedOnDisk(const std::string& path) {
    return DiskGuard::current()->isProtected(path);
}

std::string SafetyGuard::reasonOnDisk(const std::string& path) {
    return DiskGuard::current()->reason(path);
}

std::string SafetyGuard::reason(const std::string& path) {
    return reason(path, HostLayout::judging());
}

std::string SafetyGuard::reason(const std::string& path, const HostLayout& layout) {
    const std::string p = normalizePath(path, layout.home);
    if (layout.contentsOnly.count(p))
        return localized(
            "The folder stays; everything inside it is nimbrelised (except Apple's own com.apple.* items)");
    if (layout.isInsideTrash(p)) return localized("Already in the Trash: it goes when the Trash is emptied");
    if (layout.isTrashOrInside(p))
        return localized("The Trash is emptied from the Trash drain in Deep Clean");
    for (const std::string& home : layout.homeSpellings) {
        if (p == home) return localized("Your home folder can't be nimbrelised");
        const std::string h = home == "/" ? std::string() : home;
        if (p.starts_with(h + "/Library/Keychains") ||
            (!layout.isMac() && p.starts_with(h + "/.local/share/keyrings")))
            return localized("Your saved passwords and certificates are never touched");
        if (p.starts_with(h + "/.ssh") || p.starts_with(h + "/.gnupg"))
            return localized("Your SSH and encryption keys are never touched");
    }
    if (isChildOf(p, layout.usersHomeParents))
        return localized("Another user's home folder is never touched");
    if (layout.isMountPointPath(p)) return mountedVolumeReason();
    for (const std::string& home : layout.homeSpellings)
        if (home != "/" && p.starts_with(home + "/"))
            return hostLocalized(layout,
                                 "macOS and your apps expect this folder to exist. Open it to clean inside",
                                 "%1 and your apps expect this folder to exist. Open it to clean inside");
    return hostLocalized(layout, "Part of macOS, never touched", "Part of %1, never touched");
}

const std::unordered_set<std::string>& SafetyGuard::contentsOnly() {
    return HostLayout::judging().contentsOnly;
}

// --- on disk -------------------------------------------------------------------------------------

namespace {

struct KnownVolumes {
    std::mutex mutex;
    std::optional<std::vector<std::string>> mountTops;
    std::uint64_t generation = 0;  // a guard current() made for an earlier answer is not reused
};

KnownVolumes& knownVolumes() {
    static KnownVolumes* known = new KnownVolumes;  // never destroyed: workers may judge at exit
    return *known;
}

std::vector<std::string> volumeTops() {
    KnownVolumes& known = knownVolumes();
    {
        std::lock_guard lock(known.mutex);
        if (known.mountTops) return *known.mountTops;
    }
    return localMountTops();
}

}  // namespace

void DiskGuard::useVolumes(std::optional<std::vector<std::string>> mountTops) {
    KnownVolumes& known = knownVolumes();
    std::lock_guard lock(known.mutex);
    known.mountTops = std::move(mountTops);
    ++known.generation;
}

DiskGuard::DiskGuard(const HostLayout& layout) : DiskGuard(layout, volumeTops()) {}

DiskGuard::DiskGuard(const HostLayout& layout, const std::vector<std::string>& tops) : layout_(layout) {
    // `path` is protected by identity; every folder above its resolved place holds it.
    auto remember = [this](std::unordered_map<InodeKey, std::string>& table, const std::string& path) {
        const auto id = identity(path, true);
        if (!id) return;
        table.try_emplace(*id, path);
        const auto real = resolved(path);
        if (!real) return;
        for (std::string above = PathRules::parent(*real);; above = PathRules::parent(above)) {
            if (const auto aboveID = identity(above, true)) holders_.try_emplace(*aboveID, path);
            if (above == "/") break;
        }
    };
    for (const std::string& entry : layout_.guardExact)
        remember(exact_, entry);
    for (const std::string& entry : layout_.guardPrefixes)
        remember(trees_, std::string(prefixFolder(entry)));
    remember(trees_, layout_.trashFolder);
    for (const std::string& spelling : layout_.trashSpellings)
        remember(trees_, spelling);
    // Every user's Trash on the mounted volumes, and the shared ".Trash" folders that hold them:
    // the folders above them, up to "/", hold a Trash under every name they go by.
    std::vector<std::string> shared;
    for (const std::string& trash : volumeTrashFolders(tops, &shared))
        remember(trees_, trash);
    for (const std::string& trash : shared)
        remember(exact_, trash);
    mountTops_.insert(tops.begin(), tops.end());
    for (const std::string& parent : layout_.usersHomeParents) {
        DIR* folder = ::opendir(parent.c_str());
        if (!folder) continue;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string_view name(entry->d_name);
            if (name != "." && name != "..") remember(exact_, parent + "/" + std::string(name));
        }
        ::closedir(folder);
    }
}

const DiskGuard::Folder& DiskGuard::folder(const std::string& normalized) const {
    // Called with the mutex held. The folders not seen yet, nearest first, are learnt from the top
    // down, so each folder is read once however deep the paths go.
    std::vector<std::string> unknown;
    for (std::string f = normalized; !folders_.count(f); f = PathRules::parent(f)) {
        unknown.push_back(f);
        if (f == "/") break;
    }
    for (auto it = unknown.rbegin(); it != unknown.rend(); ++it) {
        Folder learnt;
        learnt.resolved = resolved(*it);
        if (const auto id = identity(*it, true); id && trees_.count(*id))
            learnt.tree = trees_.at(*id);
        else if (*it != "/")
            if (const Folder& above = folders_.at(PathRules::parent(*it)); above.tree)
                learnt.tree = *above.tree + "/" + std::string(PathRules::lastComponent(*it));
        folders_.emplace(*it, std::move(learnt));
    }
    return folders_.at(normalized);
}

std::optional<std::string> DiskGuard::protectedPlace(const std::string& path) const {
    // Only a plain absolute path is read the same by the guard and by the system: "a/lnk/../b" names
    // another folder on disk than it does on paper.
    if (!PathRules::isNormalAbsolute(path)) return path;
    const std::string& p = path;
    if (SafetyGuard::isProtected(p, layout_)) return p;
    // The item itself is judged without following it: a link goes as a link.
    if (const auto own = identity(p, false)) {
        for (const auto* table : {&exact_, &trees_, &holders_})
            if (auto it = table->find(*own); it != table->end()) return it->second;
    }
    if (auto trash = heldTrash(p)) return trash;
    if (p == "/") return std::nullopt;
    std::lock_guard lock(mutex_);
    const Folder& parent = folder(PathRules::parent(p));
    // Below a protected tree, whatever the names on the way.
    if (parent.tree) return *parent.tree + "/" + std::string(PathRules::lastComponent(p));
    // Through a linked folder: the resolved spelling too (a Trash or a mount point by name).
    if (parent.resolved) {
        const std::string onDisk = (*parent.resolved == "/" ? std::string() : *parent.resolved) + "/" +
                                   std::string(PathRules::lastComponent(p));
        if (onDisk != p && SafetyGuard::isProtected(onDisk, layout_)) return onDisk;
    }
    return std::nullopt;
}

std::optional<std::string> DiskGuard::heldTrash(const std::string& p) const {
    {
        std::lock_guard lock(mutex_);
        if (auto it = held_.find(p); it != held_.end()) return it->second;
    }
    // The folder itself, never where it leads: a link to a volume goes as a link.
    std::optional<std::string> trash;
    const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (DIR* folder = fd >= 0 ? ::fdopendir(fd) : nullptr) {
        while (const dirent* entry = ::readdir(folder)) {
            const std::string_view name(entry->d_name);
            struct stat st {};
            if ((HostLayout::isVolumeTrashName(name) || HostLayout::isSharedTrashName(name)) &&
                ::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(st.st_mode)) {
                trash = (p == "/" ? std::string() : p) + "/" + std::string(name);
                break;
            }
        }
        ::closedir(folder);
    } else if (fd >= 0) {
        ::close(fd);
    }
    std::lock_guard lock(mutex_);
    held_.try_emplace(p, trash);
    return trash;
}

bool DiskGuard::isProtected(const std::string& path) const {
    return protectedPlace(path).has_value();
}

std::string DiskGuard::reason(const std::string& path) const {
    if (!PathRules::isNormalAbsolute(path)) return localized("Only a plain absolute path is removed");
    const auto place = protectedPlace(path);
    // A volume mounted where no place names one is kept for the Trash it holds; it still reads as
    // the volume it is.
    if (place && PathRules::isInside(*place, path) && mountTops_.count(path)) return mountedVolumeReason();
    return SafetyGuard::reason(place.value_or(path), layout_);
}

std::shared_ptr<const DiskGuard> DiskGuard::current() {
    static std::mutex mutex;
    static std::shared_ptr<const DiskGuard> guard;
    static std::chrono::steady_clock::time_point made;
    static std::uint64_t madeFor = 0;
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t generation = [] {
        std::lock_guard known(knownVolumes().mutex);
        return knownVolumes().generation;
    }();
    if (!guard || now - made > std::chrono::seconds(1) || madeFor != generation) {
        guard = std::make_shared<const DiskGuard>(HostLayout::current());
        made = now;
        madeFor = generation;
    }
    return guard;
}

}  // namespace nimbrel
