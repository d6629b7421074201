// `vexo3 record` as a user runs it without a sound card: the WAV
// microphone sings into the recorder, the recording is saved and played
// back into the WAV sink's file; arguments the command cannot use.
#include "platform/media/riff.h"
#include "platform/media/tests/support/wav_file.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using hosttest::HostRun;

class RecordCommand : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(mkdir((dir_.Path() + "/run").c_str(), 0700), 0); }
  HostRun Host(const std::string& args, const std::string& env = "") const {
    return hosttest::RunHost(dir_.Path(), args, env);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
  mediatest::TempDir dir_;
};

TEST_F(RecordCommand, RecordsTheMicrophoneSavesAndPlaysItBack) {
  const media::WaveFormat voiceFormat = media::WaveFormat::Pcm(22050, 16, 1);
  std::vector<uint8_t> voice(22050 * 2 * 4);
  for (size_t i = 0; i < voice.size(); ++i)
    voice[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(media::WriteWaveFile(Path("voice.wav"), voiceFormat, voice, nullptr));
  const std::string env =
      "VEXO_MIC_WAV=" + Path("voice.wav") + " VEXO_WAVE_WAV=" + Path("heard.wav");
  const HostRun run = Host("record " + Path("hello") + " --seconds 1 --rate 11025 --bits 16 "
                           "--channels 2 --play",
                           env);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("the microphone sings"), std::string::npos) << run.out;
  std::string error;
  // No extension given: the recorder adds ".wav".
  auto saved = media::ReadWaveFile(Path("hello.wav"), &error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(saved->format.rate, 11025u);
  EXPECT_EQ(saved->format.bits, 16);
  EXPECT_EQ(saved->format.channels, 2);
  // About the second asked for (the real clock: whole frames, not exact).
  EXPECT_GE(saved->data.size(), 11025u * 4 * 9 / 10);
  EXPECT_LE(saved->data.size(), 11025u * 4 * 2);
  auto heard = media::ReadWaveFile(Path("heard.wav"), &error);
  ASSERT_TRUE(heard) << error;
  EXPECT_EQ(heard->data, saved->data);

  // The file played again through the recorder.
  const HostRun again = Host("record --open " + Path("hello.wav"),
                             "VEXO_WAVE_WAV=" + Path("again.wav"));
  ASSERT_EQ(again.status, 0) << again.out;
  auto replayed = media::ReadWaveFile(Path("again.wav"), &error);
  ASSERT_TRUE(replayed) << error;
  EXPECT_EQ(replayed->data, saved->data);
}

TEST_F(RecordCommand, ArgumentsItCannotUse) {
  ASSERT_TRUE(media::WriteWaveFile(Path("voice.wav"), media::WaveFormat::Pcm(8000, 8, 1),
                                   std::vector<uint8_t>(800, 0x80), nullptr));
  const std::string mic = "VEXO_MIC_WAV=" + Path("voice.wav");
  struct Row {
    std::string args;
    std::string env;
    int status;
    const char* says;
  } rows[] = {
      {"record", mic, 2, "which file is to be recorded?"},
      {"record a.wav --bits 12", mic, 2, "--bits takes 8 or 16"},
      {"record a.wav --channels 3", mic, 2, "--channels takes 1 or 2"},
      {"record a.wav --seconds 0", mic, 2, "--seconds takes a number of 1 to 600"},
      {"record a.wav --rate x", mic, 2, "--rate takes a number of 1 to 192000"},
      {"record a.wav --loud", mic, 2, "unknown argument '--loud'"},
      {"record a.wav --open b.wav", mic, 2, "--open plays a file; it records nothing"},
      {"record --open " + Path("none.wav"), mic, 1, "none.wav: no such file"},
      {"record " + Path("no/such/folder/a.wav") + " --seconds 1", mic, 1, "cannot save"},
      {"record a.wav", "VEXO_MIC_WAV=" + Path("none.wav"), 1, "there is no microphone"},
  };
  for (const Row& r : rows) {
    const HostRun run = Host(r.args, r.env);
    EXPECT_EQ(run.status, r.status) << r.args << "\n" << run.out;
    EXPECT_NE(run.out.find(r.says), std::string::npos) << r.args << "\n" << run.out;
  }
  // A file that is not a wave.
  std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '};
  FILE* f = std::fopen(Path("junk.wav").c_str(), "wb");
  std::fwrite(junk.data(), 1, junk.size(), f);
  std::fclose(f);
  const HostRun junkRun = Host("record --open " + Path("junk.wav"), mic);
  EXPECT_EQ(junkRun.status, 1);
  EXPECT_NE(junkRun.out.find("not a WAV file the recorder can play"), std::string::npos)
      << junkRun.out;
}

} // namespace
