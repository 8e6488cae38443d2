#pragma once

#include <atomic>

namespace nimbrel {

// A flag shared by a background worker and the state that started it. The state cancels; the worker
// polls. Once set it stays set.
class CancelToken {
  public:
    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }

  private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace nimbrel
