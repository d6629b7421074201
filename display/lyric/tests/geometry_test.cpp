// The layout arithmetic: font height, usable width and slot tops at the
// view heights a screen gives (300 and 1080 among them), the centring
// margin, the docked view's place in the frame, and the fitting passes with
// their narrowest width.
#include "display/lyric/lyric_geometry.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace display {
namespace {

TEST(Geometry, FontHeightUsableWidthAndSlotTopsByViewSize) {
  struct Row {
    int32_t width, height;
    int32_t fontHeight, usable, topA, topB;
  };
  const Row rows[] = {
      {640, 300, 125, 608, 18, 157},   {1920, 1080, 450, 1824, 70, 560},
      {1278, 271, 112, 1216, 16, 141}, {800, 224, 93, 760, 12, 116},
      {447, 100, 41, 425, 4, 52},      {39, 11, 4, 39, -2, 6},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.width << "x" << r.height);
    const gdi::Rect rect{0, 0, r.width, r.height};
    EXPECT_EQ(LyricFontHeight(rect), r.fontHeight);
    EXPECT_EQ(UsableWidth(rect), r.usable);
    const SlotTops tops = SlotTopsFor(r.height, r.fontHeight);
    EXPECT_EQ(tops.a, r.topA);
    EXPECT_EQ(tops.b, r.topB);
  }
}

TEST(Geometry, CentringMarginIsZeroWhenTheLineFillsTheWidth) {
  struct Row {
    int32_t viewWidth, textWidth, margin;
  };
  const Row rows[] = {
      {640, 400, 120}, {640, 608, 16},    {640, 609, 16},   {640, 640, 0},
      {640, 700, 0},   {1920, 1000, 460}, {1920, 1824, 48}, {30, 10, 10},
  };
  for (const Row& r : rows)
    EXPECT_EQ(CentringMargin(gdi::Rect{0, 0, r.viewWidth, 300}, r.textWidth), r.margin)
        << r.viewWidth << " " << r.textWidth;
}

// The factors as the frame reads them by default.
constexpr float kS1 = 1.0f, kL1 = 1.2f, kS2 = 0.14f, kL2 = 0.18f;

TEST(Geometry, DockedViewSitsAboveTheFramesBottom) {
  struct Row {
    int32_t frameRight, frameBottom, screen;
    float heightFactor, gapFactor;
    gdi::Rect view;
    int16_t pad;
  };
  const Row rows[] = {
      {1280, 1080, 1080, kL1, kL2, gdi::MakeRect(2, 769, 1278, 271), 2},
      {1280, 1080, 1080, kS1, kS2, gdi::MakeRect(2, 823, 1278, 226), 2},
      {960, 540, 1080, kL1, kL2, gdi::MakeRect(2, 335, 958, 179), 2},
      {640, 300, 1080, kL1, kL2, gdi::MakeRect(2, 142, 638, 138), 1},
      {640, 480, 768, kL1, kL2, gdi::MakeRect(2, 316, 638, 143), 1},
      {1920, 1080, 1080, kL1, kS2, gdi::MakeRect(2, 778, 1918, 271), 2},
  };
  for (const Row& r : rows) {
    const DockedPlacement p =
        PlaceDocked(r.frameRight, r.frameBottom, r.screen, r.heightFactor, r.gapFactor);
    EXPECT_EQ(p.view, r.view) << r.frameRight << "x" << r.frameBottom << " on " << r.screen;
    EXPECT_EQ(p.pad, r.pad);
  }
}

TEST(Geometry, FactorsOutOfReasonKeepTheViewInsideTheFrame) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    float heightFactor, gapFactor;
    gdi::Rect view;
  };
  const Row rows[] = {
      {-1.0f, kL2, gdi::MakeRect(2, 1080 - 40, 1278, 0)},
      {100.0f, kL2, gdi::MakeRect(2, 0, 1278, 1080)},
      {kL1, 100.0f, gdi::MakeRect(2, 0, 1278, 271)},
      {nan, nan, gdi::MakeRect(2, 1080, 1278, 0)},
      {inf, -inf, gdi::MakeRect(2, 0, 1278, 1080)},
  };
  for (const Row& r : rows)
    EXPECT_EQ(PlaceDocked(1280, 1080, 1080, r.heightFactor, r.gapFactor).view, r.view);
  EXPECT_EQ(PlaceDocked(-5, -5, 0, kL1, kL2).view, gdi::MakeRect(2, 0, 0, 0));
}

// A measure that records the widths asked for.
struct Recorder {
  std::vector<int32_t> asked;
  std::function<int32_t(int32_t)> width;
  LineMeasure Measure() {
    return [this](int32_t w) {
      asked.push_back(w);
      return width(w);
    };
  }
};

TEST(Fitting, PassesRunWithTheirStepsUntilTheLineFits) {
  struct Row {
    int32_t usable, length;
    bool fitsAtOnce;
    int32_t fitsBelow; // else it fits once the trial width is at most this
    std::vector<int32_t> asked;
    int32_t charWidth;
  };
  const Row rows[] = {
      // Never fits: all eleven passes, k = 1, 2, 3, 4, 5, 7, 9, 11, 14, 17, 20.
      {1824, 100, false, 0, {0, 23, 22, 21, 20, 19, 17, 15, 13, 10, 7, 4}, 4},
      {1824, 100, false, 21, {0, 23, 22, 21}, 21},
      {608, 40, false, 18, {0, 19, 18}, 18},
      // Fits as it is.
      {608, 10, true, 0, {0}, 0},
  };
  for (const Row& r : rows) {
    Recorder rec;
    rec.width = [&](int32_t w) {
      const bool tooWide = w == 0 ? !r.fitsAtOnce : w > r.fitsBelow;
      return tooWide ? r.usable + 1 : r.usable;
    };
    const LineFit fit = FitLine(r.usable, r.length, rec.Measure());
    EXPECT_EQ(rec.asked, r.asked) << r.usable << "/" << r.length;
    EXPECT_EQ(fit.charWidth, r.charWidth);
    EXPECT_EQ(fit.passes, static_cast<int>(r.asked.size()) - 1);
    EXPECT_EQ(fit.textWidth, rec.width(fit.charWidth));
  }
}

TEST(Fitting, AWidthReducedBelowOneBecomesTheNarrowestFontNeverAWiderOne) {
  // 286 / 172 = 1, + 0, - k: below 1 from the first pass on.
  Recorder rec;
  rec.width = [](int32_t w) { return w == 0 ? 2000 : 3 * 172 * w; };
  const LineFit fit = FitLine(286, 172, rec.Measure());
  ASSERT_EQ(rec.asked.size(), 12u);
  for (size_t i = 1; i < rec.asked.size(); ++i)
    EXPECT_EQ(rec.asked[i], 1) << i;
  EXPECT_EQ(fit.charWidth, 1);
  EXPECT_EQ(fit.textWidth, 3 * 172);

  // 1824 / 100 gives 24 - k: the late passes are still the ones asked.
  Recorder wide;
  wide.width = [](int32_t) { return 5000; };
  FitLine(40, 100, wide.Measure()); // 40 / 100 = 0
  for (size_t i = 1; i < wide.asked.size(); ++i)
    EXPECT_EQ(wide.asked[i], 1);
  // No length at all counts as one byte.
  Recorder none;
  none.width = [](int32_t w) { return w == 0 ? 100 : 10; };
  EXPECT_EQ(FitLine(50, 0, none.Measure()).charWidth, 65);
}

} // namespace
} // namespace display
