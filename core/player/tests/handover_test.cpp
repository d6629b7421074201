// The hand-over to the engine, seen by a recording preparation and transmit
// entry: what the preparation is given, which events go in which order, the
// syllables' wipe times and the early lyrics.
#include "core/player/handover.h"
#include "core/songdata.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using core::CSongData;

struct Transmitted {
  int32_t track, n, index, tick, ms;
  uint32_t data, kind;
  bool operator==(const Transmitted&) const = default;
};

struct Prepared {
  uint16_t reserved, tempoCount, tpq;
  int32_t tracks, melody, lyric;
  uint32_t totalMs;
  std::vector<int32_t> tempo, counts;
  std::vector<uint8_t> banks;
  std::vector<int16_t> devices;
};

std::vector<Transmitted> sent;
std::vector<Prepared> prepared;
uint8_t prepareAnswer = 1;

void Transmit(int32_t track, int32_t n, int32_t index, int32_t tick, int32_t ms, uint32_t data,
              uint32_t kind) {
  sent.push_back({track, n, index, tick, ms, data, kind});
}

uint8_t Prepare(uint16_t reserved, uint16_t tempoCount, uint16_t tpq, int32_t tracks,
                int32_t melody, int32_t lyric, uint32_t totalMs, const int32_t* tempo,
                const int32_t* counts, const uint8_t* banks, const int16_t* devices) {
  // The events come after the preparation.
  EXPECT_TRUE(sent.empty());
  prepared.push_back({reserved, tempoCount, tpq, tracks, melody, lyric, totalMs,
                      std::vector<int32_t>(tempo, tempo + 3 * tempoCount),
                      std::vector<int32_t>(counts, counts + tracks),
                      std::vector<uint8_t>(banks, banks + 16),
                      std::vector<int16_t>(devices, devices + tracks)});
  return prepareAnswer;
}

class HandOver : public testing::Test {
protected:
  void SetUp() override {
    sent.clear();
    prepared.clear();
    prepareAnswer = 1;
    song.Reset();
    song.loaded = 1;
    song.ticksPerQuarter = 120;
  }

  // tracks empty tracks, then the timing lists from the tempo events given
  // on track 0.
  void Tracks(int count) { song.tracks.resize(static_cast<size_t>(count)); }
  void Add(int16_t track, int32_t tick, int32_t duration, uint32_t data, uint8_t kind) {
    ASSERT_EQ(song.AddEvent(track, tick, duration, 0, data, kind), 1);
    song.UpdateTrack(track);
  }
  std::vector<Transmitted> Sent(int32_t track) const {
    std::vector<Transmitted> out;
    for (const Transmitted& t : sent)
      if (t.track == track)
        out.push_back(t);
    return out;
  }

  CSongData song;
};

TEST_F(HandOver, ThePreparationGetsTheSongsTimingTracksAndDevicesThenEveryTrackFollows) {
  Tracks(3);
  Add(0, 0, 0, 500000, core::kKindTempo);
  Add(0, 240, 0, 250000, core::kKindTempo);
  song.BuildTempoMaps(false);
  song.ComputeEventTimes(0);
  Add(1, 0, 120, 0x643C90, core::kKindChannel); // one note: two engine events
  Add(1, 60, 0, 0x0507B0, core::kKindChannel);
  Add(2, 10, 0, 0x01C1, core::kKindChannel);
  song.melodyTrack = 1;
  song.lyricTrack = 0;
  song.initialBank[9] = 8;
  const std::vector<int16_t> devices = {-1, 2, 3};
  prepareAnswer = 0; // not ready: the events go all the same

  EXPECT_EQ(core::HandSongToEngine(song, &Prepare, &Transmit, devices, true), 0);
  ASSERT_EQ(prepared.size(), 1u);
  const Prepared& p = prepared[0];
  EXPECT_EQ(p.reserved, 0);
  EXPECT_EQ(p.tempoCount, 2);
  EXPECT_EQ(p.tpq, 120);
  EXPECT_EQ(p.tracks, 3);
  EXPECT_EQ(p.melody, 1);
  EXPECT_EQ(p.lyric, 0);
  EXPECT_EQ(p.totalMs, static_cast<uint32_t>(song.endMs));
  EXPECT_EQ(p.tempo, (std::vector<int32_t>{0, 500000, 0, 240, 250000, 1000}));
  EXPECT_EQ(p.counts, (std::vector<int32_t>{2, 3, 1}));
  EXPECT_EQ(p.banks[9], 8);
  EXPECT_EQ(p.devices, devices);

  // Track by track; the note's note-off at its end with its velocity cleared.
  const std::vector<Transmitted> expected = {
      {0, 0, 0, 0, 0, 500000, core::kKindTempo},
      {0, 1, 1, 240, 1000, 250000, core::kKindTempo},
      {1, 0, 0, 0, 0, 0x643C90, 0},
      {1, 1, 1, 60, 250, 0x0507B0, 0},
      {1, 2, 0, 120, 500, 0x003C90, 0},
      {2, 0, 0, 10, 41, 0x01C1, 0},
  };
  EXPECT_EQ(sent, expected);

  // Without the events: the preparation alone.
  sent.clear();
  core::HandSongToEngine(song, &Prepare, &Transmit, devices, false);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(core::HandSongToEngine(song, nullptr, &Transmit, devices, true), 0);
}

TEST_F(HandOver, ATrackWithASilentNoteOnHandsEventZeroOverAgainAtTheLastIndex) {
  Tracks(1);
  Add(0, 0, 0, 0x0507B0, core::kKindChannel);
  song.tracks[0].events.push_back({}); // a note-on of velocity 0, counted as a note
  song.tracks[0].events.back().tick = 30;
  song.tracks[0].events.back().data = 0x003C90;
  song.tracks[0].engineEventCount = 3;
  core::TransmitTrackToEngine(song, 0, &Transmit);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[2].n, 2);
  EXPECT_EQ(sent[2].index, 0);
  EXPECT_EQ(sent[2].data, 0x0507B0u);
}

TEST_F(HandOver, TheLyricsGoEarlyWithTheirWipeTimes) {
  // 120 ticks a quarter at 500000 us: 1 tick = 125/30 ms.
  Tracks(2);
  Add(0, 0, 0, 500000, core::kKindTempo);
  song.BuildTempoMaps(false);
  song.lyricTrack = 1;
  song.SetLyricShift(4); // 30 ticks
  ASSERT_EQ(song.lyricShiftTicks, 30);
  struct Row {
    int32_t tick;
    uint8_t kind;
    int32_t sentTick;
  };
  const Row rows[] = {
      {20, core::kKindLineBreak, 0},    // before any syllable, not below 0
      {100, core::kKindSyllable, 70},   // 30 ticks early
      {140, core::kKindLineBreak, 105}, // 40 after the syllable: 35 early
      {200, core::kKindNextLine, 140},  // 100 after it: 60 early
      {210, core::kKindImage, 150},     // 110 after it: 60 early
      {400, core::kKindSinger, 370},    // other kinds just the shift
  };
  for (const Row& r : rows)
    Add(1, r.tick, r.kind == core::kKindSyllable ? 60 : 0, 0, r.kind);
  core::TransmitTrackToEngine(song, 1, &Transmit);
  ASSERT_EQ(sent.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sent[i].kind, rows[i].kind);
    EXPECT_EQ(sent[i].tick, rows[i].sentTick);
    EXPECT_EQ(sent[i].ms, song.TickToMs(rows[i].sentTick));
  }
  // The syllable carries its duration in ms: 60 ticks, 250 ms.
  EXPECT_EQ(sent[1].data, 250u);

  // Without shift only the wipe time changes.
  sent.clear();
  song.SetLyricShift(0);
  core::TransmitTrackToEngine(song, 1, &Transmit);
  ASSERT_EQ(sent.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(sent[i].tick, rows[i].tick);
  EXPECT_EQ(sent[1].data, 250u);
}

TEST_F(HandOver, ASongWithoutALyricTrackKeepsItsFirstTrackInTime) {
  Tracks(1);
  Add(0, 100, 0, 0x0507B0, core::kKindChannel);
  song.lyricTrack = 0;
  song.SetLyricShift(4);
  core::TransmitTrackToEngine(song, 0, &Transmit);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].tick, 100);
  EXPECT_EQ(sent[0].data, 0x0507B0u);
}

TEST_F(HandOver, ALongTempoMapIsThinnedToWhatTheEngineKeeps) {
  Tracks(1);
  for (int i = 0; i < 1000; ++i)
    Add(0, i * 10, 0, static_cast<uint32_t>(400000 + (i % 2) * 100000), core::kKindTempo);
  song.BuildTempoMaps(false);
  ASSERT_EQ(song.tempoMap.size(), 1000u);
  const std::vector<int32_t> map = core::EngineTempoMap(song);
  ASSERT_EQ(map.size(), 3u * core::kEngineTempoEntries);
  auto entryAt = [&](size_t i) {
    const core::TempoEntry& e = song.tempoMap[i];
    return std::vector<int32_t>{e.tick, e.usPerQuarter, e.ms};
  };
  EXPECT_EQ(std::vector<int32_t>(map.begin(), map.begin() + 3), entryAt(0));
  EXPECT_EQ(std::vector<int32_t>(map.end() - 3, map.end()), entryAt(999));
  for (size_t j = 1; j < core::kEngineTempoEntries; ++j)
    EXPECT_LT(map[3 * (j - 1)], map[3 * j]) << "ticks rise";

  // A map that fits goes as it is.
  song.tempoMap.resize(3);
  EXPECT_EQ(core::EngineTempoMap(song).size(), 9u);
}

} // namespace
