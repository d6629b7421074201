// The floating controller bar opened by command 20001: a small palette of
// bitmap buttons with tool tips for the background modes and the MPEG
// transport, whose commands the frame carries out.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/frame/bitmap_button.h"
#include "platform/ui/frame/tool_tip.h"
#include "platform/ui/window/screen.h"
#include "platform/win/messages.h"

#include <array>
#include <cstdint>
#include <memory>

namespace display {

class CKivo32Frame;

inline constexpr const char* kControllerClass = "Lyric Window Controller";
inline constexpr const char* kControllerTitle = "Lyric Window Controller";
inline constexpr int32_t kControllerWidth = 88;
inline constexpr int32_t kControllerHeight = 164;

// The bar's own commands (the transport's are the frame's MPEG commands).
namespace barcmd {
inline constexpr uint32_t kClose = 9000;
inline constexpr uint32_t kStill = 9001;
inline constexpr uint32_t kSettings = 9002;
inline constexpr uint32_t kOverlay = 9003;
inline constexpr uint32_t kMpeg = 9004;
inline constexpr uint32_t kAvi = 9005;
} // namespace barcmd

// One button of the bar: where it sits, its bitmaps (up; down and focus
// follow), its window text and the string of its tool tip.
struct BarButton {
  uint32_t id;
  gdi::Rect rect;
  uint32_t firstBitmap;
  const char* text;
  uint32_t tip;
};
inline constexpr int kBarButtons = 13;
extern const std::array<BarButton, kBarButtons> kBarButtonTable;
// Button 9999 while an MPEG video plays.
extern const BarButton kStopButton;

// A bitmap button of the bar: its mouse messages go to the bar's tool tip
// too, and Escape on it closes the bar. Owned by its window.
class ToolTipButton : public ui::BitmapButton {
public:
  void SetToolTip(win::Hwnd toolTip) { toolTip_ = toolTip; }
  // Made on the heap; false when it could not be (the object is gone then).
  static ToolTipButton* Make(const BarButton& b, win::Hwnd bar, win::Hwnd toolTip);

protected:
  win::LResult OnMessage(uint32_t message, win::WParam wParam, win::LParam lParam) override;
  void Detached() override;

private:
  win::Hwnd toolTip_ = 0;
  bool* gone_ = nullptr; // set while the window is being made
};

// The bar's window, class "Lyric Window Controller"; owned by its window.
class CMenuBarWnd : public ui::ScreenWindow {
public:
  static constexpr gdi::Point kIndicatorAt{29, 27};
  static constexpr gdi::Size kIndicatorSize{25, 18};
  static constexpr gdi::Point kStripAt{11, 139};
  static constexpr gdi::Size kStripSize{65, 15};

  explicit CMenuBarWnd(CKivo32Frame& frame);

  // A visible pop-up owned by the frame at a screen point; 0 on failure
  // (the object is then gone too).
  static CMenuBarWnd* Open(CKivo32Frame& frame, gdi::Point at);

  // The button with the id; nullptr when none.
  ToolTipButton* Button(uint32_t id) const;
  ui::ToolTip* ToolTips() const { return tips_.get(); }
  // The mode the indicator showed at the last paint.
  int32_t IndicatorShown() const { return indicatorShown_; }

  // The frame has handled a mode request (or the devices changed): the
  // indicator and the buttons follow the frame's mode.
  void FollowFrame();
  // Rebuilds button 9999 as Stop (true) or Play.
  void ShowStop(bool stop);
  bool ShowsStop() const { return showsStop_; }

protected:
  win::LResult OnMessage(uint32_t message, win::WParam wParam, win::LParam lParam) override;
  void Detached() override;

private:
  bool MakeButtons();
  bool MakeButton(const BarButton& b, size_t slot);
  void SetDeviceButtons();
  void SetTransport(int32_t mode);
  void OnPaint();
  void OnCommand(win::WParam wParam, win::LParam lParam);

  CKivo32Frame& frame_;
  std::array<ToolTipButton*, kBarButtons> buttons_{};
  std::unique_ptr<ui::ToolTip> tips_;
  int32_t indicatorShown_ = -1;
  bool showsStop_ = false;
  bool* gone_ = nullptr; // set while the window is being made
};

class LyricWindowController {
public:
  explicit LyricWindowController(CKivo32Frame& frame) : frame_(frame) {}
  ~LyricWindowController();
  // Opens the bar at a screen point, closing an open one; false when it
  // cannot be made.
  bool Open(gdi::Point screenPoint);
  void Close();
  // Follows the MPEG player's state on the Play button (mode 2).
  void Update();
  // The frame has handled a mode request.
  void ModeChanged();
  bool IsOpen() const;
  // The open bar; nullptr when none.
  CMenuBarWnd* Bar() const;

private:
  CKivo32Frame& frame_;
  win::Hwnd bar_ = 0;
};

} // namespace display
