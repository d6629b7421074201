// How fast `vexo3 play --wav` renders the demo song: the host beside this
// program renders it into a temporary WAV file three times; the figures are
// the fastest run's time and its share of the song's length.
//
// bench-demo-render
#include "platform/sys/library.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main() {
  const std::string bin = sys::ProgramFolder();
  char pattern[] = "/tmp/vexo3-bench-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("bench-demo-render: mkdtemp");
    return 1;
  }
  const std::string dir = pattern;
  const std::string run = dir + "/run";
  std::filesystem::create_directory(run);
  std::filesystem::permissions(run, std::filesystem::perms::owner_all);
  const std::string cmd = "VEXO_RUNTIME_DIR=" + run + " VEXO_SETTINGS_FILE=" + dir +
                          "/settings.ini " + bin + "/vexo3 play " + bin + "/twinkle.kar --wav " +
                          dir + "/demo.wav 2>&1";
  double best = 1e9;
  double audio = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
      return 1;
    std::array<char, 512> line{};
    while (std::fgets(line.data(), line.size(), p)) {
      double seconds = 0, took = 0;
      char path[256];
      if (std::sscanf(line.data(), "wrote %255[^:]: %lf s of audio in %lf s", path, &seconds,
                      &took) == 3)
        audio = seconds;
    }
    const int status = pclose(p);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0 || audio <= 0) {
      std::fprintf(stderr, "bench-demo-render: %s failed\n", cmd.c_str());
      return 1;
    }
    best = std::min(best, elapsed);
  }
  std::filesystem::remove_all(dir);
  std::printf("demo-song: %.2f s\n", audio);
  std::printf("demo-render: %.2f s\n", best);
  std::printf("demo-render-share: %.1f %%\n", 100.0 * best / audio);
  return 0;
}
