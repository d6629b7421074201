#include "platform/gdi/dc.h"
#include "support/pixels.h"

#include <gtest/gtest.h>

#include <string>

namespace gdi {
namespace {

const Colour W = Rgb(255, 255, 255), K = Rgb(0, 0, 0), R = Rgb(255, 0, 0), G = Rgb(0, 160, 0);

// One row of a surface as characters: '#' for colour on, '.' for background,
// '?' for anything else.
std::string RowText(const Surface& s, int32_t y, Colour on, Colour off) {
  std::string out;
  for (Colour c : s.CopyPixels(Rect{0, y, s.Width(), y + 1}))
    out += c == on ? '#' : c == off ? '.' : '?';
  return out;
}

TEST(Lines, LeaveOutTheLastPixelAndInvertExactly) {
  auto s = Surface::Create(10, 10, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsSolid, 1, K});
  dc.MoveTo(2, 5);
  ASSERT_TRUE(dc.LineTo(8, 5));
  EXPECT_EQ(RowText(*s, 5, K, W), "..######..");
  EXPECT_EQ(dc.CurrentPosition(), (Point{8, 5}));
  // A diagonal runs corner to corner, one pixel per row.
  auto d = Surface::Create(5, 5, W);
  Dc dd(d);
  dd.SelectPen(Pen{kPsSolid, 0, K});
  dd.MoveTo(0, 0);
  dd.LineTo(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    EXPECT_EQ(d->Pixel(y, y), K);
  EXPECT_EQ(d->Pixel(4, 4), W);

  // The play-position mark: an inverted line drawn twice is gone; a chain of
  // inverted lines touches every pixel once, so its corners stay inverted.
  auto x = Surface::Create(10, 10, R);
  Dc xd(x);
  xd.SetRop2(kR2Not);
  xd.MoveTo(3, 0);
  xd.LineTo(3, 10);
  EXPECT_EQ(x->Pixel(3, 4), Rgb(0, 255, 255));
  xd.MoveTo(3, 0);
  xd.LineTo(3, 10);
  EXPECT_EQ(testing::CountPixels(*x, Rect{0, 0, 10, 10}, R), 100);
  const Point chain[] = {{1, 1}, {6, 1}, {6, 6}, {1, 6}, {1, 1}};
  xd.SetRop2(kR2XorPen);
  xd.SelectPen(Pen{kPsSolid, 1, Rgb(255, 255, 255)});
  xd.Polyline(chain);
  EXPECT_EQ(x->Pixel(6, 1), Rgb(0, 255, 255));
  EXPECT_EQ(x->Pixel(1, 1), Rgb(0, 255, 255));
  EXPECT_EQ(testing::CountPixels(*x, Rect{0, 0, 10, 10}, Rgb(0, 255, 255)), 20);
}

TEST(Lines, DashStylesAndTheirGaps) {
  struct Row {
    int style;
    std::string expected;
  };
  const Row rows[] = {
      {kPsDash, std::string(18, '#') + std::string(6, '.') + std::string(6, '#')},
      {kPsDot, "###...###...###...###...###..."},
      {kPsDashDot, std::string(9, '#') + "......###......" + std::string(6, '#')},
      {kPsDashDotDot, std::string(9, '#') + "...###...###..." + std::string(6, '#')},
      {kPsSolid, std::string(30, '#')},
  };
  for (const Row& r : rows) {
    for (int mode : {kTransparent, kOpaque}) {
      auto s = Surface::Create(30, 1, W);
      Dc dc(s);
      dc.SelectPen(Pen{r.style, 1, K});
      dc.SetBkMode(mode);
      dc.SetBkColor(G);
      dc.MoveTo(0, 0);
      dc.LineTo(30, 0);
      std::string expected = r.expected;
      if (mode == kOpaque)
        for (char& c : expected)
          c = c == '.' ? '?' : c; // gaps in the background colour
      EXPECT_EQ(RowText(*s, 0, K, W), expected) << r.style << " " << mode;
      if (mode == kOpaque) {
        EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 30, 1}, G),
                  static_cast<int>(std::count(r.expected.begin(), r.expected.end(), '.')));
      }
    }
  }
  // A wide pen is solid and as thick as its width.
  auto s = Surface::Create(40, 20, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsDash, 5, K});
  dc.MoveTo(5, 10);
  dc.LineTo(35, 10);
  std::string column;
  for (int32_t y = 0; y < 20; ++y)
    column += s->Pixel(20, y) == K ? '#' : '.';
  EXPECT_EQ(column, "........#####.......");
  EXPECT_EQ(RowText(*s, 10, K, W).substr(5, 30), std::string(30, '#'));
}

TEST(Shapes, RectangleOutlinesInThePenAndFillsInTheBrush) {
  auto s = Surface::Create(8, 6, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsSolid, 1, K});
  dc.SelectBrush(SolidBrush(R));
  ASSERT_TRUE(dc.Rectangle(1, 1, 7, 5));
  const char* expected[] = {"........", ".######.", ".#rrrr#.", ".#rrrr#.", ".######.", "........"};
  for (int32_t y = 0; y < 6; ++y) {
    std::string row;
    for (Colour c : s->CopyPixels(Rect{0, y, 8, y + 1}))
      row += c == K ? '#' : c == R ? 'r' : '.';
    EXPECT_EQ(row, expected[y]) << y;
  }
  // The current-cell marker: inverted rectangles drawn twice vanish, corners
  // included; a hollow brush leaves the inside.
  auto m = Surface::Create(12, 12, G);
  Dc md(m);
  md.SetRop2(kR2Not);
  md.SelectBrush(NullBrush());
  for (int pass = 0; pass < 2; ++pass)
    for (int inset : {0, 1, -1})
      md.Rectangle(3 + inset, 3 + inset, 9 - inset, 9 - inset);
  EXPECT_EQ(testing::CountPixels(*m, Rect{0, 0, 12, 12}, G), 144);
  md.Rectangle(3, 3, 9, 9);
  EXPECT_EQ(testing::CountPixels(*m, Rect{0, 0, 12, 12}, G), 144 - 20);
  // A null pen draws no outline.
  auto n = Surface::Create(4, 4, W);
  Dc nd(n);
  nd.SelectPen(NullPen());
  nd.SelectBrush(SolidBrush(R));
  nd.Rectangle(0, 0, 4, 4);
  EXPECT_EQ(testing::CountPixels(*n, Rect{0, 0, 4, 4}, R), 16);
}

TEST(Shapes, EllipseStaysInsideItsBoxAndTouchesEverySide) {
  auto s = Surface::Create(40, 30, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsSolid, 1, K});
  dc.SelectBrush(SolidBrush(R));
  ASSERT_TRUE(dc.Ellipse(5, 4, 35, 24));
  EXPECT_EQ(testing::InkBox(*s, W), (Rect{5, 4, 35, 24}));
  EXPECT_EQ(s->Pixel(20, 14), R);
  EXPECT_EQ(s->Pixel(5, 14), K);
  EXPECT_EQ(s->Pixel(34, 14), K);
  EXPECT_EQ(s->Pixel(5, 4), W); // the box's corner is outside the ellipse
  EXPECT_EQ(testing::CountOtherPixels(*s, W, K) - testing::CountPixels(*s, Rect{0, 0, 40, 30}, R),
            0);
  // Inverting twice puts everything back.
  auto x = Surface::Create(20, 20, G);
  Dc xd(x);
  xd.SetRop2(kR2Not);
  xd.Ellipse(2, 2, 18, 18);
  EXPECT_LT(testing::CountPixels(*x, Rect{0, 0, 20, 20}, G), 400);
  xd.Ellipse(2, 2, 18, 18);
  EXPECT_EQ(testing::CountPixels(*x, Rect{0, 0, 20, 20}, G), 400);
}

TEST(Shapes, FillsFramesInversionAndPixels) {
  auto s = Surface::Create(6, 4, W);
  Dc dc(s);
  dc.SetRop2(kR2Not); // fills ignore the mix mode
  ASSERT_TRUE(dc.FillRect(Rect{1, 1, 4, 3}, R));
  EXPECT_EQ(RowText(*s, 0, R, W), "......");
  EXPECT_EQ(RowText(*s, 1, R, W), ".###..");
  EXPECT_EQ(RowText(*s, 2, R, W), ".###..");
  dc.InvertRect(Rect{0, 0, 6, 4});
  EXPECT_EQ(s->Pixel(0, 0), K);
  EXPECT_EQ(s->Pixel(2, 2), Rgb(0, 255, 255));
  auto f = Surface::Create(5, 5, W);
  Dc fd(f);
  fd.FrameRect(Rect{0, 0, 5, 5}, K);
  EXPECT_EQ(testing::CountPixels(*f, Rect{0, 0, 5, 5}, K), 16);
  EXPECT_EQ(fd.SetPixel(2, 2, G), G);
  EXPECT_EQ(fd.GetPixel(2, 2), G);
  EXPECT_EQ(fd.SetPixel(5, 0, G), kInvalidColour);
  EXPECT_EQ(fd.GetPixel(-1, 0), kInvalidColour);
}

TEST(State, SaveAndRestoreBringBackEverySetting) {
  auto s = Surface::Create(10, 10, W);
  Dc dc(s);
  dc.SetTextColor(R);
  dc.SetBkMode(kTransparent);
  dc.SelectPen(Pen{kPsDot, 1, G});
  const int first = dc.Save();
  EXPECT_EQ(first, 1);
  dc.SetTextColor(G);
  dc.SetBkColor(K);
  dc.SetBkMode(kOpaque);
  dc.SetTextAlign(kTaRight);
  dc.SetRop2(kR2XorPen);
  dc.SelectPen(Pen{kPsSolid, 3, K});
  dc.SetClipRect(Rect{0, 0, 2, 2});
  dc.MoveTo(7, 7);
  EXPECT_EQ(dc.Save(), 2);
  dc.SetTextColor(K);
  EXPECT_TRUE(dc.Restore(-1));
  EXPECT_EQ(dc.TextColor(), G);
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 2, 2}));
  EXPECT_TRUE(dc.Restore(first));
  EXPECT_EQ(dc.TextColor(), R);
  EXPECT_EQ(dc.BkColor(), W);
  EXPECT_EQ(dc.BkMode(), kTransparent);
  EXPECT_EQ(dc.TextAlign(), kTaLeft);
  EXPECT_EQ(dc.Rop2(), kR2CopyPen);
  EXPECT_EQ(dc.SelectPen(Pen{}).style, kPsDot);
  EXPECT_EQ(dc.ClipBox(), (Rect{0, 0, 10, 10}));
  EXPECT_EQ(dc.CurrentPosition(), (Point{0, 0}));
  EXPECT_FALSE(dc.Restore(1)); // nothing saved any more
  EXPECT_FALSE(dc.Restore(0));
  EXPECT_EQ(dc.SetBkMode(7), 0);
  EXPECT_EQ(dc.SetRop2(0), 0);

  // A memory context's selected bitmap is part of its state.
  Dc mem = Dc::CreateMemory();
  auto a = CreateBitmap(3, 3, R);
  auto b = CreateBitmap(3, 3, G);
  mem.SelectBitmap(a);
  const int saved = mem.Save();
  mem.SelectBitmap(b);
  mem.Restore(saved);
  EXPECT_EQ(mem.Target(), a);
  EXPECT_EQ(mem.GetPixel(1, 1), R);
  EXPECT_EQ(Dc(s).SelectBitmap(a), nullptr); // not a memory context
}

TEST(State, ClippingLimitsEveryDrawing) {
  auto s = Surface::Create(10, 10, W);
  Dc dc(s);
  dc.SetClipRect(Rect{2, 2, 8, 8});
  dc.IntersectClipRect(Rect{0, 0, 5, 10});
  EXPECT_EQ(dc.ClipBox(), (Rect{2, 2, 5, 8}));
  dc.FillRect(Rect{0, 0, 10, 10}, R);
  EXPECT_EQ(testing::InkBox(*s, W), (Rect{2, 2, 5, 8}));
  dc.SelectPen(Pen{kPsSolid, 1, K});
  dc.MoveTo(0, 9);
  dc.LineTo(10, 9);
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 10, 10}, K), 0);
  dc.ClearClip();
  dc.MoveTo(0, 9);
  dc.LineTo(10, 9);
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 10, 10}, K), 10);
}

} // namespace
} // namespace gdi

namespace gdi {
namespace {

TEST(Shapes, WidePenInsideFrameStaysInsideTheBox) {
  auto s = Surface::Create(20, 20, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsInsideFrame, 3, K});
  dc.SelectBrush(SolidBrush(R));
  ASSERT_TRUE(dc.Rectangle(4, 4, 16, 16));
  EXPECT_EQ(testing::InkBox(*s, W), (Rect{4, 4, 16, 16}));
  EXPECT_EQ(RowText(*s, 10, K, W), "....###??????###....");
  EXPECT_EQ(s->Pixel(10, 10), R);
}

// Coordinates from anywhere (a corrupt layout, a game's arithmetic) are cut
// to a bounded range: nothing overflows and nothing walks a billion pixels.
TEST(Shapes, ExtremeCoordinatesAreCutNotOverflowed) {
  auto s = Surface::Create(16, 8, W);
  Dc dc(s);
  dc.SelectPen(Pen{kPsSolid, 1, K});
  dc.MoveTo(INT32_MIN, 3);
  EXPECT_TRUE(dc.LineTo(INT32_MAX, 3));
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 3, 16, 4}, K), 16);
  // A styled line entering from far away keeps its pattern's phase.
  dc.SelectPen(Pen{kPsDot, 1, K});
  dc.MoveTo(-6000000, 5);
  dc.LineTo(16, 5);
  EXPECT_EQ(RowText(*s, 5, K, W), "###...###...###.");
  EXPECT_EQ(testing::CountOtherPixels(*s, W, K), 0);
  EXPECT_TRUE(dc.FillRect(Rect{INT32_MIN, INT32_MIN, INT32_MAX, 1}, R));
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 16, 1}, R), 16);
  EXPECT_TRUE(dc.PatBlt(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, kBlackness));
  EXPECT_TRUE(dc.InvertRect(Rect{INT32_MIN, 7, INT32_MAX, 8}));
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 7, 16, 8}, K), 16);
  EXPECT_TRUE(dc.Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  auto src = Surface::Create(2, 2, G);
  EXPECT_TRUE(dc.StretchBlt(-5, -5, INT32_MAX, INT32_MAX, *src, 0, 0, 2, 2, kSrcCopy));
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 16, 8}, G), 16 * 8);
  EXPECT_TRUE(dc.BitBlt(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, *src, INT32_MAX, 0, kSrcCopy));
  EXPECT_TRUE(dc.TextOut(INT32_MIN, INT32_MAX, "far away"));
  Rect r{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_GT(dc.DrawText("far away", r, kDtCenter | kDtVCenter | kDtSingleLine), 0);
  EXPECT_EQ(r, (Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX})); // not a measuring call
}

} // namespace
} // namespace gdi
