// Window timers: WM_TIMER with the timer's id in wParam, delivered by the
// loop of the window's thread every period, until killed.
#pragma once

#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>

namespace win {

// Starts or restarts (same window and id) a timer of a window of the calling
// thread. Returns id, or 0 for a window of another thread, a dead window or
// id 0. A period of 0 counts as 1 ms.
uint32_t SetTimer(Hwnd hwnd, uint32_t id, uint32_t periodMs);
// Stops a timer of a window of the calling thread; a tick not yet delivered
// is not delivered. False when there is no such timer on this thread.
bool KillTimer(Hwnd hwnd, uint32_t id);

// The clock of the window timers, in milliseconds.
uint64_t TimerNowMs();

// A timer clock that only moves when told to, for tests. While installed,
// timers fire only from Advance.
class ManualTimerClock {
public:
  uint64_t NowMs() const { return now_.load(); }
  // Moves the clock on by ms, stopping at every instant where a timer of the
  // calling thread is due and delivering those ticks there, in order of due
  // time (ties in the order the timers were set). Timers of other threads
  // are delivered by their own loops.
  void Advance(uint64_t ms);

private:
  std::atomic<uint64_t> now_{0};
};

// Installs a manual clock for the whole process; nullptr restores the real
// one. Install it before setting timers (due times are on the clock that was
// current then). The caller keeps ownership and uninstalls it before
// destroying it.
void InstallTimerClock(ManualTimerClock* clock);

} // namespace win
