// The 541-byte song record of the song album: every album file carries it or
// points to it, the look-ups hand it out and the games receive it at the
// head of their song records. Fixed text fields are code-page bytes, each
// ending in a zero byte.
#pragma once

#include "platform/sys/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace album {

struct [[gnu::packed]] SongRecord {
  uint32_t number = 0;                // 1 upwards; 0 none
  std::array<char, 48> title{};       // 4
  std::array<char, 32> singer{};      // 52
  std::array<char, 32> lyricist{};    // 84
  std::array<char, 32> composer{};    // 116
  std::array<uint8_t, 16> songCode{}; // 148; byte 6 is the category
  std::array<char, 120> excerpt{};    // 164
  char type = 0;                      // 284: 't', 'b', 'w', 'o' (or 'T', 'B', 'W')
  std::array<char, 256> fileName{};   // 285
};
constexpr size_t kSongRecordSize = 541;
static_assert(sizeof(SongRecord) == kSongRecordSize);
constexpr size_t kSongCodeCategory = 6;

// Reads one record field by field; false (reader unmoved) when fewer than 541
// bytes remain.
bool ReadSongRecord(sys::ByteReader& in, SongRecord& out);
void WriteSongRecord(sys::ByteWriter& out, const SongRecord& record);

// The text of a fixed field: its bytes up to the first zero (all of them
// when there is none).
std::string FieldText(std::span<const char> field);
// text up to its first zero byte, cut to at most maxBytes without ending in
// half a double-byte character.
std::string_view CutText(std::string_view text, size_t maxBytes);
// Stores text in a fixed field: at most its width less one byte, never half a
// double-byte character, then zeros to the end.
void SetField(std::span<char> field, std::string_view text);

} // namespace album
