// Showing and placing screen windows: the show states (normal, minimised,
// maximised), position, size and stacking, and the screen's own areas.
#include "platform/ui/window/screen.h"

#include "platform/ui/window/screen_internal.h"

#include "platform/win/dispatch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace ui {
namespace detail {

gdi::Rect MaximizeArea(const Screen& s) {
  if (IsChild(s))
    if (auto p = LocalParent(s))
      return gdi::Rect{0, 0, p->rect.Width(), p->rect.Height()};
  return (s.style & WS_CAPTION) == WS_CAPTION ? WorkArea() : ScreenRect();
}

void SetStyleBits(Screen& s) {
  win::SetWindowStyle(s.hwnd, (s.style & ~win::WS_VISIBLE) | (s.shown ? win::WS_VISIBLE : 0) |
                                  (s.state == ShowState::Minimized ? WS_MINIMIZE : 0) |
                                  (s.state == ShowState::Maximized ? WS_MAXIMIZE : 0));
}

void Minimize(Screen& s) {
  if (s.state == ShowState::Minimized)
    return;
  s.restoreToMaximized = s.state == ShowState::Maximized;
  if (s.state == ShowState::Normal)
    s.normalRect = s.rect;
  s.state = ShowState::Minimized;
  SetStyleBits(s);
  UpdateDrawable(s);
  SendSize(s, SIZE_MINIMIZED);
}

void Maximize(Screen& s) {
  if (s.state == ShowState::Maximized)
    return;
  if (s.state == ShowState::Normal)
    s.normalRect = s.rect;
  s.state = ShowState::Maximized;
  s.restoreToMaximized = false;
  SetStyleBits(s);
  UpdateDrawable(s);
  SetRect(s, MaximizeArea(s), SIZE_MAXIMIZED, true, false);
}

void Restore(Screen& s, bool toPrevious) {
  if (s.state == ShowState::Normal)
    return;
  if (toPrevious && s.state == ShowState::Minimized && s.restoreToMaximized) {
    s.state = ShowState::Maximized;
    s.restoreToMaximized = false;
    SetStyleBits(s);
    UpdateDrawable(s);
    SetRect(s, MaximizeArea(s), SIZE_MAXIMIZED, true, false);
    return;
  }
  s.state = ShowState::Normal;
  s.restoreToMaximized = false;
  SetStyleBits(s);
  UpdateDrawable(s);
  SetRect(s, s.normalRect, SIZE_RESTORED, true, false);
}

bool ShowOwn(Screen& s, int command) {
  const bool was = s.shown;
  if (command == SW_HIDE) {
    if (!was)
      return false;
    win::SendMessage(s.hwnd, win::WM_SHOWWINDOW, 0, 0);
    if (!Alive(s))
      return was;
    MaybeDump(s);
    s.shown = false;
    SetStyleBits(s);
    UpdateDrawable(s);
    ShowWidget(s, false);
    if (IsChild(s))
      if (auto p = LocalParent(s))
        Invalidate(*p, &s.rect, true);
    return was;
  }
  if (!was) {
    win::SendMessage(s.hwnd, win::WM_SHOWWINDOW, 1, 0);
    if (!Alive(s))
      return was;
    AskMinMax(s);
    if (!Alive(s))
      return was;
  }
  switch (command) {
  case SW_SHOWMINIMIZED:
  case SW_MINIMIZE:
  case SW_SHOWMINNOACTIVE:
    Minimize(s);
    break;
  case SW_SHOWMAXIMIZED:
    Maximize(s);
    break;
  case SW_SHOWNORMAL:
  case SW_SHOWDEFAULT:
    Restore(s, false);
    break;
  case SW_RESTORE:
    Restore(s, true);
    break;
  default:
    break;
  }
  if (!Alive(s))
    return was;
  s.shown = true;
  SetStyleBits(s);
  const bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                        command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
  ShowWidget(s, activate);
  UpdateDrawable(s);
  return was;
}

bool SetPosOwn(Screen& s, Hwnd insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
               uint32_t flags) {
  gdi::Rect r = s.rect;
  if (!(flags & SWP_NOMOVE))
    r = gdi::MakeRect(x, y, r.Width(), r.Height());
  if (!(flags & SWP_NOSIZE))
    r = gdi::MakeRect(r.left, r.top, std::clamp(cx, 0, gdi::kMaxSurfaceSide),
                      std::clamp(cy, 0, gdi::kMaxSurfaceSide));
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      const uint32_t ex =
          insertAfter == HWND_TOPMOST ? (s.exStyle | WS_EX_TOPMOST) : (s.exStyle & ~WS_EX_TOPMOST);
      if (ex != s.exStyle) {
        s.exStyle = ex;
        ApplyFlags(s);
      }
    }
    if (ScreenWidget* w = s.widget) {
      Applying applying(s);
      if (insertAfter == HWND_BOTTOM) {
        w->lower();
      } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST) {
        w->raise();
      } else if (insertAfter != HWND_NOTOPMOST) {
        if (auto other = FindOwn(insertAfter); other && other->widget)
          w->stackUnder(other->widget);
      }
    }
  }
  if (flags & SWP_FRAMECHANGED)
    ApplyFlags(s);
  if (s.state == ShowState::Minimized) {
    // A minimised window keeps its place for when it is restored.
    s.normalRect = r;
  } else {
    const WParam type = s.state == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
    SetRect(s, r, type, !(flags & SWP_NOREDRAW), false, insertAfter, flags);
  }
  if (!Alive(s))
    return false;
  if (flags & SWP_SHOWWINDOW)
    ShowOwn(s, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  else if (flags & SWP_HIDEWINDOW)
    ShowOwn(s, SW_HIDE);
  return true;
}

void ForegroundOwn(Screen& s) {
  if (ScreenWidget* w = s.widget) {
    QWidget* top = w->window();
    top->raise();
    top->activateWindow();
  }
}

} // namespace detail

using namespace detail;

bool ShowWindow(Hwnd hwnd, int command) {
  if (auto s = FindOwn(hwnd))
    return ShowOwn(*s, command);
  if (!win::IsWindow(hwnd))
    return false;
  return win::SendMessage(hwnd, kUiOperation, static_cast<WParam>(Operation::Show),
                          static_cast<LParam>(command)) != 0;
}

bool MoveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint) {
  return SetWindowPos(hwnd, 0, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                  uint32_t flags) {
  if (auto s = FindOwn(hwnd))
    return SetPosOwn(*s, insertAfter, x, y, cx, cy, flags);
  if (!win::IsWindow(hwnd))
    return false;
  const WParam w = static_cast<WParam>(Operation::SetPos) |
                   (static_cast<WParam>(flags & 0xFFFFFF) << 8) |
                   (static_cast<WParam>(static_cast<uint64_t>(insertAfter) << 32));
  return win::SendMessage(hwnd, kUiOperation, w, PackRect(x, y, cx, cy)) != 0;
}

bool SetForegroundWindow(Hwnd hwnd) {
  if (auto s = FindOwn(hwnd)) {
    ForegroundOwn(*s);
    return true;
  }
  return win::PostMessage(hwnd, kUiOperation, static_cast<WParam>(Operation::Foreground), 0);
}

bool IsWindowVisible(Hwnd hwnd) {
  auto s = Find(hwnd);
  if (!s)
    return false;
  if (s->owner != std::this_thread::get_id()) {
    std::lock_guard lock(s->mu);
    return s->drawable;
  }
  for (int depth = 0; s && depth < 64; ++depth) {
    if (!s->shown)
      return false;
    if (!IsChild(*s))
      return true;
    s = LocalParent(*s);
  }
  return true;
}

bool IsIconic(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  return s && s->state == ShowState::Minimized;
}

std::optional<WindowPlacement> GetWindowPlacement(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  if (!s)
    return std::nullopt;
  WindowPlacement p;
  p.normal = s->state == ShowState::Normal ? s->rect : s->normalRect;
  p.showCommand = !s->shown                             ? SW_HIDE
                  : s->state == ShowState::Minimized ? SW_SHOWMINIMIZED
                  : s->state == ShowState::Maximized ? SW_SHOWMAXIMIZED
                                                     : SW_SHOWNORMAL;
  return p;
}

bool SetWindowPlacement(Hwnd hwnd, const WindowPlacement& placement) {
  auto s = FindOwn(hwnd);
  if (!s)
    return false;
  const gdi::Rect& r = placement.normal;
  if (s->state == ShowState::Normal)
    MoveWindow(hwnd, r.left, r.top, r.Width(), r.Height());
  else
    s->normalRect = r;
  ShowWindow(hwnd, placement.showCommand);
  return true;
}

bool IsZoomed(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  return s && s->state == ShowState::Maximized;
}

std::optional<gdi::Rect> GetClientRect(Hwnd hwnd) {
  auto s = Find(hwnd);
  if (!s)
    return std::nullopt;
  std::lock_guard lock(s->mu);
  return gdi::Rect{0, 0, s->clientSize.cx, s->clientSize.cy};
}

std::optional<gdi::Rect> GetWindowRect(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  if (!s)
    return std::nullopt;
  const gdi::Point origin = OriginOf(*s);
  return gdi::MakeRect(origin.x, origin.y, s->rect.Width(), s->rect.Height());
}

gdi::Point ClientToScreen(Hwnd hwnd, gdi::Point p) {
  auto s = FindOwn(hwnd);
  if (!s)
    return p;
  const gdi::Point origin = OriginOf(*s);
  return gdi::Point{p.x + origin.x, p.y + origin.y};
}

gdi::Point ScreenToClient(Hwnd hwnd, gdi::Point p) {
  auto s = FindOwn(hwnd);
  if (!s)
    return p;
  const gdi::Point origin = OriginOf(*s);
  return gdi::Point{p.x - origin.x, p.y - origin.y};
}

bool SetWindowStyle(Hwnd hwnd, uint32_t style) {
  auto s = FindOwn(hwnd);
  if (!s)
    return win::SetWindowStyle(hwnd, style);
  s->style = style & ~(win::WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
  SetStyleBits(*s);
  ApplyFlags(*s);
  UpdateDrawable(*s);
  return true;
}

bool SetWindowExStyle(Hwnd hwnd, uint32_t exStyle) {
  auto s = FindOwn(hwnd);
  if (!s)
    return false;
  s->exStyle = exStyle;
  s->acceptFiles = (exStyle & WS_EX_ACCEPTFILES) != 0;
  ApplyFlags(*s);
  return true;
}

uint32_t GetWindowExStyle(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  return s ? s->exStyle : 0;
}

bool SetParent(Hwnd hwnd, Hwnd parent) {
  if (!win::SetParent(hwnd, parent))
    return false;
  if (auto s = FindOwn(hwnd)) {
    s->parent = parent;
    ApplyFlags(*s);
    UpdateDrawable(*s);
  }
  return true;
}

bool SetWindowText(Hwnd hwnd, std::string_view title) {
  if (!win::SetWindowText(hwnd, title))
    return false;
  if (auto s = FindOwn(hwnd); s && s->widget && s->widget->isWindow())
    s->widget->setWindowTitle(
        QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  return true;
}

gdi::Rect ScreenRect() {
  auto& cache = Cache();
  if (OnGuiThread())
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      std::lock_guard lock(cache.mu);
      cache.screen = ToRect(screen->geometry());
      cache.work = ToRect(screen->availableGeometry());
      return cache.screen;
    }
  std::lock_guard lock(cache.mu);
  return cache.screen;
}

gdi::Rect WorkArea() {
  ScreenRect();
  auto& cache = Cache();
  std::lock_guard lock(cache.mu);
  return cache.work;
}

std::optional<gdi::Dc> GetDc(Hwnd hwnd) {
  auto s = Find(hwnd);
  if (!s || s->surface->IsClosed())
    return std::nullopt;
  return gdi::Dc(s->surface);
}

QWidget* GetWidget(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  return s ? s->widget.data() : nullptr;
}

} // namespace ui
