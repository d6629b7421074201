#include "score/pitch_engine.h"

#include "support/blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using score::PitchEngine;
using score::PlayerState;
using score::ScoreParameters;
using score::test::Between;
using score::test::Block;
using score::test::Singing;

// A steady 440 Hz voice; the errors are set by moving the melody note.
struct Singer {
  PitchEngine engine;
  std::vector<uint8_t> voice;
  std::vector<uint8_t> silence;
  int base = 0; // the melody note the voice is nearest to

  explicit Singer(int16_t h = 5) {
    engine.SetFormat({22050, 8, 1});
    ScoreParameters p;
    p.averagingWindow = h;
    EXPECT_TRUE(engine.SetParameters(p));
    engine.Start();
    voice = Block(engine, {{440, 60}});
    silence = Block(engine, {});
    engine.AnalyseBlock(voice, Between(0));
    base = static_cast<int>(std::lround(engine.Note()));
    engine.Start();
  }
  // The voice sings k semitones above the melody note.
  void Sing(int k) { engine.AnalyseBlock(voice, Singing(static_cast<uint8_t>(base - k))); }
};

struct CheckRow {
  int k;              // the sung note against the melody
  float kept;         // corrected error kept after the octave rule
  float avgCorrected; // mean of the kept ones
  int counted;        // accepted errors so far
  float sum;          // their sum
};

void RunChecks(const char* what, const std::vector<CheckRow>& rows) {
  Singer s;
  for (size_t i = 0; i < rows.size(); ++i) {
    const CheckRow& r = rows[i];
    s.Sing(r.k);
    ASSERT_EQ(s.engine.PitchChecks(), static_cast<int>(i + 1)) << what;
    EXPECT_NEAR(s.engine.LastCorrectedError(), r.kept, 1e-4) << what << " check " << i + 1;
    EXPECT_NEAR(s.engine.AverageCorrectedError(), r.avgCorrected, 1e-4)
        << what << " check " << i + 1;
    EXPECT_EQ(s.engine.ErrorCount(), r.counted) << what << " check " << i + 1;
    EXPECT_NEAR(s.engine.ErrorSum(), r.sum, 1e-4) << what << " check " << i + 1;
  }
}

TEST(ScoreChecks, ASingerDroppingAnOctaveIsForgivenAfterTheWindow) {
  RunChecks("octave low", {
                              {0, 0, 0, 1, 0},
                              {0, 0, 0, 2, 0},
                              {0, 0, 0, 3, 0},
                              {0, 0, 0, 4, 0},
                              {0, 0, 0, 5, 0},
                              // The window's mean follows the new key: the kept errors shrink to 0
                              // by the fifth check in it; the mean of them is outside band 3 for a
                              // while, and those errors are not counted.
                              {-12, -9.6f, -1.92f, 6, 9.6f},
                              {-12, -7.2f, -3.36f, 6, 9.6f},
                              {-12, -4.8f, -4.32f, 6, 9.6f},
                              {-12, -2.4f, -4.8f, 6, 9.6f},
                              {-12, 0, -4.8f, 6, 9.6f},
                              {-12, 0, -2.88f, 7, 9.6f},
                          });
}

TEST(ScoreChecks, AnOctaveJumpIsIgnoredOnce) {
  RunChecks("octave jumps", {
                                {0, 0, 0, 1, 0},
                                {0, 0, 0, 2, 0},
                                {0, 0, 0, 3, 0},
                                {0, 0, 0, 4, 0},
                                {0, 0, 0, 5, 0},
                                {24, 0, 0, 6, 0},             // 19.2 off: the last kept stands in
                                {0, -4.8f, -0.96f, 7, 4.8f},  // taken, the flag cleared
                                {24, -4.8f, -1.92f, 8, 9.6f}, // 14.4 off: ignored
                                {24, 9.6f, 0, 9, 19.2f},      // 9.6 off, taken
                            });
}

TEST(ScoreChecks, ASingerInAnotherKeyHasNoError) {
  Singer s;
  for (int i = 0; i < 8; ++i)
    s.Sing(-12);
  EXPECT_NEAR(s.engine.AverageError(), -12, 0.2); // the bin is 0.12 above 440 Hz
  EXPECT_EQ(s.engine.LastCorrectedError(), 0);
  EXPECT_EQ(s.engine.ErrorSum(), 0);
  EXPECT_EQ(s.engine.ErrorCount(), 8);
  EXPECT_EQ(s.engine.Score(), 100);
}

TEST(ScoreChecks, CountsOnlyWhereTheSyllableAllows) {
  struct Row {
    const char* what;
    PlayerState player;
    bool silent;
    int pitch, voice, voiceHit, empty, emptyHit;
  } rows[] = {
      {"sung in time", Singing(69, 100, 400), false, 1, 1, 1, 0, 0},
      {"too early for pitch", Singing(69, 49, 400), false, 0, 1, 1, 0, 0},
      {"syllable too short for pitch", Singing(69, 50, 99), false, 0, 1, 1, 0, 0},
      {"past 0.6 of it", Singing(69, 250, 400), false, 0, 0, 0, 0, 0},
      {"exactly 0.6", Singing(69, 240, 400), false, 1, 1, 1, 0, 0},
      {"no note",
       [] {
         auto p = Singing(69);
         p.noNote = 1;
         return p;
       }(),
       false, 0, 1, 1, 0, 0},
      {"silent in a syllable", Singing(69), true, 0, 1, 0, 0, 0},
      {"sung between syllables", Between(1000), false, 0, 0, 0, 1, 0},
      {"silent between syllables", Between(1000), true, 0, 0, 0, 1, 1},
      {"no length", Singing(69, 0, 0), false, 0, 1, 1, 0, 0},
  };
  for (const Row& r : rows) {
    Singer s;
    s.engine.AnalyseBlock(r.silent ? s.silence : s.voice, r.player);
    EXPECT_EQ(s.engine.PitchChecks(), r.pitch) << r.what;
    EXPECT_EQ(s.engine.VoiceChecks(), r.voice) << r.what;
    EXPECT_EQ(s.engine.VoiceHits(), r.voiceHit) << r.what;
    EXPECT_EQ(s.engine.EmptyChecks(), r.empty) << r.what;
    EXPECT_EQ(s.engine.EmptyHits(), r.emptyHit) << r.what;
  }
}

TEST(ScoreChecks, AnInterludeBeginsAfter3001MsWithoutASyllable) {
  struct Step {
    PlayerState player;
    bool interlude;
  };
  struct Row {
    const char* what;
    std::vector<Step> steps;
  } rows[] = {
      {"until the first syllable", {{Between(0), true}, {Singing(60, 0, 400, 500), false}}},
      {"3000 ms after",
       {{Singing(60, 0, 200, 1000), false}, {Between(1200), false}, {Between(4200), false}}},
      {"3001 ms after",
       {{Singing(60, 0, 200, 1000), false},
        {Between(1200), false},
        {Between(4201), true},
        {Singing(60, 0, 200, 5000), false}}},
      {"time jumped back",
       {{Singing(60, 0, 200, 1000), false},
        {Between(1200), false},
        {Between(500), false},
        {Between(3500), false},
        {Between(3501), true}}},
  };
  for (const Row& r : rows) {
    Singer s;
    for (size_t i = 0; i < r.steps.size(); ++i) {
      s.engine.AnalyseBlock(s.silence, r.steps[i].player);
      EXPECT_EQ(s.engine.Interlude(), r.steps[i].interlude) << r.what << " step " << i;
    }
  }
}

TEST(ScoreChecks, TheStatusFollowsLevelAndCorrectedError) {
  // h = 2: errors 0 then k keep a corrected error of k/2 and a mean of k/4.
  struct Row {
    const char* what;
    int k;
    bool silentAfter;
    int32_t status;
  } rows[] = {
      {"in band 1", 1, false, 58}, {"in band 2", 3, false, 57}, {"in band 3", 8, false, 56},
      {"beyond", 16, false, 54},   {"silent", 1, true, 2},
  };
  for (const Row& r : rows) {
    Singer s(2);
    s.Sing(0);
    s.Sing(r.k);
    if (r.silentAfter)
      s.engine.AnalyseBlock(s.silence, Singing(69));
    EXPECT_NEAR(s.engine.AverageCorrectedError(), r.k / 4.0f, 1e-4) << r.what;
    EXPECT_EQ(s.engine.SingingStatus(), r.status) << r.what;
  }
  Singer s;
  EXPECT_EQ(s.engine.SingingStatus(), 0) << "before the first block";
  s.engine.AnalyseBlock(s.voice, Between(100));
  EXPECT_EQ(s.engine.SingingStatus(), 3) << "before the first syllable";
  s.engine.Stop();
  EXPECT_EQ(s.engine.SingingStatus(), 0) << "stopped";
}

TEST(ScoreChecks, StartingAgainClearsEverything) {
  Singer s;
  for (int k : {0, 3, 24, -12})
    s.Sing(k);
  s.engine.AnalyseBlock(s.silence, Between(9000));
  s.engine.Start();
  EXPECT_EQ(s.engine.PitchChecks(), 0);
  EXPECT_EQ(s.engine.ErrorCount(), 0);
  EXPECT_EQ(s.engine.ErrorSum(), 0);
  EXPECT_EQ(s.engine.VoiceChecks(), 0);
  EXPECT_EQ(s.engine.EmptyChecks(), 0);
  EXPECT_EQ(s.engine.AverageError(), 0);
  EXPECT_EQ(s.engine.AverageCorrectedError(), 0);
  EXPECT_EQ(s.engine.LastCorrectedError(), 0);
  EXPECT_EQ(s.engine.Score(), 0);
  EXPECT_EQ(s.engine.SingingStatus(), 0);
  // The rings start over: the first check's mean is of itself alone.
  s.Sing(4);
  EXPECT_NEAR(s.engine.LastCorrectedError(), 0, 1e-4);
}

} // namespace
