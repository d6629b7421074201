// A minimal Standard MIDI File reader for the engine's tests, and the
// hand-over of a karaoke file to the engine track by track: channel messages
// as they stand, tempo changes, and the lyric track's text events as
// syllables timed over the tempo map.
#pragma once

#include "engine_fixture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace seqtest {

struct SmfEvent {
  uint32_t tick = 0;
  uint8_t status = 0;        // channel status, 0xF0/0xF7 sysex or 0xFF meta
  uint8_t metaType = 0;      // meta events only
  std::vector<uint8_t> data; // data bytes (channel), payload (meta, sysex)
};

struct Smf {
  uint16_t format = 0;
  uint16_t ticksPerQuarter = 0;
  std::vector<std::vector<SmfEvent>> tracks;
};

// Nullopt for anything that is not a well-formed file with a tick division.
std::optional<Smf> ReadSmf(std::span<const uint8_t> bytes);
std::optional<Smf> ReadSmfFile(const std::string& path);

struct KaraokeSong {
  TestSong song;
  int syllables = 0;
};

// The engine's view of a karaoke file: the lyric track is the track with the
// most text events that are not "@" tags; each of those is a syllable whose
// post value is its number and whose data is the time until the next one.
KaraokeSong ToEngineSong(const Smf& smf);

} // namespace seqtest
