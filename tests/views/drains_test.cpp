#include "views/deepclean/drains.h"

#include <gtest/gtest.h>

#include <QTest>

#include "model/cleanup_model.h"
#include "support/wait_for.h"
#include "theme/nimbrel_button.h"
#include "views/shell_fixture.h"

namespace nimbrel {
namespace {

TEST(DrainsTest, TrashValue) {
    const struct {
        std::optional<DiskUsage> trash;
        std::optional<QString> value;
    } cases[] = {
        {std::nullopt, std::nullopt},  // not measured yet: no value line
        {DiskUsage{5'000'000, 3, true, false}, QStringLiteral("needs access")},
        {DiskUsage{0, 0, true, true}, QStringLiteral("Zero KB")},
        {DiskUsage{0, 0, false, true}, QStringLiteral("Zero KB")},  // `exists` is not consulted
        {DiskUsage{-40, 0, true, true}, QStringLiteral("Zero KB")},
        {DiskUsage{2'300'000'000, 412, true, true}, QStringLiteral("2.3 GB")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Drains::trashValue(c.trash), c.value);
}

// A state whose Trash emptier and command runner only count their calls.
class DrainsSectionTest : public ShellFixture {
  protected:
    void SetUp() override {
        AppStateServices s = services();
        auto empties = empties_;
        s.emptyTrash = [empties] {
            ++*empties;
            return CommandResult{0, ""};
        };
        auto commands = commands_;
        s.runCommand = [commands](const std::string& program, const std::vector<std::string>& args) {
            std::string line = program;
            for (const std::string& a : args)
                line += " " + a;
            commands->push_back(line);
            return CommandResult{0, ""};
        };
        start(std::move(s));
    }

    std::shared_ptr<std::atomic<int>> empties_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::vector<std::string>> commands_ = std::make_shared<std::vector<std::string>>();
};

TEST_F(DrainsSectionTest, PlatesFollowTheTrashAndTheSimulatorFolder) {
    state_->cleanup().setHasSimulators(false);
    DrainsSection section(*state_);
    EXPECT_EQ(section.heading(), QStringLiteral("DRAINS"));
    auto plates = section.plates();
    ASSERT_EQ(plates.size(), 1);
    EXPECT_EQ(plates[0]->symbol(), "trash");
    EXPECT_EQ(plates[0]->title(), QStringLiteral("Trash"));
    EXPECT_FALSE(plates[0]->value().has_value());  // before the first measurement
    EXPECT_EQ(plates[0]->button()->text(), QStringLiteral("Empty…"));
    EXPECT_EQ(plates[0]->button()->kind(), NimbrelButton::Kind::danger);
    EXPECT_EQ(plates[0]->button()->buttonSize(), NimbrelButton::Size::small);

    state_->cleanup().loadDemo();
    state_->cleanup().setHasSimulators(true);
    plates = section.plates();
    ASSERT_EQ(plates.size(), 2);
    EXPECT_EQ(plates[0]->value(), QStringLiteral("2.3 GB"));
    EXPECT_EQ(plates[1]->symbol(), "ipad.and.iphone");
    EXPECT_EQ(plates[1]->title(), QStringLiteral("Dead simulators"));
    EXPECT_FALSE(plates[1]->value().has_value());
    EXPECT_EQ(plates[1]->button()->text(), QStringLiteral("Remove…"));
}

TEST_F(DrainsSectionTest, EmptyAsksFirstAndCancelChangesNothing) {
    state_->cleanup().loadDemo();
    DrainsSection section(*state_);
    const auto trashBefore = state_->cleanup().trash();
    QTest::mouseClick(section.plates()[0]->button(), Qt::LeftButton);

    ASSERT_TRUE(state_->confirm().has_value());
    const ConfirmRequest request = *state_->confirm();
    EXPECT_EQ(request.title, QStringLiteral("Empty the Trash?"));
    EXPECT_EQ(request.message,
              QStringLiteral("Everything in the Trash is deleted for good, including everything "
                             "you've nimbrelised. This can't be undone."));
    EXPECT_EQ(request.actionTitle, QStringLiteral("Empty Trash"));
    EXPECT_TRUE(request.destructive);
    settle();
    EXPECT_EQ(*empties_, 0);
    EXPECT_FALSE(state_->toast().has_value());

    state_->setConfirm(std::nullopt);  // the card's Cancel
    settle();
    EXPECT_EQ(*empties_, 0);
    EXPECT_EQ(state_->cleanup().trash(), trashBefore);
    EXPECT_FALSE(state_->toast().has_value());

    // The card's action button runs the request once it has cleared it.
    request.perform();
    EXPECT_TRUE(waitOn(state_.get(), &AppState::toastChanged,
                       [&] { return *empties_ == 1 && state_->toast().has_value(); }));
}

TEST_F(DrainsSectionTest, RemoveAsksFirstThenRunsTheSimulatorCommand) {
    state_->cleanup().setHasSimulators(true);
    DrainsSection section(*state_);
    QTest::mouseClick(section.plates()[1]->button(), Qt::LeftButton);
    ASSERT_TRUE(state_->confirm().has_value());
    const ConfirmRequest request = *state_->confirm();
    EXPECT_EQ(request.title, QStringLiteral("Remove unavailable simulators?"));
    EXPECT_EQ(request.message,
              QStringLiteral("Runs xcrun simctl delete unavailable. It deletes simulators whose "
                             "runtime isn't installed."));
    EXPECT_EQ(request.actionTitle, QStringLiteral("Remove"));
    EXPECT_TRUE(request.destructive);
    settle();
    EXPECT_TRUE(commands_->empty());

    request.perform();
    EXPECT_TRUE(waitOn(state_.get(), &AppState::toastChanged, [&] { return state_->toast().has_value(); }));
    EXPECT_EQ(*commands_, (std::vector<std::string>{"/usr/bin/xcrun simctl delete unavailable"}));
}

}  // namespace
}  // namespace nimbrel
