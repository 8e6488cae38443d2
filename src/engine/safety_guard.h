#pragma once

#include <string>
#include <unordered_set>

#include "engine/host_layout.h"

namespace nimbrel {

// The last word on what may never be removed, whatever the user ticks: system folders, the home
// folder and its main folders, key stores and volume mount points. Every form without a layout
// judges against HostLayout::current(); the layout forms let tests check either host.
struct SafetyGuard {
    // True when the path may never be removed. Any spelling that normalizePath accepts is judged
    // after normalising it.
    static bool isProtected(const std::string& path);
    static bool isProtected(const std::string& path, const HostLayout& layout);

    // The same judgement of the place the path really names on disk: its folder with every link
    // resolved, its own name left as it is (a link itself is removed, never followed). A path that
    // reaches a protected folder through a linked folder ("/tmp/home-link/.ssh") is protected too.
    // Reads the disk; a folder that cannot be resolved leaves only the path's own judgement.
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

// The text as it stands on macOS; elsewhere the host's variant, with "%1" replaced by the host's
// system name ("Part of %1, never touched" -> "Part of Linux, never touched").
std::string hostLocalized(const HostLayout& layout, const char* macText, const char* hostPattern);

}  // namespace nimbrel
