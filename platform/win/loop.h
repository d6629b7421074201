// The message loop of a thread that owns windows. With a Qt application the
// messages are delivered by the thread's Qt event loop; these helpers run
// that loop (or, without a Qt application, a loop of their own).
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <functional>

namespace win {

// Runs the calling thread's loop until PostQuitMessage; returns its code.
int RunMessageLoop();
// Asks the innermost running loop of the calling thread to end with code,
// after the messages posted before it.
void PostQuitMessage(int code);

// Runs the loop until done() is true (checked after every delivery and at
// least every few milliseconds) or timeoutMs passed; returns done().
bool RunMessageLoopUntil(const std::function<bool()>& done, uint32_t timeoutMs);

// Delivers what is waiting for the calling thread now (sent messages, posted
// messages, due timers) without waiting; returns how many were delivered.
int ProcessPendingMessages();

// A filter sees every posted message and timer tick of its thread before it
// is dispatched; returning true consumes the message. Sent messages never
// pass the filters.
using MessageFilter = std::function<bool(Msg& msg)>;
// Adds a filter to the calling thread's loop (called in the order added);
// returns its id for RemoveMessageFilter.
int AddMessageFilter(MessageFilter filter);
bool RemoveMessageFilter(int id);
// Gives msg to the calling thread's filters as the loop does; true when one
// consumed it. For input that reaches a window without passing the queue.
bool PassMessageFilters(Msg& msg);

// Delivers one message to its window's procedure on this thread (what the
// loop does after the filters); 0 when the window is not this thread's.
LResult DispatchMessage(const Msg& msg);

} // namespace win
