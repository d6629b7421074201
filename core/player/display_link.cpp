#include "core/player/display_link.h"

#include "core/player/notifywnd.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <atomic>

namespace core {
namespace {

std::atomic<win::Hwnd> displayWnd{0};

// A failed send or post: the window is forgotten when it is gone.
void CheckGone(win::Hwnd window) {
  if (!win::IsWindow(window))
    ForgetWindow(window);
}

} // namespace

win::Hwnd DisplayWindow() {
  return displayWnd.load();
}

void SetDisplayWindow(win::Hwnd display) {
  displayWnd.store(display);
}

void CheckDisplayAlive() {
  const win::Hwnd display = displayWnd.load();
  win::Hwnd expected = display;
  if (display != 0 && !win::IsWindow(display))
    displayWnd.compare_exchange_strong(expected, 0);
}

bool SendRecord(win::Hwnd window, uint32_t kind, std::span<const uint8_t> bytes) {
  if (window == 0 || bytes.size() > win::kMaxCopyDataSize)
    return false;
  auto result = win::SendCopyDataTimeout(window, NotifyWindow(), kind, bytes.data(),
                                         static_cast<uint32_t>(bytes.size()), kSendTimeoutMs);
  if (!result) {
    CheckGone(window);
    return false;
  }
  return true;
}

bool SendUserCode(win::Hwnd window, uint32_t code, win::LParam argument) {
  if (window == 0)
    return false;
  auto result = win::SendMessageTimeout(window, win::WM_USER, code, argument, kSendTimeoutMs);
  if (!result) {
    CheckGone(window);
    return false;
  }
  return true;
}

bool PostUserCode(win::Hwnd window, uint32_t code, win::LParam argument) {
  if (window == 0)
    return false;
  if (!win::PostMessage(window, win::WM_USER, code, argument)) {
    ForgetWindow(window);
    return false;
  }
  return true;
}

} // namespace core
