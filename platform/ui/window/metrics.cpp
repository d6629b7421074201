#include "platform/ui/window/metrics.h"

#include "platform/ui/frame/menu_bar.h"
#include "platform/ui/window/screen.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>

namespace ui {

int GetSystemMetrics(int index) {
  switch (index) {
  case SM_CXSCREEN:
    return ScreenRect().Width();
  case SM_CYSCREEN:
    return ScreenRect().Height();
  case SM_CYMENU:
    return MenuBar::kHeight;
  default:
    return 0;
  }
}

int ScreenBitsPerPixel() {
  if (const char* bits = std::getenv("VEXO_SCREEN_BITS"); bits && *bits)
    return std::atoi(bits);
  if (QGuiApplication::instance())
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      return screen->depth();
  return 32;
}

} // namespace ui
