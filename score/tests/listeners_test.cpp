#include "score/score_listeners.h"

#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct Got {
  win::Hwnd to;
  win::WParam wParam;
  win::LParam lParam;
  bool operator==(const Got&) const = default;
};
std::vector<Got> got;

win::Hwnd Listener() {
  static const bool registered = wintest::RegisterFnClass(
      "ScoreListenerTest", [](win::Hwnd h, uint32_t m, win::WParam w, win::LParam l) {
        if (m == win::WM_COMMAND)
          got.push_back({h, w, l});
        return win::LResult{0};
      });
  (void)registered;
  return wintest::MakeWindow("ScoreListenerTest");
}

TEST(ScoreListeners, TwentyAreToldAndATwentyFirstIsNotAdded) {
  wintest::StartTestSession();
  got.clear();
  score::ScoreListeners listeners;
  std::vector<win::Hwnd> windows;
  for (int i = 0; i < 21; ++i)
    windows.push_back(Listener());
  for (int i = 0; i < 20; ++i)
    EXPECT_TRUE(listeners.Add(windows[i]));
  EXPECT_FALSE(listeners.Add(windows[20]));
  EXPECT_EQ(listeners.Count(), 20);
  // A freed entry is filled again.
  listeners.Remove(windows[3]);
  EXPECT_TRUE(listeners.Add(windows[20]));
  listeners.Remove(windows[0]);
  listeners.Notify();
  win::ProcessPendingMessages();
  std::vector<Got> want;
  for (int i = 1; i <= 20; ++i)
    if (i != 3)
      want.push_back({windows[i], score::kScoreChangedCommand,
                      static_cast<win::LParam>(windows[i])});
  std::sort(got.begin(), got.end(), [](const Got& a, const Got& b) { return a.to < b.to; });
  std::sort(want.begin(), want.end(), [](const Got& a, const Got& b) { return a.to < b.to; });
  EXPECT_EQ(got, want);
  for (win::Hwnd w : windows)
    win::DestroyWindow(w);
}

} // namespace
