#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace nimbrel {

// Lexical path normaliser shared by every comparison of paths: expands a leading "~" (with the given
// home) or "~user", drops empty and "." parts, lets ".." remove the previous part, never climbs above
// "/", and returns an absolute path. Nothing on disk is consulted; links are not resolved.
std::string normalizePath(const std::string& path, const std::string& home);

// The file system label of a block device, from /dev/disk/by-label; empty when it has none.
std::string blockDeviceLabel(dev_t device);

// The folder facts of the machine the program runs on: the safety guard's tables, the scan's system
// skips, the Trash folder, the root volume's name and the Full Disk Access probes. The macOS tables
// are always present; a Linux host adds its own folders to them.
struct HostLayout {
    enum class Host { macOS, linux };

    Host host = Host::macOS;
    std::string home;  // normalised: "/home/u/" and "/home/u" are the same home

    std::unordered_set<std::string> guardExact;
    // Ordered; an entry protects the folder itself and everything below it.
    std::vector<std::string> guardPrefixes;
    // Folders that stay while their children may be removed.
    std::unordered_set<std::string> contentsOnly;
    // Parent folders whose direct children are volume mount points ("/Volumes" -> "/Volumes/<name>").
    std::vector<std::string> mountParents;
    // Parent folders whose grandchildren are mount points ("/media" -> "/media/<user>/<name>").
    std::vector<std::string> userMountParents;

    std::unordered_set<std::string> systemSkips;
    std::string trashFolder;
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

    // The path with a host folder that has a macOS Library counterpart rewritten to that counterpart
    // ("~/.cache/pip" -> "~/Library/Caches/pip"); other paths come back unchanged.
    std::string asLibraryPath(const std::string& normalized) const;

    static HostLayout macOS(const std::string& home);
    static HostLayout linux(const std::string& home);

    // The layout of this machine, built once from the home folder the system reports.
    static const HostLayout& current();
};

}  // namespace nimbrel
