#include <gtest/gtest.h>

#include "core/songdata.h"
#include "platform/sys/bytes.h"

namespace core {
namespace {

struct TempoAt {
  int32_t tick;
  uint32_t us;
};

// A loaded song with the given tracks; tempos go into track 0.
void MakeSong(CSongData& song, uint16_t tpq, int trackCount, std::vector<TempoAt> tempos = {}) {
  song.Reset();
  song.loaded = 1;
  song.ticksPerQuarter = tpq;
  song.tracks.resize(trackCount);
  for (const auto& t : tempos)
    song.AddEvent(0, t.tick, 0, 0, t.us, kKindTempo);
  song.BuildTempoMaps(false);
}

uint32_t TimeSignature(uint8_t numerator, uint8_t power) {
  return numerator | uint32_t{power} << 8 | 24u << 16 | 8u << 24;
}

TEST(SongEvent, LittleEndianLayoutOf24Bytes) {
  SongEvent e;
  e.tick = 0x01020304;
  e.ms = 5;
  e.duration = 0x0600;
  e.durationMs = 7;
  e.kind = kKindImage;
  e.imageAction = 3;
  e.length = 0x0102;
  e.data = 0xAABBCCDD;
  sys::ByteWriter w;
  WriteSongEvent(w, e);
  const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01, 5,    0,    0,    0,
                                         0x00, 0x06, 0,    0,    7,    0,    0,    0,
                                         19,   3,    0x02, 0x01, 0xDD, 0xCC, 0xBB, 0xAA};
  EXPECT_EQ(w.Data(), expected);
  sys::ByteReader r(expected.data(), expected.size());
  auto back = ReadSongEvent(r);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->tick, e.tick);
  EXPECT_EQ(back->duration, e.duration);
  EXPECT_EQ(back->imageAction, 3);
  EXPECT_EQ(back->length, 0x0102);
  EXPECT_EQ(back->data, e.data);
  sys::ByteReader shortInput(expected.data(), 23);
  EXPECT_FALSE(ReadSongEvent(shortInput));
}

TEST(SongTiming, ConversionsOverTheTempoMap) {
  struct Row {
    const char* name;
    uint16_t tpq;
    std::vector<TempoAt> tempos;
    int32_t tick;
    int32_t ms;
  };
  const Row rows[] = {
      {"no tempo event: 600000 per quarter", 120, {}, 120, 600},
      {"before the first change", 480, {{0, 500000}, {480, 250000}}, 240, 250},
      {"at a change: the previous segment", 480, {{0, 500000}, {480, 250000}}, 480, 500},
      {"after a change", 480, {{0, 500000}, {480, 250000}}, 960, 750},
      {"first tempo later extends back", 100, {{200, 1000000}}, 100, 1000},
  };
  for (const auto& row : rows) {
    CSongData song;
    MakeSong(song, row.tpq, 1, row.tempos);
    EXPECT_EQ(song.TickToMs(row.tick), row.ms) << row.name;
    EXPECT_EQ(song.MsToTick(row.ms), row.tick) << row.name;
  }
}

TEST(SongTiming, TruncatesOnceNotPerTempoSegment) {
  // 300 one-tick segments of a third of a millisecond each: truncating each
  // segment would lose all of them; the song keeps the exact sum.
  std::vector<TempoAt> tempos;
  for (int i = 0; i < 300; ++i)
    tempos.push_back({i, i % 2 ? 1001u : 1000u});
  CSongData song;
  MakeSong(song, 3, 1, tempos);
  ASSERT_EQ(song.tempoMap.size(), 300u); // more than 256 changes are all kept
  EXPECT_EQ(song.TickToMs(300), 100);    // (150 * 1000 + 150 * 1001) / 3000 = 100.05
  EXPECT_EQ(song.tempoMap[299].ms, 99);
  EXPECT_EQ(song.MsToTick(100), 299);
}

TEST(SongTiming, NeverDividesByZero) {
  CSongData song;
  MakeSong(song, 0, 1, {{0, 500000}});
  EXPECT_EQ(song.TickToMs(1000), 0);
  EXPECT_EQ(song.MsToTick(1000), 0);
  EXPECT_EQ(song.MeasureLenAt(100), 1);
  EXPECT_EQ(song.TickToMeasure(5), 5);
  uint16_t m, b, t;
  EXPECT_TRUE(song.TickToMeasureBeat(5, m, b, t));
  song.SetLyricShift(6);
  EXPECT_EQ(song.lyricShiftTicks, 0);

  // A tempo of 0 is no tempo: the map keeps the others.
  CSongData zero;
  MakeSong(zero, 120, 1, {{0, 0}, {120, 500000}});
  ASSERT_EQ(zero.tempoMap.size(), 1u);
  EXPECT_EQ(zero.tempoMap[0].tick, 120);
  EXPECT_EQ(zero.MsToTick(5000), 1200);
}

TEST(SongTiming, RepeatedTemposDroppedAfterSorting) {
  CSongData song;
  MakeSong(song, 480, 2);
  song.AddEvent(0, 0, 0, 0, 500000, kKindTempo);
  song.AddEvent(0, 960, 0, 0, 400000, kKindTempo);
  song.AddEvent(1, 480, 0, 0, 400000, kKindTempo);
  song.AddEvent(1, 1440, 0, 0, 400000, kKindTempo);
  song.BuildTempoMaps(true);
  ASSERT_EQ(song.tempoMap.size(), 2u);
  EXPECT_EQ(song.tempoMap[1].tick, 480);
  EXPECT_EQ(song.tempoMap[1].usPerQuarter, 400000);
  EXPECT_EQ(song.tempoMap[1].ms, 500);
  song.BuildTempoMaps(false); // track 0 only
  ASSERT_EQ(song.tempoMap.size(), 2u);
  EXPECT_EQ(song.tempoMap[1].tick, 960);
}

TEST(SongTiming, SignatureListsKeepTheFirstThirtyByTick) {
  CSongData song;
  MakeSong(song, 120, 1);
  for (int i = 31; i >= 1; --i)
    song.AddEvent(0, i * 480, 0, 0, TimeSignature(3, 2), kKindTimeSignature);
  song.AddEvent(0, 0, 0, 0, 0x0100u | 0xFEu, kKindKeySignature);
  song.BuildTempoMaps(false);
  ASSERT_EQ(song.timeSignatures.size(), kMaxSignatures);
  EXPECT_EQ(song.timeSignatures.front().tick, 480);
  EXPECT_EQ(song.timeSignatures.back().tick, 30 * 480);
  ASSERT_EQ(song.keySignatures.size(), 1u);
  EXPECT_EQ(song.keySignatures[0].data, 0x01FEu);
}

TEST(SongMeasures, ArithmeticAcrossAMeterChange) {
  CSongData song;
  MakeSong(song, 480, 1);
  song.AddEvent(0, 0, 0, 0, TimeSignature(4, 2), kKindTimeSignature);
  song.AddEvent(0, 3840, 0, 0, TimeSignature(3, 2), kKindTimeSignature);
  song.BuildTempoMaps(false);
  struct Row {
    int32_t tick;
    int32_t measure;
    int32_t length;
  };
  const Row rows[] = {{0, 0, 1920},    {1919, 0, 1920}, {3839, 1, 1920},
                      {3840, 2, 1440}, {5279, 2, 1440}, {5280, 3, 1440}};
  for (const auto& row : rows) {
    EXPECT_EQ(song.TickToMeasure(row.tick), row.measure) << row.tick;
    EXPECT_EQ(song.MeasureLenAt(row.tick), row.length) << row.tick;
  }
  EXPECT_EQ(song.MeasureToTick(3), 5280);
  EXPECT_EQ(song.MeasureToTick(1), 1920);
  EXPECT_EQ(song.MeasureBeatToTick(3, 1, 10), 5280 + 480 + 10);
}

TEST(SongMeasures, BeatCountsFromTheMeasureStart) {
  // 4/4, then 3/4 after one measure: tick 3360 opens measure 2 at beat 0
  // (3360 is not a multiple of the 3/4 measure length 1440).
  CSongData song;
  MakeSong(song, 480, 1);
  song.AddEvent(0, 1920, 0, 0, TimeSignature(3, 2), kKindTimeSignature);
  song.BuildTempoMaps(false);
  uint16_t m, b, t;
  song.TickToMeasureBeat(3360 + 480 + 7, m, b, t);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(t, 7);
}

TEST(SongMeasures, BrokenSignaturesMeasureLikeFourQuarters) {
  CSongData song;
  MakeSong(song, 120, 1);
  song.AddEvent(0, 0, 0, 0, TimeSignature(0, 2), kKindTimeSignature);
  song.AddEvent(0, 960, 0, 0, TimeSignature(4, 200), kKindTimeSignature);
  song.BuildTempoMaps(false);
  EXPECT_EQ(song.MeasureLenAt(0), 480);
  EXPECT_EQ(song.MeasureLenAt(960), 480);
  EXPECT_EQ(song.TickToMeasure(1440), 3);
  EXPECT_EQ(song.MeasureToTick(3), 1440);
  auto text = song.FormatEventText(0, 1);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->value1, "4/?");
}

TEST(SongOrder, SortIsStrictAndStable) {
  CSongData song;
  MakeSong(song, 120, 1);
  auto& events = song.tracks[0].events;
  const uint8_t kinds[] = {kKindSyllable,  kKindChannel, kKindNextLine,
                           kKindLineBreak, kKindText,    kKindNextLine};
  uint32_t n = 0;
  for (uint8_t k : kinds) {
    SongEvent e;
    e.tick = 10;
    e.kind = k;
    e.data = n++;
    events.push_back(e);
  }
  SongEvent early;
  early.kind = kKindSyllable;
  early.data = 99;
  events.push_back(early);
  song.SortTrack(0);
  std::vector<std::pair<uint8_t, uint32_t>> got;
  for (const auto& e : events)
    got.emplace_back(e.kind, e.data);
  const std::vector<std::pair<uint8_t, uint32_t>> want = {
      {kKindSyllable, 99}, {kKindLineBreak, 3}, {kKindNextLine, 2}, {kKindNextLine, 5},
      {kKindSyllable, 0},  {kKindChannel, 1},   {kKindText, 4}};
  EXPECT_EQ(got, want);
}

TEST(SongOrder, FindInsertIndexGoesAfterEqualEvents) {
  CSongData song;
  MakeSong(song, 120, 2);
  EXPECT_EQ(song.FindInsertIndex(1, 50, kKindSyllable), 0);
  for (uint8_t k : {kKindLineBreak, kKindNextLine, kKindSyllable})
    song.AddEvent(0, 0, 0, 0, 0, k);
  song.AddEvent(0, 10, 0, 0, 0, kKindSyllable);
  struct Row {
    int32_t tick;
    uint8_t kind;
    int32_t index;
  };
  const Row rows[] = {{0, kKindLineBreak, 1}, {0, kKindNextLine, 2},  {0, kKindSyllable, 3},
                      {0, kKindChannel, 3},   {5, kKindLineBreak, 3}, {10, kKindLineBreak, 3},
                      {10, kKindChannel, 4},  {99, kKindSyllable, 4}};
  for (const auto& row : rows)
    EXPECT_EQ(song.FindInsertIndex(0, row.tick, row.kind), row.index)
        << row.tick << " kind " << int(row.kind);
}

TEST(SongState, LyricShift) {
  struct Row {
    int16_t denominator;
    int16_t kept;
    int16_t ticks;
  };
  const Row rows[] = {{0, 0, 0}, {-5, 1, 480}, {6, 6, 80}, {1000, 1000, 0}};
  for (const auto& row : rows) {
    CSongData song;
    song.ticksPerQuarter = 480;
    song.SetLyricShift(row.denominator);
    EXPECT_EQ(song.lyricShiftDenominator, row.kept) << row.denominator;
    EXPECT_EQ(song.lyricShiftTicks, row.ticks) << row.denominator;
  }
}

TEST(SongState, TrackEndIsTheLatestEndOfAnyEvent) {
  CSongData song;
  MakeSong(song, 120, 3);
  song.AddEvent(0, 0, 1000, 0, 0x7F3C90, kKindChannel);
  song.AddEvent(0, 500, 10, 0, 0x7F3E90, kKindChannel);
  song.tracks[2].endOfTrackTick = 240;
  for (int16_t t = 0; t < 3; ++t)
    song.UpdateTrack(t);
  EXPECT_EQ(song.tracks[0].endTick, 1000);
  EXPECT_EQ(song.tracks[0].endMs, 5000);
  EXPECT_EQ(song.tracks[0].engineEventCount, 4);
  EXPECT_EQ(song.tracks[1].endTick, 0);
  EXPECT_EQ(song.tracks[1].endMs, 0);
  EXPECT_EQ(song.tracks[2].endTick, 240);
  EXPECT_EQ(song.endTick, 1000);
  EXPECT_EQ(song.endMs, 5000);
}

TEST(SongState, PoolFailureIsApartFromOffsetZero) {
  CSongData song;
  MakeSong(song, 120, 1);
  auto first = song.AddTrackText(0, "la");
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, 0u);
  EXPECT_EQ(song.AddTrackText(0, "li"), std::optional<uint32_t>(2));
  EXPECT_FALSE(song.AddTrackText(0, std::string(kTextPoolLimit, 'x')));
  EXPECT_FALSE(song.AddTrackText(5, "x"));
  EXPECT_EQ(song.tracks[0].text, "lali");

  auto pool = song.AddPoolBytes("ab", 2);
  ASSERT_TRUE(pool);
  EXPECT_EQ(*pool, 0u);
  EXPECT_EQ(song.AddPoolBytes(nullptr, 0), std::optional<uint32_t>(2));
}

TEST(SongLyrics, RebuildLinesBuildsTableAndLineFields) {
  CSongData song;
  MakeSong(song, 120, 2);
  auto syllable = [&](int32_t tick, const char* text) {
    uint32_t off = *song.AddTrackText(1, text);
    song.AddEvent(1, tick, 10, 0, off | static_cast<uint32_t>(strlen(text)) << 16, kKindSyllable);
  };
  syllable(0, "a");
  song.AddEvent(1, 100, 0, 0, 0, kKindLineBreak);
  song.AddEvent(1, 100, 0, 0, 0, kKindNextLine);
  syllable(110, "bc");
  syllable(120, "d");
  song.AddEvent(1, 200, 0, 0, 0, kKindLineBreak);
  song.AddEvent(1, 200, 0, 0, 0, kKindNextLine);
  syllable(200, "e");
  // A stale pool: the rebuild packs the texts in event order.
  song.tracks[1].text = "xx" + song.tracks[1].text;
  for (auto& e : song.tracks[1].events)
    if (e.kind == kKindSyllable)
      e.data += 2;
  ASSERT_EQ(song.RebuildLyricLines(1), 1);
  const Track& t = song.tracks[1];
  EXPECT_EQ(t.text, "abcde");
  EXPECT_EQ(t.lineCount, 2);
  EXPECT_EQ(t.lineTable[0], 0u | 1u << 16);
  EXPECT_EQ(t.lineTable[1], 1u | 3u << 16);
  EXPECT_EQ(t.lineTable[2], 4u | 1u << 16);
  struct Want {
    uint8_t kind;
    uint16_t line;
    uint32_t data;
  };
  const Want want[] = {{kKindSyllable, 0, 0 | 1u << 16},
                       {kKindLineBreak, 1, 1u | 3u << 16},
                       {kKindNextLine, 1, 4u | 1u << 16},
                       {kKindSyllable, 1, 1 | 2u << 16},
                       {kKindSyllable, 1, 3 | 1u << 16},
                       {kKindLineBreak, 2, 4u | 1u << 16},
                       {kKindNextLine, 2, 5},
                       {kKindSyllable, 2, 4 | 1u << 16}};
  ASSERT_EQ(t.events.size(), std::size(want));
  for (size_t i = 0; i < t.events.size(); ++i) {
    EXPECT_EQ(t.events[i].kind, want[i].kind) << i;
    EXPECT_EQ(t.events[i].length, want[i].line) << i;
    EXPECT_EQ(t.events[i].data, want[i].data) << i;
  }
  EXPECT_EQ(song.lyricsPresent, 1);
  std::string text;
  EXPECT_EQ(song.GetEventText(1, 3, text), 2);
  EXPECT_EQ(text, "bc");
  EXPECT_EQ(song.GetEventText(1, 1, text), 0);
}

TEST(SongLyrics, LinesBeyondTheTableAreNotRecorded) {
  CSongData song;
  MakeSong(song, 120, 1);
  for (int i = 0; i < 600; ++i) {
    song.AddEvent(0, i * 10, 0, 0, 0, kKindLineBreak);
    song.AddEvent(0, i * 10, 0, 0, 0, kKindNextLine);
    uint32_t off = *song.AddTrackText(0, "la");
    song.AddEvent(0, i * 10, 5, 0, off | 2u << 16, kKindSyllable);
  }
  ASSERT_EQ(song.RebuildLyricLines(0), 1);
  const Track& t = song.tracks[0];
  EXPECT_EQ(t.lineCount, kLineTableSize - 1);
  EXPECT_EQ(t.text.size(), 1200u);
  EXPECT_EQ(t.events.back().length, kLineTableSize - 1);
  EXPECT_EQ(t.lineTable[kLineTableSize - 1] >> 16, 2u * (600 - 510));
}

TEST(SongTracks, InsertAndDeleteMoveTheTrackIndexes) {
  CSongData song;
  MakeSong(song, 120, 4);
  song.melodyTrack = 3;
  song.lyricTrack = 2;
  song.lyricsPresent = 1;
  ASSERT_EQ(song.InsertTrack(1), 1);
  EXPECT_EQ(song.TrackCount(), 5);
  EXPECT_EQ(song.melodyTrack, 4);
  EXPECT_EQ(song.lyricTrack, 3);
  EXPECT_EQ(song.unchanged, 0);
  EXPECT_EQ(song.tracks[1].summary.program, 255);
  ASSERT_EQ(song.DeleteTrack(1), 1);
  EXPECT_EQ(song.melodyTrack, 3);
  EXPECT_EQ(song.lyricTrack, 2);
  ASSERT_EQ(song.DeleteTrack(2), 1);
  EXPECT_EQ(song.lyricTrack, 0);
  EXPECT_EQ(song.lyricsPresent, 0);
  EXPECT_EQ(song.melodyTrack, 2);
  EXPECT_EQ(song.DeleteTrack(3), 0);
  EXPECT_EQ(song.InsertTrack(-1), 1);
  EXPECT_EQ(song.TrackCount(), 4);

  song.tracks.resize(kMaxInsertableTracks);
  EXPECT_EQ(song.InsertTrack(-1), 0);
  CSongData empty;
  EXPECT_EQ(empty.InsertTrack(-1), 0);
}

TEST(SongState, ResetRestoresDefaults) {
  CSongData song;
  MakeSong(song, 480, 3, {{0, 400000}});
  song.saveKind = kSaveKaraoke;
  song.title = "t";
  song.packed = 1;
  song.infoValue = 1;
  song.imageNumbers[3] = 7;
  song.midiFormat = 0;
  song.Reset();
  EXPECT_EQ(song.saveKind, 0);
  EXPECT_EQ(song.loaded, 0);
  EXPECT_EQ(song.TrackCount(), 0);
  EXPECT_TRUE(song.title.empty());
  EXPECT_EQ(song.packed, 0);
  EXPECT_EQ(song.infoValue, 5000);
  EXPECT_EQ(song.imageNumbers[3], 0);
  EXPECT_EQ(song.midiFormat, 1);
  ASSERT_EQ(song.tempoMap.size(), 1u);
  EXPECT_EQ(song.tempoMap[0].usPerQuarter, 600000);
  ASSERT_EQ(song.timeSignatures.size(), 1u);
  EXPECT_EQ(song.timeSignatures[0].data & 0xFFFF, 0x0204u);
  EXPECT_EQ(song.waves.size(), static_cast<size_t>(kWaveSlots));
  EXPECT_EQ(song.waves[0].format, 0x11000000u | 11025);
}

TEST(SongFileKinds, ByExtension) {
  struct Row {
    const char* path;
    int kind;
  };
  const Row rows[] = {{"a.MID", kFileMidi},        {"dir/x.kar", kFileKaraoke},
                      {"y.vx3", kFileVx3},         {"z.Sb3", kFileSb3},
                      {"w.sw3", kFileSw3},         {"noext", kFileByExtension},
                      {"a.txt", kFileByExtension}, {"", kFileByExtension}};
  for (const auto& row : rows)
    EXPECT_EQ(GetSongFileKind(row.path), row.kind) << row.path;
  CSongData song;
  EXPECT_EQ(song.LoadByExtension("song.txt"), 0);
  EXPECT_EQ(song.LoadByKind("song.vx3", 4242), 0);
}

TEST(EventText, LabelsStayInsideTheirTables) {
  struct Row {
    uint8_t kind;
    uint32_t data;
    int typeIndex;
    const char* kindText;
    const char* value1;
  };
  const Row rows[] = {
      {kKindChannel, 0x643C91, 1, "Note", "C5"},
      {kKindChannel, 0x403D80, 0, "...", "61"},
      {kKindChannel, 0x00C8B2, 3, "Control", "Release Time"}, // controller 0xC8 read as 72
      {kKindChannel, 0x0000C0, 4, "Instrument", "Acoustic Grand"},
      {kKindChannel, 0x400000E3, 6, "Wheel", "-8192"},
      {kKindChannel, 0x000012, 0, "...", "0"}, // no channel status at all
      {kKindTimeSignature, TimeSignature(6, 3), 7, "Time Signature", "6/8"},
      {kKindTempo, 500000, 8, "Tempo", "500000"},
      {kKindKeySignature, 0x0001, 9, "Major", "1 Sharp (G) major"},
      {kKindKeySignature, 0x01FD, 9, "Minor", "3 Flats (C) minor"},
      {kKindKeySignature, 0xFF64, 9, "Major", "100"}, // out of every table
      {kKindSinger, 0xFF, 15, "Singer", "-1"},
      {72, 0, 0, "...", ""},
  };
  CSongData song;
  MakeSong(song, 120, 1);
  for (const auto& row : rows) {
    song.tracks[0].events.clear();
    SongEvent e;
    e.kind = row.kind;
    e.data = row.data;
    song.tracks[0].events.push_back(e);
    auto d = song.FormatEventText(0, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->typeIndex, row.typeIndex) << row.value1;
    EXPECT_EQ(d->kind, row.kindText) << row.value1;
    EXPECT_EQ(d->value1, row.value1);
  }
  EXPECT_FALSE(song.FormatEventText(0, 1));
  EXPECT_FALSE(song.FormatEventText(3, 0));
  EXPECT_EQ(EventTypeLabel(99), "...");
  EXPECT_EQ(EventTypeLabel(-1), "...");
}

TEST(EventText, PoolKindsOutsideThePoolGiveNoBytes) {
  CSongData song;
  MakeSong(song, 120, 1);
  SongEvent e;
  e.kind = kKindText;
  e.data = 1000;
  e.length = 20;
  EXPECT_TRUE(song.PoolBytes(e).empty());
  SongEvent syllable;
  syllable.kind = kKindSyllable;
  syllable.data = 5 | 100u << 16;
  song.tracks[0].text = "abcdefg";
  EXPECT_EQ(song.SyllableText(0, syllable), "fg");
  syllable.data = 50;
  EXPECT_TRUE(song.SyllableText(0, syllable).empty());
}

TEST(NoteNames, ParseEitherTable) {
  struct Row {
    const char* text;
    uint8_t note;
  };
  const Row rows[] = {{"C5", 60},   {"Db4", 49},   {"C#4", 49},  {"Bb0", 10}, {"c5", 60},
                      {"G10", 127}, {"G#10", 255}, {"H3", 255},  {"C", 255},  {"E#3", 255},
                      {"C5x", 255}, {"", 255},     {"F#-1", 255}};
  for (const auto& row : rows)
    EXPECT_EQ(ParseNoteName(row.text), row.note) << row.text;
  EXPECT_EQ(NoteName(60), "C5");
  EXPECT_EQ(NoteName(61), "Db5");
  EXPECT_EQ(ParseNoteName(NoteName(127)), 127);
}

TEST(EventTime, HoursMinutesSecondsAndMeasureBeat) {
  CSongData song;
  MakeSong(song, 120, 1);
  song.AddEvent(0, 0, 0, 0, 0, kKindText);
  song.tracks[0].events[0].ms = 3600000 + 2 * 60000 + 3 * 1000 + 4;
  uint16_t h, m, s, ms;
  ASSERT_TRUE(song.GetEventHmsMs(0, 0, h, m, s, ms));
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 2);
  EXPECT_EQ(s, 3);
  EXPECT_EQ(ms, 4);
  EXPECT_FALSE(song.GetEventHmsMs(0, 1, h, m, s, ms));
  song.AddEvent(0, 480 * 2 + 130, 0, 0, 0, kKindText);
  uint16_t measure, beat, tick;
  ASSERT_TRUE(song.GetEventMeasureBeat(0, 1, measure, beat, tick));
  EXPECT_EQ(measure, 2);
  EXPECT_EQ(beat, 1);
  EXPECT_EQ(tick, 10);
}

} // namespace
} // namespace core
