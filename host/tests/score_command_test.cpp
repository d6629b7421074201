// `vexo3 score` as a user runs it: takes of the demo's melody sung by the
// synthesizer's voice scored in the order a listener would rank them, the
// analysis trace of a voice alone, and what the command refuses.
#include "platform/media/riff.h"
#include "platform/media/tests/support/wav_file.h"
#include "score/score_parameters.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kFixtures = std::string(VEXO_TEST_SOURCE_DIR) + "/fixtures/sung/";

class ScoreCommand : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.Path().empty());
    ASSERT_EQ(mkdir((dir_.Path() + "/run").c_str(), 0700), 0);
  }
  hosttest::HostRun Host(const std::string& args) const {
    return hosttest::RunHost(dir_.Path(), args);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  mediatest::TempDir dir_;
};

// The whole score from `score: N (F)`; -1 when there is none.
double ScoreIn(const std::string& out) {
  const auto at = out.find("score: ");
  if (at == std::string::npos)
    return -1;
  const auto open = out.find('(', at);
  return open == std::string::npos ? -1 : std::atof(out.c_str() + open + 1);
}

TEST_F(ScoreCommand, RanksSungTakesAsAListenerWould) {
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) != 0)
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  // Scores of the takes as first measured; the rendering gives the same bytes
  // every time, so they move only when the analysis or the engine does.
  struct Row {
    const char* take;
    double score;
  } rows[] = {
      {"in-tune", 96.116},     {"octave-low", 93.132}, {"one-note", 58.391},
      {"wrong-notes", 87.702}, {"silent", 0},
  };
  std::map<std::string, double> scores;
  for (const Row& r : rows) {
    const std::string wav = Path(std::string(r.take) + ".wav");
    const auto play = Host("play " + kFixtures + "take-" + r.take + ".mid --wav " + wav);
    ASSERT_EQ(play.status, 0) << play.out;
    const auto run = Host("score " + wav + " " + kFixtures + "score-song.kar");
    ASSERT_EQ(run.status, 0) << run.out;
    scores[r.take] = ScoreIn(run.out);
    EXPECT_NEAR(scores[r.take], r.score, 1.0) << r.take << "\n" << run.out;
    EXPECT_NE(run.out.find("status runs: 3x"), std::string::npos)
        << r.take << ": the song opens in an interlude\n"
        << run.out;
  }
  // The moving average forgives a key, not wrong intervals.
  EXPECT_GT(scores["in-tune"], scores["one-note"]);
  EXPECT_GT(scores["in-tune"], scores["wrong-notes"]);
  EXPECT_GT(scores["octave-low"], scores["one-note"]);
  EXPECT_EQ(scores["silent"], 0);
}

TEST_F(ScoreCommand, TracesAVoiceAloneBlockByBlock) {
  // Two seconds of 440 Hz at 44100 Hz, 16-bit stereo: mixed down and brought
  // to the capture's 22050 Hz, 8 bits.
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 88200; ++i) {
    const auto s =
        static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440 * i / 44100.0)));
    for (int c = 0; c < 2; ++c) {
      pcm.push_back(static_cast<uint8_t>(s & 0xFF));
      pcm.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  std::string error;
  ASSERT_TRUE(
      media::WriteWaveFile(Path("a.wav"), media::WaveFormat::Pcm(44100, 16, 2), pcm, &error))
      << error;
  for (const char* rate : {"22050", "44100"}) {
    const auto run = Host("score " + Path("a.wav") + " --rate " + rate);
    ASSERT_EQ(run.status, 0) << run.out;
    int blocks = 0;
    for (size_t at = run.out.find("block "); at != std::string::npos;
         at = run.out.find("block ", at + 1)) {
      ++blocks;
      const double note = std::atof(run.out.c_str() + run.out.find("note ", at) + 5);
      EXPECT_NEAR(note, 69, 0.6) << rate << "\n" << run.out;
    }
    EXPECT_EQ(blocks, 9) << rate << ": a block every 200 ms while the voice lasts\n" << run.out;
  }
  // The voice's second second goes with the start: blocks at 200 to 800 ms.
  const auto late = Host("score " + Path("a.wav") + " --offset 1000");
  ASSERT_EQ(late.status, 0) << late.out;
  EXPECT_NE(late.out.find("block 4 at 800 ms centre 1826.1 ms"), std::string::npos) << late.out;
  EXPECT_EQ(late.out.find("block 5"), std::string::npos) << late.out;
}

TEST_F(ScoreCommand, RefusesWhatItCannotUse) {
  std::ofstream(Path("junk.wav")) << "not a wave";
  const auto zeroH = [] {
    score::ScoreParameters p;
    p.averagingWindow = 0;
    return score::WriteScoreParameters(p);
  }();
  std::ofstream(Path("zero-h.bin"), std::ios::binary)
      .write(reinterpret_cast<const char*>(zeroH.data()), zeroH.size());
  std::ofstream(Path("short.bin")) << "0123456789";
  std::string error;
  ASSERT_TRUE(media::WriteWaveFile(Path("ok.wav"), media::WaveFormat::Pcm(8000, 8, 1),
                                   std::vector<uint8_t>(8000, 128), &error));
  struct Row {
    const char* what;
    std::string args;
    int status;
    const char* says;
  } rows[] = {
      {"no voice", "score", 2, "which voice file"},
      {"rate", "score a.wav --rate 8000", 2, "22050 or 44100"},
      {"unknown option", "score a.wav --fast", 2, "unknown option"},
      {"three files", "score a b c", 2, "at most one song"},
      {"missing voice", "score " + Path("none.wav"), 1, "cannot open"},
      {"not a wave", "score " + Path("junk.wav"), 1, "not a RIFF WAVE file"},
      {"h of 0", "score " + Path("ok.wav") + " --params " + Path("zero-h.bin"), 1,
       "would make no score"},
      {"short block", "score " + Path("ok.wav") + " --params " + Path("short.bin"), 1, "52 bytes"},
      {"missing song", "score " + Path("ok.wav") + " " + Path("none.kar"), 1,
       "cannot read this song"},
  };
  for (const Row& r : rows) {
    const auto run = Host(r.args);
    EXPECT_EQ(run.status, r.status) << r.what << "\n" << run.out;
    EXPECT_NE(run.out.find(r.says), std::string::npos) << r.what << "\n" << run.out;
  }
}

} // namespace
