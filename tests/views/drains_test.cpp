#include "views/deepclean/drains.h"

#include <gtest/gtest.h>

#include <QTest>
#include <functional>

#include "model/cleanup_model.h"
#include "support/wait_for.h"
#include "test_volumes.h"
#include "theme/nimbrel_button.h"
#include "views/shell_fixture.h"

namespace nimbrel {
namespace {

// The plate's figure, its button and the confirmation follow every Trash that emptying deletes.
TEST(DrainsTest, TrashFigureButtonAndMessage) {
    const QString plain =
        "Everything in the Trash is deleted for good, including everything you've nimbrelised. This can't "
        "be undone.";
    const struct {
        std::optional<TrashUsage> trash;
        std::optional<QString> value;
        bool canEmpty;
        QString message;
    } cases[] = {
        {std::nullopt, std::nullopt, true, plain},  // not measured yet: no value line
        {TrashUsage{{5'000'000, 3, true, false}}, QStringLiteral("needs access"), true, plain},
        {TrashUsage{{0, 0, true, true}}, QStringLiteral("Zero KB"), false,
         "Everything in the Trash, Zero KB, is deleted for good, including everything you've nimbrelised. "
         "This can't be undone."},
        {TrashUsage{{0, 0, false, true}}, QStringLiteral("Zero KB"), false, {}},  // `exists` is not consulted
        {TrashUsage{{0, 2, true, true}}, QStringLiteral("Zero KB"), true, {}},    // files of no size
        {TrashUsage{{-40, 0, true, true}}, QStringLiteral("Zero KB"), false, {}},
        {TrashUsage{{2'300'000'000, 412, true, true}}, QStringLiteral("2.3 GB"), true,
         "Everything in the Trash, 2.3 GB, is deleted for good, including everything you've nimbrelised. "
         "This can't be undone."},
        // The other volumes it empties are named, as the volume list names them.
        {TrashUsage{{327'600'000, 9, true, true}, 15'000'000, {"/media/u/STICK"}}, QStringLiteral("327.6 MB"),
         true,
         "Everything in the Trash, 327.6 MB (15 MB of it on “Holiday Stick”), is deleted for good, including "
         "everything you've nimbrelised. This can't be undone."},
        {TrashUsage{{327'600'000, 9, true, true}, 15'000'000, {"/media/u/STICK", "/mnt/backup", "/"}},
         QStringLiteral("327.6 MB"), true,
         "Everything in the Trash, 327.6 MB (15 MB of it on “Holiday Stick”, “backup”, and “Computer”), is "
         "deleted for good, including everything you've nimbrelised. This can't be undone."},
    };
    const std::vector<VolumeInfo> volumes = {testVolume("/", "Computer", 1000, 400, true),
                                             testVolume("/media/u/STICK", "Holiday Stick", 1000, 400, false)};
    for (const auto& c : cases) {
        EXPECT_EQ(Drains::trashValue(c.trash), c.value);
        EXPECT_EQ(Drains::canEmpty(c.trash), c.canEmpty) << c.value.value_or("-").toStdString();
        if (!c.message.isEmpty()) {
            EXPECT_EQ(Drains::emptyTrashMessage(c.trash, volumes).toStdString(), c.message.toStdString());
        }
    }
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

// A plate's button only asks: nothing runs while the card stands, its Cancel changes nothing, and
// its action runs the request once it has cleared it.
TEST_F(DrainsSectionTest, PlatesAskFirstAndRunOnlyWhatIsConfirmed) {
    state_->cleanup().loadDemo();
    state_->cleanup().setHasSimulators(true);
    DrainsSection section(*state_);
    const auto trashBefore = state_->cleanup().trash();
    const struct {
        const char* title;
        const char* message;
        const char* action;
        std::function<bool()> ran;
    } cases[] = {
        {"Empty the Trash?",
         "Everything in the Trash, 2.3 GB, is deleted for good, including everything you've nimbrelised. "
         "This can't be undone.",
         "Empty Trash", [&] { return *empties_ == 1; }},
        {"Remove unavailable simulators?",
         "Runs xcrun simctl delete unavailable. It deletes simulators whose runtime isn't installed.",
         "Remove",
         [&] { return *commands_ == std::vector<std::string>{"/usr/bin/xcrun simctl delete unavailable"}; }},
    };
    for (size_t plate = 0; plate < std::size(cases); ++plate) {
        const auto& c = cases[plate];
        SCOPED_TRACE(c.title);
        QTest::mouseClick(section.plates()[int(plate)]->button(), Qt::LeftButton);
        ASSERT_TRUE(state_->confirm().has_value());
        const ConfirmRequest request = *state_->confirm();
        EXPECT_EQ(request.title, QString::fromUtf8(c.title));
        EXPECT_EQ(request.message, QString::fromUtf8(c.message));
        EXPECT_EQ(request.actionTitle, QString::fromUtf8(c.action));
        EXPECT_TRUE(request.destructive);
        settle();
        EXPECT_FALSE(c.ran());

        state_->setConfirm(std::nullopt);  // the card's Cancel
        settle();
        EXPECT_FALSE(c.ran());
        EXPECT_FALSE(state_->toast().has_value());
        if (plate == 0) {
            EXPECT_EQ(state_->cleanup().trash(), trashBefore);
        }

        request.perform();
        EXPECT_TRUE(waitOn(state_.get(), &AppState::toastChanged,
                           [&] { return c.ran() && state_->toast().has_value(); }));
        state_->setToast(std::nullopt);
    }
}

}  // namespace
}  // namespace nimbrel
