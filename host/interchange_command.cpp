#include "host/interchange_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/songdata.h"
#include "host/song_files.h"
#include "platform/sys/atomic_file.h"

namespace host {
namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vexo3 interchange export SONG OUT.txt\n"
               "       vexo3 interchange import SONG IN.txt [--track N] [--codepage N] -o OUT\n"
               "  SONG: a MIDI, karaoke or song file; OUT: .kar, .mid or .vx3\n");
  return 2;
}

bool ParseInt(const char* text, long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtol(text, &end, 10);
  return end && end != text && *end == '\0' && errno == 0;
}

int Export(const char* songFile, const char* out) {
  TerminalMessages messages;
  core::CSongData song;
  if (!LoadSongFile(song, songFile))
    return 1;
  const bool lyrics = song.lyricTrack > 0 && song.HasTrack(song.lyricTrack);
  // The text is written here rather than by the song's export, so that a
  // failure can say why.
  int32_t events = 0;
  const std::string text = song.InterchangeText(events);
  errno = 0;
  if (!sys::ReplaceFileAtomically(out, text)) {
    std::fprintf(stderr, "vexo3: cannot write %s: %s\n", out,
                 errno ? std::strerror(errno) : "the file cannot be made");
    return 1;
  }
  if (lyrics)
    std::printf("%s: %d events of lyric track %d\n", out, events, song.lyricTrack);
  else
    std::printf("%s: the song's information only (%s has no lyric track)\n", out, songFile);
  return 0;
}

int Import(const char* songFile, const char* text, long track, long codePage, const char* out) {
  const int saveKind = SaveKindFor(out);
  if (!saveKind) {
    std::fprintf(stderr, "vexo3: cannot save %s: not a .kar, .mid or .vx3 file\n", out);
    return 2;
  }
  TerminalMessages messages;
  core::CSongData song;
  if (!LoadSongFile(song, songFile))
    return 1;
  // As the editor does: the lyric track unless a track is named.
  if (track < 0)
    track = song.lyricTrack;
  if (!song.HasTrack(track)) {
    std::fprintf(stderr, "vexo3: %s has no track %ld (tracks 0-%d)\n", songFile, track,
                 song.TrackCount() - 1);
    return 1;
  }
  std::string error;
  const int sections =
      song.ImportInterchange(text, static_cast<int16_t>(track), &error, static_cast<int>(codePage));
  if (!error.empty()) {
    std::fprintf(stderr, "vexo3: cannot import %s: %s\n", text, error.c_str());
    return 1;
  }
  if (!SaveSongFile(song, out, saveKind))
    return 1;
  std::printf("%s: %d track sections read", out, sections);
  if (song.lyricTrack > 0 && song.HasTrack(song.lyricTrack)) {
    const auto [syllables, lines] = CountLyrics(song.tracks[song.lyricTrack]);
    std::printf("; lyric track %d holds %lld syllables in %lld lines", song.lyricTrack,
                static_cast<long long>(syllables), static_cast<long long>(lines));
  }
  std::printf("\n");
  return 0;
}

} // namespace

int InterchangeCommand(std::span<char*> args) {
  if (args.empty())
    return Usage();
  const std::string_view mode = args[0];
  const char* files[2] = {nullptr, nullptr};
  const char* out = nullptr;
  long track = -1, codePage = sys::kDefaultCodePage;
  size_t fileCount = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (mode == "import" && a == "--track" && i + 1 < args.size()) {
      if (!ParseInt(args[++i], track) || track < 0)
        return Usage();
    } else if (mode == "import" && a == "--codepage" && i + 1 < args.size()) {
      if (!ParseInt(args[++i], codePage) || codePage <= 0)
        return Usage();
    } else if (mode == "import" && a == "-o" && i + 1 < args.size()) {
      out = args[++i];
    } else if (a.starts_with("-") || fileCount == 2) {
      return Usage();
    } else {
      files[fileCount++] = args[i];
    }
  }
  if (fileCount != 2)
    return Usage();
  if (mode == "export")
    return Export(files[0], files[1]);
  if (mode == "import" && out)
    return Import(files[0], files[1], track, codePage, out);
  return Usage();
}

} // namespace host
