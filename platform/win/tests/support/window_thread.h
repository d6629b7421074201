// A thread that owns one window of the given class and runs its loop until
// the window is closed.
#pragma once

#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"

#include <future>
#include <thread>

namespace wintest {

class WindowThread {
public:
  // fn handles the window's messages on the thread; the class is registered
  // here under className.
  WindowThread(const std::string& className, WindowFn fn) {
    RegisterFnClass(className, [fn](win::Hwnd h, uint32_t m, win::WParam w, win::LParam l) {
      if (m == win::WM_DESTROY)
        win::PostQuitMessage(0);
      return fn ? fn(h, m, w, l) : 0;
    });
    std::promise<win::Hwnd> made;
    auto ready = made.get_future();
    thread_ = std::thread([&made, className] {
      win::Hwnd h = MakeWindow(className, className);
      made.set_value(h);
      if (h)
        win::RunMessageLoop();
    });
    hwnd_ = ready.get();
  }
  ~WindowThread() {
    win::PostMessage(hwnd_, win::WM_CLOSE);
    thread_.join();
  }
  win::Hwnd Hwnd() const { return hwnd_; }

private:
  std::thread thread_;
  win::Hwnd hwnd_ = 0;
};

} // namespace wintest
