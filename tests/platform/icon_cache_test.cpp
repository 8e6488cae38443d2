#include "platform/icon_cache.h"

#include <gtest/gtest.h>

#include <QThreadPool>
#include <optional>

#include "support/wait_for.h"

namespace nimbrel {

TEST(IconCache, KeysByKind) {
    const struct {
        const char* path;
        bool isPackage;
        bool isDirectory;
        const char* key;
    } cases[] = {
        {"/a/Report.PDF", false, false, "e:pdf"},
        {"/b/notes.pdf", false, false, "e:pdf"},
        {"/a/archive.tar.GZ", false, false, "e:gz"},
        {"/a/Makefile", false, false, "e:"},
        {"/a/.bashrc", false, false, "e:"},
        {"/a/dir.with.dots/file", false, false, "e:"},
        {"/a/Photos", false, true, "dir"},
        {"/a/Holiday.photoslibrary", true, true, "p:/a/Holiday.photoslibrary"},
        {"/a/Tool.app", true, false, "p:/a/Tool.app"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IconCache::key(c.path, c.isPackage, c.isDirectory), c.key) << c.path;
}

TEST(IconCache, SharesOneIconPerKeyAndFallsBackToCategories) {
    IconCache& cache = IconCache::shared();
    const FileIcon upper = cache.icon("/a/Report.PDF", false, false);
    const FileIcon lower = cache.icon("/b/notes.pdf", false, false);
    EXPECT_EQ(upper.icon.cacheKey(), lower.icon.cacheKey());
    EXPECT_EQ(upper.kind, FileIcon::Kind::file);
    EXPECT_EQ(upper.category, FileCategory::classify("pdf"));
    ASSERT_TRUE(cache.cached("e:pdf"));

    EXPECT_EQ(cache.icon("/x/Music", false, true).kind, FileIcon::Kind::folder);
    EXPECT_EQ(cache.icon("/x/Tool.app", true, true).kind, FileIcon::Kind::package);
    EXPECT_TRUE(cache.cached("p:/x/Tool.app"));
    EXPECT_FALSE(cache.cached("p:/x/Music"));
}

TEST(IconCache, PackageIconOfAMissingPathArrivesAndIsCached) {
    QThreadPool pool;
    IconCache cache(&pool);
    const std::string path = "/nonexistent/nimbrel/Gone.nimbrelpkg";
    QObject receiver;
    std::optional<FileIcon> delivered;
    cache.loadPackageIcon(path, &receiver, [&](const FileIcon& icon) { delivered = icon; });
    EXPECT_FALSE(delivered);  // looked up on the pool, handed over on the main thread
    drain(pool);
    ASSERT_TRUE(delivered);
    EXPECT_EQ(delivered->kind, FileIcon::Kind::package);
    EXPECT_EQ(delivered->icon.cacheKey(), IconCache::genericPackage().icon.cacheKey());
    ASSERT_TRUE(cache.cached("p:" + path));

    // A second request is answered at once from the cache.
    bool immediate = false;
    cache.loadPackageIcon(path, &receiver, [&](const FileIcon&) { immediate = true; });
    EXPECT_TRUE(immediate);
}

TEST(IconCache, ADeliveryForAGoneReceiverIsDroppedButCached) {
    QThreadPool pool;
    IconCache cache(&pool);
    const std::string path = "/nonexistent/nimbrel/Dropped.nimbrelpkg";
    bool called = false;
    {
        QObject receiver;
        cache.loadPackageIcon(path, &receiver, [&](const FileIcon&) { called = true; });
    }
    drain(pool);
    EXPECT_TRUE(cache.cached("p:" + path));
    EXPECT_FALSE(called);
}

}  // namespace nimbrel
