// A song's embedded waves played through the player core's exports on the
// real engine, virtual time, the recording MIDI devices and the recording
// wave sink, with the test score library handed over by the host.
#include "common/transport_fixture.h"

#include "core/player/waveplayer.h"
#include "core/songdata.h"
#include "platform/media/wave_sinks.h"

#include <gtest/gtest.h>

namespace {

using namespace transporttest;

std::vector<uint8_t> Samples(size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<uint8_t>(seed + i * 29);
  return b;
}

class WavePlay : public TransportTest {
protected:
  void SetUp() override {
    TransportTest::SetUp();
    sink = std::make_shared<media::RecordingWaveOut>();
    media::WaveOut().UseDevices({sink});
    std::string error;
    auto library = sys::Library::Load(kFixtures + "/score-full", "Nyvanta", &error);
    ASSERT_TRUE(library) << error;
    score = library->Release();
    ASSERT_EQ(X().InitDLL(InProcess().module, score, frame.Hwnd(), host.Hwnd(), "tests"), 1);
    paused = reinterpret_cast<int32_t (*)()>(sys::FindName(score, "FakeScore_Paused"));
    resumed = reinterpret_cast<int32_t (*)()>(sys::FindName(score, "FakeScore_Resumed"));
    ASSERT_TRUE(paused && resumed);
  }
  void TearDown() override {
    TransportTest::TearDown();
    media::WaveOut().UseDevices({});
  }

  std::shared_ptr<media::RecordingWaveOut> sink;
  sys::ModuleHandle score = nullptr;
  int32_t (*paused)() = nullptr;
  int32_t (*resumed)() = nullptr;
};

// Steps at 120 beats a minute with two waves: slot 0 (200 ms) at tick 480,
// 500 ms, and slot 5 (100 ms) at tick 960, 1000 ms; saved as a 3.50 file.
std::string SaveWaveSong(core::CSongData& song, const std::string& midi, const std::string& file) {
  EXPECT_EQ(song.LoadByKind(midi, core::kFileMidi), 1);
  song.waves[0].pcm = Samples(200, 1); // 8-bit mono at 1 kHz
  song.waves[0].format = core::WaveFormatWord(1000, 8, 1);
  song.waves[0].name = "first";
  song.waves[5].pcm = Samples(1600, 2); // 16-bit mono at 8 kHz
  song.waves[5].format = core::WaveFormatWord(8000, 16, 1);
  EXPECT_EQ(song.AddEvent(1, 480, 0, 0, 0, core::kKindWave), 1);
  EXPECT_EQ(song.AddEvent(1, 960, 0, 0, 5, core::kKindWave), 1);
  EXPECT_GT(song.SaveByKind(file, core::kSaveV350First), 0);
  return file;
}

TEST_F(WavePlay, ASongsWaveEventsSoundTheirSlotsAtTheirTimes) {
  core::CSongData song;
  const std::string file =
      SaveWaveSong(song, Song("steps.mid", StepsSong(4)), scratch / "waves.vx3");
  ASSERT_EQ(X().LoadFile(file.c_str(), core::kFileVx3), 1);
  const int paused0 = paused(), resumed0 = resumed();
  const uint32_t start = Clock().NowMs();
  ASSERT_EQ(X().Play(), 1);
  ASSERT_TRUE(RunUntil([&] { return HostGot(1283u) > 0; }, 400));
  ASSERT_TRUE(RunUntil([&] { return sink->OpenStreams() == 0; }, 50));

  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].Bytes(), song.waves[0].pcm);
  EXPECT_EQ(streams[1].Bytes(), song.waves[5].pcm);
  EXPECT_EQ(streams[1].format.bits, 16);
  EXPECT_EQ(streams[1].format.rate, 8000u);
  const uint32_t due[] = {start + 500, start + 1000};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(streams[i].openMs, due[i]);
    EXPECT_LE(streams[i].openMs, due[i] + 10);
  }
  EXPECT_EQ(paused() - paused0, 2);
  EXPECT_EQ(resumed() - resumed0, 2);
}

TEST_F(WavePlay, ClosingTheSongStopsItsWaveFirst) {
  core::CSongData song;
  const std::string file =
      SaveWaveSong(song, Song("steps.mid", StepsSong(4)), scratch / "waves.vx3");
  ASSERT_EQ(X().LoadFile(file.c_str(), core::kFileVx3), 1);
  const int paused0 = paused(), resumed0 = resumed();
  ASSERT_EQ(X().Play(), 1);
  ASSERT_TRUE(RunUntil([&] { return sink->OpenStreams() == 1; }, 100));
  RunTicks(5);
  ASSERT_EQ(X().CloseFile(), 1);
  EXPECT_EQ(sink->OpenStreams(), 0);
  EXPECT_EQ(paused() - paused0, 1);
  EXPECT_EQ(resumed() - resumed0, 1);
  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_LT(streams[0].Bytes().size(), song.waves[0].pcm.size());
}

} // namespace
