#include "platform/gdi/dc.h"
#include "support/pixels.h"

#include <gtest/gtest.h>

namespace gdi {
namespace {

using testing::InkBox;
using testing::MakeFont;

const Colour kWhite = Rgb(255, 255, 255);
const Colour kBlack = Rgb(0, 0, 0);

struct Sample {
  const char* what;
  const char* face;
  uint8_t charSet;
  std::string bytes;
};

const Sample kSamples[] = {
    {"Korean 949", "NanumGothic", kHangulCharSet, "\xC7\xD1\xB1\xB9\xBE\xEE \xB3\xEB\xB7\xA1"},
    {"Japanese 932", "IPAPGothic", kShiftJisCharSet,
     "\x83\x4A\x83\x89\x83\x49\x83\x50\x82\xCC\x89\xCC"},
    {"Latin 1252", "DejaVu Serif", kAnsiCharSet, "Caf\xE9 \xD1\x61nd\xFA"},
    // Korean bytes in a Latin face of the default set: the glyphs come from
    // a Korean face and still measure as they are drawn.
    {"Korean in a Latin face", "Times New Roman", kDefaultCharSet, "Love \xC7\xD1\xB1\xB9\xBE\xEE"},
};

std::shared_ptr<Surface> DrawPieces(const std::shared_ptr<const Font>& font,
                                    const std::vector<std::string>& pieces, bool oneCall) {
  auto s = Surface::Create(600, 80, kWhite);
  Dc dc(s);
  dc.SelectFont(font);
  dc.SetBkMode(kTransparent);
  dc.SetTextColor(kBlack);
  if (oneCall) {
    std::string all;
    for (const auto& p : pieces)
      all += p;
    dc.TextOut(7, 9, all);
    return s;
  }
  int32_t x = 7;
  for (const auto& p : pieces) {
    dc.TextOut(x, 9, p);
    x += dc.TextExtent(p).cx;
  }
  return s;
}

TEST(TextExtent, EqualsTheDrawnWidthInEveryCodePage) {
  for (const Sample& sample : kSamples) {
    for (uint8_t quality : {kNonAntialiasedQuality, kAntialiasedQuality}) {
      for (int32_t height : {-15, 28}) {
        auto font = MakeFont(sample.face, height, 0, quality, sample.charSet);
        ASSERT_TRUE(font);
        // Drawn in one go, the text followed by a bar must put the bar
        // exactly where its measured width says: the same pixels as the two
        // drawn one after the other at the measured width.
        const std::vector<std::string> pieces{sample.bytes, "|"};
        auto whole = DrawPieces(font, pieces, true);
        auto parts = DrawPieces(font, pieces, false);
        EXPECT_EQ(whole->CopyPixels(), parts->CopyPixels()) << sample.what << " " << height;
        // The ink ends within the measured width.
        Dc dc(Surface::Create(1, 1));
        dc.SelectFont(font);
        const int32_t width = dc.TextExtent(sample.bytes).cx;
        auto alone = DrawPieces(font, {sample.bytes}, true);
        const Rect ink = InkBox(*alone, kWhite);
        EXPECT_GT(width, 0);
        EXPECT_LE(ink.right, 7 + width + 1) << sample.what;
        EXPECT_GE(ink.right, 7 + width - font->Metrics().aveCharWidth) << sample.what;
      }
    }
  }
}

TEST(TextExtent, DoubleByteCharactersAreDrawnNotReplaced) {
  // Two different Hangul syllables must not look alike (a missing glyph box).
  auto font = MakeFont("NanumGothic", -24, 0, kNonAntialiasedQuality, kHangulCharSet);
  ASSERT_TRUE(font);
  auto a = DrawPieces(font, {"\xC7\xD1"}, true);
  auto b = DrawPieces(font, {"\xB1\xB9"}, true);
  EXPECT_NE(a->CopyPixels(), b->CopyPixels());
  Dc dc(Surface::Create(1, 1));
  dc.SelectFont(font);
  // Measured over byte ranges: the parts add up to the whole.
  const std::string line = "\xC7\xD1\xB1\xB9\xBE\xEE \xB3\xEB\xB7\xA1";
  EXPECT_EQ(dc.TextExtent(line.substr(0, 6)).cx + dc.TextExtent(line.substr(6)).cx,
            dc.TextExtent(line).cx);
  EXPECT_EQ(dc.TextExtent("").cx, 0);
  EXPECT_EQ(dc.TextExtent("").cy, font->Metrics().height);
}

TEST(TextExtent, WidthsAddUpHoweverTheTextIsCut) {
  // Syllables are measured one by one and placed by the widths before them:
  // no ligature or kerning may make a whole differ from its parts.
  for (const Sample& sample : kSamples) {
    for (int32_t height : {-22, -40}) {
      auto font = MakeFont(sample.face, height, 0, kNonAntialiasedQuality, sample.charSet);
      ASSERT_TRUE(font);
      Dc dc(Surface::Create(1, 1));
      dc.SelectFont(font);
      for (const std::string& text : {std::string("office fluffy AVATAR Wave"), sample.bytes}) {
        const int32_t whole = dc.TextExtent(text).cx;
        for (size_t cut = 1; cut < text.size(); ++cut) {
          const std::string_view head = sys::CutBytes(text, cut, font->CodePage());
          if (head.size() != cut)
            continue; // inside a double-byte character
          EXPECT_EQ(dc.TextExtent(head).cx + dc.TextExtent(std::string_view(text).substr(cut)).cx,
                    whole)
              << sample.what << " cut at " << cut;
        }
      }
    }
  }
}

// Where the opaque cell of a text lands.
Rect CellOf(uint32_t align, int32_t x, int32_t y, const std::shared_ptr<const Font>& font,
            const std::string& text) {
  auto s = Surface::Create(400, 200, kWhite);
  Dc dc(s);
  dc.SelectFont(font);
  dc.SetBkMode(kOpaque);
  dc.SetBkColor(Rgb(0, 0, 255));
  dc.SetTextColor(Rgb(0, 0, 255));
  dc.SetTextAlign(align);
  dc.TextOut(x, y, text);
  return InkBox(*s, kWhite);
}

TEST(TextAlign, LeftCentreRightAndVerticalReferences) {
  auto font = MakeFont("DejaVu Sans", -20, 0, kNonAntialiasedQuality, kAnsiCharSet);
  ASSERT_TRUE(font);
  const std::string text = "Karaoke";
  Dc dc(Surface::Create(1, 1));
  dc.SelectFont(font);
  const Size e = dc.TextExtent(text);
  const TextMetrics& tm = font->Metrics();
  struct Row {
    uint32_t align;
    Rect expected;
  };
  const Row rows[] = {
      {kTaLeft | kTaTop, MakeRect(200, 100, e.cx, e.cy)},
      {kTaCenter | kTaTop, MakeRect(200 - e.cx / 2, 100, e.cx, e.cy)},
      {kTaRight | kTaTop, MakeRect(200 - e.cx, 100, e.cx, e.cy)},
      {kTaLeft | kTaBaseline, MakeRect(200, 100 - tm.ascent, e.cx, e.cy)},
      {kTaRight | kTaBottom, MakeRect(200 - e.cx, 100 - tm.height, e.cx, e.cy)},
  };
  for (const Row& r : rows)
    EXPECT_EQ(CellOf(r.align, 200, 100, font, text), r.expected) << r.align;

  // Drawing at the current position moves it on by the width.
  auto s = Surface::Create(400, 100, kWhite);
  Dc cp(s);
  cp.SelectFont(font);
  cp.SetTextAlign(kTaUpdateCp);
  cp.MoveTo(10, 10);
  cp.TextOut(0, 0, text);
  EXPECT_EQ(cp.CurrentPosition(), (Point{10 + e.cx, 10}));
}

TEST(DrawText, PlacesAndClipsFormattedText) {
  auto font = MakeFont("DejaVu Sans", -16, 0, kNonAntialiasedQuality, kAnsiCharSet);
  ASSERT_TRUE(font);
  const Colour blue = Rgb(0, 0, 255);
  auto draw = [&](const std::string& text, Rect rect, uint32_t format, int* result = nullptr) {
    auto s = Surface::Create(300, 200, kWhite);
    Dc dc(s);
    dc.SelectFont(font);
    dc.SetBkMode(kOpaque);
    dc.SetBkColor(blue);
    dc.SetTextColor(blue);
    const int r = dc.DrawText(text, rect, format);
    if (result)
      *result = r;
    return InkBox(*s, kWhite);
  };
  Dc m(Surface::Create(1, 1));
  m.SelectFont(font);
  const Size e = m.TextExtent("Song");
  const int32_t h = font->Metrics().height;
  const Rect box{50, 40, 250, 140};
  EXPECT_EQ(draw("Song", box, kDtSingleLine | kDtCenter | kDtVCenter),
            MakeRect(50 + (200 - e.cx) / 2, 40 + (100 - h) / 2, e.cx, h));
  EXPECT_EQ(draw("Song", box, kDtSingleLine | kDtRight | kDtBottom),
            MakeRect(250 - e.cx, 140 - h, e.cx, h));
  int lines = 0;
  EXPECT_EQ(draw("Song\nSong\r\nSong", box, kDtLeft, &lines), MakeRect(50, 40, e.cx, 3 * h));
  EXPECT_EQ(lines, 3 * h);
  // "&&" shows one ampersand, a single one none.
  Rect amp{0, 0, 0, 0};
  m.DrawText("S&&ong", amp, kDtCalcRect | kDtSingleLine);
  EXPECT_EQ(amp.right, m.TextExtent("S&ong").cx);
  Rect calc{0, 0, 0, 0};
  m.DrawText("&Song", calc, kDtCalcRect | kDtSingleLine);
  EXPECT_EQ(calc, MakeRect(0, 0, e.cx, h));
  Rect calcNoPrefix{0, 0, 0, 0};
  m.DrawText("&Song", calcNoPrefix, kDtCalcRect | kDtSingleLine | kDtNoPrefix);
  EXPECT_EQ(calcNoPrefix.right, m.TextExtent("&Song").cx);
  // Clipped to the rectangle unless told otherwise.
  const Rect narrow{50, 40, 60, 140};
  EXPECT_EQ(draw("Song", narrow, kDtSingleLine), MakeRect(50, 40, 10, h));
  EXPECT_EQ(draw("Song", narrow, kDtSingleLine | kDtNoClip), MakeRect(50, 40, e.cx, h));
  // Tabs expand to stops of eight average characters.
  const int32_t stop = 8 * font->Metrics().aveCharWidth;
  Rect tabs{0, 0, 0, 0};
  m.DrawText("a\tb", tabs, kDtCalcRect | kDtSingleLine | kDtExpandTabs);
  EXPECT_EQ(tabs.right, stop + m.TextExtent("b").cx);
}

} // namespace
} // namespace gdi
