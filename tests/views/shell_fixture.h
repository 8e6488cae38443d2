#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThreadPool>
#include <atomic>
#include <deque>
#include <future>
#include <memory>

#include "engine/volume_info.h"
#include "idle_cleanup.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/prefs.h"
#include "support/private_prefs.h"
#include "support/wait_for.h"
#include "test_volumes.h"

namespace nimbrel {

// An AppState whose scanner never touches the disk (its scans run until the test ends, on a pool of
// their own), whose volume listing is counted and whose folder dialog answers from a queue.
class ShellFixture : public ::testing::Test {
  protected:
    static constexpr const char* kHome = "/home/tester";

    void SetUp() override { start(services()); }

    // A fixture that changes some of services() starts the state with them.
    void start(AppStateServices services) {
        ASSERT_TRUE(prefs_.isValid());
        state_ = std::make_unique<AppState>(std::move(services));
    }

    void TearDown() override { endScans(); }
    ~ShellFixture() override { endScans(); }

    // Lets every scan end; the state goes first, so none of their answers reaches it.
    void endScans() {
        if (scansEnded_) return;
        scansEnded_ = true;
        state_.reset();
        endScans_.set_value();
        scanPool_.waitForDone();
    }

    // Lets the state's background work end and runs what the windows have pending.
    void settle() { settleWindows({&Background::userInitiated(), &Background::utility()}); }

    AppStateServices services() {
        AppStateServices s = AppStateServices::standard();
        s.cleanupDisk = idleCleanupDisk();
        s.mountTops.emplace();
        auto scans = scans_;
        s.scanner = [ended = scansEnd_, scans](
                        const std::string&, const ScanOptions&, std::int64_t, const CancelToken&,
                        const DiskScanner::ProgressCallback&) -> std::shared_ptr<ScanResult> {
            ++*scans;
            // A stopped scan's late answer changes nothing, so every scan may wait for the test's end.
            ended.wait();
            return nullptr;
        };
        s.scanPool = &scanPool_;
        auto listings = listings_;
        auto volumes = volumes_;
        s.listVolumes = [listings, volumes] {
            ++*listings;
            return *volumes;
        };
        auto answers = answers_;
        s.chooseFolder = [answers]() -> std::optional<std::string> {
            if (answers->empty()) return std::nullopt;
            std::optional<std::string> a = answers->front();
            answers->pop_front();
            return a;
        };
        auto demo = demo_;
        s.isDemo = [demo] { return demo->load(); };
        s.arguments = [] { return std::vector<std::string>{"nimbrel"}; };
        s.home = [] { return std::string(kHome); };
        return s;
    }

    PrivatePrefs prefs_;
    std::promise<void> endScans_;
    std::shared_future<void> scansEnd_ = endScans_.get_future().share();
    bool scansEnded_ = false;
    QThreadPool scanPool_;
    std::shared_ptr<std::atomic<int>> scans_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<bool>> demo_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<int>> listings_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::vector<VolumeInfo>> volumes_ = std::make_shared<std::vector<VolumeInfo>>();
    std::shared_ptr<std::deque<std::optional<std::string>>> answers_ =
        std::make_shared<std::deque<std::optional<std::string>>>();
    std::unique_ptr<AppState> state_;
};

}  // namespace nimbrel
