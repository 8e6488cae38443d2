#include "engine/file_actions.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "support/temp_tree.h"

namespace nimbrel {

namespace {

CommandResult sh(const std::string& script) {
    return FileActions::run("/bin/sh", {"-c", script});
}

}  // namespace

TEST(FileActions, LaunchFailuresGiveMinusOneAndAMessage) {
    test::TempTree tree;
    const std::string& dir = tree.root();
    const std::string plain = dir + "/not-executable";
    std::ofstream(plain) << "#!/bin/sh\necho hi\n";
    for (const std::string& exe : {std::string("/nonexistent/tool"), plain, dir, std::string("true")}) {
        const CommandResult r = FileActions::run(exe, {});
        EXPECT_EQ(r.status, -1) << exe;
        EXPECT_FALSE(r.output.empty()) << exe;
    }
}

TEST(FileActions, StatusAndOutputOfBothStreams) {
    const struct {
        std::string script;
        int32_t status;
        std::string output;
    } cases[] = {
        {"echo out; echo err >&2; echo out2", 0, "out\nerr\nout2\n"},
        {"echo only-errors >&2; exit 3", 3, "only-errors\n"},
        {"printf 'no newline  '", 0, "no newline  "},
        {"kill -9 $$", 9, ""},
        {"read line; echo \"[$line]\"", 0, "[]\n"},  // standard input is empty
    };
    for (const auto& c : cases)
        EXPECT_EQ(sh(c.script), (CommandResult{c.status, c.output})) << c.script;
}

TEST(FileActions, ArgumentsArePassedVerbatim) {
    const CommandResult r = FileActions::run("/usr/bin/printf", {"%s|", "a b", "\"q\"", "$HOME", "*", ""});
    EXPECT_EQ(r, (CommandResult{0, "a b|\"q\"|$HOME|*||"}));
}

TEST(FileActions, LargeOutputOnStandardErrorIsReadWhole) {
    const CommandResult r = sh("head -c 1000000 /dev/zero | tr '\\0' x >&2; echo done");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.output.size(), 1'000'005u);
    EXPECT_EQ(r.output.find_first_not_of('x'), 1'000'000u);
}

TEST(FileActions, InvalidUtf8ComesBackRepaired) {
    EXPECT_EQ(FileActions::run("/usr/bin/printf", {"a\\377b\\303\\251"}),
              (CommandResult{0, "a\uFFFDb\u00E9"}));

    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\u20AC \U0001F600"},
        {"\xC0\x80", "\uFFFD\uFFFD"},            // overlong lead bytes are never valid
        {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},  // overlong three-byte form
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"x\xE2\x82", "x\uFFFD"},                // cut short at the end: one replacement
        {"\xE2\x82x", "\uFFFDx"},
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\x80\xBF", "\uFFFD\uFFFD"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(repairUtf8(in), out);
}

}  // namespace nimbrel
