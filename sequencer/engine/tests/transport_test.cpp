// Pause, resume, stop and jump: the song position they leave, what the jump
// replays, and that one timer event at most is ever alive.
#include "support/engine_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace seqtest {
namespace {

using TransportTest = EngineTest;

// A song whose event times fall on whole ticks of its tempo map.
TestSong JumpSong() {
  TestSong song;
  song.totalMs = 5000;
  song.tempoMap = {{0, 500000, 0}};
  song.tracks = {{
      Midi(0, Program(0, 10)),
      Midi(0, Cc(0, 7, 100)),
      Midi(100, NoteOn(0, 60, 90)),
      Midi(200, NoteOff(0, 60)),
      Midi(300, Program(0, 20)),
      Midi(400, Cc(0, 7, 80)),
      Midi(500, NoteOn(0, 62, 90)),
      Midi(600, Cc(0, 88, 0)),
      Midi(700, NoteOff(0, 62)),
      Midi(800, Cc(0, 10, 30)),
      Midi(900, NoteOn(0, 64, 90)),
      Midi(1000, NoteOff(0, 64)),
  }};
  return song;
}

// The log without the all-notes-off that pause and jump send.
std::vector<uint32_t> WithoutNotesOff(const std::vector<media::RecordedMidi>& log) {
  std::vector<uint32_t> out;
  for (const auto& m : log) {
    const bool notesOff = (m.Status() & 0xF0) == 0xB0 && m.Data2() == 0 &&
                          (m.Data1() == 64 || m.Data1() == 66 || m.Data1() == 123);
    if (!notesOff)
      out.push_back(m.shortMessage);
  }
  return out;
}

TEST_F(TransportTest, PauseThenResumeKeepsTheSongPosition) {
  ASSERT_EQ(HandOver(JumpSong()), 1);
  StartClean();
  Tick(30);
  EXPECT_EQ(_32_GetPlayTime(), 300u);
  _32_BeginPause();
  EXPECT_EQ(_32_GetcPause(), 1);
  EXPECT_EQ(time_.LiveEvents(), 0);
  EXPECT_EQ(dev0_->Messages().back().shortMessage, Cc(15, 123, 0)) << "notes are switched off";
  Tick(200); // time passes; the song does not
  EXPECT_EQ(_32_GetPlayTime(), 300u);
  dev0_->Clear();
  _32_EndPause();
  EXPECT_EQ(_32_GetcPause(), 0);
  EXPECT_EQ(time_.LiveEvents(), 1);
  Tick(10);
  EXPECT_EQ(_32_GetPlayTime(), 400u);
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)), (std::vector<uint32_t>{Cc(0, 7, 80)}));
}

TEST_F(TransportTest, JumpsReplayTheWayAndLeaveTheNextEventToPlay) {
  struct Row {
    std::string name;
    int ticksBefore;
    int16_t key;
    uint32_t target;
    std::vector<uint32_t> replayed;
    uint32_t playTimeAfter;
    std::vector<uint32_t> nextTick; // sent on the tick after the jump
    uint8_t volume;
  };
  const std::vector<Row> rows = {
      {"forward between events",
       1,
       0,
       450,
       {Program(0, 20), Cc(0, 7, 80)},
       500,
       {NoteOn(0, 62, 90)},
       80},
      {"forward onto an event",
       1,
       0,
       500,
       {Program(0, 20), Cc(0, 7, 80)},
       500,
       {NoteOn(0, 62, 90)},
       80},
      {"forward to before the next event, which is not swallowed",
       1,
       0,
       50,
       {},
       100,
       {NoteOn(0, 60, 90)},
       100},
      {"backwards restarts from the first event",
       85,
       1,
       350,
       {Program(0, 10), Cc(0, 7, 100), Program(0, 20)},
       400,
       {Cc(0, 7, 80)},
       100},
      {"controller 88 on the way switches transposition",
       1,
       1,
       650,
       {Program(0, 20), Cc(0, 7, 80)},
       700,
       {NoteOff(0, 62)},
       80},
      {"beyond the total resumes where play was", 25, 0, 6000, {}, 200, {}, 100},
      {"to the current position", 25, 0, 200, {}, 200, {}, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HandOver(JumpSong()), 1);
    _32_SetKeyModifier(row.key);
    StartClean();
    Tick(row.ticksBefore);
    dev0_->Clear();
    _32_JumpToPosition(row.target);
    EXPECT_EQ(WithoutNotesOff(dev0_->Messages()), row.replayed);
    EXPECT_EQ(_32_GetPlayTime(), row.playTimeAfter);
    EXPECT_EQ(_32_GetCurTime(), static_cast<int32_t>(row.playTimeAfter));
    EXPECT_EQ(_32_GetChannelVol(0), row.volume);
    EXPECT_EQ(_32_GetcMidiPlayFlag(), 1);
    EXPECT_EQ(time_.LiveEvents(), 1);
    dev0_->Clear();
    Tick();
    EXPECT_EQ(ShortMessages(SongLog(*dev0_)), row.nextTick);
    _32_TerminatePlay();
  }
}

TEST_F(TransportTest, TranspositionAfterAJump) {
  struct Row {
    std::string name;
    int ticksBefore;
    uint32_t target;
    std::vector<uint32_t> noteOns; // sent after the jump, with the key modifier at +1
  };
  const std::vector<Row> rows = {
      {"a replayed controller 88 switches it off", 1, 650, {NoteOn(0, 64, 90)}},
      {"a jump backwards switches it on again", 85, 350, {NoteOn(0, 63, 90), NoteOn(0, 64, 90)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HandOver(JumpSong()), 1);
    _32_SetKeyModifier(1);
    StartClean();
    Tick(row.ticksBefore);
    _32_JumpToPosition(row.target);
    dev0_->Clear();
    ClearNotices();
    ASSERT_GT(RunToEnd(200), 0);
    std::vector<uint32_t> noteOns;
    for (uint32_t m : ShortMessages(SongLog(*dev0_)))
      if ((m & 0xF0) == 0x90)
        noteOns.push_back(m);
    EXPECT_EQ(noteOns, row.noteOns);
  }
}

TEST_F(TransportTest, AJumpPastTheLastEventEndsTheSong) {
  ASSERT_EQ(HandOver(JumpSong()), 1);
  StartClean();
  Tick(3);
  _32_JumpToPosition(2000); // after the last event, within the total of 5000
  auto notices = Notices();
  ASSERT_FALSE(notices.empty());
  EXPECT_TRUE(IsEnd(notices.back()));
  EXPECT_EQ(notices.back().lParam, kPavikEndDuringJump);
  EXPECT_EQ(notices.back().playFlag, 0);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);
  EXPECT_EQ(dev0_->OpenPorts(), 0);
}

TEST_F(TransportTest, AJumpWhenStoppedDoesNothing) {
  ASSERT_EQ(HandOver(JumpSong()), 1);
  dev0_->Clear();
  _32_JumpToPosition(500);
  EXPECT_EQ(_32_GetPlayTime(), 0u);
  EXPECT_EQ(time_.LiveEvents(), 0);
  EXPECT_TRUE(dev0_->Messages().empty());
}

TEST_F(TransportTest, AJumpWhilePausedStaysPaused) {
  ASSERT_EQ(HandOver(JumpSong()), 1);
  StartClean();
  Tick(85);
  _32_BeginPause();
  for (uint32_t target : {450u, 150u}) { // forwards from 800 would end: backwards, then on
    SCOPED_TRACE(target);
    _32_JumpToPosition(target);
    EXPECT_EQ(_32_GetcPause(), 1);
    EXPECT_EQ(time_.LiveEvents(), 0);
    Tick(10);
  }
  EXPECT_EQ(_32_GetPlayTime(), 200u);
  dev0_->Clear();
  _32_EndPause();
  EXPECT_EQ(time_.LiveEvents(), 1);
  Tick();
  EXPECT_EQ(ShortMessages(SongLog(*dev0_)), (std::vector<uint32_t>{NoteOff(0, 60)}));
}

TEST_F(TransportTest, OneTimerAtMostWhateverTheOrderOfOperations) {
  using Op = std::function<void()>;
  const Op start = [] { _32_StartPlay(); };
  const Op stop = [] { _32_TerminatePlay(); };
  const Op pause = [] { _32_BeginPause(); };
  const Op resume = [] { _32_EndPause(); };
  const Op jump = [] { _32_JumpToPosition(300); };
  const Op setPause = [] { _32_SetcPause(1); };
  struct Step {
    Op op;
    int live;
  };
  struct Row {
    std::string name;
    std::vector<Step> steps;
    uint8_t playFlag, pauseFlag; // at the end
  };
  const std::vector<Row> rows = {
      {"pause, stop, play, end the pause", {{pause, 0}, {stop, 0}, {start, 1}, {resume, 1}}, 1, 0},
      {"pause, stop, play, pause", {{pause, 0}, {stop, 0}, {start, 1}, {pause, 0}}, 1, 1},
      {"end a pause that never began", {{resume, 1}, {resume, 1}}, 1, 0},
      {"pause once, end it twice", {{pause, 0}, {resume, 1}, {resume, 1}}, 1, 0},
      {"start while playing", {{start, 1}, {start, 1}}, 1, 0},
      {"jump while paused, then end the pause", {{pause, 0}, {jump, 0}, {resume, 1}}, 1, 0},
      {"jump while playing", {{jump, 1}, {jump, 1}}, 1, 0},
      {"the pause flag set alone", {{setPause, 1}, {resume, 1}}, 1, 0},
      {"stop while paused", {{pause, 0}, {stop, 0}}, 0, 0},
      {"end a pause after stop", {{stop, 0}, {resume, 0}}, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HandOver(JumpSong()), 1);
    StartClean();
    Tick(2);
    for (size_t i = 0; i < row.steps.size(); ++i) {
      row.steps[i].op();
      EXPECT_EQ(time_.LiveEvents(), row.steps[i].live) << "after step " << i + 1;
      Tick();
    }
    EXPECT_EQ(_32_GetcMidiPlayFlag(), row.playFlag);
    EXPECT_EQ(_32_GetcPause(), row.pauseFlag);
    _32_TerminatePlay();
    EXPECT_EQ(time_.LiveEvents(), 0) << "stop always ends the timer";
  }
  EXPECT_EQ(time_.MaxLiveEvents(), 1);
}

} // namespace
} // namespace seqtest
