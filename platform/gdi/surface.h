// A pixel surface that device contexts draw on: a window's backing image or
// a bitmap. Every drawing operation takes the surface's lock for its own
// duration, so one thread may draw on a window's surface outside any paint
// handler (a timer thread, a game loop) while the window's own thread copies
// the image out and shows it. The surface remembers the area drawn since the
// last copy and tells its owner when it turns dirty.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gdi {

constexpr int32_t kMaxSurfaceSide = 16384;
constexpr int64_t kMaxSurfacePixels = int64_t{1} << 26;

// The switch that makes surfaces write their image as PNG files into a folder.
constexpr const char* kDumpDirVariable = "VEXO_DUMP_DIR";

class Surface {
public:
  // nullptr when a side is not positive or the size is beyond the bounds.
  static std::shared_ptr<Surface> Create(int32_t width, int32_t height, Colour fill = 0);
  // A bitmap holding the pixels of a device-independent bitmap (its colour
  // table applied); nullptr for an invalid one.
  static std::shared_ptr<Surface> FromDib(const DibView& dib);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int32_t Width() const;
  int32_t Height() const;
  Size Dimensions() const;
  // New size keeping the top-left pixels; new area takes the fill colour.
  bool Resize(int32_t width, int32_t height, Colour fill = 0);

  // kInvalidColour outside the surface.
  Colour Pixel(int32_t x, int32_t y) const;
  // The pixels of a rectangle (the whole surface by default) row by row
  // from the top, taken under the lock; parts outside read as kInvalidColour.
  std::vector<Colour> CopyPixels() const;
  std::vector<Colour> CopyPixels(const Rect& area) const;

  // Called on the drawing thread, after the drawing, each time the surface
  // turns from clean to dirty. The callback must not draw on this surface
  // nor set the callback again. Once SetDirtyCallback returns, the previous
  // callback is no longer running and will not be called again.
  void SetDirtyCallback(std::function<void()> callback);
  // The area drawn since the last call, and clean again.
  std::optional<Rect> TakeDirty();
  bool IsDirty() const;

  // While hidden, drawing through device contexts does nothing (and
  // succeeds). A closed surface refuses all drawing, as a destroyed window.
  void SetVisible(bool visible);
  bool IsVisible() const;
  void Close();
  bool IsClosed() const;

  bool SavePng(const std::string& path) const;
  // With the switch set, writes <folder>/<name>.png (replacing the file in
  // one step, so a reader never sees half an image). False when unset or on
  // a write failure.
  bool DumpIfEnabled(std::string_view name) const;

  struct Impl;
  Impl& Internals() const { return *impl_; }

private:
  Surface();
  std::unique_ptr<Impl> impl_;
};

// A bitmap is a surface that no window shows.
using Bitmap = Surface;

inline std::shared_ptr<Bitmap> CreateBitmap(int32_t width, int32_t height, Colour fill = 0) {
  return Surface::Create(width, height, fill);
}

} // namespace gdi
