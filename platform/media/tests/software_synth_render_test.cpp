// Rendering the synthesizer for the caller: no thread, no clock, exactly the
// frames asked for, the same bytes for the same messages.
#include "platform/media/midiout.h"
#include "platform/media/software_synth.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace {

using media::MidiOutHandle;

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | d1 << 8 | d2 << 16;
}

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CallerRender : public ::testing::Test {
protected:
  void SetUp() override {
    if (access(kSoundFont, R_OK) != 0)
      GTEST_SKIP() << "the General MIDI SoundFont is not installed (" << kSoundFont << ")";
    ASSERT_FALSE(dir_.Path().empty());
    setenv("VEXO_RUNTIME_DIR", dir_.Path().c_str(), 1);
    // Sessions of the caller's render ignore the file of real-time rendering.
    setenv("VEXO_SYNTH_WAV", (dir_.Path() + "/realtime.wav").c_str(), 1);
    media::RegisterDefaultMidiBackends(devices_);
  }
  void TearDown() override {
    media::EndSoftwareSynthRender();
    unsetenv("VEXO_SYNTH_WAV");
  }

  // A short tune: a chord, a drum hit at 300 ms, silence after 600 ms.
  mediatest::Wav RenderTune(const std::string& path) {
    EXPECT_TRUE(media::BeginSoftwareSynthRender(path));
    const MidiOutHandle h = devices_.Open(0);
    EXPECT_NE(h, 0u);
    devices_.ShortMessage(h, Msg(0xC0, 0));
    for (uint8_t note : {60, 64, 67})
      devices_.ShortMessage(h, Msg(0x90, note, 100));
    for (int tick = 0; tick < 100; ++tick) {
      if (tick == 30)
        devices_.ShortMessage(h, Msg(0x99, 38, 127));
      if (tick == 60) {
        for (uint8_t note : {60, 64, 67})
          devices_.ShortMessage(h, Msg(0x80, note));
        devices_.ShortMessage(h, Msg(0xB0, 120, 0)); // all sound off: the tail is cut
        devices_.ShortMessage(h, Msg(0xB9, 120, 0));
      }
      EXPECT_TRUE(media::RenderSoftwareSynth(10));
    }
    EXPECT_TRUE(media::SoftwareSynthState().toFile);
    EXPECT_EQ(media::SoftwareSynthState().wavPath, path);
    EXPECT_TRUE(devices_.Close(h));
    EXPECT_FALSE(media::RenderSoftwareSynth(10)) << "the session has ended";
    std::string why;
    auto wav = mediatest::ReadStereoWav(path, &why);
    EXPECT_TRUE(wav) << why;
    return wav.value_or(mediatest::Wav{});
  }

  mediatest::TempDir dir_;
  media::MidiOutSystem devices_;
};

TEST_F(CallerRender, RendersExactlyTheFramesAskedForWithTheMusicInPlace) {
  const mediatest::Wav wav = RenderTune(dir_.Path() + "/a.wav");
  EXPECT_EQ(wav.sampleRate, media::kSynthSampleRate);
  EXPECT_EQ(wav.Frames(), 100u * 441u);
  EXPECT_GT(wav.Rms(20, 280), 300.0);
  EXPECT_GT(wav.Peak(300, 340), 2 * wav.Peak(250, 295));
  EXPECT_LT(wav.Peak(800, 1000), wav.Peak(20, 280) / 20) << "all sound off leaves only the reverb";
  EXPECT_FALSE(std::ifstream(dir_.Path() + "/realtime.wav").good());
}

TEST_F(CallerRender, TheSameMessagesGiveTheSameBytes) {
  RenderTune(dir_.Path() + "/a.wav");
  RenderTune(dir_.Path() + "/b.wav");
  const std::vector<char> a = Bytes(dir_.Path() + "/a.wav");
  ASSERT_GT(a.size(), 44u + 100u * 441u * 4u - 1u);
  EXPECT_TRUE(a == Bytes(dir_.Path() + "/b.wav"));
}

TEST_F(CallerRender, IsRefusedWhileAPortIsOpenAndEndsWithItsCall) {
  const MidiOutHandle h = devices_.Open(0); // a real-time session, into realtime.wav
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(media::BeginSoftwareSynthRender(dir_.Path() + "/c.wav"));
  EXPECT_FALSE(media::RenderSoftwareSynth(10)) << "a real-time session renders itself";
  EXPECT_TRUE(devices_.Close(h));

  ASSERT_TRUE(media::BeginSoftwareSynthRender(dir_.Path() + "/c.wav"));
  media::EndSoftwareSynthRender();
  const MidiOutHandle again = devices_.Open(0);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(media::SoftwareSynthState().wavPath, dir_.Path() + "/realtime.wav");
  EXPECT_TRUE(devices_.Close(again));
  EXPECT_FALSE(std::ifstream(dir_.Path() + "/c.wav").good());
}

TEST_F(CallerRender, AFileThatCannotBeWrittenFailsTheOpen) {
  ASSERT_TRUE(media::BeginSoftwareSynthRender(dir_.Path() + "/missing/out.wav"));
  EXPECT_EQ(devices_.Open(0), 0u);
  EXPECT_FALSE(media::SoftwareSynthState().sessionOpen);
}

} // namespace
