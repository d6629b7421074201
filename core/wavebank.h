// The song's wave slots as the wave bank shows them: the slot format word
// (rate, channels and bytes per sample of a slot's PCM data), its text, and
// a slot's row in the list of slots.
#pragma once

#include "core/songdata.h"

#include <cstdint>
#include <string>
#include <vector>

namespace core {

// The longest name of a slot, in bytes.
constexpr size_t kWaveNameLength = 32;

// The slot format word: the rate in bits 0-23, the channel count in bits
// 24-27, the bytes per sample in bits 28-31.
uint32_t WaveFormatWord(uint32_t rate, uint16_t bits, uint16_t channels);
inline uint32_t FormatWordRate(uint32_t word) {
  return word & 0xFFFFFF;
}
inline uint16_t FormatWordChannels(uint32_t word) {
  return static_cast<uint16_t>((word >> 24) & 15);
}
inline uint16_t FormatWordBits(uint32_t word) {
  return static_cast<uint16_t>((word >> 25) & ~7u);
}
// "22050Hz, 16bit, Stereo"; "Mono" for one channel.
std::string FormatWordText(uint32_t word);

// A slot's row: "[X] 003 : name" for a slot with data, "[ ] 003 : name"
// for an empty one.
std::string WaveSlotRow(int index, const WaveSlot& slot);

// The slot takes PCM data in this format, its name cleared.
void FillWaveSlot(WaveSlot& slot, std::vector<uint8_t> pcm, uint32_t rate, uint16_t bits,
                  uint16_t channels);
// An empty slot: no data, no name, the empty format word.
void ClearWaveSlot(WaveSlot& slot);

} // namespace core
