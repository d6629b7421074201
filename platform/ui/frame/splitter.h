// The static splitter: one row of N panes side by side, each a child window
// given by its owner, with a bar between neighbours that a person drags to
// share the width anew. Each column has a width of its own (the last takes
// what is left); a pane may begin some pixels below the splitter's top to
// leave room for a strip over it. After every layout and at the end of a
// bar drag the layout hook runs, with the panes in place. Owner's thread
// only.
#pragma once

#include "platform/ui/window/screen.h"

#include <functional>
#include <vector>

namespace ui {

inline constexpr const char* kSplitterClass = "VexoSplitter";

class Splitter : public ScreenWindow {
public:
  static constexpr int kBarWidth = 6;

  // A visible child of parent with id and the column count; false when the
  // window could not be made or columns is below 1.
  bool Create(Hwnd parent, uint32_t id, int columns);
  int ColumnCount() const { return static_cast<int>(columns_.size()); }

  // The pane of a column (a child of the splitter); it is placed at once.
  bool SetPane(int column, Hwnd pane);
  Hwnd Pane(int column) const;
  // The width a column asks for (the last one's is only a minimum).
  bool SetColumnWidth(int column, int32_t width);
  // The pane's client width as laid out (0 for none).
  int32_t ColumnWidth(int column) const;
  // Pixels between the splitter's top and the panes'.
  void SetPaneTop(int32_t top);
  // The rectangle a column's pane gets (splitter client coordinates).
  gdi::Rect PaneRect(int column) const;
  // The bar to the right of column (its left edge), -1 beyond the last.
  int BarAt(gdi::Point p) const;

  void SetLayoutHook(std::function<void()> hook) { layoutHook_ = std::move(hook); }
  // Places the panes from the widths, then runs the hook.
  void RecalcLayout();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  struct Column {
    Hwnd pane = 0;
    int32_t width = 0;
  };
  std::vector<gdi::Rect> Layout() const;

  std::vector<Column> columns_;
  int32_t paneTop_ = 0;
  int dragging_ = -1;
  int32_t dragStart_ = 0;
  int32_t dragWidth_ = 0;
  std::function<void()> layoutHook_;
};

} // namespace ui
