// The system metrics that programs size their windows with. A window's
// rectangle here is its client area (the window manager draws caption and
// borders outside it), so frames and borders measure 0 and only the menu
// bar, which a frame holds inside its rectangle, takes room.
#pragma once

#include <cstdint>

namespace ui {

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CYMENU = 15;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;

// 0 for a metric not listed above.
int GetSystemMetrics(int index);

// The screen's colour depth in bits per pixel; VEXO_SCREEN_BITS, when set,
// stands for it (a test's low-colour screen).
int ScreenBitsPerPixel();

} // namespace ui
