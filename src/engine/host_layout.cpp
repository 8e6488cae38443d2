#include "engine/host_layout.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/demo.h"

namespace nimbrel {

namespace {

std::string currentUserHome() {
    if (const char* env = std::getenv("HOME"); env && *env) return env;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
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

namespace {

// The number of parts of `p` below `parent` (0 when `p` is not inside it): "/media/u/x" below
// "/media" has 2.
size_t depthBelow(std::string_view p, std::string_view parent) {
    if (!PathRules::isInside(p, parent)) return 0;
    const std::string_view rest = p.substr(parent == "/" ? 1 : parent.size() + 1);
    return 1 + static_cast<size_t>(std::count(rest.begin(), rest.end(), '/'));
}

}  // namespace

bool HostLayout::isMountPointPath(const std::string& p) const {
    for (const std::string& parent : mountParents)
        if (depthBelow(p, parent) == 1) return true;
    for (const std::string& parent : userMountParents)
        if (depthBelow(p, parent) == 2) return true;
    return false;
}

size_t HostLayout::trashRootLength(const std::string& p) const {
    if (PathRules::isAtOrInside(p, trashFolder)) return trashFolder.size();
    for (const std::string& spelling : trashSpellings)
        if (PathRules::isAtOrInside(p, spelling)) return spelling.size();
    // A volume's Trash by its name, in any letter case (a FAT or exFAT stick ignores case):
    // ".Trash-<uid>", "<uid>" inside ".Trash", and ".Trash" itself, which holds every user's.
    size_t start = 1;
    bool inShared = false;
    while (start < p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        const std::string_view part(p.data() + start, end - start);
        if (isVolumeTrashName(part) || (inShared && isUid(part)) ||
            (end == p.size() && isSharedTrashName(part)))
            return end;
        inShared = isSharedTrashName(part);
        start = end + 1;
    }
    return std::string::npos;
}

bool HostLayout::isUid(std::string_view part) {
    return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
}

bool HostLayout::isSharedTrashName(std::string_view name) {
    static constexpr std::string_view kTrash = ".trash";
    return name.size() == kTrash.size() &&
           std::equal(name.begin(), name.end(), kTrash.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

bool HostLayout::isVolumeTrashName(std::string_view name) {
    return name.size() > 7 && name[6] == '-' && isSharedTrashName(name.substr(0, 6)) && isUid(name.substr(7));
}

bool HostLayout::isTrashOrInside(const std::string& normalized) const {
    return trashRootLength(normalized) != std::string::npos;
}

bool HostLayout::isInsideTrash(const std::string& normalized) const {
    const size_t root = trashRootLength(normalized);
    return root != std::string::npos && root < normalized.size();
}

std::string HostLayout::asLibraryPath(const std::string& p) const {
    for (const auto& [hostFolder, macFolder] : libraryEquivalents) {
        if (PathRules::isAtOrInside(p, hostFolder)) return macFolder + p.substr(hostFolder.size());
    }
    return p;
}

namespace {

// The home folder followed by a suffix; a home of "/" (system accounts) gives "/.ssh", never "//.ssh".
std::string under(const std::string& home, std::string_view suffix) {
    if (suffix.empty()) return home;
    return home == "/" ? std::string(suffix) : home + std::string(suffix);
}

// The guard's entries that hang off one spelling of the home folder, as on macOS.
void addMacHomeTables(HostLayout& l, const std::string& h) {
    for (const char* s : {"",
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
                          "/.Trash"})
        l.guardExact.insert(under(h, s));
    for (const char* s : {"/Library/Keychains", "/.ssh", "/.gnupg"})
        l.guardPrefixes.push_back(under(h, s));
    l.contentsOnly.insert({under(h, "/Library/Caches"), under(h, "/Library/Logs")});
}

// What a Linux host adds for one spelling of the home folder.
void addLinuxHomeTables(HostLayout& l, const std::string& h) {
    for (const char* s :
         {"/Videos", "/Templates", "/.config", "/.local", "/.local/share", "/.cache", "/.local/share/Trash"})
        l.guardExact.insert(under(h, s));
    l.guardPrefixes.push_back(under(h, "/.local/share/keyrings"));
    l.contentsOnly.insert(under(h, "/.cache"));
    for (const auto& [hostFolder, macFolder] :
         {std::pair{"/.local/share/pnpm/store", "/Library/pnpm/store"},
          std::pair{"/.cache", "/Library/Caches"}, std::pair{"/.config", "/Library/Preferences"},
          std::pair{"/.local/share", "/Library/Application Support"}})
        l.libraryEquivalents.emplace_back(under(h, hostFolder), under(h, macFolder));
}

void addHomeTables(HostLayout& l, const std::string& h) {
    addMacHomeTables(l, h);
    if (!l.isMac()) addLinuxHomeTables(l, h);
    for (const std::string& folder : l.userFolders)
        l.guardExact.insert(under(h, folder));
}

// The value of a user-dirs.dirs line as the shell reads it ("$HOME/My\\ Files" -> "$HOME/My Files"),
// with "$HOME" put for the home; nothing for a value the desktop would not write: one that is
// neither home-relative nor absolute, names another variable or leaves a quote open.
std::optional<std::string> userDirValue(std::string_view raw, const std::string& home) {
    const size_t start = raw.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    raw.remove_prefix(start);
    const bool quoted = raw.front() == '"';
    if (quoted) raw.remove_prefix(1);
    // "${HOME}" is the same home to the shell that reads the file.
    const size_t homeWord = raw.starts_with("${HOME}") ? 7 : raw.starts_with("$HOME") ? 5 : 0;
    const bool homeRelative = homeWord > 0;
    raw.remove_prefix(homeWord);
    std::string value;
    bool closed = !quoted;
    size_t i = 0;
    for (; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quoted ? c == '"' : (c == ' ' || c == '\t' || c == '\r')) {
            closed = true;
            ++i;
            break;
        }
        if (c == '\\' && i + 1 < raw.size()) {
            value += raw[++i];
            continue;
        }
        if (c == '$' || c == '`') return std::nullopt;  // an expansion not known here
        value += c;
    }
    const size_t rest = raw.find_first_not_of(" \t\r", i);
    if (!closed || (rest != std::string_view::npos && raw[rest] != '#')) return std::nullopt;
    if (homeRelative && (value.empty() || value.starts_with('/'))) return normalizePath(home + value, home);
    if (!homeRelative && value.starts_with('/')) return normalizePath(value, home);
    return std::nullopt;
}

}  // namespace

HostLayout HostLayout::macOS(const std::string& rawHome) {
    HostLayout l;
    l.host = Host::macOS;
    l.home = normalizePath(rawHome, "/");
    const std::string& h = l.home;
    l.homeSpellings = {h};
    l.guardExact = {"/",    "/Applications", "/Library", "/System",    "/Users",         "/Volumes",
                    "/bin", "/sbin",         "/usr",     "/usr/local", "/private",       "/etc",
                    "/var", "/tmp",          "/opt",     "/cores",     "/Library/Caches"};
    l.guardPrefixes = {"/System/",      "/bin/",      "/sbin/",         "/usr/bin/",     "/usr/lib/",
                       "/usr/libexec/", "/usr/sbin/", "/usr/share/",    "/private/etc/", "/private/var/db/",
                       "/etc/",         "/var/db/",   "/Library/Apple/"};
    addHomeTables(l, h);
    l.downloadsFolder = under(h, "/Downloads");
    l.mountParents = {"/Volumes"};
    l.systemSkips = {"/System/Volumes", "/Volumes", "/dev", "/net", "/home", "/Network", "/automount"};
    l.trashFolder = under(h, "/.Trash");
    l.rootVolumeName = "Macintosh HD";
    l.fullDiskAccessProbes = {under(h, "/Library/Application Support/com.apple.TCC/TCC.db"),
                              under(h, "/Library/Safari/CloudTabs.db"),
                              under(h, "/Library/Safari/Bookmarks.plist")};
    l.systemName = "macOS";
    l.fileManagerName = "Finder";
    return l;
}

HostLayout HostLayout::linux(const std::string& rawHome) {
    // The macOS tables hold on Linux too; the host adds its own folders.
    HostLayout l = macOS(rawHome);
    l.host = Host::linux;
    const std::string& h = l.home;
    for (const char* p : {"/boot", "/dev", "/home", "/lib", "/lib32", "/lib64", "/libx32", "/media", "/mnt",
                          "/proc", "/root", "/run", "/snap", "/srv", "/sys", "/var/lib"})
        l.guardExact.insert(p);
    // With a merged /usr the library folders all live below /usr.
    for (const char* p :
         {"/boot/", "/dev/", "/proc/", "/sys/", "/run/", "/lib/", "/lib32/", "/lib64/", "/libx32/",
          "/usr/lib32/", "/usr/lib64/", "/usr/libx32/", "/usr/include/", "/var/lib/"})
        l.guardPrefixes.push_back(p);
    addLinuxHomeTables(l, h);
    l.usersHomeParents = {"/home"};
    l.mountParents = {"/Volumes", "/media", "/mnt"};
    l.userMountParents = {"/media", "/run/media"};
    l.systemSkips.erase("/home");
    for (const char* p : {"/proc", "/sys", "/run", "/media", "/mnt", "/snap"})
        l.systemSkips.insert(p);
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    l.trashFolder = (dataHome && *dataHome == '/') ? normalizePath(std::string(dataHome) + "/Trash", h)
                                                   : under(h, "/.local/share/Trash");
    l.rootVolumeName = "Computer";
    l.fullDiskAccessProbes.clear();
    l.systemName = "Linux";
    l.fileManagerName = "File Manager";
    return l;
}

void HostLayout::addHomeSpelling(const std::string& rawOther) {
    const std::string other = normalizePath(rawOther, "/");
    if (std::find(homeSpellings.begin(), homeSpellings.end(), other) != homeSpellings.end()) return;
    homeSpellings.push_back(other);
    addHomeTables(*this, other);
    // The Trash below the home is the same folder under the other spelling.
    if (PathRules::isInside(trashFolder, home))
        trashSpellings.push_back(under(other, std::string_view(trashFolder).substr(home.size())));
}

std::vector<std::pair<std::string, std::string>> HostLayout::parseUserDirs(
    const std::string& text, const std::string& rawHome, const std::vector<std::string>& otherHomes) {
    const std::string home = normalizePath(rawHome, "/");
    auto inAHome = [&](const std::string& folder) {
        return PathRules::isInside(folder, home) ||
               std::any_of(otherHomes.begin(), otherHomes.end(),
                           [&](const std::string& other) { return PathRules::isInside(folder, other); });
    };
    std::vector<std::pair<std::string, std::string>> folders;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        const size_t equals = line.find('=');
        if (start == std::string::npos || line[start] == '#' || equals == std::string::npos) continue;
        std::string key = line.substr(start, equals - start);
        // Blanks before the "=" are read past, as the desktop's own library reads them.
        key.erase(key.find_last_not_of(" \t") + 1);
        if (key.size() <= 8 || !key.starts_with("XDG_") || !key.ends_with("_DIR")) continue;
        const auto folder = userDirValue(std::string_view(line).substr(equals + 1), home);
        if (folder && inAHome(*folder)) folders.emplace_back(key, *folder);
    }
    return folders;
}

void HostLayout::addUserFolders(const std::string& userDirsText) {
    for (const auto& [key, folder] : parseUserDirs(userDirsText, home, homeSpellings)) {
        const auto spelling =
            std::find_if(homeSpellings.begin(), homeSpellings.end(),
                         [&folder = folder](const std::string& h) { return PathRules::isInside(folder, h); });
        if (spelling == homeSpellings.end()) continue;  // the parser keeps only folders in a home
        const std::string below = folder.substr(*spelling == "/" ? 0 : spelling->size());
        if (key == "XDG_DOWNLOAD_DIR") downloadsFolder = under(home, below);
        if (std::find(userFolders.begin(), userFolders.end(), below) != userFolders.end()) continue;
        userFolders.push_back(below);
        for (const std::string& spelling : homeSpellings)
            guardExact.insert(under(spelling, below));
    }
}

const HostLayout& HostLayout::current() {
    // Never destroyed: a worker still judging a path while the process exits reads it after the
    // statics have gone.
    static const HostLayout& layout = *new HostLayout([] {
#ifdef __APPLE__
        return macOS(currentUserHome());
#else
        const std::string home = currentUserHome();
        HostLayout l = linux(home);
        // A home reached through a link (/home/u -> /mnt/data/u) is protected by both names.
        char resolved[PATH_MAX];
        if (::realpath(l.home.c_str(), resolved)) l.addHomeSpelling(resolved);
        // The desktop's names of the main folders, in the user's language, under either name.
        const char* configHome = std::getenv("XDG_CONFIG_HOME");
        std::ifstream userDirs(
            (configHome && *configHome == '/' ? std::string(configHome) : l.home + "/.config") +
            "/user-dirs.dirs");
        std::stringstream text;
        text << userDirs.rdbuf();
        l.addUserFolders(text.str());
        struct stat root {};
        if (stat("/", &root) == 0) {
            if (std::string label = blockDeviceLabel(root.st_dev); !label.empty()) l.rootVolumeName = label;
        }
        return l;
#endif
    }());
    return layout;
}

}  // namespace nimbrel

namespace nimbrel {

const HostLayout& HostLayout::judging() {
    return Demo::isOn() ? Demo::layout() : current();
}

}  // namespace nimbrel
