// The player core's exports of the notification window and the display
// protocol: the listener registrations, the transmissions of the song's
// title, lyrics, lines and events to a window, and the HTML pages on the
// linked display. Window handles are 32-bit.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Listener lists: 1 when listed (or already listed), 0 when the list is
// full; the Unregister functions 1, or 0 when the window was not listed.
int32_t tamblo_RegisterStopMsg(uint32_t window);
int32_t tamblo_RegisterProgMsg(uint32_t window);
int32_t tamblo_RegisterMiscMsg(uint32_t window);
int32_t tamblo_RegisterEventMsg(uint32_t window);
int32_t tamblo_RegisterNotifications(uint32_t window);
int32_t tamblo_UnregisterStopMsg(uint32_t window);
int32_t tamblo_UnregisterProgMsg(uint32_t window);
int32_t tamblo_UnregisterMiscMsg(uint32_t window);
int32_t tamblo_UnregisterEventMsg(uint32_t window);
int32_t tamblo_UnregisterNotifications(uint32_t window);

// Transmissions: -1 without a song (or the track, line or event asked for).
int32_t tamblo_TitleTransmit(uint32_t window);                  // 48
int32_t tamblo_LyricTransmit(uint32_t window);                  // the block's byte count
int32_t tamblo_LineInfoTransmit(uint32_t window, int16_t line); // 0
int32_t tamblo_RTEventTransmit(uint32_t window, int16_t track, int32_t index); // 0
int32_t tamblo_LyricTextTransmit(uint32_t window);                             // 0
// The linked display's frame window, 0 when none.
uint32_t tamblo_GetLyricWnd(void);

// HTML pages on the linked display: 0 when none is linked, else 1.
int32_t tamblo_DisplayTitle(const char* pageFile);
int32_t tamblo_ClearHtm(void);
int32_t tamblo_DisplayHtm(const char* text);

#ifdef __cplusplus
} // extern "C"
#endif
