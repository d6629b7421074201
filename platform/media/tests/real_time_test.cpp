#include "platform/media/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using media::RealTime;
using namespace std::chrono_literals;

// Polls a condition until it holds or the bound has passed.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds bound = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(200us);
  }
  return true;
}

constexpr int64_t kMs = 1'000'000;

TEST(RealTime, CallbacksFollowAnAbsoluteSchedule) {
  std::mutex mutex;
  std::vector<int64_t> dues;
  std::vector<int64_t> calledAt;
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> otherThread{true};
  const int64_t before = media::MonotonicNs();
  const uint32_t id = RealTime().SetPeriodicEvent(5, 5, [&] {
    const int64_t now = media::MonotonicNs();
    if (std::this_thread::get_id() == caller)
      otherThread = false;
    std::lock_guard lock(mutex);
    dues.push_back(media::CallbackDueNs());
    calledAt.push_back(now);
  });
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return dues.size() >= 20;
  }));
  ASSERT_TRUE(RealTime().KillEvent(id));
  EXPECT_TRUE(otherThread);
  EXPECT_EQ(media::CallbackDueNs(), 0) << "outside a callback there is no due time";
  std::lock_guard lock(mutex);
  // Callback k is due exactly k periods after the start, never before it.
  EXPECT_GE(dues[0], before + 5 * kMs);
  EXPECT_LT(dues[0], before + 6 * kMs);
  for (size_t k = 0; k < dues.size(); ++k) {
    EXPECT_GE(calledAt[k], dues[k]) << "callback " << k << " ran early";
    if (k > 0) {
      EXPECT_EQ(dues[k] - dues[k - 1], 5 * kMs) << "callback " << k;
    }
  }
}

TEST(RealTime, ASlowCallbackLosesNoTick) {
  // One callback overruns by several periods; the following ones catch up,
  // so the count of ticks keeps up with the clock.
  std::mutex mutex;
  std::vector<int64_t> dues;
  const uint32_t id = RealTime().SetPeriodicEvent(2, 1, [&] {
    size_t n;
    {
      std::lock_guard lock(mutex);
      dues.push_back(media::CallbackDueNs());
      n = dues.size();
    }
    if (n == 3) {
      const int64_t until = media::MonotonicNs() + 9 * kMs;
      while (media::MonotonicNs() < until) {
      }
    }
  });
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return dues.size() >= 12;
  }));
  ASSERT_TRUE(RealTime().KillEvent(id));
  std::lock_guard lock(mutex);
  for (size_t k = 1; k < dues.size(); ++k)
    EXPECT_EQ(dues[k] - dues[k - 1], 2 * kMs) << "tick " << k << " was dropped";
}

TEST(RealTime, KillFromInsideItsCallbackEndsItAtOnce) {
  std::atomic<int> calls{0};
  std::atomic<int> witnessCalls{0};
  std::atomic<bool> killResult{false};
  std::atomic<uint32_t> id{0};
  auto sentinel = std::make_shared<int>(1);
  std::weak_ptr<int> watch = sentinel;
  const int64_t start = media::MonotonicNs();
  std::atomic<int64_t> killReturnedAfter{-1};
  id = RealTime().SetPeriodicEvent(3, 1, [&, sentinel] {
    if (++calls != 3)
      return;
    // A late-started thread can catch up three ticks before the id is stored.
    while (id == 0)
      std::this_thread::yield();
    killResult = RealTime().KillEvent(id);
    killReturnedAfter = media::MonotonicNs() - start;
  });
  ASSERT_NE(id.load(), 0u);
  sentinel.reset();
  ASSERT_TRUE(WaitFor([&] { return calls >= 3 && killReturnedAfter >= 0; }));
  EXPECT_TRUE(killResult);
  EXPECT_EQ(RealTime().LiveEvents(), 0);
  // A witness event ticks on; the killed one must stay silent meanwhile.
  const uint32_t witness = RealTime().SetPeriodicEvent(3, 1, [&] { ++witnessCalls; });
  ASSERT_NE(witness, 0u);
  ASSERT_TRUE(WaitFor([&] { return witnessCalls >= 10; }));
  EXPECT_TRUE(RealTime().KillEvent(witness));
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(RealTime().KillEvent(id)) << "a killed event is unknown";
  // The callback and what it captured are released once it has returned.
  EXPECT_TRUE(WaitFor([&] { return watch.expired(); }));
}

TEST(RealTime, KillFromAnotherThreadWaitsForTheCallbackInProgress) {
  std::atomic<int> calls{0};
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> sawKillerWaiting{false};
  uint32_t id = RealTime().SetPeriodicEvent(2, 1, [&] {
    if (++calls != 1)
      return;
    entered = true;
    // Stay inside until the killer is past the point of no return: the event
    // has left the live list, so the killer is now waiting for us.
    sawKillerWaiting = WaitFor([] { return RealTime().LiveEvents() == 0; });
    finished = true;
  });
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
  bool killed = false;
  bool finishedWhenKillReturned = false;
  std::thread killer([&] {
    killed = RealTime().KillEvent(id);
    finishedWhenKillReturned = finished;
  });
  killer.join();
  EXPECT_TRUE(killed);
  EXPECT_TRUE(sawKillerWaiting);
  EXPECT_TRUE(finishedWhenKillReturned) << "the kill returned while the callback still ran";
  EXPECT_EQ(calls, 1);
}

TEST(RealTime, EventsRunIndependentlyAndAreCreatedAndKilledFromCallbacks) {
  // A parent event creates and kills child events from its own callback; the
  // children tick on their own threads meanwhile.
  std::atomic<int> childCalls{0};
  std::atomic<int> rounds{0};
  std::mutex mutex;
  std::vector<uint32_t> children;
  const uint32_t parent = RealTime().SetPeriodicEvent(2, 1, [&] {
    std::lock_guard lock(mutex);
    if (rounds >= 20)
      return;
    if (!children.empty()) {
      EXPECT_TRUE(RealTime().KillEvent(children.back()));
      children.pop_back();
    }
    const uint32_t child = RealTime().SetPeriodicEvent(1, 1, [&] { ++childCalls; });
    EXPECT_NE(child, 0u);
    children.push_back(child);
    ++rounds;
  });
  ASSERT_NE(parent, 0u);
  ASSERT_TRUE(WaitFor([&] { return rounds >= 20 && childCalls >= 5; }));
  EXPECT_TRUE(RealTime().KillEvent(parent));
  std::lock_guard lock(mutex);
  for (uint32_t child : children)
    EXPECT_TRUE(RealTime().KillEvent(child));
  EXPECT_EQ(RealTime().LiveEvents(), 0);
}

TEST(RealTime, RefusesWhatItCannotMake) {
  struct Case {
    uint32_t periodMs;
    bool withCallback;
  };
  const Case cases[] = {{0, true}, {10, false}, {2'000'000, true}};
  for (const Case& c : cases) {
    media::TimerCallback callback;
    if (c.withCallback)
      callback = [] {};
    EXPECT_EQ(RealTime().SetPeriodicEvent(c.periodMs, 1, callback), 0u) << c.periodMs;
  }
  EXPECT_FALSE(RealTime().KillEvent(0));
  EXPECT_FALSE(RealTime().KillEvent(123456));
  EXPECT_EQ(RealTime().LiveEvents(), 0);
}

TEST(RealTime, KillOfALongPeriodEventDoesNotWaitForItsNextTick) {
  const uint32_t id = RealTime().SetPeriodicEvent(600'000, 1, [] {});
  ASSERT_NE(id, 0u);
  EXPECT_EQ(RealTime().LiveEvents(), 1);
  EXPECT_TRUE(RealTime().KillEvent(id));
  EXPECT_EQ(RealTime().LiveEvents(), 0);
}

TEST(RealTime, MillisecondClockFollowsTheMonotonicClock) {
  const uint32_t a = RealTime().NowMs();
  const int64_t ns = media::MonotonicNs();
  RealTime().Delay(3);
  const uint32_t b = RealTime().NowMs();
  EXPECT_GE(b - a, 3u);
  EXPECT_GE(media::MonotonicNs() - ns, 2 * kMs);
  EXPECT_EQ(media::Time().NowMs() - b < 1000u, true) << "the real source is installed";
}

} // namespace
