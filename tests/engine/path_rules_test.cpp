#include "engine/path_rules.h"

#include <gtest/gtest.h>

namespace nimbrel {

TEST(NormalizePath, LexicalRules) {
    const std::string home = "/home/u";
    const std::pair<const char*, const char*> cases[] = {
        {"", "/"},
        {"/", "/"},
        {"//", "/"},
        {"/./", "/"},
        {"/a/b/../../..", "/"},
        {"/a/../../b", "/b"},
        {"~", "/home/u"},
        {"~/Library/", "/home/u/Library"},
        {"/a//b/", "/a/b"},
        {"a/b", "/a/b"},
        {"/a/.../b", "/a/.../b"},
        {"a/./b/../c", "/a/c"},
        {"/x/~", "/x/~"},
        {"/a/\xff\xfe/", "/a/\xff\xfe"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(normalizePath(in, home), out) << in;
}

TEST(PathRules, FolderTestsWorkOnWholeComponents) {
    struct Case {
        const char* path;
        const char* folder;
        bool inside;
        bool atOrInside;
    };
    const Case cases[] = {
        {"/a/b/c", "/a/b", true, true}, {"/a/b", "/a/b", false, true},   {"/a/bc", "/a/b", false, false},
        {"/a", "/a/b", false, false},   {"/a", "/", true, true},         {"/", "/", false, true},
        {"/a/b", "", false, false},     {"relative", "/", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathRules::isInside(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
        EXPECT_EQ(PathRules::isAtOrInside(c.path, c.folder), c.atOrInside) << c.path << " in " << c.folder;
    }

    const std::unordered_set<std::string> folders = {"/x/y", "/p"};
    EXPECT_TRUE(PathRules::isAtOrInsideAny("/x/y", folders));
    EXPECT_TRUE(PathRules::isAtOrInsideAny("/x/y/z/w", folders));
    EXPECT_TRUE(PathRules::isAtOrInsideAny("/p/q", folders));
    EXPECT_FALSE(PathRules::isAtOrInsideAny("/x/yz", folders));
    EXPECT_FALSE(PathRules::isAtOrInsideAny("/x", folders));
    EXPECT_TRUE(PathRules::isAtOrInsideAny("/any/thing", {"/"}));
    EXPECT_FALSE(PathRules::isAtOrInsideAny("/any", {}));
}

TEST(PathRules, NormalAbsoluteIsWhatTheNormaliserGives) {
    for (const char* p : {"/", "/a", "/a/b c", "/a/...", "/a/.b", "/\xff"})
        EXPECT_TRUE(PathRules::isNormalAbsolute(p)) << p;
    for (const char* p :
         {"", "a", "a/b", "~/x", "//", "/a/", "/a//b", "/./a", "/a/.", "/a/../b", "/..", "/a/.."})
        EXPECT_FALSE(PathRules::isNormalAbsolute(p)) << p;
    EXPECT_FALSE(PathRules::isNormalAbsolute(std::string("/home/u/Desktop\0/x", 18)));
}

TEST(PathRules, ComponentsAndTildeForm) {
    const std::pair<const char*, const char*> last[] = {
        {"/a/b", "b"}, {"/a/b/", "b"}, {"a", "a"}, {"/", ""}, {"/a", "a"}, {"", ""},
    };
    for (const auto& [in, out] : last)
        EXPECT_EQ(PathRules::lastComponent(in), out) << in;

    const std::pair<const char*, const char*> parent[] = {
        {"/a/b", "/a"}, {"/a", "/"}, {"/", "/"}, {"a", ""}, {"/a/b/", "/a"}, {"a/b", "a"},
    };
    for (const auto& [in, out] : parent)
        EXPECT_EQ(PathRules::parent(in), out) << in;

    EXPECT_EQ(PathRules::tildeForm("/home/u", "/home/u"), "~");
    EXPECT_EQ(PathRules::tildeForm("/home/u/a b", "/home/u"), "~/a b");
    EXPECT_EQ(PathRules::tildeForm("/home/uv/x", "/home/u"), "/home/uv/x");
    EXPECT_EQ(PathRules::tildeForm("/etc", "/"), "/etc");
    EXPECT_EQ(PathRules::tildeForm("/etc", ""), "/etc");
}

}  // namespace nimbrel
