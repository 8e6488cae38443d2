#include "engine/host_layout.h"

#include <gtest/gtest.h>

#include "engine/junk_location.h"
#include "engine/risk_catalog.h"
#include "engine/safety_guard.h"

namespace nimbrel {

TEST(HostLayout, HomeIsNormalisedAndLinuxAddsItsFolders) {
    HostLayout mac = HostLayout::macOS("/Users/u/");
    EXPECT_EQ(mac.home, "/Users/u");
    EXPECT_TRUE(mac.guardExact.count("/Users/u"));
    EXPECT_TRUE(mac.systemSkips.count("/home"));
    EXPECT_EQ(mac.trashFolder, "/Users/u/.Trash");
    EXPECT_EQ(mac.guardExact.size(), 45u);
    EXPECT_EQ(mac.guardPrefixes.size(), 16u);

    HostLayout lin = HostLayout::linux("/home/u//");
    EXPECT_EQ(lin.home, "/home/u");
    EXPECT_FALSE(lin.systemSkips.count("/home"));
    for (const char* p : {"/proc", "/sys", "/run", "/media", "/mnt", "/snap", "/Volumes"})
        EXPECT_TRUE(lin.systemSkips.count(p)) << p;
    EXPECT_TRUE(lin.contentsOnly.count("/home/u/.cache"));
    EXPECT_TRUE(lin.contentsOnly.count("/home/u/Library/Caches"));
    EXPECT_TRUE(lin.fullDiskAccessProbes.empty());
}

TEST(HostLayout, MountPointsByPlace) {
    HostLayout lin = HostLayout::linux("/home/u");
    for (const char* p :
         {"/Volumes/Backup", "/media/Stick", "/media/u/Stick", "/run/media/u/Stick", "/mnt/disk"})
        EXPECT_TRUE(lin.isMountPointPath(p)) << p;
    for (const char* p : {"/Volumes", "/Volumes/Backup/Photos", "/run/media/u", "/mnt/disk/a"})
        EXPECT_FALSE(lin.isMountPointPath(p)) << p;
    EXPECT_FALSE(HostLayout::macOS("/Users/u").isMountPointPath("/mnt/disk"));
}

TEST(HostLayout, LibraryEquivalentsRewriteOnlyWholeFolders) {
    HostLayout lin = HostLayout::linux("/home/u");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.cache/pip"), "/home/u/Library/Caches/pip");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.config"), "/home/u/Library/Preferences");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.cachet"), "/home/u/.cachet");
    EXPECT_EQ(lin.asLibraryPath("/home/u/.local/share/pnpm/store/v3"), "/home/u/Library/pnpm/store/v3");
    EXPECT_EQ(HostLayout::macOS("/Users/u").asLibraryPath("/Users/u/.cache"), "/Users/u/.cache");
}

// The desktop's own names of the main folders (user-dirs.dirs) are main folders too; a line it would
// not write, or a folder outside the home or the home itself, adds nothing.
TEST(HostLayout, TheDesktopsNamesOfTheMainFoldersAreMainFolders) {
    const struct {
        const char* line;
        const char* folder;  // nullptr: nothing
    } cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "/home/u/Dokumente"},
        {"  XDG_PICTURES_DIR=\"$HOME/Eigene Bilder\"  ", "/home/u/Eigene Bilder"},
        {"XDG_MUSIC_DIR=\"/home/u/Musik/\"", "/home/u/Musik"},
        {"XDG_VIDEOS_DIR=$HOME/Filme", "/home/u/Filme"},
        {"XDG_VIDEOS_DIR = \"${HOME}//Filme/./\"\r", "/home/u/Filme"},
        {"XDG_TEMPLATES_DIR=\"$HOME/Vor\\\"lagen\" # quoted quote", "/home/u/Vor\"lagen"},
        {"XDG_DOWNLOAD_DIR=\"$HOME/T\u00e9l\u00e9chargements\"", "/home/u/T\u00e9l\u00e9chargements"},
        {"#XDG_PUBLICSHARE_DIR=\"$HOME/\u00d6ffentlich\"", nullptr},
        {"XDG_DESKTOP_DIR=\"$HOME\"", nullptr},
        {"XDG_DESKTOP_DIR=\"$HOME/\"", nullptr},
        {"XDG_DOWNLOAD_DIR=\"/srv/downloads\"", nullptr},
        {"XDG_DOWNLOAD_DIR=\"$HOME/../other\"", nullptr},
        {"XDG_MUSIC_DIR=\"Musik\"", nullptr},
        {"XDG_MUSIC_DIR=\"$HOME/Musik", nullptr},
        {"XDG_MUSIC_DIR=\"$HOMEMusik\"", nullptr},
        {"XDG_MUSIC_DIR=\"\\$HOME/Musik\"", nullptr},
    };
    std::string file;
    for (const auto& c : cases) {
        file += std::string(c.line) + "\n";
        const auto parsed = HostLayout::parseUserDirs(c.line, "/home/u/");
        if (!c.folder) {
            EXPECT_TRUE(parsed.empty()) << c.line;
        } else {
            ASSERT_EQ(parsed.size(), 1u) << c.line;
            EXPECT_EQ(parsed[0].second, c.folder) << c.line;
        }
    }

    HostLayout lin = HostLayout::linux("/home/u");
    const HostLayout english = lin;
    lin.addUserFolders(file);
    lin.addHomeSpelling("/data/u");
    for (const char* p : {"/home/u/Dokumente", "/home/u/Eigene Bilder", "/data/u/Dokumente",
                          "/home/u/Documents", "/data/u/T\u00e9l\u00e9chargements"}) {
        EXPECT_TRUE(SafetyGuard::isProtected(p, lin)) << p;
        EXPECT_EQ(SafetyGuard::reason(p, lin),
                  "Linux and your apps expect this folder to exist. Open it to clean inside")
            << p;
    }
    for (const char* p : {"/home/u/Dokumente/brief.odt", "/srv/downloads", "/home/u/Filme/a/b.mkv"})
        EXPECT_FALSE(SafetyGuard::isProtected(p, lin)) << p;
    // A folder named by the home's resolved spelling is the home's too, whichever name came first.
    HostLayout linked = english;
    linked.addHomeSpelling("/data/u");
    linked.addUserFolders("XDG_PICTURES_DIR=\"/data/u/Bilder\"\n");
    for (const char* p : {"/home/u/Bilder", "/data/u/Bilder"})
        EXPECT_TRUE(SafetyGuard::isProtected(p, linked)) << p;

    // Installers are looked for in the desktop's Downloads folder.
    const std::string downloads = "/home/u/T\u00e9l\u00e9chargements";
    EXPECT_EQ(lin.downloadsFolder, downloads);
    const auto locations = JunkLocation::all(lin);
    const auto installers = std::find_if(locations.begin(), locations.end(),
                                         [](const JunkLocation& l) { return l.id == "installers"; });
    ASSERT_NE(installers, locations.end());
    EXPECT_EQ(installers->paths, std::vector<std::string>{downloads});
    EXPECT_EQ(RiskCatalog::assess(downloads + "/app.deb", false, false, 10, lin).level, Risk::Level::caution);
    EXPECT_NE(RiskCatalog::assess("/home/u/Downloads/app.deb", false, false, 10, lin).level,
              Risk::Level::caution);

    // A file without a line the desktop writes leaves the English names alone.
    HostLayout malformed = english;
    malformed.addUserFolders("XDG_DOCUMENTS_DIR=Dokumente\n\x01garbage=\"\nXDG_DESKTOP_DIR=\"$HOME/Schreib");
    EXPECT_EQ(malformed.guardExact, english.guardExact);
    EXPECT_EQ(malformed.downloadsFolder, "/home/u/Downloads");
}

}  // namespace nimbrel
