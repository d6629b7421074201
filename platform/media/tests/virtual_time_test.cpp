#include "platform/media/virtual_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using media::VirtualTime;

TEST(VirtualTime, EventsRunAtTheirDueTimesInOrder) {
  VirtualTime time(1000);
  std::vector<std::string> log;
  time.SetPeriodicEvent(10, 10, [&] { log.push_back("a@" + std::to_string(time.NowMs())); });
  time.SetPeriodicEvent(15, 1, [&] { log.push_back("b@" + std::to_string(time.NowMs())); });
  time.Advance(30);
  // Due together at 1030: the older event runs first.
  const std::vector<std::string> want = {"a@1010", "b@1015", "a@1020", "a@1030", "b@1030"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(time.NowMs(), 1030u);
}

TEST(VirtualTime, NothingRunsBeforeItsDueTime) {
  VirtualTime time;
  int calls = 0;
  time.SetPeriodicEvent(10, 10, [&] { ++calls; });
  time.Advance(9);
  EXPECT_EQ(calls, 0);
  time.Advance(1);
  EXPECT_EQ(calls, 1);
}

TEST(VirtualTime, KillFromInsideItsCallbackStopsIt) {
  VirtualTime time;
  int calls = 0;
  uint32_t id = 0;
  id = time.SetPeriodicEvent(5, 5, [&] {
    if (++calls == 3) {
      EXPECT_TRUE(time.KillEvent(id));
    }
  });
  time.Advance(100);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(time.LiveEvents(), 0);
  EXPECT_FALSE(time.KillEvent(id));
}

TEST(VirtualTime, EventCreatedInACallbackStartsFromThatMoment) {
  VirtualTime time;
  std::vector<uint32_t> seen;
  uint32_t first = 0;
  first = time.SetPeriodicEvent(10, 10, [&] {
    time.KillEvent(first);
    time.SetPeriodicEvent(7, 7, [&] { seen.push_back(time.NowMs()); });
  });
  time.Advance(30);
  EXPECT_EQ(seen, (std::vector<uint32_t>{17, 24}));
  EXPECT_EQ(time.MaxLiveEvents(), 1); // the old one was killed before the new one was made
}

TEST(VirtualTime, DelayMovesTheClockAndLateEventsCatchUp) {
  VirtualTime time;
  std::vector<uint32_t> seen;
  time.SetPeriodicEvent(10, 10, [&] { seen.push_back(time.NowMs()); });
  time.Delay(25);
  EXPECT_EQ(time.NowMs(), 25u);
  EXPECT_TRUE(seen.empty());
  time.Advance(0);
  EXPECT_EQ(seen, (std::vector<uint32_t>{25, 25}));
  time.Advance(5);
  EXPECT_EQ(seen.back(), 30u);
}

TEST(VirtualTime, CountsPeriodsAndRefusesAZeroPeriod) {
  VirtualTime time;
  EXPECT_EQ(time.SetPeriodicEvent(0, 0, [] {}), 0u);
  EXPECT_TRUE(time.BeginPeriod(10));
  EXPECT_EQ(time.OpenPeriods(), 1);
  EXPECT_TRUE(time.EndPeriod(10));
  EXPECT_EQ(time.OpenPeriods(), 0);
  EXPECT_FALSE(time.RunNextEvent());
}

TEST(VirtualTime, InstalledSourceIsTheProcessClock) {
  VirtualTime time(4242);
  media::InstallTimeSource(&time);
  EXPECT_EQ(media::NowMs(), 4242u);
  media::InstallTimeSource(nullptr);
  EXPECT_EQ(&media::Time(), &media::RealTime());
}

} // namespace
