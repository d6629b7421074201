// The handshake between the user-interface thread and the colour wipe's
// timer thread. The ready flag is on while the timer may draw; the tick lock
// is held by every step of the wipe, on whichever thread it runs. The
// user-interface thread turns the flag off and waits out a step in progress
// before it touches what the timer reads, and turns it on again afterwards.
#pragma once

#include <atomic>
#include <mutex>

namespace display {

class WipeGate {
public:
  bool IsOpen() const { return ready_.load(std::memory_order_acquire); }

  // Turns the flag off and returns once no step holds the tick lock; the
  // previous state back. Never call it while holding the tick lock.
  bool Close() {
    const bool was = ready_.exchange(false, std::memory_order_acq_rel);
    WaitForTick();
    return was;
  }
  void Open() { ready_.store(true, std::memory_order_release); }
  void Restore(bool was) {
    if (was)
      Open();
  }

  void WaitForTick() { std::lock_guard lock(tick_); }
  std::unique_lock<std::mutex> LockTick() { return std::unique_lock(tick_); }

private:
  std::atomic<bool> ready_{false};
  std::mutex tick_;
};

} // namespace display
