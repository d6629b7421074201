// The 24-byte event record of a song track. The same bytes travel to the lyric
// display unchanged, so the layout and its little-endian form are binding.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/sys/bytes.h"
#include "platform/sys/midi_message.h"

namespace core {

// What the data field (and the length field) of an event carries.
enum EventKind : uint8_t {
  kKindChannel = 0,       // data: status | data1 << 8 | data2 << 16
  kKindTimeSignature = 1, // data: numerator, power of two of the denominator, clocks, 32nds
  kKindTempo = 2,         // data: microseconds per quarter (24 bits)
  kKindKeySignature = 3,  // data: sharps (signed byte), minor flag
  kKindWave = 12,         // data low 16 bits: embedded wave slot; length: a second value
  kKindSysEx = 13,        // data: data-pool offset of status + data bytes; length: byte count
  kKindSeqSpecific = 14,  // data: data-pool offset of the whole meta event; length: byte count
  kKindOtherMeta = 15,    // as kKindSeqSpecific
  kKindSyllable = 16,     // data: text offset | length << 16 in the track's text; length: line
  kKindLineBreak = 17,    // data: line-table entry of the line it opens; length: that line
  kKindNextLine = 18,     // data: line-table entry of the following line; length: a line index
  kKindImage = 19,        // data: data-pool offset of the request text; length: bytes with zero
  kKindSinger = 20,       // data: singer number, sign-extended
  kKindText = 65,         // 65-71: text meta events 1-7; data: data-pool offset; length: bytes
  kKindCopyright = 66,    //   with the terminating zero
  kKindTrackName = 67,
  kKindInstrumentName = 68,
  kKindMidiLyric = 69,
  kKindMarker = 70,
  kKindCuePoint = 71,
};

constexpr bool IsTextKind(uint8_t kind) {
  return kind >= kKindText && kind <= kKindCuePoint;
}
// Kinds whose data field is an offset into the song's data pool.
constexpr bool IsPoolKind(uint8_t kind) {
  return kind == kKindSysEx || kind == kKindSeqSpecific || kind == kKindOtherMeta ||
         kind == kKindImage || IsTextKind(kind);
}

struct SongEvent {
  uint32_t tick = 0;       // song position in ticks
  uint32_t ms = 0;         // time of the tick, from the tempo map
  uint32_t duration = 0;   // ticks (notes, syllables)
  uint32_t durationMs = 0; // ms(tick + duration) - ms(tick)
  uint8_t kind = 0;
  uint8_t imageAction = 0; // kind 19 only, set by the editor; never stored in files
  uint16_t length = 0;     // byte count in a pool, or a line index on the lyric track
  uint32_t data = 0;

  uint8_t Status() const { return data & 0xFF; }
  uint8_t Data1() const { return (data >> 8) & 0xFF; }
  uint8_t Data2() const { return (data >> 16) & 0xFF; }
  // A channel note-on that sounds (velocity above 0).
  bool IsSoundingNoteOn() const {
    return kind == kKindChannel && sys::midi::TypeOf(Status()) == sys::midi::kNoteOn &&
           Data2() != 0;
  }
};
static_assert(sizeof(SongEvent) == 24);

constexpr size_t kSongEventSize = 24;

void WriteSongEvent(sys::ByteWriter& out, const SongEvent& e);
std::optional<SongEvent> ReadSongEvent(sys::ByteReader& in);

} // namespace core
