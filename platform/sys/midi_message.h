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
  kTimeCodeQuarter = 0xF1,
  kSongPosition = 0xF2,
  kSongSelect = 0xF3,
  kTuneRequest = 0xF6,
  kSysExEnd = 0xF7,
  kClock = 0xF8,
  kStart = 0xFA,
  kContinue = 0xFB,
  kStop = 0xFC,
  kActiveSensing = 0xFE,
  // 0xFF is a reset on the wire and the meta-event lead-in in a file.
  kSystemReset = 0xFF,
  kMeta = 0xFF,
};

// Meta-event types of a standard MIDI file.
enum MetaType : uint8_t {
  kMetaSequenceNumber = 0x00,
  kMetaChannelPrefix = 0x20,
  kMetaPort = 0x21,
  kMetaEndOfTrack = 0x2F,
  kMetaTempo = 0x51,
  kMetaSmpteOffset = 0x54,
  kMetaTimeSignature = 0x58,
  kMetaKeySignature = 0x59,
  kMetaSequencerSpecific = 0x7F,
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
// Data bytes after a channel status: one for a program change or channel
// pressure, two for the rest.
constexpr int ChannelDataBytes(uint8_t status) {
  const uint8_t type = TypeOf(status);
  return type == kProgramChange || type == kChannelPressure ? 1 : 2;
}
// A byte with the high bit set starts a message; below it, a data byte.
constexpr bool IsStatusByte(uint32_t byte) {
  return (byte & 0x80) != 0;
}

} // namespace sys::midi
