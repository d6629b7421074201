// Window timers, kept by the queue of the window's thread and delivered by
// its loop; the clock is the real one or a manual one installed by a test.
#include "platform/win/timer.h"

#include "platform/win/internal.h"

#include <algorithm>
#include <chrono>

namespace win {
namespace {

using namespace detail;

std::atomic<ManualTimerClock*> gManual{nullptr};

} // namespace

namespace detail {
bool ManualClockInstalled() {
  return gManual.load() != nullptr;
}
} // namespace detail

uint64_t TimerNowMs() {
  if (ManualTimerClock* manual = gManual.load())
    return manual->NowMs();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void InstallTimerClock(ManualTimerClock* clock) {
  gManual.store(clock);
}

uint32_t SetTimer(Hwnd hwnd, uint32_t id, uint32_t periodMs) {
  auto rec = Reg().LookupOwn(hwnd);
  if (!rec || id == 0 || rec->destroying)
    return 0;
  auto& q = *rec->queue;
  uint64_t period = std::max<uint32_t>(periodMs, 1);
  uint64_t due = TimerNowMs() + period;
  q.ArmTimer(hwnd, id, period, due);
  return id;
}

bool KillTimer(Hwnd hwnd, uint32_t id) {
  return CurrentQueue()->DropTimer(hwnd, id);
}

void ManualTimerClock::Advance(uint64_t ms) {
  uint64_t target = now_.load() + ms;
  auto q = CurrentQueue();
  for (;;) {
    auto next = q->NextTimerDue();
    if (!next || *next > target)
      break;
    if (*next > now_.load())
      now_.store(*next);
    q->PumpTimers();
  }
  now_.store(target);
  for (auto& other : Reg().OtherQueues(q))
    other->WakeForTimers();
}

} // namespace win
