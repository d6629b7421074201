#include "display/stills/pixels.h"

#include "display/stills/result.h"

namespace stills {

int MakeBitmap(int64_t width, int64_t height, int bits, gdi::Dib& out) {
  if (width <= 0 || height <= 0 || width > gdi::kMaxDibSide || height > gdi::kMaxDibSide)
    return kUnsupported;
  if (gdi::DibStride(static_cast<int32_t>(width), bits) * static_cast<size_t>(height) >
      gdi::kMaxDibBytes)
    return kOutOfMemory;
  auto dib = gdi::Dib::Create(static_cast<int32_t>(width), static_cast<int32_t>(height), bits);
  if (!dib)
    return kOutOfMemory;
  out = std::move(*dib);
  return kDecoded;
}

} // namespace stills
