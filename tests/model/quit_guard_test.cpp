// Quitting while a removal for good runs: the process waits for the whole removal, then quits, or
// shows what stayed behind. A real tree; the first removal is held until the test lets it go.
#include "model/quit_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <future>

#include "model/app_state_test_support.h"
#include "model/prefs.h"
#include "platform/file_operations.h"
#include "support/private_prefs.h"
#include "support/temp_tree.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
constexpr auto onDisk = test::exists;

// The real removal, held at its first item until released; paths in `refused` fail.
class HeldOps : public FileOperations {
  public:
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::set<std::string> refused;

    std::optional<RemovalError> remove(const std::string& path, bool permanently) override {
        released.wait();
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
        services.listVolumes = [] { return std::vector<VolumeInfo>{}; };
        services.clock = &clock_;
        services.isDemo = [] { return false; };
        services.fileOps = [this] { return std::static_pointer_cast<RemovalFileOps>(ops_); };
        services.userPool = &pool_;
        services.utilityPool = &pool_;
        state_ = std::make_unique<AppState>(std::move(services));
        guard_ = std::make_unique<QuitGuard>(
            *state_, [this] { ++quits_; }, [this] { ++reports_; });
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
    int quits_ = 0, reports_ = 0;
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

    letTheRemovalEnd();
    EXPECT_EQ(quits_, 1);
    EXPECT_EQ(reports_, 0);
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
    EXPECT_EQ(reports_, 1);
    EXPECT_FALSE(guard_->isWaiting());
    EXPECT_TRUE(onDisk(kept));
    EXPECT_FALSE(onDisk(gone));
    ASSERT_TRUE(state_->deletionFailures());
    EXPECT_EQ(state_->deletionFailures()->front().path, kept);

    // Once the report was seen, quitting again ends at once.
    guard_->requestQuit();
    EXPECT_EQ(quits_, 1);
}

}  // namespace
}  // namespace nimbrel
