// Commands of the host that open windows: one QApplication on the main
// thread for the command's time, run by the host's message loop.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

class QApplication;

namespace host {

// Whether windows can be shown: a Qt platform chosen by name
// (QT_QPA_PLATFORM, offscreen included), or an X11 or Wayland display.
bool HasScreen();

// A Qt application for the caller's time, nullptr when one runs already.
std::unique_ptr<QApplication> MakeApplication();

// Without a screen says so on standard error and returns 1. Otherwise
// makes the application (unless one runs already), calls open, which makes
// the command's windows (false: 1), and runs the loop until
// PostQuitMessage; returns its code. Main thread only.
int RunWindowCommand(std::string_view command, const std::function<bool()>& open);
// As RunWindowCommand, but the loop ends (with 0) once done() is true.
int RunWindowCommandUntil(std::string_view command, const std::function<bool()>& open,
                          const std::function<bool()>& done);

} // namespace host
