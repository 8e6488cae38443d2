#include "engine/deletion.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "engine/host_layout.h"
#include "engine/safety_guard.h"

namespace nimbrel {
namespace {

using Reason = DeletionFailure::Reason;
using Domain = RemovalError::Domain;

RemovalError makeError(Domain domain, int code, std::optional<int> underlying,
                       RemovalError::Cause cause = RemovalError::Cause::unknown) {
    RemovalError error;
    error.domain = domain;
    error.code = code;
    error.underlyingPosix = underlying;
    error.cause = cause;
    return error;
}

// A cause found on the disk decides first, then the underlying code, then the outer one.
TEST(DeletionFailureTest, ClassifiesByCauseThenUnderlyingThenOuterCode) {
    using Cause = RemovalError::Cause;
    struct Case {
        Domain domain;
        int code;
        std::optional<int> underlying;
        Cause cause;
        Reason expected;
    };
    const Case cases[] = {
        // The underlying code wins over a write refusal outside.
        {Domain::cocoa, 513, EPERM, Cause::unknown, Reason::protectedByMacOS},
        {Domain::cocoa, 513, EACCES, Cause::unknown, Reason::noPermission},
        // An unmapped underlying code falls through to the outer write refusal, else other.
        {Domain::cocoa, 513, ENOENT, Cause::unknown, Reason::noPermission},
        {Domain::cocoa, 640, ENOENT, Cause::unknown, Reason::other},
        {Domain::other, 0, EBUSY, Cause::unknown, Reason::inUse},
        {Domain::other, 0, ETXTBSY, Cause::unknown, Reason::inUse},
        // Without an underlying error the outer POSIX code is read.
        {Domain::posix, EPERM, std::nullopt, Cause::unknown, Reason::protectedByMacOS},
        {Domain::posix, EACCES, std::nullopt, Cause::unknown, Reason::noPermission},
        {Domain::posix, EBUSY, std::nullopt, Cause::unknown, Reason::inUse},
        {Domain::posix, EROFS, std::nullopt, Cause::unknown, Reason::other},
        {Domain::posix, EXDEV, std::nullopt, Cause::unknown, Reason::other},
        // An underlying code decides even when the outer one is POSIX too.
        {Domain::posix, EACCES, EIO, Cause::unknown, Reason::other},
        {Domain::cocoa, 513, std::nullopt, Cause::unknown, Reason::noPermission},
        {Domain::cocoa, 4, std::nullopt, Cause::unknown, Reason::other},
        {Domain::other, 1, std::nullopt, Cause::unknown, Reason::other},
        // The cause beats the code.
        {Domain::posix, EPERM, std::nullopt, Cause::immutable, Reason::protectedByMacOS},  // not "Not yours"
        {Domain::posix, EACCES, std::nullopt, Cause::immutable, Reason::protectedByMacOS},
        {Domain::posix, EACCES, std::nullopt, Cause::ownFolderLocked, Reason::other},  // the user's own
        {Domain::posix, EXDEV, std::nullopt, Cause::mountPoint, Reason::other},
        {Domain::posix, 0, std::nullopt, Cause::noTrash, Reason::other},
        {Domain::posix, 0, std::nullopt, Cause::pathChanged, Reason::other},
        {Domain::posix, 0, std::nullopt, Cause::changedSinceScan,
         Reason::changedSinceScan},  // never "Couldn't be moved"
        {Domain::posix, 0, std::nullopt, Cause::notTwin, Reason::notTwin},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeletionFailure::classify(makeError(c.domain, c.code, c.underlying, c.cause)), c.expected)
            << "domain " << int(c.domain) << " code " << c.code << " underlying " << c.underlying.value_or(-1)
            << " cause " << int(c.cause);
    }
}

TEST(DeletionFailureTest, OnlyTheNormalAbsoluteSpellingIsRemovable) {
    for (const char* good : {"/a", "/home/u/.cache", "/a/...", "/a/.b", "/a/b..c", "/\xff\xfe"})
        EXPECT_TRUE(isRemovablePathSpelling(good)) << good;
    for (const std::string& bad :
         std::vector<std::string>{"", "/", "a", "a/b", "//a", "/a/", "/a//b", "/a/./b", "/a/../b", "/a/.",
                                  "/..", std::string("/a\0b", 4)})
        EXPECT_FALSE(isRemovablePathSpelling(bad)) << bad;
}

TEST(DeletionFailureTest, ReasonsHaveDistinctTextsWithoutPlaceholders) {
    std::set<std::string> titles;
    for (Reason reason : DeletionFailure::allReasons()) {
        std::string title = DeletionFailure::title(reason);
        std::string explanation = DeletionFailure::explanation(reason);
        EXPECT_TRUE(titles.insert(title).second) << title;
        EXPECT_EQ(title.find('%'), std::string::npos) << title;
        EXPECT_EQ(explanation.find('%'), std::string::npos) << explanation;
    }
    EXPECT_EQ(DeletionFailure::title(Reason::safetyGuard), "Kept by the safety guard");
    EXPECT_EQ(DeletionFailure::rawValue(Reason::protectedByMacOS), "protectedByMacOS");
    EXPECT_EQ(DeletionFailure::title(Reason::changedSinceScan), "Changed since the scan");
    EXPECT_FALSE(RemovalError::changed("/a", "x").allowsClearInside()) << "a changed folder is never emptied";
}

TEST(DeletionFailureTest, NotFoundIsRecognisedInBothShapes) {
    EXPECT_TRUE(RemovalError::notFound().isNotFound());
    EXPECT_TRUE(RemovalError::posix(ENOENT).isNotFound());
    EXPECT_FALSE(RemovalError::posix(EACCES).isNotFound());
    EXPECT_FALSE(makeError(Domain::other, 4, std::nullopt).isNotFound());
}

TEST(DeletionRequestTest, EveryRequestGetsAFreshUuid) {
    DeletionRequest a, b;
    EXPECT_NE(a.id, b.id);
    ASSERT_EQ(a.id.size(), 36u);
    EXPECT_EQ(a.id[14], '4');
}

TEST(DeletionRequestTest, CountsTheItemsTheGuardRefuses) {
    DeletionRequest request;
    request.items = {{"/usr/bin", std::nullopt, false},
                     {"/tmp/nimbrel-nothing/a", 3, false},
                     {HostLayout::current().home, std::nullopt, true}};
    EXPECT_EQ(request.protectedCount(DiskGuard(HostLayout::current(), {})), 2);
}

}  // namespace
}  // namespace nimbrel
