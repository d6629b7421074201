#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/song_edit_support.h"

namespace core {
namespace {

using testing::AddLyricLines;
using testing::CheckSongInvariants;
using testing::MakeEditSong;
using testing::NoteAt;

uint32_t NoteOn(uint8_t channel, uint8_t key, uint8_t velocity) {
  return (0x90u | channel) | uint32_t{key} << 8 | uint32_t{velocity} << 16;
}

uint32_t Message(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | uint32_t{d1} << 8 | uint32_t{d2} << 16;
}

TEST(SongEdit, EdgeCasesKeepTheSongWhole) {
  struct Row {
    const char* what;
    std::function<void(CSongData&)> edit;
    std::function<void(const CSongData&)> expect;
  };
  const Row rows[] = {
      {"a duplicate at the end of an empty track on channel 3 is a quarter of C at 127",
       [](CSongData& s) {
         s.InsertTrack(-1);
         s.tracks[3].summary.channel = 3;
         ASSERT_EQ(s.DuplicateEvent(3, 0), 1);
       },
       [](const CSongData& s) {
         ASSERT_EQ(s.tracks[3].EventCount(), 1);
         const SongEvent& e = s.tracks[3].events[0];
         EXPECT_EQ(e.tick, 0u);
         EXPECT_EQ(e.duration, 120u);
         EXPECT_EQ(e.data, NoteOn(3, 60, 127));
         EXPECT_EQ(s.tracks[3].engineEventCount, 2);
       }},
      {"a duplicate of a note goes before it",
       [](CSongData& s) { ASSERT_EQ(s.DuplicateEvent(1, 1), 1); },
       [](const CSongData& s) {
         ASSERT_EQ(s.tracks[1].EventCount(), 3);
         EXPECT_EQ(s.tracks[1].events[1].tick, 240u);
         EXPECT_EQ(s.tracks[1].events[2].tick, 240u);
         EXPECT_EQ(s.tracks[1].engineEventCount, 6);
       }},
      {"a duplicate of a line break is a placeholder syllable after the line events",
       [](CSongData& s) {
         AddLyricLines(s, {{{0, 60, "a"}}});
         ASSERT_EQ(s.DuplicateEvent(2, 0), 1);
       },
       [](const CSongData& s) { EXPECT_EQ(testing::DescribeLyrics(s), "/ a@0+60 ***@0+0"); }},
      {"a duplicate of a text copies its bytes",
       [](CSongData& s) {
         ASSERT_EQ(s.InsertEvent(1, 10, 0, 4, "abc", kKindText), 1);
         ASSERT_EQ(s.DuplicateEvent(1, 1), 1);
         ASSERT_EQ(s.SetEventBytes(1, 2, "xyz!"), 1);
       },
       [](const CSongData& s) {
         EXPECT_EQ(s.PoolText(s.tracks[1].events[1]), "abc");
         EXPECT_EQ(s.PoolText(s.tracks[1].events[2]), "xyz!");
         EXPECT_EQ(s.tracks[1].events[2].length, 5);
       }},
      {"an empty track keeps the channel of its summary for its first note",
       [](CSongData& s) {
         s.InsertTrack(-1);
         TrackSummary r;
         r.channel = 6;
         ASSERT_EQ(s.SetTrackSummary(3, r), 1);
         ASSERT_EQ(s.DuplicateEvent(3, 0), 1);
       },
       [](const CSongData& s) { EXPECT_EQ(s.tracks[3].events[0].data, NoteOn(6, 60, 127)); }},
      {"a move keeps the duration and finds the sorted place",
       [](CSongData& s) { ASSERT_EQ(s.MoveEvent(1, 0, 600), 1); },
       [](const CSongData& s) {
         EXPECT_EQ(s.tracks[1].events[0].tick, 240u);
         EXPECT_EQ(s.tracks[1].events[1].tick, 600u);
         EXPECT_EQ(s.tracks[1].events[1].duration, 120u);
         EXPECT_EQ(s.tracks[1].events[1].ms, 3000u);
         EXPECT_EQ(s.tracks[1].endTick, 720);
       }},
      {"a shift that would begin before tick 0 begins at 0",
       [](CSongData& s) { ASSERT_EQ(s.ShiftEvents(1, 1, -1, -1000), 1); },
       [](const CSongData& s) {
         EXPECT_EQ(s.tracks[1].events[0].tick, 0u);
         EXPECT_EQ(s.tracks[1].events[1].tick, 0u);
       }},
      {"a shift of the first note moves it after the second",
       [](CSongData& s) { ASSERT_EQ(s.ShiftEvents(1, 0, 0, 480), 1); },
       [](const CSongData& s) {
         EXPECT_EQ(s.tracks[1].events[0].tick, 240u);
         EXPECT_EQ(s.tracks[1].events[1].tick, 480u);
       }},
      {"a note silenced through data 2 no longer counts a note-off",
       [](CSongData& s) { ASSERT_EQ(s.SetEventData2(1, 0, 0), 1); },
       [](const CSongData& s) { EXPECT_EQ(s.tracks[1].engineEventCount, 3); }},
      {"length, channel, key",
       [](CSongData& s) {
         ASSERT_EQ(s.SetEventLength(1, 0, 480), 1);
         ASSERT_EQ(s.SetEventChannel(1, 0, 9), 1);
         ASSERT_EQ(s.SetEventData1(1, 0, 72), 1);
       },
       [](const CSongData& s) {
         EXPECT_EQ(s.tracks[1].events[0].data, NoteOn(9, 72, 100));
         EXPECT_EQ(s.tracks[1].events[0].durationMs, 2400u);
         EXPECT_EQ(s.tracks[1].endTick, 480);
       }},
      {"a syllable's text changes and the lines follow",
       [](CSongData& s) {
         AddLyricLines(s, {{{0, 60, "a"}, {120, 60, "b"}}});
         ASSERT_EQ(s.SetEventText(2, 2, "long"), 1);
       },
       [](const CSongData& s) {
         EXPECT_EQ(testing::DescribeLyrics(s), "/ long@0+60 b@120+60");
         EXPECT_EQ(s.tracks[2].text, "longb");
       }},
      {"a deleted syllable leaves its line",
       [](CSongData& s) {
         AddLyricLines(s, {{{0, 60, "a"}, {120, 60, "b"}}});
         ASSERT_EQ(s.DeleteEvent(2, 2), 1);
       },
       [](const CSongData& s) { EXPECT_EQ(s.tracks[2].text, "b"); }},
      {"an insert at an index that breaks the order goes to its sorted place",
       [](CSongData& s) { ASSERT_EQ(s.InsertEventAt(1, 0, 900, 10, 0, NoteOn(0, 50, 90), 0), 1); },
       [](const CSongData& s) { EXPECT_EQ(s.tracks[1].events[2].tick, 900u); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song, {{0, 120}, {240, 120}});
    row.edit(song);
    row.expect(song);
    EXPECT_EQ(song.unchanged, 0);
    EXPECT_EQ(song.preparedForPlay, 0);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongEdit, RefusalsChangeNothing) {
  struct Row {
    const char* what;
    std::function<int(CSongData&)> op;
  };
  const Row rows[] = {
      {"insert on a track out of range",
       [](CSongData& s) { return s.InsertEventAt(9, 0, 0, 0, 0, 0, 0); }},
      {"insert at an index out of range",
       [](CSongData& s) { return s.InsertEventAt(1, 5, 0, 0, 0, 0, 0); }},
      {"add on a negative track", [](CSongData& s) { return s.AddEvent(-1, 0, 0, 0, 0, 0); }},
      {"pool bytes for a channel kind",
       [](CSongData& s) { return s.InsertEvent(1, 0, 0, 3, "abc", kKindChannel); }},
      {"lyric on a missing track", [](CSongData& s) { return s.InsertLyric(7, 0, 0, "a"); }},
      {"duplicate past the end", [](CSongData& s) { return s.DuplicateEvent(1, 4); }},
      {"delete past the end", [](CSongData& s) { return s.DeleteEvent(1, 3); }},
      {"move past the end", [](CSongData& s) { return s.MoveEvent(1, 3, 0); }},
      {"shift with last before first", [](CSongData& s) { return s.ShiftEvents(1, 1, 0, 10); }},
      {"shift past the end", [](CSongData& s) { return s.ShiftEvents(1, 0, 3, 10); }},
      {"length on a negative index", [](CSongData& s) { return s.SetEventLength(1, -1, 5); }},
      {"channel of a tempo", [](CSongData& s) { return s.SetEventChannel(0, 1, 2); }},
      {"channel 16", [](CSongData& s) { return s.SetEventChannel(1, 0, 16); }},
      {"data byte above 127", [](CSongData& s) { return s.SetEventData1(1, 0, 128); }},
      {"value pointing past the pool",
       [](CSongData& s) { return s.SetEventValue(1, 2, 10, 1u << 30); }},
      {"bytes of a note", [](CSongData& s) { return s.SetEventBytes(1, 0, "x"); }},
      {"text of a note", [](CSongData& s) { return s.SetEventText(1, 0, "x"); }},
      {"summary of a missing track",
       [](CSongData& s) { return s.SetTrackSummary(3, TrackSummary{}); }},
      {"melody track out of range", [](CSongData& s) { return s.SetMelodyTrack(3); }},
      {"lyric track out of range", [](CSongData& s) { return s.SetLyricTrack(-2); }},
      {"sync of a track with itself", [](CSongData& s) { return s.AutoSyncLyrics(1, 1, 0, -1); }},
      {"lyric range on a missing track",
       [](CSongData& s) { return s.InsertLyricRange(5, 0, 100, "a/b"); }},
      {"lyric range of no syllables",
       [](CSongData& s) { return s.InsertLyricRange(2, 0, 100, "//"); }},
      {"track import of no song file",
       [](CSongData& s) {
         const uint8_t junk[] = {'V', 'E', 'X', 'O'};
         return s.ImportTrackBytes(junk, 65535);
       }},
      {"track import of a missing file",
       [](CSongData& s) { return s.ImportTrack("/nonexistent/song.vx3", kFileVx3, 65535); }},
      {"track import of a missing karaoke file",
       [](CSongData& s) { return s.ImportTrack("/nonexistent/song.kar", kFileKaraoke, 2); }},
      {"lyric text that cannot be read",
       [](CSongData& s) { return s.ImportLyricText("/nonexistent/words.txt"); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song, {{0, 120}, {240, 120}});
    song.InsertEvent(1, 300, 0, 4, "abc", kKindText);
    song.unchanged = 1;
    auto before = EncodeVexoDataFile(song);
    ASSERT_TRUE(before);
    EXPECT_EQ(row.op(song), 0);
    EXPECT_EQ(song.unchanged, 1);
    EXPECT_EQ(EncodeVexoDataFile(song), before);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
  // Without a song every operation refuses.
  CSongData none;
  EXPECT_EQ(none.AddEvent(0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(none.InsertLyricRange(0, 0, -1, "a"), 0);
  EXPECT_EQ(none.ImportLyricBytes("a/b"), 0);
  EXPECT_EQ(none.RemoveLyricMarks(), 0);
  EXPECT_EQ(none.AutoInsertLyricMarks(100, 5000, 2, 4), 0);
  EXPECT_EQ(none.AlignLineBreaks(), 0);
  EXPECT_EQ(none.SetMelodyTrack(0), 0);
  EXPECT_EQ(none.InsertTrack(-1), 0);
  EXPECT_EQ(none.TrackCount(), 0);
}

TEST(SongEdit, FindEventAtOverAllFilters) {
  // One track: note 0+100, line break and next line at 100, syllable 100+50,
  // note 200+60, syllable 300+40, a controller at 300.
  CSongData song;
  MakeEditSong(song);
  song.AddEvent(1, 0, 100, 0, NoteOn(0, 60, 100), kKindChannel);
  song.AddEvent(1, 100, 0, 0, 0, kKindLineBreak);
  song.AddEvent(1, 100, 0, 0, 0, kKindNextLine);
  song.InsertLyric(1, 100, 50, "a");
  song.AddEvent(1, 200, 60, 0, NoteOn(0, 62, 100), kKindChannel);
  song.InsertLyric(1, 300, 40, "b");
  song.AddEvent(1, 300, 0, 0, Message(0xB0, 7, 90), kKindChannel);
  ASSERT_EQ(song.tracks[1].EventCount(), 7);
  struct Row {
    int32_t tick;
    uint8_t filter;
    int32_t found, previousEnd, nextTick;
  };
  const Row rows[] = {
      {250, 0, 4, 100, INT32_MAX},
      {250, 1, 3, 100, INT32_MAX},
      {250, 2, 4, 100, INT32_MAX},
      {250, 3, 4, 100, INT32_MAX},
      {250, 4, 4, 150, 300},
      {250, 5, 3, 0, 300},
      {250, 6, 4, 150, 300},
      {250, 7, 4, 150, 300},
      {250, 8, 4, 260, INT32_MAX},
      {250, 9, 3, 100, INT32_MAX},
      {250, 10, 4, 260, INT32_MAX},
      {250, 11, 4, 260, INT32_MAX},
      {250, 12, 4, 150, 300},
      {250, 13, 3, 150, 300},
      {250, 14, 4, 150, 300},
      {250, 15, 4, 150, 300},
      // The first event found: no previous end unless it counts itself.
      {50, 0, 0, 0, 200},
      {50, 8, 0, 100, 200},
      {50, 1, -1, 0, 200},
      {50, 13, -1, 0, 100},
      // A syllable at the tick itself is at or before it.
      {300, 13, 5, 340, INT32_MAX},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("tick " + std::to_string(row.tick) + " filter " + std::to_string(row.filter));
    int32_t previousEnd = -1, nextTick = -1;
    EXPECT_EQ(song.FindEventAt(1, row.tick, row.filter, &previousEnd, &nextTick), row.found);
    EXPECT_EQ(previousEnd, row.previousEnd);
    EXPECT_EQ(nextTick, row.nextTick);
    EXPECT_EQ(song.FindEventAt(1, row.tick, row.filter), row.found);
  }
  EXPECT_EQ(song.FindEventAt(9, 0, 0), -1);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(SongEdit, TrackSummaryChangesTheTrack) {
  struct Row {
    const char* what;
    TrackSummary request;
    std::vector<uint32_t> expected; // the channel messages' data after the change
  };
  auto request = [](int channel, int velocity, int key) {
    TrackSummary s;
    s.channel = static_cast<uint8_t>(channel);
    s.velocityOffset = static_cast<int8_t>(velocity);
    s.keyOffset = static_cast<int8_t>(key);
    return s;
  };
  const Row rows[] = {
      {"velocity 120 + 20 gives 127; a velocity-0 note-off stays one",
       request(255, 20, 0),
       {Message(0xC0, 5), NoteOn(0, 60, 127), Message(0xA0, 60, 120), Message(0x90, 60, 0),
        Message(0x80, 64, 64), Message(0xD0, 127)}},
      {"a large negative velocity offset never silences a note",
       request(255, -127, 0),
       {Message(0xC0, 5), NoteOn(0, 60, 1), Message(0xA0, 60, 0), Message(0x90, 60, 0),
        Message(0x80, 64, 64), Message(0xD0, 0)}},
      {"a key offset moves note-offs with their note-ons",
       request(255, 0, 5),
       {Message(0xC0, 5), NoteOn(0, 65, 120), Message(0xA0, 65, 100), Message(0x90, 65, 0),
        Message(0x80, 69, 64), Message(0xD0, 110)}},
      {"keys clamp at 127",
       request(255, 0, 100),
       {Message(0xC0, 5), NoteOn(0, 127, 120), Message(0xA0, 127, 100), Message(0x90, 127, 0),
        Message(0x80, 127, 64), Message(0xD0, 110)}},
      {"a new channel for every channel message",
       request(4, 0, 0),
       {Message(0xC4, 5), NoteOn(4, 60, 120), Message(0xA4, 60, 100), Message(0x94, 60, 0),
        Message(0x84, 64, 64), Message(0xD4, 110)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song);
    song.AddEvent(1, 0, 0, 0, Message(0xC0, 5), kKindChannel);
    song.AddEvent(1, 0, 120, 0, NoteOn(0, 60, 120), kKindChannel);
    song.AddEvent(1, 60, 0, 0, Message(0xA0, 60, 100), kKindChannel);
    song.AddEvent(1, 120, 0, 0, Message(0x90, 60, 0), kKindChannel);
    song.AddEvent(1, 130, 0, 0, Message(0x80, 64, 64), kKindChannel);
    song.AddEvent(1, 140, 0, 0, Message(0xD0, 110), kKindChannel);
    ASSERT_EQ(song.SetTrackSummary(1, row.request), 1);
    std::vector<uint32_t> data;
    for (const auto& e : song.tracks[1].events)
      data.push_back(e.data);
    EXPECT_EQ(data, row.expected);
    EXPECT_EQ(song.tracks[1].summary.velocityOffset, 0);
    EXPECT_EQ(song.tracks[1].summary.keyOffset, 0);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongEdit, TrackSummaryProgramVolumePanAndName) {
  CSongData song;
  MakeEditSong(song);
  song.AddEvent(1, 0, 0, 0, Message(0xC2, 5), kKindChannel);
  song.AddEvent(1, 0, 120, 0, NoteOn(2, 60, 120), kKindChannel);
  song.AddEvent(1, 200, 0, 0, Message(0xB2, 7, 10), kKindChannel); // after the note: not it
  TrackSummary request;
  request.channel = 255;
  request.program = 33;
  request.volume = 90;
  request.pan = 255;
  request.name = "Lead voice";
  ASSERT_EQ(song.SetTrackSummary(1, request), 1);
  const Track& t = song.tracks[1];
  EXPECT_EQ(t.summary.program, 33);
  EXPECT_EQ(t.summary.volume, 90);
  EXPECT_EQ(t.summary.pan, 255);
  EXPECT_EQ(t.summary.channel, 2);
  EXPECT_EQ(t.summary.name, "Lead voice");
  ASSERT_EQ(t.EventCount(), 5);
  EXPECT_EQ(t.events[4].data, Message(0xB2, 7, 10));
  int names = 0, volumes = 0;
  for (const auto& e : t.events) {
    names += e.kind == kKindTrackName;
    volumes += e.kind == kKindChannel && e.data == Message(0xB2, 7, 90);
  }
  EXPECT_EQ(names, 1);
  EXPECT_EQ(volumes, 1);
  // A second name replaces the first event's text.
  request = TrackSummary{};
  request.channel = 255;
  request.name = "Lead";
  ASSERT_EQ(song.SetTrackSummary(1, request), 1);
  EXPECT_EQ(song.tracks[1].summary.name, "Lead");
  EXPECT_EQ(song.tracks[1].EventCount(), 5);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(SongEdit, TempoEditsRetimeEveryTrack) {
  struct Row {
    const char* what;
    int16_t track;
    bool unrelatedEditAfter;
  };
  const Row rows[] = {
      {"a tempo on track 0", 0, false},
      {"a tempo on the melody track", 1, false},
      {"a tempo on the lyric track, then an unrelated edit", 2, true},
      {"a tempo on track 0, then an unrelated edit", 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song, {{0, 120}, {960, 120}});
    AddLyricLines(song, {{{960, 120, "a"}}});
    ASSERT_EQ(song.AddEvent(row.track, 480, 0, 0, 300000, kKindTempo), 1);
    if (row.unrelatedEditAfter) {
      ASSERT_EQ(song.AddEvent(1, 1200, 10, 0, NoteOn(0, 40, 90), kKindChannel), 1);
    }
    auto note = [&]() -> const SongEvent& {
      for (const auto& e : song.tracks[1].events)
        if (e.tick == 960 && e.kind == kKindChannel)
          return e;
      return song.tracks[1].events.front();
    };
    // 480 ticks at 600000, then 480 at 300000: 2400 + 1200 ms.
    EXPECT_EQ(note().ms, 3600u);
    EXPECT_EQ(note().durationMs, 300u);
    EXPECT_EQ(song.tracks[2].events.back().ms, 3600u);
    EXPECT_EQ(CheckSongInvariants(song), "");
    // The tempo goes again: the song is timed as before.
    const int32_t tempoIndex = row.track == 0 ? 3 : row.track == 1 ? 1 : 0;
    ASSERT_EQ(song.tracks[row.track].events[tempoIndex].kind, kKindTempo);
    ASSERT_EQ(song.DeleteEvent(row.track, tempoIndex), 1);
    EXPECT_EQ(note().ms, 4800u);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongEdit, NewSongStartsAfresh) {
  CSongData song;
  MakeEditSong(song, {{0, 120}});
  song.title = "old";
  ASSERT_EQ(song.NewSong("new.vx3"), 1);
  EXPECT_EQ(song.title, "");
  EXPECT_EQ(song.TrackCount(), 2);
  EXPECT_EQ(song.melodyTrack, 1);
  EXPECT_EQ(song.lyricTrack, 1);
  EXPECT_EQ(song.tracks[1].EventCount(), 0);
  ASSERT_EQ(song.tracks[0].EventCount(), 3);
  EXPECT_EQ(song.tempoMap.size(), 1u);
  EXPECT_EQ(song.tempoMap[0].usPerQuarter, 600000);
  EXPECT_EQ(song.MeasureLenAt(0), 480);
  EXPECT_EQ(song.unchanged, 1);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

} // namespace
} // namespace core
