// Invalidation and painting of screen windows. A window keeps an update
// area; while it is not empty and the window is visible, WM_PAINT comes
// through the window's message loop, and its handler draws with a Paint.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <optional>

namespace ui {

// Adds a rectangle (nullptr: the whole client area) to the update area;
// with erase, the next Paint sends WM_ERASEBKGND first. Safe from any
// thread and for a window of another process.
bool InvalidateRect(win::Hwnd hwnd, const gdi::Rect* rect, bool erase);
// Takes a rectangle (nullptr: all) out of the update area. The area is one
// rectangle, so only a rectangle that covers it empties it.
bool ValidateRect(win::Hwnd hwnd, const gdi::Rect* rect);
// The update area, nullopt when empty.
std::optional<gdi::Rect> GetUpdateRect(win::Hwnd hwnd);
// Sends WM_PAINT now when the update area is not empty and the window is
// visible, then has the widget show the result (window's thread only).
bool UpdateWindow(win::Hwnd hwnd);

// Begins painting (in WM_PAINT): takes the update area, sends WM_ERASEBKGND
// when an invalidation asked for erasing, and gives a context clipped to the
// area. Outside WM_PAINT the area is empty.
class Paint {
public:
  explicit Paint(win::Hwnd hwnd);
  ~Paint();
  Paint(const Paint&) = delete;
  Paint& operator=(const Paint&) = delete;

  // False for a window that is not a screen window of this thread.
  bool IsValid() const { return dc_.has_value(); }
  gdi::Dc& Dc() { return *dc_; }
  // The area to paint, in client coordinates.
  const gdi::Rect& Area() const { return area_; }
  // True when erasing was asked for and WM_ERASEBKGND did not erase.
  bool EraseNeeded() const { return eraseNeeded_; }

private:
  win::Hwnd hwnd_;
  std::optional<gdi::Dc> dc_;
  gdi::Rect area_;
  bool eraseNeeded_ = false;
};

} // namespace ui
