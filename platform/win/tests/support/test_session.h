// What every window test needs: a Qt application for the loop and a private
// runtime folder for the session's windows, shared with the test's children.
#pragma once

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace wintest {

inline void StartTestSession() {
  static const bool ready = [] {
    char pattern[] = "/tmp/vexo-win-XXXXXX";
    if (char* dir = mkdtemp(pattern)) {
      static std::string path = dir;
      setenv("VEXO_RUNTIME_DIR", path.c_str(), 1);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
      });
    }
    static int argc = 1;
    static char name[] = "win_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return true;
  }();
  (void)ready;
}

} // namespace wintest
