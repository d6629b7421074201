// Start, stop, pause and jump, and the timer tick that plays every due event
// of the chain.
#include "platform/media/clock.h"
#include "platform/sys/midi_message.h"
#include "sequencer/engine/notices.h"
#include "sequencer/engine/state.h"

#include <algorithm>

namespace seq {
namespace {

using namespace sys::midi;

// The controller by which a song turns transposition of its channel on (1)
// or off (0); never sent on.
constexpr uint8_t kTransposeSwitch = 88;

// Plays a MIDI or tempo event (kinds below 16) of a track.
void PlayMidiOrTempoLocked(uint16_t track, const EngineEvent& e) REQUIRES(seq::engineLock) {
  EngineState& s = State();
  if (e.kind == kKindTempo) {
    s.currentTempo.Store(e.data);
    return;
  }
  if (e.kind != kKindMidi)
    return;
  uint32_t message = e.data;
  const uint8_t status = StatusOf(message);
  const uint8_t type = TypeOf(status);
  const int ch = ChannelOf(status);
  Channel& c = s.channels[ch];
  const uint8_t d1 = Data1Of(message) & 0x7F;
  const uint8_t d2 = Data2Of(message) & 0x7F;

  if (type == kNoteOff || type == kNoteOn) {
    // The score follows the melody as written, muted or not.
    if (track == s.melodyTrack.Load()) {
      if (type == kNoteOff || d2 == 0) {
        s.noNote.Store(1);
      } else {
        s.prevNote.Store(s.curNote.Load());
        s.curNote.Store(d1);
        s.noNote.Store(0);
      }
    }
    const int key = s.keyModifier.Load();
    if (c.transpose.Load() && key != 0) {
      const int note = std::clamp(d1 + key, 0, 127);
      message = (message & ~0xFF00u) | (static_cast<uint32_t>(note) << 8);
    }
  }
  if (!c.sounding.Load() || s.trackMute[track].Load())
    return;
  if (type == kControlChange && d1 == kTransposeSwitch) {
    if (d2 <= 1)
      c.transpose.Store(d2);
    return;
  }
  const int device = s.tracks[track].device;
  SendToDevice(device, message);
  UpdateChannelState(message);
  if (type == kControlChange && d1 == kBankSelect)
    SendToDevice(device, PackShort(kProgramChange | ch, c.program.Load()));
}

// The chain has run out: stop and tell the notification window.
void EndOfSongLocked(int64_t lParam) REQUIRES(seq::engineLock) {
  TerminatePlayLocked();
  PostEndNotify(lParam);
}

// The sung syllable's elapsed time, or its end once its length has passed.
void UpdateSyllableLocked(int64_t playTime) REQUIRES(seq::engineLock) {
  EngineState& s = State();
  if (s.lyricEnd.Load() > playTime) {
    s.lyricElapsed.Store(static_cast<int32_t>(int64_t{s.lyricTotal.Load()} - s.lyricEnd.Load() + playTime));
  } else {
    s.lyricOn.Store(0);
    s.lyricTotal.Store(0);
    s.lyricElapsed.Store(0);
    s.lyricEnd.Store(0);
  }
}

// Plays every event whose time has come; false when the song ended.
bool PlayDueEventsLocked() REQUIRES(seq::engineLock) {
  EngineState& s = State();
  // Every tick, not only one that plays an event: the silence after a
  // syllable in a passage without events is not a syllable still sung.
  UpdateSyllableLocked(s.playTime.Load());
  for (;;) {
    uint16_t current = s.currentTrack.Load();
    if (current >= ChainTrackLimit() || s.tracks[current].count == 0 || !s.tracks[current].active) {
      // A song without events, or a chain that led nowhere, has ended.
      EndOfSongLocked(0);
      return false;
    }
    Track& track = s.tracks[current];
    const EngineEvent e = track.events[track.cursor];
    const int64_t playTime = s.playTime.Load();
    if (e.time > playTime)
      return true;

    s.currentTick.Store(e.tick);
    s.currentTime.Store(e.time);
    UpdateSyllableLocked(playTime);

    if (e.kind < kKindSyllable) {
      PlayMidiOrTempoLocked(current, e);
      if (e.kind == kKindWave && !s.trackMute[current].Load())
        PostRealTimeEvent(current, e.postValue);
    } else if (e.kind <= kKindLyricLast && current == s.lyricTrack.Load()) {
      if (!s.trackMute[current].Load())
        PostRealTimeEvent(current, e.postValue);
      if (e.kind == kKindSyllable) {
        s.lyricOn.Store(1);
        s.lyricElapsed.Store(0);
        s.lyricTotal.Store(static_cast<int32_t>(e.data));
        s.lyricEnd.Store(static_cast<int32_t>(e.data + static_cast<uint32_t>(e.time)));
        s.lyricNext.Store(NextSyllableTimeLocked(track.cursor + 1));
      }
    }

    if (static_cast<int64_t>(track.cursor) < track.count - 1)
      ++track.cursor;
    else
      track.active = 0;

    const uint8_t next = e.nextTrack;
    const uint8_t active = next < s.trackCount.Load() ? s.tracks[next].active : 0;
    s.playFlag.Store(active);
    if (!active) {
      EndOfSongLocked(0);
      s.currentTrack.Store(next);
      return false;
    }
    s.currentTrack.Store(next);
  }
}

void TimerTickLocked() REQUIRES(seq::engineLock) {
  EngineState& s = State();
  const uint32_t step = s.clockStep.Load();

  if (s.watchDogEnabled.Load()) {
    int64_t left = int64_t{s.watchDogTime.Load()} - step / 10;
    if (left < 0) {
      s.watchDogTime.Store(0);
      EndOfSongLocked(0);
      return;
    }
    s.watchDogTime.Store(static_cast<int32_t>(left));
  }

  s.clock.Store(s.clock.Load() + step);
  s.playTime.Store(s.clock.Load() / 10);

  if (!PlayDueEventsLocked())
    return;

  const uint32_t playTime = s.playTime.Load();
  if (int64_t{playTime} - s.lastProgressTime.Load() >= 500) {
    s.lastProgressTime.Store(playTime);
    const uint32_t total = s.totalMs.Load();
    int64_t perMille;
    if (total >= 1000)
      perMille = playTime / (total / 1000);
    else // a song shorter than a second: per mille of its length in ms
      perMille = total > 0 ? int64_t{playTime} * 1000 / total : 0;
    PostProgressNotify(perMille);
  }

  for (int ch = 0; ch < kChannels; ++ch)
    MeterStep(ch);

  if (int64_t{playTime} - s.lastMeterTime.Load() >= 100) {
    s.lastMeterTime.Store(playTime);
    PostMeterNotify();
  }

  const int64_t currentTime = s.currentTime.Load();
  const uint32_t tempo = s.currentTempo.Load();
  if (playTime > currentTime && tempo != 0) {
    const uint64_t ticks =
        static_cast<uint64_t>(playTime - currentTime) * s.ticksPerQuarter.Load() * 1000 / tempo;
    s.playTick.Store(s.currentTick.Load() + static_cast<uint32_t>(ticks));
  } else {
    s.playTick.Store(s.currentTick.Load());
  }
}

// Replays the non-note messages on the way from the cursor to the target.
// false when the song ended on the way.
bool ReplayToLocked(int64_t target) REQUIRES(seq::engineLock) {
  EngineState& s = State();
  auto eventAtCursor = [&](uint16_t t) REQUIRES(seq::engineLock) -> const EngineEvent* {
    if (t >= ChainTrackLimit() || s.tracks[t].count == 0)
      return nullptr;
    return &s.tracks[t].events[s.tracks[t].cursor];
  };
  uint16_t current = s.currentTrack.Load();
  const EngineEvent* e = eventAtCursor(current);
  if (!e || !s.tracks[current].active)
    return false;
  // The position is that of the next event to play; events at or after the
  // target are left to play on time.
  s.currentTick.Store(e->tick);
  s.currentTime.Store(TickToMs(e->tick));
  while (target > s.currentTime.Load()) {
    if (e->kind == kKindMidi) {
      const uint32_t message = e->data;
      const uint8_t type = TypeOf(StatusOf(message));
      const int ch = ChannelOf(StatusOf(message));
      const uint8_t d1 = Data1Of(message) & 0x7F;
      const uint8_t d2 = Data2Of(message) & 0x7F;
      if (type == kControlChange && d1 == kTransposeSwitch) {
        if (d2 <= 1)
          s.channels[ch].transpose.Store(d2);
      } else if (type != kNoteOff && type != kNoteOn) {
        SendToDevice(s.tracks[current].device, message);
        if (type == kControlChange && d1 == kVolume)
          s.channels[ch].volume.Store(d2);
      }
    }
    Track& track = s.tracks[current];
    if (static_cast<int64_t>(track.cursor) < track.count - 1)
      ++track.cursor;
    else
      track.active = 0;
    const uint8_t next = e->nextTrack;
    const uint8_t active = next < s.trackCount.Load() ? s.tracks[next].active : 0;
    s.playFlag.Store(active);
    if (!active)
      return false;
    current = next;
    s.currentTrack.Store(current);
    e = eventAtCursor(current);
    s.currentTick.Store(e->tick);
    s.currentTime.Store(TickToMs(e->tick));
  }
  return true;
}

} // namespace

int32_t MeterStep(int ch) {
  EngineState& s = State();
  Channel& c = s.channels[ch];
  if (c.meterTrigger.Load()) {
    c.meterTrigger.Store(0);
    c.meterLevel.Store(c.volume.Load() * 1000);
  } else {
    c.meterLevel.Store(std::max<int32_t>(c.meterLevel.Load() - s.meterDecay.Load(), 0));
  }
  c.repaint.Store(1);
  return c.meterLevel.Load();
}

int ChainTrackLimit() {
  return std::min<int>(State().trackCount.Load(), kPavikChainTracks);
}

int64_t ClockStepFor(int modifier, int periodMs) {
  return (100 + int64_t{modifier}) * periodMs * 10 / 100;
}

void KillTimer() {
  if (uint32_t id = State().timerId.Exchange(0))
    media::Time().KillEvent(id);
}

bool CreateTimerLocked() {
  EngineState& s = State();
  uint32_t id = media::Time().SetPeriodicEvent(s.timerPeriod.Load(), s.timerResolution.Load(),
                                               [] { TimerInt(0, 0, 0, 0, 0); });
  s.timerId.Store(id);
  return id != 0;
}

void BeginPeriodLocked() {
  EngineState& s = State();
  if (s.periodBegunMs.Load() != 0)
    return;
  const uint16_t ms = s.timerResolution.Load();
  if (media::Time().BeginPeriod(ms))
    s.periodBegunMs.Store(ms);
}

void EndPeriodLocked() {
  EngineState& s = State();
  if (uint16_t ms = s.periodBegunMs.Exchange(0))
    media::Time().EndPeriod(ms);
}

void TerminatePlayLocked() {
  EngineState& s = State();
  KillTimer(); // from inside a tick this returns at once
  EndPeriodLocked();
  DoPanicLocked();
  for (int t = 0; t < s.trackCount.Load(); ++t) {
    const int device = s.tracks[t].device;
    const int slot = device + 1;
    if (slot >= 0 && slot < kPavikDeviceSlots && s.handles[slot].Load() != 0)
      CloseDeviceLocked(device);
  }
  PlayStateResetLocked();
  s.playFlag.Store(0);
}

} // namespace seq

using seq::State;

extern "C" {

uint8_t _32_StartPlay(void) {
  seq::EngineState& s = State();
  seq::KillTimer(); // a song already playing starts again: one timer at a time
  sys::MutexLock lock(seq::engineLock);
  for (int t = 0; t < s.trackCount.Load(); ++t) {
    const int device = s.tracks[t].device;
    const int slot = device + 1;
    const bool open = slot >= 0 && slot < kPavikDeviceSlots && s.handles[slot].Load() != 0;
    if (!open && !seq::OpenDeviceLocked(device)) {
      if (s.playFlag.Load())
        seq::TerminatePlayLocked();
      return 0;
    }
  }
  if (s.bankFlag.Load()) {
    for (uint32_t ch = 0; ch < seq::kChannels; ++ch) {
      if (s.banks[ch] < 128)
        seq::SendToDevice(s.currentDevice.Load(),
                          sys::midi::PackShort(sys::midi::kControlChange | ch,
                                               sys::midi::kBankSelect, s.banks[ch]));
    }
  }
  seq::PlayStateResetLocked();
  if (s.watchDogEnabled.Load())
    s.watchDogTime.Store(10000);
  seq::BeginPeriodLocked();
  s.playFlag.Store(1);
  if (!seq::CreateTimerLocked()) { // a song that cannot advance is not playing
    seq::TerminatePlayLocked();
    return 0;
  }
  return 1;
}

void _32_TerminatePlay(void) {
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  seq::TerminatePlayLocked();
}

void TimerInt(uint32_t, uint32_t, uint64_t, uint64_t, uint64_t) {
  seq::EngineState& s = State();
  sys::MutexLock lock(seq::engineLock);
  // A tick that waited while its event was being killed does nothing.
  if (s.timerId.Load() == 0 || !s.playFlag.Load())
    return;
  seq::TimerTickLocked();
}

void _32_BeginPause(void) {
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  seq::AllNoteOff();
  State().pauseFlag.Store(1);
}

void _32_EndPause(void) {
  seq::EngineState& s = State();
  sys::MutexLock lock(seq::engineLock);
  // Only a song that plays without a timer gets one: never a second timer.
  if (s.playFlag.Load() && s.timerId.Load() == 0 && !seq::CreateTimerLocked())
    return; // still paused
  s.pauseFlag.Store(0);
}

uint8_t _32_GetcPause(void) {
  return State().pauseFlag.Load();
}

void _32_SetcPause(uint8_t flag) {
  State().pauseFlag.Store(flag);
}

uint8_t _32_GetcMidiPlayFlag(void) {
  return State().playFlag.Load();
}

void _32_JumpToPosition(uint32_t ms) {
  seq::EngineState& s = State();
  if (!s.playFlag.Load())
    return;
  // A paused song stays paused: its timer comes with the end of the pause.
  const bool running = s.timerId.Load() != 0;
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  if (!s.playFlag.Load()) // the song ended while its timer was being killed
    return;
  const uint8_t pause = s.pauseFlag.Load();
  const int64_t target = ms;
  if (target < s.currentTime.Load())
    seq::PlayStateResetLocked();
  s.pauseFlag.Store(pause);
  seq::AllNoteOff();
  if (target > s.currentTime.Load() && target <= s.totalMs.Load() && !seq::ReplayToLocked(target)) {
    seq::TerminatePlayLocked();
    seq::PostEndNotify(kPavikEndDuringJump);
    return;
  }
  const int32_t now = std::max<int32_t>(s.currentTime.Load(), 0);
  s.clock.Store(static_cast<uint32_t>(now) * 10);
  s.playTime.Store(static_cast<uint32_t>(now));
  if (running && !seq::CreateTimerLocked())
    s.pauseFlag.Store(1); // the song cannot advance; ending the pause tries again
}

} // extern "C"
