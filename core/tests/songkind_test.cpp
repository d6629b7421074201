// An event turned into each entry of the event list's type list: from every
// kind a song holds, on a plain track and on the lyric track, the new event
// takes its entry's values and what it keeps of the old one, the song holds
// together, and a song file keeps the event.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::AddLyricLines;
using testing::CheckSongInvariants;
using testing::MakeEditSong;

constexpr int32_t kAt = 480;

uint32_t Message(uint8_t status, uint8_t d1, uint8_t d2 = 0) {
  return status | uint32_t{d1} << 8 | uint32_t{d2} << 16;
}

struct Source {
  const char* what;
  uint8_t kind;
  uint32_t data = 0;     // channel messages and plain kinds
  std::string text = {}; // pool kinds and syllables
  int32_t duration = 0;
};

// Every kind of event a song holds, the channel messages on channel 2 (the
// tracks' own channel is 0).
const Source kSources[] = {
    {"note-off", kKindChannel, Message(0x82, 64, 0)},
    {"note-on", kKindChannel, Message(0x92, 67, 90), {}, 200},
    {"key aftertouch", kKindChannel, Message(0xA2, 62, 33)},
    {"control change", kKindChannel, Message(0xB2, 7, 99)},
    {"program change", kKindChannel, Message(0xC2, 40)},
    {"channel pressure", kKindChannel, Message(0xD2, 77)},
    {"pitch wheel", kKindChannel, Message(0xE2, 0, 0x50)},
    {"time signature", kKindTimeSignature, 3u | 2u << 8 | 24u << 16 | 8u << 24},
    {"tempo", kKindTempo, 400000},
    {"key signature", kKindKeySignature, 0x0102},
    {"wave", kKindWave, 7},
    {"system exclusive", kKindSysEx, 0, std::string("\xF0\x7E\x7F\xF7", 4)},
    {"syllable", kKindSyllable, 0, "lo", 90},
    {"line break", kKindLineBreak},
    {"next line", kKindNextLine},
    {"image", kKindImage, 0, std::string("pic.bmp\0", 8)},
    {"singer", kKindSinger, 2},
    {"text", kKindText, 0, std::string("hello\0", 6)},
    {"copyright", kKindCopyright, 0, std::string("(c)\0", 4)},
    {"track name", kKindTrackName, 0, std::string("Lead\0", 5)},
    {"instrument name", kKindInstrumentName, 0, std::string("Flute\0", 6)},
    {"midi lyric", kKindMidiLyric, 0, std::string("la\0", 3)},
    {"marker", kKindMarker, 0, std::string("Verse\0", 6)},
    {"cue point", kKindCuePoint, 0, std::string("Go\0", 3)},
};

// The index of the source event once it is in the track.
int32_t AddSource(CSongData& song, int16_t track, const Source& s) {
  int ok = 0;
  if (s.kind == kKindSyllable)
    ok = song.InsertLyric(track, kAt, s.duration, s.text);
  else if (IsPoolKind(s.kind))
    ok = song.InsertEvent(track, kAt, 0, static_cast<uint16_t>(s.text.size()), s.text.data(),
                          s.kind);
  else
    ok = song.AddEvent(track, kAt, s.duration, 0, s.data, s.kind);
  if (!ok)
    return -1;
  for (int32_t i = 0; i < song.tracks[track].EventCount(); ++i)
    if (song.tracks[track].events[i].tick == kAt && song.tracks[track].events[i].kind == s.kind)
      return i;
  return -1;
}

// What a reader of the file can compare: the kind, the tick, the duration
// and the value (the pool bytes, the syllable, the data).
std::string Describe(const CSongData& song, int16_t track, const SongEvent& e) {
  std::string value;
  if (IsPoolKind(e.kind))
    value = std::string(song.PoolText(e));
  else if (e.kind == kKindSyllable)
    value = std::string(song.SyllableText(track, e));
  else if (e.kind != kKindLineBreak && e.kind != kKindNextLine)
    value = std::to_string(e.data);
  return std::to_string(e.kind) + "@" + std::to_string(e.tick) + "+" + std::to_string(e.duration) +
         "=" + value;
}

// The events of a track at the tick, described, in order.
std::vector<std::string> At(const CSongData& song, int16_t track, int32_t tick) {
  std::vector<std::string> out;
  for (const auto& e : song.tracks[track].events)
    if (static_cast<int32_t>(e.tick) == tick)
      out.push_back(Describe(song, track, e));
  return out;
}

class SongKindTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vexo-songkind-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path dir;
};

TEST_F(SongKindTest, EverySourceIntoEveryEntryKeepsTheSongWholeAndSaves) {
  const std::string file = (dir / "kind.vx3").string();
  for (int16_t track : {int16_t{1}, int16_t{2}}) {
    for (const Source& source : kSources) {
      for (int entry = 0; entry < 16; ++entry) {
        SCOPED_TRACE(::testing::Message() << "track " << track << ", " << source.what << " -> "
                                          << EventTypeLabel(entry));
        CSongData song;
        MakeEditSong(song, {{0, 120}, {960, 120}});
        AddLyricLines(song, {{{0, 120, "a"}, {240, 120, "b"}}, {{960, 120, "c"}}});
        const int32_t index = AddSource(song, track, source);
        ASSERT_GE(index, 0);
        ASSERT_EQ(CheckSongInvariants(song), "");
        const SongEvent old = song.tracks[track].events[static_cast<size_t>(index)];
        const int32_t count = song.tracks[track].EventCount();
        const int before = EventTypeIndex(old);

        const int result = song.SetEventType(track, index, entry);
        EXPECT_EQ(result, entry == 0 ? 0 : 1);
        EXPECT_EQ(song.tracks[track].EventCount(), count);
        EXPECT_EQ(CheckSongInvariants(song), "");
        if (entry == 0 || entry == before)
          continue;

        // The new event stands where the order puts it, at the old tick.
        const SongEvent* found = nullptr;
        for (const auto& e : song.tracks[track].events)
          if (static_cast<int32_t>(e.tick) == kAt && EventTypeIndex(e) == entry)
            found = &e;
        ASSERT_NE(found, nullptr);
        const SongEvent& e = *found;
        const bool midi = entry <= 6;
        if (midi) {
          ASSERT_EQ(e.kind, kKindChannel);
          EXPECT_EQ(e.Status() & 0x0F, old.kind == kKindChannel ? 2 : 0) << "channel";
        }
        if (entry != 1 && entry != 11) {
          EXPECT_EQ(e.duration, 0u);
        }
        EXPECT_EQ(e.imageAction, 0);

        // A song file keeps the event.
        ASSERT_GT(song.SaveByKind(file, kSaveV350First), 0);
        CSongData again;
        ASSERT_EQ(again.LoadByExtension(file), 1);
        EXPECT_EQ(At(again, track, kAt), At(song, track, kAt));
      }
    }
  }
}

TEST_F(SongKindTest, EachEntryMakesItsEventAndKeepsWhatStillMeansSomething) {
  struct Row {
    const char* what;
    int source; // index into kSources
    int entry;
    uint8_t kind;
    uint32_t data; // for kinds without pool or text
    uint32_t duration;
    std::string text = {}; // syllables
  };
  const Row rows[] = {
      {"note from key aftertouch keeps its values", 2, 1, kKindChannel, Message(0x92, 62, 33), 120},
      {"note from a syllable keeps its length", 12, 1, kKindChannel, Message(0x90, 60, 100), 90},
      {"note from a control change", 3, 1, kKindChannel, Message(0x92, 60, 100), 120},
      {"key aftertouch from a note keeps its values", 1, 2, kKindChannel, Message(0xA2, 67, 90), 0},
      {"key aftertouch from a tempo", 8, 2, kKindChannel, Message(0xA0, 60, 100), 0},
      {"control change", 1, 3, kKindChannel, Message(0xB2, 0, 0), 0},
      {"program change", 1, 4, kKindChannel, Message(0xC2, 0, 0), 0},
      {"channel pressure from a note takes the velocity", 1, 5, kKindChannel, Message(0xD2, 90), 0},
      {"channel pressure from key aftertouch", 2, 5, kKindChannel, Message(0xD2, 33), 0},
      {"channel pressure from a wheel", 6, 5, kKindChannel, Message(0xD2, 100), 0},
      {"wheel centred", 0, 6, kKindChannel, Message(0xE2, 0, 0x40), 0},
      {"time signature 4/4", 1, 7, kKindTimeSignature, 4u | 2u << 8 | 24u << 16 | 8u << 24, 0},
      {"tempo", 1, 8, kKindTempo, 600000, 0},
      {"key signature C major", 1, 9, kKindKeySignature, 0, 0},
      {"wave slot 0", 1, 10, kKindWave, 0, 0},
      {"lyric from a note keeps its length", 1, 11, kKindSyllable, 0, 200, "---"},
      {"lyric from a marker takes its text", 22, 11, kKindSyllable, 0, 120, "Verse"},
      {"lyric from a tempo", 8, 11, kKindSyllable, 0, 120, "---"},
      {"image", 1, 14, kKindImage, 0, 0},
      {"singer", 1, 15, kKindSinger, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song, {{0, 120}});
    const int32_t index = AddSource(song, 1, kSources[row.source]);
    ASSERT_GE(index, 0);
    ASSERT_EQ(song.SetEventType(1, index, row.entry), 1);
    const SongEvent* e = nullptr;
    for (const auto& x : song.tracks[1].events)
      if (static_cast<int32_t>(x.tick) == kAt)
        e = &x;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, row.kind);
    EXPECT_EQ(e->duration, row.duration);
    if (row.kind == kKindSyllable) {
      EXPECT_EQ(song.SyllableText(1, *e), row.text);
    } else if (row.kind == kKindImage) {
      EXPECT_EQ(e->length, 0);
    } else {
      EXPECT_EQ(e->data, row.data);
    }
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST_F(SongKindTest, ANoteBecomingALineBreakMovesBeforeTheTicksOtherEventsAndOpensALine) {
  CSongData song;
  MakeEditSong(song);
  AddLyricLines(song, {{{0, 120, "a"}, {240, 120, "b"}}});
  const int16_t lyric = song.lyricTrack;
  // A note at the second syllable's tick, after it in the track.
  ASSERT_EQ(song.AddEvent(lyric, 240, 60, 0, Message(0x90, 60, 100), kKindChannel), 1);
  const int32_t last = song.tracks[lyric].EventCount() - 1;
  ASSERT_EQ(song.tracks[lyric].events[last].kind, kKindChannel);
  EXPECT_EQ(testing::DescribeLyrics(song), "/ a@0+120 b@240+120");
  const int16_t lines = song.tracks[lyric].lineCount;

  ASSERT_EQ(song.SetEventType(lyric, last, 12), 1);
  const auto& events = song.tracks[lyric].events;
  // Line break, next line, a, line break, b.
  ASSERT_EQ(events[3].kind, kKindLineBreak);
  EXPECT_EQ(events[3].tick, 240u);
  EXPECT_EQ(events[3].duration, 0u);
  EXPECT_EQ(events[4].kind, kKindSyllable);
  EXPECT_EQ(song.tracks[lyric].lineCount, lines + 1);
  EXPECT_EQ(testing::DescribeLyrics(song), "/ a@0+120 / b@240+120");
  EXPECT_EQ(CheckSongInvariants(song), "");
  // And back: a note where the break stood, still before the syllable of
  // its tick, and the line gone.
  ASSERT_EQ(song.SetEventType(lyric, 3, 1), 1);
  EXPECT_EQ(song.tracks[lyric].events[3].kind, kKindChannel);
  EXPECT_EQ(song.tracks[lyric].events[4].kind, kKindSyllable);
  EXPECT_EQ(song.tracks[lyric].lineCount, lines);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST_F(SongKindTest, ATempoMadeOnAnotherTrackRetimesTheSongAsAReloadWould) {
  CSongData song;
  MakeEditSong(song, {{0, 120}, {960, 120}});
  ASSERT_EQ(song.AddEvent(2, 480, 0, 0, Message(0xB0, 7, 100), kKindChannel), 1);
  ASSERT_EQ(song.tracks[2].events[0].kind, kKindChannel);
  ASSERT_EQ(song.SetEventType(2, 0, 8), 1);
  EXPECT_EQ(CheckSongInvariants(song), "");
  ASSERT_EQ(song.SetEventValue(2, 0, 0, 300000), 1);
  ASSERT_EQ(song.tempoMap.size(), 2u);
  EXPECT_EQ(song.tempoMap[1].tick, 480);
  EXPECT_EQ(CheckSongInvariants(song), "");
  const std::string file = (dir / "tempo.vx3").string();
  ASSERT_GT(song.SaveByKind(file, kSaveV350First), 0);
  CSongData again;
  ASSERT_EQ(again.LoadByExtension(file), 1);
  ASSERT_EQ(again.tempoMap.size(), song.tempoMap.size());
  for (size_t i = 0; i < song.tempoMap.size(); ++i) {
    EXPECT_EQ(again.tempoMap[i].tick, song.tempoMap[i].tick);
    EXPECT_EQ(again.tempoMap[i].usPerQuarter, song.tempoMap[i].usPerQuarter);
    EXPECT_EQ(again.tempoMap[i].ms, song.tempoMap[i].ms);
  }
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    for (int32_t i = 0; i < song.tracks[t].EventCount(); ++i)
      EXPECT_EQ(again.tracks[t].events[i].ms, song.tracks[t].events[i].ms) << t << " " << i;
}

TEST_F(SongKindTest, RefusalsChangeNothing) {
  CSongData song;
  MakeEditSong(song, {{0, 120}});
  EXPECT_EQ(song.SetEventType(1, 0, 0), 0);
  EXPECT_EQ(song.SetEventType(1, 0, 16), 0);
  EXPECT_EQ(song.SetEventType(1, 0, -1), 0);
  EXPECT_EQ(song.SetEventType(1, 5, 3), 0);
  EXPECT_EQ(song.SetEventType(9, 0, 3), 0);
  song.unchanged = 1;
  EXPECT_EQ(song.SetEventType(1, 0, 1), 1) << "the entry it has";
  EXPECT_EQ(song.unchanged, 1);
  EXPECT_EQ(song.tracks[1].events[0].data, Message(0x90, 60, 100));
  // A full text pool refuses a lyric.
  song.tracks[1].text.assign(kTextPoolLimit - 1, 'x');
  EXPECT_EQ(song.SetEventType(1, 0, 11), 0);
  EXPECT_EQ(song.tracks[1].events[0].kind, kKindChannel);
  CSongData empty;
  EXPECT_EQ(empty.SetEventType(0, 0, 1), 0);
}

} // namespace
} // namespace core
