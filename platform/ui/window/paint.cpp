// Update areas, WM_PAINT and the painting context of a screen window.
#include "platform/ui/window/paint.h"

#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"

namespace ui {

using namespace detail;

bool InvalidateRect(Hwnd hwnd, const gdi::Rect* rect, bool erase) {
  if (auto s = Find(hwnd)) {
    Invalidate(*s, rect, erase);
    return true;
  }
  // A window of another process hears of it through its queue.
  if (!win::IsWindow(hwnd))
    return false;
  WParam op = static_cast<WParam>(Operation::Invalidate) | (erase ? 0x100 : 0) | (rect ? 0 : 0x200);
  LParam packed = rect ? PackRect(rect->left, rect->top, rect->right, rect->bottom) : 0;
  return win::PostMessage(hwnd, kUiOperation, op, packed);
}

bool ValidateRect(Hwnd hwnd, const gdi::Rect* rect) {
  auto s = Find(hwnd);
  if (!s)
    return false;
  std::lock_guard lock(s->mu);
  if (!rect || gdi::Union(*rect, s->update) == *rect) {
    s->update = gdi::Rect{};
    s->updateErase = false;
  }
  return true;
}

std::optional<gdi::Rect> GetUpdateRect(Hwnd hwnd) {
  auto s = Find(hwnd);
  if (!s)
    return std::nullopt;
  std::lock_guard lock(s->mu);
  if (s->update.IsEmpty())
    return std::nullopt;
  return s->update;
}

bool UpdateWindow(Hwnd hwnd) {
  auto s = FindOwn(hwnd);
  if (!s)
    return false;
  DeliverPaint(*s);
  return true;
}

Paint::Paint(Hwnd hwnd) : hwnd_(hwnd) {
  auto s = FindOwn(hwnd);
  if (!s || s->surface->IsClosed())
    return;
  bool erase = false;
  {
    std::lock_guard lock(s->mu);
    area_ = s->update;
    erase = s->updateErase;
    s->update = gdi::Rect{};
    s->updateErase = false;
    s->paintBegun = true;
  }
  dc_.emplace(s->surface);
  dc_->SetClipRect(area_);
  if (erase && !area_.IsEmpty())
    eraseNeeded_ =
        win::SendMessage(hwnd, win::WM_ERASEBKGND, reinterpret_cast<WParam>(&*dc_), 0) == 0;
}

Paint::~Paint() = default;

bool DragAcceptFiles(Hwnd hwnd, bool accept) {
  auto s = FindOwn(hwnd);
  if (!s)
    return false;
  s->acceptFiles = accept;
  s->exStyle = accept ? (s->exStyle | WS_EX_ACCEPTFILES) : (s->exStyle & ~WS_EX_ACCEPTFILES);
  if (s->widget)
    s->widget->setAcceptDrops(accept);
  return true;
}

} // namespace ui
