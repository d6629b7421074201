#include "host/song_files.h"

#include <cerrno>
#include <cstdlib>

#include <cstdio>

#include "core/messages.h"

namespace host {

int SaveKindFor(const std::string& file) {
  switch (core::GetSongFileKind(file)) {
  case core::kFileKaraoke:
    return core::kSaveKaraoke;
  case core::kFileMidi:
    return core::kSaveMidi;
  case core::kFileVx3:
  case core::kFileSb3:
  case core::kFileSw3:
    return core::kSaveV350First;
  default:
    return 0;
  }
}

TerminalMessages::TerminalMessages() {
  core::SetMessageHandlers(nullptr, [](int, std::string_view) { return true; });
}

TerminalMessages::~TerminalMessages() {
  core::SetMessageHandlers(nullptr, nullptr);
}

bool LoadSongFile(core::CSongData& song, const char* file) {
  core::ClearLastMessage();
  if (song.LoadByExtension(file))
    return true;
  int message = core::LastMessage();
  std::string reason = message ? std::string(core::MessageText(message))
                               : "not a readable MIDI, karaoke or song file";
  std::fprintf(stderr, "vexo3: cannot read %s: %s\n", file, reason.c_str());
  return false;
}

bool SaveSongFile(core::CSongData& song, const char* file, int saveKind) {
  core::ClearLastMessage();
  if (song.SaveByKind(file, saveKind) > 0)
    return true;
  int message = core::LastMessage();
  std::string reason =
      message ? std::string(core::MessageText(message)) : "the file cannot be written";
  std::fprintf(stderr, "vexo3: cannot save %s: %s\n", file, reason.c_str());
  return false;
}

int EditSongFile(const std::string& file, const std::string& out,
                 const std::function<int(core::CSongData&)>& edit,
                 const std::function<void(const core::CSongData&)>& list) {
  core::CSongData song;
  if (!LoadSongFile(song, file.c_str()))
    return 1;
  if (int r = edit(song))
    return r;
  list(song);
  if (!out.empty()) {
    if (!SaveSongFile(song, out.c_str(), core::kSaveV350First))
      return 1;
    std::printf("wrote %s\n", out.c_str());
  }
  return 0;
}

int UsageError(const std::string& why, const char* usage) {
  std::fprintf(stderr, "vexo3: %s\n%s", why.c_str(), usage);
  return 2;
}

int Failure(const std::string& why) {
  std::fprintf(stderr, "vexo3: %s\n", why.c_str());
  return 1;
}

bool ParseBounded(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || errno != 0 || v < low || v > high)
    return false;
  *out = v;
  return true;
}

LyricCount CountLyrics(const core::Track& lyric) {
  LyricCount count;
  bool lineOpen = false;
  for (const auto& e : lyric.events) {
    if (e.kind == core::kKindLineBreak)
      lineOpen = false;
    if (e.kind == core::kKindSyllable) {
      ++count.syllables;
      count.lines += lineOpen ? 0 : 1;
      lineOpen = true;
    }
  }
  return count;
}

} // namespace host
