#include "display/stills/stills.h"

#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

namespace {

using stills::test::Bytes;

TEST(Stills, OnlyGifNamesGoToTheOwnDecoders) {
  const struct {
    const char* what;
    const char* name;
    bool own;
  } cases[] = {
      {"lower case", "a.gif", true}, {"upper case", "C:\\PIC\\A.GIF", true},
      {"mixed case", "x.GiF", true}, {"BMP", "a.bmp", false},
      {"PCX", "a.pcx", false},       {"JPEG", "a.jpg", false},
      {"no dot", "agif", false},     {"gif inside the name", "a.gif.png", false},
      {"empty", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(stills::TakenByOwnDecoders(c.name), c.own) << c.what;
}

// A 1 x 1 GIF lengthened by a comment to the size given.
std::vector<uint8_t> GifOfSize(size_t size) {
  Bytes comment;
  comment.Raw({0x21, 0xFE});
  const size_t rest = 39; // every byte but the comment's text
  comment.U8(static_cast<uint8_t>(size - rest)).Fill(size - rest, 'c').U8(0);
  Bytes f =
      stills::test::GifHead("GIF89a", 1, 1, 0, 0, comment.b, stills::test::GifFrame{0, 0, 1, 1, 0});
  f.U8(2);
  auto data = stills::test::PackCodes({{4, 3}, {1, 3}, {5, 3}});
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.U8(0x3B);
  return f.b;
}

std::vector<uint8_t> BmpOf(uint16_t bits, int width) {
  const uint32_t colours = bits <= 8 ? 1u << bits : 0;
  Bytes f = stills::test::BmpHeaders(width, 1, bits, 0, colours);
  for (uint32_t i = 0; i < colours; ++i)
    f.Raw({static_cast<uint8_t>(i), 10, 20, 0x77});
  f.Fill(gdi::DibStride(width, bits), 1);
  return f.b;
}

TEST(Stills, ChoosesTheDecoderByTheFirstByte) {
  Bytes pcx = stills::test::PcxHeader(2, 1, 4, 1, 2);
  pcx.Raw({0x12, 0x00});
  auto other = BmpOf(8, 4);
  other[0] = 'X';
  const auto gif = GifOfSize(54);
  ASSERT_EQ(gif.size(), 54u);
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    int result;
    int bits;
  } cases[] = {
      {"B: BMP", BmpOf(24, 4), 1, 24},
      {"0x0A: PCX", pcx.b, 1, 4},
      {"G: GIF", gif, 1, 1},
      {"any other first byte", other, -3, 0},
      {"a GIF under 54 bytes", std::vector<uint8_t>(gif.begin(), gif.end() - 1), -3, 0},
      {"nothing", {}, -3, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    gdi::Dib dib;
    ASSERT_EQ(stills::DecodeStill(c.file, dib), c.result);
    if (c.result == stills::kDecoded) {
      EXPECT_EQ(dib.BitCount(), c.bits);
    }
  }
}

TEST(Stills, OnlyAnEightBitScreenRefusesDeeperImages) {
  const struct {
    const char* what;
    uint16_t bits;
    int screen;
    bool fits;
  } cases[] = {
      {"24 bits on 8", 24, 8, false},  {"16 bits on 8", 16, 8, false},
      {"8 bits on 8", 8, 8, true},     {"4 bits on 8", 4, 8, true},
      {"24 bits on 4", 24, 4, true},   {"24 bits on 16", 24, 16, true},
      {"32 bits on 32", 32, 32, true},
  };
  for (const auto& c : cases) {
    gdi::Dib dib;
    ASSERT_EQ(stills::DecodeStill(BmpOf(c.bits, 16), dib), stills::kDecoded) << c.what;
    EXPECT_EQ(stills::FitsScreen(dib, c.screen), c.fits) << c.what;
  }
}

TEST(Stills, BuildsThePaletteFromTheColourTable) {
  gdi::Dib eight, one, deep;
  ASSERT_EQ(stills::DecodeStill(BmpOf(8, 4), eight), stills::kDecoded);
  ASSERT_EQ(stills::DecodeStill(BmpOf(1, 64), one), stills::kDecoded);
  ASSERT_EQ(stills::DecodeStill(BmpOf(24, 4), deep), stills::kDecoded);
  const auto p8 = stills::StillPalette(eight);
  ASSERT_EQ(p8.size(), 256u);
  // Blue i, green 10, red 20 in the file; flags are never the fourth byte.
  EXPECT_EQ(p8[5], (gdi::PaletteEntry{20, 10, 5, 0}));
  const auto p1 = stills::StillPalette(one);
  ASSERT_EQ(p1.size(), 2u);
  EXPECT_EQ(p1[0], (gdi::PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(p1[1], (gdi::PaletteEntry{255, 255, 255, 0}));
  EXPECT_TRUE(stills::StillPalette(deep).empty());
}

} // namespace
