// Window scroll bars, given to a screen window at run time: a vertical bar
// along the right edge of its client area (WS_VSCROLL), a horizontal one
// along the bottom (WS_HSCROLL). Each bar is a child window of its own that
// draws itself and turns a person's clicks and drags into WM_VSCROLL or
// WM_HSCROLL to the window (lParam 0). Range, page and position are 32-bit;
// the position in a message's wParam is 16-bit, so a handler reads a thumb
// drag's 32-bit position back with GetScrollInfo(SIF_TRACKPOS).
//
// The window's area left for its content is ScrollClientRect; a window
// whose size changes calls LayoutScrollBars from its WM_SIZE. Owner's
// thread only.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/dialog/dialog_template.h"
#include "platform/win/window.h"

#include <cstdint>
#include <optional>

namespace ui {

inline constexpr uint32_t WM_HSCROLL = 0x0114;
inline constexpr uint32_t WM_VSCROLL = 0x0115;

inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;

// Scroll codes (the low word of WM_VSCROLL's and WM_HSCROLL's wParam).
inline constexpr uint32_t SB_LINEUP = 0;
inline constexpr uint32_t SB_LINEDOWN = 1;
inline constexpr uint32_t SB_PAGEUP = 2;
inline constexpr uint32_t SB_PAGEDOWN = 3;
inline constexpr uint32_t SB_THUMBPOSITION = 4;
inline constexpr uint32_t SB_THUMBTRACK = 5;
inline constexpr uint32_t SB_TOP = 6;
inline constexpr uint32_t SB_BOTTOM = 7;
inline constexpr uint32_t SB_ENDSCROLL = 8;

inline constexpr uint32_t SIF_RANGE = 0x01;
inline constexpr uint32_t SIF_PAGE = 0x02;
inline constexpr uint32_t SIF_POS = 0x04;
inline constexpr uint32_t SIF_TRACKPOS = 0x10;
inline constexpr uint32_t SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// The thickness of a bar in pixels.
inline constexpr int32_t kScrollBarSize = 16;

struct ScrollInfo {
  uint32_t mask = SIF_ALL; // what SetScrollInfo takes
  int32_t min = 0, max = 0;
  uint32_t page = 0;
  int32_t pos = 0;
  int32_t trackPos = 0; // during a thumb drag, where the thumb is
};

// Gives the window the bars of bars (WS_VSCROLL | WS_HSCROLL) and
// takes away the others; false for a window that is not a screen window of
// this thread.
bool SetScrollBars(win::Hwnd hwnd, uint32_t bars);
uint32_t ScrollBarsOf(win::Hwnd hwnd);
// Places the bars along the window's edges again.
void LayoutScrollBars(win::Hwnd hwnd);
// The client area less the bars.
gdi::Rect ScrollClientRect(win::Hwnd hwnd);

// Sets what the mask names; the position is kept within min and
// max - page + 1 (max with no page). Gives the position; 0 without the bar.
int32_t SetScrollInfo(win::Hwnd hwnd, int bar, const ScrollInfo& info, bool redraw = true);
std::optional<ScrollInfo> GetScrollInfo(win::Hwnd hwnd, int bar);
// Gives the previous position.
int32_t SetScrollPos(win::Hwnd hwnd, int bar, int32_t pos, bool redraw = true);
int32_t GetScrollPos(win::Hwnd hwnd, int bar);
// The bar's own window (0 without it), where a person's mouse goes.
win::Hwnd ScrollBarWindow(win::Hwnd hwnd, int bar);

// Moves the pixels of rect (the whole client area when null) of the window
// by dx, dy and invalidates only the strip they uncovered.
bool ScrollWindow(win::Hwnd hwnd, int32_t dx, int32_t dy, const gdi::Rect* rect = nullptr);

} // namespace ui
