#include "wav_file.h"

#include "platform/sys/bytes.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

std::optional<Wav> ReadStereoWav(const std::string& path, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot open " + path;
    return std::nullopt;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  sys::ByteReader r(bytes);
  auto tag = [&](const char* want) {
    auto b = r.Bytes(4);
    return b && std::string(b->begin(), b->end()) == want;
  };
  auto expect = [&](bool ok, const char* field) {
    if (!ok)
      *why = std::string("bad ") + field;
    return ok;
  };
  if (!expect(tag("RIFF"), "RIFF tag") || !expect(r.U32LE() == bytes.size() - 8, "RIFF size") ||
      !expect(tag("WAVE"), "WAVE tag") || !expect(tag("fmt "), "fmt tag") ||
      !expect(r.U32LE() == 16u, "fmt size") || !expect(r.U16LE() == 1, "format") ||
      !expect(r.U16LE() == 2, "channels"))
    return std::nullopt;
  Wav wav;
  wav.sampleRate = r.U32LE().value_or(0);
  if (!expect(wav.sampleRate > 0, "sample rate") ||
      !expect(r.U32LE() == wav.sampleRate * 4, "byte rate") ||
      !expect(r.U16LE() == 4, "block align") || !expect(r.U16LE() == 16, "bits") ||
      !expect(tag("data"), "data tag"))
    return std::nullopt;
  const auto dataBytes = r.U32LE();
  if (!expect(dataBytes && *dataBytes == r.Remaining() && *dataBytes % 4 == 0, "data size"))
    return std::nullopt;
  wav.samples.resize(*dataBytes / 2);
  for (auto& s : wav.samples)
    s = r.I16LE().value_or(0);
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
