// Still images read by the display's own decoders: the choice of decoder by
// file name and first byte, the screen-depth check and the palette a decoded
// bitmap gives.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/palette.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace stills {

// Files shorter than a BMP's two headers are never decoded.
constexpr size_t kMinStillFileSize = 54;

// True for names the own decoders read (extension "gif" in any case); every
// other name goes to the imaging library.
bool TakenByOwnDecoders(std::string_view name);

// Decodes a whole file by its first byte: "B" BMP, 0x0A PCX, "G" GIF. One of
// the results in result.h.
int DecodeStill(std::span<const uint8_t> file, gdi::Dib& out);

// False when a palette screen of 8 bits cannot show the bitmap's depth.
bool FitsScreen(const gdi::Dib& dib, int screenBits);

// The logical palette of a decoded bitmap: none for 24 and 32 bits (and for
// 16), else one entry per colour-table entry with flags 0; the two entries of
// a 1-bit bitmap are black and white.
std::vector<gdi::PaletteEntry> StillPalette(const gdi::Dib& dib);

} // namespace stills
