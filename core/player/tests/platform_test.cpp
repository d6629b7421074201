// The link library follows the platform family: WendraNT for the NT family
// that the system reports, Wendra with the 16-bit engine under the 9x
// setting.
#include "common/player_fixture.h"

#include "core/player/platform_family.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace playertest;

class ScopedPlatform {
public:
  explicit ScopedPlatform(const char* value) {
    if (value)
      setenv("VEXO_PLATFORM", value, 1);
    else
      unsetenv("VEXO_PLATFORM");
  }
  ~ScopedPlatform() { unsetenv("VEXO_PLATFORM"); }
};

TEST(PlatformFamily, OnlyThe9xSettingSelectsThe9xFamily) {
  struct Row {
    const char* setting;
    core::PlatformFamily family;
  };
  const Row rows[] = {{nullptr, core::PlatformFamily::Nt}, {"9x", core::PlatformFamily::Win9x},
                      {"9X", core::PlatformFamily::Win9x}, {"nt", core::PlatformFamily::Nt},
                      {"95", core::PlatformFamily::Nt},    {"", core::PlatformFamily::Nt},
                      {"9x ", core::PlatformFamily::Nt}};
  for (const Row& row : rows) {
    ScopedPlatform platform(row.setting);
    EXPECT_EQ(core::CurrentPlatformFamily(), row.family) << (row.setting ? row.setting : "unset");
  }
  EXPECT_STREQ(core::LinkLibraryName(core::PlatformFamily::Nt), "WendraNT");
  EXPECT_STREQ(core::LinkLibraryName(core::PlatformFamily::Win9x), "Wendra");
}

class PlayerPlatform : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(InProcess().Attach);
    UseTestDevices();
    Pavik32().TerminatePlay();
    Pavik16().TerminatePlay();
    ClearLogs();
  }
  void TearDown() override {
    Pavik32().TerminatePlay();
    Pavik16().TerminatePlay();
    InProcess().Detach();
  }

  // A melody of notes 60 and 62 on device 1 and a syllable at 50 ms, handed
  // over through the player core's entries.
  static void HandOver(const wendra::MplayTable& t, MplayTransmitEntry transmit) {
    const int32_t tempoMap[3] = {0, 500000, 0};
    const int32_t counts[2] = {4, 1};
    const int16_t devices[2] = {1, 1};
    uint8_t banks[16];
    std::fill(std::begin(banks), std::end(banks), 0xFF);
    ASSERT_EQ(t.GetPreparePlay()(0, 1, 480, 2, 0, 1, 1000, tempoMap, counts, banks, devices), 1);
    const struct {
      int track, index, ms;
      uint32_t data, kind;
    } events[] = {{0, 0, 0, 0x00643C90, 0},
                  {0, 1, 100, 0x00003C80, 0},
                  {0, 2, 200, 0x00643E90, 0},
                  {0, 3, 300, 0x00003E80, 0},
                  {1, 0, 50, 100, 16}};
    for (const auto& e : events)
      transmit(e.track, e.index, e.index, TickAt(e.ms), e.ms, e.data, e.kind);
    ASSERT_EQ(t.GenerateTrackOrder(), 1);
  }

  static std::vector<int> EnginesThatPosted() {
    std::vector<int> engines;
    for (const Notice& n : Notices())
      if (engines.empty() || engines.back() != n.engine)
        engines.push_back(n.engine);
    return engines;
  }
};

TEST_F(PlayerPlatform, TheNtFamilyPlaysOnPavik32Only) {
  ScopedPlatform platform(nullptr);
  ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
  const wendra::MplayTable& t = InProcess().mplay;
  MplayTransmitEntry transmit = t.InitMidiPlayer(0, kWindow);
  EXPECT_EQ(t.SetMidiPlayerType(16), transmit); // WendraNT stays on 32
  HandOver(t, transmit);
  ASSERT_EQ(t.StartPlay(), 1);
  Tick(40);
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{60, 62}));
  EXPECT_EQ(EnginesThatPosted(), std::vector<int>{32});
}

TEST_F(PlayerPlatform, WithThe9xSettingASongPlaysOnTheSixteenBitEngine) {
  ScopedPlatform platform("9x");
  ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
  const wendra::MplayTable& t = InProcess().mplay;
  MplayTransmitEntry transmit = t.InitMidiPlayer(0, kWindow);
  ASSERT_NE(transmit, nullptr);
  HandOver(t, transmit);
  ASSERT_EQ(t.StartPlay(), 1);
  Tick(10);
  EXPECT_EQ(t.GetcMidiPlayFlag(), 1);
  EXPECT_EQ(Pavik16().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(t.GetCurTime(), 100);
  EXPECT_EQ(Pavik16().GetCurTime(), 100);
  Tick(30);
  EXPECT_EQ(t.GetcMidiPlayFlag(), 0); // it ended
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{60, 62}));
  EXPECT_EQ(EnginesThatPosted(), std::vector<int>{16});
  bool ended = false;
  for (const Notice& n : Notices()) {
    EXPECT_EQ(n.window, kWindow);
    ended |= n.message == 0x400 && n.wParam == 1283;
  }
  EXPECT_TRUE(ended);

  // The player core may move the same library on to Pavik32.
  MplayTransmitEntry transmit32 = t.SetMidiPlayerType(32);
  ASSERT_NE(transmit32, nullptr);
  EXPECT_NE(transmit32, transmit);
  ClearLogs();
  HandOver(t, transmit32);
  ASSERT_EQ(t.StartPlay(), 1);
  Tick(40);
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{60, 62}));
  EXPECT_EQ(EnginesThatPosted(), std::vector<int>{32});
}

} // namespace
