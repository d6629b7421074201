// The slots painted offscreen, checked pixel by pixel: the centre in colour
// 1, the outline ring of the pad's thickness around it in colour 2, nothing
// else touched; the wipe bitmap holding colour 1 XOR colour 3 under the
// centre, colour 2 XOR colour 4 under the ring and black elsewhere; and the
// shipped face drawing Hangul.
#include "display/lyric/lyric_lines.h"
#include "platform/sys/codepage.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

#include <set>

namespace display {
namespace {

using namespace display::testing;

using Mask = std::vector<bool>;

Mask MaskOf(const std::vector<gdi::Colour>& px, gdi::Colour c) {
  Mask m(px.size());
  for (size_t i = 0; i < px.size(); ++i)
    m[i] = px[i] == c;
  return m;
}

size_t Count(const Mask& m) {
  size_t n = 0;
  for (bool b : m)
    n += b;
  return n;
}

// The centre shifted by pad up, down, left and right, less the centre.
Mask RingOf(const Mask& centre, int32_t width, int32_t height, int32_t pad) {
  Mask ring(centre.size());
  const gdi::Point offsets[] = {{0, -pad}, {0, pad}, {-pad, 0}, {pad, 0}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (!centre[static_cast<size_t>(y) * width + x])
        continue;
      for (const gdi::Point& o : offsets) {
        const int32_t xx = x + o.x, yy = y + o.y;
        if (xx >= 0 && xx < width && yy >= 0 && yy < height)
          ring[static_cast<size_t>(yy) * width + xx] = true;
      }
    }
  for (size_t i = 0; i < ring.size(); ++i)
    ring[i] = ring[i] && !centre[i];
  return ring;
}

void PlaceBoth(TestView& view, int codePage = sys::kDefaultCodePage) {
  view.Lines().SetCodePage(codePage);
  view.Lines().PlaceLine(kSlotA, "Hg jy", 0, 0);
  view.Lines().PlaceLine(kSlotB, "Wipe!", 6, 1);
  view.Flush();
}

TEST(SlotPaint, OutlineRingAroundTheCentreAndNothingElseTouched) {
  for (const auto& [w, h] : {std::pair{640, 300}, std::pair{400, 120}}) {
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    TestView plain(w, h, false, "", 0);
    PlaceBoth(plain);
    const Mask centre = MaskOf(plain.Pixels(), kUnsungText);
    ASSERT_GT(Count(centre), 100u);
    // Without an outline only the centre colour is drawn.
    const std::vector<gdi::Colour> px0 = plain.Pixels();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        if (!centre[i]) {
          ASSERT_EQ(px0[i], BackgroundAt(x, y)) << x << "," << y;
        }
      }

    TestView outlined(w, h);
    PlaceBoth(outlined);
    const int32_t pad = outlined.Lines().Pad();
    EXPECT_EQ(pad, h < 150 ? 1 : 2);
    const Mask ring = RingOf(centre, w, h, pad);
    ASSERT_GT(Count(ring), Count(centre) / 4);
    const std::vector<gdi::Colour> px = outlined.Pixels();
    size_t wrong = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        const gdi::Colour want = centre[i] ? kUnsungText
                                 : ring[i] ? kUnsungOutline
                                           : BackgroundAt(x, y);
        wrong += px[i] != want;
      }
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(SlotPaint, WipeBitmapHoldsUnsungXorSungWhereTheTextIsAndBlackElsewhere) {
  const int32_t w = 640, h = 300;
  TestView plain(w, h, false, "", 0);
  PlaceBoth(plain);
  const Mask centre = MaskOf(plain.Pixels(), kUnsungText);
  TestView view(w, h);
  PlaceBoth(view);
  const Mask ring = RingOf(centre, w, h, view.Lines().Pad());
  ASSERT_TRUE(view.Lines().WipeBitmap());
  const std::vector<gdi::Colour> bits = view.Lines().WipeBitmap()->CopyPixels();
  ASSERT_EQ(bits.size(), centre.size());
  const gdi::Colour centreXor = kUnsungText ^ kSungText;
  const gdi::Colour ringXor = kUnsungOutline ^ kSungOutline;
  size_t wrong = 0;
  for (size_t i = 0; i < bits.size(); ++i)
    wrong += bits[i] != (centre[i] ? centreXor : ring[i] ? ringXor : 0u);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(view.Lines().Slot(kSlotA).wipeRect, view.Lines().Band(kSlotA));
  EXPECT_EQ(view.Lines().Slot(kSlotB).wipeRect, view.Lines().Band(kSlotB));

  // A new line in slot B leaves slot A's part alone and replaces B's.
  view.Lines().PlaceLine(kSlotB, ".", 12, 2);
  const std::vector<gdi::Colour> after = view.Lines().WipeBitmap()->CopyPixels();
  const gdi::Rect bandA = view.Lines().Band(kSlotA);
  EXPECT_EQ(PixelsIn(after, w, bandA), PixelsIn(bits, w, bandA));
  const gdi::Rect bandB = view.Lines().Band(kSlotB);
  EXPECT_NE(PixelsIn(after, w, bandB), PixelsIn(bits, w, bandB));

  view.Lines().ClearWipeBitmap();
  for (gdi::Colour c : view.Lines().WipeBitmap()->CopyPixels())
    ASSERT_EQ(c, 0u);
  EXPECT_TRUE(view.Lines().Slot(kSlotA).wipeRect.IsEmpty());
  EXPECT_TRUE(view.Lines().RepaintNeedsBitmap());
}

TEST(SlotPaint, AColourGroupChangeRepaintsAndPreparesTheSlotInItsColours) {
  TestView view(640, 300);
  PlaceBoth(view);
  const LyricStyleTable& styles = view.Styles();
  view.Lines().SetColourGroup(kSlotA, 1);
  view.Flush();
  const gdi::Rect bandA = view.Lines().Band(kSlotA);
  const std::vector<gdi::Colour> px = PixelsIn(view.Pixels(), 640, bandA);
  EXPECT_EQ(std::count(px.begin(), px.end(), kUnsungText), 0);
  EXPECT_GT(std::count(px.begin(), px.end(), styles.Colour(1, 1)), 100);
  const std::vector<gdi::Colour> bits =
      PixelsIn(view.Lines().WipeBitmap()->CopyPixels(), 640, bandA);
  std::set<gdi::Colour> kinds(bits.begin(), bits.end());
  EXPECT_EQ(kinds, (std::set<gdi::Colour>{0, styles.Colour(1, 1) ^ styles.Colour(1, 3),
                                          styles.Colour(1, 2) ^ styles.Colour(1, 4)}));
  // Slot B keeps group 0.
  const std::vector<gdi::Colour> pxB = PixelsIn(view.Pixels(), 640, view.Lines().Band(kSlotB));
  EXPECT_GT(std::count(pxB.begin(), pxB.end(), kUnsungText), 100);
}

TEST(SlotPaint, TheShippedFaceDrawsHangul) {
  // No "Font" key: the style table's own default face, as a first start has it.
  TestView view(640, 300, false, "", 0);
  LyricLines& lines = view.Lines();
  EXPECT_EQ(view.Styles().Font(0).FaceName(), "Times New Roman");
  const std::string text = sys::FromUtf8("가각 나", 949).value();
  lines.PlaceLine(kSlotA, text, 0, 0);
  view.Frame().slotState = 2;
  view.Flush();
  const std::vector<gdi::Colour> px = view.Pixels();
  const LineSlot& s = lines.Slot(kSlotA);
  // Each syllable's columns, inked in the centre colour, each glyph its own.
  std::vector<std::vector<gdi::Colour>> glyphs;
  for (uint32_t offset : {0u, 2u, 5u}) {
    lines.SetCurrentSyllable(std::string_view(text).substr(offset, 2));
    const SyllableSpan span = lines.MeasureSyllable(offset).value();
    ASSERT_GT(span.width, lines.FontHeight() / 2) << offset; // a full-width glyph
    const gdi::Rect cell{s.x + span.start, s.y, s.x + span.start + span.width,
                         s.y + lines.FontHeight()};
    std::vector<gdi::Colour> ink = PixelsIn(px, 640, cell);
    for (gdi::Colour& c : ink)
      c = c == kUnsungText ? 1 : 0;
    EXPECT_GT(std::count(ink.begin(), ink.end(), 1u), 50) << offset;
    glyphs.push_back(ink);
  }
  EXPECT_NE(glyphs[0], glyphs[1]);
  EXPECT_NE(glyphs[1], glyphs[2]);
}

} // namespace
} // namespace display
