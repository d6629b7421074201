// A push button that shows bitmaps instead of its text, a child window of
// any screen window (a frame, a palette): the up look, the down look while
// it is pressed, the focus look while it has the keyboard focus, and the
// disabled look (its own bitmap, or the up look greyed). A click (the left
// button pressed and released on it, Space, or BM_CLICK) sends WM_COMMAND
// with its id, BN_CLICKED and its window to the parent. The window text is
// not drawn: it is the accessible name of the button's widget. Owner's
// thread only.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/window/screen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

inline constexpr const char* kBitmapButtonClass = "VexoBitmapButton";

inline constexpr uint32_t BM_GETSTATE = 0x00F2;
inline constexpr uint32_t BM_SETSTATE = 0x00F3; // wParam nonzero: shown pressed
inline constexpr uint32_t BST_PUSHED = 0x0004;
inline constexpr uint32_t BST_FOCUS = 0x0008;

class BitmapButton : public ScreenWindow {
public:
  enum class Look { Up, Down, Focus, Disabled };

  // A child of parent at rect (the parent's client coordinates) with the
  // control id and text; WS_VISIBLE and WS_DISABLED in style are taken.
  // False when the window could not be made.
  bool Create(std::string_view text, uint32_t style, const gdi::Rect& rect, Hwnd parent,
              uint32_t id);
  // The looks from BMP files; a look without a usable file falls back to the
  // up look (the disabled one to the up look greyed). False when the up look
  // is not a usable bitmap.
  bool SetBitmaps(const std::optional<gdi::Dib>& up, const std::optional<gdi::Dib>& down,
                  const std::optional<gdi::Dib>& focus,
                  const std::optional<gdi::Dib>& disabled = std::nullopt);

  uint32_t Id() const { return id_; }
  const std::string& Text() const { return text_; }
  void SetText(std::string_view text);
  bool Enabled() const { return enabled_; }
  void Enable(bool enabled);
  bool Pressed() const { return pressed_; }
  bool Focused() const { return focused_; }
  // The look drawn now.
  Look CurrentLook() const;
  // Sends the click to the parent, as a person's click does; false when
  // disabled.
  bool Click();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Draw(gdi::Dc& dc);
  void DrawGreyed(gdi::Dc& dc, const gdi::Dib& up);
  void SetPressed(bool pressed);
  void Redraw();
  void NameWidget();

  uint32_t id_ = 0;
  std::string text_;
  bool enabled_ = true;
  bool pressed_ = false;
  bool tracking_ = false; // the left button went down on the button
  bool focused_ = false;
  std::optional<gdi::Dib> up_, down_, focus_, disabled_;
};

} // namespace ui
