#include "host/lyrics_command.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/songdata.h"
#include "host/song_files.h"
#include "platform/sys/codepage.h"

namespace host {
namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vexo3 lyrics IN TEXT OUT [--melody N] [--split] [--codepage N] [--marks]\n"
               "  IN: a MIDI, karaoke or song file; TEXT: the lyrics, \"/\" between syllables,\n"
               "  a line per lyric line; OUT: .kar, .mid or .vx3\n");
  return 2;
}

bool ParseInt(const char* text, long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtol(text, &end, 10);
  return end && end != text && *end == '\0' && errno == 0;
}

// Note-ons that sound, on a channel other than the drums'.
int64_t MelodyNotes(const core::Track& t) {
  int64_t n = 0;
  for (const auto& e : t.events)
    n += e.IsSoundingNoteOn() && (e.Status() & 0x0F) != 9;
  return n;
}

// The melody: the song's own when it has notes; else, for a song with
// lyrics, the track whose notes stand on most of its syllables with the
// fewest other notes; else the first track with notes off the drum channel.
int16_t ChooseMelody(const core::CSongData& song) {
  if (song.HasTrack(song.melodyTrack) && song.melodyTrack > 0 &&
      song.melodyTrack != song.lyricTrack && MelodyNotes(song.tracks[song.melodyTrack]) > 0)
    return static_cast<int16_t>(song.melodyTrack);
  std::set<uint32_t> syllables;
  if (song.lyricsPresent && song.HasTrack(song.lyricTrack))
    for (const auto& e : song.tracks[song.lyricTrack].events)
      if (e.kind == core::kKindSyllable)
        syllables.insert(e.tick);
  int16_t best = -1;
  int64_t bestScore = 0;
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    if (t == song.lyricTrack || MelodyNotes(song.tracks[t]) == 0)
      continue;
    // Onsets, not notes: a chord stands on a syllable once.
    std::set<uint32_t> onsets;
    for (const auto& e : song.tracks[t].events)
      if (e.IsSoundingNoteOn())
        onsets.insert(e.tick);
    int64_t hits = 0, others = 0;
    for (uint32_t tick : onsets) {
      if (syllables.count(tick))
        ++hits;
      else
        ++others;
    }
    const int64_t score = 2 * hits - others;
    if (best < 0 || (hits > 0 && score > bestScore)) {
      best = t;
      bestScore = hits > 0 ? score : INT64_MIN;
    }
  }
  return best;
}

} // namespace

int LyricsCommand(std::span<char*> args) {
  const char* in = nullptr;
  const char* textFile = nullptr;
  const char* out = nullptr;
  long melody = -1, codePage = 0;
  bool split = false, marks = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--melody" && i + 1 < args.size()) {
      if (!ParseInt(args[++i], melody) || melody < 0)
        return Usage();
    } else if (a == "--codepage" && i + 1 < args.size()) {
      if (!ParseInt(args[++i], codePage) || codePage <= 0)
        return Usage();
    } else if (a == "--split") {
      split = true;
    } else if (a == "--marks") {
      marks = true;
    } else if (a.starts_with("--")) {
      return Usage();
    } else if (!in) {
      in = args[i];
    } else if (!textFile) {
      textFile = args[i];
    } else if (!out) {
      out = args[i];
    } else {
      return Usage();
    }
  }
  if (!in || !textFile || !out)
    return Usage();
  const int saveKind = SaveKindFor(out);
  if (!saveKind) {
    std::fprintf(stderr, "vexo3: cannot save %s: not a .kar, .mid or .vx3 file\n", out);
    return 2;
  }

  std::ifstream textIn(textFile, std::ios::binary);
  if (!textIn) {
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", textFile, std::strerror(errno));
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(textIn)), std::istreambuf_iterator<char>());
  if (text.starts_with("\xEF\xBB\xBF"))
    text.erase(0, 3);
  // The end of the file's last line opens no empty line.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  if (codePage) {
    // The text file is UTF-8; the song keeps its lyrics in the code page.
    auto converted = sys::FromUtf8(text, static_cast<int>(codePage));
    if (!converted) {
      std::fprintf(stderr, "vexo3: %s is not UTF-8 text that code page %ld can hold\n", textFile,
                   codePage);
      return 1;
    }
    text = std::move(*converted);
  }

  TerminalMessages messages;
  core::CSongData song;
  if (!LoadSongFile(song, in))
    return 1;
  int16_t track = melody >= 0 ? static_cast<int16_t>(melody) : ChooseMelody(song);
  if (!song.HasTrack(track)) {
    if (melody >= 0)
      std::fprintf(stderr, "vexo3: %s has no track %ld (tracks 0-%d)\n", in, melody,
                   song.TrackCount() - 1);
    else
      std::fprintf(stderr, "vexo3: %s has no notes to put the lyrics on\n", in);
    return 1;
  }
  song.SetMelodyTrack(track);
  song.lyricTextAutoSplit = split ? 1 : 0;
  if (!song.ImportLyricBytes(text)) {
    std::fprintf(stderr, "vexo3: no lyrics in %s, or no room for a lyric track\n", textFile);
    return 1;
  }
  int32_t imageMarks = 0;
  if (marks) {
    song.RemoveLyricMarks();
    imageMarks = song.AutoInsertLyricMarks(100, 5000, 2, 4);
    song.AlignLineBreaks();
  }
  if (!SaveSongFile(song, out, saveKind))
    return 1;
  const auto [syllables, lines] = CountLyrics(song.tracks[song.lyricTrack]);
  const int64_t notes = MelodyNotes(song.tracks[track]);
  std::printf("%s: %lld syllables in %lld lines on %lld notes of track %d", out,
              static_cast<long long>(syllables), static_cast<long long>(lines),
              static_cast<long long>(notes), track);
  if (marks)
    std::printf(", %d image marks", imageMarks);
  std::printf("\n");
  if (syllables > notes)
    std::printf("%lld syllables more than notes follow the last note\n",
                static_cast<long long>(syllables - notes));
  return 0;
}

} // namespace host
