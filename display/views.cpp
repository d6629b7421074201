// The frame's child views as far as the frame itself relies on them: their
// windows, placement, the clicks and keys they pass on, and their pop-out
// and dock.
#include "display/frame.h"
#include "display/num.h"
#include "display/receiver.h"
#include "display/settings.h"
#include "display/title.h"
#include "display/view.h"
#include "display/word.h"

#include "platform/sys/codepage.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <cmath>

namespace display {

// ---- Kivo32View ----

bool Kivo32View::Create(std::string_view className, std::string_view text, uint32_t style,
                        uint32_t id, win::Hwnd parent) {
  win::CreateParams p;
  p.className = std::string(className);
  p.title = std::string(text);
  p.style = style;
  p.parent = parent;
  p.id = id;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

void Kivo32View::Place(const gdi::Rect& rect) {
  if (GetHwnd())
    ui::MoveWindow(GetHwnd(), rect.left, rect.top, std::max(rect.Width(), 0),
                   std::max(rect.Height(), 0), true);
}

gdi::Rect Kivo32View::ClientRect() const {
  return ui::GetClientRect(GetHwnd()).value_or(gdi::Rect{});
}

gdi::Rect Kivo32View::RectInFrame() const {
  auto screen = ui::GetWindowRect(GetHwnd());
  if (!screen)
    return {};
  const gdi::Point origin = ui::ClientToScreen(frame_.Hwnd(), {0, 0});
  return gdi::Offset(*screen, -origin.x, -origin.y);
}

bool UsableFloatRect(const gdi::Rect& r, const gdi::Rect& screen) {
  if (r.right <= r.left || r.bottom <= r.top)
    return false;
  return r.left < screen.right && r.right > screen.left && r.top < screen.bottom &&
         r.bottom > screen.top;
}

bool StorableFloatRect(const gdi::Rect& r, const gdi::Rect& screen) {
  return r.right <= screen.Width() && r.bottom <= screen.Height() && r.Width() > 0 &&
         r.Height() > 0;
}

void Kivo32View::PopOut() {
  const win::Hwnd self = GetHwnd();
  if (!self || floating_ || inHost_)
    return;
  const gdi::Rect current = ui::GetWindowRect(self).value_or(gdi::Rect{});
  gdi::Rect rect = current;
  if (!prefix_.empty() && !frame_.ConfigPath().empty()) {
    const gdi::Rect stored = ReadViewRect(frame_.ConfigPath(), prefix_, current);
    if (UsableFloatRect(stored, ui::ScreenRect()))
      rect = stored;
  }
  childStyle_ = win::GetWindowStyle(self);
  childExStyle_ = ui::GetWindowExStyle(self);
  ui::SetParent(self, 0);
  ui::SetWindowStyle(self, (childStyle_ & ~win::WS_CHILD) | win::WS_POPUP | ui::WS_THICKFRAME);
  ui::SetWindowExStyle(self, (childExStyle_ & ~ui::WS_EX_TRANSPARENT) | ui::WS_EX_CLIENTEDGE |
                                 ui::WS_EX_WINDOWEDGE);
  floating_ = true;
  ui::MoveWindow(self, rect.left, rect.top, std::max(rect.Width(), 0),
                 std::max(rect.Height(), 0), true);
}

void Kivo32View::Dock() {
  const win::Hwnd self = GetHwnd();
  if (!self || !floating_)
    return;
  if (drag_.IsTracking())
    drag_.End();
  StorePlacement();
  ui::SetParent(self, frame_.Hwnd());
  ui::SetWindowStyle(self, childStyle_);
  ui::SetWindowExStyle(self, childExStyle_);
  floating_ = false;
}

bool Kivo32View::StorePlacement() const {
  if (prefix_.empty() || frame_.ConfigPath().empty())
    return false;
  const auto rect = ui::GetWindowRect(GetHwnd());
  if (!rect || !StorableFloatRect(*rect, ui::ScreenRect()))
    return false;
  return WriteViewRect(frame_.ConfigPath(), prefix_, *rect);
}

void Kivo32View::PlaceInHost(win::Hwnd host, const gdi::Rect& rect) {
  const win::Hwnd self = GetHwnd();
  if (!self || !win::IsWindow(host))
    return;
  if (floating_)
    Dock();
  if (!inHost_) {
    childStyle_ = win::GetWindowStyle(self);
    childExStyle_ = ui::GetWindowExStyle(self);
  }
  ui::SetWindowStyle(self, (childStyle_ & ~(win::WS_POPUP | ui::WS_THICKFRAME)) | win::WS_CHILD);
  ui::SetWindowExStyle(self, childExStyle_ & ~(ui::WS_EX_CLIENTEDGE | ui::WS_EX_WINDOWEDGE |
                                                ui::WS_EX_TRANSPARENT));
  ui::SetParent(self, host);
  inHost_ = true;
  ui::SetWindowPos(self, ui::HWND_TOP, rect.left, rect.top, std::max(rect.Width(), 0),
                   std::max(rect.Height(), 0), ui::SWP_NOACTIVATE | ui::SWP_FRAMECHANGED);
  ui::ShowWindow(self, ui::SW_SHOWNA);
}

void Kivo32View::ReturnFromHost() {
  const win::Hwnd self = GetHwnd();
  if (!self || !inHost_)
    return;
  ui::SetParent(self, frame_.Hwnd());
  ui::SetWindowStyle(self, childStyle_);
  ui::SetWindowExStyle(self, childExStyle_);
  inHost_ = false;
}

void Kivo32View::PressWhileFloating(WParam keys, LParam lParam) {
  const win::Hwnd self = GetHwnd();
  const gdi::Point screen = ui::ClientToScreen(self, ui::PointOfLParam(lParam));
  if ((keys & ui::MK_CONTROL) && !ui::IsZoomed(frame_.Hwnd())) {
    drag_.Begin(self, screen);
    return;
  }
  ui::SetWindowPos(self, ui::HWND_TOP, 0, 0, 0, 0,
                   ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
  win::PostMessage(self, win::WM_SYSCOMMAND, ui::SC_MOVE | 0xF, 0);
}

void Kivo32View::PaintBehind() {
  ui::Paint p(GetHwnd());
  if (p.IsValid())
    frame_.PaintBehind(GetHwnd(), p.Dc(), p.Area());
}

LResult Kivo32View::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  const win::Hwnd self = GetHwnd();
  switch (message) {
  case win::WM_PAINT:
    PaintBehind();
    return 0;
  case win::WM_ERASEBKGND:
    return 1; // the paint covers everything
  case win::WM_LBUTTONDOWN: {
    if (floating_) {
      PressWhileFloating(wParam, lParam);
      return 0;
    }
    // A docked view passes the click to the frame, in the frame's coordinates.
    const gdi::Point screen = ui::ClientToScreen(self, ui::PointOfLParam(lParam));
    const gdi::Point at = ui::ScreenToClient(frame_.Hwnd(), screen);
    win::PostMessage(frame_.Hwnd(), win::WM_LBUTTONDOWN, wParam, ui::MakeLParam(at.x, at.y));
    return 0;
  }
  case win::WM_RBUTTONDOWN:
    if (frame_.SysMenu())
      frame_.SysMenu()->OpenMenu(ui::ClientToScreen(self, ui::PointOfLParam(lParam)));
    return 0;
  case win::WM_RBUTTONDBLCLK:
    frame_.ToggleMaximise();
    return 0;
  case win::WM_KEYDOWN:
    win::PostMessage(frame_.Hwnd(), win::WM_KEYDOWN, wParam, lParam);
    return 0;
  case win::WM_MOUSEMOVE:
    if (drag_.IsTracking() && (wParam & ui::MK_CONTROL))
      drag_.Move(ui::ClientToScreen(self, ui::PointOfLParam(lParam)));
    return 0;
  case win::WM_LBUTTONUP:
    if (drag_.IsTracking())
      drag_.End();
    return 0;
  case win::WM_DESTROY:
    if (floating_)
      StorePlacement();
    floating_ = false;
    return Default(message, wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

// ---- CKivo32Word ----

CKivo32Word::CKivo32Word(CKivo32Frame& frame, const LyricFactors& factors)
    : Kivo32View(frame), factors_(factors) {}

bool CKivo32Word::AttachLyric(const LyricStyleTable& styles, uint32_t periodMs, bool byChar) {
  auto dc = ui::GetDc(GetHwnd());
  if (!dc)
    return false;
  wipe_.reset();
  lines_ = std::make_unique<LyricLines>(styles, state_);
  const win::Hwnd self = GetHwnd();
  lines_->SetInvalidate([self](const gdi::Rect& area) { ui::InvalidateRect(self, &area, false); });
  lines_->SetSurface(dc->Target());
  wipe_ = std::make_unique<ColourWipe>(*lines_, state_, periodMs, byChar);
  state_.lyricsShown.store(true);
  const gdi::Rect r = ClientRect();
  lines_->Resize(r.Width(), r.Height());
  return true;
}

LResult CKivo32Word::OnCopyData(WParam from, const win::CopyData& data) {
  return receiver_ ? receiver_->OnCopyData(from, data) : 0;
}

LResult CKivo32Word::OnUserMessage(WParam code, LParam argument) {
  return receiver_ ? receiver_->OnUser(code, argument) : 0;
}

void CKivo32Word::PlaceDocked(const gdi::Rect& frameClient, bool embedded) {
  Place(DockedRect(frameClient, embedded));
}

gdi::Rect CKivo32Word::DockedRect(const gdi::Rect& frameClient, bool embedded) const {
  const int32_t screenHeight = std::max(ui::ScreenRect().Height(), 1);
  const double r = static_cast<double>(frameClient.bottom) / screenHeight;
  const double base = r * 0.1425 + 0.0669;
  const double f1 = smallFont_ ? factors_.s1 : factors_.l1;
  const double f2 = embedded ? factors_.s2 : factors_.l2;
  const auto height = static_cast<int32_t>(screenHeight * base * f1);
  const auto gap = static_cast<int32_t>(f2 * screenHeight * base);
  return gdi::MakeRect(2, frameClient.bottom - height - gap, frameClient.right - 2, height);
}

void CKivo32Word::Relayout(int32_t width, int32_t height) {
  if (!lines_)
    return;
  lines_->Resize(width, height);
  if (wipe_)
    wipe_->Relayout();
}

void CKivo32Word::LayoutCurrentLine() {
  if (!GetHwnd())
    return;
  if (!floating_ && !frame_.LayoutEdit() && !frame_.PlacedByMode2() && !frame_.Client().IsEmpty()) {
    const gdi::Rect want = DockedRect(frame_.Client(), frame_.Embedded());
    if (want != RectInFrame())
      Place(want);
  }
  if (!lines_)
    return;
  const gdi::Rect client = ClientRect();
  const gdi::Rect& laid = lines_->LayoutRect();
  if (client.Width() != laid.right || client.Height() != laid.bottom)
    Relayout(client.Width(), client.Height());
}

LResult CKivo32Word::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    if (paintingHeld_) {
      ui::ValidateRect(GetHwnd(), nullptr);
      return 0;
    }
    if (!lines_)
      break;
    // What lies behind the view, then both lines with what has been sung.
    ui::Paint p(GetHwnd());
    if (!p.IsValid())
      return 0;
    // In a host's window the lines are drawn on black, else over what lies
    // behind the view.
    if (inHost_)
      p.Dc().FillRect(p.Area(), gdi::Rgb(0, 0, 0));
    else
      frame_.PaintBehind(GetHwnd(), p.Dc(), p.Area());
    lines_->OnPaint(p.Dc());
    return 0;
  }
  case win::WM_SIZE:
    Relayout(static_cast<int32_t>(lParam & 0xFFFF), static_cast<int32_t>((lParam >> 16) & 0xFFFF));
    break;
  case win::WM_DESTROY:
    wipe_.reset();
    break;
  case win::WM_LBUTTONDBLCLK:
    frame_.ToggleMaximise();
    return 0;
  case win::WM_GETMINMAXINFO:
    if (auto* info = ui::AsMinMaxInfo(lParam))
      info->minTrackSize = gdi::Point{ui::ScreenRect().Width() / 8, 224};
    return 0;
  default:
    break;
  }
  return Kivo32View::OnMessage(message, wParam, lParam);
}

} // namespace display
