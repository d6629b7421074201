#include "sequencer/engine/library.h"

#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "sequencer/engine/state.h"

namespace seq {

EngineState& State() {
  static EngineState* state = new EngineState; // lives as long as the process
  return *state;
}

void LibraryLoad() {
  // The process-wide services the engine relies on are made before anything
  // that may outlive them is registered.
  media::RealTime();
  media::MidiOut();

  EngineState& s = State();
  KillTimer();
  {
    sys::MutexLock lock(State().lock);
    EndPeriodLocked();
    for (Track& t : s.tracks) {
      t = Track{};
    }
    s.trackCount = 0;
    s.tempoMap.clear();
    s.tempoMapSorted = true;
    s.ticksPerQuarter = 0;
    s.totalMs = 0;
    s.melodyTrack = 0;
    s.lyricTrack = 0;
    s.reserved = 0;
    s.banks.fill(0xFF);
    for (auto& m : s.trackMute)
      m = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
      Channel& c = s.channels[ch];
      c.volume = 127;
      c.pan = 63;
      c.program = 0;
      c.wheel = 0;
      c.noteOn = 0;
      c.meterTrigger = 0;
      c.meterLevel = 127000;
      c.repaint = 1;
      c.sounding = 0;
      c.transpose = ch == 9 ? 0 : 1;
    }
    s.clock = 0;
    s.playTime = 0;
    s.playTick = 0;
    s.currentTick = 0;
    s.currentTime = 0;
    s.currentTrack = kNoTrack;
    s.currentTempo = 500000;
    s.lastProgressTime = 0;
    s.lastMeterTime = 0;
    s.playFlag = 0;
    s.pauseFlag = 0;
    s.watchDogEnabled = 0;
    s.watchDogTime = 0;
    s.curNote = 60;
    s.prevNote = 60;
    s.noNote = 1;
    s.lyricOn = 0;
    s.lyricTotal = 0;
    s.lyricElapsed = 0;
    s.lyricEnd = 0;
    s.lyricNext = 0;
    s.tempoModifier = 0;
    s.keyModifier = 0;
    s.meterDecay = 200;
    s.timerPeriod = 10;
    s.timerResolution = 10;
    s.clockStep = static_cast<uint32_t>(ClockStepFor(0, 10));
    s.initReserved = 0;
    s.window = 0;
    s.bankFlag = 0;
    s.realTimeMessage = kPavikRealTimeEventMessage;
    s.endCode = kPavikEndNotifyCode;
    s.progressCode = kPavikProgressNotifyCode;
    s.meterCode = kPavikMeterNotifyCode;
    s.deviceCount = 0;
    for (auto& h : s.handles)
      h = 0;
    s.currentDevice = -1;
  }
  Enumerate();
}

void LibraryUnload() {
  if (State().playFlag)
    _32_TerminatePlay();
  _32_FreeEB();
}

} // namespace seq

using seq::State;

extern "C" int32_t InitPavik32(uint32_t reserved, uint32_t window, uint8_t bankFlag,
                               uint32_t realTimeMessage, uint32_t endCode, uint32_t progressCode,
                               uint32_t meterCode) {
  seq::EngineState& s = State();
  if (s.playFlag) // a second initialisation ends the song that plays
    _32_TerminatePlay();
  s.initReserved = reserved;
  s.window = window;
  s.bankFlag = bankFlag;
  s.realTimeMessage = realTimeMessage;
  s.endCode = endCode;
  s.progressCode = progressCode;
  s.meterCode = meterCode;
  for (auto& c : s.channels)
    c.sounding = 1;
  const int64_t step = seq::ClockStepFor(s.tempoModifier, s.timerPeriod);
  if (step > 0)
    s.clockStep = static_cast<uint32_t>(step);
  s.playFlag = 0;
  s.pauseFlag = 0;
  return 1;
}
