#include "display/stills/bmp.h"

#include "display/stills/result.h"
#include "display/stills/tests/support/decode_case.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

namespace {

using stills::test::Bytes;
using stills::test::DecodeCase;
using stills::test::Indexes;

// A BMP file: headers, colours grey entries (i, i, i) whose fourth byte is
// 0x55, then the pixel bytes.
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                         uint32_t colours, std::initializer_list<uint8_t> pixels) {
  Bytes f = stills::test::BmpHeaders(width, height, bits, compression, colours);
  for (uint32_t i = 0; i < colours; ++i)
    f.Raw({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0x55});
  f.Raw(pixels);
  return f.b;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> file, size_t n) {
  file.resize(file.size() - n);
  return file;
}

TEST(StillBmp, DecodesEveryDepthAndCoding) {
  const std::vector<DecodeCase> cases = {
      {"1 bit",
       Bmp(10, 1, 1, 0, 2, {0xA0, 0xC0, 0, 0}),
       1,
       10,
       1,
       1,
       {1, 0, 1, 0, 0, 0, 0, 0, 1, 1}},
      {"4 bits", Bmp(3, 1, 4, 0, 16, {0x12, 0x30, 0, 0}), 1, 3, 1, 4, {1, 2, 3}},
      {"8 bits bottom-up", Bmp(1, 2, 8, 0, 4, {1, 0, 0, 0, 2, 0, 0, 0}), 1, 1, 2, 8, {2, 1}},
      {"8 bits top-down", Bmp(1, -2, 8, 0, 4, {1, 0, 0, 0, 2, 0, 0, 0}), 1, 1, 2, 8, {1, 2}},
      {"16 bits 5-5-5",
       Bmp(2, 1, 16, 0, 0, {0x00, 0x7C, 0x1F, 0x00}),
       1,
       2,
       1,
       16,
       {},
       {gdi::Rgb(255, 0, 0), gdi::Rgb(0, 0, 255)}},
      {"24 bits",
       Bmp(1, 2, 24, 0, 0, {1, 2, 3, 0, 4, 5, 6, 0}),
       1,
       1,
       2,
       24,
       {},
       {gdi::Rgb(6, 5, 4), gdi::Rgb(3, 2, 1)}},
      {"32 bits", Bmp(1, 1, 32, 0, 0, {1, 2, 3, 0}), 1, 1, 1, 32, {}, {gdi::Rgb(3, 2, 1)}},
      // Bottom row: a run, an odd absolute run and its pad byte, end of line.
      // Next: a run, a delta along the row, a run, end of line. Then a delta
      // down a row, an odd absolute run, end of bitmap.
      {"RLE8 with every escape",
       Bmp(6, 4, 8, 1, 16, {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 2, 7, 0, 2, 2, 0, 2,
                            8, 0, 0, 0, 2, 1, 1, 0, 5, 9, 8, 7, 6, 5, 0, 0, 1}),
       1,
       6,
       4,
       8,
       {0, 9, 8, 7, 6, 5, 0, 0, 0, 0, 0, 0, 7, 7, 0, 0, 8, 8, 5, 5, 5, 1, 2, 3}},
      {"RLE4 runs alternate nibbles, absolute run of 3",
       Bmp(5, 2, 4, 2, 16, {5, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 2, 0x34, 0, 1}),
       1,
       5,
       2,
       4,
       {10, 11, 12, 3, 4, 1, 2, 1, 2, 1}},
      {"RLE4 absolute run of 5 padded to a word",
       Bmp(6, 1, 4, 2, 16, {0, 5, 0x12, 0x34, 0x50, 0, 1, 0x60, 0, 1}),
       1,
       6,
       1,
       4,
       {1, 2, 3, 4, 5, 6}},
      {"RLE4 delta",
       Bmp(4, 2, 4, 2, 16, {0, 2, 3, 1, 1, 0x90, 0, 1}),
       1,
       4,
       2,
       4,
       {0, 0, 0, 9, 0, 0, 0, 0}},
      {"RLE8 runs past the row's end are cut there",
       Bmp(4, 2, 8, 1, 16, {2, 1, 0, 0, 6, 2, 2, 3}),
       1,
       4,
       2,
       8,
       {2, 2, 2, 2, 1, 1, 0, 0}},
      // As encoders write rows to the stride: the padding is dropped and the
      // next row goes on.
      {"RLE8 run into the row's padding, then the next row",
       Bmp(3, 2, 8, 1, 16, {4, 2, 0, 0, 2, 3, 0, 1}),
       1,
       3,
       2,
       8,
       {3, 3, 0, 2, 2, 2}},
      {"RLE4 absolute run into the row's padding, then the next row",
       Bmp(3, 2, 4, 2, 16, {0, 4, 0x12, 0x34, 0, 0, 1, 0x50}),
       1,
       3,
       2,
       4,
       {5, 0, 0, 1, 2, 3}},
      {"RLE8 delta past the last row ends the image",
       Bmp(2, 2, 8, 1, 16, {1, 4, 0, 2, 0, 5, 1, 5}),
       1,
       2,
       2,
       8,
       {0, 0, 4, 0}},
      {"RLE8 delta past the row's end ends the image",
       Bmp(2, 2, 8, 1, 16, {1, 4, 0, 2, 2, 0, 1, 5}),
       1,
       2,
       2,
       8,
       {0, 0, 4, 0}},
      {"RLE8 data ending early keep the rows done",
       Bmp(2, 2, 8, 1, 16, {2, 6, 0, 0, 1}),
       1,
       2,
       2,
       8,
       {0, 0, 6, 6}},
      {"RLE8 absolute run past the data",
       Bmp(2, 2, 8, 1, 16, {1, 3, 0, 4, 1}),
       1,
       2,
       2,
       8,
       {0, 0, 3, 0}},
      {"RLE8 absolute run past the row's end",
       Bmp(2, 1, 8, 1, 16, {0, 3, 1, 2, 3, 0}),
       1,
       2,
       1,
       8,
       {1, 2}},
      {"24-bit RLE", Bmp(1, 1, 24, 1, 0, {1, 1, 0, 1}), -5},
      {"bit fields", Bmp(1, 1, 16, 3, 0, {0, 0, 0, 0}), -4},
      {"JPEG coding", Bmp(1, 1, 24, 4, 0, {0, 0, 0, 0}), -4},
      {"RLE8 on 4 bits", Bmp(1, 1, 4, 1, 16, {0, 1}), -4},
      {"RLE4 on 8 bits", Bmp(1, 1, 8, 2, 16, {0, 1}), -4},
      {"top-down RLE", Bmp(1, -1, 8, 1, 16, {0, 1}), -4},
      {"7 bits", Bmp(1, 1, 7, 0, 0, {0, 0, 0, 0}), -4},
      {"no width", Bmp(0, 1, 8, 0, 2, {0, 0, 0, 0}), -4},
      {"wider than a bitmap may be", Bmp(40000, 1, 8, 0, 2, {0, 0, 0, 0}), -4},
      {"more bytes than memory allows", Bmp(32768, 32768, 32, 0, 0, {0, 0, 0, 0}), -1},
      {"pixels cut short", Bmp(2, 2, 8, 0, 2, {0, 0, 0, 0, 0, 0, 0}), -4},
      {"colour table cut short", Cut(Bmp(1, 1, 8, 0, 2, {}), 1), -4},
      {"not a BMP", {'X', 'M', 0, 0}, -3},
  };
  stills::test::ExpectDecodes(cases, stills::DecodeBmp,
                              [](const gdi::Dib& dib) { EXPECT_EQ(dib.Header().compression, 0u); });
}

TEST(StillBmp, WidensCoreHeaderEntriesAndDropsTheTablesFourthByte) {
  Bytes core = stills::test::BmpCoreHeaders(2, 1, 8, 2);
  core.Raw({1, 2, 3, 4, 5, 6}).Raw({1, 0, 0, 0});
  gdi::Dib dib;
  ASSERT_EQ(stills::DecodeBmp(core.b, dib), stills::kDecoded);
  EXPECT_EQ(dib.Header().size, gdi::kBitmapInfoHeaderSize);
  ASSERT_EQ(dib.Colours().size(), 2u);
  EXPECT_EQ(dib.PixelColour(0, 0), gdi::Rgb(6, 5, 4));
  EXPECT_EQ(dib.PixelColour(1, 0), gdi::Rgb(3, 2, 1));

  gdi::Dib info;
  ASSERT_EQ(stills::DecodeBmp(Bmp(1, 1, 8, 0, 2, {0, 0, 0, 0}), info), stills::kDecoded);
  for (const gdi::RgbQuad& q : info.Colours())
    EXPECT_EQ(q.reserved, 0);
}

TEST(StillBmp, OffsetsOutsideTheFileAreRefused) {
  auto file = Bmp(1, 1, 8, 0, 2, {7, 0, 0, 0});
  auto past = file;
  past[10] = 0xFF;
  past[11] = 0xFF;
  auto inside = file;
  inside[10] = 20; // inside the info header
  gdi::Dib dib;
  EXPECT_EQ(stills::DecodeBmp(past, dib), stills::kUnsupported);
  EXPECT_EQ(stills::DecodeBmp(inside, dib), stills::kUnsupported);
}

} // namespace
