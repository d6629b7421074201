#include "display/records.h"

#include "platform/sys/bytes.h"

#include <algorithm>

namespace display {

std::optional<DisplayModeRecord> ReadDisplayModeRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() != kDisplayModeRecordSize)
    return std::nullopt;
  sys::ByteReader r(bytes);
  DisplayModeRecord d;
  d.mode = *r.I32LE();
  d.hostWindow = *r.U32LE();
  d.x = *r.I32LE();
  d.y = *r.I32LE();
  d.width = *r.I32LE();
  d.height = *r.I32LE();
  for (int32_t* rect : {d.lyric, d.number, d.title})
    for (int i = 0; i < 4; ++i)
      rect[i] = *r.I32LE();
  return d;
}

std::vector<uint8_t> WriteDisplayModeRecord(const DisplayModeRecord& d) {
  sys::ByteWriter w;
  w.I32LE(d.mode);
  w.U32LE(d.hostWindow);
  w.I32LE(d.x);
  w.I32LE(d.y);
  w.I32LE(d.width);
  w.I32LE(d.height);
  for (const int32_t* rect : {d.lyric, d.number, d.title})
    for (int i = 0; i < 4; ++i)
      w.I32LE(rect[i]);
  return w.Take();
}

std::optional<gdi::Rect> ReadFramePlacement(std::span<const uint8_t> bytes) {
  sys::ByteReader r(bytes);
  auto left = r.I32LE(), top = r.I32LE(), right = r.I32LE(), bottom = r.I32LE();
  if (!left || !top || !right || !bottom)
    return std::nullopt;
  return gdi::Rect{*left, *top, *right, *bottom};
}

} // namespace display

namespace display {
namespace {

std::string TextUpTo(std::span<const uint8_t> bytes, size_t limit) {
  std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  s = s.substr(0, s.find('\0'));
  return std::string(s.substr(0, limit));
}

} // namespace

std::optional<std::string> ReadTitleCopy(std::span<const uint8_t> bytes) {
  if (bytes.size() > kTitleCopyLimit)
    return std::nullopt;
  return TextUpTo(bytes, kTitleTextLimit);
}

std::optional<LyricEvent> ReadLyricEvent(std::span<const uint8_t> bytes) {
  if (bytes.size() != kEventCopySize)
    return std::nullopt;
  sys::ByteReader r(bytes.subspan(12));
  LyricEvent e;
  e.durationMs = *r.U32LE();
  e.kind = *r.U8();
  r.U8();
  e.line = static_cast<int16_t>(*r.U16LE());
  e.data = *r.U32LE();
  return e;
}

bool ApplyReserveList(ReserveBuffer& buffer, std::span<const uint8_t> bytes) {
  if (bytes.size() > buffer.size())
    return false;
  std::copy(bytes.begin(), bytes.end(), buffer.begin());
  return true;
}

std::array<int32_t, kReserveEntries> ReserveNumbers(const ReserveBuffer& buffer) {
  std::array<int32_t, kReserveEntries> numbers{};
  sys::ByteReader r(buffer);
  for (size_t i = 0; i < kReserveEntries; ++i) {
    numbers[i] = *r.I32LE();
    r.Skip(kReserveEntrySize - 4);
  }
  return numbers;
}

std::string ReserveTitle(const ReserveBuffer& buffer, size_t entry) {
  if (entry >= kReserveEntries)
    return {};
  return TextUpTo(std::span(buffer).subspan(entry * kReserveEntrySize + 4, 48), 48);
}

std::optional<NextSong> ReadNextSong(std::span<const uint8_t> bytes) {
  if (bytes.size() > kNextSongLimit || bytes.size() < 4)
    return std::nullopt;
  sys::ByteReader r(bytes);
  NextSong n;
  n.number = *r.I32LE();
  n.title = TextUpTo(bytes.subspan(4), kNextSongLimit - 4);
  return n;
}

const char* CodePageLocaleName(int32_t codePage) {
  switch (codePage) {
  case 949:
    return "kor";
  case 936:
    return "chs";
  case 950:
    return "cht";
  case 932:
    return "jpn";
  case 1252:
    return "us";
  default:
    return "C";
  }
}

std::string HtmlColour(gdi::Colour colour) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "#";
  for (uint8_t v : {gdi::RedOf(colour), gdi::GreenOf(colour), gdi::BlueOf(colour)}) {
    out += digits[v >> 4];
    out += digits[v & 15];
  }
  return out;
}

std::string FillScorePage(std::string_view page, const ScoreValues& v) {
  const std::string values[] = {std::to_string(v.size),    v.colour1, v.colour2, v.score,
                                std::to_string(v.quarter), v.colour3, v.colour4, v.scoreText};
  size_t next = 0;
  std::string out;
  out.reserve(page.size() * 2);
  size_t i = 0;
  while (i < page.size()) {
    const char c = page[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < page.size() && page[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    // A conversion: flags, width, precision, then "l" and d, i or s.
    size_t j = i + 1;
    while (j < page.size() && std::string_view("-+#0").find(page[j]) != std::string_view::npos)
      ++j;
    while (j < page.size() && ((page[j] >= '0' && page[j] <= '9') || page[j] == '.'))
      ++j;
    if (j < page.size() && page[j] == 'l')
      ++j;
    if (j < page.size() && (page[j] == 'd' || page[j] == 'i' || page[j] == 's') &&
        next < std::size(values)) {
      out += values[next++];
      i = j + 1;
      continue;
    }
    out += '%';
    ++i;
  }
  return out;
}

} // namespace display
