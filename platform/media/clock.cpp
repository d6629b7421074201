// The real time source: the monotonic clock in milliseconds, and periodic
// events each on a thread of its own that sleeps to absolute due times.
#include "platform/media/clock.h"
#include "platform/sys/log.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace media {
namespace {

constexpr int64_t kNsPerMs = 1'000'000;
constexpr uint32_t kMaxPeriodMs = 1'000'000;
// Ticks missed by more than this are dropped instead of caught up, so that a
// stopped machine does not replay minutes of ticks in a burst when it wakes.
constexpr int64_t kMaxCatchUpNs = 1000 * kNsPerMs;
// A killed event's thread notices within this time even when its period is
// long, so no thread lingers long after its event is gone.
constexpr int64_t kMaxSleepSliceNs = 50 * kNsPerMs;
// Above ordinary work, below the audio servers' threads (PipeWire and JACK run
// theirs from 70 up).
constexpr int kTimerPriority = 40;

struct Event {
  uint32_t id = 0;
  int64_t periodNs = 0;
  int64_t startNs = 0;
  std::mutex mutex;
  std::condition_variable idle;
  bool stopped = false; // guarded by mutex
  bool running = false; // guarded by mutex: a callback is in progress
  TimerCallback callback;
};

thread_local const Event* currentEvent = nullptr;
thread_local int64_t currentDueNs = 0;

void SleepUntil(int64_t ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

void RaiseTimerPriority() {
  sched_param param{};
  param.sched_priority = kTimerPriority;
  const int err = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  if (err == 0)
    return;
  static std::once_flag told;
  std::call_once(told, [err] {
    sys::Warn("timer",
              "the timer cannot run at real-time priority (%s); it runs at normal priority "
              "and may fall late under load",
              std::strerror(err));
  });
}

class RealTimeSource final : public TimeSource {
public:
  uint32_t NowMs() override { return static_cast<uint32_t>(MonotonicNs() / kNsPerMs); }

  uint32_t SetPeriodicEvent(uint32_t periodMs, uint32_t, TimerCallback callback) override {
    if (periodMs == 0 || periodMs > kMaxPeriodMs || !callback)
      return 0;
    auto event = std::make_shared<Event>();
    event->periodNs = int64_t{periodMs} * kNsPerMs;
    event->callback = std::move(callback);
    std::lock_guard lock(mutex_);
    event->id = FreeIdLocked();
    event->startNs = MonotonicNs();
    try {
      std::thread(Run, event).detach();
    } catch (const std::exception& e) {
      sys::Warn("timer", "cannot start a timer thread: %s", e.what());
      return 0;
    }
    events_[event->id] = event;
    return event->id;
  }

  bool KillEvent(uint32_t id) override {
    std::shared_ptr<Event> event;
    {
      std::lock_guard lock(mutex_);
      auto it = events_.find(id);
      if (it == events_.end())
        return false;
      event = std::move(it->second);
      // Stopped as it leaves the live list: a callback that sees it gone is
      // the last one to start, however late its thread runs.
      {
        std::lock_guard eventLock(event->mutex);
        event->stopped = true;
      }
      events_.erase(it);
    }
    TimerCallback released;
    {
      std::unique_lock lock(event->mutex);
      // Inside its own callback the kill returns at once; the thread lets the
      // callback go once it has returned.
      if (currentEvent == event.get())
        return true;
      event->idle.wait(lock, [&] { return !event->running; });
      released = std::move(event->callback);
    }
    return true; // the callback's captures are released here, outside the lock
  }

  int LiveEvents() override {
    std::lock_guard lock(mutex_);
    return static_cast<int>(events_.size());
  }

  void Delay(uint32_t ms) override {
    const int64_t target = (MonotonicNs() / kNsPerMs + ms) * kNsPerMs;
    SleepUntil(target);
  }

private:
  uint32_t FreeIdLocked() {
    while (nextId_ == 0 || events_.count(nextId_))
      ++nextId_;
    return nextId_++;
  }

  static void Run(std::shared_ptr<Event> event) {
    pthread_setname_np(pthread_self(), "vexo3-timer");
    RaiseTimerPriority();
    int64_t k = 1;
    for (;;) {
      const int64_t due = event->startNs + k * event->periodNs;
      if (!SleepUntilDue(*event, due))
        break;
      {
        std::lock_guard lock(event->mutex);
        if (event->stopped)
          break;
        event->running = true;
      }
      currentEvent = event.get();
      currentDueNs = due;
      try {
        event->callback();
      } catch (...) {
        sys::Warn("timer", "a timer callback threw an exception");
      }
      currentEvent = nullptr;
      currentDueNs = 0;
      {
        std::lock_guard lock(event->mutex);
        event->running = false;
        event->idle.notify_all();
        if (event->stopped)
          break;
      }
      ++k;
      const int64_t now = MonotonicNs();
      if (now - (event->startNs + k * event->periodNs) > kMaxCatchUpNs)
        k = (now - event->startNs) / event->periodNs + 1;
    }
    TimerCallback released;
    {
      std::lock_guard lock(event->mutex);
      released = std::move(event->callback);
    }
  }

  // Sleeps to the due time in slices, so that a kill is noticed soon even
  // with a long period; false when the event was killed meanwhile.
  static bool SleepUntilDue(Event& event, int64_t due) {
    for (;;) {
      const int64_t now = MonotonicNs();
      if (now >= due)
        return true;
      SleepUntil(due - now > kMaxSleepSliceNs ? now + kMaxSleepSliceNs : due);
      if (due - now > kMaxSleepSliceNs) {
        std::lock_guard lock(event.mutex);
        if (event.stopped)
          return false;
      }
    }
  }

  std::mutex mutex_;
  std::map<uint32_t, std::shared_ptr<Event>> events_;
  uint32_t nextId_ = 1;
};

std::atomic<TimeSource*> installed{nullptr};

} // namespace

int64_t CallbackDueNs() {
  return currentDueNs;
}

TimeSource& RealTime() {
  // Never destroyed: timer threads may still be finishing at exit.
  static RealTimeSource* real = new RealTimeSource;
  return *real;
}

TimeSource& Time() {
  TimeSource* t = installed.load(std::memory_order_acquire);
  return t ? *t : RealTime();
}

void InstallTimeSource(TimeSource* source) {
  installed.store(source, std::memory_order_release);
}

} // namespace media
