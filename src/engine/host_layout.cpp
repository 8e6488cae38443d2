#include "engine/host_layout.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace nimbrel {

namespace {

std::string userHome(const std::string& user) {
    if (user.empty()) {
        if (const char* env = std::getenv("HOME"); env && *env) return env;
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
        return "/";
    }
    if (const passwd* pw = getpwnam(user.c_str()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

void addHomeEntries(std::unordered_set<std::string>& set, const std::string& home,
                    std::initializer_list<const char*> suffixes) {
    for (const char* s : suffixes)
        set.insert(home + s);
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Splits a normalised path into its parts ("/a/b" -> {"a", "b"}).
std::vector<std::string> parts(const std::string& p) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(p);
    while (std::getline(in, part, '/'))
        if (!part.empty()) out.push_back(part);
    return out;
}

}  // namespace

std::string blockDeviceLabel(dev_t device) {
    std::error_code ec;
    std::filesystem::directory_iterator it("/dev/disk/by-label", ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (stat(it->path().c_str(), &st) != 0 || !S_ISBLK(st.st_mode) || st.st_rdev != device) continue;
        // udev escapes spaces and slashes as \x20 and \x2f.
        const std::string raw = it->path().filename().string();
        std::string label;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' &&
                std::isxdigit(static_cast<unsigned char>(raw[i + 2])) &&
                std::isxdigit(static_cast<unsigned char>(raw[i + 3]))) {
                label += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                label += raw[i];
            }
        }
        return label;
    }
    return {};
}

std::string normalizePath(const std::string& path, const std::string& home) {
    std::string expanded = path;
    if (!path.empty() && path[0] == '~') {
        size_t slash = path.find('/');
        std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
        std::string base = user.empty() ? home : userHome(user);
        if (!base.empty()) expanded = base + (slash == std::string::npos ? "" : path.substr(slash));
    }
    std::vector<std::string_view> kept;
    std::string_view rest(expanded);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    if (kept.empty()) return "/";
    std::string out;
    out.reserve(expanded.size() + 1);
    for (std::string_view part : kept) {
        out += '/';
        out += part;
    }
    return out;
}

bool HostLayout::isMountPointPath(const std::string& p) const {
    std::vector<std::string> ps = parts(p);
    for (const std::string& parent : mountParents) {
        std::vector<std::string> pp = parts(parent);
        if (ps.size() == pp.size() + 1 && std::equal(pp.begin(), pp.end(), ps.begin())) return true;
    }
    for (const std::string& parent : userMountParents) {
        std::vector<std::string> pp = parts(parent);
        if (ps.size() == pp.size() + 2 && std::equal(pp.begin(), pp.end(), ps.begin())) return true;
    }
    return false;
}

std::string HostLayout::asLibraryPath(const std::string& p) const {
    for (const auto& [hostFolder, macFolder] : libraryEquivalents) {
        if (p == hostFolder) return macFolder;
        if (startsWith(p, hostFolder + "/")) return macFolder + p.substr(hostFolder.size());
    }
    return p;
}

HostLayout HostLayout::macOS(const std::string& rawHome) {
    HostLayout l;
    l.host = Host::macOS;
    l.home = normalizePath(rawHome, "/");
    const std::string& h = l.home;
    l.guardExact = {"/",    "/Applications", "/Library", "/System",    "/Users",         "/Volumes",
                    "/bin", "/sbin",         "/usr",     "/usr/local", "/private",       "/etc",
                    "/var", "/tmp",          "/opt",     "/cores",     "/Library/Caches"};
    addHomeEntries(l.guardExact, h,
                   {"",
                    "/Library",
                    "/Desktop",
                    "/Documents",
                    "/Downloads",
                    "/Pictures",
                    "/Movies",
                    "/Music",
                    "/Applications",
                    "/Public",
                    "/Library/Caches",
                    "/Library/Logs",
                    "/Library/Application Support",
                    "/Library/Containers",
                    "/Library/Group Containers",
                    "/Library/Preferences",
                    "/Library/Developer",
                    "/Library/Mail",
                    "/Library/Messages",
                    "/Library/Mobile Documents",
                    "/Library/CloudStorage",
                    "/Library/Safari",
                    "/Library/Accounts",
                    "/Library/Calendars",
                    "/Library/HomeKit",
                    "/Library/Application Scripts",
                    "/Library/Fonts",
                    "/.Trash"});
    l.guardPrefixes = {"/System/",        "/bin/",
                       "/sbin/",          "/usr/bin/",
                       "/usr/lib/",       "/usr/libexec/",
                       "/usr/sbin/",      "/usr/share/",
                       "/private/etc/",   "/private/var/db/",
                       "/etc/",           "/var/db/",
                       "/Library/Apple/", h + "/Library/Keychains",
                       h + "/.ssh",       h + "/.gnupg"};
    l.contentsOnly = {h + "/Library/Caches", h + "/Library/Logs"};
    l.mountParents = {"/Volumes"};
    l.systemSkips = {"/System/Volumes", "/Volumes", "/dev", "/net", "/home", "/Network", "/automount"};
    l.trashFolder = h + "/.Trash";
    l.rootVolumeName = "Macintosh HD";
    l.fullDiskAccessProbes = {h + "/Library/Application Support/com.apple.TCC/TCC.db",
                              h + "/Library/Safari/CloudTabs.db", h + "/Library/Safari/Bookmarks.plist"};
    l.systemName = "macOS";
    l.fileManagerName = "Finder";
    return l;
}

HostLayout HostLayout::linux(const std::string& rawHome) {
    HostLayout l = macOS(rawHome);
    l.host = Host::linux;
    const std::string& h = l.home;
    for (const char* p : {"/boot", "/dev", "/home", "/lib", "/lib32", "/lib64", "/libx32", "/media", "/mnt",
                          "/proc", "/root", "/run", "/snap", "/srv", "/sys", "/var/lib"})
        l.guardExact.insert(p);
    addHomeEntries(
        l.guardExact, h,
        {"/Videos", "/Templates", "/.config", "/.local", "/.local/share", "/.cache", "/.local/share/Trash"});
    for (const char* p : {"/boot/", "/dev/", "/proc/", "/sys/", "/run/", "/lib/", "/lib32/", "/lib64/",
                          "/libx32/", "/usr/lib64/", "/usr/include/", "/var/lib/"})
        l.guardPrefixes.push_back(p);
    l.guardPrefixes.push_back(h + "/.local/share/keyrings");
    l.contentsOnly.insert(h + "/.cache");
    l.mountParents = {"/Volumes", "/media", "/mnt"};
    l.userMountParents = {"/media", "/run/media"};
    l.systemSkips.erase("/home");
    for (const char* p : {"/proc", "/sys", "/run", "/media", "/mnt", "/snap"})
        l.systemSkips.insert(p);
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    l.trashFolder = (dataHome && *dataHome == '/') ? normalizePath(std::string(dataHome) + "/Trash", h)
                                                   : h + "/.local/share/Trash";
    l.rootVolumeName = "Computer";
    l.fullDiskAccessProbes.clear();
    l.libraryEquivalents = {{h + "/.local/share/pnpm/store", h + "/Library/pnpm/store"},
                            {h + "/.cache", h + "/Library/Caches"},
                            {h + "/.config", h + "/Library/Preferences"},
                            {h + "/.local/share", h + "/Library/Application Support"}};
    l.systemName = "Linux";
    l.fileManagerName = "File Manager";
    return l;
}

const HostLayout& HostLayout::current() {
    static const HostLayout layout = [] {
#ifdef __APPLE__
        return macOS(userHome({}));
#else
        HostLayout l = linux(userHome({}));
        struct stat root {};
        if (stat("/", &root) == 0) {
            if (std::string label = blockDeviceLabel(root.st_dev); !label.empty()) l.rootVolumeName = label;
        }
        return l;
#endif
    }();
    return layout;
}

}  // namespace nimbrel
