#include <gtest/gtest.h>

#include <utility>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/song_edit_support.h"

namespace core {
namespace {

using testing::AddLyricLines;
using testing::CheckSongInvariants;
using testing::DescribeLyrics;
using testing::MakeEditSong;

TEST(SongLyrics, InsertLyricRangeSplitsTheText) {
  struct Row {
    const char* what;
    std::string text;
    bool autoSplit;
    int32_t from, to;
    std::string expected;
  };
  const Row rows[] = {
      {"a/b/c over 0-300", "a/b/c", false, 0, 300, "a@0+83 b@100+83 c@200+83"},
      {"no range: half a quarter apart", "a/b\nc", false, 0, -1, "a@0+60 b@60+60 / c@180+60"},
      {"CR LF is one line break", "a\r\nb", false, 0, -1, "a@0+60 / b@120+60"},
      {"the step is at most a quarter", "a/b", false, 100, 10000, "a@100+100 b@220+100"},
      {"a range backwards steps by 0", "a/b", false, 300, 0, "a@300+0 b@300+0"},
      {"empty syllables are no tokens", "/a//b/", false, 0, -1, "a@0+60 b@60+60"},
      {"code page 1252 without split", "caf\xe9/na\xefve ok", false, 0, -1,
       "caf\xe9@0+60 na\xefve ok@60+60"},
      {"code page 1252 with split takes byte pairs", "caf\xe9x", true, 0, -1,
       "caf@0+60 \xe9x@60+60"},
      {"code page 949 with split", "\xb0\xa1\xb3\xaa ab/c", true, 0, -1,
       "\xb0\xa1@0+60 \xb3\xaa@60+60  ab@120+60 c@180+60"},
      {"code page 949, a lead byte at the end", "\xb0\xa1\xb0", true, 0, -1,
       "\xb0\xa1@0+60 \xb0@60+60"},
      {"code page 932 with split", "\x82\xa0\x82\xa2\n\x89\xcc", true, 0, -1,
       "\x82\xa0@0+60 \x82\xa2@60+60 / \x89\xcc@180+60"},
      {"code page 932, a lead byte at the end", "\x82\xa0\x82", true, 0, -1,
       "\x82\xa0@0+60 \x82@60+60"},
      {"code page 949 without split keeps the words", "\xb0\xa1\xb3\xaa/\xb4\xd9", false, 0, -1,
       "\xb0\xa1\xb3\xaa@0+60 \xb4\xd9@60+60"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song);
    song.lyricTextAutoSplit = row.autoSplit;
    ASSERT_EQ(song.InsertLyricRange(2, row.from, row.to, row.text), 1);
    EXPECT_EQ(DescribeLyrics(song), row.expected);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongLyrics, AutoSyncPlacesSyllablesOnTheMelody) {
  struct Row {
    const char* what;
    std::vector<testing::NoteAt> melody;
    std::string text;
    std::string expected;
    std::vector<uint32_t> lineTicks; // line breaks after the sync
  };
  const Row rows[] = {
      {"one syllable per note",
       {{0, 120}, {240, 120}, {480, 240}},
       "a/b/c",
       "a@0+120 b@240+120 c@480+240",
       {}},
      {"fewer notes: the rest half a quarter apart after the last note's end",
       {{0, 120}, {240, 60}},
       "a/b/c/d",
       "a@0+120 b@240+60 c@300+60 d@360+60",
       {}},
      {"no notes at all", {}, "a/b", "a@0+60 b@60+60", {}},
      {"a line break at the end of the syllable before",
       {{0, 120}, {240, 120}, {480, 120}},
       "a/b\nc",
       "a@0+120 b@240+120 / c@480+120",
       {360}},
      {"a long note never pushes a break past the next syllable",
       {{0, 600}, {240, 120}},
       "a\nb",
       "a@0+600 / b@240+120",
       {240}},
      {"note-offs as velocity 0 are no notes",
       {{0, 120}, {100, 0, 60, 0}, {240, 120}},
       "a/b",
       "a@0+120 b@240+120",
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song, row.melody);
    ASSERT_EQ(song.ImportLyricBytes(row.text), 1);
    EXPECT_EQ(DescribeLyrics(song), row.expected);
    std::vector<uint32_t> breaks;
    for (const auto& e : song.tracks[2].events)
      if (e.kind == kKindLineBreak)
        breaks.push_back(e.tick);
    EXPECT_EQ(breaks, row.lineTicks);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongLyrics, AutoSyncFromATickOverACount) {
  CSongData song;
  MakeEditSong(song, {{0, 120}, {240, 120}, {480, 120}});
  ASSERT_EQ(song.InsertLyricRange(2, 0, -1, "a/b/c/d"), 1);
  // From tick 100: the syllable at 60 lies before it, so c is the first; the
  // note at 0 lies before it, so the note at 240 is c's.
  ASSERT_EQ(song.AutoSyncLyrics(2, 1, 100, 1), 1);
  EXPECT_EQ(DescribeLyrics(song), "a@0+60 b@60+60 d@180+60 c@240+120");
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(SongLyrics, ImportReplacesTheLyricsOrRefusesWholly) {
  testing::TempFolder dir;
  const std::string file = dir.Path("words.txt");
  ASSERT_TRUE(testing::WriteFileBytes(file, testing::Bytes{'x', '/', 'y', '\r', '\n', 'z'}));
  CSongData song;
  MakeEditSong(song, {{0, 120}, {240, 120}, {480, 120}});
  AddLyricLines(song, {{{0, 10, "old"}, {20, 10, "words"}}});
  ASSERT_EQ(song.ImportLyricText(file), 1);
  EXPECT_EQ(DescribeLyrics(song), "x@0+120 y@240+120 / z@480+120");
  EXPECT_EQ(song.tracks[2].text, "xyz");
  EXPECT_EQ(CheckSongInvariants(song), "");

  // Without lyrics a track is added for them.
  ASSERT_EQ(song.SetLyricTrack(0), 1);
  ASSERT_EQ(song.ImportLyricText(file), 1);
  EXPECT_EQ(song.lyricTrack, 3);
  EXPECT_EQ(CheckSongInvariants(song), "");

  // With no room for a lyric track, nothing changes: above all the conductor
  // track stays.
  CSongData full;
  MakeEditSong(full, {{0, 120}});
  while (full.InsertTrack(-1)) {
  }
  ASSERT_EQ(full.TrackCount(), kMaxInsertableTracks);
  ASSERT_EQ(full.SetLyricTrack(0), 1);
  full.unchanged = 1;
  auto before = EncodeVexoDataFile(full);
  EXPECT_EQ(full.ImportLyricText(file), 0);
  EXPECT_EQ(EncodeVexoDataFile(full), before);
  EXPECT_EQ(full.tracks[0].EventCount(), 3);
  EXPECT_EQ(full.unchanged, 1);
  EXPECT_EQ(CheckSongInvariants(full), "");
}

using Marks = std::vector<std::pair<uint32_t, uint8_t>>;

Marks MarksOf(const CSongData& song) {
  Marks marks;
  for (const auto& e : song.tracks[song.lyricTrack].events)
    if (e.kind == kKindImage)
      marks.emplace_back(e.tick, e.imageAction);
  return marks;
}

TEST(SongLyrics, AutoInsertLyricMarks) {
  using Lines = std::vector<std::vector<testing::SyllableAt>>;
  auto oneSyllableLines = [](std::vector<int32_t> ticks, int32_t duration) {
    Lines lines;
    for (int32_t t : ticks)
      lines.push_back({{t, duration}});
    return lines;
  };
  // 120 ticks per quarter at 600000: a tick is 5 ms, a measure 480 ticks.
  struct Row {
    const char* what;
    Lines lines;
    Marks expected;
  };
  const Row rows[] = {
      {"an intro of three measures", {{{1440, 100}, {1560, 100}}}, {{0, 3}, {480, 2}, {480, 0}}},
      {"no intro marks within three measures", {{{1439, 100}, {1560, 100}}}, {}},
      {"a long pause",
       oneSyllableLines({0, 480, 2500}, 100),
       {{580, 1}, {1060, 4}, {1540, 2}, {1540, 0}}},
      {"a pause a tick too short is no long pause",
       oneSyllableLines({0, 480, 2499}, 100),
       {{580, 0}}},
      {"short gaps: a mark every fourth line",
       oneSyllableLines({0, 10, 20, 30, 40, 50, 60, 70, 80}, 0),
       {{30, 0}, {70, 0}}},
      {"other gaps: a mark every second line",
       oneSyllableLines({0, 480, 960, 1440, 1920}, 100),
       {{580, 0}, {1540, 0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song);
    AddLyricLines(song, row.lines);
    EXPECT_EQ(song.AutoInsertLyricMarks(100, 5000, 2, 4),
              static_cast<int32_t>(row.expected.size()));
    EXPECT_EQ(MarksOf(song), row.expected);
    EXPECT_EQ(CheckSongInvariants(song), "");
    EXPECT_EQ(song.RemoveLyricMarks(), static_cast<int32_t>(row.expected.size()));
    EXPECT_TRUE(MarksOf(song).empty());
    EXPECT_EQ(CheckSongInvariants(song), "");
  }

  // A first syllable at index 0 (no line break before it) is found.
  CSongData song;
  MakeEditSong(song);
  song.InsertLyric(2, 1440, 100, "a");
  song.InsertLyric(2, 2000, 100, "b");
  EXPECT_EQ(song.AutoInsertLyricMarks(100, 5000, 2, 4), 3);
  EXPECT_EQ(MarksOf(song), (Marks{{0, 3}, {480, 2}, {480, 0}}));
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(SongLyrics, AlignLineBreaks) {
  struct Row {
    const char* what;
    std::vector<std::pair<int32_t, int32_t>> syllables; // tick, duration
    int32_t breakTick;                                  // a line break and next line here
    int32_t moved;
    uint32_t expected;
  };
  const Row rows[] = {
      {"no next syllable: at the end of the one before", {{0, 100}}, 1000, 2, 100},
      {"closer than a measure: at the end of the one before", {{0, 100}, {400, 50}}, 300, 2, 100},
      {"a break with the next syllable: at the end of the one before",
       {{0, 100}, {400, 50}},
       400,
       2,
       100},
      {"overlapping: at the next syllable", {{0, 500}, {400, 50}}, 300, 2, 400},
      {"a measure or more apart: a measure before the next", {{0, 100}, {2000, 50}}, 200, 2, 1520},
      {"already in place", {{0, 100}, {2000, 50}}, 1520, 0, 1520},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song);
    for (const auto& [tick, duration] : row.syllables)
      song.InsertLyric(2, tick, duration, "s");
    song.AddEvent(2, row.breakTick, 0, 0, 0, kKindLineBreak);
    song.AddEvent(2, row.breakTick, 0, 0, 0, kKindNextLine);
    const int16_t linesBefore = song.tracks[2].lineCount;
    EXPECT_EQ(song.AlignLineBreaks(), row.moved);
    for (const auto& e : song.tracks[2].events) {
      if (e.kind == kKindLineBreak || e.kind == kKindNextLine) {
        EXPECT_EQ(e.tick, row.expected);
      }
    }
    // Every line keeps its syllables.
    EXPECT_EQ(song.tracks[2].lineCount, linesBefore);
    EXPECT_EQ(song.tracks[2].events.back().kind,
              row.syllables.size() > 1 || row.breakTick < row.syllables.back().first
                  ? kKindSyllable
                  : kKindNextLine);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(SongLyrics, ImportTrackFromEitherVersion) {
  CSongData source;
  MakeEditSong(source, {{0, 120}, {240, 120}});
  AddLyricLines(source, {{{0, 120, "fro"}, {240, 120, "m"}}, {{480, 120, "file"}}});
  const std::string expected = DescribeLyrics(source);
  struct Row {
    const char* what;
    std::optional<std::vector<uint8_t>> (*encode)(const CSongData&);
    bool songHasLyrics;
    uint16_t target;
    int16_t lyricTrack;
  };
  const Row rows[] = {
      {"3.50 into the lyric track", EncodeVexoDataFile, true, 65535, 2},
      {"3.00 into the lyric track", EncodeVexoDataV300File, true, 65535, 2},
      {"3.50 into a new track", EncodeVexoDataFile, false, 65535, 3},
      {"3.50 into track 1", EncodeVexoDataFile, true, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto bytes = row.encode(source);
    ASSERT_TRUE(bytes);
    CSongData song;
    MakeEditSong(song, {{0, 60}});
    AddLyricLines(song, {{{0, 10, "old"}}});
    if (!row.songHasLyrics)
      song.SetLyricTrack(0);
    ASSERT_EQ(song.ImportTrackBytes(*bytes, row.target), 1);
    EXPECT_EQ(song.lyricTrack, row.lyricTrack);
    EXPECT_EQ(DescribeLyrics(song), expected);
    EXPECT_EQ(CheckSongInvariants(song), "");

    // A damaged file leaves the song as it was.
    song.unchanged = 1;
    auto before = EncodeVexoDataFile(song);
    std::vector<uint8_t> damaged(bytes->begin(), bytes->begin() + bytes->size() / 2);
    EXPECT_EQ(song.ImportTrackBytes(damaged, 65535), 0);
    EXPECT_EQ(EncodeVexoDataFile(song), before);
    EXPECT_EQ(song.unchanged, 1);
  }
}

TEST(SongLyrics, ImportTrackOfAKaraokeFileTakesItsLyricTrack) {
  const std::string kar = VEXO_TEST_SOURCE_DIR "/../../resources/demo/twinkle.kar";
  CSongData source;
  ASSERT_GT(source.LoadByKind(kar, kFileKaraoke), 0);
  for (bool songHasLyrics : {true, false}) {
    SCOPED_TRACE(songHasLyrics);
    CSongData song;
    MakeEditSong(song, {{0, 60}});
    AddLyricLines(song, {{{0, 10, "old"}}});
    if (!songHasLyrics)
      song.SetLyricTrack(0);
    const int16_t tracks = song.TrackCount();
    ASSERT_EQ(song.ImportTrack(kar, kFileKaraoke, 65535), 1);
    EXPECT_EQ(song.lyricTrack, songHasLyrics ? 2 : tracks);
    EXPECT_EQ(song.TrackCount(), songHasLyrics ? tracks : tracks + 1);
    EXPECT_EQ(song.tracks[song.lyricTrack].events.size(),
              source.tracks[source.lyricTrack].events.size());
    EXPECT_EQ(song.tracks[song.lyricTrack].text, source.tracks[source.lyricTrack].text);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
  // A file that is no karaoke file leaves the song as it was.
  CSongData song;
  MakeEditSong(song, {{0, 60}});
  song.unchanged = 1;
  EXPECT_EQ(song.ImportTrack(VEXO_TEST_SOURCE_DIR "/songlyrics_test.cpp", kFileKaraoke, 65535), 0);
  EXPECT_EQ(song.unchanged, 1);
}

} // namespace
} // namespace core
