// The 66 `mplay_` exports of the player core, one row each, in binding
// order: every call goes through the player core and the NT link library to
// the engine, with its arguments, and brings the engine's result back.
#include "common/player_fixture.h"

#include "platform/media/midiout.h"
#include "sequencer/link/mplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace playertest;

// What a row sees: T the player core's exports, P the engine itself.
struct Ctx {
  const wendra::MplayTable& T;
  const wendra::EngineTable& P;
};

constexpr uint32_t kOtherWindow = 0x00C0DE00;

uint32_t Msg(uint32_t status, uint32_t d1, uint32_t d2 = 0) {
  return status | d1 << 8 | d2 << 16;
}

// Track 0, the melody: program 41 and volume 99 on channel 0, note 64 from
// 0 to 100 ms, note 65 from 600 to 900 ms. Track 1, the lyrics: syllables at
// 20 ms (200 ms long) and 500 ms. Both on device 1; the song lasts 10 s.
struct Event {
  int32_t ms;
  uint32_t data, kind;
  int32_t post;
};
const std::vector<std::vector<Event>> kSong = {{{0, Msg(0xC0, 41), 0, 0},
                                                {0, Msg(0xB0, 7, 99), 0, 0},
                                                {0, Msg(0x90, 64, 100), 0, 0},
                                                {100, Msg(0x80, 64), 0, 0},
                                                {600, Msg(0x90, 65, 100), 0, 0},
                                                {900, Msg(0x80, 65), 0, 0}},
                                               {{20, 200, 16, 9}, {500, 100, 16, 10}}};
constexpr uint32_t kSongMs = 10000;
const int32_t kTempoMap[3] = {0, 500000, 0};
const int32_t kCounts[2] = {6, 2};
const int16_t kDevices[2] = {1, 1};
uint8_t kBanks[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The song handed to the engine directly, by its own operations.
void TransmitDirect(const Ctx& c) {
  for (size_t t = 0; t < kSong.size(); ++t)
    for (size_t i = 0; i < kSong[t].size(); ++i) {
      const Event& e = kSong[t][i];
      c.P.TransmitData(static_cast<uint16_t>(t), static_cast<int32_t>(i), e.post, TickAt(e.ms),
                       e.ms, e.data, e.kind);
    }
}
void HandOverDirect(const Ctx& c) {
  ASSERT_EQ(c.P.PreparePlay(0, 1, 480, 2, 0, 1, kSongMs, kTempoMap, kCounts, kBanks, kDevices), 1);
  TransmitDirect(c);
  c.P.GenerateTrackOrder();
}
void StartDirect(const Ctx& c) {
  HandOverDirect(c);
  ASSERT_EQ(c.P.StartPlay(), 1);
}

bool PostedRealTime(int32_t post) {
  for (const Notice& n : Notices())
    if (n.engine == 32 && n.message == 1025 && n.lParam == post)
      return true;
  return false;
}

struct Row {
  const char* name;
  void (*check)(const Ctx& c);
};

const Row kRows[] = {
    {"mplay_InitMidiPlayer",
     [](const Ctx& c) {
       c.P.SetChannelMute(3, 1);
       MplayTransmitEntry transmit = c.T.InitMidiPlayer(0x11, kOtherWindow);
       ASSERT_NE(transmit, nullptr);
       EXPECT_EQ(c.P.GetChannelMute(3), 0); // the engine was initialised
       MplayPrepareEntry prepare = c.T.GetPreparePlay();
       ASSERT_EQ(prepare(0, 1, 480, 2, 0, 1, 1000, kTempoMap, kCounts, kBanks, kDevices), 1);
       for (size_t t = 0; t < kSong.size(); ++t)
         for (size_t i = 0; i < kSong[t].size(); ++i) {
           const Event& e = kSong[t][i];
           transmit(static_cast<int32_t>(t), static_cast<int32_t>(i), e.post, TickAt(e.ms), e.ms,
                    e.data, e.kind);
         }
       ASSERT_EQ(c.T.GenerateTrackOrder(), 1);
       ASSERT_EQ(c.T.StartPlay(), 1);
       Tick(100);
       EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{64, 65}));
       bool ended = false;
       for (const Notice& n : Notices()) {
         EXPECT_EQ(n.window, kOtherWindow);
         ended |= n.message == 0x400 && n.wParam == 1283;
       }
       EXPECT_TRUE(ended);
     }},
    {"mplay_SetMidiPlayerType",
     [](const Ctx& c) {
       StartDirect(c);
       EXPECT_EQ(c.T.SetMidiPlayerType(32), nullptr); // the engine plays
       c.P.TerminatePlay();
       HandOverDirect(c);
       MplayTransmitEntry transmit = c.T.SetMidiPlayerType(16);
       ASSERT_NE(transmit, nullptr);
       // The buffers were freed: the song is gone.
       ClearLogs();
       ASSERT_EQ(c.P.StartPlay(), 1);
       Tick(3);
       EXPECT_TRUE(NotesPlayed(1).empty());
       EXPECT_EQ(transmit, c.T.InitMidiPlayer(0, kWindow));
     }},
    {"mplay_moGetNumMIDDevices",
     [](const Ctx& c) {
       EXPECT_EQ(c.T.moGetNumMIDDevices(), 2);
       EXPECT_EQ(c.T.moGetNumMIDDevices(), c.P.moGetNumMIDDevices());
     }},
    {"mplay_moSetCurDev",
     [](const Ctx& c) {
       c.T.moSetCurDev(0);
       EXPECT_EQ(c.P.moGetCurDev(), 0);
       c.T.moSetCurDev(1);
       EXPECT_EQ(c.P.moGetCurDev(), 1);
     }},
    {"mplay_moGetCurDev",
     [](const Ctx& c) {
       c.P.moSetCurDev(0);
       EXPECT_EQ(c.T.moGetCurDev(), 0);
       c.P.moSetCurDev(-1);
       EXPECT_EQ(c.T.moGetCurDev(), -1);
     }},
    {"mplay_moCheckMidiOutDev",
     [](const Ctx& c) {
       auto third = std::make_shared<media::RecordingMidiOut>("Recorder Two", 0x0103);
       auto devices = TestDevices();
       devices.push_back(third);
       media::MidiOut().UseDevicesForTesting(devices);
       EXPECT_EQ(c.P.moGetNumMIDDevices(), 2);
       c.T.moCheckMidiOutDev();
       EXPECT_EQ(c.P.moGetNumMIDDevices(), 3);
       UseTestDevices();
     }},
    {"mplay_moGetMIDDevName",
     [](const Ctx& c) {
       char name[32], direct[32];
       std::memset(name, 'x', sizeof name);
       EXPECT_EQ(c.T.moGetMIDDevName(name, 1), c.P.moGetMIDDevName(direct, 1));
       EXPECT_STREQ(name, "Recorder One");
     }},
    {"mplay_moGetMIDDevCaps",
     [](const Ctx& c) {
       uint8_t caps[52] = {}, direct[52] = {};
       c.T.moGetMIDDevCaps(caps, 0);
       c.P.moGetMIDDevCaps(direct, 0);
       EXPECT_EQ(std::memcmp(caps, direct, sizeof caps), 0);
       EXPECT_EQ(caps[2] | caps[3] << 8, 0x0101);
     }},
    {"mplay_moOpenMIDDev",
     [](const Ctx& c) {
       EXPECT_EQ(c.T.moOpenMIDDev(1), 1);
       EXPECT_EQ(Device(1).OpenPorts(), 1);
       EXPECT_EQ(c.T.moOpenMIDDev(7), 0); // no such device
     }},
    {"mplay_moCloseMIDDev",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.moOpenMIDDev(1), 1);
       EXPECT_EQ(c.T.moCloseMIDDev(1), 1);
       EXPECT_EQ(Device(1).OpenPorts(), 0);
       EXPECT_EQ(c.T.moCloseMIDDev(1), 0);
     }},
    {"mplay_SetTimerResolution",
     [](const Ctx& c) {
       c.T.SetTimerResolution(5);
       StartDirect(c);
       EXPECT_EQ(Clock().PeriodOf(static_cast<uint32_t>(Clock().EventsCreated())), 5u);
     }},
    {"mplay_CheckIfWatchDogEnabled",
     [](const Ctx& c) {
       c.P.EnableWatchDog(1);
       EXPECT_EQ(c.T.CheckIfWatchDogEnabled(), 1);
       c.P.EnableWatchDog(0);
       EXPECT_EQ(c.T.CheckIfWatchDogEnabled(), 0);
     }},
    {"mplay_EnableWatchDog",
     [](const Ctx& c) {
       c.T.EnableWatchDog(1);
       EXPECT_EQ(c.P.CheckIfWatchDogEnabled(), 1);
     }},
    {"mplay_SetWatchDogTime",
     [](const Ctx& c) {
       c.T.SetWatchDogTime(123456);
       EXPECT_EQ(c.P.GetWatchDogTime(), 123456);
     }},
    {"mplay_GetWatchDogTime",
     [](const Ctx& c) {
       c.P.SetWatchDogTime(654321);
       EXPECT_EQ(c.T.GetWatchDogTime(), 654321);
     }},
    {"mplay_GetPlayTime",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_EQ(c.T.GetPlayTime(), 30u);
     }},
    {"mplay_GetPlayTS",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_GT(c.T.GetPlayTS(), 0u);
       EXPECT_EQ(c.T.GetPlayTS(), c.P.GetPlayTS());
     }},
    {"mplay_GetCurTime",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_EQ(c.T.GetCurTime(), 20); // the first syllable
     }},
    {"mplay_GetCurTS",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_EQ(c.T.GetCurTS(), static_cast<uint32_t>(TickAt(20)));
     }},
    {"mplay_GetcMidiPlayFlag",
     [](const Ctx& c) {
       EXPECT_EQ(c.T.GetcMidiPlayFlag(), 0);
       StartDirect(c);
       EXPECT_EQ(c.T.GetcMidiPlayFlag(), 1);
     }},
    {"mplay_GetcPause",
     [](const Ctx& c) {
       c.P.SetcPause(1);
       EXPECT_EQ(c.T.GetcPause(), 1);
     }},
    {"mplay_SetcPause",
     [](const Ctx& c) {
       c.T.SetcPause(1);
       EXPECT_EQ(c.P.GetcPause(), 1);
       c.T.SetcPause(0);
       EXPECT_EQ(c.P.GetcPause(), 0);
     }},
    {"mplay_ChkcNoNote",
     [](const Ctx& c) {
       StartDirect(c);
       EXPECT_EQ(c.T.ChkcNoNote(), 1);
       Tick(1);
       EXPECT_EQ(c.T.ChkcNoNote(), 0);
     }},
    {"mplay_GetcCurNote",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(1);
       EXPECT_EQ(c.T.GetcCurNote(), 64);
     }},
    {"mplay_GetcPrevNote",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(1);
       EXPECT_EQ(c.T.GetcPrevNote(), 60);
       Tick(60);
       EXPECT_EQ(c.T.GetcPrevNote(), 64);
     }},
    {"mplay_ChkcLyricOn",
     [](const Ctx& c) {
       StartDirect(c);
       EXPECT_EQ(c.T.ChkcLyricOn(), 0);
       Tick(3);
       EXPECT_EQ(c.T.ChkcLyricOn(), 1);
     }},
    {"mplay_GetlLyricCurTime",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(11); // 110 ms, 90 ms into the syllable (it follows every tick)
       EXPECT_EQ(c.T.GetlLyricCurTime(), 90);
     }},
    {"mplay_GetlLyricTotTime",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_EQ(c.T.GetlLyricTotTime(), 200);
     }},
    {"mplay_GetlLyricNextEvTime",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(3);
       EXPECT_EQ(c.T.GetlLyricNextEvTime(), 500);
     }},
    {"mplay_SetLevelMeter",
     [](const Ctx& c) {
       c.T.SetLevelMeter(1000); // 10 levels a step at 10 ms
       c.P.SendMessage(Msg(0x9F, 60, 100));
       EXPECT_EQ(c.P.AutoMeterVolume(15), 127);
       EXPECT_EQ(c.P.AutoMeterVolume(15), 117);
     }},
    {"mplay_GetMeterVolume",
     [](const Ctx& c) {
       c.P.SetLevelMeter(1000);
       c.P.SendMessage(Msg(0x9E, 60, 100));
       c.P.AutoMeterVolume(14);
       c.P.AutoMeterVolume(14);
       EXPECT_EQ(c.T.GetMeterVolume(14), 117);
     }},
    {"mplay_AutoMeterVolume",
     [](const Ctx& c) {
       c.P.SetLevelMeter(1000);
       c.P.SendMessage(Msg(0x9D, 60, 100));
       EXPECT_EQ(c.T.AutoMeterVolume(13), 127);
       EXPECT_EQ(c.T.AutoMeterVolume(13), 117);
       EXPECT_EQ(c.P.GetMeterVolume(13), 117);
     }},
    {"mplay_GetChannelVol",
     [](const Ctx& c) {
       c.P.SendMessage(Msg(0xB2, 7, 99));
       EXPECT_EQ(c.T.GetChannelVol(2), 99);
     }},
    {"mplay_GetChannelPan",
     [](const Ctx& c) {
       c.P.SendMessage(Msg(0xB2, 10, 33));
       EXPECT_EQ(c.T.GetChannelPan(2), 33);
     }},
    {"mplay_GetChannelInst",
     [](const Ctx& c) {
       c.P.SendMessage(Msg(0xC2, 41));
       EXPECT_EQ(c.T.GetChannelInst(2), 41);
     }},
    {"mplay_GetChannelWheel",
     [](const Ctx& c) {
       c.P.SendMessage(Msg(0xE2, 0, 96));
       EXPECT_EQ(c.T.GetChannelWheel(2), 4096);
     }},
    {"mplay_GetNoteOnStatus",
     [](const Ctx& c) {
       c.P.SendMessage(Msg(0x92, 60, 100));
       EXPECT_EQ(c.T.GetNoteOnStatus(2), 1);
       c.P.SendMessage(Msg(0x82, 60));
       EXPECT_EQ(c.T.GetNoteOnStatus(2), 0);
     }},
    {"mplay_GetRepaintReq",
     [](const Ctx& c) {
       c.P.ResetRepaintReq(4);
       EXPECT_EQ(c.T.GetRepaintReq(4), 0);
       c.P.AutoMeterVolume(4);
       EXPECT_EQ(c.T.GetRepaintReq(4), 1);
     }},
    {"mplay_ResetRepaintReq",
     [](const Ctx& c) {
       c.P.AutoMeterVolume(5);
       c.T.ResetRepaintReq(5);
       EXPECT_EQ(c.P.GetRepaintReq(5), 0);
     }},
    {"mplay_GetTrackMute",
     [](const Ctx& c) {
       c.P.SetTrackMute(7, 1);
       EXPECT_EQ(c.T.GetTrackMute(7), 1);
       c.P.SetTrackMute(7, 0);
     }},
    {"mplay_SetTrackMute",
     [](const Ctx& c) {
       c.T.SetTrackMute(8, 1);
       EXPECT_EQ(c.P.GetTrackMute(8), 1);
       c.T.SetTrackMute(8, 0);
       EXPECT_EQ(c.P.GetTrackMute(8), 0);
     }},
    {"mplay_GetChannelMute",
     [](const Ctx& c) {
       c.P.SetChannelMute(9, 1);
       EXPECT_EQ(c.T.GetChannelMute(9), 1);
     }},
    {"mplay_SetChannelMute",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.OpenCloseMidDev(1), 1);
       ClearLogs();
       c.T.SetChannelMute(10, 1);
       EXPECT_EQ(c.P.GetChannelMute(10), 1);
       EXPECT_EQ(NotesPlayed(1).size(), 0u);
       ASSERT_EQ(Device(1).MessageCount(), 1u);
       EXPECT_EQ(Device(1).Messages()[0].shortMessage, Msg(0xBA, 123));
     }},
    {"mplay_TurnOffChannel",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.OpenCloseMidDev(1), 1);
       ClearLogs();
       c.T.TurnOffChannel(11);
       ASSERT_EQ(Device(1).MessageCount(), 1u);
       EXPECT_EQ(Device(1).Messages()[0].shortMessage, Msg(0xBB, 123));
     }},
    {"mplay_FreeEB",
     [](const Ctx& c) {
       HandOverDirect(c);
       c.T.FreeEB();
       ASSERT_EQ(c.P.StartPlay(), 1);
       Tick(3);
       EXPECT_TRUE(NotesPlayed(1).empty());
       EXPECT_EQ(c.P.GetcMidiPlayFlag(), 0);
     }},
    {"mplay_GetPreparePlay",
     [](const Ctx& c) {
       MplayPrepareEntry prepare = c.T.GetPreparePlay();
       ASSERT_NE(prepare, nullptr);
       ASSERT_EQ(prepare(0, 1, 480, 2, 0, 1, kSongMs, kTempoMap, kCounts, kBanks, kDevices), 1);
       TransmitDirect(c);
       c.P.GenerateTrackOrder();
       ASSERT_EQ(c.P.StartPlay(), 1);
       Tick(70);
       EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{64, 65})); // the devices reached it
       EXPECT_TRUE(NotesPlayed(0).empty());
       EXPECT_EQ(c.P.ProgValue(static_cast<uint32_t>(TickAt(5000))), 500); // and the length
     }},
    {"mplay_StartPlay",
     [](const Ctx& c) {
       HandOverDirect(c);
       EXPECT_EQ(c.T.StartPlay(), 1);
       EXPECT_EQ(c.P.GetcMidiPlayFlag(), 1);
     }},
    {"mplay_TerminatePlay",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(1);
       ClearLogs();
       c.T.TerminatePlay();
       EXPECT_EQ(c.P.GetcMidiPlayFlag(), 0);
       EXPECT_GE(Device(1).MessageCount(), 19u * 16u); // the panic of a stop
     }},
    {"mplay_AllNoteOff",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.moOpenMIDDev(1), 1);
       ClearLogs();
       c.T.AllNoteOff();
       ASSERT_EQ(Device(1).MessageCount(), 48u);
       EXPECT_EQ(Device(1).Messages()[2].shortMessage, Msg(0xB0, 123));
     }},
    {"mplay_CheckMidDevOpened",
     [](const Ctx& c) {
       EXPECT_EQ(c.T.CheckMidDevOpened(), 0);
       ASSERT_EQ(c.P.OpenCloseMidDev(1), 1);
       EXPECT_EQ(c.T.CheckMidDevOpened(), 1);
     }},
    {"mplay_OpenCloseMidDev",
     [](const Ctx& c) {
       EXPECT_EQ(c.T.OpenCloseMidDev(1), 1);
       EXPECT_EQ(Device(1).OpenPorts(), 1);
       EXPECT_EQ(c.P.CheckMidDevOpened(), 1);
       EXPECT_EQ(c.T.OpenCloseMidDev(0), 1);
       EXPECT_EQ(Device(1).OpenPorts(), 0);
     }},
    {"mplay_SendMessage",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.OpenCloseMidDev(1), 1);
       ClearLogs();
       c.T.SendMessage(0x00457C93);
       ASSERT_EQ(Device(1).MessageCount(), 1u);
       EXPECT_EQ(Device(1).Messages()[0].shortMessage, 0x00457C93u);
     }},
    {"mplay_DoPanic",
     [](const Ctx& c) {
       c.T.DoPanic();
       EXPECT_EQ(Device(1).MessageCount(), 19u * 16u);
       EXPECT_EQ(Device(1).Messages()[0].shortMessage, Msg(0xB0, 121));
     }},
    {"mplay_Inc_TempoModifier",
     [](const Ctx& c) {
       c.T.Inc_TempoModifier(1);
       c.T.Inc_TempoModifier(1);
       EXPECT_EQ(c.P.GetTempoModifier(), 1);
     }},
    {"mplay_Dec_TempoModifier",
     [](const Ctx& c) {
       c.T.Dec_TempoModifier(-1);
       c.T.Dec_TempoModifier(-1);
       EXPECT_EQ(c.P.GetTempoModifier(), -1);
     }},
    {"mplay_Inc_KeyModifier",
     [](const Ctx& c) {
       c.T.Inc_KeyModifier(1);
       c.T.Inc_KeyModifier(1);
       EXPECT_EQ(c.P.GetKeyModifier(), 1);
     }},
    {"mplay_Dec_KeyModifier",
     [](const Ctx& c) {
       c.T.Dec_KeyModifier(-1);
       c.T.Dec_KeyModifier(-1);
       EXPECT_EQ(c.P.GetKeyModifier(), -1);
     }},
    {"mplay_GetTempoModifier",
     [](const Ctx& c) {
       c.P.SetTempoModifier(7);
       EXPECT_EQ(c.T.GetTempoModifier(), 7);
     }},
    {"mplay_SetTempoModifier",
     [](const Ctx& c) {
       c.T.SetTempoModifier(-5);
       EXPECT_EQ(c.P.GetTempoModifier(), -5);
     }},
    {"mplay_GetKeyModifier",
     [](const Ctx& c) {
       c.P.SetKeyModifier(3);
       EXPECT_EQ(c.T.GetKeyModifier(), 3);
     }},
    {"mplay_SetKeyModifier",
     [](const Ctx& c) {
       c.T.SetKeyModifier(-2);
       EXPECT_EQ(c.P.GetKeyModifier(), -2);
     }},
    {"mplay_JumpToPosition",
     [](const Ctx& c) {
       StartDirect(c);
       Tick(1);
       c.T.JumpToPosition(550);
       EXPECT_EQ(c.P.GetCurTime(), 600); // the next event from 550 ms on
       EXPECT_EQ(c.P.GetPlayTime(), 600u);
     }},
    {"mplay_BeginPause",
     [](const Ctx& c) {
       StartDirect(c);
       c.T.BeginPause();
       EXPECT_EQ(c.P.GetcPause(), 1);
       EXPECT_EQ(Clock().LiveEvents(), 0);
     }},
    {"mplay_EndPause",
     [](const Ctx& c) {
       StartDirect(c);
       c.P.BeginPause();
       c.T.EndPause();
       EXPECT_EQ(c.P.GetcPause(), 0);
       EXPECT_EQ(Clock().LiveEvents(), 1);
     }},
    {"mplay_ProgValue",
     [](const Ctx& c) {
       HandOverDirect(c);
       EXPECT_EQ(c.T.ProgValue(static_cast<uint32_t>(TickAt(5000))), 500);
     }},
    {"mplay_GenerateTrackOrder",
     [](const Ctx& c) {
       ASSERT_EQ(c.P.PreparePlay(0, 1, 480, 2, 0, 1, kSongMs, kTempoMap, kCounts, kBanks, kDevices),
                 1);
       TransmitDirect(c);
       EXPECT_EQ(c.T.GenerateTrackOrder(), 1);
       ASSERT_EQ(c.P.StartPlay(), 1);
       Tick(3);
       // Only an ordered chain reaches the lyric track.
       EXPECT_TRUE(PostedRealTime(9));
     }},
};

class Forwarders : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
    UseTestDevices();
  }
  void TearDown() override {
    Pavik32().TerminatePlay();
    InProcess().Detach();
  }

  // The engine as a fresh start leaves it, on device 1.
  static void Reset(const Ctx& c) {
    c.P.TerminatePlay();
    c.P.FreeEB();
    c.P.InitPavik32(0, kWindow, 0, 1025, 1283, 1281, 1282);
    c.P.SetTimerResolution(10);
    c.P.SetTempoModifier(0);
    c.P.SetKeyModifier(0);
    c.P.EnableWatchDog(0);
    c.P.SetWatchDogTime(0);
    c.P.SetLevelMeter(20);
    c.P.SetcPause(0);
    for (int16_t d : {-1, 0, 1})
      c.P.moCloseMIDDev(d);
    c.P.moSetCurDev(1);
    ClearLogs();
  }
};

TEST_F(Forwarders, EveryOperationReachesTheEngineWithItsArgumentsAndResult) {
  const Ctx c{InProcess().mplay, Pavik32()};
  ASSERT_EQ(std::size(kRows), size_t{wendra::kMplayCount});
  for (size_t i = 0; i < std::size(kRows); ++i) {
    ASSERT_STREQ(kRows[i].name, wendra::kMplayNames[i]) << "row " << i;
    SCOPED_TRACE(kRows[i].name);
    Reset(c);
    kRows[i].check(c);
  }
}

} // namespace
