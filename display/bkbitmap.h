// The default background: a bitmap made from "bkimage.bmp" beside the
// program, with the palette its colour table gives, or, failing that, from
// bitmap 169 of the resource module without palette; drawn tiled over any
// rectangle.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/surface.h"

#include <memory>
#include <string>

namespace display {

class BackgroundBitmap {
public:
  // path: the file to load first: an uncompressed BMP. True when some
  // bitmap was loaded.
  bool Load(const std::string& path);
  // Copies the bitmap in tiles from the rectangle's top-left corner until the
  // rectangle is covered; false when there is no bitmap.
  bool DrawTiled(gdi::Dc& dc, const gdi::Rect& rect) const {
    return DrawTiled(dc, rect, gdi::Point{rect.left, rect.top});
  }
  // The same with the tiles laid from origin (a point at or above and left
  // of the rectangle), so that two drawings side by side join up.
  bool DrawTiled(gdi::Dc& dc, const gdi::Rect& rect, gdi::Point origin) const;
  void Destroy() {
    bitmap_.reset();
    palette_.reset();
  }
  bool Loaded() const { return bitmap_ != nullptr; }
  const std::shared_ptr<gdi::Bitmap>& Bitmap() const { return bitmap_; }
  // None for 16 to 32 bits and for bitmap 169.
  const std::shared_ptr<gdi::Palette>& Palette() const { return palette_; }

private:
  std::shared_ptr<gdi::Bitmap> bitmap_;
  std::shared_ptr<gdi::Palette> palette_;
};

} // namespace display
