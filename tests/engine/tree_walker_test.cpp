#include "engine/tree_walker.h"

#include <fcntl.h>
#include <fts.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/scan_tree.h"

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

void buildMixedTree(const test::ScanTree& t) {
    t.file("a/b/c/deep.txt", 10);
    t.file("a/one", 10);
    t.file("skip/hidden-by-skip", 10);
    t.folder("empty");
    t.file("\xff\xfe name with\nnewline", 3);
    t.symLink("a", "link-to-a");
    t.symLink("missing", "dangling");
    t.symLink("..", "a/up");
    mkfifo(t.path("fifo").c_str(), 0600);
    t.file(std::string(255, 'n'), 1);
}

TEST(TreeWalker, VisitsLikeTheSystemWalk) {
    test::ScanTree t;
    buildMixedTree(t);
    EXPECT_EQ(compareWalks(t.root(), true), 0);
    EXPECT_EQ(compareWalks(t.root(), false), 0);
    EXPECT_EQ(compareWalks(t.path("a/one"), true), 0);       // a root that is a file
    EXPECT_EQ(compareWalks(t.path("missing"), true), 0);     // a root that does not exist
    EXPECT_EQ(compareWalks(t.path("link-to-a"), true), 0);   // followed
    EXPECT_EQ(compareWalks(t.path("link-to-a"), false), 0);  // not followed
}

TEST(TreeWalker, VisitsUnreadableFoldersLikeTheSystemWalk) {
    test::ScanTree t;
    buildMixedTree(t);
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

}  // namespace
}  // namespace nimbrel
