// Draws without a GUI application object, as a library loaded into a host
// that has none would: fonts cannot be made, text fails, the rest draws.
// Exits 0 when everything behaves so.
#include "platform/gdi/dc.h"

#include <cstdio>

int main() {
  using namespace gdi;
  LogFont lf;
  lf.height = -12;
  lf.SetFaceName("DejaVu Sans");
  if (Font::Create(lf)) {
    std::puts("a font without an application");
    return 1;
  }
  auto s = Surface::Create(8, 8, Rgb(255, 255, 255));
  Dc dc(s);
  if (dc.TextOut(0, 0, "text") || dc.TextExtent("text").cx != 0 ||
      dc.GetTextMetrics().height != 0) {
    std::puts("text without a font");
    return 1;
  }
  Rect r{0, 0, 8, 8};
  if (dc.DrawText("text", r, kDtSingleLine) != 0) {
    std::puts("formatted text without a font");
    return 1;
  }
  dc.SelectBrush(SolidBrush(Rgb(255, 0, 0)));
  if (!dc.FillRect(Rect{0, 0, 4, 4}, Rgb(0, 0, 255)) || !dc.Ellipse(0, 0, 8, 8) ||
      s->Pixel(1, 1) != Rgb(0, 0, 255) || s->Pixel(4, 4) != Rgb(255, 0, 0)) {
    std::puts("shapes without an application");
    return 1;
  }
  std::puts("ok");
  return 0;
}
