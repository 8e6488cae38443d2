#include "views/kit/lazy_rows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <set>

#include "support/motion_scopes.h"
#include "support/wait_for.h"
#include "theme/motion.h"
#include "views/kit/turn_budget.h"

namespace nimbrel {
namespace {

constexpr int kRow = 50;
constexpr int kSpacing = 2;
constexpr int kPitch = kRow + kSpacing;

// A scrolled column of named rows; removing names closes the list as a removal does.
class Column {
  public:
    explicit Column(int count) {
        for (int i = 0; i < count; ++i)
            names_.push_back("row" + std::to_string(i));
        rows_ = new LazyRows;
        rows_->setKey([this](int i) { return names_[static_cast<size_t>(i)]; });
        rows_->setUpdate([this](int, QWidget*) { ++updates; });
        scroll_.setWidgetResizable(true);
        scroll_.setWidget(rows_);
        scroll_.resize(320, 400);
        rows_->setRows(heights(), factory(), kSpacing);
        scroll_.show();
        settle();
    }

    LazyRows& rows() { return *rows_; }
    QScrollBar& bar() { return *scroll_.verticalScrollBar(); }
    void scrollTo(int value) {
        bar().setValue(value);
        settle();
    }
    void settle() { flushEvents(); }
    void remove(const std::set<std::string>& gone) {
        std::erase_if(names_, [&](const std::string& n) { return gone.count(n) > 0; });
        rows_->closeRows(heights(), factory());
    }
    // The close at `ms` of its 280.
    void at(int ms) {
        rows_->closing().animation().setCurrentTime(ms);
        settle();
    }
    QWidget* widget(const std::string& name) const {
        for (QWidget* w : rows_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w->objectName() == QString::fromStdString(name) && !w->isHidden()) return w;
        return nullptr;
    }
    // Where the row is on screen (viewport coordinates); INT_MIN when it is not built.
    int screenY(const std::string& name) const {
        QWidget* w = widget(name);
        return w ? w->mapTo(scroll_.viewport(), QPoint(0, 0)).y() : INT_MIN;
    }
    int updates = 0;

  private:
    std::vector<int> heights() const { return std::vector<int>(names_.size(), kRow); }
    LazyRows::Factory factory() {
        return [this](int i) {
            auto* w = new QWidget;
            w->setObjectName(QString::fromStdString(names_[static_cast<size_t>(i)]));
            return w;
        };
    }

    std::vector<std::string> names_;
    QScrollArea scroll_;
    LazyRows* rows_;
};

class LazyRowsTest : public ::testing::Test {
  protected:
    ReduceMotionScope motion_{false};
};

TEST_F(LazyRowsTest, RowsBelowAGapOnScreenSlideUpKeepingTheirWidgets) {
    Column c(100);
    QWidget* kept = c.widget("row4");
    ASSERT_NE(kept, nullptr);
    const int before = c.screenY("row4");
    const int height = c.rows().height();

    c.remove({"row2", "row3"});
    // Nothing moves at the start: the gap is still there, the rows that left are still in place.
    EXPECT_EQ(c.widget("row4"), kept);
    EXPECT_EQ(c.screenY("row4"), before);
    EXPECT_EQ(c.rows().leavingCount(), 2);
    EXPECT_EQ(c.rows().height(), height);
    EXPECT_GT(c.updates, 0);

    c.at(140);
    const int mid = c.screenY("row4");
    EXPECT_LT(mid, before);
    EXPECT_GT(mid, before - 2 * kPitch);
    EXPECT_LT(c.rows().height(), height);
    EXPECT_GT(c.rows().height(), height - 2 * kPitch);

    c.at(280);
    EXPECT_EQ(c.widget("row4"), kept);
    EXPECT_EQ(c.screenY("row4"), 2 * kPitch);
    EXPECT_EQ(c.screenY("row1"), kPitch);
    EXPECT_EQ(c.rows().leavingCount(), 0);
    EXPECT_FALSE(c.rows().isClosing());
    EXPECT_EQ(c.rows().height(), height - 2 * kPitch);
}

TEST_F(LazyRowsTest, RowsLeavingAboveTheScrollPositionLeaveTheVisibleRowsStill) {
    struct Case {
        const char* what;
        std::set<std::string> gone;
        int slides;  // how far row43 moves up on screen in the end
    };
    const Case cases[] = {
        {"only above", {"row10", "row11", "row12", "row13", "row14"}, 0},
        {"above and on screen", {"row10", "row11", "row42"}, kPitch},
        {"the row at the top of the view", {"row40"}, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Column c(100);
        c.scrollTo(40 * kPitch);
        const int top = c.screenY("row40");
        const int row41 = c.screenY("row41");
        const int row43 = c.screenY("row43");
        c.remove(k.gone);
        if (!k.gone.count("row40")) {
            EXPECT_EQ(c.screenY("row40"), top);
        }
        EXPECT_EQ(c.screenY("row41"), row41);
        EXPECT_EQ(c.screenY("row43"), row43);
        c.at(280);
        EXPECT_EQ(c.screenY("row41"), row41 - (k.gone.count("row40") ? kPitch : 0));
        EXPECT_EQ(c.screenY("row43"), row43 - k.slides - (k.gone.count("row40") ? kPitch : 0));
    }
}

TEST_F(LazyRowsTest, TheLastRowsCanLeaveAndEveryRowCan) {
    {
        Column c(30);
        c.scrollTo(c.bar().maximum());
        const int row28 = c.screenY("row28");
        c.remove({"row29"});
        EXPECT_EQ(c.screenY("row28"), row28);
        c.at(280);
        EXPECT_EQ(c.rows().count(), 29);
        EXPECT_EQ(c.rows().height(), 29 * kPitch - kSpacing);
        EXPECT_EQ(c.rows().leavingCount(), 0);
        EXPECT_NE(c.screenY("row28"), INT_MIN);
    }
    {
        Column c(3);
        c.remove({"row0", "row1", "row2"});
        c.at(280);
        EXPECT_EQ(c.rows().count(), 0);
        EXPECT_EQ(c.rows().height(), 0);
        EXPECT_EQ(c.rows().builtCount(), 0);
        EXPECT_EQ(c.rows().leavingCount(), 0);
    }
}

TEST_F(LazyRowsTest, ARemovalDuringACloseStartsFromWhereTheRowsAreShown) {
    Column c(100);
    QWidget* kept = c.widget("row6");
    c.remove({"row2"});
    c.at(140);
    const int shown = c.screenY("row6");
    c.remove({"row0"});
    EXPECT_EQ(c.screenY("row6"), shown);
    EXPECT_EQ(c.widget("row6"), kept);
    c.at(280);
    EXPECT_EQ(c.screenY("row6"), 4 * kPitch);
    EXPECT_EQ(c.rows().leavingCount(), 0);
}

TEST_F(LazyRowsTest, UnderReduceMotionRowsTakeTheirPlacesAtOnce) {
    ReduceMotion::setOverride(true);
    Column c(20);
    QWidget* kept = c.widget("row5");
    c.remove({"row1", "row2"});
    c.settle();
    EXPECT_EQ(c.widget("row5"), kept);
    EXPECT_EQ(c.screenY("row5"), 3 * kPitch);
    EXPECT_EQ(c.rows().leavingCount(), 0);
    EXPECT_FALSE(c.rows().isClosing());
}

TEST_F(LazyRowsTest, ALongListClosesWithOnlyTheRowsNearTheViewBuilt) {
    Column c(100'000);
    c.scrollTo(50'000 * kPitch);
    const int row50001 = c.screenY("row50001");
    std::set<std::string> gone;
    for (int i = 0; i < 100'000; i += 10)
        gone.insert("row" + std::to_string(i));
    c.remove(gone);
    EXPECT_LT(c.rows().builtCount(), 30);
    EXPECT_EQ(c.screenY("row50001"), row50001);
    c.at(280);
    EXPECT_EQ(c.rows().count(), 90'000);
    EXPECT_LT(c.rows().builtCount(), 30);
    // The rows that left above took the scroll position with them.
    EXPECT_EQ(c.bar().value(), 45'000 * kPitch);
}

// A turn builds only what its budget allows (one row per turn here), the rows on screen before those
// in the margin, and the rest follow in the next turns unasked; rows that left are freed, not kept.
TEST_F(LazyRowsTest, RowsComeAsTheTurnsAllowOnScreenFirstAndAllInTheEnd) {
    Column c(100);
    TurnBudget::setOverride(1);
    c.bar().setValue(50 * kPitch);
    c.rows().refresh();
    EXPECT_EQ(c.rows().builtCount(), 1);
    EXPECT_NE(c.rows().rowWidget(50), nullptr);
    c.settle();
    TurnBudget::setOverride(TurnBudget::kUnlimited);
    for (int i = 45; i <= 56; ++i)
        EXPECT_NE(c.rows().rowWidget(i), nullptr) << i;
    EXPECT_EQ(c.rows().rowWidget(0), nullptr);
    const auto children = c.rows().findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(int(children.size()), c.rows().builtCount());
}

}  // namespace
}  // namespace nimbrel
