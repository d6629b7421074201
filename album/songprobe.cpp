#include "album/songprobe.h"

#include "album/albumformats.h"
#include "core/songfilelayout.h"
#include "platform/sys/ascii.h"
#include "platform/sys/files.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace album {
namespace {

namespace sf = core::songfile;

// The text chunk is only ever shown as an excerpt; more than this is not read.
constexpr uint32_t kMaxTextRead = 64 * 1024;

// A read position over an open file, as the probe walks it.
class Cursor {
public:
  explicit Cursor(int fd) : fd_(fd) {
    struct stat st {};
    size_ = fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  void Seek(uint64_t pos) { pos_ = pos; }
  uint64_t Position() const { return pos_; }
  uint64_t Size() const { return size_; }
  // Bytes read, fewer at the end of the file.
  size_t Read(void* out, size_t n) {
    size_t got = 0;
    while (got < n) {
      ssize_t r =
          pread(fd_, static_cast<char*>(out) + got, n - got, static_cast<off_t>(pos_ + got));
      if (r < 0 && errno == EINTR)
        continue;
      if (r <= 0)
        break;
      got += static_cast<size_t>(r);
    }
    pos_ += got;
    return got;
  }
  std::optional<uint32_t> U32() {
    uint8_t b[4];
    if (Read(b, 4) != 4)
      return std::nullopt;
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  }
  // Skips one chunk (u32 length and its bytes); false on a short length.
  bool SkipChunk() {
    std::optional<uint32_t> n = U32();
    if (!n)
      return false;
    pos_ += *n;
    return true;
  }

private:
  int fd_;
  uint64_t pos_ = 0;
  uint64_t size_ = 0;
};

std::string InfoField(const SongInfo& info, size_t at, size_t size) {
  return FieldText(std::span<const char>(info.data() + at, size));
}

int MagicAt(Cursor& in) {
  char magic[sf::kMagicSize];
  in.Seek(0);
  if (in.Read(magic, sizeof magic) != sizeof magic)
    return kSongVersionNone;
  std::string_view m(magic, sizeof magic);
  if (m == sf::kMagicV300)
    return kSongVersionV300;
  if (m == sf::kMagicV350)
    return kSongVersionV350;
  return kSongVersionNone;
}

// The bank chunk's head after its name: three bytes, four skipped, one more.
int16_t BankHead(Cursor& in) {
  uint8_t b = 0;
  for (int i = 0; i < 3; ++i) {
    if (in.Read(&b, 1) != 1)
      return kBankNone;
  }
  in.Seek(in.Position() + 4);
  return in.Read(&b, 1) == 1 ? kBankPresent : kBankNone;
}

int16_t BankKind(Cursor& in, int version) {
  in.Seek(sf::kChainStart);
  if (!in.SkipChunk() || !in.SkipChunk())
    return kBankUnwalkable;
  if (version == kSongVersionV350) {
    // Each named section starts 4 + N bytes after the one before, so every
    // step moves forward whatever N a damaged file holds.
    for (;;) {
      uint64_t start = in.Position();
      std::optional<uint32_t> n = in.U32();
      char tag[sf::kSectionNameSize];
      if (!n || in.Read(tag, sizeof tag) != sizeof tag)
        return kBankNone;
      if (std::string_view(tag, sizeof tag) == sf::kSectionBank)
        return BankHead(in);
      in.Seek(start + sf::kChunkLengthSize + *n);
    }
  }
  if (version == kSongVersionV300) {
    for (int i = 0; i < 3; ++i) {
      if (!in.SkipChunk())
        return kBankUnwalkable;
    }
    std::optional<uint32_t> n = in.U32();
    char tag[sf::kSectionNameSize];
    if (!n || in.Read(tag, sizeof tag) != sizeof tag)
      return kBankNone;
    if (std::string_view(tag, sizeof tag) != sf::kSectionBank)
      return kBankUndecided;
    return BankHead(in);
  }
  return kBankUndecided;
}

// The text chunk as text: a trailing zero, then a trailing CR LF, removed;
// the rest cut at its first zero. Never reaches before the buffer.
std::string ChunkText(std::string bytes, bool whole) {
  size_t n = bytes.size();
  if (whole) {
    if (n >= 1 && bytes[n - 1] == '\0')
      --n;
    if (n >= 2 && bytes[n - 2] == '\r' && bytes[n - 1] == '\n')
      n -= 2;
  }
  bytes.resize(n);
  return bytes.substr(0, bytes.find('\0'));
}

std::string_view BaseName(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

sys::UniqueFd OpenForReading(const std::string& path) {
  return sys::UniqueFd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

} // namespace

std::string InfoTitle(const SongInfo& info) {
  return InfoField(info, sf::kInfoTitle, sf::kTitleFieldSize);
}
std::string InfoLyricist(const SongInfo& info) {
  return InfoField(info, sf::kInfoLyricist, sf::kTextFieldSize);
}
std::string InfoComposer(const SongInfo& info) {
  return InfoField(info, sf::kInfoComposer, sf::kTextFieldSize);
}
std::string InfoSinger(const SongInfo& info) {
  return InfoField(info, sf::kInfoSinger, sf::kTextFieldSize);
}
std::array<uint8_t, 16> InfoSongCode(const SongInfo& info) {
  std::array<uint8_t, 16> code{};
  std::memcpy(code.data(), info.data() + sf::kInfoImageNumbers, code.size());
  return code;
}

int CheckSongMagic(int fd) {
  Cursor in(fd);
  return MagicAt(in);
}

int16_t ReadSoundBankKind(int fd, int version) {
  Cursor in(fd);
  return BankKind(in, version);
}

int ProbeSongFile(const std::string& path, SongProbe& out) {
  out = SongProbe{}; // nothing of an earlier file survives a short chunk
  sys::UniqueFd fd = OpenForReading(path);
  if (!fd.Valid())
    return 0;
  Cursor in(fd.Get());
  out.version = MagicAt(in);
  if (out.version == kSongVersionNone)
    return 0;
  in.Seek(sf::kChainStart);
  uint32_t infoSize = in.U32().value_or(0);
  size_t want = std::min<size_t>(infoSize, out.info.size());
  uint64_t infoStart = in.Position();
  if (in.Read(out.info.data(), want) != want)
    return 0;
  in.Seek(infoStart + infoSize);

  std::optional<uint32_t> textSize = in.U32();
  if (!textSize)
    return 0;
  if (*textSize > 0) {
    uint64_t left = in.Size() > in.Position() ? in.Size() - in.Position() : 0;
    if (*textSize > left)
      return 0;
    uint32_t take = std::min(*textSize, kMaxTextRead);
    std::string bytes(take, '\0');
    if (in.Read(bytes.data(), take) != take)
      return 0;
    out.text = ChunkText(std::move(bytes), take == *textSize);
  }
  out.bankKind = BankKind(in, out.version);
  return 1;
}

int ProbeSongHeader(const std::string& path, SongInfo& info) {
  info.fill(0);
  sys::UniqueFd fd = OpenForReading(path);
  if (!fd.Valid())
    return 0;
  Cursor in(fd.Get());
  int version = MagicAt(in);
  if (version == kSongVersionNone)
    return 0;
  in.Seek(sf::kChainStart);
  std::optional<uint32_t> size = in.U32();
  if (!size)
    return 0;
  size_t want = version == kSongVersionV300 ? *size : sf::kInfoSizeV300;
  want = std::min(want, info.size());
  return in.Read(info.data(), want) == want ? 1 : 0;
}

char TypeLetterFromKind(int kind) {
  switch (kind) {
  case kBankNone:
    return 't';
  case kBankPresent:
    return 'b';
  case kBankWaveSong:
    return 'w';
  default:
    return 'o';
  }
}

char SongTypeLetter(std::string_view fileName, int16_t kind) {
  if (kind == kBankNone && fileName.size() >= 2 &&
      sys::AsciiLower(fileName[fileName.size() - 2]) == 'w')
    kind = kBankWaveSong;
  return TypeLetterFromKind(kind);
}

int ProbeSongRecord(const std::string& path, SongRecord& record, SongProbe* probeOut) {
  SongProbe probe;
  record = SongRecord{};
  if (!ProbeSongFile(path, probe))
    return 0;
  SetField(record.title, InfoTitle(probe.info));
  SetField(record.singer, InfoSinger(probe.info));
  SetField(record.lyricist, InfoLyricist(probe.info));
  SetField(record.composer, InfoComposer(probe.info));
  record.songCode = InfoSongCode(probe.info);
  SetField(record.excerpt, probe.text.value_or(std::string()));
  std::string_view name = BaseName(path);
  record.type = SongTypeLetter(name, probe.bankKind);
  SetField(record.fileName, name);
  if (probeOut)
    *probeOut = std::move(probe);
  return 1;
}

int FileKindByExtension(std::string_view fileName) {
  std::string_view name = BaseName(fileName);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return kFileKindNone;
  std::string ext(name.substr(dot + 1, 3));
  for (char& c : ext)
    c = sys::AsciiLower(c);
  struct Kind {
    std::string_view ext;
    int kind;
  };
  constexpr Kind kKinds[] = {
      {"vx3", kFileKindVx3},    {"sb3", kFileKindSb3},     {"sw3", kFileKindSw3},
      {"mid", kFileKindMid},    {"kar", kFileKindKar},     {"alb", kFileKindAlb},
      {"bmp", kFileKindBmp},    {"pcx", kFileKindPcx},     {"gif", kFileKindGif},
      {"wav", kFileKindWav},    {"ico", kFileKindProgram}, {"dll", kFileKindProgram},
      {"exe", kFileKindProgram}};
  for (const Kind& k : kKinds) {
    if (ext == k.ext)
      return k.kind;
  }
  return kFileKindOther;
}

std::string FormatResourceText(std::string_view format, const std::vector<FormatArg>& args,
                               size_t maxBytes) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size() && out.size() <= maxBytes;) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    size_t start = i++;
    bool left = false, zero = false;
    while (i < format.size() && (format[i] == '-' || format[i] == '0')) {
      (format[i] == '-' ? left : zero) = true;
      ++i;
    }
    size_t width = 0, precision = std::string::npos;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && width < 1000)
      width = width * 10 + static_cast<size_t>(format[i++] - '0');
    if (i < format.size() && format[i] == '.') {
      precision = 0;
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9' && precision < 1000)
        precision = precision * 10 + static_cast<size_t>(format[i++] - '0');
    }
    if (i < format.size() && format[i] == 'l')
      ++i;
    if (i >= format.size()) {
      out += format.substr(start);
      break;
    }
    char conv = format[i++];
    if (conv == '%') {
      out += '%';
      continue;
    }
    if (std::string_view("sdiux").find(conv) == std::string_view::npos) {
      out += format.substr(start, i - start); // shown as it stands, consumes nothing
      continue;
    }
    std::string piece;
    if (next < args.size()) {
      const FormatArg& arg = args[next++];
      if (const std::string* s = std::get_if<std::string>(&arg)) {
        piece = conv == 's' ? std::string(CutText(*s, std::min(precision, s->size()))) : "0";
      } else {
        int64_t v = std::get<int64_t>(arg);
        if (conv == 'x') {
          char buf[32];
          std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
          piece = buf;
        } else if (conv == 'u') {
          piece = std::to_string(static_cast<uint64_t>(v));
        } else {
          piece = std::to_string(v);
        }
      }
    } else {
      ++next;
    }
    if (piece.size() < width) {
      size_t pad = width - piece.size();
      if (left)
        piece.append(pad, ' ');
      else if (zero && conv != 's')
        piece.insert(piece.front() == '-' ? 1 : 0, pad, '0');
      else
        piece.insert(0, pad, ' ');
    }
    out += piece;
  }
  return std::string(CutText(out, maxBytes));
}

std::string SongFileInfoText(const std::string& path, int kind, const FileInfoTexts& texts) {
  if (kind >= kFileKindVx3 && kind <= kFileKindSw3) {
    SongInfo info{};
    if (!ProbeSongHeader(path, info))
      return {};
    auto orEmpty = [&](std::string s) { return s.empty() ? texts.empty : s; };
    return FormatResourceText(texts.songFormat,
                              {orEmpty(InfoTitle(info)), orEmpty(InfoSinger(info)),
                               orEmpty(InfoLyricist(info)), orEmpty(InfoComposer(info)), path});
  }
  if (kind != kFileKindAlb)
    return {};
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(path);
  if (!bytes)
    return {};
  if (HasMagic(*bytes, kLocalAlbumMagic)) {
    LocalAlbum a;
    if (ReadLocalAlbumHeader(*bytes, a) != kAlbumRead)
      return {};
    return FormatResourceText(texts.albumFormat,
                              {a.name, a.folder, static_cast<int64_t>(a.songCount)});
  }
  // Both master album versions (the newer one is what the album writes now).
  if (HasMagic(*bytes, kMasterAlbumMagicV20) || HasMagic(*bytes, kMasterAlbumMagicV21)) {
    sys::ByteReader in(*bytes);
    in.Seek(kMasterAlbumMagicV21.size());
    std::optional<int16_t> subs = in.I16LE();
    std::optional<int32_t> songs = in.I32LE();
    if (!subs || !songs || in.Remaining() < 16)
      return {};
    return FormatResourceText(texts.masterFormat,
                              {static_cast<int64_t>(*subs), static_cast<int64_t>(*songs)});
  }
  return {};
}

int SongFileTitle(std::span<char> out, const std::string& path, std::string_view emptyTitle) {
  SongInfo info{};
  if (!ProbeSongHeader(path, info))
    return 0;
  std::string title = InfoTitle(info);
  SetField(out, title.empty() ? emptyTitle : std::string_view(title));
  return 1;
}

int FolderHasSongFiles(const std::string& folder, const std::string& subfolder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/')
    path += '/';
  path += subfolder;
  std::optional<std::vector<sys::FileEntry>> entries = sys::ListFolder(path);
  if (!entries)
    return 0;
  for (const sys::FileEntry& e : *entries) {
    int kind = FileKindByExtension(e.name);
    // The whole extension, not only its first three characters.
    std::string_view ext = std::string_view(e.name).substr(e.name.rfind('.') + 1);
    if (!e.isFolder && kind >= kFileKindVx3 && kind <= kFileKindSw3 && ext.size() == 3)
      return 1;
  }
  return 0;
}

int FileExists(const std::string& pathOrPattern) {
  size_t slash = pathOrPattern.rfind('/');
  std::string folder = slash == std::string::npos ? "." : pathOrPattern.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? pathOrPattern : pathOrPattern.substr(slash + 1);
  if (name.find_first_of("*?") == std::string::npos) {
    struct stat st {};
    return stat(pathOrPattern.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) ? 1 : 0;
  }
  std::optional<std::vector<sys::FileEntry>> entries = sys::ListFolder(folder, name);
  if (!entries)
    return 0;
  return std::any_of(entries->begin(), entries->end(),
                     [](const sys::FileEntry& e) { return !e.isFolder; })
             ? 1
             : 0;
}

} // namespace album
