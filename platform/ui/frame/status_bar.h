// The status bar: a strip at the bottom of its frame (id kStatusBarId)
// divided into panes by their right edges, each showing a text. An edge of
// -1 runs to the bar's right end. Owner's thread only.
#pragma once

#include "platform/ui/window/screen.h"

#include <string>
#include <string_view>
#include <vector>

namespace ui {

inline constexpr const char* kStatusBarClass = "VexoStatusBar";
inline constexpr uint32_t kStatusBarId = 59393;

class StatusBar : public ScreenWindow {
public:
  // A visible child of parent as wide as its client area; false when the
  // window could not be made.
  bool Create(Hwnd parent);
  int Height() const;

  // The panes by right edge (client coordinates); texts of panes that stay
  // are kept, new panes start empty.
  void SetParts(const std::vector<int32_t>& rightEdges);
  int PaneCount() const { return static_cast<int>(edges_.size()); }
  // The pane's rectangle in the bar (empty for none or a pane of no width).
  gdi::Rect PaneRect(int pane) const;
  // UTF-8 texts; false for a pane that is not there.
  bool SetText(int pane, std::string_view utf8);
  std::string Text(int pane) const;

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Draw(gdi::Dc& dc);

  std::vector<int32_t> edges_;
  std::vector<std::string> texts_;
};

} // namespace ui
