// The hand-over of the song to the sequencer engine: the preparation call
// with the song's timing, tracks and devices, then every track's events
// through the engine's transmit entry, each note with its note-off, the
// syllables with their wipe times and the lyric track sent a little early.
#pragma once

#include "core/songdata.h"
#include "sequencer/link/mplay.h"

#include <cstdint>
#include <span>
#include <vector>

namespace core {

// The most tempo-map entries handed to the engine: it keeps at most 256.
constexpr int kEngineTempoEntries = 256;

// The song's tempo map as the engine takes it: (tick, microseconds per
// quarter, ms) triples. A map longer than the engine keeps is thinned to
// entries spread evenly over it, the first and the last among them, each
// with its own exact time; the engine then reckons positions between two
// kept entries at the tempo of the earlier one. The events themselves carry
// their exact times, so only the engine's own tick arithmetic (a jump's
// replay) sees the thinned map.
std::vector<int32_t> EngineTempoMap(const CSongData& song);

// One produced event as it goes to the engine.
struct EngineEventArgs {
  int32_t tick = 0;
  int32_t ms = 0;
  uint32_t data = 0;
  uint8_t kind = 0;
};

// The tick and ms at which a lyric-track event goes to the engine when the
// lyrics are shifted by shiftTicks (at least 1): the event tick moved
// earlier by the shift; line breaks, next-line events and images moved by
// half their distance from the previous syllable instead when that distance
// is within the shift. previousSyllableTick is negative when there is none.
void ShiftLyricEvent(const CSongData& song, uint8_t kind, int64_t previousSyllableTick,
                     EngineEventArgs& args);

// Hands one track to the engine: exactly engineEventCount calls of transmit.
// Returns the number of calls.
int32_t TransmitTrackToEngine(const CSongData& song, int16_t track, MplayTransmitEntry transmit);

// PrepareMidiDevice: the preparation call with devices (one per track), then,
// when transmitEvents, every track in order whatever the preparation
// answered. Returns the preparation's result (non-zero: ready); 0 without a
// preparation entry.
uint8_t HandSongToEngine(const CSongData& song, MplayPrepareEntry prepare,
                         MplayTransmitEntry transmit, std::span<const int16_t> devices,
                         bool transmitEvents);

} // namespace core
