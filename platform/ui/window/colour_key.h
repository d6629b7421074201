// Video shown through a key colour, as an overlay board shows it: a device
// hands its current frame to a top-level window, and every window of that
// window's tree presents the frame wherever its own pixels are the key
// colour. The windows' surfaces are never touched: a new frame only has the
// widgets show again what they hold, composed with it (no WM_PAINT).
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ui {

// A frame: width x height pixels 0xFFRRGGBB, rows from the top.
struct KeyFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::shared_ptr<const std::vector<uint32_t>> pixels;
};

// Shows frame at dest (in top's client coordinates; the frame is stretched
// to it when the sizes differ) wherever a window of top's tree shows key.
// Any thread; false when top is not a screen window or the frame is empty.
bool SetKeyedFrame(win::Hwnd top, gdi::Colour key, const KeyFrame& frame, const gdi::Rect& dest);
// The key pixels show their own colour again.
void ClearKeyedFrame(win::Hwnd top);
// Frames handed over for top since it was first given one (tests).
uint64_t KeyedFrameCount(win::Hwnd top);

// The window's client area as it shows, composed with the keyed frame of
// its tree (the window's own pixels without one); children not included.
// nullopt for a window that is not a screen window of this process.
std::optional<std::vector<gdi::Colour>> ComposedPixels(win::Hwnd hwnd);

} // namespace ui
