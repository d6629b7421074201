// bench-logo-effects: the time to paint one frame of each logo transition on
// a 1920 x 1080 screen (every frame of a run timed, median and slowest),
// beside a plain copy of the whole picture. The goal: every frame under
// 8 ms. Usage: bench-logo-effects [runs per effect]
#include "platform/gdi/dc.h"
#include "platform/gdi/imaging.h"
#include "platform/gdi/imaging_effects.h"
#include "platform/gdi/surface.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace gdi;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

Dib Picture() {
  if (auto d = imaging::LoadBitmap(VEXO_BIN_DIR "/logo.bmp"))
    return *d;
  Dib d = *Dib::Create(480, 270, 24);
  for (int y = 0; y < 270; ++y)
    for (int x = 0; x < 480; ++x) {
      uint8_t* p = d.RowFromTop(y) + 3 * x;
      p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = uint8_t(x ^ y);
    }
  return d;
}

} // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const Dib picture = Picture();
  const Rect full{0, 0, 1920, 1080};
  auto screen = Surface::Create(1920, 1080, Rgb(0, 0, 0));
  Dc dc(screen);

  std::vector<double> copies;
  for (int i = 0; i < 20; ++i) {
    const auto t0 = Clock::now();
    imaging::PaintBitmap(dc, picture, full);
    copies.push_back(Ms(Clock::now() - t0));
  }
  std::sort(copies.begin(), copies.end());

  double worst = 0, worstMedian = 0, prepare = 0;
  std::printf("%-6s %10s %10s\n", "effect", "median ms", "max ms");
  for (int code : imaging::kEffectCodes) {
    std::vector<double> frames;
    for (int r = 0; r < runs; ++r) {
      dc.FillRect(full, Rgb(0, 0, 0));
      const auto t0 = Clock::now();
      auto t = imaging::Transition::Make(code, picture.View(), full);
      prepare = std::max(prepare, Ms(Clock::now() - t0));
      for (int k = 1; k <= imaging::kEffectFrames; ++k) {
        const auto f0 = Clock::now();
        t->PaintTo(dc, k);
        frames.push_back(Ms(Clock::now() - f0));
      }
    }
    std::sort(frames.begin(), frames.end());
    const double median = frames[frames.size() / 2], max = frames.back();
    worst = std::max(worst, max);
    worstMedian = std::max(worstMedian, median);
    std::printf("%-6d %10.3f %10.3f\n", code, median, max);
  }
  std::printf("full_copy_median: %.3f ms\n", copies[copies.size() / 2]);
  std::printf("effect_frame_median_worst: %.3f ms\n", worstMedian);
  std::printf("effect_frame_max: %.3f ms\n", worst);
  std::printf("effect_prepare_max: %.3f ms\n", prepare);
  return worst < 8.0 ? 0 : 1;
}
