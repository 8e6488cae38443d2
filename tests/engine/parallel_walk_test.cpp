#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "engine/disk_scanner.h"
#include "engine/parallel_tree_walker.h"
#include "engine/scan_compare.h"
#include "engine/scan_tree.h"
#include "engine/tree_walker.h"

namespace nimbrel {
namespace {

using test::ScanTree;

// Every field of one visit, so two walks compare as lists of lines.
std::string describe(const WalkEntry& e) {
    return std::to_string(static_cast<int>(e.kind)) + " " + std::to_string(e.level) + " " +
           std::string(e.path) + " | " + std::string(e.name) + " err=" + std::to_string(e.error) +
           " mode=" + std::to_string(e.mode) + " dev=" + std::to_string(e.device) +
           " ino=" + std::to_string(e.inode) + " links=" + std::to_string(e.links) +
           " blocks=" + std::to_string(e.blocks) + " size=" + std::to_string(e.size) +
           " m=" + std::to_string(e.modified.tv_sec) + "." + std::to_string(e.modified.tv_nsec) +
           " a=" + std::to_string(e.accessed.tv_sec) + "." + std::to_string(e.accessed.tv_nsec);
}

// Folders named "skip" are not entered; the parallel walk is told so only when `hinted`, otherwise
// it learns it from skip() after reading them ahead.
template <typename Walker>
std::vector<std::string> walkAll(Walker& walker) {
    std::vector<std::string> out;
    while (const WalkEntry* e = walker.read()) {
        out.push_back(describe(*e));
        if (e->kind == WalkEntry::Kind::directory && e->name == "skip") walker.skip();
    }
    return out;
}

// The number of walks that differ from the sequential one, over thread counts and skip hints.
// Folder access times move on the first read of a fresh tree (and a skipped folder may be read
// ahead), so the reference is a walk after one that read every folder.
int compareWalkers(const std::string& root, bool followRoot) {
    TreeWalker warmUp(root, followRoot);
    while (warmUp.read()) {
    }
    TreeWalker sequential(root, followRoot);
    const std::vector<std::string> expected = walkAll(sequential);
    int mismatches = 0;
    for (int threads : {1, 2, 8}) {
        for (bool hinted : {false, true}) {
            ParallelTreeWalker::Prune prune;
            if (hinted) prune = [](std::string_view, std::string_view name, int) { return name == "skip"; };
            ParallelTreeWalker parallel(root, followRoot, threads, prune);
            const std::vector<std::string> got = walkAll(parallel);
            if (got == expected) continue;
            ++mismatches;
            std::cerr << "threads=" << threads << " hinted=" << hinted << " differs:\n";
            for (std::size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
                const std::string a = i < expected.size() ? expected[i] : "(end)";
                const std::string b = i < got.size() ? got[i] : "(end)";
                if (a != b) {
                    std::cerr << "  sequential: " << a << "\n  parallel:   " << b << "\n";
                    break;
                }
            }
        }
    }
    return mismatches;
}

// A tree with something of every kind the walk treats on its own.
void buildMixedTree(const ScanTree& t) {
    t.file("a/b/c/deep.txt", 10);
    t.file("a/one", 5000);
    t.file("skip/inside/not-seen", 10);
    t.file("a/skip/inside/not-seen", 10);
    t.folder("empty");
    t.file("\xff\xfe name with\nnewline", 3);
    t.file("\xc3(bad utf-8)/\x80\x81", 3);
    t.hardLink("a/one", "z-second-name");
    t.hardLink("a/one", "a/b/third-name");
    t.symLink("a", "link-to-a");
    t.symLink("missing", "dangling");
    t.symLink("..", "a/up");
    t.symLink(".", "a/b/self");
    mkfifo(t.path("fifo").c_str(), 0600);
    t.file(std::string(255, 'n'), 1);
    t.file("Thing.app/Contents/bin", 4000);
    t.file("Thing.app/Contents/.hidden", 4000);
    t.file(".dot/x", 4000);
    t.file("project/node_modules/left-pad/index.js", 100);
    t.file("project/package.json", 100);
    // More entries than one worker states alone, with sub-folders among them.
    for (int i = 0; i < 5000; ++i)
        t.file("huge/f" + std::to_string(i), static_cast<std::size_t>(i % 7) * 1000);
    for (int i = 0; i < 40; ++i)
        t.file("huge/sub" + std::to_string(i) + "/x", 10);
    for (int i = 0; i < 60; ++i)
        t.file("wide/w" + std::to_string(i % 12) + "/v" + std::to_string(i) + "/leaf", 2000);
}

TEST(ParallelTreeWalker, VisitsExactlyLikeTheSequentialWalk) {
    ScanTree t;
    buildMixedTree(t);
    EXPECT_EQ(compareWalkers(t.root(), true), 0);
    EXPECT_EQ(compareWalkers(t.root(), false), 0);
    EXPECT_EQ(compareWalkers(t.path("a/one"), true), 0);       // a root that is a file
    EXPECT_EQ(compareWalkers(t.path("missing"), true), 0);     // a root that does not exist
    EXPECT_EQ(compareWalkers(t.path("link-to-a"), true), 0);   // followed
    EXPECT_EQ(compareWalkers(t.path("link-to-a"), false), 0);  // not followed
    EXPECT_EQ(compareWalkers(t.path("skip"), true), 0);        // a root named like a skipped folder
}

TEST(ParallelTreeWalker, MeetsUnreadableFoldersLikeTheSequentialWalk) {
    ScanTree t;
    buildMixedTree(t);
    test::addUnreadableCorners(t, "huge/locked");

    // Permissions bind only an unprivileged user.
    int rc = test::asNobody([&] {
        int mismatches = compareWalkers(t.root(), true) + compareWalkers(t.path("closed"), true);
        // The walk must really have met what it is about.
        TreeWalker walker(t.root(), true);
        int unreadable = 0, noStatus = 0;
        while (const WalkEntry* e = walker.read()) {
            unreadable += e->kind == WalkEntry::Kind::directoryUnreadable;
            noStatus += e->kind == WalkEntry::Kind::noStat;
        }
        return mismatches + (unreadable == 3 ? 0 : 50) + (noStatus == 1 ? 0 : 60);
    });
    ASSERT_NE(rc, 120) << "cannot switch to an unprivileged user";
    EXPECT_EQ(rc, 0);
}

// Paths longer than the system takes whole, and deeper than the walk keeps folders open.
TEST(ParallelTreeWalker, DeepAndLongPathsLikeTheSequentialWalk) {
    ScanTree t;
    const std::string name(60, 'd');
    int fd = open(t.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 110 && fd >= 0; ++i) {
        mkdirat(fd, name.c_str(), 0755);
        if (i % 10 == 0) close(openat(fd, "leaf", O_CREAT | O_WRONLY, 0644));
        int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(compareWalkers(t.root(), true), 0);
    // Taken down from the inside, since the paths are too long for the usual removal.
    for (int depth = 110; depth > 0; --depth) {
        fd = open(t.root().c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth - 1 && fd >= 0; ++i) {
            int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        if (fd < 0) break;
        int inner = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        if (inner >= 0) {
            unlinkat(inner, "leaf", 0);
            close(inner);
        }
        unlinkat(fd, name.c_str(), AT_REMOVEDIR);
        close(fd);
    }
}

// A folder mounted inside itself is a real cycle for a physical walk.
TEST(ParallelTreeWalker, MountPointsAndCyclesLikeTheSequentialWalk) {
    if (geteuid() != 0) GTEST_SKIP() << "bind mounts need root";
    ScanTree t;
    buildMixedTree(t);
    t.folder("wide/w3/loop");
    t.folder("other-volume");
    if (mount(t.path("wide").c_str(), t.path("wide/w3/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts are not allowed here";
    const bool tmpfs = mount("none", t.path("other-volume").c_str(), "tmpfs", 0, nullptr) == 0;
    if (tmpfs) t.file("other-volume/on-tmpfs", 100);
    EXPECT_EQ(compareWalkers(t.root(), true), 0);
    umount2(t.path("wide/w3/loop").c_str(), MNT_DETACH);
    if (tmpfs) umount2(t.path("other-volume").c_str(), MNT_DETACH);
}

// The last list of top-level entries a scan reported.
struct Scanned {
    std::shared_ptr<ScanResult> result;
    std::vector<DiscoveredEntry> discovered;
};
Scanned scan(const std::string& root, const ScanOptions& options, int threads) {
    Scanned out;
    CancelToken token;
    DiscoveredList last;
    out.result = DiskScanner::scanWith(
        root, options, 7, token, [&](const ScanProgress& p) { last = p.discovered; }, threads);
    out.discovered.assign(last.begin(), last.end());
    return out;
}

TEST(DiskScanner, ParallelAndSequentialWalksGiveTheSameResult) {
    ScanTree t;
    buildMixedTree(t);
    t.folder("excluded/inside");
    t.file("excluded/inside/big", 200000);

    ScanOptions everything;
    everything.minTrackedSize = 1;
    ScanOptions defaults;
    ScanOptions noPackages = everything;
    noPackages.treatPackagesAsFiles = false;
    ScanOptions hidden = everything;
    hidden.skipHidden = true;
    ScanOptions excluding = everything;
    excluding.excludedPaths = {t.path("excluded"), t.path("Thing.app/Contents")};

    scan(t.root(), everything, 1);  // folder access times move on the first read
    for (const ScanOptions& options : {everything, defaults, noPackages, hidden, excluding}) {
        const Scanned sequential = scan(t.root(), options, 1);
        ASSERT_TRUE(sequential.result);
        for (int threads : {2, 8}) {
            const Scanned parallel = scan(t.root(), options, threads);
            ASSERT_TRUE(parallel.result);
            EXPECT_EQ(firstScanDifference(*sequential.result, *parallel.result), "") << threads << " threads";
            EXPECT_EQ(sequential.discovered, parallel.discovered);
        }
    }
}

}  // namespace
}  // namespace nimbrel
