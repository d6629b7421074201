#include "platform/gdi/dc.h"
#include "support/pixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace gdi {
namespace {

using Grid = std::vector<std::vector<Colour>>;

std::shared_ptr<Surface> FromGrid(const Grid& g) {
  auto s = Surface::Create(static_cast<int32_t>(g[0].size()), static_cast<int32_t>(g.size()));
  Dc dc(s);
  for (size_t y = 0; y < g.size(); ++y)
    for (size_t x = 0; x < g[y].size(); ++x)
      dc.SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), g[y][x]);
  return s;
}

Grid ToGrid(const Surface& s) {
  const Size size = s.Dimensions();
  const auto px = s.CopyPixels();
  Grid g(size.cy, std::vector<Colour>(size.cx));
  for (int32_t y = 0; y < size.cy; ++y)
    for (int32_t x = 0; x < size.cx; ++x)
      g[y][x] = px[y * size.cx + x];
  return g;
}

const Colour A = Rgb(0x12, 0x34, 0x56), B = Rgb(0xF0, 0x0F, 0x81), C = Rgb(0x77, 0x00, 0xFF),
             D = Rgb(0x01, 0x02, 0x03), W = Rgb(255, 255, 255), K = Rgb(0, 0, 0);

TEST(BitBlt, CopiesExactlyAndOnlyWhereTheSourceHasPixels) {
  auto src = FromGrid({{A, B}, {C, D}});
  auto dst = Surface::Create(4, 3, W);
  Dc dc(dst);
  // Asking for 3 x 3 from a 2 x 2 source: the rest stays.
  ASSERT_TRUE(dc.BitBlt(1, 0, 3, 3, *src, 0, 0, kSrcCopy));
  EXPECT_EQ(ToGrid(*dst), (Grid{{W, A, B, W}, {W, C, D, W}, {W, W, W, W}}));
  // From an offset inside the source, through a memory context.
  Dc mem = Dc::CreateMemory();
  mem.SelectBitmap(src);
  auto dst2 = Surface::Create(2, 2, W);
  Dc dc2(dst2);
  ASSERT_TRUE(dc2.BitBlt(0, 0, 2, 2, mem, 1, 1, kSrcCopy));
  EXPECT_EQ(ToGrid(*dst2), (Grid{{D, W}, {W, W}}));
  // The clip rectangle holds.
  auto dst3 = Surface::Create(2, 2, W);
  Dc dc3(dst3);
  dc3.SetClipRect(Rect{1, 0, 2, 2});
  dc3.BitBlt(0, 0, 2, 2, *src, 0, 0, kSrcCopy);
  EXPECT_EQ(ToGrid(*dst3), (Grid{{W, B}, {W, D}}));
}

TEST(BitBlt, RasterOperationsCombinePatternSourceAndDestinationBitwise) {
  const Colour s = Rgb(0xCC, 0x0F, 0xAA), d = Rgb(0xAA, 0x33, 0x0F), p = Rgb(0xF0, 0x55, 0x3C);
  struct Row {
    const char* name;
    uint32_t rop;
    uint32_t expected; // per channel from s, d and p
  };
  auto channels = [](auto f, Colour s, Colour d, Colour p) {
    return Rgb(f(RedOf(s), RedOf(d), RedOf(p)) & 0xFF, f(GreenOf(s), GreenOf(d), GreenOf(p)) & 0xFF,
               f(BlueOf(s), BlueOf(d), BlueOf(p)) & 0xFF);
  };
  const Row rows[] = {
      {"copy", kSrcCopy, channels([](int s, int, int) { return s; }, s, d, p)},
      {"invert (xor)", kSrcInvert, channels([](int s, int d, int) { return s ^ d; }, s, d, p)},
      {"and", kSrcAnd, channels([](int s, int d, int) { return s & d; }, s, d, p)},
      {"paint (or)", kSrcPaint, channels([](int s, int d, int) { return s | d; }, s, d, p)},
      {"erase", kSrcErase, channels([](int s, int d, int) { return s & ~d; }, s, d, p)},
      {"not copy", kNotSrcCopy, channels([](int s, int, int) { return ~s; }, s, d, p)},
      {"merge paint", kMergePaint, channels([](int s, int d, int) { return ~s | d; }, s, d, p)},
      {"merge copy", kMergeCopy, channels([](int s, int, int p) { return s & p; }, s, d, p)},
      {"dest invert", kDstInvert, channels([](int, int d, int) { return ~d; }, s, d, p)},
      {"pattern copy", kPatCopy, channels([](int, int, int p) { return p; }, s, d, p)},
      {"pattern invert", kPatInvert, channels([](int, int d, int p) { return p ^ d; }, s, d, p)},
      {"blackness", kBlackness, K},
      {"whiteness", kWhiteness, W},
  };
  auto src = FromGrid({{s}});
  for (const Row& r : rows) {
    auto dst = FromGrid({{d}});
    Dc dc(dst);
    dc.SelectBrush(SolidBrush(p));
    ASSERT_TRUE(dc.BitBlt(0, 0, 1, 1, *src, 0, 0, r.rop)) << r.name;
    EXPECT_EQ(dst->Pixel(0, 0), r.expected) << r.name;
  }
}

TEST(BitBlt, InvertingTwiceRestoresAndOverlappingCopiesMoveWhole) {
  const Grid before{{A, B, C}, {D, W, K}};
  auto dst = FromGrid(before);
  auto src = FromGrid({{B, C, D}, {K, A, W}});
  Dc dc(dst);
  dc.BitBlt(0, 0, 3, 2, *src, 0, 0, kSrcInvert);
  EXPECT_EQ(ToGrid(*dst)[0][0], Rgb(0x12 ^ 0xF0, 0x34 ^ 0x0F, 0x56 ^ 0x81));
  dc.BitBlt(0, 0, 3, 2, *src, 0, 0, kSrcInvert);
  EXPECT_EQ(ToGrid(*dst), before);

  // Scrolling a surface onto itself by one column.
  auto row = FromGrid({{A, B, C, D}});
  Dc self(row);
  self.BitBlt(1, 0, 3, 1, self, 0, 0, kSrcCopy);
  EXPECT_EQ(ToGrid(*row), (Grid{{A, A, B, C}}));
}

TEST(StretchBlt, NearestNeighbourIsPixelExact) {
  auto src = FromGrid({{A, B, C, D}, {D, C, B, A}});
  struct Row {
    const char* what;
    int32_t dw, dh, sx, sy, sw, sh;
    Grid expected;
  };
  const Row rows[] = {
      {"double", 4, 2, 0, 0, 2, 1, {{A, A, B, B}, {A, A, B, B}}},
      {"halve", 2, 1, 0, 0, 4, 2, {{A, C}}},
      {"three to five", 5, 1, 1, 0, 3, 1, {{B, B, C, C, D}}},
      {"rows", 1, 4, 3, 0, 1, 2, {{D}, {D}, {A}, {A}}},
  };
  for (const Row& r : rows) {
    auto dst = Surface::Create(r.dw, r.dh, W);
    Dc dc(dst);
    ASSERT_TRUE(dc.StretchBlt(0, 0, r.dw, r.dh, *src, r.sx, r.sy, r.sw, r.sh, kSrcCopy));
    EXPECT_EQ(ToGrid(*dst), r.expected) << r.what;
  }
  // Stretching with an inverting operation mixes each destination pixel once.
  auto dst = FromGrid({{W, W, W, W}});
  Dc dc(dst);
  dc.StretchBlt(0, 0, 4, 1, *src, 0, 0, 2, 1, kSrcInvert);
  const Colour notA = Rgb(0xFF ^ 0x12, 0xFF ^ 0x34, 0xFF ^ 0x56);
  const Colour notB = Rgb(0xFF ^ 0xF0, 0xFF ^ 0x0F, 0xFF ^ 0x81);
  EXPECT_EQ(ToGrid(*dst), (Grid{{notA, notA, notB, notB}}));
  EXPECT_FALSE(dc.StretchBlt(0, 0, -4, 1, *src, 0, 0, 2, 1, kSrcCopy));
}

// A device-independent bitmap of each depth with the same picture:
// top row red green, bottom row blue white.
Dib Picture(int bits) {
  auto dib = Dib::Create(2, 2, bits);
  const Colour red = Rgb(255, 0, 0), green = Rgb(0, 255, 0), blue = Rgb(0, 0, 255);
  const Colour pixels[2][2] = {{red, green}, {blue, W}};
  if (bits == 24) {
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        uint8_t* p = dib->RowFromTop(y) + 3 * x;
        p[0] = BlueOf(pixels[y][x]);
        p[1] = GreenOf(pixels[y][x]);
        p[2] = RedOf(pixels[y][x]);
      }
    return *dib;
  }
  if (bits == 1) {
    // Two colours only: red and white.
    dib->Colours()[0] = QuadOf(red);
    dib->Colours()[1] = QuadOf(W);
    dib->RowFromTop(0)[0] = 0x40; // red white
    dib->RowFromTop(1)[0] = 0x80; // white red
    return *dib;
  }
  dib->Colours()[0] = QuadOf(red);
  dib->Colours()[1] = QuadOf(green);
  dib->Colours()[2] = QuadOf(blue);
  dib->Colours()[3] = QuadOf(W);
  if (bits == 4) {
    dib->RowFromTop(0)[0] = 0x01;
    dib->RowFromTop(1)[0] = 0x23;
  } else {
    dib->RowFromTop(0)[0] = 0;
    dib->RowFromTop(0)[1] = 1;
    dib->RowFromTop(1)[0] = 2;
    dib->RowFromTop(1)[1] = 3;
  }
  return *dib;
}

TEST(StretchDib, DrawsEveryDepthBottomUpWithItsColourTable) {
  const Colour red = Rgb(255, 0, 0), green = Rgb(0, 255, 0), blue = Rgb(0, 0, 255);
  for (int bits : {1, 4, 8, 24}) {
    const Dib dib = Picture(bits);
    const Grid expected =
        bits == 1 ? Grid{{red, red, W, W}, {red, red, W, W}, {W, W, red, red}, {W, W, red, red}}
                  : Grid{{red, red, green, green},
                         {red, red, green, green},
                         {blue, blue, W, W},
                         {blue, blue, W, W}};
    auto dst = Surface::Create(4, 4, K);
    Dc dc(dst);
    EXPECT_EQ(dc.StretchDib(0, 0, 4, 4, 0, 0, 2, 2, dib.View(), kSrcCopy), 2) << bits;
    EXPECT_EQ(ToGrid(*dst), expected) << bits;
    // A bitmap made from it holds the same pixels.
    auto bitmap = Surface::FromDib(dib.View());
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Pixel(0, 1), bits == 1 ? W : blue) << bits;
  }
  // Too few pixel bytes for the header: refused, nothing drawn.
  Dib dib = Picture(8);
  DibView view = dib.View();
  view.bits = view.bits.first(4);
  auto dst = Surface::Create(2, 2, K);
  Dc dc(dst);
  EXPECT_EQ(dc.StretchDib(0, 0, 2, 2, 0, 0, 2, 2, view, kSrcCopy), 0);
  EXPECT_EQ(ToGrid(*dst), (Grid{{K, K}, {K, K}}));
}

TEST(Palette, SelectingAndRealisingChangeNothingOnScreen) {
  const PaletteEntry entries[] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 250, kPcNoCollapse}};
  auto palette = Palette::Create(entries);
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->NearestIndex(Rgb(200, 30, 10)), 1);
  EXPECT_EQ(palette->NearestIndex(Rgb(0, 0, 255)), 2);
  EXPECT_EQ(palette->ColourAt(2), Rgb(0, 0, 250));
  EXPECT_TRUE(palette->Resize(5));
  EXPECT_EQ(palette->Size(), 5u);
  EXPECT_EQ(palette->SetEntries(4, entries), 1u);
  EXPECT_EQ(palette->Entries(4, 9).size(), 1u);
  EXPECT_FALSE(Palette::Create({}));

  auto s = Surface::Create(2, 1, A);
  Dc dc(s);
  EXPECT_EQ(dc.SelectPalette(palette, false), nullptr);
  EXPECT_EQ(dc.RealizePalette(), 0);
  dc.SetPixel(1, 0, Rgb(1, 2, 3));
  EXPECT_EQ(s->Pixel(0, 0), A);
  EXPECT_EQ(s->Pixel(1, 0), Rgb(1, 2, 3)); // true colour, not the nearest entry
  EXPECT_EQ(dc.SelectPalette(nullptr, true), palette);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::BitsPixel), 32);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::LogPixelsY), 96);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::HasPalette), 0);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::SizePalette), 0);
}

// The colour wipe's way of turning sung text: the screen shows the text in
// its unsung colour, a bitmap holds (unsung XOR sung) on the text's pixels
// and black elsewhere, and inverting transfers of growing column ranges turn
// exactly those columns into the sung colour.
TEST(BitBlt, InvertingWipeTurnsTextIntoItsSungColours) {
  auto font = testing::MakeFont("NanumGothic", -30, 0, kNonAntialiasedQuality, kHangulCharSet);
  ASSERT_TRUE(font);
  const std::string line = "\xC7\xD1\xB1\xB9\xBE\xEE Song";
  const Colour back = Rgb(20, 30, 90), unsung = Rgb(255, 255, 255), sung = Rgb(255, 40, 0);
  auto drawText = [&](const std::shared_ptr<Surface>& s, Colour colour) {
    Dc dc(s);
    dc.SelectFont(font);
    dc.SetBkMode(kTransparent);
    dc.SetTextColor(colour);
    dc.TextOut(10, 5, line);
  };
  auto screen = Surface::Create(300, 50, back);
  drawText(screen, unsung);
  auto wipe = Surface::Create(300, 50, K);
  drawText(wipe, unsung ^ sung);
  Dc view(screen);
  Dc mem = Dc::CreateMemory();
  mem.SelectBitmap(wipe);
  int32_t drawn = 0;
  for (int32_t edge : {13, 40, 41, 90, 300}) {
    view.BitBlt(drawn, 0, edge - drawn, 50, mem, drawn, 0, kSrcInvert);
    drawn = edge;
  }
  auto expected = Surface::Create(300, 50, back);
  drawText(expected, sung);
  EXPECT_EQ(screen->CopyPixels(), expected->CopyPixels());
}

} // namespace
} // namespace gdi
