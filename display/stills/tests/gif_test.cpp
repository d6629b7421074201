#include "display/stills/gif.h"

#include "display/stills/result.h"
#include "display/stills/tests/support/decode_case.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using stills::test::Bytes;
using stills::test::DecodeCase;
using stills::test::GifFrame;
using stills::test::Indexes;
using Codes = std::vector<std::pair<int, int>>;

// A whole GIF: the head, the minimum code size, the packed codes, the trailer.
std::vector<uint8_t> Gif(const std::string& signature, uint16_t width, uint16_t height,
                         int tableBits, uint8_t background, const std::vector<uint8_t>& blocks,
                         const GifFrame& frame, int minCodeSize, const Codes& codes) {
  Bytes f = stills::test::GifHead(signature, width, height, tableBits, background, blocks, frame);
  f.U8(static_cast<uint8_t>(minCodeSize));
  auto data = stills::test::PackCodes(codes);
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.U8(0x3B);
  return f.b;
}

// Three pixels 1, 0, 1 of a 3 x 1 screen in 4-bit codes' clothing: the third
// code widens the codes to 4 bits.
std::vector<uint8_t> Small(const std::string& signature, const std::vector<uint8_t>& blocks,
                           int tableBits = 0) {
  return Gif(signature, 3, 1, tableBits, 0, blocks, GifFrame{0, 0, 3, 1, 0}, 2,
             {{4, 3}, {1, 3}, {0, 3}, {1, 3}, {5, 4}});
}

const std::vector<uint8_t> kGraphicControl = {0x21, 0xF9, 4, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kComment = {0x21, 0xFE, 3, 'a', 'b', 'c', 0};
const std::vector<uint8_t> kPlainText = {0x21, 0x01, 12, 0, 0, 0, 0,   0,   0, 0,
                                         0,    0,    0,  0, 0, 2, 'h', 'i', 0};

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(StillGif, DecodesTheFirstImage) {
  std::vector<uint8_t> truncated =
      Gif("GIF89a", 3, 1, 1, 0, {}, GifFrame{0, 0, 3, 1, 0}, 2, {{4, 3}, {1, 3}, {2, 3}});
  // The data block says 50 bytes and the file ends after 2 of them.
  truncated.resize(truncated.size() - 2);
  truncated[truncated.size() - 3] = 50;
  auto noTable = Small("GIF89a", {});
  noTable[10] = 0;
  const std::vector<DecodeCase> cases = {
      {"87a, 2 colours", Small("GIF87a", {}), 1, 3, 1, 1, {1, 0, 1}},
      {"89a", Small("GIF89a", {}), 1, 3, 1, 1, {1, 0, 1}},
      {"graphic control skipped", Small("GIF89a", kGraphicControl), 1, 3, 1, 1, {1, 0, 1}},
      {"comment skipped", Small("GIF89a", kComment), 1, 3, 1, 1, {1, 0, 1}},
      {"plain text skipped", Small("GIF89a", kPlainText), 1, 3, 1, 1, {1, 0, 1}},
      {"all three skipped", Small("GIF89a", Join({kComment, kGraphicControl, kPlainText})), 1, 3,
       1, 1, {1, 0, 1}},
      {"application extension refused",
       Small("GIF89a", Join({{0x21, 0xFF, 11}, std::vector<uint8_t>(11, 'N'), {3, 1, 0, 0, 0}})),
       -4},
      {"4 colours take 4 bits", Small("GIF89a", {}, 1), 1, 3, 1, 4, {1, 0, 1}},
      {"16 colours", Gif("GIF89a", 2, 2, 3, 0, {}, GifFrame{0, 0, 2, 2, 0}, 4,
                         {{16, 5}, {15, 5}, {3, 5}, {9, 5}, {12, 5}, {17, 5}}),
       1, 2, 2, 4, {15, 3, 9, 12}},
      {"256 colours", Gif("GIF89a", 2, 1, 7, 0, {}, GifFrame{0, 0, 2, 1, 0}, 8,
                          {{256, 9}, {200, 9}, {17, 9}, {257, 9}}),
       1, 2, 1, 8, {200, 17}},
      // Code 6 is the one being defined by this very code: 2 and its own
      // first pixel.
      {"a code that refers to itself", Gif("GIF89a", 3, 1, 1, 0, {}, GifFrame{0, 0, 3, 1, 0}, 2,
                                           {{4, 3}, {2, 3}, {6, 3}, {5, 3}}),
       1, 3, 1, 4, {2, 2, 2}},
      {"a defined string reused", Gif("GIF89a", 5, 1, 1, 0, {}, GifFrame{0, 0, 5, 1, 0}, 2,
                                      {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {3, 4}, {5, 4}}),
       1, 5, 1, 4, {1, 2, 1, 2, 3}},
      // Rows 0 and 8, then 4, then 2 and 6, then the odd ones.
      {"interlaced", Gif("GIF89a", 1, 9, 3, 0, {}, GifFrame{0, 0, 1, 9, 0x40}, 4,
                         {{16, 5}, {0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5},
                          {8, 5}, {17, 5}}),
       1, 1, 9, 4, {0, 5, 3, 6, 2, 7, 4, 8, 1}},
      {"a frame smaller than the screen at its offset",
       Gif("GIF89a", 4, 3, 3, 5, {}, GifFrame{1, 1, 2, 2, 0}, 4,
           {{16, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {17, 5}}),
       1, 4, 3, 4, {5, 5, 5, 5, 5, 1, 2, 5, 5, 3, 4, 5}},
      {"a frame off the screen",
       Gif("GIF89a", 4, 3, 3, 5, {}, GifFrame{3, 0, 2, 2, 0}, 4, {{16, 5}, {17, 5}}), -4},
      {"a frame of no pixels",
       Gif("GIF89a", 4, 3, 3, 5, {}, GifFrame{0, 0, 0, 2, 0}, 4, {{16, 5}, {17, 5}}), -4},
      {"a bad code keeps the pixels done", Gif("GIF89a", 3, 1, 1, 0, {}, GifFrame{0, 0, 3, 1, 0},
                                               2, {{4, 3}, {1, 3}, {7, 3}, {2, 3}, {5, 3}}),
       1, 3, 1, 4, {1, 0, 0}},
      {"a first code after clear that is no pixel",
       Gif("GIF89a", 3, 1, 1, 0, {}, GifFrame{0, 0, 3, 1, 0}, 2, {{4, 3}, {6, 3}, {5, 3}}), 1, 3,
       1, 4, {0, 0, 0}},
      {"truncated data keep the pixels done", truncated, 1, 3, 1, 4, {1, 2, 0}},
      {"no global table", noTable, -4},
      {"a local table", Gif("GIF89a", 3, 1, 0, 0, {}, GifFrame{0, 0, 3, 1, 0x80}, 2, {{4, 3}}),
       -4},
      {"minimum code size of 9",
       Gif("GIF89a", 3, 1, 0, 0, {}, GifFrame{0, 0, 3, 1, 0}, 9, {{512, 10}}), -4},
      {"another signature", [] {
         auto f = Small("GIF89a", {});
         f[4] = '8';
         return f;
       }(),
       -3},
  };
  stills::test::ExpectDecodes(cases, stills::DecodeGif);
}

TEST(StillGif, FillsTheColourTableAndZeroesTheRest) {
  gdi::Dib dib;
  ASSERT_EQ(stills::DecodeGif(Small("GIF89a", {}, 1), dib), stills::kDecoded);
  ASSERT_EQ(dib.Colours().size(), 16u);
  // Entry i of the fixtures' tables is red i, green 255 - i, blue 7.
  EXPECT_EQ(dib.Colours()[3], (gdi::RgbQuad{7, 252, 3, 0}));
  EXPECT_EQ(dib.Colours()[4], gdi::RgbQuad{});
}

TEST(StillGif, TheTrailerBeforeAnImageIsRefused) {
  Bytes f;
  f.Text("GIF89a").U16(1).U16(1).U8(0x80).U8(0).U8(0).Raw({0, 0, 0, 255, 255, 255}).U8(0x3B);
  gdi::Dib dib;
  EXPECT_EQ(stills::DecodeGif(f.b, dib), stills::kUnsupported);
}

// Random pixels of 16 colours fill the code table; the encoder then goes on
// at 12 bits without a clear code, and the decoder must follow.
TEST(StillGif, GoesOnWithAFullTable) {
  std::vector<uint8_t> pixels(128 * 128);
  uint32_t seed = 12345;
  for (uint8_t& p : pixels) {
    seed = seed * 1103515245 + 12345;
    p = (seed >> 16) & 15;
  }
  const Codes codes = stills::test::EncodeLzw(pixels, 4);
  ASSERT_GT(codes.size(), 4096u + 1000u) << "the table must fill well before the end";
  EXPECT_EQ(codes[codes.size() - 2].second, 12);
  gdi::Dib dib;
  ASSERT_EQ(stills::DecodeGif(
                Gif("GIF89a", 128, 128, 3, 0, {}, GifFrame{0, 0, 128, 128, 0}, 4, codes), dib),
            stills::kDecoded);
  EXPECT_EQ(Indexes(dib), pixels);
}

// A flat 2000 x 2000 image is coded with strings growing by one pixel per
// code, so its longest chain runs far past 2048 codes.
TEST(StillGif, DecodesALargeFlatImage) {
  const std::vector<uint8_t> pixels(2000 * 2000, 1);
  const Codes codes = stills::test::EncodeLzw(pixels, 2);
  ASSERT_GT(codes.size(), 2048u + 3);
  gdi::Dib dib;
  ASSERT_EQ(stills::DecodeGif(
                Gif("GIF89a", 2000, 2000, 0, 0, {}, GifFrame{0, 0, 2000, 2000, 0}, 2, codes), dib),
            stills::kDecoded);
  EXPECT_EQ(dib.Width(), 2000);
  EXPECT_EQ(dib.Height(), 2000);
  // Every row full of ones: 250 bytes of 0xFF, padded to 252.
  for (int32_t y = 0; y < 2000; y += 1) {
    const uint8_t* row = dib.RowFromTop(y);
    ASSERT_EQ(std::count(row, row + 250, 0xFF), 250) << "row " << y;
  }
}

} // namespace
