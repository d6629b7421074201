// Ink runs: text rendered once on a scratch bitmap and laid down again with
// FillInk gives the very pixels that drawing the text there gives, within the
// context's clip.
#include "platform/gdi/dc.h"
#include "platform/gdi/ink.h"
#include "support/pixels.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <utility>

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

// Laid in one pass, several inks give what laying each in turn gives: the
// later over the earlier, within the clip (and the rectangle filled first).
TEST(InkRuns, InksLaidInOnePassEqualEachLaidInTurn) {
  auto font = MakeFont("DejaVu Sans", 40);
  ASSERT_TRUE(font);
  const InkRuns ink = InkRuns::OfText(font, "Wg jy!", 150, 50);
  ASSERT_FALSE(ink.Empty());
  const InkPlacement placed[] = {{&ink, -4, 10, Rgb(200, 0, 0)},
                                 {&ink, 3, 12, Rgb(0, 200, 0)},
                                 {&ink, 0, 8, Rgb(0, 0, 200)},
                                 {nullptr, 0, 0, Rgb(9, 9, 9)}};
  struct Row {
    const char* what;
    std::optional<Rect> clip;
    std::optional<Rect> filled;
  };
  const Row rows[] = {
      {"laid", std::nullopt, std::nullopt},
      {"laid within a clip", Rect{10, 15, 90, 50}, std::nullopt},
      {"on a filled rectangle", std::nullopt, Rect{20, 0, 400, 40}},
      {"on a filled rectangle within a clip", Rect{0, 20, 60, 70}, Rect{-5, 10, 100, 55}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    auto turn = Surface::Create(160, 70, Rgb(5, 60, 7));
    auto pass = Surface::Create(160, 70, Rgb(5, 60, 7));
    {
      Dc dc(turn);
      if (r.clip)
        dc.SetClipRect(*r.clip);
      if (r.filled) {
        dc.FillRect(*r.filled, Rgb(1, 2, 3));
        dc.IntersectClipRect(*r.filled);
      }
      for (const InkPlacement& p : placed)
        if (p.ink)
          EXPECT_TRUE(dc.FillInk(*p.ink, p.x, p.y, p.colour));
    }
    {
      Dc dc(pass);
      if (r.clip)
        dc.SetClipRect(*r.clip);
      if (r.filled)
        EXPECT_TRUE(dc.FillRectWithInks(*r.filled, Rgb(1, 2, 3), placed));
      else
        EXPECT_TRUE(dc.FillInks(placed));
    }
    EXPECT_EQ(pass->CopyPixels(), turn->CopyPixels());
  }
}

using Pixels = std::set<std::pair<int32_t, int32_t>>;

Pixels PixelsOf(const InkRuns& ink) {
  Pixels p;
  for (const InkRun& run : ink.Runs())
    for (int32_t x = run.left; x < run.right; ++x)
      p.insert({x, run.y});
  return p;
}

InkRuns DrawnWhole(const std::shared_ptr<const Font>& font, const std::string& text, int32_t width,
                   int32_t height) {
  auto scratch = Surface::Create(width, height, 0);
  Dc dc(scratch);
  dc.SelectFont(font);
  dc.SetBkMode(kTransparent);
  dc.SetTextColor(Rgb(255, 255, 255));
  Rect rect{0, 0, width, height};
  dc.DrawText(text, rect, kFormat);
  return InkRuns::FromSurface(*scratch, 0);
}

// Laid together from characters drawn one by one, a line has the ink the
// line drawn whole has, but for a few pixels where a glyph's edge covers
// less than a 256th of a pixel (the glyph's outline is rounded a little
// differently at another place); each such pixel touches ink both have.
// Text that is shaped or reordered is drawn whole.
TEST(InkRuns, TextLaidTogetherHasTheInkOfTheTextDrawnWhole) {
  struct Row {
    const char* what;
    const char* face;
    int32_t height;
    int32_t width;
    uint8_t quality;
    uint8_t italic;
    const char* utf8;
    int32_t areaPercent; // of the text's extent, and of the cell height
    bool exact;
    uint8_t charSet = kDefaultCharSet;
  };
  const Row rows[] = {
      {"large serif", "DejaVu Serif", 200, 0, kAntialiasedQuality, 0, "Twinkle, little star!   ",
       100, false},
      {"condensed", "DejaVu Sans", 120, 30, kAntialiasedQuality, 0, "How I wonder what you are",
       100, false},
      {"clipped right and below", "DejaVu Sans", 90, 0, kAntialiasedQuality, 0, "Wipe jy! Qg", 60,
       false},
      {"overlapping italics", "DejaVu Serif", 100, 0, kAntialiasedQuality, 1, "ffi fj //\\ AVAW",
       100, false},
      {"small, cached glyphs", "DejaVu Sans", 14, 0, kAntialiasedQuality, 0, "Up above the world",
       100, false},
      {"without antialiasing", "DejaVu Sans", 70, 0, kNonAntialiasedQuality, 0, "Hg jy %&@", 100,
       false},
      {"hangul", "NanumGothic", 80, 0, kAntialiasedQuality, 0, "반짝반짝 작은 별", 100, false},
      {"accents of the western code page", "DejaVu Sans", 60, 0, kAntialiasedQuality, 0,
       "\xC3\x85ngstr\xC3\xB6m caf\xC3\xA9", 100, false, kAnsiCharSet},
      {"a tab is drawn whole", "DejaVu Sans", 40, 0, kAntialiasedQuality, 0, "a\tb", 100, true},
      {"a soft hyphen is drawn whole", "DejaVu Sans", 60, 0, kAntialiasedQuality, 0, "co\xC2\xADop",
       100, true, kAnsiCharSet},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    LogFont lf;
    lf.height = r.height;
    lf.width = r.width;
    lf.quality = r.quality;
    lf.italic = r.italic;
    lf.weight = kWeightBold;
    lf.charSet = r.charSet;
    lf.SetFaceName(r.face);
    auto font = Font::Create(lf, 949);
    ASSERT_TRUE(font);
    const std::string text = sys::FromUtf8Lossy(r.utf8, font->CodePage());
    auto measure = Surface::Create(1, 1, 0);
    Dc dc(measure);
    dc.SelectFont(font);
    const int32_t width = std::max(1, dc.TextExtent(text).cx * r.areaPercent / 100);
    const int32_t height = std::max(1, font->Metrics().height * r.areaPercent / 100);

    const InkRuns whole = DrawnWhole(font, text, width, height);
    const InkRuns laid = InkRuns::OfText(font, text, width, height);
    const Pixels expected = PixelsOf(whole), got = PixelsOf(laid);
    ASSERT_GT(expected.size(), 20u);
    Pixels differing;
    for (const Pixels* a : {&expected, &got})
      for (const auto& p : *a)
        if (!(a == &expected ? got : expected).count(p))
          differing.insert(p);
    if (r.exact) {
      EXPECT_TRUE(differing.empty());
    } else {
      EXPECT_LE(differing.size(), 4u);
    }
    for (const auto& [x, y] : differing) {
      bool touches = false;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx)
          touches = touches || (expected.count({x + dx, y + dy}) && got.count({x + dx, y + dy}));
      EXPECT_TRUE(touches) << x << "," << y;
    }
    // Runs are whole, row by row and left to right, as a surface gives them.
    for (size_t i = 1; i < laid.Runs().size(); ++i) {
      const InkRun& a = laid.Runs()[i - 1];
      const InkRun& b = laid.Runs()[i];
      EXPECT_TRUE(a.y < b.y || (a.y == b.y && a.right < b.left)) << i;
    }
    Rect bounds;
    for (const auto& [x, y] : got)
      bounds = Union(bounds, Rect{x, y, x + 1, y + 1});
    EXPECT_EQ(laid.Bounds(), bounds);
    // Drawn from the kept pieces the second time, the same again.
    const InkRuns again = InkRuns::OfText(font, text, width, height);
    EXPECT_EQ(PixelsOf(again), got);
  }
  EXPECT_TRUE(InkRuns::OfText(nullptr, "x", 10, 10).Empty());
  EXPECT_TRUE(InkRuns::OfText(MakeFont("DejaVu Sans", 20), "", 10, 10).Empty());
  EXPECT_TRUE(InkRuns::OfText(MakeFont("DejaVu Sans", 20), "x", 0, 10).Empty());
}

} // namespace
} // namespace gdi
