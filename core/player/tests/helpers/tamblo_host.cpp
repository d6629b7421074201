// A host for tests that drives the player core through its exports the way
// a host program does: it owns the "VEXO3REMOTE" window, starts the player
// core of build/bin under it (tamblo_InitDLL), loads the song given, reports
// "ready", waits for a lyric display to link itself, plays the song to its
// end on virtual time ("stopped"), and ends the player core once its input
// closes. With --real-time the song plays on the real clock instead, and
// closing the input also ends it before its end. Failures are reported as
// "failed: <what>".
//
// tamblo_host SONG [--real-time]
#include "core/player/notify_exports.h"
#include "core/player/tamblo.h"
#include "core/player/transport_exports.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <cstdio>
#include <memory>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr uint32_t kPlayStopped = 258;

bool stopped = false;

class HostWindow : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_USER && wParam == kPlayStopped)
      stopped = true;
    return win::Window::WindowProc(message, wParam, lParam);
  }
};

int Fail(const char* what) {
  std::printf("failed: %s\n", what);
  std::fflush(stdout);
  return 1;
}

// Waits up to ms for input; true once the input has closed.
bool InputClosed(int ms) {
  pollfd in{0, POLLIN, 0};
  char c;
  return poll(&in, 1, ms) > 0 && read(0, &c, 1) <= 0;
}

template <typename F> F Find(sys::ModuleHandle module, const char* name) {
  return reinterpret_cast<F>(sys::FindName(module, name));
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Fail("usage: tamblo_host SONG [--real-time]");
  const bool realTime = argc > 2 && std::string_view(argv[2]) == "--real-time";
  media::VirtualTime* clock = nullptr;
  if (!realTime) {
    clock = new media::VirtualTime(1000); // the engine keeps its timer ids: never freed
    media::InstallTimeSource(clock);
  }
  media::MidiOut().UseDevicesForTesting({std::make_shared<media::RecordingMidiOut>()});
  ui::SetMessageBoxBackend(std::make_shared<ui::ScriptedMessageBox>());

  std::string error;
  auto library = sys::Library::Load(VEXO_BIN_DIR, "Tamblo", &error);
  if (!library)
    return Fail(error.c_str());
  sys::ModuleHandle module = library->Release();
  auto attach = Find<decltype(&Tamblo_Attach)>(module, "Tamblo_Attach");
  auto detach = Find<decltype(&Tamblo_Detach)>(module, "Tamblo_Detach");
  auto init = Find<decltype(&tamblo_InitDLL)>(module, "tamblo_InitDLL");
  auto load = Find<decltype(&tamblo_LoadFile)>(module, "tamblo_LoadFile");
  auto play = Find<decltype(&tamblo_Play)>(module, "tamblo_Play");
  auto lyricWnd = Find<decltype(&tamblo_GetLyricWnd)>(module, "tamblo_GetLyricWnd");
  if (!attach || !detach || !init || !load || !play || !lyricWnd)
    return Fail("exports missing");
  if (attach() != 1)
    return Fail("not attached");

  win::RegisterClass({"VEXO3REMOTE", 0, [] { return std::make_unique<HostWindow>(); }});
  win::CreateParams params;
  params.className = "VEXO3REMOTE";
  params.title = "test host";
  const win::Hwnd host = win::CreateWindow(params);
  if (!host || init(module, nullptr, host, host, "test host") != 1)
    return Fail("no notification window");
  if (load(argv[1], 2000) == 0)
    return Fail("song not loaded");
  std::printf("ready\n");
  std::fflush(stdout);

  if (!win::RunMessageLoopUntil([&] { return lyricWnd() != 0; }, 20000))
    return Fail("no display linked");
  if (play() != 1)
    return Fail("not played");
  bool closed = false;
  if (clock) {
    for (int i = 0; i < 100000 && !stopped; ++i) {
      clock->Advance(10);
      while (win::ProcessPendingMessages() > 0) {
      }
    }
  } else {
    // Songs of the tests last seconds; ten minutes bounds a stuck one.
    const uint32_t start = media::NowMs();
    while (!stopped && !closed && media::NowMs() - start < 600000) {
      while (win::ProcessPendingMessages() > 0) {
      }
      closed = InputClosed(10);
    }
  }
  if (!stopped && !closed)
    return Fail("no end");
  if (stopped) {
    std::printf("stopped\n");
    std::fflush(stdout);
  }

  // Answers the display (its unlinking) until the input closes.
  while (!closed) {
    while (win::ProcessPendingMessages() > 0) {
    }
    closed = InputClosed(10);
  }
  detach();
  std::printf("ended\n");
  std::fflush(stdout);
  return 0;
}
