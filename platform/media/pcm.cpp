#include "platform/media/pcm.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace media {
namespace {

bool Plain(const WaveFormat& f) {
  return f.formatTag == 1 && (f.bits == 8 || f.bits == 16) &&
         (f.channels == 1 || f.channels == 2) && f.rate > 0 &&
         f.blockAlign == f.channels * f.bits / 8;
}

// Samples as floats in [-1, 1), channels interleaved.
std::vector<float> Decode(const Wave& w) {
  const size_t samples = w.data.size() / (w.format.bits / 8);
  std::vector<float> out(samples);
  if (w.format.bits == 8) {
    for (size_t i = 0; i < samples; ++i)
      out[i] = (float(w.data[i]) - 128) / 128;
  } else {
    for (size_t i = 0; i < samples; ++i)
      out[i] = float(int16_t(w.data[2 * i] | w.data[2 * i + 1] << 8)) / 32768;
  }
  return out;
}

std::vector<float> Remix(const std::vector<float>& in, int from, int to) {
  if (from == to)
    return in;
  const size_t frames = in.size() / from;
  std::vector<float> out(frames * to);
  for (size_t i = 0; i < frames; ++i) {
    if (to == 1)
      out[i] = (in[2 * i] + in[2 * i + 1]) / 2;
    else
      out[2 * i] = out[2 * i + 1] = in[i];
  }
  return out;
}

} // namespace

std::optional<std::vector<uint8_t>> ConvertPcm(const Wave& wave, const WaveFormat& to,
                                               std::string* error) {
  if (!Plain(wave.format) || !Plain(to)) {
    *error = "only 8- or 16-bit PCM in 1 or 2 channels converts";
    return std::nullopt;
  }
  std::vector<float> samples = Remix(Decode(wave), wave.format.channels, to.channels);
  if (wave.format.rate != to.rate && !samples.empty()) {
    const double ratio = double(to.rate) / wave.format.rate;
    if (!src_is_valid_ratio(ratio)) {
      *error = "cannot change the rate from " + std::to_string(wave.format.rate) + " to " +
               std::to_string(to.rate) + " Hz";
      return std::nullopt;
    }
    const size_t frames = samples.size() / to.channels;
    std::vector<float> out(static_cast<size_t>(std::ceil(frames * ratio)) * to.channels +
                           to.channels);
    SRC_DATA d{};
    d.data_in = samples.data();
    d.input_frames = static_cast<long>(frames);
    d.data_out = out.data();
    d.output_frames = static_cast<long>(out.size() / to.channels);
    d.src_ratio = ratio;
    if (int rc = src_simple(&d, SRC_SINC_MEDIUM_QUALITY, to.channels); rc != 0) {
      *error = std::string("cannot change the rate: ") + src_strerror(rc);
      return std::nullopt;
    }
    out.resize(static_cast<size_t>(d.output_frames_gen) * to.channels);
    samples = std::move(out);
  }
  std::vector<uint8_t> out;
  out.reserve(samples.size() * (to.bits / 8));
  for (float v : samples) {
    if (to.bits == 8) {
      // The high byte of the 16-bit sample, made unsigned.
      const long s = std::lround(std::floor(v * 128)) + 128;
      out.push_back(static_cast<uint8_t>(std::clamp(s, 0L, 255L)));
    } else {
      const long s = std::clamp(std::lround(v * 32768), -32768L, 32767L);
      out.push_back(static_cast<uint8_t>(s & 0xFF));
      out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  return out;
}

} // namespace media
