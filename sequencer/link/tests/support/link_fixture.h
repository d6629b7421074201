// The link libraries as the player core loads them, from build/bin, with the
// engines behind them on virtual time and two recording MIDI devices, and a
// log of the notices each engine posts. The time source, the devices and a
// scripted message box are installed before the first library loads.
#pragma once

#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"
#include "sequencer/link/engine_table.h"
#include "sequencer/link/mplay_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace linktest {

constexpr uint32_t kWindow = 0x00A11CE5;

struct Libraries {
  wendra::MplayTable wendra;   // the 9x family's link library
  wendra::MplayTable wendraNT; // the NT family's
  wendra::EngineTable pavik32; // the engines they drive, bound directly
  wendra::EngineTable pavik16;
};
// Loads them on first use; a failure fails the calling test.
const Libraries& Loaded();

media::VirtualTime& Clock();
media::RecordingMidiOut& Device(int index); // 0 or 1

struct Notice {
  int engine = 0; // 32 or 16
  uint32_t window = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
};
std::vector<Notice> Notices();
void ClearLogs(); // notices and both devices' messages

// A short song: a melody track (notes 60 and 62 on channel 0, the first at
// 0 ms) and a lyric track with one syllable at 50 ms.
struct Song {
  uint32_t totalMs = 1000;
  uint16_t ticksPerQuarter = 480;
  struct Event {
    int32_t tick, ms;
    uint32_t data, kind;
    int32_t post;
  };
  std::vector<std::vector<Event>> tracks;
  std::vector<int16_t> devices;
};
Song ShortSong(int16_t device = 0);
// Ticks of 480 per quarter at 120 beats a minute.
int32_t TickAt(int32_t ms);

// Hands the song over through a table's preparation entry and the given
// transmit entry, then orders it; the preparation's result.
uint8_t HandOver(const wendra::MplayTable& table, MplayTransmitEntry transmit, const Song& song);

// Runs n timer periods of 10 ms.
void Tick(int n = 1);
// Note-on messages with a velocity that a device received since ClearLogs.
std::vector<uint8_t> NotesPlayed(int device);

} // namespace linktest
