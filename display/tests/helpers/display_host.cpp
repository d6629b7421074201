// A stand-in host for the display tests: the "VEXO3REMOTE" window with its
// "MSG_REMOTE" and "MSG_TAMBLO" children, each titled "MESSAGE". It prints
// "ready <top> <remote> <tamblo>" once they exist, then one line per message
// they receive:
//   <window> user <code> <lParam hex> <ms since ready>     (WM_USER)
//   <window> copydata <kind hex> <size> <text up to NUL>   (WM_COPYDATA)
//   <window> key <key> <lParam hex>                        (WM_KEYDOWN)
// where <window> is "remote" or "tamblo". It ends when its standard input
// closes.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

using namespace win;

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point readyAt;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llx", static_cast<unsigned long long>(v));
  return buf;
}

class Recorder : public Window {
public:
  explicit Recorder(std::string name) : name_(std::move(name)) {}
  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override {
    switch (message) {
    case WM_USER: {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - readyAt);
      Say(name_ + " user " + std::to_string(wParam) + " " + Hex(static_cast<uint32_t>(lParam)) +
          " " + std::to_string(ms.count()));
      return 0;
    }
    case WM_COPYDATA: {
      const CopyData* copy = AsCopyData(lParam);
      std::string text(static_cast<const char*>(copy->data), copy->size);
      text = text.substr(0, text.find('\0'));
      Say(name_ + " copydata " + Hex(copy->kind) + " " + std::to_string(copy->size) + " " + text);
      return 0;
    }
    case WM_KEYDOWN:
      Say(name_ + " key " + std::to_string(wParam) + " " + Hex(static_cast<uint32_t>(lParam)));
      return 0;
    default:
      return Window::WindowProc(message, wParam, lParam);
    }
  }

private:
  std::string name_;
};

Hwnd Make(const std::string& cls, const std::string& title, Hwnd parent, Window* object) {
  RegisterClass({cls, 0, [] { return std::make_unique<Window>(); }});
  CreateParams p;
  p.className = cls;
  p.title = title;
  p.parent = parent;
  p.style = parent ? WS_CHILD : WS_POPUP;
  p.object = object;
  return CreateWindow(p);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Window topObject;
  Recorder remoteObject("remote"), tamboObject("tamblo");
  Hwnd top = Make("VEXO3REMOTE", "Vexo3 host", 0, &topObject);
  Hwnd remote = Make("MSG_REMOTE", "MESSAGE", top, &remoteObject);
  Hwnd tamblo = Make("MSG_TAMBLO", "MESSAGE", top, &tamboObject);
  if (!top || !remote || !tamblo)
    return 2;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buf[256];
    if (read(STDIN_FILENO, buf, sizeof buf) <= 0) {
      input.setEnabled(false);
      PostQuitMessage(0);
    }
  });
  readyAt = Clock::now();
  Say("ready " + Hex(top) + " " + Hex(remote) + " " + Hex(tamblo));
  int status = RunMessageLoop();
  DestroyWindow(top);
  return status;
}
