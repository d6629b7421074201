// Capture blocks made for the engine's tests: sums of sines and noise in the
// engine's own capture format, and the player state around a syllable.
#pragma once

#include "score/pitch_engine.h"

#include <cstdint>
#include <vector>

namespace score::test {

struct Tone {
  double hz;
  double amplitude; // in the analysis' units: 8-bit steps (16-bit: ×256)
};

// One block of BlockBytes() bytes; the first channel carries the tones plus
// uniform noise of the given peak, any second channel the inverse signal.
std::vector<uint8_t> Block(const PitchEngine& engine, const std::vector<Tone>& tones,
                           double noise = 0, uint32_t seed = 1);

// A syllable of totalMs being sung elapsedMs into it, on the melody note.
PlayerState Singing(uint8_t note, int32_t elapsedMs = 100, int32_t totalMs = 400,
                    int32_t nowMs = 1000);
// Between syllables.
PlayerState Between(int32_t nowMs);

} // namespace score::test
