#include "display/sysmenu.h"

#include "display/frame.h"
#include "display/menuresource.h"
#include "display/resources.h"
#include "platform/gdi/dib.h"
#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

namespace display {
namespace {

// The hot spot's size when the resource module has no bitmap 1000.
constexpr gdi::Size kDefaultHotSpot{24, 24};

gdi::Size HotSpotSize() {
  if (auto bytes = LoadResourceFile("bitmaps/1000.bmp"))
    if (auto dib = gdi::Dib::FromBmpFile(*bytes))
      return gdi::Size{dib->Width(), dib->Height()};
  return kDefaultHotSpot;
}

} // namespace

ui::Menu CKivo32SysMenu::PreparedMenu() const {
  if (!menu_ || menu_->items.empty())
    return ui::Menu{};
  ui::Menu m = menu_->SubMenu(0);
  const CKivo32Frame& f = frame_;
  const win::Hwnd frame = f.Hwnd();
  const bool big = ui::IsZoomed(frame) || ui::IsIconic(frame);
  if (auto text = LoadString(big ? 265 : 264); !text.empty())
    m.SetText(cmd::kMaximise, text);
  if (auto text = LoadString(f.LayoutEdit() ? 71 : 70); !text.empty())
    m.SetText(cmd::kLayoutEdit, text);
  const bool embedded = f.Embedded(), fixed = f.FixedFrame();
  m.Enable(cmd::kMinimise, !embedded && !fixed);
  m.Enable(cmd::kMaximise, !embedded && !fixed);
  m.Enable(cmd::kClose, !embedded);
  m.Enable(cmd::kLayoutEdit, !embedded && !fixed && !f.PlacedByMode2());
  m.Enable(cmd::kStillMode, true);
  m.Enable(cmd::kOverlayMode, f.Overlay().IsOpen());
  m.Enable(cmd::kMpegMode, f.Mpeg().IsOpen());
  for (uint32_t id = cmd::kStillMode; id <= cmd::kInfoMode; ++id)
    m.Check(id, static_cast<int32_t>(id - cmd::kStillMode) == f.BackgroundMode());
  m.Enable(cmd::kHostMenu, f.RemoteWindow() != 0);
  m.Check(cmd::kLyricText, f.Info() && f.Info()->ShowsLyricPage());
  m.Enable(cmd::kLyricText, !(f.PlacedByMode2() && f.BackgroundMode() == kModeInfo));
  return m;
}

void CKivo32SysMenu::OpenMenu(gdi::Point screenPoint) {
  ui::Menu m = PreparedMenu();
  if (m.items.empty())
    return;
  ui::TrackPopupMenu(m, ui::TPM_LEFTALIGN | ui::TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y,
                     GetHwnd());
}

void CKivo32SysMenu::RunCommand(WParam wParam, LParam lParam) {
  const win::Hwnd frame = frame_.Hwnd();
  const uint32_t id = ui::LowWord(wParam);
  switch (id) {
  case cmd::kMinimise:
    ui::ShowWindow(frame, ui::SW_MINIMIZE);
    break;
  case cmd::kMaximise:
    ui::ShowWindow(frame, ui::IsZoomed(frame) ? ui::SW_RESTORE : ui::SW_MAXIMIZE);
    break;
  case cmd::kHostMenu:
    if (frame_.RemoteWindow())
      win::PostMessage(frame_.RemoteWindow(), win::WM_USER, kSysMenuNotify, 0);
    break;
  case cmd::kStillMode:
  case cmd::kOverlayMode:
  case cmd::kMpegMode:
    win::PostMessage(frame, win::WM_USER, kVideoOffRequest + (id - cmd::kStillMode), 0);
    break;
  case cmd::kInfoMode:
    if (frame_.PlacedByMode2())
      win::PostMessage(frame, win::WM_USER, kAviVideoRequest, 0);
    else if (frame_.Confirm())
      win::SendMessage(frame_.RemoteWindow(), win::WM_USER, kSysMenuRequest, 0);
    break;
  case cmd::kClose:
    win::PostMessage(frame, kCloseMessage, 0, 0);
    break;
  default:
    win::PostMessage(frame, win::WM_COMMAND, wParam, lParam);
    break;
  }
}

void CKivo32SysMenu::PlaceChild() {
  if (size_.cx == 0)
    size_ = HotSpotSize();
  Place(gdi::MakeRect(kFrameBorder, kFrameBorder, size_.cx, size_.cy));
}

LResult CKivo32SysMenu::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  const win::Hwnd self = GetHwnd();
  switch (message) {
  case win::WM_CREATE:
    menu_ = LoadMenuResource(kMenuId);
    size_ = HotSpotSize();
    return Default(message, wParam, lParam);
  case win::WM_DESTROY:
    menu_.reset();
    return Default(message, wParam, lParam);
  case win::WM_SIZE:
    ui::SetWindowPos(self, ui::HWND_TOP, 0, 0, 0, 0,
                     ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
    return 0;
  case win::WM_LBUTTONDOWN:
    clickPoint_ = ui::ClientToScreen(self, ui::PointOfLParam(lParam));
    clickPending_ = true;
    win::SetTimer(self, kClickTimer, ui::GetDoubleClickTime());
    return 0;
  case win::WM_TIMER:
    if (wParam != kClickTimer)
      return 0;
    win::KillTimer(self, kClickTimer);
    if (clickPending_) {
      clickPending_ = false;
      OpenMenu(clickPoint_);
    }
    return 0;
  case win::WM_LBUTTONDBLCLK:
    clickPending_ = false;
    win::KillTimer(self, kClickTimer);
    if (!frame_.Embedded())
      win::PostMessage(self, win::WM_COMMAND, cmd::kClose, 0);
    return 0;
  case win::WM_KILLFOCUS:
    clickPending_ = false;
    return 0;
  case win::WM_RBUTTONDOWN:
    return 0;
  case win::WM_RBUTTONUP:
    OpenMenu(ui::ClientToScreen(self, ui::PointOfLParam(lParam)));
    return 0;
  case win::WM_COMMAND:
    RunCommand(wParam, lParam);
    return 0;
  default:
    return Kivo32View::OnMessage(message, wParam, lParam);
  }
}

} // namespace display
