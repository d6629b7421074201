#include "platform/media/virtual_time.h"
#include "platform/media/wavein.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace {

using media::WaveFormat;
using media::WaveIn;
using media::WaveInHandle;
using media::WaveInHeader;

std::vector<uint8_t> Ramp(size_t n, uint8_t seed = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

// A header over a buffer of its own.
struct Buffer {
  explicit Buffer(size_t n) : bytes(n) {
    header.data = bytes.data();
    header.size = static_cast<uint32_t>(n);
  }
  std::vector<uint8_t> Recorded() const {
    return {bytes.begin(), bytes.begin() + header.bytesRecorded};
  }
  std::vector<uint8_t> bytes;
  WaveInHeader header;
};

struct Notice {
  uint32_t message;
  WaveInHeader* header;
  uint32_t ms;
  bool operator==(const Notice&) const = default;
};

// The wave input on a virtual clock; the notices are logged with their time.
class WaveInTest : public ::testing::Test {
protected:
  void SetUp() override { media::InstallTimeSource(&clock); }
  void TearDown() override {
    WaveIn().UseDevices({});
    media::InstallTimeSource(nullptr);
  }

  WaveInHandle Open(const WaveFormat& format, uint32_t expect = media::kWaveOk) {
    WaveInHandle h = 0;
    EXPECT_EQ(WaveIn().Open(
                  media::kWaveMapper, format,
                  [this](WaveInHandle, uint32_t message, WaveInHeader* header) {
                    std::lock_guard lock(mutex);
                    notices.push_back({message, header, clock.NowMs()});
                  },
                  &h),
              expect);
    return h;
  }
  std::vector<Notice> Notices() {
    std::lock_guard lock(mutex);
    return notices;
  }
  // A microphone of 8 kHz 8-bit mono ramp bytes, started at 1000.
  std::vector<uint8_t> UseRampMicrophone(size_t frames) {
    media::Wave wave;
    wave.format = WaveFormat::Pcm(8000, 8, 1);
    wave.data = Ramp(frames, 3);
    auto mic = std::make_shared<media::WavMicrophone>(wave);
    mic->SetStart(1000);
    WaveIn().UseDevices({mic});
    return wave.data;
  }

  media::VirtualTime clock{1000};
  std::mutex mutex;
  std::vector<Notice> notices;
};

TEST(WaveInCaps, RecordHasItsByteLayout) {
  media::WaveInCaps caps;
  caps.manufacturerId = 0x1234;
  caps.productId = 0x5678;
  caps.driverVersion = 0x0A0B0C0D;
  caps.SetName(std::string(40, 'n')); // cut to 31 characters
  caps.formats = 0x0FFF;
  caps.channels = 2;
  std::array<uint8_t, 48> out{};
  caps.Serialize(out);
  std::array<uint8_t, 48> want{};
  const uint8_t head[] = {0x34, 0x12, 0x78, 0x56, 0x0D, 0x0C, 0x0B, 0x0A};
  std::copy(std::begin(head), std::end(head), want.begin());
  std::fill(want.begin() + 8, want.begin() + 39, 'n');
  const uint8_t tail[] = {0xFF, 0x0F, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
  std::copy(std::begin(tail), std::end(tail), want.begin() + 40);
  EXPECT_EQ(out, want);
}

TEST(WaveInCaps, FormatBits) {
  struct Case {
    uint32_t rate;
    uint16_t bits, channels;
    uint32_t bit;
  };
  const Case cases[] = {
      {11025, 8, 1, 0x001},  {11025, 8, 2, 0x002},  {11025, 16, 1, 0x004}, {11025, 16, 2, 0x008},
      {22050, 8, 1, 0x010},  {22050, 16, 2, 0x080}, {44100, 8, 1, 0x100},  {44100, 16, 2, 0x800},
      {48000, 16, 2, 0},     {44100, 24, 2, 0},     {44100, 16, 3, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(media::WaveFormatBit(c.rate, c.bits, c.channels), c.bit)
        << c.rate << " " << c.bits << " " << c.channels;
}

TEST_F(WaveInTest, BuffersFillInOrderFromWhereTheMicrophoneStands) {
  const std::vector<uint8_t> sound = UseRampMicrophone(8000);
  clock.Advance(100); // the capture starts 100 ms into the file: frame 800
  const WaveInHandle h = Open(WaveFormat::Pcm(8000, 8, 1));
  ASSERT_NE(h, 0u);
  Buffer a(400), b(400);
  ASSERT_EQ(WaveIn().Prepare(h, &a.header), media::kWaveOk);
  ASSERT_EQ(WaveIn().Prepare(h, &b.header), media::kWaveOk);
  ASSERT_EQ(WaveIn().Add(h, &a.header), media::kWaveOk);
  ASSERT_EQ(WaveIn().Add(h, &b.header), media::kWaveOk);
  ASSERT_EQ(WaveIn().Start(h), media::kWaveOk);
  clock.Advance(100);
  const std::vector<Notice> want = {{media::MM_WIM_OPEN, nullptr, 1100},
                                    {media::MM_WIM_DATA, &a.header, 1150},
                                    {media::MM_WIM_DATA, &b.header, 1200}};
  EXPECT_EQ(Notices(), want);
  EXPECT_EQ(a.Recorded(), std::vector<uint8_t>(sound.begin() + 800, sound.begin() + 1200));
  EXPECT_EQ(b.Recorded(), std::vector<uint8_t>(sound.begin() + 1200, sound.begin() + 1600));
  EXPECT_EQ(a.header.flags, media::kHeaderPrepared | media::kHeaderDone);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
  EXPECT_EQ(Notices().back().message, media::MM_WIM_CLOSE);
}

TEST_F(WaveInTest, AStoppedCaptureResumesWhereTheClockStandsAndFallsSilentAfterTheEnd) {
  const std::vector<uint8_t> sound = UseRampMicrophone(2000); // 250 ms
  const WaveInHandle h = Open(WaveFormat::Pcm(8000, 8, 1));
  Buffer a(4000);
  WaveIn().Prepare(h, &a.header);
  WaveIn().Add(h, &a.header);
  WaveIn().Start(h);
  clock.Advance(50);
  // Stop hands back what the buffer holds.
  ASSERT_EQ(WaveIn().Stop(h), media::kWaveOk);
  ASSERT_EQ(Notices().size(), 2u);
  EXPECT_EQ(a.Recorded(), std::vector<uint8_t>(sound.begin(), sound.begin() + 400));
  clock.Advance(150); // paused: these 1200 frames are not captured
  Buffer b(1200);
  WaveIn().Prepare(h, &b.header);
  WaveIn().Add(h, &b.header);
  WaveIn().Start(h);
  clock.Advance(150);
  ASSERT_EQ(Notices().size(), 3u);
  std::vector<uint8_t> want(sound.begin() + 1600, sound.end());
  want.resize(1200, 0x80);
  EXPECT_EQ(b.Recorded(), want);
  WaveIn().Stop(h);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
}

TEST_F(WaveInTest, TheMicrophoneConvertsToTheOpenedFormat) {
  media::Wave wave;
  wave.format = WaveFormat::Pcm(8000, 16, 2);
  // Left 0x1234, right 0x3456: mixed to 0x2345, high byte 0x23, unsigned 0xA3.
  for (int i = 0; i < 800; ++i)
    wave.data.insert(wave.data.end(), {0x34, 0x12, 0x56, 0x34});
  auto mic = std::make_shared<media::WavMicrophone>(wave);
  WaveIn().UseDevices({mic});
  const WaveInHandle h = Open(WaveFormat::Pcm(8000, 8, 1));
  Buffer a(100);
  WaveIn().Prepare(h, &a.header);
  WaveIn().Add(h, &a.header);
  WaveIn().Start(h);
  clock.Advance(20);
  EXPECT_EQ(a.Recorded(), std::vector<uint8_t>(100, 0xA3));
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
}

TEST_F(WaveInTest, CallsRefusedAndResetReturningEveryBuffer) {
  UseRampMicrophone(800);
  EXPECT_EQ(WaveIn().Count(), 1);
  WaveInHandle none = 0;
  EXPECT_EQ(WaveIn().Open(3, WaveFormat::Pcm(8000, 8, 1), nullptr, &none), media::kWaveBadDevice);
  EXPECT_EQ(WaveIn().Open(media::kWaveMapper, WaveFormat::Pcm(8000, 24, 1), nullptr, &none),
            media::kWaveBadFormat);
  const WaveInHandle h = Open(WaveFormat::Pcm(8000, 16, 2));
  Buffer a(100), b(100), tiny(3);
  EXPECT_EQ(WaveIn().Add(h, &a.header), media::kWaveUnprepared);
  WaveIn().Prepare(h, &a.header);
  WaveIn().Prepare(h, &b.header);
  WaveIn().Prepare(h, &tiny.header);
  EXPECT_EQ(WaveIn().Add(h, &tiny.header), media::kWaveBadParam); // less than a frame
  WaveIn().Add(h, &a.header);
  EXPECT_EQ(WaveIn().Add(h, &a.header), media::kWaveStillPlaying);
  WaveIn().Add(h, &b.header);
  EXPECT_EQ(WaveIn().Unprepare(h, &a.header), media::kWaveStillPlaying);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveStillPlaying);
  // Stopped before anything was captured: the buffers stay queued.
  WaveIn().Start(h);
  WaveIn().Stop(h);
  EXPECT_EQ(Notices().size(), 1u);
  EXPECT_EQ(WaveIn().Reset(h), media::kWaveOk);
  const std::vector<Notice> want = {{media::MM_WIM_OPEN, nullptr, 1000},
                                    {media::MM_WIM_DATA, &a.header, 1000},
                                    {media::MM_WIM_DATA, &b.header, 1000}};
  EXPECT_EQ(Notices(), want);
  EXPECT_EQ(a.header.bytesRecorded, 0u);
  EXPECT_EQ(WaveIn().Unprepare(h, &a.header), media::kWaveOk);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveBadHandle);
  EXPECT_EQ(WaveIn().Start(h), media::kWaveBadHandle);
  EXPECT_EQ(WaveIn().OpenCount(), 0);
  EXPECT_EQ(clock.LiveEvents(), 0);
}

TEST_F(WaveInTest, TheMapperOpensTheFirstDeviceThatTakesTheFormat) {
  media::Wave wave;
  wave.format = WaveFormat::Pcm(8000, 8, 1);
  WaveIn().UseDevices({media::AlsaWaveInDevice("vexo-none", "missing"),
                       std::make_shared<media::WavMicrophone>(wave, "Second")});
  media::WaveInCaps caps;
  ASSERT_TRUE(WaveIn().Caps(1, &caps));
  EXPECT_EQ(caps.Name(), "Second");
  EXPECT_FALSE(WaveIn().Caps(2, &caps));
  const WaveInHandle h = Open(WaveFormat::Pcm(22050, 8, 1));
  EXPECT_NE(h, 0u);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
  WaveInHandle none = 0;
  EXPECT_EQ(WaveIn().Open(0, WaveFormat::Pcm(22050, 8, 1), nullptr, &none), media::kWaveNoDriver);
}

TEST_F(WaveInTest, NoticesArePostedToAWindow) {
  wintest::StartTestSession();
  static std::vector<std::pair<uint32_t, WaveInHeader*>> got;
  static const bool registered = wintest::RegisterFnClass(
      "WaveInNoticeTest", [](win::Hwnd, uint32_t m, win::WParam, win::LParam l) {
        if (m >= media::MM_WIM_OPEN && m <= media::MM_WIM_DATA)
          got.emplace_back(m, reinterpret_cast<WaveInHeader*>(l));
        return win::LResult{0};
      });
  (void)registered;
  const win::Hwnd window = wintest::MakeWindow("WaveInNoticeTest");
  ASSERT_NE(window, 0u);
  got.clear();
  UseRampMicrophone(800);
  WaveInHandle h = 0;
  ASSERT_EQ(WaveIn().Open(media::kWaveMapper, WaveFormat::Pcm(8000, 8, 1), window, &h),
            media::kWaveOk);
  Buffer a(80);
  WaveIn().Prepare(h, &a.header);
  WaveIn().Add(h, &a.header);
  WaveIn().Start(h);
  clock.Advance(10);
  WaveIn().Stop(h);
  WaveIn().Close(h);
  // Nothing arrives until the window's thread reads its queue.
  EXPECT_TRUE(got.empty());
  win::ProcessPendingMessages();
  const std::vector<std::pair<uint32_t, WaveInHeader*>> want = {
      {media::MM_WIM_OPEN, nullptr}, {media::MM_WIM_DATA, &a.header}, {media::MM_WIM_CLOSE, nullptr}};
  EXPECT_EQ(got, want);
  win::DestroyWindow(window);
}

TEST(AlsaWaveIn, AFilePcmCapturesExactlyItsInputFile) {
  mediatest::TempDir dir;
  const std::string raw = dir.Path() + "/in.raw";
  const std::vector<uint8_t> sound = Ramp(4 * 2205, 5); // 100 ms of 22050 Hz 16-bit stereo
  std::ofstream(raw, std::ios::binary)
      .write(reinterpret_cast<const char*>(sound.data()), static_cast<std::streamsize>(sound.size()));
  const std::string config = "pcm.vexotest { type file slave { pcm { type null } } file "
                             "\"/dev/null\" infile \"" +
                             raw + "\" format \"raw\" }";
  auto device = media::AlsaWaveInDevice("vexotest", "test", config);
  EXPECT_NE(device->Caps().formats & media::WaveFormatBit(22050, 16, 2), 0u);
  WaveIn().UseDevices({device});
  std::mutex mutex;
  std::condition_variable cv;
  int done = 0;
  WaveInHandle h = 0;
  ASSERT_EQ(WaveIn().Open(
                0, WaveFormat::Pcm(22050, 16, 2),
                [&](WaveInHandle, uint32_t message, WaveInHeader*) {
                  std::lock_guard lock(mutex);
                  done += message == media::MM_WIM_DATA;
                  cv.notify_all();
                },
                &h),
            media::kWaveOk);
  Buffer a(sound.size());
  WaveIn().Prepare(h, &a.header);
  WaveIn().Add(h, &a.header);
  ASSERT_EQ(WaveIn().Start(h), media::kWaveOk);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return done == 1; }));
  }
  WaveIn().Stop(h);
  EXPECT_EQ(a.Recorded(), sound);
  EXPECT_EQ(WaveIn().Close(h), media::kWaveOk);
  WaveIn().UseDevices({});
}

} // namespace
