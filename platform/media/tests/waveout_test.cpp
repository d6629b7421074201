#include "platform/media/alsa_wave.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/waveout.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using media::RecordingWaveOut;
using media::WaveFormat;
using media::WaveOutHeader;
using media::WaveOut;
using media::WaveOutHandle;

std::vector<uint8_t> Ramp(size_t n, uint8_t seed = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The wave output on a virtual clock with the given devices.
class WaveOutTest : public ::testing::Test {
protected:
  void SetUp() override { media::InstallTimeSource(&clock); }
  void TearDown() override {
    WaveOut().UseDevices({});
    media::InstallTimeSource(nullptr);
  }

  // Opens the mapper; the callback counts the headers done.
  WaveOutHandle Open(const WaveFormat& format, uint32_t expect = media::kWaveOk) {
    WaveOutHandle h = 0;
    EXPECT_EQ(WaveOut().Open(
                  media::kWaveMapper, format,
                  [this](WaveOutHandle, WaveOutHeader* header) {
                    std::lock_guard lock(mutex);
                    done.push_back({header, clock.NowMs()});
                  },
                  &h),
              expect);
    return h;
  }
  std::vector<std::pair<WaveOutHeader*, uint32_t>> Done() {
    std::lock_guard lock(mutex);
    return done;
  }

  media::VirtualTime clock{1000};
  std::mutex mutex;
  std::vector<std::pair<WaveOutHeader*, uint32_t>> done;
};

TEST(WaveOutCaps, RecordHasItsByteLayout) {
  media::WaveOutCaps caps;
  caps.manufacturerId = 0x1234;
  caps.productId = 0x5678;
  caps.driverVersion = 0x0A0B0C0D;
  caps.SetName(std::string(40, 'n')); // cut to 31 characters
  caps.formats = 0x0FFF;
  caps.channels = 2;
  caps.support = 0x11223344;
  std::array<uint8_t, 52> out{};
  caps.Serialize(out);
  std::array<uint8_t, 52> want{};
  const uint8_t head[] = {0x34, 0x12, 0x78, 0x56, 0x0D, 0x0C, 0x0B, 0x0A};
  std::copy(std::begin(head), std::end(head), want.begin());
  std::fill(want.begin() + 8, want.begin() + 8 + 31, 'n');
  const uint8_t tail[] = {0xFF, 0x0F, 0, 0, 2, 0, 0, 0, 0x44, 0x33, 0x22, 0x11};
  std::copy(std::begin(tail), std::end(tail), want.begin() + 40);
  EXPECT_EQ(out, want);
  EXPECT_EQ(caps.Name(), std::string(31, 'n'));
}

TEST_F(WaveOutTest, BuffersPlayInOrderAtTheClocksPaceAndCompleteAfterTheirLength) {
  auto device = std::make_shared<RecordingWaveOut>();
  WaveOut().UseDevices({device});
  ASSERT_EQ(WaveOut().Count(), 1);
  // 8 kHz 16-bit mono: 16 bytes a millisecond; 100 ms then 50 ms.
  const WaveFormat format = WaveFormat::Pcm(8000, 16, 1);
  const WaveOutHandle h = Open(format);
  ASSERT_NE(h, 0u);
  const std::vector<uint8_t> a = Ramp(1600, 1), b = Ramp(801, 9); // b: half a frame too many
  WaveOutHeader ha, hb;
  ha.data = a.data();
  ha.size = static_cast<uint32_t>(a.size());
  hb.data = b.data();
  hb.size = static_cast<uint32_t>(b.size());
  EXPECT_EQ(WaveOut().Write(h, &ha), media::kWaveUnprepared);
  ASSERT_EQ(WaveOut().Prepare(h, &ha), media::kWaveOk);
  ASSERT_EQ(WaveOut().Prepare(h, &hb), media::kWaveOk);
  ASSERT_EQ(WaveOut().Write(h, &ha), media::kWaveOk);
  ASSERT_EQ(WaveOut().Write(h, &hb), media::kWaveOk);
  EXPECT_EQ(WaveOut().Write(h, &hb), media::kWaveStillPlaying);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveStillPlaying);
  EXPECT_EQ(WaveOut().Unprepare(h, &ha), media::kWaveStillPlaying);

  clock.Advance(95);
  EXPECT_TRUE(Done().empty());
  clock.Advance(200);
  const auto d = Done();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].first, &ha);
  EXPECT_EQ(d[0].second, 1100u);
  EXPECT_EQ(d[1].first, &hb);
  EXPECT_EQ(d[1].second, 1150u);
  EXPECT_EQ(ha.flags.load(), media::kHeaderPrepared | media::kHeaderDone);

  const auto streams = device->Streams();
  ASSERT_EQ(streams.size(), 1u);
  std::vector<uint8_t> want = a;
  want.insert(want.end(), b.begin(), b.end() - 1);
  EXPECT_EQ(streams[0].Bytes(), want);
  // Every chunk falls due at one timer period after the one before.
  for (const auto& chunk : streams[0].chunks)
    EXPECT_EQ(chunk.bytes.size(), 160u) << chunk.timeMs;
  EXPECT_EQ(streams[0].chunks.front().timeMs, 1000u + media::kSinkPeriodMs);

  EXPECT_EQ(WaveOut().Unprepare(h, &ha), media::kWaveOk);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveBadHandle);
  EXPECT_EQ(device->Closes(), 1);
  EXPECT_EQ(WaveOut().OpenCount(), 0);
}

TEST_F(WaveOutTest, ResetCompletesEveryBufferAtOnceAndCutsTheSound) {
  auto device = std::make_shared<RecordingWaveOut>();
  WaveOut().UseDevices({device});
  const WaveOutHandle h = Open(WaveFormat::Pcm(1000, 8, 1)); // a byte a millisecond
  const std::vector<uint8_t> a = Ramp(500), b = Ramp(500, 3);
  WaveOutHeader ha, hb;
  ha.data = a.data();
  ha.size = 500;
  hb.data = b.data();
  hb.size = 500;
  WaveOut().Prepare(h, &ha);
  WaveOut().Prepare(h, &hb);
  WaveOut().Write(h, &ha);
  WaveOut().Write(h, &hb);
  clock.Advance(40);
  ASSERT_EQ(WaveOut().Reset(h), media::kWaveOk);
  const auto d = Done();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].first, &ha);
  EXPECT_EQ(d[1].first, &hb);
  EXPECT_EQ(hb.flags.load(), media::kHeaderPrepared | media::kHeaderDone);
  clock.Advance(1000);
  EXPECT_EQ(Done().size(), 2u);
  EXPECT_EQ(device->Streams()[0].Bytes(), std::vector<uint8_t>(a.begin(), a.begin() + 40));
  // The handle plays again after a reset.
  WaveOut().Write(h, &hb);
  clock.Advance(500);
  EXPECT_EQ(Done().size(), 3u);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
}

TEST_F(WaveOutTest, TheMapperOpensTheFirstDeviceThatOpens) {
  auto failing = std::make_shared<RecordingWaveOut>("failing");
  auto second = std::make_shared<RecordingWaveOut>("second");
  failing->SetOpenFails(true);
  WaveOut().UseDevices({failing, second});
  media::WaveOutCaps caps;
  ASSERT_TRUE(WaveOut().Caps(1, &caps));
  EXPECT_EQ(caps.Name(), "second");
  ASSERT_TRUE(WaveOut().Caps(media::kWaveMapper, &caps));
  EXPECT_FALSE(WaveOut().Caps(2, &caps));

  WaveOutHandle h = Open(WaveFormat::Pcm(22050, 16, 2));
  EXPECT_NE(h, 0u);
  EXPECT_EQ(second->Opens(), 1);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);

  struct Case {
    int device;
    WaveFormat format;
    uint32_t result;
  } cases[] = {
      {0, WaveFormat::Pcm(22050, 16, 2), media::kWaveNoDriver},
      {2, WaveFormat::Pcm(22050, 16, 2), media::kWaveBadDevice},
      {1, WaveFormat::Pcm(22050, 24, 2), media::kWaveBadFormat},
      {1, WaveFormat::Pcm(22050, 8, 3), media::kWaveBadFormat},
      {1, WaveFormat::Pcm(0, 8, 1), media::kWaveBadFormat},
  };
  for (const Case& c : cases) {
    WaveOutHandle none = 7;
    EXPECT_EQ(WaveOut().Open(c.device, c.format, nullptr, &none), c.result) << c.device;
    EXPECT_EQ(none, 0u);
    EXPECT_FALSE(media::WaveErrorText(c.result).empty());
  }
  second->SetOpenFails(true);
  EXPECT_EQ(WaveOut().Open(media::kWaveMapper, WaveFormat::Pcm(8000, 8, 1), nullptr, &h),
            media::kWaveNoDriver);
  // The fallback takes over when nothing listed opens.
  auto fallback = std::make_shared<RecordingWaveOut>("fallback");
  WaveOut().SetFallback(fallback);
  h = Open(WaveFormat::Pcm(8000, 8, 1));
  EXPECT_EQ(fallback->Opens(), 1);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
  EXPECT_NE(media::WaveErrorText(media::kWaveNoDriver), media::WaveErrorText(media::kWaveBadFormat));
}

TEST_F(WaveOutTest, AWriteTheDeviceRefusesFails) {
  auto device = std::make_shared<RecordingWaveOut>();
  WaveOut().UseDevices({device});
  const WaveOutHandle h = Open(WaveFormat::Pcm(8000, 8, 1));
  device->SetPlayFails(true);
  const std::vector<uint8_t> a = Ramp(80);
  WaveOutHeader ha;
  ha.data = a.data();
  ha.size = 80;
  WaveOut().Prepare(h, &ha);
  EXPECT_EQ(WaveOut().Write(h, &ha), media::kWaveError);
  EXPECT_EQ(ha.flags.load() & media::kHeaderInQueue, 0u);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
}

TEST_F(WaveOutTest, TheWavSinkWritesExactlyWhatWasPlayed) {
  mediatest::TempDir dir;
  const std::string path = dir.Path() + "/out.wav";
  WaveOut().UseDevices({media::WavSinkDevice(path)});
  const WaveFormat format = WaveFormat::Pcm(11025, 16, 2);
  const std::vector<uint8_t> a = Ramp(4 * 1103, 5); // just over 100 ms
  WaveOutHeader ha;
  ha.data = a.data();
  ha.size = static_cast<uint32_t>(a.size());
  WaveOutHandle h = Open(format);
  WaveOut().Prepare(h, &ha);
  WaveOut().Write(h, &ha);
  clock.Advance(100);
  EXPECT_TRUE(Done().empty());
  clock.Advance(10);
  ASSERT_EQ(Done().size(), 1u);
  // The file is complete as soon as the buffer is done, before the close.
  std::vector<uint8_t> want = media::WaveBytes(format, a);
  EXPECT_EQ(FileBytes(path), want);
  // A reset cuts it where the clock stood.
  WaveOut().Write(h, &ha);
  clock.Advance(20);
  WaveOut().Reset(h);
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
  std::vector<uint8_t> played = a;
  played.insert(played.end(), a.begin(), a.begin() + 4 * 220);
  EXPECT_EQ(FileBytes(path), media::WaveBytes(format, played));
  // The next opening in this format adds to the file; one in another
  // format writes it anew.
  h = Open(format);
  WaveOut().Write(h, &ha);
  clock.Advance(10);
  WaveOut().Reset(h);
  WaveOut().Close(h);
  played.insert(played.end(), a.begin(), a.begin() + 4 * 110);
  EXPECT_EQ(FileBytes(path), media::WaveBytes(format, played));
  const WaveFormat mono = WaveFormat::Pcm(8000, 8, 1);
  h = Open(mono);
  WaveOut().Write(h, &ha);
  clock.Advance(10);
  WaveOut().Reset(h);
  WaveOut().Close(h);
  EXPECT_EQ(FileBytes(path), media::WaveBytes(mono, std::vector<uint8_t>(a.begin(), a.begin() + 80)));
}

TEST(AlsaWave, AFilePcmReceivesExactlyTheBytesPlayed) {
  mediatest::TempDir dir;
  const std::string raw = dir.Path() + "/out.raw";
  const std::string config = "pcm.vexotest { type file slave { pcm { type null } } file \"" +
                             raw + "\" format \"raw\" }";
  WaveOut().UseDevices({media::AlsaWaveDevice("vexotest", "test", config)});
  std::mutex mutex;
  std::condition_variable cv;
  int done = 0;
  WaveOutHandle h = 0;
  ASSERT_EQ(WaveOut().Open(
                0, WaveFormat::Pcm(22050, 16, 2),
                [&](WaveOutHandle, WaveOutHeader*) {
                  std::lock_guard lock(mutex);
                  ++done;
                  cv.notify_all();
                },
                &h),
            media::kWaveOk);
  const std::vector<uint8_t> a = Ramp(4 * 3000, 1), b = Ramp(4 * 10, 2);
  WaveOutHeader ha, hb;
  ha.data = a.data();
  ha.size = static_cast<uint32_t>(a.size());
  hb.data = b.data();
  hb.size = static_cast<uint32_t>(b.size());
  WaveOut().Prepare(h, &ha);
  WaveOut().Prepare(h, &hb);
  WaveOut().Write(h, &ha);
  WaveOut().Write(h, &hb);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return done == 2; }));
  }
  EXPECT_EQ(WaveOut().Close(h), media::kWaveOk);
  std::vector<uint8_t> want = a;
  want.insert(want.end(), b.begin(), b.end());
  EXPECT_EQ(FileBytes(raw), want);
  WaveOut().UseDevices({});
}

TEST(AlsaWave, AnUnknownPcmDoesNotOpen) {
  WaveOut().UseDevices({media::AlsaWaveDevice("vexo_no_such_pcm", "none")});
  WaveOutHandle h = 0;
  EXPECT_EQ(WaveOut().Open(0, WaveFormat::Pcm(22050, 16, 2), nullptr, &h), media::kWaveNoDriver);
  WaveOut().UseDevices({});
}

TEST_F(WaveOutTest, AWaveFilePlaysByNameWaitingOrNot) {
  mediatest::TempDir dir;
  auto device = std::make_shared<RecordingWaveOut>();
  WaveOut().UseDevices({device});
  const std::string path = dir.Path() + "/a.wav";
  const std::vector<uint8_t> a = Ramp(300);
  ASSERT_TRUE(media::WriteWaveFile(path, WaveFormat::Pcm(1000, 8, 1), a, nullptr));
  EXPECT_FALSE(media::PlayWaveFile(dir.Path() + "/missing.wav", false));
  // Not waiting: the next sound stops it.
  ASSERT_TRUE(media::PlayWaveFile(path, false));
  clock.Advance(50);
  ASSERT_TRUE(media::PlayWaveFile(path, false));
  EXPECT_EQ(device->Closes(), 1);
  ASSERT_TRUE(media::PlayWaveFile("", false));
  EXPECT_EQ(device->Closes(), 2);
  // Waiting: another thread moves the clock on.
  std::atomic<bool> returned{false};
  std::thread player([&] {
    EXPECT_TRUE(media::PlayWaveFile(path, true));
    returned = true;
  });
  while (device->Opens() < 3)
    std::this_thread::yield();
  while (!returned) {
    clock.Advance(10);
    std::this_thread::yield();
  }
  player.join();
  EXPECT_EQ(device->OpenStreams(), 0);
  const auto streams = device->Streams();
  ASSERT_EQ(streams.size(), 3u);
  EXPECT_EQ(streams[0].Bytes(), std::vector<uint8_t>(a.begin(), a.begin() + 50));
  EXPECT_EQ(streams[2].Bytes(), a);
}

// Waves of 1 to 20 ms replacing each other on the real clock: every open is
// closed once, and every buffer completes once.
TEST(RealTime, WavesReplacingEachOtherCloseEachDeviceOnce) {
  mediatest::TempDir dir;
  WaveOut().UseDevices({media::WavSinkDevice(dir.Path() + "/r.wav")});
  std::atomic<int> done{0};
  const std::vector<uint8_t> data = Ramp(2 * 441 * 20);
  for (int i = 0; i < 1000; ++i) {
    WaveOutHandle h = 0;
    ASSERT_EQ(WaveOut().Open(
                  media::kWaveMapper, WaveFormat::Pcm(44100, 16, 1),
                  [&](WaveOutHandle, WaveOutHeader*) { ++done; }, &h),
              media::kWaveOk);
    WaveOutHeader header;
    header.data = data.data();
    header.size = static_cast<uint32_t>(2 * 44 * (1 + i % 20));
    WaveOut().Prepare(h, &header);
    ASSERT_EQ(WaveOut().Write(h, &header), media::kWaveOk);
    if (i % 3 == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 7));
    WaveOut().Reset(h);
    ASSERT_EQ(WaveOut().Close(h), media::kWaveOk);
    ASSERT_EQ(done.load(), i + 1);
  }
  EXPECT_EQ(WaveOut().OpenCount(), 0);
  WaveOut().UseDevices({});
}

} // namespace
