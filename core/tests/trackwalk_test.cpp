#include <gtest/gtest.h>

#include "core/songdata.h"
#include "core/trackwalk.h"

namespace core {
namespace {

struct Ev {
  uint32_t tick;
  uint32_t duration;
  uint8_t kind;
  uint32_t data;
};

constexpr uint32_t kNoteOn = 0x643C90;   // note 60, velocity 100, channel 1
constexpr uint32_t kNoteOnV0 = 0x003C90; // a stored note-on of velocity 0

// "n:index" per produced event, with "'" for a note-off.
std::string Walk(const std::vector<Ev>& events, int32_t count = -1) {
  CSongData song;
  song.loaded = 1;
  song.tracks.resize(1);
  for (const auto& e : events) {
    SongEvent s;
    s.tick = e.tick;
    s.duration = e.duration;
    s.kind = e.kind;
    s.data = e.data;
    song.tracks[0].events.push_back(s);
  }
  song.UpdateTrack(0);
  if (count >= 0)
    song.tracks[0].engineEventCount = count;
  std::string out;
  int32_t calls = TransmitTrack(song, 0, [&](int16_t track, int32_t n, int32_t index, bool off) {
    EXPECT_EQ(track, 0);
    out += (out.empty() ? "" : " ") + std::to_string(n) + ":" + std::to_string(index) +
           (off ? "'" : "");
  });
  EXPECT_EQ(calls, static_cast<int32_t>(std::count(out.begin(), out.end(), ':')));
  return out;
}

TEST(TrackWalk, ProducesNoteOffsInPlace) {
  struct Row {
    const char* name;
    std::vector<Ev> events;
    const char* produced;
  };
  const Row rows[] = {
      {"notes ending together come off in the order they began",
       {{0, 100, kKindChannel, kNoteOn}, {50, 50, kKindChannel, kNoteOn}, {200, 0, kKindText, 0}},
       "0:0 1:1 2:0' 3:1' 4:2"},
      {"a note-off at the tick of the next event comes first",
       {{0, 100, kKindChannel, kNoteOn}, {100, 0, kKindTempo, 500000}},
       "0:0 1:0' 2:1"},
      {"a note sounding after the last event comes off after it",
       {{0, 500, kKindChannel, kNoteOn}, {100, 0, kKindText, 0}},
       "0:0 1:1 2:0'"},
      {"a note of no length still comes off", {{100, 0, kKindChannel, kNoteOn}}, "0:0 1:0'"},
      {"a stored note-on of velocity 0 gives no note-off",
       {{0, 0, kKindChannel, kNoteOnV0}, {10, 5, kKindChannel, kNoteOn}},
       "0:0 1:1 2:1'"},
      {"an empty track produces nothing", {}, ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(Walk(row.events), row.produced) << row.name;
}

TEST(TrackWalk, ProducesExactlyTheEngineEventCount) {
  const std::vector<Ev> events = {{0, 10, kKindChannel, kNoteOn}, {5, 10, kKindChannel, kNoteOn}};
  // A larger count (an older rule counted velocity-0 note-ons twice) is
  // filled with event 0 at every second index; a smaller one stops the walk.
  EXPECT_EQ(Walk(events, 8), "0:0 1:1 2:0' 3:1' 4:0 6:0");
  EXPECT_EQ(Walk(events, 3), "0:0 1:1 2:0'");
  EXPECT_EQ(Walk(events), "0:0 1:1 2:0' 3:1'");
}

TEST(TrackWalk, NoteOffCarriesTheNoteEnd) {
  SongEvent on;
  on.tick = 100;
  on.ms = 1000;
  on.duration = 30;
  on.durationMs = 300;
  on.kind = kKindChannel;
  on.data = kNoteOn;
  ProducedEvent off = MakeProducedEvent(on, true);
  EXPECT_EQ(off.tick, 130u);
  EXPECT_EQ(off.ms, 1300u);
  EXPECT_EQ(off.data, 0x003C90u);
  ProducedEvent self = MakeProducedEvent(on, false);
  EXPECT_EQ(self.tick, 100u);
  EXPECT_EQ(self.data, kNoteOn);
  CSongData song;
  EXPECT_EQ(TransmitTrack(song, 0, [](int16_t, int32_t, int32_t, bool) { FAIL(); }), 0);
}

} // namespace
} // namespace core
