#include "platform/gdi/dib.h"

#include <gtest/gtest.h>

#include <vector>

namespace gdi {
namespace {

// A BMP file put together byte by byte.
struct BmpBytes {
  std::vector<uint8_t> b;
  void U8(uint8_t v) { b.push_back(v); }
  void U16(uint16_t v) {
    U8(v & 0xFF);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void FileHeader(uint32_t size, uint32_t offBits) {
    U8('B');
    U8('M');
    U32(size);
    U32(0);
    U32(offBits);
  }
  void InfoHeader(int32_t w, int32_t h, uint16_t bits, uint32_t clrUsed, uint32_t compression = 0) {
    U32(40);
    U32(static_cast<uint32_t>(w));
    U32(static_cast<uint32_t>(h));
    U16(1);
    U16(bits);
    U32(compression);
    U32(0);
    U32(3780);
    U32(3780);
    U32(clrUsed);
    U32(0);
  }
  void Quad(uint8_t r, uint8_t g, uint8_t bl) {
    U8(bl);
    U8(g);
    U8(r);
    U8(0);
  }
};

// 8 bits, 3 x 2, a colour table of 3 entries, two filler bytes before the
// pixels so that they are found through the offset alone.
std::vector<uint8_t> EightBitFile() {
  BmpBytes f;
  const uint32_t off = 14 + 40 + 12 + 2;
  f.FileHeader(off + 8, off);
  f.InfoHeader(3, 2, 8, 3);
  f.Quad(255, 0, 0);
  f.Quad(0, 255, 0);
  f.Quad(0, 0, 255);
  f.U8(0xEE);
  f.U8(0xEE);
  // Bottom row first: blue green red, then the top row: red red green.
  for (uint8_t v : {2, 1, 0, 0, 0, 0, 1, 0})
    f.U8(v);
  return f.b;
}

TEST(Dib, ReadsAnEightBitFileBottomUpThroughItsPixelOffset) {
  const auto file = EightBitFile();
  auto dib = Dib::FromBmpFile(file);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->Width(), 3);
  EXPECT_EQ(dib->Height(), 2);
  EXPECT_EQ(dib->Colours().size(), 3u);
  const Colour red = Rgb(255, 0, 0), green = Rgb(0, 255, 0), blue = Rgb(0, 0, 255);
  const Colour expected[2][3] = {{red, red, green}, {blue, green, red}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(dib->PixelColour(x, y), expected[y][x]) << x << "," << y;
}

TEST(Dib, ReadsOneFourAndTwentyFourBitRowsWithTheirPadding) {
  // 1 bit, 10 x 2: rows of 2 bytes padded to 4.
  BmpBytes one;
  one.FileHeader(14 + 40 + 8 + 8, 14 + 40 + 8);
  one.InfoHeader(10, 2, 1, 0);
  one.Quad(0, 0, 0);
  one.Quad(255, 255, 255);
  for (uint8_t v : {0x80, 0x40, 0, 0, 0xAA, 0x80, 0, 0})
    one.U8(v);
  auto d1 = Dib::FromBmpFile(one.b);
  ASSERT_TRUE(d1);
  const Colour w = Rgb(255, 255, 255), k = 0;
  // Top row is the second stored row: 1010101010.
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(d1->PixelColour(x, 0), x % 2 == 0 ? w : k) << x;
  // Bottom row: 1000000001.
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(d1->PixelColour(x, 1), (x == 0 || x == 9) ? w : k) << x;

  // 4 bits, 3 x 1: high nibble first.
  BmpBytes four;
  four.FileHeader(14 + 40 + 8 + 4, 14 + 40 + 8);
  four.InfoHeader(3, 1, 4, 2);
  four.Quad(10, 20, 30);
  four.Quad(40, 50, 60);
  for (uint8_t v : {0x10, 0x10, 0, 0})
    four.U8(v);
  auto d4 = Dib::FromBmpFile(four.b);
  ASSERT_TRUE(d4);
  EXPECT_EQ(d4->PixelColour(0, 0), Rgb(40, 50, 60));
  EXPECT_EQ(d4->PixelColour(1, 0), Rgb(10, 20, 30));
  EXPECT_EQ(d4->PixelColour(2, 0), Rgb(40, 50, 60));

  // 24 bits, 2 x 2: blue, green, red per pixel, rows of 8 bytes.
  BmpBytes deep;
  deep.FileHeader(14 + 40 + 16, 14 + 40);
  deep.InfoHeader(2, 2, 24, 0);
  for (uint8_t v : {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0})
    deep.U8(v);
  auto d24 = Dib::FromBmpFile(deep.b);
  ASSERT_TRUE(d24);
  EXPECT_EQ(d24->PixelColour(0, 1), Rgb(3, 2, 1));
  EXPECT_EQ(d24->PixelColour(1, 1), Rgb(6, 5, 4));
  EXPECT_EQ(d24->PixelColour(0, 0), Rgb(9, 8, 7));
  EXPECT_EQ(d24->PixelColour(1, 0), Rgb(12, 11, 10));
}

TEST(Dib, WidensACoreHeaderAndTurnsATopDownFileRound) {
  BmpBytes core;
  core.FileHeader(14 + 12 + 6 + 4, 14 + 12 + 6);
  core.U32(12);
  core.U16(1);
  core.U16(1);
  core.U16(1);
  core.U16(1);
  for (uint8_t v : {1, 2, 3, 4, 5, 6}) // two 3-byte entries
    core.U8(v);
  for (uint8_t v : {0x80, 0, 0, 0})
    core.U8(v);
  auto dc = Dib::FromBmpFile(core.b);
  ASSERT_TRUE(dc);
  ASSERT_EQ(dc->Colours().size(), 2u);
  EXPECT_EQ(dc->Colours()[1], (RgbQuad{4, 5, 6, 0}));
  EXPECT_EQ(dc->Header().size, 40u);
  EXPECT_EQ(dc->PixelColour(0, 0), Rgb(6, 5, 4));

  BmpBytes top;
  top.FileHeader(14 + 40 + 8 + 8, 14 + 40 + 8);
  top.InfoHeader(1, -2, 8, 2);
  top.Quad(255, 0, 0);
  top.Quad(0, 0, 255);
  for (uint8_t v : {1, 0, 0, 0, 0, 0, 0, 0}) // stored top row first: blue, red
    top.U8(v);
  auto dt = Dib::FromBmpFile(top.b);
  ASSERT_TRUE(dt);
  EXPECT_EQ(dt->Height(), 2);
  EXPECT_EQ(dt->PixelColour(0, 0), Rgb(0, 0, 255));
  EXPECT_EQ(dt->PixelColour(0, 1), Rgb(255, 0, 0));
  EXPECT_EQ(dt->Bits()[0], 0); // now stored bottom-up
}

TEST(Dib, RefusesDamagedOrUnsupportedFiles) {
  const auto good = EightBitFile();
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Row> rows;
  rows.push_back({"empty", {}});
  rows.push_back({"short pixels", std::vector<uint8_t>(good.begin(), good.end() - 1)});
  auto magic = good;
  magic[0] = 'X';
  rows.push_back({"no magic", magic});
  auto rle = good;
  rle[14 + 16] = 1;
  rows.push_back({"compressed", rle});
  auto small = good;
  small[14] = 20;
  rows.push_back({"header of 20 bytes", small});
  auto wide = good;
  wide[14 + 4] = 0xA0;
  wide[14 + 5] = 0x86;
  wide[14 + 6] = 0x01; // 100000 pixels wide
  rows.push_back({"too wide", wide});
  auto zero = good;
  zero[14 + 4] = 0;
  rows.push_back({"no width", zero});
  auto offset = good;
  offset[10] = 0xFF;
  offset[11] = 0xFF;
  rows.push_back({"offset past the end", offset});
  auto depth = good;
  depth[14 + 14] = 7;
  rows.push_back({"7 bits", depth});
  for (const Row& r : rows)
    EXPECT_FALSE(Dib::FromBmpFile(r.bytes)) << r.what;
}

TEST(Dib, ClampsTheColourCountToTheDepth) {
  BitmapInfoHeader h;
  h.bitCount = 8;
  h.clrUsed = 300;
  EXPECT_EQ(DibColourCount(h), 256);
  h.clrUsed = 16;
  EXPECT_EQ(DibColourCount(h), 16);
  h.bitCount = 24;
  h.clrUsed = 0;
  EXPECT_EQ(DibColourCount(h), 0);
  h.bitCount = 1;
  EXPECT_EQ(DibColourCount(h), 2);
  EXPECT_EQ(DibStride(3, 8), 4u);
  EXPECT_EQ(DibStride(10, 1), 4u);
  EXPECT_EQ(DibStride(5, 24), 16u);
}

TEST(Dib, WritesTheBytesItReads) {
  BmpBytes f;
  const uint32_t off = 14 + 40 + 8;
  f.FileHeader(off + 4, off);
  f.InfoHeader(1, 1, 8, 2);
  f.Quad(1, 2, 3);
  f.Quad(4, 5, 6);
  for (uint8_t v : {1, 0, 0, 0})
    f.U8(v);
  // The writer fills in the image size.
  f.b[14 + 20] = 4;
  auto dib = Dib::FromBmpFile(f.b);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->ToBmpFile(), f.b);
}

TEST(Dib, PackedBitmapsKeepThePixelsRightAfterTheTable) {
  BmpBytes p;
  p.InfoHeader(2, 1, 8, 2);
  p.Quad(9, 9, 9);
  p.Quad(7, 7, 7);
  for (uint8_t v : {1, 0, 0, 0})
    p.U8(v);
  auto dib = Dib::FromPacked(p.b);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->PixelColour(0, 0), Rgb(7, 7, 7));
  EXPECT_EQ(dib->PixelColour(1, 0), Rgb(9, 9, 9));
  EXPECT_FALSE(Dib::Create(0, 5, 8));
  EXPECT_FALSE(Dib::Create(4, 4, 12));
  auto blank = Dib::Create(5, 3, 4);
  ASSERT_TRUE(blank);
  EXPECT_EQ(blank->Colours().size(), 16u);
  EXPECT_EQ(blank->Bits().size(), 12u);
}

TEST(Dib, ReadsSixteenBitPixelsAsFiveBitsAChannel) {
  BmpBytes f;
  const uint32_t off = 14 + 40;
  f.FileHeader(off + 4, off);
  f.InfoHeader(2, 1, 16, 0);
  // 0x7C00 pure red; 0x0421 one step of each channel.
  for (uint8_t v : {0x00, 0x7C, 0x21, 0x04})
    f.U8(v);
  auto dib = Dib::FromBmpFile(f.b);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->BitCount(), 16);
  EXPECT_EQ(dib->PixelColour(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(dib->PixelColour(1, 0), Rgb(8, 8, 8));
  auto blank = Dib::Create(3, 2, 16);
  ASSERT_TRUE(blank);
  EXPECT_EQ(blank->Stride(), 8u);
  EXPECT_TRUE(blank->Colours().empty());
}

} // namespace
} // namespace gdi
