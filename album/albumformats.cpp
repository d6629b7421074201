#include "album/albumformats.h"

#include "core/lzss/lzss.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace album {
namespace {

constexpr size_t kMasterHeaderSize = 22;
constexpr size_t kSubAlbumPathSize = 516;
constexpr size_t kSubAlbumFolderSize = 260;
constexpr size_t kLocalNameSize = 48;
constexpr size_t kLocalFolderSize = 260;
// The smallest serialised index entry: the 12 fixed bytes, the type letter
// and two empty texts.
constexpr size_t kMinEntrySize = 17;

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A text into a fixed field: bounded, terminated, never half a character.
void PutField(sys::ByteWriter& out, std::string_view text, size_t width) {
  std::vector<char> field(width);
  SetField(field, text);
  out.Bytes(field.data(), field.size());
}

// A length-prefixed text of an index entry (u16 length, no terminator).
void PutText(sys::ByteWriter& out, std::string_view text) {
  text = CutText(text, 0xFFFF);
  out.U16LE(static_cast<uint16_t>(text.size()));
  out.Bytes(text.data(), text.size());
}

std::optional<std::string> GetText(sys::ByteReader& in) {
  std::optional<uint16_t> n = in.U16LE();
  if (!n)
    return std::nullopt;
  std::optional<std::span<const uint8_t>> bytes = in.Bytes(*n);
  if (!bytes)
    return std::nullopt;
  return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

// Up to count records, never more than the bytes left hold; -1 when fewer
// than count were there.
int ReadRecords(sys::ByteReader& in, uint64_t count, std::vector<SongRecord>& out) {
  uint64_t available = in.Remaining() / kSongRecordSize;
  uint64_t n = std::min(count, available);
  out.reserve(static_cast<size_t>(n));
  for (uint64_t i = 0; i < n; ++i) {
    out.emplace_back();
    ReadSongRecord(in, out.back());
  }
  return n < count ? kAlbumShort : kAlbumRead;
}

bool ReadSubAlbum(sys::ByteReader& in, SubAlbumRecord& out) {
  if (in.Remaining() < kSubAlbumRecordSize)
    return false;
  uint32_t word = *in.U32LE();
  out.number = static_cast<uint16_t>(word & 0xFFFF);
  out.generation = static_cast<uint16_t>(word >> 16);
  out.albumPath = *in.FixedString(kSubAlbumPathSize);
  out.folder = *in.FixedString(kSubAlbumFolderSize);
  out.songCount = *in.U32LE();
  in.Skip(1); // 'e'
  return true;
}

void WriteSubAlbum(sys::ByteWriter& out, const SubAlbumRecord& s) {
  out.I16LE(static_cast<int16_t>(s.number));
  out.U16LE(s.generation);
  PutField(out, s.albumPath, kSubAlbumPathSize);
  PutField(out, s.folder, kSubAlbumFolderSize);
  out.U32LE(s.songCount);
  out.U8('e');
}

bool ReadEntry(sys::ByteReader& in, bool full, SongIndexEntry& e) {
  if (in.Remaining() < 13)
    return false;
  e.number = *in.U32LE();
  e.subAlbum = *in.U16LE();
  e.titleGroup = *in.I16LE();
  e.position = *in.U32LE();
  e.type = static_cast<char>(*in.U8());
  std::optional<std::string> title = GetText(in);
  std::optional<std::string> file = title ? GetText(in) : std::nullopt;
  if (!file)
    return false;
  e.title = std::move(*title);
  e.fileName = std::move(*file);
  if (!full)
    return true;
  std::optional<std::string> singer = GetText(in);
  std::optional<std::span<const uint8_t>> code = singer ? in.Bytes(16) : std::nullopt;
  if (!code)
    return false;
  // The index keeps at most 32 bytes of a singer.
  e.singer = std::string(CutText(*singer, 32));
  std::copy(code->begin(), code->end(), e.songCode.begin());
  return true;
}

void WriteEntry(sys::ByteWriter& out, const SongIndexEntry& e) {
  out.U32LE(e.number);
  out.U16LE(e.subAlbum);
  out.I16LE(e.titleGroup);
  out.U32LE(e.position);
  out.U8(static_cast<uint8_t>(e.type));
  PutText(out, e.title);
  PutText(out, e.fileName);
  PutText(out, e.singer);
  out.Bytes(e.songCode.data(), e.songCode.size());
}

struct IndexHeader {
  int16_t subCount = 0;
  int32_t songCount = 0;
  uint32_t word14 = 0;
};

// The header, sub-album records and entries shared by master and mode albums.
int ReadIndexBody(sys::ByteReader& in, bool fullEntries, IndexHeader& h,
                  std::vector<SubAlbumRecord>& subs, std::vector<SongIndexEntry>& entries) {
  if (in.Remaining() < kMasterHeaderSize)
    return kAlbumShort;
  h.subCount = *in.I16LE();
  h.songCount = *in.I32LE();
  in.Skip(8); // offset of the sub-album records (they follow at once), their size
  h.word14 = *in.U32LE();
  in.Skip(4);
  if (h.subCount < 0 || h.songCount < 0)
    return kAlbumShort;
  size_t subs_n = std::min<size_t>(h.subCount, in.Remaining() / kSubAlbumRecordSize);
  subs.resize(subs_n);
  for (SubAlbumRecord& s : subs)
    ReadSubAlbum(in, s);
  if (subs_n < static_cast<size_t>(h.subCount))
    return kAlbumShort;
  entries.reserve(std::min<size_t>(h.songCount, in.Remaining() / kMinEntrySize));
  for (int32_t i = 0; i < h.songCount; ++i) {
    SongIndexEntry e;
    if (!ReadEntry(in, fullEntries, e))
      return kAlbumShort;
    entries.push_back(std::move(e));
  }
  return kAlbumRead;
}

void WriteIndexBody(sys::ByteWriter& out, uint32_t subAlbumsAt, uint32_t word14,
                    const std::vector<SubAlbumRecord>& subs,
                    const std::vector<SongIndexEntry>& entries) {
  out.I16LE(static_cast<int16_t>(subs.size()));
  out.I32LE(static_cast<int32_t>(entries.size()));
  out.U32LE(subAlbumsAt);
  out.U32LE(static_cast<uint32_t>(subs.size() * kSubAlbumRecordSize));
  out.U32LE(word14);
  out.U32LE(1);
  for (const SubAlbumRecord& s : subs)
    WriteSubAlbum(out, s);
  for (const SongIndexEntry& e : entries)
    WriteEntry(out, e);
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  return sys::ReplaceFileAtomically(path, bytes);
}

void WriteLocalHeader(sys::ByteWriter& out, const LocalAlbum& a, uint32_t count) {
  out.U32LE(count);
  out.U32LE(a.totalSize);
  PutField(out, a.name, kLocalNameSize);
  PutField(out, a.folder, kLocalFolderSize);
  out.U32LE(a.generation);
  out.U32LE(a.folderTime);
  out.U32LE(a.directIndex);
  out.U32LE(0);
}

} // namespace

bool HasMagic(std::span<const uint8_t> bytes, std::string_view magic) {
  return bytes.size() >= magic.size() &&
         std::equal(magic.begin(), magic.end(), bytes.begin(),
                    [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
}

int ReadLocalAlbumHeader(std::span<const uint8_t> file, LocalAlbum& out) {
  out = LocalAlbum{};
  if (!HasMagic(file, kLocalAlbumMagic))
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kLocalAlbumMagic.size());
  if (in.Remaining() < kLocalAlbumHeaderSize)
    return kAlbumShort;
  out.songCount = *in.U32LE();
  out.totalSize = *in.U32LE();
  out.name = *in.FixedString(kLocalNameSize);
  out.folder = *in.FixedString(kLocalFolderSize);
  out.generation = *in.U32LE();
  out.folderTime = *in.U32LE();
  out.directIndex = *in.U32LE();
  return kAlbumRead;
}

int ReadLocalAlbum(std::span<const uint8_t> file, LocalAlbum& out) {
  int code = ReadLocalAlbumHeader(file, out);
  if (code != kAlbumRead)
    return code;
  sys::ByteReader in(file);
  in.Seek(kLocalAlbumRecordsAt);
  return ReadRecords(in, out.songCount, out.records);
}

std::vector<uint8_t> EncodeLocalAlbum(const LocalAlbum& a) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kLocalAlbumMagic));
  WriteLocalHeader(out, a, static_cast<uint32_t>(a.records.size()));
  for (const SongRecord& r : a.records)
    WriteSongRecord(out, r);
  return out.Take();
}

bool WriteLocalAlbum(const std::string& path, const LocalAlbum& a) {
  std::optional<sys::AtomicFile> file = sys::AtomicFile::Create(path);
  if (!file)
    return false;
  // Magic and a placeholder header first, the records, then the real header.
  std::vector<uint8_t> placeholder(kLocalAlbumHeaderSize);
  if (!file->Write(AsBytes(kLocalAlbumMagic)) || !file->Write(placeholder))
    return false;
  constexpr size_t kBatch = 256;
  for (size_t i = 0; i < a.records.size(); i += kBatch) {
    sys::ByteWriter batch;
    for (size_t j = i; j < std::min(a.records.size(), i + kBatch); ++j)
      WriteSongRecord(batch, a.records[j]);
    if (!file->Write(batch.Data()))
      return false;
  }
  sys::ByteWriter header;
  WriteLocalHeader(header, a, static_cast<uint32_t>(a.records.size()));
  return file->WriteAt(kLocalAlbumMagic.size(), header.Data()) && file->Commit();
}

int ReadInternetAlbum(std::span<const uint8_t> file, InternetAlbum& out) {
  out = InternetAlbum{};
  if (!HasMagic(file, kInternetAlbumMagic))
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kInternetAlbumMagic.size());
  if (in.Remaining() < kInternetAlbumLocationAt - kInternetAlbumMagic.size())
    return kAlbumShort;
  out.stamp = *in.U32LE();
  int32_t count = *in.I32LE();
  out.directIndex = *in.U32LE();
  in.Skip(16);
  uint32_t n = *in.U32LE();
  in.Skip(3);
  if (count < 0 || n > in.Remaining())
    return kAlbumShort;
  if (n > kMaxLocationLength)
    return kAlbumTooLarge;
  std::span<const uint8_t> location = *in.Bytes(n);
  out.baseLocation.assign(location.begin(), location.end());
  return ReadRecords(in, static_cast<uint64_t>(count), out.records);
}

std::vector<uint8_t> EncodeInternetAlbum(const InternetAlbum& a) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kInternetAlbumMagic));
  out.U32LE(a.stamp);
  out.I32LE(static_cast<int32_t>(a.records.size()));
  out.U32LE(a.directIndex);
  for (int i = 0; i < 16; ++i)
    out.U8(0);
  std::string_view location = std::string_view(a.baseLocation).substr(0, kMaxLocationLength);
  out.U32LE(static_cast<uint32_t>(location.size()));
  out.U8(0);
  out.U8(0);
  out.U8(0);
  out.Bytes(location.data(), location.size());
  for (const SongRecord& r : a.records)
    WriteSongRecord(out, r);
  return out.Take();
}

bool WriteInternetAlbum(const std::string& path, const InternetAlbum& a) {
  return WriteWhole(path, EncodeInternetAlbum(a));
}

int ReadMasterAlbum(std::span<const uint8_t> file, MasterAlbum& out) {
  out = MasterAlbum{};
  if (HasMagic(file, kMasterAlbumMagicV21))
    out.version = 21;
  else if (HasMagic(file, kMasterAlbumMagicV20))
    out.version = 20;
  else
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kMasterAlbumMagicV21.size());
  IndexHeader h;
  return ReadIndexBody(in, out.version == 21, h, out.subAlbums, out.entries);
}

std::vector<uint8_t> EncodeMasterAlbum(const MasterAlbum& a) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kMasterAlbumMagicV21));
  WriteIndexBody(out, kMasterAlbumSubAlbumsAt, 0, a.subAlbums, a.entries);
  return out.Take();
}

bool WriteMasterAlbum(const std::string& path, const MasterAlbum& a) {
  return WriteWhole(path, EncodeMasterAlbum(a));
}

int ReadModeAlbum(std::span<const uint8_t> file, ModeAlbum& out) {
  out = ModeAlbum{};
  if (HasMagic(file, kModeAlbumMagicV12))
    out.version = 12;
  else if (HasMagic(file, kModeAlbumMagicV11))
    out.version = 11;
  else if (HasMagic(file, kModeAlbumMagicV10))
    out.version = 10;
  else
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kModeAlbumMagicV12.size());
  IndexHeader h;
  int code = ReadIndexBody(in, out.version != 10, h, out.subAlbums, out.entries);
  out.writtenAt = h.word14;
  out.hasNewSongList = false;
  if (code != kAlbumRead)
    return code;
  // Every version may carry a new-song list after its entries.
  if (in.Remaining() < 4)
    return kAlbumRead;
  out.hasNewSongList = true;
  uint32_t n = *in.U32LE();
  size_t present = std::min<size_t>(n, in.Remaining() / 4);
  out.newSongs.reserve(present);
  for (size_t i = 0; i < present; ++i)
    out.newSongs.push_back(*in.U32LE());
  return present < n ? kAlbumShort : kAlbumRead;
}

std::vector<uint8_t> EncodeModeAlbum(const ModeAlbum& a) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kModeAlbumMagicV12));
  WriteIndexBody(out, kModeAlbumSubAlbumsAt, a.writtenAt, a.subAlbums, a.entries);
  if (a.hasNewSongList) {
    out.U32LE(static_cast<uint32_t>(a.newSongs.size()));
    for (uint32_t n : a.newSongs)
      out.U32LE(n);
  }
  return out.Take();
}

bool WriteModeAlbum(const std::string& path, const ModeAlbum& a) {
  return WriteWhole(path, EncodeModeAlbum(a));
}

int ReadThunkFile(std::span<const uint8_t> file, ThunkFile& out) {
  out = ThunkFile{};
  if (!HasMagic(file, kThunkMagic))
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kThunkMagic.size());
  if (in.Remaining() < 28)
    return kAlbumShort;
  in.Skip(8);
  uint32_t m = *in.U32LE();
  in.Skip(16);
  out.rolls.reserve(std::min<size_t>(m, in.Remaining() / 8));
  for (uint32_t i = 0; i < m; ++i) {
    std::optional<uint32_t> k = in.U32LE();
    if (!k || *k > in.Remaining())
      return kAlbumShort;
    if (*k > kMaxLocationLength)
      return kAlbumTooLarge;
    std::span<const uint8_t> name = *in.Bytes(*k);
    std::optional<uint32_t> stamp = in.U32LE();
    if (!stamp)
      return kAlbumShort;
    out.rolls.push_back({std::string(name.begin(), name.end()), *stamp});
  }
  std::optional<uint32_t> j = in.U32LE();
  if (!j)
    return kAlbumShort;
  size_t present = std::min<size_t>(*j, in.Remaining() / 4);
  out.newSongs.reserve(present);
  for (size_t i = 0; i < present; ++i)
    out.newSongs.push_back(*in.U32LE());
  return present < *j ? kAlbumShort : kAlbumRead;
}

std::vector<uint8_t> EncodeThunkFile(const ThunkFile& t) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kThunkMagic));
  for (int i = 0; i < 8; ++i)
    out.U8(0);
  out.U32LE(static_cast<uint32_t>(t.rolls.size()));
  for (int i = 0; i < 16; ++i)
    out.U8(0);
  for (const RollEntry& r : t.rolls) {
    std::string_view name = std::string_view(r.name).substr(0, kMaxLocationLength);
    out.U32LE(static_cast<uint32_t>(name.size()));
    out.Bytes(name.data(), name.size());
    out.U32LE(r.stamp);
  }
  out.U32LE(static_cast<uint32_t>(t.newSongs.size()));
  for (uint32_t n : t.newSongs)
    out.U32LE(n);
  return out.Take();
}

bool WriteThunkFile(const std::string& path, const ThunkFile& t) {
  return WriteWhole(path, EncodeThunkFile(t));
}

int UnpackRoll(std::span<const uint8_t> file, std::vector<uint8_t>& album) {
  album.clear();
  if (!HasMagic(file, kRollMagic) || file.size() <= kRollMagic.size() ||
      file[kRollMagic.size()] != 0)
    return kAlbumWrongMagic;
  sys::ByteReader in(file);
  in.Seek(kRollMagic.size() + 1);
  std::optional<uint32_t> size = in.U32LE();
  if (!size)
    return kAlbumShort;
  if (*size > kMaxAlbumFileSize)
    return kAlbumTooLarge;
  std::span<const uint8_t> packed = in.Rest();
  if (*size > core::LzssMaxUnpackedSize(packed.size()))
    return kAlbumShort;
  auto codec = std::make_unique<core::LzssCodec>();
  std::optional<std::vector<uint8_t>> bytes = codec->Unpack(packed, *size);
  if (!bytes)
    return kAlbumShort;
  // Only one whole internet album is accepted: its header, its base location
  // and exactly its records.
  InternetAlbum parsed;
  if (ReadInternetAlbum(*bytes, parsed) != kAlbumRead ||
      bytes->size() != kInternetAlbumLocationAt + parsed.baseLocation.size() +
                           parsed.records.size() * kSongRecordSize)
    return kAlbumShort;
  album = std::move(*bytes);
  return kAlbumRead;
}

std::vector<uint8_t> PackRoll(std::span<const uint8_t> album) {
  sys::ByteWriter out;
  out.Bytes(AsBytes(kRollMagic));
  out.U8(0);
  out.U32LE(static_cast<uint32_t>(album.size()));
  auto codec = std::make_unique<core::LzssCodec>();
  out.Bytes(codec->Pack(album));
  return out.Take();
}

std::optional<std::vector<uint8_t>> ReadAlbumFileBytes(const std::string& path, size_t maxSize) {
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > maxSize)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = read(fd.Get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

} // namespace album
