// The two line slots with real fonts: their geometry at the view sizes a
// screen gives, the fitting of a line too wide for the view, the areas a
// placed line invalidates, lines that repeat their predecessor's text, and
// syllables measured in double-byte lines of code pages 949 and 932.
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_lines.h"
#include "platform/sys/codepage.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

namespace display {
namespace {

using testing::TestView;

std::string Bytes(const char* utf8, int codePage) {
  std::optional<std::string> b = sys::FromUtf8(utf8, codePage);
  EXPECT_TRUE(b) << utf8;
  return b.value_or("");
}

TEST(SlotLayout, GeometryAtTheViewSizesOfAScreen) {
  struct Row {
    int32_t width, height;
    int32_t fontHeight, topA, topB, usable;
    int16_t pad;
  };
  const Row rows[] = {
      {640, 300, 125, 18, 157, 608, 2},
      {1920, 1080, 450, 70, 560, 1824, 2},
      {638, 138, 57, 6, 71, 608, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.width << "x" << r.height);
    TestView view(r.width, r.height);
    LyricLines& lines = view.Lines();
    EXPECT_EQ(lines.Pad(), r.pad);
    lines.PlaceLineForState(1, "Twinkle", 0, 0);
    lines.PlaceLineForState(2, "star", 8, 1);
    EXPECT_EQ(lines.FontHeight(), r.fontHeight);
    for (int slot : {kSlotA, kSlotB}) {
      const LineSlot& s = lines.Slot(slot);
      EXPECT_EQ(s.fontHeight, r.fontHeight);
      EXPECT_EQ(s.charWidth, 0);
      EXPECT_GT(s.textWidth, 0);
      EXPECT_LT(s.textWidth, r.usable);
      EXPECT_GT(s.blankWidth, 0);
      EXPECT_EQ(s.margin, (r.usable - s.textWidth) / 2 + r.width / 40);
      EXPECT_EQ(s.x, s.margin);
    }
    EXPECT_EQ(lines.Slot(kSlotA).y, r.topA);
    EXPECT_EQ(lines.Slot(kSlotB).y, r.topB);
    EXPECT_EQ(lines.Band(kSlotA), (gdi::Rect{0, r.topA - r.pad, r.width, r.topB - 2 * r.pad}));
    EXPECT_EQ(lines.Band(kSlotB), (gdi::Rect{0, r.topB - r.pad, r.width, r.height}));
    const gdi::Rect text = lines.TextRect(kSlotA);
    EXPECT_EQ(text.left, lines.Slot(kSlotA).x);
    EXPECT_EQ(text.right, text.left + lines.Slot(kSlotA).textWidth + 2 * r.pad);
  }
}

TEST(SlotLayout, ALineTooWideIsCondensedToFit) {
  TestView view(640, 300);
  LyricLines& lines = view.Lines();
  const std::string line = "Up above the world so high, like a diamond in the sky, twinkle";
  lines.PlaceLine(kSlotA, line, 0, 0);
  const LineSlot& s = lines.Slot(kSlotA);
  EXPECT_GT(s.charWidth, 0);
  EXPECT_LE(s.textWidth, UsableWidth(gdi::Rect{0, 0, 640, 300}));
  EXPECT_GE(s.margin, 0);
  // The same line in a view wide enough keeps the face's own width.
  TestView wide(4000, 300);
  wide.Lines().PlaceLine(kSlotA, line, 0, 0);
  EXPECT_EQ(wide.Lines().Slot(kSlotA).charWidth, 0);
  EXPECT_GT(wide.Lines().Slot(kSlotA).textWidth, s.textWidth);
}

TEST(SlotLayout, ALineThatNeverFitsTakesTheNarrowestFontAndNoMargin) {
  TestView view(300, 300);
  LyricLines& lines = view.Lines();
  lines.PlaceLine(kSlotA, std::string(172, 'W'), 0, 0);
  const LineSlot& s = lines.Slot(kSlotA);
  EXPECT_EQ(s.charWidth, 1);
  EXPECT_EQ(s.margin, 0);
  EXPECT_EQ(s.x, 0);
  // A wider font (half the font height) would measure far more.
  EXPECT_LT(s.textWidth, 172 * lines.FontHeight() / 2);
  const gdi::Rect text = lines.TextRect(kSlotA);
  EXPECT_EQ(text.right, 2 * lines.Pad() + UsableWidth(gdi::Rect{0, 0, 300, 300}) + 300 / 40);
}

TEST(SlotLayout, StoredTextIsBoundedAndNeverEmpty) {
  TestView view(640, 300);
  LyricLines& lines = view.Lines();
  struct Case {
    std::string text;
    std::string stored;
  };
  const Case cases[] = {
      {"", " "},
      {std::string(200, 'a'), std::string(172, 'a')},
      {std::string(171, 'a') + "\xB0\xA1", std::string(171, 'a')},
      {std::string(170, 'a') + "\xB0\xA1", std::string(170, 'a') + "\xB0\xA1"},
  };
  for (const Case& c : cases) {
    lines.PlaceLine(kSlotB, c.text, 0, 0);
    EXPECT_EQ(lines.Slot(kSlotB).text, c.stored);
    EXPECT_EQ(lines.Slot(kSlotB).length, static_cast<int32_t>(c.stored.size()));
  }
}

TEST(SlotPlacement, ALineRepeatingTheTextBeforeIsPlacedAgain) {
  TestView view(640, 300);
  LyricLines& lines = view.Lines();
  EXPECT_TRUE(lines.PlaceLineForState(1, "la la la", 0, 0));
  EXPECT_EQ(lines.Slot(kSlotA).lineIndex, 0);
  // The refrain comes back two lines on, into the same slot.
  EXPECT_TRUE(lines.PlaceLineForState(3, "la la la", 40, 2));
  EXPECT_EQ(lines.Slot(kSlotA).lineIndex, 2);
  EXPECT_EQ(lines.Slot(kSlotA).blockOffset, 40);
  // The same line again (its preview was placed already) is left alone.
  view.TakeInvalidated();
  EXPECT_FALSE(lines.PlaceLineForState(3, "la la la", 40, 2));
  EXPECT_TRUE(view.TakeInvalidated().empty());
  EXPECT_TRUE(lines.PlaceLineForState(2, "la la la", 40, 2)); // slot B held other text
  EXPECT_FALSE(lines.PlaceLineForState(0, "x", 0, 3));
  EXPECT_FALSE(lines.PlaceLineForState(4, "x", 0, 3));
}

TEST(SlotPlacement, PlacedLinesInvalidateTheirBandWhileLyricsAreShown) {
  TestView view(640, 300);
  LyricLines& lines = view.Lines();
  const int32_t pad = lines.Pad();
  lines.PlaceLine(kSlotA, "first", 0, 0);
  EXPECT_EQ(view.TakeInvalidated(), (std::vector<gdi::Rect>{{0, 18 - pad, 640, 157 - 2 * pad}}));
  lines.PlaceLine(kSlotB, "second", 6, 1);
  EXPECT_EQ(view.TakeInvalidated(), (std::vector<gdi::Rect>{{0, 157 - pad, 640, 300}}));
  lines.ClearSlots();
  EXPECT_EQ(view.TakeInvalidated(), (std::vector<gdi::Rect>{{0, 0, 640, 300}}));
  EXPECT_EQ(lines.Slot(kSlotA).text, "  ");
  EXPECT_EQ(lines.Slot(kSlotB).lineIndex, -1);
  view.Flush();
  view.Frame().lyricsShown = false;
  lines.PlaceLine(kSlotA, "hidden", 0, 2);
  EXPECT_TRUE(view.TakeInvalidated().empty());
  // Nothing to paint, so the wipe is not held back either.
  EXPECT_TRUE(lines.Gate().IsOpen());
}

TEST(SyllableMeasure, WipeSpanKeepsAFifthOfABlankFromEachSide) {
  struct Case {
    SyllableSpan measured;
    int32_t blank;
    bool leadingBlank;
    SyllableSpan span;
  };
  const Case cases[] = {
      {{100, 40}, 20, false, {104, 36}}, {{100, 40}, 20, true, {124, 16}},
      {{100, 40}, 3, false, {100, 40}},  {{100, 40}, 7, false, {101, 39}},
      {{0, 2}, 30, false, {6, -4}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WipeSpanOf(c.measured, c.blank, c.leadingBlank), c.span);
}

// The start of a syllable is the width of the line before it, measured over
// whole double-byte characters.
void CheckPrefixWidths(int codePage, const char* line, const std::vector<const char*>& pieces) {
  SCOPED_TRACE(codePage);
  TestView view(1280, 300);
  LyricLines& lines = view.Lines();
  lines.SetCodePage(codePage);
  view.Frame().slotState = 2; // slot A is sung
  const std::string text = Bytes(line, codePage);
  const int32_t block = 1000;
  lines.PlaceLine(kSlotA, text, block, 0);
  EXPECT_EQ(lines.Slot(kSlotA).length, static_cast<int32_t>(text.size()));
  std::string before;
  int32_t lastStart = -1;
  for (const char* piece : pieces) {
    const std::string bytes = Bytes(piece, codePage);
    // The width of what comes before, measured as a syllable of its own.
    int32_t expected = 0;
    if (!before.empty()) {
      lines.SetCurrentSyllable(before);
      expected = lines.MeasureSyllable(block).value().width;
    }
    lines.SetCurrentSyllable(bytes);
    const std::optional<SyllableSpan> span =
        lines.MeasureSyllable(block + static_cast<uint32_t>(before.size()));
    ASSERT_TRUE(span);
    EXPECT_EQ(span->start, expected) << piece;
    EXPECT_GT(span->width, 0) << piece;
    EXPECT_GT(span->start, lastStart);
    lastStart = span->start;
    // An offset inside a double-byte character counts the whole characters
    // before it only.
    if (bytes.size() == 2 && sys::IsLeadByte(static_cast<uint8_t>(bytes[0]), codePage)) {
      const std::optional<SyllableSpan> inside =
          lines.MeasureSyllable(block + static_cast<uint32_t>(before.size()) + 1);
      ASSERT_TRUE(inside);
      EXPECT_EQ(inside->start, span->start);
    }
    before += bytes;
  }
  EXPECT_EQ(before, text);
  lines.SetCurrentSyllable("x");
  EXPECT_FALSE(lines.MeasureSyllable(block - 1));
  EXPECT_FALSE(lines.MeasureSyllable(block + 256));
  EXPECT_EQ(lines.MeasureSyllable(block + 255)->start, lines.Slot(kSlotA).textWidth);
  // Slot B is measured in slot state 3, nothing in other states.
  view.Frame().slotState = 3;
  EXPECT_FALSE(lines.MeasureSyllable(block));
  view.Frame().slotState = 0;
  EXPECT_FALSE(lines.MeasureSyllable(block));
}

TEST(SyllableMeasure, PrefixWidthsInCodePage949) {
  CheckPrefixWidths(949, "반짝반짝 작은 별", {"반", "짝", "반", "짝", " 작", "은", " 별"});
  CheckPrefixWidths(949, "ab가c", {"a", "b", "가", "c"});
}

TEST(SyllableMeasure, PrefixWidthsInCodePage932) {
  CheckPrefixWidths(932, "きらきら星よ", {"き", "ら", "き", "ら", "星", "よ"});
  CheckPrefixWidths(932, "ab星c", {"a", "b", "星", "c"});
}

TEST(SyllableMeasure, AnEmptySyllableIsOneBlank) {
  TestView view(640, 300);
  LyricLines& lines = view.Lines();
  view.Frame().slotState = 1;
  lines.PlaceLine(kSlotA, "a b", 0, 0);
  lines.SetCurrentSyllable("");
  EXPECT_EQ(lines.MeasureSyllable(1)->width, lines.Slot(kSlotA).blankWidth);
}

} // namespace
} // namespace display
