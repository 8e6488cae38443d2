#include "views/files/failure_groups.h"

#include <gtest/gtest.h>

#include "engine/host_layout.h"
#include "model/removal.h"

namespace nimbrel {
namespace {

using R = DeletionFailure::Reason;

DeletionFailure failure(const std::string& path, R reason, const std::string& detail = {}) {
    return DeletionFailure{path, reason, detail};
}

TEST(FailureGroupsTest, GroupsFollowTheReasonsOrderAndKeepTheRemovalOrderInside) {
    const std::vector<DeletionFailure> failures = {failure("/a", R::other, "boom"),
                                                   failure("/b", R::safetyGuard), failure("/c", R::other),
                                                   failure("/d", R::inUse)};
    const auto groups = FailureGroups::group(failures);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].reason, R::safetyGuard);
    EXPECT_EQ(groups[1].reason, R::inUse);
    EXPECT_EQ(groups[2].reason, R::other);
    EXPECT_EQ(groups[2].paths(), (std::vector<std::string>{"/a", "/c"}));
    EXPECT_EQ(FailureGroups::allPaths(failures), (std::vector<std::string>{"/a", "/b", "/c", "/d"}));
    EXPECT_EQ(FailureGroups::headerTitle(failures.size()), QStringLiteral("4 items stayed behind"));
    EXPECT_EQ(FailureGroups::groupTitle(groups[0]), QStringLiteral("KEPT BY THE SAFETY GUARD  1"));
}

TEST(FailureGroupsTest, AGroupShowsAtMost150RowsAndCopiesEveryPath) {
    const struct {
        int n;
        int shown;
        QString note;
    } cases[] = {{1, 1, QString()},
                 {150, 150, QString()},
                 {151, 150, QStringLiteral("and 1 more")},
                 {400, 150, QStringLiteral("and 250 more")}};
    for (const auto& c : cases) {
        std::vector<DeletionFailure> failures;
        for (int i = 0; i < c.n; ++i)
            failures.push_back(failure("/f" + std::to_string(i), R::noPermission));
        const auto groups = FailureGroups::group(failures);
        ASSERT_EQ(groups.size(), 1u);
        EXPECT_EQ(groups[0].shownRows(), c.shown);
        EXPECT_EQ(FailureGroups::moreNote(groups[0]), c.note);
        EXPECT_EQ(groups[0].paths().size(), static_cast<size_t>(c.n));
    }
}

// Counts of one read in the singular wherever a count stands in a text; zero takes the plural.
TEST(CountTextsTest, OneIsSingularAndZeroIsPlural) {
    const std::pair<QString, const char*> cases[] = {
        {FailureGroups::headerTitle(1), "1 item stayed behind"},
        {FailureGroups::headerTitle(0), "0 items stayed behind"},
        {FailureGroups::headerTitle(2), "2 items stayed behind"},
        {removalToastText(100, 1, false), "Nimbrelised 100 bytes · 1 item in the Trash"},
        {removalToastText(100, 1, true), "Nimbrelised 100 bytes · 1 item gone for good"},
        {removalToastText(100, 0, false), "Nimbrelised 100 bytes · 0 items in the Trash"},
        {copiedPathsToastText({"/a", "/b"}, "/home/u"), "Copied 2 paths"},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, QString::fromUtf8(expected));
}

TEST(FailureGroupsTest, FullDiskAccessIsOfferedOnlyWhenItCanHelp) {
    const std::vector<DeletionFailure> guarded = {failure("/a", R::protectedByMacOS)};
    const std::vector<DeletionFailure> other = {failure("/a", R::noPermission)};
    EXPECT_TRUE(FailureGroups::offersFullDiskAccess(guarded, false));
    EXPECT_FALSE(FailureGroups::offersFullDiskAccess(guarded, true));
    EXPECT_FALSE(FailureGroups::offersFullDiskAccess(other, false));
}

TEST(FailureGroupsTest, RowTextsAreTheMessageForOtherAndTheFolderElse) {
    const std::string h = HostLayout::judging().home;
    const DeletionFailure odd = failure(h + "/Docs/<b>x", R::other, "Input/output error");
    const DeletionFailure kept = failure(h + "/Docs/y", R::safetyGuard, "Your home folder");
    const DeletionFailure bare = failure("/srv/z", R::inUse);
    // Every path a message names that starts at the home reads from "~"; a lookalike does not.
    const DeletionFailure locked = failure(h + "/P/old", R::other,
                                           h + "/P/old: Permission denied (your folder " + h +
                                               "/P does not allow changes; " + h + "x/" + h + ")");
    EXPECT_EQ(FailureGroups::rowName(odd), QStringLiteral("<b>x"));
    EXPECT_EQ(FailureGroups::rowDetail(odd), QStringLiteral("Input/output error"));
    EXPECT_EQ(FailureGroups::rowDetail(kept), QStringLiteral("~/Docs"));
    EXPECT_EQ(FailureGroups::rowHelp(kept), QStringLiteral("~/Docs/y\nYour home folder"));
    EXPECT_EQ(FailureGroups::rowHelp(bare), QStringLiteral("/srv/z"));
    const QString lookalike = QString::fromStdString(h + "x/" + h);
    EXPECT_EQ(FailureGroups::rowDetail(locked),
              "~/P/old: Permission denied (your folder ~/P does not allow changes; " + lookalike + ")");
    EXPECT_TRUE(FailureGroups::rowHelp(locked).startsWith(QStringLiteral("~/P/old\n~/P/old: ")));
}

}  // namespace
}  // namespace nimbrel
