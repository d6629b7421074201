// Writing the suite's own song files: golden bytes of tiny songs with the
// project's keys, and round trips of both versions.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/lzss/lzss.h"
#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/songfile_bytes.h"

namespace core {
namespace {

using testing::Append;
using testing::Bytes;
using testing::Field;
using testing::Text;
using testing::U16;
using testing::U32;

// One track with a tempo of 500000 at 0, 96 ticks per quarter, title "T".
void TinySong(CSongData& song) {
  song.Reset();
  song.loaded = 1;
  song.ticksPerQuarter = 96;
  song.title = "T";
  song.InsertTrack(-1);
  song.AddEvent(0, 0, 0, 0, 500000, kKindTempo);
  song.BuildTempoMaps(true);
}

Bytes TinyEventData() {
  Bytes d = U32(1);                                // one event
  Append(d, U32(6));                               // block length
  Append(d, {0x00, 0x00, 0x02, 0x20, 0xA1, 0x07}); // tempo 500000
  return d;
}

Bytes TinyV350(uint8_t packed, const Bytes& stored) {
  Bytes f = Text("VEXO DATA V3.50");
  f.push_back(0x1A);
  Append(f, U32(273));
  Append(f, Field("T", 48));
  Append(f, Bytes(6 * 32 + 4 + 2 + 2 + 2 + 4 + 16, 0));
  Append(f, U16(5000));
  f.push_back(packed);
  Append(f, U32(0)); // no keyword
  Append(f, U32(static_cast<uint32_t>(6 + 4 + 2 + 18 + stored.size())));
  Append(f, Text("CEVENT"));
  Append(f, U32(0));
  Append(f, U16(18)); // 16 + one port
  Append(f, U16(96));
  Append(f, U16(1));
  Append(f, U16(0));
  Append(f, U16(0));
  Append(f, U32(14));
  Append(f, U32(static_cast<uint32_t>(stored.size())));
  Append(f, U16(0));
  Append(f, stored);
  Append(f, U32(18));
  Append(f, Text("LYRICS"));
  Append(f, U32(0));
  Append(f, U32(0));
  Append(f, U32(0)); // the track's text size
  return f;
}

TEST(SongFileWrite, TinySongPlainV350GoldenBytes) {
  CSongData song;
  TinySong(song);
  auto bytes = EncodeVexoDataFile(song);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, TinyV350(0, TinyEventData()));
  EXPECT_EQ(bytes->size(), 367u);
}

TEST(SongFileWrite, TinySongPackedV350GoldenBytes) {
  // The LZSS stream of the tiny event data: a flag byte, then 01, the three
  // zeros as a reference into the zero-filled ring (position 4075, length
  // 3), 06, five zeros (position 4073, length 5), and the tempo's bytes.
  const Bytes stream = {0xF5, 0x01, 0xEB, 0xF0, 0x06, 0xE9, 0xF2, 0x02, 0x20, 0xA1, 0x07};
  LzssCodec codec;
  ASSERT_EQ(codec.Unpack(stream, 14), TinyEventData());
  Bytes stored = stream;
  for (size_t i = 0; i < stored.size(); ++i)
    stored[i] ^= testing::kTestEventKey[i % 24];

  CSongData song;
  TinySong(song);
  song.packed = 1;
  auto bytes = EncodeVexoDataFile(song);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, TinyV350(1, stored));
}

TEST(SongFileWrite, TinySongV300GoldenBytes) {
  CSongData song;
  TinySong(song);
  song.InsertTrack(-1);
  song.lyricTrack = 1;
  uint32_t la = *song.AddTrackText(1, "La");
  song.AddEvent(1, 0, 0, 0, 0, kKindLineBreak);
  song.AddEvent(1, 0, 40000, 0, la | 2u << 16, kKindSyllable);
  song.RebuildLyricLines(1);

  Bytes records = testing::LyricRecord(0, 0x00020000, 0, 17);
  Append(records, testing::LyricRecord(0, 0x00020000, 30000, 16)); // at most 30000 ticks
  const Bytes midi =
      testing::Smf(1, 96, {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}});
  Bytes packedRecords = testing::PackForFile(records, testing::kTestV300Key.data(), 20);
  Bytes packedMidi = testing::PackForFile(midi, testing::kTestV300Key.data(), 20);

  Bytes f = Text("VEXO DATA V3.00");
  f.push_back(0x1A);
  Append(f, U32(270));
  Append(f, Field("T", 48));
  Append(f, Bytes(6 * 32, 0));
  Append(f, U16(2));  // records
  Append(f, U16(2));  // text size
  Append(f, U16(11)); // record size
  Append(f, U16(0));  // melody track
  Append(f, U16(0));  // infoWord
  Append(f, U32(0));
  Append(f, Bytes(16, 0));
  Append(f, U32(1)); // no keyword: one zero byte
  f.push_back(0);
  Append(f, U32(static_cast<uint32_t>(packedRecords.size() + 4)));
  Append(f, U32(22));
  Append(f, packedRecords);
  Append(f, U32(2));
  Append(f, Text("La"));
  Append(f, U32(static_cast<uint32_t>(packedMidi.size() + 5)));
  f.push_back(0);
  Append(f, U32(static_cast<uint32_t>(midi.size())));
  Append(f, packedMidi);

  auto bytes = EncodeVexoDataV300File(song);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, f);
}

// Everything a song file keeps, for comparisons.
std::string State(const CSongData& s) {
  std::string out = s.title + "|" + s.lyricist + "|" + s.duzuvevi + "|" + s.singer + "|" +
                    s.arranger + "|" + s.lyricSync + "|" + s.description + "|" +
                    s.keyword.value_or("-") + "|" + std::to_string(s.infoWord) + "|" +
                    std::to_string(s.infoValue) + "|" + std::to_string(s.packed) + "|" +
                    std::to_string(s.ticksPerQuarter) + "|" + std::to_string(s.melodyTrack) + "|" +
                    std::to_string(s.lyricTrack) + "|" + std::to_string(s.endTick) + "|" +
                    std::to_string(s.endMs) + "\n";
  for (uint8_t n : s.imageNumbers)
    out += std::to_string(n) + ",";
  out += "\n";
  for (int t = 0; t < s.TrackCount(); ++t) {
    const Track& tr = s.tracks[t];
    out += "track " + std::to_string(t) + " port " + std::to_string(tr.port) + " text " + tr.text +
           " lines " + std::to_string(tr.lineCount) + "\n";
    for (const auto& e : tr.events) {
      out += std::to_string(e.tick) + " " + std::to_string(e.ms) + " " +
             std::to_string(e.duration) + " " + std::to_string(e.durationMs) + " " +
             std::to_string(e.kind) + " " + std::to_string(e.length) + " ";
      out += IsPoolKind(e.kind) ? std::string(s.PoolBytes(e)) : std::to_string(e.data);
      out += "\n";
    }
  }
  for (int w = 0; w < kWaveSlots; ++w)
    if (!s.waves[w].pcm.empty())
      out += "wave " + std::to_string(w) + " " + s.waves[w].name + " " +
             std::to_string(s.waves[w].format) + " " + std::to_string(s.waves[w].pcm.size()) + "\n";
  out += "bank " + std::to_string(s.bankNumber) + " " + std::to_string(s.bankSlotCount) + "\n";
  for (int b = 1; b < kBankSlots; ++b)
    if (s.bankSlots[b].flags)
      out += std::to_string(b) + " " + std::to_string(s.bankSlots[b].flags) + " " +
             s.bankSlots[b].path + " " +
             std::string(s.bankSlots[b].data.begin(), s.bankSlots[b].data.end()) + "\n";
  return out;
}

CSongData& FixtureSong(CSongData& song) {
  EXPECT_EQ(ReadVexoDataBytes(song, testing::V350File()), 1);
  return song;
}

TEST(SongFileWrite, V350RoundTripsPlainAndPacked) {
  for (uint8_t packed : {0, 1}) {
    SCOPED_TRACE(packed ? "packed" : "plain");
    CSongData song;
    FixtureSong(song);
    song.packed = packed;
    song.bankSlots[7].flags = kBankSlotUsed;
    song.bankSlots[7].data = {'B', 'K'};
    song.bankSlots[5].path = "C:\\banks\\bank.sf2"; // name only: written without its folder
    song.bankSlotCount = 2;
    auto first = EncodeVexoDataFile(song);
    ASSERT_TRUE(first);
    CSongData again;
    ASSERT_EQ(ReadVexoDataBytes(again, *first), 1);
    song.bankSlots[5].path = "bank.sf2";
    EXPECT_EQ(State(again), State(song));
    EXPECT_EQ(again.saveKind, packed ? 1030 : 1020);
    // The written file reads back to itself.
    EXPECT_EQ(EncodeVexoDataFile(again), first);
  }
}

TEST(SongFileWrite, OwnBankFileIsEmbedded) {
  testing::TempFolder dir;
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("mine.sf2"), {'S', 'F', '2'}));
  CSongData song;
  FixtureSong(song);
  song.bankSlots[8].flags = kBankSlotUsed | kBankSlotOwnFile;
  song.bankSlots[8].path = dir.Path("mine.sf2");
  auto bytes = EncodeVexoDataFile(song);
  ASSERT_TRUE(bytes);
  CSongData again;
  ASSERT_EQ(ReadVexoDataBytes(again, *bytes), 1);
  EXPECT_EQ(again.bankSlots[8].flags, kBankSlotUsed);
  EXPECT_EQ(again.bankSlots[8].data, (std::vector<uint8_t>{'S', 'F', '2'}));
  EXPECT_EQ(again.bankSlotCount, 2);

  // A bank file that cannot be read fails the save; nothing is written.
  song.bankSlots[8].path = dir.Path("gone.sf2");
  EXPECT_FALSE(EncodeVexoDataFile(song));
  EXPECT_EQ(WriteVexoDataFile(song, dir.Path("out.vx3")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out.vx3")));
}

bool MidiKinds(uint8_t kind) {
  return kind <= kKindKeySignature || (kind >= kKindSysEx && kind <= kKindOtherMeta) ||
         IsTextKind(kind);
}

bool LyricKinds(uint8_t kind) {
  return kind == kKindSyllable || kind == kKindLineBreak;
}

TEST(SongFileWrite, V350ToV300ToV350KeepsTracksAndLyrics) {
  CSongData song;
  FixtureSong(song);
  // Put the lyric track between the others: the older version gives it the
  // last place, and the melody track's index follows its track.
  std::swap(song.tracks[1], song.tracks[2]);
  song.lyricTrack = 1;
  song.melodyTrack = 2;
  auto old = EncodeVexoDataV300File(song);
  ASSERT_TRUE(old);
  CSongData mid;
  ASSERT_EQ(ReadVexoDataBytes(mid, *old), 1);
  EXPECT_EQ(mid.lyricTrack, 2);
  EXPECT_EQ(mid.melodyTrack, 1);
  EXPECT_EQ(mid.packed, 1);
  EXPECT_EQ(mid.saveKind, 1010);
  auto back = EncodeVexoDataFile(mid);
  ASSERT_TRUE(back);
  CSongData last;
  ASSERT_EQ(ReadVexoDataBytes(last, *back), 1);

  ASSERT_EQ(last.TrackCount(), 3);
  const std::pair<int, int> same[] = {{0, 0}, {2, 1}};
  for (auto [from, to] : same)
    EXPECT_EQ(testing::ToString(testing::Digest(last, to, MidiKinds)),
              testing::ToString(testing::Digest(song, from, MidiKinds)))
        << from;
  EXPECT_EQ(testing::ToString(testing::Digest(last, 2, LyricKinds)),
            testing::ToString(testing::Digest(song, 1, LyricKinds)));
  EXPECT_EQ(last.tracks[2].lineCount, 2);
  EXPECT_EQ(last.lyricTrack, 2);
  EXPECT_EQ(last.melodyTrack, 1);
  EXPECT_EQ(last.title, "Fixture");
  EXPECT_EQ(last.keyword, "hello");
  EXPECT_EQ(last.imageNumbers, song.imageNumbers);
  EXPECT_EQ(last.infoWord, 0x1234);
  EXPECT_EQ(last.bankSlots[5].path, "bank.sf2");
  ASSERT_EQ(last.tempoMap.size(), song.tempoMap.size());
  EXPECT_EQ(last.tempoMap[1].ms, song.tempoMap[1].ms);

  // A packed song read from the older version is written in it again.
  auto again = EncodeVexoDataV300File(mid);
  ASSERT_TRUE(again);
  CSongData second;
  ASSERT_EQ(ReadVexoDataBytes(second, *again), 1);
  EXPECT_EQ(State(second), State(mid));
}

// Every ticks per quarter the newer version holds survives the older one,
// whose MIDI part stores it in a header field that other files use for SMPTE
// time when its top bit is set.
TEST(SongFileWrite, AnyTicksPerQuarterSurvivesTheOlderVersion) {
  for (uint16_t division :
       {uint16_t{1}, uint16_t{0x7FFF}, uint16_t{0x8278}, uint16_t{0xE728}, uint16_t{0xFFFF}}) {
    SCOPED_TRACE(division);
    testing::V350Options o;
    o.ticksPerQuarter = division;
    CSongData song;
    ASSERT_EQ(ReadVexoDataBytes(song, testing::V350File(o)), 1);
    auto old = EncodeVexoDataV300File(song);
    ASSERT_TRUE(old);
    CSongData back;
    ASSERT_EQ(ReadVexoDataBytes(back, *old), 1);
    EXPECT_EQ(back.ticksPerQuarter, division);
    ASSERT_EQ(back.TrackCount(), 3);
    EXPECT_EQ(testing::ToString(testing::Digest(back, 1, MidiKinds)),
              testing::ToString(testing::Digest(song, 1, MidiKinds)));
    ASSERT_EQ(back.tempoMap.size(), song.tempoMap.size());
    EXPECT_EQ(back.tempoMap.back().ms, song.tempoMap.back().ms);
    EXPECT_EQ(EncodeVexoDataV300File(back), old);
  }
}

TEST(SongFileWrite, SongWithoutTempoKeepsItsTimingInTheOlderVersion) {
  CSongData song;
  song.loaded = 1;
  song.InsertTrack(-1);
  song.AddEvent(0, 120, 60, 0, 0x643C90, kKindChannel);
  song.BuildTempoMaps(true);
  song.ComputeEventTimes(0);
  ASSERT_EQ(song.tracks[0].events[0].ms, 600u); // 600000 per quarter
  auto old = EncodeVexoDataV300File(song);
  ASSERT_TRUE(old);
  CSongData again;
  ASSERT_EQ(ReadVexoDataBytes(again, *old), 1);
  EXPECT_EQ(again.tempoMap[0].usPerQuarter, 600000);
  EXPECT_EQ(again.tracks[0].events.back().ms, 600u);
}

} // namespace
} // namespace core
