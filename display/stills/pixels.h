// Writing palette indexes into the packed rows of a bitmap of 1, 4 or 8 bits.
#pragma once

#include "platform/gdi/dib.h"

#include <cstdint>

namespace stills {

inline void PutIndex(uint8_t* row, int32_t x, int bits, uint8_t index) {
  switch (bits) {
  case 1: {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = (index & 1) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
    break;
  }
  case 4:
    if (x & 1)
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
    else
      row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | (index << 4));
    break;
  default:
    row[x] = index;
    break;
  }
}

// A blank bitmap of the given sides and depth, or the decoder's failure:
// sides outside the bitmap bounds are unsupported, too many bytes run out of
// memory.
int MakeBitmap(int64_t width, int64_t height, int bits, gdi::Dib& out);

} // namespace stills
