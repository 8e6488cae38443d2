#pragma once

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "model/app_state.h"
#include "model/background.h"

namespace nimbrel::testing {

// A scanner the test answers by hand: each call waits on its worker thread until the test replies.
class FakeScanner {
  public:
    struct Call {
        std::string root;
        std::int64_t firstID = 0;
        const CancelToken* token = nullptr;
        DiskScanner::ProgressCallback progress;
        std::promise<std::shared_ptr<ScanResult>> reply;
        bool answered = false;
    };

    AppStateServices::Scanner function() {
        return [this](const std::string& root, const ScanOptions&, std::int64_t firstID,
                      const CancelToken& token, const DiskScanner::ProgressCallback& progress) {
            auto call = std::make_shared<Call>();
            call->root = root;
            call->firstID = firstID;
            call->token = &token;
            call->progress = progress;
            auto answer = call->reply.get_future();
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(call);
            }
            changed_.notify_all();
            return answer.get();
        };
    }

    void answer(size_t n, std::shared_ptr<ScanResult> result) {
        auto made = call(n);
        std::lock_guard lock(mutex_);
        if (made->answered) return;
        made->answered = true;
        made->reply.set_value(std::move(result));
    }

    // Scans still waiting for their answer.
    int waiting() {
        std::lock_guard lock(mutex_);
        return int(std::count_if(calls_.begin(), calls_.end(), [](const auto& c) { return !c->answered; }));
    }

    // The n-th call (from 0), once the worker has made it.
    std::shared_ptr<Call> call(size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return calls_.size() > n; });
        return calls_[n];
    }

    size_t count() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Call>> calls_;
};

// Lets background work finish and delivers what it posted back, until nothing is left to do but
// the scans that still wait for the test's answer.
inline void settle(FakeScanner* scanner = nullptr) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (;;) {
        QCoreApplication::sendPostedEvents();
        Background::utility().waitForDone();
        const int blocked = scanner ? scanner->waiting() : 0;
        if (Background::userInitiated().activeThreadCount() <= blocked) break;
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(1ms);
    }
    // A delivered result may start more work (a finished scan refreshes the volumes).
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        Background::utility().waitForDone();
    }
    QCoreApplication::sendPostedEvents();
}

}  // namespace nimbrel::testing
