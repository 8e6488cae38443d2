#include "engine/shared_string.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace nimbrel {
namespace {

TEST(SharedString, LastComponentOfPaths) {
    struct Case {
        const char* path;
        const char* name;
    };
    for (const Case& c : {Case{"/a/b/c.txt", "c.txt"}, Case{"/top", "top"}, Case{"plain", "plain"},
                          Case{"/", ""}, Case{"/a/dir/", ""}, Case{"", ""}}) {
        SharedString path(c.path);
        SharedString name = path.lastComponent();
        EXPECT_EQ(name, c.name) << c.path;
        EXPECT_EQ(std::string(name.c_str()), c.name) << c.path;  // NUL-terminated where it ends
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(name.lastComponent(), c.name) << c.path;
    }
}

TEST(SharedString, CopiesOutliveTheOriginalAndCompareAsText) {
    SharedString name;
    SharedString path;
    {
        SharedString original(std::string("/x/y/photo.jpg"));
        path = original;
        name = original.lastComponent();
    }
    EXPECT_EQ(path, std::string("/x/y/photo.jpg"));
    EXPECT_EQ(name, "photo.jpg");
    EXPECT_EQ(path + "/", "/x/y/photo.jpg/");
    EXPECT_EQ("<" + name, "<photo.jpg");
    EXPECT_TRUE(path.starts_with("/x/"));
    EXPECT_EQ(path.substr(0, 2), "/x");
    EXPECT_LT(SharedString("a"), SharedString("b"));
    EXPECT_EQ(SharedString("/x/y/photo.jpg"), path);  // same text, other bytes
    std::unordered_set<SharedString> set{path, SharedString("/x/y/photo.jpg")};
    EXPECT_EQ(set.size(), 1u);

    SharedString moved = std::move(path);
    EXPECT_EQ(moved, "/x/y/photo.jpg");
    path = moved;
    const SharedString& same = path;  // named apart, so the compilers take the self-assignment as meant
    path = same;                      // self-assignment keeps the text
    EXPECT_EQ(path, "/x/y/photo.jpg");
}

// Copies made and dropped on many threads at once must neither free the bytes early nor leak them
// (the sanitizer build sees both).
TEST(SharedString, CopiedAcrossThreads) {
    const SharedString shared("/shared/among/threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                SharedString copy = i % 2 ? shared : shared.lastComponent();
                if (copy.empty()) std::abort();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(shared, "/shared/among/threads");
}

// Texts packed into an arena read back whole and NUL-terminated, outlive the arena, and a very long
// one is stored on its own; once every string is gone, so are the blocks.
TEST(SharedStringArena, TextsOutliveTheArenaAndTheirBlocksGoWithTheLast) {
    const std::size_t before = SharedString::Arena::blocksInUse();
    const std::string longText = "/deep/" + std::string(200000, 'x') + "/tail.bin";
    std::vector<std::string> texts = {"/a/b/c.txt", "", "/", "plain", longText};
    for (int i = 0; i < 30000; ++i)  // more than a block holds
        texts.push_back("/corpus/folder" + std::to_string(i % 97) + "/file-" + std::to_string(i) + ".dat");
    std::vector<SharedString> kept;
    {
        SharedString::Arena arena;
        for (const std::string& t : texts)
            kept.emplace_back(t, arena);
        EXPECT_GE(SharedString::Arena::blocksInUse(), before + 2);
    }
    ASSERT_EQ(kept.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(kept[i], texts[i]) << i;
        ASSERT_EQ(std::string(kept[i].c_str()), texts[i]) << i;
        const std::size_t slash = texts[i].rfind('/');
        ASSERT_EQ(kept[i].lastComponent(),
                  slash == std::string::npos ? texts[i] : texts[i].substr(slash + 1));
    }
    // Copies dropped on other threads, the originals here, in no particular order.
    std::vector<SharedString> copies(kept.begin(), kept.end());
    std::thread other([&] { copies.clear(); });
    for (std::size_t i = 0; i < kept.size(); i += 2)
        kept[i] = SharedString();
    other.join();
    EXPECT_EQ(kept[1], texts[1]);
    kept.clear();
    EXPECT_EQ(SharedString::Arena::blocksInUse(), before);
}

}  // namespace
}  // namespace nimbrel
