#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/disk_scanner.h"
#include "engine/parallel_tree_walker.h"
#include "engine/scan_tree.h"
#include "engine/tree_walker.h"
#include "engine/walk_listing.h"

namespace nimbrel {
namespace {

using test::allocated;

TEST(DiskUsage, MeasuresPathsOfEveryKind) {
    test::ScanTree t;
    t.file("big/a.bin", 300000);
    t.file("big/sub/.hidden", 5000);
    t.hardLink("big/a.bin", "big/sub/a-again.bin");
    t.folder("empty");
    t.file("single.txt", 7000);
    t.symLink(t.path("big"), "link-to-big");

    const std::int64_t bigSize = allocated(t.path("big/a.bin")) + allocated(t.path("big/sub/.hidden"));
    const std::pair<std::string, DiskUsage> cases[] = {
        {t.path("big"), {bigSize, 2, true, true}},
        {t.path("big") + "//sub/../", {bigSize, 2, true, true}},
        {t.path("empty"), {0, 0, true, true}},
        {t.path("single.txt"), {allocated(t.path("single.txt")), 1, true, true}},
        {t.path("link-to-big"), {allocated(t.path("link-to-big")), 1, true, true}},  // the link alone
        {t.path("missing"), {0, 0, false, true}},
        {std::string("/a\0b", 4), {0, 0, true, true}},  // cannot be prepared
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(DiskScanner::usage(path), expected) << path;
}

// A chain of `depth` folders with 100-byte names, made relative to descriptors (its path is far
// beyond PATH_MAX), with a file in some folders. Every folder has two sub-folders: the chain goes on
// in the one listed first, and the walk comes back for the other (a file in every 40th) only after
// the chain below: at every depth a folder waits for a sub-folder. Returns the allocated bytes of
// its files, or -1; `chain` gets the chain's names, from the top.
std::int64_t buildLongChain(const std::string& root, int depth, std::vector<std::string>* chain = nullptr) {
    const std::string names[2] = {std::string(100, 'm'), std::string(100, 'n')};
    const std::string data(5000, 'z');
    std::int64_t total = 0;
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto addFile = [&](int dirFd, const char* fileName) {
        int file = openat(dirFd, fileName, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0) return false;
        const bool written = write(file, data.data(), data.size()) == ssize_t(data.size());
        close(file);
        struct stat st {};
        if (!written || fstatat(dirFd, fileName, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
        total += static_cast<std::int64_t>(st.st_blocks) * 512;
        return true;
    };
    for (int level = 1; level <= depth; ++level) {
        if (fd < 0 || mkdirat(fd, names[0].c_str(), 0755) != 0 || mkdirat(fd, names[1].c_str(), 0755) != 0)
            break;
        int first = -1;
        walk::listFolder(fd, [&](const char* n) {
            if (first < 0) first = names[1] == n ? 1 : names[0] == n ? 0 : -1;
        });
        const std::string& next = names[first == 1 ? 1 : 0];
        const std::string& side = names[first == 1 ? 0 : 1];
        if (chain) chain->push_back(next);
        if (level % 40 == 0) {
            int sideFd = openat(fd, side.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool ok = sideFd >= 0 && addFile(sideFd, "s");
            if (sideFd >= 0) close(sideFd);
            if (!ok) break;
        }
        const int below = openat(fd, next.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = below;
        if (fd >= 0 && (level % 25 == 0 || level == depth) && !addFile(fd, "f")) break;
        if (level == depth) {
            close(fd);
            return total;
        }
    }
    if (fd >= 0) close(fd);
    return -1;
}

// The allocated bytes of the files a walk met, or -4 when it met a folder it could not read.
template <typename Walker>
std::int64_t walkedBytes(Walker&& walker) {
    std::int64_t bytes = 0;
    while (const WalkEntry* e = walker.read()) {
        if (e->kind == WalkEntry::Kind::directoryUnreadable) return -4;
        if (e->kind == WalkEntry::Kind::file) bytes += e->blocks * 512;
    }
    return bytes;
}

// Measured, and walked by both walkers, in a child whose descriptors are few: each may hold only a
// bounded number open, the parallel walker's workers included. With one worker, the side folders
// wait while the chain below them is read.
TEST(DiskUsage, DeepTreesMeasureInFullWithFewDescriptors) {
    test::ScanTree t;
    const std::int64_t expected = buildLongChain(t.folder("deep"), 300);
    ASSERT_GT(expected, 0);
    constexpr int kWalks = 4;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        struct rlimit limit {
            64, 64
        };
        std::int64_t measured[kWalks] = {-2, -2, -2, -2};
        if (setrlimit(RLIMIT_NOFILE, &limit) == 0) {
            measured[0] = DiskScanner::usage(t.path("deep")).size;
            measured[1] = walkedBytes(TreeWalker(t.path("deep"), false));
            measured[2] = walkedBytes(ParallelTreeWalker(t.path("deep"), false, 1));
            measured[3] = walkedBytes(ParallelTreeWalker(t.path("deep"), false, 8));
        }
        _exit(write(fds[1], measured, sizeof measured) == sizeof measured ? 0 : 1);
    }
    close(fds[1]);
    std::int64_t measured[kWalks] = {-1, -1, -1, -1};
    ASSERT_EQ(read(fds[0], measured, sizeof measured), ssize_t(sizeof measured));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(measured[0], expected) << "measure";
    EXPECT_EQ(measured[1], expected) << "sequential walk";
    EXPECT_EQ(measured[2], expected) << "parallel walk, 1 worker";
    EXPECT_EQ(measured[3], expected) << "parallel walk, 8 workers";
    // And in this process, with the usual limit.
    EXPECT_EQ(DiskScanner::usage(t.path("deep")), (DiskUsage{expected, 12 + 7, true, true}));
}

// A folder far above the walk, closed for the descriptor budget, is swapped for another folder while
// the walk is below it: on the way back up nothing is read through it, and the walk goes on.
TEST(TreeWalker, FolderSwappedAboveTheWalkIsNotReadOnTheWayBack) {
    test::ScanTree t;
    std::vector<std::string> chain;
    constexpr int kDepth = 120, kSwapped = 60;
    ASSERT_GT(buildLongChain(t.folder("deep"), kDepth, &chain), 0);
    for (const std::string& inside : {std::string(100, 'm'), std::string(100, 'n')})
        t.file("decoy/" + inside + "/bait", 10);
    auto swap = [&] {
        int fd = open(t.path("deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int level = 1; level < kSwapped && fd >= 0; ++level) {
            const int below = openat(fd, chain[level - 1].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            fd = below;
        }
        const char* name = chain[kSwapped - 1].c_str();
        const bool done = fd >= 0 && renameat(fd, name, fd, "aside") == 0 &&
                          renameat(AT_FDCWD, t.path("decoy").c_str(), fd, name) == 0;
        if (fd >= 0) close(fd);
        return done;
    };

    bool swapped = false;
    int bait = 0, unreadableBelow = 0, unreadableAbove = 0, sideFilesAbove = 0;
    TreeWalker walker(t.path("deep"), false);
    while (const WalkEntry* e = walker.read()) {
        if (!swapped && e->level == kDepth) {
            swapped = swap();
            ASSERT_TRUE(swapped);
        }
        bait += e->name == "bait";
        sideFilesAbove += e->name == "s" && e->level <= kSwapped;
        if (e->kind == WalkEntry::Kind::directoryUnreadable)
            ++(e->level > kSwapped ? unreadableBelow : unreadableAbove);
    }
    EXPECT_TRUE(swapped);
    EXPECT_EQ(bait, 0);
    EXPECT_GT(unreadableBelow, 0);  // the folders waiting below the swapped one
    EXPECT_EQ(unreadableAbove, 0);
    EXPECT_EQ(sideFilesAbove, 1);
}

TEST(DiskUsage, ACancelledMeasureCarriesNoTotals) {
    test::ScanTree t;
    t.folder("many");
    for (int i = 0; i < 5000; ++i)
        close(creat(t.path("many/" + std::to_string(i)).c_str(), 0644));

    CancelToken token;
    EXPECT_EQ(DiskScanner::usage(t.root(), &token), (DiskUsage{0, 5000, true, true}));
    token.cancel();
    DiskUsage usage = DiskScanner::usage(t.root(), &token);
    EXPECT_TRUE(usage.cancelled);
    EXPECT_EQ(usage.size, 0);
    EXPECT_EQ(usage.items, 0);
    // Too small to reach a poll: finished before anyone looked at the token.
    EXPECT_FALSE(DiskScanner::usage(t.path("many/1"), &token).cancelled);
}

// As an unprivileged user: a folder that cannot be read measures as empty and not complete, one
// that holds it measures what it could read; a scan counts and samples them.
TEST(DiskScanner, UnreadableFoldersAreMeasuredEmptyCountedAndSampled) {
    test::ScanTree t;
    t.file("ok/a", 9000);
    t.file("locked/b", 9000);
    t.file("ok/deeper/locked2/c", 9000);
    chmod(t.path("locked").c_str(), 0000);
    chmod(t.path("ok/deeper/locked2").c_str(), 0000);

    int rc = test::asNobody([&] {
        if (DiskScanner::usage(t.path("locked")) != DiskUsage{0, 0, true, false}) return 8;
        if (DiskScanner::usage(t.path("ok")) != DiskUsage{allocated(t.path("ok/a")), 1, true, true}) return 9;
        CancelToken token;
        auto r = DiskScanner::scan(t.root(), test::withoutVolumes(), 1, token, nullptr);
        if (!r) return 10;
        if (r->unreadableCount() != 2 || r->unreadableSamples().size() != 2) return 11;
        std::vector<std::string> expected{t.path("locked"), t.path("ok/deeper/locked2")};
        std::vector<std::string> samples = r->unreadableSamples();
        std::sort(samples.begin(), samples.end());
        if (samples != expected) return 12;
        if (r->totalFiles() != 1 || r->root()->size() != allocated(t.path("ok/a"))) return 13;
        // Unreadable folders are still folders of the tree, with nothing in them.
        if (!r->node(t.path("locked")) || r->node(t.path("locked"))->size() != 0) return 14;
        return 0;
    });
    ASSERT_NE(rc, 120) << "cannot switch to an unprivileged user";
    EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace nimbrel
