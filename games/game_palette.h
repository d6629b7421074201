// The games' one logical palette: built from a bitmap's colour table and,
// on a palette screen, turned into an identity palette (the system
// palette's own entries, the static ones at both ends) so that bitmaps
// matched to it blit without colour translation. With the palette
// messages of a game window.
#pragma once

#include "games/dib.h"
#include "platform/gdi/palette.h"
#include "platform/win/window.h"

#include <memory>

namespace games {

class CGamePalette {
public:
  // Entries of the bitmap's colour table with flags 0; 0 for a bitmap
  // without colours.
  int CreateFromDIB(const CDIB& dib);
  // Resets the system palette, realises this palette in it and takes its
  // entries: the static colours at both ends with flags 0, the others
  // PC_NOCOLLAPSE. 0 (and nothing changed) unless the screen is a palette
  // screen of at most 256 colours.
  int MakeIdentity();
  const std::shared_ptr<gdi::Palette>& Palette() const { return palette_; }

private:
  std::shared_ptr<gdi::Palette> palette_;
};

// WM_QUERYNEWPALETTE of a game window: 0 without a palette or above 8 bits
// a pixel; else realises it in the window's context and, when that changed
// entries, invalidates the whole window with erasing and returns 1.
win::LResult OnQueryNewPalette(win::Hwnd window, const std::shared_ptr<gdi::Palette>& palette);
// WM_PALETTECHANGED: the same unless the window itself changed it.
win::LResult OnPaletteChanged(win::Hwnd window, win::Hwnd changedBy,
                              const std::shared_ptr<gdi::Palette>& palette);

} // namespace games
