#include "display/tracker.h"

#include "display/utils.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

namespace display {

bool FullWindowDrag() {
  return true;
}

namespace {

// A window's rectangle in its parent's client coordinates (the screen's for
// a top-level window), as PlaceWindow takes it.
gdi::Rect ParentRect(win::Hwnd window, const gdi::Rect& screenRect) {
  const win::Hwnd parent = win::GetParent(window);
  if (!parent || !ui::IsScreenWindow(parent))
    return screenRect;
  const gdi::Point origin = ui::ClientToScreen(parent, {0, 0});
  return gdi::Offset(screenRect, -origin.x, -origin.y);
}

} // namespace

void ViewDragTracker::Begin(win::Hwnd window, gdi::Point screenPoint, win::Hwnd capture) {
  auto rect = ui::GetWindowRect(window);
  if (!rect)
    return;
  window_ = window;
  captureWindow_ = capture ? capture : window;
  fullDrag_ = FullWindowDrag();
  startRect_ = rect_ = *rect;
  start_ = screenPoint;
  ui::SetCapture(captureWindow_);
  capture_ = true;
  suppressed_ = true;
}

void ViewDragTracker::Move(gdi::Point screenPoint) {
  if (!capture_)
    return;
  rect_ = OffsetRect(startRect_, start_, screenPoint);
  if (fullDrag_)
    PlaceWindow(window_, ParentRect(window_, rect_));
}

void ViewDragTracker::End() {
  if (!capture_)
    return;
  capture_ = false;
  suppressed_ = false;
  if (ui::GetCapture() == captureWindow_)
    ui::ReleaseCapture();
  PlaceWindow(window_, ParentRect(window_, rect_));
  ui::InvalidateRect(window_, nullptr, true);
  ui::UpdateWindow(window_);
}

} // namespace display
