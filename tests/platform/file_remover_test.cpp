#include "platform/file_remover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using test::allocated;
using test::exists;
using test::ScopedMount;
using test::TempTree;
using Cause = RemovalError::Cause;

TEST(FileRemoverTest, RemovesTreesButNeverWhatTheirLinksPointAt) {
    TempTree tree;
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    std::string outsideFile = tree.file("outside-file.txt");
    std::string doomed = tree.folder("doomed");
    tree.file("doomed/a.txt");
    tree.file("doomed/.hidden");
    tree.file("doomed/sub/deeper/b.bin", 5000);
    tree.link("doomed/sub/to-folder", outside);
    tree.link("doomed/to-file", outsideFile);
    tree.link("doomed/dangling", tree.path("nowhere"));
    std::string link = tree.link("link", outside);

    EXPECT_FALSE(FileRemover::removeForGood(doomed).error);
    EXPECT_FALSE(FileRemover::removeForGood(link).error);
    EXPECT_FALSE(exists(doomed));
    EXPECT_FALSE(exists(link));
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
    EXPECT_TRUE(exists(outsideFile));
}

TEST(FileRemoverTest, OnlyTheOneNormalSpellingIsRemoved) {
    TempTree tree;
    tree.file("dir/x");
    tree.link("lnk", tree.path("dir"));
    const std::string spellings[] = {
        "",
        "/",
        "dir/x",
        tree.root() + "/dir/./x",
        tree.root() + "//dir/x",
        tree.root() + "/dir/x/",
        tree.root() + "/lnk/../dir/x",
        tree.root() + "/dir/.",
        tree.root() + std::string("/dir/x\0y", 8),
    };
    for (const std::string& spelling : spellings) {
        auto report = FileRemover::removeForGood(spelling);
        ASSERT_TRUE(report.error) << spelling;
        EXPECT_EQ(report.error->cause, Cause::notNormal) << spelling;
    }
    EXPECT_TRUE(exists(tree.path("dir/x")));
    auto missing = FileRemover::removeForGood(tree.path("missing"));
    ASSERT_TRUE(missing.error);
    EXPECT_TRUE(missing.error->isNotFound());
}

// A folder on the way swapped for a link after the review: nothing in the link's target goes,
// unless the link is the trusted anchor itself (a scan root or home reached through a link).
TEST(FileRemoverTest, NeverActsThroughAFolderSwappedForALink) {
    TempTree tree;
    tree.file("elsewhere/b/victim.txt");
    tree.file("scanned/b/victim.txt");
    const std::string ticked = tree.path("scanned/b/victim.txt");
    std::filesystem::rename(tree.path("scanned"), tree.path("scanned-away"));
    tree.link("scanned", tree.path("elsewhere"));

    auto report = FileRemover::removeForGood(ticked);
    ASSERT_TRUE(report.error);
    EXPECT_EQ(report.error->cause, Cause::pathChanged);
    EXPECT_EQ(DeletionFailure::classify(*report.error), DeletionFailure::Reason::other);
    EXPECT_TRUE(exists(tree.path("elsewhere/b/victim.txt")));

    // Reached through the anchor: the anchor may be a link, what lies below it may not.
    EXPECT_FALSE(FileRemover::removeForGood(ticked, {tree.path("scanned")}).error);
    EXPECT_FALSE(exists(tree.path("elsewhere/b/victim.txt")));
    tree.file("elsewhere/c/inner/x");
    tree.link("elsewhere/b2", tree.path("elsewhere/c"));
    auto below = FileRemover::removeForGood(tree.path("scanned/b2/inner/x"), {tree.path("scanned")});
    ASSERT_TRUE(below.error);
    EXPECT_EQ(below.error->cause, Cause::pathChanged);
    EXPECT_TRUE(exists(tree.path("elsewhere/c/inner/x")));
}

// Bind mounts share their device number with what they show: only the mount identity tells them.
TEST(FileRemoverTest, NeverEntersOrRemovesAMountPoint) {
    TempTree tree;
    tree.file("source/precious.txt", 3000);
    tree.file("holder/a.txt", 5000);
    tree.folder("holder/sub/bound");
    tree.folder("bound-point");
    tree.folder("holder2/vol");
    auto bound = ScopedMount::bind(tree.path("source"), tree.path("holder/sub/bound"));
    if (!bound.ok()) GTEST_SKIP() << "cannot bind-mount here (" << bound.error() << ")";
    auto direct = ScopedMount::bind(tree.path("source"), tree.path("bound-point"));
    auto volume = ScopedMount::tmpfs(tree.path("holder2/vol"));
    ASSERT_TRUE(direct.ok() && volume.ok());
    tree.file("holder2/vol/on-volume.txt");

    struct Case {
        std::string ticked;
        std::string keeps;
    } cases[] = {
        {tree.path("holder"), tree.path("holder/sub/bound/precious.txt")},
        {tree.path("bound-point"), tree.path("bound-point/precious.txt")},
        {tree.path("holder2"), tree.path("holder2/vol/on-volume.txt")},
        {tree.path("holder2/vol"), tree.path("holder2/vol/on-volume.txt")},
    };
    for (const Case& c : cases) {
        auto report = FileRemover::removeForGood(c.ticked);
        ASSERT_TRUE(report.error) << c.ticked;
        EXPECT_EQ(report.error->cause, Cause::mountPoint) << c.ticked;
        EXPECT_TRUE(exists(c.keeps)) << c.ticked;
    }
    EXPECT_TRUE(exists(tree.path("source/precious.txt")));
}

// No recursion and a bounded number of open folders: a chain far deeper than PATH_MAX goes with
// a limit of 64 descriptors.
TEST(FileRemoverTest, RemovesAnyDepthWithFewDescriptors) {
    TempTree tree;
    // In memory when possible: eleven thousand folders on a busy disk take long to make.
    auto memory = ScopedMount::tmpfs(tree.root());
    const int files = test::buildChain(tree.folder("deep"), 11000, 4096);
    ASSERT_EQ(files, 11);
    int code = test::runInChild([&] {
        struct rlimit limit {
            64, 64
        };
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
        auto result = FileRemover::removeForGood(tree.path("deep"));
        if (result.error) return 1;
        // Every file's blocks came back (at least 4 KiB each).
        return result.freedBytes >= 11 * 4096 ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(exists(tree.path("deep")));
}

TEST(FileRemoverTest, CountsOnlyTheBytesTheDiskGotBack) {
    TempTree tree;
    tree.file("outside-name.bin", 40000);
    tree.file("doomed/own.bin", 8000);
    tree.file("doomed/sub/own2.bin", 12000);
    std::filesystem::create_hard_link(tree.path("outside-name.bin"), tree.path("doomed/shared.bin"));
    // Two names inside the removal: the second unlink frees the data.
    tree.file("doomed/pair-1.bin", 16000);
    std::filesystem::create_hard_link(tree.path("doomed/pair-1.bin"), tree.path("doomed/sub/pair-2.bin"));
    const int64_t expected = allocated(tree.path("doomed/own.bin")) +
                             allocated(tree.path("doomed/sub/own2.bin")) +
                             allocated(tree.path("doomed/pair-1.bin"));
    auto report = FileRemover::removeForGood(tree.path("doomed"));
    EXPECT_FALSE(report.error);
    EXPECT_EQ(report.freedBytes, expected);
    EXPECT_TRUE(exists(tree.path("outside-name.bin")));
}

// Unlinking a lower-layer file of an overlay only hides it: the lower layer keeps its bytes. Only
// the overlay's own files (new ones and copied-up ones) give space back.
TEST(FileRemoverTest, OnAnOverlayOnlyItsOwnLayerIsCredited) {
    TempTree tree;
    tree.file("lower/dir/old.bin", 40000);
    tree.file("lower/dir/edited.bin", 20000);
    tree.file("lower/loose.bin", 30000);
    tree.folder("upper");
    tree.folder("work");
    tree.folder("merged");
    auto overlay =
        ScopedMount::overlay(tree.path("lower"), tree.path("upper"), tree.path("work"), tree.path("merged"));
    if (!overlay.ok()) GTEST_SKIP() << "cannot mount an overlay here (" << overlay.error() << ")";
    tree.file("merged/dir/new.bin", 12000);
    std::ofstream(tree.path("merged/dir/edited.bin"), std::ios::app) << std::string(8000, 'e');
    const int64_t own =
        allocated(tree.path("upper/dir/new.bin")) + allocated(tree.path("upper/dir/edited.bin"));
    ASSERT_GT(own, 0);

    auto folder = FileRemover::removeForGood(tree.path("merged/dir"));
    auto loose = FileRemover::removeForGood(tree.path("merged/loose.bin"));
    EXPECT_FALSE(folder.error);
    EXPECT_FALSE(loose.error);
    EXPECT_EQ(folder.freedBytes, own);
    EXPECT_EQ(loose.freedBytes, 0);
    EXPECT_FALSE(exists(tree.path("merged/dir")));
    EXPECT_TRUE(exists(tree.path("lower/loose.bin")));
}

// As an unprivileged user: a folder it may not empty stays with the item, the rest of the item goes
// and is reported, and a failure in the user's own locked folder does not blame another user.
TEST(FileRemoverTest, WhatCannotGoStaysTheRestGoesAndIsReported) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to build a tree that two users own";
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    const std::string doomed = tree.folder("doomed");
    tree.file("doomed/a-first.bin", 8000);
    tree.file("doomed/z-last.bin", 8000);
    tree.file("doomed/m-locked/inner.bin", 4000);  // root's, read-only: the stop
    tree.file("own/locked/file.txt");              // the user's own, read-only
    tree.file("theirs/file.txt");                  // root's
    const std::string reportPath = tree.file("report.txt", 0);
    for (const char* mine :
         {"doomed", "doomed/a-first.bin", "doomed/z-last.bin", "own", "own/locked", "report.txt"})
        chown(tree.path(mine).c_str(), 65534, 65534);
    chown(tree.root().c_str(), 65534, 65534);  // so the ticked folder itself may go
    chmod(tree.path("doomed/m-locked").c_str(), 0555);
    chmod(tree.path("own/locked").c_str(), 0555);
    chmod(tree.path("theirs").c_str(), 0755);

    const int64_t filesBytes =
        allocated(tree.path("doomed/a-first.bin")) + allocated(tree.path("doomed/z-last.bin"));
    int code = test::runUnprivileged([&] {
        auto partial = FileRemover::removeForGood(doomed);
        auto own = FileRemover::removeForGood(tree.path("own/locked"));
        auto theirs = FileRemover::removeForGood(tree.path("theirs/file.txt"));
        std::ofstream out(reportPath);
        out << (partial.error ? partial.error->code : 0) << " " << partial.freedBytes << " "
            << partial.goneInside.size();
        for (const std::string& gone : partial.goneInside)
            out << " " << gone;
        out << "\n"
            << (own.error ? DeletionFailure::rawValue(DeletionFailure::classify(*own.error)) : "none") << "\n"
            << (theirs.error ? DeletionFailure::rawValue(DeletionFailure::classify(*theirs.error)) : "none")
            << "\n";
        return 0;
    });
    if (code == 120 || code == -1) GTEST_SKIP() << "cannot switch to an unprivileged user";
    ASSERT_EQ(code, 0);
    std::ifstream in(reportPath);
    std::string partialLine, ownReason, theirReason;
    std::getline(in, partialLine);
    std::getline(in, ownReason);
    std::getline(in, theirReason);
    // Whatever the directory order, both files go around the folder that stays.
    EXPECT_FALSE(exists(tree.path("doomed/a-first.bin")));
    EXPECT_FALSE(exists(tree.path("doomed/z-last.bin")));
    std::istringstream partial(partialLine);
    int errorCode = 0;
    int64_t freed = 0;
    size_t goneCount = 0;
    std::vector<std::string> gone(2);
    partial >> errorCode >> freed >> goneCount >> gone[0] >> gone[1];
    std::sort(gone.begin(), gone.end());
    EXPECT_EQ(errorCode, EACCES);
    EXPECT_EQ(freed, filesBytes);
    EXPECT_EQ(goneCount, 2u);
    EXPECT_EQ(gone,
              (std::vector<std::string>{tree.path("doomed/a-first.bin"), tree.path("doomed/z-last.bin")}));
    EXPECT_TRUE(exists(tree.path("doomed/m-locked/inner.bin")));
    EXPECT_EQ(ownReason, "other");
    EXPECT_EQ(theirReason, "noPermission");
    EXPECT_TRUE(exists(tree.path("own/locked/file.txt")));
}

// Immutable and append-only entries stay, said to be the system's protection, with the folders
// that hold them; everything else in the ticked folder goes and is counted.
TEST(FileRemoverTest, ImmutableEntriesStayAndTheRestGoes) {
    TempTree tree;
    const std::string file = tree.file("folder/pinned.txt");
    const std::string log = tree.file("folder/sub/app.log");
    const std::string other = tree.file("folder/other.txt", 9000);
    const std::string more = tree.file("folder/sub/more.txt", 5000);
    auto setAppendOnly = [&](bool on) { return test::setAttribute(log, FS_APPEND_FL, on); };
    if (!test::setImmutable(file, true) || !setAppendOnly(true)) {
        test::setImmutable(file, false);
        GTEST_SKIP() << "cannot mark files immutable or append-only here";
    }
    const int64_t rest = allocated(other) + allocated(more);
    auto report = FileRemover::removeForGood(tree.path("folder"));
    auto direct = FileRemover::removeForGood(file);
    test::setImmutable(file, false);
    setAppendOnly(false);
    ASSERT_TRUE(report.error);
    ASSERT_TRUE(direct.error);
    for (const auto& error : {*report.error, *direct.error}) {
        EXPECT_EQ(error.cause, Cause::immutable);
        EXPECT_EQ(DeletionFailure::classify(error), DeletionFailure::Reason::protectedByMacOS);
    }
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(exists(log));
    EXPECT_FALSE(exists(other));
    EXPECT_FALSE(exists(more));
    EXPECT_EQ(report.freedBytes, rest);
    EXPECT_EQ(report.goneInside, std::vector<std::string>{other});
}

}  // namespace
}  // namespace nimbrel
