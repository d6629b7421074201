// SoundFonts beside the General MIDI one: a user bank heard on its own MIDI
// bank, a base that replaces General MIDI, and files that are not SoundFonts
// refused with everything left as it was.
#include "platform/media/midiout.h"
#include "platform/media/software_synth.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

using media::MidiOutHandle;

const std::string kSine = std::string(VEXO_TESTS_DIR) + "/fixtures/sine.sf2";

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | d1 << 8 | d2 << 16;
}

class SynthBanks : public ::testing::Test {
protected:
  void SetUp() override {
    if (media::GeneralMidiSoundFont().empty())
      GTEST_SKIP() << "the General MIDI SoundFont is not installed";
    ASSERT_EQ(access(kSine.c_str(), R_OK), 0) << kSine << " is made by the build";
    setenv("VEXO_RUNTIME_DIR", dir_.Path().c_str(), 1);
    media::RegisterDefaultMidiBackends(devices_);
  }
  void TearDown() override {
    for (const media::SynthBank& b : media::SoftwareSynthBanks())
      media::UnloadSoftwareSynthBank(b.bank);
    media::SetSoftwareSynthBase("");
    media::EndSoftwareSynthRender();
  }

  // Bank select, program 0 and A4 held for 400 ms on channel 1.
  mediatest::Wav RenderA4(uint8_t bank) {
    const std::string path = dir_.Path() + "/a4.wav";
    EXPECT_TRUE(media::BeginSoftwareSynthRender(path));
    const MidiOutHandle h = devices_.Open(0);
    EXPECT_NE(h, 0u);
    devices_.ShortMessage(h, Msg(0xB0, 0, bank));
    devices_.ShortMessage(h, Msg(0xC0, 0));
    devices_.ShortMessage(h, Msg(0x90, 69, 100));
    for (int i = 0; i < 40; ++i)
      media::RenderSoftwareSynth(10);
    devices_.Close(h);
    media::EndSoftwareSynthRender();
    std::string why;
    auto wav = mediatest::ReadStereoWav(path, &why);
    EXPECT_TRUE(wav) << why;
    return wav.value_or(mediatest::Wav{});
  }

  mediatest::TempDir dir_;
  media::MidiOutSystem devices_;
};

// The sine SoundFont puts nearly all the power at the note's own pitch; the
// General MIDI piano keeps about a tenth of it in its overtones.
constexpr double kSineShare = 0.98;

TEST_F(SynthBanks, AUserBankIsHeardOnItsOwnBankNumberOnly) {
  const double piano = RenderA4(5).ToneShare(440, 100, 400);
  EXPECT_LT(piano, kSineShare) << "without the bank, bank 5 falls back to the piano";

  ASSERT_TRUE(media::LoadSoftwareSynthBank(5, kSine));
  ASSERT_EQ(media::SoftwareSynthBanks().size(), 1u);
  EXPECT_EQ(media::SoftwareSynthBanks()[0].path, kSine);
  const mediatest::Wav sine = RenderA4(5);
  EXPECT_GT(sine.Rms(100, 400), 300.0);
  EXPECT_GT(sine.ToneShare(440, 100, 400), kSineShare);
  EXPECT_LT(RenderA4(0).ToneShare(440, 100, 400), kSineShare) << "bank 0 is still the piano";

  ASSERT_TRUE(media::UnloadSoftwareSynthBank(5));
  EXPECT_TRUE(media::SoftwareSynthBanks().empty());
  EXPECT_LT(RenderA4(5).ToneShare(440, 100, 400), kSineShare);
}

TEST_F(SynthBanks, ABaseReplacesGeneralMidiAndUserBanksStayAboveIt) {
  ASSERT_TRUE(media::LoadSoftwareSynthBank(3, kSine));
  ASSERT_TRUE(media::SetSoftwareSynthBase(kSine));
  EXPECT_EQ(media::SoftwareSynthBase(), kSine);
  EXPECT_GT(RenderA4(0).ToneShare(440, 100, 400), kSineShare);
  EXPECT_GT(RenderA4(3).ToneShare(440, 100, 400), kSineShare);

  ASSERT_TRUE(media::SetSoftwareSynthBase(""));
  EXPECT_EQ(media::SoftwareSynthBase(), media::GeneralMidiSoundFont());
  EXPECT_LT(RenderA4(0).ToneShare(440, 100, 400), kSineShare);
  EXPECT_GT(RenderA4(3).ToneShare(440, 100, 400), kSineShare) << "the user bank kept its place";
}

TEST_F(SynthBanks, WhatIsNotASoundFontIsRefusedAndChangesNothing) {
  const std::string wave = dir_.Path() + "/not.sf2";
  std::ofstream(wave, std::ios::binary) << "RIFF\x04\0\0\0WAVE";
  ASSERT_TRUE(media::LoadSoftwareSynthBank(7, kSine));
  EXPECT_FALSE(media::LoadSoftwareSynthBank(7, wave));
  EXPECT_FALSE(media::LoadSoftwareSynthBank(8, dir_.Path() + "/missing.sf2"));
  EXPECT_FALSE(media::LoadSoftwareSynthBank(0, kSine)) << "bank 0 is the base's";
  EXPECT_FALSE(media::LoadSoftwareSynthBank(128, kSine));
  EXPECT_FALSE(media::SetSoftwareSynthBase(wave));
  ASSERT_EQ(media::SoftwareSynthBanks().size(), 1u);
  EXPECT_EQ(media::SoftwareSynthBanks()[0].bank, 7);
  EXPECT_EQ(media::SoftwareSynthBase(), media::GeneralMidiSoundFont());
  EXPECT_GT(RenderA4(7).ToneShare(440, 100, 400), kSineShare);
}

} // namespace
