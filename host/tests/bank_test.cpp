// `vexo3 bank` and a song's own sound banks heard through `vexo3 play --wav`,
// as a user runs them: a sine SoundFont put into a slot that the song's
// notes select, heard as a pure tone with the bank manager beside the player
// core and as the General MIDI piano without it.
#include "core/songdata.h"
#include "core/songevent.h"
#include "platform/media/tests/support/wav_file.h"
#include "platform/sys/settings_store.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using hosttest::HostRun;

const std::string kBin = VEXO_BIN_DIR;
const std::string kSine = std::string(VEXO_TESTS_DIR) + "/fixtures/sine.sf2";
// The sine puts nearly all its power at the note's pitch; the piano keeps
// about a tenth of it in its overtones.
constexpr double kSineShare = 0.98;

class BankCommand : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(Path("run").c_str(), 0700), 0);
    ASSERT_EQ(access(kSine.c_str(), R_OK), 0) << kSine << " is made by the build";
  }
  HostRun Host(const std::string& args) const { return hosttest::RunHost(dir_.Path(), args); }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  // Bank select 5, program 0, then A4 from 0.6 s to 3 s.
  void MakeSong(const std::string& path) const {
    core::CSongData song;
    ASSERT_EQ(song.NewSong(path), 1);
    ASSERT_TRUE(song.AddEvent(1, 0, 0, 0, 0xB0u | 0u << 8 | 5u << 16, core::kKindChannel));
    ASSERT_TRUE(song.AddEvent(1, 0, 0, 0, 0xC0u, core::kKindChannel));
    ASSERT_TRUE(song.AddEvent(1, 120, 480, 0, 0x90u | 69u << 8 | 100u << 16, core::kKindChannel));
    ASSERT_GT(song.SaveByKind(path, core::kSaveV350First), 0);
  }

  // The A4's share of the rendered song's power.
  double Share(const HostRun& run, const std::string& wav) const {
    EXPECT_EQ(run.status, 0) << run.out;
    std::string why;
    auto rendered = mediatest::ReadStereoWav(wav, &why);
    EXPECT_TRUE(rendered) << why;
    return rendered ? rendered->ToneShare(440, 1000, 2500) : 0;
  }

  mediatest::TempDir dir_;
};

TEST_F(BankCommand, AnEmbeddedSoundFontIsHeardOnTheBankTheSongSelects) {
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) != 0)
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  MakeSong(Path("song.vx3"));
  const HostRun made =
      Host("bank " + Path("song.vx3") + " --load 5 " + kSine + " --embed -o " + Path("banked.vx3"));
  ASSERT_EQ(made.status, 0) << made.out;
  const HostRun listed = Host("bank " + Path("banked.vx3"));
  ASSERT_EQ(listed.status, 0) << listed.out;
  EXPECT_NE(listed.out.find("base bank: none\nslot   5: embedded, " +
                            std::to_string(fs::file_size(kSine)) + " bytes\n1 of 127 bank slots"),
            std::string::npos)
      << listed.out;

  const double plain = Share(Host("play " + Path("song.vx3") + " --wav " + Path("plain.wav")),
                             Path("plain.wav"));
  const double banked = Share(Host("play " + Path("banked.vx3") + " --wav " + Path("banked.wav")),
                              Path("banked.wav"));
  EXPECT_LT(plain, kSineShare) << "without its bank the song plays the piano";
  EXPECT_GT(banked, kSineShare);

  // The same program beside a player core without the bank manager: every
  // file of build/bin but the bank manager, the program and the player core
  // copied so that their folder is this one.
  const std::string bin = Path("bin");
  fs::create_directory(bin);
  for (const auto& entry : fs::directory_iterator(kBin)) {
    const std::string name = entry.path().filename();
    if (name == "libZYRMAN32.so")
      continue;
    if (name == "vexo3" || name == "libTamblo.so")
      fs::copy_file(entry.path(), bin + "/" + name);
    else
      fs::create_symlink(entry.path(), bin + "/" + name);
  }
  const double without =
      Share(hosttest::RunProgram(bin + "/vexo3", dir_.Path(),
                                 "play " + Path("banked.vx3") + " --wav " + Path("without.wav")),
            Path("without.wav"));
  EXPECT_LT(without, kSineShare) << "without the bank manager the song plays General MIDI";
}

TEST_F(BankCommand, ABankKeptByNameIsFoundBesideTheSongWhateverItsLetterCase) {
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) != 0)
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  MakeSong(Path("song.vx3"));
  fs::copy_file(kSine, Path("Sine.sf2"));
  fs::create_directory(Path("songs"));
  const HostRun made = Host("bank " + Path("song.vx3") + " --load 5 " + Path("Sine.sf2") + " -o " +
                            Path("songs/named.vx3"));
  ASSERT_EQ(made.status, 0) << made.out;
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(Path("songs/named.vx3")), 1);
  EXPECT_EQ(song.bankSlots[5].path, "Sine.sf2") << "only the name is stored";
  EXPECT_TRUE(song.bankSlots[5].data.empty());

  const HostRun alone = Host("play " + Path("songs/named.vx3") + " --wav " + Path("alone.wav"));
  EXPECT_LT(Share(alone, Path("alone.wav")), kSineShare) << "the file is not beside the song";
  fs::copy_file(kSine, Path("songs/SINE.SF2"));
  const HostRun beside = Host("play " + Path("songs/named.vx3") + " --wav " + Path("beside.wav"));
  EXPECT_GT(Share(beside, Path("beside.wav")), kSineShare);
}

TEST_F(BankCommand, SlotsAreEmptiedAndWrittenOutAndMistakesRefused) {
  MakeSong(Path("song.vx3"));
  ASSERT_EQ(Host("bank " + Path("song.vx3") + " --load 9 " + kSine + " --embed --base 0 -o " +
                 Path("a.vx3"))
                .status,
            0);
  const HostRun out = Host("bank " + Path("a.vx3") + " --extract 9 " + Path("out.sf2"));
  ASSERT_EQ(out.status, 0) << out.out;
  EXPECT_NE(out.out.find("base bank: 0 (General MIDI)"), std::string::npos) << out.out;
  std::ifstream a(kSine, std::ios::binary), b(Path("out.sf2"), std::ios::binary);
  EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b)))
      << "the slot's data comes out as it went in";
  const HostRun emptied =
      Host("bank " + Path("a.vx3") + " --remove 9 --base -1 -o " + Path("b.vx3"));
  ASSERT_EQ(emptied.status, 0) << emptied.out;
  EXPECT_NE(emptied.out.find("base bank: none\n0 of 127 bank slots used"), std::string::npos)
      << emptied.out;

  std::ofstream(Path("wave.sf2")) << "RIFF\x04\0\0\0WAVE";
  struct Case {
    std::string args;
    int status;
  } cases[] = {
      {"bank " + Path("song.vx3") + " --load 9 " + kSine, 2}, // a change needs -o
      {"bank " + Path("song.vx3") + " --load 0 " + kSine + " -o " + Path("x.vx3"), 2},
      {"bank " + Path("song.vx3") + " --base 4 -o " + Path("x.vx3"), 2},
      {"bank", 2},
      {"bank --default", 2},
      {"bank " + Path("song.vx3") + " --load 9 " + Path("wave.sf2") + " -o " + Path("x.vx3"), 1},
      {"bank " + Path("song.vx3") + " --extract 9 " + Path("x.sf2"), 1}, // an empty slot
      {"bank " + Path("none.vx3"), 1},
      {"bank --default " + Path("wave.sf2"), 1},
  };
  for (const Case& c : cases) {
    const HostRun run = Host(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
  }
}

TEST_F(BankCommand, TheDefaultUserBankIsSelectedAndTheCardsOwnComesBackAtTheEnd) {
  if (access("/usr/share/sounds/sf2/FluidR3_GM.sf2", R_OK) != 0)
    GTEST_SKIP() << "the General MIDI SoundFont is not installed";
  setenv("VEXO_SETTINGS_FILE", Path("settings.ini").c_str(), 1);
  {
    sys::SettingsStore store;
    const std::string midi = "System\\CurrentControlSet\\Control\\MediaResources\\midi\\0003";
    ASSERT_TRUE(store.SetString(midi, "Driver", "plzyr32.drv"));
    ASSERT_TRUE(store.SetString(midi, "SOFTWAREKEY", "Software\\Card"));
    ASSERT_TRUE(store.SetString("Software\\Card\\Settings\\UserBank", "USER", "old.sf2"));
  }
  const HostRun run = Host("bank --default " + kSine);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("default user bank: " + kSine + ", selected as base bank 3 (synthesizer base " +
                         kSine + ")"),
            std::string::npos)
      << run.out;
  sys::SettingsStore store;
  EXPECT_EQ(store.GetString("Software\\Card\\Settings\\UserBank", "USER"), "old.sf2");
  EXPECT_EQ(store.GetString("Software\\Card\\Settings\\UserBank", "GM"),
            "/usr/share/sounds/sf2/FluidR3_GM.sf2")
      << "the bank manager filled in its General MIDI bank";
  unsetenv("VEXO_SETTINGS_FILE");
}

} // namespace
