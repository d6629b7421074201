// The score parameters: the 52-byte little-endian block that the score's
// host hands over, read and written field by field, and the check that keeps
// a block which would divide by zero or make NaN from ever being used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace score {

constexpr size_t kScoreParameterSize = 52;
// Capacity of the two rings of the moving averages: the largest window h.
constexpr int kMaxAveragingWindow = 64;

struct ScoreParameters {
  // A pitch check needs this much of the syllable played, a syllable this
  // long, and at most this fraction of it played.
  int16_t pitchMinElapsedMs = 50;
  int16_t pitchMinDurationMs = 100;
  float pitchMaxFraction = 0.6f;
  // The same for a voice check.
  int16_t voiceMinElapsedMs = 0;
  int16_t voiceMinDurationMs = 0;
  float voiceMaxFraction = 0.6f;
  // A block whose peak is above it is voiced.
  float levelThreshold = 5.0f;
  // The moving averages' window, in pitch checks.
  int16_t averagingWindow = 5;
  // Status bands in semitones; the third also bounds the errors counted.
  float band1 = 0.4f;
  float band2 = 1.0f;
  float band3 = 3.0f;
  float pitchExponent = -0.3f; // k
  float voiceShape = -0.2f;    // A
  float pitchWeight = 0.6f;    // w
  float fullScore = 100.0f;    // M
  int16_t reserved = 1;
};

// Reads a block; nullopt when fewer than 52 bytes are given. It says
// nothing of whether the values are usable: see Usable.
std::optional<ScoreParameters> ReadScoreParameters(std::span<const uint8_t> bytes);
std::array<uint8_t, kScoreParameterSize> WriteScoreParameters(const ScoreParameters& p);

// False for parameters that would break the arithmetic: h outside 1 to the
// rings' capacity, A not below 0 (r0 would be 0), w outside 0 to 1, k above
// 0 (the pitch term would grow with the error), or any float not finite.
bool Usable(const ScoreParameters& p);

} // namespace score
