// Send and post within one process: between threads, in order, by value,
// with time-outs, filters and the loop's end.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/tests/support/window_thread.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using namespace win;
using namespace wintest;

namespace {

constexpr uint32_t kPing = WM_USER + 10;    // answers lParam + 1
constexpr uint32_t kRelay = WM_USER + 11;   // sends kPing to wParam, answers its result
constexpr uint32_t kItem = WM_USER + 12;    // wParam sequence number
constexpr uint32_t kOther = WM_USER + 13;   // wParam sequence number
constexpr uint32_t kBlocked = WM_USER + 14; // waits until released

class MessageTest : public ::testing::Test {
protected:
  void SetUp() override { StartTestSession(); }
};

LResult Ping(Hwnd, uint32_t message, WParam wParam, LParam lParam) {
  if (message == kPing)
    return lParam + 1;
  if (message == kRelay)
    return SendMessageTimeout(static_cast<Hwnd>(wParam), kPing, 0, lParam, 10000).value_or(-1) * 10;
  return 0;
}

TEST_F(MessageTest, SendOnTheOwnThreadCallsTheProcedure) {
  RegisterFnClass("PingHere", Ping);
  Hwnd h = MakeWindow("PingHere");
  EXPECT_EQ(SendMessage(h, kPing, 0, 41), 42);
  EXPECT_EQ(SendMessageTimeout(h, kPing, 0, 1, 10), std::optional<LResult>(2));
  EXPECT_EQ(SendMessage(0, kPing, 0, 1), 0);
  DestroyWindow(h);
}

TEST_F(MessageTest, SendToAnotherThreadAnswersSendsMadeToTheWaiter) {
  RegisterFnClass("PingMain", Ping);
  Hwnd mine = MakeWindow("PingMain");
  WindowThread other("RelayThread", Ping);
  // The other thread's handler sends back to this thread's window while
  // this thread waits for it.
  EXPECT_EQ(SendMessageTimeout(other.Hwnd(), kRelay, mine, 4, 10000), std::optional<LResult>(50));
  EXPECT_EQ(SendMessage(other.Hwnd(), kPing, 0, 9), 10);
  DestroyWindow(mine);
}

TEST_F(MessageTest, ThreadsSendingToEachOtherAtOnceNeverDeadlock) {
  std::atomic<Hwnd> partner{0};
  std::atomic<int> partnerRight{-1};
  constexpr int kRounds = 1000;
  WindowThread b("MutualB", [&](Hwnd, uint32_t message, WParam, LParam lParam) -> LResult {
    if (message == kPing)
      return lParam + 1;
    if (message == WM_USER) { // start: send to the partner as it sends to us
      int right = 0;
      while (right < kRounds && SendMessageTimeout(partner, kPing, 0, right, 10000) ==
                                    std::optional<LResult>(right + 1))
        ++right;
      partnerRight = right;
      return 1;
    }
    return 0;
  });
  RegisterFnClass("MutualA", Ping);
  Hwnd a = MakeWindow("MutualA");
  partner = a;
  ASSERT_TRUE(PostMessage(b.Hwnd(), WM_USER));
  int right = 0;
  // Bounded, so that a deadlock fails the test instead of hanging it.
  while (right < kRounds &&
         SendMessageTimeout(b.Hwnd(), kPing, 0, right, 10000) == std::optional<LResult>(right + 1))
    ++right;
  EXPECT_EQ(right, kRounds);
  EXPECT_TRUE(RunMessageLoopUntil([&] { return partnerRight.load() >= 0; }, 20000));
  EXPECT_EQ(partnerRight.load(), kRounds);
  DestroyWindow(a);
}

TEST_F(MessageTest, PostsFromWorkerThreadsArriveInOrderNoneLost) {
  constexpr WParam kCount = 10000;
  std::vector<WParam> items, others;
  RegisterFnClass("Sink", [&](Hwnd, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message == kItem)
      items.push_back(wParam);
    if (message == kOther)
      others.push_back(wParam);
    return 0;
  });
  Hwnd sink = MakeWindow("Sink");
  std::atomic<int> refused{0};
  std::thread first([&] {
    for (WParam i = 0; i < kCount; ++i)
      refused += !PostMessage(sink, kItem, i);
  });
  std::thread second([&] {
    for (WParam i = 0; i < kCount / 10; ++i)
      refused += !PostMessage(sink, kOther, i);
  });
  ASSERT_TRUE(RunMessageLoopUntil(
      [&] { return items.size() == kCount && others.size() == kCount / 10; }, 30000));
  first.join();
  second.join();
  EXPECT_EQ(refused.load(), 0);
  for (WParam i = 0; i < kCount; ++i)
    ASSERT_EQ(items[i], i);
  for (WParam i = 0; i < kCount / 10; ++i)
    ASSERT_EQ(others[i], i);
  DestroyWindow(sink);
}

TEST_F(MessageTest, CopyDataArrivesByValueWithKindAndSender) {
  std::vector<uint8_t> got;
  uintptr_t kind = 0;
  WParam from = 0;
  WindowThread receiver("CopySink",
                        [&](Hwnd, uint32_t message, WParam wParam, LParam lParam) -> LResult {
                          if (message != WM_COPYDATA)
                            return 0;
                          const CopyData* copy = AsCopyData(lParam);
                          kind = copy->kind;
                          from = wParam;
                          auto* bytes = static_cast<const uint8_t*>(copy->data);
                          got.assign(bytes, bytes + copy->size);
                          return 1;
                        });
  RegisterFnClass("CopySender", nullptr);
  Hwnd me = MakeWindow("CopySender");
  std::vector<uint8_t> record(801);
  for (size_t i = 0; i < record.size(); ++i)
    record[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(SendCopyData(receiver.Hwnd(), me, 0x10300, record.data(), 801), 1);
  EXPECT_EQ(got, record);
  EXPECT_EQ(kind, 0x10300u);
  EXPECT_EQ(from, me);

  // Through SendMessage with a CopyData of the caller's, and an empty one.
  CopyData empty{0x10504, 0, nullptr};
  EXPECT_EQ(SendMessage(receiver.Hwnd(), WM_COPYDATA, me, reinterpret_cast<LParam>(&empty)), 1);
  EXPECT_TRUE(got.empty());
  EXPECT_EQ(kind, 0x10504u);

  EXPECT_EQ(SendCopyData(receiver.Hwnd(), me, 1, record.data(), kMaxCopyDataSize + 1), 0);
  EXPECT_EQ(SendCopyData(receiver.Hwnd(), me, 1, nullptr, 5), 0);
  EXPECT_FALSE(PostMessage(receiver.Hwnd(), WM_COPYDATA, me, reinterpret_cast<LParam>(&empty)));
  DestroyWindow(me);
}

TEST_F(MessageTest, SendTimeoutGivesUpAndTheLateAnswerIsDropped) {
  std::atomic<bool> release{false};
  std::atomic<bool> entered{false};
  WindowThread slow("Slow", [&](Hwnd, uint32_t message, WParam, LParam lParam) -> LResult {
    if (message == kBlocked) {
      entered = true;
      while (!release)
        std::this_thread::yield();
      return 1000;
    }
    return message == kPing ? lParam + 1 : 0;
  });
  EXPECT_EQ(SendMessageTimeout(slow.Hwnd(), kBlocked, 0, 0, 30), std::nullopt);
  EXPECT_TRUE(entered);
  release = true;
  EXPECT_EQ(SendMessage(slow.Hwnd(), kPing, 0, 5), 6);
}

TEST_F(MessageTest, WindowsOfAnEndedThreadAreGone) {
  Hwnd h = 0;
  RegisterFnClass("Orphan", Ping);
  std::thread t([&] { h = MakeWindow("Orphan"); });
  t.join();
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(SendMessage(h, kPing, 0, 1), 0);
  EXPECT_FALSE(PostMessage(h, kPing));
}

TEST_F(MessageTest, FiltersSeePostedMessagesBeforeDispatchButNeverSentOnes) {
  std::vector<uint32_t> dispatched, filtered;
  RegisterFnClass("Filtered", [&](Hwnd, uint32_t message, WParam, LParam) -> LResult {
    if (message >= WM_USER)
      dispatched.push_back(message);
    return 0;
  });
  Hwnd h = MakeWindow("Filtered");
  int eat = AddMessageFilter([&](Msg& msg) {
    filtered.push_back(msg.message);
    return msg.message == WM_USER + 1;
  });
  int change = AddMessageFilter([&](Msg& msg) {
    if (msg.message == WM_USER + 2)
      msg.message = WM_USER + 3; // later filters and the window see the change
    return false;
  });
  PostMessage(h, WM_USER + 1);
  PostMessage(h, WM_USER + 2);
  SendMessage(h, WM_USER + 4);
  ProcessPendingMessages();
  EXPECT_EQ(filtered, (std::vector<uint32_t>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(dispatched, (std::vector<uint32_t>{WM_USER + 4, WM_USER + 3}));

  EXPECT_TRUE(RemoveMessageFilter(eat));
  EXPECT_FALSE(RemoveMessageFilter(eat));
  EXPECT_TRUE(RemoveMessageFilter(change));
  dispatched.clear();
  PostMessage(h, WM_USER + 1);
  ProcessPendingMessages();
  EXPECT_EQ(dispatched, (std::vector<uint32_t>{WM_USER + 1}));
  DestroyWindow(h);
}

TEST_F(MessageTest, QuitEndsTheLoopAfterWhatWasPostedBefore) {
  std::vector<WParam> seen;
  RegisterFnClass("Quitting", [&](Hwnd, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message == kItem)
      seen.push_back(wParam);
    return 0;
  });
  Hwnd h = MakeWindow("Quitting");
  PostMessage(h, kItem, 1);
  PostMessage(h, kItem, 2);
  PostQuitMessage(5);
  PostMessage(h, kItem, 3);
  EXPECT_EQ(RunMessageLoop(), 5);
  EXPECT_EQ(seen, (std::vector<WParam>{1, 2}));
  ProcessPendingMessages();
  EXPECT_EQ(seen, (std::vector<WParam>{1, 2, 3}));
  DestroyWindow(h);
}

} // namespace

namespace {

TEST_F(MessageTest, NestedLoopInsideAHandlerKeepsDeliveringInOrder) {
  std::vector<WParam> seen;
  bool nestedDone = false;
  RegisterFnClass("Nesting", [&](Hwnd self, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message != kItem)
      return 0;
    seen.push_back(wParam);
    if (wParam == 0) {
      // As a modal dialog would: a loop of its own, fed by another thread.
      std::thread feeder([self] {
        for (WParam i = 2; i <= 4; ++i)
          PostMessage(self, kItem, i);
      });
      nestedDone = RunMessageLoopUntil([&] { return seen.size() == 4; }, 5000);
      feeder.join();
    }
    return 0;
  });
  Hwnd h = MakeWindow("Nesting");
  PostMessage(h, kItem, 0);
  PostMessage(h, kItem, 1);
  EXPECT_TRUE(RunMessageLoopUntil([&] { return seen.size() == 5; }, 5000));
  EXPECT_TRUE(nestedDone);
  EXPECT_EQ(seen, (std::vector<WParam>{0, 1, 2, 3, 4}));
  DestroyWindow(h);
}

} // namespace
