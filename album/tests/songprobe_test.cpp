#include "album/songprobe.h"

#include "album/tests/support/album_bytes.h"
#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/songfile_bytes.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace album;
using album::testing::Bytes;
using album::testing::Cat;
using album::testing::Field;
using album::testing::Text;
using album::testing::U32;

void Put(const std::string& path, const Bytes& b) {
  sys::test::WriteFile(path, std::string(b.begin(), b.end()));
}

// A song file of the given magic from its information bytes, text chunk and
// further raw chunks (each given with its u32 length already in front).
Bytes Song(const std::string& magic, const Bytes& info, const Bytes& text,
           std::initializer_list<Bytes> chunks = {}) {
  Bytes out = Cat({Text(magic), Bytes{0x1A}, U32(static_cast<uint32_t>(info.size())), info,
                   U32(static_cast<uint32_t>(text.size())), text});
  for (const Bytes& c : chunks)
    out = Cat({out, c});
  return out;
}

// A named section: u32 N, the 6-byte name, N - 6 bytes.
Bytes Section(const std::string& name, const Bytes& body) {
  return Cat({U32(static_cast<uint32_t>(6 + body.size())), Field(name, 6), body});
}

Bytes Info(const std::string& title, const std::string& singer, uint8_t category) {
  Bytes info = Cat({Field(title, 48), Field("Lyr", 32), Field("Comp", 32), Field(singer, 32)});
  info.resize(254, 0);
  for (int i = 0; i < 16; ++i)
    info.push_back(i == 6 ? category : static_cast<uint8_t>(i + 1));
  info.resize(273, 0);
  return info;
}

const Bytes kBankBody = {0, 1, 255, 0, 0, 0, 0, 9};

class SongProbeTest : public ::testing::Test {
protected:
  std::string Path(const std::string& name) { return dir_ / name; }
  sys::test::ScratchFolder dir_;
};

TEST_F(SongProbeTest, KindsAndLettersOfHandBuiltFiles) {
  const std::string v350 = "VEXO DATA V3.50", v300 = "VEXO DATA V3.00";
  const Bytes info = Info("Arirang", "Kim", 3);
  struct Case {
    const char* what;
    std::string name;
    Bytes file;
    int probed;
    int version;
    int16_t kind;
    char letter;
  };
  const Case cases[] = {
      {"V3.50 with a bank after events and lyrics", "a.vx3",
       Song(v350, info, Text("k"),
            {Section("CEVENT", Bytes(20, 1)), Section("LYRICS", Bytes(3, 2)),
             Section("SFBANK", kBankBody)}),
       1, 2, kBankPresent, 'b'},
      {"V3.50 without a bank", "a.vx3", Song(v350, info, Text("k"), {Section("CEVENT", {1})}), 1, 2,
       kBankNone, 't'},
      {"V3.50 wave song without a bank", "a.SW3",
       Song(v350, info, Text("k"), {Section("CEVENT", {1})}), 1, 2, kBankNone, 'w'},
      {"V3.50 bank head cut short", "a.vx3",
       Song(v350, info, Text("k"), {Section("SFBANK", {0, 1, 255, 0})}), 1, 2, kBankNone, 't'},
      {"V3.50 section shorter than its name still steps forward", "a.vx3",
       Song(v350, info, Text("k"), {Cat({U32(2), Text("XY")}), Section("SFBANK", kBankBody)}), 1, 2,
       kBankPresent, 'b'},
      {"V3.50 huge section length ends the walk", "a.vx3",
       Song(v350, info, Text("k"), {Cat({U32(0xFFFFFFF0), Field("CEVENT", 6)})}), 1, 2, kBankNone,
       't'},
      {"V3.00 with the bank sixth", "a.sb3",
       Song(v300, info, Bytes{0},
            {U32(0), U32(0), U32(0), Cat({U32(14), Field("SFBANK", 6), kBankBody})}),
       1, 1, kBankPresent, 'b'},
      {"V3.00 whose sixth chunk is no bank", "a.vx3",
       Song(v300, info, Bytes{0}, {U32(0), U32(0), U32(0), Section("VXWAVE", {1})}), 1, 1,
       kBankUndecided, 'o'},
      {"V3.00 chunk list cut", "a.vx3", Song(v300, info, Bytes{0}, {U32(0)}), 1, 1, kBankUnwalkable,
       'o'},
      {"other magic", "a.vx3", Song("VEXO DATA V9.99", info, Text("k")), 0, 0, 0, 'o'},
      {"under 15 bytes", "a.vx3", Text("VEXO DATA V3.5"), 0, 0, 0, 'o'},
      {"information chunk past the end", "a.vx3",
       Cat({Text("VEXO DATA V3.50"), Bytes{0x1A}, U32(273), Bytes(100, 0)}), 0, 0, 0, 'o'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = Path(c.name);
    Put(path, c.file);
    SongProbe p;
    ASSERT_EQ(ProbeSongFile(path, p), c.probed);
    if (c.probed) {
      EXPECT_EQ(p.version, c.version);
      EXPECT_EQ(p.bankKind, c.kind);
      EXPECT_EQ(SongTypeLetter(c.name, p.bankKind), c.letter);
      EXPECT_EQ(InfoTitle(p.info), "Arirang");
      EXPECT_EQ(InfoSinger(p.info), "Kim");
      EXPECT_EQ(InfoSongCode(p.info)[6], 3);
    }
  }
}

TEST_F(SongProbeTest, TextChunksAreTrimmedWithinTheirBytes) {
  struct Case {
    const char* what;
    Bytes text;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"T = 0: no text", {}, std::nullopt},
      {"T = 1, a zero: empty (V3.00's empty text)", {0}, ""},
      {"T = 1, one character without terminator kept", {'A'}, "A"},
      {"T = 2, CR LF", {'\r', '\n'}, ""},
      {"T = 2, two characters", {'A', 'B'}, "AB"},
      {"CR LF and a zero", Cat({Text("ABC\r\n"), Bytes{0}}), "ABC"},
      {"without terminator keeps its last character", Text("ABC"), "ABC"},
      {"with terminator", Cat({Text("ABC"), Bytes{0}}), "ABC"},
      {"CR LF inside kept", Text("A\r\nB"), "A\r\nB"},
      {"cut at an inner zero", Cat({Text("AB"), Bytes{0}, Text("CD")}), "AB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = Path("t.vx3");
    Put(path, Song("VEXO DATA V3.50", Info("T", "S", 0), c.text));
    SongProbe p;
    ASSERT_EQ(ProbeSongFile(path, p), 1);
    EXPECT_EQ(p.text, c.expected);
  }
  // A text length past the end of the file fails the probe.
  Bytes cut = Song("VEXO DATA V3.50", Info("T", "S", 0), Text("ABC"));
  cut.pop_back();
  Put(Path("cut.vx3"), cut);
  SongProbe p;
  EXPECT_EQ(ProbeSongFile(Path("cut.vx3"), p), 0);
}

TEST_F(SongProbeTest, NothingOfAnEarlierFileSurvives) {
  Put(Path("full.vx3"), Song("VEXO DATA V3.50", Info("Full", "Singer", 7), Text("text")));
  // An information chunk of only a title.
  Put(Path("short.vx3"), Song("VEXO DATA V3.50", Field("Short", 48), {}));
  SongProbe p;
  ASSERT_EQ(ProbeSongFile(Path("full.vx3"), p), 1);
  ASSERT_EQ(ProbeSongFile(Path("short.vx3"), p), 1);
  EXPECT_EQ(InfoTitle(p.info), "Short");
  EXPECT_EQ(InfoSinger(p.info), "");
  EXPECT_EQ(InfoSongCode(p.info), (std::array<uint8_t, 16>{}));
  EXPECT_FALSE(p.text);

  SongRecord r;
  ASSERT_EQ(ProbeSongRecord(Path("full.vx3"), r), 1);
  ASSERT_EQ(ProbeSongRecord(Path("short.vx3"), r), 1);
  EXPECT_EQ(FieldText(r.singer), "");
  EXPECT_EQ(r.songCode[6], 0);
  EXPECT_EQ(FieldText(r.excerpt), "");
  EXPECT_EQ(FieldText(r.fileName), "short.vx3");
}

TEST_F(SongProbeTest, FilesFromTheSongWritersOfEverySaveKind) {
  core::testing::V350Options o;
  o.bank = false;
  o.waves = false;
  o.keyword = "Twinkle twinkle\r\n";
  core::CSongData song;
  Bytes source = core::testing::V350File(o);
  ASSERT_EQ(core::ReadVexoDataBytes(song, source), 1);
  struct Case {
    int kind;
    const char* name;
    bool bank;
    int version;
    int16_t bankKind;
    char letter;
  };
  const Case cases[] = {
      {1010, "a1010.vx3", false, 1, kBankNone, 't'},
      {1011, "a1011.sb3", true, 1, kBankPresent, 'b'},
      {1020, "a1020.vx3", false, 2, kBankNone, 't'},
      {1021, "a1021.sb3", true, 2, kBankPresent, 'b'},
      {1022, "a1022.sw3", false, 2, kBankNone, 'w'},
      {1030, "a1030.vx3", false, 2, kBankNone, 't'},
      {1031, "a1031.sb3", true, 2, kBankPresent, 'b'},
      {1032, "a1032.sw3", false, 2, kBankNone, 'w'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    song.bankSlots[6] = {};
    if (c.bank) {
      song.bankSlots[6].flags = core::kBankSlotUsed;
      song.bankSlots[6].data = {'B'};
    }
    ASSERT_GT(song.SaveByKind(Path(c.name), c.kind), 0);
    SongRecord r;
    SongProbe p;
    ASSERT_EQ(ProbeSongRecord(Path(c.name), r, &p), 1);
    EXPECT_EQ(p.version, c.version);
    EXPECT_EQ(p.bankKind, c.bankKind);
    EXPECT_EQ(r.type, c.letter);
    EXPECT_EQ(FieldText(r.title), "Fixture");
    EXPECT_EQ(FieldText(r.excerpt), "Twinkle twinkle");
  }
}

TEST(FileKinds, ByExtension) {
  struct Case {
    const char* name;
    int kind;
  };
  const Case cases[] = {
      {"a.vx3", 90101},  {"A.SB3", 90102},    {"a.sw3", 90103},     {"a.mid", 90104},
      {"a.MID2", 90104}, {"a.kar", 90105},    {"Song.alb", 90106},  {"a.bmp", 90107},
      {"a.pcx", 90108},  {"a.gif", 90109},    {"a.wav", 90110},     {"a.txt", 90111},
      {"a.", 90111},     {"a.ico", 90112},    {"a.DLL", 90112},     {"a.exe", 90112},
      {"README", 0},     {"dir.d/README", 0}, {"a.tar.mid", 90104},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileKindByExtension(c.name), c.kind);
  }
}

TEST(ResourceFormat, IsBoundedAndTakesOnlyKnownConversions) {
  struct Case {
    const char* what;
    std::string format;
    std::vector<FormatArg> args;
    size_t max;
    std::string text;
  };
  const Case cases[] = {
      {"strings and numbers",
       "%s: %d songs in %ld albums",
       {std::string("Pop"), int64_t{12}, int64_t{3}},
       100,
       "Pop: 12 songs in 3 albums"},
      {"width and flags",
       "[%5s][%-4d][%03d]",
       {std::string("ab"), int64_t{7}, int64_t{5}},
       100,
       "[   ab][7   ][005]"},
      {"missing argument prints nothing", "%s and %s", {std::string("x")}, 100, "x and "},
      {"%n is shown, never written", "a%nb", {int64_t{1}}, 100, "a%nb"},
      {"percent", "100%%", {}, 100, "100%"},
      {"bounded", "%s", {std::string(5000, 'x')}, 10, std::string(10, 'x')},
      {"bounded, never half a character",
       "ab%s",
       {std::string("\xB0\xA1\xB0\xA1")},
       5,
       "ab\xB0\xA1"},
      {"precision", "%.2s", {std::string("abc")}, 100, "ab"},
      {"trailing percent", "a%", {}, 100, "a%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FormatResourceText(c.format, c.args, c.max), c.text);
  }
}

TEST_F(SongProbeTest, InformationTextsAndPresence) {
  FileInfoTexts texts{"(none)", "%s|%s|%s|%s|%s", "%d albums, %d songs", "%s in %s: %d"};
  Put(Path("s.vx3"), Song("VEXO DATA V3.50", Info("Title", "", 0), Text("k")));
  EXPECT_EQ(SongFileInfoText(Path("s.vx3"), 90101, texts),
            "Title|(none)|Lyr|Comp|" + Path("s.vx3"));
  Put(Path("Song0003.alb"), album::testing::LocalAlbumFixture());
  EXPECT_EQ(SongFileInfoText(Path("Song0003.alb"), 90106, texts), "pop [003] in /songs/pop: 2");
  Put(Path("Song.alb"), album::testing::MasterAlbumFixture(false));
  EXPECT_EQ(SongFileInfoText(Path("Song.alb"), 90106, texts), "1 albums, 2 songs");
  Put(Path("Song.alb"), album::testing::MasterAlbumFixture(true));
  EXPECT_EQ(SongFileInfoText(Path("Song.alb"), 90106, texts), "1 albums, 2 songs");
  EXPECT_EQ(SongFileInfoText(Path("s.vx3"), 90104, texts), "");
  EXPECT_EQ(SongFileInfoText(Path("none.vx3"), 90101, texts), "");

  std::array<char, 48> title{};
  EXPECT_EQ(SongFileTitle(title, Path("s.vx3"), "Untitled"), 1);
  EXPECT_EQ(FieldText(title), "Title");
  Put(Path("u.vx3"), Song("VEXO DATA V3.50", Info("", "", 0), {}));
  EXPECT_EQ(SongFileTitle(title, Path("u.vx3"), "Untitled"), 1);
  EXPECT_EQ(FieldText(title), "Untitled");
  EXPECT_EQ(SongFileTitle(title, Path("none.vx3"), "Untitled"), 0);

  std::filesystem::create_directories(Path("songs/a"));
  std::filesystem::create_directories(Path("songs/b/x.vx3"));
  Put(Path("songs/a/one.SB3"), {});
  Put(Path("songs/b/two.vx3x"), {});
  EXPECT_EQ(FolderHasSongFiles(Path("songs"), "a"), 1);
  EXPECT_EQ(FolderHasSongFiles(Path("songs/"), "b"), 0);
  EXPECT_EQ(FolderHasSongFiles(Path("songs"), "c"), 0);

  EXPECT_EQ(FileExists(Path("s.vx3")), 1);
  EXPECT_EQ(FileExists(Path("?.VX3")), 1);
  EXPECT_EQ(FileExists(Path("*.kar")), 0);
  EXPECT_EQ(FileExists(Path("songs")), 0);
}

} // namespace
