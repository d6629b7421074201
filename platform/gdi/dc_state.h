// The saved and current state of a device context.
#pragma once

#include "platform/gdi/dc.h"

namespace gdi {

struct Dc::State {
  std::shared_ptr<const Font> font;
  Pen pen;
  Brush brush;
  std::shared_ptr<Palette> palette;
  Colour textColour = Rgb(0, 0, 0);
  Colour bkColour = Rgb(255, 255, 255);
  int bkMode = kOpaque;
  uint32_t textAlign = kTaLeft | kTaTop;
  int rop2 = kR2CopyPen;
  int stretchMode = kBlackOnWhite;
  std::optional<Rect> clip;
  Point position;
  int systemCodePage = sys::kDefaultCodePage;
  // Memory contexts: the selected bitmap, which is also the target.
  std::shared_ptr<Surface> bitmap;
};

namespace detail {

// The font a context draws in when none is selected, per system code page;
// nullptr without a GUI application.
std::shared_ptr<const Font> SystemFont(int systemCodePage);

} // namespace detail

} // namespace gdi
