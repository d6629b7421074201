#include "host/wave_mix.h"

#include "platform/media/pcm.h"
#include "platform/media/riff.h"

#include <algorithm>
#include <cstring>

namespace host {

bool MixWavesIntoFile(const std::string& path, const std::vector<media::RecordedWaveStream>& streams,
                      uint32_t startMs, std::string* error) {
  bool any = false;
  for (const auto& s : streams)
    any = any || !s.chunks.empty();
  if (!any)
    return true;
  auto song = media::ReadWaveFile(path, error);
  if (!song)
    return false;
  const media::WaveFormat& f = song->format;
  if (f.bits != 16 || f.channels != 2) {
    *error = path + ": not 16-bit stereo";
    return false;
  }
  const size_t frames = song->data.size() / 4;
  for (const auto& s : streams) {
    media::Wave wave;
    wave.format = s.format;
    wave.data = s.Bytes();
    if (wave.data.empty())
      continue;
    auto converted = media::ConvertPcm(wave, f, error);
    if (!converted)
      return false;
    const uint64_t at = uint64_t(s.openMs - startMs) * f.rate / 1000;
    const size_t n = converted->size() / 4;
    for (size_t i = 0; i < n && at + i < frames; ++i) {
      for (size_t c = 0; c < 2; ++c) {
        uint8_t* out = song->data.data() + (at + i) * 4 + c * 2;
        const uint8_t* in = converted->data() + i * 4 + c * 2;
        const int sum = int16_t(out[0] | out[1] << 8) + int16_t(in[0] | in[1] << 8);
        const int16_t v = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        out[0] = static_cast<uint8_t>(v & 0xFF);
        out[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
  }
  return media::WriteWaveFile(path, f, song->data, error);
}

} // namespace host
