#include "core/tests/support/lyrictext_fuzz_entry.h"

#include <algorithm>
#include <string_view>

#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"

namespace core::testing {
namespace {

std::string WithoutSeparators(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '/' && c != '\r' && c != '\n')
      out.push_back(c);
  return out;
}

} // namespace

std::string CheckLyricTextInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return {};
  const bool split = data[0] & 1;
  const bool range = data[0] & 2;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  CSongData song;
  MakeEditSong(song, {{0, 120}, {240, 60}, {480, 480}, {2400, 120}, {2460, 30}});
  song.lyricTextAutoSplit = split ? 1 : 0;
  const int imported = song.ImportLyricBytes(text);
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "import: " + fault;
  if (imported) {
    std::string syllables;
    for (const auto& e : song.tracks[song.lyricTrack].events)
      if (e.kind == kKindSyllable)
        syllables += song.SyllableText(song.lyricTrack, e);
    if (WithoutSeparators(syllables) != WithoutSeparators(text.substr(0, 65535)))
      return "the syllables do not hold the text";
  } else if (song.tracks[2].EventCount() != 0 || song.TrackCount() != 3) {
    return "a refused import changed the song";
  }
  song.InsertLyricRange(song.lyricTrack, 100, range ? 2000 : -1, text.substr(0, 4096));
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "range: " + fault;
  song.AutoSyncLyrics(song.lyricTrack, 1, 200, 7);
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "sync: " + fault;
  song.AutoInsertLyricMarks(100, 5000, 2, 4);
  song.AlignLineBreaks();
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "marks: " + fault;
  song.RemoveLyricMarks();
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "marks removed: " + fault;
  return {};
}

} // namespace core::testing
