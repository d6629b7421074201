#include <gtest/gtest.h>

#include "core/messages.h"
#include "core/midifile.h"
#include "core/songdata.h"
#include "core/tests/support/midi_bytes.h"

namespace core {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::Chunk;

Bytes Header(uint16_t format, uint16_t chunks, uint16_t tpq) {
  return Chunk("MThd", {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                        static_cast<uint8_t>(chunks >> 8), static_cast<uint8_t>(chunks),
                        static_cast<uint8_t>(tpq >> 8), static_cast<uint8_t>(tpq)});
}

void MakeSong(CSongData& song, uint16_t tpq, int tracks) {
  song.Reset();
  song.loaded = 1;
  song.ticksPerQuarter = tpq;
  song.tracks.resize(tracks);
}

uint32_t PoolText(CSongData& song, const std::string& text) {
  return *song.AddPoolBytes(text.c_str(), text.size() + 1);
}

void AddText(CSongData& song, int16_t track, int32_t tick, const std::string& text,
             uint8_t kind = kKindText) {
  uint32_t off = PoolText(song, text);
  song.AddEvent(track, tick, 0, static_cast<uint16_t>(text.size() + 1), off, kind);
}

void AddSyllable(CSongData& song, int16_t track, int32_t tick, const std::string& text) {
  uint32_t off = *song.AddTrackText(track, text);
  song.AddEvent(track, tick, 20, 0, off | static_cast<uint32_t>(text.size()) << 16, kKindSyllable);
}

Bytes Encoded(const CSongData& song) {
  auto bytes = EncodeMidiFile(song);
  return bytes ? *bytes : Bytes{};
}

TEST(MidiWrite, EventsRunningStatusAndNoteOffs) {
  CSongData song;
  MakeSong(song, 96, 1);
  song.AddEvent(0, 0, 0, 0, 500000, kKindTempo);
  song.AddEvent(0, 0, 96, 0, 0x643C90, kKindChannel);
  song.AddEvent(0, 96, 96, 0, 0x643E90, kKindChannel);
  AddText(song, 0, 192, "x");
  song.AddEvent(0, 192, 0, 0, 0x6407B0, kKindChannel);
  song.AddEvent(0, 192, 0, 0, 0x0000C0 | 5u << 8, kKindChannel);
  Bytes want = Cat(
      {Header(1, 1, 96), Chunk("MTrk", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, // tempo
                                        0x00, 0x90, 0x3C, 0x64,                   // note on
                                        0x60, 0x3C, 0x00,            // its note-off, running status
                                        0x00, 0x3E, 0x64,            // next note, running status
                                        0x60, 0x3E, 0x00,            // its note-off
                                        0x00, 0xFF, 0x01, 0x01, 'x', // text clears running status
                                        0x00, 0xB0, 0x07, 0x64,      // status written again
                                        0x00, 0xC0, 0x05,            // one data byte
                                        0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(Encoded(song), want);
}

TEST(MidiWrite, MetaLengthsAreVariableLengthQuantities) {
  CSongData song;
  MakeSong(song, 96, 1);
  std::string text(200, 'a');
  AddText(song, 0, 0, text, kKindMarker);
  Bytes body = {0x00, 0xFF, 0x06, 0x81, 0x48};
  body.insert(body.end(), text.begin(), text.end());
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  EXPECT_EQ(Encoded(song), Cat({Header(1, 1, 96), Chunk("MTrk", body)}));
}

TEST(MidiWrite, EmptyTracksAreWrittenAndCounted) {
  CSongData song;
  MakeSong(song, 120, 2);
  song.midiFormat = 0;
  song.AddEvent(0, 0, 0, 0, 0x643C90, kKindChannel);
  Bytes want =
      Cat({Header(1, 2, 120), // two chunks are never format 0
           Chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}),
           Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(Encoded(song), want);
  song.tracks.resize(1);
  EXPECT_EQ(Encoded(song)[9], 0); // one chunk keeps the format read
}

TEST(MidiWrite, AnEventOutOfOrderMovesNoLaterEvent) {
  CSongData song;
  MakeSong(song, 96, 1);
  for (auto [tick, text] : {std::pair{100, "a"}, {50, "b"}, {200, "c"}}) {
    SongEvent e;
    e.tick = static_cast<uint32_t>(tick);
    e.kind = kKindText;
    e.data = PoolText(song, text);
    e.length = 2;
    song.tracks[0].events.push_back(e);
  }
  song.UpdateTrack(0);
  Bytes want = Cat({Header(1, 1, 96), Chunk("MTrk", {0x64, 0xFF, 0x01, 0x01, 'a', //
                                                     0x00, 0xFF, 0x01, 0x01, 'b', //
                                                     0x64, 0xFF, 0x01, 0x01, 'c', //
                                                     0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(Encoded(song), want);
}

TEST(MidiWrite, EventsWithoutFileFormMoveNoDelta) {
  CSongData song;
  MakeSong(song, 96, 1);
  AddSyllable(song, 0, 0, "a");
  AddText(song, 0, 50, "@D", kKindImage);
  song.AddEvent(0, 60, 0, 0, 3, kKindWave);
  song.AddEvent(0, 70, 0, 0, 1, kKindSinger);
  AddSyllable(song, 0, 100, "b");
  song.tracks[0].endOfTrackTick = 300;
  song.UpdateTrack(0);
  Bytes want = Cat({Header(1, 1, 96), Chunk("MTrk", {0x00, 0xFF, 0x01, 0x01, 'a',      //
                                                     0x64, 0xFF, 0x01, 0x01, 'b',      //
                                                     0x81, 0x48, 0xFF, 0x2F, 0x00})}); // end at 300
  EXPECT_EQ(Encoded(song), want);
}

TEST(MidiWrite, StoredMetaEventsAreWrittenValid) {
  CSongData song;
  MakeSong(song, 96, 1);
  auto raw = [&](const std::string& bytes, uint8_t kind) {
    uint32_t off = *song.AddPoolBytes(bytes.data(), bytes.size());
    song.AddEvent(0, 0, 0, static_cast<uint16_t>(bytes.size()), off, kind);
  };
  raw(std::string("\xFF\x7F\x02\x41\x42", 5), kKindSeqSpecific);
  raw(std::string("\xFF\x21\x05\x01", 4), kKindOtherMeta); // length says more than is stored
  raw(std::string("\xFF\x2F\x00", 3), kKindOtherMeta);     // never an end inside the track
  raw(std::string("\x12\x34", 2), kKindOtherMeta);         // no meta event at all
  raw(std::string("\xF0\x7E\xF7", 3), kKindSysEx);
  raw(std::string("\x90\x01", 2), kKindSysEx); // no system exclusive status
  Bytes want = Cat({Header(1, 1, 96), Chunk("MTrk", {0x00, 0xFF, 0x7F, 0x02, 0x41, 0x42, //
                                                     0x00, 0xFF, 0x21, 0x01, 0x01,       //
                                                     0x00, 0xF0, 0x02, 0x7E, 0xF7,       //
                                                     0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(Encoded(song), want);
}

TEST(KaraokeWrite, ChunkLayout) {
  CSongData song;
  MakeSong(song, 96, 3);
  song.title = "T";
  song.lyricTrack = 2;
  song.lyricsPresent = 1;
  song.AddEvent(0, 0, 0, 0, 500000, kKindTempo);
  song.AddEvent(1, 0, 48, 0, 0x643C90, kKindChannel);
  song.AddEvent(2, 0, 0, 0, 0, kKindLineBreak);
  song.AddEvent(2, 0, 0, 0, 0, kKindNextLine);
  AddSyllable(song, 2, 0, "Hel");
  AddSyllable(song, 2, 48, "lo");
  song.RebuildLyricLines(2);
  auto bytes = EncodeKaraokeMidiFile(song);
  ASSERT_TRUE(bytes);
  Bytes second = Cat({testing::TextEvent(3, "Soft karaoke"),
                      testing::TextEvent(1, "@KMIDI KARAOKE FILE"),
                      {0x00, 0x90, 0x3C, 0x64, 0x30, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}});
  Bytes third = Cat({testing::TextEvent(1, "@LENGL"),
                     testing::TextEvent(1, "@TT"),
                     testing::TextEvent(1, "/Hel"),
                     testing::TextEvent(1, "lo", 48),
                     {0x14, 0xFF, 0x2F, 0x00}}); // the last syllable's end
  Bytes want =
      Cat({Header(1, 3, 96),
           Chunk("MTrk", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}),
           Chunk("MTrk", second), Chunk("MTrk", third)});
  EXPECT_EQ(*bytes, want);

  CSongData again;
  ASSERT_EQ(ReadKaraokeBytes(again, *bytes), 1);
  EXPECT_EQ(again.title, "T");
  EXPECT_EQ(again.TrackCount(), 3);
  EXPECT_EQ(again.lyricTrack, 2);
  EXPECT_TRUE(again.tracks[1].events.size() == 1 && again.tracks[1].events[0].kind == 0);
  auto twice = EncodeKaraokeMidiFile(again);
  ASSERT_TRUE(twice);
  EXPECT_EQ(*twice, *bytes);
}

TEST(KaraokeWrite, SyllablesWithMarkCharactersReadBack) {
  CSongData song;
  Bytes words = Cat({testing::TextEvent(1, "\\@home"), testing::TextEvent(1, "//x", 10),
                     testing::TextEvent(1, "\\\\y", 10), testing::TextEvent(1, "\\", 10),
                     testing::TextEvent(1, "z", 10)});
  Bytes file = testing::Smf(1, 96,
                            {{0x00, 0xFF, 0x2F, 0x00},
                             {0x00, 0xFF, 0x2F, 0x00},
                             Cat({words, Bytes{0x00, 0xFF, 0x2F, 0x00}})});
  ASSERT_EQ(ReadKaraokeBytes(song, file), 1);
  auto first = EncodeKaraokeMidiFile(song);
  ASSERT_TRUE(first);
  CSongData again;
  ASSERT_EQ(ReadKaraokeBytes(again, *first), 1);
  const Track& a = song.tracks[song.lyricTrack];
  const Track& b = again.tracks[again.lyricTrack];
  EXPECT_EQ(b.text, "@home/x\\yz");
  EXPECT_EQ(a.text, b.text);
  EXPECT_EQ(a.events.size(), b.events.size());
  EXPECT_EQ(*EncodeKaraokeMidiFile(again), *first);
}

TEST(MidiWrite, Refusals) {
  CSongData song;
  EXPECT_FALSE(EncodeMidiFile(song));
  EXPECT_FALSE(EncodeKaraokeMidiFile(song));
  MakeSong(song, 96, 1);
  song.packed = 1;
  ClearLastMessage();
  testing::TempFolder dir;
  EXPECT_EQ(WriteMidiFile(song, dir.Path("p.mid")), 0);
  EXPECT_EQ(LastMessage(), kMsgPackedSong);
  song.packed = 0;
  int32_t size = WriteMidiFile(song, dir.Path("p.mid"));
  EXPECT_EQ(size, 14 + 12);
  EXPECT_EQ(testing::ReadFileBytes(dir.Path("p.mid")), Encoded(song));
  EXPECT_EQ(WriteMidiFile(song, dir.Path("no/such/folder.mid")), 0);
}

TEST(SongSave, AsksAndRecordsTheSaveKind) {
  testing::TempFolder dir;
  std::vector<int> asked;
  bool answer = false;
  SetMessageHandlers(nullptr, [&](int id, std::string_view) {
    asked.push_back(id);
    return answer;
  });
  CSongData song;
  MakeSong(song, 96, 2);
  song.lyricTrack = 1;
  song.lyricsPresent = 1;
  song.unchanged = 0;
  EXPECT_EQ(song.SaveByKind(dir.Path("a.mid"), kSaveMidi), 0);
  EXPECT_EQ(asked, std::vector<int>{kMsgMidiDropsLyrics});
  EXPECT_EQ(song.saveKind, 0);
  answer = true;
  EXPECT_GT(song.SaveByKind(dir.Path("a.kar"), kSaveKaraoke), 0);
  EXPECT_EQ(song.saveKind, kSaveKaraoke);
  EXPECT_EQ(song.unchanged, 1);
  EXPECT_EQ(song.path, dir.Path("a.kar"));
  asked.clear();
  song.lyricsPresent = 0;
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("b.mid"), {1}));
  EXPECT_GT(song.SaveByKind(dir.Path("b.mid"), kSaveMidi), 0);
  EXPECT_EQ(asked, std::vector<int>{kMsgOverwriteFile});
  // A kind that saves nothing changes nothing.
  song.unchanged = 0;
  EXPECT_EQ(song.SaveByKind(dir.Path("c.xyz"), 4242), 0);
  EXPECT_EQ(song.saveKind, kSaveMidi);
  EXPECT_EQ(song.unchanged, 0);
  SetMessageHandlers(nullptr, nullptr);
}

} // namespace
} // namespace core
