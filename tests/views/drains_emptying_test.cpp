#include <gtest/gtest.h>

#include <QTest>
#include <future>

#include "model/cleanup_model.h"
#include "support/wait_for.h"
#include "theme/nimbrel_button.h"
#include "views/deepclean/drains.h"
#include "views/shell_fixture.h"

namespace nimbrel {
namespace {

// The emptier holds on its worker thread until the test lets it go.
class DrainsEmptyingTest : public ShellFixture {
  protected:
    void SetUp() override {
        AppStateServices s = services();
        s.emptyTrash = [released = released_] {
            released.wait();
            return CommandResult{0, ""};
        };
        start(std::move(s));
    }
    void TearDown() override {
        if (!freed_) release_.set_value();
        waitOn(&state_->cleanup(), &CleanupModel::isEmptyingTrashChanged,
               [&] { return !state_->cleanup().isEmptyingTrash(); });
        ShellFixture::TearDown();
    }
    void release() {
        freed_ = true;
        release_.set_value();
    }

    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    bool freed_ = false;
};

TEST_F(DrainsEmptyingTest, EmptyIsDisabledAndTheSizeHiddenWhileEmptying) {
    state_->cleanup().loadDemo();
    DrainsSection section(*state_);
    ASSERT_TRUE(section.plates()[0]->button()->isEnabled());
    state_->emptyTrash();
    EXPECT_TRUE(state_->cleanup().isEmptyingTrash());
    EXPECT_FALSE(section.plates()[0]->button()->isEnabled());
    EXPECT_EQ(section.plates()[0]->value(), QStringLiteral("Emptying…"));

    release();
    EXPECT_TRUE(waitOn(&state_->cleanup(), &CleanupModel::isEmptyingTrashChanged,
                       [&] { return !state_->cleanup().isEmptyingTrash(); }));
    EXPECT_TRUE(section.plates()[0]->button()->isEnabled());
    EXPECT_NE(section.plates()[0]->value(), QStringLiteral("Emptying…"));
}

}  // namespace
}  // namespace nimbrel
