// Hand-built song files of both versions for the reader tests, the golden
// tests and the fuzz seeds. Every field is written out here from the file
// layout, not by the song object's writers; options change one field at a
// time so that tests can damage exactly one thing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace core::testing {

using Bytes = std::vector<uint8_t>;

// Little-endian fields.
Bytes U16(uint16_t v);
Bytes U32(uint32_t v);
// text cut or zero-padded to exactly size bytes.
Bytes Field(const std::string& text, size_t size);
Bytes Text(const std::string& text);
void Append(Bytes& out, const Bytes& more);

// The keys as this test suite knows them (a changed key in the program must
// break the golden tests).
extern const std::array<uint8_t, 24> kTestEventKey;
extern const std::array<uint8_t, 20> kTestV300Key;
// LZSS, then XOR with the key.
Bytes PackForFile(const Bytes& plain, const uint8_t* key, size_t keySize);

// The fixture's event data: three tracks.
//   0: tempo 500000, 3/4, 2 flats minor at 0; tempo 250000 at 240.
//   1: track name "Piano", bank select 2 and program 21 on channel 0, note
//      60 (velocity 100, 96 ticks), a system exclusive F0 7E F7 at 96, a wave
//      event (slot 3, second value 7) and singer -2 at 96.
//   2: the lyric track: break and next line at 0, "Hel" (0, 60 ticks), "lo"
//      (60, 60), break and next line at 120, "world" (120, 128), image "IMG"
//      at 248; its text "Helloworld".
Bytes FixtureEventData();

struct V350Options {
  uint8_t byte15 = 0x1A;
  std::string title = "Fixture";
  uint32_t infoSize = 273;
  uint8_t packed = 0;
  std::string keyword = "hello";
  uint16_t ticksPerQuarter = 120;
  uint16_t trackCount = 3;
  uint16_t melody = 1;
  uint16_t lyric = 2;
  std::vector<uint16_t> ports = {0, 1, 0};
  std::optional<uint16_t> fieldsSize; // H; 16 + 2 x ports by default
  Bytes events = FixtureEventData();
  std::optional<uint32_t> unpackedSize; // U; the event data's size by default
  std::optional<uint32_t> storedSize;   // S; the stored bytes' size by default
  bool lyrics = true;
  bool bank = true; // slot bankSlot, name only "bank.sf2", bank number 255 (bank 0)
  uint8_t bankSlot = 5;
  bool waves = true; // slot waveSlot "Clap", mono, 16 bits, 22050 Hz, 01 02 03 04
  uint16_t waveSlot = 3;
  uint16_t waveCount = 1;
};
Bytes V350File(const V350Options& o = {});

struct V300Options {
  std::string title = "Old";
  uint16_t melody = 1;
  uint16_t infoWord = 0x0102;
  Bytes records;                      // 11-byte lyric records, unpacked
  std::optional<uint32_t> recordSize; // stated unpacked size of the records
  std::string text;                   // lyric text
  Bytes midi;                         // the Standard MIDI File, unpacked
  std::optional<uint32_t> midiSize;   // stated unpacked size of the MIDI part
  bool bank = false;                  // slot 9 embedded: bytes 'S' 'F'
};
Bytes V300File(const V300Options& o);
// One lyric record.
Bytes LyricRecord(uint32_t tick, uint32_t data, uint16_t duration, uint8_t kind);

} // namespace core::testing
