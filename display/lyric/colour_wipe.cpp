#include "display/lyric/colour_wipe.h"

#include <algorithm>
#include <climits>

namespace display {

ColourWipe::ColourWipe(LyricLines& view, LyricFrameState& frame, uint32_t periodMs, bool byChar)
    : view_(view), frame_(frame), periodMs_(std::clamp(periodMs, kMinPeriodMs, kMaxPeriodMs)),
      byChar_(byChar) {}

ColourWipe::~ColourWipe() {
  Stop();
}

void ColourWipe::SetWindowTimer(WindowTimer timer) {
  windowTimer_ = std::move(timer);
}

uint32_t ColourWipe::WindowTimerPeriodMs() const {
  const uint32_t p = periodMs_ / 3;
  return p == 0 ? 5 : p;
}

void ColourWipe::StartWindowTimer() {
  if (windowTimer_.start && windowTimer_.start(WindowTimerPeriodMs()))
    windowTimerRunning_ = true;
}

void ColourWipe::StopWindowTimer() {
  if (windowTimerRunning_ && windowTimer_.stop)
    windowTimer_.stop();
  windowTimerRunning_ = false;
}

bool ColourWipe::Start(bool freeRunning) {
  attached_.store(true);
  if (timerId_ == 0) {
    time_ = &media::Time();
    media::TimeSource& time = *time_;
    periodBegun_ = time.BeginPeriod(periodMs_);
    timerId_ = time.SetPeriodicEvent(periodMs_, periodMs_, [this] { TimerTick(); });
    if (timerId_ == 0) {
      if (periodBegun_)
        time.EndPeriod(periodMs_);
      periodBegun_ = false;
      return false;
    }
  }
  if (!freeRunning)
    StartWindowTimer();
  freeRunning_.store(freeRunning);
  wipeActive_.store(true);
  kick_.store(true);
  return true;
}

void ColourWipe::Stop() {
  if (time_) {
    if (timerId_ != 0)
      time_->KillEvent(timerId_);
    if (periodBegun_)
      time_->EndPeriod(periodMs_);
  }
  timerId_ = 0;
  periodBegun_ = false;
  StopWindowTimer();
  wipeActive_.store(false);
  kick_.store(false);
}

void ColourWipe::SwitchToStepped() {
  if (!freeRunning_.load())
    return;
  freeRunning_.store(false);
  if (!windowTimerRunning_)
    StartWindowTimer();
  kick_.store(false);
  switchTime_.store(media::Time().NowMs());
}

void ColourWipe::SwitchToFreeRunning() {
  if (freeRunning_.load())
    return;
  StopWindowTimer();
  freeRunning_.store(true);
}

void ColourWipe::Pause() {
  wipeActive_.store(false);
  view_.Gate().WaitForTick();
}

void ColourWipe::Resume() {
  wipeActive_.store(true);
}

void ColourWipe::WindowTimerTick() {
  if (wipeActive_.load())
    kick_.store(true);
  if (media::Time().NowMs() - switchTime_.load() > kSteppedSpellMs) {
    SwitchToFreeRunning();
    switchTime_.store(0);
  }
}

void ColourWipe::TimerTick() {
  if (!attached_.load())
    return;
  auto lock = view_.Gate().LockTick();
  WipeFields& w = view_.Wipe();
  const bool due = freeRunning_.load() || kick_.exchange(false);
  if (due && wipeActive_.load() && w.running.load() && frame_.lyricsShown.load())
    Step();
}

int32_t ColourWipe::IdealEdge(uint32_t now) const {
  const WipeFields& w = view_.Wipe();
  const int32_t start = std::max(frame_.syllableStart.load(), 0);
  const int32_t width = std::max(frame_.syllableWidth.load(), 0);
  const uint32_t duration = w.durationMs.load();
  int64_t progress = width;
  if (!byChar_.load() && duration != 0) {
    const uint32_t elapsed = now - w.arrivalMs.load();
    progress = std::min<int64_t>(width, static_cast<int64_t>(width) * elapsed / duration);
  }
  return static_cast<int32_t>(std::min<int64_t>(start + progress, INT32_MAX));
}

void ColourWipe::Step() {
  if (!view_.Gate().IsOpen())
    return;
  WipeFields& w = view_.Wipe();
  const int32_t previous = w.wipeEdge.load();
  const int32_t start = std::max(frame_.syllableStart.load(), 0);
  const int32_t width = std::max(frame_.syllableWidth.load(), 0);
  const int32_t edge = IdealEdge(media::Time().NowMs());
  w.wipeEdge.store(edge);
  // The edge only moves on: a column inverted twice would turn unsung again.
  if (edge > w.drawnEdge.load()) {
    const int32_t drawn = DrawStep();
    if (drawn == -1) {
      w.wipeEdge.store(previous);
      return;
    }
    w.drawnEdge.store(drawn);
  }
  if (edge >= start + width) {
    w.durationMs.store(0);
    w.running.store(false);
  }
}

void ColourWipe::Relayout() {
  auto lock = view_.Gate().LockTick();
  WipeFields& w = view_.Wipe();
  const int32_t end = std::max(w.wipeEnd.load(), 0);
  const int32_t edge = w.running.load() ? std::min(IdealEdge(media::Time().NowMs()), end) : end;
  w.wipeEdge.store(edge);
  w.drawnEdge.store(edge);
}

int32_t ColourWipe::DrawStep() {
  if (!view_.Gate().IsOpen())
    return -1;
  const int slot = CurrentSlotOf(frame_.slotState.load());
  if (slot < 0)
    return -1;
  WipeFields& w = view_.Wipe();
  const int32_t edge = w.wipeEdge.load();
  // While the lyrics are hidden, or the slot awaits the paint of a new line
  // or layout, nothing is drawn: the paint inverts up to the drawn edge.
  if (!frame_.lyricsShown.load() || view_.AwaitsPaint(slot))
    return edge;
  const int32_t from = view_.SungColumn(slot, w.drawnEdge.load());
  const int32_t to = view_.SungColumn(slot, edge);
  if (to > from && !view_.InvertColumns(slot, from, to))
    return -1;
  return edge;
}

void ColourWipe::BeginSyllable(int32_t start, int32_t width, uint32_t durationMs) {
  BeginSyllable(start, width, durationMs, media::Time().NowMs());
}

void ColourWipe::BeginSyllable(int32_t start, int32_t width, uint32_t durationMs,
                               uint32_t arrivalMs) {
  // The tick lock keeps the timer from reading a half-changed syllable.
  {
    auto lock = view_.Gate().LockTick();
    const int slot = CurrentSlotOf(frame_.slotState.load());
    const int32_t limit = slot < 0 ? 0 : std::max(view_.Slot(slot).textWidth, 0);
    start = std::clamp(start, 0, limit);
    width = std::clamp(width, 0, limit - start);
    frame_.syllableStart.store(start);
    frame_.syllableWidth.store(width);
    WipeFields& w = view_.Wipe();
    w.wipeEnd.store(start + width);
    w.arrivalMs.store(arrivalMs);
    w.durationMs.store(durationMs);
    w.running.store(true);
  }
  Resume();
}

void ColourWipe::FinishLine() {
  auto lock = view_.Gate().LockTick();
  const int slot = CurrentSlotOf(frame_.slotState.load());
  WipeFields& w = view_.Wipe();
  if (slot >= 0) {
    const int32_t previous = w.wipeEdge.load();
    const int32_t end = std::max(w.wipeEnd.load(), view_.Slot(slot).textWidth);
    if (end > w.drawnEdge.load()) {
      w.wipeEdge.store(end);
      const int32_t drawn = DrawStep();
      if (drawn == -1)
        w.wipeEdge.store(previous);
      else
        w.drawnEdge.store(drawn);
    }
  }
  w.durationMs.store(0);
  w.running.store(false);
}

void ColourWipe::ResetLine() {
  auto lock = view_.Gate().LockTick();
  view_.ForgetSyllable();
  WipeFields& w = view_.Wipe();
  w.drawnEdge.store(0);
  w.wipeEdge.store(0);
  w.wipeEnd.store(0);
  w.durationMs.store(0);
  w.running.store(false);
}

} // namespace display
