// `vexo3 waves` and the embedded waves of `vexo3 play --wav`, as a user runs
// them: a WAV file put into a song's slot with a wave event, the song
// rendered with the wave mixed in at its event's time.
#include "core/songdata.h"
#include "platform/media/riff.h"
#include "platform/media/tests/support/wav_file.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kBin = VEXO_BIN_DIR;
const std::string kDemo = kBin + "/twinkle.kar";

using hosttest::HostRun;

class WavesCommand : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(mkdir((dir_.Path() + "/run").c_str(), 0700), 0); }
  HostRun Host(const std::string& args) const { return hosttest::RunHost(dir_.Path(), args); }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  // 300 ms of a falling tone at 22050 Hz, 16-bit mono: its own shape, so
  // that it is found by correlation in the music.
  std::vector<uint8_t> Tone() const {
    std::vector<uint8_t> pcm;
    double phase = 0;
    for (int i = 0; i < 6615; ++i) {
      phase += 2 * M_PI * (1500.0 - i * 0.15) / 22050;
      const auto v = static_cast<int16_t>(12000 * std::sin(phase));
      pcm.push_back(static_cast<uint8_t>(v & 0xFF));
      pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return pcm;
  }

  // The tone into slot 3 of the demo song, with wave events at the ticks
  // given, saved as bell.vx3; the tone's samples.
  std::vector<uint8_t> MakeSong(const std::string& options) {
    const std::vector<uint8_t> tone = Tone();
    EXPECT_TRUE(media::WriteWaveFile(Path("bell.wav"), media::WaveFormat::Pcm(22050, 16, 1), tone,
                                     nullptr));
    const HostRun made = Host("waves " + kDemo + " --load 3 " + Path("bell.wav") + " " + options +
                              " -o " + Path("bell.vx3"));
    EXPECT_EQ(made.status, 0) << made.out;
    out = made.out;
    return tone;
  }
  std::string out; // of the last MakeSong

  mediatest::TempDir dir_;
};

TEST_F(WavesCommand, FillsNamesAndEmptiesSlotsAndSavesTheSongWithItsEvent) {
  const std::vector<uint8_t> tone = MakeSong("--name 3 Bell --event 3 960");
  EXPECT_NE(out.find("[X] 003 : Bell  (22050Hz, 16bit, Mono, 0.30 s)\n1 of 256 wave slots"),
            std::string::npos)
      << out;
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(Path("bell.vx3")), 1);
  EXPECT_EQ(song.waves[3].pcm, tone);
  EXPECT_EQ(song.waves[3].name, "Bell");
  EXPECT_EQ(song.waves[3].format, 0x21005622u);
  int events = 0;
  for (const core::SongEvent& e : song.tracks[0].events)
    if (e.kind == core::kKindWave) {
      ++events;
      EXPECT_EQ(e.tick, 960u);
      EXPECT_EQ(e.data & 0xFFFF, 3u);
    }
  EXPECT_EQ(events, 1);

  const HostRun emptied = Host("waves " + Path("bell.vx3") + " --delete 3 -o " + Path("e.vx3"));
  ASSERT_EQ(emptied.status, 0) << emptied.out;
  EXPECT_NE(emptied.out.find("0 of 256 wave slots filled"), std::string::npos) << emptied.out;

  struct Case {
    std::string args;
    int status;
  } cases[] = {
      {"waves " + kDemo + " --name 3 Bell", 2},             // a change needs -o
      {"waves " + kDemo + " --play 256", 2},                // no such slot
      {"waves " + kDemo + " --event 3 -1 -o x.vx3", 2},     // no such tick
      {"waves", 2},                                         // no song
      {"waves " + kDemo + " --play 3", 1},                  // an empty slot
      {"waves " + kDemo + " --load 1 " + Path("none.wav") + " -o " + Path("x.vx3"), 1},
      {"waves " + Path("none.vx3"), 1},
  };
  for (const Case& c : cases) {
    const HostRun run = Host(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
  }
}

TEST_F(WavesCommand, ARenderHasEachWaveAtItsEventTheSameBytesEveryTime) {
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) != 0)
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  const std::vector<uint8_t> tone = MakeSong("--event 3 960 --event 3 4800");
  for (const char* name : {"a.wav", "b.wav"}) {
    const HostRun run = Host("play " + Path("bell.vx3") + " --wav " + Path(name));
    ASSERT_EQ(run.status, 0) << run.out;
  }
  const HostRun plain = Host("play " + kDemo + " --wav " + Path("plain.wav"));
  ASSERT_EQ(plain.status, 0) << plain.out;
  auto bytes = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(bytes(Path("a.wav")) == bytes(Path("b.wav"))) << "two renderings differ";

  std::string why;
  auto with = mediatest::ReadStereoWav(Path("a.wav"), &why);
  auto without = mediatest::ReadStereoWav(Path("plain.wav"), &why);
  ASSERT_TRUE(with && without) << why;
  ASSERT_EQ(with->Frames(), without->Frames());
  // What the waves added, left channel, against the tone doubled to 44.1 kHz.
  std::vector<double> added(with->Frames()), ref;
  for (size_t i = 0; i < added.size(); ++i)
    added[i] = double(with->samples[2 * i]) - without->samples[2 * i];
  for (size_t i = 0; i + 1 < tone.size(); i += 2)
    ref.push_back(double(int16_t(tone[i] | tone[i + 1] << 8)));
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(Path("bell.vx3")), 1);
  for (const core::SongEvent& e : song.tracks[0].events) {
    if (e.kind != core::kKindWave)
      continue;
    SCOPED_TRACE(e.ms);
    const long expected = long(e.ms) * 44100 / 1000;
    long best = -1;
    double bestScore = -1;
    for (long lag = expected - 2205; lag <= expected + 2205; ++lag) {
      double score = 0;
      for (size_t k = 0; k < ref.size(); k += 4) {
        const size_t at = size_t(lag) + 2 * k;
        if (at < added.size())
          score += added[at] * ref[k];
      }
      if (score > bestScore) {
        bestScore = score;
        best = lag;
      }
    }
    EXPECT_GE(best, expected);
    EXPECT_LE(best, expected + 441) << "more than one timer period late";
  }
}

} // namespace
