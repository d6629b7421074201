// The display's own PCX decoder: 1 bit in 1 or 4 planes, 4 bits and 8 bits
// in 1 plane, run-length coded, into a bottom-up bitmap of 1, 4 or 8 bits.
#pragma once

#include "platform/gdi/dib.h"

#include <cstdint>
#include <span>

namespace stills {

constexpr uint8_t kPcxMagic = 0x0A;
constexpr size_t kPcxHeaderSize = 128;

// One of the results in result.h; out holds the bitmap on success. Runs go
// on across the end of a row; data ending early end the image with the rows
// done so far.
int DecodePcx(std::span<const uint8_t> file, gdi::Dib& out);

} // namespace stills
