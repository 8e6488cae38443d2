#include "theme/file_icon_view.h"

#include <gtest/gtest.h>

#include <QTest>

namespace nimbrel {
namespace {

// A package path that exists nowhere: its icon comes from its extension, which tells it apart from
// the generic package icon by its category.
const std::string kArchivePackage = "/nonexistent-nimbrel/Backup.zip";

TEST(FileIconView, PackageShowsTheGenericIconUntilItsOwnArrives) {
    FileIconView first(kArchivePackage, true, true, 28);
    EXPECT_EQ(first.shownIcon().kind, FileIcon::Kind::package);
    EXPECT_EQ(first.shownIcon().category, FileCategory::application);  // the generic one
    EXPECT_FALSE(first.isLoading());  // nothing starts before the view is shown

    first.show();
    EXPECT_TRUE(first.isLoading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first.isLoading(); }, 5000));
    EXPECT_EQ(first.shownIcon().category, FileCategory::archive);

    // Another view of the same package draws the loaded icon on its first frame.
    FileIconView second(kArchivePackage, true, true, 28);
    EXPECT_EQ(second.shownIcon().category, FileCategory::archive);
}

TEST(FileIconView, FoldersAndFilesComeFromTheCacheWithoutALoad) {
    struct Case {
        std::string path;
        bool isDirectory;
        FileIcon::Kind kind;
        FileCategory category;
    };
    const Case cases[] = {
        {"/tmp", true, FileIcon::Kind::folder, FileCategory::other},
        {"/home/u/Film.MKV", false, FileIcon::Kind::file, FileCategory::video},
        {"/home/u/notes", false, FileIcon::Kind::file, FileCategory::other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FileIconView view(c.path, false, c.isDirectory, 16);
        view.show();
        EXPECT_FALSE(view.isLoading());
        EXPECT_EQ(view.shownIcon().kind, c.kind);
        EXPECT_EQ(view.shownIcon().category, c.category);
    }
}

TEST(FileIconView, ASwitchedItemDropsThePreviousPackagesIcon) {
    FileIconView view(kArchivePackage, true, true, 28);
    view.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isLoading(); }, 5000));
    view.setItem("/nonexistent-nimbrel/Other.thing", true, true);
    EXPECT_NE(view.shownIcon().category, FileCategory::archive);
    view.setItem("/tmp", false, true);
    EXPECT_EQ(view.shownIcon().kind, FileIcon::Kind::folder);
    EXPECT_FALSE(view.isLoading());
}

}  // namespace
}  // namespace nimbrel
