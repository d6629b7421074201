// `vexo3 play`, `vexo3 devices` and `vexo3 demo` as a user runs them: the
// demo song rendered into a WAV file as long as the song, with music in it,
// the same bytes every time; Ctrl+C during a real-time play; arguments the
// host cannot use.
#include "core/songdata.h"
#include "platform/media/riff.h"
#include "platform/media/software_synth.h"
#include "platform/media/tests/support/wav_file.h"
#include "platform/sys/tests/support/spawned_child.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string kBin = VEXO_BIN_DIR;
const std::string kDemo = kBin + "/twinkle.kar";

using hosttest::HostRun;

// The host's commands run on a runtime folder and settings of their own.
class PlayCommand : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.Path().empty());
    ASSERT_EQ(mkdir((dir_.Path() + "/run").c_str(), 0700), 0);
  }

  HostRun Host(const std::string& args, const std::string& env = "") const {
    return hosttest::RunHost(dir_.Path(), args, env);
  }

  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  mediatest::TempDir dir_;
};

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool HaveSoundFont() {
  return access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) == 0;
}

TEST_F(PlayCommand, RendersTheDemoSongAsLongAsItIsWithMusicTheSameBytesEveryTime) {
  if (!HaveSoundFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  const HostRun first = Host("play " + kDemo + " --wav " + Path("a.wav"));
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("rendering \"Twinkle, Twinkle, Little Star\""), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("wrote " + Path("a.wav")), std::string::npos) << first.out;
  const HostRun second = Host("play " + kDemo + " --wav " + Path("b.wav"));
  ASSERT_EQ(second.status, 0) << second.out;
  const std::vector<char> a = FileBytes(Path("a.wav"));
  EXPECT_TRUE(a == FileBytes(Path("b.wav"))) << "two renderings differ";
  // The 16-bit engine behind the 9x link library plays the song alike.
  const HostRun nine = Host("play " + kDemo + " --wav " + Path("c.wav"), "VEXO_PLATFORM=9x");
  ASSERT_EQ(nine.status, 0) << nine.out;
  EXPECT_TRUE(a == FileBytes(Path("c.wav"))) << "the 16-bit engine rendered otherwise";

  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(kDemo), 1);
  std::string why;
  auto wav = mediatest::ReadStereoWav(Path("a.wav"), &why);
  ASSERT_TRUE(wav) << why;
  EXPECT_NEAR(wav->Seconds() * 1000, song.endMs, 100);

  // Music in every second in which a note sounds.
  std::vector<bool> hasNotes(static_cast<size_t>(song.endMs / 1000 + 1));
  for (const core::Track& t : song.tracks)
    for (const core::SongEvent& e : t.events)
      if (e.IsSoundingNoteOn())
        for (uint32_t s = e.ms / 1000; s <= (e.ms + e.durationMs) / 1000 && s < hasNotes.size();
             ++s)
          hasNotes[s] = true;
  int checked = 0;
  for (size_t s = 0; s + 1 < hasNotes.size(); ++s) {
    if (!hasNotes[s])
      continue;
    ++checked;
    EXPECT_GT(wav->Rms(s * 1000.0, (s + 1) * 1000.0), 100.0) << "second " << s;
  }
  EXPECT_GE(checked, 30);
}

TEST_F(PlayCommand, TempoAndKeyChangeWhatIsRendered) {
  if (!HaveSoundFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(kDemo), 1);
  ASSERT_EQ(Host("play " + kDemo + " --wav " + Path("fast.wav") + " --tempo +50").status, 0);
  std::string why;
  auto fast = mediatest::ReadStereoWav(Path("fast.wav"), &why);
  ASSERT_TRUE(fast) << why;
  EXPECT_NEAR(fast->Seconds() * 1000, song.endMs / 1.5, 100);

  ASSERT_EQ(Host("play " + kDemo + " --wav " + Path("plain.wav")).status, 0);
  ASSERT_EQ(Host("play " + kDemo + " --wav " + Path("up.wav") + " --key 3").status, 0);
  const std::vector<char> plain = FileBytes(Path("plain.wav")), up = FileBytes(Path("up.wav"));
  EXPECT_EQ(plain.size(), up.size());
  EXPECT_FALSE(plain == up);
}

TEST_F(PlayCommand, TheLogoShowsTheStartAndItsMusicStopsWhenTheSongStarts) {
  if (!HaveSoundFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  ASSERT_EQ(Host("play " + kDemo + " --wav " + Path("plain.wav")).status, 0);
  // The NT family plays no logo music: the song renders as without the logo.
  const HostRun run =
      Host("play " + kDemo + " --logo --wav " + Path("logo.wav"), "QT_QPA_PLATFORM=offscreen");
  ASSERT_EQ(run.status, 0) << run.out;
  const size_t player = run.out.find("logo: Starting the player...");
  const size_t song = run.out.find("logo: Loading the song...");
  const size_t rendering = run.out.find("rendering \"");
  ASSERT_NE(player, std::string::npos) << run.out;
  ASSERT_NE(song, std::string::npos) << run.out;
  EXPECT_LT(player, song);
  EXPECT_LT(song, rendering);
  EXPECT_TRUE(FileBytes(Path("plain.wav")) == FileBytes(Path("logo.wav")));
  // On the 9x family the tune plays from the library's start and stops as
  // the song starts; the song is rendered whole.
  const HostRun nine = Host("play " + kDemo + " --logo --wav " + Path("nine.wav"),
                            "QT_QPA_PLATFORM=offscreen VEXO_PLATFORM=9x");
  ASSERT_EQ(nine.status, 0) << nine.out;
  EXPECT_EQ(FileBytes(Path("plain.wav")).size(), FileBytes(Path("nine.wav")).size());
}

TEST_F(PlayCommand, ArgumentsItCannotUseAreRefused) {
  struct Row {
    std::string args;
    int status;
    std::string says;
  };
  const Row rows[] = {
      {"play", 2, "which song file?"},
      {"play " + kDemo + " --tempo 500", 2, "--tempo takes a percentage from -50 to +100"},
      {"play " + kDemo + " --tempo", 2, "--tempo needs a value"},
      {"play " + kDemo + " --key x", 2, "--key takes semitones"},
      {"play " + kDemo + " --device first", 2, "--device takes a device number"},
      {"play " + kDemo + " --loud", 2, "unknown option '--loud'"},
      {"play " + kDemo + " " + kDemo, 2, "one song file at a time"},
      {"play " + Path("missing.mid"), 1, "no such file"},
      {"play " + kDemo + " --wav " + Path("no/such/folder.wav"), 1, "cannot write"},
      {"play " + kDemo + " --device 200", 1, "there is no MIDI output device 200"},
      {"devices now", 2, "devices takes no arguments"},
      {"demo --loud", 2, "usage: vexo3 demo"},
  };
  for (const Row& r : rows) {
    const HostRun run = Host(r.args);
    EXPECT_EQ(run.status, r.status) << r.args << "\n" << run.out;
    EXPECT_NE(run.out.find(r.says), std::string::npos) << r.args << "\n" << run.out;
  }

  // A file that is no song is refused with the reader's message.
  std::ofstream(Path("text.mid")) << "not a song";
  const HostRun bad = Host("play " + Path("text.mid"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("This is not a Standard MIDI File."), std::string::npos) << bad.out;
  EXPECT_NE(bad.out.find("cannot read this song"), std::string::npos) << bad.out;
}

TEST_F(PlayCommand, DevicesListsTheBuiltInSynthesizerAsTheDefault) {
  const HostRun run = Host("devices");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(" 0  Vexo3 GM Software Synth  (default)"), std::string::npos) << run.out;
}

TEST_F(PlayCommand, DevicesListsTheMicrophoneFile) {
  const media::WaveFormat format = media::WaveFormat::Pcm(11025, 8, 1);
  ASSERT_TRUE(media::WriteWaveFile(Path("sung.wav"), format, std::vector<uint8_t>(100, 0x80),
                                   nullptr));
  const HostRun run = Host("devices", "VEXO_MIC_WAV=" + Path("sung.wav"));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Sound input devices:\n   0  Wave File Microphone\n"), std::string::npos)
      << run.out;
  const HostRun missing = Host("devices", "VEXO_MIC_WAV=" + Path("none.wav"));
  EXPECT_NE(missing.out.find("Sound input devices:\n  none\n"), std::string::npos) << missing.out;
}

TEST_F(PlayCommand, TheDemoWithoutSoundRendersAWavFileAndSaysSo) {
  if (!HaveSoundFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  const HostRun chosen = Host("demo --wav " + Path("demo.wav"));
  ASSERT_EQ(chosen.status, 0) << chosen.out;
  EXPECT_TRUE(std::filesystem::file_size(Path("demo.wav")) > 1000000);

  if (media::SoftwareSynthCanPlayAloud())
    GTEST_SKIP() << "this machine has a sound output: the demo plays aloud";
  const std::string beside = kBin + "/twinkle.wav";
  std::filesystem::remove(beside);
  // Without a screen either, the demo is rendered into the file.
  const HostRun run = Host("demo", "env -u DISPLAY -u WAYLAND_DISPLAY");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("this machine has no sound output"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("wrote " + beside), std::string::npos) << run.out;
  EXPECT_TRUE(FileBytes(beside) == FileBytes(Path("demo.wav")));
  std::filesystem::remove(beside);
}

TEST_F(PlayCommand, ARealTimePlayIntoTheSynthesizersFileLastsAsLongAsTheSong) {
  if (!HaveSoundFont())
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  const std::string song = std::string(VEXO_CORPUS_DIR) + "/midi/jazz-karaoke-kar.mid";
  if (!std::filesystem::exists(song))
    GTEST_SKIP() << "the MIDI corpus is not there";
  // The real timer drives the engine and the synthesizer writes what it
  // plays, in real time, into the file.
  const HostRun run = Host("play " + song + " --no-display", "VEXO_SYNTH_WAV=" + Path("rt.wav"));
  ASSERT_EQ(run.status, 0) << run.out;
  core::CSongData data;
  ASSERT_EQ(data.LoadByExtension(song), 1);
  std::string why;
  auto wav = mediatest::ReadStereoWav(Path("rt.wav"), &why);
  ASSERT_TRUE(wav) << why;
  EXPECT_NEAR(wav->Seconds() * 1000, data.endMs, 50);
}

TEST_F(PlayCommand, CtrlCDuringARealTimePlayLeavesNoNoteSounding) {
  auto child = systest::SpawnedChild::Start(
      VEXO_TESTS_DIR "/play_recorded", {kDemo},
      {"VEXO_RUNTIME_DIR=" + dir_.Path() + "/run", "VEXO_SETTINGS_FILE=" + Path("settings.ini")});
  ASSERT_TRUE(child);
  // The status line says a second of the song has passed: notes sound.
  bool playing = false;
  while (auto line = child->ReadLine(20000)) {
    if (line->rfind("  0:02", 0) == 0) {
      playing = true;
      break;
    }
  }
  ASSERT_TRUE(playing);
  child->Kill(SIGINT);
  std::vector<std::string> report;
  while (auto line = child->ReadLine(20000))
    report.push_back(*line);
  EXPECT_EQ(child->Wait(), 0);
  auto has = [&](const std::string& text) {
    return std::find(report.begin(), report.end(), text) != report.end();
  };
  EXPECT_TRUE(has("stopped"));
  EXPECT_TRUE(has("exit 130"));
  EXPECT_TRUE(has("sounding 0"));
  EXPECT_TRUE(has("open ports 0"));
  EXPECT_FALSE(has("notes 0"));
}

TEST_F(PlayCommand, CtrlCAsSoonAsPlayIsAnnouncedStopsItCleanly) {
  auto child = systest::SpawnedChild::Start(
      VEXO_TESTS_DIR "/play_recorded", {kDemo},
      {"VEXO_RUNTIME_DIR=" + dir_.Path() + "/run", "VEXO_SETTINGS_FILE=" + Path("settings.ini")});
  ASSERT_TRUE(child);
  bool announced = false;
  while (auto line = child->ReadLine(20000)) {
    if (line->rfind("playing", 0) == 0) {
      announced = true;
      break;
    }
  }
  ASSERT_TRUE(announced);
  child->Kill(SIGINT);
  std::vector<std::string> report;
  while (auto line = child->ReadLine(20000))
    report.push_back(*line);
  EXPECT_EQ(child->Wait(), 0) << "the play ends, not the process";
  auto has = [&](const std::string& text) {
    return std::find(report.begin(), report.end(), text) != report.end();
  };
  EXPECT_TRUE(has("stopped"));
  EXPECT_TRUE(has("exit 130"));
  EXPECT_TRUE(has("sounding 0"));
}

} // namespace
