// The handshake between the user-interface thread and the colour wipe's
// timer thread. The ready flag is on while the timer may draw; the tick lock
// is held by every step of the wipe, on whichever thread it runs. The
// user-interface thread turns the flag off and waits out a step in progress
// before it touches what the timer reads, and turns it on again afterwards.
#pragma once

#include <pthread.h>

#include <atomic>
#include <mutex>

namespace display {

// The tick lock. The wipe's timer thread runs above ordinary priority and the
// user-interface thread at it: a user-interface thread put aside by a busy
// machine while it holds the lock is raised to the timer's priority until it
// lets go (priority inheritance), so the timer does not wait behind every
// other program.
class TickMutex {
public:
  TickMutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
    if (pthread_mutex_init(&mutex_, &attr) != 0)
      pthread_mutex_init(&mutex_, nullptr);
    pthread_mutexattr_destroy(&attr);
  }
  ~TickMutex() { pthread_mutex_destroy(&mutex_); }
  TickMutex(const TickMutex&) = delete;
  TickMutex& operator=(const TickMutex&) = delete;
  void lock() { pthread_mutex_lock(&mutex_); }
  bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
  void unlock() { pthread_mutex_unlock(&mutex_); }

private:
  pthread_mutex_t mutex_;
};

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
  std::unique_lock<TickMutex> LockTick() { return std::unique_lock(tick_); }

private:
  std::atomic<bool> ready_{false};
  TickMutex tick_;
};

} // namespace display
