// A process with one hidden screen window, for the tests that reach a window
// of another process. It prints "hwnd <handle>" once the window exists, then
// a line for each message the tests look at, and ends when the window is
// closed.
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/loop.h"

#include <QApplication>

#include <cstdio>

namespace {

class PeerWindow : public ui::ScreenWindow {
protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    switch (message) {
    case win::WM_SHOWWINDOW:
      std::printf("showwindow %d\n", static_cast<int>(wParam));
      break;
    case win::WM_MOVE:
      std::printf("move %d %d\n", static_cast<int16_t>(lParam & 0xFFFF),
                  static_cast<int16_t>((lParam >> 16) & 0xFFFF));
      break;
    case win::WM_SIZE:
      std::printf("size %d %d %d\n", static_cast<int>(wParam), static_cast<int>(lParam & 0xFFFF),
                  static_cast<int>((lParam >> 16) & 0xFFFF));
      break;
    case win::WM_PAINT: {
      ui::Paint p(GetHwnd());
      const gdi::Rect& a = p.Area();
      std::printf("paint %d %d %d %d\n", a.left, a.top, a.right, a.bottom);
      std::fflush(stdout);
      return 0;
    }
    case win::WM_DESTROY:
      win::PostQuitMessage(0);
      break;
    default:
      break;
    }
    std::fflush(stdout);
    return Default(message, wParam, lParam);
  }
};

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ui::RegisterScreenClass(
      {"UiPeerWindow", 0, [] { return std::make_unique<PeerWindow>(); }, nullptr, std::nullopt});
  win::CreateParams p;
  p.className = "UiPeerWindow";
  p.title = "peer";
  p.style = win::WS_POPUP;
  p.x = 10;
  p.y = 10;
  p.width = 50;
  p.height = 40;
  const win::Hwnd h = win::CreateWindow(p);
  if (!h)
    return 1;
  std::printf("hwnd %u\n", h);
  std::fflush(stdout);
  return win::RunMessageLoop();
}
