// The removal road's figures: what a removal credits (hard links, the freed total, a folder partly
// removed), junk locations and twins as the review hands them over, and the demo that touches
// nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "engine/demo.h"
#include "engine/safety_guard.h"
#include "model/app_state_test_support.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/removal.h"
#include "model/road_harness.h"
#include "platform/trash_emptier.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using namespace road;

// A ticked junk location removes the targets the review listed when it opened, with what each was:
// an installer downloaded while the review is open stays, one replaced meanwhile stays as changed,
// and the review's figure for the location is what its listed targets weigh and what is credited.
// Deep Clean is measured again when a scan finishes, so it shows the disk the scan read.
TEST_P(RemovalRoadTest, AJunkLocationRemovesWhatTheReviewListed) {
    const std::string downloads = HostLayout::current().home + "/Downloads";
    const std::string cache = HostLayout::current().home + "/.cache";
    for (const bool replaceOne : {false, true}) {
        SCOPED_TRACE(replaceOne ? "one installer replaced with the review open" : "nothing else changes");
        std::filesystem::remove_all(downloads);
        std::filesystem::remove_all(cache);
        writeFile(downloads + "/tool.deb", 32768);
        writeFile(downloads + "/app.AppImage", 20000);
        writeFile(downloads + "/notes.txt", 5000);
        writeFile(cache + "/thumbs/a.png", 12000);
        Road road(name(std::string("installers") + (replaceOne ? "-replaced" : "")));
        road.state->cleanup().measure();
        settle();
        writeFile(cache + "/thumbs/b.png", 50000);
        road.scan();
        settle();
        EXPECT_EQ(road.state->cleanup().measurements().at("caches").size, DiskScanner::usage(cache).size);

        // Measured long ago: a size of 1.
        road.state->toggleSelection(testing::cleanItem("junk:installers", 1, CleanItem::Kind::junk,
                                                       CleanItem::Source::deepClean,
                                                       "Installers in Downloads"));
        road.review();
        settle();
        const int64_t tool = allocated(downloads + "/tool.deb"), app = allocated(downloads + "/app.AppImage");
        ASSERT_EQ(road.state->queue().items().front().size, tool + app) << "the review shows what it listed";
        writeFile(downloads + "/later.deb", 86016);
        if (replaceOne) {
            writeFile(downloads + "/new.AppImage", 20000);
            std::filesystem::rename(downloads + "/new.AppImage", downloads + "/app.AppImage");
        }
        road.state->nimbrelise(road.queued(), permanently());
        road.finish();
        EXPECT_FALSE(onDisk(downloads + "/tool.deb"));
        EXPECT_TRUE(onDisk(downloads + "/later.deb"));
        EXPECT_TRUE(onDisk(downloads + "/notes.txt"));
        EXPECT_EQ(onDisk(downloads + "/app.AppImage"), replaceOne);
        EXPECT_EQ(road.state->sessionFreed(), replaceOne ? tool : tool + app);
        ASSERT_EQ(road.failures().size(), replaceOne ? 1u : 0u);
        if (replaceOne) {
            EXPECT_EQ(road.failures()[0].reason, Reason::changedSinceScan);
        }
    }
    std::filesystem::remove_all(downloads);
    std::filesystem::remove_all(cache);
}

// The review shows a ticked junk location as the targets it pinned when it opened, each sized then:
// a folder that arrived after Deep Clean listed the location is in its list and its figure from the
// first moment, and what the review showed is exactly what leaves; what arrives later stays.
TEST_P(RemovalRoadTest, TheReviewShowsAndTakesTheTargetsItPinned) {
    const std::string cache = HostLayout::current().home + "/.cache";
    std::filesystem::remove_all(cache);
    writeFile(cache + "/alpha/a.bin", 40960);
    writeFile(cache + "/beta.bin", 20480);
    Road road(name("pinned"));
    CleanupModel& cleanup = road.state->cleanup();
    const auto caches = std::find_if(cleanup.locations().begin(), cleanup.locations().end(),
                                     [](const JunkLocation& l) { return l.id == "caches"; });
    ASSERT_NE(caches, cleanup.locations().end());
    cleanup.loadContents(*caches, false);
    ASSERT_TRUE(
        waitOn(&cleanup, &CleanupModel::contentsChanged, [&] { return cleanup.contents().count("caches"); }));
    ASSERT_EQ(cleanup.contents().at("caches").size(), 2u);
    writeFile(cache + "/gamma/g.bin", 61440);
    road.state->toggleSelection(testing::cleanItem("junk:caches", 61440, CleanItem::Kind::junk,
                                                   CleanItem::Source::deepClean, "App Caches"));
    const int64_t trashedBefore = int64_t(trashed().size());

    // Stopped while it is being prepared, the review does not open when the listing is back.
    road.state->nimbrelise();
    EXPECT_TRUE(road.state->isPreparingReview());
    road.state->stopPreparingReview();
    settle();
    EXPECT_FALSE(road.state->isReviewing());
    road.review();
    EXPECT_FALSE(road.state->isPreparingReview());
    std::vector<std::string> shown;
    int64_t shownSize = 0;
    for (const JunkEntry& entry : road.state->removal().reviewTargets().at("junk:caches")) {
        shown.push_back(entry.path);
        shownSize += entry.size;
        EXPECT_EQ(entry.size, DiskScanner::usage(entry.path).size) << entry.path;
    }
    EXPECT_EQ(shown, (std::vector<std::string>{cache + "/gamma", cache + "/alpha", cache + "/beta.bin"}));
    ASSERT_EQ(road.state->queue().items().size(), 1u);
    EXPECT_EQ(road.state->queue().items().front().size, shownSize)
        << "the figure is the pinned targets' at once";
    writeFile(cache + "/delta.bin", 8192);
    road.state->nimbrelise(road.queued(), permanently());
    road.finish();

    for (const std::string& path : shown)
        EXPECT_FALSE(onDisk(path)) << path;
    EXPECT_TRUE(onDisk(cache + "/delta.bin"));
    std::unordered_set<std::string> named;
    for (const auto& [path, bytes] : road.state->removal().lastRemoval())
        named.insert(path);
    EXPECT_EQ(named, std::unordered_set<std::string>(shown.begin(), shown.end()));
    EXPECT_EQ(int64_t(trashed().size()) - trashedBefore, permanently() ? 0 : 3);
    EXPECT_EQ(road.state->sessionFreed(), shownSize);
    ASSERT_TRUE(road.state->toast());
    EXPECT_EQ(road.state->toast()->message, removalToastText(shownSize, 3, permanently()));
    EXPECT_TRUE(road.failures().empty());
    std::filesystem::remove_all(cache);
}

// Twins whose kept copy lies in a junk location: ticking the location takes that copy as surely as
// ticking it by hand, whichever comes first and however it arrives (a tick, a drop). Ticked first,
// it keeps "Select extras" from choosing the other copy; ticked after, the extra counts on no copy
// staying, so the acknowledged selection goes whole. Behind a linked ~/.cache, which no path of the
// twin search names, the kept copy is gone before the extra is judged, and the extra stays.
TEST_P(RemovalRoadTest, AKeptTwinInsideATickedJunkLocationIsNeverCountedOnToStay) {
    const std::string home = HostLayout::current().home;
    const std::string extra = home + "/ISOs/ubuntu.iso";
    const auto clear = [&] {
        for (const char* folder : {"/Downloads", "/.cache", "/ISOs", "/disk"})
            std::filesystem::remove_all(home + folder);
    };
    struct Case {
        const char* what;
        const char* location;
        const char* kept;  // below the home folder
        bool locationFirst;
        bool dropped;
        bool linkedCache;
        bool extraStays;
    };
    const Case cases[] = {
        {"extras, then Installers", "installers", "/Downloads/ubuntu.iso", false, false, false, false},
        {"Installers, then extras", "installers", "/Downloads/ubuntu.iso", true, false, false, true},
        {"extras, then App Caches dropped", "caches", "/.cache/app/ubuntu.iso", false, true, false, false},
        {"App Caches dropped, then extras", "caches", "/.cache/app/ubuntu.iso", true, true, false, true},
        {"extras, then App Caches behind a link", "caches", "/disk/cache/app/ubuntu.iso", false, false, true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        const std::string kept = home + c.kept;
        writeFile(kept, 70000, 'u');
        writeFile(extra, 70000, 'u');
        const struct timespec older[2] = {{1'000'000, 0}, {1'000'000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, extra.c_str(), older, 0), 0);
        if (c.linkedCache) std::filesystem::create_directory_symlink(home + "/disk/cache", home + "/.cache");

        Road road(name("kept-in-junk"));
        road.scan(home);
        road.state->duplicates().run(std::shared_ptr<const ScanResult>(road.state->result()), 1);
        ASSERT_TRUE(waitOn(&road.state->duplicates(), &DuplicatesModel::hasRunChanged,
                           [&] { return road.state->duplicates().hasRun(); }));
        ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
        const auto tickLocation = [&] {
            CleanItem location =
                testing::cleanItem(std::string("junk:") + c.location, 1, CleanItem::Kind::junk,
                                   CleanItem::Source::deepClean, c.location);
            if (c.dropped)
                road.state->queue().addAside(std::vector<CleanItem>{location});
            else
                road.state->toggleSelection(location);
        };
        const auto selectExtras = [&] {
            road.state->selectTwinExtras([](const std::vector<DuplicateGroup>& groups) {
                return std::vector<const DuplicateGroup*>{&groups.front()};
            });
        };
        if (c.locationFirst) tickLocation();
        settle();
        selectExtras();
        settle();
        if (!c.locationFirst) tickLocation();
        settle();
        EXPECT_EQ(road.queued().count(extra), c.locationFirst ? 0u : 1u) << "extras chosen";
        if (c.locationFirst) {
            const auto& locations = road.state->cleanup().locations();
            const auto location = std::find_if(locations.begin(), locations.end(),
                                               [&](const JunkLocation& l) { return l.id == c.location; });
            ASSERT_NE(location, locations.end());
            ASSERT_TRUE(road.state->toast());
            EXPECT_EQ(
                road.state->toast()->message,
                QStringLiteral("The kept copy of “ubuntu.iso” is in %1, which is selected, so its other "
                               "copies stay unselected")
                    .arg(QString::fromStdString(location->title)));
        }

        road.removeAll(permanently());
        EXPECT_FALSE(onDisk(kept));
        EXPECT_EQ(onDisk(extra), c.extraStays);
        const std::vector<DeletionFailure> failures = road.failures();
        EXPECT_EQ(failures.size(), c.extraStays && !c.locationFirst ? 1u : 0u);
        if (failures.size() == 1) {
            EXPECT_EQ(failures[0].path, extra);
            EXPECT_EQ(failures[0].reason, Reason::notTwin);
        }
    }
    clear();
}

// A hard-linked file gives its bytes back with its last name only, to the Trash as for good: a name
// whose other name stays outside frees nothing; both names ticked, as two files or inside two
// ticked folders, free the file once, whichever goes first.
TEST_P(RemovalRoadTest, AHardLinkedFileFreesItsBytesWithItsLastName) {
    struct Case {
        const char* label;
        std::vector<std::string> ticks;
        bool otherNameOutside;
    };
    const std::vector<Case> cases = {
        {"other name outside", {"a/shared.bin", "a/own.bin"}, true},
        {"both names ticked", {"a/shared.bin", "b/twin.bin", "a/own.bin"}, false},
        {"both names in ticked folders", {"a", "b"}, false},
        {"the second name first", {"b/twin.bin", "a/shared.bin", "a/own.bin"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string outside = base() + "/" + name(std::string("other-name-") + c.label);
        Road road(name(std::string("hardlink-") + c.label));
        writeFile(road.path("a/shared.bin"), 40000);
        std::filesystem::create_directories(road.path("b"));
        std::filesystem::create_hard_link(road.path("a/shared.bin"),
                                          c.otherNameOutside ? outside : road.path("b/twin.bin"));
        writeFile(road.path("a/own.bin"), 8000);
        if (c.otherNameOutside) writeFile(road.path("b/other.bin"), 100);
        road.scan();
        for (const std::string& tick : c.ticks)
            road.tick(tick);
        const int64_t file = allocated(road.path("a/shared.bin")), own = allocated(road.path("a/own.bin"));
        road.removeAll(permanently());
        for (const DeletionFailure& failure : road.failures())
            ADD_FAILURE() << failure.path << ": " << failure.detail;
        EXPECT_FALSE(onDisk(road.path("a/shared.bin")));
        EXPECT_EQ(onDisk(outside), c.otherNameOutside);
        EXPECT_EQ(road.state->sessionFreed(), own + (c.otherNameOutside ? 0 : file));
        EXPECT_FALSE(road.inTree("a/shared.bin"));
        std::filesystem::remove(outside);
    }
}

TEST_P(RemovalRoadTest, FreedTotalToastAndPruningMatchTheDisk) {
    Road road(name("totals"));
    writeFile(road.path("a/copy1.bin"), 6000, 'q');
    writeFile(road.path("b/copy2.bin"), 6000, 'q');
    writeFile(road.path("c/copy3.bin"), 6000, 'q');
    writeFile(road.path("big/one.bin"), 40000);
    writeFile(road.path("big/nested/two.bin"), 20000);
    writeFile(road.path("vanishing.bin"), 9000);
    writeFile(road.path("stays.bin"), 3000);
    road.scan();

    const auto& listed = road.state->result()->files();
    road.state->duplicates().run(std::vector<FileItem>(listed.begin(), listed.end()), 0);
    ASSERT_TRUE(waitOn(
        &road.state->duplicates(), &DuplicatesModel::isRunningChanged,
        [&] { return !road.state->duplicates().isRunning(); }, 20000));
    ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
    ASSERT_EQ(road.state->duplicates().groups()[0].files.size(), 3u);

    road.tick("a/copy1.bin");
    road.tick("big");
    road.tick("vanishing.bin");
    const int64_t rootBefore = road.state->result()->root()->size();
    const int64_t scanned =
        road.item("a/copy1.bin")->size + road.item("big")->size + road.item("vanishing.bin")->size;
    const int64_t reallyFreed = allocated(road.path("a/copy1.bin")) + road.item("big")->size;
    // Gone before the removal reaches it: counted as removed, with nothing freed.
    std::filesystem::remove(road.path("vanishing.bin"));
    road.removeAll(permanently());

    EXPECT_TRUE(road.failures().empty());
    EXPECT_EQ(road.state->sessionFreed(), reallyFreed);
    ASSERT_TRUE(road.state->toast());
    EXPECT_EQ(road.state->toast()->message, removalToastText(reallyFreed, 3, permanently()));
    EXPECT_EQ(road.state->removal().lastRemoval().at(road.path("vanishing.bin")), 0);
    EXPECT_FALSE(onDisk(road.path("big")));
    EXPECT_FALSE(onDisk(road.path("a/copy1.bin")));
    EXPECT_TRUE(onDisk(road.path("stays.bin")));

    EXPECT_TRUE(road.queued().empty());
    for (const char* gone : {"a/copy1.bin", "big", "big/one.bin", "big/nested", "vanishing.bin"})
        EXPECT_FALSE(road.inTree(gone)) << gone;
    for (const char* kept : {"a", "b/copy2.bin", "c/copy3.bin", "stays.bin"})
        EXPECT_TRUE(road.inTree(kept)) << kept;
    EXPECT_EQ(road.state->result()->root()->size(), rootBefore - scanned);
    ASSERT_EQ(road.state->duplicates().groups().size(), 1u);
    std::vector<std::string> twins;
    for (const FileItem& f : road.state->duplicates().groups()[0].files)
        twins.push_back(f.path);
    std::sort(twins.begin(), twins.end());
    EXPECT_EQ(twins, (std::vector<std::string>{road.path("b/copy2.bin"), road.path("c/copy3.bin")}));
}

// What a scan counts below `folder`, read straight off the disk: regular files by their blocks (a
// hard-linked one once), nothing below `skipped`, no links.
std::pair<int64_t, int64_t> countedOnDisk(const std::string& folder, const std::string& skipped = {}) {
    int64_t size = 0, files = 0;
    std::set<std::pair<dev_t, ino_t>> linked;
    for (auto it = std::filesystem::recursive_directory_iterator(folder);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        if (!skipped.empty() && it->path().string() == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        if (lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (st.st_nlink > 1 && !linked.insert({st.st_dev, st.st_ino}).second) continue;
        size += int64_t(st.st_blocks) * 512;
        ++files;
    }
    return {size, files};
}

// The result's figures for a folder, and its categories' sum, beside the disk's.
void expectTheDisk(const Road& road, const std::string& skipped = {}) {
    const ScanResult& result = *road.state->result();
    for (const std::string& folder : {road.root, road.path("keep")}) {
        const auto node = result.node(folder);
        ASSERT_TRUE(node) << folder;
        EXPECT_EQ(std::make_pair(node->size(), node->fileCount()), countedOnDisk(folder, skipped)) << folder;
    }
    int64_t size = 0, count = 0;
    for (const auto& [category, total] : result.categoryTotals()) {
        size += total.size;
        count += total.count;
    }
    EXPECT_EQ(std::make_pair(size, count), std::make_pair(result.root()->size(), result.root()->fileCount()));
}

// A rescan that read the disk before a removal took a folder and a file it counted loose shows the
// disk the removal left, whether its result arrives while the removal is on screen or after it
// ended: what went leaves the new result as it left the old one, and nothing is taken twice.
TEST_P(RemovalRoadTest, ARescanThatOverlapsARemovalShowsTheDiskItLeft) {
    for (const bool afterTheEnd : {true, false}) {
        SCOPED_TRACE(afterTheEnd ? "the result arrives after the removal ended"
                                 : "it arrives during its hold");
        Road road(name(afterTheEnd ? "rescan-after" : "rescan-during"));
        road.options.minTrackedSize = 10000;
        for (int i = 0; i < 30; ++i)
            writeFile(road.path("doomed/f" + std::to_string(i)), 4096);
        writeFile(road.path("doomed/big.bin"), 40000);
        writeFile(road.path("keep/stays.bin"), 20000);
        writeFile(road.path("keep/small.log"), 3000);
        writeFile(road.path("keep/loose.tmp"), 3000);
        road.scan();
        road.tick("doomed");
        road.tick("keep/loose.tmp");

        std::promise<void> read, release;
        std::shared_future<void> released = release.get_future().share();
        road.scanRead = [&read, released] {
            read.set_value();
            released.wait();
        };
        road.state->scan(road.root);
        ASSERT_EQ(read.get_future().wait_for(20s), std::future_status::ready);
        road.review();
        road.state->nimbrelise(road.queued(), permanently());
        settle();
        ASSERT_TRUE(road.state->isDeleting()) << "the hold plays";
        if (afterTheEnd) road.finish();
        release.set_value();
        ASSERT_TRUE(waitOn(road.state.get(), &AppState::isScanningChanged,
                           [&] { return !road.state->isScanning(); }));
        road.finish();
        settle();

        EXPECT_FALSE(onDisk(road.path("doomed")));
        EXPECT_FALSE(onDisk(road.path("keep/loose.tmp")));
        EXPECT_FALSE(road.inTree("doomed"));
        for (const FileItem& file : road.state->result()->files())
            EXPECT_FALSE(file.path.str().starts_with(road.path("doomed/"))) << file.path.str();
        expectTheDisk(road);
    }
}

// A removed path the scan never counted lowers nothing: a folder excluded from scans, a link, a
// file made after the scan; a file it counted loose lowers its folder by what it weighed.
TEST_P(RemovalRoadTest, APathTheScanNeverCountedLowersNothing) {
    Road road(name("uncounted"));
    road.options.minTrackedSize = 10000;
    road.options.excludedPaths = {road.path("keep/excluded")};
    writeFile(road.path("keep/stays.bin"), 20000);
    writeFile(road.path("keep/small.log"), 3000);
    writeFile(road.path("keep/loose.tmp"), 5000);
    writeFile(road.path("keep/excluded/a.bin"), 50000);
    writeFile(road.path("keep/excluded/b.log"), 4000);
    std::filesystem::create_symlink("stays.bin", road.path("keep/link"));
    road.scan();
    writeFile(road.path("keep/later.tmp"), 8000);
    for (const char* entry : {"keep/excluded", "keep/link", "keep/later.tmp", "keep/loose.tmp"})
        road.tick(entry);
    road.removeAll(permanently());
    EXPECT_TRUE(road.failures().empty());
    for (const char* gone : {"keep/excluded", "keep/link", "keep/later.tmp", "keep/loose.tmp"})
        EXPECT_FALSE(onDisk(road.path(gone))) << gone;
    expectTheDisk(road);
}

// An immutable file inside a ticked folder stays, with the folders that hold it; the rest goes and
// is counted, the tree keeps what is left, and the folder stays ticked at what it still weighs.
TEST_P(RemovalRoadTest, APartlyRemovedFolderKeepsItsTickAtWhatIsLeft) {
    if (!permanently()) GTEST_SKIP() << "a folder goes to the Trash whole, immutable files and all";
    Road road(name("partly"));
    writeFile(road.path("mixed/pinned/kept.bin"), 7000);
    writeFile(road.path("mixed/a.bin"), 30000);
    writeFile(road.path("mixed/pinned/b.bin"), 20000);
    writeFile(road.path("mixed/sub/c.bin"), 10000);
    auto setImmutable = [&](bool on) { return test::setImmutable(road.path("mixed/pinned/kept.bin"), on); };
    if (!setImmutable(true)) GTEST_SKIP() << "cannot mark a file immutable here";
    road.scan();
    road.tick("mixed");
    const int64_t kept = allocated(road.path("mixed/pinned/kept.bin"));
    const int64_t went = allocated(road.path("mixed/a.bin")) + allocated(road.path("mixed/pinned/b.bin")) +
                         allocated(road.path("mixed/sub/c.bin"));
    road.removeAll(true);
    setImmutable(false);

    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].path, road.path("mixed"));
    EXPECT_EQ(road.failures()[0].reason, Reason::protectedByMacOS);
    EXPECT_TRUE(onDisk(road.path("mixed/pinned/kept.bin")));
    for (const char* gone : {"mixed/a.bin", "mixed/pinned/b.bin", "mixed/sub"}) {
        EXPECT_FALSE(onDisk(road.path(gone))) << gone;
        EXPECT_FALSE(road.inTree(gone)) << gone;
    }
    EXPECT_EQ(road.state->sessionFreed(), went);
    ASSERT_TRUE(road.item("mixed"));
    EXPECT_EQ(road.item("mixed")->size, kept);
    ASSERT_EQ(road.state->queue().items().size(), 1u);
    EXPECT_EQ(road.state->queue().items()[0].size, kept);
}

TEST_P(RemovalRoadTest, OddByteNamesGoByTheirExactBytes) {
    Road road(name("bytes"));
    const std::string odd = std::string("caf\xE9-\xFF\xFE.bin");            // Latin-1, not UTF-8
    const std::string lookalike = std::string("caf\xC3\xA9-\xFF\xFE.bin");  // what a text trip would make
    writeFile(road.path(odd), 7000);
    writeFile(road.path(lookalike), 7000);
    road.scan();
    road.tick(odd);
    const int64_t size = allocated(road.path(odd));
    road.removeAll(permanently());
    EXPECT_TRUE(road.failures().empty());
    EXPECT_FALSE(onDisk(road.path(odd)));
    EXPECT_TRUE(onDisk(road.path(lookalike)));
    EXPECT_EQ(road.state->sessionFreed(), size);
    EXPECT_FALSE(road.inTree(odd));
    EXPECT_TRUE(road.inTree(lookalike));
}

TEST_P(RemovalRoadTest, DemoTouchesNothingAndShowsOnlyTheSample) {
    Road road(name("demo"));
    writeFile(road.path("sample/file.bin"), 5000);
    std::filesystem::create_symlink(road.path("sample"), road.path("link"));
    // A real cache in the home: the sample's caches must neither show nor name it.
    const std::string realCache = HostLayout::current().home + "/.cache/" + name("tool");
    writeFile(realCache + "/blob.bin", 90000);
    road.scan();
    road.tick("sample");
    road.tick("link");
    const std::vector<std::string> trashBefore = trashed();
    road.demo = true;
    Demo::setOnForTesting(true);
    struct DemoOff {
        ~DemoOff() { Demo::setOnForTesting(false); }
    } demoOff;
    road.state->onLaunch();  // the sample replaces the scan; the ticks stay
    std::vector<std::string> listing;
    for (const JunkEntry& entry : Demo::cacheContents())
        listing.push_back(entry.path);
    const std::string sampleCaches = std::string(Demo::home) + "/Library/Caches";

    std::unordered_map<std::string, int64_t> ticked;  // junk entry -> its sample figure
    for (const char* id : {"caches", "logs", "installers"}) {
        const int64_t figure = Demo::measurements().at(id).size;
        ticked["junk:" + std::string(id)] = figure;
        road.state->toggleSelection(testing::cleanItem(
            "junk:" + std::string(id), figure, CleanItem::Kind::junk, CleanItem::Source::deepClean, id));
    }
    // "Select extras" reads what a ticked location holds from the sample too: a set whose kept copy
    // lies in the sample's cache listing leaves with it, so no other copy of it is picked.
    road.state->duplicates().setStillThere([](const std::string&, const EntryIdentity*) { return true; });
    const auto copy = [](int64_t id, const std::string& path, int hours) {
        FileItem f;
        f.id = id;
        f.path = path;
        f.name = PathRules::lastComponent(path);
        f.size = 5000;
        f.modified = std::chrono::system_clock::time_point(std::chrono::hours(hours));
        return f;
    };
    road.state->duplicates().setGroups({{"twins",
                                         5000,
                                         {copy(-1, listing.front() + "/kept.bin", 9),
                                          copy(-2, std::string(Demo::home) + "/Documents/copy.bin", 1)}}});
    const size_t queuedBefore = road.state->queue().items().size();
    road.state->selectTwinExtras([](const std::vector<DuplicateGroup>& groups) {
        return std::vector<const DuplicateGroup*>{&groups.front()};
    });
    settle();
    EXPECT_EQ(road.state->queue().items().size(), queuedBefore);
    road.state->duplicates().setGroups({});

    road.review();
    settle();
    int64_t estimated = 0;
    for (const CleanItem& item : road.state->queue().items()) {
        estimated += item.size;
        if (ticked.count(item.id)) {
            EXPECT_EQ(item.size, ticked[item.id]) << item.id;
        }
    }
    std::vector<std::string> reviewed;
    for (const JunkEntry& entry : road.state->removal().reviewTargets().at("junk:caches"))
        reviewed.push_back(entry.path);
    EXPECT_EQ(reviewed, listing);
    road.state->nimbrelise(road.queued(), permanently());
    road.finish();

    ASSERT_TRUE(road.state->toast());
    EXPECT_EQ(road.state->toast()->message, demoRemovalToastText(estimated));
    // The last removal names the ticked entries and the sample: its cache listing, its logs folder
    // and the installers its Downloads folder holds. Nothing of the home's real cache.
    std::unordered_set<std::string> expected = {road.path("sample"), road.path("link"),
                                                std::string(Demo::home) + "/Library/Logs"};
    expected.insert(listing.begin(), listing.end());
    for (const char* installer : {"Xcode_16.xip", "ubuntu-24.04-desktop.iso", "Figma.dmg", "Blender-4.2.dmg",
                                  "Unity Hub Installer.dmg"})
        expected.insert(std::string(Demo::home) + "/Downloads/" + installer);
    std::unordered_set<std::string> named;
    for (const auto& [path, bytes] : road.state->removal().lastRemoval())
        named.insert(path);
    EXPECT_EQ(named, expected);
    EXPECT_EQ(road.state->cleanup().measurements(), Demo::measurements()) << "nothing was measured";
    EXPECT_TRUE(road.state->result()->node(std::string(Demo::home) + "/Downloads"));

    // The sample's cache folder ticked as a folder gives up what the sample lists inside it.
    auto caches = road.state->result()->node(sampleCaches);
    ASSERT_TRUE(caches);
    road.state->toggleSelection(testing::cleanItem(sampleCaches, caches->size()));
    road.removeAll(permanently());
    named.clear();
    for (const auto& [path, bytes] : road.state->removal().lastRemoval())
        named.insert(path);
    EXPECT_EQ(named, std::unordered_set<std::string>(listing.begin(), listing.end()));

    EXPECT_TRUE(onDisk(road.path("sample/file.bin")));
    EXPECT_TRUE(onDisk(road.path("link")));
    EXPECT_TRUE(onDisk(realCache + "/blob.bin"));
    EXPECT_EQ(trashed(), trashBefore);
    EXPECT_EQ(road.state->sessionFreed(), 0);
    EXPECT_TRUE(road.failures().empty());
}

}  // namespace
}  // namespace nimbrel
