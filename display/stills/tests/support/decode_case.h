// One row of a decoder's fixture table and the check every decoder's table
// runs: the result code, then the bitmap's size, depth and pixels.
#pragma once

#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace stills::test {

struct DecodeCase {
  const char* what;
  std::vector<uint8_t> file;
  int result;
  int width = 0, height = 0, bits = 0;
  // Row by row from the top: palette indexes for 1 to 8 bits, else colours.
  std::vector<uint8_t> indexes = {};
  std::vector<gdi::Colour> colours = {};
};

using Decoder = int (*)(std::span<const uint8_t>, gdi::Dib&);

// Decodes each row; `more` checks what a decoder adds to a decoded bitmap.
inline void ExpectDecodes(const std::vector<DecodeCase>& cases, Decoder decode,
                          const std::function<void(const gdi::Dib&)>& more = {}) {
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.what);
    gdi::Dib dib;
    ASSERT_EQ(decode(c.file, dib), c.result);
    if (c.result != kDecoded)
      continue;
    EXPECT_EQ(dib.Width(), c.width);
    EXPECT_EQ(dib.Height(), c.height);
    EXPECT_EQ(dib.BitCount(), c.bits);
    if (more)
      more(dib);
    if (!c.indexes.empty()) {
      EXPECT_EQ(Indexes(dib), c.indexes);
    }
    for (size_t i = 0; i < c.colours.size(); ++i)
      EXPECT_EQ(
          dib.PixelColour(static_cast<int32_t>(i % c.width), static_cast<int32_t>(i / c.width)),
          c.colours[i])
          << i;
  }
}

} // namespace stills::test
