// The colour wipe: the syllable being sung turns from its unsung to its sung
// colours from left to right, in step with time. A periodic timer of period
// P runs on its own thread and moves the edge in proportion to the time
// since the syllable arrived; in stepped mode it moves only on the kicks of
// the frame's window timer 102 (period P / 3), for about 300 ms after each
// switch, and then runs freely again.
//
// The flags the timer thread reads are atomics; whatever the timer reads
// besides is changed on the user-interface thread only while the wipe is
// paused, the view's gate is closed or the tick lock is held, and each of
// those waits out a step in progress. A slot awaiting the paint of a new
// line or layout is not drawn on: the edge still moves with the clock, and
// the paint draws what was sung meanwhile. Every step, on either thread, runs under the view's tick lock,
// so each column of a line is inverted exactly once.
#pragma once

#include "display/lyric/lyric_lines.h"
#include "platform/media/clock.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace display {

class ColourWipe {
public:
  static constexpr uint32_t kWindowTimerId = 102;
  // How long stepped mode lasts after a switch.
  static constexpr uint32_t kSteppedSpellMs = 300;
  // The period is held to this range: 0 would make no timer at all.
  static constexpr uint32_t kMinPeriodMs = 1;
  static constexpr uint32_t kMaxPeriodMs = 1000;

  // The frame's window timer 102: start (or restart) it with a period,
  // calling WindowTimerTick on the user-interface thread, and kill it.
  struct WindowTimer {
    std::function<bool(uint32_t periodMs)> start;
    std::function<void()> stop;
  };

  // periodMs is held to 1..1000.
  ColourWipe(LyricLines& view, LyricFrameState& frame, uint32_t periodMs = 20, bool byChar = false);
  ~ColourWipe();
  ColourWipe(const ColourWipe&) = delete;
  ColourWipe& operator=(const ColourWipe&) = delete;

  void SetWindowTimer(WindowTimer timer);
  void SetByChar(bool byChar) { byChar_.store(byChar); }
  bool ByChar() const { return byChar_.load(); }
  uint32_t PeriodMs() const { return periodMs_; }
  // P / 3, or 5 when that is 0.
  uint32_t WindowTimerPeriodMs() const;

  // Starts the periodic timer unless it runs; stepped mode (freeRunning
  // false) also (re)starts window timer 102. The wipe is active afterwards.
  // False when the periodic timer cannot be made.
  bool Start(bool freeRunning);
  void Stop();
  void SwitchToStepped();
  void SwitchToFreeRunning();
  // Pause returns once no step is running; the wipe draws nothing until
  // Resume.
  void Pause();
  void Resume();

  // Window timer 102's tick: kicks the wipe while it is active, and returns
  // to free-running mode once stepped mode has lasted its spell.
  void WindowTimerTick();

  // A syllable arrives: its span in the current slot (held to the slot's
  // text) and its duration; it is wiped from now on. A duration of 0 shows it
  // sung at the first tick.
  void BeginSyllable(int32_t start, int32_t width, uint32_t durationMs);
  // As above, wiped from arrivalMs (the time source's clock), the time its
  // event reached the process.
  void BeginSyllable(int32_t start, int32_t width, uint32_t durationMs, uint32_t arrivalMs);
  // The line being sung ends: everything of it not yet sung is sung at once.
  void FinishLine();
  // A new line, a jump, a start or a stop: the edges, the end and the
  // duration are zeroed.
  void ResetLine();
  // The view was laid out anew (a new size) and awaits its paint: the line
  // is sung up to where the clock puts the edge in the new geometry, which
  // the paint draws; the wipe goes on from there.
  void Relayout();

  bool TimerRunning() const { return timerId_ != 0; }
  bool WindowTimerRunning() const { return windowTimerRunning_; }
  bool FreeRunning() const { return freeRunning_.load(); }
  bool WipeActive() const { return wipeActive_.load(); }
  bool Kicked() const { return kick_.load(); }
  uint32_t SwitchTime() const { return switchTime_.load(); }

  // One tick of the periodic timer (its callback).
  void TimerTick();

private:
  // Where the edge stands at a moment, from the syllable's arrival and
  // duration.
  int32_t IdealEdge(uint32_t now) const;
  void Step();
  // Draws from the drawn edge to the wipe edge; -1 on failure, else the wipe
  // edge. With the tick lock held.
  int32_t DrawStep();
  void StartWindowTimer();
  void StopWindowTimer();

  LyricLines& view_;
  LyricFrameState& frame_;
  const uint32_t periodMs_;
  std::atomic<bool> byChar_;
  WindowTimer windowTimer_;
  // User-interface thread only.
  media::TimeSource* time_ = nullptr; // the source the timer was made on
  uint32_t timerId_ = 0;
  bool periodBegun_ = false;
  bool windowTimerRunning_ = false;
  // Read by the timer thread.
  std::atomic<bool> attached_{false};
  std::atomic<bool> freeRunning_{true};
  std::atomic<bool> wipeActive_{false};
  std::atomic<bool> kick_{false};
  std::atomic<uint32_t> switchTime_{0};
};

} // namespace display
