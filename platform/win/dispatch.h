// Sending and posting messages to windows of this or another process.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <optional>

namespace win {

// Calls the window's procedure on its own thread and returns its result. A
// window of the calling thread is called directly; otherwise the caller
// waits, and while it waits it keeps answering messages sent to its own
// windows, so two threads or processes sending to each other never
// deadlock. 0 at once for a dead window, and when the receiver dies.
LResult SendMessage(Hwnd hwnd, uint32_t message, WParam wParam = 0, LParam lParam = 0);

// As SendMessage, but gives up after timeoutMs: nullopt when the window is
// dead or did not answer in time (a late answer is dropped).
std::optional<LResult> SendMessageTimeout(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam,
                                          uint32_t timeoutMs);

// WM_COPYDATA: the bytes are copied to the receiver, which sees them in a
// CopyData valid during its call, with from in wParam. Refused (0) above
// kMaxCopyDataSize.
LResult SendCopyData(Hwnd hwnd, Hwnd from, uintptr_t kind, const void* data, uint32_t size);
std::optional<LResult> SendCopyDataTimeout(Hwnd hwnd, Hwnd from, uintptr_t kind, const void* data,
                                           uint32_t size, uint32_t timeoutMs);

// Queues a message for the window's thread and returns at once; safe from
// any thread, including threads without windows. Messages posted by one
// thread to one window arrive in the order they were posted; sent messages
// are answered before posted ones. False for a dead window of this process,
// when the owner process of another is gone, and for WM_COPYDATA, whose
// bytes cannot wait in a queue. A process that has stopped reading its
// socket (stopped or hung) holds a post up to a second, then posts to it
// fail, as to a full queue.
bool PostMessage(Hwnd hwnd, uint32_t message, WParam wParam = 0, LParam lParam = 0);

// While a procedure handles a message sent from another process, the
// monotonic time in milliseconds (the clock of the real time source and of
// the window timers, truncated to 32 bits) at which it was read off the
// socket, so a handler can date what it starts from the message's sending
// rather than from when its thread got to it (a send the handler makes to a
// window of its own thread is handled within it and sees the same time). 0
// for a message sent within this process, for posted messages and outside
// any handling: use "now".
uint32_t CurrentMessageReceiveTimeMs();

} // namespace win
