#include "platform/ui/frame/status_bar.h"

#include "platform/sys/codepage.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>

namespace ui {
namespace {

constexpr int kBarHeight = 20;
constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kLight = gdi::Rgb(255, 255, 255);

} // namespace

bool StatusBar::Create(Hwnd parent) {
  static const bool registered = [] {
    return RegisterScreenClass(
        {kStatusBarClass, 0, [] { return std::make_unique<StatusBar>(); }, nullptr, kFace});
  }();
  (void)registered;
  const gdi::Rect area = GetClientRect(parent).value_or(gdi::Rect{});
  win::CreateParams p;
  p.className = kStatusBarClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = kStatusBarId;
  p.y = std::max(0, area.Height() - kBarHeight);
  p.width = area.Width();
  p.height = kBarHeight;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

int StatusBar::Height() const {
  return kBarHeight;
}

void StatusBar::SetParts(const std::vector<int32_t>& rightEdges) {
  edges_ = rightEdges;
  texts_.resize(edges_.size());
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, true);
}

gdi::Rect StatusBar::PaneRect(int pane) const {
  if (pane < 0 || pane >= PaneCount())
    return {};
  const gdi::Rect area = GetHwnd() ? GetClientRect(GetHwnd()).value_or(gdi::Rect{}) : gdi::Rect{};
  const auto edgeOf = [&](int i) {
    const int32_t e = edges_[static_cast<size_t>(i)];
    return e < 0 ? area.right : std::min(e, area.right);
  };
  const int32_t left = pane == 0 ? 0 : edgeOf(pane - 1);
  const int32_t right = edgeOf(pane);
  if (right <= left)
    return {};
  return {left, 2, right, kBarHeight};
}

bool StatusBar::SetText(int pane, std::string_view utf8) {
  if (pane < 0 || pane >= PaneCount())
    return false;
  texts_[static_cast<size_t>(pane)] = std::string(utf8);
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
  return true;
}

std::string StatusBar::Text(int pane) const {
  return pane >= 0 && pane < PaneCount() ? texts_[static_cast<size_t>(pane)] : std::string();
}

void StatusBar::Draw(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, kFace);
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(gdi::Rgb(0, 0, 0));
  for (int i = 0; i < PaneCount(); ++i) {
    const gdi::Rect r = PaneRect(i);
    if (r.Width() <= 2)
      continue;
    // A sunken pane: shadow above and left, light below and right.
    dc.FillRect(gdi::MakeRect(r.left, r.top, r.Width() - 2, 1), kShadow);
    dc.FillRect(gdi::MakeRect(r.left, r.top, 1, r.Height() - 1), kShadow);
    dc.FillRect(gdi::MakeRect(r.left, r.bottom - 1, r.Width() - 2, 1), kLight);
    dc.FillRect(gdi::MakeRect(r.right - 3, r.top, 1, r.Height()), kLight);
    gdi::Rect text = {r.left + 3, r.top + 1, r.right - 4, r.bottom - 1};
    dc.DrawText(sys::FromUtf8Lossy(texts_[static_cast<size_t>(i)], dc.SystemCodePage()), text,
                gdi::kDtLeft | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
  }
}

LResult StatusBar::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  case win::WM_ERASEBKGND:
    return 1;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
