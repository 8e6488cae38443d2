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

// An entry unticked in the list does not go, whichever area ticked it and in whichever order: an
// entry ticked in Space leaves the selection with the location's tick, and a folder ticked elsewhere
// that holds it gives way only when the scan says what else it holds (else the toast says why).
TEST_F(JunkContentsToggleTest, AnUntickedEntryLeavesWhicheverAreaTickedIt) {
    const auto all = entries(3);
    const CleanItem fromSpace =
        testItem(all[1].path, 1001, CleanItem::Kind::folder, CleanItem::Source::space);
    const CleanItem cacheFolder =
        testItem("/nimbrel-test/cache", 9000, CleanItem::Kind::folder, CleanItem::Source::space);
    struct Case {
        const char* name;
        std::vector<CleanItem> queued;
        bool stays;  // still selected after the untick
        const char* toast;
    };
    const Case cases[] = {
        {"location, then the entry in Space",
         {whole(), fromSpace},
         false,
         "Left out “e1” · the rest of App caches stays selected"},
        {"the entry in Space, then the location",
         {fromSpace, whole()},
         false,
         "Left out “e1” · the rest of App caches stays selected"},
        {"inside a folder the scan does not know",
         {cacheFolder, whole()},
         true,
         "“cache” is selected as a whole. Deselect it to choose inside it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state_->setToast(std::nullopt);
        state_->queue().setItems(c.queued);
        JunkContentsList::toggle(*state_, location(), all[1], all);
        EXPECT_EQ(state_->queue().includes(all[1].path), c.stays);
        if (!c.stays) {
            EXPECT_FALSE(state_->queue().contains("junk:caches"));
        }
        EXPECT_EQ(state_->toast() ? state_->toast()->message : QString(),
                  c.toast ? QString::fromUtf8(c.toast) : QString());
    }
}

}  // namespace
}  // namespace nimbrel
