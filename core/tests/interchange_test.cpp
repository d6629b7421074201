// The interchange text: a hand-built song written byte for byte, hand-built
// texts read into exact song states, malformed texts refused with their line
// and the song left as it was, and corpus songs written and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "core/songdata.h"
#include "core/tests/support/song_edit_support.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::AddLyricLines;
using testing::CheckSongInvariants;
using testing::MakeEditSong;

const std::string kHead = "/Velmorith_Interchange_Format\n\n";

std::string Number(int64_t v) {
  return std::to_string(v);
}

// A track's events: syllables "text@tick+duration", line breaks "/@tick",
// next-line events ">@tick", images "[text/bytes]@tick", singers "#n@tick",
// other kinds "kK@tick" (unless lyricOnly).
std::string Events(const CSongData& song, int16_t track, bool lyricOnly = false) {
  std::string out;
  for (const auto& e : song.tracks[track].events) {
    if (lyricOnly && (e.kind < kKindSyllable || e.kind > kKindSinger))
      continue;
    if (!out.empty())
      out += ' ';
    const std::string at = "@" + Number(e.tick);
    switch (e.kind) {
    case kKindSyllable:
      out += std::string(song.SyllableText(track, e)) + at + "+" + Number(e.duration);
      break;
    case kKindLineBreak:
      out += "/" + at;
      break;
    case kKindNextLine:
      out += ">" + at;
      break;
    case kKindImage:
      out +=
          "[" + std::string(song.PoolText(e)) + "/" + Number(song.PoolBytes(e).size()) + "]" + at;
      break;
    case kKindSinger:
      out += "#" + Number(static_cast<int32_t>(e.data)) + at;
      break;
    default:
      out += "k" + Number(e.kind) + at;
      break;
    }
  }
  return out;
}

// Every track but the conductor's, "1:... | 2:...".
std::string Tracks(const CSongData& song) {
  std::string out;
  for (int16_t t = 1; t < song.TrackCount(); ++t)
    out += (t > 1 ? " | " : "") + Number(t) + ":" + Events(song, t);
  return out;
}

class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/vexo-interchange-XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "";
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A song whose lyric track holds every kind the text writes: both line kinds,
// syllables, an image, a singer and two events of other kinds.
void MakeGoldenSong(CSongData& song) {
  MakeEditSong(song);
  song.title = "Twinkle";
  song.lyricist = "Ann";
  song.duzuvevi = "Bo";
  song.singer = "Cy";
  song.arranger = "Di";
  song.lyricSync = "Ed";
  song.description = "A small song";
  AddLyricLines(song, {{{0, 60, "Hel"}, {60, 50, "lo"}}, {{300, 100, "world"}}});
  song.InsertEvent(2, 120, 0, 4, "ABC", kKindImage);
  song.AddEvent(2, 130, 0, 0, 0xFFFFFFFFu, kKindSinger);
  song.InsertEvent(2, 200, 0, 3, "Hi", kKindText);
  song.AddEvent(2, 240, 0, 0, 0xB0u | 7u << 8 | 100u << 16, kKindChannel);
}

const char kGoldenTrack[] = "/LyricTrack\n"
                            "00000000   000000   017 ; -- Line Break\n"
                            "00000000   000000   018 ; -- Prepare Line\n"
                            "00000000   000060   016  :Hel\n"
                            "00000060   000050   016  :lo\n"
                            "00000120   000000   019  :ABC\n"
                            "00000130   000000   020   -1\n"
                            "00000200   000000   065  :Text Hi\n"
                            "00000240   000000   000  :Control 1 Volume 100\n"
                            "00000300   000000   017 ; -- Line Break\n"
                            "00000300   000000   018 ; -- Prepare Line\n"
                            "00000300   000100   016  :world\n"
                            "/End\n";

TEST(Interchange, ExportWritesTheSongByteForByte) {
  const std::string info = "/Velmorith_Interchange_Format\n"
                           "\n"
                           ";Song Informations\n"
                           "/Title       :Twinkle\n"
                           "/Lyric       :Ann\n"
                           "/Duzuvevi    :Bo\n"
                           "/Singer      :Cy\n"
                           "/Midi        :Di\n"
                           "/LyricSync   :Ed\n"
                           "/Description :A small song\n";
  struct Row {
    const char* what;
    std::optional<std::string> keyword;
    std::string keywordLine;
  };
  const Row rows[] = {
      {"with a keyword", "love song", "/Keyword     :love song\n"},
      {"without a keyword", std::nullopt, "/Keyword     :\n"},
  };
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeGoldenSong(song);
    song.keyword = row.keyword;
    ASSERT_EQ(CheckSongInvariants(song), "");
    const std::string file = dir.File("song.txt");
    EXPECT_EQ(song.ExportInterchange(file), 11);
    EXPECT_EQ(ReadAll(file), info + row.keywordLine + "\n" + kGoldenTrack);
  }
}

TEST(Interchange, ExportWritesWhatReadsBack) {
  CSongData song;
  MakeEditSong(song);
  song.title = "two\r\nlines";
  AddLyricLines(song, {{{0, 60, "a\nb"}}});
  // A singer stored as a whole word is written as the byte files keep.
  song.AddEvent(2, 500, 0, 0, 200, kKindSinger);
  int32_t events = 0;
  const std::string text = song.InterchangeText(events);
  EXPECT_EQ(events, 4);
  EXPECT_NE(text.find("00000500   000000   020   -56\n"), std::string::npos) << text;
  EXPECT_NE(text.find("/Title       :two  lines\n"), std::string::npos) << text;
  EXPECT_NE(text.find("00000000   000060   016  :a b\n"), std::string::npos) << text;
}

TEST(Interchange, ExportRefusesWhatItCannotWrite) {
  CSongData song;
  MakeGoldenSong(song);
  EXPECT_EQ(song.ExportInterchange("/nonexistent-folder/song.txt"), 0);
  CSongData empty;
  TempDir dir;
  EXPECT_EQ(empty.ExportInterchange(dir.File("empty.txt")), 0);
  // A song without lyrics writes its information only.
  song.SetLyricTrack(0);
  EXPECT_EQ(song.ExportInterchange(dir.File("info.txt")), 0);
  EXPECT_EQ(ReadAll(dir.File("info.txt")).find("/LyricTrack"), std::string::npos);
}

enum class Start {
  kLyrics,   // tracks 0-2, the lyric track 2 holding one line "old"
  kNoLyrics, // tracks 0-2, no lyric track
  kFour,     // as kLyrics with an empty track 3
};

void MakeSong(CSongData& song, Start setup) {
  MakeEditSong(song);
  AddLyricLines(song, {{{0, 60, "old"}}});
  if (setup == Start::kNoLyrics)
    song.SetLyricTrack(0);
  if (setup == Start::kFour)
    song.InsertTrack(-1);
  song.unchanged = 1;
  song.preparedForPlay = 1;
}

TEST(Interchange, ImportReadsTextsIntoTheSong) {
  struct Row {
    const char* what;
    Start setup;
    int16_t track;
    std::string text;
    int sections;
    std::string tracks; // see Tracks
    int16_t lyricTrack;
    std::string title = "";
    int codePage = sys::kDefaultCodePage;
    int unchanged = 0;
  };
  const std::string x230(230, 'x'), a60(60, 'a'), a47(47, 'a');
  const Row rows[] = {
      {"the golden text back into a song with lyrics", Start::kLyrics, 2,
       kHead + "/Title       :Twinkle\n" + kGoldenTrack, 1,
       "1: | 2:/@0 >@0 Hel@0+60 lo@60+50 [ABC/4]@120 #-1@130 /@300 >@300 world@300+100", 2,
       "Twinkle"},
      {"comments stand anywhere, also between events", Start::kLyrics, 2,
       "; made by hand\n" + kHead +
           "/LyricTrack\n; first line\n0 0 17\n   ;x\n0 0 18\n"
           ";;\n0 60 16 :la\n/End\n",
       1, "1: | 2:/@0 >@0 la@0+60", 2},
      {"a title of 60 characters is cut to 48", Start::kLyrics, 2,
       kHead + "/Title       :" + a60 + "\n", 0, "1: | 2:/@0 >@0 old@0+60", 2,
       std::string(48, 'a')},
      {"a 932 title is cut before half a character", Start::kLyrics, 2,
       kHead + "/Title:" + a47 + "\x82\xa0\n", 0, "1: | 2:/@0 >@0 old@0+60", 2, a47, 932},
      {"a 1252 title is cut at 48 bytes", Start::kLyrics, 2, kHead + "/Title:" + a47 + "\x82\xa0\n",
       0, "1: | 2:/@0 >@0 old@0+60", 2, a47 + "\x82", 1252},
      {"a title within its width keeps a last byte that could lead", Start::kLyrics, 2,
       kHead + "/Title:caf\xe9\n/LyricTrack\n0 60 16 :r\xed\n/End\n", 1, "1: | 2:r\xed@0+60", 2,
       "caf\xe9"},
      {"lyrics into a song without them add a track", Start::kNoLyrics, 0,
       kHead + "/LyricTrack\n0 60 16 :new\n/End\n", 1, "1: | 2:/@0 >@0 old@0+60 | 3:new@0+60", 3},
      {"lyrics into a song with them replace the given track", Start::kLyrics, 2,
       kHead + "/LyricTrack\n0 60 16 :new\n/End\n", 1, "1: | 2:new@0+60", 2},
      {"lyrics given the conductor track replace the lyric track", Start::kLyrics, 0,
       kHead + "/LyricTrack\n0 60 16 :new\n/End\n", 1, "1: | 2:new@0+60", 2},
      {"a second lyric section replaces the first one's track", Start::kNoLyrics, 0,
       kHead + "/LyricTrack\n0 60 16 :one\n/End\n/LyricTrack\n0 60 16 :two\n/End\n", 2,
       "1: | 2:/@0 >@0 old@0+60 | 3:two@0+60", 3},
      {"an image ABC stores 4 pool bytes", Start::kLyrics, 2,
       kHead + "/LyricTrack\n10 99 19 :ABC\n/End\n", 1, "1: | 2:[ABC/4]@10", 2},
      {"kinds not listed are skipped", Start::kLyrics, 2,
       kHead + "/LyricTrack\n0 0 65 :Text hi\n5 0 2 :Tempo\n7 60 16 :la\n9 0 0\n/End\n", 1,
       "1: | 2:la@7+60", 2},
      {"CR LF line ends", Start::kLyrics, 2,
       "/Velmorith_Interchange_Format\r\n\r\n/Title:crlf\r\n/LyricTrack\r\n0 60 16 :a\r\n/End\r\n",
       1, "1: | 2:a@0+60", 2, "crlf"},
      {"a byte-order mark and blank lines before the header", Start::kLyrics, 2,
       "\xEF\xBB\xBF\n  \n" + kHead + "/Title:bom\n", 0, "1: | 2:/@0 >@0 old@0+60", 2, "bom"},
      {"a line of 300 characters is cut, its rest discarded", Start::kLyrics, 2,
       kHead + "/LyricTrack\n00000000   000060   016  :" + x230 + "/End\n9 0 16 :x\n" +
           "00000100   000060   016  :after" + std::string(300, ' ') + "/End\n/End\n",
       1, "1: | 2:" + x230 + "@0+60 x@9+0 after" + std::string(225, ' ') + "@100+60", 2},
      {"events out of order are sorted", Start::kLyrics, 2,
       kHead + "/LyricTrack\n300 60 16 :c\n0 60 16 :a\n300 0 18\n300 0 17\n0 0 20 2\n"
               "100 0 19 :i\n0 0 17\n120 60 16 :b\n0 0 18\n/End\n",
       1, "1: | 2:/@0 >@0 a@0+60 #2@0 [i/2]@100 b@120+60 /@300 >@300 c@300+60", 2},
      {"two track sections reach their own tracks", Start::kFour, 2,
       kHead + "/Track 3\n0 60 16 :three\n/End\n/Track1\n0 60 16 :one\n/End\n", 2,
       "1:one@0+60 | 2:/@0 >@0 old@0+60 | 3:three@0+60", 2},
      {"a track section without a number in range reaches the given track", Start::kFour, 3,
       kHead + "/Track 9\n0 60 16 :a\n/End\n/Track\n0 60 16 :b\n/End\n", 2,
       "1: | 2:/@0 >@0 old@0+60 | 3:b@0+60", 2},
      {"a track section into the lyric track keeps it the lyric track", Start::kLyrics, 1,
       kHead + "/Track 2\n0 0 17\n0 60 16 :new\n/End\n", 1, "1: | 2:/@0 new@0+60", 2},
      {"a track section into a song without lyrics leaves it without", Start::kNoLyrics, 1,
       kHead + "/Track\n0 60 16 :a\n/End\n", 1, "1:a@0+60 | 2:/@0 >@0 old@0+60", 0},
      {"a section without /End runs to the end of the text", Start::kLyrics, 2,
       kHead + "/LyricTrack\n0 60 16 :a", 1, "1: | 2:a@0+60", 2},
      {"a header alone changes nothing", Start::kLyrics, 2, kHead, 0, "1: | 2:/@0 >@0 old@0+60", 2,
       "", sys::kDefaultCodePage, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeSong(song, row.setup);
    std::string error = "unset";
    EXPECT_EQ(song.ImportInterchangeText(row.text, row.track, &error, row.codePage), row.sections)
        << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(Tracks(song), row.tracks);
    EXPECT_EQ(song.lyricTrack, row.lyricTrack);
    EXPECT_EQ(song.title, row.title);
    EXPECT_EQ(song.unchanged, row.unchanged);
    EXPECT_EQ(song.preparedForPlay, row.unchanged);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(Interchange, ImportReadsTheInformationLines) {
  CSongData song;
  MakeSong(song, Start::kLyrics);
  song.keyword = "old";
  const std::string text =
      kHead + "/Title       :T\n/Lyric:L\n/Duzuvevi    :D\n/Singer      :" + std::string(40, 's') +
      "\n/Midi:M\n/LyricSync   :  S\n/Description :x\0y\n/Unknown:u\n/Keyword     :\n"s;
  ASSERT_EQ(song.ImportInterchangeText(text, 2), 0);
  EXPECT_EQ(song.title, "T");
  EXPECT_EQ(song.lyricist, "L");
  EXPECT_EQ(song.duzuvevi, "D");
  EXPECT_EQ(song.singer, std::string(32, 's'));
  EXPECT_EQ(song.arranger, "M");
  EXPECT_EQ(song.lyricSync, "  S");
  EXPECT_EQ(song.description, "x");
  EXPECT_EQ(song.keyword, std::nullopt);
  ASSERT_EQ(song.ImportInterchangeText(kHead + "/Keyword:" + std::string(300, 'k'), 2), 0);
  EXPECT_EQ(song.keyword, std::string(247, 'k'));
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(Interchange, ImportRefusesMalformedTextsAndLeavesTheSong) {
  struct Row {
    const char* what;
    std::string body; // after the header and a title line
    std::string error;
    int16_t track = 2;
    Start setup = Start::kLyrics;
  };
  const Row rows[] = {
      {"an event line of two words", "/LyricTrack\n0 60\n/End\n",
       "line 5: an event line holds a tick, a duration and a kind"},
      {"a tick that is no number", "/LyricTrack\n0 0 17\nabc 0 16 :x\n",
       "line 6: the tick 'abc' is no number"},
      {"a negative duration", "/LyricTrack\n0 -5 16 :x\n",
       "line 5: the duration '-5' is no number"},
      {"a tick past 31 bits", "/LyricTrack\n2147483648 0 16 :x\n",
       "line 5: the tick '2147483648' is no number from 0 to 2147483647"},
      {"a kind past 255", "/LyricTrack\n0 0 256\n", "line 5: the kind '256' is no number"},
      {"a kind with trailing letters", "/LyricTrack\n0 0 16x :a\n",
       "line 5: the kind '16x' is no number"},
      {"a syllable without a colon", "/LyricTrack\n0 60 16 la\n",
       "line 5: a syllable needs ':' before its text"},
      {"an image without a colon", "/LyricTrack\n0 0 19\n",
       "line 5: an image needs ':' before its text"},
      {"a singer without a number", "/LyricTrack\n0 0 20\n", "line 5: a singer line ends in"},
      {"a singer past a byte", "/LyricTrack\n0 0 20 200\n", "line 5: a singer line ends in"},
      {"an information line without a colon", "/Singer Ann\n",
       "line 4: /Singer needs ':' before its text"},
      {"a section left open before the next", "/LyricTrack\n0 60 16 :a\n/Track 1\n0 60 16 :b\n",
       "line 6: an event line holds"},
      {"a section's syllables past the text pool",
       "/LyricTrack\n" +
           [] {
             std::string s;
             for (int i = 0; i < 300; ++i)
               s += "0 60 16 :" + std::string(230, 'a') + "\n";
             return s;
           }(),
       "the syllables of the section at line 4 pass 65535 bytes"},
      {"a track not in the song", "/LyricTrack\n0 60 16 :a\n/End\n",
       "the song has no track 3 (tracks 0-2)", 3},
      {"a negative track", "", "the song has no track -1", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeSong(song, row.setup);
    int32_t events = 0;
    const std::string before = song.InterchangeText(events);
    std::string error;
    EXPECT_EQ(song.ImportInterchangeText(kHead + "/Title:changed\n" + row.body, row.track, &error),
              0);
    EXPECT_EQ(error.substr(0, row.error.size()), row.error);
    EXPECT_EQ(song.InterchangeText(events), before);
    EXPECT_EQ(song.TrackCount(), 3);
    EXPECT_EQ(song.unchanged, 1);
    EXPECT_EQ(song.preparedForPlay, 1);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

TEST(Interchange, ImportRefusesWhatIsNoInterchangeText) {
  struct Row {
    const char* what;
    std::string text;
    std::string error;
  };
  const Row rows[] = {
      {"another header", "; comment\n/Other_Format\n/Title:x\n", "line 2: not an interchange text"},
      {"a header of another case", "/velmorith_interchange_format\n",
       "line 1: not an interchange text"},
      {"an empty text", "", "not an interchange text (no /Velmorith_Interchange_Format line)"},
      {"comments only", ";a\n\n;b\n", "not an interchange text (no"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeSong(song, Start::kLyrics);
    std::string error;
    EXPECT_EQ(song.ImportInterchangeText(row.text, 2, &error), 0);
    EXPECT_EQ(error.substr(0, row.error.size()), row.error);
    EXPECT_EQ(song.title, "");
    EXPECT_EQ(song.unchanged, 1);
  }
  CSongData song;
  MakeSong(song, Start::kLyrics);
  std::string error;
  EXPECT_EQ(song.ImportInterchange("/nonexistent/song.txt", 2, &error), 0);
  EXPECT_EQ(error, "the file cannot be read");
  CSongData none;
  EXPECT_EQ(none.ImportInterchangeText(kHead, 0, &error), 0);
}

TEST(Interchange, ImportAddsNoTrackPastTheLimit) {
  CSongData song;
  MakeSong(song, Start::kNoLyrics);
  while (song.InsertTrack(-1)) {
  }
  ASSERT_EQ(song.TrackCount(), kMaxInsertableTracks);
  std::string error;
  EXPECT_EQ(song.ImportInterchangeText(kHead + "/LyricTrack\n0 60 16 :a\n/End\n", 1, &error), 0);
  EXPECT_EQ(error, "line 3: no track can be added for the lyrics (the song has 256 tracks)");
  EXPECT_EQ(song.TrackCount(), kMaxInsertableTracks);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

TEST(Interchange, ATrackSectionOverTheConductorRetimesTheSong) {
  CSongData song;
  MakeSong(song, Start::kLyrics);
  song.AddEvent(0, 480, 0, 0, 300000, kKindTempo);
  song.AddEvent(1, 960, 120, 0, 0x90u | 60u << 8 | 100u << 16, kKindChannel);
  ASSERT_EQ(song.tracks[1].events.front().ms, 3600u);
  ASSERT_EQ(song.ImportInterchangeText(kHead + "/Track 0\n0 60 16 :a\n/End\n", 2), 1);
  EXPECT_EQ(song.tracks[1].events.front().ms, 4800u);
  EXPECT_EQ(CheckSongInvariants(song), "");
}

// Each syllable, line and lyric event of a lyric track, with the line table.
std::string LyricState(const CSongData& song, int16_t track) {
  std::string out = Events(song, track, true);
  const Track& t = song.tracks[track];
  out += " | lines " + Number(t.lineCount) + ":";
  for (int k = 0; k <= t.lineCount; ++k)
    out += " " + Number(t.lineTable[k]);
  for (const auto& e : t.events)
    if (e.kind >= kKindSyllable && e.kind <= kKindNextLine)
      out += " " + Number(e.length);
  return out;
}

TEST(Interchange, DoubleByteLyricsComeBackAsTheyWere) {
  struct Row {
    const char* what;
    std::vector<std::vector<testing::SyllableAt>> lines;
  };
  const Row rows[] = {
      {"code page 949", {{{0, 60, "\xb0\xa1"}, {60, 60, "\xb3\xaa"}}, {{240, 30, "\xb4\xd9 ab"}}}},
      {"code page 932", {{{0, 60, "\x82\xa0\x82\xa2"}}, {{120, 60, "\x89\xcc:"}}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeEditSong(song);
    AddLyricLines(song, row.lines);
    const std::string before = LyricState(song, 2);
    int32_t events = 0;
    const std::string text = song.InterchangeText(events);
    song.DeleteTrack(2);
    ASSERT_EQ(song.ImportInterchangeText(text, 0), 1);
    ASSERT_EQ(song.lyricTrack, 2);
    EXPECT_EQ(LyricState(song, 2), before);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

std::vector<fs::path> CorpusSongs() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(VEXO_CORPUS_DIR) / "midi", ec)) {
    const auto ext = e.path().extension();
    if (e.is_regular_file() && (ext == ".kar" || ext == ".mid"))
      files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(Interchange, CorpusLyricsComeBackThroughTheText) {
  const auto files = CorpusSongs();
  if (files.empty())
    GTEST_SKIP() << "no MIDI corpus in " << VEXO_CORPUS_DIR << "/midi";
  TempDir dir;
  int karaoke = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    CSongData song;
    if (!song.LoadByExtension(file.string()) || song.lyricTrack <= 0)
      continue;
    karaoke += file.extension() == ".kar";
    const int16_t lyric = song.lyricTrack;
    const std::string before = LyricState(song, lyric);
    const std::string text = dir.File("song.txt");
    ASSERT_EQ(song.ExportInterchange(text), song.tracks[lyric].EventCount());
    // Read back into the song without its lyric track, which then gets a new one.
    song.DeleteTrack(lyric);
    std::string error;
    ASSERT_EQ(song.ImportInterchange(text, 0, &error), 1) << error;
    ASSERT_GT(song.lyricTrack, 0);
    EXPECT_EQ(LyricState(song, song.lyricTrack), before);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
  EXPECT_GE(karaoke, 5);
}

} // namespace
} // namespace core
