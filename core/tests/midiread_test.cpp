#include <gtest/gtest.h>

#include <functional>

#include "core/messages.h"
#include "core/midifile.h"
#include "core/songdata.h"
#include "core/tests/support/midi_bytes.h"
#include "core/trackwalk.h"

namespace core {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::Chunk;
using testing::Smf;
using testing::TextEvent;

constexpr uint8_t kEot[] = {0x00, 0xFF, 0x2F, 0x00};
Bytes WithEot(Bytes body) {
  body.insert(body.end(), std::begin(kEot), std::end(kEot));
  return body;
}

// The channel events of a track as "tick:status,d1,d2/duration".
std::string Notes(const CSongData& song, int track) {
  std::string s;
  if (!song.HasTrack(track))
    return "no track";
  for (const auto& e : song.tracks[track].events) {
    if (e.kind != kKindChannel)
      continue;
    char b[64];
    std::snprintf(b, sizeof b, "%s%u:%02X,%u,%u/%u", s.empty() ? "" : " ", e.tick, e.Status(),
                  e.Data1(), e.Data2(), e.duration);
    s += b;
  }
  return s;
}

int32_t Walked(const CSongData& song, int16_t track) {
  return TransmitTrack(song, track, [](int16_t, int32_t, int32_t, bool) {});
}

struct ReadRow {
  const char* name;
  Bytes file;
  int message; // 0: the file loads
  std::function<void(const CSongData&)> check;
};

TEST(MidiRead, HandBuiltFiles) {
  const ReadRow rows[] = {
      {"running status and a velocity-0 note-off",
       Smf(0, 96, {WithEot({0x00, 0x90, 0x3C, 0x64, 0x10, 0x3E, 0x64, 0x10, 0x3C, 0x00, 0x10, 0x80,
                            0x3E, 0x40})}),
       0,
       [](const CSongData& s) {
         EXPECT_EQ(Notes(s, 0), "0:90,60,100/32 16:90,62,100/32");
         EXPECT_EQ(s.midiFormat, 0);
         EXPECT_EQ(s.saveKind, kFileMidi);
       }},
      {"overlapping notes of one key: the first note-off ends the older",
       Smf(1, 96, {WithEot({0x00, 0x90, 0x3C, 0x64, 0x10, 0x90, 0x3C, 0x50, 0x10, 0x80, 0x3C, 0x00,
                            0x40, 0x80, 0x3C, 0x00})}),
       0, [](const CSongData& s) { EXPECT_EQ(Notes(s, 0), "0:90,60,100/32 16:90,60,80/80"); }},
      {"a hanging note lasts to the end of its track and is counted",
       Smf(1, 96, {Cat({{0x00, 0x91, 0x3C, 0x64}, TextEvent(1, "x", 0x60), {0x20, 0xFF, 0x2F, 0x00}})}),
       0,
       [](const CSongData& s) {
         EXPECT_EQ(Notes(s, 0), "0:91,60,100/128");
         EXPECT_EQ(s.tracks[0].endTick, 128);
         EXPECT_EQ(s.tracks[0].engineEventCount, 4); // tempo, note, text, the note's end
         EXPECT_EQ(Walked(s, 0), 4);
       }},
      {"a note-off that ends no note is dropped",
       Smf(1, 96, {WithEot({0x00, 0x80, 0x3C, 0x00, 0x00, 0x90, 0x3D, 0x64, 0x10, 0x81, 0x3D,
                            0x00, 0x10, 0x80, 0x3D, 0x00})}),
       0,
       [](const CSongData& s) {
         EXPECT_EQ(Notes(s, 0), "0:90,61,100/32");
         EXPECT_EQ(s.tracks[0].engineEventCount, 3);
       }},
      {"system exclusive F0 and F7",
       Smf(1, 96, {WithEot({0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x05, 0xF7, 0x02, 0x01, 0x02})}), 0,
       [](const CSongData& s) {
         const auto& ev = s.tracks[0].events;
         ASSERT_EQ(ev.size(), 3u);
         EXPECT_EQ(ev[1].kind, kKindSysEx);
         EXPECT_EQ(s.PoolBytes(ev[1]), std::string("\xF0\x7E\x7F\xF7", 4));
         EXPECT_EQ(ev[2].kind, kKindSysEx);
         EXPECT_EQ(ev[2].tick, 5u);
         EXPECT_EQ(s.PoolBytes(ev[2]), std::string("\xF7\x01\x02", 3));
       }},
      {"every text meta, the timing metas and other metas",
       Smf(1, 96,
           {Cat({TextEvent(1, "text"), TextEvent(2, "(c)"), TextEvent(3, "Piano"),
                 TextEvent(4, "inst"), TextEvent(5, "lyr"), TextEvent(6, "mark"),
                 TextEvent(7, "cue"),
                 {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x06, 0x03,
                  0x18, 0x08, 0x00, 0xFF, 0x59, 0x02, 0xFD, 0x01, 0x00, 0xFF, 0x7F, 0x02, 0x41,
                  0x42, 0x00, 0xFF, 0x21, 0x01, 0x02, 0x00, 0xFF, 0x58, 0x02, 0x03, 0x02},
                 Bytes(std::begin(kEot), std::end(kEot))})}),
       0,
       [](const CSongData& s) {
         const auto& ev = s.tracks[0].events;
         ASSERT_EQ(ev.size(), 13u);
         const char* texts[] = {"text", "(c)", "Piano", "inst", "lyr", "mark", "cue"};
         for (int i = 0; i < 7; ++i) {
           EXPECT_EQ(ev[i].kind, kKindText + i);
           EXPECT_EQ(s.PoolText(ev[i]), texts[i]);
           EXPECT_EQ(ev[i].length, strlen(texts[i]) + 1);
         }
         EXPECT_EQ(ev[7].kind, kKindTempo);
         EXPECT_EQ(ev[7].data, 500000u);
         EXPECT_EQ(ev[8].kind, kKindTimeSignature);
         EXPECT_EQ(ev[8].data, 0x08180306u);
         EXPECT_EQ(ev[9].kind, kKindKeySignature);
         EXPECT_EQ(ev[9].data, 0x01FDu);
         EXPECT_EQ(ev[10].kind, kKindSeqSpecific);
         EXPECT_EQ(s.PoolBytes(ev[10]), std::string("\xFF\x7F\x02\x41\x42", 5));
         EXPECT_EQ(ev[11].kind, kKindOtherMeta);
         EXPECT_EQ(s.PoolBytes(ev[11]), std::string("\xFF\x21\x01\x02", 4));
         EXPECT_EQ(ev[12].kind, kKindTimeSignature); // a short one gets the usual clocks
         EXPECT_EQ(ev[12].data, 0x08180203u);
         EXPECT_EQ(s.tracks[0].summary.name, "Piano");
         EXPECT_EQ(s.tempoMap.size(), 1u); // the file's own tempo at 0, no default added
         EXPECT_EQ(s.keySignatures[0].data, 0x01FDu);
       }},
      {"an empty track chunk",
       Smf(1, 96, {WithEot({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}), {}}), 0,
       [](const CSongData& s) {
         ASSERT_EQ(s.TrackCount(), 2);
         EXPECT_TRUE(s.tracks[1].events.empty());
         EXPECT_EQ(s.tracks[1].endTick, 0);
         EXPECT_EQ(s.tracks[1].engineEventCount, 0);
         EXPECT_EQ(s.endMs, 500);
       }},
      {"a header longer than six bytes",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x01, 0x00, 0x78, 0xAA, 0xBB}),
            Chunk("MTrk", WithEot({0x00, 0x90, 0x3C, 0x64}))}),
       0,
       [](const CSongData& s) {
         EXPECT_EQ(s.ticksPerQuarter, 120);
         EXPECT_EQ(Notes(s, 0), "0:90,60,100/0");
       }},
      {"an unknown chunk is skipped",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x01, 0x00, 0x60}), Chunk("Junk", {1, 2, 3, 4, 5}),
            Chunk("MTrk", WithEot({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}))}),
       0, [](const CSongData& s) { EXPECT_EQ(Notes(s, 0), "0:90,60,100/96"); }},
      {"a truncated track keeps what it holds",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x02, 0x00, 0x60}),
            Bytes{'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x64, 0x00, 0x90, 0x3C, 0x64, 0x10, 0x80,
                  0x3C}}),
       0,
       [](const CSongData& s) {
         ASSERT_EQ(s.TrackCount(), 1);
         EXPECT_EQ(Notes(s, 0), "0:90,60,100/16");
       }},
      {"more chunks than the header declares",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x01, 0x00, 0x60}),
            Chunk("MTrk", WithEot({0x00, 0x90, 0x3C, 0x64})),
            Chunk("MTrk", WithEot({0x00, 0x90, 0x3E, 0x64}))}),
       0, [](const CSongData& s) { EXPECT_EQ(s.TrackCount(), 1); }},
      {"an SMPTE division becomes ticks per quarter at a fixed tempo",
       Smf(1, 0xE728, // 25 frames per second, 40 ticks per frame
           {WithEot({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x90, 0x3C, 0x64, 0x87, 0x68,
                     0x80, 0x3C, 0x00})}),
       0,
       [](const CSongData& s) {
         EXPECT_EQ(s.ticksPerQuarter, 1000);
         ASSERT_EQ(s.tempoMap.size(), 1u);
         EXPECT_EQ(s.tempoMap[0].usPerQuarter, 1000000);
         EXPECT_EQ(s.endMs, 1000); // 1000 ticks at 1000 ticks per second
         EXPECT_EQ(s.TickToMs(500), 500);
       }},
      {"no tempo event: 120 beats per minute",
       Smf(1, 480, {WithEot({0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00})}), 0,
       [](const CSongData& s) {
         ASSERT_EQ(s.tempoMap.size(), 1u);
         EXPECT_EQ(s.tempoMap[0].usPerQuarter, kMidiDefaultTempo);
         EXPECT_EQ(s.endMs, 500);
         EXPECT_EQ(s.tracks[0].events[0].kind, kKindTempo);
       }},
      {"a first tempo after the start: 120 beats per minute before it",
       Smf(1, 480,
           {WithEot({0x83, 0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x83, 0x60, 0x90, 0x3C, 0x64})}),
       0,
       [](const CSongData& s) {
         ASSERT_EQ(s.tempoMap.size(), 2u);
         EXPECT_EQ(s.tempoMap[1].tick, 480);
         EXPECT_EQ(s.tempoMap[1].ms, 500);
         EXPECT_EQ(s.TickToMs(960), 1500);
       }},
      {"the first bank select of each channel",
       Smf(1, 96, {WithEot({0x00, 0xB1, 0x00, 0x05, 0x00, 0x00, 0x07, 0x00, 0xB3, 0x00, 0x02})}), 0,
       [](const CSongData& s) {
         EXPECT_EQ(s.initialBank[1], 5);
         EXPECT_EQ(s.initialBank[3], 2);
         EXPECT_EQ(s.initialBank[0], 0);
       }},
      {"system common bytes are passed over; running status survives a sysex",
       Smf(0, 96, {WithEot({0x00, 0xF1, 0x7F, 0x00, 0xF2, 0x7F, 0x7F, 0x00, 0xF8, 0x00, 0x90, 0x3C,
                            0x64, 0x00, 0xF0, 0x01, 0xF7, 0x10, 0x3C, 0x00})}),
       0, [](const CSongData& s) { EXPECT_EQ(Notes(s, 0), "0:90,60,100/16"); }},
      {"a delta of five bytes ends the track",
       Smf(0, 96, {{0x00, 0x90, 0x3C, 0x64, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x80, 0x3C, 0x00}}), 0,
       [](const CSongData& s) { EXPECT_EQ(Notes(s, 0), "0:90,60,100/0"); }},
      {"a four-byte delta", Smf(0, 96, {WithEot({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64})}), 0,
       [](const CSongData& s) { EXPECT_EQ(Notes(s, 0), "268435455:90,60,100/0"); }},
      {"events a file cannot hold are read as the nearest sound ones or dropped",
       Smf(1, 96, {WithEot({0x00, 0xFF, 0x59, 0x02, 0x64, 0xFF,   // 100 sharps, mode 255
                            0x00, 0xF0, 0x02, 0x81, 0xF7,         // 8-bit system exclusive
                            0x00, 0xFF, 0x21, 0x00,               // port without its byte
                            0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})}), // short tempo
       0,
       [](const CSongData& s) {
         const auto& ev = s.tracks[0].events;
         ASSERT_EQ(ev.size(), 2u);
         EXPECT_EQ(ev[0].data, static_cast<uint32_t>(kMidiDefaultTempo));
         EXPECT_EQ(ev[1].kind, kKindKeySignature);
         EXPECT_EQ(ev[1].data, 0x0007u);
       }},
      {"wrong magic", Cat({Bytes{'R', 'I', 'F', 'F'}, Smf(1, 96, {WithEot({})})}),
       kMsgNotMidiFile, nullptr},
      {"an empty file", {}, kMsgNotMidiFile, nullptr},
      {"a header shorter than six bytes", Chunk("MThd", {0x00, 0x01, 0x00, 0x01}), kMsgNotMidiFile,
       nullptr},
      {"more than 259 tracks", Cat({Chunk("MThd", {0x00, 0x01, 0x01, 0x04, 0x00, 0x60})}),
       kMsgTooManyTracks, nullptr},
      {"no track chunk where one is declared",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x01, 0x00, 0x60}), Bytes{0x01, 0x02, 0x03}}),
       kMsgBadTrackChunk, nullptr},
      {"a chunk that is no chunk",
       Cat({Chunk("MThd", {0x00, 0x01, 0x00, 0x01, 0x00, 0x60}), Chunk("\x01\x02\x03\x04", {})}),
       kMsgBadTrackChunk, nullptr},
      {"an SMPTE division of no known frame rate", Smf(1, 0xEC28, {WithEot({})}), kMsgNotMidiFile,
       nullptr},
      {"ticks per quarter 0", Smf(1, 0, {WithEot({})}), kMsgNotMidiFile, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CSongData song;
    song.title = "left from before";
    ClearLastMessage();
    int ok = ReadMidiBytes(song, row.file, "fixture.mid");
    if (row.message) {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(LastMessage(), row.message);
      EXPECT_EQ(song.loaded, 0);
      EXPECT_EQ(song.TrackCount(), 0);
      EXPECT_TRUE(song.title.empty());
      continue;
    }
    ASSERT_EQ(ok, 1);
    EXPECT_EQ(LastMessage(), 0);
    EXPECT_EQ(song.loaded, 1);
    EXPECT_EQ(song.unchanged, 1);
    EXPECT_EQ(song.path, "fixture.mid");
    for (int16_t t = 0; t < song.TrackCount(); ++t)
      EXPECT_EQ(Walked(song, t), song.CountEngineEvents(t)) << "track " << t;
    if (row.check)
      row.check(song);
  }
}

TEST(MidiRead, TrackEndIsTheEndOfTrackEvent) {
  CSongData song;
  ASSERT_EQ(ReadMidiBytes(song, Smf(1, 480,
                                    {{0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x87,
                                      0x40, 0xFF, 0x2F, 0x00}})),
            1);
  EXPECT_EQ(song.tracks[0].endOfTrackTick, 480 + 960);
  EXPECT_EQ(song.endTick, 1440);
  EXPECT_EQ(song.endMs, 1500);
}

TEST(MidiRead, FilesAndSaveKind) {
  testing::TempFolder dir;
  CSongData song;
  song.loaded = 1;
  song.title = "kept";
  EXPECT_EQ(ReadMidiFile(song, dir.Path("missing.mid")), 0);
  EXPECT_EQ(song.title, "kept"); // a file that cannot be opened leaves the song alone
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("a.mid"), Smf(1, 96, {WithEot({})})));
  EXPECT_EQ(song.LoadByExtension(dir.Path("a.mid")), 1);
  EXPECT_EQ(song.saveKind, kFileMidi);
  EXPECT_EQ(song.path, dir.Path("a.mid"));
  song.Reset();
  EXPECT_EQ(song.saveKind, 0);
}

Bytes KaraokeFile(const Bytes& words, const std::vector<Bytes>& more = {}) {
  std::vector<Bytes> tracks = {
      WithEot({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}),
      WithEot(Cat({TextEvent(3, "Soft Karaoke"), TextEvent(1, "@KMIDI KARAOKE FILE"),
                   TextEvent(1, "@V0100")})),
      WithEot(words)};
  tracks.insert(tracks.end(), more.begin(), more.end());
  return Smf(1, 96, tracks);
}

// The lyric track as "tick:kind[:text]" per event.
std::string Lyrics(const CSongData& song) {
  std::string s;
  if (!song.HasTrack(song.lyricTrack))
    return "no lyric track";
  for (const auto& e : song.tracks[song.lyricTrack].events) {
    s += (s.empty() ? "" : " ") + std::to_string(e.tick) + ":" + std::to_string(e.kind);
    if (e.kind == kKindSyllable)
      s += ":" + std::string(song.SyllableText(song.lyricTrack, e));
  }
  return s;
}

TEST(KaraokeRead, TextPrefixes) {
  Bytes words = Cat({TextEvent(3, "Words"), TextEvent(1, "@LENGL"), TextEvent(1, "@THello"),
                     TextEvent(1, "@TSecond"), TextEvent(1, "\\Hel"), TextEvent(1, "lo", 96),
                     TextEvent(1, "/Wor", 96), TextEvent(1, "ld", 48), TextEvent(1, "/", 144),
                     TextEvent(1, "end", 16), TextEvent(1, "\\", 100)});
  CSongData song;
  ASSERT_EQ(ReadKaraokeBytes(song, KaraokeFile(words, {WithEot({0x00, 0x90, 0x3C, 0x64})})), 1);
  EXPECT_EQ(song.title, "Hello");
  EXPECT_EQ(song.saveKind, kFileKaraoke);
  EXPECT_EQ(song.lyricsPresent, 1);
  EXPECT_EQ(song.unchanged, 1);
  // Words track deleted: the lyric track appended after the four tracks moves down.
  ASSERT_EQ(song.TrackCount(), 4);
  EXPECT_EQ(song.lyricTrack, 3);
  EXPECT_EQ(Notes(song, 2), "0:90,60,100/0");
  EXPECT_EQ(Lyrics(song), "0:17 0:18 0:16:Hel 96:16:lo 192:17 192:18 192:16:Wor 240:16:ld "
                          "384:17 384:18 400:16:end 500:17 500:18 500:16:");
  const Track& lyric = song.tracks[song.lyricTrack];
  EXPECT_EQ(lyric.text, "HelloWorldend");
  EXPECT_EQ(lyric.lineCount, 4);
  EXPECT_EQ(lyric.lineTable[1], 0u | 5u << 16);
  EXPECT_EQ(lyric.lineTable[2], 5u | 5u << 16);
  EXPECT_EQ(lyric.lineTable[3], 10u | 3u << 16);
  EXPECT_EQ(lyric.events[2].duration, 20u);
  EXPECT_EQ(lyric.events[2].ms, 0u);
  EXPECT_EQ(lyric.events[3].ms, 500u);
  // The karaoke writer's own header events are gone from the second track.
  for (const auto& e : song.tracks[1].events) {
    EXPECT_NE(song.PoolText(e), "Soft Karaoke");
    EXPECT_NE(song.PoolText(e), "@KMIDI KARAOKE FILE");
  }
  EXPECT_EQ(song.tracks[1].events.size(), 1u); // "@V0100" stays
}

TEST(KaraokeRead, WithoutTitleAndWithFewTracks) {
  CSongData song;
  ASSERT_EQ(ReadKaraokeBytes(song, KaraokeFile(Cat({TextEvent(1, "la")}))), 1);
  EXPECT_TRUE(song.title.empty());
  EXPECT_EQ(Lyrics(song), "0:16:la");

  CSongData plain;
  ASSERT_EQ(ReadKaraokeBytes(plain, Smf(1, 96, {WithEot({}), WithEot(TextEvent(1, "@Tx"))})), 1);
  EXPECT_EQ(plain.saveKind, kFileMidi);
  EXPECT_EQ(plain.lyricsPresent, 0);
  EXPECT_EQ(plain.TrackCount(), 2);
  EXPECT_TRUE(plain.title.empty());
}

TEST(KaraokeRead, AWordsTrackThatSoundsKeepsItsSound) {
  Bytes words = Cat({TextEvent(3, "Chords"),
                     TextEvent(1, "\\la"),
                     {0x00, 0x90, 0x30, 0x40, 0x60, 0x80, 0x30, 0x00},
                     TextEvent(1, "li")});
  CSongData song;
  ASSERT_EQ(ReadKaraokeBytes(song, KaraokeFile(words)), 1);
  ASSERT_EQ(song.TrackCount(), 4);
  EXPECT_EQ(song.lyricTrack, 3);
  EXPECT_EQ(Notes(song, 2), "0:90,48,64/96");
  EXPECT_EQ(song.tracks[2].summary.name, "Chords");
  for (const auto& e : song.tracks[2].events)
    EXPECT_NE(e.kind, kKindText);
  EXPECT_EQ(Lyrics(song), "0:17 0:18 0:16:la 96:16:li");
}

TEST(KaraokeRead, AWordsTrackWithTimingKeepsIt) {
  Bytes words = Cat({Bytes{0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, TextEvent(1, "la", 96)});
  Bytes file =
      Smf(1, 96,
          {WithEot({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}), WithEot({}), WithEot(words)});
  CSongData song;
  ASSERT_EQ(ReadKaraokeBytes(song, file), 1);
  ASSERT_EQ(song.TrackCount(), 4);
  ASSERT_EQ(song.tracks[2].events.size(), 1u);
  EXPECT_EQ(song.tracks[2].events[0].kind, kKindTempo);
  EXPECT_EQ(song.tempoMap[0].usPerQuarter, 250000);
  EXPECT_EQ(Lyrics(song), "96:16:la");
  auto first = EncodeKaraokeMidiFile(song);
  CSongData again;
  ASSERT_EQ(ReadKaraokeBytes(again, *first), 1);
  EXPECT_EQ(again.tempoMap[0].usPerQuarter, 250000);
  EXPECT_EQ(*EncodeKaraokeMidiFile(again), *first);
}

TEST(KaraokeRead, DamagedFileGivesAResetSong) {
  CSongData song;
  song.title = "old";
  ClearLastMessage();
  EXPECT_EQ(ReadKaraokeBytes(song, Bytes{'M', 'T', 'h', 'd', 0, 0}), 0);
  EXPECT_EQ(LastMessage(), kMsgNotMidiFile);
  EXPECT_EQ(song.loaded, 0);
  EXPECT_TRUE(song.title.empty());
}

} // namespace
} // namespace core
