#include "host/album_command.h"

#include "album/albumformats.h"
#include "album/songprobe.h"
#include "platform/sys/codepage.h"
#include "platform/sys/json.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace host {
namespace {

class Json {
public:
  explicit Json(int codePage) : codePage_(codePage) {}

  void Open(char bracket) {
    Comma();
    out_ += bracket;
    first_ = true;
  }
  void Close(char bracket) {
    out_ += bracket;
    first_ = false;
  }
  void Key(std::string_view key) {
    Comma();
    Quoted(key);
    out_ += ':';
    first_ = true;
  }
  // Code-page bytes, shown in UTF-8.
  void Text(std::string_view key, std::string_view bytes) {
    Key(key);
    Comma();
    Quoted(sys::ToUtf8(bytes, codePage_));
  }
  void Plain(std::string_view key, std::string_view ascii) {
    Key(key);
    Comma();
    Quoted(ascii);
  }
  void Number(std::string_view key, int64_t v) {
    Key(key);
    Comma();
    out_ += std::to_string(v);
  }
  void Bool(std::string_view key, bool v) {
    Key(key);
    Comma();
    out_ += v ? "true" : "false";
  }
  void NumberItem(int64_t v) {
    Comma();
    out_ += std::to_string(v);
  }
  std::string Take() { return std::move(out_); }

private:
  void Comma() {
    if (!first_)
      out_ += ',';
    first_ = false;
  }
  void Quoted(std::string_view utf8) { sys::AppendJsonString(out_, utf8); }

  int codePage_;
  std::string out_;
  bool first_ = true;
};

std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

std::string Letter(char c) {
  return c >= 0x20 && c < 0x7F ? std::string(1, c) : Hex({reinterpret_cast<uint8_t*>(&c), 1});
}

void RecordFields(Json& j, const album::SongRecord& r) {
  j.Number("number", r.number);
  j.Text("title", album::FieldText(r.title));
  j.Text("singer", album::FieldText(r.singer));
  j.Text("lyricist", album::FieldText(r.lyricist));
  j.Text("composer", album::FieldText(r.composer));
  j.Plain("songCode", Hex(r.songCode));
  j.Number("category", r.songCode[album::kSongCodeCategory]);
  j.Text("excerpt", album::FieldText(r.excerpt));
  j.Plain("type", Letter(r.type));
  j.Text("fileName", album::FieldText(r.fileName));
}

void Records(Json& j, const std::vector<album::SongRecord>& records) {
  j.Key("records");
  j.Open('[');
  for (const album::SongRecord& r : records) {
    j.Open('{');
    RecordFields(j, r);
    j.Close('}');
  }
  j.Close(']');
}

void SubAlbums(Json& j, const std::vector<album::SubAlbumRecord>& subs) {
  j.Key("subAlbums");
  j.Open('[');
  for (const album::SubAlbumRecord& s : subs) {
    j.Open('{');
    j.Number("number", s.number);
    j.Text("albumPath", s.albumPath);
    j.Text("folder", s.folder);
    j.Number("songCount", s.songCount);
    j.Close('}');
  }
  j.Close(']');
}

void Entries(Json& j, const std::vector<album::SongIndexEntry>& entries) {
  j.Key("entries");
  j.Open('[');
  for (const album::SongIndexEntry& e : entries) {
    j.Open('{');
    j.Number("number", e.number);
    j.Number("subAlbum", e.subAlbum);
    j.Number("titleGroup", e.titleGroup);
    j.Number("position", e.position);
    j.Plain("type", Letter(e.type));
    j.Text("title", e.title);
    j.Text("fileName", e.fileName);
    j.Text("singer", e.singer);
    j.Plain("songCode", Hex(e.songCode));
    j.Close('}');
  }
  j.Close(']');
}

void Numbers(Json& j, std::string_view key, const std::vector<uint32_t>& numbers) {
  j.Key(key);
  j.Open('[');
  for (uint32_t n : numbers)
    j.NumberItem(n);
  j.Close(']');
}

const char* CodeText(int code) {
  switch (code) {
  case album::kAlbumWrongMagic:
    return "not an album file";
  case album::kAlbumShort:
    return "the file is cut short or damaged";
  case album::kAlbumTooLarge:
    return "a length in the file is larger than an album holds";
  default:
    return "unreadable";
  }
}

// The JSON of one album file, or the reader's code when it cannot be read.
int DumpAlbum(std::span<const uint8_t> bytes, int codePage, std::string& out) {
  Json j(codePage);
  j.Open('{');
  int code = album::kAlbumWrongMagic;
  if (album::HasMagic(bytes, album::kLocalAlbumMagic)) {
    album::LocalAlbum a;
    if ((code = album::ReadLocalAlbum(bytes, a)) == album::kAlbumRead) {
      j.Plain("kind", "local album");
      j.Number("songCount", a.songCount);
      j.Number("totalSize", a.totalSize);
      j.Text("name", a.name);
      j.Text("folder", a.folder);
      j.Number("directIndex", a.directIndex);
      Records(j, a.records);
    }
  } else if (album::HasMagic(bytes, album::kInternetAlbumMagic)) {
    album::InternetAlbum a;
    if ((code = album::ReadInternetAlbum(bytes, a)) == album::kAlbumRead) {
      j.Plain("kind", "internet album");
      j.Number("stamp", a.stamp);
      j.Number("directIndex", a.directIndex);
      j.Text("baseLocation", a.baseLocation);
      Records(j, a.records);
    }
  } else if (album::HasMagic(bytes, album::kMasterAlbumMagicV20) ||
             album::HasMagic(bytes, album::kMasterAlbumMagicV21)) {
    album::MasterAlbum a;
    if ((code = album::ReadMasterAlbum(bytes, a)) == album::kAlbumRead) {
      j.Plain("kind", "master album");
      j.Plain("version", a.version == 20 ? "2.0" : "2.1");
      SubAlbums(j, a.subAlbums);
      Entries(j, a.entries);
    }
  } else if (album::HasMagic(bytes, album::kModeAlbumMagicV10) ||
             album::HasMagic(bytes, album::kModeAlbumMagicV11) ||
             album::HasMagic(bytes, album::kModeAlbumMagicV12)) {
    album::ModeAlbum a;
    if ((code = album::ReadModeAlbum(bytes, a)) == album::kAlbumRead) {
      j.Plain("kind", "mode album");
      j.Plain("version", a.version == 10 ? "1.0" : a.version == 11 ? "1.1" : "1.2");
      j.Number("writtenAt", a.writtenAt);
      SubAlbums(j, a.subAlbums);
      Entries(j, a.entries);
      j.Bool("hasNewSongList", a.hasNewSongList);
      Numbers(j, "newSongs", a.newSongs);
    }
  } else if (album::HasMagic(bytes, album::kThunkMagic)) {
    album::ThunkFile t;
    if ((code = album::ReadThunkFile(bytes, t)) == album::kAlbumRead) {
      j.Plain("kind", "thunk");
      j.Key("rolls");
      j.Open('[');
      for (const album::RollEntry& r : t.rolls) {
        j.Open('{');
        j.Text("name", r.name);
        j.Number("stamp", r.stamp);
        j.Close('}');
      }
      j.Close(']');
      Numbers(j, "newSongs", t.newSongs);
    }
  } else if (album::HasMagic(bytes, album::kRollMagic)) {
    std::vector<uint8_t> inner;
    if ((code = album::UnpackRoll(bytes, inner)) == album::kAlbumRead) {
      std::string album;
      code = DumpAlbum(inner, codePage, album);
      j.Plain("kind", "roll");
      j.Number("unpackedSize", static_cast<int64_t>(inner.size()));
      j.Key("album");
      out = j.Take() + album + "}";
      return code;
    }
  }
  j.Close('}');
  out = j.Take();
  return code;
}

int Probe(std::span<char*> files, int codePage) {
  int result = 0;
  for (const char* file : files) {
    album::SongRecord r;
    album::SongProbe p;
    if (!album::ProbeSongRecord(file, r, &p)) {
      std::fprintf(stderr, "vexo3: cannot probe %s: not a readable song file (.vx3, .sb3, .sw3)\n",
                   file);
      result = 1;
      continue;
    }
    Json j(codePage);
    j.Open('{');
    j.Text("file", file);
    j.Plain("version", p.version == album::kSongVersionV300 ? "3.00" : "3.50");
    j.Number("soundBankKind", p.bankKind);
    j.Plain("letter", Letter(r.type));
    j.Key("record");
    j.Open('{');
    RecordFields(j, r);
    j.Close('}');
    j.Close('}');
    std::printf("%s\n", j.Take().c_str());
  }
  return result;
}

int Dump(const char* file, int codePage) {
  std::optional<std::vector<uint8_t>> bytes = album::ReadAlbumFileBytes(file);
  if (!bytes) {
    std::fprintf(stderr, "vexo3: cannot read %s\n", file);
    return 1;
  }
  std::string json;
  int code = DumpAlbum(*bytes, codePage, json);
  if (code != album::kAlbumRead) {
    std::fprintf(stderr, "vexo3: cannot read %s: %s\n", file, CodeText(code));
    return 1;
  }
  std::printf("%s\n", json.c_str());
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: vexo3 album probe [--codepage N] FILE...\n"
                       "       vexo3 album dump [--codepage N] FILE\n"
                       "       vexo3 album build DIR... [--add]\n"
                       "       vexo3 album import SRC DEST\n"
                       "       vexo3 album check|albums\n"
                       "       vexo3 album list [--album N]\n"
                       "       vexo3 album show NUMBER\n"
                       "       vexo3 album favourites [N]\n"
                       "       vexo3 album find TEXT [--singer|--text] [--album N|--favourites N] "
                       "[--category C]\n"
                       "       vexo3 album random|walk [--album N|--favourites N] [--category C]\n"
                       "       vexo3 album singers [POS]\n"
                       "       vexo3 album manager [--view N]\n"
                       "       vexo3 album shell\n"
                       "       vexo3 album export [--tsv] [--no-editor] [--utf8]\n"
                       "       vexo3 album mode|update 0-3\n"
                       "       vexo3 album server [URL]\n"
                       "       vexo3 album download [--remove] NUMBER...\n"
                       "       vexo3 album fetch URL FILE\n");
  return 2;
}

} // namespace

std::string SongRecordJson(const album::SongRecord& record, int codePage) {
  Json j(codePage);
  j.Open('{');
  RecordFields(j, record);
  j.Close('}');
  return j.Take();
}

int AlbumCommand(std::span<char*> args) {
  if (args.empty())
    return Usage();
  std::string_view what = args[0];
  if (what == "build" || what == "check" || what == "albums" || what == "list" || what == "show" ||
      what == "favourites" || what == "manager" || what == "find" || what == "random" ||
      what == "singers" || what == "walk" || what == "import") {
    int result = AlbumCatalogueCommand(what, args.subspan(1));
    return result == 2 ? Usage() : result;
  }
  if (what == "mode" || what == "update" || what == "server" || what == "download" ||
      what == "fetch") {
    int result = AlbumInetCommand(what, args.subspan(1));
    return result == 2 ? Usage() : result;
  }
  if (what == "shell" || what == "export") {
    int result = AlbumShellCommand(what, args.subspan(1));
    return result == 2 ? Usage() : result;
  }
  int codePage = sys::kDefaultCodePage;
  std::vector<char*> files;
  for (size_t i = 1; i < args.size(); ++i) {
    if (std::string_view(args[i]) == "--codepage" && i + 1 < args.size())
      codePage = std::atoi(args[++i]);
    else
      files.push_back(args[i]);
  }
  if (what == "probe" && !files.empty())
    return Probe(files, codePage);
  if (what == "dump" && files.size() == 1)
    return Dump(files[0], codePage);
  return Usage();
}

} // namespace host
