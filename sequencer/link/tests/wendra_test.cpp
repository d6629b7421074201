// The player type rules of the two link libraries and the routing of Wendra
// between Pavik32 and the 16-bit engine.
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace linktest;

class LinkTypes : public testing::Test {
protected:
  void SetUp() override {
    const Libraries& l = Loaded();
    ASSERT_TRUE(l.wendra.InitMidiPlayer && l.wendraNT.InitMidiPlayer && l.pavik16.StartPlay);
    l.pavik32.TerminatePlay();
    l.pavik16.TerminatePlay();
    ClearLogs();
  }
  void TearDown() override {
    Loaded().pavik32.TerminatePlay();
    Loaded().pavik16.TerminatePlay();
  }

  const wendra::MplayTable& W() const { return Loaded().wendra; }
  const wendra::MplayTable& NT() const { return Loaded().wendraNT; }
  const wendra::EngineTable& P32() const { return Loaded().pavik32; }
  const wendra::EngineTable& P16() const { return Loaded().pavik16; }

  // The engines that received the song's notes, as 16 and 32.
  static std::vector<int> EnginesThatPlayed() {
    std::vector<int> engines;
    for (const Notice& n : Notices())
      if (n.message == 1025 && (engines.empty() || engines.back() != n.engine))
        engines.push_back(n.engine);
    return engines;
  }
};

TEST_F(LinkTypes, WendraStartsOnTheSixteenBitEngineUntilTheTypeIs32) {
  MplayTransmitEntry transmit = W().InitMidiPlayer(7, kWindow);
  ASSERT_NE(transmit, nullptr);
  MplayPrepareEntry prepare = W().GetPreparePlay();
  ASSERT_EQ(HandOver(W(), transmit, ShortSong(1)), 1);
  ASSERT_EQ(W().StartPlay(), 1);
  Tick(8);
  EXPECT_EQ(P16().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(P32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{60}));
  EXPECT_EQ(EnginesThatPlayed(), std::vector<int>{16}); // the syllable's notice
  W().TerminatePlay();
  EXPECT_EQ(P16().GetcMidiPlayFlag(), 0);

  MplayTransmitEntry transmit32 = W().SetMidiPlayerType(32);
  ASSERT_NE(transmit32, nullptr);
  EXPECT_NE(transmit32, transmit);
  EXPECT_NE(W().GetPreparePlay(), prepare);
  // The 16-bit engine's buffers went with the change: started again, its
  // song has nothing left to play.
  ClearLogs();
  ASSERT_EQ(P16().StartPlay(), 1);
  Tick(3);
  EXPECT_EQ(P16().GetcMidiPlayFlag(), 0);
  EXPECT_TRUE(NotesPlayed(1).empty());

  ClearLogs();
  ASSERT_EQ(HandOver(W(), transmit32, ShortSong(0)), 1);
  ASSERT_EQ(W().StartPlay(), 1);
  Tick(25);
  EXPECT_EQ(P32().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(W().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(NotesPlayed(0), (std::vector<uint8_t>{60, 62}));
  EXPECT_EQ(EnginesThatPlayed(), std::vector<int>{32});

  // A new initialisation goes back to 16.
  EXPECT_EQ(W().InitMidiPlayer(7, kWindow), transmit);
  EXPECT_EQ(W().GetPreparePlay(), prepare);
}

TEST_F(LinkTypes, WendraRefusesATypeChangeWhileTheCurrentEnginePlays) {
  MplayTransmitEntry transmit = W().InitMidiPlayer(0, kWindow);
  MplayPrepareEntry prepare = W().GetPreparePlay();
  ASSERT_EQ(HandOver(W(), transmit, ShortSong(0)), 1);
  ASSERT_EQ(W().StartPlay(), 1);
  Tick(2);
  EXPECT_EQ(W().SetMidiPlayerType(32), nullptr);
  EXPECT_EQ(W().GetPreparePlay(), prepare);
  // Nothing was freed: the song plays on, on the same engine.
  Tick(20);
  EXPECT_EQ(P16().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(NotesPlayed(0), (std::vector<uint8_t>{60, 62}));
  W().TerminatePlay();

  // The same on type 32, asked for 16.
  MplayTransmitEntry transmit32 = W().SetMidiPlayerType(32);
  ASSERT_EQ(HandOver(W(), transmit32, ShortSong(0)), 1);
  ASSERT_EQ(W().StartPlay(), 1);
  EXPECT_EQ(W().SetMidiPlayerType(16), nullptr);
  EXPECT_EQ(P32().GetcMidiPlayFlag(), 1);
  W().TerminatePlay();
  // Types other than 16 and 32 are refused even when nothing plays.
  for (int32_t type : {0, 8, 31, 33, -16, 0x10010, 0x10020})
    EXPECT_EQ(W().SetMidiPlayerType(type), nullptr) << type;
  EXPECT_NE(W().GetPreparePlay(), prepare);
}

TEST_F(LinkTypes, WendraNTKeepsType32WhateverIsAsked) {
  MplayTransmitEntry transmit = NT().InitMidiPlayer(0, kWindow);
  ASSERT_NE(transmit, nullptr);
  MplayPrepareEntry prepare = NT().GetPreparePlay();
  EXPECT_EQ(NT().SetMidiPlayerType(16), transmit);
  EXPECT_EQ(NT().GetPreparePlay(), prepare);
  EXPECT_EQ(NT().SetMidiPlayerType(12), nullptr);

  ASSERT_EQ(HandOver(NT(), transmit, ShortSong(1)), 1);
  ASSERT_EQ(NT().StartPlay(), 1);
  Tick(8);
  EXPECT_EQ(P32().GetcMidiPlayFlag(), 1);
  EXPECT_EQ(P16().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{60}));
  EXPECT_EQ(EnginesThatPlayed(), std::vector<int>{32});
  EXPECT_EQ(NT().SetMidiPlayerType(32), nullptr); // playing
  EXPECT_EQ(P32().GetcMidiPlayFlag(), 1);
}

TEST_F(LinkTypes, InitialisationNamesTheWindowToBothEngines) {
  // A muted channel shows an engine that was not initialised again.
  P32().SetChannelMute(4, 1);
  P16().SetChannelMute(4, 1);
  MplayTransmitEntry transmit = W().InitMidiPlayer(3, kWindow);
  EXPECT_EQ(P32().GetChannelMute(4), 0);
  EXPECT_EQ(P16().GetChannelMute(4), 0);

  for (int type : {16, 32}) {
    MplayTransmitEntry entry = type == 16 ? transmit : W().SetMidiPlayerType(32);
    ClearLogs();
    ASSERT_EQ(HandOver(W(), entry, ShortSong(0)), 1);
    ASSERT_EQ(W().StartPlay(), 1);
    Tick(40);
    bool ended = false;
    for (const Notice& n : Notices()) {
      EXPECT_EQ(n.window, kWindow);
      EXPECT_EQ(n.engine, type);
      ended |= n.message == 0x400 && n.wParam == 1283;
    }
    EXPECT_TRUE(ended) << type;
  }
}

TEST_F(LinkTypes, SixteenBitCallsCarryTheirValuesAsTheSixteenBitSideTakesThem) {
  MplayTransmitEntry transmit = W().InitMidiPlayer(0, kWindow);
  // A song under two seconds long gives its progress as the tick's time in
  // ms: 40000 ms reaches the 16-bit engine whole and comes back as a signed
  // 16-bit value.
  Song shortSong = ShortSong(0);
  shortSong.totalMs = 1500;
  ASSERT_EQ(HandOver(W(), transmit, shortSong), 1);
  const uint32_t tick = static_cast<uint32_t>(TickAt(40000));
  EXPECT_EQ(P16().ProgValue(tick), 40000);
  EXPECT_EQ(W().ProgValue(tick), -25536);

  // The song length, the jump time and the play time pass whole: a jump to
  // 70 s in a song of 100 s lands on the event at 90 s.
  Song longSong = ShortSong(0);
  longSong.totalMs = 100000;
  longSong.tracks[0].push_back({TickAt(90000), 90000, 0x00644090, 0, 0});
  ASSERT_EQ(HandOver(W(), transmit, longSong), 1);
  ASSERT_EQ(W().StartPlay(), 1);
  Tick(1);
  W().JumpToPosition(70000);
  EXPECT_EQ(W().GetCurTime(), 90000);
  EXPECT_EQ(W().GetPlayTime(), 90000u);
  W().SetWatchDogTime(123456);
  EXPECT_EQ(P16().GetWatchDogTime(), 123456);
  EXPECT_EQ(W().GetWatchDogTime(), 123456);
  W().TerminatePlay();

  // Destinations come back through the 16-bit side's buffers.
  char name[32];
  std::memset(name, 'x', sizeof name);
  W().moGetMIDDevName(name, 1);
  EXPECT_STREQ(name, "Recorder One");
  uint8_t caps[52] = {}, direct[52] = {};
  W().moGetMIDDevCaps(caps, 0);
  P16().moGetMIDDevCaps(direct, 0);
  EXPECT_EQ(std::memcmp(caps, direct, sizeof caps), 0);
  EXPECT_EQ(caps[2] | caps[3] << 8, 0x0101); // the product id
  W().moGetMIDDevName(nullptr, 0);           // no destination, no harm
  W().moGetMIDDevCaps(nullptr, 0);

  // On type 32 the same progress comes back whole.
  MplayTransmitEntry transmit32 = W().SetMidiPlayerType(32);
  ASSERT_EQ(HandOver(W(), transmit32, shortSong), 1);
  EXPECT_EQ(W().ProgValue(tick), 40000);
}

} // namespace
