// The embedded waves' player: the slot format word, WAV files read into it,
// and due wave events played through the recording sink on virtual time,
// with the singing score paused while a wave sounds.
#include "common/notify_fixture.h"
#include "common/player_fixture.h"

#include "core/player/tambloapp.h"
#include "core/player/waveplayer.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/sys/library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using namespace notifytest;
using playertest::kFixtures;
using playertest::Scratch;

// --- Hand-built WAV files ------------------------------------------------

using Bytes = std::vector<uint8_t>;

void Le(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Chunk(const char* id, const Bytes& body, uint32_t declared = 0xFFFFFFFF) {
  Bytes b(id, id + 4);
  Le(b, declared == 0xFFFFFFFF ? static_cast<uint32_t>(body.size()) : declared, 4);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2)
    b.push_back(0);
  return b;
}

// A "fmt " body: tag, channels, rate, byte rate, block align, bits, then
// the extra bytes given.
Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, Bytes extra = {}) {
  Bytes b;
  Le(b, tag, 2);
  Le(b, channels, 2);
  Le(b, rate, 4);
  Le(b, rate * channels * bits / 8, 4);
  Le(b, channels * bits / 8, 2);
  Le(b, bits, 2);
  b.insert(b.end(), extra.begin(), extra.end());
  return b;
}

// The extensible tail: 22 extra bytes, with the sub-format's tag.
Bytes Extensible(uint16_t subTag, uint16_t bits) {
  Bytes b;
  Le(b, 22, 2);
  Le(b, bits, 2);
  Le(b, 3, 4); // channel mask
  Le(b, subTag, 2);
  const uint8_t tail[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                          0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  b.insert(b.end(), std::begin(tail), std::end(tail));
  return b;
}

Bytes Riff(const std::vector<Bytes>& chunks, uint32_t declared = 0xFFFFFFFF) {
  Bytes body = {'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks)
    body.insert(body.end(), c.begin(), c.end());
  Bytes b = {'R', 'I', 'F', 'F'};
  Le(b, declared == 0xFFFFFFFF ? static_cast<uint32_t>(body.size()) : declared, 4);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Samples(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<uint8_t>(i * 13 + 1);
  return b;
}

TEST(WaveFormatWord, PacksRateChannelsAndBytesPerSampleBothWays) {
  struct Case {
    uint32_t rate;
    uint16_t bits, channels;
    uint32_t word;
    const char* text;
  } cases[] = {
      {22050, 16, 2, 0x22005622, "22050Hz, 16bit, Stereo"},
      {11025, 8, 1, 0x11002B11, "11025Hz, 8bit, Mono"},
      {44100, 8, 2, 0x1200AC44, "44100Hz, 8bit, Stereo"},
      {8000, 16, 1, 0x21001F40, "8000Hz, 16bit, Mono"},
  };
  for (const Case& c : cases) {
    const uint32_t word = core::WaveFormatWord(c.rate, c.bits, c.channels);
    EXPECT_EQ(word, c.word) << c.text;
    EXPECT_EQ(core::FormatWordRate(word), c.rate);
    EXPECT_EQ(core::FormatWordChannels(word), c.channels);
    EXPECT_EQ(core::FormatWordBits(word), c.bits);
    EXPECT_EQ(word >> 28, c.bits / 8u);
    EXPECT_EQ(core::FormatWordText(word), c.text);
  }
  // The empty slot, and the rows of the slot list.
  core::WaveSlot slot;
  EXPECT_EQ(slot.format, 0x11002B11u);
  EXPECT_EQ(core::WaveSlotRow(7, slot), "[ ] 007 : ");
  core::FillWaveSlot(slot, {1, 2, 3, 4}, 22050, 16, 2);
  EXPECT_EQ(slot.format, 0x22005622u);
  slot.name = "Bell";
  EXPECT_EQ(core::WaveSlotRow(255, slot), "[X] 255 : Bell");
  core::ClearWaveSlot(slot);
  EXPECT_EQ(slot.format, 0x11002B11u);
  EXPECT_TRUE(slot.pcm.empty() && slot.name.empty());
}

TEST(WavePlayerRead, TakesPcmOfEightOrSixteenBitsAndLeavesAllElseUnchanged) {
  const Bytes d8 = Samples(10), d16 = Samples(12);
  const Bytes fmt16s = Chunk("fmt ", Fmt(1, 2, 22050, 16));
  struct Case {
    const char* name;
    Bytes file;
    bool taken;
    uint32_t word;
    Bytes data;
  } cases[] = {
      {"8-bit mono", Riff({Chunk("fmt ", Fmt(1, 1, 11025, 8)), Chunk("data", d8)}), true,
       0x11002B11, d8},
      {"16-bit stereo", Riff({fmt16s, Chunk("data", d16)}), true, 0x22005622, d16},
      {"fmt of 18", Riff({Chunk("fmt ", Fmt(1, 1, 8000, 16, {0, 0})), Chunk("data", d16)}), true,
       0x21001F40, d16},
      {"extensible PCM", Riff({Chunk("fmt ", Fmt(0xFFFE, 2, 22050, 16, Extensible(1, 16))),
                               Chunk("data", d16)}),
       true, 0x22005622, d16},
      {"LIST before fmt",
       Riff({Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0}), fmt16s,
             Chunk("data", d16)}),
       true, 0x22005622, d16},
      {"odd chunk before data", Riff({fmt16s, Chunk("junk", {1, 2, 3}), Chunk("data", d16)}), true,
       0x22005622, d16},
      // 14 of 100 bytes there: cut to 3 whole frames.
      {"truncated data", Riff({fmt16s, Chunk("data", Samples(14), 100)}), true, 0x22005622,
       Samples(12)},
      {"lying RIFF size", Riff({fmt16s, Chunk("data", d16)}, 0xFFFFFFF0), true, 0x22005622, d16},
      {"ADPCM", Riff({Chunk("fmt ", Fmt(2, 1, 22050, 4)), Chunk("data", d8)}), false, 0, {}},
      {"float", Riff({Chunk("fmt ", Fmt(3, 1, 22050, 32)), Chunk("data", d16)}), false, 0, {}},
      {"extensible float", Riff({Chunk("fmt ", Fmt(0xFFFE, 2, 22050, 32, Extensible(3, 32))),
                                 Chunk("data", d16)}),
       false, 0, {}},
      {"24 bits", Riff({Chunk("fmt ", Fmt(1, 1, 22050, 24)), Chunk("data", d16)}), false, 0, {}},
      {"3 channels", Riff({Chunk("fmt ", Fmt(1, 3, 22050, 8)), Chunk("data", d16)}), false, 0, {}},
      {"fmt of 20", Riff({Chunk("fmt ", Fmt(1, 1, 8000, 8, {0, 0, 0, 0})), Chunk("data", d8)}),
       false, 0, {}},
      {"no data", Riff({fmt16s}), false, 0, {}},
      {"no fmt", Riff({Chunk("data", d16)}), false, 0, {}},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, false, 0, {}},
      {"missing file", {}, false, 0, {}},
  };
  Scratch dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "w.wav";
    std::remove(path.c_str());
    if (!c.file.empty())
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.file.data()), std::streamsize(c.file.size()));
    core::WavePlayer player;
    const media::WaveFormat before = player.FileFormat();
    ASSERT_EQ(player.ReadWaveFile(path), c.taken ? 1 : 0);
    const media::WaveFormat& f = player.FileFormat();
    if (c.taken) {
      EXPECT_EQ(core::WaveFormatWord(f.rate, f.bits, f.channels), c.word);
      EXPECT_EQ(f.formatTag, 1);
      EXPECT_EQ(f.blockAlign, f.bits / 8 * f.channels);
      EXPECT_EQ(player.TakeFileData(), c.data);
    } else {
      EXPECT_EQ(f.rate, before.rate);
      EXPECT_EQ(f.bits, before.bits);
      EXPECT_EQ(f.channels, before.channels);
      EXPECT_TRUE(player.TakeFileData().empty());
    }
  }
}

// --- Waves of due events ------------------------------------------------

// The test score library bound in the core's score table, with its counts
// of pauses and resumes since.
class TestScore {
public:
  TestScore() {
    std::string error;
    auto library = sys::Library::Load(kFixtures + "/score-full", "Nyvanta", &error);
    EXPECT_TRUE(library) << error;
    if (!library)
      return;
    module_ = library->Release();
    core::TheApp().scoreTable.Bind(module_);
    paused_ = reinterpret_cast<int32_t (*)()>(sys::FindName(module_, "FakeScore_Paused"));
    resumed_ = reinterpret_cast<int32_t (*)()>(sys::FindName(module_, "FakeScore_Resumed"));
    EXPECT_TRUE(paused_ && resumed_);
    paused0_ = paused_ ? paused_() : 0;
    resumed0_ = resumed_ ? resumed_() : 0;
  }
  ~TestScore() { core::TheApp().scoreTable.Clear(); }
  int Paused() const { return paused_ ? paused_() - paused0_ : -1; }
  int Resumed() const { return resumed_ ? resumed_() - resumed0_ : -1; }

private:
  sys::ModuleHandle module_ = nullptr;
  int32_t (*paused_)() = nullptr;
  int32_t (*resumed_)() = nullptr;
  int paused0_ = 0, resumed0_ = 0;
};

// The notification window with a song of two filled slots, the recording
// sink on virtual time and the test score library bound.
class WaveEventTest : public NotifyTest {
protected:
  void SetUp() override {
    NotifyTest::SetUp();
    media::InstallTimeSource(&time);
    sink = std::make_shared<media::RecordingWaveOut>();
    media::WaveOut().UseDevices({sink});
    core::SetEmbeddedWavePlayer(core::PlayWaveEvent);
    core::CSongData& song = core::TheSong();
    // Slot 0: 100 ms of 8-bit mono at 1 kHz; slot 2: 50 ms of 16-bit mono.
    song.waves[0].pcm = Samples(100);
    song.waves[0].format = core::WaveFormatWord(1000, 8, 1);
    song.waves[2].pcm = Samples(100);
    song.waves[2].format = core::WaveFormatWord(1000, 16, 1);
    song.tracks[0].events.push_back(Ev(20, 20, 0, 0, core::kKindWave, 0, 0));
    song.tracks[0].events.push_back(Ev(30, 30, 0, 0, core::kKindWave, 0, 0x70002));
  }
  void TearDown() override {
    core::TheWavePlayer().Stop();
    core::SetEmbeddedWavePlayer(nullptr);
    media::WaveOut().UseDevices({});
    media::InstallTimeSource(&playertest::Clock());
    NotifyTest::TearDown();
  }

  // Sends the due event of song index 3 (slot 0) or 4 (slot 2).
  win::LResult Due(int32_t index) {
    return win::SendMessage(window, core::kRealTimeEvent, 0, core::RealTimeEventLParam(index));
  }
  int Paused() const { return score.Paused(); }
  int Resumed() const { return score.Resumed(); }

  media::VirtualTime time{5000};
  std::shared_ptr<media::RecordingWaveOut> sink;
  TestScore score;
};

TEST_F(WaveEventTest, AWavePlaysWholeWithScoringPausedUntilItsNaturalEnd) {
  ASSERT_EQ(Due(3), 0);
  EXPECT_EQ(display.got.size(), 1u); // relayed
  EXPECT_EQ(core::TheWavePlayer().isPlaying, 1);
  EXPECT_EQ(Paused(), 1);
  time.Advance(90);
  Pump();
  EXPECT_EQ(Resumed(), 0);
  EXPECT_EQ(sink->OpenStreams(), 1);
  time.Advance(10);
  Pump();
  EXPECT_EQ(Resumed(), 1);
  EXPECT_EQ(sink->OpenStreams(), 0);
  EXPECT_EQ(core::TheWavePlayer().isOpen, 0);
  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].Bytes(), core::TheSong().waves[0].pcm);
  EXPECT_EQ(streams[0].format.rate, 1000u);
  // The first bytes within one timer period of the event.
  EXPECT_LE(streams[0].chunks.front().timeMs - 5000, media::kSinkPeriodMs);
}

TEST_F(WaveEventTest, AWaveDuringAWaveResetsTheFirstAndItsLateCompletionIsIgnored) {
  ASSERT_EQ(Due(3), 0);
  time.Advance(30);
  ASSERT_EQ(Due(4), 0);
  time.Advance(50); // the second one ends; its completion is posted
  ASSERT_EQ(Due(3), 0); // a third one replaces it before the window hears of it
  Pump();
  EXPECT_EQ(sink->OpenStreams(), 1) << "the stale completion closed the playing wave";
  EXPECT_EQ(core::TheWavePlayer().isPlaying, 1);
  time.Advance(100);
  Pump();
  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 3u);
  const core::CSongData& song = core::TheSong();
  EXPECT_EQ(streams[0].Bytes(), Bytes(song.waves[0].pcm.begin(), song.waves[0].pcm.begin() + 30));
  EXPECT_EQ(streams[1].Bytes(), song.waves[2].pcm);
  EXPECT_EQ(streams[2].Bytes(), song.waves[0].pcm);
  EXPECT_EQ(sink->Closes(), 3);
  EXPECT_EQ(Paused(), 1);
  EXPECT_EQ(Resumed(), 1);
}

TEST_F(WaveEventTest, AnOutputThatFailsLeavesScoringRunning) {
  sink->SetOpenFails(true);
  EXPECT_EQ(Due(3), -1);
  EXPECT_TRUE(display.got.empty()); // dropped
  EXPECT_EQ(Paused(), 0);
  EXPECT_EQ(Resumed(), 0);
  EXPECT_STRNE(core::TheWavePlayer().ErrorText(), "");
  // A write that fails resumes at once.
  sink->SetOpenFails(false);
  sink->SetPlayFails(true);
  EXPECT_EQ(Due(3), 0);
  EXPECT_EQ(Paused(), 1);
  EXPECT_EQ(Resumed(), 1);
  EXPECT_EQ(sink->OpenStreams(), 0);
  EXPECT_EQ(core::TheWavePlayer().isPlaying, 0);
}

TEST_F(WaveEventTest, StopEndsTheWaveAndResumesOnce) {
  ASSERT_EQ(Due(4), 0);
  EXPECT_TRUE(core::TheWavePlayer().Sounds(core::TheSong().waves[2]));
  EXPECT_FALSE(core::TheWavePlayer().Sounds(core::TheSong().waves[0]));
  core::TheWavePlayer().Stop();
  core::TheWavePlayer().Stop();
  Pump();
  time.Advance(100);
  Pump();
  EXPECT_FALSE(core::TheWavePlayer().Sounds(core::TheSong().waves[2]));
  EXPECT_EQ(Paused(), 1);
  EXPECT_EQ(Resumed(), 1);
  EXPECT_EQ(sink->Closes(), 1);
}

// A device around another that counts its openings and closings.
class CountingDevice final : public media::WaveOutDevice {
public:
  explicit CountingDevice(std::shared_ptr<media::WaveOutDevice> inner) : inner_(std::move(inner)) {}
  media::WaveOutCaps Caps() const override { return inner_->Caps(); }
  std::unique_ptr<media::WaveOutStream> Open(const media::WaveFormat& format,
                                             uint32_t* result) override {
    auto stream = inner_->Open(format, result);
    if (!stream)
      return nullptr;
    ++opens;
    return std::make_unique<Stream>(std::move(stream), this);
  }
  std::atomic<int> opens{0}, closes{0};

private:
  class Stream final : public media::WaveOutStream {
  public:
    Stream(std::unique_ptr<media::WaveOutStream> inner, CountingDevice* device)
        : inner_(std::move(inner)), device_(device) {}
    ~Stream() override {
      inner_.reset();
      ++device_->closes;
    }
    bool Play(std::span<const uint8_t> bytes, std::function<void()> done) override {
      return inner_->Play(bytes, std::move(done));
    }
    void Reset() override { inner_->Reset(); }

  private:
    std::unique_ptr<media::WaveOutStream> inner_;
    CountingDevice* device_;
  };
  std::shared_ptr<media::WaveOutDevice> inner_;
};

using RealTime = NotifyTest;

// A thousand waves of 1 to 20 ms replacing each other on the real clock,
// some ending on their own: every device opened is closed once, and the
// score's pauses and resumes balance.
TEST_F(RealTime, AThousandWavesReplacingEachOtherCloseEachDeviceOnce) {
  media::InstallTimeSource(&media::RealTime());
  Scratch dir;
  auto device = std::make_shared<CountingDevice>(media::WavSinkDevice(dir / "waves.wav"));
  media::WaveOut().UseDevices({device});
  TestScore score;
  std::vector<core::WaveSlot> slots(20);
  for (size_t i = 0; i < slots.size(); ++i) {
    slots[i].pcm = Samples(2 * 44 * (i + 1)); // (i + 1) ms of 16-bit mono at 44 kHz
    slots[i].format = core::WaveFormatWord(44000, 16, 1);
  }
  core::WavePlayer& player = core::TheWavePlayer();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(player.PlaySlot(slots[static_cast<size_t>(i * 7 % 20)]), 1);
    if (i % 5 == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 23));
    Pump();
  }
  for (int i = 0; i < 500 && player.isOpen; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Pump();
  }
  EXPECT_EQ(player.isOpen, 0);
  EXPECT_EQ(device->opens.load(), 1000);
  EXPECT_EQ(device->closes.load(), 1000);
  EXPECT_EQ(media::WaveOut().OpenCount(), 0);
  EXPECT_EQ(score.Paused(), score.Resumed());
  EXPECT_GE(score.Paused(), 1);
  media::WaveOut().UseDevices({});
  media::InstallTimeSource(&playertest::Clock());
}

} // namespace
