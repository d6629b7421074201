#include "host/logo_command.h"

#include "host/window_app.h"
#include "logo/bivane.h"
#include "platform/sys/library.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace host {
namespace {

constexpr const char* kWatchClass = "Vexo3LogoWatch";
constexpr uint32_t kWatchMs = 100;

// Ends the loop once the dialog's window is gone.
class Watch : public win::Window {
public:
  win::Hwnd dialog = 0;
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_TIMER && !win::IsWindow(dialog)) {
      win::KillTimer(GetHwnd(), 1);
      win::PostQuitMessage(0);
      return 0;
    }
    return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
  }
};

} // namespace

int LogoCommand(std::span<char*> args) {
  bool about = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (std::strcmp(args[i], "--about") == 0) {
      about = true;
    } else {
      std::fprintf(stderr, "usage: vexo3 logo [--about]\n");
      return 2;
    }
  }
  std::optional<sys::Library> library;
  Watch watch;
  int32_t (*detach)() = nullptr;
  const int code = RunWindowCommand("logo", [&] {
    std::string why;
    library = sys::Library::Load("", "Bivane", &why);
    if (!library) {
      std::fprintf(stderr, "vexo3 logo: the logo library cannot be loaded: %s\n", why.c_str());
      return false;
    }
    auto attach = reinterpret_cast<decltype(&Bivane_Attach)>(library->Find("Bivane_Attach"));
    detach = reinterpret_cast<decltype(&Bivane_Detach)>(library->Find("Bivane_Detach"));
    auto launch = reinterpret_cast<decltype(&LaunchLogo)>(library->Find("LaunchLogo"));
    auto launchAbout = reinterpret_cast<decltype(&LaunchAboutDlg)>(library->Find("LaunchAboutDlg"));
    if (!attach || !detach || !launch || !launchAbout || !attach()) {
      std::fprintf(stderr, "vexo3 logo: the logo library refused to start\n");
      detach = nullptr;
      return false;
    }
    if (about) {
      launchAbout(0);
      watch.dialog = win::FindWindow("BivaneLogo", std::nullopt);
    } else {
      watch.dialog = launch(0);
    }
    if (!watch.dialog) {
      std::fprintf(stderr, "vexo3 logo: the dialog could not be opened\n");
      return false;
    }
    static const bool registered =
        win::RegisterClass({kWatchClass, 0, [] { return std::unique_ptr<win::Window>(); }});
    (void)registered;
    win::CreateParams p;
    p.className = kWatchClass;
    p.parent = win::kHwndMessage;
    p.object = &watch;
    return win::CreateWindow(p) != 0 && win::SetTimer(watch.GetHwnd(), 1, kWatchMs) != 0;
  });
  if (watch.GetHwnd())
    win::DestroyWindow(watch.GetHwnd());
  if (detach)
    detach();
  return code;
}

} // namespace host
