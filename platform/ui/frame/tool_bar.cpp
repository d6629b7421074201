#include "platform/ui/frame/tool_bar.h"

#include "platform/ui/frame/tool_tip.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>

namespace ui {
namespace {

constexpr int kTopBorder = 2;
constexpr int kSeparatorWidth = 8;
constexpr int kButtonMargin = 7; // a button is its image and this much more
constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kLight = gdi::Rgb(255, 255, 255);

} // namespace

bool ToolBar::Create(Hwnd parent, const ResourceFiles& files, uint32_t id, ResourceError* error) {
  static const bool registered = [] {
    return RegisterScreenClass(
        {kToolBarClass, 0, [] { return std::make_unique<ToolBar>(); }, nullptr, kFace});
  }();
  (void)registered;
  auto bar = LoadToolBarResource(files, id, error);
  if (!bar)
    return false;
  bar_ = std::move(*bar);
  states_.assign(bar_.items.size(), CommandState{});
  separatorWidths_.assign(bar_.items.size(), 0);
  for (size_t i = 0; i < bar_.items.size(); ++i)
    states_[i].id = bar_.items[i];
  const gdi::Rect area = GetClientRect(parent).value_or(gdi::Rect{});
  win::CreateParams p;
  p.className = kToolBarClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = kToolBarId;
  p.width = area.Width();
  p.height = Height();
  p.object = this;
  return win::CreateWindow(p) != 0;
}

uint16_t ToolBar::CommandOf(int item) const {
  return item >= 0 && item < ItemCount() ? bar_.items[static_cast<size_t>(item)] : 0;
}

int ToolBar::Height() const {
  return bar_.imageHeight + kButtonMargin + 2 * kTopBorder;
}

gdi::Rect ToolBar::ItemRect(int item) const {
  if (item < 0 || item >= ItemCount())
    return {};
  int32_t x = kTopBorder;
  const int32_t buttonWidth = bar_.imageWidth + kButtonMargin + 1;
  const auto widthOf = [&](int i) {
    const auto n = static_cast<size_t>(i);
    if (bar_.items[n])
      return buttonWidth;
    return separatorWidths_.size() > n && separatorWidths_[n] ? separatorWidths_[n]
                                                             : kSeparatorWidth;
  };
  for (int i = 0; i < item; ++i)
    x += widthOf(i);
  const int32_t width = widthOf(item);
  return gdi::MakeRect(x, kTopBorder, width, bar_.imageHeight + kButtonMargin);
}

int ToolBar::HitTest(gdi::Point p) const {
  for (int i = 0; i < ItemCount(); ++i)
    if (ItemRect(i).Contains(p))
      return i;
  return -1;
}

int ToolBar::ImageOf(int item) const {
  int image = 0;
  for (int i = 0; i < item; ++i)
    image += bar_.items[static_cast<size_t>(i)] ? 1 : 0;
  return image;
}

bool ToolBar::SetSeparatorWidth(int item, int32_t width) {
  if (item < 0 || item >= ItemCount() || bar_.items[static_cast<size_t>(item)])
    return false;
  separatorWidths_[static_cast<size_t>(item)] = std::max(0, width);
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, true);
  return true;
}

void ToolBar::SetState(const CommandState& state) {
  bool changed = false;
  for (CommandState& s : states_) {
    if (s.id == state.id && (s.enabled != state.enabled || s.checked != state.checked)) {
      s = state;
      changed = true;
    }
  }
  if (changed && GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, true);
}

std::optional<CommandState> ToolBar::StateOf(uint16_t id) const {
  for (const CommandState& s : states_)
    if (id && s.id == id)
      return s;
  return std::nullopt;
}

void ToolBar::DrawImage(gdi::Dc& dc, int image, gdi::Point at, bool enabled) {
  if (!bar_.images)
    return;
  const gdi::DibView view = bar_.images->View();
  const int32_t w = bar_.imageWidth, h = bar_.imageHeight;
  if (enabled) {
    dc.StretchDib(at.x, at.y, w, h, image * w, 0, w, h, view, gdi::kSrcCopy);
    return;
  }
  // Greyed: every pixel that is not the face colour drawn in the shadow.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (view.PixelColour(image * w + x, y) != kFace)
        dc.SetPixel(at.x + x, at.y + y, kShadow);
}

void ToolBar::Draw(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, kFace);
  dc.FillRect(gdi::MakeRect(0, area.bottom - 1, area.Width(), 1), kShadow);
  for (int i = 0; i < ItemCount(); ++i) {
    const gdi::Rect r = ItemRect(i);
    if (!bar_.items[static_cast<size_t>(i)]) {
      if (separatorWidths_[static_cast<size_t>(i)])
        continue; // room for a child window, drawn by itself
      dc.FillRect(gdi::MakeRect(r.left + 3, r.top + 1, 1, r.Height() - 2), kShadow);
      dc.FillRect(gdi::MakeRect(r.left + 4, r.top + 1, 1, r.Height() - 2), kLight);
      continue;
    }
    const CommandState& s = states_[static_cast<size_t>(i)];
    const bool down = s.checked || i == pressed_;
    if (down) {
      dc.FillRect(gdi::MakeRect(r.left, r.top, r.Width(), 1), kShadow);
      dc.FillRect(gdi::MakeRect(r.left, r.top, 1, r.Height()), kShadow);
    }
    const int shift = down ? 1 : 0;
    DrawImage(dc, ImageOf(i), {r.left + 4 + shift, r.top + 3 + shift}, s.enabled);
  }
}

LResult ToolBar::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  if (toolTip_ && (message == win::WM_MOUSEMOVE || message == win::WM_LBUTTONDOWN ||
                   message == win::WM_LBUTTONUP)) {
    win::Msg msg{GetHwnd(), message, wParam, lParam, 0};
    win::SendMessage(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LParam>(&msg));
  }
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_LBUTTONDOWN: {
    const int item = HitTest(PointOfLParam(lParam));
    if (item >= 0 && CommandOf(item) && states_[static_cast<size_t>(item)].enabled) {
      pressed_ = item;
      SetCapture(GetHwnd());
      InvalidateRect(GetHwnd(), nullptr, false);
    }
    return 0;
  }
  case win::WM_LBUTTONUP: {
    const int pressed = pressed_;
    if (pressed < 0)
      return 0;
    pressed_ = -1;
    ReleaseCapture();
    InvalidateRect(GetHwnd(), nullptr, false);
    if (HitTest(PointOfLParam(lParam)) == pressed && states_[static_cast<size_t>(pressed)].enabled)
      win::PostMessage(win::GetParent(GetHwnd()), win::WM_COMMAND, CommandOf(pressed), GetHwnd());
    return 0;
  }
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
