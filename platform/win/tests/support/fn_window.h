// A window whose procedure is a function, and a short way to make one.
#pragma once

#include "platform/win/window.h"

#include <functional>
#include <memory>
#include <string>

namespace wintest {

using WindowFn = std::function<win::LResult(win::Hwnd, uint32_t, win::WParam, win::LParam)>;

class FnWindow : public win::Window {
public:
  explicit FnWindow(WindowFn fn) : fn_(std::move(fn)) {}
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (fn_)
      if (win::LResult r = fn_(GetHwnd(), message, wParam, lParam))
        return r;
    return Window::WindowProc(message, wParam, lParam);
  }

private:
  WindowFn fn_;
};

// Registers a class whose windows run fn (0 from fn means default handling).
inline bool RegisterFnClass(const std::string& name, WindowFn fn) {
  return win::RegisterClass({name, 0, [fn] { return std::make_unique<FnWindow>(fn); }});
}

inline win::Hwnd MakeWindow(const std::string& cls, const std::string& title = {},
                            win::Hwnd parent = 0) {
  win::CreateParams p;
  p.className = cls;
  p.title = title;
  p.parent = parent;
  return win::CreateWindow(p);
}

} // namespace wintest
