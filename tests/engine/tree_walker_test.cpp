#include "engine/tree_walker.h"

#include <fcntl.h>
#include <fts.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/scan_tree.h"
#include "engine/walk_listing.h"

namespace nimbrel {
namespace {

// One visit as "kind level path", so whole walks compare as lists of lines.
std::string line(const char* kind, int level, std::string_view path) {
    return std::string(kind) + " " + std::to_string(level) + " " + std::string(path);
}

const char* kindName(WalkEntry::Kind kind) {
    switch (kind) {
        case WalkEntry::Kind::directory:
            return "D";
        case WalkEntry::Kind::directoryPost:
            return "DP";
        case WalkEntry::Kind::directoryUnreadable:
            return "DNR";
        case WalkEntry::Kind::file:
            return "F";
        case WalkEntry::Kind::symlink:
            return "SL";
        case WalkEntry::Kind::cycle:
            return "DC";
        case WalkEntry::Kind::noStat:
            return "NS";
        case WalkEntry::Kind::other:
            return "DEFAULT";
    }
    return "?";
}

const char* ftsName(int info) {
    switch (info) {
        case FTS_D:
            return "D";
        case FTS_DP:
            return "DP";
        case FTS_DNR:
            return "DNR";
        case FTS_F:
            return "F";
        case FTS_SL:
            return "SL";
        case FTS_SLNONE:
            return "SL";
        case FTS_DC:
            return "DC";
        case FTS_NS:
            return "NS";
        case FTS_ERR:
            return "ERR";
        default:
            return "DEFAULT";
    }
}

// Folders named "skip" are not entered.
std::vector<std::string> walkOurs(const std::string& root, bool followRoot) {
    std::vector<std::string> out;
    TreeWalker walker(root, followRoot);
    while (const WalkEntry* e = walker.read()) {
        out.push_back(line(kindName(e->kind), e->level, e->path));
        if (e->kind == WalkEntry::Kind::directory && e->name == "skip") walker.skip();
    }
    return out;
}

// The reference: the C library's own fts, physical, without changing folders.
std::vector<std::string> walkFts(const std::string& root, bool followRoot) {
    std::vector<std::string> out;
    char* roots[] = {const_cast<char*>(root.c_str()), nullptr};
    FTS* fts = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | (followRoot ? FTS_COMFOLLOW : 0), nullptr);
    if (!fts) return out;
    while (FTSENT* e = fts_read(fts)) {
        out.push_back(line(ftsName(e->fts_info), e->fts_level, e->fts_path));
        if (e->fts_info == FTS_D && std::string(e->fts_name) == "skip") fts_set(fts, e, FTS_SKIP);
    }
    fts_close(fts);
    return out;
}

int compareWalks(const std::string& root, bool followRoot) {
    std::vector<std::string> ours = walkOurs(root, followRoot), reference = walkFts(root, followRoot);
    if (ours == reference) return 0;
    std::cerr << "ours:\n";
    for (const auto& l : ours)
        std::cerr << "  " << l << "\n";
    std::cerr << "fts:\n";
    for (const auto& l : reference)
        std::cerr << "  " << l << "\n";
    return 1;
}

TEST(TreeWalker, VisitsLikeTheSystemWalk) {
    test::ScanTree t;
    test::buildMixedTree(t);
    EXPECT_EQ(compareWalks(t.root(), true), 0);
    EXPECT_EQ(compareWalks(t.root(), false), 0);
    EXPECT_EQ(compareWalks(t.path("a/one"), true), 0);       // a root that is a file
    EXPECT_EQ(compareWalks(t.path("missing"), true), 0);     // a root that does not exist
    EXPECT_EQ(compareWalks(t.path("link-to-a"), true), 0);   // followed
    EXPECT_EQ(compareWalks(t.path("link-to-a"), false), 0);  // not followed
}

TEST(TreeWalker, VisitsUnreadableFoldersLikeTheSystemWalk) {
    test::ScanTree t;
    test::buildMixedTree(t);
    test::addUnreadableCorners(t, "a/locked");

    // Permissions bind only an unprivileged user.
    int rc = test::asNobody([&] {
        int mismatches = compareWalks(t.root(), true);
        // The walk must really have met the permissions it is about.
        std::vector<std::string> ours = walkOurs(t.root(), true);
        auto has = [&](const std::string& l) { return std::find(ours.begin(), ours.end(), l) != ours.end(); };
        if (!has(line("DNR", 1, t.path("closed"))) || !has(line("DNR", 1, t.path("exec-only"))) ||
            !has(line("NS", 2, t.path("list-only/y"))) || !has(line("DNR", 2, t.path("a/locked"))))
            ++mismatches;
        mismatches += compareWalks(t.path("closed"), true);
        return mismatches;
    });
    ASSERT_NE(rc, 120) << "cannot switch to an unprivileged user";
    EXPECT_EQ(rc, 0);
}

TEST(TreeWalker, DeepTreesDoNotRunOutOfDescriptors) {
    test::ScanTree t;
    std::string relative = "d";
    for (int i = 0; i < 120; ++i)
        relative += "/d";
    t.file(relative + "/leaf", 10);
    int files = 0, maxLevel = 0;
    TreeWalker walker(t.root(), true);
    while (const WalkEntry* e = walker.read()) {
        files += e->kind == WalkEntry::Kind::file;
        maxLevel = std::max(maxLevel, e->level);
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(maxLevel, 122);
}

// Opening below an open folder reaches real folders only: a link anywhere on the way, the last
// name included, is refused, and the folder it started from stays open.
TEST(WalkOpenBelow, ReachesFoldersAndRefusesLinksOnTheWay) {
    test::ScanTree t;
    t.file("a/b/c/x", 10);
    t.symLink("a", "to-a");
    t.symLink("b", "a/to-b");
    t.symLink(t.path("a/b"), "a/absolute-to-b");
    t.symLink("missing", "a/dangling");
    const int base = open(t.root().c_str(), walk::kDirFlags);
    ASSERT_GE(base, 0);
    struct stat b, root;
    ASSERT_EQ(stat(t.path("a/b").c_str(), &b), 0);
    ASSERT_EQ(fstat(base, &root), 0);

    // A link is "not a folder" to openat, and "too many links" to openat2 past the last name.
    constexpr int kRefused = -1;
    struct Case {
        const char* relative;
        int error;  // 0: opens, as the folder `same` tells; kRefused: a link met on the way
        ino_t same;
    };
    const Case cases[] = {
        {"a/b", 0, b.st_ino},        {"/a//b/", 0, b.st_ino}, {"", 0, root.st_ino},
        {"a/to-b", kRefused, 0},     {"to-a/b", kRefused, 0}, {"a/absolute-to-b/c", kRefused, 0},
        {"a/dangling", kRefused, 0}, {"a/b/c/x", ENOTDIR, 0}, {"a/missing/c", ENOENT, 0},
    };
    for (auto open : {walk::openBelow, walk::openBelowNameByName}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.relative) + (open == walk::openBelow ? "" : " (name by name)"));
            errno = 0;
            const int fd = open(base, c.relative);
            if (c.error == kRefused) {
                EXPECT_EQ(fd, -1);
                EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << errno;
            } else if (c.error != 0) {
                EXPECT_EQ(fd, -1);
                EXPECT_EQ(errno, c.error);
            } else {
                ASSERT_GE(fd, 0);
                EXPECT_NE(fd, base);
                struct stat st;
                ASSERT_EQ(fstat(fd, &st), 0);
                EXPECT_EQ(st.st_ino, c.same);
                close(fd);
            }
            EXPECT_NE(fcntl(base, F_GETFD), -1);
        }
    }
    close(base);
}

}  // namespace
}  // namespace nimbrel
