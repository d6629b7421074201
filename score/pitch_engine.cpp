#include "score/pitch_engine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace score {
namespace {

// The factor is kept as the 32-bit float it always was; multiplied in double
// its value lands just below each whole number (3, 7 and 15, not 4, 8, 16).
constexpr double kDecimationFactor = 0.000362811784725636;
constexpr double kPi = 3.141592654;
// 2π × 250 Hz: the low-pass filter's corner.
constexpr double kLowPassCorner = 1570.796327;
constexpr float kLowestPitch = 60.0f;
constexpr float kHighestPitch = 1200.0f;
constexpr int kMinTransform = 8, kMaxTransform = 4096;

} // namespace

int DecimationFor(uint32_t rate) {
  return static_cast<int>(rate * kDecimationFactor);
}

float NoteOfFrequency(float hz) {
  if (!(hz > kLowestPitch && hz < kHighestPitch))
    return 0;
  return 17.312326f * std::log(hz) - 36.375846f;
}

PitchEngine::PitchEngine() {
  Derive();
}

bool PitchEngine::SetFormat(const CaptureFormat& f) {
  if ((f.bits != 8 && f.bits != 16) || (f.channels != 1 && f.channels != 2) ||
      DecimationFor(f.rate) < 1)
    return false;
  format_ = f;
  Derive();
  return true;
}

bool PitchEngine::SetTransformLength(int n) {
  if (n < kMinTransform || n > kMaxTransform || !std::has_single_bit(static_cast<unsigned>(n)))
    return false;
  n_ = n;
  Derive();
  return true;
}

bool PitchEngine::SetParameters(const ScoreParameters& p) {
  if (!Usable(p))
    return false;
  if (p.averagingWindow != params_.averagingWindow) {
    errRing_.fill(0);
    corRing_.fill(0);
    ringWrite_ = 0;
  }
  params_ = p;
  return true;
}

void PitchEngine::Derive() {
  d_ = DecimationFor(format_.rate);
  step_ = static_cast<float>(format_.rate) / static_cast<float>(d_ * n_);
  stages_ = std::countr_zero(static_cast<unsigned>(n_));
  a_ = static_cast<float>(std::exp(-kLowPassCorner / format_.rate));
  b_ = 1 - a_;
  samples_.assign(static_cast<size_t>(d_) * n_, 0);
  re_.assign(n_, 0);
  im_.assign(n_, 0);
}

size_t PitchEngine::BytesRead() const {
  return (static_cast<size_t>(n_) + static_cast<size_t>(d_) * n_) * format_.BlockAlign();
}

size_t PitchEngine::BlockBytes() const {
  return std::max(static_cast<size_t>(n_) * 17, BytesRead());
}

void PitchEngine::Start() {
  running_ = true;
  analysed_ = false;
  amplitude_ = 0;
  freqrecg_ = noterecg_ = 0;
  top_ = {};
  pitchChecks_ = 0;
  errRing_.fill(0);
  corRing_.fill(0);
  ringWrite_ = 0;
  avgErr_ = avgErrCor_ = 0;
  octaveJump_ = false;
  lastCorrected_ = 0;
  numNoteErrSum_ = 0;
  errSum_ = 0;
  numVolChk_ = numVolHit_ = numEmptyChk_ = numEmptyHit_ = 0;
  interlude_ = true;
  lastSyllableEnd_ = 0;
  prevLyricOn_ = 0;
}

bool PitchEngine::AnalyseBlock(std::span<const uint8_t> block, const PlayerState& player) {
  if (block.size() < BytesRead())
    return false;
  // The first N frames are skipped; a stereo capture is read on its first
  // channel.
  const size_t align = format_.BlockAlign();
  const uint8_t* p = block.data() + static_cast<size_t>(n_) * align;
  const size_t count = samples_.size();
  if (format_.bits == 8) {
    for (size_t i = 0; i < count; ++i, p += align)
      samples_[i] = static_cast<float>(int(p[0]) - 127);
  } else {
    for (size_t i = 0; i < count; ++i, p += align)
      samples_[i] = static_cast<float>(static_cast<int16_t>(p[0] | p[1] << 8) >> 8);
  }
  int32_t amplitude = 0;
  for (size_t i = 0; i < count / 4; ++i)
    amplitude = std::max(amplitude, static_cast<int32_t>(samples_[i]));
  FindPitch(samples_, amplitude);

  UpdateInterlude(player);
  CountChecks(player);
  analysed_ = true;
  return true;
}

void PitchEngine::FindPitch(std::span<const float> x, int32_t amplitude) {
  amplitude_ = amplitude;
  const int n = n_;
  const size_t d = static_cast<size_t>(d_);
  // Two one-pole low-pass stages, then every D-th value.
  float s = 0, y = 0;
  const size_t count = std::min(x.size(), d * n);
  for (size_t i = 0; i < count; ++i) {
    y = a_ * y + b_ * s;
    s = b_ * x[i] + a_ * s;
    if (i % d == 0)
      re_[i / d] = y;
  }
  std::fill(im_.begin(), im_.end(), 0.0f);

  // Radix-2 decimation in time, bit-reversed input order.
  for (int i = 1, j = 0; i < n; ++i) {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1)
      j ^= bit;
    j ^= bit;
    if (i < j)
      std::swap(re_[i], re_[j]);
  }
  for (int half = 1; half < n; half <<= 1) {
    const double theta = kPi / half;
    const float wpr = static_cast<float>(std::cos(theta));
    const float wpi = static_cast<float>(-std::sin(theta));
    float wr = 1, wi = 0;
    for (int k = 0; k < half; ++k) {
      for (int i = k; i < n; i += 2 * half) {
        const int j = i + half;
        const float tr = wr * re_[j] - wi * im_[j];
        const float ti = wr * im_[j] + wi * re_[j];
        re_[j] = re_[i] - tr;
        im_[j] = im_[i] - ti;
        re_[i] += tr;
        im_[i] += ti;
      }
      const float t = wr;
      wr = t * wpr - wi * wpi;
      wi = t * wpi + wi * wpr;
    }
  }

  // The four strongest bins below N/2; an equal later bin never displaces an
  // earlier one.
  const float norm = static_cast<float>(n) * static_cast<float>(n);
  std::array<float, 4> power{-1, -1, -1, -1};
  top_ = {0, 0, 0, 0};
  for (int bin = 0; bin < n / 2; ++bin) {
    const float pw = (re_[bin] * re_[bin] + im_[bin] * im_[bin]) / norm;
    int at = 4;
    while (at > 0 && pw > power[at - 1])
      --at;
    if (at == 4)
      continue;
    for (int m = 3; m > at; --m) {
      power[m] = power[m - 1];
      top_[m] = top_[m - 1];
    }
    power[at] = pw;
    top_[at] = bin;
  }

  freqrecg_ = 0;
  if (static_cast<float>(amplitude) > params_.levelThreshold) {
    std::array<float, 4> f;
    for (int i = 0; i < 4; ++i)
      f[i] = static_cast<float>(top_[i]) * step_;
    for (int i = 0; i < 4; ++i) {
      if (f[i] <= kLowestPitch)
        continue;
      // A strong harmonic over a weaker fundamental: the bin near half of it
      // is the sung note.
      freqrecg_ = f[i];
      for (int j = 0; j < 4; ++j) {
        if (j != i && std::fabs(f[j] - f[i] / 2) < step_) {
          freqrecg_ = f[j];
          break;
        }
      }
      break;
    }
  }
  noterecg_ = NoteOfFrequency(freqrecg_);
}

void PitchEngine::UpdateInterlude(const PlayerState& player) {
  const int32_t now = player.currentTimeMs;
  if (player.lyricOn == 1) {
    interlude_ = false;
  } else {
    if (prevLyricOn_ == 1 || now < lastSyllableEnd_)
      lastSyllableEnd_ = now;
    if (int64_t{now} - lastSyllableEnd_ >= kInterludeMs)
      interlude_ = true;
  }
  prevLyricOn_ = player.lyricOn;
}

void PitchEngine::CountChecks(const PlayerState& player) {
  const bool voiced = static_cast<float>(amplitude_) > params_.levelThreshold;
  const float fraction = player.lyricTotalMs != 0 ? static_cast<float>(player.lyricElapsedMs) /
                                                        static_cast<float>(player.lyricTotalMs)
                                                  : 0.0f;
  if (player.lyricOn == 1) {
    if (player.lyricTotalMs >= params_.voiceMinDurationMs &&
        player.lyricElapsedMs >= params_.voiceMinElapsedMs &&
        fraction <= params_.voiceMaxFraction) {
      ++numVolChk_;
      if (voiced)
        ++numVolHit_;
    }
  } else if (player.lyricOn == 0) {
    ++numEmptyChk_;
    if (!voiced)
      ++numEmptyHit_;
  }
  if (player.noNote == 0 && player.lyricOn == 1 && noterecg_ != 0 &&
      player.lyricTotalMs >= params_.pitchMinDurationMs &&
      player.lyricElapsedMs >= params_.pitchMinElapsedMs && fraction <= params_.pitchMaxFraction)
    PitchCheck(player);
}

void PitchEngine::PitchCheck(const PlayerState& player) {
  const int h = params_.averagingWindow;
  ++pitchChecks_;
  const float error = noterecg_ - static_cast<float>(player.curNote);
  // Slots not yet written hold 0, so the mean over the first checks is the
  // sum over the ring divided by the checks so far.
  const float divisor = static_cast<float>(std::min(pitchChecks_, h));
  auto mean = [&](const std::array<float, kMaxAveragingWindow>& ring) {
    float sum = 0;
    for (int i = 0; i < h; ++i)
      sum += ring[i];
    return sum / divisor;
  };
  errRing_[ringWrite_] = error;
  avgErr_ = mean(errRing_);

  // A jump of an octave or more off the average is taken for the pitch
  // finder's octave error and ignored once: the last kept value stands in.
  const float corrected = error - avgErr_;
  float kept = corrected;
  if (std::fabs(corrected) >= 12 && !octaveJump_) {
    octaveJump_ = true;
    kept = lastCorrected_;
  } else {
    octaveJump_ = false;
  }
  lastCorrected_ = kept;
  corRing_[ringWrite_] = kept;
  avgErrCor_ = mean(corRing_);

  if (std::fabs(avgErrCor_) <= params_.band3) {
    errSum_ += std::fabs(kept);
    ++numNoteErrSum_;
  }
  ringWrite_ = (ringWrite_ + 1) % h;
}

float ScoreFrom(const ScoreParameters& p, int32_t voiceHits, int32_t voiceChecks, float errorSum,
                int32_t errorCount) {
  if (errorCount <= 0 || voiceChecks <= 0)
    return 0;
  const double r = static_cast<double>(voiceHits) / voiceChecks;
  const double e = static_cast<double>(errorSum) / errorCount;
  const double a = p.voiceShape, w = p.pitchWeight, m = p.fullScore;
  // r0 solves r0 - r0² = A: the voice term is 0 at R = 0 and 1 at R = 1. A
  // below 0 (see Usable) keeps r0 below 0 and away from every R.
  const double r0 = (1 - std::sqrt(1 - 4 * a)) / 2;
  const double voice = a / (r - r0) + a / r0;
  const double pitch = std::exp(p.pitchExponent * e * e);
  const double score = m * (1 - w) * voice + w * m * pitch;
  return std::isfinite(score) ? static_cast<float>(score) : 0.0f;
}

float PitchEngine::ScoreFloat() const {
  return ScoreFrom(params_, numVolHit_, numVolChk_, errSum_, numNoteErrSum_);
}

int32_t PitchEngine::Score() const {
  const float s = ScoreFloat();
  // Within the parameters' bounds the score stays in 0..M; an M beyond the
  // integer range is clamped rather than cast out of range.
  constexpr float kLimit = 2147483520.0f;
  return static_cast<int32_t>(std::clamp(s, -kLimit, kLimit));
}

int32_t PitchEngine::SingingStatus() const {
  if (!running_ || !analysed_)
    return kStatusOff;
  if (interlude_)
    return kStatusInterlude;
  if (!(static_cast<float>(amplitude_) > params_.levelThreshold))
    return kStatusSilent;
  const float err = std::fabs(avgErrCor_);
  if (err <= params_.band1)
    return kStatusBand1;
  if (err <= params_.band2)
    return kStatusBand2;
  if (err <= params_.band3)
    return kStatusBand3;
  return kStatusFar;
}

} // namespace score
