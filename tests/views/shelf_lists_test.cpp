#include "views/kit/shelf_lists.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include "support/collect.h"
#include "test_items.h"

namespace nimbrel {
namespace {

using Clock = std::chrono::system_clock;
using std::chrono::hours;

FileItem file(int64_t id, const std::string& name, int64_t size, Clock::time_point modified = {},
              Clock::time_point accessed = {}) {
    FileItem f = testFile(id, "/data/" + name, size);
    f.modified = modified;
    f.accessed = accessed;
    return f;
}

auto ids(const std::vector<FileItem>& files) {
    return collect(files, [](const FileItem& f) { return f.id; });
}

TEST(ShelfListsTest, EveryOrderIsStableAndNamesCompareByNumber) {
    const Clock::time_point t0{};
    const auto day = hours(24);
    const std::vector<FileItem> files = {
        file(1, "b10", 5, t0 + 10 * day, t0 + 1 * day), file(2, "B2", 5, t0 + 3 * day, t0 + 3 * day),
        file(3, "a", 0, t0 + 3 * day, t0 + 2 * day), file(4, "b2", 9, t0 + 30 * day, t0 + 40 * day)};
    struct Case {
        FileSort sort;
        std::vector<int64_t> order;
    };
    const Case cases[] = {
        {FileSort::size, {4, 1, 2, 3}},
        {FileSort::name, {3, 2, 4, 1}},    // "B2" and "b2" tie and keep their order; 2 before 10
        {FileSort::opened, {2, 3, 1, 4}},  // opened long ago but changed on day 10 counts as day 10
        {FileSort::modified, {2, 3, 1, 4}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ids(FileSorting::sorted(c.sort, files)), c.order)
            << FileSorting::title(c.sort).toStdString();
        EXPECT_TRUE(FileSorting::sorted(c.sort, {}).empty());
    }
    EXPECT_EQ(FileSorting::shelfTitle(FileSort::name), QStringLiteral("A to Z"));
}

TEST(ShelfListsTest, PagingShowsFortyEightMoreAtATime) {
    const struct {
        int total;
        std::vector<int> visible;
        std::vector<int> more;
    } cases[] = {
        {100, {48, 96, 100}, {48, 4, 0}}, {150, {48, 96, 144, 150}, {48, 48, 6, 0}}, {48, {48}, {0}}};
    for (const auto& c : cases) {
        Paging paging;
        for (size_t step = 0; step < c.visible.size(); ++step) {
            EXPECT_EQ(paging.visible(c.total), c.visible[step]);
            EXPECT_EQ(paging.moreCount(c.total), c.more[step]);
            paging.more();
        }
    }
}

TEST(ShelfListsTest, BiggestFiltersByCategoryPackagesAndUntrimmedPath) {
    std::vector<FileItem> files = {file(1, "Movie.mov", 30), file(2, "Tool.app", 20),
                                   file(3, "my notes.txt", 10)};
    files[0].category = FileCategory::video;
    files[1].isPackage = true;
    files[1].category = FileCategory::application;
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, std::nullopt, false, {})),
              (std::vector<int64_t>{1, 2, 3}));
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, FileCategory(FileCategory::video), false, {})),
              (std::vector<int64_t>{1}));
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, std::nullopt, true, {})),
              (std::vector<int64_t>{1, 3}));
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, std::nullopt, false, QStringLiteral("MOVIE"))),
              (std::vector<int64_t>{1}));
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, std::nullopt, false, QStringLiteral(" notes"))),
              (std::vector<int64_t>{3}));
    EXPECT_EQ(ids(biggestMatches(files, FileSort::size, std::nullopt, false, QStringLiteral(" movie"))),
              (std::vector<int64_t>{}));
}

TEST(ShelfListsTest, ForgottenNeedsTenMegabytesAndALastUseStrictlyBeforeTheCutoff) {
    const QDateTime now(QDate(2026, 5, 31), QTime(12, 0), Qt::UTC);
    const Clock::time_point cutoff = Forgotten::cutoff(now, 3);
    EXPECT_EQ(
        QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(cutoff.time_since_epoch()).count(), Qt::UTC)
            .date(),
        QDate(2026, 2, 28));  // calendar months, clamped to the month's end
    const auto old = cutoff - hours(24 * 30);
    const auto recent = cutoff + hours(24);
    const std::vector<FileItem> files = {
        file(1, "exact", 10'000'000, old, old), file(2, "small", 9'999'999, old, old),
        file(3, "atCutoff", 50'000'000, cutoff, cutoff), file(4, "openedLately", 50'000'000, old, recent),
        file(5, "changedLately", 50'000'000, recent, old)};
    EXPECT_EQ(ids(Forgotten::matches(files, cutoff, {}, FileSort::size)), (std::vector<int64_t>{1}));
    EXPECT_EQ(Forgotten::ageText(12), QStringLiteral("1+ yr"));
    EXPECT_EQ(Forgotten::ageText(6), QStringLiteral("6+ mo"));
    EXPECT_EQ(Forgotten::pickerLabel(24), QStringLiteral("2 yr"));
}

TEST(ShelfListsTest, TwinsOrderSets) {
    const Clock::time_point t0{};
    DuplicateGroup three;
    three.id = "a";
    three.size = 4'000'000;
    three.files = {file(1, "x10", 4'000'000, t0 + hours(5)), file(2, "x10", 4'000'000, t0 + hours(5)),
                   file(3, "x10", 4'000'000, t0 + hours(1))};
    DuplicateGroup two;
    two.id = "b";
    two.size = 1'000'000'000;
    two.files = {file(4, "x2", 1'000'000'000, t0 + hours(9)), file(5, "other x2", 1'000'000'000, t0)};

    EXPECT_EQ(Twins::extraBytes(three), 8'000'000);

    const std::vector<DuplicateGroup> all = {three, two};
    const auto order = [](const std::vector<const DuplicateGroup*>& g) {
        return collect(g, [](const DuplicateGroup* x) { return x->id; });
    };
    EXPECT_EQ(order(Twins::shown(all, {}, Twins::Sort::copies)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(order(Twins::shown(all, {}, Twins::Sort::extra)), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(order(Twins::shown(all, {}, Twins::Sort::name)), (std::vector<std::string>{"b", "a"}));
    // A search that matches one copy keeps the whole set.
    EXPECT_EQ(order(Twins::shown(all, QStringLiteral("OTHER"), Twins::Sort::extra)),
              (std::vector<std::string>{"b"}));
    EXPECT_TRUE(Twins::shown(all, QStringLiteral("  "), Twins::Sort::extra).empty());
    EXPECT_EQ(Twins::sortFromRaw(QStringLiteral("copies")), Twins::Sort::copies);
    EXPECT_FALSE(Twins::sortFromRaw(QStringLiteral("Copies")).has_value());
}

TEST(ShelfListsTest, RelativeDatesInWords) {
    const QDateTime now(QDate(2026, 6, 15), QTime(12, 0));
    const auto at = [](const QDateTime& d) {
        return Clock::time_point(std::chrono::milliseconds(d.toMSecsSinceEpoch()));
    };
    EXPECT_EQ(relativeDate(at(now.addDays(-1)), now), QStringLiteral("yesterday"));
    EXPECT_EQ(relativeDate(at(now.addDays(-3)), now), QStringLiteral("3 days ago"));
    EXPECT_EQ(relativeDate(at(now.addDays(-9)), now), QStringLiteral("last week"));
    EXPECT_EQ(relativeDate(at(now.addMonths(-3)), now), QStringLiteral("3 months ago"));
    EXPECT_EQ(relativeDate(at(now.addYears(-2)), now), QStringLiteral("2 years ago"));
}

}  // namespace
}  // namespace nimbrel
