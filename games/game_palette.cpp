#include "games/game_palette.h"

#include "platform/gdi/surface.h"
#include "platform/gdi/system_palette.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"

#include <vector>

namespace games {

int CGamePalette::CreateFromDIB(const CDIB& dib) {
  const int n = dib.NumColors();
  if (n <= 0)
    return 0;
  const auto table = dib.ColourTable();
  std::vector<gdi::PaletteEntry> entries(static_cast<size_t>(n));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = {table[i].red, table[i].green, table[i].blue, 0};
  auto palette = gdi::Palette::Create(entries);
  if (!palette)
    return 0;
  palette_ = std::move(palette);
  return 1;
}

int CGamePalette::MakeIdentity() {
  if (!palette_)
    return 0;
  // The screen's context: what a window's would report.
  gdi::Dc dc(gdi::Surface::Create(1, 1));
  const int statics = dc.DeviceCaps(gdi::DeviceCap::NumColors);
  const int size = dc.DeviceCaps(gdi::DeviceCap::SizePalette);
  // A true-colour screen reports -1 colours and no palette: nothing to match.
  if (!dc.DeviceCaps(gdi::DeviceCap::HasPalette) || statics < 0 || statics > 256 || size <= 0)
    return 0;
  gdi::SetSystemPaletteUse(gdi::kSysPalNoStatic);
  gdi::SetSystemPaletteUse(gdi::kSysPalStatic);
  auto old = dc.SelectPalette(palette_, false);
  dc.RealizePalette();
  dc.SelectPalette(old, false);
  std::vector<gdi::PaletteEntry> entries = gdi::GetSystemPaletteEntries(0, size_t(size));
  const size_t half = size_t(statics / 2);
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i].flags = i < half || i + half >= entries.size() ? 0 : gdi::kPcNoCollapse;
  if (!palette_->Resize(entries.size()))
    return 0;
  palette_->SetEntries(0, entries);
  return 1;
}

win::LResult OnQueryNewPalette(win::Hwnd window, const std::shared_ptr<gdi::Palette>& palette) {
  if (!palette)
    return 0;
  auto dc = ui::GetDc(window);
  if (!dc || dc->DeviceCaps(gdi::DeviceCap::BitsPixel) > 8)
    return 0;
  auto old = dc->SelectPalette(palette, false);
  const int changed = dc->RealizePalette();
  dc->SelectPalette(old, false);
  if (changed <= 0)
    return 0;
  ui::InvalidateRect(window, nullptr, true);
  return 1;
}

win::LResult OnPaletteChanged(win::Hwnd window, win::Hwnd changedBy,
                              const std::shared_ptr<gdi::Palette>& palette) {
  if (changedBy == window)
    return 0;
  return OnQueryNewPalette(window, palette);
}

} // namespace games
