#include "theme/file_icon_view.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QThreadPool>
#include <string>
#include <vector>

#include "support/wait_for.h"

namespace nimbrel {
namespace {

// A package path that exists nowhere: its icon comes from its extension, which tells it apart from
// the generic package icon by its category. A new name each time, as the shared cache keeps icons
// for the life of the process.
std::string freshArchivePackage() {
    static int made = 0;
    return "/nonexistent-nimbrel/Backup-" + std::to_string(++made) + ".zip";
}

TEST(FileIconView, PackageShowsTheGenericIconUntilItsOwnArrives) {
    const std::string archive = freshArchivePackage();
    FileIconView first(archive, true, true, 28);
    EXPECT_EQ(first.shownIcon().kind, FileIcon::Kind::package);
    EXPECT_EQ(first.shownIcon().category, FileCategory::application);  // the generic one
    EXPECT_FALSE(first.isLoading());  // nothing starts before the view is shown

    first.show();
    EXPECT_TRUE(first.isLoading());
    drain(*QThreadPool::globalInstance());  // where the shared icon cache looks packages up
    ASSERT_FALSE(first.isLoading());
    EXPECT_EQ(first.shownIcon().category, FileCategory::archive);

    // Another view of the same package draws the loaded icon on its first frame.
    FileIconView second(archive, true, true, 28);
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

// Without the icon theme's image, a PDF, a text file and another document each draw a glyph of
// their own, not one shared by every document.
TEST(FileIconView, DocumentTypesDrawGlyphsOfTheirOwn) {
    QWidget context;
    std::vector<QImage> drawn;
    for (const char* path : {"/placeholder.pdf", "/placeholder.txt", "/home/u/Letter.odt"}) {
        FileIcon icon = IconCache::shared().icon(path, false, false);
        ASSERT_EQ(icon.category, FileCategory::document) << path;
        icon.icon = QIcon();
        QImage img(48, 48, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        FileIconView::paint(p, QRectF(0, 0, 48, 48), icon, &context);
        p.end();
        QImage blank(img.size(), img.format());
        blank.fill(Qt::transparent);
        EXPECT_NE(img, blank) << path;
        for (const QImage& other : drawn)
            EXPECT_NE(img, other) << path;
        drawn.push_back(img);
    }
}

TEST(FileIconView, ASwitchedItemDropsThePreviousPackagesIcon) {
    const std::string archive = freshArchivePackage();
    FileIconView view(archive, true, true, 28);
    view.show();
    drain(*QThreadPool::globalInstance());
    ASSERT_FALSE(view.isLoading());
    view.setItem("/nonexistent-nimbrel/Other.thing", true, true);
    EXPECT_NE(view.shownIcon().category, FileCategory::archive);
    view.setItem("/tmp", false, true);
    EXPECT_EQ(view.shownIcon().kind, FileIcon::Kind::folder);
    EXPECT_FALSE(view.isLoading());
}

}  // namespace
}  // namespace nimbrel
