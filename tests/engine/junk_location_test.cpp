#include "engine/junk_location.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/temp_tree.h"

namespace nimbrel {

namespace {

using test::allocated;

namespace fs = std::filesystem;

// A throw-away home folder.
struct TempHome : test::TempTree {
    const std::string home = root();
};

const JunkLocation& byId(const std::vector<JunkLocation>& all, const std::string& id) {
    return *std::find_if(all.begin(), all.end(), [&](const JunkLocation& l) { return l.id == id; });
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST(JunkLocation, CatalogueOnBothHosts) {
    const auto mac = JunkLocation::all(HostLayout::macOS("/Users/u/"));
    ASSERT_EQ(mac.size(), 9u);
    const char* ids[] = {"caches",   "logs",      "derived",    "devicesupport", "simcaches",
                         "archives", "pkgcaches", "installers", "backups"};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(mac[i].id, ids[i]);
    EXPECT_EQ(byId(mac, "caches").paths, std::vector<std::string>{"/Users/u/Library/Caches"});
    EXPECT_EQ(byId(mac, "caches").skipPrefixes, std::vector<std::string>{"com.apple."});
    EXPECT_TRUE(byId(mac, "logs").skipPrefixes.empty());
    EXPECT_EQ(byId(mac, "devicesupport").paths.size(), 5u);
    EXPECT_EQ(byId(mac, "devicesupport").paths[3], "/Users/u/Library/Developer/Xcode/visionOS DeviceSupport");
    EXPECT_EQ(byId(mac, "pkgcaches").paths[1], "/Users/u/Library/pnpm/store");
    EXPECT_EQ(byId(mac, "installers").kind, JunkLocation::Kind::matching);
    EXPECT_EQ(byId(mac, "backups").risk, JunkLocation::Risk::caution);

    const auto lin = JunkLocation::all(HostLayout::linux("/home/u"));
    EXPECT_EQ(byId(lin, "caches").paths, std::vector<std::string>{"/home/u/.cache"});
    EXPECT_EQ(byId(lin, "pkgcaches").paths[1], "/home/u/.local/share/pnpm/store");
    EXPECT_EQ(byId(lin, "logs").paths, std::vector<std::string>{"/home/u/Library/Logs"});

    // The texts name each host's own things.
    struct Text {
        const char* id;
        std::string mac, linux;
    } texts[] = {
        {"caches", byId(mac, "caches").detail, byId(lin, "caches").detail},
        {"installers", byId(mac, "installers").detail, byId(lin, "installers").detail},
        {"installers tag", byId(mac, "installers").blurb(), byId(lin, "installers").blurb()},
    };
    for (const Text& t : texts) {
        EXPECT_NE(t.mac, t.linux) << t.id;
        for (const char* macWord : {"com.apple", "Apple", ".dmg", ".xip"})
            EXPECT_EQ(t.linux.find(macWord), std::string::npos) << t.id << ": " << t.linux;
    }
    EXPECT_NE(byId(mac, "caches").detail.find("com.apple.*"), std::string::npos);
    EXPECT_NE(byId(lin, "installers").detail.find(".deb, .rpm, .AppImage, .flatpakref"), std::string::npos);
}

TEST(JunkLocation, TargetsSkipPrefixesMatchExtensionsAndIgnoreMissingFolders) {
    TempHome t;
    const auto all = JunkLocation::all(HostLayout::linux(t.home));
    t.file(".cache/com.apple.Safari/db", 10);
    t.file(".cache/com.example.app/blob", 10);
    t.file(".cache/.hidden", 10);
    EXPECT_EQ(sorted(byId(all, "caches").targets()),
              sorted({t.home + "/.cache/.hidden", t.home + "/.cache/com.example.app"}));

    // Apple's own logs are targets of the logs location: only the caches skip them.
    t.file("Library/Logs/com.apple.x.log", 10);
    EXPECT_EQ(byId(all, "logs").targets(),
              std::vector<std::string>{t.home + "/Library/Logs/com.apple.x.log"});

    EXPECT_TRUE(byId(all, "archives").targets().empty());
    EXPECT_TRUE(byId(all, "archives").existingPaths().empty());

    // Only the device-support folders that exist contribute.
    const JunkLocation& support = byId(all, "devicesupport");
    t.file("Library/Developer/Xcode/tvOS DeviceSupport/17.0/sym", 10);
    t.file("Library/Developer/Xcode/iOS DeviceSupport/16.0/sym", 10);
    EXPECT_EQ(support.existingPaths(),
              (std::vector<std::string>{t.home + "/Library/Developer/Xcode/iOS DeviceSupport",
                                        t.home + "/Library/Developer/Xcode/tvOS DeviceSupport"}));
    EXPECT_EQ(support.targets().size(), 2u);

    // Installers: direct children by lower-cased extension, whatever their kind.
    t.file("Downloads/Tool.DMG", 10);
    t.file("Downloads/notes.txt", 10);
    t.file("Downloads/Kit.pkg/Contents/a", 10);
    t.file("Downloads/sub/Deep.iso", 10);
    t.file("Downloads/.iso", 10);
    // The host's own kinds count on Linux, whatever their case.
    t.file("Downloads/slack-desktop.deb", 80'000'000);
    t.file("Downloads/tool.x86_64.rpm", 10);
    t.file("Downloads/Editor.AppImage", 10);
    t.file("Downloads/org.app.flatpakref", 10);
    t.file("Downloads/debian.deb.part", 10);
    EXPECT_EQ(sorted(byId(all, "installers").targets()),
              sorted({t.home + "/Downloads/Kit.pkg", t.home + "/Downloads/Tool.DMG",
                      t.home + "/Downloads/slack-desktop.deb", t.home + "/Downloads/tool.x86_64.rpm",
                      t.home + "/Downloads/Editor.AppImage", t.home + "/Downloads/org.app.flatpakref"}));
    // A Mac keeps to its own kinds.
    EXPECT_EQ(byId(JunkLocation::all(HostLayout::macOS(t.home)), "installers").targets().size(), 2u);

    // Item locations list the folders that exist.
    t.folder(".gradle/caches");
    EXPECT_EQ(byId(all, "pkgcaches").targets(), std::vector<std::string>{t.home + "/.gradle/caches"});
}

// A location's folder that is a link is read where it leads, unless it leads to a folder the guard
// keeps: the home's or the system's files are never offered as junk.
TEST(JunkLocation, LinkedFoldersAreReadWhereTheyLeadButNeverIntoKeptFolders) {
    TempHome t;
    const std::string own = t.file("elsewhere/cache/blob", 9000);
    t.file("plain/entry", 5000);
    const std::pair<const char*, std::string> links[] = {
        {"to-home", HostLayout::current().home},
        {"to-etc", "/etc"},
        {"to-root", "/"},
        {"to-own", t.home + "/elsewhere/cache"},
    };
    JunkLocation location;
    location.id = "caches";
    location.kind = JunkLocation::Kind::contents;
    for (const auto& [name, target] : links) {
        fs::create_directory_symlink(target, t.home + "/" + name);
        location.paths.push_back(t.home + "/" + name);
    }
    location.paths.push_back(t.home + "/plain");

    EXPECT_EQ(sorted(location.targets()), sorted({t.home + "/to-own/blob", t.home + "/plain/entry"}));
    const DiskUsage measured = location.measure();
    EXPECT_EQ(measured.size, allocated(own) + allocated(t.home + "/plain/entry"));
    EXPECT_EQ(measured.items, 2);
}

TEST(JunkLocationMeasure, OnlyTargetsOfSkippingLocationsAndMissingFolders) {
    TempHome t;
    const auto all = JunkLocation::all(HostLayout::linux(t.home));
    t.file(".cache/com.apple.Safari/db", 40'000);
    const std::string app = t.file(".cache/com.example.app/blob", 20'000);
    const std::string hidden = t.file(".cache/.hidden", 5'000);
    EXPECT_EQ(byId(all, "caches").measure(), (DiskUsage{allocated(app) + allocated(hidden), 2, true, true}));

    EXPECT_EQ(byId(all, "archives").measure(), (DiskUsage{0, 0, false, true}));

    const JunkLocation& support = byId(all, "devicesupport");
    EXPECT_FALSE(support.measure().exists);
    t.file("Library/Developer/Xcode/tvOS DeviceSupport/17.0/sym", 100);
    EXPECT_EQ(support.measure().items, 1);
}

TEST(JunkLocationMeasure, AMatchingInstallerCountsAsOneItem) {
    TempHome t;
    const JunkLocation installers = byId(JunkLocation::all(HostLayout::macOS(t.home)), "installers");
    const std::string dmg = t.file("Downloads/Tool.DMG", 30'000);
    t.file("Downloads/notes.txt", 10);
    const std::string a = t.file("Downloads/Kit.pkg/Contents/a", 8'000);
    const std::string b = t.file("Downloads/Kit.pkg/Contents/b", 8'000);
    EXPECT_EQ(installers.measure(), (DiskUsage{allocated(dmg) + allocated(a) + allocated(b), 2, true, true}));
}

TEST(JunkLocationMeasure, ItemsAreMeasuredWholeAndHardLinksCountOnce) {
    TempHome t;
    const JunkLocation pkg = byId(JunkLocation::all(HostLayout::linux(t.home)), "pkgcaches");
    const std::string a = t.file(".npm/_cacache/content/a", 50'000);
    fs::create_hard_link(a, t.home + "/.npm/_cacache/content/a-link");
    const std::string b = t.file(".local/share/pnpm/store/v3/b", 20'000);
    EXPECT_EQ(pkg.measure(), (DiskUsage{allocated(a) + allocated(b), 2, true, true}));
}

}  // namespace nimbrel
