// A song's user banks into the sound card and back, the default user bank
// and the driver's settings, against a bank manager that writes every call
// it gets and answers from a script.
#include "common/player_fixture.h"

#include "core/player/bankmanager.h"
#include "core/songdata.h"
#include "platform/sys/settings_store.h"
#include "platform/sys/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace playertest;
using Lines = std::vector<std::string>;

const std::string kCardKey = "Software\\Card\\Settings\\UserBank";

void WriteFile(const std::string& path, size_t size) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'b');
}

class UserBank : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("VEXO_FAKE_BANK_TRACE", (dir_ / "trace").c_str(), 1);
    setenv("VEXO_FAKE_BANK_SCRIPT", (dir_ / "script").c_str(), 1);
    fake_ = sys::Library::Load(kFixtures + "/bank-manager", "ZYRMAN32");
    ASSERT_TRUE(fake_);
    reinterpret_cast<void (*)()>(fake_->Find("FakeBank_Reset"))();
  }
  void TearDown() override {
    manager_.FreeBankManager();
    unsetenv("VEXO_FAKE_BANK_TRACE");
    unsetenv("VEXO_FAKE_BANK_SCRIPT");
  }

  void Bind(const std::string& script = "") {
    std::ofstream(dir_ / "script") << script;
    ASSERT_EQ(manager_.LoadBankManager(kFixtures + "/bank-manager"), 1);
    EXPECT_EQ(Trace(), (Lines{"101", "305", "102"})) << "binding remembers the base bank";
  }

  // The calls since the last look; a file name in the private temporary
  // folder as "TEMP/" and the test's folder as "DIR/".
  Lines Trace() {
    Lines lines;
    std::ifstream in(dir_ / "trace");
    for (std::string line; std::getline(in, line);) {
      for (const auto& [from, to] : {std::pair{sys::TempDir() + "/", std::string("TEMP/")},
                                     std::pair{dir_.Path() + "/", std::string("DIR/")}}) {
        if (const size_t at = line.find(from); at != std::string::npos)
          line.replace(at, from.size(), to);
      }
      lines.push_back(line);
    }
    std::ofstream(dir_ / "trace", std::ios::trunc);
    return lines;
  }

  // The name the embedded data of a slot is written under: made anew for
  // each load, so only its start is fixed.
  static bool IsTemporaryBank(const std::string& line, const char* slot) {
    return line.rfind(std::string("204 TEMP/~~~TMP__.") + slot + ".", 0) == 0;
  }

  static void Embed(core::CSongData& song, int slot, size_t size) {
    song.bankSlots[slot].flags = core::kBankSlotUsed;
    song.bankSlots[slot].data.assign(size, 0x5A);
    ++song.bankSlotCount;
  }

  Scratch dir_;
  std::optional<sys::Library> fake_;
  core::BankManager manager_;
};

TEST_F(UserBank, EachKindOfSlotIsLoadedFromWhereItsDataLies) {
  Bind();
  WriteFile(dir_ / "own.sf2", 50);
  WriteFile(dir_ / "bank.sf2", 70);
  core::CSongData song;
  song.path = dir_ / "song.vx3";
  Embed(song, 1, 100);
  song.bankSlots[3] = {dir_ / "own.sf2", core::kBankSlotUsed | core::kBankSlotOwnFile, {}};
  song.bankSlots[4] = {"C:\\Banks\\Bank.SF2",
                       core::kBankSlotUsed | core::kBankSlotOwnFile | core::kBankSlotNameOnly, {}};
  song.bankSlotCount = 3;
  ASSERT_EQ(manager_.LoadSongBanks(song), 1);

  const Lines t = Trace();
  ASSERT_EQ(t.size(), 12u) << ::testing::PrintToString(t);
  EXPECT_EQ(Lines(t.begin(), t.begin() + 3), (Lines{"101", "308", "205 1"}));
  EXPECT_EQ(t[3], "308");
  EXPECT_TRUE(IsTemporaryBank(t[4], "001")) << t[4];
  EXPECT_TRUE(t[4].size() > 8 && t[4].substr(t[4].size() - 6) == " 1 100") << t[4];
  EXPECT_EQ(Lines(t.begin() + 5, t.end()),
            (Lines{"205 3", "308", "204 DIR/own.sf2 3 50", "205 4", "308", "204 DIR/bank.sf2 4 70",
                   "102"}))
      << "the name-only slot is found in the song's folder, letter case ignored";
  EXPECT_TRUE(fs::is_empty(sys::TempDir())) << "the embedded data's file is gone";
  for (int slot : {1, 3, 4})
    EXPECT_TRUE(manager_.SlotLoaded(slot)) << slot;

  // A reset gives the slots back; no base bank was changed.
  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), (Lines{"101", "205 1", "205 3", "205 4", "102"}));
  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), Lines{}) << "nothing left to give back: the card is not reached";
}

TEST_F(UserBank, ASlotWhoseFileIsMissingOrRefusedIsLeftAsItWas) {
  Bind("fail 204 2\n");
  WriteFile(dir_ / "refused.sf2", 10);
  core::CSongData song;
  song.path = dir_ / "song.vx3";
  song.bankSlots[1] = {"lost.sf2",
                       core::kBankSlotUsed | core::kBankSlotOwnFile | core::kBankSlotNameOnly, {}};
  song.bankSlots[2] = {dir_ / "refused.sf2", core::kBankSlotUsed | core::kBankSlotOwnFile, {}};
  song.bankSlots[5] = {dir_ / "missing.sf2", core::kBankSlotUsed | core::kBankSlotOwnFile, {}};
  song.bankSlotCount = 3;
  ASSERT_EQ(manager_.LoadSongBanks(song), 1);
  EXPECT_EQ(Trace(), (Lines{"101", "308", "205 2", "308", "204 DIR/refused.sf2 2 10", "102"}))
      << "slots 1 and 5 are never freed: their files are not there";
  for (int slot : {1, 2, 5})
    EXPECT_FALSE(manager_.SlotLoaded(slot)) << slot;
}

TEST_F(UserBank, TheBaseBankASongNamesIsGivenBackAtItsReset) {
  Bind("base 2\n");
  core::CSongData song;
  song.path = dir_ / "song.vx3";
  song.bankNumber = 1;
  Embed(song, 6, 10);
  ASSERT_EQ(manager_.LoadSongBanks(song), 1);
  Lines t = Trace();
  ASSERT_EQ(t.size(), 8u) << ::testing::PrintToString(t);
  EXPECT_EQ(Lines(t.begin(), t.begin() + 6), (Lines{"101", "305", "907 1", "308", "205 6", "308"}));
  EXPECT_TRUE(IsTemporaryBank(t[6], "006")) << t[6];
  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), (Lines{"101", "205 6", "907 2", "102"}));

  // Bank number 255 is bank 0.
  song.bankNumber = 255;
  ASSERT_EQ(manager_.LoadSongBanks(song), 1);
  t = Trace();
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[2], "907 0");
  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), (Lines{"101", "205 6", "907 2", "102"}));
}

TEST_F(UserBank, ShortMemoryFreesOnlyWhatThisLoadedAndKeepsTheBankToGiveBack) {
  // The card starts on bank 2. Its memory is short twice (so the song's
  // base bank gives way to General MIDI), then has room.
  Bind("base 2\nmemory 1000 10\nmemory 1000 10\nmemory 1000 10\nmemory 1000 5000\n");
  WriteFile(dir_ / "earlier.sf2", 5);
  ASSERT_EQ(manager_.OpenBankManager(), 1);
  ASSERT_EQ(manager_.LoadBankFile(dir_ / "earlier.sf2", 9), 1);
  manager_.CloseBankManager();
  Trace();

  core::CSongData song;
  song.path = dir_ / "song.vx3";
  song.bankNumber = 1;
  Embed(song, 1, 100);
  ASSERT_EQ(manager_.LoadSongBanks(song), 1);
  const Lines t = Trace();
  ASSERT_EQ(t.size(), 12u) << ::testing::PrintToString(t);
  EXPECT_EQ(Lines(t.begin(), t.begin() + 11),
            (Lines{"101", "305", "907 1", "308", "205 9", "308", "305", "907 0", "205 1", "308",
                   t[10]}))
      << "slot 9, loaded here before, makes room; no other slot is freed";
  EXPECT_TRUE(IsTemporaryBank(t[10], "001")) << t[10];

  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), (Lines{"101", "205 1", "907 2", "102"}))
      << "the bank the card had before the song comes back";
}

TEST_F(UserBank, ASongFileWithBanksIsLoadedIntoTheCardWhenReadAndFreedWhenReset) {
  Bind();
  core::CSongData written;
  ASSERT_EQ(written.NewSong(dir_ / "song.vx3"), 1);
  written.bankNumber = 3;
  Embed(written, 12, 40);
  ASSERT_GT(written.SaveByKind(dir_ / "song.vx3", core::kSaveV350First), 0);

  core::CSongData song;
  song.bankHooks = &manager_;
  ASSERT_EQ(song.LoadByKind(dir_ / "song.vx3", core::kFileVx3), 1);
  const Lines t = Trace();
  ASSERT_EQ(t.size(), 8u) << ::testing::PrintToString(t);
  EXPECT_EQ(t[2], "907 3");
  EXPECT_TRUE(IsTemporaryBank(t[6], "012")) << t[6];
  EXPECT_TRUE(manager_.SlotLoaded(12));

  song.Reset();
  EXPECT_EQ(Trace(), (Lines{"101", "205 12", "907 0", "102"}));
  EXPECT_FALSE(manager_.SlotLoaded(12));

  // A song without banks never reaches the card.
  ASSERT_EQ(written.NewSong(dir_ / "plain.vx3"), 1);
  ASSERT_GT(written.SaveByKind(dir_ / "plain.vx3", core::kSaveV350First), 0);
  ASSERT_EQ(song.LoadByKind(dir_ / "plain.vx3", core::kFileVx3), 1);
  EXPECT_EQ(Trace(), Lines{});
  song.bankHooks = nullptr;
}

TEST_F(UserBank, TheBindingsBaseBankIsRestoredAtUnloadOnlyWhenChanged) {
  Bind("base 1\n");
  manager_.FreeBankManager();
  EXPECT_EQ(Trace(), (Lines{"101", "102"})) << "nothing was changed";

  Bind("base 1\n");
  ASSERT_EQ(manager_.OpenBankManager(), 1);
  ASSERT_EQ(manager_.SelectBaseBank(3), 1);
  WriteFile(dir_ / "b.sf2", 3);
  ASSERT_EQ(manager_.LoadBankFile(dir_ / "b.sf2", 7), 1);
  manager_.CloseBankManager();
  Trace();
  manager_.FreeBankManager();
  EXPECT_EQ(Trace(), (Lines{"101", "205 7", "907 1", "102"}));
  EXPECT_FALSE(manager_.Present());
}

TEST_F(UserBank, WithoutTheLibraryEveryOperationGivesZero) {
  Scratch empty;
  ASSERT_EQ(manager_.LoadBankManager(empty.Path()), 0);
  uint32_t a = 0, b = 0;
  std::string key;
  core::CSongData song;
  song.path = dir_ / "song.vx3";
  Embed(song, 1, 10);
  EXPECT_EQ(manager_.OpenBankManager(), 0);
  EXPECT_EQ(manager_.SelectBaseBank(1), 0);
  EXPECT_EQ(manager_.GetBaseBank(), -1);
  EXPECT_EQ(manager_.FreeBankSlot(1), 0);
  EXPECT_EQ(manager_.QueryBankMemory(&a, &b), 0);
  EXPECT_EQ(manager_.LoadBankFile(dir_ / "x.sf2", 1), 0);
  EXPECT_EQ(manager_.LoadSongBanks(song), 0);
  EXPECT_EQ(manager_.SetDefaultUserSynth(1, "/banks/a.sf2"), 0);
  manager_.ReleaseSongBanks();
  EXPECT_EQ(Trace(), Lines{});
}

class DriverSettings : public UserBank {
protected:
  void SetUp() override {
    UserBank::SetUp();
    // The settings file is the test environment's own; each test starts it anew.
    store_.DeleteKey("System");
    store_.DeleteKey("Software");
    const std::string midi = "System\\CurrentControlSet\\Control\\MediaResources\\midi";
    store_.SetString(midi + "\\0000", "Driver", "mmsynth.drv");
    store_.SetString(midi + "\\0000", "SOFTWAREKEY", "Software\\Other");
    store_.SetString(midi + "\\0001", "Driver", "PLZYR32.DRV");
    store_.SetString(midi + "\\0001", "SOFTWAREKEY", "Software\\Card");
    store_.SetString(kCardKey, "GM", "gm.sf2");
    store_.SetString(kCardKey, "USER", "old.sf2");
    store_.SetString("Software\\Other\\Settings\\UserBank", "USER", "other.sf2");
  }
  sys::SettingsStore store_;
};

TEST_F(DriverSettings, TheCardsKeyIsFoundAmongTheDriversAndItsValuesReadAndWritten) {
  core::BankManager none; // the settings need no library
  std::string key;
  ASSERT_EQ(none.FindCardMidiDriver(&key), 1);
  EXPECT_EQ(key, "Software\\Card");
  std::string gm = "x", gs = "x", user = "x";
  ASSERT_EQ(none.ReadUserBankSetting(&gm, &gs, nullptr, &user), 1);
  EXPECT_EQ(gm, "gm.sf2");
  EXPECT_EQ(gs, "");
  EXPECT_EQ(user, "old.sf2");
  const std::string mt = "mt.sf2";
  ASSERT_EQ(none.WriteUserBankSetting(nullptr, nullptr, &mt, nullptr), 1);
  EXPECT_EQ(store_.GetString(kCardKey, "MT"), "mt.sf2");
  EXPECT_EQ(store_.GetString(kCardKey, "GM"), "gm.sf2") << "a null argument leaves its value";

  store_.DeleteKey("System\\CurrentControlSet\\Control\\MediaResources\\midi\\0001");
  EXPECT_EQ(none.FindCardMidiDriver(&key), 0);
  EXPECT_EQ(none.ReadUserBankSetting(&gm, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(none.WriteUserBankSetting(&mt, nullptr, nullptr, nullptr), 0);
}

TEST_F(DriverSettings, ADefaultUserBankIsSetSelectedAndGivenBack) {
  Bind();
  struct Row {
    size_t length;
    int result;
  } rows[] = {{0, 0}, {1, 1}, {259, 1}, {260, 0}, {261, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    const std::string path(row.length, 'p');
    EXPECT_EQ(manager_.SetDefaultUserSynth(1, path.c_str()), row.result);
    uint32_t flag = 9;
    std::string got = "x";
    manager_.GetDefaultUserSynth(&flag, &got);
    EXPECT_EQ(flag, row.result ? 1u : 0u);
    EXPECT_EQ(got, row.result ? path : "");
    EXPECT_EQ(store_.GetString(kCardKey, "USER"), row.result ? path : "old.sf2");
    EXPECT_EQ(Trace(), row.result ? (Lines{"101", "907 3", "102"}) : Lines{});
    // Cleared again: the card's own value comes back.
    manager_.SetDefaultUserSynth(0, nullptr);
    EXPECT_EQ(store_.GetString(kCardKey, "USER"), "old.sf2");
  }

  ASSERT_EQ(manager_.SetDefaultUserSynth(1, "/banks/mine.sf2"), 1);
  ASSERT_EQ(manager_.SetDefaultUserSynth(1, "/banks/other.sf2"), 1);
  manager_.RestoreDefaultUserBank();
  EXPECT_EQ(store_.GetString(kCardKey, "USER"), "old.sf2") << "the value from before the first";
  uint32_t flag = 9;
  manager_.GetDefaultUserSynth(&flag, nullptr);
  EXPECT_EQ(flag, 0u);
  EXPECT_EQ(store_.GetString("Software\\Other\\Settings\\UserBank", "USER"), "other.sf2");
}

TEST_F(DriverSettings, ADefaultTheCardRefusesWritesTheOldValueBack) {
  Bind("fail 907 3\n");
  EXPECT_EQ(manager_.SetDefaultUserSynth(1, "/banks/mine.sf2"), 0);
  EXPECT_EQ(Trace(), (Lines{"101", "907 3", "102"}));
  EXPECT_EQ(store_.GetString(kCardKey, "USER"), "old.sf2");
  uint32_t flag = 9;
  manager_.GetDefaultUserSynth(&flag, nullptr);
  EXPECT_EQ(flag, 0u);
}

} // namespace
