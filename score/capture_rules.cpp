#include "score/capture_rules.h"

#include <algorithm>

namespace score {

uint32_t StandardCaptureRate(uint32_t rate) {
  if (rate == 0)
    return 0;
  for (uint32_t standard : {11025u, 22050u, 44100u})
    if (rate <= standard)
      return standard;
  return rate;
}

media::WaveFormat CaptureFormatFromCaps(const media::WaveInCaps& caps) {
  constexpr uint32_t k44kHz = 0x0F00;
  constexpr uint32_t k16Bit = 0x0CCC;
  const uint32_t rate = (caps.formats & k44kHz) ? 44100 : 11025;
  const uint16_t bits = (caps.formats & k16Bit) ? 16 : 8;
  const uint16_t channels = std::clamp<uint16_t>(caps.channels, 1, 2);
  return media::WaveFormat::Pcm(rate, bits, channels);
}

} // namespace score
