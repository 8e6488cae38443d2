#include "engine/risk_catalog.h"

#include <sys/stat.h>

#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "engine/localized.h"
#include "engine/safety_guard.h"

namespace nimbrel {

namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

Risk risk(Risk::Level level, const char* title, const char* why) {
    return Risk{level, localized(title), localized(why)};
}

const std::unordered_map<std::string_view, const char*>& libraryExtensions() {
    static const std::unordered_map<std::string_view, const char*> table = {
        {"photoslibrary", "Photos library"}, {"migratedphotolibrary", "Photos library"},
        {"aplibrary", "Photos library"},     {"musiclibrary", "Music library"},
        {"tvlibrary", "TV library"},         {"imovielibrary", "iMovie library"},
        {"fcpbundle", "Final Cut library"},  {"lrcat", "Lightroom catalog"},
        {"lrlibrary", "Lightroom library"},  {"cocatalog", "Capture One catalog"},
        {"logicx", "Logic project"},         {"band", "GarageBand project"},
    };
    return table;
}

const std::unordered_set<std::string_view>& vmExtensions() {
    static const std::unordered_set<std::string_view> table = {"vmwarevm", "pvm",   "utm", "vbox",
                                                               "vdi",      "qcow2", "vmdk"};
    return table;
}

const std::unordered_set<std::string_view>& secretExtensions() {
    static const std::unordered_set<std::string_view> table = {
        "keychain", "keychain-db", "kdbx", "kdb",      "1pif", "opvault", "agilekeychain", "pem",
        "p12",      "pfx",         "key",  "keystore", "jks",  "gpg",     "asc",           "ovpn"};
    return table;
}

const std::unordered_set<std::string_view>& secretNames() {
    static const std::unordered_set<std::string_view> table = {"id_rsa", "id_ed25519", "id_ecdsa",   "id_dsa",
                                                               ".env",   ".netrc",     "credentials"};
    return table;
}

// The installer kinds texts name, as the user spells them; mpkg is the pkg kind and goes unnamed.
// Every text names the same kinds, except that the short tag on macOS leaves out .xip.
struct NamedInstallerKind {
    std::string_view name;
    bool inTag;
};

const std::vector<NamedInstallerKind>& namedInstallerKinds(const HostLayout& layout) {
    static const std::vector<NamedInstallerKind> mac = {
        {"dmg", true}, {"pkg", true}, {"iso", true}, {"xip", false}};
    static const std::vector<NamedInstallerKind> linux = {
        {"deb", true}, {"rpm", true}, {"AppImage", true}, {"flatpakref", true}, {"iso", true}};
    return layout.isMac() ? mac : linux;
}

std::string joinedKinds(const HostLayout& layout, const char* separator, bool tagOnly) {
    std::string text;
    for (const NamedInstallerKind& kind : namedInstallerKinds(layout))
        if (kind.inTag || !tagOnly)
            text += (text.empty() ? "." : separator + std::string(".")) + std::string(kind.name);
    return text;
}

// A "key" item counts only as a small file: Keynote documents share the extension and are folders or
// large files.
constexpr int64_t kMaxKeyFileSize = 512'000;

// Whether a verdict may wait on the disk (on a worker) or uses only what is known (the main thread).
enum class Reads { disk, known };

bool isSecret(const std::string& p, std::string_view name, std::string_view ext, bool isDirectory,
              std::optional<int64_t> size, Reads reads) {
    if (secretNames().count(name)) return true;
    if (!secretExtensions().count(ext)) return false;
    if (ext != "key") return true;
    if (isDirectory) return false;
    return (size ? *size : reads == Reads::disk ? RiskCatalog::fileSize(p) : 0) <= kMaxKeyFileSize;
}

std::optional<bool> knownGitVerdict(const std::string& path);

// The verdicts for what lies inside ~/Library; `rel` is the part after "~/Library/".
Risk libraryRisk(std::string_view rel, const HostLayout& layout) {
    using L = Risk::Level;
    if (startsWith(rel, "Caches/")) {
        std::string_view first = rel.substr(7);
        first = first.substr(0, first.find('/'));
        if (startsWith(first, "com.apple."))
            return Risk{
                L::caution, localized("Apple cache"),
                hostLocalized(layout,
                              "macOS's own cache. It's rebuilt, but some hold state, so it's left out "
                              "of bulk cleaning",
                              "%1's own cache. It's rebuilt, but some hold state, so it's left out of "
                              "bulk cleaning")};
        return risk(L::safe, "Cache", "Temporary data the app rebuilds. Quit the app first");
    }
    if (startsWith(rel, "Logs/"))
        return risk(L::safe, "Logs", "Diagnostic logs; only useful when troubleshooting");
    if (startsWith(rel, "Developer/Xcode/DerivedData/") || startsWith(rel, "Developer/CoreSimulator/Caches/"))
        return risk(L::safe, "Xcode build data",
                    "Rebuilt by Xcode on the next build (the next build is slower)");
    if (startsWith(rel, "Developer/Xcode/Archives/"))
        return risk(L::caution, "Xcode archive",
                    "Holds the dSYMs needed to read crash reports from versions you shipped");
    if (contains(rel, "DeviceSupport/"))
        return risk(L::caution, "Device support",
                    "Re-copied when you connect the device again (takes a while)");
    if (startsWith(rel, "Developer/CoreSimulator/Devices/"))
        return risk(L::danger, "Simulator data", "Simulator devices with their installed apps and data");
    if (startsWith(rel, "Application Support/MobileSync/Backup"))
        return risk(L::danger, "Device backup", "May be the only backup of an iPhone or iPad");
    const bool inContainers = startsWith(rel, "Containers/") || startsWith(rel, "Group Containers/");
    if (inContainers && contains(rel, "/Library/Caches/"))
        return risk(L::safe, "Cache", "An app's own cache inside its container, rebuilt by the app");
    if (startsWith(rel, "Containers/com.docker.docker") ||
        startsWith(rel, "Group Containers/group.com.docker"))
        return risk(L::danger, "Docker data",
                    "All Docker images, containers and volumes. Volumes may hold databases");
    if (inContainers)
        return risk(
            L::danger, "App data",
            "A sandboxed app's whole data store (documents, settings, databases). Removing it is like "
            "resetting the app");
    if (startsWith(rel, "Application Support/"))
        return risk(L::danger, "App data",
                    "Apps keep documents, settings and databases here. It may not be rebuildable");
    if (startsWith(rel, "Mail/") || startsWith(rel, "Messages/"))
        return risk(L::danger, startsWith(rel, "Mail/") ? "Mail" : "Messages",
                    "Your messages and attachments. Removing them here can lose them for good");
    if (startsWith(rel, "Mobile Documents/"))
        return risk(L::danger, "iCloud Drive",
                    "Deleting here deletes it from iCloud and every device signed in to your Apple Account");
    if (startsWith(rel, "CloudStorage/"))
        return risk(
            L::danger, "Synced files",
            "Deleting here also deletes it from your cloud account (Dropbox, Google Drive, OneDrive…)");
    if (startsWith(rel, "Preferences/"))
        return risk(L::danger, "Settings", "App settings. The app forgets how you set it up");
    return risk(L::caution, "System library", "Part of your account's Library. Check what it is first");
}

}  // namespace

std::string_view pathExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    return name.substr(dot + 1);
}

std::string asciiLower(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<Risk::Level> Risk::levelFromRaw(int raw) {
    if (raw < 0 || raw > 4) return std::nullopt;
    return static_cast<Level>(raw);
}

Risk RiskCatalog::assess(const std::string& path, bool isDirectory, bool isBuildOutput,
                         std::optional<int64_t> size) {
    return assess(path, isDirectory, isBuildOutput, size, HostLayout::judging());
}

namespace {

// `awaitsProbe` is set when a git probe that was not made could change the verdict.
Risk judge(const std::string& path, bool isDirectory, bool isBuildOutput, std::optional<int64_t> size,
           const HostLayout& layout, Reads reads, bool& awaitsProbe) {
    using L = Risk::Level;
    const std::string p = normalizePath(path, layout.home);
    const std::string name = asciiLower(PathRules::lastComponent(p));
    const std::string_view ext = pathExtension(name);
    const std::string& home = layout.home;

    const bool contentsOnly = layout.contentsOnly.count(p) > 0;
    if (!contentsOnly && SafetyGuard::isProtected(p, layout))
        return Risk{L::locked, localized("Kept"), SafetyGuard::reason(p, layout)};
    if (contentsOnly)
        return risk(L::safe, "Cache", "Everything inside is rebuilt by apps; the folder itself stays");
    if (isBuildOutput)
        return risk(L::safe, "Build output", "Rebuilt by your build tools (npm install, xcodebuild, cargo…)");
    if (isSecret(p, name, ext, isDirectory, size, reads))
        return risk(L::danger, "Keys & passwords",
                    "Passwords, keys or certificates. Losing them can lock you out of accounts and servers");
    if (auto it = libraryExtensions().find(ext); it != libraryExtensions().end())
        return risk(L::danger, it->second,
                    "A whole library or project in one item. Everything in it goes with it");
    if (vmExtensions().count(ext))
        return risk(L::danger, "Virtual machine",
                    "A whole virtual computer. Its system, apps and files go with it");

    // Host folders with a Library counterpart (~/.cache on Linux) are judged as that counterpart.
    const std::string lib = home + "/Library/";
    if (const std::string lp = layout.asLibraryPath(p); startsWith(lp, lib))
        return libraryRisk(std::string_view(lp).substr(lib.size()), layout);

    if (startsWith(p, home + "/.docker/") || startsWith(p, home + "/.colima/") ||
        startsWith(p, home + "/.orbstack/"))
        return risk(L::danger, "Container data", "Container images and volumes. Volumes may hold databases");
    if (name == "docker.raw" || name == "docker.qcow2")
        return risk(L::danger, "Docker disk", "All Docker images, containers and volumes");
    if (isDirectory) {
        const std::optional<bool> repository =
            reads == Reads::disk ? RiskCatalog::isGitRepository(p) : knownGitVerdict(p);
        if (repository == true)
            return risk(L::danger, "Git repository", "Any uncommitted or unpushed work in it would be lost");
        awaitsProbe = !repository;
    }
    if (startsWith(p, layout.downloadsFolder + "/") &&
        RiskCatalog::installerExtensions(layout).count(std::string(ext)))
        return risk(L::caution, "Installer",
                    "Usually not needed after installing, unless it's your only copy");
    return Risk{};
}

}  // namespace

Risk RiskCatalog::assess(const std::string& path, bool isDirectory, bool isBuildOutput,
                         std::optional<int64_t> size, const HostLayout& layout) {
    bool awaitsProbe = false;
    return judge(path, isDirectory, isBuildOutput, size, layout, Reads::disk, awaitsProbe);
}

KnownRisk RiskCatalog::assessKnown(const std::string& path, bool isDirectory, bool isBuildOutput,
                                   std::optional<int64_t> size) {
    return assessKnown(path, isDirectory, isBuildOutput, size, HostLayout::judging());
}

KnownRisk RiskCatalog::assessKnown(const std::string& path, bool isDirectory, bool isBuildOutput,
                                   std::optional<int64_t> size, const HostLayout& layout) {
    KnownRisk known;
    known.risk = judge(path, isDirectory, isBuildOutput, size, layout, Reads::known, known.awaitsProbe);
    return known;
}

std::vector<RiskSummaryRow> RiskCatalog::summary() {
    return summary(HostLayout::judging());
}

const std::unordered_set<std::string>& RiskCatalog::installerExtensions(const HostLayout& layout) {
    static const std::unordered_set<std::string> mac = {"dmg", "pkg", "mpkg", "iso", "xip"};
    static const std::unordered_set<std::string> linux = [] {
        std::unordered_set<std::string> kinds = mac;
        kinds.insert({"deb", "rpm", "appimage", "flatpakref"});
        return kinds;
    }();
    return layout.isMac() ? mac : linux;
}

std::string RiskCatalog::installerKinds(const HostLayout& layout) {
    return joinedKinds(layout, ", ", false);
}

std::string RiskCatalog::installerTag(const HostLayout& layout) {
    return joinedKinds(layout, " \u00B7 ", true);
}

namespace {

std::string installersItem(const HostLayout& layout) {
    std::string text = localized("Installers in Downloads (%1)");
    if (const size_t at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, RiskCatalog::installerKinds(layout));
    return text;
}

}  // namespace

std::vector<RiskSummaryRow> RiskCatalog::summary(const HostLayout& layout) {
    using L = Risk::Level;
    auto row = [](L level, const char* title, std::initializer_list<std::string> items) {
        return RiskSummaryRow{level, localized(title), std::vector<std::string>(items)};
    };
    if (!layout.isMac()) {
        // The host has no Library, Xcode or device folders: the legend names its own places.
        return {
            row(L::safe, "Safe: rebuilt automatically",
                {localized("App caches in ~/.cache (quit the app first)"),
                 localized(
                     "Project build output: node_modules, .build, target, build, Pods, .next, virtualenvs"),
                 localized("Package-manager caches: npm, pnpm, Yarn, Gradle, Cargo")}),
            row(L::caution, "Look first", {installersItem(layout)}),
            row(L::danger, "Holds data that can't be rebuilt: asks you to confirm",
                {localized("App data and settings: ~/.local/share, ~/.config"),
                 localized("Photo and music libraries"), localized("Virtual machines and Docker data"),
                 localized("Passwords, keys and certificates; git repositories")}),
            row(L::locked, "Never touched",
                {hostLocalized(layout, "macOS system folders (/System, /usr, /bin, /Library/Apple…)",
                               "%1 system folders (/usr, /bin, /etc, /boot…)"),
                 localized("Keyrings, ~/.ssh, ~/.gnupg"),
                 localized(
                     "Your home folder and its main folders (Documents, Desktop, Downloads, Music…). Open "
                     "them to clean inside")}),
        };
    }
    return {
        row(L::safe, "Safe: rebuilt automatically",
            {localized("App caches in ~/Library/Caches (quit the app first)"),
             localized("Logs in ~/Library/Logs"), localized("Xcode DerivedData and simulator caches"),
             localized("Project build output: node_modules, .build, target, build, Pods, .next, virtualenvs"),
             localized("Package-manager caches: npm, pnpm, Yarn, Gradle, Cargo")}),
        row(L::caution, "Look first",
            {localized("Apple's own caches (com.apple.*), left out of bulk cleaning"),
             localized("Xcode Archives, which hold dSYMs for crash reports"),
             localized("Device Support files, re-copied on connect"), installersItem(layout)}),
        row(L::danger, "Holds data that can't be rebuilt: asks you to confirm",
            {localized("App data: Application Support, Containers, Group Containers, Preferences"),
             localized("Mail and Messages"),
             localized("iCloud Drive (deletes on every device) and synced cloud folders"),
             localized("Photos, Music, TV, iMovie, Final Cut, Lightroom libraries"),
             localized("Virtual machines and Docker data"),
             localized(
                 "Passwords, keys and certificates; git repositories; device backups; simulator devices")}),
        row(L::locked, "Never touched",
            {hostLocalized(layout, "macOS system folders (/System, /usr, /bin, /Library/Apple…)",
                           "%1 system folders (/System, /usr, /bin, /Library/Apple…)"),
             localized("Keychains, ~/.ssh, ~/.gnupg"),
             localized(
                 "Your home folder and its main folders (Documents, Desktop, Downloads, Library…). Open "
                 "them to clean inside")}),
    };
}

int64_t RiskCatalog::fileSize(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

namespace {

// The git verdicts of the current scan. A folder may become a repository at any time, so the answers
// last only until the next scan starts.
struct GitVerdicts {
    std::mutex mutex;
    std::unordered_map<std::string, bool> answers;

    static GitVerdicts& shared() {
        static GitVerdicts verdicts;
        return verdicts;
    }
};

std::optional<bool> knownGitVerdict(const std::string& path) {
    GitVerdicts& verdicts = GitVerdicts::shared();
    std::lock_guard lock(verdicts.mutex);
    if (auto it = verdicts.answers.find(path); it != verdicts.answers.end()) return it->second;
    return std::nullopt;
}

}  // namespace

bool RiskCatalog::isGitRepository(const std::string& path) {
    if (const std::optional<bool> known = knownGitVerdict(path)) return *known;
    struct stat st {};
    const bool answer = lstat((path + "/.git").c_str(), &st) == 0;
    GitVerdicts& verdicts = GitVerdicts::shared();
    std::lock_guard lock(verdicts.mutex);
    verdicts.answers[path] = answer;
    return answer;
}

void RiskCatalog::forgetGitVerdicts() {
    GitVerdicts& verdicts = GitVerdicts::shared();
    std::lock_guard lock(verdicts.mutex);
    verdicts.answers.clear();
}

}  // namespace nimbrel
