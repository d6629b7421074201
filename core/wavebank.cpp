#include "core/wavebank.h"

#include <cstdio>

namespace core {

uint32_t WaveFormatWord(uint32_t rate, uint16_t bits, uint16_t channels) {
  return (rate & 0xFFFFFF) | static_cast<uint32_t>(channels & 15) << 24 |
         static_cast<uint32_t>((bits / 8) & 15) << 28;
}

std::string FormatWordText(uint32_t word) {
  char text[64];
  std::snprintf(text, sizeof text, "%liHz, %ibit, %s", static_cast<long>(FormatWordRate(word)),
                static_cast<int>(FormatWordBits(word)),
                FormatWordChannels(word) == 1 ? "Mono" : "Stereo");
  return text;
}

std::string WaveSlotRow(int index, const WaveSlot& slot) {
  char head[32];
  std::snprintf(head, sizeof head, "[%c] %03i : ", slot.pcm.empty() ? ' ' : 'X', index);
  return head + slot.name;
}

void FillWaveSlot(WaveSlot& slot, std::vector<uint8_t> pcm, uint32_t rate, uint16_t bits,
                  uint16_t channels) {
  slot.pcm = std::move(pcm);
  slot.format = WaveFormatWord(rate, bits, channels);
  slot.name.clear();
}

void ClearWaveSlot(WaveSlot& slot) {
  slot.pcm.clear();
  slot.pcm.shrink_to_fit();
  slot.name.clear();
  slot.format = kDefaultWaveFormat;
}

} // namespace core
