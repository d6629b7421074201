#include "display/stills/load.h"

#include "display/stills/pcx.h"
#include "display/stills/result.h"
#include "display/stills/stills.h"
#include "platform/gdi/imaging.h"

#include <fstream>
#include <mutex>
#include <vector>

namespace stills {
namespace {

std::optional<std::vector<uint8_t>> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in)
    return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxStillFileBytes)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
    return std::nullopt;
  return bytes;
}

int LoadOwn(const std::string& path, int screenBits, LoadedStill& out) {
  auto file = ReadWhole(path);
  if (!file)
    return 0;
  gdi::Dib dib;
  const int result = DecodeStill(*file, dib);
  if (result != kDecoded)
    return result;
  if (!FitsScreen(dib, screenBits))
    return kUnsupported;
  // A 1-bit image shows in black and white, whatever its table says.
  if (dib.BitCount() == 1 && dib.Colours().size() == 2)
    dib.Colours() = {gdi::RgbQuad{0, 0, 0, 0}, gdi::RgbQuad{255, 255, 255, 0}};
  const auto entries = StillPalette(dib);
  out.palette = gdi::Palette::Create(entries);
  out.dib = std::move(dib);
  out.own = true;
  return kDecoded;
}

int LoadWithImaging(const std::string& path, int screenBits, LoadedStill& out) {
  const auto info = gdi::imaging::GetFileInfo(path);
  if (!info)
    return 0;
  const ImagingDepth depth = ImagingDepthFor(info->bitsPerPixel, screenBits);
  auto dib = gdi::imaging::LoadBitmap(path, depth.load);
  if (dib && depth.reduceTo != 0)
    dib = gdi::imaging::ReduceColours(*dib, depth.reduceTo);
  if (!dib)
    return 0;
  out.palette = gdi::imaging::PaletteFromBitmap(*dib);
  out.dib = std::move(*dib);
  out.own = false;
  return kDecoded;
}

} // namespace

ImagingDepth ImagingDepthFor(int fileBits, int screenBits) {
  const int screen = screenBits > 8 ? 24 : screenBits;
  if (screen >= fileBits || screen > 8)
    return {};
  if (screen == 8)
    return {8, 0};
  return {0, 4};
}

void RegisterOwnReaders() {
  gdi::imaging::RegisterReader("pcx", [](std::span<const uint8_t> file, gdi::Dib& out) {
    return DecodePcx(file, out) == kDecoded;
  });
}

int LoadStill(const std::string& path, int screenBits, LoadedStill& out) {
  static std::once_flag registered;
  std::call_once(registered, RegisterOwnReaders);
  return TakenByOwnDecoders(path) ? LoadOwn(path, screenBits, out)
                                  : LoadWithImaging(path, screenBits, out);
}

} // namespace stills
