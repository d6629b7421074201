#include "display/lyric/lyric_geometry.h"

#include <algorithm>
#include <cmath>

namespace display {

namespace {

// A product of factors as a whole number of pixels, truncated, and held to
// [0, limit] so that no factor read from a file makes an absurd view.
int32_t TruncatedPixels(double v, int32_t limit) {
  if (!(v > 0))
    return 0;
  if (v >= limit)
    return limit;
  return static_cast<int32_t>(v);
}

} // namespace

int16_t PadForHeight(int32_t height) {
  return height < 150 ? 1 : 2;
}

DockedPlacement PlaceDocked(int32_t frameRight, int32_t frameBottom, int32_t screenHeight,
                            float heightFactor, float gapFactor) {
  frameRight = std::max(frameRight, 0);
  frameBottom = std::max(frameBottom, 0);
  const int32_t s = std::max(screenHeight, 1);
  const float r = static_cast<float>(frameBottom) / static_cast<float>(s);
  const double base = r * 0.1425 + 0.0669;
  const double f1 = heightFactor;
  const double f2 = gapFactor;
  const int32_t height = TruncatedPixels(s * base * f1, frameBottom);
  const int32_t gap = TruncatedPixels(f2 * s * base, frameBottom - height);
  DockedPlacement p;
  p.view = gdi::MakeRect(2, frameBottom - height - gap, std::max(frameRight - 2, 0), height);
  p.pad = PadForHeight(height);
  return p;
}

int32_t LyricFontHeight(const gdi::Rect& r) {
  return static_cast<int32_t>(static_cast<int64_t>(r.bottom - r.top) * 5 / 12);
}

int32_t UsableWidth(const gdi::Rect& r) {
  return r.right - 2 * (r.right / 40);
}

SlotTops SlotTopsFor(int32_t height, int32_t fontHeight) {
  const int32_t u = (height - 2 * fontHeight) / 5;
  return SlotTops{2 * u - 2, fontHeight + 3 * u + 2};
}

LineFit FitLine(int32_t usable, int32_t lengthBytes, const LineMeasure& measure) {
  LineFit fit;
  fit.textWidth = measure(0);
  const int32_t length = std::max(lengthBytes, 1);
  int32_t k = 1;
  while (fit.textWidth > usable && k < 21) {
    int32_t w = std::max(usable, 0) / length;
    w += w / 3;
    w -= k;
    if (w < 1)
      w = 1;
    fit.charWidth = w;
    fit.textWidth = measure(w);
    ++fit.passes;
    k += k < 5 ? 1 : k < 10 ? 2 : 3;
  }
  return fit;
}

int32_t CentringMargin(const gdi::Rect& r, int32_t textWidth) {
  const int32_t margin = (UsableWidth(r) - textWidth) / 2 + (2 * (r.right / 40)) / 2;
  return std::max(margin, 0);
}

} // namespace display
