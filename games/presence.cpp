#include "games/presence.h"

#include "games/host_link.h"
#include "platform/win/dispatch.h"

#include <atomic>
#include <memory>

namespace games {
namespace {

std::atomic<win::Hwnd> gPresence{0};
std::atomic<win::Hwnd> gMainWindow{0};

} // namespace

win::LResult CPresenceWnd::WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) {
  if (message == win::WM_USER && wParam == GameClose) {
    if (const win::Hwnd main = MainWindow())
      win::PostMessage(main, win::WM_CLOSE, 0, 0);
    return 0;
  }
  return win::Window::WindowProc(message, wParam, lParam);
}

win::Hwnd CreatePresenceWindow() {
  if (const win::Hwnd made = gPresence.load(); made && win::IsWindow(made))
    return made;
  static const bool registered =
      win::RegisterClass({kPresenceName, 0, [] { return std::make_unique<CPresenceWnd>(); }});
  if (!registered)
    return 0;
  win::CreateParams p;
  p.className = kPresenceName;
  p.title = kPresenceName;
  p.style = win::WS_POPUP;
  p.width = 1;
  p.height = 1;
  const win::Hwnd hwnd = win::CreateWindow(p);
  gPresence = hwnd;
  return hwnd;
}

win::Hwnd PresenceWindow() {
  return gPresence.load();
}

bool AnotherGameRuns() {
  const win::Hwnd found = win::FindWindow(std::nullopt, kPresenceName);
  return found != 0 && found != gPresence.load();
}

void SetMainWindow(win::Hwnd hwnd) {
  gMainWindow = hwnd;
}
win::Hwnd MainWindow() {
  return gMainWindow.load();
}

} // namespace games
