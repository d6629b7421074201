// What the display tests share: a QApplication on the offscreen platform, a
// private runtime folder for the session's windows (inherited by the
// programs the tests start), the display's resource module and classes, and
// bounded waits on the message loop.
#pragma once

#include "display/frame.h"
#include "display/resources.h"

#include "platform/res/bundle.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <QPointingDevice>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace displaytest {

inline void StartSession() {
  static const bool ready = [] {
    char pattern[] = "/tmp/vexo-display-rt-XXXXXX";
    if (char* dir = mkdtemp(pattern)) {
      static std::string path = dir;
      setenv("VEXO_RUNTIME_DIR", path.c_str(), 1);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
      });
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "display_tests";
    static char* argv[] = {name, nullptr};
    // Qt registers its input devices lazily (on the first enter event) in a
    // list made after the application, which exit would destroy first: the
    // list is made now, and the application goes before it at exit.
    static QApplication* app = new QApplication(argc, argv);
    QPointingDevice::primaryPointingDevice();
    std::atexit([] { delete app; });
    display::SetResourceModule(res::Bundle::Load("rKivo32", VEXO_BIN_DIR));
    display::RegisterDisplayClasses();
    return true;
  }();
  (void)ready;
}

// Runs the message loop until done() or timeoutMs; returns done().
inline bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs = 5000) {
  return win::RunMessageLoopUntil(done, timeoutMs);
}

// Waits, without a loop of this thread, for a condition another process
// makes true.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    win::ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

} // namespace displaytest
