// Soft-karaoke files are found by the header text they hold, whatever their
// name, and their words by the track that carries them: hand-built files of
// the layouts found in the wild, loaded as a user loads them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/tests/support/midi_bytes.h"

namespace core {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::Smf;
using testing::TextEvent;

// A track chunk body: the events, then the end of the track.
Bytes Trk(Bytes body) {
  for (uint8_t b : {0x00, 0xFF, 0x2F, 0x00})
    body.push_back(b);
  return body;
}

const Bytes kTempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
const Bytes kSequencer = {0x00, 0xFF, 0x7F, 0x03, 0x00, 0x00, 0x41}; // a sequencer's own data

Bytes Header() {
  return Cat(
      {TextEvent(3, "Soft Karaoke"), TextEvent(1, "@KMIDI KARAOKE FILE"), TextEvent(1, "@V0100")});
}

// "\Hel" at 0, "lo " at 96, "/Wor" at 192, "ld" at 240, after the karaoke
// information texts.
Bytes Words(const std::string& name) {
  return Cat({TextEvent(3, name), TextEvent(1, "@LENGL"), TextEvent(1, "@TMy Song"),
              TextEvent(1, "@TSomebody"), TextEvent(1, "\\Hel"), TextEvent(1, "lo ", 96),
              TextEvent(1, "/Wor", 96), TextEvent(1, "ld", 48)});
}

Bytes Piano() {
  return Cat({TextEvent(3, "Piano"), {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00}});
}

const std::vector<std::string> kSung = {"0:Hel", "96:lo ", "192:Wor", "240:ld"};
const std::vector<std::string> kLines = {"", "Hello ", "World"};

std::vector<std::string> Syllables(const CSongData& song) {
  std::vector<std::string> out;
  if (!song.lyricsPresent || !song.HasTrack(song.lyricTrack))
    return out;
  for (const auto& e : song.tracks[song.lyricTrack].events)
    if (e.kind == kKindSyllable)
      out.push_back(std::to_string(e.tick) + ":" +
                    std::string(song.SyllableText(song.lyricTrack, e)));
  return out;
}

// The lyric track's lines, from before its first line break on.
std::vector<std::string> Lines(const CSongData& song) {
  std::vector<std::string> out;
  if (!song.lyricsPresent || !song.HasTrack(song.lyricTrack))
    return out;
  const Track& t = song.tracks[song.lyricTrack];
  for (int i = 0; i <= t.lineCount; ++i)
    out.push_back(t.text.substr(t.lineTable[i] & 0xFFFF, t.lineTable[i] >> 16));
  return out;
}

// Each track's name as the file gave it, the lyric track as "(lyrics)".
std::string Tracks(const CSongData& song) {
  std::string s;
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    s += t ? "," : "";
    s += song.lyricsPresent && t == song.lyricTrack ? "(lyrics)" : song.tracks[t].summary.name;
  }
  return s;
}

bool HoldsText(const CSongData& song, std::string_view text) {
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    for (const auto& e : song.tracks[t].events)
      if (IsTextKind(e.kind) && song.PoolText(e) == text)
        return true;
  return false;
}

struct LayoutRow {
  const char* what;
  const char* file; // loaded by its name, as a user loads it
  Bytes bytes;
  int saveKind;
  const char* title;
  std::vector<std::string> syllables;
  std::vector<std::string> lines;
  const char* tracks;
};

TEST(KaraokeLayout, HandBuiltFilesReadToTheirTitleSyllablesAndLines) {
  const LayoutRow rows[] = {
      {"a soft-karaoke file saved as .mid", "song.mid",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo})), Trk(Header()), Trk(Words("Words")),
            Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Soft Karaoke,Piano,(lyrics)"},
      {"a .kar with a sequencer's track before the header track", "song.kar",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo})),
            Trk(Cat({TextEvent(3, "Sequencer"), kSequencer})), Trk(Header()), Trk(Words("Words")),
            Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Sequencer,Piano,(lyrics)"},
      {"a .kar whose header stands beside the tempo and whose words track is named otherwise",
       "song.kar",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo, Header()})), Trk(Words("Lyrics")),
            Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Piano,(lyrics)"},
      {"header, title and words in the first track beside the tempo, saved as .mid", "song.mid",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo, TextEvent(1, "@LENGL"),
                     TextEvent(1, "@TMy Song"), TextEvent(1, "@KMIDI KARAOKE FILE"),
                     TextEvent(1, "\\Hel"), TextEvent(1, "lo ", 96), TextEvent(1, "/Wor", 96),
                     TextEvent(1, "ld", 48)})),
            Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Piano,(lyrics)"},
      {"a single track of header and words (format 0)", "song.kar",
       Smf(0, 96,
           {Trk(Cat({kTempo, TextEvent(1, "@KMIDI KARAOKE FILE"), TextEvent(1, "@TMy Song"),
                     TextEvent(1, "\\Hel"), TextEvent(1, "lo ", 96), TextEvent(1, "/Wor", 96),
                     TextEvent(1, "ld", 48)}))}),
       kFileKaraoke, "My Song", kSung, kLines, ",(lyrics)"},
      {"a plain .mid with karaoke texts but no header stays plain",
       "song.mid",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo})),
            Trk(Cat({TextEvent(3, "Info"), TextEvent(1, "@Isome text")})), Trk(Words("Words")),
            Trk(Piano())}),
       kFileMidi,
       "",
       {},
       {},
       "Conductor,Info,Words,Piano"},
      {"the same bytes as .kar: the third track's words", "song.kar",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo})),
            Trk(Cat({TextEvent(3, "Info"), TextEvent(1, "@Isome text")})), Trk(Words("Words")),
            Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Info,Piano,(lyrics)"},
      {"a header with no words track",
       "song.mid",
       Smf(1, 96, {Trk(Cat({TextEvent(3, "Conductor"), kTempo})), Trk(Header())}),
       kFileKaraoke,
       "",
       {},
       {""},
       "Conductor,Soft Karaoke,(lyrics)"},
      {"a header out of its place with no words",
       "song.kar",
       Smf(1, 96, {Trk(Cat({TextEvent(3, "Conductor"), kTempo})), Trk(Piano()), Trk(Header())}),
       kFileKaraoke,
       "",
       {},
       {""},
       "Conductor,Piano,(lyrics)"},
      {"a header out of its place that sounds keeps its sound", "song.mid",
       Smf(1, 96,
           {Trk(Cat({TextEvent(3, "Conductor"), kTempo})),
            Trk(Cat({TextEvent(3, "Sequencer"), kSequencer})),
            Trk(Cat({Header(), {0x00, 0xC0, 0x05}})), Trk(Words("Words")), Trk(Piano())}),
       kFileKaraoke, "My Song", kSung, kLines, "Conductor,Sequencer,Soft Karaoke,Piano,(lyrics)"},
  };
  testing::TempFolder dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = dir.Path(row.file);
    ASSERT_TRUE(testing::WriteFileBytes(path, row.bytes));
    CSongData song;
    ASSERT_EQ(song.LoadByExtension(path), 1);
    EXPECT_EQ(song.saveKind, row.saveKind);
    EXPECT_EQ(song.title, row.title);
    EXPECT_EQ(Syllables(song), row.syllables);
    EXPECT_EQ(Lines(song), row.lines);
    EXPECT_EQ(Tracks(song), row.tracks);
    EXPECT_EQ(song.unchanged, 1);
    if (row.saveKind != kFileKaraoke) {
      EXPECT_EQ(song.lyricsPresent, 0);
      continue;
    }
    // The header is the writer's to put back: none of it is left in the song.
    EXPECT_FALSE(HoldsText(song, "@KMIDI KARAOKE FILE"));
    EXPECT_FALSE(HoldsText(song, "Soft Karaoke"));
    // Saved, the song is a karaoke file of the usual layout that reads back
    // the same and saves again to the same bytes.
    auto saved = EncodeKaraokeMidiFile(song);
    ASSERT_TRUE(saved);
    CSongData again;
    ASSERT_EQ(ReadMidiOrKaraokeBytes(again, *saved), 1);
    EXPECT_EQ(again.saveKind, kFileKaraoke);
    EXPECT_EQ(again.title, song.title);
    EXPECT_EQ(Syllables(again), row.syllables);
    EXPECT_EQ(EncodeKaraokeMidiFile(again), saved);
  }
}

// A well-formed soft-karaoke file reads the same whether it is named ".kar"
// or ".mid", to the byte of what is saved from it.
TEST(KaraokeLayout, TheNameDoesNotChangeWhatAKaraokeFileReadsTo) {
  const Bytes file = Smf(1, 96,
                         {Trk(Cat({TextEvent(3, "Conductor"), kTempo})), Trk(Header()),
                          Trk(Words("Words")), Trk(Piano())});
  CSongData kar, mid;
  ASSERT_EQ(ReadKaraokeBytes(kar, file, "a.kar"), 1);
  ASSERT_EQ(ReadMidiOrKaraokeBytes(mid, file, "a.mid"), 1);
  EXPECT_EQ(mid.saveKind, kFileKaraoke);
  EXPECT_EQ(EncodeKaraokeMidiFile(mid), EncodeKaraokeMidiFile(kar));
  EXPECT_EQ(EncodeMidiFile(mid), EncodeMidiFile(kar));
  EXPECT_EQ(mid.lyricTrack, kar.lyricTrack);

  // Read as plain MIDI on purpose, the file keeps every track and text.
  CSongData plain;
  ASSERT_EQ(ReadMidiBytes(plain, file), 1);
  EXPECT_EQ(plain.saveKind, kFileMidi);
  EXPECT_EQ(plain.TrackCount(), 4);
  EXPECT_TRUE(HoldsText(plain, "@KMIDI KARAOKE FILE"));
}

// Only the header text itself, as real files spell it, makes a karaoke file.
TEST(KaraokeLayout, TextsLikeTheHeaderDoNotMakeAKaraokeFile) {
  for (const char* text : {"@KMIDI KARAOKE", "@kmidi karaoke file", " @KMIDI KARAOKE FILE"}) {
    SCOPED_TRACE(text);
    CSongData song;
    ASSERT_EQ(ReadMidiOrKaraokeBytes(
                  song, Smf(1, 96, {Trk(kTempo), Trk(TextEvent(1, text)), Trk(Words("Words"))})),
              1);
    EXPECT_EQ(song.saveKind, kFileMidi);
    EXPECT_EQ(song.lyricsPresent, 0);
    EXPECT_EQ(song.TrackCount(), 3);
  }
}

} // namespace
} // namespace core
