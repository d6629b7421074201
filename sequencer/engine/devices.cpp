// The MIDI output device table and the messages that go straight to devices:
// raw output, all-notes-off, panic and channel switch-off.
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/sys/midi_message.h"
#include "sequencer/engine/notices.h"
#include "sequencer/engine/state.h"

#include <algorithm>
#include <cstring>

namespace seq {
namespace {

using namespace sys::midi;

// Slot of a device: 0 the mapper, d + 1 device d; -1 when it has none.
int SlotOf(int device) {
  int slot = device + 1;
  return slot >= 0 && slot < kPavikDeviceSlots ? slot : -1;
}

struct PanicRow {
  uint8_t status, data1, data2;
};
constexpr PanicRow kPanicRows[] = {
    {kControlChange, kResetAllControllers, 0},
    {kControlChange, kBankSelect, 0},
    {kProgramChange, 0, 0},
    {kControlChange, kModulation, 10},
    {kControlChange, kVolume, 110},
    {kControlChange, kPan, 64},
    {kControlChange, kExpression, 127},
    {kControlChange, kReverb, 80},
    {kControlChange, kChorus, 10},
    {kControlChange, kRpnMsb, 0},
    {kControlChange, kRpnLsb, 0},
    {kControlChange, kDataEntry, 2},
    {kControlChange, kRpnLsb, 1},
    {kControlChange, kSustain, 0},
    {kControlChange, kPortamento, 0},
    {kControlChange, kRpnMsb, 127},
    {kControlChange, kRpnLsb, 127},
    {kPitchBend, 0, 64},
    {kControlChange, kAllNotesOff, 0},
};
static_assert(std::size(kPanicRows) == 19);

// The record kept for a device, or null when the table keeps none for it.
const media::MidiOutCaps* RecordOf(int device) REQUIRES(seq::engineLock) {
  EngineState& s = State();
  if (device == media::kMidiMapper)
    return &s.caps[0];
  int kept = std::min<int>(s.deviceCount.Load(), kPavikDeviceRecords);
  if (device < 0 || device >= kept)
    return nullptr;
  return &s.caps[device + 1];
}

} // namespace

bool SendToDevice(int device, uint32_t message) {
  int slot = SlotOf(device);
  if (slot < 0)
    return false;
  uint32_t handle = State().handles[slot].Load();
  return handle != 0 && media::MidiOut().ShortMessage(handle, message);
}

void UpdateChannelState(uint32_t message) {
  const uint8_t status = StatusOf(message);
  Channel& c = State().channels[ChannelOf(status)];
  const uint8_t d1 = Data1Of(message) & 0x7F;
  const uint8_t d2 = Data2Of(message) & 0x7F;
  switch (TypeOf(status)) {
  case kNoteOff:
    c.noteOn.Store(0);
    break;
  case kNoteOn:
    if (d2 > 0) {
      c.noteOn.Store(1);
      c.meterTrigger.Store(1);
    } else {
      c.noteOn.Store(0);
    }
    break;
  case kControlChange:
    if (d1 == kVolume)
      c.volume.Store(d2);
    else if (d1 == kPan)
      c.pan.Store(d2);
    break;
  case kProgramChange:
    c.program.Store(d1);
    break;
  case kPitchBend:
    c.wheel.Store(static_cast<int16_t>((d2 - 64) * 128 + d1));
    break;
  default:
    break;
  }
}

bool OpenDeviceLocked(int device) {
  int slot = SlotOf(device);
  if (slot < 0)
    return false;
  EngineState& s = State();
  if (uint32_t old = s.handles[slot].Exchange(0))
    media::MidiOut().Close(old);
  media::MidiOutHandle handle = media::MidiOut().Open(device);
  if (handle == 0)
    return false;
  s.handles[slot].Store(handle);
  return true;
}

bool CloseDeviceLocked(int device) {
  int slot = SlotOf(device);
  if (slot < 0)
    return false;
  uint32_t handle = State().handles[slot].Exchange(0);
  return handle != 0 && media::MidiOut().Close(handle);
}

void AllNoteOff() {
  EngineState& s = State();
  for (int slot = 0; slot < kPavikDeviceSlots; ++slot) {
    uint32_t handle = s.handles[slot].Load();
    if (handle == 0)
      continue;
    for (uint32_t ch = 0; ch < kChannels; ++ch) {
      media::MidiOut().ShortMessage(handle, PackShort(kControlChange | ch, kSustain));
      media::MidiOut().ShortMessage(handle, PackShort(kControlChange | ch, kSostenuto));
      media::MidiOut().ShortMessage(handle, PackShort(kControlChange | ch, kAllNotesOff));
    }
  }
}

void DoPanicLocked() {
  EngineState& s = State();
  const int lastSlot = std::min<int>(s.deviceCount.Load(), kPavikDeviceSlots - 1);
  for (int slot = 0; slot <= lastSlot; ++slot) {
    uint32_t handle = s.handles[slot].Load();
    bool opened = false;
    if (handle == 0) {
      handle = media::MidiOut().Open(slot - 1);
      if (handle == 0)
        continue;
      opened = true;
    }
    for (const PanicRow& row : kPanicRows) {
      for (uint32_t ch = 0; ch < kChannels; ++ch)
        media::MidiOut().ShortMessage(handle, PackShort(row.status | ch, row.data1, row.data2));
      media::Time().Delay(1);
    }
    if (opened)
      media::MidiOut().Close(handle);
  }
}

int EnumerateLocked() {
  EngineState& s = State();
  media::MidiOut().Enumerate();
  int count = std::clamp(media::MidiOut().Count(), 0, 0xFFFF);
  s.deviceCount.Store(static_cast<uint16_t>(count));
  for (auto& c : s.caps)
    c = media::MidiOutCaps{};
  media::MidiOut().Caps(media::kMidiMapper, &s.caps[0]);
  for (int d = 0; d < std::min(count, int{kPavikDeviceRecords}); ++d)
    media::MidiOut().Caps(d, &s.caps[d + 1]);
  return count;
}

void Enumerate() {
  int count;
  {
    sys::MutexLock lock(seq::engineLock);
    count = EnumerateLocked();
  }
  if (count == 0)
    ShowErrorBox("There is no MIDI out device", "Error");
}

} // namespace seq

using seq::State;

extern "C" {

void _32_SendMessage(uint32_t message) {
  seq::SendToDevice(State().currentDevice.Load(), message);
  seq::UpdateChannelState(message);
}

void _32_AllNoteOff(void) {
  seq::AllNoteOff();
}

void _32_DoPanic(void) {
  sys::MutexLock lock(seq::engineLock);
  seq::DoPanicLocked();
}

void _32_TurnOffChannel(uint16_t channel) {
  if (channel >= seq::kChannels)
    return;
  seq::SendToDevice(State().currentDevice.Load(), sys::midi::PackShort(sys::midi::kControlChange | channel,
                                                                sys::midi::kAllNotesOff));
}

uint8_t _32_CheckMidDevOpened(void) {
  int slot = seq::SlotOf(State().currentDevice.Load());
  return slot >= 0 && State().handles[slot].Load() != 0 ? 1 : 0;
}

uint8_t _32_OpenCloseMidDev(uint8_t open) {
  sys::MutexLock lock(seq::engineLock);
  const int device = State().currentDevice.Load();
  if (open == 0) {
    seq::CloseDeviceLocked(device);
    return 1;
  }
  if (_32_CheckMidDevOpened())
    return 1;
  return seq::OpenDeviceLocked(device) ? 1 : 0;
}

uint16_t _32_moGetNumMIDDevices(void) {
  return State().deviceCount.Load();
}

void _32_moSetCurDev(int16_t device) {
  State().currentDevice.Store(static_cast<uint16_t>(device) < State().deviceCount.Load() ? device : -1);
}

int16_t _32_moGetCurDev(void) {
  return State().currentDevice.Load();
}

void _32_moCheckMidiOutDev(void) {
  seq::Enumerate();
}

uint8_t _32_moGetMIDDevName(char* destination, int16_t device) {
  sys::MutexLock lock(seq::engineLock);
  const media::MidiOutCaps* caps = seq::RecordOf(device);
  if (destination && caps) {
    std::memcpy(destination, caps->name.data(), kPavikDeviceNameSize);
    destination[kPavikDeviceNameSize - 1] = '\0';
  }
  return 0;
}

void _32_moGetMIDDevCaps(uint8_t* destination, int16_t device) {
  sys::MutexLock lock(seq::engineLock);
  const media::MidiOutCaps* caps = seq::RecordOf(device);
  if (destination && caps)
    caps->Serialize(std::span<uint8_t, kPavikCapsSize>(destination, kPavikCapsSize));
}

uint8_t _32_moOpenMIDDev(int16_t device) {
  sys::MutexLock lock(seq::engineLock);
  return seq::OpenDeviceLocked(device) ? 1 : 0;
}

uint8_t _32_moCloseMIDDev(int16_t device) {
  sys::MutexLock lock(seq::engineLock);
  return seq::CloseDeviceLocked(device) ? 1 : 0;
}

} // extern "C"
