// The stand-in bank manager, loaded by name as the player core loads it, on
// a settings store and a synthesizer of the test's own.
#include "platform/bankmanager/protocol.h"
#include "platform/media/software_synth.h"
#include "platform/sys/library.h"
#include "platform/sys/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace bankman;

const std::string kSine = std::string(VEXO_TESTS_DIR) + "/fixtures/sine.sf2";

class StandIn : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(fs::temp_directory_path() / ("bankman-" + std::to_string(getpid())));
    fs::create_directories(*dir_);
    // Settings of the test's own, with a driver entry among others before
    // the library's first call.
    setenv("VEXO_SETTINGS_FILE", (*dir_ + "/settings.ini").c_str(), 1);
    setenv("VEXO_RUNTIME_DIR", dir_->c_str(), 1);
    sys::SettingsStore store;
    store.SetString(std::string(kMidiDriversKey) + "\\0000", "Driver", "other.drv");
    store.SetString(std::string(kMidiDriversKey) + "\\0000", "SOFTWAREKEY", "Software\\Other");
    store.SetString(std::string(kMidiDriversKey) + "\\0001", "Driver", "PLZYR32.DRV");
    store.SetString(std::string(kMidiDriversKey) + "\\0001", "SOFTWAREKEY", "Software\\Card");
    library_ = new std::optional<sys::Library>(sys::Library::Load(VEXO_BIN_DIR, kLibraryName));
  }
  static void TearDownTestSuite() {
    delete library_;
    fs::remove_all(*dir_);
    delete dir_;
  }

  void SetUp() override {
    ASSERT_TRUE(*library_) << "libZYRMAN32.so is built into " << VEXO_BIN_DIR;
    entry_ = reinterpret_cast<Entry>((*library_)->Find(kEntryName));
    ASSERT_NE(entry_, nullptr);
    if (media::GeneralMidiSoundFont().empty())
      GTEST_SKIP() << "the General MIDI SoundFont is not installed";
    ASSERT_EQ(access(kSine.c_str(), R_OK), 0) << kSine << " is made by the build";
    ASSERT_EQ(Call(0, kOpen, reinterpret_cast<uintptr_t>(&connection_)), 0);
  }
  void TearDown() override {
    if (!entry_ || connection_ == 0)
      return;
    for (int slot = 1; slot < 128; ++slot)
      Call(connection_, kFreeSlot, slot);
    Call(connection_, kSelectBaseBank, 0);
    EXPECT_EQ(Call(connection_, kClose), 0);
  }

  int32_t Call(uintptr_t connection, uint32_t command, uintptr_t a1 = 0, uintptr_t a2 = 0) {
    return entry_(connection, command, a1, a2);
  }
  int32_t Load(const std::string& file, int slot) {
    return Call(connection_, kLoadBank, reinterpret_cast<uintptr_t>(file.c_str()), slot);
  }
  uint32_t FreeMemory() {
    uint32_t budget = 0, free = 0;
    EXPECT_EQ(Call(connection_, kQueryMemory, reinterpret_cast<uintptr_t>(&budget),
                   reinterpret_cast<uintptr_t>(&free)),
              0);
    EXPECT_EQ(budget, kMemoryBudget);
    return free;
  }
  int32_t Base() {
    BaseBankRecord record{-5, 0};
    EXPECT_EQ(Call(connection_, kGetBaseBank, reinterpret_cast<uintptr_t>(&record)), 0);
    return record.bank;
  }

  static std::string* dir_;
  static std::optional<sys::Library>* library_;
  Entry entry_ = nullptr;
  uintptr_t connection_ = 0;
};
std::string* StandIn::dir_ = nullptr;
std::optional<sys::Library>* StandIn::library_ = nullptr;

TEST_F(StandIn, UsesTheDriversEntryItFindsAndFillsInItsGeneralMidiBank) {
  sys::SettingsStore store;
  EXPECT_EQ(FindDriverSoftwareKey(store), "Software\\Card");
  EXPECT_EQ(store.SubKeys(kMidiDriversKey).size(), 2u) << "no second entry of its own";
  EXPECT_EQ(store.GetString("Software\\Card\\Settings\\UserBank", "GM"),
            media::GeneralMidiSoundFont());
  EXPECT_FALSE(store.GetString("Software\\Other\\Settings\\UserBank", "GM"));
}

TEST_F(StandIn, AnswersOnlyOpenConnectionsAndRefusesWhatItCannotDo) {
  uintptr_t second = 0;
  ASSERT_EQ(Call(0, kOpen, reinterpret_cast<uintptr_t>(&second)), 0);
  EXPECT_NE(second, connection_);
  EXPECT_EQ(Call(second, kClose), 0);
  EXPECT_EQ(Call(second, kClose), kNoConnection);
  EXPECT_EQ(Call(second, kGetBaseBank, reinterpret_cast<uintptr_t>(&second)), kNoConnection);
  EXPECT_EQ(Call(0, kOpen, 0), kBadArgument);
  EXPECT_EQ(Call(connection_, kGetBaseBank, 0), kBadArgument);
  EXPECT_EQ(Call(connection_, kQueryMemory, 0, 0), kBadArgument);
  EXPECT_EQ(Call(connection_, kSelectBaseBank, 4), kBadArgument);
  EXPECT_EQ(Call(connection_, kSelectBaseBank, 1), kUnsetBank) << "no GS bank is set";
  EXPECT_EQ(Call(connection_, 999), kUnknownCommand);
  EXPECT_EQ(Base(), 0);
}

TEST_F(StandIn, BaseBanksAreTheFilesTheSettingsName) {
  sys::SettingsStore store;
  ASSERT_TRUE(store.SetString("Software\\Card\\Settings\\UserBank", "USER", kSine));
  ASSERT_EQ(Call(connection_, kSelectBaseBank, 3), 0);
  EXPECT_EQ(Base(), 3);
  EXPECT_EQ(media::SoftwareSynthBase(), kSine);

  const std::string wave = *dir_ + "/wave.sf2";
  std::ofstream(wave) << "RIFF\x04\0\0\0WAVE";
  ASSERT_TRUE(store.SetString("Software\\Card\\Settings\\UserBank", "MT", wave));
  EXPECT_EQ(Call(connection_, kSelectBaseBank, 2), kNotASoundFont);
  EXPECT_EQ(Base(), 3) << "a refused bank leaves the card as it was";
  EXPECT_EQ(media::SoftwareSynthBase(), kSine);

  ASSERT_EQ(Call(connection_, kSelectBaseBank, 0), 0);
  EXPECT_EQ(media::SoftwareSynthBase(), media::GeneralMidiSoundFont());
}

TEST_F(StandIn, ASlotHoldsACopyOfItsFileWithinTheMemoryBudget) {
  const std::string mine = *dir_ + "/mine.sf2";
  fs::copy_file(kSine, mine, fs::copy_options::overwrite_existing);
  const uint32_t size = static_cast<uint32_t>(fs::file_size(mine));
  ASSERT_EQ(FreeMemory(), kMemoryBudget);

  ASSERT_EQ(Load(mine, 9), 0);
  EXPECT_EQ(FreeMemory(), kMemoryBudget - size);
  fs::remove(mine); // the caller may remove its file at once
  auto banks = media::SoftwareSynthBanks();
  ASSERT_EQ(banks.size(), 1u);
  EXPECT_EQ(banks[0].bank, 9);
  EXPECT_NE(banks[0].path, mine);
  EXPECT_TRUE(fs::exists(banks[0].path));
  const std::string copy = banks[0].path;

  // Refusals leave the slot as it was.
  EXPECT_EQ(Load(*dir_ + "/missing.sf2", 9), kNotASoundFont);
  EXPECT_EQ(Load(kSine, 0), kBadArgument);
  EXPECT_EQ(Load(kSine, 128), kBadArgument);
  EXPECT_EQ(Call(connection_, kLoadBank, 0, 9), kBadArgument);
  ASSERT_EQ(media::SoftwareSynthBanks().size(), 1u);
  EXPECT_EQ(media::SoftwareSynthBanks()[0].path, copy);

  // Loading a slot again replaces it, counting its memory once.
  ASSERT_EQ(Load(kSine, 9), 0);
  EXPECT_EQ(FreeMemory(), kMemoryBudget - size);
  EXPECT_FALSE(fs::exists(copy));

  ASSERT_EQ(Call(connection_, kFreeSlot, 9), 0);
  EXPECT_TRUE(media::SoftwareSynthBanks().empty());
  EXPECT_EQ(FreeMemory(), kMemoryBudget);
  EXPECT_EQ(Call(connection_, kFreeSlot, 9), 0) << "an empty slot frees";
  EXPECT_EQ(Call(connection_, kFreeSlot, 0), kBadArgument);
}

TEST_F(StandIn, ABankBeyondTheBudgetIsRefused) {
  // A SoundFont form whose sample list alone passes the budget.
  const std::string big = *dir_ + "/big.sf2";
  {
    std::ofstream out(big, std::ios::binary);
    auto u32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i)
        out.put(static_cast<char>(v >> (8 * i)));
    };
    const uint32_t samples = kMemoryBudget;
    out << "RIFF";
    u32(4 + (8 + 4 + 8 + 4) + (8 + 4 + 8 + samples) + (8 + 4 + 8 + 38));
    out << "sfbk";
    out << "LIST";
    u32(4 + 8 + 4);
    out << "INFO" << "ifil";
    u32(4);
    u32(0x00010002);
    out << "LIST";
    u32(4 + 8 + samples);
    out << "sdta" << "smpl";
    u32(samples);
    out.seekp(samples, std::ios::cur);
    out << "LIST";
    u32(4 + 8 + 38);
    out << "pdta" << "phdr";
    u32(38);
    out << std::string(38, '\0');
  }
  ASSERT_EQ(Load(kSine, 2), 0);
  EXPECT_EQ(Load(big, 3), kNoMemory);
  EXPECT_EQ(media::SoftwareSynthBanks().size(), 1u);
  fs::remove(big);
}

} // namespace
