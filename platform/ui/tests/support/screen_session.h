// What every screen-window test needs: a private runtime folder for the
// session's windows, a QApplication for the test's lifetime, window objects
// that log their messages, and bounded waits on the message loop.
#pragma once

#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/internal.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace uitest {

using ui::Hwnd;
using ui::LParam;
using ui::LResult;
using ui::WParam;

inline void StartRuntime() {
  static const bool ready = [] {
    char pattern[] = "/tmp/vexo-ui-XXXXXX";
    if (char* dir = mkdtemp(pattern)) {
      static std::string path = dir;
      setenv("VEXO_RUNTIME_DIR", path.c_str(), 1);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
      });
    }
    return true;
  }();
  (void)ready;
}

struct Logged {
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  friend bool operator==(const Logged&, const Logged&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Logged& m) {
  return os << "{0x" << std::hex << m.message << ", 0x" << m.wParam << ", 0x" << m.lParam
            << std::dec << "}";
}

// The logged messages among those wanted, in order.
inline std::vector<Logged> LoggedOnly(const std::vector<Logged>& log,
                                      std::initializer_list<uint32_t> wanted) {
  std::vector<Logged> out;
  for (const Logged& m : log)
    for (uint32_t w : wanted)
      if (m.message == w)
        out.push_back(m);
  return out;
}

// A window object that records its messages and lets a test answer them.
class LogWindow : public ui::ScreenWindow {
public:
  using Handler = std::function<std::optional<LResult>(Hwnd, uint32_t, WParam, LParam)>;
  ~LogWindow() override {
    if (GetHwnd())
      win::DestroyWindow(GetHwnd());
  }

  std::vector<Logged> log;
  Handler handler;
  // When set, every message goes here too, with its window.
  std::vector<std::pair<Hwnd, Logged>>* shared = nullptr;

  // The logged messages among those wanted, in order.
  std::vector<Logged> Only(std::initializer_list<uint32_t> wanted) const {
    return LoggedOnly(log, wanted);
  }
  std::vector<uint32_t> Messages(std::initializer_list<uint32_t> wanted) const {
    std::vector<uint32_t> out;
    for (const Logged& m : Only(wanted))
      out.push_back(m.message);
    return out;
  }
  size_t Count(uint32_t message) const { return Only({message}).size(); }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    log.push_back({message, wParam, lParam});
    if (shared)
      shared->push_back({GetHwnd(), {message, wParam, lParam}});
    if (handler)
      if (auto r = handler(GetHwnd(), message, wParam, lParam))
        return *r;
    return Default(message, wParam, lParam);
  }
};

// Window classes the tests share (registered once per process).
inline constexpr const char* kPlainClass = "UiTestPlain";
inline constexpr const char* kDoubleClickClass = "UiTestDblClk";
inline constexpr const char* kRedrawClass = "UiTestRedraw";
inline constexpr gdi::Colour kRedrawBackground = gdi::Rgb(10, 20, 30);

inline void RegisterTestClasses() {
  static const bool done = [] {
    auto factory = [] { return std::make_unique<LogWindow>(); };
    ui::RegisterScreenClass({kPlainClass, 0, factory, nullptr, std::nullopt});
    ui::RegisterScreenClass({kDoubleClickClass, ui::CS_DBLCLKS, factory, nullptr, std::nullopt});
    ui::RegisterScreenClass(
        {kRedrawClass, ui::CS_HREDRAW | ui::CS_VREDRAW, factory, nullptr, kRedrawBackground});
    return true;
  }();
  (void)done;
}

struct Placement {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

inline Hwnd Create(LogWindow& object, const char* className, uint32_t style, Placement at,
                   Hwnd parent = 0, uint32_t exStyle = 0, const std::string& title = "test") {
  win::CreateParams p;
  p.className = className;
  p.title = title;
  p.style = style;
  p.exStyle = exStyle;
  p.parent = parent;
  p.x = at.x;
  p.y = at.y;
  p.width = at.width;
  p.height = at.height;
  p.object = &object;
  return win::CreateWindow(p);
}

// Runs the loop until done() or the bound.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs = 10000) {
  return win::RunMessageLoopUntil(done, timeoutMs);
}

// The surface of a screen window.
inline std::shared_ptr<gdi::Surface> SurfaceOf(Hwnd hwnd) {
  auto dc = ui::GetDc(hwnd);
  return dc ? dc->Target() : nullptr;
}

// Runs the loop until nothing invalidated or drawn on the window waits to
// be shown, then lets Qt paint.
inline bool Settle(Hwnd hwnd) {
  auto surface = SurfaceOf(hwnd);
  bool ok =
      PumpUntil([&] { return !ui::GetUpdateRect(hwnd) && (!surface || !surface->IsDirty()); });
  QCoreApplication::processEvents();
  return ok;
}

class ScreenTest : public ::testing::Test {
protected:
  void SetUp() override {
    StartRuntime();
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    RegisterTestClasses();
  }
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app_.reset();
  }
  std::unique_ptr<QApplication> app_;
};

} // namespace uitest
