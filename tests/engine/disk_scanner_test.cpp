#include "engine/disk_scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "engine/scan_tree.h"

namespace nimbrel {
namespace {

using test::allocated;
using test::expectConsistent;
using test::ScanTree;

std::shared_ptr<ScanResult> scanWith(const std::string& root, ScanOptions options = {},
                                     const DiskScanner::ProgressCallback& progress = nullptr) {
    CancelToken token;
    return DiskScanner::scan(root, test::withoutVolumes(options), 1, token, progress);
}

ScanOptions listEverything() {
    ScanOptions options;
    options.minTrackedSize = 1;
    return options;
}

// Counted the slow, obvious way: every regular file once per (device, inode), its blocks x 512.
struct Count {
    std::int64_t files = 0, bytes = 0;
};
Count independentCount(const std::string& root) {
    Count count;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st {};
        if (lstat(e.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!seen.insert({st.st_dev, st.st_ino}).second) continue;
        ++count.files;
        count.bytes += st.st_blocks * 512;
    }
    return count;
}

const FileItem* findFile(const ScanResult& r, const std::string& name) {
    auto it =
        std::find_if(r.files().begin(), r.files().end(), [&](const FileItem& f) { return f.name == name; });
    return it == r.files().end() ? nullptr : &*it;
}

TEST(DiskScanner, TotalsAgreeWithAnIndependentCount) {
    ScanTree t;
    t.file("a.txt", 5000);
    t.file("docs/b.pdf", 70000);
    t.file("docs/deep/er/c.mov", 200000);
    t.file("docs/empty", 0);
    t.file("linked/original.bin", 90000);
    t.hardLink("linked/original.bin", "linked/second.bin");
    t.hardLink("linked/original.bin", "elsewhere/third.bin");
    t.symLink(t.path("docs"), "to-docs");
    t.symLink("loop-b", "loop-a");
    t.symLink("loop-a", "loop-b");
    t.symLink("..", "docs/up");
    t.symLink("/nowhere", "dangling");
    mkfifo(t.path("pipe").c_str(), 0600);

    auto r = scanWith(t.root());
    ASSERT_TRUE(r);
    Count expected = independentCount(t.root());
    EXPECT_EQ(r->totalFiles(), expected.files);
    EXPECT_EQ(r->root()->size(), expected.bytes);
    EXPECT_EQ(r->root()->fileCount(), expected.files);
    EXPECT_EQ(r->totalDirs(), 6);  // root, docs, deep, er, linked, elsewhere
    EXPECT_EQ(r->unreadableCount(), 0);
    EXPECT_EQ(r->root()->name, t.root());
    expectConsistent(*r->root());

    // The hard-linked file counts once, under the name the walk met first.
    std::int64_t linkedBytes = r->node(t.path("linked"))->size() + r->node(t.path("elsewhere"))->size();
    EXPECT_EQ(linkedBytes, allocated(t.path("linked/original.bin")));
}

TEST(DiskScanner, SystemSkipsAndTheNormaliser) {
    const auto& skips = DiskScanner::systemSkips();
#ifdef __linux__
    for (const char* path : {"/proc", "/sys", "/run", "/media", "/mnt", "/snap", "/dev", "/Volumes"})
        EXPECT_TRUE(skips.count(path)) << path;
    EXPECT_FALSE(skips.count("/home"));  // where Linux keeps its users' data
#else
    EXPECT_TRUE(skips.count("/home"));
#endif
    const std::string home = DiskScanner::normalize("~");
    EXPECT_EQ(home.front(), '/');
    EXPECT_EQ(DiskScanner::normalize("~/Library/"), home == "/" ? "/Library" : home + "/Library");
    EXPECT_EQ(DiskScanner::normalize("a/./b/../c"), "/a/c");
}

TEST(DiskScanner, CategoriesAndExtensions) {
    ScanTree t;
    const std::pair<const char*, FileCategory> cases[] = {
        {"clip.MP4", FileCategory::video},
        {"a.IMOVIELIBRARY", FileCategory::video},
        {"archive.tar.gz", FileCategory::archive},
        {".bashrc", FileCategory::other},
        {"noext", FileCategory::other},
        {"trailing.", FileCategory::other},
        {"x.abcdefghijklmno", FileCategory::other},   // 15 bytes, kept (but in no list)
        {"x.abcdefghijklmnop", FileCategory::other},  // 16 bytes, none
        {"lib.photoslibrary", FileCategory::image},   // a file, not a folder: no package
        {"\xff\xfe.mov", FileCategory::video},
        {"x.m\xc3\xb6v", FileCategory::other},
    };
    for (const auto& [name, category] : cases)
        t.file(name, 100);
    auto r = scanWith(t.root(), listEverything());
    ASSERT_TRUE(r);
    for (const auto& [name, category] : cases) {
        const FileItem* f = findFile(*r, name);
        ASSERT_TRUE(f) << name;
        EXPECT_EQ(f->category, category) << name;
        EXPECT_EQ(f->path, t.path(name));
    }
    EXPECT_EQ(r->categoryTotals().at(FileCategory::other).count, 6);
    EXPECT_EQ(r->categoryTotals().at(FileCategory::video).count, 3);
    EXPECT_FALSE(r->categoryTotals().count(FileCategory::audio));  // never occurred: no entry
}

TEST(DiskScanner, PackagesCountAsOneFileWhenAsked) {
    ScanTree t;
    t.file("Photos.photoslibrary/originals/1.jpg", 40000);
    t.file("Photos.photoslibrary/originals/2.jpg", 40000);
    t.file("Photos.photoslibrary/.hidden", 4000);
    t.hardLink("Photos.photoslibrary/originals/1.jpg", "Photos.photoslibrary/thumbs/1.jpg");
    t.file("Tool.XPC/bin", 1000);
    const std::int64_t packageSize = allocated(t.path("Photos.photoslibrary/originals/1.jpg")) +
                                     allocated(t.path("Photos.photoslibrary/originals/2.jpg")) +
                                     allocated(t.path("Photos.photoslibrary/.hidden"));

    ScanOptions options = listEverything();
    options.skipHidden = true;  // hidden files inside a package still count
    auto r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    const FileItem* lib = findFile(*r, "Photos.photoslibrary");
    ASSERT_TRUE(lib);
    EXPECT_TRUE(lib->isPackage);
    EXPECT_EQ(lib->category, FileCategory::image);
    EXPECT_EQ(lib->size, packageSize);
    EXPECT_EQ(findFile(*r, "Tool.XPC")->category, FileCategory::other);
    EXPECT_EQ(r->totalDirs(), 3);  // root and the two packages, not the folders inside
    EXPECT_EQ(r->totalFiles(), 4);
    EXPECT_EQ(r->root()->fileCount(), 4);
    EXPECT_TRUE(r->root()->children().empty());
    expectConsistent(*r->root());

    options.treatPackagesAsFiles = false;
    r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    EXPECT_FALSE(findFile(*r, "Photos.photoslibrary"));
    EXPECT_TRUE(r->node(t.path("Photos.photoslibrary/originals")));
    EXPECT_FALSE(r->node(t.path("Photos.photoslibrary/.hidden")));
    EXPECT_EQ(r->totalFiles(), 3);  // now the hidden file is skipped

    // A package as the root is walked as a folder.
    r = scanWith(t.path("Tool.XPC"), listEverything());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totalFiles(), 1);
    EXPECT_FALSE(r->files().front().isPackage);
}

TEST(DiskScanner, HiddenEntriesAreLeftOutOfEveryTotal) {
    ScanTree t;
    t.file(".cache/x.bin", 50000);
    t.file(".profile", 5000);
    t.file("seen.txt", 5000);
    t.hardLink(".profile", "visible-profile");  // met under a hidden name, still counted once

    ScanOptions options;
    options.skipHidden = true;
    auto r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totalFiles(), 2);
    EXPECT_EQ(r->totalDirs(), 1);
    EXPECT_EQ(r->root()->size(), allocated(t.path("seen.txt")) + allocated(t.path(".profile")));
    EXPECT_FALSE(r->node(t.path(".cache")));
}

TEST(DiskScanner, ExcludedFoldersAreNeitherEnteredNorCounted) {
    ScanTree t;
    t.file("keep/a", 5000);
    t.file("skip/b", 50000);
    t.file("skip/inner/c", 50000);

    ScanOptions options;
    options.excludedPaths = {t.root() + "//skip/", "relative/elsewhere"};
    auto r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totalFiles(), 1);
    EXPECT_EQ(r->totalDirs(), 2);
    EXPECT_FALSE(r->node(t.path("skip")));
    EXPECT_EQ(r->root()->size(), allocated(t.path("keep/a")));

    // An excluded folder given as the root itself is scanned.
    r = scanWith(t.path("skip"), options);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totalFiles(), 2);
}

TEST(DiskScanner, MinimumTrackedSize) {
    ScanTree t;
    t.file("empty", 0);
    t.file("small", 500);
    t.file("sub/big", 100000);
    const std::int64_t small = allocated(t.path("small")), big = allocated(t.path("sub/big"));

    ScanOptions options;
    options.minTrackedSize = 0;  // acts as 1: everything non-empty is listed
    auto r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->files().size(), 2u);
    EXPECT_FALSE(findFile(*r, "empty"));
    EXPECT_EQ(r->root()->smallFilesSize(), 0);
    EXPECT_EQ(r->root()->fileCount(), 3);

    options.minTrackedSize = big;
    r = scanWith(t.root(), options);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->files().size(), 1u);
    EXPECT_EQ(r->files()[0].name, "big");
    EXPECT_EQ(r->root()->smallFilesSize(), small);
    expectConsistent(*r->root());
}

TEST(DiskScanner, NestedBuildProductsAreReportedOnceAsTheOuterFolder) {
    ScanTree t;
    t.file("web/node_modules/a/index.js", 3000);
    t.file("web/node_modules/a/node_modules/b/index.js", 3000);
    t.file("web/node_modules/c/index.js", 3000);
    t.file("rust/Cargo.toml", 10);
    t.file("rust/target/debug/app", 9000);
    t.file("plain/build/out.o", 9000);

    auto r = scanWith(t.root());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->artifacts().size(), 2u);
    auto modules = r->node(t.path("web/node_modules"));
    EXPECT_EQ(r->artifacts()[0], (DevArtifact{t.path("web/node_modules"), "Node.js dependencies",
                                              modules->size(), 3, modules->device(), modules->inode()}));
    EXPECT_EQ(r->artifacts()[1].kind, "Rust build");
    EXPECT_EQ(modules->artifactKind(), std::optional<std::string>("Node.js dependencies"));
    EXPECT_FALSE(r->node(t.path("web/node_modules/a/node_modules"))->artifactKind());
    EXPECT_FALSE(r->node(t.path("plain/build"))->artifactKind());
}

TEST(DiskScanner, NothingForMissingRootsFilesAndCancelledScans) {
    ScanTree t;
    t.file("f.txt", 10);
    EXPECT_FALSE(scanWith(t.path("f.txt")));
    EXPECT_FALSE(scanWith(t.path("missing")));

    CancelToken cancelled;
    cancelled.cancel();
    EXPECT_FALSE(DiskScanner::scan(t.root(), test::withoutVolumes(), 1, cancelled, nullptr));

    // A root given as a symbolic link to a folder is followed.
    t.folder("real/sub");
    t.symLink(t.path("real"), "alias");
    auto r = scanWith(t.path("alias") + "/");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->root()->name, t.path("alias"));
    EXPECT_EQ(r->totalDirs(), 2);
}

TEST(DiskScanner, CancellingPartWayGivesNothing) {
    ScanTree t;
    t.folder("many");
    for (int i = 0; i < 3000; ++i)
        close(creat(t.path("many/" + std::to_string(i)).c_str(), 0644));
    CancelToken token;
    int reports = 0;
    auto r = DiskScanner::scan(t.root(), test::withoutVolumes(), 1, token, [&](const ScanProgress&) {
        ++reports;
        token.cancel();
    });
    // The first report comes with the top-level folder; the cancellation is seen at the next poll.
    EXPECT_FALSE(r);
    EXPECT_GE(reports, 1);
}

TEST(DiskScanner, IdsContinueFromTheFirstAndFilesAreLargestFirstInWalkOrder) {
    ScanTree t;
    for (const char* name : {"p", "q", "r", "s", "t", "u"})
        t.file(std::string("same/") + name, 5000);
    t.file("same/huge", 500000);

    CancelToken token;
    auto r = DiskScanner::scan(t.root(), test::withoutVolumes(listEverything()), 41, token, nullptr);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->lastID(), 48);
    EXPECT_EQ(r->files().front().name, "huge");
    std::set<std::int64_t> ids;
    for (const FileItem& f : r->files())
        ids.insert(f.id);
    EXPECT_EQ(*ids.begin(), 41);
    EXPECT_EQ(*ids.rbegin(), 47);

    // Equal sizes keep the order the file system listed them in, in both lists.
    std::vector<std::string> listed;
    DIR* dir = opendir(t.path("same").c_str());
    while (dirent* d = readdir(dir))
        if (d->d_name[0] != '.' && std::string(d->d_name) != "huge") listed.push_back(d->d_name);
    closedir(dir);
    std::vector<std::string> inResult, inFolder;
    for (const FileItem& f : r->files())
        if (f.name != "huge") inResult.push_back(f.name);
    for (const FileItem& f : r->node(t.path("same"))->files())
        if (f.name != "huge") inFolder.push_back(f.name);
    EXPECT_EQ(inResult, listed);
    EXPECT_EQ(inFolder, listed);
}

TEST(DiskScanner, ReportsTopLevelEntriesAsTheyAreFound) {
    ScanTree t;
    t.file("big.bin", 2'000'000);
    t.file("tiny.txt", 500);
    t.file("folder/inner/x", 3000);
    t.file("folder/y", 3000);
    t.file("Tool.app/Contents/exe", 1'500'000);

    std::vector<ScanProgress> reports;
    auto r = scanWith(t.root(), {}, [&](const ScanProgress& p) { reports.push_back(p); });
    ASSERT_TRUE(r);
    ASSERT_FALSE(reports.empty());
    // One immediate report per entry: the folder, the package and the big file; not the tiny file.
    EXPECT_EQ(reports.size(), 3u);
    const DiscoveredList& last = reports.back().discovered;
    ASSERT_EQ(last.size(), 3u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].discovered.size(), i + 1);  // the list only grows, in walk order
        EXPECT_EQ(reports[i].discovered[i].path, last[i].path);
    }
    // Each report finds the entries before the newest one finished, with their final sizes, and
    // snapshots taken earlier keep what they saw.
    auto finalSize = [&](const DiscoveredEntry& e) -> std::int64_t {
        if (e.isDirectory) return r->node(e.path)->size();
        const FileItem* f = findFile(*r, e.name);
        return f ? f->size : -1;
    };
    for (const ScanProgress& p : reports) {
        for (std::size_t i = 0; i + 1 < p.discovered.size(); ++i) {
            EXPECT_FALSE(p.discovered[i].measuring) << p.discovered[i].name;
            EXPECT_EQ(p.discovered[i].size, finalSize(p.discovered[i])) << p.discovered[i].name;
        }
        EXPECT_EQ(p.discovered.back().measuring, p.discovered.back().name != "big.bin");
    }
    auto folder = std::find_if(last.begin(), last.end(), [](const auto& e) { return e.name == "folder"; });
    ASSERT_NE(folder, last.end());
    EXPECT_TRUE(folder->isDirectory);
    // A tick made while the scan runs carries what the walk saw of the entry.
    for (const DiscoveredEntry& e : last) {
        const std::optional<EntryIdentity> now = EntryIdentity::read(e.path);
        ASSERT_TRUE(e.identity && now) << e.name;
        EXPECT_TRUE(e.identity->sameEntry(*now)) << e.name;
    }
}

}  // namespace
}  // namespace nimbrel
