#include "games/host_link.h"

#include "platform/win/dispatch.h"
#include "platform/win/window.h"

namespace games {

win::Hwnd FindHost() {
  const win::Hwnd top = win::FindWindow(kHostFrameClass, std::nullopt);
  if (!top)
    return 0;
  return win::FindWindowEx(top, kHostClass, std::nullopt);
}

bool HostPresent() {
  return win::FindWindow(kHostFrameClass, std::nullopt) != 0;
}

std::optional<win::LResult> SendToHost(uint32_t code, win::LParam lParam, uint32_t timeoutMs) {
  const win::Hwnd host = FindHost();
  if (!host)
    return std::nullopt;
  return win::SendMessageTimeout(host, win::WM_USER, code, lParam, timeoutMs);
}

bool PostToHost(uint32_t code, win::LParam lParam) {
  const win::Hwnd host = FindHost();
  return host && win::PostMessage(host, win::WM_USER, code, lParam);
}

void FocusLyricDisplay() {
  if (const win::Hwnd lyric = win::FindWindow(kLyricFrameClass, std::nullopt))
    win::PostMessage(lyric, win::WM_SETFOCUS, 0, 0);
}

} // namespace games
