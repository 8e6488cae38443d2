// Quitting while a removal for good runs: the window stays until the whole removal has ended, then
// the application quits, or shows what stayed behind; after a few seconds a card offers to stop the
// removal and quit. A real tree; the first removal is held until the test lets it go.
#include "model/quit_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <future>

#include "model/app_state_test_support.h"
#include "model/prefs.h"
#include "model/removal_road.h"
#include "platform/file_operations.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
constexpr auto onDisk = test::exists;

// The real removal, held at its first item (after `passing` items) until released; paths in
// `refused` fail.
class HeldOps : public FileOperations {
  public:
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::set<std::string> refused;
    int passing = 0;
    std::promise<void> holding;  // set once the worker waits for the release

    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        if (passing > 0) {
            --passing;
        } else if (released.wait_for(0s) != std::future_status::ready) {
            holding.set_value();
            released.wait();
        }
        lastRefused = refused.count(path) > 0;
        if (lastRefused) return RemovalError::posix(EACCES, "Permission denied");
        return FileOperations::remove(path, permanently);
    }
    std::optional<Counted> takeCounted() override {
        if (lastRefused) return std::nullopt;
        return FileOperations::takeCounted();
    }
    bool lastRefused = false;
};

class QuitGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = tree_.path().toStdString();
        AppStateServices services = AppStateServices::standard();
        services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
        services.mountTops.emplace();
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.clock = &clock_;
        services.isDemo = [] { return false; };
        services.fileOps = [this] { return std::static_pointer_cast<RemovalFileOps>(ops_); };
        services.userPool = &pool_;
        services.utilityPool = &pool_;
        state_ = std::make_unique<AppState>(std::move(services));
        guard_ = std::make_unique<QuitGuard>(
            *state_, [this] { ++quits_; }, [this] { ++shown_; });
    }
    void TearDown() override {
        ops_->release.set_value();
        drain();
    }

    std::string folderWithFiles(const std::string& name) {
        const std::string folder = root_ + "/" + name;
        for (int i = 0; i < 3; ++i) {
            std::filesystem::create_directories(folder + "/sub");
            std::ofstream(folder + "/sub/f" + std::to_string(i)) << "data";
        }
        state_->queue().add(
            testing::cleanItem(folder, 12, CleanItem::Kind::folder, CleanItem::Source::space, name));
        return folder;
    }
    void removeTicked() {
        state_->nimbrelise(testing::queuedIds(*state_), true);
        ASSERT_TRUE(state_->isDeleting());
    }
    void drain() { nimbrel::drain(pool_); }
    // A new removal's operations, held after `passing` items; the future tells when they hold.
    std::future<void> holdAfter(int passing) {
        quits_ = 0;
        while (!state_->queue().items().empty())
            state_->queue().remove(state_->queue().items().front().id);
        ops_->release = {};
        ops_->released = ops_->release.get_future().share();
        ops_->passing = passing;
        ops_->holding = {};
        return ops_->holding.get_future();
    }
    int64_t lastFreed() const {
        int64_t total = 0;
        for (const auto& [path, bytes] : state_->removal().lastRemoval())
            total += bytes;
        return total;
    }
    // The worker's run, then the removal's hold on the screen.
    void letTheRemovalEnd() {
        ops_->release.set_value();
        ops_->release = {};
        drain();
        clock_.advance(9s);
        drain();
    }

    PrivatePrefs prefs_;
    QTemporaryDir tree_;
    std::string root_;
    QThreadPool pool_;
    ManualClock clock_;
    std::shared_ptr<HeldOps> ops_ = std::make_shared<HeldOps>();
    std::unique_ptr<AppState> state_;
    std::unique_ptr<QuitGuard> guard_;
    int quits_ = 0, shown_ = 0;
};

TEST_F(QuitGuardTest, WithoutARemovalTheQuitIsImmediate) {
    guard_->requestQuit();
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(guard_->isWaiting());
}

TEST_F(QuitGuardTest, AQuitDuringARemovalWaitsForEveryItemThenQuits) {
    const std::vector<std::string> folders = {folderWithFiles("a"), folderWithFiles("b"),
                                              folderWithFiles("c")};
    removeTicked();
    guard_->requestQuit();
    guard_->requestQuit();  // closing the window and choosing Quit both ask
    EXPECT_EQ(quits_, 0);
    EXPECT_TRUE(guard_->isWaiting());
    EXPECT_GE(shown_, 1);  // the window stays up, with the removal's pill

    letTheRemovalEnd();
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(state_->confirm());  // the card it asked with went with the removal
    for (const std::string& folder : folders)
        EXPECT_FALSE(onDisk(folder)) << folder;
    EXPECT_EQ(state_->sessionFreed() > 0, true);
}

TEST_F(QuitGuardTest, WhatStayedBehindIsShownInsteadOfQuitting) {
    const std::string kept = folderWithFiles("kept");
    const std::string gone = folderWithFiles("gone");
    ops_->refused.insert(kept);
    removeTicked();
    guard_->requestQuit();

    letTheRemovalEnd();
    EXPECT_EQ(quits_, 0);
    EXPECT_FALSE(guard_->isWaiting());
    EXPECT_TRUE(onDisk(kept));
    EXPECT_FALSE(onDisk(gone));
    ASSERT_TRUE(state_->deletionFailures());
    EXPECT_EQ(state_->deletionFailures()->front().path, kept);

    // Once the report was seen, quitting again ends at once.
    guard_->requestQuit();
    EXPECT_EQ(quits_, 1);
}

// A removal that goes on past the guard's patience is named in a card: Cancel calls the quit off,
// Quit Now stops the removal after the item in hand, counts what went and quits without a report;
// a removal that cannot reach its next item (its disk stopped answering) is not waited for longer.
TEST_F(QuitGuardTest, ALongRemovalAsksAndStopsWhenToldTo) {
    enum class Answer { cancel, quitNow, quitNowStuck };
    for (Answer answer : {Answer::cancel, Answer::quitNow, Answer::quitNowStuck}) {
        SCOPED_TRACE(static_cast<int>(answer));
        std::future<void> holding = holdAfter(1);  // held at the second item
        const std::string tag = std::to_string(static_cast<int>(answer));
        const std::vector<std::string> folders = {folderWithFiles("a" + tag), folderWithFiles("b" + tag),
                                                  folderWithFiles("c" + tag)};
        const int64_t freedBefore = state_->sessionFreed();
        removeTicked();
        ASSERT_EQ(holding.wait_for(10s), std::future_status::ready);
        guard_->requestQuit();
        clock_.advance(QuitGuard::kPatience - 1ms);
        EXPECT_FALSE(state_->confirm());
        clock_.advance(1ms);
        ASSERT_TRUE(state_->confirm());
        // The first went: the card counts the one in hand and the one after it.
        EXPECT_TRUE(
            state_->confirm()->message.startsWith(QStringLiteral("Nimbrel is still removing 2 items")))
            << state_->confirm()->message.toStdString();

        const auto perform = state_->confirm()->perform;
        state_->setConfirm(std::nullopt);
        if (answer != Answer::cancel) perform();
        deliverPosted();
        EXPECT_EQ(guard_->isWaiting(), answer != Answer::cancel);
        if (answer == Answer::quitNowStuck) {
            clock_.advance(QuitGuard::kStopLimit);
            EXPECT_EQ(quits_, 1);
            EXPECT_TRUE(state_->isDeleting());
            letTheRemovalEnd();
            EXPECT_EQ(quits_, 1);
            continue;
        }
        ops_->release.set_value();
        drain();
        if (answer == Answer::quitNow) {
            // The second item stopped before anything in it went; no hold to play, so the
            // completion has run.
            EXPECT_EQ(quits_, 1);
            EXPECT_FALSE(onDisk(folders[0]));
            EXPECT_TRUE(onDisk(folders[1]));
            EXPECT_TRUE(onDisk(folders[2]));
            EXPECT_GT(lastFreed(), 0);
            EXPECT_EQ(state_->sessionFreed(), freedBefore + lastFreed());
            continue;
        }
        clock_.advance(9s);
        drain();
        EXPECT_EQ(quits_, 0);
        EXPECT_FALSE(onDisk(folders[1]));
    }
}

// A quit that finds nothing left to remove, or whose removal takes its last item while the quit
// waits, ends the removal's hold at once: what went is credited and the application ends, without
// the card and without playing out the hold.
TEST_F(QuitGuardTest, AQuitEndsTheHoldAtOnceWithWhatWentCredited) {
    enum class When { duringTheRun, duringTheHold, whileTheCardIsUp };
    for (When when : {When::duringTheRun, When::duringTheHold, When::whileTheCardIsUp}) {
        SCOPED_TRACE(static_cast<int>(when));
        std::future<void> holding = holdAfter(when == When::duringTheHold ? 3 : 1);
        const std::string tag = "q" + std::to_string(static_cast<int>(when));
        const std::vector<std::string> folders = {folderWithFiles("a" + tag), folderWithFiles("b" + tag),
                                                  folderWithFiles("c" + tag)};
        const int64_t freedBefore = state_->sessionFreed();
        const auto start = clock_.now();
        removeTicked();
        if (when == When::duringTheHold) {
            drain();
            ASSERT_TRUE(state_->isDeleting()) << "the hold plays";
        } else {
            ASSERT_EQ(holding.wait_for(10s), std::future_status::ready);
        }
        guard_->requestQuit();
        if (when == When::whileTheCardIsUp) {
            clock_.advance(QuitGuard::kPatience);
            ASSERT_TRUE(state_->confirm());
        }
        if (when != When::duringTheHold) ops_->release.set_value();
        drain();
        EXPECT_EQ(quits_, 1);
        EXPECT_FALSE(state_->isDeleting());
        EXPECT_FALSE(state_->confirm());
        EXPECT_EQ(clock_.now() - start, when == When::whileTheCardIsUp ? QuitGuard::kPatience : 0s);
        for (const std::string& folder : folders)
            EXPECT_FALSE(onDisk(folder)) << folder;
        EXPECT_GT(lastFreed(), 0);
        EXPECT_EQ(state_->sessionFreed(), freedBefore + lastFreed());
        // A card asked for later finds no removal to name.
        clock_.advance(QuitGuard::kPatience);
        EXPECT_FALSE(state_->confirm());
    }
    holdAfter(0);  // a fresh release for the fixture's end
}

}  // namespace
}  // namespace nimbrel
