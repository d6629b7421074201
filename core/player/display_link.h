// The link to the lyric display: the display's frame window (displayWnd),
// set when the display links itself and cleared when it unlinks or is found
// gone, and the sends and posts of the notification window to the display
// and to listeners. Nothing here waits for a peer longer than
// kSendTimeoutMs, and a window found gone is forgotten everywhere.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <span>

namespace core {

// How long a send to a display or listener may wait for its answer.
inline constexpr uint32_t kSendTimeoutMs = 1000;

// displayWnd: the linked display's frame window, 0 when none.
win::Hwnd DisplayWindow();
void SetDisplayWindow(win::Hwnd display);
// Unlinks the display when its window no longer exists.
void CheckDisplayAlive();

// Sends WM_COPYDATA (the notification window as wParam) to window. False
// when it did not arrive: a window that is gone is forgotten (unlinked as
// the display, dropped from the listener lists); one that exists but did
// not answer in time is kept.
bool SendRecord(win::Hwnd window, uint32_t kind, std::span<const uint8_t> bytes);
// Sends WM_USER with code and argument, bounded as SendRecord.
bool SendUserCode(win::Hwnd window, uint32_t code, win::LParam argument);
// Posts WM_USER with code and argument; a window the post cannot reach is
// forgotten.
bool PostUserCode(win::Hwnd window, uint32_t code, win::LParam argument);

// Forgets a window that is gone: unlinks it as the display, drops it from
// every listener list (notifywnd.cpp).
void ForgetWindow(win::Hwnd window);

} // namespace core
