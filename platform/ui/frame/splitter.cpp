#include "platform/ui/frame/splitter.h"

#include "platform/ui/window/cursor.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>

namespace ui {
namespace {

constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);

} // namespace

bool Splitter::Create(Hwnd parent, uint32_t id, int columns) {
  if (columns < 1)
    return false;
  static const bool registered = [] {
    return RegisterScreenClass({kSplitterClass, 0, [] { return std::make_unique<Splitter>(); },
                                nullptr, kFace});
  }();
  (void)registered;
  columns_.assign(static_cast<size_t>(columns), Column{});
  const gdi::Rect area = GetClientRect(parent).value_or(gdi::Rect{});
  win::CreateParams p;
  p.className = kSplitterClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = id;
  p.width = area.Width();
  p.height = area.Height();
  p.object = this;
  return win::CreateWindow(p) != 0;
}

bool Splitter::SetPane(int column, Hwnd pane) {
  if (column < 0 || column >= ColumnCount())
    return false;
  columns_[static_cast<size_t>(column)].pane = pane;
  RecalcLayout();
  return true;
}

Hwnd Splitter::Pane(int column) const {
  return column >= 0 && column < ColumnCount() ? columns_[static_cast<size_t>(column)].pane : 0;
}

bool Splitter::SetColumnWidth(int column, int32_t width) {
  if (column < 0 || column >= ColumnCount())
    return false;
  columns_[static_cast<size_t>(column)].width = std::max(0, width);
  return true;
}

int32_t Splitter::ColumnWidth(int column) const {
  const Hwnd pane = Pane(column);
  if (!pane)
    return 0;
  return GetClientRect(pane).value_or(gdi::Rect{}).Width();
}

void Splitter::SetPaneTop(int32_t top) {
  paneTop_ = std::max(0, top);
}

std::vector<gdi::Rect> Splitter::Layout() const {
  const gdi::Rect area = GetHwnd() ? GetClientRect(GetHwnd()).value_or(gdi::Rect{}) : gdi::Rect{};
  std::vector<gdi::Rect> rects;
  int32_t x = 0;
  const int32_t top = std::min(area.bottom, paneTop_);
  for (int i = 0; i < ColumnCount(); ++i) {
    const bool last = i + 1 == ColumnCount();
    int32_t right = last ? area.right : std::min(area.right, x + columns_[static_cast<size_t>(i)].width);
    right = std::max(x, right);
    rects.push_back({x, top, right, area.bottom});
    x = std::min(area.right, right + kBarWidth);
  }
  return rects;
}

gdi::Rect Splitter::PaneRect(int column) const {
  if (column < 0 || column >= ColumnCount())
    return {};
  return Layout()[static_cast<size_t>(column)];
}

int Splitter::BarAt(gdi::Point p) const {
  const auto rects = Layout();
  for (int i = 0; i + 1 < ColumnCount(); ++i) {
    const int32_t left = rects[static_cast<size_t>(i)].right;
    if (p.x >= left && p.x < left + kBarWidth)
      return i;
  }
  return -1;
}

void Splitter::RecalcLayout() {
  if (!GetHwnd())
    return;
  const auto rects = Layout();
  for (int i = 0; i < ColumnCount(); ++i) {
    const Hwnd pane = columns_[static_cast<size_t>(i)].pane;
    const gdi::Rect& r = rects[static_cast<size_t>(i)];
    if (pane && win::IsWindow(pane))
      MoveWindow(pane, r.left, r.top, r.Width(), r.Height());
  }
  InvalidateRect(GetHwnd(), nullptr, true);
  if (layoutHook_)
    layoutHook_();
}

LResult Splitter::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_SIZE:
    RecalcLayout();
    return Default(message, wParam, lParam);
  case win::WM_SETCURSOR: {
    const gdi::Point p = ScreenToClient(GetHwnd(), GetCursorPos());
    if (dragging_ >= 0 || BarAt(p) >= 0) {
      SetCursor(LoadCursor(IDC_SIZEWE));
      return 1;
    }
    return Default(message, wParam, lParam);
  }
  case win::WM_LBUTTONDOWN: {
    const gdi::Point p = PointOfLParam(lParam);
    dragging_ = BarAt(p);
    if (dragging_ >= 0) {
      dragStart_ = p.x;
      dragWidth_ = PaneRect(dragging_).Width();
      SetCapture(GetHwnd());
    }
    return 0;
  }
  case win::WM_MOUSEMOVE:
    if (dragging_ >= 0) {
      SetColumnWidth(dragging_, dragWidth_ + PointOfLParam(lParam).x - dragStart_);
      const auto rects = Layout();
      for (int i = 0; i < ColumnCount(); ++i)
        if (const Hwnd pane = columns_[static_cast<size_t>(i)].pane; pane && win::IsWindow(pane)) {
          const gdi::Rect& r = rects[static_cast<size_t>(i)];
          MoveWindow(pane, r.left, r.top, r.Width(), r.Height());
        }
    }
    return 0;
  case win::WM_LBUTTONUP:
    if (dragging_ >= 0) {
      SetColumnWidth(dragging_, dragWidth_ + PointOfLParam(lParam).x - dragStart_);
      dragging_ = -1;
      ReleaseCapture();
      RecalcLayout();
    }
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
