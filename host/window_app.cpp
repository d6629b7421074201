#include "host/window_app.h"

#include "platform/win/loop.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace host {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

} // namespace

bool HasScreen() {
  return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::unique_ptr<QApplication> MakeApplication() {
  if (QCoreApplication::instance())
    return nullptr;
  static int argc = 1;
  static char name[] = "vexo3";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

int RunWindowCommand(std::string_view command, const std::function<bool()>& open) {
  return RunWindowCommandUntil(command, open, {});
}

int RunWindowCommandUntil(std::string_view command, const std::function<bool()>& open,
                          const std::function<bool()>& done) {
  if (!HasScreen()) {
    std::fprintf(stderr, "vexo3 %s: no screen to show windows on (DISPLAY is not set)\n",
                 std::string(command).c_str());
    return 1;
  }
  const std::unique_ptr<QApplication> app = MakeApplication();
  if (!open())
    return 1;
  if (!done)
    return win::RunMessageLoop();
  while (!win::RunMessageLoopUntil(done, 1000)) {
  }
  return 0;
}

} // namespace host
