#include "core/songconvert.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/songdata.h"

namespace core {
namespace {

bool IsSaveKind(long kind) {
  return kind == kSaveMidi || kind == kSaveKaraoke ||
         (kind >= kSaveV300First && kind <= kSaveV300Last) ||
         (kind >= kSaveV350First && kind <= kSaveV350Last) ||
         (kind >= kSaveV350PackedFirst && kind <= kSaveV350PackedLast);
}

bool IsReadableKind(int kind) {
  return kind == kFileVx3 || kind == kFileSb3 || kind == kFileSw3 || kind == kFileMidi ||
         kind == kFileKaraoke;
}

int Usage() {
  std::fprintf(stderr, "usage: vexo3 convert IN OUT --kind K\n"
                       "  K: 1005 MIDI, 1006 karaoke MIDI, 1010/1011 song file 3.00,\n"
                       "     1020-1022 song file 3.50, 1030-1032 song file 3.50 packed\n");
  return 2;
}

// The handlers of the command: nobody to ask at a terminal, so the command
// says what it was asked and goes on, as the user named the output. A
// message is only remembered: the command's own error line gives it.
struct TerminalMessages {
  TerminalMessages() {
    SetMessageHandlers(nullptr, [](int, std::string_view text) {
      std::fprintf(stderr, "vexo3: %.*s yes\n", static_cast<int>(text.size()), text.data());
      return true;
    });
  }
  ~TerminalMessages() { SetMessageHandlers(nullptr, nullptr); }
};

} // namespace

int ConvertCommand(std::span<char*> args) {
  const char* in = nullptr;
  const char* out = nullptr;
  long kind = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    if (a == "--kind" && i + 1 < args.size()) {
      char* end = nullptr;
      kind = std::strtol(args[++i], &end, 10);
      if (!end || *end != '\0')
        return Usage();
    } else if (!in) {
      in = args[i];
    } else if (!out) {
      out = args[i];
    } else {
      return Usage();
    }
  }
  if (!in || !out || !IsSaveKind(kind))
    return Usage();
  int inKind = GetSongFileKind(in);
  if (!IsReadableKind(inKind)) {
    std::fprintf(stderr, "vexo3: cannot read %s: not a song file (.vx3, .sb3, .sw3, .mid, .kar)\n",
                 in);
    return 1;
  }
  if (FILE* f = std::fopen(in, "rb")) {
    std::fclose(f);
  } else {
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", in, std::strerror(errno));
    return 1;
  }
  TerminalMessages messages;
  CSongData song;
  ClearLastMessage();
  if (!song.LoadByKind(in, inKind)) {
    int message = LastMessage();
    std::string reason = message ? std::string(MessageText(message)) : "the file is damaged";
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", in, reason.c_str());
    return 1;
  }
  ClearLastMessage();
  if (song.SaveByKind(out, static_cast<int>(kind)) <= 0) {
    int message = LastMessage();
    std::string reason = message ? std::string(MessageText(message)) : "the file cannot be written";
    std::fprintf(stderr, "vexo3: cannot save %s: %s\n", out, reason.c_str());
    return 1;
  }
  return 0;
}

} // namespace core
