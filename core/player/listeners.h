// The listener lists of the notification window: ten window handles each
// (0 a free slot), to which notices are posted. A window that is found gone
// is dropped from its list, so that a host or editor that forgot to
// unregister a window costs nothing but the one failed post.
#pragma once

#include "platform/win/messages.h"

#include <array>
#include <cstdint>

namespace core {

inline constexpr int kListenerSlots = 10;

class ListenerList {
public:
  // 1 when the window is listed already or was put into the first free slot;
  // 0 when all slots are taken by live windows, or the handle is 0.
  int Add(win::Hwnd window);
  // Clears the first slot holding the window: 1, or 0 when it is absent.
  int Remove(win::Hwnd window);
  bool Contains(win::Hwnd window) const;
  // Drops a window from every slot holding it.
  void Drop(win::Hwnd window);
  // Posts message (wParam, lParam) to every listed window, in slot order;
  // a window the post cannot reach is dropped.
  void PostToAll(uint32_t message, win::WParam wParam, win::LParam lParam);
  // Drops every listed window that no longer exists.
  void DropDead();

  const std::array<win::Hwnd, kListenerSlots>& Slots() const { return slots_; }

private:
  std::array<win::Hwnd, kListenerSlots> slots_{};
};

} // namespace core
