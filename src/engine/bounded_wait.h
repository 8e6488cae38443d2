#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace nimbrel {

// Runs `work` on a thread of its own and waits at most `limit` for its answer: a share whose server
// stopped answering gives nothing instead of blocking the caller. While an earlier call with the same
// key has not come back, no other is started: the call waits on that one, so a dead server holds one
// thread per key, not one per call.
template <class T>
std::optional<T> answerWithin(const std::string& key, std::chrono::milliseconds limit,
                              std::function<T()> work) {
    // Shared with the thread, so a caller that stops waiting leaves it safe.
    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::optional<T> answer;
    };
    static std::mutex pendingMutex;
    // Never destroyed: a thread still waiting on a dead server may outlive the program's statics.
    static auto* pending = new std::unordered_map<std::string, std::shared_ptr<Probe>>;
    std::shared_ptr<Probe> probe;
    {
        std::lock_guard lock(pendingMutex);
        auto [entry, fresh] = pending->try_emplace(key);
        if (fresh) {
            entry->second = std::make_shared<Probe>();
            try {
                std::thread([probe = entry->second, key, work = std::move(work)] {
                    std::optional<T> answer(work());
                    {
                        std::lock_guard lock(pendingMutex);
                        pending->erase(key);
                    }
                    std::lock_guard lock(probe->mutex);
                    probe->answer = std::move(answer);
                    probe->finished = true;
                    probe->done.notify_all();
                }).detach();
            } catch (const std::system_error&) {
                pending->erase(entry);
                return std::nullopt;
            }
        }
        probe = entry->second;
    }
    std::unique_lock lock(probe->mutex);
    if (!probe->done.wait_for(lock, limit, [&] { return probe->finished; })) return std::nullopt;
    return probe->answer;
}

}  // namespace nimbrel
