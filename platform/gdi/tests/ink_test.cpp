// Ink runs: text rendered once on a scratch bitmap and laid down again with
// FillInk gives the very pixels that drawing the text there gives, within the
// context's clip.
#include "platform/gdi/dc.h"
#include "platform/gdi/ink.h"
#include "support/pixels.h"

#include <gtest/gtest.h>

namespace gdi {
namespace {

using testing::MakeFont;

constexpr uint32_t kFormat = kDtSingleLine | kDtNoPrefix | kDtLeft | kDtTop;

TEST(InkRuns, RunsArePixelsOfAnotherColourThanTheBackground) {
  auto s = Surface::Create(8, 3, Rgb(1, 2, 3));
  Dc dc(s);
  dc.FillRect(Rect{1, 0, 3, 1}, Rgb(9, 9, 9));
  dc.FillRect(Rect{5, 0, 8, 1}, Rgb(0, 0, 0));
  dc.FillRect(Rect{4, 2, 5, 3}, Rgb(255, 255, 255));
  const InkRuns ink = InkRuns::FromSurface(*s, Rgb(1, 2, 3));
  ASSERT_EQ(ink.Runs().size(), 3u);
  EXPECT_EQ(ink.Runs()[0].left, 1);
  EXPECT_EQ(ink.Runs()[0].right, 3);
  EXPECT_EQ(ink.Runs()[1].right, 8);
  EXPECT_EQ(ink.Runs()[2].y, 2);
  EXPECT_EQ(ink.Bounds(), (Rect{1, 0, 8, 3}));
  EXPECT_TRUE(InkRuns::FromSurface(*Surface::Create(4, 4, 7), 7).Empty());
}

TEST(InkRuns, FilledInkEqualsTheTextDrawnInPlace) {
  struct Row {
    const char* what;
    const char* face;
    int32_t height;
    int32_t width;
    uint8_t charSet;
    const char* utf8;
    Rect rect;
    Rect clip;
  };
  const Row rows[] = {
      {"latin",
       "DejaVu Serif",
       60,
       0,
       kDefaultCharSet,
       "Twinkle, little star",
       {7, 5, 500, 90},
       {0, 0, 600, 200}},
      {"condensed",
       "DejaVu Sans",
       90,
       14,
       kDefaultCharSet,
       "How I wonder",
       {-3, 20, 300, 140},
       {0, 0, 600, 200}},
      {"clipped",
       "DejaVu Sans",
       80,
       0,
       kDefaultCharSet,
       "Wipe jy!",
       {30, 30, 250, 100},
       {40, 50, 200, 90}},
      {"hangul",
       "NanumGothic",
       70,
       0,
       kHangulCharSet,
       "반짝반짝 작은 별",
       {11, 9, 590, 110},
       {0, 0, 600, 200}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    auto font = MakeFont(r.face, r.height, r.width, kNonAntialiasedQuality, r.charSet);
    ASSERT_TRUE(font);
    const std::string text = sys::FromUtf8Lossy(r.utf8, font->CodePage());
    const Colour colour = Rgb(200, 30, 90);

    auto direct = Surface::Create(600, 200, Rgb(5, 60, 7));
    {
      Dc dc(direct);
      dc.SetClipRect(r.clip);
      dc.SelectFont(font);
      dc.SetBkMode(kTransparent);
      dc.SetTextColor(colour);
      Rect rect = r.rect;
      dc.DrawText(text, rect, kFormat);
    }

    auto scratch = Surface::Create(r.rect.Width(), r.rect.Height(), 0);
    {
      Dc dc(scratch);
      dc.SelectFont(font);
      dc.SetBkMode(kTransparent);
      dc.SetTextColor(Rgb(255, 255, 255));
      Rect rect{0, 0, r.rect.Width(), r.rect.Height()};
      dc.DrawText(text, rect, kFormat);
    }
    const InkRuns ink = InkRuns::FromSurface(*scratch, 0);
    ASSERT_FALSE(ink.Empty());
    auto laid = Surface::Create(600, 200, Rgb(5, 60, 7));
    {
      Dc dc(laid);
      dc.SetClipRect(r.clip);
      EXPECT_TRUE(dc.FillInk(ink, r.rect.left, r.rect.top, colour));
    }
    EXPECT_EQ(laid->CopyPixels(), direct->CopyPixels());
  }
}

} // namespace
} // namespace gdi
