// Reads back the 16-bit stereo WAV files that the synthesizer writes, checking
// every header field on the way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mediatest {

struct Wav {
  uint32_t sampleRate = 0;
  std::vector<int16_t> samples; // interleaved left, right
  size_t Frames() const { return samples.size() / 2; }
  double Seconds() const { return sampleRate ? double(Frames()) / sampleRate : 0; }
  // Largest absolute sample in [fromMs, toMs).
  int Peak(double fromMs, double toMs) const;
  // Root mean square of the samples in [fromMs, toMs).
  double Rms(double fromMs, double toMs) const;
  // The share (0-1) of the left channel's power in [fromMs, toMs) that lies
  // in a sine of hz: 1 for a pure tone of that pitch, small for other
  // pitches; the window should hold whole periods.
  double ToneShare(double hz, double fromMs, double toMs) const;
};

// nullopt (with the reason) when the file is missing or any header field is
// not what a 16-bit stereo PCM file of its size must have.
std::optional<Wav> ReadStereoWav(const std::string& path, std::string* why);

// A fresh private folder for one test, removed with its files at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

} // namespace mediatest
