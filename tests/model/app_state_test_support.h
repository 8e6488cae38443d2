#pragma once

#include <gtest/gtest.h>

#include <QThreadPool>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "model/app_state.h"
#include "model/background.h"
#include "support/wait_for.h"

namespace nimbrel::testing {

// A scanner the test answers by hand: each call waits on its worker thread until the test replies.
// The scans run on a pool of their own with one thread, so they take turns: the other pools never
// wait behind a scan the test holds, and a call being made means the one before it has handed its
// result back.
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

    FakeScanner() { pool_.setMaxThreadCount(1); }
    ~FakeScanner() { finishAll(); }

    // For AppStateServices::scanPool.
    QThreadPool* pool() { return &pool_; }

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
                if (closed_) {
                    call->answered = true;
                    call->reply.set_value(nullptr);
                }
                calls_.push_back(call);
            }
            changed_.notify_all();
            return answer.get();
        };
    }

    // Answers the n-th call and returns once its worker has posted the result back (the next
    // deliverPosted() or settle() hands it to the state).
    void answer(size_t n, std::shared_ptr<ScanResult> result) {
        auto made = call(n);
        {
            std::lock_guard lock(mutex_);
            if (made->answered) return;
            made->answered = true;
            made->reply.set_value(std::move(result));
        }
        // Whatever runs on the scan thread next, a queued scan or this marker, runs after the
        // answered worker has posted and ended.
        auto passed = std::make_shared<bool>(false);
        pool_.start([this, passed] {
            {
                std::lock_guard lock(mutex_);
                *passed = true;
            }
            changed_.notify_all();
        });
        std::unique_lock lock(mutex_);
        const bool posted =
            changed_.wait_for(lock, kPatience, [&] { return *passed || calls_.size() > n + 1; });
        EXPECT_TRUE(posted) << "the answered scan " << n << " never handed its result back";
    }

    // The n-th call (from 0), once the worker has made it.
    std::shared_ptr<Call> call(size_t n) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, kPatience, [&] { return calls_.size() > n; })) {
            ADD_FAILURE() << "scan call " << n << " never came";
            std::abort();  // the test cannot go on without it
        }
        return calls_[n];
    }

    size_t count() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }

    // Answers every call with nothing, also those still to come, and lets the scans end.
    void finishAll() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            for (const auto& made : calls_)
                if (!made->answered) {
                    made->answered = true;
                    made->reply.set_value(nullptr);
                }
        }
        pool_.waitForDone();
    }

  private:
    static constexpr std::chrono::seconds kPatience{20};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Call>> calls_;
    bool closed_ = false;
    QThreadPool pool_;
};

// An entry as a view hands it over: named by its id unless `name` says otherwise.
inline CleanItem cleanItem(std::string id, std::int64_t size, CleanItem::Kind kind = CleanItem::Kind::folder,
                           CleanItem::Source source = CleanItem::Source::space, std::string name = {}) {
    CleanItem item;
    item.name = name.empty() ? id : std::move(name);
    item.id = std::move(id);
    item.size = size;
    item.kind = kind;
    item.source = source;
    return item;
}

// The ids of what is selected.
inline std::unordered_set<std::string> queuedIds(const AppState& state) {
    std::unordered_set<std::string> ids;
    for (const CleanItem& item : state.queue().items())
        ids.insert(item.id);
    return ids;
}

// Lets the state's background work finish and delivers what it posted back, until nothing is left
// to do. Scans the test holds run on the fake scanner's pool and are not waited for.
inline void settle() {
    nimbrel::settle({&Background::userInitiated(), &Background::utility()});
}

}  // namespace nimbrel::testing
