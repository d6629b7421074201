#include "score/capture_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptureRules, RequestedRatesGoUpToAStandardOne) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {11024, 11025}, {11025, 11025}, {11026, 22050}, {22049, 22050}, {22050, 22050},
      {44099, 44100}, {44100, 44100}, {48000, 48000}, {0, 0},         {1, 11025},
  };
  for (auto [asked, got] : cases)
    EXPECT_EQ(score::StandardCaptureRate(asked), got) << asked;
}

TEST(CaptureRules, TheFormatOfADevicesRecord) {
  struct Case {
    uint32_t formats;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits, blockAlign;
    uint32_t byteRate;
  };
  const Case cases[] = {
      {0x0FFF, 2, 44100, 16, 4, 176400}, // everything: 44.1 kHz 16-bit stereo
      {0x0011, 1, 11025, 8, 1, 11025},   // 8-bit at 11 and 22 kHz only
      {0x0004, 1, 11025, 16, 2, 22050},  // 16-bit mono at 11 kHz
      {0x0100, 2, 44100, 8, 2, 88200},   // 44.1 kHz 8-bit
      {0x0000, 0, 11025, 8, 1, 11025},   // nothing said: the smallest format
  };
  for (const Case& c : cases) {
    media::WaveInCaps caps;
    caps.formats = c.formats;
    caps.channels = c.channels;
    const media::WaveFormat f = score::CaptureFormatFromCaps(caps);
    EXPECT_EQ(f.rate, c.rate) << c.formats;
    EXPECT_EQ(f.bits, c.bits) << c.formats;
    EXPECT_EQ(f.blockAlign, c.blockAlign) << c.formats;
    EXPECT_EQ(f.byteRate, c.byteRate) << c.formats;
  }
}

} // namespace
