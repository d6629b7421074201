// The names of MIDI short messages: statuses, controllers, and the packed
// form a short message travels in (status in the low byte, then the first
// and second data bytes), as devices, the engine and song events carry it.
#pragma once

#include <cstdint>

namespace sys::midi {

// Channel-message types (the status's high nibble) and system statuses.
enum Status : uint8_t {
  kNoteOff = 0x80,
  kNoteOn = 0x90,
  kPolyPressure = 0xA0,
  kControlChange = 0xB0,
  kProgramChange = 0xC0,
  kChannelPressure = 0xD0,
  kPitchBend = 0xE0,
  kSysEx = 0xF0,
  kSysExEnd = 0xF7,
  kMeta = 0xFF,
};

enum Controller : uint8_t {
  kBankSelect = 0,
  kModulation = 1,
  kDataEntry = 6,
  kVolume = 7,
  kPan = 10,
  kExpression = 11,
  kSustain = 64,
  kPortamento = 65,
  kSostenuto = 66,
  kReverb = 91,
  kChorus = 93,
  kRpnLsb = 100,
  kRpnMsb = 101,
  kAllSoundOff = 120,
  kResetAllControllers = 121,
  kAllNotesOff = 123,
};

constexpr uint32_t PackShort(uint32_t status, uint32_t data1, uint32_t data2 = 0) {
  return (status & 0xFF) | (data1 & 0xFF) << 8 | (data2 & 0xFF) << 16;
}

constexpr uint8_t StatusOf(uint32_t message) {
  return message & 0xFF;
}
constexpr uint8_t Data1Of(uint32_t message) {
  return (message >> 8) & 0xFF;
}
constexpr uint8_t Data2Of(uint32_t message) {
  return (message >> 16) & 0xFF;
}
// The type of a channel status (kNoteOn ... kPitchBend), or the status itself
// from 0xF0 up.
constexpr uint8_t TypeOf(uint8_t status) {
  return status < kSysEx ? status & 0xF0 : status;
}
constexpr uint8_t ChannelOf(uint8_t status) {
  return status & 0x0F;
}
constexpr bool IsChannelStatus(uint8_t status) {
  return status >= kNoteOff && status < kSysEx;
}

} // namespace sys::midi
