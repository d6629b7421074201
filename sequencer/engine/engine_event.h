// The engine's event record: one event of a track buffer, as the player core
// hands it over one at a time.
#pragma once

#include <cstdint>

namespace seq {

struct EngineEvent {
  uint32_t tick = 0;
  int32_t time = 0; // ms from the start of the song
  uint32_t data = 0;
  uint8_t kind = 0;
  uint8_t nextTrack = 0; // track of the next event in time order; 0 on the last
  uint16_t reserved = 0; // upper bytes of the kind argument, never read
  uint32_t postValue = 0;
};
static_assert(sizeof(EngineEvent) == 20);

// Kinds the engine acts on; every other kind is passed over.
enum EventKind : uint8_t {
  kKindMidi = 0,
  kKindTempo = 2,
  kKindWave = 12, // an embedded wave falls due: told to the notification window
  kKindSyllable = 16,
  kKindLyricLast = 31,
  // A slot of a buffer that the player core never wrote.
  kKindUnwritten = 0xFF,
};

} // namespace seq
