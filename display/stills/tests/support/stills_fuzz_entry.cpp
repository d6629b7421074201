#include "display/stills/tests/support/stills_fuzz_entry.h"

#include "display/stills/background.h"
#include "display/stills/bmp.h"
#include "display/stills/gif.h"
#include "display/stills/pcx.h"
#include "display/stills/result.h"
#include "display/stills/stills.h"

#include <span>

namespace stills::test {
namespace {

std::string CheckResult(const char* decoder, int result, const gdi::Dib& dib) {
  const std::string name = decoder;
  if (result != kDecoded) {
    if (result != kOutOfMemory && result != kNotThisFormat && result != kUnsupported &&
        result != kTwentyFourBits)
      return name + ": unknown result " + std::to_string(result);
    return {};
  }
  if (dib.Width() <= 0 || dib.Height() <= 0 || dib.Width() > gdi::kMaxDibSide ||
      dib.Height() > gdi::kMaxDibSide)
    return name + ": sides out of bounds";
  if (dib.Bits().size() != dib.Stride() * static_cast<size_t>(dib.Height()))
    return name + ": pixel bytes do not match the sides";
  if (dib.Header().compression != gdi::kBiRgb)
    return name + ": bitmap left compressed";
  if (dib.Colours().size() > 256 ||
      (dib.BitCount() <= 8 && dib.Colours().size() > (size_t{1} << dib.BitCount())))
    return name + ": colour table too large";
  // Every pixel of a small bitmap, the corners of a large one.
  const int64_t pixels = int64_t{dib.Width()} * dib.Height();
  uint32_t sum = 0;
  if (pixels <= 65536) {
    for (int32_t y = 0; y < dib.Height(); ++y)
      for (int32_t x = 0; x < dib.Width(); ++x)
        sum += dib.PixelColour(x, y);
  } else {
    sum += dib.PixelColour(0, 0) + dib.PixelColour(dib.Width() - 1, dib.Height() - 1);
  }
  (void)StillPalette(dib);
  (void)sum;
  return {};
}

} // namespace

std::string CheckStillInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  struct Decoder {
    const char* name;
    int (*decode)(std::span<const uint8_t>, gdi::Dib&);
  };
  static constexpr Decoder kDecoders[] = {
      {"BMP", DecodeBmp}, {"PCX", DecodePcx}, {"GIF", DecodeGif}, {"by first byte", DecodeStill}};
  for (const Decoder& d : kDecoders) {
    gdi::Dib dib;
    std::string fault = CheckResult(d.name, d.decode(file, dib), dib);
    if (!fault.empty())
      return fault;
  }
  if (auto background = ReadBackgroundFile(file)) {
    std::string fault = CheckResult("background", kDecoded, background->dib);
    if (!fault.empty())
      return fault;
    if (background->palette.size() != background->dib.Colours().size())
      return "background: palette and colour table differ";
  }
  return {};
}

} // namespace stills::test
