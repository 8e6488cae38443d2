#include "views/shell/root_view.h"

#include <sys/stat.h>

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPointer>
#include <fstream>

#include "shell_fixture.h"
#include "support/dead_share.h"
#include "test_items.h"
#include "theme/animated_value.h"
#include "theme/motion.h"
#include "views/shell/area_views.h"
#include "views/shell/drop_hint.h"
#include "views/shell/requires_scan.h"

namespace nimbrel {
namespace {

class RootViewTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ReduceMotion::setOverride(true);
        AnimatedValue::setAllInstant(true);
        root_ = std::make_unique<RootView>(*state_);
        root_->resize(1240, 800);
    }
    void TearDown() override {
        root_.reset();
        ReduceMotion::setOverride(std::nullopt);
        AnimatedValue::setAllInstant(false);
        ShellFixture::TearDown();
    }

    // Sends a drag over the view and drops it; returns whether the drop was taken.
    bool drop(const QMimeData& mime, bool* hintShown = nullptr) {
        const QPoint at(400, 400);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(root_.get(), &enter);
        if (hintShown) *hintShown = root_->isDropTargeted();
        if (!enter.isAccepted()) return false;
        QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime, Qt::LeftButton,
                             Qt::NoModifier);
        QCoreApplication::sendEvent(root_.get(), &dropEvent);
        EXPECT_FALSE(root_->isDropTargeted());
        return dropEvent.isAccepted();
    }

    std::unique_ptr<RootView> root_;
};

TEST_F(RootViewTest, EachSectionChangeBuildsANewAreaView) {
    EXPECT_EQ(root_->detailSection(), SidebarItem::overview);
    struct Step {
        std::optional<SidebarItem> section;
        SidebarItem shown;
        bool rebuilt;
    };
    const Step steps[] = {
        {SidebarItem::largest, SidebarItem::largest, true},
        {SidebarItem::old, SidebarItem::old, true},
        {SidebarItem::old, SidebarItem::old, false},
        {SidebarItem::largest, SidebarItem::largest, true},
        {SidebarItem::cleanup, SidebarItem::cleanup, true},
        {std::nullopt, SidebarItem::overview, true},
        {SidebarItem::overview, SidebarItem::overview, false},
    };
    for (const Step& step : steps) {
        QPointer<QWidget> before = root_->detail();
        state_->setSection(step.section);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(root_->detailSection(), step.shown);
        EXPECT_EQ(root_->detail() != before.data(), step.rebuilt) << rawValue(step.shown);
        if (step.rebuilt) {
            EXPECT_TRUE(before.isNull()) << "the old view is gone";
        }
    }
    state_->setSection(SidebarItem::duplicates);
    EXPECT_NE(qobject_cast<RequiresScan*>(root_->detail()), nullptr);
    state_->setSection(SidebarItem::cleanup);
    EXPECT_EQ(qobject_cast<RequiresScan*>(root_->detail()), nullptr);
}

TEST_F(RootViewTest, DroppedFoldersAreScannedAndEverythingElseRefused) {
    QTemporaryDir dir;
    const std::string root = QFile::encodeName(dir.path()).toStdString();
    const std::string folder = root + "/<b>bold";
    const std::string file = root + "/notes.txt";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::ofstream(file) << "x";

    // Whether a local path is a folder is read on a worker; the answer comes back with settle().
    bool hint = false;
    QMimeData fileDrag;
    fileDrag.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    drop(fileDrag, &hint);
    EXPECT_TRUE(hint) << "any local file lights the hint; the drop decides";
    settle();
    EXPECT_FALSE(state_->isScanning());

    QMimeData own;
    own.setData(QStringLiteral("application/json"), R"({"id":"/tmp"})");
    EXPECT_FALSE(drop(own, &hint));
    EXPECT_FALSE(hint) << "Nimbrel's own items are for the selection bar";

    QMimeData folderDrag;
    folderDrag.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder)),
                        QUrl::fromLocalFile(QString::fromStdString(file))});
    EXPECT_TRUE(drop(folderDrag));
    settle();
    EXPECT_EQ(state_->scanTarget(), folder);
    EXPECT_TRUE(state_->isScanning());
    EXPECT_EQ(state_->recents().front(), folder);

    // A drop while a scan runs starts a scan of the dropped folder.
    QMimeData again;
    again.setUrls({QUrl::fromLocalFile(dir.path())});
    EXPECT_TRUE(drop(again));
    settle();
    EXPECT_EQ(state_->scanTarget(), root);

    // A folder on a share that stopped answering: the drop returns while the look at it waits, and
    // nothing is scanned once the share fails it.
    DeadShare share(root + "/share");
    if (!share.ok()) GTEST_SKIP() << "no dead share to test with: " << share.error();
    share.releaseAfter(std::chrono::seconds(15));
    QMimeData stuck;
    stuck.setUrls({QUrl::fromLocalFile(QString::fromStdString(root + "/share/folder"))});
    EXPECT_TRUE(drop(stuck));
    EXPECT_FALSE(share.released());  // the drop never waited on the share
    EXPECT_TRUE(share.waitForVisitor(std::chrono::seconds(10)));
    share.release();
    settle();
    EXPECT_EQ(state_->scanTarget(), root);
}

TEST_F(RootViewTest, TheDropHintNeverTakesTheDrop) {
    EXPECT_TRUE(root_->dropHint()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(root_->dropHint()->acceptDrops());
    QMimeData drag;
    drag.setUrls({QUrl::fromLocalFile(QStringLiteral("/"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(root_.get(), &enter);
    EXPECT_TRUE(root_->dropHint()->isVisibleTo(root_.get()));
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(root_.get(), &leave);
    EXPECT_FALSE(root_->isDropTargeted());
    EXPECT_FALSE(root_->dropHint()->isVisibleTo(root_.get()));
}

TEST_F(RootViewTest, OverlaysStackWithToastsOnTopAndTheBarFollowsTheSelection) {
    auto* bar = new QWidget;
    auto* modal = new QWidget;
    auto* toasts = new QWidget;
    root_->setToastOverlay(toasts);
    root_->setModalHost(modal);
    root_->setSelectionBar(bar);
    const QObjectList& children = root_->children();
    const auto index = [&](QObject* o) { return children.indexOf(o); };
    EXPECT_LT(index(bar), index(modal));
    EXPECT_LT(index(modal), index(toasts));
    EXPECT_LT(index(root_->dropHint()), index(bar));
    EXPECT_TRUE(toasts->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(modal->geometry(), root_->rect());

    EXPECT_FALSE(bar->isVisibleTo(root_.get()));
    const CleanItem item = testItem("/home/tester/big.iso", 10);
    state_->queue().add(item);
    EXPECT_TRUE(bar->isVisibleTo(root_.get()));
    state_->queue().remove(item.id);
    EXPECT_FALSE(bar->isVisibleTo(root_.get()));
}

TEST_F(RootViewTest, ActivationRechecksVolumesOutsideDemoMode) {
    const int before = listings_->load();
    root_->applicationActivated();
    settle();
    EXPECT_EQ(listings_->load(), before + 1);

    // In demo mode the sample volume list stays; only the access check runs again.
    demo_->store(true);
    settle();
    const int demoBefore = listings_->load();
    root_->applicationActivated();
    settle();
    EXPECT_EQ(listings_->load(), demoBefore);
}

}  // namespace
}  // namespace nimbrel
