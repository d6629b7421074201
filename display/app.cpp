#include "display/app.h"

#include "display/avi.h"

#include "display/frame.h"
#include "display/resources.h"
#include "display/settings.h"
#include "display/utils.h"

#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/res/bundle.h"
#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"
#include "platform/sys/instance.h"
#include "platform/sys/library.h"
#include "platform/sys/log.h"
#include "platform/sys/runtime.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/drop.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <QApplication>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace display {
namespace {

// How long a second start waits for the first one's frame to appear.
constexpr auto kWaitForFirstInstance = std::chrono::seconds(10);

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

// For tests: every message box is appended to the file named by
// VEXO_MESSAGEBOX_LOG as "caption<TAB>flags<TAB>text" and answered with
// VEXO_MESSAGEBOX_ANSWER (a button's number) or the box's default button.
class LoggedMessageBox : public ui::MessageBoxBackend {
public:
  explicit LoggedMessageBox(std::string path) : path_(std::move(path)) {}
  int Show(const ui::MessageBoxRequest& request) override {
    std::lock_guard lock(mutex_);
    std::ofstream(path_, std::ios::app)
        << request.caption << '\t' << request.flags << '\t' << request.text << '\n';
    if (const char* answer = Env("VEXO_MESSAGEBOX_ANSWER"))
      return std::atoi(answer);
    return ui::MessageBoxDefault(request.flags);
  }

private:
  std::mutex mutex_;
  std::string path_;
};

// Ends the display in order (its placement written, the player core told)
// when the process is asked to stop by a signal.
class StopSignals {
public:
  StopSignals() {
    sigemptyset(&set_);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR2})
      sigaddset(&set_, s);
    // Blocked before any thread starts, so that every thread inherits it and
    // only the waiter below takes the signals.
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  }
  ~StopSignals() {
    if (waiter_.joinable()) {
      pthread_kill(waiter_.native_handle(), SIGUSR2);
      waiter_.join();
    }
  }
  void Start() {
    waiter_ = std::thread([this] {
      int sig = 0;
      while (sigwait(&set_, &sig) == 0) {
        if (sig == SIGUSR2)
          return;
        // Before the frame exists there is nothing to close in order.
        const win::Hwnd frame = frame_.load();
        if (!frame || !win::PostMessage(frame, kCloseMessage, 0, 0))
          std::_Exit(128 + sig);
      }
    });
  }
  void SetFrame(win::Hwnd frame) { frame_ = frame; }

private:
  sigset_t set_{};
  std::atomic<win::Hwnd> frame_{0};
  std::thread waiter_;
};

// Qt cannot start without a display to show on; the display program then
// still runs and links up, showing nothing.
void ChooseHeadlessPlatform() {
  if (Env("QT_QPA_PLATFORM") || Env("DISPLAY") || Env("WAYLAND_DISPLAY"))
    return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  sys::Warn("display", "no display found; running without showing a window");
}

std::string WindowTitle() {
  // String 3, at most 10 characters.
  std::string title = sys::ToUtf8(LoadStringBytes(3, 10));
  return title.empty() ? std::string("Kivo32") : title;
}

// A second start brings the first one's frame forward. False when this is
// the first instance (guard then holds its name).
bool BroughtFirstForward(std::optional<sys::InstanceGuard>& guard) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitForFirstInstance;
  for (;;) {
    if (win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt)) {
      ui::SetForegroundWindow(frame);
      return true;
    }
    if (!guard)
      guard = sys::InstanceGuard::TryAcquire("Kivo32");
    if (guard)
      return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      // Running, but its frame lives inside a host window where a search
      // of the desktop does not reach.
      sys::Warn("display", "already running");
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// For tests: once the frame and its views have painted, writes a picture of
// it to the file named by VEXO_SNAPSHOT.
void WriteSnapshot(CKivo32Frame& frame) {
  const char* path = Env("VEXO_SNAPSHOT");
  if (!path)
    return;
  auto painted = [&] {
    for (win::Hwnd h : {frame.Hwnd(), frame.Word()->Hwnd(), frame.Title()->Hwnd(),
                        frame.Num()->Hwnd(), frame.SysMenu()->Hwnd()})
      if (ui::GetUpdateRect(h))
        return false;
    return frame.FirstPaintDone();
  };
  win::RunMessageLoopUntil(painted, 5000);
  win::ProcessPendingMessages();
  if (!ui::SaveWindowImage(frame.Hwnd(), path))
    sys::Warn("display", "cannot write %s", path);
}

} // namespace

std::string SettingsModulePath() {
  if (const char* dir = Env("VEXO_CONFIG_DIR"))
    return std::string(dir) + "/Kivo32";
  return sys::ModulePath(reinterpret_cast<const void*>(&SettingsModulePath));
}

int RunKivo32(int argc, char** argv) {
  StopSignals stopSignals;
  stopSignals.Start();
  ChooseHeadlessPlatform();
  if (const char* log = Env("VEXO_MESSAGEBOX_LOG"))
    ui::SetMessageBoxBackend(std::make_shared<LoggedMessageBox>(log));
  QApplication application(argc, argv);

  const std::string programFolder = sys::ProgramFolder();
  auto bundle = res::LoadAtStart("rKivo32", programFolder,
                                 res::MissingBundleBox{"rKivo32.dll is not found!"});
  if (!bundle)
    return 1;
  SetResourceModule(std::move(bundle));
  SeedRandomFractionFromClock();
  const std::string title = WindowTitle();

  if (sys::RuntimeDir().empty()) {
    // Without it no other process could find the display's windows.
    sys::Warn("display", "no private runtime folder for this session");
    return 1;
  }
  std::optional<sys::InstanceGuard> guard;
  if (BroughtFirstForward(guard))
    return 0;

  // The MPEG board of background mode 2, and the clips of mode 3.
  media::RegisterVideoDevices();
  SetInfoVideoFactory([] { return std::make_unique<AviPlayer>(); });
  if (!RegisterDisplayClasses())
    ui::MessageBox("Rigister to Kivo32 class is failed!", "Error", ui::MB_OK | ui::MB_ICONSTOP);

  auto frame = std::make_unique<CKivo32Frame>();
  frame->SetConfigPath(ConfigIniPath(SettingsModulePath()));
  frame->SetProgramFolder(programFolder);
  frame->SetQuitOnDestroy(true);
  const win::Hwnd hwnd = frame->CreateFrame(title);
  if (!hwnd) {
    ui::MessageBox("Create to Kivo32 window is failed!", "Error", ui::MB_OK | ui::MB_ICONSTOP);
    return 1;
  }
  stopSignals.SetFrame(hwnd);

  frame->SetFixedFrame(sys::IniGetInt(frame->ConfigPath(), "Config", "FixedFrame", 0));
  ui::ShowWindow(hwnd, ui::SW_SHOWNORMAL);
  ui::UpdateWindow(hwnd);
  ui::DragAcceptFiles(hwnd, true);
  if (!win::SetTimer(hwnd, kLinkTimer, kLinkPeriodMs))
    ui::MessageBox(LoadString(55), LoadString(7), ui::MB_OK | ui::MB_ICONEXCLAMATION, hwnd);
  frame->LinkAtStart();

  WriteSnapshot(*frame);
  const int status = win::IsWindow(hwnd) ? win::RunMessageLoop() : 0;
  frame.reset();
  media::mci::CloseAll();
  SetResourceModule(std::nullopt);
  return status;
}

} // namespace display
