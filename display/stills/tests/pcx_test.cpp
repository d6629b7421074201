#include "display/stills/pcx.h"

#include "display/stills/result.h"
#include "display/stills/tests/support/decode_case.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

namespace {

using stills::test::Bytes;
using stills::test::DecodeCase;
using stills::test::Indexes;

std::vector<uint8_t> Pcx(uint16_t width, uint16_t height, uint8_t bitsPerPlane, uint8_t planes,
                         uint16_t bytesPerLine, std::initializer_list<uint8_t> data,
                         bool endPalette = false) {
  Bytes f = stills::test::PcxHeader(width, height, bitsPerPlane, planes, bytesPerLine);
  f.Raw(data);
  if (endPalette) {
    // Entry i: red i, green 2i, blue 255 - i.
    f.U8(0x0C);
    for (int i = 0; i < 256; ++i)
      f.Raw({static_cast<uint8_t>(i), static_cast<uint8_t>(2 * i), static_cast<uint8_t>(255 - i)});
  }
  return f.b;
}

TEST(StillPcx, DecodesEachLayout) {
  auto inverted = Pcx(2, 1, 8, 1, 2, {0, 0});
  inverted[8] = 0; // xMax below xMin
  inverted[9] = 0;
  inverted[4] = 5;
  const std::vector<DecodeCase> cases = {
      // Bytes of 0xC0 and up are coded as runs of one.
      {"1 bit x 1 plane",
       Pcx(10, 2, 1, 1, 2, {0xA0, 0xC1, 0xC0, 0xC1, 0xFF, 0x00}),
       1,
       10,
       2,
       1,
       {1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}},
      // Plane p gives bit p of each index: 5, 10, 15.
      {"1 bit x 4 planes merged",
       Pcx(3, 1, 1, 4, 1, {0xA0, 0x60, 0xA0, 0x60}),
       1,
       3,
       1,
       4,
       {5, 10, 15}},
      {"4 bits x 1 plane", Pcx(3, 1, 4, 1, 2, {0x12, 0x30}), 1, 3, 1, 4, {1, 2, 3}},
      {"8 bits with the end palette",
       Pcx(2, 2, 8, 1, 2, {1, 2, 0xC2, 3}, true),
       1,
       2,
       2,
       8,
       {1, 2, 3, 3}},
      {"odd bytes per line, pad byte dropped",
       Pcx(2, 2, 8, 1, 3, {1, 2, 9, 3, 4, 9}, true),
       1,
       2,
       2,
       8,
       {1, 2, 3, 4}},
      {"a run across a row end",
       Pcx(2, 2, 8, 1, 3, {1, 0xC3, 2, 3, 0}, true),
       1,
       2,
       2,
       8,
       {1, 2, 2, 3}},
      {"data ending early keep the rows done",
       Pcx(8, 2, 1, 1, 1, {0x0F}),
       1,
       8,
       2,
       1,
       {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"a run past the image's end",
       Pcx(8, 1, 1, 1, 1, {0xFF, 0xFF}),
       1,
       8,
       1,
       1,
       {1, 1, 1, 1, 1, 1, 1, 1}},
      {"24 bits", Pcx(2, 1, 8, 3, 2, {0, 0, 0, 0, 0, 0}), -5},
      {"2 bits x 1 plane", Pcx(2, 1, 2, 1, 2, {0, 0}), -4},
      {"1 bit x 3 planes", Pcx(2, 1, 1, 3, 2, {0, 0, 0}), -4},
      {"8 bits without the end palette", Pcx(2, 1, 8, 1, 2, {0, 0}), -4},
      {"bytes per line short of the row", Pcx(20, 1, 1, 1, 2, {0, 0}), -4},
      {"bounds reversed", inverted, -4},
      {"more bytes than memory allows", Pcx(32768, 32768, 4, 1, 16384, {0}), -1},
      {"header cut short", std::vector<uint8_t>(100, 0x0A), -4},
      {"not a PCX", {'B', 'M'}, -3},
  };
  stills::test::ExpectDecodes(cases, stills::DecodePcx);
}

TEST(StillPcx, TakesTheHeaderOrEndPalette) {
  gdi::Dib sixteen;
  ASSERT_EQ(stills::DecodePcx(Pcx(3, 1, 4, 1, 2, {0x12, 0x30}), sixteen), stills::kDecoded);
  ASSERT_EQ(sixteen.Colours().size(), 16u);
  EXPECT_EQ(sixteen.Colours()[15], (gdi::RgbQuad{255, 255, 255, 0}));
  EXPECT_EQ(sixteen.Colours()[1], (gdi::RgbQuad{17, 17, 17, 0}));
  gdi::Dib full;
  ASSERT_EQ(stills::DecodePcx(Pcx(2, 1, 8, 1, 2, {1, 2}, true), full), stills::kDecoded);
  ASSERT_EQ(full.Colours().size(), 256u);
  EXPECT_EQ(full.Colours()[3], (gdi::RgbQuad{252, 6, 3, 0}));
}

} // namespace
