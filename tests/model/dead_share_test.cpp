#include "support/dead_share.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QThreadPool>
#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/host_layout.h"
#include "model/app_state.h"
#include "model/app_state_test_support.h"
#include "model/background.h"
#include "model/duplicates_model.h"
#include "model/prefs.h"
#include "model/removal_road.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

// A scan of a folder that holds a share whose server stopped answering: its worker waits in the
// kernel for as long as the server is away, and nothing can make it return sooner.
class DeadShareTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        base_ = dir_.path().toStdString();
        Prefs::useStore(dir_.filePath("prefs.ini"));
        std::filesystem::create_directories(base_ + "/tree/files");
        std::filesystem::create_directories(base_ + "/other");
        std::ofstream(base_ + "/tree/files/a") << std::string(5000, 'a');
        std::ofstream(base_ + "/other/b") << std::string(5000, 'b');
        share_ = &shareAt(base_ + "/tree/share");
        if (!share_->ok()) GTEST_SKIP() << "no dead share to test with: " << share_->error();
    }
    void TearDown() override {
        shares_.clear();
        std::error_code ignored;
        std::filesystem::remove(cacheFolder() + "/stuck", ignored);
        Prefs::useStore(QString());
    }

    // The junk location "caches" of the tests' home.
    static std::string cacheFolder() { return HostLayout::current().home + "/.cache"; }
    // Another share, released after 15 s at the latest: a main thread that waits on it then fails
    // the test's checks instead of hanging it.
    DeadShare& shareAt(const std::string& mountPoint) {
        std::filesystem::create_directories(std::filesystem::path(mountPoint).parent_path());
        shares_.push_back(std::make_unique<DeadShare>(mountPoint));
        if (shares_.back()->ok()) shares_.back()->releaseAfter(std::chrono::seconds(15));
        return *shares_.back();
    }
    // A state that scans for real on a pool of its own, so a stuck worker holds no other test up.
    std::unique_ptr<AppState> makeState(bool ownPool = true) {
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        if (ownPool) services.scanPool = &scans_;
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        return std::make_unique<AppState>(std::move(services));
    }
    // Waits until the scan has reached `share` and is stuck there.
    static void letItReachTheShare(const AppState& state, const DeadShare& share) {
        ASSERT_TRUE(share.waitForVisitor(std::chrono::seconds(10)));
        ASSERT_TRUE(state.isScanning());
    }

    QTemporaryDir dir_;
    std::string base_;
    QThreadPool scans_;  // declared before the shares: released shares let it finish before it goes
    std::vector<std::unique_ptr<DeadShare>> shares_;
    DeadShare* share_ = nullptr;
};

TEST_F(DeadShareTest, CancelReturnsAtOnceAndTheStuckScanIsLetGo) {
    auto state = makeState();
    state->scan(base_ + "/tree");
    letItReachTheShare(*state, *share_);
    state->cancelScan();
    EXPECT_FALSE(share_->released());  // the cancel never waited for the stuck worker
    EXPECT_FALSE(state->isScanning());

    // The window goes on: another folder is scanned while the first worker still waits.
    state->scan(base_ + "/other");
    ASSERT_TRUE(waitOn(state.get(), &AppState::isScanningChanged, [&] { return !state->isScanning(); }));
    ASSERT_TRUE(state->result());
    EXPECT_EQ(state->result()->root()->name, base_ + "/other");

    // A share itself as the target: starting its scan reads nothing on the main thread.
    DeadShare& target = shareAt(base_ + "/target");
    state->scan(base_ + "/target");
    EXPECT_FALSE(target.released());
    letItReachTheShare(*state, target);
    state->cancelScan();

    // A second stuck scan, whose state is gone when the server answers: the late workers wake,
    // find their scans cancelled and touch nothing that is gone.
    DeadShare& again = shareAt(base_ + "/again/share");
    state->scan(base_ + "/again");
    letItReachTheShare(*state, again);
    state->cancelScan();
    state.reset();
    EXPECT_FALSE(again.released());
    shares_.clear();
    EXPECT_TRUE(scans_.waitForDone(10000));
    QCoreApplication::processEvents();
}

// "Select extras" looks at each set's kept copy on disk; a kept copy on the dead share holds only
// the worker, never the window, and one that cannot be read offers nothing.
TEST_F(DeadShareTest, SelectingExtrasAndOpeningTheReviewNeverWaitOnTheShare) {
    auto state = makeState();
    const std::string live = base_ + "/other/b";
    const std::string liveCopy = base_ + "/tree/files/a";
    auto twin = [](const std::string& path, int hours) {
        static int64_t id = 0;
        FileItem f;
        f.id = ++id;
        f.path = path;
        f.name = path.substr(path.rfind('/') + 1);
        f.size = 5000;
        f.modified = std::chrono::system_clock::time_point(std::chrono::hours(hours));
        return f;
    };
    auto seen = [](const std::string& path) { return EntryIdentity::read(path).value_or(EntryIdentity{}); };
    DuplicateGroup dead{"dead", 5000, {twin(base_ + "/tree/share/kept", 9), twin(liveCopy, 1)}};
    dead.seen = {EntryIdentity{{1, 1}, EntryIdentity::Type::file, 5000, 0, 0}, seen(liveCopy)};
    DuplicateGroup alive{"alive", 5000, {twin(live, 9), twin(base_ + "/other/extra", 1)}};
    alive.seen = {seen(live), EntryIdentity{}};
    state->duplicates().setGroups({dead, alive});
    for (int click = 0; click < 2; ++click) {
        if (click == 0)
            state->selectTwinExtras([](const std::vector<DuplicateGroup>& groups) {
                return std::vector<const DuplicateGroup*>{&groups[0], &groups[1]};
            });
        else
            state->selectTwinExtras(
                [](const std::vector<DuplicateGroup>& groups) { return std::vector{&groups[0]}; });
    }
    ASSERT_TRUE(share_->waitForVisitor(std::chrono::seconds(10)));
    deliverPosted();
    EXPECT_FALSE(share_->released());             // neither the clicks nor the events waited on the share
    EXPECT_TRUE(state->queue().items().empty());  // nothing until the workers are back

    share_->release();
    settle({&Background::userInitiated()});
    ASSERT_EQ(state->queue().items().size(), 1u);
    EXPECT_EQ(state->queue().items().front().id, base_ + "/other/extra");

    // Opening the review lists the ticked junk locations on a worker: an entry of one on the share
    // holds only that worker, and the review opens once it is back, without what it could not read.
    if (std::filesystem::is_symlink(cacheFolder())) std::filesystem::remove(cacheFolder());
    DeadShare& cached = shareAt(cacheFolder() + "/stuck");
    ASSERT_TRUE(cached.ok()) << cached.error();
    const CleanItem caches =
        testing::cleanItem("junk:caches", 1, CleanItem::Kind::junk, CleanItem::Source::deepClean);
    state->toggleSelection(caches);
    state->nimbrelise();
    ASSERT_TRUE(cached.waitForVisitor(std::chrono::seconds(10)));
    deliverPosted();
    EXPECT_FALSE(cached.released());
    EXPECT_FALSE(state->isReviewing());
    // The stuck listing holds no review of another selection back, and its late answer opens nothing.
    state->toggleSelection(caches);
    state->nimbrelise();
    EXPECT_TRUE(state->isReviewing());
    state->setIsReviewing(false);
    state->toggleSelection(caches);
    state->nimbrelise();
    deliverPosted();
    EXPECT_FALSE(cached.released());
    EXPECT_FALSE(state->isReviewing());
    cached.release();
    ASSERT_TRUE(waitOn(state.get(), &AppState::isReviewingChanged, [&] { return state->isReviewing(); }));
    for (const JunkEntry& entry : state->removal().reviewTargets().at("junk:caches"))
        EXPECT_NE(entry.path, cacheFolder() + "/stuck");
}

TEST_F(DeadShareTest, QuitEndsAtOnceWhileAWorkerIsStuck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child ends by the same step the program ends by; a hang is cut short by the alarm, which
    // the parent reads as a failure.
    EXPECT_EXIT(
        {
            ::alarm(20);
            auto state = makeState(false);  // on the program's own pools
            state->scan(base_ + "/tree");
            letItReachTheShare(*state, *share_);
            state->cancelScan();
            // The child ends without its teardown: it leaves no mount and no folder behind.
            share_->detach();
            dir_.remove();
            Background::endNowIfBusy(7);
        },
        ::testing::ExitedWithCode(7), "");
}

}  // namespace
}  // namespace nimbrel
