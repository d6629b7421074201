// The messages between the window tests and their peer processes.
#pragma once

#include "platform/win/messages.h"

namespace wintest {

// The display link-up as the suite uses it.
inline constexpr win::WParam kLinkDisplay = 517; // WM_USER code, lParam the frame
inline constexpr win::WParam kPlayStarted = 257; // WM_USER code sent back to the frame
inline constexpr win::LResult kPlayStartedAck = 7;
inline constexpr win::LResult kLinkAccepted = 1;

// The echo peer's commands.
inline constexpr uint32_t kPing = win::WM_USER + 10;      // answers lParam + 1
inline constexpr uint32_t kFlood = win::WM_USER + 11;     // wParam posts of kFloodItem to lParam
inline constexpr uint32_t kFloodItem = win::WM_USER + 12; // wParam the sequence number
inline constexpr uint32_t kFloodEnd = win::WM_USER + 13;  // wParam the count
inline constexpr uint32_t kStorm = win::WM_USER + 14;     // wParam kPing sends to lParam
inline constexpr uint32_t kStormDone = win::WM_USER + 15; // wParam the right answers
inline constexpr uint32_t kStall = win::WM_USER + 16;     // blocks until stdin closes

} // namespace wintest
