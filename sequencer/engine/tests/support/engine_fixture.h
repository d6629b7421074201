// A freshly loaded engine on virtual time, with two recording MIDI devices
// and a log of the notices it posts, and a small song builder that hands a
// song over as the player core does.
#pragma once

#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"
#include "sequencer/engine/pavik32.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace seqtest {

constexpr uint32_t kWindow = 0x00C0FFEE;

struct Notice {
  uint32_t window = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  int tick = 0;         // the fixture's tick during which it was posted
  uint8_t playFlag = 0; // the engine's play flag when it was posted
};

// The kinds of notices, by message and code.
bool IsEnd(const Notice& n);
bool IsProgress(const Notice& n);
bool IsMeter(const Notice& n);
bool IsRealTime(const Notice& n);

// Notices posted since the last ClearNotices, from any thread.
std::vector<Notice> Notices();
void ClearNotices();
// Message boxes shown since the last ClearNotices, as "caption: text".
std::vector<std::string> MessageBoxes();

// MIDI short messages.
constexpr uint32_t Msg(uint32_t status, uint32_t d1, uint32_t d2 = 0) {
  return status | d1 << 8 | d2 << 16;
}
constexpr uint32_t NoteOn(int ch, int note, int velocity) {
  return Msg(0x90 | ch, note, velocity);
}
constexpr uint32_t NoteOff(int ch, int note) {
  return Msg(0x80 | ch, note, 0);
}
constexpr uint32_t Cc(int ch, int controller, int value) {
  return Msg(0xB0 | ch, controller, value);
}
constexpr uint32_t Program(int ch, int program) {
  return Msg(0xC0 | ch, program);
}

struct TestEvent {
  uint32_t tick = 0;
  int32_t time = 0;
  uint32_t data = 0;
  uint32_t kind = 0;
  int32_t post = 0;
};
TestEvent Midi(int32_t time, uint32_t message, uint32_t tick = 0);
TestEvent Tempo(int32_t time, uint32_t usPerQuarter, uint32_t tick = 0);
TestEvent Syllable(int32_t time, uint32_t durationMs, int32_t post, uint32_t tick = 0);

struct TestSong {
  uint16_t ticksPerQuarter = 480;
  uint16_t melodyTrack = 0;
  uint16_t lyricTrack = 0;
  uint32_t totalMs = 10000;
  std::vector<std::array<int32_t, 3>> tempoMap; // tick, us per quarter, ms
  std::vector<std::vector<TestEvent>> tracks;
  std::vector<int16_t> devices; // per track; -1 (the mapper) where missing
  std::array<uint8_t, 16> banks;
  TestSong() { banks.fill(0xFF); }
};

// Tick of an event at a time over a tempo of 500000 us per quarter at 480
// ticks per quarter: one tick per 1.0416 ms, here simply time * 480 / 500.
uint32_t TickAt(int32_t timeMs);

// Prepares, transmits every event and orders the chain; the result of the
// preparation.
uint8_t HandOver(const TestSong& song);

// The messages that a panic sends to one device.
std::vector<uint32_t> PanicMessages();
// Short messages of a log, in order.
std::vector<uint32_t> ShortMessages(const std::vector<media::RecordedMidi>& log);

class EngineTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Moves virtual time on by n timer periods, one period at a time.
  void Tick(int n = 1, uint32_t periodMs = 10);
  // Ticks until the engine posts EndNotify, at most maxTicks; the ticks run.
  int RunToEnd(int maxTicks);
  // Starts play and clears what the start sent, so that the devices' logs
  // hold the song from its first tick.
  void StartClean();
  // The song's messages sent to a device since StartClean, without the
  // panic that a stop sends.
  std::vector<media::RecordedMidi> SongLog(const media::RecordingMidiOut& device) const;
  // Tick during which a recorded message was sent.
  int TickOf(const media::RecordedMidi& m) const;

  media::VirtualTime time_{1000};
  std::shared_ptr<media::RecordingMidiOut> dev0_;
  std::shared_ptr<media::RecordingMidiOut> dev1_;
  uint32_t startMs_ = 0;
};

} // namespace seqtest
