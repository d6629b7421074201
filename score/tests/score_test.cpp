#include "score/pitch_engine.h"
#include "score/score_parameters.h"

#include "support/blocks.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using score::ScoreFrom;
using score::ScoreParameters;

TEST(Score, FollowsTheVoicedShareAndTheMeanError) {
  struct Row {
    const char* what;
    int hits, checks;
    float errorSum;
    int errors;
    float score;
  } rows[] = {
      {"always voiced, no error", 10, 10, 0, 10, 100},
      {"never voiced, no error", 0, 10, 0, 10, 60},
      {"half voiced, no error", 5, 10, 0, 10, 94.9073f},
      {"always voiced, a semitone off", 10, 10, 10, 10, 84.4490f},
      {"always voiced, three semitones off", 10, 10, 30, 10, 44.0324f},
      {"never voiced, far off", 0, 10, 100, 10, 0},
      {"no voice check", 0, 0, 0, 10, 0},
      {"no pitch check", 10, 10, 0, 0, 0},
  };
  const ScoreParameters defaults;
  for (const Row& r : rows)
    EXPECT_NEAR(ScoreFrom(defaults, r.hits, r.checks, r.errorSum, r.errors), r.score, 1e-3)
        << r.what;
}

void PutF32(std::vector<uint8_t>& b, size_t at, float v) {
  const uint32_t u = std::bit_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}
void PutI16(std::vector<uint8_t>& b, size_t at, int16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}

// The default block, byte by byte: its floats from offset 22 on lie at odd
// offsets (the layout has no padding).
std::vector<uint8_t> DefaultBlock() {
  std::vector<uint8_t> b(52, 0xEE);
  PutI16(b, 0, 50);
  PutI16(b, 2, 100);
  PutF32(b, 4, 0.6f);
  PutI16(b, 8, 0);
  PutI16(b, 10, 0);
  PutF32(b, 12, 0.6f);
  PutF32(b, 16, 5.0f);
  PutI16(b, 20, 5);
  PutF32(b, 22, 0.4f);
  PutF32(b, 26, 1.0f);
  PutF32(b, 30, 3.0f);
  PutF32(b, 34, -0.3f);
  PutF32(b, 38, -0.2f);
  PutF32(b, 42, 0.6f);
  PutF32(b, 46, 100.0f);
  PutI16(b, 50, 1);
  return b;
}

TEST(ScoreParameters, AreReadFieldByField) {
  const auto bytes = DefaultBlock();
  auto p = score::ReadScoreParameters(bytes);
  ASSERT_TRUE(p);
  const ScoreParameters d;
  EXPECT_EQ(p->pitchMinElapsedMs, d.pitchMinElapsedMs);
  EXPECT_EQ(p->pitchMinDurationMs, d.pitchMinDurationMs);
  EXPECT_EQ(p->averagingWindow, 5);
  EXPECT_EQ(p->band1, 0.4f);
  EXPECT_EQ(p->band3, 3.0f);
  EXPECT_EQ(p->pitchExponent, -0.3f);
  EXPECT_EQ(p->voiceShape, -0.2f);
  EXPECT_EQ(p->pitchWeight, 0.6f);
  EXPECT_EQ(p->fullScore, 100.0f);
  EXPECT_EQ(p->reserved, 1);
  const auto written = score::WriteScoreParameters(d);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), bytes.begin()));
  EXPECT_FALSE(score::ReadScoreParameters(std::span(bytes).first(51)));
}

TEST(ScoreParameters, BlocksThatBreakTheArithmeticAreRefused) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    const char* what;
    size_t offset;
    bool isFloat;
    float value;
    bool usable;
  } rows[] = {
      {"h 0", 20, false, 0, false},
      {"h negative", 20, false, -3, false},
      {"h 1", 20, false, 1, true},
      {"h at the rings' capacity", 20, false, score::kMaxAveragingWindow, true},
      {"h past it", 20, false, score::kMaxAveragingWindow + 1, false},
      {"A 0", 38, true, 0, false},
      {"A positive", 38, true, 0.3f, false},
      {"A far below 0", 38, true, -50, true},
      {"w above 1", 42, true, 1.5f, false},
      {"w below 0", 42, true, -0.1f, false},
      {"w 1", 42, true, 1, true},
      {"k positive", 34, true, 0.1f, false},
      {"k 0", 34, true, 0, true},
      {"band 1 NaN", 22, true, nan, false},
      {"M infinite", 46, true, inf, false},
      {"threshold NaN", 16, true, nan, false},
      {"fraction NaN", 4, true, nan, false},
  };
  for (const Row& r : rows) {
    auto bytes = DefaultBlock();
    if (r.isFloat)
      PutF32(bytes, r.offset, r.value);
    else
      PutI16(bytes, r.offset, static_cast<int16_t>(r.value));
    auto p = score::ReadScoreParameters(bytes);
    ASSERT_TRUE(p) << r.what;
    EXPECT_EQ(score::Usable(*p), r.usable) << r.what;

    score::PitchEngine engine;
    ScoreParameters before;
    before.fullScore = 77;
    ASSERT_TRUE(engine.SetParameters(before));
    EXPECT_EQ(engine.SetParameters(*p), r.usable) << r.what;
    if (!r.usable) {
      EXPECT_EQ(engine.Parameters().fullScore, 77) << r.what << ": the old ones are kept";
    }
  }
}

TEST(Score, IsZeroUntilBothKindsOfCheckWereMade) {
  score::PitchEngine e;
  e.SetFormat({22050, 8, 1});
  EXPECT_EQ(e.Score(), 0);
  e.Start();
  EXPECT_EQ(e.Score(), 0);
  const auto voice = score::test::Block(e, {{440, 60}});
  // Voice checks but no pitch check (too early in the syllable).
  e.AnalyseBlock(voice, score::test::Singing(69, 10, 400));
  EXPECT_EQ(e.VoiceChecks(), 1);
  EXPECT_EQ(e.Score(), 0);
  e.AnalyseBlock(voice, score::test::Singing(69, 100, 400));
  EXPECT_GT(e.Score(), 95);
}

} // namespace
