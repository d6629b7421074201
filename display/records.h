// The records the host sends the display that the frame itself applies, and
// the message numbers of the frame's link-up with the player core and host.
// Byte layouts are little-endian, as the processes exchange them.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace display {

// WM_USER codes (wParam) the display sends or posts.
inline constexpr win::WParam kDisplayClicked = 516; // to the host window of the record
inline constexpr win::WParam kLinkDisplay = 517;    // to "MSG_TAMBLO": lParam the frame, 0 unlinks
inline constexpr win::WParam kLyricTextRequest = 518; // to "MSG_TAMBLO": lParam the frame
inline constexpr win::WParam kDisplayStarted = 521;   // to "MSG_REMOTE": lParam the frame
inline constexpr win::WParam kSysMenuRequest = 528;   // to "MSG_REMOTE"
inline constexpr win::WParam kSysMenuNotify = 4608;   // to "MSG_REMOTE"
// WM_USER codes the display receives.
inline constexpr win::WParam kVideoOffRequest = 769;
inline constexpr win::WParam kOverlayVideoRequest = 770;
inline constexpr win::WParam kMpegVideoRequest = 771;
inline constexpr win::WParam kAviVideoRequest = 772;
inline constexpr win::WParam kDisplayShowRequest = 1538;
inline constexpr win::WParam kDisplayCloseRequest = 1539;
inline constexpr win::WParam kDisplayModeReset = 65584;

// WM_COPYDATA kinds.
inline constexpr uintptr_t kDisplayModeCopy = 0x10020;
inline constexpr uintptr_t kHtmlPageCopy = 0x10100;
inline constexpr uintptr_t kFramePlacementCopy = 0x10701;
inline constexpr uintptr_t kSongFileCopy = 0x10800;

// How the host embeds or places the display (exactly 72 bytes).
struct DisplayModeRecord {
  int32_t mode = 0; // 2: the host places the views inside its own window
  uint32_t hostWindow = 0;
  int32_t x = 0, y = 0, width = 0, height = 0; // the frame in the host window
  int32_t lyric[4] = {};                       // mode 2: x, y, width, height
  int32_t number[4] = {};
  int32_t title[4] = {};
};
static_assert(sizeof(DisplayModeRecord) == 72);
inline constexpr size_t kDisplayModeRecordSize = 72;

// nullopt unless bytes is exactly 72 long.
std::optional<DisplayModeRecord> ReadDisplayModeRecord(std::span<const uint8_t> bytes);
std::vector<uint8_t> WriteDisplayModeRecord(const DisplayModeRecord& record);

// The frame's rectangle from the host: left, top, right, bottom (at least 16
// bytes; the rest is ignored).
std::optional<gdi::Rect> ReadFramePlacement(std::span<const uint8_t> bytes);

} // namespace display
