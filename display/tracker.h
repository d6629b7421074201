// The rubber-band tracker with which a floating view is moved while Ctrl is
// held: the view follows the mouse from the press to the release.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

namespace display {

// The platform's full-window-drag setting: windows here always move with the
// mouse, there is no outline mode.
bool FullWindowDrag();

class ViewDragTracker {
public:
  // Starts moving window from a press at a screen point; the mouse is
  // captured for capture (the window itself when 0).
  void Begin(win::Hwnd window, gdi::Point screenPoint, win::Hwnd capture = 0);
  // The mouse moved to a screen point.
  void Move(gdi::Point screenPoint);
  // Releases the capture and leaves the window at the last rectangle,
  // repainted. Nothing when no drag runs.
  void End();
  bool IsTracking() const { return capture_; }
  win::Hwnd Window() const { return window_; }
  const gdi::Rect& Current() const { return rect_; }

private:
  bool fullDrag_ = true;
  bool capture_ = false;
  bool suppressed_ = false; // painting held while the window moves
  gdi::Rect rect_;
  gdi::Rect startRect_;
  gdi::Point start_;
  win::Hwnd window_ = 0;
  win::Hwnd captureWindow_ = 0;
};

} // namespace display
