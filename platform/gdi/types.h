// Basic drawing values: colours as the settings store them (0x00BBGGRR),
// points, sizes and rectangles whose right and bottom edges are exclusive,
// and the fixed resolution of the screen.
#pragma once

#include <algorithm>
#include <cstdint>

namespace gdi {

// A colour with red in the low byte, as stored in the settings files.
using Colour = uint32_t;

constexpr Colour Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}
constexpr uint8_t RedOf(Colour c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t GreenOf(Colour c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t BlueOf(Colour c) {
  return static_cast<uint8_t>(c >> 16);
}

// What GetPixel answers outside the drawable area.
constexpr Colour kInvalidColour = 0xFFFFFFFF;

// The screen's logical resolution in both directions, always.
constexpr int kLogPixels = 96;

// Drawing coordinates are cut to this magnitude, so that sums of a few of
// them never overflow.
constexpr int32_t kMaxCoordinate = 1 << 27;

constexpr int32_t ClampCoordinate(int32_t v) {
  return v < -kMaxCoordinate ? -kMaxCoordinate : v > kMaxCoordinate ? kMaxCoordinate : v;
}

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect ClampRect(const Rect& r) {
  return Rect{ClampCoordinate(r.left), ClampCoordinate(r.top), ClampCoordinate(r.right),
              ClampCoordinate(r.bottom)};
}

inline Rect MakeRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  return Rect{x, y, x + width, y + height};
}

// The common part of two rectangles; an empty rectangle when they do not meet.
inline Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.IsEmpty())
    return Rect{};
  return r;
}

// The smallest rectangle holding both; an empty one does not count.
inline Rect Union(const Rect& a, const Rect& b) {
  if (a.IsEmpty())
    return b;
  if (b.IsEmpty())
    return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

inline Rect Offset(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

inline Rect Inflate(const Rect& r, int32_t dx, int32_t dy) {
  return Rect{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

} // namespace gdi
