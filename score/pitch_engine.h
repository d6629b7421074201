// The scoring engine: from each captured block of the singer's voice it finds
// the level and the sung pitch (low-pass filter, decimation and a Fourier
// transform), compares the pitch with the melody note the player core plays,
// and counts voiced syllables and silent gaps into a score from 0 to M and a
// singing status. It owns no device and no window: the caller captures the
// block and reads the player core's state before it. Single-threaded.
//
// Where the arithmetic left a choice: the ring of corrected errors keeps the
// value kept after the octave rule (so the mean of step 4 is of what was
// counted); of two bins of equal power the lower one ranks first; the score
// and the status are 0 until the first block of a started scoring.
#pragma once

#include "score/score_parameters.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace score {

// The capture's sample format: PCM, 8 or 16 bits, 1 or 2 channels.
struct CaptureFormat {
  uint32_t rate = 11025;
  uint16_t bits = 8;
  uint16_t channels = 1;
  uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * bits / 8); }
};

// The player core's state read before a block (mplay_GetcCurNote,
// ChkcNoNote, ChkcLyricOn, GetlLyricTotTime, GetlLyricCurTime, GetCurTime).
struct PlayerState {
  uint8_t curNote = 60;
  uint8_t noNote = 1;
  uint8_t lyricOn = 0;
  int32_t lyricTotalMs = 0;
  int32_t lyricElapsedMs = 0;
  int32_t currentTimeMs = 0;
};

// Singing status, as the animation control reads it.
enum Status : int32_t {
  kStatusOff = 0,
  kStatusSilent = 2,
  kStatusInterlude = 3,
  kStatusFar = 54,
  kStatusBand3 = 56,
  kStatusBand2 = 57,
  kStatusBand1 = 58,
};

// Time without a syllable after which the song is in an interlude.
constexpr int32_t kInterludeMs = 3001;
constexpr int kDefaultTransformLength = 128;

class PitchEngine {
public:
  PitchEngine();

  // Both refuse (false, nothing changed) what the analysis cannot use: a
  // format other than 8/16-bit mono/stereo, a rate too low to decimate (D
  // would be 0), N not a power of two from 8 to 4096.
  bool SetFormat(const CaptureFormat& format);
  bool SetTransformLength(int n);
  // Refuses (false, old parameters kept) a block that is not Usable.
  bool SetParameters(const ScoreParameters& p);

  const CaptureFormat& Format() const { return format_; }
  int TransformLength() const { return n_; }
  const ScoreParameters& Parameters() const { return params_; }
  int Decimation() const { return d_; }
  float FrequencyStep() const { return step_; }
  // Bytes a capture buffer must hold: N × 16 + N, or more when the analysis
  // of a wide format reads further (N + D × N frames).
  size_t BlockBytes() const;
  // Bytes the analysis reads from a block.
  size_t BytesRead() const;

  // Clears every counter: scoring starts, the song is in an interlude until
  // a syllable comes.
  void Start();
  void Stop() { running_ = false; }
  bool Running() const { return running_; }

  // Analyses one block read with the player's state. False (nothing
  // counted) when the block is shorter than the analysis reads.
  bool AnalyseBlock(std::span<const uint8_t> block, const PlayerState& player);

  // Score 0 before any pitch and voice check.
  float ScoreFloat() const;
  int32_t Score() const;
  int32_t SingingStatus() const;

  // The last block's findings.
  int32_t Amplitude() const { return amplitude_; }
  float Frequency() const { return freqrecg_; }
  float Note() const { return noterecg_; }
  // The four strongest bins, strongest first (ties to the lower bin).
  const std::array<int, 4>& StrongestBins() const { return top_; }
  bool Interlude() const { return interlude_; }

  // The counters.
  int32_t PitchChecks() const { return pitchChecks_; }
  float AverageError() const { return avgErr_; }
  float AverageCorrectedError() const { return avgErrCor_; }
  float LastCorrectedError() const { return lastCorrected_; }
  int32_t ErrorCount() const { return numNoteErrSum_; }
  float ErrorSum() const { return errSum_; }
  int32_t VoiceChecks() const { return numVolChk_; }
  int32_t VoiceHits() const { return numVolHit_; }
  int32_t EmptyChecks() const { return numEmptyChk_; }
  int32_t EmptyHits() const { return numEmptyHit_; }

  // The pitch measurement alone, on samples already as numbers (D × N of
  // them): the strongest bins, the frequency and the note. Exposed for the
  // tests and the benchmark.
  void FindPitch(std::span<const float> samples, int32_t amplitude);

private:
  void Derive();
  void CountChecks(const PlayerState& player);
  void PitchCheck(const PlayerState& player);
  void UpdateInterlude(const PlayerState& player);

  CaptureFormat format_;
  int n_ = kDefaultTransformLength;
  int d_ = 0;
  float step_ = 0;
  int stages_ = 0;
  float a_ = 0, b_ = 0;
  ScoreParameters params_;

  // Work buffers, sized by Derive.
  std::vector<float> samples_;
  std::vector<float> re_, im_;

  bool running_ = false;
  bool analysed_ = false;
  int32_t amplitude_ = 0;
  float freqrecg_ = 0, noterecg_ = 0;
  std::array<int, 4> top_{};
  int32_t pitchChecks_ = 0;
  std::array<float, kMaxAveragingWindow> errRing_{};
  std::array<float, kMaxAveragingWindow> corRing_{};
  int ringWrite_ = 0;
  float avgErr_ = 0, avgErrCor_ = 0;
  bool octaveJump_ = false;
  float lastCorrected_ = 0;
  int32_t numNoteErrSum_ = 0;
  float errSum_ = 0;
  int32_t numVolChk_ = 0, numVolHit_ = 0;
  int32_t numEmptyChk_ = 0, numEmptyHit_ = 0;
  bool interlude_ = true;
  int32_t lastSyllableEnd_ = 0;
  int32_t lastTime_ = 0;
  uint8_t prevLyricOn_ = 0;
};

// The decimation factor of a rate.
int DecimationFor(uint32_t rate);
// The score of the counters: 0 without a pitch or a voice check; else
// M × (1 - w) × (A / (R - r0) + A / r0) + w × M × e^(k × E²), R the voiced
// share of the voice checks, E the mean accepted error.
float ScoreFrom(const ScoreParameters& p, int32_t voiceHits, int32_t voiceChecks, float errorSum,
                int32_t errorCount);
// The note of a frequency: 0 outside 60 to 1200 Hz.
float NoteOfFrequency(float hz);

} // namespace score
