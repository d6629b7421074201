// What runs around every modal piece of a thread (dialogs, message boxes,
// file dialogs): hooks told when one starts and when it ends (a frame
// switches its tool tips off meanwhile), and the cancelling of the ones a
// window owns when that window is destroyed under them.
#pragma once

#include "platform/win/messages.h"

#include <functional>

namespace ui {

// Called with true before a modal piece starts and false after it ended.
using ModalHook = std::function<void(bool entering)>;
// Adds a hook to the calling thread; returns its id.
int AddModalHook(ModalHook hook);
bool RemoveModalHook(int id);

// One modal piece running on this thread for the time of the object: the
// hooks hear of it, and cancel runs when owner (or, for 0, nothing) is
// destroyed meanwhile.
class ModalScope {
public:
  explicit ModalScope(win::Hwnd owner = 0, std::function<void()> cancel = {});
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

private:
  int id_;
};

// The owner part alone, for a backend inside a ModalScope: cancel runs
// when owner is destroyed while the object lives.
class OwnerWatch {
public:
  OwnerWatch(win::Hwnd owner, std::function<void()> cancel);
  ~OwnerWatch();
  OwnerWatch(const OwnerWatch&) = delete;
  OwnerWatch& operator=(const OwnerWatch&) = delete;

private:
  int id_;
};

// Cancels the modal pieces of this thread that owner owns; the window
// layer calls it when a window is being destroyed.
void CancelModalsOwnedBy(win::Hwnd owner);

} // namespace ui
