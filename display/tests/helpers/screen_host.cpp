// A host's window in a process of its own, for the tests that place the
// display's views in a window of another program: a visible screen window at
// (100, 80), 600 by 480. It prints "hwnd <handle>" once the window shows and
// ends when its standard input closes.
#include "platform/ui/window/screen.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

class HostWindow : public ui::ScreenWindow {};

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ui::ScreenClass c;
  c.name = "TestScreenHost";
  c.factory = [] { return std::make_unique<HostWindow>(); };
  c.background = gdi::Rgb(0, 0, 80);
  ui::RegisterScreenClass(c);
  win::CreateParams p;
  p.className = "TestScreenHost";
  p.title = "host";
  p.style = win::WS_POPUP | win::WS_VISIBLE;
  p.x = 100;
  p.y = 80;
  p.width = 600;
  p.height = 480;
  const win::Hwnd h = win::CreateWindow(p);
  if (!h)
    return 1;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buf[256];
    if (read(STDIN_FILENO, buf, sizeof buf) <= 0) {
      input.setEnabled(false);
      win::PostQuitMessage(0);
    }
  });
  std::printf("hwnd %u\n", h);
  std::fflush(stdout);
  const int status = win::RunMessageLoop();
  win::DestroyWindow(h);
  return status;
}
