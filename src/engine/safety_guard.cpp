#include "engine/safety_guard.h"

#include <climits>
#include <cstdlib>
#include <string_view>

#include "engine/localized.h"

namespace nimbrel {

namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The folder a prefix entry names: "/usr/bin/" -> "/usr/bin". The folder itself is protected too,
// not only what lies below it.
std::string_view prefixFolder(const std::string& entry) {
    std::string_view folder(entry);
    if (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    return folder;
}

bool isSameOrBelow(std::string_view p, std::string_view folder) {
    return p.size() >= folder.size() && p.compare(0, folder.size(), folder) == 0 &&
           (p.size() == folder.size() || p[folder.size()] == '/');
}

// True when `p` lies strictly above `protectedPath` ("/private/var" above "/private/var/db"):
// removing `p` would take the protected path with it.
bool isAncestorOf(std::string_view p, std::string_view protectedPath) {
    if (p == "/") return protectedPath != "/";
    return protectedPath.size() > p.size() + 1 && isSameOrBelow(protectedPath, p);
}

}  // namespace

std::string hostLocalized(const HostLayout& layout, const char* macText, const char* hostPattern) {
    if (layout.isMac()) return localized(macText);
    std::string text = localized(hostPattern);
    if (size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, layout.systemName);
    return text;
}

bool SafetyGuard::isProtected(const std::string& path) {
    return isProtected(path, HostLayout::current());
}

bool SafetyGuard::isProtected(const std::string& path, const HostLayout& layout) {
    const std::string p = normalizePath(path, layout.home);
    if (layout.guardExact.count(p)) return true;
    for (const std::string& entry : layout.guardPrefixes)
        if (isSameOrBelow(p, prefixFolder(entry))) return true;
    if (layout.isMountPointPath(p)) return true;
    // The Trash is emptied, never removed, wherever $XDG_DATA_HOME puts it.
    if (!layout.trashFolder.empty() && (p == layout.trashFolder || isAncestorOf(p, layout.trashFolder)))
        return true;
    for (const std::string& e : layout.guardExact)
        if (isAncestorOf(p, e)) return true;
    for (const std::string& entry : layout.guardPrefixes)
        if (isAncestorOf(p, prefixFolder(entry))) return true;
    return false;
}

std::string SafetyGuard::onDiskPath(const std::string& path) {
    const std::string p = normalizePath(path, HostLayout::current().home);
    const size_t slash = p.rfind('/');
    if (p == "/" || slash == std::string::npos) return p;
    const std::string folder = slash == 0 ? std::string("/") : p.substr(0, slash);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return p;
    const std::string real(resolved);
    return (real == "/" ? std::string() : real) + p.substr(slash);
}

bool SafetyGuard::isProtectedOnDisk(const std::string& path) {
    return isProtected(path) || isProtected(onDiskPath(path));
}

std::string SafetyGuard::reasonOnDisk(const std::string& path) {
    return reason(isProtected(path) ? path : onDiskPath(path));
}

std::string SafetyGuard::reason(const std::string& path) {
    return reason(path, HostLayout::current());
}

std::string SafetyGuard::reason(const std::string& path, const HostLayout& layout) {
    const std::string p = normalizePath(path, layout.home);
    const std::string& home = layout.home;
    if (layout.contentsOnly.count(p))
        return localized(
            "The folder stays; everything inside it is nimbrelised (except Apple's own com.apple.* items)");
    if (p == home) return localized("Your home folder can't be nimbrelised");
    if (startsWith(p, home + "/Library/Keychains") ||
        (!layout.isMac() && startsWith(p, home + "/.local/share/keyrings")))
        return localized("Your saved passwords and certificates are never touched");
    if (startsWith(p, home + "/.ssh") || startsWith(p, home + "/.gnupg"))
        return localized("Your SSH and encryption keys are never touched");
    if (startsWith(p, home + "/"))
        return hostLocalized(layout,
                             "macOS and your apps expect this folder to exist. Open it to clean inside",
                             "%1 and your apps expect this folder to exist. Open it to clean inside");
    return hostLocalized(layout, "Part of macOS, never touched", "Part of %1, never touched");
}

const std::unordered_set<std::string>& SafetyGuard::contentsOnly() {
    return HostLayout::current().contentsOnly;
}

}  // namespace nimbrel
