// What a played event does to the channels: transposition, controller 88,
// mutes, the picture of each channel, the melody note and the lyric timing.
#include "support/engine_fixture.h"

#include <string>
#include <vector>

namespace seqtest {
namespace {

using ChannelTest = EngineTest;

TEST_F(ChannelTest, KeyModifierTransposesEveryChannelButIndex9) {
  struct Row {
    int16_t key;
    int note;
    int sent;
    int sentOnChannel9;
  };
  const std::vector<Row> rows = {
      {3, 60, 63, 60}, {-12, 60, 48, 60}, {100, 60, 127, 60}, {-100, 60, 0, 60}, {0, 60, 60, 60}};
  for (const Row& row : rows) {
    SCOPED_TRACE("key " + std::to_string(row.key));
    TestSong song;
    song.tracks.emplace_back();
    for (int ch = 0; ch < 16; ++ch) {
      song.tracks[0].push_back(Midi(0, NoteOn(ch, row.note, 100)));
      song.tracks[0].push_back(Midi(0, NoteOff(ch, row.note)));
    }
    song.tracks[0].push_back(Midi(9000, Cc(0, 20, 0)));
    ASSERT_EQ(HandOver(song), 1);
    _32_SetKeyModifier(row.key);
    StartClean();
    Tick();
    const auto log = SongLog(*dev0_);
    ASSERT_EQ(log.size(), 32u);
    for (int ch = 0; ch < 16; ++ch) {
      const int want = ch == 9 ? row.sentOnChannel9 : row.sent;
      EXPECT_EQ(log[2 * ch].shortMessage, NoteOn(ch, want, 100)) << "channel " << ch;
      EXPECT_EQ(log[2 * ch + 1].shortMessage, NoteOff(ch, want)) << "channel " << ch;
    }
    _32_TerminatePlay();
  }
}

TEST_F(ChannelTest, Controller88SwitchesTranspositionAndIsNeverSent) {
  TestSong song;
  song.tracks = {{
      Midi(0, Cc(0, 88, 0)),
      Midi(0, NoteOn(0, 60, 90)), // off: as written
      Midi(10, Cc(0, 88, 5)),
      Midi(10, NoteOn(0, 61, 90)), // other values are dropped
      Midi(20, Cc(0, 88, 1)),
      Midi(20, NoteOn(0, 62, 90)), // on again
      Midi(30, Cc(9, 88, 1)),
      Midi(30, NoteOn(9, 36, 90)), // channel index 9 can be switched on
      Midi(9000, Cc(0, 20, 0)),
  }};
  ASSERT_EQ(HandOver(song), 1);
  _32_SetKeyModifier(2);
  StartClean();
  Tick(3);
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)),
            (std::vector<uint32_t>{NoteOn(0, 60, 90), NoteOn(0, 61, 90), NoteOn(0, 64, 90),
                                   NoteOn(9, 38, 90)}));
  // The next start resets the flags: channel 0 transposes, channel index 9 not.
  TestSong again;
  again.tracks = {
      {Midi(0, NoteOn(0, 60, 90)), Midi(0, NoteOn(9, 36, 90)), Midi(9000, Cc(0, 20, 0))}};
  ASSERT_EQ(HandOver(again), 1);
  StartClean();
  Tick();
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)),
            (std::vector<uint32_t>{NoteOn(0, 62, 90), NoteOn(9, 36, 90)}));
}

TEST_F(ChannelTest, ChannelStateFollowsWhatIsSent) {
  struct Row {
    std::string name;
    uint32_t message;
    uint8_t (*get)(uint16_t);
    int want;
  };
  const std::vector<Row> rows = {
      {"volume", Cc(1, 7, 100), _32_GetChannelVol, 100},
      {"pan", Cc(1, 10, 20), _32_GetChannelPan, 20},
      {"program", Program(1, 33), _32_GetChannelInst, 33},
      {"note on", NoteOn(1, 60, 1), _32_GetNoteOnStatus, 1},
      {"note on with velocity 0", NoteOn(1, 60, 0), _32_GetNoteOnStatus, 0},
      {"note off", NoteOff(1, 60), _32_GetNoteOnStatus, 0},
      {"another channel", Cc(2, 7, 5), _32_GetChannelVol, 127},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestSong song;
    song.tracks = {{Midi(0, NoteOn(1, 50, 64)), Midi(0, row.message), Midi(9000, Cc(0, 20, 0))}};
    ASSERT_EQ(HandOver(song), 1);
    StartClean();
    EXPECT_EQ(_32_GetChannelVol(1), 127);
    EXPECT_EQ(_32_GetChannelPan(1), 64);
    Tick();
    EXPECT_EQ(row.get(1), row.want);
    _32_TerminatePlay();
  }
  struct WheelRow {
    uint32_t message;
    int16_t wheel;
  };
  for (const WheelRow& row : std::vector<WheelRow>{{Msg(0xE3, 0, 0), -8192},
                                                   {Msg(0xE3, 0x7F, 0x7F), 8191},
                                                   {Msg(0xE3, 0, 64), 0},
                                                   {Msg(0xE3, 5, 65), 133}}) {
    TestSong song;
    song.tracks = {{Midi(0, row.message), Midi(9000, Cc(0, 20, 0))}};
    ASSERT_EQ(HandOver(song), 1);
    StartClean();
    Tick();
    EXPECT_EQ(_32_GetChannelWheel(3), row.wheel);
    _32_TerminatePlay();
    EXPECT_EQ(_32_GetChannelWheel(3), 0);
  }
}

TEST_F(ChannelTest, MutedTracksAndChannelsSendNothingButTempoStillApplies) {
  TestSong song;
  song.tracks = {
      {Midi(0, NoteOn(0, 60, 90)), Midi(9000, Cc(0, 20, 0))},
      {Midi(0, NoteOn(1, 61, 90)), Tempo(0, 250000), Midi(0, Cc(1, 7, 10))},
      {Midi(0, NoteOn(2, 62, 90))},
  };
  ASSERT_EQ(HandOver(song), 1);
  _32_SetTrackMute(1, 1);
  EXPECT_EQ(_32_GetTrackMute(1), 1);
  _32_SetChannelMute(2, 1);
  EXPECT_EQ(_32_GetChannelMute(2), 1);
  StartClean();
  Tick(2);
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)), (std::vector<uint32_t>{NoteOn(0, 60, 90)}));
  EXPECT_EQ(_32_GetChannelVol(1), 127) << "a muted message changes no channel state";
  EXPECT_EQ(_32_GetPlayTS(), 20u * 480 * 1000 / 250000) << "the muted tempo event applies";
  _32_SetChannelMute(2, 0);
  EXPECT_EQ(_32_GetChannelMute(2), 0);
}

TEST_F(ChannelTest, IndexesPastTheTablesAreIgnored) {
  _32_SetTrackMute(259, 1);
  EXPECT_EQ(_32_GetTrackMute(259), 1);
  _32_SetTrackMute(260, 1);
  _32_SetTrackMute(0xFFFF, 1);
  EXPECT_EQ(_32_GetTrackMute(260), 0);
  _32_SetChannelMute(16, 1);
  _32_ResetRepaintReq(16);
  EXPECT_EQ(_32_GetChannelMute(16), 0);
  for (uint16_t channel : {16, 255, 0xFFFF}) {
    EXPECT_EQ(_32_GetChannelVol(channel), 0);
    EXPECT_EQ(_32_GetChannelPan(channel), 0);
    EXPECT_EQ(_32_GetChannelInst(channel), 0);
    EXPECT_EQ(_32_GetChannelWheel(channel), 0);
    EXPECT_EQ(_32_GetNoteOnStatus(channel), 0);
    EXPECT_EQ(_32_GetRepaintReq(channel), 0);
    EXPECT_EQ(_32_GetMeterVolume(channel), 0);
    EXPECT_EQ(_32_AutoMeterVolume(channel), 0);
  }
  _32_SetTrackMute(259, 0);
}

TEST_F(ChannelTest, MelodyNoteIsRecordedUntransposedEvenWhenMuted) {
  TestSong song;
  song.melodyTrack = 1;
  song.tracks = {
      {Midi(0, NoteOn(0, 40, 90)), Midi(9000, Cc(0, 20, 0))}, // not the melody
      {Midi(10, NoteOn(1, 64, 90)), Midi(20, NoteOn(1, 67, 80)), Midi(30, NoteOff(1, 67)),
       Midi(40, NoteOn(1, 69, 70)), Midi(50, NoteOn(1, 69, 0))},
  };
  ASSERT_EQ(HandOver(song), 1);
  _32_SetTrackMute(1, 1);
  _32_SetKeyModifier(5);
  StartClean();
  struct Row {
    int tick;
    uint8_t cur, prev, noNote;
  };
  const std::vector<Row> rows = {
      {1, 64, 60, 0}, {2, 67, 64, 0}, {3, 67, 64, 1}, {4, 69, 67, 0}, {5, 69, 67, 1}};
  EXPECT_EQ(_32_GetcCurNote(), 60);
  EXPECT_EQ(_32_ChkcNoNote(), 1);
  for (const Row& row : rows) {
    Tick();
    SCOPED_TRACE("tick " + std::to_string(row.tick));
    EXPECT_EQ(_32_GetcCurNote(), row.cur);
    EXPECT_EQ(_32_GetcPrevNote(), row.prev);
    EXPECT_EQ(_32_ChkcNoNote(), row.noNote);
  }
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)), (std::vector<uint32_t>{NoteOn(0, 45, 90)}));
}

TEST_F(ChannelTest, LyricTrackTimesSyllablesAndPostsUnlessMuted) {
  for (uint8_t muted : {0, 1}) {
    SCOPED_TRACE(muted ? "muted lyric track" : "lyric track");
    TestSong song;
    song.lyricTrack = 1;
    song.tracks = {
        {Midi(0, Cc(0, 20, 0)),
         Syllable(0, 100, 900),
         {TickAt(50), 50, 0, 12, 901},
         Midi(9000, Cc(0, 20, 1))},
        {Syllable(0, 300, 7),
         {TickAt(100), 100, 0, 17, 8},
         Syllable(500, 200, 9),
         Midi(600, Cc(0, 20, 2)),
         Midi(800, Cc(0, 20, 3))},
    };
    ASSERT_EQ(HandOver(song), 1);
    _32_SetTrackMute(1, muted);
    StartClean();
    EXPECT_EQ(_32_GetlLyricNextEvTime(), 0) << "looked up at the reset";
    Tick();
    EXPECT_EQ(_32_ChkcLyricOn(), 1);
    EXPECT_EQ(_32_GetlLyricTotTime(), 300);
    EXPECT_EQ(_32_GetlLyricCurTime(), 0);
    EXPECT_EQ(_32_GetlLyricNextEvTime(), 500);
    Tick(9); // the line event at 100 ms brings the elapsed time up to date
    EXPECT_EQ(_32_GetlLyricCurTime(), 100);
    Tick(40); // the syllable at 500 ms
    EXPECT_EQ(_32_GetlLyricTotTime(), 200);
    EXPECT_EQ(_32_GetlLyricNextEvTime(), 0);
    Tick(10); // the controller at 600 ms, within the syllable
    EXPECT_EQ(_32_ChkcLyricOn(), 1);
    EXPECT_EQ(_32_GetlLyricCurTime(), 100);
    Tick(5); // 650 ms: no event plays, the elapsed time still runs
    EXPECT_EQ(_32_ChkcLyricOn(), 1);
    EXPECT_EQ(_32_GetlLyricCurTime(), 150);
    Tick(5); // 700 ms: the syllable is over without an event playing
    EXPECT_EQ(_32_ChkcLyricOn(), 0);
    EXPECT_EQ(_32_GetlLyricTotTime(), 0);
    EXPECT_EQ(_32_GetlLyricCurTime(), 0);
    Tick(10); // the controller at 800 ms changes nothing of it
    EXPECT_EQ(_32_ChkcLyricOn(), 0);
    EXPECT_EQ(_32_GetlLyricTotTime(), 0);

    std::vector<std::pair<uint64_t, int64_t>> posted;
    for (const Notice& n : Notices())
      if (IsRealTime(n))
        posted.emplace_back(n.wParam, n.lParam);
    // The marker posts from any track; kind 16 on another track is nothing.
    std::vector<std::pair<uint64_t, int64_t>> want = {{0, 901}};
    if (!muted)
      want = {{1, 7}, {0, 901}, {1, 8}, {1, 9}};
    EXPECT_EQ(posted, want);
    _32_SetTrackMute(1, 0);
    _32_TerminatePlay();
  }
}

TEST_F(ChannelTest, BankSelectsAreSentAtStartAndProgramsFollowBankSelects) {
  InitPavik32(0, kWindow, 1, kPavikRealTimeEventMessage, kPavikEndNotifyCode,
              kPavikProgressNotifyCode, kPavikMeterNotifyCode);
  TestSong song;
  song.banks[0] = 5;
  song.banks[3] = 127;
  song.banks[5] = 128; // 128 and above: no bank
  song.tracks = {{Midi(0, Program(2, 40)), Midi(0, Cc(2, 0, 8)), Midi(10, Cc(4, 0, 1)),
                  Midi(9000, Cc(0, 20, 0))}};
  ASSERT_EQ(HandOver(song), 1);
  dev0_->Clear();
  ASSERT_EQ(_32_StartPlay(), 1);
  auto start = ShortMessages(dev0_->Messages());
  ASSERT_GE(start.size(), 2u);
  EXPECT_EQ(start[0], Cc(0, 0, 5));
  EXPECT_EQ(start[1], Cc(3, 0, 127));
  EXPECT_EQ(start[2], Cc(0, 64, 0)) << "then the reset's all-notes-off";
  dev0_->Clear();
  Tick(2);
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)),
            (std::vector<uint32_t>{Program(2, 40), Cc(2, 0, 8), Program(2, 40), Cc(4, 0, 1),
                                   Program(4, 0)}));
  _32_TerminatePlay();

  InitPavik32(0, kWindow, 0, kPavikRealTimeEventMessage, kPavikEndNotifyCode,
              kPavikProgressNotifyCode, kPavikMeterNotifyCode);
  dev0_->Clear();
  ASSERT_EQ(_32_StartPlay(), 1);
  EXPECT_EQ(ShortMessages(dev0_->Messages())[0], Cc(0, 64, 0)) << "no bank flag, no banks";
}

TEST_F(ChannelTest, TracksPlayOnTheirOwnDevices) {
  TestSong song;
  song.tracks = {{Midi(0, NoteOn(0, 60, 1)), Midi(9000, Cc(0, 20, 0))},
                 {Midi(0, NoteOn(1, 61, 1))},
                 {Midi(0, NoteOn(2, 62, 1))}};
  song.devices = {-1, 1, 0};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  Tick();
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)),
            (std::vector<uint32_t>{NoteOn(0, 60, 1), NoteOn(2, 62, 1)}));
  EXPECT_EQ(ShortMessages(SongLog(*dev1_)), (std::vector<uint32_t>{NoteOn(1, 61, 1)}));
  auto log0 = SongLog(*dev0_);
  EXPECT_NE(log0[0].port, log0[1].port) << "the mapper and device 0 are opened apart";
  _32_TerminatePlay();
  EXPECT_EQ(dev0_->OpenPorts(), 0);
  EXPECT_EQ(dev1_->OpenPorts(), 0);
}

} // namespace
} // namespace seqtest
