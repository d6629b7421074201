// A time source for tests: its clock stands still until the test moves it on,
// and periodic events run on the thread that moves it, each at its due time.
// Install it with media::InstallTimeSource(&virtualTime).
#pragma once

#include "platform/media/clock.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace media {

class VirtualTime final : public TimeSource {
public:
  explicit VirtualTime(uint32_t startMs = 0) : now_(startMs) {}

  uint32_t NowMs() override;
  uint32_t SetPeriodicEvent(uint32_t periodMs, uint32_t resolutionMs,
                            TimerCallback callback) override;
  bool KillEvent(uint32_t id) override;
  bool BeginPeriod(uint32_t ms) override;
  bool EndPeriod(uint32_t ms) override;
  int LiveEvents() override;
  // Moves the clock on without running events; they run late, in order, at
  // the next Advance.
  void Delay(uint32_t ms) override;

  // Moves the clock on by ms, running every event that falls due on the way in
  // order of due time (events due together in order of creation), with the
  // clock standing at each one's due time while it runs.
  void Advance(uint32_t ms);
  // Moves the clock to the next due event and runs it; false when no event is
  // alive.
  bool RunNextEvent();

  // Timer-resolution requests begun and not yet ended.
  int OpenPeriods();
  // Events created since construction, and the most alive at any one moment.
  int EventsCreated();
  int MaxLiveEvents();
  // Period of a live event, 0 for an unknown id.
  uint32_t PeriodOf(uint32_t id);

private:
  struct Event {
    uint32_t id = 0;
    uint32_t periodMs = 0;
    uint64_t dueMs = 0;
    TimerCallback callback;
  };

  // The live event due first, or null.
  std::shared_ptr<Event> NextDueLocked();
  void RunLocked(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Event>& event);

  std::mutex mutex_;
  std::condition_variable idle_;
  uint64_t now_;
  uint32_t nextId_ = 1;
  std::map<uint32_t, std::shared_ptr<Event>> events_;
  uint32_t runningId_ = 0;
  std::thread::id runningThread_;
  int openPeriods_ = 0;
  int created_ = 0;
  int maxLive_ = 0;
};

} // namespace media
