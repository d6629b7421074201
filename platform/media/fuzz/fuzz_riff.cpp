// libFuzzer harness over the RIFF chunk walker, the WAVE reader, the writer,
// the PCM conversion, the SoundFont check and the wave slots' format word.
#include "core/wavebank.h"
#include "platform/media/pcm.h"
#include "platform/media/riff.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-riff: %s\n", what);
  std::abort();
}

bool Inside(std::span<const uint8_t> outer, std::span<const uint8_t> inner) {
  return inner.empty() || (inner.data() >= outer.data() &&
                           inner.data() + inner.size() <= outer.data() + outer.size());
}

void Walk(std::span<const uint8_t> data, int depth) {
  for (const media::RiffChunk& c : media::RiffChunks(data)) {
    if (!Inside(data, c.data))
      Fault("a chunk lies outside its parent");
    if (!c.form.empty() && depth < 8)
      Walk(c.data, depth + 1);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  Walk(file, 0);
  if (media::LooksLikeSoundFont(file)) {
    const auto top = media::RiffChunks(file);
    if (top.empty() || top[0].id != "RIFF" || top[0].form != "sfbk")
      Fault("a SoundFont without its form");
  }
  std::string error;
  auto wave = media::ReadWave(file, &error);
  if (!wave)
    return 0;
  const media::WaveFormat& f = wave->format;
  if (f.blockAlign == 0 || wave->data.size() % f.blockAlign != 0 || wave->data.size() > size)
    Fault("the data is not whole frames of the file");
  // A wave slot keeps what was read in its format word (24 bits of rate).
  if (f.rate <= 0xFFFFFF) {
    const uint32_t word = core::WaveFormatWord(f.rate, f.bits, f.channels);
    if (core::FormatWordRate(word) != f.rate || core::FormatWordBits(word) != f.bits ||
        core::FormatWordChannels(word) != f.channels)
      Fault("the slot's format word does not give the format back");
  }
  auto again = media::ReadWave(media::WaveBytes(f, wave->data), &error);
  if (!again || again->data != wave->data || again->format.rate != f.rate ||
      again->format.channels != f.channels || again->format.bits != f.bits)
    Fault("a written file does not read back");
  // libsamplerate changes a rate by a factor of at most 256.
  if (wave->data.size() <= 16384 && uint64_t{f.rate} * 256 >= 22050 && f.rate <= 22050 * 256) {
    auto mono = media::ConvertPcm(*wave, media::WaveFormat::Pcm(22050, 8, 1), &error);
    if (!mono)
      Fault("a file read cannot be converted");
  }
  return 0;
}
