// Lyric sync on the real timer. This program hosts the player core the way
// the host program does and plays a karaoke song through it, while a display
// frame runs in a second process (this program again, "--display"). For every
// syllable it compares the time the engine posted the song event with the
// time the display's colour wipe starts from, both on the monotonic clock.
//
// bench-lyricsync [SONG]   (default: the demo song)
#include "core/player/notify_exports.h"
#include "core/player/tamblo.h"
#include "core/player/transport_exports.h"
#include "display/frame.h"
#include "display/resources.h"
#include "display/word.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/res/bundle.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// The engine's real-time event notice to the player core's window.
constexpr uint32_t kRealTimeEventMessage = 0x401;
constexpr uint32_t kPlayStopped = 258;

std::mutex postsMu;
std::vector<int64_t> postNs; // when the engine posted each real-time event

} // namespace

// Stands in front of the window layer's PostMessage (this program exports
// it, so the player core's calls land here) to date the engine's notices.
namespace win {
bool PostMessage(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  using Real = bool (*)(Hwnd, uint32_t, WParam, LParam);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN3win11PostMessageEjjml"));
  if (message == kRealTimeEventMessage) {
    std::lock_guard lock(postsMu);
    postNs.push_back(media::MonotonicNs());
  }
  return real ? real(hwnd, message, wParam, lParam) : false;
}
} // namespace win

namespace {

bool stopped = false;

class HostWindow : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_USER && wParam == kPlayStopped)
      stopped = true;
    return win::Window::WindowProc(message, wParam, lParam);
  }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "bench-lyricsync: %s\n", what.c_str());
  return 1;
}

template <typename F> F Find(sys::ModuleHandle module, const char* name) {
  return reinterpret_cast<F>(sys::FindName(module, name));
}

// The display side: a frame that links to the host, and writes one line per
// syllable wipe, "<wipe origin ms> <seen ns>", to out.
int RunDisplay(int argc, char** argv, const std::string& out, const std::string& folder) {
  QApplication app(argc, argv);
  display::SetResourceModule(res::Bundle::Load("rKivo32", VEXO_BIN_DIR));
  if (!display::RegisterDisplayClasses())
    return Fail("display classes not registered");
  auto frame = std::make_unique<display::CKivo32Frame>();
  frame->SetConfigPath(folder + "/config.ini");
  frame->SetProgramFolder(folder);
  const win::Hwnd hwnd = frame->CreateFrame("Kivo32");
  if (!hwnd)
    return Fail("no frame");
  ui::ShowWindow(hwnd, ui::SW_SHOWNORMAL);
  ui::UpdateWindow(hwnd);
  frame->LinkAtStart();
  FILE* file = std::fopen(out.c_str(), "w");
  if (!file)
    return Fail("cannot write " + out);
  uint32_t lastArrival = 0;
  // Ends when the host kills it.
  for (;;) {
    win::RunMessageLoopUntil(
        [&] {
          display::CKivo32Word* word = frame->Word();
          if (!word || !word->Lines())
            return false;
          const auto& wipe = word->Lines()->Wipe();
          // Each syllable sets the time its wipe runs from.
          const uint32_t arrival = wipe.arrivalMs.load();
          if (arrival != 0 && arrival != lastArrival) {
            lastArrival = arrival;
            std::fprintf(file, "%u %lld\n", arrival, static_cast<long long>(media::MonotonicNs()));
            std::fflush(file);
          }
          return false;
        },
        1000);
  }
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

std::string DefaultSong() {
  for (const std::string& path : {std::string(VEXO_BIN_DIR) + "/demo/twinkle.kar",
                                  std::string(VEXO_SOURCE_DIR) + "/resources/demo/twinkle.kar"})
    if (std::filesystem::exists(path))
      return path;
  return {};
}

} // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--display")
    return RunDisplay(argc, argv, argv[2], argv[3]);
  const std::string song = argc >= 2 ? argv[1] : DefaultSong();
  if (song.empty() || !std::filesystem::exists(song))
    return Fail("no song (give a .kar file)");

  char pattern[] = "/tmp/vexo-lyricsync-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir)
    return Fail("no temporary folder");
  const std::string folder = dir;
  setenv("VEXO_RUNTIME_DIR", folder.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string wipes = folder + "/wipes.txt";

  media::MidiOut().UseDevicesForTesting({std::make_shared<media::RecordingMidiOut>()});
  ui::SetMessageBoxBackend(std::make_shared<ui::ScriptedMessageBox>());
  std::string error;
  auto library = sys::Library::Load(VEXO_BIN_DIR, "Tamblo", &error);
  if (!library)
    return Fail(error);
  sys::ModuleHandle module = library->Release();
  auto attach = Find<decltype(&Tamblo_Attach)>(module, "Tamblo_Attach");
  auto detach = Find<decltype(&Tamblo_Detach)>(module, "Tamblo_Detach");
  auto init = Find<decltype(&tamblo_InitDLL)>(module, "tamblo_InitDLL");
  auto load = Find<decltype(&tamblo_LoadFile)>(module, "tamblo_LoadFile");
  auto play = Find<decltype(&tamblo_Play)>(module, "tamblo_Play");
  auto lyricWnd = Find<decltype(&tamblo_GetLyricWnd)>(module, "tamblo_GetLyricWnd");
  if (!attach || !detach || !init || !load || !play || !lyricWnd)
    return Fail("player core exports missing");
  if (attach() != 1)
    return Fail("player core not attached");
  win::RegisterClass({"VEXO3REMOTE", 0, [] { return std::make_unique<HostWindow>(); }});
  win::CreateParams params;
  params.className = "VEXO3REMOTE";
  params.title = "lyric sync";
  const win::Hwnd host = win::CreateWindow(params);
  if (!host || init(module, nullptr, host, host, "lyric sync") != 1)
    return Fail("no notification window");
  if (load(song.c_str(), 2000) == 0)
    return Fail("song not loaded: " + song);

  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::vector<std::string> args = {self, "--display", wipes, folder};
  std::vector<char*> argvChild;
  for (auto& a : args)
    argvChild.push_back(a.data());
  argvChild.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argvChild.data(), environ) != 0)
    return Fail("display not started");

  int result = 0;
  if (!win::RunMessageLoopUntil([&] { return lyricWnd() != 0; }, 20000))
    result = Fail("no display linked");
  else if (play() != 1)
    result = Fail("not played");
  else if (!win::RunMessageLoopUntil([&] { return stopped; }, 120000))
    result = Fail("the song did not end");
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  detach();
  if (result != 0)
    return result;

  std::vector<int64_t> posts;
  {
    std::lock_guard lock(postsMu);
    posts = postNs;
  }
  std::sort(posts.begin(), posts.end());
  // Each wipe belongs to the last event the engine posted before it.
  std::vector<double> origin, seen;
  std::ifstream in(wipes);
  unsigned arrival = 0;
  long long seenNs = 0;
  while (in >> arrival >> seenNs) {
    auto it = std::upper_bound(posts.begin(), posts.end(), static_cast<int64_t>(seenNs));
    if (it == posts.begin())
      continue;
    const int64_t post = *std::prev(it);
    const uint32_t postMs = static_cast<uint32_t>(post / 1'000'000);
    origin.push_back(static_cast<double>(static_cast<int32_t>(arrival - postMs)));
    seen.push_back(static_cast<double>(seenNs - post) / 1e6);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  if (origin.empty())
    return Fail("no syllable was wiped");
  std::printf("song: %s\n", song.c_str());
  std::printf("syllables: %zu\n", origin.size());
  // Whole milliseconds: the wipe is timed on the millisecond clock.
  std::printf("lyricsync_min: %.0f ms\n", *std::min_element(origin.begin(), origin.end()));
  std::printf("lyricsync_median: %.0f ms\n", Percentile(origin, 0.5));
  std::printf("lyricsync_max: %.0f ms\n", *std::max_element(origin.begin(), origin.end()));
  // When the display's thread had handled the syllable.
  std::printf("lyricsync_handled_median: %.2f ms\n", Percentile(seen, 0.5));
  std::printf("lyricsync_handled_max: %.2f ms\n", *std::max_element(seen.begin(), seen.end()));
  return 0;
}
