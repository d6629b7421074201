#include "display/stills/stills.h"

#include "display/stills/bmp.h"
#include "display/stills/gif.h"
#include "display/stills/pcx.h"
#include "display/stills/result.h"
#include "platform/sys/ascii.h"

namespace stills {

bool TakenByOwnDecoders(std::string_view name) {
  return sys::EndsWithIgnoringAsciiCase(name, ".gif");
}

int DecodeStill(std::span<const uint8_t> file, gdi::Dib& out) {
  if (file.size() < kMinStillFileSize)
    return kNotThisFormat;
  switch (file[0]) {
  case 'B':
    return DecodeBmp(file, out);
  case kPcxMagic:
    return DecodePcx(file, out);
  case 'G':
    return DecodeGif(file, out);
  default:
    return kNotThisFormat;
  }
}

bool FitsScreen(const gdi::Dib& dib, int screenBits) {
  return screenBits != 8 || dib.BitCount() <= screenBits;
}

std::vector<gdi::PaletteEntry> StillPalette(const gdi::Dib& dib) {
  std::vector<gdi::PaletteEntry> entries;
  if (dib.BitCount() > 8)
    return entries;
  for (const gdi::RgbQuad& q : dib.Colours())
    entries.push_back(gdi::PaletteEntry{q.red, q.green, q.blue, 0});
  if (dib.BitCount() == 1 && entries.size() == 2) {
    entries[0] = gdi::PaletteEntry{0, 0, 0, 0};
    entries[1] = gdi::PaletteEntry{255, 255, 255, 0};
  }
  return entries;
}

} // namespace stills
