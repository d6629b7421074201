// Window-message costs: the round trip of a send to a window of another
// process, and how many posts per second reach a window from a thread of the
// same process and from another process. Runs a copy of itself as the other
// process, both on a private runtime folder.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace win;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kPing = WM_USER + 1;      // answers lParam + 1
constexpr uint32_t kItem = WM_USER + 2;      // counted
constexpr uint32_t kItemsEnd = WM_USER + 3;  // wParam: window to tell
constexpr uint32_t kItemsDone = WM_USER + 4; // wParam: items counted

constexpr int kWarmUp = 2000;
constexpr int kSends = 50000;
constexpr int kLocalPosts = 1000000;
constexpr int kRemotePosts = 500000;

class Counter : public Window {
public:
  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override {
    switch (message) {
    case kPing:
      return lParam + 1;
    case kItem:
      ++items;
      return 0;
    case kItemsEnd:
      PostMessage(static_cast<Hwnd>(wParam), kItemsDone, items);
      items = 0;
      return 0;
    case kItemsDone:
      done = static_cast<int64_t>(wParam);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return Window::WindowProc(message, wParam, lParam);
    }
  }
  uint64_t items = 0;
  int64_t done = -1;
};

Hwnd MakeCounter() {
  RegisterClass({"BenchCounter", 0, [] { return std::make_unique<Counter>(); }});
  CreateParams p;
  p.className = "BenchCounter";
  return CreateWindow(p);
}

int RunPeer() {
  Hwnd h = MakeCounter();
  if (!h)
    return 2;
  std::printf("ready %u\n", h);
  std::fflush(stdout);
  return RunMessageLoop();
}

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

struct Peer {
  pid_t pid = -1;
  Hwnd hwnd = 0;
};

Peer StartPeer() {
  Peer peer;
  int out[2];
  if (pipe(out) != 0)
    return peer;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  char self[] = "/proc/self/exe";
  char role[] = "--peer";
  char* argv[] = {self, role, nullptr};
  int rc = posix_spawn(&peer.pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    peer.pid = -1;
    return peer;
  }
  std::string line;
  char c;
  pollfd p{out[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
    line += c;
  close(out[0]);
  unsigned value = 0;
  if (std::sscanf(line.c_str(), "ready %u", &value) == 1)
    peer.hwnd = value;
  return peer;
}

} // namespace

int main(int argc, char** argv) {
  bool peerRole = argc > 1 && std::string(argv[1]) == "--peer";
  std::string folder;
  if (!peerRole) {
    char pattern[] = "/tmp/bench-messages-XXXXXX";
    if (!mkdtemp(pattern)) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
    setenv("VEXO_RUNTIME_DIR", folder.c_str(), 1);
  }
  QCoreApplication app(argc, argv);
  if (peerRole)
    return RunPeer();

  Hwnd mine = MakeCounter();
  Peer peer = StartPeer();
  if (!mine || !peer.hwnd) {
    std::fprintf(stderr, "bench-messages: the peer process did not start\n");
    return 1;
  }
  auto* counter = static_cast<Counter*>(GetWindowObject(mine));

  // Cross-process send round trips.
  for (int i = 0; i < kWarmUp; ++i)
    SendMessage(peer.hwnd, kPing, 0, i);
  std::vector<double> trips;
  trips.reserve(kSends);
  int wrong = 0;
  for (int i = 0; i < kSends; ++i) {
    auto start = Clock::now();
    LResult r = SendMessage(peer.hwnd, kPing, 0, i);
    trips.push_back(Micros(Clock::now() - start));
    wrong += r != i + 1;
  }
  std::sort(trips.begin(), trips.end());
  double median = trips[trips.size() / 2];
  double p99 = trips[trips.size() * 99 / 100];

  // Posts within the process, from a worker thread to this thread's window.
  auto localStart = Clock::now();
  std::thread worker([mine] {
    for (int i = 0; i < kLocalPosts; ++i)
      PostMessage(mine, kItem, i);
  });
  RunMessageLoopUntil([&] { return counter->items >= kLocalPosts; }, 50000);
  double localSeconds = std::chrono::duration<double>(Clock::now() - localStart).count();
  worker.join();
  bool localAll = counter->items == kLocalPosts;

  // Posts to the other process, counted there.
  auto remoteStart = Clock::now();
  for (int i = 0; i < kRemotePosts; ++i)
    PostMessage(peer.hwnd, kItem, i);
  PostMessage(peer.hwnd, kItemsEnd, mine);
  RunMessageLoopUntil([&] { return counter->done >= 0; }, 50000);
  double remoteSeconds = std::chrono::duration<double>(Clock::now() - remoteStart).count();
  bool remoteAll = counter->done == kRemotePosts;

  PostMessage(peer.hwnd, WM_CLOSE);
  int status = 0;
  waitpid(peer.pid, &status, 0);
  DestroyWindow(mine);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);

  if (wrong || !localAll || !remoteAll) {
    std::fprintf(stderr, "bench-messages: wrong answers %d, local posts %s, remote posts %s\n",
                 wrong, localAll ? "complete" : "lost", remoteAll ? "complete" : "lost");
    return 1;
  }
  std::printf("cross_process_sends: %d sends\n", kSends);
  std::printf("cross_process_send_median: %.1f us\n", median);
  std::printf("cross_process_send_p99: %.1f us\n", p99);
  std::printf("in_process_posts_per_second: %.0f posts/s\n", kLocalPosts / localSeconds);
  std::printf("cross_process_posts_per_second: %.0f posts/s\n", kRemotePosts / remoteSeconds);
  return 0;
}
