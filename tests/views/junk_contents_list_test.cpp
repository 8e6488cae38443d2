#include "views/kit/junk_contents_list.h"

#include "shell_fixture.h"
#include "test_items.h"

namespace nimbrel {
namespace {

std::vector<JunkEntry> entries(int n) {
    std::vector<JunkEntry> out;
    for (int i = 0; i < n; ++i)
        out.push_back({"/nimbrel-test/cache/e" + std::to_string(i), 1000 + i, i % 2 == 0});
    return out;
}

TEST(JunkContentsPlanTest, LinesForLoadingEmptyAndLongListings) {
    EXPECT_TRUE(JunkContentsList::plan(nullptr, 200).loading);
    EXPECT_EQ(JunkContentsList::plan(nullptr, 200).lines(), 1);
    const std::vector<JunkEntry> none;
    EXPECT_TRUE(JunkContentsList::plan(&none, 200).empty);

    const auto many = entries(205);
    const auto plan = JunkContentsList::plan(&many, 200);
    EXPECT_EQ(plan.shown, 200);
    EXPECT_EQ(plan.more, 5);
    EXPECT_EQ(plan.moreSize, 1200 + 1201 + 1202 + 1203 + 1204);  // the last five
    EXPECT_EQ(plan.lines(), 201);

    const auto exact = entries(200);
    EXPECT_EQ(JunkContentsList::plan(&exact, 200).more, 0);
    EXPECT_EQ(JunkContentsList::plan(&exact, 200).lines(), 200);
    EXPECT_EQ(JunkContentsList::plan(&exact, -3).shown, 0);  // a negative limit shows nothing
}

class JunkContentsToggleTest : public ShellFixture {
  protected:
    JunkLocation location() {
        JunkLocation l;
        l.id = "caches";
        l.title = "App caches";
        l.paths = {"/nimbrel-test/cache"};
        return l;
    }
    CleanItem whole() { return testJunkItem("caches", "App caches", 0); }
};

TEST_F(JunkContentsToggleTest, UntickingOneEntryOfAWholeLocationSelectsAllTheOthers) {
    const auto all = entries(450);
    state_->queue().setItems({whole()});
    JunkContentsList::toggle(*state_, location(), all[7], all);
    const auto& items = state_->queue().items();
    ASSERT_EQ(items.size(), 449u);  // also the entries beyond the shown 300
    EXPECT_FALSE(state_->queue().contains("junk:caches"));
    EXPECT_FALSE(state_->queue().contains(all[7].path));
    EXPECT_EQ(items.front().kind, CleanItem::Kind::folder);
    EXPECT_EQ(items.front().source, CleanItem::Source::deepClean);
    EXPECT_EQ(items.front().heat, 1.0);
    ASSERT_TRUE(state_->toast().has_value());
    EXPECT_EQ(state_->toast()->message,
              QStringLiteral("Left out “e7” · the rest of App caches stays selected"));

    // One entry, unticked: the location goes, nothing else comes, the toast still shows.
    const auto one = entries(1);
    state_->setToast(std::nullopt);
    state_->queue().setItems({whole()});
    JunkContentsList::toggle(*state_, location(), one[0], one);
    EXPECT_TRUE(state_->queue().items().empty());
    EXPECT_TRUE(state_->toast().has_value());

    // Not selected as a whole: a tick adds, a second removes.
    JunkContentsList::toggle(*state_, location(), one[0], one);
    EXPECT_TRUE(state_->queue().contains(one[0].path));
    JunkContentsList::toggle(*state_, location(), one[0], one);
    EXPECT_TRUE(state_->queue().items().empty());
}

}  // namespace
}  // namespace nimbrel
