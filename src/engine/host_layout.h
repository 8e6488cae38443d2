#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/path_rules.h"

namespace nimbrel {

// The file system label of a block device, from /dev/disk/by-label; empty when it has none.
std::string blockDeviceLabel(dev_t device);

// The folder facts of the machine the program runs on: the safety guard's tables, the scan's system
// skips, the Trash folder, the root volume's name and the Full Disk Access probes. The macOS tables
// are always present; a Linux host adds its own folders to them.
struct HostLayout {
    enum class Host { macOS, linux };

    Host host = Host::macOS;
    std::string home;  // normalised: "/home/u/" and "/home/u" are the same home
    // Every name the home folder goes by, `home` first: a home reached through a link is guarded
    // under its resolved name too.
    std::vector<std::string> homeSpellings;

    std::unordered_set<std::string> guardExact;
    // Ordered; an entry protects the folder itself and everything below it.
    std::vector<std::string> guardPrefixes;
    // Folders that stay while their children may be removed.
    std::unordered_set<std::string> contentsOnly;
    // Parent folders whose direct children are volume mount points ("/Volumes" -> "/Volumes/<name>").
    std::vector<std::string> mountParents;
    // Parent folders whose grandchildren are mount points ("/media" -> "/media/<user>/<name>").
    std::vector<std::string> userMountParents;

    // Parent folders whose direct children are users' home folders ("/home" -> "/home/other").
    std::vector<std::string> usersHomeParents;

    std::unordered_set<std::string> systemSkips;
    std::string trashFolder;
    std::vector<std::string> trashSpellings;  // the Trash under the other names of the home
    // The main folders the desktop names in the user's own language, below the home ("/Dokumente"),
    // guarded under every spelling of the home like the English ones.
    std::vector<std::string> userFolders;
    // Where downloads land: the desktop's Downloads folder when it names one in the home.
    std::string downloadsFolder;
    std::string rootVolumeName;
    std::vector<std::string> fullDiskAccessProbes;  // empty: the permission does not exist here

    // Host folders read as their macOS Library counterparts: (host folder, macOS folder), both
    // absolute and normalised. "~/.cache" -> "~/Library/Caches" on Linux; empty on macOS.
    std::vector<std::pair<std::string, std::string>> libraryEquivalents;

    // The names the user knows the system and its file manager by ("macOS"/"Finder",
    // "Linux"/"File Manager").
    std::string systemName;
    std::string fileManagerName;

    bool isMac() const { return host == Host::macOS; }

    // True when `normalized` is a volume mount point by its place ("/Volumes/Backup",
    // "/media/u/Stick", "/mnt/disk").
    bool isMountPointPath(const std::string& normalized) const;

    // True when `normalized` is a Trash folder (the home Trash, a volume's ".Trash-<uid>" or
    // ".Trash/<uid>", or the volume's shared ".Trash" that holds the latter) or lies inside one;
    // isInsideTrash leaves the Trash folders themselves out, and what the shared ".Trash" holds
    // besides users' Trash folders is in no Trash. Volume Trash folders are recognised by name in
    // any letter case wherever they stand, without the mount table.
    bool isTrashOrInside(const std::string& normalized) const;
    bool isInsideTrash(const std::string& normalized) const;
    // ".Trash" and ".Trash-<uid>" in any letter case; a uid is a non-empty run of digits.
    static bool isSharedTrashName(std::string_view name);
    static bool isVolumeTrashName(std::string_view name);
    static bool isUid(std::string_view name);

    // Adds another name of the home folder (its resolved form) and the guard entries below it.
    void addHomeSpelling(const std::string& other);

    // The folders a desktop's user-dirs.dirs names (lines such as XDG_DOCUMENTS_DIR="$HOME/Dokumente"),
    // by key, absolute and normalised. A line that is not a plain "$HOME/..." or absolute value, and
    // a folder outside the home (and `otherHomes`, its other names) or a home itself, give nothing.
    static std::vector<std::pair<std::string, std::string>> parseUserDirs(
        const std::string& text, const std::string& home, const std::vector<std::string>& otherHomes = {});
    // Makes the folders of a user-dirs.dirs text main folders, and follows its Downloads folder.
    void addUserFolders(const std::string& userDirsText);

    // The path with a host folder that has a macOS Library counterpart rewritten to that counterpart
    // ("~/.cache/pip" -> "~/Library/Caches/pip"); other paths come back unchanged.
    std::string asLibraryPath(const std::string& normalized) const;

    static HostLayout macOS(const std::string& home);
    // Builds the Linux layout; HostLayout::current() adds the resolved home with addHomeSpelling.
    static HostLayout linux(const std::string& home);

    // The layout of this machine, built once from the home folder the system reports.
    static const HostLayout& current();
    // The layout items are judged and shown by (the safety guard, the risk catalogue, the words of the
    // texts, the home that reads "~"): this machine's, except in demo mode, whose sample is a Mac
    // home, judged and named as one. What touches the disk keeps to current().
    static const HostLayout& judging();

  private:
    // The length of the Trash folder that holds or is `normalized`; npos outside every Trash.
    size_t trashRootLength(const std::string& normalized) const;
};

}  // namespace nimbrel
