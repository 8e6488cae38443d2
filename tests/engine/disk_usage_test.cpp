#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/disk_scanner.h"
#include "engine/scan_tree.h"

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

TEST(DiskUsage, UnreadableFolders) {
    test::ScanTree t;
    t.file("top/a", 9000);
    t.file("outer/visible", 9000);
    t.file("outer/inner/hidden", 9000);
    chmod(t.path("top").c_str(), 0000);
    chmod(t.path("outer/inner").c_str(), 0000);

    int rc = test::asNobody([&] {
        int failures = 0;
        failures += DiskScanner::usage(t.path("top")) != DiskUsage{0, 0, true, false};
        failures += DiskScanner::usage(t.path("outer")) !=
                    DiskUsage{allocated(t.path("outer/visible")), 1, true, true};
        return failures;
    });
    ASSERT_NE(rc, 120) << "cannot switch to an unprivileged user";
    EXPECT_EQ(rc, 0);
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

TEST(DiskScanner, UnreadableFoldersAreCountedAndSampled) {
    test::ScanTree t;
    t.file("ok/a", 9000);
    t.file("locked/b", 9000);
    t.file("ok/deeper/locked2/c", 9000);
    chmod(t.path("locked").c_str(), 0000);
    chmod(t.path("ok/deeper/locked2").c_str(), 0000);

    int rc = test::asNobody([&] {
        CancelToken token;
        auto r = DiskScanner::scan(t.root(), {}, 1, token, nullptr);
        if (!r) return 10;
        if (r->unreadableCount != 2 || r->unreadableSamples.size() != 2) return 11;
        std::vector<std::string> expected{t.path("locked"), t.path("ok/deeper/locked2")};
        std::vector<std::string> samples = r->unreadableSamples;
        std::sort(samples.begin(), samples.end());
        if (samples != expected) return 12;
        if (r->totalFiles != 1 || r->root->size != allocated(t.path("ok/a"))) return 13;
        // Unreadable folders are still folders of the tree, with nothing in them.
        if (!r->node(t.path("locked")) || r->node(t.path("locked"))->size != 0) return 14;
        return 0;
    });
    ASSERT_NE(rc, 120) << "cannot switch to an unprivileged user";
    EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace nimbrel
