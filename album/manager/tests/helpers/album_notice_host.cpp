// A host window in a process of its own for the album manager's tests: it
// prints "ready HANDLE" once its window exists, then one line per
// WM_COPYDATA it gets ("notice KIND from HANDLE size N", hexadecimal kind
// and handles), and ends when its window gets WM_CLOSE.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

class HostWindow : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_COPYDATA) {
      const win::CopyData* copy = win::AsCopyData(lParam);
      std::printf("notice %lx from %08x size %u\n", static_cast<unsigned long>(copy->kind),
                  static_cast<unsigned>(wParam), static_cast<unsigned>(copy->size));
      std::fflush(stdout);
      return 1;
    }
    if (message == win::WM_DESTROY)
      win::PostQuitMessage(0);
    return Window::WindowProc(message, wParam, lParam);
  }
};

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  win::RegisterClass({"VexoNoticeHost", 0, [] { return std::make_unique<HostWindow>(); }});
  win::CreateParams p;
  p.className = "VexoNoticeHost";
  p.title = "notice host";
  p.style = win::WS_POPUP;
  const win::Hwnd self = win::CreateWindow(p);
  if (!self)
    return 1;
  std::printf("ready %08x\n", self);
  std::fflush(stdout);
  return win::RunMessageLoop();
}
