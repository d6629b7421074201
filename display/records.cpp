#include "display/records.h"

#include "platform/sys/bytes.h"

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
