// Window timers on a clock the test moves, and once on the real clock.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/tests/support/window_thread.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

using namespace win;
using namespace wintest;

namespace {

using Tick = std::pair<uint32_t, uint64_t>; // timer id, clock at the tick

class TimerTest : public ::testing::Test {
protected:
  void SetUp() override {
    StartTestSession();
    InstallTimerClock(&clock_);
  }
  void TearDown() override { InstallTimerClock(nullptr); }

  // A window that logs its ticks and runs the action given for a timer id.
  Hwnd MakeTicker(const std::string& cls, std::function<void(Hwnd, uint32_t)> action = {}) {
    RegisterFnClass(cls,
                    [this, action](Hwnd h, uint32_t message, WParam wParam, LParam) -> LResult {
                      if (message == WM_TIMER) {
                        ticks_.emplace_back(static_cast<uint32_t>(wParam), clock_.NowMs());
                        if (action)
                          action(h, static_cast<uint32_t>(wParam));
                      }
                      return 0;
                    });
    return MakeWindow(cls);
  }

  ManualTimerClock clock_;
  std::vector<Tick> ticks_;
};

TEST_F(TimerTest, TimersFireInOrderOfTheirDueTimes) {
  Hwnd h = MakeTicker("Ordered");
  ASSERT_EQ(SetTimer(h, 10, 100), 10u);
  ASSERT_EQ(SetTimer(h, 20, 250), 20u);
  clock_.Advance(99);
  EXPECT_TRUE(ticks_.empty());
  clock_.Advance(901);
  EXPECT_EQ(ticks_, (std::vector<Tick>{{10, 100},
                                       {10, 200},
                                       {20, 250},
                                       {10, 300},
                                       {10, 400},
                                       {10, 500},
                                       {20, 500},
                                       {10, 600},
                                       {10, 700},
                                       {20, 750},
                                       {10, 800},
                                       {10, 900},
                                       {10, 1000},
                                       {20, 1000}}));
  DestroyWindow(h);
}

TEST_F(TimerTest, TimerKilledInsideItsOwnHandlerDoesNotFireAgain) {
  Hwnd h = MakeTicker("SelfKilling", [](Hwnd self, uint32_t id) {
    if (id == 1) {
      EXPECT_TRUE(KillTimer(self, 1));
    }
    if (id == 2)
      KillTimer(self, 3); // due at the same instant, set later: never ticks
  });
  SetTimer(h, 1, 10);
  SetTimer(h, 2, 50);
  SetTimer(h, 3, 50);
  clock_.Advance(120);
  EXPECT_EQ(ticks_, (std::vector<Tick>{{1, 10}, {2, 50}, {2, 100}}));
  EXPECT_FALSE(KillTimer(h, 1));
  EXPECT_TRUE(KillTimer(h, 2));
  DestroyWindow(h);
}

TEST_F(TimerTest, SettingAgainRestartsAndDestroyingTheWindowKillsItsTimers) {
  Hwnd h = MakeTicker("Restarted");
  SetTimer(h, 7, 100);
  clock_.Advance(60);
  SetTimer(h, 7, 100); // due again 100 ms from now
  clock_.Advance(60);
  EXPECT_TRUE(ticks_.empty());
  clock_.Advance(40);
  EXPECT_EQ(ticks_, (std::vector<Tick>{{7, 160}}));

  EXPECT_EQ(SetTimer(h, 0, 10), 0u);
  EXPECT_EQ(SetTimer(0x7FFF0001u, 1, 10), 0u);
  SetTimer(h, 8, 10);
  DestroyWindow(h);
  clock_.Advance(100);
  EXPECT_EQ(ticks_.size(), 1u);
  EXPECT_FALSE(KillTimer(h, 8));
}

TEST_F(TimerTest, FiltersSeeTimerTicksAndMayConsumeThem) {
  Hwnd h = MakeTicker("FilteredTicks");
  int seen = 0;
  int filter = AddMessageFilter([&](Msg& msg) {
    if (msg.message != WM_TIMER)
      return false;
    ++seen;
    EXPECT_EQ(msg.hwnd, h);
    return msg.wParam == 2;
  });
  SetTimer(h, 1, 10);
  SetTimer(h, 2, 10);
  clock_.Advance(10);
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(ticks_, (std::vector<Tick>{{1, 10}}));
  RemoveMessageFilter(filter);
  DestroyWindow(h);
}

TEST_F(TimerTest, TimersOfAnotherThreadTickOnItsOwnLoop) {
  std::atomic<int> ticks{0};
  WindowThread other("OtherTicker", [&](Hwnd self, uint32_t message, WParam, LParam) -> LResult {
    if (message == WM_USER)
      return SetTimer(self, 5, 100);
    if (message == WM_TIMER)
      ++ticks;
    return 0;
  });
  ASSERT_EQ(SendMessage(other.Hwnd(), WM_USER), 5);
  clock_.Advance(100);
  EXPECT_TRUE(RunMessageLoopUntil([&] { return ticks.load() == 1; }, 5000));
}

TEST(RealTimerTest, TimersTickOnTheRealClock) {
  StartTestSession();
  int ticks = 0;
  RegisterFnClass("RealTicker", [&](Hwnd, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message == WM_TIMER && wParam == 3)
      ++ticks;
    return 0;
  });
  Hwnd h = MakeWindow("RealTicker");
  ASSERT_EQ(SetTimer(h, 3, 2), 3u);
  EXPECT_TRUE(RunMessageLoopUntil([&] { return ticks >= 3; }, 5000));
  DestroyWindow(h);
}

} // namespace
