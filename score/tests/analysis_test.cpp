#include "score/pitch_engine.h"

#include "support/blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

using score::CaptureFormat;
using score::PitchEngine;
using score::test::Block;
using score::test::Singing;
using score::test::Tone;

PitchEngine EngineAt(uint32_t rate, uint16_t bits = 8, uint16_t channels = 1) {
  PitchEngine e;
  EXPECT_TRUE(e.SetFormat({rate, bits, channels}));
  e.Start();
  return e;
}

TEST(PitchAnalysis, DerivesDecimationAndStepFromTheRate) {
  struct Row {
    const char* what;
    uint32_t rate;
    int decimation;
    float step;
  } rows[] = {
      {"alone", 11025, 3, 11025.0f / 384},
      {"controller", 22050, 7, 22050.0f / 896},
      {"CD rate", 44100, 15, 44100.0f / 1920},
      {"8 kHz", 8000, 2, 8000.0f / 256},
  };
  for (const Row& r : rows) {
    PitchEngine e;
    ASSERT_TRUE(e.SetFormat({r.rate, 8, 1})) << r.what;
    EXPECT_EQ(e.Decimation(), r.decimation) << r.what;
    EXPECT_FLOAT_EQ(e.FrequencyStep(), r.step) << r.what;
    // The float product lands one higher: the double one is what counts.
    EXPECT_EQ(static_cast<int>(static_cast<float>(r.rate) * 0.000362811784725636f),
              r.rate == 8000 ? 2 : r.decimation + 1)
        << r.what;
  }
}

TEST(PitchAnalysis, RefusesFormatsAndLengthsItCannotAnalyse) {
  PitchEngine e;
  EXPECT_FALSE(e.SetFormat({2000, 8, 1})) << "no decimation";
  EXPECT_FALSE(e.SetFormat({22050, 24, 1})) << "24-bit";
  EXPECT_FALSE(e.SetFormat({22050, 8, 3})) << "3 channels";
  EXPECT_FALSE(e.SetTransformLength(100)) << "not a power of two";
  EXPECT_FALSE(e.SetTransformLength(0)) << "zero";
  EXPECT_EQ(e.TransformLength(), 128);
  EXPECT_EQ(e.Format().rate, 11025u);
  EXPECT_TRUE(e.SetTransformLength(256));
  EXPECT_EQ(e.BlockBytes(), 256u * 17);
}

TEST(PitchAnalysis, BlocksHoldWhatTheAnalysisReads) {
  struct Row {
    const char* what;
    CaptureFormat format;
    size_t read, block;
  } rows[] = {
      {"8-bit 22050", {22050, 8, 1}, 1024, 2176},
      {"8-bit 44100", {44100, 8, 1}, 2048, 2176},
      {"16-bit 22050", {22050, 16, 1}, 2048, 2176},
      {"16-bit 44100", {44100, 16, 1}, 4096, 4096},
      {"16-bit stereo 44100", {44100, 16, 2}, 8192, 8192},
  };
  for (const Row& r : rows) {
    PitchEngine e;
    ASSERT_TRUE(e.SetFormat(r.format)) << r.what;
    EXPECT_EQ(e.BytesRead(), r.read) << r.what;
    EXPECT_EQ(e.BlockBytes(), r.block) << r.what;
    e.Start();
    std::vector<uint8_t> shortBlock(r.read - 1, 127);
    EXPECT_FALSE(e.AnalyseBlock(shortBlock, Singing(60))) << r.what;
    EXPECT_EQ(e.VoiceChecks(), 0) << r.what;
  }
}

TEST(PitchAnalysis, FindsTheNoteOfAFrequency) {
  EXPECT_NEAR(score::NoteOfFrequency(440), 69.0004f, 0.0001);
  EXPECT_EQ(score::NoteOfFrequency(60), 0);
  EXPECT_EQ(score::NoteOfFrequency(1200), 0);
  EXPECT_GT(score::NoteOfFrequency(60.01f), 0);
}

TEST(PitchAnalysis, PutsATonesPowerInItsBin) {
  PitchEngine e = EngineAt(22050);
  ASSERT_TRUE(e.AnalyseBlock(Block(e, {{220, 60}}), Singing(57)));
  EXPECT_EQ(e.StrongestBins()[0], 9);
  EXPECT_FLOAT_EQ(e.Frequency(), 9 * 22050.0f / 896);
  // Its leakage fills the next places, nearest neighbours first.
  const auto& top = e.StrongestBins();
  EXPECT_TRUE((top[1] == 8 || top[1] == 10)) << top[1];
  for (int i = 1; i < 4; ++i)
    EXPECT_LE(std::abs(top[i] - 9), 3) << i;
}

TEST(PitchAnalysis, TakesTheFundamentalUnderAStrongHarmonic) {
  PitchEngine e = EngineAt(22050);
  ASSERT_TRUE(e.AnalyseBlock(Block(e, {{440, 80}, {220, 20}}), Singing(57)));
  EXPECT_EQ(e.StrongestBins()[0], 18);
  EXPECT_NEAR(e.Frequency(), 221.5f, 0.1f);
  EXPECT_NEAR(e.Note(), 57.1f, 0.1f);
}

TEST(PitchAnalysis, FindsNoPitchOutsideTheVoiceOrBelowTheLevel) {
  struct Row {
    const char* what;
    std::vector<Tone> tones;
    double noise;
    bool voiced;
  } rows[] = {
      {"59 Hz", {{59, 60}}, 0, true},
      {"1201 Hz", {{1201, 100}}, 0, true},
      {"silence", {}, 0, false},
      {"noise below the level", {}, 4, false},
      {"a tone below the level", {{440, 4.4}}, 0, false},
  };
  for (const Row& r : rows) {
    PitchEngine e = EngineAt(22050);
    ASSERT_TRUE(e.AnalyseBlock(Block(e, r.tones, r.noise), Singing(60))) << r.what;
    EXPECT_EQ(e.Amplitude() > 5, r.voiced) << r.what;
    EXPECT_EQ(e.Note(), 0) << r.what;
    EXPECT_EQ(e.PitchChecks(), 0) << r.what;
  }
}

// Each quarter tone from 250 to 1100 Hz is found in one of the two bins
// around it; the table printed shows which, and the error in semitones.
TEST(PitchAnalysis, FindsEverySineInANeighbouringBin) {
  for (uint32_t rate : {11025u, 22050u, 44100u}) {
    PitchEngine e = EngineAt(rate);
    double worst = 0;
    int lower = 0, upper = 0;
    for (double q = 0;; ++q) {
      const double hz = 250 * std::pow(2.0, q / 24);
      if (hz > 1100)
        break;
      ASSERT_TRUE(e.AnalyseBlock(Block(e, {{hz, 60}}), Singing(60)));
      const double bin = hz / e.FrequencyStep();
      const int found = static_cast<int>(std::lround(e.Frequency() / e.FrequencyStep()));
      EXPECT_TRUE(found == static_cast<int>(std::floor(bin)) ||
                  found == static_cast<int>(std::ceil(bin)))
          << rate << " Hz capture, " << hz << " Hz found in bin " << found;
      (found == static_cast<int>(std::floor(bin)) ? lower : upper)++;
      worst = std::max(worst, std::fabs(12 * std::log2(e.Frequency() / hz)));
    }
    std::printf("  %5u Hz: %d lower bin, %d upper bin, worst %.2f semitones\n", rate, lower, upper,
                worst);
  }
}

TEST(PitchAnalysis, ReadsWideFormatsOnTheirFirstChannel) {
  struct Row {
    const char* what;
    CaptureFormat format;
  } rows[] = {
      {"16-bit mono", {22050, 16, 1}},
      {"8-bit stereo", {22050, 8, 2}},
      {"16-bit stereo", {22050, 16, 2}},
      {"16-bit stereo 44100", {44100, 16, 2}},
  };
  for (const Row& r : rows) {
    PitchEngine e = EngineAt(r.format.rate, r.format.bits, r.format.channels);
    const auto block = Block(e, {{440, 60}});
    ASSERT_EQ(block.size(), e.BlockBytes()) << r.what;
    ASSERT_TRUE(e.AnalyseBlock(block, Singing(69))) << r.what;
    EXPECT_NEAR(e.Amplitude(), 60, 1) << r.what;
    EXPECT_NEAR(e.Note(), 69, 0.6) << r.what;
  }
}

} // namespace
