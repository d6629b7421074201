// The records the host sends the display that the frame itself applies, and
// the message numbers of the frame's link-up with the player core and host.
// Byte layouts are little-endian, as the processes exchange them.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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
inline constexpr win::WParam kPlayStarted = 257;
inline constexpr win::WParam kPlayStopped = 258;
inline constexpr win::WParam kSingScore = 1537;
inline constexpr win::WParam kDisplayShowRequest = 1538;
inline constexpr win::WParam kDisplayCloseRequest = 1539;
inline constexpr win::WParam kDisplayRepaintRequest = 1540;
inline constexpr win::WParam kStopImageNotify = 1541;
inline constexpr win::WParam kCodePageNotify = 1543;
inline constexpr win::WParam kJumpNotify = 1544;
inline constexpr win::WParam kDisplaySettingsNotify = 4353;
inline constexpr win::WParam kMediaListReload = 4354;
inline constexpr win::WParam kInfoViewRefresh = 4355;
inline constexpr win::WParam kDisplayModeReset = 65584;
// WM_USER codes the display posts to "MSG_TAMBLO" and "MSG_REMOTE".
inline constexpr win::WParam kTitleRequest = 513;
inline constexpr win::WParam kLyricRequest = 514;
inline constexpr win::WParam kLineInfoRequest = 515;
inline constexpr win::WParam kGameRegister = 1028;

// WM_COPYDATA kinds.
inline constexpr uintptr_t kTitleCopy = 0x10001;
inline constexpr uintptr_t kLyricCopy = 0x10002;
inline constexpr uintptr_t kEventCopy = 0x10010;
inline constexpr uintptr_t kLyricTextCopy = 0x10302;
inline constexpr uintptr_t kImageCopy = 0x10303;
inline constexpr uintptr_t kPlayImageCopy = 0x10304;
// A PlayImageCopy record holds an image name of this many bytes.
inline constexpr size_t kPlayImageBytes = 32;
inline constexpr uintptr_t kReserveListCopy = 0x10600;
inline constexpr uintptr_t kNextSongCopy = 0x10601;
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

// The song title of a TitleCopy: up to its first zero, at most 48 bytes;
// nullopt for a record above 49 bytes.
inline constexpr size_t kTitleCopyLimit = 49;
inline constexpr size_t kTitleTextLimit = 48;
std::optional<std::string> ReadTitleCopy(std::span<const uint8_t> bytes);

// One lyric event of an EventCopy (a 24-byte song event): nullopt unless
// the record is exactly 24 bytes.
inline constexpr size_t kEventCopySize = 24;
struct LyricEvent {
  uint32_t durationMs = 0; // +12
  uint8_t kind = 0;        // +16
  int16_t line = 0;        // +18
  uint32_t data = 0;       // +20: offset in the lyric block | length << 16
  uint16_t Offset() const { return data & 0xFFFF; }
  uint16_t Length() const { return data >> 16; }
};
std::optional<LyricEvent> ReadLyricEvent(std::span<const uint8_t> bytes);
// The event kinds the lyric view acts on.
inline constexpr uint8_t kSyllableEvent = 16;
inline constexpr uint8_t kLineEvent = 17;
inline constexpr uint8_t kPreviewEvent = 18;
inline constexpr uint8_t kColourGroupEvent = 20;

// The reservation list: five entries of 52 bytes, a song number and a
// title of up to 48 bytes. A record up to 260 bytes is copied over the
// start of the buffer, the rest keeping what it held; false (nothing
// copied) above 260 bytes.
inline constexpr size_t kReserveEntrySize = 52;
inline constexpr size_t kReserveEntries = 5;
inline constexpr size_t kReserveListSize = kReserveEntrySize * kReserveEntries;
using ReserveBuffer = std::array<uint8_t, kReserveListSize>;
bool ApplyReserveList(ReserveBuffer& buffer, std::span<const uint8_t> bytes);
std::array<int32_t, kReserveEntries> ReserveNumbers(const ReserveBuffer& buffer);
std::string ReserveTitle(const ReserveBuffer& buffer, size_t entry);

// The next song: its number and title (up to 121 bytes); nullopt above 125
// bytes or below the 4 bytes of the number.
inline constexpr size_t kNextSongLimit = 125;
struct NextSong {
  int32_t number = 0;
  std::string title;
};
std::optional<NextSong> ReadNextSong(std::span<const uint8_t> bytes);

// The locale name CodePageNotify makes the process's: "kor", "chs", "cht",
// "jpn", "us", or "C" for any other code page.
const char* CodePageLocaleName(int32_t codePage);

// The score page: the page file's text filled in with its eight values in
// order. Each "%d", "%i", "%ld", "%s" (flags "-+#0", width and precision allowed
// and ignored) takes the next value as text, "%%" gives "%", and every
// other "%" (and a conversion beyond the values) stays as written: the
// page is never handed to a formatter, so a hostile page cannot read past
// the values.
struct ScoreValues {
  int32_t size = 0;    // s: the info view's height / 6
  std::string colour1; // "#rrggbb"
  std::string colour2;
  std::string score;   // the score as decimal text
  int32_t quarter = 0; // q: s / 4
  std::string colour3;
  std::string colour4;
  std::string scoreText; // the [Score] text for the score
};
std::string FillScorePage(std::string_view page, const ScoreValues& values);
// "#rrggbb" of a colour.
std::string HtmlColour(gdi::Colour colour);

} // namespace display
