#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>

#include "engine/volume_info.h"
#include "model/app_state.h"
#include "model/prefs.h"
#include "test_volumes.h"

namespace nimbrel {

// An AppState whose scanner never touches the disk (it waits until the scan is cancelled or the
// test lets it finish), whose volume listing is counted and whose folder dialog answers from a queue.
class ShellFixture : public ::testing::Test {
  protected:
    static constexpr const char* kHome = "/home/tester";

    void SetUp() override { start(services()); }

    // A fixture that changes some of services() starts the state with them.
    void start(AppStateServices services) {
        ASSERT_TRUE(store_.isValid());
        Prefs::useStore(store_.filePath(QStringLiteral("prefs.ini")));
        Prefs::registerDefaults();
        state_ = std::make_unique<AppState>(std::move(services));
    }

    void TearDown() override {
        release_->store(true);
        state_.reset();
        Prefs::useStore(QString());
    }

    AppStateServices services() {
        AppStateServices s = AppStateServices::standard();
        auto release = release_;
        auto scans = scans_;
        s.scanner = [release, scans](const std::string& root, const ScanOptions&, std::int64_t,
                                     const CancelToken& token,
                                     const DiskScanner::ProgressCallback&) -> std::shared_ptr<ScanResult> {
            ++*scans;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!token.isCancelled() && !release->load() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            (void)root;
            return nullptr;
        };
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

    QTemporaryDir store_;
    std::shared_ptr<std::atomic<bool>> release_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<int>> scans_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<bool>> demo_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<int>> listings_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::vector<VolumeInfo>> volumes_ = std::make_shared<std::vector<VolumeInfo>>();
    std::shared_ptr<std::deque<std::optional<std::string>>> answers_ =
        std::make_shared<std::deque<std::optional<std::string>>>();
    std::unique_ptr<AppState> state_;
};

}  // namespace nimbrel
