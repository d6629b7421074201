#include "core/tests/support/interchange_fuzz_entry.h"

#include <string_view>

#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"

namespace core::testing {
namespace {

bool LinesWithin(std::string_view text, size_t limit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    if (end - start > limit)
      return false;
    start = end + 1;
  }
  return true;
}

} // namespace

std::string CheckInterchangeInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return {};
  const int16_t track = data[0] & 3;
  const int codePage = (data[0] & 4) ? 932 : 949;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  CSongData song;
  MakeEditSong(song, {{0, 120}, {240, 60}, {480, 480}});
  AddLyricLines(song, {{{0, 100, "la"}, {240, 50, "\xb0\xa1"}}, {{480, 400, "end"}}});
  song.InsertEvent(2, 200, 0, 2, "i", kKindImage);
  if (data[0] & 8)
    song.SetLyricTrack(0);
  song.unchanged = 1;
  int32_t events = 0;
  const std::string before = song.InterchangeText(events);
  const int16_t tracksBefore = song.TrackCount();

  std::string error;
  const int sections = song.ImportInterchangeText(text, track, &error, codePage);
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "import: " + fault;
  if (sections == 0 && !error.empty()) {
    if (song.InterchangeText(events) != before || song.TrackCount() != tracksBefore ||
        song.unchanged != 1)
      return "a refused import changed the song (" + error + ")";
    return {};
  }
  if (!error.empty())
    return "an import of " + std::to_string(sections) + " sections set an error: " + error;

  const std::string written = song.InterchangeText(events);
  const int16_t lyric = song.lyricTrack;
  if (song.ImportInterchangeText(written, lyric, &error, codePage) == 0 && !error.empty())
    return "the written text does not read back: " + error;
  if (auto fault = CheckSongInvariants(song); !fault.empty())
    return "read back: " + fault;
  if (LinesWithin(written, 256) && song.InterchangeText(events) != written)
    return "the text read back writes another text";
  return {};
}

} // namespace core::testing
