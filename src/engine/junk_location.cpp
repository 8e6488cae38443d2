#include "engine/junk_location.h"

#include <dirent.h>
#include <sys/stat.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <optional>

#include "engine/disk_scanner.h"
#include "engine/localized.h"
#include "engine/risk_catalog.h"
#include "engine/safety_guard.h"

namespace nimbrel {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// The names directly inside `folder`, hidden ones included, in the order the listing gives; nothing
// when the folder cannot be listed.
std::vector<std::string> childNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    closedir(dir);
    return names;
}

// The folder whose contents a location's folder `path` stands for: the folder itself, or where it
// leads when it is a link. Nothing when a link leads to or into a folder the guard keeps (a cache or
// Downloads folder linked to the home or to one of its main folders): its contents are the user's
// files, not junk, and removing "the caches" must never take them. A real folder is its own,
// wherever the folders above it lead (a home reached through a link).
std::optional<std::string> contentsFolder(const std::string& path) {
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) return path;
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return std::nullopt;  // leads nowhere: nothing inside
    const std::string real(buffer);
    // Kept by its resolved name (the home, Documents, a system folder): never read as junk.
    if (SafetyGuard::isProtected(real)) return std::nullopt;
    const auto kept = DiskGuard::current()->protectedPlace(real);
    // Kept by identity only because it is the location's folder itself (the guard knows ~/.cache or
    // ~/Downloads by where its link leads), not as a kept folder mounted or linked elsewhere.
    if (!kept || *kept == path || *kept == SafetyGuard::onDiskPath(path)) return real;
    return std::nullopt;
}

// The host's own folder for a macOS Library folder that has a counterpart (~/Library/Caches ->
// ~/.cache on Linux); the macOS folder itself elsewhere.
std::string hostFolder(const HostLayout& layout, const std::string& macFolder) {
    for (const auto& [host, mac] : layout.libraryEquivalents)
        if (mac == macFolder) return host;
    return macFolder;
}

}  // namespace

std::vector<JunkLocation> JunkLocation::all() {
    return all(HostLayout::current());
}

namespace {

// The catalogue, in the order the locations are measured, shown and selected. Paths are under the
// home folder; a macOS Library folder with a counterpart on the host is looked up there.
struct Listed {
    const char* id;
    const char* title;
    const char* detail;
    const char* symbol;
    std::array<const char*, 5> paths;  // nothing for the installers: the Downloads folder
    JunkLocation::Risk risk;
    JunkLocation::Kind kind;
    const char* blurb;  // the short tag beside it in lists
};

using R = JunkLocation::Risk;
using K = JunkLocation::Kind;

constexpr Listed kCatalogue[] = {
    {"caches",
     "App Caches",
     "Temporary data apps keep to load faster. Apps rebuild it as needed. Quit them first for best "
     "results.",
     "archivebox",
     {"/Library/Caches"},
     R::safe,
     K::contents,
     "rebuilds itself"},
    {"logs",
     "Logs",
     "Diagnostic logs written by apps and services.",
     "doc.text.magnifyingglass",
     {"/Library/Logs"},
     R::safe,
     K::contents,
     "diagnostics"},
    {"derived",
     "Xcode DerivedData",
     "Build products and indexes. Xcode regenerates them on the next build.",
     "hammer",
     {"/Library/Developer/Xcode/DerivedData"},
     R::safe,
     K::contents,
     "Xcode rebuilds"},
    {"devicesupport",
     "Device Support Files",
     "Debug symbols copied from devices you've connected. Re-created when a device is connected again.",
     "iphone",
     {"/Library/Developer/Xcode/iOS DeviceSupport", "/Library/Developer/Xcode/watchOS DeviceSupport",
      "/Library/Developer/Xcode/tvOS DeviceSupport", "/Library/Developer/Xcode/visionOS DeviceSupport",
      "/Library/Developer/Xcode/macOS DeviceSupport"},
     R::safe,
     K::contents,
     "re-copied on connect"},
    {"simcaches",
     "Simulator Caches",
     "Dyld and runtime caches for iOS Simulators.",
     "ipad.and.iphone",
     {"/Library/Developer/CoreSimulator/Caches"},
     R::safe,
     K::contents,
     "simulator runtime"},
    {"archives",
     "Xcode Archives",
     "Archived app builds. They contain the dSYMs needed to symbolicate crash reports of shipped "
     "versions.",
     "shippingbox",
     {"/Library/Developer/Xcode/Archives"},
     R::caution,
     K::contents,
     "holds dSYMs"},
    {"pkgcaches",
     "Package Manager Caches",
     "Downloaded packages from npm, pnpm, Yarn, Gradle and Cargo. Re-downloaded on demand.",
     "shippingbox.circle",
     {"/.npm/_cacache", "/Library/pnpm/store", "/.yarn/berry/cache", "/.gradle/caches",
      "/.cargo/registry/cache"},
     R::safe,
     K::item,
     "re-downloads"},
    {"installers",
     "Installers in Downloads",
     "Disk images and installer packages (%1) left over after installing apps.",
     "arrow.down.circle",
     {},
     R::caution,
     K::matching,
     nullptr},
    {"backups",
     "iPhone & iPad Backups",
     "Local device backups made by Finder. Remove only if you back up to iCloud or no longer need them.",
     "externaldrive.badge.timemachine",
     {"/Library/Application Support/MobileSync/Backup"},
     R::caution,
     K::contents,
     "device backups"},
};

JunkLocation located(const Listed& listed, const HostLayout& layout) {
    JunkLocation location;
    location.id = listed.id;
    location.title = localized(listed.title);
    location.detail = localized(listed.detail);
    location.symbol = listed.symbol;
    location.risk = listed.risk;
    location.kind = listed.kind;
    for (const char* path : listed.paths)
        if (path) location.paths.push_back(hostFolder(layout, layout.home + path));
    if (!listed.paths[0]) location.paths.push_back(layout.downloadsFolder);
    return location;
}

}  // namespace

std::vector<JunkLocation> JunkLocation::all(const HostLayout& layout) {
    std::vector<JunkLocation> out;
    for (const Listed& listed : kCatalogue)
        out.push_back(located(listed, layout));
    // Apple's own caches stay out of the caches: only macOS has them.
    if (layout.isMac())
        out[0].detail = localized(
            "Temporary data apps keep to load faster. Apps rebuild it as needed. Quit them first for best "
            "results. Apple's own caches (com.apple.*) are left alone.");
    out[0].skipPrefixes = {"com.apple."};
    // The installers are those the risk catalogue calls installers (matched case-insensitively).
    out[7].extensions = RiskCatalog::installerExtensions(layout);
    std::string& detail = out[7].detail;
    if (const size_t at = detail.find("%1"); at != std::string::npos)
        detail.replace(at, 2, RiskCatalog::installerKinds(layout));
    out[7].kindsTag = RiskCatalog::installerTag(layout);
    return out;
}

std::string JunkLocation::blurb() const {
    // The installers tag lists file types, which read the same in every language.
    if (id == "installers") return kindsTag;
    for (const Listed& listed : kCatalogue)
        if (id == listed.id && listed.blurb) return localized(listed.blurb);
    return {};
}

std::vector<std::string> JunkLocation::existingPaths() const {
    std::vector<std::string> out;
    for (const std::string& p : paths)
        if (exists(p)) out.push_back(p);
    return out;
}

std::vector<std::string> JunkLocation::targets() const {
    if (kind == Kind::item) return existingPaths();
    std::vector<std::string> out;
    for (const std::string& folder : existingPaths()) {
        if (!contentsFolder(folder)) continue;
        for (const std::string& name : childNames(folder)) {
            bool keep = true;
            if (kind == Kind::contents) {
                for (const std::string& prefix : skipPrefixes)
                    if (name.compare(0, prefix.size(), prefix) == 0) keep = false;
            } else {
                keep = extensions.count(asciiLower(pathExtension(name))) > 0;
            }
            if (keep) out.push_back(folder + "/" + name);
        }
    }
    return out;
}

std::vector<JunkEntry> JunkLocation::identified(const std::vector<std::string>& targets) {
    std::vector<JunkEntry> entries;
    entries.reserve(targets.size());
    for (const std::string& target : targets) {
        std::optional<EntryIdentity> identity = EntryIdentity::read(target);
        if (!identity) continue;
        entries.push_back({target, 0, identity->type == EntryIdentity::Type::folder, identity});
    }
    return entries;
}

DiskUsage JunkLocation::measure() const {
    DiskUsage total;
    total.exists = !existingPaths().empty();
    total.readable = true;
    auto add = [&total](const std::string& path) {
        const DiskUsage u = DiskScanner::usage(path);
        total.size += u.size;
        total.items += u.items;
        if (!u.readable) total.readable = false;
        return u;
    };
    if (kind == Kind::matching) {
        // An installer counts as one item whatever it holds; its readability does not matter here.
        for (const std::string& t : targets()) {
            total.size += DiskScanner::usage(t).size;
            ++total.items;
        }
    } else if (kind == Kind::contents && !skipPrefixes.empty()) {
        // Only the targets are measured, so the skipped children stay out of the total.
        for (const std::string& t : targets())
            add(t);
    } else if (kind == Kind::contents) {
        // Measured where a linked folder leads, as its listing is; a link to a kept folder weighs 0.
        for (const std::string& p : existingPaths())
            if (const auto folder = contentsFolder(p)) add(*folder);
    } else {
        for (const std::string& p : existingPaths())
            add(p);
    }
    return total;
}

}  // namespace nimbrel
