// The display's own GIF decoder: "GIF87a" and "GIF89a", the global colour
// table, the first image only (interlaced or not), decoded with the
// variable-length LZW of the format into a bitmap of the logical screen's
// size at 1, 4 or 8 bits.
#pragma once

#include "platform/gdi/dib.h"

#include <cstdint>
#include <span>

namespace stills {

// One of the results in result.h; out holds the bitmap on success. The image
// is placed at its offset on the screen, the background index elsewhere. A
// bad code or data ending early end the image with the pixels done so far.
int DecodeGif(std::span<const uint8_t> file, gdi::Dib& out);

} // namespace stills
