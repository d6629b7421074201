// The arithmetic of the lyric view's layout: where the docked view sits in
// the frame, the lyric font's height, the width a line may take, the fitting
// passes that condense a line too wide for it, its centring margin and the
// tops of the two line slots. Pure functions, so each rule can be checked on
// its own.
#pragma once

#include "platform/gdi/types.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace display {

struct DockedPlacement {
  gdi::Rect view;  // in the frame's client coordinates
  int16_t pad = 2; // outline thickness: 1 below a height of 150
};

// The docked lyric view in a frame whose client area ends at (frameRight,
// frameBottom), on a screen screenHeight pixels high. heightFactor is
// [LyricPosition] "Factor_S1" with [Words] "SmallFont" set, else "Factor_L1";
// gapFactor is "Factor_S2" while the frame is embedded in a host window,
// else "Factor_L2". The view stays inside the frame whatever the factors say.
DockedPlacement PlaceDocked(int32_t frameRight, int32_t frameBottom, int32_t screenHeight,
                            float heightFactor, float gapFactor);

// Outline thickness for a view height.
int16_t PadForHeight(int32_t height);

// F: the lyric font's cell height for the layout rectangle.
int32_t LyricFontHeight(const gdi::Rect& r);
// U: the width a line may fill, the rectangle less a fortieth on each side.
int32_t UsableWidth(const gdi::Rect& r);

struct SlotTops {
  int32_t a = 0; // upper slot
  int32_t b = 0; // lower slot
};
SlotTops SlotTopsFor(int32_t height, int32_t fontHeight);

// The result of fitting a line: the character width to make the font with
// (0 = the face's own) and the width the text measured with it.
struct LineFit {
  int32_t charWidth = 0;
  int32_t textWidth = 0;
  int passes = 0; // condensing passes run (0 when the line fitted as it was)
};

// Measures the line in the font with the given character width.
using LineMeasure = std::function<int32_t(int32_t charWidth)>;

// Condensing passes: trial width = U / length + a third of it - k, for k = 1,
// 2, 3, 4, 5, 7, 9, 11, 14, 17, 20, until the line fits. A trial width below 1
// takes 1, the narrowest font there is. lengthBytes below 1 counts as 1.
LineFit FitLine(int32_t usable, int32_t lengthBytes, const LineMeasure& measure);

// The left margin that centres a line of textWidth in r; 0 when the line
// fills the width.
int32_t CentringMargin(const gdi::Rect& r, int32_t textWidth);

} // namespace display
