#include "platform/ui/frame/bitmap_button.h"

#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <QString>
#include <QWidget>

#include <map>

namespace ui {
namespace {

constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kLight = gdi::Rgb(255, 255, 255);
// The button's frame, left as it is on the greyed look.
constexpr int32_t kEdge = 2;

bool Usable(const std::optional<gdi::Dib>& dib) {
  return dib && dib->Width() > 0 && dib->Height() > 0 && dib->View().IsValid();
}

// The colour most pixels have: the face of the drawing.
gdi::Colour FaceOf(const gdi::DibView& view) {
  std::map<gdi::Colour, int> counts;
  for (int32_t y = 0; y < view.Height(); ++y)
    for (int32_t x = 0; x < view.Width(); ++x)
      ++counts[view.PixelColour(x, y)];
  gdi::Colour face = kFace;
  int most = 0;
  for (const auto& [colour, n] : counts)
    if (n > most) {
      most = n;
      face = colour;
    }
  return face;
}

} // namespace

bool BitmapButton::Create(std::string_view text, uint32_t style, const gdi::Rect& rect, Hwnd parent,
                          uint32_t id) {
  static const bool registered = [] {
    return RegisterScreenClass({kBitmapButtonClass, 0,
                                [] { return std::make_unique<BitmapButton>(); }, nullptr,
                                std::nullopt});
  }();
  (void)registered;
  id_ = id;
  text_ = std::string(text);
  enabled_ = !(style & WS_DISABLED);
  win::CreateParams p;
  p.className = kBitmapButtonClass;
  p.title = text_;
  p.style = win::WS_CHILD | (style & (win::WS_VISIBLE | WS_DISABLED));
  p.parent = parent;
  p.id = id;
  p.x = rect.left;
  p.y = rect.top;
  p.width = rect.Width();
  p.height = rect.Height();
  p.object = this;
  if (!win::CreateWindow(p))
    return false;
  NameWidget();
  return true;
}

bool BitmapButton::SetBitmaps(const std::optional<gdi::Dib>& up,
                              const std::optional<gdi::Dib>& down,
                              const std::optional<gdi::Dib>& focus,
                              const std::optional<gdi::Dib>& disabled) {
  if (!Usable(up))
    return false;
  up_ = up;
  down_ = Usable(down) ? down : std::nullopt;
  focus_ = Usable(focus) ? focus : std::nullopt;
  disabled_ = Usable(disabled) ? disabled : std::nullopt;
  Redraw();
  return true;
}

void BitmapButton::SetText(std::string_view text) {
  text_ = std::string(text);
  if (GetHwnd())
    win::SetWindowText(GetHwnd(), text_);
  NameWidget();
}

void BitmapButton::NameWidget() {
  if (!GetHwnd())
    return;
  if (QWidget* w = GetWidget(GetHwnd()))
    w->setAccessibleName(QString::fromStdString(text_));
}

void BitmapButton::Enable(bool enabled) {
  if (enabled == enabled_)
    return;
  enabled_ = enabled;
  if (!enabled_) {
    if (tracking_ && GetCapture() == GetHwnd())
      ReleaseCapture();
    tracking_ = false;
    pressed_ = false;
  }
  if (GetHwnd()) {
    const uint32_t style = win::GetWindowStyle(GetHwnd());
    SetWindowStyle(GetHwnd(), enabled_ ? style & ~WS_DISABLED : style | WS_DISABLED);
  }
  Redraw();
}

BitmapButton::Look BitmapButton::CurrentLook() const {
  if (!enabled_)
    return Look::Disabled;
  if (pressed_)
    return Look::Down;
  return focused_ ? Look::Focus : Look::Up;
}

bool BitmapButton::Click() {
  if (!enabled_ || !GetHwnd())
    return false;
  const Hwnd self = GetHwnd();
  win::SendMessage(win::GetParent(self), win::WM_COMMAND, MakeWParam(id_, BN_CLICKED),
                   static_cast<LParam>(self));
  return true;
}

void BitmapButton::SetPressed(bool pressed) {
  if (pressed == pressed_)
    return;
  pressed_ = pressed;
  Redraw();
}

void BitmapButton::Redraw() {
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, false);
}

void BitmapButton::DrawGreyed(gdi::Dc& dc, const gdi::Dib& up) {
  const gdi::DibView view = up.View();
  const gdi::Colour face = FaceOf(view);
  const int32_t w = view.Width(), h = view.Height();
  // The frame stays; the drawing inside it is etched: a light copy one
  // pixel down and right under a copy in the shadow colour.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool inside = x >= kEdge && y >= kEdge && x < w - kEdge && y < h - kEdge;
      dc.SetPixel(x, y, inside ? face : view.PixelColour(x, y));
    }
  for (int pass = 0; pass < 2; ++pass)
    for (int32_t y = kEdge; y < h - kEdge; ++y)
      for (int32_t x = kEdge; x < w - kEdge; ++x)
        if (view.PixelColour(x, y) != face) {
          if (pass == 0)
            dc.SetPixel(x + 1, y + 1, kLight);
          else
            dc.SetPixel(x, y, kShadow);
        }
}

void BitmapButton::Draw(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  if (!up_) {
    dc.FillRect(area, kFace);
    return;
  }
  const Look look = CurrentLook();
  if (look == Look::Disabled && !disabled_) {
    DrawGreyed(dc, *up_);
    return;
  }
  const gdi::Dib& dib = look == Look::Down && down_     ? *down_
                        : look == Look::Focus && focus_ ? *focus_
                        : look == Look::Disabled        ? *disabled_
                                                        : *up_;
  dc.StretchDib(0, 0, dib.Width(), dib.Height(), 0, 0, dib.Width(), dib.Height(), dib.View(),
                gdi::kSrcCopy);
}

LResult BitmapButton::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  const Hwnd self = GetHwnd();
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(self);
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_SHOWWINDOW:
    NameWidget();
    return Default(message, wParam, lParam);
  case win::WM_SETFOCUS:
    focused_ = true;
    Redraw();
    return 0;
  case win::WM_KILLFOCUS:
    focused_ = false;
    if (pressed_ && !tracking_)
      SetPressed(false);
    Redraw();
    return 0;
  case win::WM_LBUTTONDOWN:
  case win::WM_LBUTTONDBLCLK:
    if (!enabled_)
      return 0;
    tracking_ = true;
    SetCapture(self);
    SetFocus(self);
    if (win::GetWindowObject(self) == this)
      SetPressed(true);
    return 0;
  case win::WM_MOUSEMOVE:
    if (tracking_) {
      const gdi::Rect area = GetClientRect(self).value_or(gdi::Rect{});
      SetPressed(area.Contains(PointOfLParam(lParam)));
    }
    return 0;
  case win::WM_LBUTTONUP: {
    if (!tracking_)
      return 0;
    tracking_ = false;
    ReleaseCapture();
    const gdi::Rect area = GetClientRect(self).value_or(gdi::Rect{});
    const bool click = pressed_ && area.Contains(PointOfLParam(lParam));
    SetPressed(false);
    if (click)
      Click();
    return 0;
  }
  case win::WM_KEYDOWN:
    if (wParam == VK_SPACE && enabled_)
      SetPressed(true);
    return 0;
  case win::WM_KEYUP:
    if (wParam == VK_SPACE && pressed_ && !tracking_) {
      SetPressed(false);
      Click();
    }
    return 0;
  case BM_CLICK:
    Click();
    return 0;
  case BM_GETSTATE:
    return (pressed_ ? BST_PUSHED : 0) | (focused_ ? BST_FOCUS : 0);
  case BM_SETSTATE:
    SetPressed(wParam != 0);
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
