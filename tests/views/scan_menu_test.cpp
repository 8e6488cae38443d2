#include "views/shell/scan_menu.h"

#include "shell_fixture.h"
#include "theme/menu_row.h"

namespace nimbrel {
namespace {

class ScanMenuTest : public ShellFixture {};

TEST_F(ScanMenuTest, EveryRowDismissesBeforeItActs) {
    std::vector<std::string> order;
    ScanMenu* menu = nullptr;
    QObject::connect(state_.get(), &AppState::scanTargetChanged, [&] { order.push_back("scan"); });
    auto owner = std::make_unique<ScanMenu>(
        *state_, [&] { order.push_back(state_->isScanning() ? "dismiss after scan" : "dismiss"); });
    menu = owner.get();
    const auto& lines = menu->lines();
    const auto home =
        std::find_if(lines.begin(), lines.end(), [](const ScanMenuLine& l) { return l.symbol == "house"; });
    ASSERT_NE(home, lines.end());
    menu->activate(static_cast<size_t>(home - lines.begin()));
    EXPECT_EQ(order, (std::vector<std::string>{"dismiss", "scan"}));
    EXPECT_EQ(state_->scanTarget(), std::string(kHome));

    // A new recent shows at once while the menu is open.
    EXPECT_EQ(menu->lines().back().target, std::string(kHome));
}

TEST_F(ScanMenuTest, NamesAreShownAsTheyAre) {
    state_->setVolumes({testVolume("/", "Computer", 1000, 500, true),
                        testVolume("/media/tester/x", "<b>x</b> & co", 1000, 500, false)});
    ScanMenu menu(*state_, [] {});
    menu.resize(menu.sizeHint());
    bool found = false;
    for (MenuRow* row : menu.findChildren<MenuRow*>()) {
        if (row->text() != QStringLiteral("<b>x</b> & co")) continue;
        found = true;
        EXPECT_EQ(row->shownTitle(), QStringLiteral("<b>x</b> & co"));
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace nimbrel
