#include "album/tests/support/album_fuzz_entry.h"

#include "album/albumformats.h"
#include "album/albumtext.h"
#include "album/myalbum.h"
#include "album/query.h"
#include "album/recordsearch.h"
#include "album/songprobe.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace album::testing {
namespace {

// Reads, writes and reads again: the second writing must equal the first.
template <typename T, typename Read, typename Encode>
std::string RoundTrip(std::span<const uint8_t> bytes, Read read, Encode encode, const char* what) {
  T first;
  int code = read(bytes, first);
  if (code < -2 || code > 1)
    return std::string(what) + ": code out of range";
  if (code != kAlbumRead)
    return {};
  std::vector<uint8_t> once = encode(first);
  T second;
  if (read(std::span<const uint8_t>(once), second) != kAlbumRead)
    return std::string(what) + ": written file does not read";
  if (encode(second) != once)
    return std::string(what) + ": written twice differs";
  return {};
}

uint32_t U32At(std::span<const uint8_t> b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && at + i < b.size(); ++i)
    v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return v;
}

} // namespace

std::string CheckAlbumFileInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  std::string fault;
  auto check = [&](std::string f) {
    if (fault.empty())
      fault = std::move(f);
  };
  check(RoundTrip<LocalAlbum>(bytes, ReadLocalAlbum, EncodeLocalAlbum, "local album"));
  check(RoundTrip<InternetAlbum>(bytes, ReadInternetAlbum, EncodeInternetAlbum, "internet"));
  check(RoundTrip<MasterAlbum>(bytes, ReadMasterAlbum, EncodeMasterAlbum, "master album"));
  check(RoundTrip<ModeAlbum>(bytes, ReadModeAlbum, EncodeModeAlbum, "mode album"));
  check(RoundTrip<ThunkFile>(bytes, ReadThunkFile, EncodeThunkFile, "thunk"));

  std::vector<uint8_t> inner;
  int rollCode = UnpackRoll(bytes, inner);
  if (rollCode == kAlbumRead) {
    InternetAlbum a;
    if (ReadInternetAlbum(inner, a) != kAlbumRead)
      check("roll: unpacked album does not read");
    std::vector<uint8_t> again;
    if (UnpackRoll(PackRoll(inner), again) != kAlbumRead || again != inner)
      check("roll: packed again differs");
  } else if (!inner.empty()) {
    check("roll: bytes handed out on failure");
  }

  // The search looks for the number at the position the file's last bytes
  // give, in the file itself and in what a roll unpacks to.
  uint32_t number = size >= 8 ? U32At(bytes, size - 8) : 0;
  uint32_t position = size >= 4 ? U32At(bytes, size - 4) % 64 : 0;
  SongRecord r;
  int found = FindSongRecord(SpanSource(bytes), number, position, r);
  if (found == 1 && r.number != number)
    check("search: found a record of another number");
  if (!inner.empty())
    FindSongRecord(SpanSource(inner), number, position, r);

  // Text utilities over the raw bytes.
  std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 300));
  std::string half = text.substr(0, text.size() / 2);
  if (CompareSongTitle(text.c_str(), half.c_str()) != -CompareSongTitle(half.c_str(), text.c_str()))
    check("titles: order not antisymmetric");
  if (CompareSongTitle(text.c_str(), text.c_str()) != 0)
    check("titles: not equal to itself");
  std::vector<char> field(text.begin(), text.end());
  field.push_back('\x7E'); // a guard past the field's length
  UnscrambleField(field.data(), text.size());
  if (field.back() != '\x7E')
    check("unscramble: wrote past the field");
  return fault;
}

std::string CheckSongProbeInput(const uint8_t* data, size_t size) {
  sys::UniqueFd fd(memfd_create("probe.vx3", MFD_CLOEXEC));
  if (!fd.Valid())
    return {};
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd.Get(), data + done, size - done);
    if (n <= 0)
      return {};
    done += static_cast<size_t>(n);
  }
  std::string path = "/proc/self/fd/" + std::to_string(fd.Get());
  SongProbe p;
  int ok = ProbeSongFile(path, p);
  if (ok != 0 && ok != 1)
    return "probe: result out of range";
  if (ok == 1) {
    if (p.version != kSongVersionV300 && p.version != kSongVersionV350)
      return "probe: version out of range";
    if (p.bankKind < kBankUnwalkable || p.bankKind > kBankPresent)
      return "probe: sound-bank kind out of range";
    if (p.text && p.text->size() > size)
      return "probe: text longer than the file";
    if (p.text && p.text->find('\0') != std::string::npos)
      return "probe: text holds a zero";
  }
  SongRecord r;
  if (ProbeSongRecord(path, r) != ok)
    return "probe: record and probe disagree";
  if (ok == 1 && (r.title.back() != 0 || r.excerpt.back() != 0 || r.fileName.back() != 0))
    return "probe: record field without terminator";
  SongInfo info{};
  ProbeSongHeader(path, info);
  return {};
}

std::string CheckMyAlbumInput(const uint8_t* data, size_t size) {
  MyAlbumStore first(nullptr, "", "x");
  first.LoadBytes({data, size});
  std::vector<uint8_t> saved = first.Encode();
  MyAlbumStore second(nullptr, "", "x");
  if (second.LoadBytes(saved) != 1)
    return "my-album: a saved store does not load whole";
  if (second.Count() != first.Count() || second.HeaderName() != first.HeaderName())
    return "my-album: lists or header changed through a save";
  for (int i = 0; i < first.Count(); ++i)
    if (first.GetMyAlbum(i)->name != second.GetMyAlbum(i)->name ||
        first.GetMyAlbum(i)->songs != second.GetMyAlbum(i)->songs)
      return "my-album: a list changed through a save";
  if (second.Encode() != saved)
    return "my-album: a second save differs";
  return {};
}

std::string CheckQueryInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return {};
  const size_t length = std::min<size_t>(data[0], size - 1);
  const std::string typed(reinterpret_cast<const char*>(data + 1), length);
  std::shared_ptr<AlbumMatchIndex> index =
      AlbumMatchIndex::Build(MappedAlbum::FromBytes({data + 1 + length, data + size}));
  if (!index->valid)
    return {};
  // The fields of every whole record, read from the bytes directly.
  const uint8_t* records = index->map->data + kLocalAlbumRecordsAt;
  auto field = [&](uint32_t r, int kind) {
    static constexpr size_t kAt[3] = {4, 52, 164}, kSize[3] = {48, 32, 120};
    const char* f = reinterpret_cast<const char*>(records + r * kSongRecordSize + kAt[kind]);
    return std::string(f, strnlen(f, kSize[kind]));
  };
  std::vector<std::string> patterns = {typed};
  for (uint32_t r = 0; r < std::min<uint32_t>(index->records, 4); ++r)
    for (int kind = 0; kind < 3; ++kind) {
      std::string f = field(r, kind);
      patterns.push_back(f.substr(0, typed.size() % 7 + 1));
      patterns.push_back(f.substr(f.size() / 2, 3));
    }
  for (const std::string& p : patterns)
    for (int kind = 0; kind < 4; ++kind) {
      const std::string key = QueryKey(p);
      std::vector<uint32_t> expected;
      for (uint32_t r = 0; kind < 3 && r < index->records; ++r) {
        const std::string text = QueryKey(field(r, kind));
        if (kind < 2 ? MatchPrefix(key, text) : FindSubstringDbcs(key, text))
          expected.push_back(r);
      }
      if (index->Matches(kind, key) != expected)
        return "query: the match index and the record scan differ for kind " +
               std::to_string(kind);
    }
  return {};
}

} // namespace album::testing
