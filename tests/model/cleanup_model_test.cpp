#include "model/cleanup_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "engine/demo.h"
#include "engine/host_layout.h"
#include "model/background.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

JunkLocation location(const std::string& id, JunkLocation::Risk risk, std::vector<std::string> paths) {
    JunkLocation l;
    l.id = id;
    l.risk = risk;
    l.paths = std::move(paths);
    return l;
}

// Disk work that answers from tables and counts its calls.
struct FakeDisk {
    std::mutex mutex;
    std::unordered_map<std::string, DiskUsage> sizes;  // by location id
    std::unordered_map<std::string, std::vector<JunkEntry>> listings;
    std::atomic<int> runs{0};
    std::atomic<int> lists{0};

    CleanupModel::Disk disk() {
        CleanupModel::Disk d;
        d.measure = [this](const JunkLocation& l) {
            std::lock_guard lock(mutex);
            auto it = sizes.find(l.id);
            return it == sizes.end() ? DiskUsage{} : it->second;
        };
        d.trash = [this](const std::string&) {
            ++runs;
            return TrashUsage{DiskUsage{7, 1, true, true}};
        };
        d.folders = [](const JunkLocation&) { return std::vector<std::string>{}; };
        d.list = [this](const JunkLocation& l) {
            ++lists;
            std::lock_guard lock(mutex);
            return listings[l.id];
        };
        return d;
    }
};

const std::string kCaches = "/h/Library/Caches";

std::vector<JunkLocation> catalogue() {
    return {location("caches", JunkLocation::Risk::safe, {kCaches}),
            location("logs", JunkLocation::Risk::safe, {"/h/Library/Logs"}),
            location("archives", JunkLocation::Risk::caution, {"/h/Archives"}),
            location("devicesupport", JunkLocation::Risk::safe,
                     {"/h/iOS DeviceSupport", "/h/macOS DeviceSupport"})};
}

DiskUsage usage(int64_t size, bool exists = true, bool readable = true) {
    return DiskUsage{size, size > 0 ? 3 : 0, exists, readable};
}

void measureAndWait(CleanupModel& model) {
    model.measure();
    ASSERT_TRUE(waitOn(&model, &CleanupModel::isMeasuringChanged, [&] { return !model.isMeasuring(); }));
}

TEST(CleanupModel, RequestsDuringAMeasurementCollapseIntoOneRerun) {
    FakeDisk fake;
    QThreadPool pool;
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk(), nullptr, &pool, &pool);
    QSignalSpy measuring(&model, &CleanupModel::isMeasuringChanged);
    for (int i = 0; i < 4; ++i)
        model.measure();
    EXPECT_TRUE(model.isMeasuring());
    ASSERT_TRUE(waitOn(&model, &CleanupModel::isMeasuringChanged,
                       [&] { return fake.runs == 2 && !model.isMeasuring(); }));
    drain(pool);
    EXPECT_EQ(fake.runs, 2);
    EXPECT_FALSE(model.isMeasuring());
    EXPECT_EQ(model.trash(), (TrashUsage{DiskUsage{7, 1, true, true}}));
    // On, off for the first run, on and off again for the rerun.
    EXPECT_EQ(measuring.count(), 4);
}

TEST(CleanupModel, FirstMeasurementSelectsSafeLocationsWithDataOnly) {
    FakeDisk fake;
    fake.sizes = {
        {"caches", usage(500)}, {"logs", usage(0)}, {"archives", usage(900)}, {"devicesupport", usage(1)}};
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk());
    measureAndWait(model);
    EXPECT_TRUE(model.hasMeasured());
    EXPECT_EQ(model.selected(), (std::unordered_set<std::string>{"caches", "devicesupport"}));
    EXPECT_EQ(model.measurements().at("archives").size, 900);

    model.setSelected({"archives"});
    fake.sizes["logs"] = usage(300);
    measureAndWait(model);
    EXPECT_EQ(model.selected(), (std::unordered_set<std::string>{"archives"}));
    EXPECT_EQ(model.measurements().at("logs").size, 300);
}

TEST(CleanupModel, MeasurementDropsEveryListing) {
    FakeDisk fake;
    fake.sizes = {{"caches", usage(500)}};
    fake.listings["caches"] = {{kCaches + "/a", 500, true}};
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk());
    model.loadContents(model.locations()[0], false);
    ASSERT_TRUE(
        waitOn(&model, &CleanupModel::contentsChanged, [&] { return model.contents().count("caches") > 0; }));
    measureAndWait(model);
    EXPECT_TRUE(model.contents().empty());
}

TEST(CleanupModel, SubtractLowersTheLocationThatHeldTheRemovedPaths) {
    struct Case {
        const char* what;
        std::unordered_map<std::string, int64_t> removed;
        int64_t cachesSize;
        std::vector<std::string> cachesListing;
        int64_t supportSize;
    };
    const Case cases[] = {
        {"one cache folder", {{kCaches + "/b", 500}}, 1500, {kCaches + "/a"}, 40},
        {"the location folder itself", {{kCaches, 700}}, 1300, {kCaches + "/a", kCaches + "/b"}, 40},
        {"more than measured", {{kCaches + "/a", 1500}, {kCaches + "/b", 900}}, 0, {}, 40},
        {"a folder that only starts alike",
         {{"/h/Library/CachesOld/x", 300}},
         2000,
         {kCaches + "/a", kCaches + "/b"},
         40},
        {"nothing freed", {{kCaches + "/b", 0}}, 2000, {kCaches + "/a", kCaches + "/b"}, 40},
        {"second folder of a location",
         {{"/h/macOS DeviceSupport/14.0", 15}},
         2000,
         {kCaches + "/a", kCaches + "/b"},
         25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDisk fake;
        fake.sizes = {{"caches", usage(2000)}, {"devicesupport", usage(40)}};
        fake.listings["caches"] = {{kCaches + "/a", 1500, true}, {kCaches + "/b", 500, true}};
        CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk());
        measureAndWait(model);
        model.loadContents(model.locations()[0], false);
        ASSERT_TRUE(waitOn(&model, &CleanupModel::contentsChanged,
                           [&] { return model.contents().count("caches") > 0; }));

        model.subtract(c.removed);
        const DiskUsage& caches = model.measurements().at("caches");
        EXPECT_EQ(caches.size, c.cachesSize);
        EXPECT_EQ(caches.items, 3);
        EXPECT_TRUE(caches.exists);
        std::vector<std::string> listed;
        for (const auto& e : model.contents().at("caches"))
            listed.push_back(e.path);
        EXPECT_EQ(listed, c.cachesListing);
        EXPECT_EQ(model.measurements().at("devicesupport").size, c.supportSize);
        EXPECT_EQ(model.contents().count("devicesupport"), 0u);
    }
}

TEST(CleanupModel, SubtractChargesOnlyWhatTheLocationCounted) {
    JunkLocation installers = location("installers", JunkLocation::Risk::caution, {"/h/Downloads"});
    installers.kind = JunkLocation::Kind::matching;
    installers.extensions = {"dmg", "pkg"};
    JunkLocation caches = location("caches", JunkLocation::Risk::safe, {kCaches});
    caches.skipPrefixes = {"com.apple."};
    JunkLocation simulators = location("simulators", JunkLocation::Risk::safe, {"/h/Sim"});
    simulators.kind = JunkLocation::Kind::item;
    struct Case {
        const char* what;
        std::string removed;
        int64_t installers, caches, simulators;
    };
    const Case cases[] = {
        {"an installer", "/h/Downloads/Tool.DMG", 900, 1000, 1000},
        {"inside an installer bundle", "/h/Downloads/Tool.pkg/Contents/x", 900, 1000, 1000},
        {"a movie in the downloads folder", "/h/Downloads/movie.mkv", 1000, 1000, 1000},
        {"inside a folder of the downloads", "/h/Downloads/sub/Tool.dmg", 1000, 1000, 1000},
        {"a cache", kCaches + "/org.app/blob", 1000, 900, 1000},
        {"a system cache the location skips", kCaches + "/com.apple.x/blob", 1000, 1000, 1000},
        {"the whole caches folder", kCaches, 1000, 900, 1000},
        {"inside an item location", "/h/Sim/device/data", 1000, 1000, 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDisk fake;
        fake.sizes = {{"installers", usage(1000)}, {"caches", usage(1000)}, {"simulators", usage(1000)}};
        CleanupModel model({installers, caches, simulators}, "/h/.Trash", false, fake.disk());
        measureAndWait(model);
        model.subtract({{c.removed, 100}});
        EXPECT_EQ(model.measurements().at("installers").size, c.installers);
        EXPECT_EQ(model.measurements().at("caches").size, c.caches);
        EXPECT_EQ(model.measurements().at("simulators").size, c.simulators);
    }
}

TEST(CleanupModel, SubtractLeavesUnmeasuredLocationsAlone) {
    FakeDisk fake;
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk());
    QSignalSpy spy(&model, &CleanupModel::measurementsChanged);
    model.subtract({{kCaches + "/a", 10}});
    EXPECT_TRUE(model.measurements().empty());
    EXPECT_EQ(spy.count(), 0);
}

TEST(CleanupModel, VisibleLocations) {
    QTemporaryDir dir;
    const std::string existing = dir.path().toStdString();
    FakeDisk fake;
    fake.sizes = {{"data", usage(10)},
                  {"empty", usage(0)},
                  {"unreadable", usage(0, true, false)},
                  {"missing", usage(0, false, true)}};
    std::vector<JunkLocation> measured;
    for (const char* id : {"data", "empty", "unreadable", "missing"}) {
        measured.push_back(location(id, JunkLocation::Risk::safe, {"/nowhere/" + std::string(id)}));
    }
    CleanupModel model(measured, "/h/.Trash", false, fake.disk());
    measureAndWait(model);
    std::vector<std::string> ids;
    for (const auto& l : model.visibleLocations())
        ids.push_back(l.id);
    EXPECT_THAT(ids, testing::ElementsAre("data", "unreadable"));

    // Before any measurement nothing shows, even where a folder exists: only a worker looks.
    CleanupModel fresh({location("here", JunkLocation::Risk::safe, {existing})}, "/h/.Trash", false,
                       fake.disk());
    EXPECT_TRUE(fresh.visibleLocations().empty());
}

TEST(CleanupModel, ListingRunsOncePerLocationAndSortsLargestFirst) {
    FakeDisk fake;
    fake.listings["caches"] = {
        {kCaches + "/s", 5, false}, {kCaches + "/l", 900, true}, {kCaches + "/t", 5, true}};
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk());
    const JunkLocation& caches = model.locations()[0];
    model.loadContents(caches, false);
    model.loadContents(caches, false);
    model.loadContents(caches, true);
    EXPECT_EQ(model.loadingContents(), (std::unordered_set<std::string>{"caches"}));
    ASSERT_TRUE(waitOn(&model, &CleanupModel::loadingContentsChanged,
                       [&] { return model.loadingContents().empty(); }));
    EXPECT_EQ(fake.lists, 1);
    std::vector<std::string> listed;
    for (const auto& e : model.contents().at("caches"))
        listed.push_back(e.path);
    EXPECT_THAT(listed, testing::ElementsAre(kCaches + "/l", kCaches + "/s", kCaches + "/t"));

    model.loadContents(caches, false);  // already listed
    EXPECT_TRUE(model.loadingContents().empty());
    model.loadContents(caches, true);
    ASSERT_TRUE(waitOn(&model, &CleanupModel::loadingContentsChanged,
                       [&] { return model.loadingContents().empty(); }));
    EXPECT_EQ(fake.lists, 2);
}

TEST(CleanupModel, DemoModeShowsTheSampleAndReadsNothing) {
    Demo::setOnForTesting(true);
    FakeDisk fake;
    QThreadPool pool;
    CleanupModel model(catalogue(), "/h/.Trash", false, fake.disk(), nullptr, &pool, &pool);
    model.measure();
    EXPECT_FALSE(model.isMeasuring());
    model.setSelected({"logs"});
    model.loadDemo();
    EXPECT_TRUE(model.hasMeasured());
    EXPECT_TRUE(model.selected().empty());
    EXPECT_EQ(model.measurements().size(), 8u);
    EXPECT_EQ(model.trash(), TrashUsage{Demo::trash()});
    EXPECT_EQ(model.contents().at("caches").size(), 10u);
    model.loadContents(model.locations()[1], true);
    model.loadContents(model.locations()[0], true);
    EXPECT_TRUE(model.contents().at("logs").empty());
    EXPECT_EQ(model.contents().at("caches").size(), 10u);
    drain(pool);
    EXPECT_EQ(fake.runs, 0);
    EXPECT_EQ(fake.lists, 0);
    Demo::setOnForTesting(false);
}

// The real disk work on a temporary home: the host's cache folder and its Trash.
TEST(CleanupModel, MeasuresAndListsARealHome) {
    QTemporaryDir dir;
    const std::string home = dir.path().toStdString();
    const HostLayout layout = HostLayout::linux(home);
    // Not layout.trashFolder: XDG_DATA_HOME may point it at the real Trash.
    const std::string trash = home + "/.local/share/Trash";
    std::filesystem::create_directories(home + "/.cache/app");
    std::filesystem::create_directories(trash + "/files");
    std::ofstream(home + "/.cache/app/blob", std::ios::binary) << std::string(100000, 'x');
    std::ofstream(home + "/.cache/loose", std::ios::binary) << std::string(10000, 'y');
    std::ofstream(trash + "/files/old", std::ios::binary) << std::string(50000, 'z');
    std::filesystem::create_directories(home + "/.gradle/caches");

    // The volumes' Trash folders from no mount table: the machine's own are not the test's.
    CleanupModel model(JunkLocation::all(layout), trash, false, CleanupModel::Disk::real("", ::getuid()));
    measureAndWait(model);
    // Which of a location's folders are there is read with its measurement, for the rows to count.
    EXPECT_EQ(model.folders().at("pkgcaches"), std::vector<std::string>{home + "/.gradle/caches"});
    const DiskUsage& caches = model.measurements().at("caches");
    EXPECT_EQ(caches.items, 2);
    EXPECT_GE(caches.size, 110000);
    EXPECT_TRUE(model.selected().count("caches"));
    ASSERT_TRUE(model.trash().has_value());
    EXPECT_EQ(model.trash()->usage.items, 1);

    auto it = std::find_if(model.locations().begin(), model.locations().end(),
                           [](const JunkLocation& l) { return l.id == "caches"; });
    model.loadContents(*it, false);
    ASSERT_TRUE(
        waitOn(&model, &CleanupModel::contentsChanged, [&] { return model.contents().count("caches") > 0; }));
    const auto& listed = model.contents().at("caches");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].path, home + "/.cache/app");
    EXPECT_TRUE(listed[0].isDirectory);
    EXPECT_FALSE(listed[1].isDirectory);
    EXPECT_EQ(listed[0].size + listed[1].size, caches.size);

    // The model of this binary's throwaway home learns of its simulators with its measurement, on a
    // worker: making it reads nothing, so a home on a share that stopped answering holds no window.
    const passwd* user = getpwuid(geteuid());
    if (user && HostLayout::current().home == normalizePath(user->pw_dir, "/")) return;
    const std::string devices = HostLayout::current().home + "/Library/Developer/CoreSimulator/Devices";
    std::filesystem::create_directories(devices);
    CleanupModel own(nullptr, nullptr, nullptr, CleanupModel::Disk::real("", ::getuid()));
    EXPECT_FALSE(own.hasSimulators());
    measureAndWait(own);
    EXPECT_TRUE(own.hasSimulators());
    std::filesystem::remove_all(HostLayout::current().home + "/Library");
}

// ~/Downloads as a link: the installers are listed where it leads, unless it leads to or into a
// folder the guard keeps. The guard knows ~/Downloads by where it leads, so this needs the layout's
// own home, which this binary points at a throwaway folder.
TEST(CleanupModel, ALinkedDownloadsListsTheInstallersWhereItLeads) {
    const std::string home = HostLayout::current().home;
    const passwd* user = getpwuid(geteuid());
    if (user && home == normalizePath(user->pw_dir, "/"))
        GTEST_SKIP() << "the home is the user's real one; its Downloads is left alone";
    const std::string downloads = home + "/Downloads";
    if (std::filesystem::exists(std::filesystem::symlink_status(downloads)))
        GTEST_SKIP() << downloads << " exists already";
    QTemporaryDir dir;
    const std::string elsewhere = dir.path().toStdString();
    std::filesystem::create_directories(elsewhere + "/dl");
    std::filesystem::create_directories(home + "/Documents");
    for (const std::string& folder : {elsewhere + "/dl", home + "/Documents", home})
        std::ofstream(folder + "/tool.iso", std::ios::binary) << std::string(30000, 'i');
    std::ofstream(elsewhere + "/dl/notes.txt") << "n";

    const struct {
        std::string target;
        std::vector<std::string> listed;
    } cases[] = {
        {elsewhere + "/dl", {downloads + "/tool.iso"}},
        {home + "/Documents", {}},  // a kept folder
        {home, {}},                 // the home itself
        {"/usr/share", {}},         // a kept tree
    };
    for (const auto& c : cases) {
        std::filesystem::create_directory_symlink(c.target, downloads);
        const auto all = JunkLocation::all();
        const JunkLocation& installers =
            *std::find_if(all.begin(), all.end(), [](const JunkLocation& l) { return l.id == "installers"; });
        EXPECT_EQ(installers.targets(), c.listed) << c.target;
        EXPECT_EQ(installers.measure().items, int64_t(c.listed.size())) << c.target;
        std::filesystem::remove(downloads);
    }
    std::filesystem::remove(home + "/tool.iso");
    std::filesystem::remove_all(home + "/Documents/tool.iso");
}

}  // namespace
}  // namespace nimbrel
