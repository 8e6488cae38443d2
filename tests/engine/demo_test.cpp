#include "engine/demo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/risk_catalog.h"
#include "engine/safety_guard.h"

namespace nimbrel {
namespace {

std::vector<const DirNode*> allFolders(const DirNode& root) {
    std::vector<const DirNode*> out{&root};
    for (size_t i = 0; i < out.size(); ++i) {
        for (const auto& c : out[i]->children())
            out.push_back(c.get());
    }
    return out;
}

TEST(Demo, FlagIsTheExactArgumentAnywhere) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"nimbrel", "-demo"}, true},
        {{"nimbrel", "-scan", "/tmp", "-demo", "-section", "files"}, true},
        {{"-demo"}, true},
        {{"nimbrel"}, false},
        {{"nimbrel", "--demo"}, false},
        {{"nimbrel", "-demo=1"}, false},
        {{"nimbrel", "-Demo"}, false},
        {{"nimbrel", " -demo"}, false},
    };
    for (const auto& [args, on] : cases)
        EXPECT_EQ(Demo::hasDemoFlag(args), on) << testing::PrintToString(args);
    // The test runner itself is not started in demo mode.
    EXPECT_FALSE(Demo::isOn());
}

// The sample is a Mac home and is judged as one on any host: its main folders are locked as in a
// real run, its installers and caches judged by the Mac rules, and its reasons, tags and details
// in the Mac's words ("macOS's own cache", ".dmg · .pkg · .iso"), never the host's.
TEST(Demo, TheSampleIsJudgedAndNamedAsTheMacHomeItIs) {
    const std::string h = Demo::home;
    struct Case {
        std::string path;
        bool isDirectory;
        Risk::Level level;
    } cases[] = {
        {h, true, Risk::Level::locked},
        {h + "/Pictures", true, Risk::Level::locked},
        {h + "/Downloads", true, Risk::Level::locked},
        {h + "/Music", true, Risk::Level::locked},
        {h + "/Library", true, Risk::Level::locked},
        {h + "/Library/Caches/com.spotify.client", true, Risk::Level::safe},
        {h + "/Library/Caches/com.apple.Safari", true, Risk::Level::caution},
        {h + "/Library/Containers/com.example.app", true, Risk::Level::danger},
        {h + "/Downloads/Figma.dmg", false, Risk::Level::caution},
        {h + "/Pictures/Photos Library.photoslibrary", true, Risk::Level::danger},
        {h + "/Movies/Iceland Trip 4K.mov", false, Risk::Level::normal},
    };
    const HostLayout mac = HostLayout::macOS(h);
    Demo::setOnForTesting(true);
    for (const Case& c : cases) {
        const Risk risk = RiskCatalog::assess(c.path, c.isDirectory, false, 1000);
        EXPECT_EQ(risk.level, c.level) << c.path;
        EXPECT_EQ(risk.why, RiskCatalog::assess(c.path, c.isDirectory, false, 1000, mac).why) << c.path;
        EXPECT_EQ(SafetyGuard::isProtected(c.path), c.level == Risk::Level::locked) << c.path;
    }
    EXPECT_EQ(SafetyGuard::reason(h + "/Pictures"), SafetyGuard::reason(h + "/Pictures", mac));
    const auto legend = [](const std::vector<RiskSummaryRow>& rows) {
        std::vector<std::vector<std::string>> items;
        for (const RiskSummaryRow& row : rows)
            items.push_back(row.items);
        return items;
    };
    EXPECT_EQ(legend(RiskCatalog::summary()), legend(RiskCatalog::summary(mac)));
    const std::vector<JunkLocation> locations = Demo::junkLocations();
    Demo::setOnForTesting(false);
    EXPECT_EQ(locations, JunkLocation::all(mac));
    EXPECT_THAT(locations.front().detail,
                testing::EndsWith("Apple's own caches (com.apple.*) are left alone."));
    EXPECT_EQ(locations.at(7).blurb(), ".dmg \u00B7 .pkg \u00B7 .iso");
    EXPECT_FALSE(SafetyGuard::isProtected(h + "/Pictures", HostLayout::linux("/home/u")));
}

TEST(Demo, IdsContinueFromTheGivenFirstID) {
    for (int64_t first : {1, 26}) {
        auto result = Demo::scanResult(first);
        std::vector<int64_t> ids;
        for (const auto& f : result->files())
            ids.push_back(f.id);
        std::sort(ids.begin(), ids.end());
        ASSERT_EQ(ids.size(), 25u);
        EXPECT_EQ(ids.front(), first);
        EXPECT_EQ(ids.back(), first + 24);
        EXPECT_EQ(result->lastID(), first + 25);
    }
}

TEST(Demo, SampleTreeFigures) {
    auto result = Demo::scanResult(1);
    const DirNode& root = *result->root();
    EXPECT_EQ(root.path(), "/Users/drevo");
    EXPECT_EQ(root.size(), 218'323'000'000);
    EXPECT_EQ(root.fileCount(), 537'529);
    EXPECT_EQ(result->totalFiles(), 537'529);
    EXPECT_EQ(result->totalDirs(), 45);
    EXPECT_EQ(allFolders(root).size(), 45u);
    EXPECT_EQ(result->unreadableCount(), 0);
    EXPECT_DOUBLE_EQ(result->duration(), 6.4);

    int64_t topLevel = 0;
    for (const auto& c : root.children())
        topLevel += c->size();
    ASSERT_EQ(root.files().size(), 1u);
    EXPECT_EQ(root.files()[0].name, "Archive 2019.zip");
    EXPECT_EQ(topLevel + root.files()[0].size, root.size());

    auto drone = result->node("/Users/drevo/Movies/Drone Footage");
    ASSERT_TRUE(drone);
    EXPECT_EQ(drone->size(), 14'120'000'000);
    EXPECT_EQ(drone->fileCount(), 3);

    // Every folder's size is what its contents add up to.
    for (const DirNode* n : allFolders(root)) {
        int64_t sum = n->smallFilesSize();
        for (const auto& c : n->children())
            sum += c->size();
        for (const auto& f : n->files()) {
            sum += f.size;
            EXPECT_EQ(f.parent, n);
            EXPECT_EQ(f.path, n->path() + "/" + f.name);
        }
        EXPECT_EQ(n->size(), sum) << n->path();
        // Largest first.
        EXPECT_TRUE(std::is_sorted(n->children().begin(), n->children().end(),
                                   [](const auto& a, const auto& b) { return a->size() > b->size(); }));
    }
}

TEST(Demo, SampleFilesLargestFirst) {
    auto result = Demo::scanResult(1);
    const auto& files = result->files();
    ASSERT_EQ(files.size(), 25u);
    EXPECT_EQ(files[0].name, "Photos Library.photoslibrary");
    EXPECT_EQ(files[0].size, 34'200'000'000);
    EXPECT_EQ(files[1].name, "Windows 11.vdi");
    EXPECT_EQ(files[1].size, 27'900'000'000);
    EXPECT_EQ(files.back().name, "vault.kdbx");
    EXPECT_EQ(files.back().size, 3'000'000);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(),
                               [](const auto& a, const auto& b) { return a.size > b.size; }));

    struct Expect {
        const char* name;
        FileCategory category;
        bool isPackage;
        int ageDays;
    };
    const Expect cases[] = {
        {"Photos Library.photoslibrary", FileCategory::other, true, 3},
        {"Album Demo.logicx", FileCategory::audio, true, 3},
        {"Thesis Draft.pages", FileCategory::document, true, 3},
        {"DJI_0412.MP4", FileCategory::video, false, 300},
        {"Archive 2019.zip", FileCategory::archive, false, 900},
        {"vault.kdbx", FileCategory::classify("kdbx"), false, 2},
    };
    const auto now = std::chrono::system_clock::now();
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.name);
        auto it =
            std::find_if(files.begin(), files.end(), [&](const FileItem& f) { return f.name == e.name; });
        ASSERT_NE(it, files.end());
        EXPECT_EQ(it->category, e.category);
        EXPECT_EQ(it->isPackage, e.isPackage);
        EXPECT_EQ(it->logicalSize, it->size);
        EXPECT_EQ(it->accessed, it->modified);
        auto age = std::chrono::duration_cast<std::chrono::seconds>(now - it->modified).count();
        EXPECT_NEAR(static_cast<double>(age), e.ageDays * 86400.0, 60);
    }
    int packages = 0;
    for (const auto& f : files)
        packages += f.isPackage;
    EXPECT_EQ(packages, 3);

    const auto& video = result->categoryTotals().at(FileCategory::video);
    EXPECT_EQ(video.size, 38'190'000'000);
    EXPECT_EQ(video.count, 9);
}

TEST(Demo, BuildProductsLargestFirst) {
    auto result = Demo::scanResult(1);
    const std::string h = "/Users/drevo/";
    const std::vector<DevArtifact> expected = {
        {h + "Projects/pixel-quest/target", "Rust build", 3620000000, 14100},
        {h + ".gradle", "Gradle cache", 3420000000, 40500},
        {h + "Projects/orbit-ios/.build", "Swift build", 2410000000, 9020},
        {h + "Projects/atlas-web/node_modules", "Node.js dependencies", 1940000000, 48200},
        {h + "Projects/nimbus-api/.venv", "Python virtualenv", 840000000, 21300},
        {h + "Projects/atlas-web/.next", "Next.js build", 620000000, 3100},
    };
    EXPECT_EQ(result->artifacts(), expected);
    EXPECT_EQ(result->node(h + ".gradle")->artifactKind(), "Gradle cache");
}

TEST(Demo, JunkFigures) {
    const auto& m = Demo::measurements();
    EXPECT_EQ(m.size(), 8u);
    EXPECT_EQ(m.count("backups"), 0u);
    EXPECT_EQ(m.at("installers"), (DiskUsage{14'820'000'000, 5, true, true}));
    int64_t listed = 0;
    for (const auto& e : Demo::cacheContents()) {
        EXPECT_TRUE(e.isDirectory);
        EXPECT_EQ(e.path.rfind("/Users/drevo/Library/Caches/", 0), 0u);
        listed += e.size;
    }
    EXPECT_EQ(Demo::cacheContents().size(), 10u);
    EXPECT_EQ(Demo::cacheContents().front().path, "/Users/drevo/Library/Caches/com.spotify.client");
    EXPECT_EQ(listed, m.at("caches").size);
    EXPECT_EQ(Demo::trash(), (DiskUsage{2'300'000'000, 412, true, true}));
}

}  // namespace
}  // namespace nimbrel
