// Hand-built album files for the format tests and the fuzz seeds. Every
// byte is laid out here from the file layouts, not by the album's writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace album::testing {

using Bytes = std::vector<uint8_t>;

Bytes U16(uint16_t v);
Bytes U32(uint32_t v);
Bytes Text(const std::string& text);
// text zero-padded (or cut) to exactly size bytes.
Bytes Field(const std::string& text, size_t size);
Bytes Zeros(size_t n);
Bytes Cat(std::initializer_list<Bytes> parts);
// The stored (scrambled) form of bytes: (b + i mod 5) XOR 0x80.
Bytes Scrambled(const std::string& plain);

struct RecordSpec {
  uint32_t number = 0;
  std::string title, singer, lyricist, composer;
  uint8_t category = 0; // SongCode byte 6; the other bytes 0xC0 + index
  std::string excerpt;
  char type = 't';
  Bytes fileName; // 256 bytes when given shorter: zero-padded
};
Bytes Record(const RecordSpec& r);

// The fixtures. Records: 7 "Arirang" (category 3, "arirang.vx3") and 9
// "Blue Moon" (category 5, "blue.sb3", type 'b').
std::vector<RecordSpec> FixtureRecords();
Bytes LocalAlbumFixture(uint32_t directIndex = 1);
// Base location "http://x/songs"; scrambled: it and the file names stored
// scrambled, types 'T' and 'b'.
Bytes InternetAlbumFixture(bool scrambled = false, uint32_t directIndex = 1);
// One sub-album (3, "/alb/Song0003.alb", "/songs/pop", 2 songs), two entries.
Bytes MasterAlbumFixture(bool v21);
// version 10, 11 or 12; written at 1700000000; new songs 9 and 7 when given.
Bytes ModeAlbumFixture(int version, bool newSongList);
// Two rolls ("iRo0001.alz" stamp 11, "iRo0002.alz" stamp 12), new songs 7.
Bytes ThunkFixture();
// The plain internet album packed; byte37 is the byte after the magic.
Bytes RollFixture(uint8_t byte37 = 0);

} // namespace album::testing
