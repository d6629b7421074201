#include "platform/media/pcm.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using media::Wave;
using media::WaveFormat;

Wave Make(WaveFormat f, std::vector<uint8_t> data) {
  Wave w;
  w.format = f;
  w.data = std::move(data);
  return w;
}

TEST(PcmConversion, ConvertsSamplesAsACaptureWould) {
  struct Row {
    const char* what;
    Wave in;
    WaveFormat to;
    std::vector<uint8_t> out;
  } rows[] = {
      // 16-bit samples 0x1234, -1, -32768, 32767 keep their high byte.
      {"16 to 8 bits",
       Make(WaveFormat::Pcm(8000, 16, 1), {0x34, 0x12, 0xFF, 0xFF, 0, 0x80, 0xFF, 0x7F}),
       WaveFormat::Pcm(8000, 8, 1),
       {0x92, 0x7F, 0x00, 0xFF}},
      {"8 to 16 bits",
       Make(WaveFormat::Pcm(8000, 8, 1), {0x80, 0x81, 0x00}),
       WaveFormat::Pcm(8000, 16, 1),
       {0, 0, 0, 1, 0, 0x80}},
      {"stereo mixed to mono",
       Make(WaveFormat::Pcm(8000, 16, 2), {0, 0x10, 0, 0x20, 0, 0xF0, 0, 0x10}),
       WaveFormat::Pcm(8000, 16, 1),
       {0, 0x18, 0, 0}},
      {"mono doubled",
       Make(WaveFormat::Pcm(8000, 8, 1), {0x90}),
       WaveFormat::Pcm(8000, 8, 2),
       {0x90, 0x90}},
  };
  for (const Row& r : rows) {
    std::string error;
    auto out = media::ConvertPcm(r.in, r.to, &error);
    ASSERT_TRUE(out) << r.what << ": " << error;
    EXPECT_EQ(*out, r.out) << r.what;
  }
}

TEST(PcmConversion, ChangesTheRateKeepingTheTone) {
  // One second of 440 Hz at 44100 Hz, 16-bit, to 22050 Hz 8-bit mono.
  std::vector<uint8_t> data;
  for (int i = 0; i < 44100; ++i) {
    const auto s =
        static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * 440 * i / 44100.0)));
    data.push_back(static_cast<uint8_t>(s & 0xFF));
    data.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  std::string error;
  auto out = media::ConvertPcm(Make(WaveFormat::Pcm(44100, 16, 1), data),
                               WaveFormat::Pcm(22050, 8, 1), &error);
  ASSERT_TRUE(out) << error;
  EXPECT_NEAR(double(out->size()), 22050, 2);
  // Rising zero crossings (in the middle, away from the filter's edges).
  int crossings = 0;
  for (size_t i = 1000; i + 1 < 21050; ++i)
    crossings += (*out)[i] < 128 && (*out)[i + 1] >= 128;
  EXPECT_NEAR(crossings, 440 * 20050 / 22050.0, 2);
  int peak = 0;
  for (size_t i = 1000; i < 21050; ++i)
    peak = std::max(peak, std::abs(int((*out)[i]) - 128));
  EXPECT_NEAR(peak, 62, 2);
}

TEST(PcmConversion, RefusesWhatItCannotConvert) {
  std::string error;
  WaveFormat f = WaveFormat::Pcm(8000, 24, 1);
  EXPECT_FALSE(media::ConvertPcm(Make(f, {1, 2, 3}), WaveFormat::Pcm(8000, 8, 1), &error));
  EXPECT_FALSE(media::ConvertPcm(Make(WaveFormat::Pcm(8000, 8, 1), {1}), f, &error));
  // Found by fuzzing: a 64 Hz file cannot be brought to 22050 Hz.
  EXPECT_FALSE(media::ConvertPcm(Make(WaveFormat::Pcm(64, 8, 1), {1, 2}),
                                 WaveFormat::Pcm(22050, 8, 1), &error));
  EXPECT_NE(error.find("64"), std::string::npos) << error;
}

} // namespace
