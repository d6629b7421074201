// The tool-tip control: rectangles of windows (tools) that show a short
// text while the mouse rests on them. The text is given with the tool or
// asked from the owner when it is needed (WM_NOTIFY with TTN_NEEDTEXT,
// lParam a ToolTipText to fill). The owner relays the mouse messages of
// its tools (TTM_RELAYEVENT); TTM_ACTIVATE switches the control off (0)
// and on (1). A tool may be a whole window (TTF_IDISHWND: its id is the
// window's handle, its rectangle the window's client area at each move).
// With an initial delay (TTM_SETDELAYTIME), a tip shows once the mouse has
// rested on its tool that long (timer kShowTimer); without, at once. Owner's
// thread only.
#pragma once

#include "platform/gdi/types.h"
#include "platform/ui/window/screen.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ui {

inline constexpr const char* kToolTipClass = "tooltips_class32";

inline constexpr uint32_t TTM_ACTIVATE = win::WM_USER + 1;
inline constexpr uint32_t TTM_SETDELAYTIME = win::WM_USER + 3; // wParam TTDT_INITIAL, lParam ms
inline constexpr uint32_t TTM_ADDTOOL = win::WM_USER + 4;    // lParam: const ToolInfo*
inline constexpr uint32_t TTM_DELTOOL = win::WM_USER + 5;    // lParam: const ToolInfo*
inline constexpr uint32_t TTM_RELAYEVENT = win::WM_USER + 7; // lParam: const win::Msg*

inline constexpr uint32_t WM_NOTIFY = 0x004E;
inline constexpr int32_t TTN_NEEDTEXT = -520;

inline constexpr WParam TTDT_INITIAL = 3;

// ToolInfo's flags.
inline constexpr uint32_t TTF_IDISHWND = 0x0001; // the tool is the whole window
inline constexpr uint32_t TTF_CENTERTIP = 0x0002; // the tip shows centred below the tool

// What WM_NOTIFY's lParam starts with.
struct NotifyHeader {
  Hwnd from = 0;
  uintptr_t id = 0;
  int32_t code = 0;
};

// TTN_NEEDTEXT: the owner puts the tool's text (UTF-8) in text.
struct ToolTipText {
  NotifyHeader header;
  std::string text;
};

struct ToolInfo {
  Hwnd window = 0; // the tool's window; rect is in its client coordinates
  uintptr_t id = 0; // the window's handle with TTF_IDISHWND
  gdi::Rect rect;
  std::string text; // empty: asked from the owner each time it shows
  uint32_t flags = 0; // TTF_*
};

class ToolTip : public ScreenWindow {
public:
  static constexpr uint32_t kShowTimer = 1;

  // A pop-up window for owner; false when it could not be made.
  bool Create(Hwnd owner);
  bool AddTool(const ToolInfo& tool);
  // Takes the tool (window and id) away, hiding its tip; false when none.
  bool RemoveTool(Hwnd window, uintptr_t id);
  // The time the mouse rests on a tool before its tip shows; 0: at once.
  void SetInitialDelay(uint32_t ms);
  uint32_t InitialDelay() const { return delayMs_; }
  // The tool waiting for its delay to pass.
  std::optional<uintptr_t> PendingTool() const { return pending_; }
  // Moves a tool (window and id) to a new rectangle; false when none is there.
  bool SetToolRect(Hwnd window, uintptr_t id, gdi::Rect rect);
  bool Active() const { return active_; }
  // The tool showing its text and the text, while one shows.
  std::optional<uintptr_t> ShownTool() const { return shown_; }
  const std::string& ShownText() const { return text_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Relay(const win::Msg& msg);
  void Show(const ToolInfo& tool, gdi::Point at);
  void ShowPending();
  void Hide();
  const ToolInfo* Find(Hwnd window, uintptr_t id) const;

  Hwnd owner_ = 0;
  bool active_ = true;
  std::vector<ToolInfo> tools_;
  std::optional<uintptr_t> shown_;
  std::string text_;
  uint32_t delayMs_ = 0;
  std::optional<uintptr_t> pending_;
  Hwnd pendingWindow_ = 0;
  gdi::Point pendingAt_{};
};

} // namespace ui
