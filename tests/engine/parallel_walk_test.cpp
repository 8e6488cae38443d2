#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
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
        root, test::withoutVolumes(options), 7, token, [&](const ScanProgress& p) { last = p.discovered; },
        threads);
    out.discovered.assign(last.begin(), last.end());
    return out;
}

// A chain of `levels` folders all named `name` below `base`, with a file "leaf" of 3000 bytes in
// every tenth folder and in the last. Built and taken down from the inside, since its paths are too
// long for the usual calls.
class DeepChain {
  public:
    DeepChain(std::string base, std::string name, int levels)
        : base_(std::move(base)), name_(std::move(name)), levels_(levels) {
        int fd = open(base_.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 1; level <= levels_ && fd >= 0; ++level) {
            mkdirat(fd, name_.c_str(), 0755);
            int next = openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
            if (fd >= 0 && (level % 10 == 0 || level == levels_)) {
                int leaf = openat(fd, "leaf", O_CREAT | O_WRONLY, 0644);
                if (write(leaf, std::string(3000, 'x').data(), 3000) != 3000) ok_ = false;
                struct stat st;
                if (fstat(leaf, &st) == 0) bytes_ += st.st_blocks * 512;
                close(leaf);
                ++files_;
            }
        }
        ok_ = ok_ && fd >= 0;
        if (fd >= 0) close(fd);
    }
    ~DeepChain() {
        for (int depth = levels_; depth > 0; --depth) {
            int fd = at(depth - 1);
            if (fd < 0) continue;
            int inner = openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (inner >= 0) {
                unlinkat(inner, "leaf", 0);
                close(inner);
            }
            unlinkat(fd, name_.c_str(), AT_REMOVEDIR);
            close(fd);
        }
    }
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The folder at `level` (0: the base), opened name by name.
    int at(int level) const {
        int fd = open(base_.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < level && fd >= 0; ++i) {
            int next = openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            close(fd);
            fd = next;
        }
        return fd;
    }
    std::string path(int level) const {
        std::string p = base_;
        for (int i = 0; i < level; ++i)
            p += "/" + name_;
        return p;
    }
    bool ok() const { return ok_; }
    int files() const { return files_; }
    std::int64_t bytes() const { return bytes_; }

  private:
    std::string base_, name_;
    int levels_;
    bool ok_ = true;
    int files_ = 0;
    std::int64_t bytes_ = 0;
};

// Paths far longer than the system takes whole, and deeper than the walk keeps folders open:
// every folder is read and every file counted, by both walks alike.
TEST(ParallelTreeWalker, DeepAndLongPathsLikeTheSequentialWalk) {
    for (std::size_t length : {60u, 100u, 255u}) {
        SCOPED_TRACE(length);
        ScanTree t;
        DeepChain chain(t.root(), std::string(length, 'd'), 130);
        ASSERT_TRUE(chain.ok());
        ASSERT_GT(chain.path(130).size(), 1u * PATH_MAX);

        EXPECT_EQ(compareWalkers(t.root(), true), 0);
        TreeWalker walker(t.root(), true);
        int unreadable = 0, files = 0;
        while (const WalkEntry* e = walker.read()) {
            unreadable += e->kind == WalkEntry::Kind::directoryUnreadable;
            files += e->kind == WalkEntry::Kind::file;
        }
        EXPECT_EQ(unreadable, 0);
        EXPECT_EQ(files, chain.files());

        ScanOptions everything;
        everything.minTrackedSize = 1;
        for (int threads : {1, 8}) {
            const Scanned scanned = scan(t.root(), everything, threads);
            ASSERT_TRUE(scanned.result);
            EXPECT_EQ(scanned.result->unreadableCount(), 0) << threads;
            EXPECT_EQ(scanned.result->files().size(), static_cast<std::size_t>(chain.files())) << threads;
            EXPECT_EQ(scanned.result->root()->size(), chain.bytes()) << threads;
            // The deepest file, listed with its whole path.
            std::size_t longest = 0;
            for (const FileItem& f : scanned.result->files())
                longest = std::max(longest, f.path.view().size());
            EXPECT_EQ(longest, chain.path(130).size() + 5) << threads;
        }
    }
}

// Deep in the chain, after the folders above were read and before the pending folder opens, a
// folder is swapped for a link to a decoy or for the decoy itself. Nothing of the decoy is ever
// read: a link is refused, another folder is not the one listed, and a parent held open still
// reaches the folder that was listed.
TEST(ParallelTreeWalker, FoldersSwappedInADeepChainAreNotReadInTheirStead) {
    ScanTree t;
    const std::string name(100, 'n');
    DeepChain chain(t.folder("chain"), name, 110);
    ASSERT_TRUE(chain.ok());
    t.file("decoy/" + name + "/" + name + "/bait", 10);
    t.file("decoy/" + name + "/" + name + "/" + name + "/bait", 10);

    constexpr int kPending = 100;
    enum class Outcome { readAsListed, refusedAsLink, refusedAsChanged };
    struct Case {
        const char* what;
        int level;      // the folder swapped
        bool byFolder;  // for the decoy folder itself, not a link to it
        Outcome outcome;
    };
    const Case cases[] = {
        {"grandparent for a link", kPending - 2, false, Outcome::readAsListed},
        {"pending folder for a link", kPending, false, Outcome::refusedAsLink},
        {"pending folder for another folder", kPending, true, Outcome::refusedAsChanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto swap = [&] {
            int fd = chain.at(c.level - 1);
            bool done = fd >= 0 && renameat(fd, name.c_str(), fd, "aside") == 0 &&
                        (c.byFolder ? renameat(AT_FDCWD, t.path("decoy").c_str(), fd, name.c_str())
                                    : symlinkat(t.path("decoy").c_str(), fd, name.c_str())) == 0;
            if (fd >= 0) close(fd);
            return done;
        };
        auto restore = [&] {
            int fd = chain.at(c.level - 1);
            if (fd < 0) return;
            if (c.byFolder)
                renameat(fd, name.c_str(), AT_FDCWD, t.path("decoy").c_str());
            else
                unlinkat(fd, name.c_str(), 0);
            renameat(fd, "aside", fd, name.c_str());
            close(fd);
        };
        auto check = [&](const std::vector<std::string>& seen, const char* walk) {
            int bait = 0, refused = 0, leaf = 0;
            const std::string pending = chain.path(kPending) + " ";
            const std::string pendingLeaf = chain.path(kPending) + "/leaf ";
            for (const std::string& line : seen) {
                bait += line.find("bait") != std::string::npos;
                leaf += line.find(pendingLeaf) != std::string::npos;
                if (line.find(pending) == std::string::npos) continue;
                const bool asLink = line.find("err=" + std::to_string(ELOOP)) != std::string::npos ||
                                    line.find("err=" + std::to_string(ENOTDIR)) != std::string::npos;
                const bool asChanged =
                    line.find("err=" + std::to_string(walk::kChanged)) != std::string::npos;
                refused += (c.outcome == Outcome::refusedAsLink && asLink) ||
                           (c.outcome == Outcome::refusedAsChanged && asChanged);
            }
            EXPECT_EQ(bait, 0) << walk;
            EXPECT_EQ(refused, c.outcome == Outcome::readAsListed ? 0 : 1) << walk;
            EXPECT_EQ(leaf, c.outcome == Outcome::readAsListed ? 1 : 0) << walk;
        };

        {
            // Swapped once the pending folder's first visit is out, before it is opened.
            std::vector<std::string> seen;
            bool swapped = false;
            TreeWalker walker(chain.path(0), true);
            while (const WalkEntry* e = walker.read()) {
                seen.push_back(describe(*e));
                if (!swapped && e->kind == WalkEntry::Kind::directory && e->level == kPending) {
                    ASSERT_TRUE(swap());
                    swapped = true;
                }
            }
            restore();
            EXPECT_TRUE(swapped);
            check(seen, "sequential");
        }
        for (int threads : {1, 8}) {
            // The workers queue a folder after asking the prune hook: swapped there, before it opens.
            std::atomic<bool> swapped{false};
            ParallelTreeWalker::Prune prune = [&](std::string_view, std::string_view, int level) {
                if (level == kPending && !swapped.exchange(true)) swap();
                return false;
            };
            ParallelTreeWalker walker(chain.path(0), true, threads, prune);
            const std::vector<std::string> seen = walkAll(walker);
            restore();
            EXPECT_TRUE(swapped);
            check(seen, threads == 1 ? "parallel, 1 thread" : "parallel, 8 threads");
        }
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
