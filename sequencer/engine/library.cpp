#include "sequencer/engine/library.h"

#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "sequencer/engine/state.h"

namespace seq {

sys::Mutex engineLock;

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
    sys::MutexLock lock(seq::engineLock);
    EndPeriodLocked();
    for (Track& t : s.tracks) {
      t = Track{};
    }
    s.trackCount.Store(0);
    s.tempoMap.clear();
    s.tempoMapSorted = true;
    s.ticksPerQuarter.Store(0);
    s.totalMs.Store(0);
    s.melodyTrack.Store(0);
    s.lyricTrack.Store(0);
    s.reserved.Store(0);
    s.banks.fill(0xFF);
    for (auto& m : s.trackMute)
      m.Store(0);
    for (int ch = 0; ch < kChannels; ++ch) {
      Channel& c = s.channels[ch];
      c.volume.Store(127);
      c.pan.Store(63);
      c.program.Store(0);
      c.wheel.Store(0);
      c.noteOn.Store(0);
      c.meterTrigger.Store(0);
      c.meterLevel.Store(127000);
      c.repaint.Store(1);
      c.sounding.Store(0);
      c.transpose.Store(ch == 9 ? 0 : 1);
    }
    s.clock.Store(0);
    s.playTime.Store(0);
    s.playTick.Store(0);
    s.currentTick.Store(0);
    s.currentTime.Store(0);
    s.currentTrack.Store(kNoTrack);
    s.currentTempo.Store(500000);
    s.lastProgressTime.Store(0);
    s.lastMeterTime.Store(0);
    s.playFlag.Store(0);
    s.pauseFlag.Store(0);
    s.watchDogEnabled.Store(0);
    s.watchDogTime.Store(0);
    s.curNote.Store(60);
    s.prevNote.Store(60);
    s.noNote.Store(1);
    s.lyricOn.Store(0);
    s.lyricTotal.Store(0);
    s.lyricElapsed.Store(0);
    s.lyricEnd.Store(0);
    s.lyricNext.Store(0);
    s.tempoModifier.Store(0);
    s.keyModifier.Store(0);
    s.meterDecay.Store(200);
    s.timerPeriod.Store(10);
    s.timerResolution.Store(10);
    s.clockStep.Store(static_cast<uint32_t>(ClockStepFor(0, 10)));
    s.initReserved.Store(0);
    s.window.Store(0);
    s.bankFlag.Store(0);
    s.realTimeMessage.Store(kPavikRealTimeEventMessage);
    s.endCode.Store(kPavikEndNotifyCode);
    s.progressCode.Store(kPavikProgressNotifyCode);
    s.meterCode.Store(kPavikMeterNotifyCode);
    s.deviceCount.Store(0);
    for (auto& h : s.handles)
      h.Store(0);
    s.currentDevice.Store(-1);
  }
  Enumerate();
}

void LibraryUnload() {
  if (State().playFlag.Load())
    _32_TerminatePlay();
  _32_FreeEB();
}

} // namespace seq

using seq::State;

extern "C" int32_t InitPavik32(uint32_t reserved, uint32_t window, uint8_t bankFlag,
                               uint32_t realTimeMessage, uint32_t endCode, uint32_t progressCode,
                               uint32_t meterCode) {
  seq::EngineState& s = State();
  if (s.playFlag.Load()) // a second initialisation ends the song that plays
    _32_TerminatePlay();
  s.initReserved.Store(reserved);
  s.window.Store(window);
  s.bankFlag.Store(bankFlag);
  s.realTimeMessage.Store(realTimeMessage);
  s.endCode.Store(endCode);
  s.progressCode.Store(progressCode);
  s.meterCode.Store(meterCode);
  for (auto& c : s.channels)
    c.sounding.Store(1);
  const int64_t step = seq::ClockStepFor(s.tempoModifier.Load(), s.timerPeriod.Load());
  if (step > 0)
    s.clockStep.Store(static_cast<uint32_t>(step));
  s.playFlag.Store(0);
  s.pauseFlag.Store(0);
  return 1;
}
