#include "core/player/listeners.h"

#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <algorithm>

namespace core {

int ListenerList::Add(win::Hwnd window) {
  if (window == 0)
    return 0;
  if (Contains(window))
    return 1;
  auto free = std::find(slots_.begin(), slots_.end(), win::Hwnd{0});
  if (free == slots_.end()) {
    // A window that is gone no longer holds its slot.
    DropDead();
    free = std::find(slots_.begin(), slots_.end(), win::Hwnd{0});
  }
  if (free == slots_.end())
    return 0;
  *free = window;
  return 1;
}

int ListenerList::Remove(win::Hwnd window) {
  if (window == 0)
    return 0;
  auto it = std::find(slots_.begin(), slots_.end(), window);
  if (it == slots_.end())
    return 0;
  *it = 0;
  return 1;
}

bool ListenerList::Contains(win::Hwnd window) const {
  return window != 0 && std::find(slots_.begin(), slots_.end(), window) != slots_.end();
}

void ListenerList::Drop(win::Hwnd window) {
  if (window == 0)
    return;
  std::replace(slots_.begin(), slots_.end(), window, win::Hwnd{0});
}

void ListenerList::PostToAll(uint32_t message, win::WParam wParam, win::LParam lParam) {
  for (win::Hwnd& slot : slots_)
    if (slot != 0 && !win::PostMessage(slot, message, wParam, lParam))
      slot = 0;
}

void ListenerList::DropDead() {
  for (win::Hwnd& slot : slots_)
    if (slot != 0 && !win::IsWindow(slot))
      slot = 0;
}

} // namespace core
