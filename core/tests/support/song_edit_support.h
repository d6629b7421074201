// What every song must satisfy after any edit: events in order, engine event
// counts, times and end times from the tempo map, lyric lines as a fresh
// rebuild gives them, track indexes and pool references in range.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {
class CSongData;
}

namespace core::testing {

// Empty when the song holds together, else the first fault found. justRead
// accepts the line fields as a song file reads them (before a rebuild).
std::string CheckSongInvariants(const CSongData& song, bool justRead = false);

struct NoteAt {
  int32_t tick;
  int32_t duration;
  uint8_t key = 60;
  uint8_t velocity = 100;
};

// A new song (120 ticks per quarter, 4/4, 600000 per quarter) with the
// melody on track 1 (channel 0) and an empty lyric track 2.
void MakeEditSong(CSongData& song, const std::vector<NoteAt>& melody = {});

// Lyric lines on the lyric track: each line opens with a line break and a
// next-line event at its first syllable; syllables as (tick, duration).
struct SyllableAt {
  int32_t tick;
  int32_t duration;
  std::string_view text = "la";
};
void AddLyricLines(CSongData& song, const std::vector<std::vector<SyllableAt>>& lines);

// The syllables of the lyric track as "text@tick+duration" separated by
// spaces, "/" for a line break.
std::string DescribeLyrics(const CSongData& song);

// The sounding note-ons of a track as (key, velocity), in order.
std::vector<std::pair<int, int>> NoteOns(const CSongData& song, int track);

} // namespace core::testing
