// The removal road when the disk changed under it: entries changed since the scan or while the
// review was open stay, and say why.
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
#include <optional>
#include <random>
#include <thread>

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

// What the scan saw is what goes. An entry changed since (another file renamed over it, rewritten
// in place with its old modification time put back, a folder moved into its place, swapped for a
// link, a folder or a file, given another name) stays whole, with a failure that says it changed,
// and is credited nothing. A folder is judged as a folder: what changed inside it goes with it.
// Changed after the tick and after the review opened; removed as root, and as an unprivileged user
// for whom what took the entries' places is another user's (which it could otherwise remove).
TEST_P(RemovalRoadTest, EntriesChangedSinceTheScanStay) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const std::string outside = base() + "/" + name("changed-target");
    writeFile(outside + "/precious.txt", 5000);
    struct Change {
        std::string entry;
        std::function<void(Road&)> apply;
    };
    const auto replaceBy = [](Road& road, const std::string& entry, auto make) {
        const std::string aside = road.path(entry + ".new");
        make(aside);
        ASSERT_EQ(::rename(aside.c_str(), road.path(entry).c_str()), 0) << entry;
    };
    const std::vector<Change> changes = {
        {"renamed-over.bin",
         [&](Road& r) {
             replaceBy(r, "renamed-over.bin", [](const std::string& p) { writeFile(p, 300000); });
         }},
        {"rewritten.bin",
         [](Road& r) {
             const std::string p = r.path("rewritten.bin");
             struct stat before {};
             ASSERT_EQ(lstat(p.c_str(), &before), 0);
             std::fstream(p, std::ios::in | std::ios::out | std::ios::binary) << std::string(5000, 'y');
             const timespec times[2] = {before.st_atim, before.st_mtim};
             ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
         }},
        {"build",
         [](Road& r) {
             std::filesystem::rename(r.path("build"), r.path("build-moved-away"));
             writeFile(r.path("photos/holiday.jpg"), 40000);
             std::filesystem::rename(r.path("photos"), r.path("build"));
         }},
        {"cache",
         [&](Road& r) {
             std::filesystem::remove_all(r.path("cache"));
             std::filesystem::create_directory_symlink(outside, r.path("cache"));
         }},
        {"doc.txt",
         [&](Road& r) {
             std::filesystem::remove(r.path("doc.txt"));
             std::filesystem::create_symlink(outside + "/precious.txt", r.path("doc.txt"));
         }},
        {"report.txt",
         [](Road& r) {
             std::filesystem::remove(r.path("report.txt"));
             writeFile(r.path("report.txt/precious/a.bin"), 30000);
         }},
        {"old",
         [](Road& r) {
             std::filesystem::remove_all(r.path("old"));
             writeFile(r.path("old"), 3000);
         }},
        {"linked.bin",
         [](Road& r) { std::filesystem::create_hard_link(r.path("linked.bin"), r.path("second-name.bin")); }},
    };
    for (const bool asNobody : {false, true})
        for (const bool afterReview : {false, true}) {
            SCOPED_TRACE(std::string(asNobody ? "unprivileged" : "root") +
                         (afterReview ? ", changed with the review open" : ", changed after the tick"));
            Road road(name(std::string("changed-") + (asNobody ? "n" : "r") + (afterReview ? "v" : "t")));
            for (const char* file :
                 {"renamed-over.bin", "rewritten.bin", "doc.txt", "report.txt", "linked.bin"})
                writeFile(road.path(file), 5000);
            for (const char* folder : {"build/out.o", "cache/blob.bin", "old/inner.bin", "grows/a.bin"})
                writeFile(road.path(folder), 9000);
            if (asNobody) {
                for (const auto& entry : std::filesystem::recursive_directory_iterator(road.root))
                    ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
            }
            road.scan();
            for (const Change& change : changes)
                road.tick(change.entry);
            road.tick("grows");
            // Later than the scan's reading by more than the clock's step: a change gets a new time.
            std::this_thread::sleep_for(20ms);
            const auto change = [&] {
                for (const Change& c : changes)
                    c.apply(road);
                writeFile(road.path("grows/arrived-later.bin"), 7000);  // goes with its folder
            };
            if (!afterReview) change();
            road.review();
            if (afterReview) change();
            const int64_t grows = allocatedInside(road.path("grows"));
            if (asNobody && !permanently())
                for (const std::string& folder : {trashFiles(), base() + "/share/Trash/info"}) {
                    std::filesystem::create_directories(folder);
                    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
                    ASSERT_EQ(chown(std::filesystem::path(folder).parent_path().c_str(), 65534, 65534), 0);
                }
            {
                std::optional<Unprivileged> nobody;
                if (asNobody) {
                    nobody.emplace();
                    ASSERT_TRUE(nobody->ok);
                }
                road.state->nimbrelise(road.queued(), permanently());
                road.finish();
            }
            EXPECT_FALSE(onDisk(road.path("grows")));
            std::unordered_map<std::string, DeletionFailure> failed;
            for (const DeletionFailure& failure : road.failures())
                failed.emplace(failure.path, failure);
            for (const Change& c : changes) {
                const std::string p = road.path(c.entry);
                EXPECT_TRUE(onDisk(p)) << c.entry;
                ASSERT_TRUE(failed.count(p)) << c.entry;
                EXPECT_EQ(failed[p].reason, Reason::changedSinceScan) << failed[p].detail;
                EXPECT_NE(failed[p].detail.find("changed since the scan"), std::string::npos)
                    << failed[p].detail;
                EXPECT_FALSE(road.state->removal().lastRemoval().count(p)) << c.entry;
                EXPECT_TRUE(road.queued().count(p)) << c.entry << " stays ticked";
            }
            EXPECT_EQ(failed.size(), changes.size());
            EXPECT_TRUE(onDisk(road.path("build/holiday.jpg")));
            EXPECT_TRUE(onDisk(road.path("report.txt/precious/a.bin")));
            EXPECT_TRUE(onDisk(outside + "/precious.txt"));
            EXPECT_EQ(road.state->sessionFreed(), grows);
            const std::vector<std::string> inTrash = trashed();
            for (const Change& c : changes)
                EXPECT_EQ(std::count(inTrash.begin(), inTrash.end(), c.entry), 0)
                    << c.entry << " is in the Trash";
        }
}

// A file whose permissions changed after the scan (only its change time moves, as with a rewrite
// whose time was put back) stays as changed since the scan. A new scan gives every ticked entry it
// saw what it saw, so the next removal takes it; one it did not see, or saw as another kind of entry
// (a file now a folder the scan lists as a file), keeps what the old scan saw, and still stays.
TEST_P(RemovalRoadTest, ScanningAgainClearsWhatChangedSinceTheLastScan) {
    Road road(name("rescanned"));
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"})
        writeFile(road.path(file), 5000);
    road.scan();
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"})
        road.tick(file);
    std::this_thread::sleep_for(20ms);
    for (const char* file : {"part/remoded.bin", "elsewhere.bin"})
        ASSERT_EQ(chmod(road.path(file).c_str(), 0600), 0);
    std::ofstream(road.path("part/grown.bin"), std::ios::app) << std::string(9000, 'y');
    std::filesystem::remove(road.path("part/notes.pages"));
    writeFile(road.path("part/notes.pages/Data/precious.bin"), 5000);
    // The failure's detail, when it stayed as changed since the scan.
    const auto changedDetail = [&](const std::string& file) -> std::optional<std::string> {
        for (const DeletionFailure& failure : road.failures())
            if (failure.path == road.path(file) && failure.reason == Reason::changedSinceScan)
                return failure.detail;
        return std::nullopt;
    };

    road.removeAll(permanently());
    for (const char* file : {"part/remoded.bin", "part/grown.bin", "elsewhere.bin", "part/notes.pages"}) {
        EXPECT_TRUE(onDisk(road.path(file))) << file;
        EXPECT_TRUE(changedDetail(file)) << file;
    }
    EXPECT_NE(changedDetail("part/remoded.bin").value_or("").find("permissions"), std::string::npos);
    EXPECT_EQ(road.queued().size(), 4u);

    road.scan(road.path("part"));
    road.removeAll(permanently());
    EXPECT_FALSE(onDisk(road.path("part/remoded.bin")));
    EXPECT_FALSE(onDisk(road.path("part/grown.bin")));
    for (const char* file : {"elsewhere.bin", "part/notes.pages/Data/precious.bin"})
        EXPECT_TRUE(onDisk(road.path(file))) << file;
    EXPECT_TRUE(changedDetail("elsewhere.bin"));
    EXPECT_TRUE(changedDetail("part/notes.pages"));
    EXPECT_EQ(road.failures().size(), 2u);
    EXPECT_EQ(road.queued(),
              (std::unordered_set<std::string>{road.path("elsewhere.bin"), road.path("part/notes.pages")}));
}

// A junk location behind a link (~/.cache kept on another disk) goes through the link only while
// it leads where it did when the review opened: swapped for a link to another folder meanwhile,
// nothing of that folder goes.
TEST_P(RemovalRoadTest, JunkFolderRelinkedDuringTheReviewIsLeftAlone) {
    const std::string cache = HostLayout::current().home + "/.cache";
    ASSERT_EQ(cache, base() + "/home/.cache");
    const std::string real = base() + "/" + name("cache-disk"), other = base() + "/" + name("projects");
    std::filesystem::remove_all(real);
    std::filesystem::remove_all(other);
    std::filesystem::remove(cache);
    writeFile(real + "/pip/wheel.bin", 9000);
    writeFile(other + "/thesis/draft.txt", 9000);
    std::filesystem::create_directory_symlink(real, cache);

    Road road(name("relinked-junk"));
    road.state->toggleSelection(testing::cleanItem("junk:caches", 9000, CleanItem::Kind::junk,
                                                   CleanItem::Source::deepClean, "App Caches"));
    road.review();
    std::filesystem::remove(cache);
    std::filesystem::create_directory_symlink(other, cache);
    road.state->nimbrelise(road.queued(), permanently());
    road.finish();

    EXPECT_TRUE(onDisk(other + "/thesis/draft.txt"));
    EXPECT_TRUE(onDisk(real + "/pip/wheel.bin"));
    EXPECT_EQ(road.state->sessionFreed(), 0);
    for (const DeletionFailure& failure : road.failures())
        EXPECT_NE(failure.detail.find("no longer leads"), std::string::npos) << failure.detail;
    std::filesystem::remove(cache);
}

// The scan root itself replaced by a link after the scan: nothing in the folder the link leads to
// goes, though its entries bear the scanned names.
TEST_P(RemovalRoadTest, ScanRootSwappedForALinkAfterTheScanIsRefused) {
    const std::string outside = base() + "/" + name("root-swap-target");
    writeFile(outside + "/cache/precious.txt", 5000);
    Road road(name("root-swap"));
    writeFile(road.path("cache/blob.bin"), 20000);
    road.scan();
    road.tick("cache");
    std::filesystem::rename(road.root, road.root + "-away");
    std::filesystem::create_directory_symlink(outside, road.root);
    road.removeAll(permanently());
    EXPECT_TRUE(onDisk(outside + "/cache/precious.txt"));
    EXPECT_TRUE(onDisk(road.root + "-away/cache/blob.bin"));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_EQ(road.failures()[0].path, road.path("cache"));
    std::filesystem::remove(road.root);
    std::filesystem::rename(road.root + "-away", road.root);
}

// A file system mounted over a folder after the scan (a bind of another folder that holds the same
// names): what the review showed is not there, and what is there was never reviewed.
TEST_P(RemovalRoadTest, WhatAMountMadeSinceTheScanShowsIsLeftAlone) {
    Road road(name("mounted-since"));
    writeFile(road.path("inner/report.bin"), 5000);
    writeFile(base() + "/" + name("unreviewed") + "/report.bin", 5000);
    // A mount seen by the scan and gone since frees its id, which the kernel gives to the next mount:
    // the mount made below must not pass for the one the scan saw.
    std::filesystem::create_directories(base() + "/" + name("seen-then-gone"));
    const std::string seen = base() + "/" + name("seen-then-gone");
    if (mount(seen.c_str(), seen.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    road.scan();
    road.tick("inner/report.bin");
    umount2(seen.c_str(), MNT_DETACH);
    if (mount((base() + "/" + name("unreviewed")).c_str(), road.path("inner").c_str(), nullptr, MS_BIND,
              nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    road.removeAll(permanently());
    umount2(road.path("inner").c_str(), MNT_DETACH);
    EXPECT_TRUE(onDisk(base() + "/" + name("unreviewed") + "/report.bin"));
    EXPECT_TRUE(onDisk(road.path("inner/report.bin")));
    ASSERT_EQ(road.failures().size(), 1u);
    EXPECT_NE(road.failures()[0].detail.find("mounted on its way"), std::string::npos)
        << road.failures()[0].detail;
    EXPECT_EQ(road.state->sessionFreed(), 0);
    EXPECT_TRUE(road.inTree("inner/report.bin"));
}

}  // namespace
}  // namespace nimbrel
