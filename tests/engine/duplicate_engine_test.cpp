#include "engine/duplicate_engine.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "support/temp_tree.h"

namespace nimbrel {
namespace {

using Stage = DuplicateProgress::Stage;
using std::chrono::seconds;

std::string write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Distinct contents of one length: `seed` is spread over the whole file.
std::string pattern(size_t length, unsigned seed) {
    std::string s(length, '\0');
    for (size_t i = 0; i < length; ++i)
        s[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 12)) & 0xff);
    return s;
}

FileItem item(const std::string& path, int64_t logicalSize, int64_t size = -1, int ageSeconds = 0) {
    static int64_t nextID = 1;
    FileItem f;
    f.id = nextID++;
    f.path = path;
    f.name = std::filesystem::path(path).filename().string();
    f.logicalSize = logicalSize;
    f.size = size < 0 ? logicalSize : size;
    f.modified = std::chrono::system_clock::time_point(seconds(1'700'000'000 - ageSeconds));
    return f;
}

FileItem fileItem(const std::string& path, int64_t size = -1, int ageSeconds = 0) {
    return item(path, static_cast<int64_t>(std::filesystem::file_size(path)), size, ageSeconds);
}

struct Recorder {
    std::mutex mutex;
    std::vector<DuplicateProgress> reports;
    DuplicateProgressFn fn() {
        return [this](const DuplicateProgress& p) {
            std::lock_guard lock(mutex);
            reports.push_back(p);
        };
    }
    size_t count(Stage stage) {
        size_t n = 0;
        for (const auto& p : reports)
            n += p.stage == stage;
        return n;
    }
};

std::vector<std::string> paths(const DuplicateGroup& g) {
    std::vector<std::string> out;
    for (const auto& f : g.files)
        out.push_back(f.name);
    return out;
}

std::string sha256Hex(const std::string& bytes) {
    unsigned char d[32];
    unsigned int n = 0;
    EVP_Digest(bytes.data(), bytes.size(), d, &n, EVP_sha256(), nullptr);
    char out[65];
    for (int i = 0; i < 32; ++i)
        std::snprintf(out + 2 * i, 3, "%02x", d[i]);
    return out;
}

TEST(DuplicateEngine, NothingToCompareReturnsEmptyWithoutProgress) {
    test::TempTree dir;
    CancelToken token;
    const std::vector<std::vector<FileItem>> cases = {
        {},
        {fileItem(write(dir.root() + "/a", "one")), fileItem(write(dir.root() + "/b", "four"))},
    };
    for (const auto& files : cases) {
        Recorder rec;
        auto groups = DuplicateEngine::find(files, token, rec.fn());
        ASSERT_TRUE(groups.has_value());
        EXPECT_TRUE(groups->empty());
        EXPECT_TRUE(rec.reports.empty());
    }
}

// Whether two files of equal length that differ at one byte share a fingerprint (seen as a verifying
// stage) and whether they end up as twins.
TEST(DuplicateEngine, FingerprintCoversFirstAndLastSixtyFourKiB) {
    struct Case {
        size_t length;
        long differAt;  // -1: identical
        bool sameFingerprint;
    };
    const Case cases[] = {
        {131072, 65535, false},  // inside the head
        {131072, 65536, true},   // up to 128 KiB the head alone is hashed
        {131072, 131071, true},
        {131073, 65536, true},  // the tail starts at 65,537: byte 65,536 is read by neither
        {131073, 65537, false},
        {131073, 131072, false},
        {1 << 20, 500000, true},  // equal head and tail, different middle
        {1 << 20, -1, true},
        {9 << 20, -1, true},  // several chunks
        {9 << 20, 5 << 20, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " bytes, differing at " << c.differAt);
        test::TempTree dir;
        std::string a = pattern(c.length, 1), b = a;
        if (c.differAt >= 0) b[static_cast<size_t>(c.differAt)] ^= 0x5a;
        auto files =
            std::vector{fileItem(write(dir.root() + "/a", a)), fileItem(write(dir.root() + "/b", b))};
        CancelToken token;
        Recorder rec;
        auto groups = DuplicateEngine::find(files, token, rec.fn(), 2);
        ASSERT_TRUE(groups.has_value());
        EXPECT_EQ(rec.count(Stage::verifying) > 0, c.sameFingerprint);
        if (c.differAt < 0) {
            ASSERT_EQ(groups->size(), 1u);
            EXPECT_EQ((*groups)[0].id, sha256Hex(a));
            EXPECT_EQ(rec.reports.back().fraction, 1.0);
            EXPECT_EQ(rec.reports.back().done, static_cast<int64_t>(2 * c.length));
        } else {
            EXPECT_TRUE(groups->empty());
        }
    }
}

TEST(DuplicateEngine, ThreeCopiesAndAnImpostorOrderedByDateAndSizedByTheFirstCopy) {
    test::TempTree dir;
    const std::string body = pattern(200000, 3);
    std::string impostorBody = body;
    impostorBody[0] ^= 1;
    const std::string& d = dir.root();
    std::vector<FileItem> files = {
        fileItem(write(d + "/impostor", impostorBody), 999999, 50),
        fileItem(write(d + "/old", body), 204800, 300),
        fileItem(write(d + "/new", body), 208896, 10),
        fileItem(write(d + "/tie", body), 212992, 300),
    };
    CancelToken token;
    auto groups = DuplicateEngine::find(files, token);
    ASSERT_TRUE(groups.has_value());
    ASSERT_EQ(groups->size(), 1u);
    const DuplicateGroup& g = (*groups)[0];
    EXPECT_EQ(g.id, sha256Hex(body));
    EXPECT_EQ(g.size, 204800);
    EXPECT_THAT(paths(g), testing::ElementsAre("new", "old", "tie"));
    EXPECT_EQ(g.wasted(), 2 * 204800);
}

TEST(DuplicateEngine, GroupsOrderedByWasteKeepingFoundOrderOnTies) {
    test::TempTree dir;
    const std::string& d = dir.root();
    std::vector<FileItem> files;
    // Two pairs that waste the same (sizes 3000 and 3000), one triple that wastes more.
    for (auto [name, len, seed, copies] :
         {std::tuple{"p", 3000, 1, 2}, std::tuple{"q", 3001, 2, 2}, std::tuple{"t", 2000, 3, 3}}) {
        for (int i = 0; i < copies; ++i) {
            files.push_back(fileItem(
                write(d + "/" + name + std::to_string(i), pattern(static_cast<size_t>(len), seed)), 3000));
        }
    }
    CancelToken token;
    for (int threads : {1, 4}) {
        auto groups = DuplicateEngine::find(files, token, {}, threads);
        ASSERT_TRUE(groups.has_value());
        ASSERT_EQ(groups->size(), 3u);
        EXPECT_EQ((*groups)[0].files[0].name.substr(0, 1), "t");
        EXPECT_EQ((*groups)[1].files[0].name.substr(0, 1), "p");
        EXPECT_EQ((*groups)[2].files[0].name.substr(0, 1), "q");
    }
}

// Reads go in inode order, yet every result lands in its input slot: the groups, their order and
// their members do not depend on the inodes given, nor on the threads.
TEST(DuplicateEngine, ReadOrderDoesNotChangeTheGroups) {
    test::TempTree dir;
    std::vector<FileItem> files;
    for (unsigned i = 0; i < 60; ++i) {
        const size_t length = 1000 + (i % 4) * 70000;  // some sizes past one edge, equal sizes across groups
        files.push_back(fileItem(write(dir.root() + "/f" + std::to_string(i), pattern(length, i % 9)),
                                 static_cast<int64_t>(length), static_cast<int>(i)));
    }
    auto describe = [](const std::vector<DuplicateGroup>& groups) {
        std::vector<std::string> out;
        for (const auto& g : groups) {
            std::string line = g.id + ":";
            for (const auto& f : g.files)
                line += " " + f.name;
            out.push_back(line);
        }
        return out;
    };
    CancelToken token;
    auto plain = DuplicateEngine::find(files, token, {}, 1);
    ASSERT_TRUE(plain.has_value());
    ASSERT_FALSE(plain->empty());
    for (auto inodeOf : {+[](size_t i) { return static_cast<uint64_t>(1000 - i); },
                         +[](size_t i) { return static_cast<uint64_t>((i * 37) % 61); }}) {
        for (size_t i = 0; i < files.size(); ++i)
            files[i].inode = inodeOf(i);
        for (int threads : {1, 4}) {
            auto shuffled = DuplicateEngine::find(files, token, {}, threads);
            ASSERT_TRUE(shuffled.has_value());
            EXPECT_EQ(describe(*shuffled), describe(*plain));
        }
    }
}

TEST(DuplicateEngine, FingerprintProgressEveryFiftyFiles) {
    test::TempTree dir;
    std::vector<FileItem> files;
    for (unsigned i = 0; i < 120; ++i) {
        files.push_back(fileItem(write(dir.root() + "/f" + std::to_string(i), pattern(1000, i))));
    }
    for (int threads : {1, 4}) {
        CancelToken token;
        Recorder rec;
        auto groups = DuplicateEngine::find(files, token, rec.fn(), threads);
        ASSERT_TRUE(groups.has_value());
        EXPECT_TRUE(groups->empty());
        ASSERT_EQ(rec.reports.size(), 2u);
        EXPECT_EQ(rec.reports[0].done, 50);
        EXPECT_EQ(rec.reports[0].total, 120);
        EXPECT_DOUBLE_EQ(rec.reports[0].fraction, 50 * 0.2 / 120);
        EXPECT_EQ(rec.reports[1].done, 100);
        EXPECT_DOUBLE_EQ(rec.reports[1].fraction, 100 * 0.2 / 120);
    }
}

TEST(DuplicateEngine, VerifyingProgressRunsByBytesUpToOne) {
    test::TempTree dir;
    std::vector<FileItem> files;
    for (int i = 0; i < 3; ++i)
        files.push_back(fileItem(write(dir.root() + "/s" + std::to_string(i), "same")));
    for (int i = 0; i < 2; ++i) {
        files.push_back(fileItem(write(dir.root() + "/l" + std::to_string(i), pattern(6 << 20, 9))));
    }
    CancelToken token;
    Recorder rec;
    auto groups = DuplicateEngine::find(files, token, rec.fn(), 1);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(groups->size(), 2u);
    ASSERT_EQ(rec.count(Stage::verifying), 5u);
    const int64_t totalBytes = 3 * 4 + 2 * (6 << 20);
    double last = 0.2;
    for (const auto& p : rec.reports) {
        EXPECT_EQ(p.total, totalBytes);
        EXPECT_GE(p.fraction, last);
        EXPECT_DOUBLE_EQ(p.fraction,
                         0.2 + static_cast<double>(p.done) * 0.8 / static_cast<double>(totalBytes));
        last = p.fraction;
    }
    EXPECT_EQ(rec.reports.back().done, totalBytes);
}

TEST(DuplicateEngine, StatusTexts) {
    auto bytes = [](int64_t n) { return std::to_string(n) + " B"; };
    EXPECT_EQ((DuplicateProgress{Stage::fingerprinting, 0.1, 50, 120}.text(bytes)),
              "Fingerprinting files… 50 of 120");
    EXPECT_EQ((DuplicateProgress{Stage::verifying, 0.5, 10, 4096}.text(bytes)),
              "Verifying contents… 10 B of 4096 B");
    EXPECT_EQ((DuplicateProgress{Stage::verifying, 0.5, -3, 0}.text(bytes)),
              "Verifying contents… 0 B of 0 B");
}

// Paths that are not one readable regular file of their own never make a twin: gone since the scan,
// a second name of the same file, a symbolic link, a FIFO (which must not block), a folder.
TEST(DuplicateEngine, OnlyDistinctRegularFilesBecomeTwins) {
    test::TempTree dir;
    const std::string& d = dir.root();
    const std::string body = pattern(4096, 5);
    write(d + "/orig", body);
    ASSERT_EQ(::link((d + "/orig").c_str(), (d + "/hardlink").c_str()), 0);
    ASSERT_EQ(::symlink("orig", (d + "/symlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0644), 0);
    std::filesystem::create_directory(d + "/folder");
    write(d + "/copy", body);

    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::vector<std::string> twins;
    };
    const Case cases[] = {
        {"deleted twin", {"orig", "gone"}, {}},
        {"hard link", {"orig", "hardlink"}, {}},
        {"hard link and copy", {"hardlink", "orig", "copy"}, {"hardlink", "copy"}},
        {"symbolic link", {"orig", "symlink"}, {}},
        {"fifo", {"orig", "fifo"}, {}},
        {"folder", {"folder", "orig"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<FileItem> files;
        for (const auto& n : c.names)
            files.push_back(item(d + "/" + n, 4096));
        CancelToken token;
        auto groups = DuplicateEngine::find(files, token, {}, 2);
        ASSERT_TRUE(groups.has_value());
        if (c.twins.empty()) {
            EXPECT_TRUE(groups->empty());
        } else {
            ASSERT_EQ(groups->size(), 1u);
            EXPECT_THAT(paths((*groups)[0]), testing::UnorderedElementsAreArray(c.twins));
        }
    }
}

// A file whose read fails must not hash as if it ended there: two such files would "match".
TEST(DuplicateEngine, ReadErrorsJoinNoGroup) {
    // Reading a process's memory at address 0 fails with EIO, on a regular file.
    const std::string failing = "/proc/self/mem";
    CancelToken token;
    EXPECT_EQ(DuplicateEngine::fullHash(failing, [] { return false; }), std::nullopt);
    std::vector<FileItem> files = {item(failing, 100),
                                   item("/proc/" + std::to_string(::getpid()) + "/mem", 100)};
    auto groups = DuplicateEngine::find(files, token);
    ASSERT_TRUE(groups.has_value());
    EXPECT_TRUE(groups->empty());
}

TEST(DuplicateEngine, FullHashMatchesKnownDigests) {
    test::TempTree dir;
    const std::string big = pattern((4 << 20) + 17, 4);
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {big, sha256Hex(big)},
    };
    for (const auto& [contents, digest] : cases) {
        int64_t seen = 0;
        auto h = DuplicateEngine::fullHash(
            write(dir.root() + "/f", contents), [] { return false; }, [&](int64_t n) { seen += n; });
        EXPECT_EQ(h, digest);
        EXPECT_EQ(seen, static_cast<int64_t>(contents.size()));
    }
}

TEST(DuplicateEngine, CancelledInEitherStageReturnsNothing) {
    test::TempTree dir;
    std::vector<FileItem> files;
    for (unsigned i = 0; i < 120; ++i) {
        files.push_back(fileItem(write(dir.root() + "/f" + std::to_string(i), pattern(200000, i % 2))));
    }
    struct Case {
        const char* what;
        bool before;
        Stage stage;
    };
    for (const Case& c :
         {Case{"before", true, Stage::fingerprinting}, Case{"fingerprinting", false, Stage::fingerprinting},
          Case{"verifying", false, Stage::verifying}}) {
        SCOPED_TRACE(c.what);
        for (int threads : {1, 3}) {
            CancelToken token;
            if (c.before) token.cancel();
            Recorder rec;
            auto groups = DuplicateEngine::find(
                files, token,
                [&](const DuplicateProgress& p) {
                    rec.fn()(p);
                    if (p.stage == c.stage) token.cancel();
                },
                threads);
            EXPECT_FALSE(groups.has_value());
            // Stopped at the next cancellation point: nothing near the whole search was done.
            EXPECT_LT(rec.reports.size(), 10u);
        }
    }
}

TEST(DuplicateEngine, ReadingLeavesAccessTimesAlone) {
    test::TempTree dir;
    std::vector<FileItem> files;
    const timespec old[2] = {{1'600'000'000, 0}, {UTIME_OMIT, 0}};
    for (const char* n : {"a", "b"}) {
        std::string p = write(dir.root() + "/" + n, pattern(300000, 1));
        ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), old, 0), 0);
        files.push_back(fileItem(p));
    }
    CancelToken token;
    auto groups = DuplicateEngine::find(files, token);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(groups->size(), 1u);
    for (const auto& f : files) {
        struct stat st {};
        ASSERT_EQ(::stat(f.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_atim.tv_sec, 1'600'000'000);
    }
}

}  // namespace
}  // namespace nimbrel
