#include "views/files/review_list.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVariantAnimation>
#include <deque>
#include <map>

#include "support/wait_for.h"
#include "theme/animated_value.h"

namespace nimbrel {
namespace {

// The list keeps views of its keys: these live for the whole test program.
std::string_view key(int i) {
    static std::deque<std::string> keys;
    while (keys.size() <= static_cast<size_t>(i))
        keys.push_back("r" + std::to_string(keys.size()));
    return keys[static_cast<size_t>(i)];
}

std::vector<ReviewList::Row> rows(int n, int height = 40) {
    std::vector<ReviewList::Row> out;
    for (int i = 0; i < n; ++i)
        out.push_back({key(i), height, i == 0 ? 0 : 2});
    return out;
}

class ReviewListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list = new ReviewList([this](const ReviewList::Row& row) {
            ++built[std::string(row.key)];
            return new QLabel(QString::fromUtf8(row.key.data(), static_cast<qsizetype>(row.key.size())));
        });
        scroll.setWidgetResizable(true);
        scroll.setWidget(list);
        scroll.resize(300, 400);
        scroll.show();
    }
    QScrollArea scroll;
    ReviewList* list = nullptr;
    std::map<std::string, int> built;
};

// A change of the rows keeps every widget whose key stays; only new keys are built and only gone
// keys are dropped, and rows outside the view are never built.
TEST_F(ReviewListTest, RowsKeepTheirWidgetsAcrossChanges) {
    list->setRows(rows(1000));
    EXPECT_EQ(list->height(), 1000 * 40 + 999 * 2);
    EXPECT_GT(list->builtCount(), 0);
    EXPECT_LT(list->builtCount(), 30);
    QWidget* r3 = list->widget("r3");
    ASSERT_NE(r3, nullptr);

    std::vector<ReviewList::Row> fewer = rows(1000);
    fewer.erase(fewer.begin() + 1);  // r1 leaves
    fewer.insert(fewer.begin(), {"new", 30, 0});
    list->setRows(fewer);
    EXPECT_EQ(list->widget("r3"), r3);
    EXPECT_EQ(built["r3"], 1);
    EXPECT_EQ(list->widget("r1"), nullptr);
    EXPECT_NE(list->widget("new"), nullptr);
    EXPECT_EQ(list->rowRect("r3").top(), 30 + 2 * 42);  // "new", r0 and r2 above it

    // Scrolled far down: the first rows go, the ones now in view are built.
    scroll.verticalScrollBar()->setValue(20000);
    flushEvents();
    EXPECT_EQ(list->widget("r3"), nullptr);
    EXPECT_NE(list->widget("r480"), nullptr);
    EXPECT_LT(list->builtCount(), 30);

    // Rows taken out above and among the built ones: the rest keep their widgets and move up.
    QWidget* r480 = list->widget("r480");
    const int top = list->rowRect("r480").top();
    list->removeRows([](const ReviewList::Row& row) { return row.key == "r2" || row.key == "r479"; });
    EXPECT_EQ(list->widget("r480"), r480);
    EXPECT_EQ(list->rowRect("r480").top(), top - 2 * 42);
    EXPECT_EQ(r480->geometry().top(), list->rowRect("r480").top());
    EXPECT_EQ(list->widget("r479"), nullptr);
    EXPECT_FALSE(list->contains("r2"));
    EXPECT_EQ(list->count(), 998);

    // A list laid out before it is shown in a window that paints meanwhile: Qt hands it the resize
    // it owes while it holds its updates, and the rows that come into view then are still drawn.
    QWidget window;
    window.resize(300, 400);
    window.show();
    flushEvents();
    auto* late = new QScrollArea(&window);
    late->setWidgetResizable(true);
    auto* lateList = new ReviewList([](const ReviewList::Row&) { return new QLabel; });
    late->setWidget(lateList);
    lateList->setRows(rows(50));
    const int early = lateList->builtCount();
    late->resize(300, 400);
    window.grab();
    late->show();
    flushEvents();
    EXPECT_GT(lateList->builtCount(), early);
    lateList->forEachBuilt(
        [](const std::string& key, QWidget* row) { EXPECT_TRUE(row->updatesEnabled()) << key; });
}

// A height moves along its motion; a new target from the rows (another height) makes it jump there,
// and a row that leaves ends its motion.
TEST_F(ReviewListTest, HeightMotions) {
    list->setRows(rows(10));
    const MotionSpec motion = timingCurve(0.23, 1, 0.32, 1, 0.2);
    std::vector<std::string> settled;
    QObject::connect(list, &ReviewList::heightSettled,
                     [&](const std::string& key) { settled.push_back(key); });

    list->setRowHeight("r2", 140, &motion);
    ASSERT_NE(list->motion("r2"), nullptr);
    list->motion("r2")->setCurrentTime(100);
    const int midway = list->shownHeight("r2");
    EXPECT_GT(midway, 40);
    EXPECT_LT(midway, 140);
    EXPECT_EQ(list->rowRect("r3").top(), list->rowRect("r2").bottom() + 1 + 2);
    // The rows are set again mid-way with the same target: the motion goes on from where it stands.
    std::vector<ReviewList::Row> same = rows(10);
    same[2].height = 140;
    list->setRows(same);
    EXPECT_EQ(list->shownHeight("r2"), midway);
    ASSERT_NE(list->motion("r2"), nullptr);
    list->motion("r2")->setCurrentTime(200);
    EXPECT_EQ(list->shownHeight("r2"), 140);
    EXPECT_EQ(settled, std::vector<std::string>{"r2"});
    EXPECT_FALSE(list->isMoving());
    EXPECT_EQ(list->motion("r2"), nullptr);

    // Moving back, then the row leaves: nothing keeps moving.
    list->setRowHeight("r2", 40, &motion);
    EXPECT_TRUE(list->isMoving());
    std::vector<ReviewList::Row> without = rows(10);
    without.erase(without.begin() + 2);
    list->setRows(without);
    EXPECT_FALSE(list->isMoving());
    EXPECT_EQ(list->motion("r2"), nullptr);

    // Rows set with another height than a motion's target: the row goes there at once.
    list->setRowHeight("r5", 140, &motion);
    std::vector<ReviewList::Row> other = without;
    other[4].height = 90;  // r5
    list->setRows(other);
    EXPECT_EQ(list->shownHeight("r5"), 90);
    EXPECT_FALSE(list->isMoving());

    // Without a motion, or to the height it already has, a row settles at once.
    settled.clear();
    list->setRowHeight("r3", 60);
    list->setRowHeight("r4", 40, &motion);
    EXPECT_EQ(list->shownHeight("r3"), 60);
    EXPECT_EQ(settled, (std::vector<std::string>{"r3", "r4"}));
    EXPECT_FALSE(list->isMoving());
}

}  // namespace
}  // namespace nimbrel
