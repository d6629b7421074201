// Reading the suite's own song files: hand-built files of both versions read
// to an exact state, and damaged files fail with a reset song.
#include <gtest/gtest.h>

#include <functional>

#include "core/messages.h"
#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/songfile_bytes.h"

namespace core {
namespace {

using testing::Bytes;
using testing::V300Options;
using testing::V350Options;

struct Ev {
  uint32_t tick, ms, duration, durationMs;
  uint8_t kind;
  uint16_t length;
  uint32_t data;
};

void ExpectEvents(const CSongData& song, int track, const std::vector<Ev>& want) {
  SCOPED_TRACE("track " + std::to_string(track));
  const auto& events = song.tracks[track].events;
  ASSERT_EQ(events.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("event " + std::to_string(i));
    const SongEvent& e = events[i];
    EXPECT_EQ(e.tick, want[i].tick);
    EXPECT_EQ(e.ms, want[i].ms);
    EXPECT_EQ(e.duration, want[i].duration);
    EXPECT_EQ(e.durationMs, want[i].durationMs);
    EXPECT_EQ(e.kind, want[i].kind);
    EXPECT_EQ(e.length, want[i].length);
    EXPECT_EQ(e.data, want[i].data);
    EXPECT_EQ(e.imageAction, 0);
  }
}

std::string Pool(const CSongData& song, uint32_t offset, size_t size) {
  return std::string(reinterpret_cast<const char*>(song.dataPool.data()) + offset, size);
}

TEST(SongFileRead, HandBuiltV350ReadsToAnExactState) {
  CSongData song;
  ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File(), "fixture.vx3"), 1);

  EXPECT_EQ(song.loaded, 1);
  EXPECT_EQ(song.unchanged, 1);
  EXPECT_EQ(song.preparedForPlay, 0);
  EXPECT_EQ(song.saveKind, 1020);
  EXPECT_EQ(song.lyricsPresent, 1);
  EXPECT_EQ(song.path, "fixture.vx3");
  EXPECT_EQ(song.title, "Fixture");
  EXPECT_EQ(song.lyricist, "Lyr");
  EXPECT_EQ(song.duzuvevi, "Comp");
  EXPECT_EQ(song.singer, "Sing");
  EXPECT_EQ(song.arranger, "Arr");
  EXPECT_EQ(song.lyricSync, "Sync");
  EXPECT_EQ(song.description, "Desc");
  EXPECT_EQ(song.keyword, "hello");
  EXPECT_EQ(song.infoWord, 0x1234);
  EXPECT_EQ(song.infoValue, 4321);
  EXPECT_EQ(song.packed, 0);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(song.imageNumbers[i], i + 1);

  EXPECT_EQ(song.ticksPerQuarter, 120);
  ASSERT_EQ(song.TrackCount(), 3);
  EXPECT_EQ(song.melodyTrack, 1);
  EXPECT_EQ(song.lyricTrack, 2);
  EXPECT_EQ(song.tracks[0].port, 0);
  EXPECT_EQ(song.tracks[1].port, 1);
  EXPECT_EQ(song.tracks[2].port, 0);

  ASSERT_EQ(song.tempoMap.size(), 2u);
  EXPECT_EQ(song.tempoMap[0].usPerQuarter, 500000);
  EXPECT_EQ(song.tempoMap[1].tick, 240);
  EXPECT_EQ(song.tempoMap[1].usPerQuarter, 250000);
  EXPECT_EQ(song.tempoMap[1].ms, 1000);
  ASSERT_EQ(song.timeSignatures.size(), 1u);
  EXPECT_EQ(song.timeSignatures[0].data, 0x08180203u);
  ASSERT_EQ(song.keySignatures.size(), 1u);
  EXPECT_EQ(song.keySignatures[0].data, 0x01FEu);
  EXPECT_EQ(song.initialBank[0], 2);
  for (int c = 1; c < 16; ++c)
    EXPECT_EQ(song.initialBank[c], 0);

  ExpectEvents(song, 0,
               {{0, 0, 0, 0, 2, 0, 500000},
                {0, 0, 0, 0, 1, 0, 0x08180203},
                {0, 0, 0, 0, 3, 0, 0x01FE},
                {240, 1000, 0, 0, 2, 0, 250000}});
  ExpectEvents(song, 1,
               {{0, 0, 0, 0, 67, 6, 0},
                {0, 0, 0, 0, 0, 0, 0x0200B0},
                {0, 0, 0, 0, 0, 0, 0x15C0},
                {0, 0, 96, 400, 0, 0, 0x643C90},
                {96, 400, 0, 0, 13, 3, 6},
                {96, 400, 0, 0, 12, 7, 3},
                {96, 400, 0, 0, 20, 0, 0xFFFFFFFE}});
  // Line fields as the section gives them: breaks count the lines, next-line
  // events name the line after theirs, syllables stay 0.
  ExpectEvents(song, 2,
               {{0, 0, 0, 0, 17, 1, 0x00050000},
                {0, 0, 0, 0, 18, 2, 0x00050005},
                {0, 0, 60, 250, 16, 0, 0x00030000},
                {60, 250, 60, 250, 16, 0, 0x00020003},
                {120, 500, 0, 0, 17, 2, 0x00050005},
                {120, 500, 0, 0, 18, 3, 10},
                {120, 500, 128, 516, 16, 0, 0x00050005},
                {248, 1016, 0, 0, 19, 4, 9}});
  ASSERT_EQ(song.dataPool.size(), 13u);
  EXPECT_EQ(Pool(song, 0, 6), std::string("Piano\0", 6));
  EXPECT_EQ(Pool(song, 6, 3), "\xF0\x7E\xF7");
  EXPECT_EQ(Pool(song, 9, 4), std::string("IMG\0", 4));

  const Track& lyric = song.tracks[2];
  EXPECT_EQ(lyric.text, "Helloworld");
  EXPECT_EQ(lyric.lineCount, 2);
  EXPECT_EQ(lyric.lineTable[0], 0u);
  EXPECT_EQ(lyric.lineTable[1], 0x00050000u);
  EXPECT_EQ(lyric.lineTable[2], 0x00050005u);
  EXPECT_EQ(song.SyllableText(2, lyric.events[6]), "world");
  EXPECT_TRUE(song.tracks[0].text.empty());

  EXPECT_EQ(song.tracks[0].endTick, 240);
  EXPECT_EQ(song.tracks[0].endMs, 1000);
  EXPECT_EQ(song.tracks[1].endTick, 96);
  EXPECT_EQ(song.tracks[1].engineEventCount, 8);
  EXPECT_EQ(song.tracks[1].summary.name, "Piano");
  EXPECT_EQ(song.tracks[1].summary.program, 21);
  EXPECT_EQ(song.tracks[1].summary.volume, 255);
  EXPECT_EQ(song.tracks[2].endTick, 248);
  EXPECT_EQ(song.endTick, 248);
  EXPECT_EQ(song.endMs, 1016);

  for (int w = 0; w < kWaveSlots; ++w) {
    if (w == 3)
      continue;
    EXPECT_TRUE(song.waves[w].pcm.empty()) << w;
  }
  EXPECT_EQ(song.waves[3].name, "Clap");
  EXPECT_EQ(song.waves[3].pcm, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(song.waves[3].format, 22050u | 1u << 24 | 2u << 28);

  EXPECT_EQ(song.bankSlotCount, 1);
  EXPECT_EQ(song.bankNumber, 255);
  for (int s = 1; s < kBankSlots; ++s) {
    if (s == 5)
      continue;
    EXPECT_EQ(song.bankSlots[s].flags, 0) << s;
  }
  EXPECT_EQ(song.bankSlots[5].path, "bank.sf2");
  EXPECT_EQ(song.bankSlots[5].flags, kBankSlotUsed | kBankSlotOwnFile | kBankSlotNameOnly);
  EXPECT_TRUE(song.bankSlots[5].data.empty());
}

TEST(SongFileRead, PackedEventSectionReadsLikeThePlainOne) {
  CSongData plain, packed;
  ASSERT_EQ(ReadVexoDataBytes(plain, testing::V350File()), 1);
  V350Options o;
  o.packed = 1;
  ASSERT_EQ(ReadVexoDataBytes(packed, testing::V350File(o)), 1);
  EXPECT_EQ(packed.packed, 1);
  EXPECT_EQ(packed.saveKind, 1030);
  for (int t = 0; t < 3; ++t)
    EXPECT_EQ(testing::ToString(testing::Digest(packed, t, nullptr)),
              testing::ToString(testing::Digest(plain, t, nullptr)));
}

// The information chunk gives each later field only when it really holds it.
TEST(SongFileRead, InformationFieldsOnlyFromALongEnoughChunk) {
  struct Row {
    uint32_t infoSize;
    bool images, value, packedFlag;
  };
  const Row rows[] = {{240, false, false, false}, {258, false, false, false},
                      {259, false, false, false}, {269, false, false, false},
                      {270, true, false, false},  {272, true, true, false},
                      {273, true, true, true},    {300, true, true, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.infoSize);
    V350Options o;
    o.infoSize = row.infoSize;
    o.packed = 1;
    if (!row.packedFlag)
      o.packed = 0; // a chunk without the flag holds plain event data
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File(o)), 1);
    EXPECT_EQ(song.imageNumbers[0], row.images ? 1 : 0);
    EXPECT_EQ(song.imageNumbers[15], row.images ? 16 : 0);
    EXPECT_EQ(song.infoValue, row.value ? 4321 : kDefaultInfoValue);
    EXPECT_EQ(song.packed, row.packedFlag ? 1 : 0);
    EXPECT_EQ(song.description, "Desc");
    EXPECT_EQ(song.keyword, "hello");
    EXPECT_EQ(song.TrackCount(), 3);
  }
}

TEST(SongFileRead, HeaderAndWalkEdgeCases) {
  struct Row {
    const char* name;
    std::function<void(V350Options&)> change;
    std::function<void(const CSongData&)> check;
  };
  const Row rows[] = {
      {"byte 15 holds any value", [](V350Options& o) { o.byte15 = 0x00; },
       [](const CSongData& s) { EXPECT_EQ(s.TrackCount(), 3); }},
      {"a title and keyword that look like section names",
       [](V350Options& o) {
         o.title = "CEVENTLYRICS";
         o.keyword = "SFBANKVXWAVE";
       },
       [](const CSongData& s) {
         EXPECT_EQ(s.title, "CEVENTLYRICS");
         EXPECT_EQ(s.TrackCount(), 3);
         EXPECT_EQ(s.waves[3].name, "Clap");
       }},
      {"no ports", [](V350Options& o) { o.ports.clear(); },
       [](const CSongData& s) { EXPECT_EQ(s.tracks[1].port, 0); }},
      {"a 48-byte title has no terminating zero",
       [](V350Options& o) { o.title = std::string(48, 'T'); },
       [](const CSongData& s) { EXPECT_EQ(s.title, std::string(48, 'T')); }},
      {"no keyword", [](V350Options& o) { o.keyword.clear(); },
       [](const CSongData& s) { EXPECT_FALSE(s.keyword.has_value()); }},
      {"no LYRICS, SFBANK or VXWAVE", [](V350Options& o) { o.lyrics = o.bank = o.waves = false; },
       [](const CSongData& s) {
         EXPECT_TRUE(s.tracks[2].text.empty());
         EXPECT_EQ(s.bankSlotCount, 0);
         EXPECT_TRUE(s.waves[3].pcm.empty());
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    V350Options o;
    row.change(o);
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File(o)), 1);
    row.check(song);
  }
}

Bytes Patched(Bytes b, size_t at, uint8_t value) {
  b.at(at) = value;
  return b;
}

// Positions in the fixture's event data: the counts, then track 0's block
// length at 12 and its events from 16; track 1's block from 45.
constexpr size_t kTrack0Length = 12;
constexpr size_t kTrack0FirstKind = 18;
constexpr size_t kTrack1BankStatus = 58;

TEST(SongFileRead, DamagedFilesGiveZeroAndAResetSong) {
  struct Row {
    const char* name;
    std::function<Bytes()> file;
  };
  auto with = [](std::function<void(V350Options&)> change) {
    return [change] {
      V350Options o;
      change(o);
      return testing::V350File(o);
    };
  };
  auto cut = [](size_t size) {
    return [size] {
      Bytes b = testing::V350File();
      b.resize(size);
      return b;
    };
  };
  const size_t whole = testing::V350File().size();
  const Row rows[] = {
      {"cut inside the information chunk", cut(100)},
      {"cut inside the keyword", cut(296)},
      {"cut inside CEVENT", cut(400)},
      {"cut inside the last section", cut(whole - 2)},
      {"information chunk past the end",
       [] {
         Bytes b = testing::V350File();
         b[18] = 0x10; // N = 273 + 0x100000
         return b;
       }},
      {"a piece of a chunk after the last section",
       [] {
         Bytes b = testing::V350File();
         b.push_back(0);
         return b;
       }},
      {"no event section",
       [] {
         Bytes b = testing::V350File();
         std::string text(b.begin(), b.end());
         b[text.find("CEVENT")] = 'X';
         return b;
       }},
      {"fields past the section", with([](V350Options& o) { o.fieldsSize = 0xFFFF; })},
      {"fields size below 16", with([](V350Options& o) { o.fieldsSize = 15; })},
      {"no ticks per quarter", with([](V350Options& o) { o.ticksPerQuarter = 0; })},
      {"too many tracks", with([](V350Options& o) { o.trackCount = 260; })},
      {"lyric track beyond the tracks", with([](V350Options& o) { o.lyric = 3; })},
      {"melody track beyond the tracks", with([](V350Options& o) { o.melody = 3; })},
      {"plain data shorter than stated", with([](V350Options& o) { o.unpackedSize = 1000; })},
      {"stored size past the section", with([](V350Options& o) { o.storedSize = 100000; })},
      {"packed size no stream can give", with([](V350Options& o) {
         o.packed = 1;
         o.unpackedSize = 0x7FFFFFFF;
       })},
      {"packed stream gives less than stated", with([](V350Options& o) {
         o.packed = 1;
         o.unpackedSize = static_cast<uint32_t>(testing::FixtureEventData().size() + 1);
       })},
      {"event count beyond the data",
       with([](V350Options& o) { o.events = Patched(o.events, 3, 0x40); })},
      {"track block past the data",
       with([](V350Options& o) { o.events = Patched(o.events, kTrack0Length, 0xF0); })},
      {"track block ends inside an event",
       with([](V350Options& o) { o.events = Patched(o.events, kTrack0Length, 24); })},
      {"unknown event kind",
       with([](V350Options& o) { o.events = Patched(o.events, kTrack0FirstKind, 5); })},
      {"channel event without a channel status",
       with([](V350Options& o) { o.events = Patched(o.events, kTrack1BankStatus, 0x40); })},
      {"bank slot 0", with([](V350Options& o) { o.bankSlot = 0; })},
      {"bank slot 128", with([](V350Options& o) { o.bankSlot = 128; })},
      {"wave slot 256", with([](V350Options& o) { o.waveSlot = 256; })},
      {"more waves than the section holds", with([](V350Options& o) { o.waveCount = 2; })},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File()), 1);
    EXPECT_EQ(ReadVexoDataBytes(song, row.file(), "damaged.vx3"), 0);
    EXPECT_EQ(song.loaded, 0);
    EXPECT_EQ(song.TrackCount(), 0);
    EXPECT_TRUE(song.title.empty());
    EXPECT_TRUE(song.path.empty());
    EXPECT_TRUE(song.dataPool.empty());
    EXPECT_TRUE(song.waves[3].pcm.empty());
    EXPECT_EQ(song.bankSlots[5].flags, 0);
    EXPECT_EQ(song.imageNumbers[0], 0);
  }
}

TEST(SongFileRead, MagicDecidesTheVersion) {
  testing::TempFolder dir;
  CSongData song;
  ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File()), 1);

  // Neither magic: reset, message 11934.
  Bytes other = testing::V350File();
  other[14] = '4';
  ClearLastMessage();
  EXPECT_EQ(ReadVexoDataBytes(song, other), 0);
  EXPECT_EQ(LastMessage(), kMsgNotSongFile);
  EXPECT_EQ(song.loaded, 0);
  EXPECT_EQ(ReadVexoDataBytes(song, Bytes{'V', 'E', 'X', 'O'}), 0);

  // The file functions: a missing file or the other version's magic leaves
  // the song as it was.
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("a.sw3"), testing::V350File()));
  ASSERT_EQ(song.LoadByKind(dir.Path("a.sw3"), kFileSw3), 1);
  EXPECT_EQ(song.path, dir.Path("a.sw3"));
  EXPECT_EQ(ReadVexoDataV300File(song, dir.Path("a.sw3")), 0);
  EXPECT_EQ(TestVexoDataHeader(song, dir.Path("missing.vx3")), 0);
  EXPECT_EQ(TestVexoDataHeader(song, ""), 0);
  EXPECT_EQ(song.loaded, 1);
  EXPECT_EQ(song.TrackCount(), 3);
  // The extension names no version: a ".vx3" file holding a MIDI file is no
  // song file.
  ASSERT_TRUE(
      testing::WriteFileBytes(dir.Path("m.vx3"), testing::Smf(0, 96, {{0, 0xFF, 0x2F, 0}})));
  ClearLastMessage();
  EXPECT_EQ(song.LoadByKind(dir.Path("m.vx3"), kFileVx3), 0);
  EXPECT_EQ(LastMessage(), kMsgNotSongFile);
  EXPECT_EQ(song.loaded, 0);
  ASSERT_EQ(song.LoadByExtension(dir.Path("a.sw3")), 1);
  EXPECT_EQ(song.TrackCount(), 3);
}

Bytes OldSongMidi() {
  return testing::Smf(
      1, 120,
      {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00},
       {0x00, 0xC0, 0x15, 0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}});
}

V300Options OldSong() {
  V300Options o;
  o.midi = OldSongMidi();
  o.text = "Helloworld";
  using testing::LyricRecord;
  for (const Bytes& r : {LyricRecord(0, 0x00050000, 0, 17), LyricRecord(0, 0x00050005, 0, 18),
                         LyricRecord(0, 0x00030000, 60, 16), LyricRecord(60, 0x00020003, 60, 16),
                         LyricRecord(120, 0x00050005, 0, 17), LyricRecord(120, 10, 0, 18),
                         LyricRecord(120, 0x00050005, 40000, 16), LyricRecord(248, 0, 0, 19)})
    testing::Append(o.records, r);
  o.bank = true;
  return o;
}

TEST(SongFileRead, HandBuiltV300ReadsToAnExactState) {
  CSongData song;
  ASSERT_EQ(ReadVexoDataBytes(song, testing::V300File(OldSong()), "old.sb3"), 1);
  EXPECT_EQ(song.loaded, 1);
  EXPECT_EQ(song.unchanged, 1);
  EXPECT_EQ(song.saveKind, 1010);
  EXPECT_EQ(song.packed, 1);
  EXPECT_EQ(song.lyricsPresent, 1);
  EXPECT_EQ(song.path, "old.sb3");
  EXPECT_EQ(song.title, "Old");
  EXPECT_EQ(song.description, "Desc");
  EXPECT_FALSE(song.keyword.has_value());
  EXPECT_EQ(song.infoWord, 0x0102);
  EXPECT_EQ(song.infoValue, kDefaultInfoValue);
  EXPECT_EQ(song.imageNumbers[0], 7);
  EXPECT_EQ(song.imageNumbers[15], 7);
  ASSERT_EQ(song.TrackCount(), 3);
  EXPECT_EQ(song.melodyTrack, 1);
  EXPECT_EQ(song.lyricTrack, 2);
  EXPECT_EQ(song.ticksPerQuarter, 120);
  ExpectEvents(song, 1, {{0, 0, 0, 0, 0, 0, 0x15C0}, {0, 0, 96, 400, 0, 0, 0x643C90}});
  // The lyric track after its lines were rebuilt.
  ExpectEvents(song, 2,
               {{0, 0, 0, 0, 17, 1, 0x00050000},
                {0, 0, 0, 0, 18, 1, 0x00050005},
                {0, 0, 60, 250, 16, 1, 0x00030000},
                {60, 250, 60, 250, 16, 1, 0x00020003},
                {120, 500, 0, 0, 17, 2, 0x00050005},
                {120, 500, 0, 0, 18, 2, 10},
                {120, 500, 40000, 166666, 16, 2, 0x00050005},
                {248, 1033, 0, 0, 19, 0, 0}});
  EXPECT_EQ(song.tracks[2].text, "Helloworld");
  EXPECT_EQ(song.tracks[2].lineCount, 2);
  EXPECT_EQ(song.bankSlotCount, 1);
  EXPECT_EQ(song.bankSlots[9].flags, kBankSlotUsed);
  EXPECT_EQ(song.bankSlots[9].data, (std::vector<uint8_t>{'S', 'F'}));
}

// The MIDI part holds the song's ticks per quarter as it was written: a value
// with the top bit set is no SMPTE time there, and the song file is read.
TEST(SongFileRead, V300MidiPartDivisionIsTicksPerQuarter) {
  for (uint16_t division : {uint16_t{0x8278}, uint16_t{0xE728}, uint16_t{0xFFFF}}) {
    SCOPED_TRACE(division);
    V300Options o = OldSong();
    o.midi = OldSongMidi();
    o.midi[12] = static_cast<uint8_t>(division >> 8);
    o.midi[13] = static_cast<uint8_t>(division);
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V300File(o)), 1);
    EXPECT_EQ(song.ticksPerQuarter, division);
    ASSERT_EQ(song.tempoMap.size(), 1u);
    EXPECT_EQ(song.tempoMap[0].usPerQuarter, 500000);
    ASSERT_EQ(song.TrackCount(), 3);
    ASSERT_EQ(song.tracks[1].EventCount(), 2);
    EXPECT_EQ(song.tracks[1].events[1].duration, 96u);
  }
}

TEST(SongFileRead, DamagedV300FilesGiveZeroAndAResetSong) {
  struct Row {
    const char* name;
    std::function<void(V300Options&)> change;
  };
  const Row rows[] = {
      {"record size not a multiple of 11", [](V300Options& o) { o.recordSize = 87; }},
      {"records larger than the stream gives", [](V300Options& o) { o.recordSize = 99; }},
      {"MIDI part no stream can give", [](V300Options& o) { o.midiSize = 0x7FFFFFFF; }},
      {"MIDI part that is no MIDI file",
       [](V300Options& o) {
         o.midi = {'R', 'I', 'F', 'F'};
       }},
      {"melody track beyond the tracks", [](V300Options& o) { o.melody = 2; }},
      {"a record of another kind",
       [](V300Options& o) { testing::Append(o.records, testing::LyricRecord(0, 0, 0, 20)); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    V300Options o = OldSong();
    row.change(o);
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File()), 1);
    EXPECT_EQ(ReadVexoDataBytes(song, testing::V300File(o)), 0);
    EXPECT_EQ(song.loaded, 0);
    EXPECT_EQ(song.TrackCount(), 0);
    EXPECT_TRUE(song.title.empty());
    EXPECT_EQ(song.bankSlotCount, 0);
  }
  // Cut anywhere, the file is damaged.
  Bytes whole = testing::V300File(OldSong());
  for (size_t size = 16; size < whole.size(); size += 7) {
    CSongData song;
    Bytes cut(whole.begin(), whole.begin() + static_cast<long>(size));
    EXPECT_EQ(ReadVexoDataBytes(song, cut), 0) << size;
    EXPECT_EQ(song.TrackCount(), 0) << size;
  }
}

} // namespace
} // namespace core
