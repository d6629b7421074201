// The time-ordered chain through the tracks, and songs whose buffers are
// empty, partly written or handed over out of bounds.
#include "support/engine_fixture.h"

#include <string>
#include <vector>

namespace seqtest {
namespace {

// Each event carries its own id (track * 10 + index) as the value of an
// otherwise unused controller, so the device log shows the chain's order.
constexpr int kIdController = 20;

TestSong SongOfTicks(const std::vector<std::vector<uint32_t>>& ticks) {
  TestSong song;
  for (size_t t = 0; t < ticks.size(); ++t) {
    song.tracks.emplace_back();
    for (size_t i = 0; i < ticks[t].size(); ++i) {
      TestEvent e = Midi(0, Cc(0, kIdController, static_cast<int>(t * 10 + i)));
      e.tick = ticks[t][i];
      song.tracks.back().push_back(e);
    }
  }
  return song;
}

std::vector<int> SentIds(const std::vector<media::RecordedMidi>& log) {
  std::vector<int> ids;
  for (const auto& m : log)
    if (m.Status() == 0xB0 && m.Data1() == kIdController)
      ids.push_back(m.Data2());
  return ids;
}

using OrderTest = EngineTest;

TEST_F(OrderTest, ChainRunsByTickThenTrackThenBufferPosition) {
  struct Row {
    std::string name;
    std::vector<std::vector<uint32_t>> ticks;
    std::vector<int> order;
  };
  const std::vector<Row> rows = {
      {"ties of tick go to the lowest track", {{10, 20}, {10, 15}, {10}}, {0, 10, 20, 11, 1}},
      {"equal ticks in a track keep buffer order", {{5, 5, 5}, {5}}, {0, 1, 2, 10}},
      {"tracks without events are left out", {{}, {30}, {}, {10}}, {30, 10}},
      {"a later track may start first", {{100}, {0, 200}}, {10, 0, 11}},
      {"a single event", {{7}}, {0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HandOver(SongOfTicks(row.ticks)), 1);
    StartClean();
    Tick(); // every event is at time 0: the whole chain plays on the first tick
    EXPECT_EQ(SentIds(SongLog(*dev0_)), row.order);
    auto ends = Notices();
    ASSERT_FALSE(ends.empty());
    EXPECT_TRUE(IsEnd(ends.back()));
    EXPECT_EQ(ends.back().lParam, 0);
    EXPECT_EQ(ends.back().tick, 1) << "the end comes with the last event";
    EXPECT_EQ(ends.back().playFlag, 0);
    EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
    EXPECT_EQ(time_.LiveEvents(), 0);
  }
}

TEST_F(OrderTest, SongsWithoutEventsEndOnTheirFirstTick) {
  struct Row {
    std::string name;
    std::vector<std::vector<uint32_t>> ticks;
  };
  const std::vector<Row> rows = {
      {"no track at all", {}},
      {"three empty tracks", {{}, {}, {}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(HandOver(SongOfTicks(row.ticks)), 1);
    StartClean();
    Tick();
    auto notices = Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(IsEnd(notices[0]));
    EXPECT_EQ(notices[0].lParam, 0);
    EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
    EXPECT_EQ(time_.LiveEvents(), 0);
    EXPECT_TRUE(SongLog(*dev0_).empty());
  }
}

TEST_F(OrderTest, SlotsNeverWrittenAreNeverPlayed) {
  // Five slots declared; the player core writes 0, 1 and 3 (3 repeats event 0,
  // as its padding does) and leaves 2 and 4 as the engine made them.
  const int32_t counts[] = {5};
  const int16_t devices[] = {-1};
  ASSERT_EQ(_32_PreparePlay(0, 0, 480, 1, 0, 0, 10000, nullptr, counts, nullptr, devices), 1);
  _32_TransmitData(0, 0, 0, 0, 0, Cc(0, kIdController, 1), 0);
  _32_TransmitData(0, 1, 0, 480, 20, Cc(0, kIdController, 2), 0);
  _32_TransmitData(0, 3, 0, 0, 0, Cc(0, kIdController, 1), 0);
  ASSERT_EQ(_32_GenerateTrackOrder(), 1);
  StartClean();
  ASSERT_EQ(RunToEnd(10), 2); // the event at 20 ms, and the padding after it
  const auto log = SongLog(*dev0_);
  EXPECT_EQ(SentIds(log), (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(log.size(), 3u) << "nothing but the written events reaches the device";
}

TEST_F(OrderTest, HandOverOutsideTheDeclaredSlotsIsIgnored) {
  const int32_t counts[] = {2, 1};
  ASSERT_EQ(_32_PreparePlay(0, 0, 480, 2, 0, 0, 10000, nullptr, counts, nullptr, nullptr), 1);
  _32_TransmitData(0, 0, 0, 0, 0, Cc(0, kIdController, 1), 0);
  _32_TransmitData(0, 1, 0, 0, 0, Cc(0, kIdController, 2), 0);
  _32_TransmitData(0, 2, 0, 0, 0, Cc(0, kIdController, 90), 0);  // index at the count
  _32_TransmitData(0, -1, 0, 0, 0, Cc(0, kIdController, 91), 0); // negative index
  _32_TransmitData(1, 0, 0, 0, 0, Cc(0, kIdController, 3), 0);
  _32_TransmitData(2, 0, 0, 0, 0, Cc(0, kIdController, 92), 0); // past the track count
  _32_TransmitData(300, 0, 0, 0, 0, Cc(0, kIdController, 93), 0);
  ASSERT_EQ(_32_GenerateTrackOrder(), 1);
  StartClean();
  ASSERT_EQ(RunToEnd(5), 1);
  EXPECT_EQ(SentIds(SongLog(*dev0_)), (std::vector<int>{1, 2, 3}));
}

TEST_F(OrderTest, OnlyTracksBelow256TakePartInTheChain) {
  TestSong song;
  song.tracks.resize(259);
  song.tracks[0] = {Midi(0, Cc(0, kIdController, 1), 10)};
  song.tracks[255] = {Midi(0, Cc(0, kIdController, 2), 20)};
  song.tracks[257] = {Midi(0, Cc(0, kIdController, 3), 15)};
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  ASSERT_EQ(RunToEnd(5), 1);
  EXPECT_EQ(SentIds(SongLog(*dev0_)), (std::vector<int>{1, 2}));
}

TEST_F(OrderTest, PreparationRefusesWhatItCannotHold) {
  struct Row {
    std::string name;
    uint16_t trackCount;
    int32_t count;
    uint8_t result;
  };
  const std::vector<Row> rows = {
      {"more tracks than the tables hold", 260, 1, 0},
      {"more events than a song may have", 1, int32_t{1} << 25, 0},
      {"a negative count is an empty track", 1, -5, 1},
      {"all 259 tracks", 259, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<int32_t> counts(row.trackCount, row.count);
    EXPECT_EQ(_32_PreparePlay(0, 0, 480, row.trackCount, 0, 0, 1000, nullptr, counts.data(),
                              nullptr, nullptr),
              row.result);
    ASSERT_EQ(_32_GenerateTrackOrder(), 1);
    // Whatever was refused, play neither reads a missing buffer nor hangs.
    ClearNotices();
    ASSERT_EQ(_32_StartPlay(), 1);
    EXPECT_GE(RunToEnd(5), 1);
  }
}

TEST_F(OrderTest, FreedBuffersPlayAsAnEmptySong) {
  ASSERT_EQ(HandOver(SongOfTicks({{0, 10}, {5}})), 1);
  _32_FreeEB();
  StartClean();
  EXPECT_EQ(RunToEnd(5), 1);
  EXPECT_TRUE(SongLog(*dev0_).empty());
}

TEST_F(OrderTest, RebuildingTheSongWhilePlayingStopsItFirst) {
  ASSERT_EQ(HandOver(SongOfTicks({{0}})), 1);
  TestSong song;
  song.tracks = {{Midi(5000, Cc(0, kIdController, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  ASSERT_EQ(_32_StartPlay(), 1);
  Tick(3);
  ASSERT_EQ(HandOver(SongOfTicks({{0}})), 1);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);

  ASSERT_EQ(HandOver(song), 1);
  ASSERT_EQ(_32_StartPlay(), 1);
  _32_TransmitData(0, 0, 0, 0, 0, Cc(0, kIdController, 99), 0); // ignored while playing
  dev0_->Clear();
  _32_JumpToPosition(0);
  Tick(2);
  EXPECT_TRUE(SentIds(SongLog(*dev0_)).empty()) << "the event at 5000 ms was not replaced";
  _32_FreeEB();
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);

  ASSERT_EQ(HandOver(song), 1);
  ASSERT_EQ(_32_StartPlay(), 1);
  EXPECT_EQ(_32_GenerateTrackOrder(), 1);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);

  ASSERT_EQ(_32_StartPlay(), 1);
  InitPavik32(0, kWindow, 0, kPavikRealTimeEventMessage, kPavikEndNotifyCode,
              kPavikProgressNotifyCode, kPavikMeterNotifyCode);
  EXPECT_EQ(time_.LiveEvents(), 0) << "initialising again ends the song and its timer";
}

} // namespace
} // namespace seqtest
