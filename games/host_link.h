// The games' side of the host protocol: the host looked up afresh for every
// exchange (the top window "VEXO3REMOTE", then its child "MSG_REMOTE"), the
// requests sent or posted to it, and the messages it sends back.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <optional>

namespace games {

inline constexpr const char* kHostFrameClass = "VEXO3REMOTE";
inline constexpr const char* kHostClass = "MSG_REMOTE";
inline constexpr const char* kLyricFrameClass = "VEXO3LYRIC";

// Requests, WM_USER with the code in wParam.
inline constexpr uint32_t GameAllowQuery = 1036;
inline constexpr uint32_t GameStart = 1025;
inline constexpr uint32_t SongCountQuery = 1031;
inline constexpr uint32_t SongRecordRequest = 1026;
inline constexpr uint32_t SongRecordTarget = 1033;
inline constexpr uint32_t SongRecordByNumber = 1030;
inline constexpr uint32_t AllSongRecordsRequest = 1037;
inline constexpr uint32_t PlayTarget = 2305;
inline constexpr uint32_t PlaySongNumber = 1029;
inline constexpr uint32_t GameRegister = 1028;
inline constexpr uint32_t GameUnregister = 2306;
inline constexpr uint32_t GameClose = 1035;

// From the host, WM_USER with the code in wParam.
inline constexpr uint32_t PlayStopped = 258;
inline constexpr uint32_t SingScore = 1537;
inline constexpr uint32_t SongListComplete = 5120;

// The longest a game waits for the host to answer a send; a host that
// does not answer in time counts as lost.
inline constexpr uint32_t kHostSendTimeoutMs = 5000;

// The host's "MSG_REMOTE" window now; 0 when the top window or its child is
// missing.
win::Hwnd FindHost();
// True when the host's top window exists.
bool HostPresent();

// Sends a request and waits for the answer; nullopt when there is no host
// or it did not answer within the timeout.
std::optional<win::LResult> SendToHost(uint32_t code, win::LParam lParam = 0,
                                       uint32_t timeoutMs = kHostSendTimeoutMs);
// Posts a request; false when there is no host.
bool PostToHost(uint32_t code, win::LParam lParam = 0);

// After a song is chosen: focus to the lyric display when it runs.
void FocusLyricDisplay();

} // namespace games
