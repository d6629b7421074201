// `vexo3 play --score` as a user runs it: a sung take into the WAV-file
// microphone while the song renders on the virtual clock, scored by the
// singing-score library exactly as `vexo3 score` scores it, paused while an
// embedded wave sounds, and the options it refuses.
#include "platform/media/riff.h"
#include "platform/media/tests/support/wav_file.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kFixtures = std::string(VEXO_TEST_SOURCE_DIR) + "/fixtures/sung/";
const std::string kDemo = std::string(VEXO_BIN_DIR) + "/twinkle.kar";

class PlayScore : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(mkdir((dir_.Path() + "/run").c_str(), 0700), 0); }
  hosttest::HostRun Host(const std::string& args) const {
    return hosttest::RunHost(dir_.Path(), args);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
  static bool HaveFont() { return access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) == 0; }

  mediatest::TempDir dir_;
};

// The lines from "score:" to "status runs:".
std::string Report(const std::string& out) {
  const auto from = out.find("score: ");
  const auto runs = out.find("status runs: ", from == std::string::npos ? 0 : from);
  if (from == std::string::npos || runs == std::string::npos)
    return "(no report)\n" + out;
  return out.substr(from, out.find('\n', runs) - from);
}

TEST_F(PlayScore, ScoresWhilePlayingExactlyAsTheScoreCommand) {
  if (!HaveFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  const std::string take = Path("take.wav");
  const auto sung = Host("play " + kFixtures + "take-in-tune.mid --wav " + take);
  ASSERT_EQ(sung.status, 0) << sung.out;
  const auto scored = Host("score " + take + " " + kFixtures + "score-song.kar");
  ASSERT_EQ(scored.status, 0) << scored.out;
  const auto played = Host("play " + kFixtures + "score-song.kar --wav " + Path("out.wav") +
                           " --score --mic " + take);
  ASSERT_EQ(played.status, 0) << played.out;
  EXPECT_EQ(Report(played.out), Report(scored.out));
  EXPECT_NE(played.out.find("score: 96 ("), std::string::npos) << played.out;
  // The status line carries the running score.
  EXPECT_NE(played.out.find("  score 9"), std::string::npos) << played.out;
}

TEST_F(PlayScore, AnEmbeddedWavePausesScoringWhileItSounds) {
  if (!HaveFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  // 1.5 s of a tone in slot 3, at tick 1920 of the demo song (2.4 s in).
  std::vector<uint8_t> tone;
  for (int i = 0; i < 33075; ++i) {
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 800.0 * i / 22050));
    tone.push_back(static_cast<uint8_t>(v & 0xFF));
    tone.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  ASSERT_TRUE(media::WriteWaveFile(Path("bell.wav"), media::WaveFormat::Pcm(22050, 16, 1), tone,
                                   nullptr));
  const auto made = Host("waves " + kDemo + " --load 3 " + Path("bell.wav") +
                         " --event 3 1920 -o " + Path("bell.vx3"));
  ASSERT_EQ(made.status, 0) << made.out;
  // A voice of 220 Hz throughout.
  std::vector<uint8_t> voice;
  for (int i = 0; i < 22050 * 40; ++i)
    voice.push_back(static_cast<uint8_t>(128 + std::lround(60 * std::sin(2 * M_PI * 220.0 * i / 22050))));
  ASSERT_TRUE(media::WriteWaveFile(Path("voice.wav"), media::WaveFormat::Pcm(22050, 8, 1), voice,
                                   nullptr));
  const auto plain = Host("play " + kDemo + " --wav " + Path("a.wav") + " --score --mic " +
                          Path("voice.wav"));
  ASSERT_EQ(plain.status, 0) << plain.out;
  EXPECT_EQ(plain.out.find("scoring paused"), std::string::npos) << plain.out;
  const auto run = Host("play " + Path("bell.vx3") + " --wav " + Path("b.wav") +
                        " --score --mic " + Path("voice.wav"));
  ASSERT_EQ(run.status, 0) << run.out;
  const auto paused = run.out.find("scoring paused at 0:02.4");
  const auto resumed = run.out.find("scoring resumed at 0:03.9");
  ASSERT_NE(paused, std::string::npos) << run.out;
  ASSERT_NE(resumed, std::string::npos) << run.out;
  EXPECT_LT(paused, resumed);
  // Seven or eight blocks fewer were scored while the wave sounded.
  auto blocks = [](const std::string& out) {
    const auto at = out.find("blocks: ");
    return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 8);
  };
  EXPECT_GE(blocks(plain.out) - blocks(run.out), 6) << plain.out << run.out;
  EXPECT_LE(blocks(plain.out) - blocks(run.out), 9) << plain.out << run.out;
}

TEST_F(PlayScore, ThePanelShowsTheScoreWhileItIsSung) {
  if (!HaveFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  std::vector<uint8_t> voice;
  for (int i = 0; i < 22050 * 40; ++i)
    voice.push_back(
        static_cast<uint8_t>(128 + std::lround(60 * std::sin(2 * M_PI * 261.6 * i / 22050))));
  ASSERT_TRUE(media::WriteWaveFile(Path("voice.wav"), media::WaveFormat::Pcm(22050, 8, 1), voice,
                                   nullptr));
  ASSERT_EQ(mkdir(Path("dump").c_str(), 0700), 0);
  const auto run = hosttest::RunHost(dir_.Path(),
                                     "play " + kDemo + " --wav " + Path("a.wav") +
                                         " --score --mic " + Path("voice.wav") + " --panel",
                                     "VEXO_DUMP_DIR=" + Path("dump"));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("status runs: "), std::string::npos) << run.out;
  // The panel half-way through, kept for a look; the controls by their classes.
  struct stat st {};
  EXPECT_EQ(stat(Path("dump/score-panel.png").c_str(), &st), 0);
  EXPECT_GT(st.st_size, 1000);
  for (const char* name : {"CScoreLED", "CScoreMeter", "CScoreOscillo", "CScoreWave",
                           "CScoreAnim", "SysAnimate32", "CScoreDebug", "MSG_NYVANTA"}) {
    bool found = false;
    for (const auto& e : std::filesystem::directory_iterator(Path("dump")))
      found = found || e.path().filename().string().rfind(name, 0) == 0;
    EXPECT_TRUE(found) << name;
  }
  const std::string artefacts = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(artefacts);
  std::filesystem::copy_file(Path("dump/score-panel.png"), artefacts + "/score-panel.png",
                             std::filesystem::copy_options::overwrite_existing);
}

TEST_F(PlayScore, RefusesWhatItCannotUse) {
  struct Case {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"play " + kDemo + " --mic x.wav", 2, "--mic and --mic-device choose"},
      {"play " + kDemo + " --score --mic-device x", 2, "--mic-device takes"},
      {"play " + kDemo + " --score --mic a.wav --mic-device 0", 2, "either --mic or"},
      {"play " + kDemo + " --panel", 2, "--panel shows the score of --score"},
      {"play " + kDemo + " --score --mic " + Path("none.wav") + " --wav " + Path("o.wav"), 1,
       "none.wav"},
  };
  for (const Case& c : cases) {
    const auto run = Host(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << "\n" << run.out;
  }
}

} // namespace
