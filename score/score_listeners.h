// The windows told when the score changes: 20 entries, filled first free,
// each told by a posted WM_COMMAND (wParam kScoreChangedCommand, lParam its
// own window).
#pragma once

#include "platform/win/messages.h"

#include <array>
#include <cstdint>

namespace score {

constexpr int kMaxListeners = 20;
constexpr win::WParam kScoreChangedCommand = 0x10000100;

class ScoreListeners {
public:
  // Fills the first free entry; false, nothing added, when all are used.
  bool Add(win::Hwnd window);
  // Clears the entry holding the window.
  void Remove(win::Hwnd window);
  // Posts the notice to every used entry.
  void Notify() const;
  int Count() const;

private:
  struct Entry {
    win::Hwnd window = 0;
    bool used = false;
  };
  std::array<Entry, kMaxListeners> entries_{};
};

} // namespace score
