#include "score/verdict.h"

#include "platform/media/riff.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/waveout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

TEST(Verdict, TheSoundOfEachScore) {
  const std::pair<int32_t, const char*> cases[] = {
      {100, "95.WAV"}, {95, "95.WAV"}, {94, "90.WAV"}, {90, "90.WAV"}, {89, "80.WAV"},
      {80, "80.WAV"},  {79, "70.WAV"}, {70, "70.WAV"}, {69, "60.WAV"}, {60, "60.WAV"},
      {59, nullptr},   {0, nullptr},
  };
  for (auto [score, name] : cases) {
    const char* got = score::VerdictSoundName(score);
    EXPECT_EQ(got ? std::string(got) : "none", name ? std::string(name) : "none") << score;
  }
}

TEST(Verdict, PlaysItsFileToTheEndOnTheSink) {
  char pattern[] = "/tmp/vexo-verdict-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const media::WaveFormat format = media::WaveFormat::Pcm(11025, 8, 1);
  const std::vector<uint8_t> sound(1103, 0x90); // 100 ms
  ASSERT_TRUE(media::WriteWaveFile(dir + "/70.WAV", format, sound, nullptr));
  media::VirtualTime clock(1000);
  media::InstallTimeSource(&clock);
  auto sink = std::make_shared<media::RecordingWaveOut>();
  media::WaveOut().UseDevices({sink});
  std::atomic<bool> done{false};
  std::thread mover([&] {
    while (!done) {
      clock.Advance(10);
      std::this_thread::yield();
    }
  });
  // 79.9 truncates to 79: the 70 sound, played whole before the call returns.
  EXPECT_TRUE(score::PlayVerdict(static_cast<int32_t>(79.9f), dir));
  const auto streams = sink->Streams();
  EXPECT_FALSE(score::PlayVerdict(static_cast<int32_t>(59.9f), dir));
  done = true;
  mover.join();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].Bytes(), sound);
  EXPECT_EQ(sink->Opens(), 1);
  media::WaveOut().UseDevices({});
  media::InstallTimeSource(nullptr);
  std::filesystem::remove_all(dir);
}

} // namespace
