#include "pixels.h"

namespace gdi::testing {

Rect InkBox(const Surface& s, Colour background) {
  const Size size = s.Dimensions();
  const std::vector<Colour> px = s.CopyPixels();
  Rect box{size.cx, size.cy, 0, 0};
  for (int32_t y = 0; y < size.cy; ++y)
    for (int32_t x = 0; x < size.cx; ++x)
      if (px[static_cast<size_t>(y) * size.cx + x] != background) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box.IsEmpty() ? Rect{} : box;
}

int CountOtherPixels(const Surface& s, Colour a, Colour b) {
  int n = 0;
  for (Colour c : s.CopyPixels())
    if (c != a && c != b)
      ++n;
  return n;
}

int CountPixels(const Surface& s, const Rect& area, Colour colour) {
  int n = 0;
  for (Colour c : s.CopyPixels(area))
    if (c == colour)
      ++n;
  return n;
}

std::shared_ptr<const Font> MakeFont(const std::string& face, int32_t height, int32_t width,
                                     uint8_t quality, uint8_t charSet, int32_t weight) {
  LogFont lf;
  lf.height = height;
  lf.width = width;
  lf.quality = quality;
  lf.charSet = charSet;
  lf.weight = weight;
  lf.SetFaceName(face);
  return Font::Create(lf);
}

} // namespace gdi::testing
