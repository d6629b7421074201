// Window scroll bars as child windows that draw themselves, and the moving
// of a window's pixels.
#include "platform/ui/window/scroll_bar.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/surface.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace ui {
namespace {

constexpr const char* kScrollBarClass = "VexoScrollBar";
constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kTrough = gdi::Rgb(224, 224, 224);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kArrow = gdi::Rgb(0, 0, 0);
constexpr int32_t kMinThumb = 8;

class ScrollBarWnd;

// The bars of each window, by the window.
struct Bars {
  ScrollBarWnd* vertical = nullptr;
  ScrollBarWnd* horizontal = nullptr;
};
std::mutex& TableMutex() {
  static std::mutex mu;
  return mu;
}
std::map<win::Hwnd, Bars>& Table() {
  static auto* table = new std::map<win::Hwnd, Bars>;
  return *table;
}

class ScrollBarWnd : public ScreenWindow {
public:
  ScrollBarWnd(win::Hwnd owner, int bar) : owner_(owner), bar_(bar) {}

  bool Create() {
    static const bool registered = [] {
      return RegisterScreenClass(
          {kScrollBarClass, 0, [] { return std::make_unique<ScreenWindow>(); }, nullptr, kFace});
    }();
    (void)registered;
    win::CreateParams p;
    p.className = kScrollBarClass;
    p.style = win::WS_CHILD | win::WS_VISIBLE;
    p.parent = owner_;
    p.width = kScrollBarSize;
    p.height = kScrollBarSize;
    p.object = this;
    return win::CreateWindow(p) != 0;
  }

  ScrollInfo info;
  bool tracking = false;

  int32_t MaxPos() const {
    const int32_t page = static_cast<int32_t>(std::min<uint32_t>(info.page, INT32_MAX));
    return std::max(info.min, page > 0 ? info.max - page + 1 : info.max);
  }
  int32_t Clamp(int32_t pos) const { return std::clamp(pos, info.min, MaxPos()); }

  void Repaint() {
    if (GetHwnd())
      InvalidateRect(GetHwnd(), nullptr, false);
  }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    switch (message) {
    case win::WM_PAINT: {
      Paint paint(GetHwnd());
      if (paint.IsValid())
        Draw(paint.Dc());
      return 0;
    }
    case win::WM_ERASEBKGND:
      return 1;
    case win::WM_LBUTTONDOWN:
      Press(Along(lParam));
      return 0;
    case win::WM_MOUSEMOVE:
      if (tracking)
        Drag(Along(lParam));
      return 0;
    case win::WM_LBUTTONUP:
      Release();
      return 0;
    case win::WM_DESTROY: {
      std::lock_guard lock(TableMutex());
      auto it = Table().find(owner_);
      if (it != Table().end()) {
        if (it->second.vertical == this)
          it->second.vertical = nullptr;
        if (it->second.horizontal == this)
          it->second.horizontal = nullptr;
        if (!it->second.vertical && !it->second.horizontal)
          Table().erase(it);
      }
      break;
    }
    default:
      break;
    }
    return ScreenWindow::OnMessage(message, wParam, lParam);
  }
  void Detached() override { delete this; }

private:
  bool Vertical() const { return bar_ == SB_VERT; }
  int32_t Length() const {
    const gdi::Rect r = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
    return Vertical() ? r.Height() : r.Width();
  }
  int32_t Along(LParam lParam) const { return Vertical() ? YOfLParam(lParam) : XOfLParam(lParam); }
  // The trough between the arrows, and the thumb's start and size in it.
  int32_t Trough() const { return std::max(0, Length() - 2 * kScrollBarSize); }
  bool HasThumb() const {
    const int64_t span = int64_t{info.max} - info.min + 1;
    return span > 0 && (info.page == 0 || info.page < span) && MaxPos() > info.min &&
           Trough() > kMinThumb;
  }
  int32_t ThumbSize() const {
    const int64_t span = int64_t{info.max} - info.min + 1;
    const int64_t size = info.page ? int64_t{Trough()} * info.page / span : kScrollBarSize;
    return static_cast<int32_t>(std::clamp<int64_t>(size, kMinThumb, Trough()));
  }
  int32_t ThumbAt(int32_t pos) const {
    const int64_t room = Trough() - ThumbSize();
    const int64_t steps = int64_t{MaxPos()} - info.min;
    return kScrollBarSize +
           static_cast<int32_t>(steps > 0 ? room * (int64_t{pos} - info.min) / steps : 0);
  }

  void Send(uint32_t code, int32_t pos) {
    win::SendMessage(owner_, Vertical() ? WM_VSCROLL : WM_HSCROLL,
                     MakeWParam(code, static_cast<uint32_t>(pos) & 0xFFFF), 0);
  }

  void Press(int32_t at) {
    const win::Hwnd self = GetHwnd();
    if (at < kScrollBarSize) {
      Send(SB_LINEUP, 0);
    } else if (at >= Length() - kScrollBarSize) {
      Send(SB_LINEDOWN, 0);
    } else if (HasThumb()) {
      const int32_t thumb = ThumbAt(tracking ? info.trackPos : info.pos);
      if (at < thumb) {
        Send(SB_PAGEUP, 0);
      } else if (at >= thumb + ThumbSize()) {
        Send(SB_PAGEDOWN, 0);
      } else {
        grab_ = at - thumb;
        tracking = true;
        info.trackPos = info.pos;
        SetCapture(self);
        return;
      }
    }
    if (win::GetWindowObject(self) == this)
      pressed_ = true;
  }

  void Drag(int32_t at) {
    const int64_t room = Trough() - ThumbSize();
    const int64_t start = std::clamp<int64_t>(at - grab_ - kScrollBarSize, 0, room);
    const int64_t steps = int64_t{MaxPos()} - info.min;
    const int32_t pos =
        static_cast<int32_t>(info.min + (room > 0 ? (start * steps + room / 2) / room : 0));
    if (pos == info.trackPos)
      return;
    info.trackPos = pos;
    Repaint();
    Send(SB_THUMBTRACK, pos);
  }

  void Release() {
    const win::Hwnd self = GetHwnd();
    if (tracking) {
      tracking = false;
      ReleaseCapture();
      Send(SB_THUMBPOSITION, info.trackPos);
      if (win::GetWindowObject(self) != this)
        return;
      Send(SB_ENDSCROLL, 0);
      if (win::GetWindowObject(self) == this)
        Repaint();
      return;
    }
    if (pressed_) {
      pressed_ = false;
      Send(SB_ENDSCROLL, 0);
    }
  }

  void Arrow(gdi::Dc& dc, const gdi::Rect& box, bool towardsStart) {
    dc.FillRect(box, kFace);
    dc.FrameRect(box, kShadow);
    const int32_t cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t reach = towardsStart ? i : 3 - i;
      if (Vertical())
        dc.FillRect(gdi::MakeRect(cx - reach, cy - 2 + i, 2 * reach + 1, 1), kArrow);
      else
        dc.FillRect(gdi::MakeRect(cx - 2 + i, cy - reach, 1, 2 * reach + 1), kArrow);
    }
  }

  void Draw(gdi::Dc& dc) {
    const gdi::Rect r = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
    dc.FillRect(r, kTrough);
    const int32_t n = kScrollBarSize;
    if (Vertical()) {
      Arrow(dc, {r.left, r.top, r.right, r.top + n}, true);
      Arrow(dc, {r.left, r.bottom - n, r.right, r.bottom}, false);
    } else {
      Arrow(dc, {r.left, r.top, r.left + n, r.bottom}, true);
      Arrow(dc, {r.right - n, r.top, r.right, r.bottom}, false);
    }
    if (!HasThumb())
      return;
    const int32_t at = ThumbAt(tracking ? info.trackPos : info.pos), size = ThumbSize();
    const gdi::Rect thumb = Vertical() ? gdi::Rect{r.left, at, r.right, at + size}
                                       : gdi::Rect{at, r.top, at + size, r.bottom};
    dc.FillRect(thumb, kFace);
    dc.FrameRect(thumb, kShadow);
  }

  win::Hwnd owner_;
  int bar_;
  int32_t grab_ = 0;
  bool pressed_ = false;
};

ScrollBarWnd* BarOf(win::Hwnd hwnd, int bar) {
  std::lock_guard lock(TableMutex());
  auto it = Table().find(hwnd);
  if (it == Table().end())
    return nullptr;
  return bar == SB_VERT ? it->second.vertical : bar == SB_HORZ ? it->second.horizontal : nullptr;
}

} // namespace

bool SetScrollBars(win::Hwnd hwnd, uint32_t bars) {
  if (!GetClientRect(hwnd) || !win::GetWindowObject(hwnd))
    return false;
  for (int bar : {SB_VERT, SB_HORZ}) {
    const bool wanted = (bars & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
    ScrollBarWnd* have = BarOf(hwnd, bar);
    if (wanted && !have) {
      auto* made = new ScrollBarWnd(hwnd, bar);
      if (!made->Create()) {
        delete made;
        return false;
      }
      std::lock_guard lock(TableMutex());
      (bar == SB_VERT ? Table()[hwnd].vertical : Table()[hwnd].horizontal) = made;
    } else if (!wanted && have) {
      win::DestroyWindow(have->GetHwnd());
    }
  }
  LayoutScrollBars(hwnd);
  return true;
}

uint32_t ScrollBarsOf(win::Hwnd hwnd) {
  return (BarOf(hwnd, SB_VERT) ? WS_VSCROLL : 0u) | (BarOf(hwnd, SB_HORZ) ? WS_HSCROLL : 0u);
}

void LayoutScrollBars(win::Hwnd hwnd) {
  const gdi::Rect r = GetClientRect(hwnd).value_or(gdi::Rect{});
  ScrollBarWnd* v = BarOf(hwnd, SB_VERT);
  ScrollBarWnd* h = BarOf(hwnd, SB_HORZ);
  const int32_t n = kScrollBarSize;
  if (v)
    MoveWindow(v->GetHwnd(), std::max(0, r.right - n), 0, n, std::max(0, r.bottom - (h ? n : 0)));
  if (h)
    MoveWindow(h->GetHwnd(), 0, std::max(0, r.bottom - n), std::max(0, r.right - (v ? n : 0)), n);
}

gdi::Rect ScrollClientRect(win::Hwnd hwnd) {
  gdi::Rect r = GetClientRect(hwnd).value_or(gdi::Rect{});
  if (BarOf(hwnd, SB_VERT))
    r.right = std::max(r.left, r.right - kScrollBarSize);
  if (BarOf(hwnd, SB_HORZ))
    r.bottom = std::max(r.top, r.bottom - kScrollBarSize);
  return r;
}

int32_t SetScrollInfo(win::Hwnd hwnd, int bar, const ScrollInfo& info, bool redraw) {
  ScrollBarWnd* b = BarOf(hwnd, bar);
  if (!b)
    return 0;
  if (info.mask & SIF_RANGE) {
    b->info.min = info.min;
    b->info.max = std::max(info.min, info.max);
  }
  if (info.mask & SIF_PAGE)
    b->info.page = info.page;
  if (info.mask & SIF_POS)
    b->info.pos = info.pos;
  b->info.pos = b->Clamp(b->info.pos);
  if (!b->tracking)
    b->info.trackPos = b->info.pos;
  if (redraw)
    b->Repaint();
  return b->info.pos;
}

std::optional<ScrollInfo> GetScrollInfo(win::Hwnd hwnd, int bar) {
  ScrollBarWnd* b = BarOf(hwnd, bar);
  if (!b)
    return std::nullopt;
  ScrollInfo out = b->info;
  out.mask = SIF_ALL;
  return out;
}

int32_t SetScrollPos(win::Hwnd hwnd, int bar, int32_t pos, bool redraw) {
  ScrollBarWnd* b = BarOf(hwnd, bar);
  if (!b)
    return 0;
  const int32_t previous = b->info.pos;
  ScrollInfo info;
  info.mask = SIF_POS;
  info.pos = pos;
  SetScrollInfo(hwnd, bar, info, redraw);
  return previous;
}

int32_t GetScrollPos(win::Hwnd hwnd, int bar) {
  ScrollBarWnd* b = BarOf(hwnd, bar);
  return b ? b->info.pos : 0;
}

win::Hwnd ScrollBarWindow(win::Hwnd hwnd, int bar) {
  ScrollBarWnd* b = BarOf(hwnd, bar);
  return b ? b->GetHwnd() : 0;
}

bool ScrollWindow(win::Hwnd hwnd, int32_t dx, int32_t dy, const gdi::Rect* rect) {
  const std::optional<gdi::Rect> client = GetClientRect(hwnd);
  if (!client)
    return false;
  const gdi::Rect area = rect ? gdi::Intersect(*rect, *client) : *client;
  if (area.IsEmpty() || (dx == 0 && dy == 0))
    return true;
  // An area still waiting for its paint would move stale pixels: all of it
  // is painted again instead.
  const std::optional<gdi::Rect> pending = GetUpdateRect(hwnd);
  const bool moves = std::abs(dx) < area.Width() && std::abs(dy) < area.Height();
  if (!moves || (pending && !gdi::Intersect(*pending, area).IsEmpty()))
    return InvalidateRect(hwnd, &area, true);
  std::optional<gdi::Dc> dc = GetDc(hwnd);
  if (!dc)
    return false;
  // The pixels that stay inside the area once moved.
  const gdi::Rect from = gdi::Intersect(
      area, gdi::Rect{area.left - dx, area.top - dy, area.right - dx, area.bottom - dy});
  if (auto copy = gdi::Surface::Create(from.Width(), from.Height())) {
    gdi::Dc copyDc(copy);
    copyDc.BitBlt(0, 0, from.Width(), from.Height(), *dc, from.left, from.top, gdi::kSrcCopy);
    dc->BitBlt(from.left + dx, from.top + dy, from.Width(), from.Height(), *copy, 0, 0,
               gdi::kSrcCopy);
  }
  // The strips left uncovered.
  if (dy > 0) {
    const gdi::Rect strip{area.left, area.top, area.right, area.top + dy};
    InvalidateRect(hwnd, &strip, true);
  } else if (dy < 0) {
    const gdi::Rect strip{area.left, area.bottom + dy, area.right, area.bottom};
    InvalidateRect(hwnd, &strip, true);
  }
  if (dx > 0) {
    const gdi::Rect strip{area.left, area.top, area.left + dx, area.bottom};
    InvalidateRect(hwnd, &strip, true);
  } else if (dx < 0) {
    const gdi::Rect strip{area.right + dx, area.top, area.right, area.bottom};
    InvalidateRect(hwnd, &strip, true);
  }
  return true;
}

} // namespace ui
