#include "core/songinfo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/messages.h"
#include "core/songdata.h"
#include "platform/sys/json.h"

namespace core {

int64_t CountNotes(const CSongData& song) {
  int64_t n = 0;
  for (const auto& t : song.tracks)
    for (const auto& e : t.events)
      n += e.IsSoundingNoteOn() ? 1 : 0;
  return n;
}

std::string SongInfoJson(const CSongData& song, int codePage) {
  std::string out = "{";
  out += "\"ticksPerQuarter\":" + std::to_string(song.ticksPerQuarter);
  out += ",\"trackCount\":" + std::to_string(song.TrackCount());
  out += ",\"noteCount\":" + std::to_string(CountNotes(song));
  out += ",\"tempoMap\":[";
  for (size_t i = 0; i < song.tempoMap.size(); ++i) {
    const auto& e = song.tempoMap[i];
    out += i ? "," : "";
    out += "{\"tick\":" + std::to_string(e.tick) +
           ",\"usPerQuarter\":" + std::to_string(e.usPerQuarter) +
           ",\"ms\":" + std::to_string(e.ms) + "}";
  }
  out += "],\"endMs\":" + std::to_string(song.endMs);
  out += ",\"title\":";
  sys::AppendJsonString(out, sys::ToUtf8(song.title, codePage));
  out += ",\"syllables\":[";
  int lines = 0;
  if (song.lyricsPresent && song.HasTrack(song.lyricTrack)) {
    const Track& lyric = song.tracks[song.lyricTrack];
    lines = lyric.lineCount;
    bool first = true;
    for (const auto& e : lyric.events) {
      if (e.kind != kKindSyllable)
        continue;
      out += first ? "" : ",";
      first = false;
      out +=
          "{\"tick\":" + std::to_string(e.tick) + ",\"ms\":" + std::to_string(e.ms) + ",\"text\":";
      sys::AppendJsonString(out, sys::ToUtf8(song.SyllableText(song.lyricTrack, e), codePage));
      out += "}";
    }
  }
  out += "],\"lines\":" + std::to_string(lines) + "}";
  return out;
}

int InfoCommand(std::span<char*> args) {
  int codePage = sys::kDefaultCodePage;
  const char* file = nullptr;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--codepage" && i + 1 < args.size()) {
      codePage = std::atoi(args[++i]);
    } else if (!file) {
      file = args[i];
    } else {
      file = nullptr;
      break;
    }
  }
  if (!file) {
    std::fprintf(stderr, "usage: vexo3 info [--codepage N] FILE\n");
    return 2;
  }
  FILE* f = std::fopen(file, "rb");
  if (!f) {
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", file, std::strerror(errno));
    return 1;
  }
  std::fclose(f);
  int kind = GetSongFileKind(file);
  if (kind == kFileByExtension) {
    std::fprintf(stderr, "vexo3: cannot read %s: not a song file (.vx3, .sb3, .sw3, .mid, .kar)\n",
                 file);
    return 1;
  }
  CSongData song;
  ClearLastMessage();
  if (!song.LoadByKind(file, kind)) {
    int message = LastMessage();
    std::string reason = message ? std::string(MessageText(message)) : "the file cannot be read";
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", file, reason.c_str());
    return 1;
  }
  std::string json = SongInfoJson(song, codePage);
  std::fwrite(json.data(), 1, json.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

} // namespace core
