// The singing score on the real clock: the share of a core the score
// controller takes while it captures and analyses a block every 200 ms from
// a WAV microphone (ten seconds, in this process), then the score of a sung
// take played in real time by `vexo3 play --score --mic` beside the same run
// on the virtual clock (--wav), when the General MIDI SoundFont is there.
//
// bench-score-live   (no arguments)
#include "platform/media/riff.h"
#include "platform/sys/library.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"
#include "score/controller.h"
#include "score/library.h"

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

// The player core's six values, as this program's own exports.
extern "C" {
__attribute__((visibility("default"))) uint8_t mplay_GetcCurNote() {
  return 57;
}
__attribute__((visibility("default"))) uint8_t mplay_ChkcNoNote() {
  return 0;
}
__attribute__((visibility("default"))) uint8_t mplay_ChkcLyricOn() {
  return 1;
}
__attribute__((visibility("default"))) int32_t mplay_GetlLyricTotTime() {
  return 400;
}
__attribute__((visibility("default"))) int32_t mplay_GetlLyricCurTime() {
  return 100;
}
__attribute__((visibility("default"))) int32_t mplay_GetCurTime() {
  return 0;
}
}

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The controller's share of a core over seconds of scoring, in percent.
double ControllerShare(double seconds) {
  media::Wave voice;
  voice.format = media::WaveFormat::Pcm(22050, 8, 1);
  for (int i = 0; i < 22050 * 20; ++i)
    voice.data.push_back(
        static_cast<uint8_t>(128 + std::lround(80 * std::sin(2 * M_PI * 220.0 * i / 22050))));
  media::WaveIn().UseDevices({std::make_shared<media::WavMicrophone>(voice)});
  media::Mixers().UseDevices({});
  std::string why;
  if (!score::Attach(VEXO_BIN_DIR, &why)) {
    std::fprintf(stderr, "bench-score-live: %s\n", why.c_str());
    return -1;
  }
  score::CScoreController* c = score::Controller();
  c->BindCore(reinterpret_cast<sys::ModuleHandle>(dlopen(nullptr, RTLD_NOW)));
  static const bool registered = win::RegisterClass(
      {"BenchScoreParent", 0, [] { return std::make_unique<win::Window>(); }});
  (void)registered;
  win::CreateParams p;
  p.className = "BenchScoreParent";
  const win::Hwnd parent = win::CreateWindow(p);
  if (!parent || !c->Create(parent)) {
    std::fprintf(stderr, "bench-score-live: the controller's window cannot be made\n");
    return -1;
  }
  c->EnableScoring(1);
  if (!c->StartScoring()) {
    std::fprintf(stderr, "bench-score-live: scoring does not start: %s\n", c->LastError().c_str());
    return -1;
  }
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  win::RunMessageLoopUntil([] { return false; }, static_cast<uint32_t>(seconds * 1000));
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const int blocks = c->Blocks();
  c->TerminateScoring();
  win::DestroyWindow(parent);
  score::Detach();
  std::printf("controller: %d blocks in %.1f s\n", blocks, wall);
  return 100.0 * cpu / wall;
}

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
      out.append(buffer, n);
    pclose(f);
  }
  return out;
}

double ScoreIn(const std::string& out) {
  const auto at = out.find("\nscore: ");
  if (at == std::string::npos)
    return -1;
  const auto open = out.find('(', at);
  return open == std::string::npos ? -1 : std::atof(out.c_str() + open + 1);
}

} // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench-score-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir)
    return 1;
  const std::string folder = dir;
  std::filesystem::create_directories(folder + "/run");
  std::filesystem::permissions(folder + "/run", std::filesystem::perms::owner_all);
  setenv("VEXO_RUNTIME_DIR", (folder + "/run").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QCoreApplication app(argc, argv);

  const double share = ControllerShare(10);

  double difference = -1;
  const std::string sung = std::string(VEXO_SOURCE_DIR) + "/host/tests/fixtures/sung";
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) == 0) {
    const std::string env = "QT_QPA_PLATFORM=offscreen VEXO_RUNTIME_DIR='" + folder + "/run' ";
    const std::string vexo3 = std::string("'") + VEXO_BIN_DIR + "/vexo3' ";
    Run(env + vexo3 + "play '" + sung + "/take-in-tune.mid' --wav '" + folder + "/take.wav' 2>&1");
    const std::string play = "play '" + sung + "/score-song.kar' --score --mic '" + folder +
                             "/take.wav' --no-display";
    const double virtualScore =
        ScoreIn(Run(env + vexo3 + play + " --wav '" + folder + "/v.wav' 2>&1"));
    const double realScore =
        ScoreIn(Run(env + "VEXO_SYNTH_WAV='" + folder + "/r.wav' " + vexo3 + play + " 2>&1"));
    std::printf("score on the virtual clock %.3f, on the real clock %.3f\n", virtualScore,
                realScore);
    if (virtualScore >= 0 && realScore >= 0)
      difference = std::fabs(realScore - virtualScore);
  } else {
    std::printf("the General MIDI SoundFont is not installed: no real-time play\n");
  }
  std::filesystem::remove_all(folder);
  std::printf("controller_cpu: %.3f %%\n", share);
  if (difference >= 0)
    std::printf("realtime_score_difference: %.3f points\n", difference);
  return 0;
}
