#include "views/kit/area_header.h"

#include <QTest>

#include "shell_fixture.h"
#include "theme/palette.h"
#include "theme/press_button.h"
#include "views/shell/requires_scan.h"

namespace nimbrel {
namespace {

class AreaHeaderTest : public ShellFixture {};

TEST_F(AreaHeaderTest, TabsFollowTheSection) {
    AreaHeader header(*state_);
    AreaTabs* tabs = header.tabs();

    state_->setSection(SidebarItem::duplicates);
    EXPECT_EQ(tabs->items(),
              (std::vector<SidebarItem>{SidebarItem::largest, SidebarItem::old, SidebarItem::duplicates}));
    EXPECT_TRUE(tabs->isSelected(SidebarItem::duplicates));
    EXPECT_FALSE(tabs->isSelected(SidebarItem::largest));
    EXPECT_TRUE(tabs->hasUnderline());
    EXPECT_TRUE(tabs->isPressable());
    EXPECT_GT(tabs->titleFont(SidebarItem::duplicates).weight(),
              tabs->titleFont(SidebarItem::largest).weight());
    EXPECT_EQ(header.caption(), QStringLiteral("Identical copies"));

    header.resize(900, 100);
    QTest::mouseClick(tabs->tab(SidebarItem::old), Qt::LeftButton);
    EXPECT_EQ(state_->section(), SidebarItem::old);
    QTest::keyClick(tabs->tab(SidebarItem::duplicates), Qt::Key_Return);
    EXPECT_EQ(state_->section(), SidebarItem::duplicates);

    state_->setSection(SidebarItem::cleanup);
    EXPECT_EQ(tabs->items(), (std::vector<SidebarItem>{SidebarItem::cleanup}));
    EXPECT_FALSE(tabs->hasUnderline());
    EXPECT_FALSE(tabs->isPressable());
    EXPECT_FALSE(tabs->tab(SidebarItem::cleanup)->isEnabled()) << "a lone title is not pressed";

    state_->setSection(std::nullopt);
    EXPECT_EQ(tabs->items(), (std::vector<SidebarItem>{SidebarItem::overview}));
    EXPECT_FALSE(tabs->isSelected(SidebarItem::overview));
    EXPECT_EQ(header.caption(), QString());

    header.setSubtitle(QString());
    state_->setSection(SidebarItem::largest);
    EXPECT_EQ(header.caption(), QString()) << "an empty subtitle still replaces the caption";
}

class RequiresScanTest : public ShellFixture {};

TEST_F(RequiresScanTest, ResultBeatsScanningBeatsTheInvitation) {
    auto* content = new QWidget;
    RequiresScan panel(*state_, SidebarItem::duplicates, content);
    EXPECT_EQ(panel.showing(), RequiresScan::Showing::empty);
    EXPECT_EQ(panel.emptyMessage(),
              QStringLiteral("Scan a folder or your whole disk and Twins will show identical copies."));

    state_->scan("/");
    EXPECT_EQ(panel.showing(), RequiresScan::Showing::scanning);
    EXPECT_TRUE(panel.heading().startsWith(QStringLiteral("Reading ")));
    ScanProgress progress;
    progress.filesScanned = 1234;
    progress.bytesScanned = -5;
    progress.currentPath = std::string(kHome) + "/Movies/<b>bold";
    state_->setProgress(progress);
    EXPECT_EQ(panel.counts(), QStringLiteral("1,234 files · Zero KB"));
    EXPECT_EQ(panel.currentPath(), QStringLiteral("~/Movies/<b>bold"));

    state_->cancelScan();
    EXPECT_EQ(panel.showing(), RequiresScan::Showing::empty) << "a cancelled first scan invites again";

    state_->setResult(std::make_shared<ScanResult>());
    state_->scan("/srv");
    EXPECT_EQ(panel.showing(), RequiresScan::Showing::content) << "the old result stays during a rescan";
    EXPECT_EQ(panel.content(), content);
}

}  // namespace
}  // namespace nimbrel
