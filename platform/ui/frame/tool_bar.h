// The tool bar: a strip of buttons from a bundle's tool-bar resource, a
// child of its frame (id kToolBarId) docked at the top. A click on an
// enabled button posts WM_COMMAND with its command to the parent; the
// frame's state pass greys and checks buttons; mouse messages over the bar
// are relayed to its tool tips. Owner's thread only.
#pragma once

#include "platform/ui/frame/command.h"
#include "platform/ui/resource/toolbar_resource.h"
#include "platform/ui/window/screen.h"

#include <optional>
#include <vector>

namespace ui {

inline constexpr const char* kToolBarClass = "VexoToolBar";

class ToolBar : public ScreenWindow {
public:
  // A visible child of parent loaded from tool-bar resource id; false when
  // the resource is missing or malformed (error says why) or the window
  // could not be made.
  bool Create(Hwnd parent, const ResourceFiles& files, uint32_t id, ResourceError* error = nullptr);

  const ToolBarResource& Resource() const { return bar_; }
  // Items (buttons and separators) in order; button n is the n-th item.
  int ItemCount() const { return static_cast<int>(bar_.items.size()); }
  uint16_t CommandOf(int item) const;
  // The item's rectangle in the bar's client coordinates (empty for none).
  gdi::Rect ItemRect(int item) const;
  // The item under a point, -1 for none.
  int HitTest(gdi::Point p) const;
  // The bar's height when docked.
  int Height() const;

  // Widens a separator to hold a child window placed over it (a combo box);
  // false for an item that is not a separator.
  bool SetSeparatorWidth(int item, int32_t width);

  void SetState(const CommandState& state);
  std::optional<CommandState> StateOf(uint16_t id) const;
  // Mouse messages over the bar go to this tool-tip control too.
  void SetToolTips(Hwnd toolTip) { toolTip_ = toolTip; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Draw(gdi::Dc& dc);
  void DrawImage(gdi::Dc& dc, int image, gdi::Point at, bool enabled);
  int ImageOf(int item) const;

  ToolBarResource bar_;
  std::vector<CommandState> states_; // per item
  std::vector<int32_t> separatorWidths_; // per item, 0 for the default
  int pressed_ = -1;
  Hwnd toolTip_ = 0;
};

} // namespace ui
