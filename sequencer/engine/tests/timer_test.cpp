// The timer tick on virtual time: the clock and its step, the due-event
// rule, progress and meter notices, the interpolated play tick, meters and
// the watchdog.
#include "support/engine_fixture.h"

#include <string>
#include <vector>

namespace seqtest {
namespace {

using TimerTest = EngineTest;

constexpr int kIdController = 20;

// One track of controller events carrying their index, at the given times,
// and a last event far away so that the song does not end.
TestSong SongAt(const std::vector<int32_t>& times, uint32_t totalMs = 100000) {
  TestSong song;
  song.totalMs = totalMs;
  song.tracks.emplace_back();
  for (size_t i = 0; i < times.size(); ++i)
    song.tracks[0].push_back(Midi(times[i], Cc(0, kIdController, static_cast<int>(i))));
  song.tracks[0].push_back(Midi(99000, Cc(0, kIdController, 127)));
  return song;
}

TEST_F(TimerTest, AnEventPlaysOnTheFirstTickWhosePlayTimeIsNotBeforeIt) {
  struct Row {
    int32_t time;
    int tick;
  };
  const std::vector<Row> rows = {{-5, 1}, {0, 1},  {9, 1},   {10, 1},  {11, 2},
                                 {20, 2}, {25, 3}, {99, 10}, {100, 10}};
  std::vector<int32_t> times;
  for (const Row& r : rows)
    times.push_back(r.time);
  ASSERT_EQ(HandOver(SongAt(times)), 1);
  StartClean();
  Tick(12);
  const auto log = SongLog(*dev0_);
  ASSERT_EQ(log.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("event at " + std::to_string(rows[i].time) + " ms");
    EXPECT_EQ(log[i].Data2(), i);
    EXPECT_EQ(TickOf(log[i]), rows[i].tick);
  }
  EXPECT_EQ(_32_GetCurTime(), 100);
}

TEST_F(TimerTest, ClockStepFollowsTheTempoModifierAndThePeriod) {
  struct Row {
    int16_t modifier;
    uint16_t periodMs;
    int ticks;
    uint32_t playTime; // after that many ticks
    int eventTick;     // tick on which the event at 110 ms plays
  };
  const std::vector<Row> rows = {
      {-10, 10, 10, 90, 13},                        // 9 ms of song a tick
      {0, 10, 10, 100, 11},  {10, 10, 10, 110, 10}, // 11 ms a tick: the song is 10 percent faster
      {0, 5, 20, 100, 22}, // half the period, half the step: the same speed
      {10, 5, 20, 110, 20},  {0, 1, 100, 100, 110}, {-50, 2, 100, 100, 110},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("modifier " + std::to_string(row.modifier) + ", period " +
                 std::to_string(row.periodMs));
    _32_SetTimerResolution(row.periodMs);
    _32_SetTempoModifier(row.modifier);
    ASSERT_EQ(_32_GetTempoModifier(), row.modifier);
    ASSERT_EQ(HandOver(SongAt({110})), 1);
    StartClean();
    Tick(row.ticks, row.periodMs);
    EXPECT_EQ(_32_GetPlayTime(), row.playTime);
    for (int t = row.ticks; t < 1000 && SongLog(*dev0_).empty(); ++t)
      Tick(1, row.periodMs);
    const auto log = SongLog(*dev0_);
    ASSERT_FALSE(log.empty());
    const int played = static_cast<int>((log[0].timeMs - startMs_) / row.periodMs);
    EXPECT_EQ(played, row.eventTick);
    _32_TerminatePlay();
  }
}

TEST_F(TimerTest, ChangingThePeriodWhilePlayingKeepsTheSpeed) {
  ASSERT_EQ(HandOver(SongAt({})), 1);
  StartClean();
  Tick(5);
  EXPECT_EQ(_32_GetPlayTime(), 50u);
  _32_SetTimerResolution(5);
  EXPECT_EQ(time_.LiveEvents(), 1);
  Tick(10, 5);
  EXPECT_EQ(_32_GetPlayTime(), 100u);
  _32_SetTimerResolution(20);
  Tick(5, 20);
  EXPECT_EQ(_32_GetPlayTime(), 200u);
}

TEST_F(TimerTest, TempoModifiersThatWouldStopTheClockAreRefused) {
  struct Step {
    std::string op;
    int value;
    int16_t modifier; // after the operation
  };
  struct Row {
    std::string name;
    uint16_t periodMs;
    std::vector<Step> steps;
  };
  const std::vector<Row> rows = {
      {"set", 10, {{"set", -99, -99}, {"set", -100, -99}, {"set", -101, -99}, {"set", 50, 50}}},
      {"decrement to the edge", 10, {{"set", -98, -98}, {"dec", -200, -99}, {"dec", -200, -99}}},
      {"increment and its bound", 10, {{"set", 5, 5}, {"inc", 3, 3}, {"inc", 10, 4}}},
      {"decrement and its bound", 10, {{"set", -5, -5}, {"dec", -2, -2}, {"dec", -10, -3}}},
      {"a step of 0 at a 1 ms period", 1, {{"set", -95, 0}, {"set", -90, -90}}},
      {"a period of 0", 10, {{"period", 0, 0}}},
      {"a period that leaves no step", 10, {{"set", -95, -95}, {"period", 1, -95}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    _32_SetTimerResolution(row.periodMs);
    _32_SetTempoModifier(0);
    for (const Step& s : row.steps) {
      if (s.op == "set")
        _32_SetTempoModifier(static_cast<int16_t>(s.value));
      else if (s.op == "inc")
        _32_Inc_TempoModifier(static_cast<int16_t>(s.value));
      else if (s.op == "dec")
        _32_Dec_TempoModifier(static_cast<int16_t>(s.value));
      else
        _32_SetTimerResolution(static_cast<uint16_t>(s.value));
      EXPECT_EQ(_32_GetTempoModifier(), s.modifier) << s.op << " " << s.value;
    }
    // Whatever was refused, the song still moves on (the smallest step is a
    // tenth of a millisecond a tick).
    ASSERT_EQ(HandOver(SongAt({})), 1);
    StartClean();
    Tick(20, row.periodMs);
    EXPECT_GT(_32_GetPlayTime(), 0u);
    _32_TerminatePlay();
  }
}

TEST_F(TimerTest, ProgressAndMeterNotices) {
  struct Row {
    uint32_t totalMs;
    int64_t atHalfSecond; // progress posted at 500 ms
    int64_t atOneSecond;
  };
  const std::vector<Row> rows = {
      {20000, 25, 50},   // per mille of a 20 s song
      {1999, 500, 1000}, // the divisor is the total in whole seconds
      {999, 500, 1001},  // shorter than a second: per mille of its length
      {0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("total " + std::to_string(row.totalMs));
    ASSERT_EQ(HandOver(SongAt({}, row.totalMs)), 1);
    StartClean();
    Tick(100);
    std::vector<Notice> progress, meters;
    for (const Notice& n : Notices()) {
      EXPECT_EQ(n.window, kWindow);
      if (IsProgress(n))
        progress.push_back(n);
      if (IsMeter(n))
        meters.push_back(n);
    }
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].tick, 50);
    EXPECT_EQ(progress[0].lParam, row.atHalfSecond);
    EXPECT_EQ(progress[1].tick, 100);
    EXPECT_EQ(progress[1].lParam, row.atOneSecond);
    ASSERT_EQ(meters.size(), 10u);
    for (size_t i = 0; i < meters.size(); ++i) {
      EXPECT_EQ(meters[i].tick, static_cast<int>(10 * (i + 1)));
      EXPECT_EQ(meters[i].lParam, 100);
    }
    _32_TerminatePlay();
  }
}

TEST_F(TimerTest, PlayTickIsInterpolatedPastTwoToThe31) {
  const uint32_t base = 0x80000000u;
  TestSong song;
  song.ticksPerQuarter = 480;
  song.tracks = {{Midi(0, Cc(0, 20, 1), base), Midi(500, Cc(0, 20, 2), base + 480),
                  Midi(900, Cc(0, 20, 3), base + 960)}};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  struct Row {
    int ticks; // ticks run so far
    uint32_t curTick;
    uint32_t playTick;
  };
  const std::vector<Row> rows = {
      {1, base, base + 9},          // 10 ms at 480 ticks a half second: 9.6
      {25, base, base + 240},       // 250 ms
      {50, base + 480, base + 480}, // on the event itself
      {60, base + 480, base + 576},
  };
  int ran = 0;
  for (const Row& row : rows) {
    Tick(row.ticks - ran);
    ran = row.ticks;
    SCOPED_TRACE("after tick " + std::to_string(ran));
    EXPECT_EQ(_32_GetCurTS(), row.curTick);
    EXPECT_EQ(_32_GetPlayTS(), row.playTick);
  }
}

TEST_F(TimerTest, TempoEventsSetTheRateOfThePlayTick) {
  TestSong song;
  song.tracks = {{Midi(0, Cc(0, 20, 1), 0), Tempo(100, 250000, 96), Midi(9000, Cc(0, 20, 2))}};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  Tick(20); // 100 ms after the tempo change at 250000 us a quarter
  EXPECT_EQ(_32_GetCurTS(), 96u);
  EXPECT_EQ(_32_GetPlayTS(), 96u + 192u);
}

TEST_F(TimerTest, ProgressValueAndJumpTimeOverTheTempoMap) {
  struct Row {
    uint32_t totalMs;
    uint32_t tick;
    int32_t perMille;
  };
  const std::vector<Row> rows = {
      {100000, 4800, 50},   // 5 s of a 100 s song
      {100000, 19200, 150}, // 5 s after the change to 250000 at tick 9600 (10 s)
      {999, 4800, 1},       // shorter than a second: always 1
      {500, 0, 1},
  };
  for (const Row& row : rows) {
    TestSong song;
    song.totalMs = row.totalMs;
    song.tempoMap = {{0, 500000, 0}, {9600, 250000, 10000}};
    song.tracks = {{Midi(0, Cc(0, 20, 1))}};
    ASSERT_EQ(HandOver(song), 1);
    EXPECT_EQ(_32_ProgValue(row.tick), row.perMille) << row.totalMs << " " << row.tick;
  }
  TestSong song;
  song.totalMs = 200000;
  song.tracks = {{Midi(0, Cc(0, 20, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  EXPECT_EQ(_32_GetJmpTime(500), 100000);
  EXPECT_EQ(_32_GetJmpTime(1000), 200000);
}

TEST_F(TimerTest, ATempoMapOfMoreThan256EntriesIsKeptWhole) {
  TestSong song;
  song.totalMs = 1000000;
  song.ticksPerQuarter = 100;
  // 300 changes, one every 100 ticks; each quarter takes (i + 1) ms more.
  int32_t ms = 0;
  for (int i = 0; i < 300; ++i) {
    song.tempoMap.push_back({i * 100, (i + 1) * 1000, ms});
    ms += i + 1;
  }
  song.tracks = {{Midi(0, Cc(0, 20, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  // Tick 29950 lies half-way into the last entry: 44850 + 150 ms.
  EXPECT_EQ(_32_ProgValue(29950), (44850 + 150) / 1000);
  EXPECT_EQ(_32_ProgValue(25650), (32896 + 128) / 1000); // past entry 256
}

TEST_F(TimerTest, ATempoOfZeroOrNoTicksPerQuarterDividesByNothing) {
  TestSong song;
  song.ticksPerQuarter = 0;
  song.tracks = {{Midi(0, Cc(0, 20, 1), 5), Tempo(0, 0, 5), Midi(9000, Cc(0, 20, 2))}};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  Tick(5);
  EXPECT_EQ(_32_GetCurTS(), 5u);
  EXPECT_EQ(_32_GetPlayTS(), 5u);
  EXPECT_EQ(_32_ProgValue(100), 0);
}

TEST_F(TimerTest, MetersRiseWithNotesAndDecayEveryTick) {
  TestSong song;
  song.tracks = {{Midi(0, Cc(2, 7, 90)), Midi(0, NoteOn(2, 60, 100)), Midi(5000, NoteOff(2, 60))}};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  EXPECT_EQ(_32_GetMeterVolume(2), 127); // the level after the reset
  Tick();
  EXPECT_EQ(_32_GetMeterVolume(2), 90);
  EXPECT_EQ(_32_GetMeterVolume(3), 126); // 127000 less one decay of 200
  Tick(10);
  EXPECT_EQ(_32_GetMeterVolume(2), 88); // 90000 less ten decays of 200
  _32_SetLevelMeter(1000);              // 1000 x the 10 ms period a tick
  Tick(2);
  EXPECT_EQ(_32_GetMeterVolume(2), 68);
  EXPECT_EQ(_32_AutoMeterVolume(2), 58);
  Tick(10);
  EXPECT_EQ(_32_GetMeterVolume(2), 0); // held at 0
  _32_ResetRepaintReq(2);
  EXPECT_EQ(_32_GetRepaintReq(2), 0);
  Tick();
  EXPECT_EQ(_32_GetRepaintReq(2), 1);
}

TEST_F(TimerTest, WatchdogEndsASongThatIsNotRenewed) {
  _32_EnableWatchDog(1);
  EXPECT_EQ(_32_CheckIfWatchDogEnabled(), 1);
  ASSERT_EQ(HandOver(SongAt({})), 1);
  StartClean();
  EXPECT_EQ(_32_GetWatchDogTime(), 10000);
  Tick(100);
  EXPECT_EQ(_32_GetWatchDogTime(), 9000);
  _32_SetWatchDogTime(25);
  EXPECT_EQ(RunToEnd(10), 3); // 15, 5, then below zero
  auto notices = Notices();
  ASSERT_TRUE(IsEnd(notices.back()));
  EXPECT_EQ(notices.back().lParam, 0);
  EXPECT_EQ(_32_GetWatchDogTime(), 0);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);
}

TEST_F(TimerTest, StopEndsTheTimerAndItsResolutionRequest) {
  ASSERT_EQ(HandOver(SongAt({})), 1);
  StartClean();
  EXPECT_EQ(time_.OpenPeriods(), 1);
  EXPECT_EQ(time_.LiveEvents(), 1);
  _32_TerminatePlay();
  EXPECT_EQ(time_.OpenPeriods(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);
  _32_TerminatePlay(); // a second stop has nothing left to end
  EXPECT_EQ(time_.OpenPeriods(), 0);
}

} // namespace
} // namespace seqtest
