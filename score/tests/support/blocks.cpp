#include "blocks.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace score::test {

std::vector<uint8_t> Block(const PitchEngine& engine, const std::vector<Tone>& tones, double noise,
                           uint32_t seed) {
  const CaptureFormat& f = engine.Format();
  const size_t frames = engine.BlockBytes() / f.BlockAlign();
  std::vector<uint8_t> out;
  out.reserve(engine.BlockBytes());
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(-noise, noise);
  for (size_t i = 0; i < frames; ++i) {
    double v = noise > 0 ? uniform(random) : 0;
    for (const Tone& t : tones)
      v += t.amplitude * std::sin(2 * M_PI * t.hz * double(i) / f.rate);
    for (int c = 0; c < f.channels; ++c) {
      const double s = c == 0 ? v : -v;
      if (f.bits == 8) {
        out.push_back(static_cast<uint8_t>(std::clamp(std::lround(s) + 127, 0L, 255L)));
      } else {
        const auto w = static_cast<int16_t>(std::clamp(std::lround(s * 256), -32768L, 32767L));
        out.push_back(static_cast<uint8_t>(w & 0xFF));
        out.push_back(static_cast<uint8_t>((w >> 8) & 0xFF));
      }
    }
  }
  out.resize(engine.BlockBytes(), f.bits == 8 ? 127 : 0);
  return out;
}

PlayerState Singing(uint8_t note, int32_t elapsedMs, int32_t totalMs, int32_t nowMs) {
  PlayerState p;
  p.curNote = note;
  p.noNote = 0;
  p.lyricOn = 1;
  p.lyricTotalMs = totalMs;
  p.lyricElapsedMs = elapsedMs;
  p.currentTimeMs = nowMs;
  return p;
}

PlayerState Between(int32_t nowMs) {
  PlayerState p;
  p.currentTimeMs = nowMs;
  return p;
}

} // namespace score::test
