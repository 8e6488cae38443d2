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
