// What the frame's child views share: their frame, their creation as a child
// window, and the clicks and keys they pass on to the frame.
#pragma once

#include "display/tracker.h"
#include "platform/ui/window/screen.h"

#include <cstdint>
#include <string>
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

  // The [Words] keys prefix_x, _y, _cx, _cy (left, top, right, bottom on
  // the screen) that keep the view's floating place.
  void SetPlacementKeys(std::string_view prefix) { prefix_ = std::string(prefix); }
  // Pops out as a thick-framed window of the desktop at its stored place
  // (where it is when none usable is stored), or docks as a child of the
  // frame again, storing the place it floated at.
  void PopOut();
  void Dock();
  bool Floating() const { return floating_; }
  // Stores the window's screen rectangle, unless it reaches beyond the
  // screen or is empty. False when nothing was written.
  bool StorePlacement() const;
  // Becomes a child of another window (a host's) at rect of its client
  // area, without frame, edges or transparency, and back into the frame.
  void PlaceInHost(win::Hwnd host, const gdi::Rect& rect);
  void ReturnFromHost();
  bool InHost() const { return inHost_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;
  // Paints what lies behind the view, as if it were transparent.
  void PaintBehind();

  // A floating view's press: a Ctrl-drag, or a system move.
  void PressWhileFloating(WParam keys, LParam lParam);

  CKivo32Frame& frame_;
  bool floating_ = false;
  bool inHost_ = false;
  std::string prefix_;
  uint32_t childStyle_ = 0;
  uint32_t childExStyle_ = 0;
  ViewDragTracker drag_;
};

// Whether a stored floating rectangle can be used: not empty nor inverted,
// and at least partly on the screen.
bool UsableFloatRect(const gdi::Rect& r, const gdi::Rect& screen);
// Whether a floating rectangle may be stored: right and bottom within the
// screen's width and height, width and height above zero.
bool StorableFloatRect(const gdi::Rect& r, const gdi::Rect& screen);

} // namespace display
