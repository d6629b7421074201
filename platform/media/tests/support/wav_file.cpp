#include "wav_file.h"

#include "platform/media/riff.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace mediatest {

int Wav::Peak(double fromMs, double toMs) const {
  const size_t from = std::min(Frames(), size_t(fromMs * sampleRate / 1000));
  const size_t to = std::min(Frames(), size_t(toMs * sampleRate / 1000));
  int peak = 0;
  for (size_t i = from * 2; i < to * 2; ++i)
    peak = std::max(peak, std::abs(int(samples[i])));
  return peak;
}

double Wav::Rms(double fromMs, double toMs) const {
  const size_t from = std::min(Frames(), size_t(fromMs * sampleRate / 1000));
  const size_t to = std::min(Frames(), size_t(toMs * sampleRate / 1000));
  if (to <= from)
    return 0;
  double sum = 0;
  for (size_t i = from * 2; i < to * 2; ++i)
    sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / double((to - from) * 2));
}

double Wav::ToneShare(double hz, double fromMs, double toMs) const {
  const size_t from = std::min(Frames(), size_t(fromMs * sampleRate / 1000));
  const size_t to = std::min(Frames(), size_t(toMs * sampleRate / 1000));
  if (to <= from)
    return 0;
  double re = 0, im = 0, power = 0;
  const double step = 2 * M_PI * hz / sampleRate;
  for (size_t i = from; i < to; ++i) {
    const double x = samples[i * 2];
    re += x * std::cos(step * double(i - from));
    im += x * std::sin(step * double(i - from));
    power += x * x;
  }
  const double n = double(to - from);
  if (power <= 0)
    return 0;
  // A sine of amplitude a gives |X| = a n / 2 and a power of n a^2 / 2.
  return 2 * (re * re + im * im) / n / power;
}

std::optional<Wav> ReadStereoWav(const std::string& path, std::string* why) {
  auto wave = media::ReadWaveFile(path, why);
  if (!wave)
    return std::nullopt;
  const media::WaveFormat& f = wave->format;
  auto expect = [&](bool ok, const char* field) {
    if (!ok)
      *why = std::string("bad ") + field;
    return ok;
  };
  if (!expect(f.channels == 2, "channels") || !expect(f.bits == 16, "bits") ||
      !expect(f.byteRate == f.rate * 4, "byte rate") || !expect(!wave->truncated, "data size") ||
      !expect(std::filesystem::file_size(path) == 44 + wave->data.size(), "RIFF size"))
    return std::nullopt;
  Wav wav;
  wav.sampleRate = f.rate;
  wav.samples.resize(wave->data.size() / 2);
  for (size_t i = 0; i < wav.samples.size(); ++i)
    wav.samples[i] = static_cast<int16_t>(wave->data[2 * i] | wave->data[2 * i + 1] << 8);
  return wav;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vexo3-media-XXXXXX").string();
  if (mkdtemp(pattern.data()))
    path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ec);
}

} // namespace mediatest
