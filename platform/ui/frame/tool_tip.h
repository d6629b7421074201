// The tool-tip control: rectangles of windows (tools) that show a short
// text while the mouse rests on them. The text is given with the tool or
// asked from the owner when it is needed (WM_NOTIFY with TTN_NEEDTEXT,
// lParam a ToolTipText to fill). The owner relays the mouse messages of
// its tools (TTM_RELAYEVENT); TTM_ACTIVATE switches the control off (0)
// and on (1). Owner's thread only.
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
inline constexpr uint32_t TTM_ADDTOOL = win::WM_USER + 4;    // lParam: const ToolInfo*
inline constexpr uint32_t TTM_RELAYEVENT = win::WM_USER + 7; // lParam: const win::Msg*

inline constexpr uint32_t WM_NOTIFY = 0x004E;
inline constexpr int32_t TTN_NEEDTEXT = -520;

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
  uintptr_t id = 0;
  gdi::Rect rect;
  std::string text; // empty: asked from the owner each time it shows
};

class ToolTip : public ScreenWindow {
public:
  // A pop-up window for owner; false when it could not be made.
  bool Create(Hwnd owner);
  bool AddTool(const ToolInfo& tool);
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
  void Show(const ToolInfo& tool, const win::Msg& msg);
  void Hide();

  Hwnd owner_ = 0;
  bool active_ = true;
  std::vector<ToolInfo> tools_;
  std::optional<uintptr_t> shown_;
  std::string text_;
};

} // namespace ui
