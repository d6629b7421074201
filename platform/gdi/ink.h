// Where a drawing put its ink, as runs of pixels row by row: text rendered
// once on a scratch bitmap can be painted again in any colour and at any
// place without its glyphs being rasterised again, pixel for pixel as the
// text itself would be drawn there.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <cstdint>
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

  const std::vector<InkRun>& Runs() const { return runs_; }
  bool Empty() const { return runs_.empty(); }
  // The smallest rectangle holding every run; empty without ink.
  const Rect& Bounds() const { return bounds_; }

private:
  std::vector<InkRun> runs_;
  Rect bounds_;
};

} // namespace gdi
