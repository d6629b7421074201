#include "core/player/display_records.h"

#include "platform/sys/bytes.h"

#include <algorithm>
#include <cassert>

namespace core {
namespace {

// Field widths of the line information: tick, ms, duration, duration ms,
// kind, image action, line, entry.
static_assert(4 + 4 + 4 + 4 + 1 + 1 + 2 + 4 == kSongEventSize);
// "\IMG", four digits, the zero, the padding.
static_assert(4 + 4 + 1 + 23 == kImageFieldSize);

template <size_t N> std::array<uint8_t, N> Fixed(const sys::ByteWriter& out) {
  assert(out.Data().size() == N);
  std::array<uint8_t, N> bytes{};
  std::copy_n(out.Data().begin(), std::min(N, out.Data().size()), bytes.begin());
  return bytes;
}

} // namespace

std::array<uint8_t, kTitleRecordSize> TitleRecord(std::string_view title) {
  sys::ByteWriter out;
  const size_t n = std::min(title.size(), kTitleRecordSize);
  out.Bytes(title.data(), n);
  for (size_t i = n; i < kTitleRecordSize; ++i)
    out.U8(0);
  return Fixed<kTitleRecordSize>(out);
}

std::vector<uint8_t> LyricBlock(const Track& lyricTrack) {
  return std::vector<uint8_t>(lyricTrack.text.begin(), lyricTrack.text.end());
}

std::array<uint8_t, kSongEventSize> EventRecord(const SongEvent& event) {
  sys::ByteWriter out;
  WriteSongEvent(out, event);
  return Fixed<kSongEventSize>(out);
}

uint32_t LineEntry(const Track& lyricTrack, int line) {
  if (line < 0 || line >= kLineTableSize || line > lyricTrack.lineCount)
    return 0;
  return lyricTrack.lineTable[static_cast<size_t>(line)];
}

SongEvent LineInfoEvent(int16_t line, uint32_t entry) {
  SongEvent e;
  e.tick = 0xFFFFFFFFu;
  e.ms = 0xFFFFFFFFu;
  e.duration = 0;
  e.durationMs = 0;
  e.kind = kKindLineBreak;
  e.imageAction = 0;
  e.length = static_cast<uint16_t>(line);
  e.data = entry;
  return e;
}

std::vector<uint8_t> LyricText(const Track& lyricTrack) {
  std::vector<uint8_t> text;
  const int last = std::min<int>(lyricTrack.lineCount, kLineTableSize - 1);
  const std::string& pool = lyricTrack.text;
  for (int line = 0; line <= last; ++line) {
    const uint32_t entry = lyricTrack.lineTable[static_cast<size_t>(line)];
    if (line == 0 && entry == 0)
      continue;
    const size_t offset = entry & 0xFFFF;
    size_t length = entry >> 16;
    if (line == last && line != 0 && length == 0)
      break;
    // A line reaching past the pool gives only the bytes it has there.
    length = offset < pool.size() ? std::min(length, pool.size() - offset) : 0;
    if (text.size() + length + 3 > kLyricTextLimit)
      break;
    text.insert(text.end(), pool.begin() + static_cast<ptrdiff_t>(offset),
                pool.begin() + static_cast<ptrdiff_t>(offset + length));
    text.push_back('\r');
    text.push_back('\n');
  }
  text.push_back(0);
  return text;
}

std::array<uint8_t, kImageFieldSize> ImageField(uint8_t picture) {
  sys::ByteWriter out;
  out.Bytes("\\IMG", 4);
  unsigned value = picture;
  const char digits[4] = {
      static_cast<char>('0' + value / 1000 % 10), static_cast<char>('0' + value / 100 % 10),
      static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
  out.Bytes(digits, 4);
  out.U8(0);
  for (size_t i = 9; i < kImageFieldSize; ++i)
    out.U8(0);
  return Fixed<kImageFieldSize>(out);
}

std::vector<uint8_t> ZeroTerminated(std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::string FillPage(std::string_view page, std::span<const std::string_view> arguments) {
  std::string out;
  out.reserve(page.size());
  size_t next = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '%' && i + 1 < page.size()) {
      if (page[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (page[i + 1] == 's' && next < arguments.size()) {
        out += arguments[next++];
        ++i;
        continue;
      }
    }
    out += page[i];
  }
  return out;
}

std::vector<uint8_t> TitlePage(std::string_view page, std::string_view title,
                               std::string_view singer) {
  const std::string_view arguments[] = {title, singer};
  return ZeroTerminated(FillPage(page, arguments));
}

} // namespace core
