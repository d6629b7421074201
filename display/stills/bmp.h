// The display's own BMP decoder: 40-byte info headers and 12-byte core
// headers, 1 to 32 bits per pixel, uncompressed or RLE8/RLE4 coded, into a
// bottom-up uncompressed bitmap of the same depth.
#pragma once

#include "platform/gdi/dib.h"

#include <cstdint>
#include <span>

namespace stills {

constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;

// One of the results in result.h; out holds the bitmap on success. Run-length
// data that end early, or a run or delta past the bitmap, end the image with
// the rows done so far.
int DecodeBmp(std::span<const uint8_t> file, gdi::Dib& out);

} // namespace stills
