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
void PlayMidiOrTempoLocked(uint16_t track, const EngineEvent& e) REQUIRES(State().lock) {
  EngineState& s = State();
  if (e.kind == kKindTempo) {
    s.currentTempo = e.data;
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
    if (track == s.melodyTrack) {
      if (type == kNoteOff || d2 == 0) {
        s.noNote = 1;
      } else {
        s.prevNote = s.curNote;
        s.curNote = d1;
        s.noNote = 0;
      }
    }
    const int key = s.keyModifier;
    if (c.transpose && key != 0) {
      const int note = std::clamp(d1 + key, 0, 127);
      message = (message & ~0xFF00u) | (static_cast<uint32_t>(note) << 8);
    }
  }
  if (!c.sounding || s.trackMute[track])
    return;
  if (type == kControlChange && d1 == kTransposeSwitch) {
    if (d2 <= 1)
      c.transpose = d2;
    return;
  }
  const int device = s.tracks[track].device;
  SendToDevice(device, message);
  UpdateChannelState(message);
  if (type == kControlChange && d1 == kBankSelect)
    SendToDevice(device, PackShort(kProgramChange | ch, c.program));
}

// The chain has run out: stop and tell the notification window.
void EndOfSongLocked(int64_t lParam) REQUIRES(State().lock) {
  TerminatePlayLocked();
  PostEndNotify(lParam);
}

// The sung syllable's elapsed time, or its end once its length has passed.
void UpdateSyllableLocked(int64_t playTime) REQUIRES(State().lock) {
  EngineState& s = State();
  if (s.lyricEnd > playTime) {
    s.lyricElapsed = static_cast<int32_t>(int64_t{s.lyricTotal} - s.lyricEnd + playTime);
  } else {
    s.lyricOn = 0;
    s.lyricTotal = 0;
    s.lyricElapsed = 0;
    s.lyricEnd = 0;
  }
}

// Plays every event whose time has come; false when the song ended.
bool PlayDueEventsLocked() REQUIRES(State().lock) {
  EngineState& s = State();
  // Every tick, not only one that plays an event: the silence after a
  // syllable in a passage without events is not a syllable still sung.
  UpdateSyllableLocked(s.playTime);
  for (;;) {
    uint16_t current = s.currentTrack;
    if (current >= ChainTrackLimit() || s.tracks[current].count == 0 || !s.tracks[current].active) {
      // A song without events, or a chain that led nowhere, has ended.
      EndOfSongLocked(0);
      return false;
    }
    Track& track = s.tracks[current];
    const EngineEvent e = track.events[track.cursor];
    const int64_t playTime = s.playTime;
    if (e.time > playTime)
      return true;

    s.currentTick = e.tick;
    s.currentTime = e.time;
    UpdateSyllableLocked(playTime);

    if (e.kind < kKindSyllable) {
      PlayMidiOrTempoLocked(current, e);
      if (e.kind == kKindWave && !s.trackMute[current])
        PostRealTimeEvent(current, e.postValue);
    } else if (e.kind <= kKindLyricLast && current == s.lyricTrack) {
      if (!s.trackMute[current])
        PostRealTimeEvent(current, e.postValue);
      if (e.kind == kKindSyllable) {
        s.lyricOn = 1;
        s.lyricElapsed = 0;
        s.lyricTotal = static_cast<int32_t>(e.data);
        s.lyricEnd = static_cast<int32_t>(e.data + static_cast<uint32_t>(e.time));
        s.lyricNext = NextSyllableTimeLocked(track.cursor + 1);
      }
    }

    if (static_cast<int64_t>(track.cursor) < track.count - 1)
      ++track.cursor;
    else
      track.active = 0;

    const uint8_t next = e.nextTrack;
    const uint8_t active = next < s.trackCount ? s.tracks[next].active : 0;
    s.playFlag = active;
    if (!active) {
      EndOfSongLocked(0);
      s.currentTrack = next;
      return false;
    }
    s.currentTrack = next;
  }
}

void TimerTickLocked() REQUIRES(State().lock) {
  EngineState& s = State();
  const uint32_t step = s.clockStep;

  if (s.watchDogEnabled) {
    int64_t left = int64_t{s.watchDogTime} - step / 10;
    if (left < 0) {
      s.watchDogTime = 0;
      EndOfSongLocked(0);
      return;
    }
    s.watchDogTime = static_cast<int32_t>(left);
  }

  s.clock = s.clock + step;
  s.playTime = s.clock / 10;

  if (!PlayDueEventsLocked())
    return;

  const uint32_t playTime = s.playTime;
  if (int64_t{playTime} - s.lastProgressTime >= 500) {
    s.lastProgressTime = playTime;
    const uint32_t total = s.totalMs;
    int64_t perMille;
    if (total >= 1000)
      perMille = playTime / (total / 1000);
    else // a song shorter than a second: per mille of its length in ms
      perMille = total > 0 ? int64_t{playTime} * 1000 / total : 0;
    PostProgressNotify(perMille);
  }

  for (int ch = 0; ch < kChannels; ++ch)
    MeterStep(ch);

  if (int64_t{playTime} - s.lastMeterTime >= 100) {
    s.lastMeterTime = playTime;
    PostMeterNotify();
  }

  const int64_t currentTime = s.currentTime;
  const uint32_t tempo = s.currentTempo;
  if (playTime > currentTime && tempo != 0) {
    const uint64_t ticks =
        static_cast<uint64_t>(playTime - currentTime) * s.ticksPerQuarter * 1000 / tempo;
    s.playTick = s.currentTick + static_cast<uint32_t>(ticks);
  } else {
    s.playTick = s.currentTick;
  }
}

// Replays the non-note messages on the way from the cursor to the target.
// false when the song ended on the way.
bool ReplayToLocked(int64_t target) REQUIRES(State().lock) {
  EngineState& s = State();
  auto eventAtCursor = [&](uint16_t t) -> const EngineEvent* {
    if (t >= ChainTrackLimit() || s.tracks[t].count == 0)
      return nullptr;
    return &s.tracks[t].events[s.tracks[t].cursor];
  };
  uint16_t current = s.currentTrack;
  const EngineEvent* e = eventAtCursor(current);
  if (!e || !s.tracks[current].active)
    return false;
  // The position is that of the next event to play; events at or after the
  // target are left to play on time.
  s.currentTick = e->tick;
  s.currentTime = TickToMs(e->tick);
  while (target > s.currentTime) {
    if (e->kind == kKindMidi) {
      const uint32_t message = e->data;
      const uint8_t type = TypeOf(StatusOf(message));
      const int ch = ChannelOf(StatusOf(message));
      const uint8_t d1 = Data1Of(message) & 0x7F;
      const uint8_t d2 = Data2Of(message) & 0x7F;
      if (type == kControlChange && d1 == kTransposeSwitch) {
        if (d2 <= 1)
          s.channels[ch].transpose = d2;
      } else if (type != kNoteOff && type != kNoteOn) {
        SendToDevice(s.tracks[current].device, message);
        if (type == kControlChange && d1 == kVolume)
          s.channels[ch].volume = d2;
      }
    }
    Track& track = s.tracks[current];
    if (static_cast<int64_t>(track.cursor) < track.count - 1)
      ++track.cursor;
    else
      track.active = 0;
    const uint8_t next = e->nextTrack;
    const uint8_t active = next < s.trackCount ? s.tracks[next].active : 0;
    s.playFlag = active;
    if (!active)
      return false;
    current = next;
    s.currentTrack = current;
    e = eventAtCursor(current);
    s.currentTick = e->tick;
    s.currentTime = TickToMs(e->tick);
  }
  return true;
}

} // namespace

int32_t MeterStep(int ch) {
  EngineState& s = State();
  Channel& c = s.channels[ch];
  if (c.meterTrigger) {
    c.meterTrigger = 0;
    c.meterLevel = c.volume * 1000;
  } else {
    c.meterLevel = std::max<int32_t>(c.meterLevel - s.meterDecay, 0);
  }
  c.repaint = 1;
  return c.meterLevel;
}

int ChainTrackLimit() {
  return std::min<int>(State().trackCount, kPavikChainTracks);
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
  uint32_t id = media::Time().SetPeriodicEvent(s.timerPeriod, s.timerResolution,
                                               [] { TimerInt(0, 0, 0, 0, 0); });
  s.timerId = id;
  return id != 0;
}

void BeginPeriodLocked() {
  EngineState& s = State();
  if (s.periodBegunMs != 0)
    return;
  const uint16_t ms = s.timerResolution;
  if (media::Time().BeginPeriod(ms))
    s.periodBegunMs = ms;
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
  for (int t = 0; t < s.trackCount; ++t) {
    const int device = s.tracks[t].device;
    const int slot = device + 1;
    if (slot >= 0 && slot < kPavikDeviceSlots && s.handles[slot] != 0)
      CloseDeviceLocked(device);
  }
  PlayStateResetLocked();
  s.playFlag = 0;
}

} // namespace seq

using seq::State;

extern "C" {

uint8_t _32_StartPlay(void) {
  seq::EngineState& s = State();
  seq::KillTimer(); // a song already playing starts again: one timer at a time
  sys::MutexLock lock(State().lock);
  for (int t = 0; t < s.trackCount; ++t) {
    const int device = s.tracks[t].device;
    const int slot = device + 1;
    const bool open = slot >= 0 && slot < kPavikDeviceSlots && s.handles[slot] != 0;
    if (!open && !seq::OpenDeviceLocked(device)) {
      if (s.playFlag)
        seq::TerminatePlayLocked();
      return 0;
    }
  }
  if (s.bankFlag) {
    for (uint32_t ch = 0; ch < seq::kChannels; ++ch) {
      if (s.banks[ch] < 128)
        seq::SendToDevice(s.currentDevice,
                          sys::midi::PackShort(sys::midi::kControlChange | ch,
                                               sys::midi::kBankSelect, s.banks[ch]));
    }
  }
  seq::PlayStateResetLocked();
  if (s.watchDogEnabled)
    s.watchDogTime = 10000;
  seq::BeginPeriodLocked();
  s.playFlag = 1;
  if (!seq::CreateTimerLocked()) { // a song that cannot advance is not playing
    seq::TerminatePlayLocked();
    return 0;
  }
  return 1;
}

void _32_TerminatePlay(void) {
  seq::KillTimer();
  sys::MutexLock lock(State().lock);
  seq::TerminatePlayLocked();
}

void TimerInt(uint32_t, uint32_t, uint64_t, uint64_t, uint64_t) {
  seq::EngineState& s = State();
  sys::MutexLock lock(State().lock);
  // A tick that waited while its event was being killed does nothing.
  if (s.timerId == 0 || !s.playFlag)
    return;
  seq::TimerTickLocked();
}

void _32_BeginPause(void) {
  seq::KillTimer();
  sys::MutexLock lock(State().lock);
  seq::AllNoteOff();
  State().pauseFlag = 1;
}

void _32_EndPause(void) {
  seq::EngineState& s = State();
  sys::MutexLock lock(State().lock);
  // Only a song that plays without a timer gets one: never a second timer.
  if (s.playFlag && s.timerId == 0 && !seq::CreateTimerLocked())
    return; // still paused
  s.pauseFlag = 0;
}

uint8_t _32_GetcPause(void) {
  return State().pauseFlag;
}

void _32_SetcPause(uint8_t flag) {
  State().pauseFlag = flag;
}

uint8_t _32_GetcMidiPlayFlag(void) {
  return State().playFlag;
}

void _32_JumpToPosition(uint32_t ms) {
  seq::EngineState& s = State();
  if (!s.playFlag)
    return;
  // A paused song stays paused: its timer comes with the end of the pause.
  const bool running = s.timerId != 0;
  seq::KillTimer();
  sys::MutexLock lock(State().lock);
  if (!s.playFlag) // the song ended while its timer was being killed
    return;
  const uint8_t pause = s.pauseFlag;
  const int64_t target = ms;
  if (target < s.currentTime)
    seq::PlayStateResetLocked();
  s.pauseFlag = pause;
  seq::AllNoteOff();
  if (target > s.currentTime && target <= s.totalMs && !seq::ReplayToLocked(target)) {
    seq::TerminatePlayLocked();
    seq::PostEndNotify(kPavikEndDuringJump);
    return;
  }
  const int32_t now = std::max<int32_t>(s.currentTime, 0);
  s.clock = static_cast<uint32_t>(now) * 10;
  s.playTime = static_cast<uint32_t>(now);
  if (running && !seq::CreateTimerLocked())
    s.pauseFlag = 1; // the song cannot advance; ending the pause tries again
}

} // extern "C"
