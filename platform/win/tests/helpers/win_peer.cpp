// A process that the window tests talk to. Roles:
//   host               the host's "VEXO3REMOTE" window with its "MSG_REMOTE"
//                      and "MSG_TAMBLO" children; answers LinkDisplay
//   display            finds the host's windows, links its "VEXO3LYRIC" frame
//                      and prints what it got; exits 0 when all went right
//   echo TITLE [--no-qt]  an "EchoPeer" window (and an "EchoChild" under it)
//                      that answers the commands below
// Every role prints "ready ..." once its windows exist and runs until its
// window gets WM_CLOSE.
#include "platform/win/tests/support/child_process.h"
#include "platform/win/tests/support/peer_protocol.h"

#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace win;
using namespace wintest;

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Hex(Hwnd h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

// A window whose procedure is a function.
class FnWindow : public Window {
public:
  using Fn = std::function<LResult(Hwnd, uint32_t, WParam, LParam)>;
  explicit FnWindow(Fn fn) : fn_(std::move(fn)) {}
  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == WM_DESTROY && GetParent(GetHwnd()) == 0)
      PostQuitMessage(0);
    if (auto r = fn_(GetHwnd(), message, wParam, lParam))
      return r;
    return Window::WindowProc(message, wParam, lParam);
  }

private:
  Fn fn_;
};

void Register(const std::string& name, FnWindow::Fn fn) {
  RegisterClass({name, 0, [fn] { return std::make_unique<FnWindow>(fn); }});
}

Hwnd Make(const std::string& cls, const std::string& title, Hwnd parent) {
  CreateParams p;
  p.className = cls;
  p.title = title;
  p.parent = parent;
  p.style = parent ? WS_CHILD : WS_POPUP;
  return CreateWindow(p);
}

int RunHost() {
  Register("VEXO3REMOTE", [](Hwnd, uint32_t, WParam, LParam) -> LResult { return 0; });
  Register("MSG_REMOTE", [](Hwnd, uint32_t, WParam, LParam) -> LResult { return 0; });
  Register("MSG_TAMBLO", [](Hwnd, uint32_t message, WParam wParam, LParam lParam) -> LResult {
    if (message != WM_USER || wParam != kLinkDisplay)
      return 0;
    auto frame = static_cast<Hwnd>(lParam);
    bool isFrame =
        IsWindow(frame) && GetClassName(frame) == std::optional<std::string>("VEXO3LYRIC");
    // Answer the display on its own frame while it still waits for us.
    LResult played = isFrame ? SendMessage(frame, WM_USER, kPlayStarted, 0) : 0;
    Say("linked " + Hex(frame) + " played " + std::to_string(played));
    return isFrame && played == kPlayStartedAck ? kLinkAccepted : 0;
  });
  Hwnd top = Make("VEXO3REMOTE", "Vexo3 host", 0);
  Hwnd remote = Make("MSG_REMOTE", "MESSAGE", top);
  Hwnd tamblo = Make("MSG_TAMBLO", "MESSAGE", top);
  if (!top || !remote || !tamblo)
    return 2;
  Say("ready " + Hex(top) + " " + Hex(remote) + " " + Hex(tamblo));
  return RunMessageLoop();
}

int RunDisplay() {
  bool played = false;
  Register("VEXO3LYRIC", [&](Hwnd, uint32_t message, WParam wParam, LParam) -> LResult {
    if (message == WM_USER && wParam == kPlayStarted) {
      played = true;
      return kPlayStartedAck;
    }
    return 0;
  });
  Hwnd top = FindWindow("VEXO3REMOTE", std::nullopt);
  Hwnd remote = FindWindowEx(top, "MSG_REMOTE", "MESSAGE");
  Hwnd tamblo = FindWindowEx(top, "MSG_TAMBLO", "MESSAGE");
  Hwnd frame = Make("VEXO3LYRIC", "Kivo32", 0);
  Say("found " + Hex(top) + " " + Hex(remote) + " " + Hex(tamblo) + " frame " + Hex(frame));
  if (!top || !remote || !tamblo || !frame)
    return 1;
  LResult result = SendMessage(tamblo, WM_USER, kLinkDisplay, static_cast<LParam>(frame));
  Say("result " + std::to_string(result) + " played " + std::to_string(played ? 1 : 0));
  DestroyWindow(frame);
  return result == kLinkAccepted && played ? 0 : 1;
}

int RunEcho(const std::string& title) {
  std::vector<std::thread> workers;
  Register("EchoPeer", [&](Hwnd self, uint32_t message, WParam wParam, LParam lParam) -> LResult {
    switch (message) {
    case kPing:
      return lParam + 1;
    case WM_COPYDATA: {
      const CopyData* copy = AsCopyData(lParam);
      // Back to the sender while it still waits for this answer.
      auto from = static_cast<Hwnd>(wParam);
      LResult back = SendCopyData(from, self, copy->kind + 1, copy->data, copy->size);
      return back == static_cast<LResult>(copy->size) ? copy->size : -1;
    }
    case kFlood: {
      auto target = static_cast<Hwnd>(lParam);
      auto count = static_cast<uint32_t>(wParam);
      workers.emplace_back([target, count] {
        for (uint32_t i = 0; i < count; ++i)
          PostMessage(target, kFloodItem, i, 0);
        PostMessage(target, kFloodEnd, count, 0);
      });
      return 1;
    }
    case kStorm: {
      auto target = static_cast<Hwnd>(lParam);
      auto count = static_cast<int>(wParam);
      int right = 0;
      for (int i = 0; i < count; ++i)
        if (SendMessage(target, kPing, 0, i) == i + 1)
          ++right;
      PostMessage(target, kStormDone, static_cast<WParam>(right), 0);
      return 1;
    }
    case kStall: {
      Say("stalled");
      char c;
      while (read(0, &c, 1) > 0) {
      }
      return 1;
    }
    default:
      return 0;
    }
  });
  Register("EchoChild", [](Hwnd, uint32_t message, WParam, LParam lParam) -> LResult {
    return message == kPing ? lParam + 1 : 0;
  });
  Hwnd top = Make("EchoPeer", title, 0);
  Hwnd child = Make("EchoChild", "child", top);
  if (!top || !child)
    return 2;
  Say("ready " + Hex(top) + " " + Hex(child));
  int code = RunMessageLoop();
  for (auto& w : workers)
    w.join();
  return code;
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool noQt = std::find(args.begin(), args.end(), "--no-qt") != args.end();
  std::unique_ptr<QCoreApplication> app;
  if (!noQt)
    app = std::make_unique<QCoreApplication>(argc, argv);
  if (args.empty())
    return 2;
  if (args[0] == "host")
    return RunHost();
  if (args[0] == "display")
    return RunDisplay();
  if (args[0] == "echo" && args.size() >= 2)
    return RunEcho(args[1]);
  return 2;
}
