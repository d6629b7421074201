#include "display/bkbitmap.h"

#include "display/resources.h"
#include "display/stills/background.h"
#include "display/utils.h"
#include "platform/gdi/dib.h"

namespace display {

bool BackgroundBitmap::Load(const std::string& path) {
  std::vector<uint8_t> block;
  Destroy();
  if (LoadFileToGlobal(path, block) > 0)
    if (auto file = stills::ReadBackgroundFile(block)) {
      bitmap_ = gdi::Surface::FromDib(file->dib.View());
      if (bitmap_)
        palette_ = gdi::Palette::Create(file->palette);
    }
  if (!bitmap_)
    if (auto resource = LoadResourceFile("bitmaps/169.bmp"))
      if (auto dib = gdi::Dib::FromBmpFile(*resource))
        bitmap_ = gdi::Surface::FromDib(dib->View());
  return bitmap_ != nullptr;
}

bool BackgroundBitmap::DrawTiled(gdi::Dc& dc, const gdi::Rect& rect, gdi::Point origin) const {
  if (!bitmap_)
    return false;
  const int32_t w = bitmap_->Width(), h = bitmap_->Height();
  if (w <= 0 || h <= 0 || rect.IsEmpty())
    return false;
  // The first tile that reaches into the rectangle.
  auto first = [](int32_t edge, int32_t from, int32_t side) {
    const int64_t d = int64_t{edge} - from;
    const int64_t steps = d >= 0 ? d / side : -((-d + side - 1) / side);
    return static_cast<int32_t>(from + steps * side);
  };
  const int32_t top = first(rect.top, origin.y, h), left = first(rect.left, origin.x, w);
  for (int32_t y = top; y < rect.bottom; y += h)
    for (int32_t x = left; x < rect.right; x += w) {
      // Only the part inside the rectangle is drawn.
      const int32_t x0 = std::max(x, rect.left), y0 = std::max(y, rect.top);
      const int32_t x1 = std::min(x + w, rect.right), y1 = std::min(y + h, rect.bottom);
      dc.BitBlt(x0, y0, x1 - x0, y1 - y0, *bitmap_, x0 - x, y0 - y, gdi::kSrcCopy);
    }
  return true;
}

} // namespace display
