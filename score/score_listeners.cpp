#include "score/score_listeners.h"

#include "platform/win/dispatch.h"

#include <algorithm>

namespace score {

bool ScoreListeners::Add(win::Hwnd window) {
  for (Entry& e : entries_)
    if (!e.used) {
      e = {window, true};
      return true;
    }
  return false;
}

void ScoreListeners::Remove(win::Hwnd window) {
  for (Entry& e : entries_)
    if (e.used && e.window == window) {
      e = {};
      return;
    }
}

void ScoreListeners::Notify() const {
  for (const Entry& e : entries_)
    if (e.used)
      win::PostMessage(e.window, win::WM_COMMAND, kScoreChangedCommand,
                       static_cast<win::LParam>(e.window));
}

int ScoreListeners::Count() const {
  return static_cast<int>(
      std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.used; }));
}

} // namespace score
