#include "engine/risk_catalog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/disk_scanner.h"
#include "engine/junk_location.h"
#include "engine/safety_guard.h"
#include "scan_tree.h"

namespace nimbrel {

namespace {

using L = Risk::Level;

struct RiskCase {
    std::string path;
    bool isDirectory;
    bool isBuildOutput;
    std::optional<int64_t> size;
    L level;
    std::string title;
};

void expectCases(const HostLayout& layout, const std::vector<RiskCase>& cases) {
    for (const RiskCase& c : cases) {
        const Risk r = RiskCatalog::assess(c.path, c.isDirectory, c.isBuildOutput, c.size, layout);
        EXPECT_EQ(static_cast<int>(r.level), static_cast<int>(c.level)) << c.path;
        EXPECT_EQ(r.title, c.title) << c.path;
        EXPECT_EQ(r.why.empty(), c.level == L::normal) << c.path;
    }
}

}  // namespace

TEST(RiskCatalog, RulesInOrderOnBothHosts) {
    const std::string h = "/Users/u", lib = h + "/Library";
    const std::optional<int64_t> none;
    const std::vector<RiskCase> shared = {
        {lib + "/Caches", true, false, none, L::safe, "Cache"},
        {lib + "/Logs/", true, false, none, L::safe, "Cache"},
        {lib, true, false, none, L::locked, "Kept"},
        {h, true, false, none, L::locked, "Kept"},
        {"/usr/bin", true, false, none, L::locked, "Kept"},
        {lib + "/Caches/com.apple.Safari", true, false, none, L::caution, "Apple cache"},
        {lib + "/Caches/com.apple.Safari/x/y", false, false, 10, L::caution, "Apple cache"},
        {lib + "/Caches/com.apple", true, false, none, L::safe, "Cache"},
        {lib + "/Caches/com.example.app", true, false, none, L::safe, "Cache"},
        {h + "/Work/server.key", false, false, 512'000, L::danger, "Keys & passwords"},
        {h + "/Work/server.key", false, false, 512'001, L::normal, ""},
        {h + "/Work/Talk.key", true, false, 10, L::normal, ""},
        {h + "/Work/Backup.KDBX", false, false, 1'000'000, L::danger, "Keys & passwords"},
        {h + "/Work/certs.pem", true, false, none, L::danger, "Keys & passwords"},
        {h + "/Work/credentials", true, false, none, L::danger, "Keys & passwords"},
        {h + "/Work/ID_RSA", false, false, 3, L::danger, "Keys & passwords"},
        {lib + "/Caches/app/.env", false, false, 3, L::danger, "Keys & passwords"},
        {lib + "/Developer/Xcode/DerivedData/App-x", true, true, none, L::safe, "Build output"},
        {lib + "/Mobile Documents/Holiday.photoslibrary", true, false, none, L::danger, "Photos library"},
        {h + "/Music/Song.BAND", true, false, none, L::danger, "GarageBand project"},
        {h + "/VMs/Windows 11.vdi", false, false, 5, L::danger, "Virtual machine"},
        {lib + "/Logs/app.log", false, false, 5, L::safe, "Logs"},
        {lib + "/Developer/Xcode/DerivedData/App-x", true, false, none, L::safe, "Xcode build data"},
        {lib + "/Developer/CoreSimulator/Caches/dyld", true, false, none, L::safe, "Xcode build data"},
        {lib + "/Developer/Xcode/Archives/x", true, false, none, L::caution, "Xcode archive"},
        {lib + "/Developer/Xcode/Archives/iOS DeviceSupport/x", true, false, none, L::caution,
         "Xcode archive"},
        {lib + "/Developer/Xcode/iOS DeviceSupport/17.0", true, false, none, L::caution, "Device support"},
        {lib + "/Developer/CoreSimulator/Devices/ABC", true, false, none, L::danger, "Simulator data"},
        {lib + "/Application Support/MobileSync/Backup/1", true, false, none, L::danger, "Device backup"},
        {lib + "/Containers/com.docker.docker/Data/Library/Caches/x", true, false, none, L::safe, "Cache"},
        {lib + "/Containers/com.docker.docker/Data/vms", true, false, none, L::danger, "Docker data"},
        {lib + "/Group Containers/group.com.docker/x", true, false, none, L::danger, "Docker data"},
        {lib + "/Containers/com.example.app", true, false, none, L::danger, "App data"},
        {lib + "/Application Support/App", true, false, none, L::danger, "App data"},
        {lib + "/Mail/V10", true, false, none, L::danger, "Mail"},
        {lib + "/Messages/chat.db", false, false, 5, L::danger, "Messages"},
        {lib + "/Mobile Documents/com~apple~CloudDocs", true, false, none, L::danger, "iCloud Drive"},
        {lib + "/CloudStorage/Dropbox", true, false, none, L::danger, "Synced files"},
        {lib + "/Preferences/com.example.plist", false, false, 5, L::danger, "Settings"},
        {lib + "/Saved Application State/x", true, false, none, L::caution, "System library"},
        {h + "/.docker", true, false, none, L::normal, ""},
        {h + "/.docker/machine", true, false, none, L::danger, "Container data"},
        {h + "/.orbstack/data", true, false, none, L::danger, "Container data"},
        {h + "/VMs/Docker.raw", false, false, 5, L::danger, "Docker disk"},
        {h + "/Downloads/Setup.DMG", false, false, 5, L::caution, "Installer"},
        {h + "/Downloads/sub/Tool.pkg", true, false, none, L::caution, "Installer"},
        {h + "/Desktop/Tool.pkg", false, false, 5, L::normal, ""},
        {"/Volumes/Backup/Photos", true, false, none, L::normal, ""},
        {"~/Documents/../Projects/x.txt", false, false, 5, L::normal, ""},
    };
    expectCases(HostLayout::macOS(h), shared);
    expectCases(HostLayout::linux(h), shared);
}

TEST(RiskCatalog, LinuxFoldersReadAsTheirLibraryCounterparts) {
    const std::string h = "/home/u";
    const HostLayout lin = HostLayout::linux(h);
    const std::optional<int64_t> none;
    expectCases(lin, {
                         {h + "/.cache", true, false, none, L::safe, "Cache"},
                         {h + "/.cache/pip", true, false, none, L::safe, "Cache"},
                         {h + "/.config", true, false, none, L::locked, "Kept"},
                         {h + "/.config/app", true, false, none, L::danger, "Settings"},
                         {h + "/.local/share/app", true, false, none, L::danger, "App data"},
                         {h + "/.local/share/pnpm/store/v3", true, false, none, L::caution, "System library"},
                         {h + "/.local/share/keyrings/login.keyring", false, false, 5, L::locked, "Kept"},
                         {"/media/u/Stick", true, false, none, L::locked, "Kept"},
                     });
    // The same folders are ordinary on a macOS host.
    const HostLayout mac = HostLayout::macOS(h);
    expectCases(mac, {
                         {h + "/.cache/pip", true, false, none, L::normal, ""},
                         {h + "/.config/app", true, false, none, L::normal, ""},
                     });
    EXPECT_EQ(RiskCatalog::assess("/usr/lib", true, false, none, lin).why, "Part of Linux, never touched");
    EXPECT_EQ(RiskCatalog::assess("/usr/lib", true, false, none, mac).why, "Part of macOS, never touched");
    EXPECT_EQ(RiskCatalog::assess(h + "/.cache", true, false, none, lin).why,
              "Everything inside is rebuilt by apps; the folder itself stays");
}

TEST(RiskCatalog, KeyFileSizeIsReadWhenNotGiven) {
    test::TempTree dir;
    const HostLayout layout = HostLayout::macOS("/Users/u");
    const std::string small = dir.path("small.key"), big = dir.path("big.key");
    std::ofstream(small) << "secret";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, 512'001);
    EXPECT_EQ(RiskCatalog::assess(small, false, false, std::nullopt, layout).level, L::danger);
    EXPECT_EQ(RiskCatalog::assess(big, false, false, std::nullopt, layout).level, L::normal);
    // An unreadable or missing file counts as size 0, so it is a secret.
    EXPECT_EQ(RiskCatalog::assess(dir.path("gone.key"), false, false, std::nullopt, layout).level, L::danger);
    EXPECT_EQ(RiskCatalog::fileSize(big), 512'001);
    EXPECT_EQ(RiskCatalog::fileSize(dir.path("gone")), 0);
}

TEST(RiskCatalog, GitRepositoryIsProbedForFoldersAndCached) {
    test::TempTree dir;
    const HostLayout layout = HostLayout::linux("/home/u");
    const std::string repo = dir.path("repo"), later = dir.path("later");
    std::filesystem::create_directories(repo + "/.git");
    std::filesystem::create_directories(later);

    // The main thread's form reads nothing: before the probe a repository reads as none and awaits it;
    // a small "key" file of unknown size counts as a secret without its size being read.
    RiskCatalog::forgetGitVerdicts();
    const KnownRisk before = RiskCatalog::assessKnown(repo, true, false, std::nullopt, layout);
    EXPECT_EQ(before.risk.level, L::normal);
    EXPECT_TRUE(before.awaitsProbe);
    EXPECT_FALSE(RiskCatalog::assessKnown(repo, false, false, 5, layout).awaitsProbe);
    std::ofstream(dir.path("big.key")).close();
    std::filesystem::resize_file(dir.path("big.key"), 512'001);
    EXPECT_EQ(RiskCatalog::assessKnown(dir.path("big.key"), false, false, std::nullopt, layout).risk.level,
              L::danger);
    EXPECT_EQ(RiskCatalog::assess(repo, true, false, std::nullopt, layout).title, "Git repository");
    const KnownRisk after = RiskCatalog::assessKnown(repo, true, false, std::nullopt, layout);
    EXPECT_EQ(after.risk.title, "Git repository");
    EXPECT_FALSE(after.awaitsProbe);
    EXPECT_EQ(RiskCatalog::assess(repo, false, false, 5, layout).level, L::normal);
    // A build product inside is judged as build output first.
    EXPECT_EQ(RiskCatalog::assess(repo, true, true, std::nullopt, layout).level, L::safe);

    EXPECT_EQ(RiskCatalog::assess(later, true, false, std::nullopt, layout).level, L::normal);
    std::filesystem::create_directories(later + "/.git");
    EXPECT_EQ(RiskCatalog::assess(later, true, false, std::nullopt, layout).level, L::normal)
        << "the first answer is kept while the scan lasts";
    // The next scan asks again: the folder became a repository meanwhile.
    CancelToken token;
    ASSERT_TRUE(DiskScanner::scan(dir.root(), test::withoutVolumes(), 1, token, nullptr));
    EXPECT_EQ(RiskCatalog::assess(later, true, false, std::nullopt, layout).title, "Git repository");
}

TEST(RiskCatalog, GitCacheUnderConcurrentUse) {
    test::TempTree dir;
    std::vector<std::string> folders;
    for (int i = 0; i < 64; ++i) {
        folders.push_back(dir.path("f" + std::to_string(i)));
        std::filesystem::create_directories(folders.back() + (i % 2 ? "/.git" : "/src"));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round)
                for (size_t i = 0; i < folders.size(); ++i)
                    if (RiskCatalog::isGitRepository(folders[i]) != (i % 2 == 1)) ++wrong;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(RiskCatalog, LevelsAndLegend) {
    for (int raw = 0; raw <= 4; ++raw)
        EXPECT_EQ(static_cast<int>(*Risk::levelFromRaw(raw)), raw);
    EXPECT_FALSE(Risk::levelFromRaw(-1));
    EXPECT_FALSE(Risk::levelFromRaw(5));
    EXPECT_LT(L::normal, L::caution);

    const auto rows = RiskCatalog::summary(HostLayout::macOS("/Users/u"));
    ASSERT_EQ(rows.size(), 4u);
    const L levels[] = {L::safe, L::caution, L::danger, L::locked};
    const size_t counts[] = {5, 4, 6, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].level, levels[i]);
        EXPECT_EQ(rows[i].items.size(), counts[i]);
    }
    EXPECT_EQ(rows[3].items[0], "macOS system folders (/System, /usr, /bin, /Library/Apple…)");
    // On Linux the legend names the host's own places and never a macOS one.
    const auto linux = RiskCatalog::summary(HostLayout::linux("/home/u"));
    ASSERT_EQ(linux.size(), 4u);
    EXPECT_EQ(linux[3].items[0], "Linux system folders (/usr, /bin, /etc, /boot…)");
    EXPECT_EQ(linux[0].items[0], "App caches in ~/.cache (quit the app first)");
    for (const auto& row : linux)
        for (const std::string& item : row.items)
            for (const char* mac : {"~/Library", "Xcode", "com.apple", "Apple", "iCloud", ".dmg", "Library…"})
                EXPECT_EQ(item.find(mac), std::string::npos) << item;
}

// An installer in Downloads is one rule: the verdict, the legend's "Look first" row and Deep Clean's
// installers location (its detail and its tag) agree on every kind, on either host.
TEST(RiskCatalog, InstallersAreOneRuleForTheVerdictTheLegendAndDeepClean) {
    struct Case {
        const char* name;
        bool onLinux, onMac;
    } cases[] = {
        {"tool.deb", true, false},
        {"Tool.RPM", true, false},
        {"app-x86_64.AppImage", true, false},
        {"org.app.flatpakref", true, false},
        {"disk.iso", true, true},
        {"Setup.DMG", true, true},
        {"Kit.pkg", true, true},
        {"Kit.mpkg", true, true},
        {"Xcode.xip", true, true},
        {"notes.txt", false, false},
        {"tool.deb.part", false, false},
        {"backup.zip", false, false},
    };
    for (const HostLayout& layout : {HostLayout::linux("/home/u"), HostLayout::macOS("/home/u")}) {
        const auto locations = JunkLocation::all(layout);
        const JunkLocation& installers = *std::find_if(locations.begin(), locations.end(),
                                                       [](const auto& l) { return l.id == "installers"; });
        std::string legend;
        for (const auto& row : RiskCatalog::summary(layout))
            for (const std::string& item : row.items)
                if (item.starts_with("Installers in Downloads")) legend = row.level == L::caution ? item : "";
        for (const Case& c : cases) {
            const bool installer = layout.isMac() ? c.onMac : c.onLinux;
            SCOPED_TRACE(std::string(c.name) + (layout.isMac() ? " on macOS" : " on Linux"));
            const Risk verdict =
                RiskCatalog::assess("/home/u/Downloads/" + std::string(c.name), false, false, 5, layout);
            EXPECT_EQ(verdict.level, installer ? L::caution : L::normal);
            EXPECT_EQ(installers.extensions.count(asciiLower(pathExtension(c.name))) > 0, installer);
        }
        // The texts name the kinds the rule takes (mpkg goes with pkg), Deep Clean's tag too (on
        // macOS its short form leaves out .xip).
        for (const Case& c : cases) {
            const std::string ext = "." + std::string(pathExtension(c.name));
            const bool named = (layout.isMac() ? c.onMac : c.onLinux) && ext != ".mpkg" &&
                               (layout.isMac() || (ext != ".DMG" && ext != ".pkg" && ext != ".xip"));
            for (const std::string& text : {legend, installers.detail, installers.blurb() + " \u00B7"}) {
                const std::string lower = asciiLower(text), kind = asciiLower(ext);
                const bool found = lower.find(kind + ",") != std::string::npos ||
                                   lower.find(kind + ")") != std::string::npos ||
                                   lower.find(kind + " \u00B7") != std::string::npos;
                const bool tagLeavesOut =
                    layout.isMac() && ext == ".xip" && text.starts_with(installers.blurb());
                EXPECT_EQ(found, named && !tagLeavesOut) << ext << " in " << text;
            }
        }
    }
}

TEST(PathExtension, TextAfterTheLastDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.pdf", "pdf"},  {"a.tar.gz", "gz"}, {".env", ""}, {"noext", ""},
        {"trailing.", ""}, {"Kit.PKG", "PKG"}, {"..x", "x"}, {"", ""},
    };
    for (const auto& [name, ext] : cases)
        EXPECT_EQ(pathExtension(name), ext) << name;
    EXPECT_EQ(asciiLower("ÄB.Cd"), "Äb.cd");
}

}  // namespace nimbrel
