// Figures of the FFmpeg player on the real clock: a 30 fps 1080p MPEG-2
// clip made by ffmpeg, played repeating at 1920x1080 output; frames shown,
// late (more than one frame period after their time), dropped, the rate,
// and the CPU time per frame of all the player's threads (decoding,
// scaling, presenting), beside ffmpeg's own decoding of the same clip
// (`ffmpeg -i clip -f null -`).
//
//   bench-video                 20 s of play
//   bench-video --seconds 60    the full-length run
#include "platform/media/video_player.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

namespace {

double CpuMs(int who) {
  rusage u{};
  getrusage(who, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char** argv) {
  double seconds = 20;
  for (int i = 1; i + 1 < argc; i += 2)
    if (std::strcmp(argv[i], "--seconds") == 0)
      seconds = std::atof(argv[i + 1]);
  char pattern[] = "/tmp/bench-video-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir) {
    std::fprintf(stderr, "bench-video: no temporary folder\n");
    return 1;
  }
  const std::string clip = std::string(dir) + "/clip-1080p30.mpg";
  std::printf("bench-video: making a 10 s 1920x1080 30 fps MPEG-2 clip\n");
  if (Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 -t 10 "
          "-c:v mpeg2video -q:v 4 -f vob '" +
          clip + "'") != 0) {
    std::fprintf(stderr, "bench-video: ffmpeg could not make the clip\n");
    return 1;
  }

  // ffmpeg's own decoding of the clip, for comparison.
  const double childBefore = CpuMs(RUSAGE_CHILDREN);
  Run("ffmpeg -nostdin -v error -i '" + clip + "' -f null -");
  const double ffmpegMsPerFrame = (CpuMs(RUSAGE_CHILDREN) - childBefore) / 300.0;

  std::string error;
  auto player = media::VideoPlayer::OpenFile(clip, &error);
  if (!player) {
    std::fprintf(stderr, "bench-video: %s\n", error.c_str());
    return 1;
  }
  player->SetOutputSize(1920, 1080);
  std::atomic<uint64_t> checksum{0};
  player->SetSinks(
      [&](const media::VideoFrame& f) { checksum += (*f.pixels)[f.width * 540 + 960]; }, nullptr);
  std::printf("bench-video: playing for %.0f s on the real clock\n", seconds);
  const double cpuBefore = CpuMs(RUSAGE_SELF);
  const auto start = std::chrono::steady_clock::now();
  player->Play(true);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  player->Stop();
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuMs(RUSAGE_SELF) - cpuBefore;
  const media::VideoStats s = player->Stats();
  player.reset();
  std::filesystem::remove_all(dir);

  const double expected = elapsed * 30;
  std::printf("frames_shown: %llu frames\n", static_cast<unsigned long long>(s.shown));
  std::printf("frames_due: %.0f frames\n", expected);
  std::printf("frames_late: %llu frames\n", static_cast<unsigned long long>(s.late));
  std::printf("frames_within_one_period: %.2f %%\n",
              s.shown ? 100.0 * (s.shown - s.late) / s.shown : 0.0);
  std::printf("frames_dropped: %llu frames\n", static_cast<unsigned long long>(s.dropped));
  std::printf("fps: %.2f frames/s\n", s.shown / elapsed);
  std::printf("cpu_per_frame: %.2f ms\n", s.shown ? cpu / s.shown : 0.0);
  std::printf("ffmpeg_null_cpu_per_frame: %.2f ms\n", ffmpegMsPerFrame);
  return s.shown > 0 ? 0 : 1;
}
