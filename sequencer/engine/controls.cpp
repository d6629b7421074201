// Queries and settings that the player core, the singing score and the host
// call while a song plays: times, melody and lyric state, modifiers, mutes,
// channel state, meters, the watchdog and the timer period.
#include "platform/media/clock.h"
#include "sequencer/engine/state.h"

#include <algorithm>
#include <limits>

namespace seq {
namespace {

bool ValidStep(int64_t step) {
  return step > 0 && step <= std::numeric_limits<uint32_t>::max();
}

// Takes a tempo modifier when it leaves the song a positive clock step.
void SetTempoModifierChecked(int value) {
  EngineState& s = State();
  value = std::clamp<int>(value, INT16_MIN, INT16_MAX);
  const int64_t step = ClockStepFor(value, s.timerPeriod.Load());
  if (!ValidStep(step))
    return;
  s.tempoModifier.Store(static_cast<int16_t>(value));
  s.clockStep.Store(static_cast<uint32_t>(step));
}

void SetKeyModifierValue(int value) {
  State().keyModifier.Store(static_cast<int16_t>(std::clamp<int>(value, INT16_MIN, INT16_MAX)));
}

Channel* ChannelAt(uint16_t channel) {
  return channel < kChannels ? &State().channels[channel] : nullptr;
}

} // namespace
} // namespace seq

using seq::State;

extern "C" {

int32_t _32_ProgValue(uint32_t tick) {
  const uint32_t total = State().totalMs.Load();
  if (total <= 999)
    return 1;
  // The tempo map is rebuilt when a song loads; it is read under the lock.
  sys::MutexLock lock(seq::engineLock);
  return seq::TickToMs(tick) / static_cast<int32_t>(std::min<uint32_t>(total / 1000, INT32_MAX));
}

int32_t _32_GetJmpTime(int32_t perMille) {
  return static_cast<int32_t>(int64_t{perMille} * State().totalMs.Load() / 1000);
}

uint32_t _32_GetPlayTime(void) {
  return State().playTime.Load();
}
uint32_t _32_GetPlayTS(void) {
  return State().playTick.Load();
}
int32_t _32_GetCurTime(void) {
  return State().currentTime.Load();
}
uint32_t _32_GetCurTS(void) {
  return State().currentTick.Load();
}
uint8_t _32_GetcCurNote(void) {
  return State().curNote.Load();
}
uint8_t _32_GetcPrevNote(void) {
  return State().prevNote.Load();
}
uint8_t _32_ChkcNoNote(void) {
  return State().noNote.Load();
}
uint8_t _32_ChkcLyricOn(void) {
  return State().lyricOn.Load();
}
int32_t _32_GetlLyricCurTime(void) {
  return State().lyricElapsed.Load();
}
int32_t _32_GetlLyricTotTime(void) {
  return State().lyricTotal.Load();
}
int32_t _32_GetlLyricNextEvTime(void) {
  return State().lyricNext.Load();
}

void _32_Inc_TempoModifier(int16_t upperBound) {
  seq::SetTempoModifierChecked(std::min<int>(State().tempoModifier.Load() + 1, upperBound));
}

void _32_Dec_TempoModifier(int16_t lowerBound) {
  seq::SetTempoModifierChecked(std::max<int>(State().tempoModifier.Load() - 1, lowerBound));
}

void _32_SetTempoModifier(int16_t value) {
  seq::SetTempoModifierChecked(value);
}

int16_t _32_GetTempoModifier(void) {
  return State().tempoModifier.Load();
}

void _32_Inc_KeyModifier(int16_t upperBound) {
  seq::AllNoteOff();
  seq::SetKeyModifierValue(std::min<int>(State().keyModifier.Load() + 1, upperBound));
}

void _32_Dec_KeyModifier(int16_t lowerBound) {
  seq::AllNoteOff();
  seq::SetKeyModifierValue(std::max<int>(State().keyModifier.Load() - 1, lowerBound));
}

void _32_SetKeyModifier(int16_t value) {
  if (_32_CheckMidDevOpened())
    seq::AllNoteOff();
  seq::SetKeyModifierValue(value);
}

int16_t _32_GetKeyModifier(void) {
  return State().keyModifier.Load();
}

uint8_t _32_GetTrackMute(uint16_t track) {
  return track < seq::kMuteSlots ? uint8_t{State().trackMute[track].Load()} : uint8_t{0};
}

void _32_SetTrackMute(uint16_t track, uint8_t flag) {
  if (track < seq::kMuteSlots)
    State().trackMute[track].Store(flag);
}

uint8_t _32_GetChannelMute(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c && !c->sounding.Load() ? 1 : 0;
}

void _32_SetChannelMute(uint16_t channel, uint8_t flag) {
  seq::Channel* c = seq::ChannelAt(channel);
  if (!c)
    return;
  if (flag)
    _32_TurnOffChannel(channel);
  c->sounding.Store(flag ? 0 : 1);
}

uint8_t _32_GetChannelVol(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? uint8_t{c->volume.Load()} : 0;
}

uint8_t _32_GetChannelPan(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? uint8_t{c->pan.Load()} : 0;
}

uint8_t _32_GetChannelInst(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? uint8_t{c->program.Load()} : 0;
}

int16_t _32_GetChannelWheel(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? int16_t{c->wheel.Load()} : 0;
}

uint8_t _32_GetNoteOnStatus(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? uint8_t{c->noteOn.Load()} : 0;
}

uint8_t _32_GetRepaintReq(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? uint8_t{c->repaint.Load()} : 0;
}

void _32_ResetRepaintReq(uint16_t channel) {
  if (seq::Channel* c = seq::ChannelAt(channel))
    c->repaint.Store(0);
}

void _32_SetLevelMeter(uint16_t level) {
  State().meterDecay.Store(int32_t{level} * State().timerPeriod.Load());
}

uint8_t _32_GetMeterVolume(uint16_t channel) {
  seq::Channel* c = seq::ChannelAt(channel);
  return c ? static_cast<uint8_t>(std::clamp<int32_t>(c->meterLevel.Load() / 1000, 0, 127)) : 0;
}

uint8_t _32_AutoMeterVolume(uint16_t channel) {
  if (channel >= seq::kChannels)
    return 0;
  return static_cast<uint8_t>(std::clamp<int32_t>(seq::MeterStep(channel) / 1000, 0, 127));
}

void _32_EnableWatchDog(uint8_t flag) {
  State().watchDogEnabled.Store(flag);
}
uint8_t _32_CheckIfWatchDogEnabled(void) {
  return State().watchDogEnabled.Load();
}
void _32_SetWatchDogTime(int32_t ms) {
  State().watchDogTime.Store(ms);
}
int32_t _32_GetWatchDogTime(void) {
  return State().watchDogTime.Load();
}

void _32_SetTimerResolution(uint16_t ms) {
  seq::EngineState& s = State();
  const int64_t step = seq::ClockStepFor(s.tempoModifier.Load(), ms);
  if (ms == 0 || !seq::ValidStep(step))
    return;
  // The clock step follows the period, so the song keeps its speed; a running
  // timer is made again with the new period.
  const bool running = s.timerId.Load() != 0;
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  const bool periodBegun = s.periodBegunMs.Load() != 0;
  if (periodBegun)
    seq::EndPeriodLocked();
  s.timerPeriod.Store(ms);
  s.timerResolution.Store(ms);
  s.clockStep.Store(static_cast<uint32_t>(step));
  if (periodBegun)
    seq::BeginPeriodLocked();
  if (running && s.playFlag.Load() && !seq::CreateTimerLocked())
    s.pauseFlag.Store(1);
}

} // extern "C"
