// The inside of a surface, for the drawing code of this library and for the
// windowing layer that shows surfaces.
#pragma once

#include "platform/gdi/surface.h"

#include <QImage>

#include <atomic>
#include <mutex>

namespace gdi {

struct Surface::Impl {
  // Guards image and the dirty area.
  mutable std::mutex mutex;
  QImage image; // Format_RGB32, alpha byte always 0xFF
  Rect dirty;
  bool dirtyFlag = false;
  std::atomic<bool> visible{true};
  std::atomic<bool> closed{false};
  std::mutex callbackMutex;
  std::function<void()> onDirty;

  // With mutex held: adds area to the dirty area; true when it was clean.
  bool MarkDirtyLocked(const Rect& area);
  // Without mutex held: tells the owner.
  void NotifyDirty();
};

namespace detail {

inline uint32_t PixelOf(Colour c) {
  return 0xFF000000u | (static_cast<uint32_t>(RedOf(c)) << 16) |
         (static_cast<uint32_t>(GreenOf(c)) << 8) | BlueOf(c);
}
inline Colour ColourOfPixel(uint32_t p) {
  return Rgb(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}
inline uint32_t* RowOf(QImage& image, int y) {
  return reinterpret_cast<uint32_t*>(image.scanLine(y));
}
inline const uint32_t* RowOf(const QImage& image, int y) {
  return reinterpret_cast<const uint32_t*>(image.constScanLine(y));
}

} // namespace detail

} // namespace gdi
