#include "platform/file_remover.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "temp_tree.h"

namespace nimbrel {
namespace {

using test::exists;
using test::TempTree;

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

    EXPECT_FALSE(FileRemover::removeForGood(doomed));
    EXPECT_FALSE(exists(doomed));
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
    EXPECT_TRUE(exists(outsideFile));
}

TEST(FileRemoverTest, LinkItselfIsRemovedAsALink) {
    TempTree tree;
    std::string target = tree.folder("target");
    tree.file("target/keep.txt");
    for (const std::string& spelling : {tree.link("link", target), tree.link("link2", target) + "/"}) {
        SCOPED_TRACE(spelling);
        EXPECT_FALSE(FileRemover::removeForGood(spelling));
    }
    EXPECT_FALSE(exists(tree.path("link")));
    EXPECT_FALSE(exists(tree.path("link2")));
    EXPECT_TRUE(exists(tree.path("target/keep.txt")));
}

TEST(FileRemoverTest, MissingAndUnremovablePathsAreErrors) {
    TempTree tree;
    auto missing = FileRemover::removeForGood(tree.path("missing"));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->isNotFound());
    for (const std::string& bad : {std::string("/"), std::string(""), tree.path("..")}) {
        auto error = FileRemover::removeForGood(bad);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->code, EINVAL) << bad;
    }
    EXPECT_TRUE(exists(tree.root()));
}

TEST(FileRemoverTest, NeverEntersAnotherMountedFileSystem) {
    TempTree tree;
    std::string mountPoint = tree.folder("build/mounted");
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    tree.file("build/mounted/inside.txt");
    tree.file("build/a.txt");

    auto error = FileRemover::removeForGood(tree.path("build"));
    auto direct = FileRemover::removeForGood(mountPoint);
    bool inside = exists(tree.path("build/mounted/inside.txt"));
    umount(mountPoint.c_str());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, EXDEV);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->code, EXDEV);
    EXPECT_TRUE(inside);
}

TEST(FileRemoverTest, PermissionFailuresKeepTheirErrno) {
    TempTree tree;
    chmod(tree.root().c_str(), 0755);
    std::string mine = tree.folder("mine");
    tree.file("mine/locked/file.txt");
    tree.file("mine/secret/file.txt");
    chown(mine.c_str(), 65534, 65534);
    chmod(tree.path("mine/secret").c_str(), 0);
    chmod(tree.path("mine/locked").c_str(), 0555);
    // Ours, inside a folder that is not: removing it would fail at the end, so nothing in it goes.
    tree.file("theirs/ours/file.txt");
    chown(tree.path("theirs/ours").c_str(), 65534, 65534);
    chmod(tree.path("theirs").c_str(), 0555);

    int code = test::runUnprivileged([&] {
        auto locked = FileRemover::removeForGood(tree.path("mine/locked"));
        auto secret = FileRemover::removeForGood(tree.path("mine/secret"));
        if (!locked || locked->code != EACCES) return 1;
        if (!secret || secret->code != EACCES) return 2;
        auto ours = FileRemover::removeForGood(tree.path("theirs/ours"));
        if (!ours || ours->code != EACCES) return 3;
        return 0;
    });
    if (code == 120 || code == -1) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(exists(tree.path("mine/locked/file.txt")));
    EXPECT_TRUE(exists(tree.path("mine/secret/file.txt")));
    EXPECT_TRUE(exists(tree.path("theirs/ours/file.txt")));
}

}  // namespace
}  // namespace nimbrel
