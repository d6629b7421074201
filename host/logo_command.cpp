#include "host/logo_command.h"

#include "host/window_app.h"
#include "logo/bivane.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace host {
namespace {

constexpr const char* kWatchClass = "Vexo3LogoWatch";
constexpr const char* kLogoClass = "BivaneLogo";
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

template <class F> bool Bind(const sys::Library& library, const char* name, F*& out) {
  out = reinterpret_cast<F*>(library.Find(name));
  return out != nullptr;
}

} // namespace

std::unique_ptr<StartupLogo> StartupLogo::Load(const std::string& folder, std::string* why) {
  std::unique_ptr<StartupLogo> logo(new StartupLogo);
  if (HasScreen())
    logo->app_ = MakeApplication();
  std::string error;
  logo->library_ = sys::Library::Load(folder, "Bivane", &error);
  if (!logo->library_) {
    *why = "the logo library cannot be loaded: " + error;
    return nullptr;
  }
  const sys::Library& l = *logo->library_;
  Exports& x = logo->x_;
  if (!Bind(l, "Bivane_Attach", x.attach) || !Bind(l, "Bivane_Detach", x.detach) ||
      !Bind(l, "LaunchLogo", x.launch) || !Bind(l, "DrawTextLogo", x.text) ||
      !Bind(l, "SinkDownLogo", x.sink) || !Bind(l, "LaunchAboutDlg", x.about) ||
      !Bind(l, "LogoMusicOff", x.musicOff)) {
    *why = "the logo library lacks an export";
    return nullptr;
  }
  if (!x.attach()) {
    *why = "the logo library refused to start";
    return nullptr;
  }
  logo->attached_ = true;
  return logo;
}

StartupLogo::~StartupLogo() {
  if (!attached_)
    return;
  x_.sink();
  x_.detach();
  // The dialog's window goes with its pending messages.
  win::ProcessPendingMessages();
}

uint32_t StartupLogo::Launch() {
  return x_.launch(0);
}

void StartupLogo::LaunchAbout() {
  x_.about(0);
}

void StartupLogo::Text(const std::string& text) {
  x_.text(text.c_str());
}

void StartupLogo::MusicOff() {
  x_.musicOff();
}

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
  std::unique_ptr<StartupLogo> logo;
  Watch watch;
  const int code = RunWindowCommand("logo", [&] {
    std::string why;
    logo = StartupLogo::Load("", &why);
    if (!logo) {
      std::fprintf(stderr, "vexo3 logo: %s\n", why.c_str());
      return false;
    }
    if (about) {
      logo->LaunchAbout();
      watch.dialog = win::FindWindow(kLogoClass, std::nullopt);
    } else {
      watch.dialog = logo->Launch();
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
  logo.reset();
  return code;
}

} // namespace host
