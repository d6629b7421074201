// Windows of other processes: finding them, sending, posting and WM_COPYDATA
// between real processes, and what is left when one of them is killed.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/child_process.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/peer_protocol.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace win;
using namespace wintest;

namespace {

constexpr int kStartMs = 10000; // bound on a child's start-up

class RemoteTest : public ::testing::Test {
protected:
  void SetUp() override { StartTestSession(); }

  // Starts a peer and returns the handles of its "ready" line.
  std::unique_ptr<ChildProcess> StartPeer(const std::vector<std::string>& args,
                                          std::vector<Hwnd>& handles, bool keepStdin = false) {
    auto child = ChildProcess::Start(HelperPath("win_peer"), args, keepStdin);
    if (!child)
      return nullptr;
    auto line = child->ReadLineStartingWith("ready", kStartMs);
    if (!line)
      return nullptr;
    handles = Handles(*line);
    return child;
  }

  static std::vector<Hwnd> Handles(const std::string& line) {
    std::vector<Hwnd> out;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
      if (word.size() == 8)
        out.push_back(static_cast<Hwnd>(std::stoul(word, nullptr, 16)));
    return out;
  }
};

TEST_F(RemoteTest, DisplayFindsTheHostsWindowsAndLinksItsFrame) {
  std::vector<Hwnd> host;
  auto a = StartPeer({"host"}, host);
  ASSERT_TRUE(a);
  ASSERT_EQ(host.size(), 3u);
  const Hwnd top = host[0], remote = host[1], tamblo = host[2];

  auto b = ChildProcess::Start(HelperPath("win_peer"), {"display"});
  ASSERT_TRUE(b);
  auto found = b->ReadLineStartingWith("found", kStartMs);
  ASSERT_TRUE(found);
  auto seen = Handles(*found);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], top);
  EXPECT_EQ(seen[1], remote);
  EXPECT_EQ(seen[2], tamblo);
  const Hwnd frame = seen[3];
  EXPECT_EQ(b->ReadLineStartingWith("result", kStartMs),
            std::optional<std::string>("result 1 played 1"));
  auto status = b->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

  // A saw B's own frame handle in lParam.
  auto linked = a->ReadLineStartingWith("linked", kStartMs);
  ASSERT_TRUE(linked);
  auto linkedHandles = Handles(*linked);
  ASSERT_EQ(linkedHandles.size(), 1u);
  EXPECT_EQ(linkedHandles[0], frame);
  EXPECT_EQ(*linked, std::string("linked ") + found->substr(found->rfind(' ') + 1) + " played 7");

  // From a third process, the same windows and what they are.
  EXPECT_EQ(FindWindow("VEXO3REMOTE", std::nullopt), top);
  EXPECT_EQ(FindWindowEx(top, "msg_tamblo", "message"), tamblo);
  EXPECT_EQ(FindWindow("MSG_TAMBLO", std::nullopt), 0u);
  EXPECT_EQ(GetWindowText(remote), std::optional<std::string>("MESSAGE"));
  EXPECT_EQ(GetClassName(remote), std::optional<std::string>("MSG_REMOTE"));
  EXPECT_EQ(GetParent(tamblo), top);
  EXPECT_EQ(GetWindowProcessId(top), static_cast<uint32_t>(a->Pid()));
  EXPECT_FALSE(IsWindow(frame)); // the display has ended

  ASSERT_TRUE(PostMessage(top, WM_CLOSE));
  status = a->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_FALSE(IsWindow(top));
}

TEST_F(RemoteTest, CopyDataOfOneMebibyteArrivesByteExact) {
  std::vector<uint8_t> echoed;
  uintptr_t echoedKind = 0;
  Hwnd echoedFrom = 0;
  RegisterFnClass("CopyBack", [&](Hwnd, uint32_t message, WParam wParam, LParam lParam) -> LResult {
    if (message != WM_COPYDATA)
      return 0;
    const CopyData* copy = AsCopyData(lParam);
    auto* bytes = static_cast<const uint8_t*>(copy->data);
    echoed.assign(bytes, bytes + copy->size);
    echoedKind = copy->kind;
    echoedFrom = static_cast<Hwnd>(wParam);
    return copy->size;
  });
  Hwnd me = MakeWindow("CopyBack");
  std::vector<uint8_t> data(1 << 20);
  uint32_t x = 0x12345678;
  for (auto& byte : data) {
    x = x * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(x >> 24);
  }
  // The peer's own loop, and the Qt one.
  for (const char* mode : {"--no-qt", "--qt"}) {
    std::vector<Hwnd> peer;
    auto child = StartPeer({"echo", "copy", mode}, peer);
    ASSERT_TRUE(child) << mode;
    echoed.clear();
    ASSERT_EQ(SendCopyDataTimeout(peer[0], me, 0x10800, data.data(),
                                  static_cast<uint32_t>(data.size()), 10000),
              std::optional<LResult>(data.size()))
        << mode;
    EXPECT_TRUE(echoed == data) << mode;
    EXPECT_EQ(echoedKind, 0x10801u);
    EXPECT_EQ(echoedFrom, peer[0]);
    // An empty record, as the album's notices are.
    EXPECT_EQ(SendCopyDataTimeout(peer[0], me, 0x10504, nullptr, 0, 10000),
              std::optional<LResult>(0))
        << mode;
    EXPECT_TRUE(echoed.empty());
    PostMessage(peer[0], WM_CLOSE);
    auto status = child->Wait(kStartMs);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << mode;
  }
  DestroyWindow(me);
}

TEST_F(RemoteTest, PostsFromAnotherProcessArriveInOrder) {
  constexpr WParam kCount = 10000;
  std::vector<WParam> items;
  bool ended = false;
  RegisterFnClass("FloodSink", [&](Hwnd, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message == kFloodItem)
      items.push_back(wParam);
    if (message == kFloodEnd)
      ended = true;
    return 0;
  });
  Hwnd me = MakeWindow("FloodSink");
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "flood"}, peer);
  ASSERT_TRUE(child);
  ASSERT_EQ(SendMessage(peer[0], kFlood, kCount, static_cast<LParam>(me)), 1);
  ASSERT_TRUE(RunMessageLoopUntil([&] { return ended; }, 30000));
  ASSERT_EQ(items.size(), kCount);
  for (WParam i = 0; i < kCount; ++i)
    ASSERT_EQ(items[i], i);
  PostMessage(peer[0], WM_CLOSE);
  EXPECT_TRUE(child->Wait(kStartMs));
  DestroyWindow(me);
}

// The steady clock in milliseconds, truncated as the receive time is.
uint32_t SteadyMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

TEST_F(RemoteTest, MessagesFromAnotherProcessCarryTheTimeTheyWereReadOffTheSocket) {
  constexpr uint32_t kLocalSend = WM_USER + 40;
  struct Seen {
    uint32_t received = 1; // 1: not handled yet
    uint32_t handledAt = 0;
  };
  Seen remote, local, posted;
  RegisterFnClass("ReceiveTime", [&](Hwnd, uint32_t message, WParam, LParam) -> LResult {
    Seen* seen = message == WM_COPYDATA  ? &remote
                 : message == kLocalSend ? &local
                 : message == kFloodItem ? &posted
                                         : nullptr;
    if (seen) {
      seen->received = CurrentMessageReceiveTimeMs();
      seen->handledAt = SteadyMs();
    }
    return 0;
  });
  Hwnd me = MakeWindow("ReceiveTime");
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "times"}, peer);
  ASSERT_TRUE(child);

  // The peer sends the record back to us while we wait for its answer.
  const uint32_t before = SteadyMs();
  const uint8_t byte = 1;
  ASSERT_TRUE(SendCopyDataTimeout(peer[0], me, 0x10800, &byte, 1, 10000));
  EXPECT_NE(remote.received, 0u);
  EXPECT_LE(before, remote.received);
  EXPECT_LE(remote.received, remote.handledAt);
  // Outside the handling, and for what comes from within the process.
  EXPECT_EQ(CurrentMessageReceiveTimeMs(), 0u);
  std::thread other([&] { SendMessage(me, kLocalSend); });
  ASSERT_TRUE(RunMessageLoopUntil([&] { return local.handledAt != 0; }, 10000));
  other.join();
  EXPECT_EQ(local.received, 0u);
  // Posted messages from the peer carry no receive time.
  ASSERT_TRUE(PostMessage(peer[0], kFlood, 1, static_cast<LParam>(me)));
  ASSERT_TRUE(RunMessageLoopUntil([&] { return posted.handledAt != 0; }, 10000));
  EXPECT_EQ(posted.received, 0u);

  PostMessage(peer[0], WM_CLOSE);
  EXPECT_TRUE(child->Wait(kStartMs));
  DestroyWindow(me);
}

TEST_F(RemoteTest, TwoProcessesSendingToEachOtherAtOnceNeverDeadlock) {
  constexpr int kRounds = 1000;
  int peerRight = -1;
  RegisterFnClass("StormSide",
                  [&](Hwnd, uint32_t message, WParam wParam, LParam lParam) -> LResult {
                    if (message == kPing)
                      return lParam + 1;
                    if (message == kStormDone)
                      peerRight = static_cast<int>(wParam);
                    return 0;
                  });
  Hwnd me = MakeWindow("StormSide");
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "storm"}, peer);
  ASSERT_TRUE(child);
  // The peer starts sending to us as soon as it takes this post, while we
  // send to it.
  ASSERT_TRUE(PostMessage(peer[0], kStorm, kRounds, static_cast<LParam>(me)));
  int right = 0;
  // Bounded, so that a deadlock fails the test instead of hanging it.
  while (right < kRounds &&
         SendMessageTimeout(peer[0], kPing, 0, right, 10000) == std::optional<LResult>(right + 1))
    ++right;
  EXPECT_EQ(right, kRounds);
  ASSERT_TRUE(RunMessageLoopUntil([&] { return peerRight >= 0; }, 30000));
  EXPECT_EQ(peerRight, kRounds);
  PostMessage(peer[0], WM_CLOSE);
  EXPECT_TRUE(child->Wait(kStartMs));
  DestroyWindow(me);
}

TEST_F(RemoteTest, KilledProcessWindowsAreGoneAndSendsToThemReturnAtOnce) {
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "Doomed"}, peer);
  ASSERT_TRUE(child);
  ASSERT_EQ(peer.size(), 2u);
  const Hwnd top = peer[0], inner = peer[1];
  EXPECT_EQ(FindWindow("EchoPeer", "Doomed"), top);
  EXPECT_EQ(FindWindowEx(top, "EchoChild", std::nullopt), inner);
  EXPECT_EQ(SendMessage(inner, kPing, 0, 1), 2);

  child->Kill();

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessage(top, kPing, 0, 1), 0);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(100));
  EXPECT_EQ(FindWindow("EchoPeer", "Doomed"), 0u);
  EXPECT_EQ(FindWindowEx(top, "EchoChild", std::nullopt), 0u);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(inner));
  EXPECT_FALSE(GetWindowText(top));
  EXPECT_EQ(SendMessageTimeout(inner, kPing, 0, 1, 1000), std::nullopt);

  // The search removed the dead process's socket from the session folder.
  std::string socket =
      std::string(std::getenv("VEXO_RUNTIME_DIR")) + "/win/" + std::to_string(top >> 15) + ".sock";
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket)));
}

TEST_F(RemoteTest, SendToAStuckProcessTimesOutAndEndsWhenItDies) {
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "stuck"}, peer, /*keepStdin=*/true);
  ASSERT_TRUE(child);
  auto stalled = std::async(std::launch::async, [&] { return SendMessage(peer[0], kStall); });
  ASSERT_TRUE(child->ReadLineStartingWith("stalled", kStartMs));
  // Its window thread is busy: a send with a time-out gives up, while its
  // windows can still be found and described.
  EXPECT_EQ(SendMessageTimeout(peer[1], kPing, 0, 1, 50), std::nullopt);
  EXPECT_TRUE(IsWindow(peer[0]));
  EXPECT_EQ(FindWindow("EchoPeer", "stuck"), peer[0]);

  child->Kill();
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(stalled.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(stalled.get(), 0);
}

// The state letter of a process in /proc ('T' once stopped).
char ProcessState(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? 0 : line[close + 2];
}

TEST_F(RemoteTest, SearchesNeverWaitForAStoppedProcessAndForgetItOnceKilled) {
  std::vector<Hwnd> older;
  auto first = StartPeer({"echo", "Frozen"}, older);
  ASSERT_TRUE(first);
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "Frozen"}, peer);
  ASSERT_TRUE(child);
  ASSERT_EQ(peer.size(), 2u);
  const Hwnd top = peer[0], inner = peer[1];
  // The older of two matching windows wins; once it is gone, the other.
  EXPECT_EQ(FindWindow("EchoPeer", "Frozen"), older[0]);
  ASSERT_TRUE(PostMessage(older[0], WM_CLOSE));
  ASSERT_TRUE(first->Wait(kStartMs));
  EXPECT_EQ(FindWindow("EchoPeer", "Frozen"), top);

  ASSERT_EQ(kill(child->Pid(), SIGSTOP), 0);
  for (int i = 0; i < 1000 && ProcessState(child->Pid()) != 'T'; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(ProcessState(child->Pid()), 'T');

  struct Row {
    const char* what;
    Hwnd parent;
    std::optional<std::string_view> className, title;
    Hwnd found;
  };
  const Row rows[] = {
      {"by class", 0, "EchoPeer", std::nullopt, top},
      {"by class and title", 0, "echopeer", "FROZEN", top},
      {"by title", 0, std::nullopt, "Frozen", top},
      {"child under its parent", top, "EchoChild", std::nullopt, inner},
      {"a class nobody has", 0, "NoSuchClass", std::nullopt, 0},
      {"a child at top level", 0, "EchoChild", std::nullopt, 0},
  };
  // Many times over, as a display polling for its host does: a stopped
  // process takes no connection, and a search needs none. Each search
  // should take well under a millisecond; the bounds leave room for a
  // loaded machine, far below a wait for the stopped process.
  std::vector<std::chrono::nanoseconds> took;
  for (int round = 0; round < 50; ++round) {
    for (const Row& r : rows) {
      auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(FindWindowEx(r.parent, r.className, r.title), r.found) << r.what;
      took.push_back(std::chrono::steady_clock::now() - start);
    }
  }
  std::sort(took.begin(), took.end());
  const auto median = took[took.size() / 2], worst = took.back();
  EXPECT_LT(median, std::chrono::milliseconds(20));
  EXPECT_LT(worst, std::chrono::milliseconds(250));
  std::printf("search past a stopped process: median %.3f ms, worst %.3f ms of %zu\n",
              median.count() / 1e6, worst.count() / 1e6, took.size());

  child->Kill();
  for (const Row& r : rows)
    EXPECT_EQ(FindWindowEx(r.parent, r.className, r.title), 0u) << r.what;
  // The search removed what the killed process left in the session folder.
  const std::string dir = std::string(std::getenv("VEXO_RUNTIME_DIR")) + "/win/";
  EXPECT_FALSE(std::filesystem::exists(
      std::filesystem::symlink_status(dir + std::to_string(top >> 15) + ".sock")));
  for (const auto& e : std::filesystem::directory_iterator(dir))
    EXPECT_FALSE(e.path().filename().string().starts_with(std::to_string(child->Pid()) + "."))
        << e.path();
}

TEST_F(RemoteTest, PostsToAStoppedProcessGiveUpInsteadOfBlocking) {
  std::vector<Hwnd> peer;
  auto child = StartPeer({"echo", "Paused"}, peer);
  ASSERT_TRUE(child);
  ASSERT_EQ(kill(child->Pid(), SIGSTOP), 0);
  for (int i = 0; i < 1000 && ProcessState(child->Pid()) != 'T'; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(ProcessState(child->Pid()), 'T');

  // Far more than its socket holds: once it is full, one post waits its
  // bounded while, and the rest fail at once. Run aside, so that a post that
  // blocks fails the test instead of hanging it (the kill below frees it).
  constexpr int kPosts = 20000;
  auto posting = std::async(std::launch::async, [&] {
    int refused = 0;
    for (int i = 0; i < kPosts; ++i)
      if (!PostMessage(peer[0], kPing, 0, i))
        ++refused;
    return refused;
  });
  const bool done = posting.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(done) << "posts to a stopped process blocked";
  if (!done) {
    child->Kill();
    posting.wait();
    return;
  }
  EXPECT_GT(posting.get(), 0);
  // Questions about its windows still answer without it.
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(IsWindow(peer[0]));
  EXPECT_EQ(GetClassName(peer[0]), std::optional<std::string>("EchoPeer"));
  EXPECT_EQ(GetWindowText(peer[0]), std::optional<std::string>("Paused"));
  EXPECT_EQ(GetParent(peer[1]), peer[0]);
  EXPECT_EQ(GetWindowProcessId(peer[0]), static_cast<uint32_t>(child->Pid()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

  // Running again, it reads what waited, and takes posts and sends again.
  ASSERT_EQ(kill(child->Pid(), SIGCONT), 0);
  EXPECT_TRUE(RunMessageLoopUntil([&] { return PostMessage(peer[0], kPing, 0, 0); }, 10000));
  EXPECT_EQ(SendMessageTimeout(peer[0], kPing, 0, 41, 10000), std::optional<LResult>(42));
  PostMessage(peer[0], WM_CLOSE);
  EXPECT_TRUE(child->Wait(kStartMs));
}

} // namespace
