// What the frame's child views share: their frame, their creation as a child
// window, and the clicks and keys they pass on to the frame.
#pragma once

#include "platform/ui/window/screen.h"

#include <cstdint>
#include <string_view>

namespace display {

using win::LParam;
using win::LResult;
using win::WParam;

class CKivo32Frame;

// The sizing-frame width of the system, the frame's border in pixels.
inline constexpr int32_t kFrameBorder = 4;

class Kivo32View : public ui::ScreenWindow {
public:
  explicit Kivo32View(CKivo32Frame& frame) : frame_(frame) {}

  // Creates the view's window as a child of parent. False on failure.
  bool Create(std::string_view className, std::string_view text, uint32_t style, uint32_t id,
              win::Hwnd parent);
  win::Hwnd Hwnd() const { return GetHwnd(); }
  CKivo32Frame& Frame() const { return frame_; }
  // Places the view's window at rect (the parent's client coordinates).
  void Place(const gdi::Rect& rect);
  gdi::Rect ClientRect() const;
  // Its rectangle in the frame's client coordinates.
  gdi::Rect RectInFrame() const;

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;
  // Paints what lies behind the view, as if it were transparent.
  void PaintBehind();

  CKivo32Frame& frame_;
};

} // namespace display
