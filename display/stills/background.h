// Reading the default background's BMP file: an uncompressed bitmap whose
// offsets and pixel rows lie inside the file, and the palette its colour
// table gives.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/palette.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace stills {

struct BackgroundFile {
  gdi::BitmapFileHeader fileHeader;
  gdi::BitmapInfoHeader infoHeader; // as stored (a core header widened)
  gdi::Dib dib;
  // 2^bits entries with flags 0 for 1, 4 and 8 bits, fewer when the file's
  // colour table holds fewer; none for deeper bitmaps.
  std::vector<gdi::PaletteEntry> palette;
};

// nullopt for a file under 54 bytes, without "BM", compressed, of an unknown
// depth, or whose colour table or pixels would lie outside it.
std::optional<BackgroundFile> ReadBackgroundFile(std::span<const uint8_t> file);

} // namespace stills
