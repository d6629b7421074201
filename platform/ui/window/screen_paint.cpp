// Painting screen windows: the update area, WM_PAINT and WM_ERASEBKGND
// when it is due, and the surface shown once drawn on.
#include "platform/ui/window/screen.h"

#include "platform/ui/window/screen_internal.h"

#include "platform/gdi/surface_impl.h"
#include "platform/win/dispatch.h"

namespace ui {
namespace detail {

void PostPaintLocked(Screen& s, bool& post) {
  if (s.drawable && !s.update.IsEmpty() && !s.paintPosted) {
    s.paintPosted = true;
    post = true;
  }
}

void Invalidate(Screen& s, const gdi::Rect* rect, bool erase) {
  bool post = false;
  {
    std::lock_guard lock(s.mu);
    const gdi::Rect client{0, 0, s.clientSize.cx, s.clientSize.cy};
    const gdi::Rect area = rect ? gdi::Intersect(gdi::ClampRect(*rect), client) : client;
    if (area.IsEmpty())
      return;
    s.update = gdi::Union(s.update, area);
    s.updateErase = s.updateErase || erase;
    ++s.invalidations;
    PostPaintLocked(s, post);
  }
  if (post)
    win::PostMessage(s.hwnd, kUiPaint);
}

void DeliverPaint(Screen& s) {
  uint64_t generation = 0;
  {
    std::lock_guard lock(s.mu);
    s.paintPosted = false;
    if (!s.drawable || s.update.IsEmpty())
      return;
    generation = s.invalidations;
    s.paintBegun = false;
  }
  win::SendMessage(s.hwnd, win::WM_PAINT);
  if (!Alive(s))
    return;
  bool post = false;
  {
    std::lock_guard lock(s.mu);
    // A handler that painted nothing validates what it was asked to paint,
    // unless it invalidated again meanwhile.
    if (!s.paintBegun && s.invalidations == generation) {
      s.update = gdi::Rect{};
      s.updateErase = false;
    }
    PostPaintLocked(s, post);
  }
  Sync(s);
  if (post)
    win::PostMessage(s.hwnd, kUiPaint);
}

void Sync(Screen& s) {
  s.syncPosted = false;
  const std::optional<gdi::Rect> dirty = s.surface->TakeDirty();
  if (!dirty)
    return;
  if (ScreenWidget* w = s.widget) {
    w->NoteDrawn(*dirty);
    w->update(ToQRect(*dirty));
  }
  MaybeDump(s);
}

} // namespace detail

} // namespace ui
