// Pixel-level pieces shared by the drawing code: raster operations on
// 0xFFRRGGBB pixels and the locked drawing session on one or two surfaces.
#pragma once

#include "platform/gdi/ink.h"
#include "platform/gdi/surface_impl.h"
#include "platform/gdi/types.h"

#include <QImage>

#include <climits>
#include <mutex>
#include <optional>
#include <vector>

namespace gdi::detail {

// A rectangle no clip ever cuts.
constexpr Rect kNoClip{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};

// The ternary operation code (bits 16 to 23 of a raster operation): bit i of
// the code is the result for pattern = bit 2 of i, source = bit 1, dest =
// bit 0.
inline uint8_t Rop3Code(uint32_t rop) {
  return static_cast<uint8_t>(rop >> 16);
}
inline bool Rop3UsesSource(uint8_t code) {
  return (((code >> 2) ^ code) & 0x33) != 0;
}

inline uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r;
  switch (code) {
  case 0xCC:
    r = s;
    break;
  case 0x66:
    r = s ^ d;
    break;
  case 0x88:
    r = s & d;
    break;
  case 0xEE:
    r = s | d;
    break;
  case 0x33:
    r = ~s;
    break;
  case 0x55:
    r = ~d;
    break;
  case 0xF0:
    r = p;
    break;
  case 0x5A:
    r = p ^ d;
    break;
  case 0x00:
    r = 0;
    break;
  case 0xFF:
    r = ~0u;
    break;
  default:
    r = 0;
    for (int i = 0; i < 8; ++i)
      if ((code >> i) & 1)
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r | 0xFF000000u;
}

// The binary mix modes 1 to 16: mode - 1 is the table of pen P and dest D.
inline uint32_t Rop2(int mode, uint32_t p, uint32_t d) {
  switch (mode) {
  case 13:
    return p | 0xFF000000u;
  case 7:
    return (p ^ d) | 0xFF000000u;
  case 6:
    return ~d | 0xFF000000u;
  default:
    break;
  }
  const int code = mode - 1;
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i)
    if ((code >> i) & 1)
      r |= ((i & 2) ? p : ~p) & ((i & 1) ? d : ~d);
  return r | 0xFF000000u;
}

inline Rect BoundsOf(const QImage& image) {
  return Rect{0, 0, image.width(), image.height()};
}

// Runs draw(image, clip) under the surface's lock, clip being the given clip
// within the surface; draw returns the area it touched. False for a closed
// surface; a hidden one is left untouched and reported as drawn.
template <typename Draw> bool DrawOn(Surface& target, const Rect& clip, Draw&& draw) {
  Surface::Impl& impl = target.Internals();
  bool notify = false;
  {
    std::lock_guard lock(impl.mutex);
    if (impl.closed)
      return false;
    if (!impl.visible)
      return true;
    const Rect c = Intersect(clip, BoundsOf(impl.image));
    if (c.IsEmpty())
      return true;
    const std::optional<Rect> touched = draw(impl.image, c);
    if (touched)
      notify = impl.MarkDirtyLocked(Intersect(*touched, c));
  }
  if (notify)
    impl.NotifyDirty();
  return true;
}

// Appends the runs of a row of pixels whose colour (alpha aside) is not
// background's, as row y with columns moved by dx. Text leaves most of a
// row blank, so blank pixels are skipped four at a time.
inline void AppendInkRuns(const uint32_t* row, int32_t width, uint32_t background, int32_t y,
                          int32_t dx, std::vector<InkRun>& out) {
  const uint32_t bk = background & 0x00FFFFFFu;
  auto inked = [&](int32_t x) { return ((row[x] ^ bk) & 0x00FFFFFFu) != 0; };
  for (int32_t x = 0; x < width;) {
    while (x + 4 <= width &&
           (((row[x] ^ bk) | (row[x + 1] ^ bk) | (row[x + 2] ^ bk) | (row[x + 3] ^ bk)) &
            0x00FFFFFFu) == 0)
      x += 4;
    while (x < width && !inked(x))
      ++x;
    if (x >= width)
      break;
    const int32_t left = x;
    while (x < width && inked(x))
      ++x;
    out.push_back(InkRun{y, left + dx, x + dx});
  }
}

// The same with a source surface locked too (once when it is the target).
template <typename Draw>
bool DrawFrom(Surface& target, const Surface& source, const Rect& clip, Draw&& draw) {
  Surface::Impl& impl = target.Internals();
  Surface::Impl& from = source.Internals();
  if (&impl == &from)
    return DrawOn(target, clip,
                  [&](QImage& image, const Rect& c) { return draw(image, image, c); });
  bool notify = false;
  {
    std::scoped_lock lock(impl.mutex, from.mutex);
    if (impl.closed || from.closed)
      return false;
    if (!impl.visible)
      return true;
    const Rect c = Intersect(clip, BoundsOf(impl.image));
    if (c.IsEmpty())
      return true;
    const std::optional<Rect> touched = draw(impl.image, static_cast<const QImage&>(from.image), c);
    if (touched)
      notify = impl.MarkDirtyLocked(Intersect(*touched, c));
  }
  if (notify)
    impl.NotifyDirty();
  return true;
}

} // namespace gdi::detail
