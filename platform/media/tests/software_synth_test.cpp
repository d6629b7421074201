#include "platform/media/alsa_ports.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/media/software_synth.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using media::MidiOutHandle;
using mediatest::ReadStereoWav;
using mediatest::Wav;

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds bound = 10000ms) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(200us);
  }
  return true;
}

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | d1 << 8 | d2 << 16;
}

double SecondsSince(int64_t ns) {
  return double(media::MonotonicNs() - ns) / 1e9;
}

// Each test renders into a WAV file of its own, on a device list of its own
// that holds what a normal run has.
class SoftwareSynthTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (access(kSoundFont, R_OK) != 0)
      GTEST_SKIP() << "the General MIDI SoundFont is not installed (" << kSoundFont << ")";
    ASSERT_FALSE(dir_.Path().empty());
    wavPath_ = dir_.Path() + "/out.wav";
    setenv("VEXO_SYNTH_WAV", wavPath_.c_str(), 1);
    setenv("VEXO_RUNTIME_DIR", dir_.Path().c_str(), 1);
    media::RegisterDefaultMidiBackends(devices_);
  }
  void TearDown() override { unsetenv("VEXO_SYNTH_WAV"); }

  Wav ReadWav() {
    std::string why;
    auto wav = ReadStereoWav(wavPath_, &why);
    EXPECT_TRUE(wav) << why;
    return wav.value_or(Wav{});
  }

  mediatest::TempDir dir_;
  std::string wavPath_;
  media::MidiOutSystem devices_;
};

TEST_F(SoftwareSynthTest, IsDeviceZeroAndTheMappersDefault) {
  ASSERT_EQ(devices_.Count(), 1 + int(media::AlsaSequencerDevices().size()));
  media::MidiOutCaps caps;
  ASSERT_TRUE(devices_.Caps(0, &caps));
  EXPECT_EQ(caps.Name(), "Vexo3 GM Software Synth");
  EXPECT_EQ(caps.manufacturerId, media::kManufacturerVexo);
  EXPECT_EQ(caps.productId, media::kProductSoftwareSynth);
  EXPECT_EQ(caps.driverVersion, 0x0203u) << "FluidSynth 2.3";
  EXPECT_EQ(caps.technology, media::kTechSoftwareSynth);
  EXPECT_EQ(caps.voices, 256);
  EXPECT_EQ(caps.notes, 256);
  EXPECT_EQ(caps.channelMask, 0xFFFF);
  std::array<uint8_t, 52> record{};
  caps.Serialize(record);
  EXPECT_EQ(record[2] | record[3] << 8, media::kProductSoftwareSynth);
  EXPECT_EQ(record[8 + 23], 0) << "the name ends in a zero byte";
  media::MidiOutCaps mapper;
  ASSERT_TRUE(devices_.Caps(media::kMidiMapper, &mapper));
  EXPECT_EQ(mapper.voices, caps.voices);
}

TEST_F(SoftwareSynthTest, NoteOnsRenderAudibleAudioOfThePlayedLength) {
  const MidiOutHandle h = devices_.Open(0);
  ASSERT_NE(h, 0u);
  const int64_t firstAt = media::MonotonicNs();
  EXPECT_TRUE(devices_.ShortMessage(h, Msg(0xC0, 0)));
  for (uint8_t note : {60, 64, 67})
    EXPECT_TRUE(devices_.ShortMessage(h, Msg(0x90, note, 100)));
  EXPECT_TRUE(devices_.ShortMessage(h, Msg(0x99, 36, 120)));
  const auto state = media::SoftwareSynthState();
  EXPECT_TRUE(state.sessionOpen);
  EXPECT_TRUE(state.toFile);
  EXPECT_EQ(state.wavPath, wavPath_);
  const uint64_t want = media::kSynthSampleRate * 4 / 10;
  ASSERT_TRUE(WaitFor([&] { return media::SoftwareSynthState().framesWritten >= want; }));
  const double beforeClose = SecondsSince(firstAt);
  EXPECT_TRUE(devices_.Close(h));
  const double played = SecondsSince(firstAt);
  EXPECT_FALSE(media::SoftwareSynthState().sessionOpen);

  const Wav wav = ReadWav();
  EXPECT_EQ(wav.sampleRate, media::kSynthSampleRate);
  EXPECT_EQ(wav.Frames(), media::SoftwareSynthState().framesWritten);
  // The file runs from the first message to the close.
  EXPECT_LE(wav.Seconds(), played);
  EXPECT_GE(wav.Seconds(), beforeClose - 0.010);
  EXPECT_GT(wav.Rms(50, 350), 500.0);
  EXPECT_GT(wav.Peak(0, 400), 4000);
}

// A fixed schedule of messages played from the real timer, the way the
// sequencer plays a song: song time moves on by one period a tick, and every
// message whose time has come goes out.
struct Scheduled {
  uint32_t ms;
  uint32_t message;
};

TEST_F(SoftwareSynthTest, ASchedulePlayedFromTheTimerRendersToItsLength) {
  const std::vector<Scheduled> tune = {
      {0, Msg(0xB9, 91, 0)},    {0, Msg(0xB9, 93, 0)},      {0, Msg(0x99, 42, 110)},
      {0, Msg(0x90, 72, 90)},   {120, Msg(0x89, 42)},       {250, Msg(0x80, 72)},
      {400, Msg(0x90, 76, 90)}, {650, Msg(0x80, 76)},       {1100, Msg(0x99, 38, 127)},
      {1150, Msg(0x89, 38)},    {1400, Msg(0x90, 79, 100)}, {1500, Msg(0x80, 79)},
  };
  const uint32_t songMs = tune.back().ms;
  const MidiOutHandle h = devices_.Open(0);
  ASSERT_NE(h, 0u);
  // As the sequencer does at the end of a song, the last tick stops the
  // timer and closes the device from inside the callback.
  std::atomic<bool> done{false};
  std::atomic<uint32_t> timer{0};
  size_t next = 0;
  uint32_t playMs = 0;
  constexpr uint32_t kPeriod = 10;
  timer = media::RealTime().SetPeriodicEvent(kPeriod, kPeriod, [&] {
    playMs += kPeriod;
    for (; next < tune.size() && tune[next].ms <= playMs; ++next)
      devices_.ShortMessage(h, tune[next].message);
    if (next < tune.size())
      return;
    EXPECT_TRUE(media::RealTime().KillEvent(timer));
    EXPECT_TRUE(devices_.Close(h));
    done = true;
  });
  ASSERT_NE(timer.load(), 0u);
  ASSERT_TRUE(WaitFor([&] { return done.load(); }));

  const Wav wav = ReadWav();
  EXPECT_NEAR(wav.Seconds() * 1000, songMs, 50);
  // The drum hit at 1100 ms stands out of the quiet before it, where its
  // place is (the file starts with the first tick, one period into the song).
  const int before = wav.Peak(900, 1075);
  const int hit = wav.Peak(1095, 1160);
  EXPECT_GT(hit, 4 * std::max(before, 1)) << "before " << before << ", hit " << hit;
}

TEST_F(SoftwareSynthTest, PortsShareOneSessionAndEachSessionWritesItsOwnFile) {
  const MidiOutHandle a = devices_.Open(media::kMidiMapper);
  const MidiOutHandle b = devices_.Open(0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_TRUE(devices_.ShortMessage(a, Msg(0x90, 60, 100)));
  EXPECT_TRUE(devices_.Close(a));
  EXPECT_TRUE(media::SoftwareSynthState().sessionOpen) << "b is still open";
  EXPECT_TRUE(devices_.ShortMessage(b, Msg(0x90, 64, 100)));
  ASSERT_TRUE(WaitFor(
      [&] { return media::SoftwareSynthState().framesWritten >= media::kSynthSampleRate / 5; }));
  EXPECT_TRUE(devices_.Close(b));
  const size_t first = ReadWav().Frames();
  EXPECT_GE(first, media::kSynthSampleRate / 5);

  // A session without a message leaves an empty, well-formed file.
  const MidiOutHandle c = devices_.Open(0);
  ASSERT_NE(c, 0u);
  EXPECT_TRUE(devices_.Close(c));
  EXPECT_EQ(ReadWav().Frames(), 0u);
}

TEST_F(SoftwareSynthTest, ChecksWhatItIsGiven) {
  const MidiOutHandle h = devices_.Open(0);
  ASSERT_NE(h, 0u);
  struct Case {
    std::vector<uint8_t> bytes;
    bool accepted;
  };
  const Case longs[] = {
      {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, true}, // GS reset
      {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, true},                               // GM on
      {{}, false},
      {{0xF0}, false},
      {{0x90, 0x3C, 0x40}, false},
  };
  for (const Case& c : longs)
    EXPECT_EQ(devices_.LongMessage(h, c.bytes), c.accepted) << c.bytes.size();
  auto port = media::SoftwareSynthDevice()->Open();
  ASSERT_TRUE(port);
  EXPECT_FALSE(port->ShortMessage(0x00403C)) << "no status byte";
  EXPECT_TRUE(port->ShortMessage(0xFF)) << "system reset";
  EXPECT_TRUE(port->ShortMessage(Msg(0xE0, 0x00, 0x40)));
  port.reset();
  EXPECT_TRUE(devices_.Close(h));
}

TEST_F(SoftwareSynthTest, AFileThatCannotBeWrittenFailsTheOpen) {
  setenv("VEXO_SYNTH_WAV", (dir_.Path() + "/missing/out.wav").c_str(), 1);
  EXPECT_EQ(devices_.Open(0), 0u);
  EXPECT_FALSE(media::SoftwareSynthState().sessionOpen);
}

TEST_F(SoftwareSynthTest, WithoutSoundOutputItRendersIntoTheRuntimeFolder) {
  const char* xdg = getenv("XDG_RUNTIME_DIR");
  if (access("/dev/snd", F_OK) == 0 || getenv("PULSE_SERVER") ||
      (xdg && access((std::string(xdg) + "/pulse/native").c_str(), F_OK) == 0))
    GTEST_SKIP() << "this machine may have a sound output";
  unsetenv("VEXO_SYNTH_WAV");
  const MidiOutHandle h = devices_.Open(0);
  ASSERT_NE(h, 0u);
  const auto state = media::SoftwareSynthState();
  EXPECT_TRUE(state.toFile);
  EXPECT_EQ(state.wavPath, dir_.Path() + "/synth.wav");
  EXPECT_TRUE(devices_.Close(h));
  wavPath_ = state.wavPath;
  EXPECT_EQ(ReadWav().Frames(), 0u);
}

} // namespace
