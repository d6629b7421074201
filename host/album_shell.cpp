// "album shell": one album session that reads commands from standard input
// and prints each result, for trying the reservation queue and the song
// list as a host uses them; "album export": the song list written once.
// Texts go in and out as UTF-8, the album keeps code-page bytes.
#include "album/reserve.h"
#include "album/songrecord.h"
#include "host/album_client.h"
#include "host/album_command.h"
#include "host/album_session.h"
#include "platform/sys/bytes.h"
#include "platform/sys/codepage.h"
#include "platform/sys/paths.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace host {
namespace {

const char* const kKinds[] = {"taken", "removed", "removed last", "cleared", "added"};

std::string Shown(std::string_view bytes) {
  return sys::ToUtf8(bytes);
}

std::string LinuxShown(std::string_view stored) {
  return sys::ToLinuxPath(stored).value_or(Shown(stored));
}

int32_t I32At(const uint8_t* at) {
  sys::ByteReader in(at, 4);
  return static_cast<int32_t>(in.U32LE().value_or(0));
}

void PrintNotice(int32_t kind, int32_t number, int32_t position, void*) {
  std::printf("notice: %s, song %d, position %d\n",
              kind >= 0 && kind <= 4 ? kKinds[kind] : "unknown", number, position);
}

// The session with the catalogue loaded; false with a line on standard
// error when there is none.
bool Open(AlbumSession& s) {
  if (!s.Start())
    return false;
  if (s.Load() != 1 && s.T().GetNumOfSubAlb() == 0) {
    std::fprintf(stderr, "vexo3: no song catalogue (make one with 'vexo3 album build DIR')\n");
    return false;
  }
  return true;
}

// Writes the list and says where; with utf8 the list follows, converted.
int Export(const Tondo32Exports& t, bool tabs, bool editor, bool utf8) {
  char path[4096] = {};
  int result = t.WriteSongList(tabs, editor, path, sizeof path);
  if (result < 0) {
    std::fprintf(stderr, "vexo3: no song catalogue is loaded\n");
    return 1;
  }
  if (result == 0) {
    std::fprintf(stderr, "vexo3: the song list cannot be written; %s is unchanged\n", path);
    return 1;
  }
  std::printf("song list written to %s\n", path);
  if (utf8) {
    FILE* f = std::fopen(path, "rb");
    std::string bytes;
    if (f) {
      char buffer[65536];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
      std::fclose(f);
    }
    std::fputs(sys::ToUtf8(bytes).c_str(), stdout);
  }
  return 0;
}

// The songs whose titles begin with the text, through the album's title
// query.
void Find(const Tondo32Exports& t, const std::string& text) {
  std::vector<uint8_t> bytes(album::kSongRecordSize);
  int found = 0;
  if (t.OpenQueryByTitleSinger(sys::FromUtf8Lossy(text).c_str(), 0)) {
    for (int32_t step; (step = t.GetQueryByTitleSinger(bytes.data())) != 0;) {
      album::SongRecord r;
      sys::ByteReader in(bytes.data(), bytes.size());
      if (step != 1 || !album::ReadSongRecord(in, r))
        continue;
      std::printf("%u\t%s\t%s\n", r.number, Shown(album::FieldText(r.title)).c_str(),
                  Shown(album::FieldText(r.singer)).c_str());
      ++found;
    }
    t.CloseQueryByTitleSinger();
  }
  std::printf("%d found\n", found);
}

void Queue(const Tondo32Exports& t) {
  const auto* block = static_cast<const uint8_t*>(t.GetReservedSongBlock());
  if (!block) {
    std::printf("the queue is empty\n");
    return;
  }
  const int32_t count = I32At(block);
  const uint8_t* at = block + 4;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t number = I32At(at);
    std::string title = album::FieldText(
        std::span<const char>(reinterpret_cast<const char*>(at + 4), album::kReservationTitleSize));
    const auto length = static_cast<uint32_t>(I32At(at + 52));
    std::string path(reinterpret_cast<const char*>(at + album::kReservationEntryHead), length);
    std::printf("%d\t%d\t%s\t%s\n", i + 1, number, Shown(title).c_str(), LinuxShown(path).c_str());
    at += album::kReservationEntryHead + length;
  }
  std::printf("%d queued\n", count);
  t.FreeReservedSongBlock();
}

void Block(const Tondo32Exports& t) {
  const auto* block = static_cast<const uint8_t*>(t.GetReservedSongBlock());
  if (!block) {
    std::printf("no block: the queue is empty\n");
    return;
  }
  // The size follows from the entries; the closing zero is part of it.
  const int32_t count = I32At(block);
  size_t size = 4;
  for (int32_t i = 0; i < count; ++i)
    size += album::kReservationEntryHead + static_cast<uint32_t>(I32At(block + size + 52));
  size += 1;
  std::printf("block: %d entries, %zu bytes\n", count, size);
  for (size_t row = 0; row < size; row += 16) {
    std::printf("%06zx ", row);
    for (size_t i = row; i < row + 16 && i < size; ++i)
      std::printf(" %02x", block[i]);
    std::printf("\n");
  }
  t.FreeReservedSongBlock();
}

void Take(const Tondo32Exports& t, int position) {
  const auto* r = static_cast<const uint8_t*>(t.GetReservedSong(position));
  if (!r) {
    std::printf("nothing at position %d\n", position);
    return;
  }
  std::string title = album::FieldText(
      std::span<const char>(reinterpret_cast<const char*>(r + 4), album::kReservationTitleSize));
  std::string path = album::FieldText(
      std::span<const char>(reinterpret_cast<const char*>(r + album::kReservationEntryHead),
                            album::kReservationPathSize));
  std::printf("took %d\t%s\t%s\n", I32At(r), Shown(title).c_str(), LinuxShown(path).c_str());
}

const char kShellHelp[] =
    "commands: find TEXT | reserve N... | add N TITLE PATH | queue | take [POS] |\n"
    "          unreserve [N] | clear | block | export [--tsv] | help | quit\n";

bool RunLine(const Tondo32Exports& t, const std::string& line) {
  std::istringstream in(line);
  std::string cmd;
  if (!(in >> cmd))
    return true;
  std::vector<std::string> words;
  for (std::string w; in >> w;)
    words.push_back(w);
  if (cmd == "quit" || cmd == "exit")
    return false;
  if (cmd == "help") {
    std::fputs(kShellHelp, stdout);
  } else if (cmd == "find" && !words.empty()) {
    std::string text = line.substr(line.find("find") + 4);
    text.erase(0, text.find_first_not_of(" \t"));
    Find(t, text);
  } else if (cmd == "reserve" && !words.empty()) {
    for (const std::string& w : words) {
      int n = std::atoi(w.c_str());
      int before = t.GetNumOfReservedSong();
      t.AddSongReserve1(n);
      if (t.GetNumOfReservedSong() == before)
        std::printf("no song %s\n", w.c_str());
    }
    std::printf("%d queued\n", t.GetNumOfReservedSong());
  } else if (cmd == "add" && words.size() >= 3) {
    int n = std::atoi(words[0].c_str());
    std::string title;
    for (size_t i = 1; i + 1 < words.size(); ++i)
      title += (i > 1 ? " " : "") + words[i];
    std::string path = sys::ToStoredPath(words.back()).value_or(words.back());
    t.AddSongReserve(n, sys::FromUtf8Lossy(title).c_str(), sys::FromUtf8Lossy(path).c_str());
    std::printf("%d queued\n", t.GetNumOfReservedSong());
  } else if (cmd == "queue" && words.empty()) {
    Queue(t);
  } else if (cmd == "take" && words.size() <= 1) {
    Take(t, words.empty() ? 1 : std::atoi(words[0].c_str()));
  } else if (cmd == "unreserve" && words.size() <= 1) {
    int removed =
        words.empty() ? t.RemoveReservedSong0() : t.RemoveReservedSong(std::atoi(words[0].c_str()));
    std::printf(removed ? "removed\n" : "nothing removed\n");
  } else if (cmd == "clear" && words.empty()) {
    t.ClearReservedSong();
    std::printf("the queue is empty\n");
  } else if (cmd == "block" && words.empty()) {
    Block(t);
  } else if (cmd == "export" && (words.empty() || (words.size() == 1 && words[0] == "--tsv"))) {
    Export(t, !words.empty(), true, false);
  } else {
    std::printf("unknown command: %s\n%s", line.c_str(), kShellHelp);
  }
  return true;
}

int Shell() {
  AlbumSession s;
  if (!Open(s))
    return 1;
  const Tondo32Exports& t = s.T();
  t.SetReserveNotice(PrintNotice, nullptr);
  const bool prompt = isatty(0);
  std::printf("%d songs; type help for the commands\n", t.GetTotalNumOfSong());
  std::string line;
  for (;;) {
    if (prompt) {
      std::printf("album> ");
    }
    std::fflush(stdout);
    if (!std::getline(std::cin, line))
      break;
    if (!RunLine(t, line))
      break;
  }
  t.SetReserveNotice(nullptr, nullptr);
  std::fflush(stdout);
  return 0;
}

} // namespace

int AlbumShellCommand(std::string_view what, std::span<char*> args) {
  if (what == "shell")
    return args.empty() ? Shell() : 2;
  bool tabs = false, editor = true, utf8 = false;
  for (const char* a : args) {
    std::string_view arg = a;
    if (arg == "--tsv")
      tabs = true;
    else if (arg == "--no-editor")
      editor = false;
    else if (arg == "--utf8")
      utf8 = true;
    else
      return 2;
  }
  AlbumSession s;
  if (!Open(s))
    return 1;
  return Export(s.T(), tabs, editor, utf8);
}

} // namespace host
