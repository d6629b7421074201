#include "score/score_parameters.h"

#include "platform/sys/bytes.h"

#include <bit>
#include <cmath>

namespace score {
namespace {

std::optional<float> F32(sys::ByteReader& r) {
  auto bits = r.U32LE();
  if (!bits)
    return std::nullopt;
  return std::bit_cast<float>(*bits);
}

void F32(sys::ByteWriter& w, float v) {
  w.U32LE(std::bit_cast<uint32_t>(v));
}

} // namespace

std::optional<ScoreParameters> ReadScoreParameters(std::span<const uint8_t> bytes) {
  if (bytes.size() < kScoreParameterSize)
    return std::nullopt;
  sys::ByteReader r(bytes.first(kScoreParameterSize));
  ScoreParameters p;
  // The block is whole, so no read below can fail.
  p.pitchMinElapsedMs = *r.I16LE();
  p.pitchMinDurationMs = *r.I16LE();
  p.pitchMaxFraction = *F32(r);
  p.voiceMinElapsedMs = *r.I16LE();
  p.voiceMinDurationMs = *r.I16LE();
  p.voiceMaxFraction = *F32(r);
  p.levelThreshold = *F32(r);
  p.averagingWindow = *r.I16LE();
  p.band1 = *F32(r);
  p.band2 = *F32(r);
  p.band3 = *F32(r);
  p.pitchExponent = *F32(r);
  p.voiceShape = *F32(r);
  p.pitchWeight = *F32(r);
  p.fullScore = *F32(r);
  p.reserved = *r.I16LE();
  return p;
}

std::array<uint8_t, kScoreParameterSize> WriteScoreParameters(const ScoreParameters& p) {
  sys::ByteWriter w;
  w.I16LE(p.pitchMinElapsedMs);
  w.I16LE(p.pitchMinDurationMs);
  F32(w, p.pitchMaxFraction);
  w.I16LE(p.voiceMinElapsedMs);
  w.I16LE(p.voiceMinDurationMs);
  F32(w, p.voiceMaxFraction);
  F32(w, p.levelThreshold);
  w.I16LE(p.averagingWindow);
  F32(w, p.band1);
  F32(w, p.band2);
  F32(w, p.band3);
  F32(w, p.pitchExponent);
  F32(w, p.voiceShape);
  F32(w, p.pitchWeight);
  F32(w, p.fullScore);
  w.I16LE(p.reserved);
  std::array<uint8_t, kScoreParameterSize> out{};
  const auto& data = w.Data();
  std::copy(data.begin(), data.end(), out.begin());
  return out;
}

bool Usable(const ScoreParameters& p) {
  const float floats[] = {
      p.pitchMaxFraction, p.voiceMaxFraction, p.levelThreshold, p.band1,    p.band2, p.band3,
      p.pitchExponent,    p.voiceShape,       p.pitchWeight,    p.fullScore};
  for (float f : floats) {
    if (!std::isfinite(f))
      return false;
  }
  return p.averagingWindow >= 1 && p.averagingWindow <= kMaxAveragingWindow && p.voiceShape < 0 &&
         p.pitchWeight >= 0 && p.pitchWeight <= 1 && p.pitchExponent <= 0;
}

} // namespace score
