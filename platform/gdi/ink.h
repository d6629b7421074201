// Where a drawing put its ink, as runs of pixels row by row: text rendered
// once on a scratch bitmap can be painted again in any colour and at any
// place without its glyphs being rasterised again, pixel for pixel as the
// text itself would be drawn there.
#pragma once

#include "platform/gdi/font.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace gdi {

struct InkRun {
  int32_t y = 0;
  int32_t left = 0;
  int32_t right = 0; // exclusive
};

class InkRuns {
public:
  // The pixels of the surface whose colour is not the background's.
  static InkRuns FromSurface(const Surface& surface, Colour background);
  // The ink of text drawn white on black in one line from the top left of a
  // width x height area, clipped to it, as DrawText with kDtSingleLine |
  // kDtNoPrefix | kDtLeft | kDtTop draws it there. It is laid together from
  // the ink of its characters, each drawn once per font and position within
  // a pixel and kept (a bounded number), so that a line of characters seen
  // before costs no drawing; characters whose ink might touch are drawn
  // together, and text that is shaped or reordered is drawn whole.
  static InkRuns OfText(const std::shared_ptr<const Font>& font, std::string_view text,
                        int32_t width, int32_t height);

  // Row by row, top to bottom, and left to right within a row.
  const std::vector<InkRun>& Runs() const { return runs_; }
  bool Empty() const { return runs_.empty(); }
  // The smallest rectangle holding every run; empty without ink.
  const Rect& Bounds() const { return bounds_; }

private:
  std::vector<InkRun> runs_;
  Rect bounds_;
};

// Ink to lay down with its origin at x, y, in a colour.
struct InkPlacement {
  const InkRuns* ink = nullptr;
  int32_t x = 0;
  int32_t y = 0;
  Colour colour = 0;
};

} // namespace gdi
