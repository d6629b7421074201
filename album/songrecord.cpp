#include "album/songrecord.h"

#include "htmltitle/dbcs.h"

#include <algorithm>
#include <cstring>

namespace album {
namespace {

template <size_t N>
void ReadChars(std::span<const uint8_t> bytes, size_t& at, std::array<char, N>& field) {
  std::memcpy(field.data(), bytes.data() + at, N);
  at += N;
}

} // namespace

bool ReadSongRecord(sys::ByteReader& in, SongRecord& out) {
  std::optional<std::span<const uint8_t>> bytes = in.Bytes(kSongRecordSize);
  if (!bytes)
    return false;
  const std::span<const uint8_t> b = *bytes;
  out.number = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  size_t at = 4;
  ReadChars(b, at, out.title);
  ReadChars(b, at, out.singer);
  ReadChars(b, at, out.lyricist);
  ReadChars(b, at, out.composer);
  std::memcpy(out.songCode.data(), b.data() + at, out.songCode.size());
  at += out.songCode.size();
  ReadChars(b, at, out.excerpt);
  out.type = static_cast<char>(b[at++]);
  ReadChars(b, at, out.fileName);
  return true;
}

void WriteSongRecord(sys::ByteWriter& out, const SongRecord& r) {
  out.U32LE(r.number);
  out.Bytes(r.title.data(), r.title.size());
  out.Bytes(r.singer.data(), r.singer.size());
  out.Bytes(r.lyricist.data(), r.lyricist.size());
  out.Bytes(r.composer.data(), r.composer.size());
  out.Bytes(r.songCode.data(), r.songCode.size());
  out.Bytes(r.excerpt.data(), r.excerpt.size());
  out.U8(static_cast<uint8_t>(r.type));
  out.Bytes(r.fileName.data(), r.fileName.size());
}

std::string FieldText(std::span<const char> field) {
  return std::string(field.data(), strnlen(field.data(), field.size()));
}

std::string_view CutText(std::string_view text, size_t maxBytes) {
  text = text.substr(0, std::min(text.size(), text.find('\0')));
  if (text.size() <= maxBytes)
    return text;
  size_t n = maxBytes;
  // A lead byte as the last byte kept would lose its trail byte: drop it.
  if (n > 0 && GetDbcsByteClass(text.data(), static_cast<int32_t>(n - 1)) == 1)
    --n;
  return text.substr(0, n);
}

void SetField(std::span<char> field, std::string_view text) {
  if (field.empty())
    return;
  std::fill(field.begin(), field.end(), '\0');
  text = CutText(text, field.size() - 1);
  std::memcpy(field.data(), text.data(), text.size());
}

} // namespace album
