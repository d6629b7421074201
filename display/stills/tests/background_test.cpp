#include "display/stills/background.h"

#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

namespace {

using stills::test::Bytes;

// An uncompressed BMP of 3 x 2 pixels; the table holds `colours` entries
// (blue i, green 2i, red 3i, fourth byte 0x5A), the pixel offset follows it.
Bytes Bmp(uint16_t bits, uint32_t colours, int32_t height = 2, uint32_t compression = 0) {
  Bytes f = stills::test::BmpHeaders(3, height, bits, compression, colours);
  for (uint32_t i = 0; i < colours; ++i)
    f.Raw(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(2 * i), static_cast<uint8_t>(3 * i), 0x5A});
  // Each byte of a row gives its value; rows padded to 4 bytes.
  const size_t stride = gdi::DibStride(3, bits);
  for (int y = 0; y < (height < 0 ? -height : height); ++y)
    for (size_t i = 0; i < stride; ++i)
      f.U8(static_cast<uint8_t>(0x11 * (i + 1) + y));
  return f;
}

TEST(StillBackground, ReadsUncompressedFilesWithThePaletteTheTableGives) {
  auto withClrUsed = [](Bytes f, uint32_t clrUsed) {
    for (int i = 0; i < 4; ++i)
      f.b[46 + i] = static_cast<uint8_t>(clrUsed >> (8 * i));
    return f.b;
  };
  auto withOffBits = [](Bytes f, uint32_t off) {
    for (int i = 0; i < 4; ++i)
      f.b[10 + i] = static_cast<uint8_t>(off >> (8 * i));
    return f.b;
  };
  Bytes truncated = Bmp(24, 0);
  truncated.b.pop_back();
  Bytes under = Bmp(1, 0, 1);
  under.b.resize(53);
  Bytes wrongMagic = Bmp(8, 4);
  wrongMagic.b[1] = 'A';
  // Eight 3-byte entries, all pixels index 1.
  Bytes core = stills::test::BmpCoreHeaders(3, 2, 8, 8);
  core.Raw({1, 2, 3, 4, 5, 6}).Fill(18, 9).Fill(8, 1);
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    bool read;
    int bits = 0;
    size_t palette = 0;
    gdi::Colour bottomLeft = 0; // the first stored pixel
  } cases[] = {
      {"1 bit, 2 entries", Bmp(1, 2).b, true, 1, 2, gdi::Rgb(0, 0, 0)},
      {"4 bits, 16 entries", Bmp(4, 16).b, true, 4, 16, gdi::Rgb(3, 2, 1)},
      {"4 bits, a table of 5", Bmp(4, 5).b, true, 4, 5, gdi::Rgb(3, 2, 1)},
      {"8 bits, 256 entries", Bmp(8, 256).b, true, 8, 256, gdi::Rgb(51, 34, 17)},
      // clrUsed 0 asks for 256 entries; the pixels start after 3.
      {"8 bits, table shorter than the depth", withClrUsed(Bmp(8, 3), 0), true, 8, 3, 0},
      {"16 bits, no table", Bmp(16, 0).b, true, 16, 0, gdi::Rgb(0x42, 0x84, 0x8C)},
      {"24 bits", Bmp(24, 0).b, true, 24, 0, gdi::Rgb(0x33, 0x22, 0x11)},
      {"32 bits", Bmp(32, 0).b, true, 32, 0, gdi::Rgb(0x33, 0x22, 0x11)},
      {"24 bits top-down", Bmp(24, 0, -2).b, true, 24, 0, gdi::Rgb(0x34, 0x23, 0x12)},
      {"core header, 3-byte entries", core.b, true, 8, 8, gdi::Rgb(6, 5, 4)},
      {"RLE8", Bmp(8, 4, 2, 1).b, false},
      {"RLE4", Bmp(4, 4, 2, 2).b, false},
      {"under 54 bytes", under.b, false},
      {"pixels cut short", truncated.b, false},
      {"not BM", wrongMagic.b, false},
      {"pixel offset past the file", withOffBits(Bmp(24, 0), 1000), false},
      {"pixel offset inside the header", withOffBits(Bmp(24, 0), 20), false},
      {"nothing", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto file = stills::ReadBackgroundFile(c.file);
    ASSERT_EQ(file.has_value(), c.read);
    if (!file)
      continue;
    EXPECT_EQ(file->dib.BitCount(), c.bits);
    EXPECT_EQ(file->dib.Width(), 3);
    EXPECT_EQ(file->dib.Height(), 2);
    EXPECT_EQ(file->fileHeader.type, gdi::kBmpMagic);
    ASSERT_EQ(file->palette.size(), c.palette);
    for (size_t i = 0; i < c.palette; ++i)
      EXPECT_EQ(file->palette[i].flags, 0) << i;
    EXPECT_EQ(file->dib.PixelColour(0, 1), c.bottomLeft);
  }
}

} // namespace
