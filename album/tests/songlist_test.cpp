#include "album/songlist.h"

#include "album/tests/support/songlist_catalogue.h"
#include "platform/sys/ini.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

using namespace album;
namespace fs = std::filesystem;

SongListTexts Texts() {
  SongListTexts t;
  t.numberHeading = "No.";
  t.titleHeading = "Title";
  t.singerHeading = "Singer";
  t.excerptHeading = "Lyrics";
  t.noTitle = "(No title)";
  t.sorting = "sorting";
  t.sortingDetail = "detail";
  t.writing = "writing";
  return t;
}

// Every call the export makes on its progress dialog.
class RecordingProgress : public RebuildProgress {
public:
  void Open(std::string_view text) override { calls.push_back("open " + std::string(text)); }
  void SetText(int line, std::string_view text) override {
    calls.push_back("text " + std::to_string(line) + " " + std::string(text));
  }
  void SetBar(int percent) override {
    bars.push_back(percent);
    if (percent < 0 || percent > 100)
      calls.push_back("bar out of range");
  }
  void Close(std::string_view) override { calls.push_back("close"); }
  std::vector<std::string> calls;
  std::vector<int> bars;
};

class SongListTest : public ::testing::Test {
public:
  void SetUp() override {
    album_ = dir_ / "album";
    fs::create_directories(album_);
    ASSERT_TRUE(album::testing::WriteListCatalogue(album_));
    ASSERT_EQ(db_.Open(album_), 1);
  }
  std::string Export(SongListForm form, bool* written = nullptr) {
    SongListOptions o;
    o.form = form;
    o.texts = Texts();
    o.progress = &progress_;
    std::string path;
    bool ok = WriteSongList(db_, o, &path);
    if (written)
      *written = ok;
    EXPECT_EQ(path, dir_ / "Song/Song.txt");
    return sys::test::ReadFile(path).value_or("(none)");
  }

  sys::test::ScratchFolder dir_;
  std::string album_;
  AlbumDatabase db_;
  RecordingProgress progress_;
};

// Numbers above five digits move the later columns of every line by one;
// cut texts end in '~' and never in half a character; CR, LF and TAB are
// blanks; the order is the Korean reading order without letter case (the
// empty title first, Hangul before Latin, "apple" before "Banana"); records
// that are not in their album files are left out.
TEST_F(SongListTest, FixedColumnsGolden) {
  bool written = false;
  const std::string want =
      "No.    Title                                 Singer                Lyrics\r\n"
      "--------------------------------------------------------------------------------------------"
      "\r\n"
      "0007   (No title)                            Nobody                no title here\r\n"
      "0040   \xB0"
      "\xA1"
      "\xB3"
      "\xAA"
      "                                  Korean                \xB0"
      "\xA1"
      "\r\n"
      "0001   apple song                            Kim                   Arirang arirang\r\n"
      "9999   Banana.............................   Singer of twenty b.   exactly twenty-four "
      "byt~\r\n"
      "10000  Cherry.............................~  Twenty bytes singer~  twenty-three bytes "
      "long\r\n"
      "123456 Date...............................~  S                     x\r\n"
      "0020   Elder.............................~   \xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "~   ababababababababababab~\r\n"
      "0008   Grape                                 Empty                 \r\n"
      "0030   Hello  World X                        Tab Singer            one two three\r\n";
  EXPECT_EQ(Export(SongListForm::kColumns, &written), want);
  EXPECT_TRUE(written);
  EXPECT_EQ(progress_.calls,
            (std::vector<std::string>{"open sorting", "text 2 detail", "text 1 writing", "close"}));
  ASSERT_FALSE(progress_.bars.empty());
  EXPECT_EQ(progress_.bars.back(), 100);
}

TEST_F(SongListTest, TabSeparatedGolden) {
  const std::string want =
      "0007\t(No title)\tNobody\t\t\tno title here\tD:\\Karaoke\\Pop\\f.vx3\r\n"
      "0040\t\xB0"
      "\xA1"
      "\xB3"
      "\xAA"
      "\tKorean\t\t\t\xB0"
      "\xA1"
      "\tE:\\Old\\i.vx3\r\n"
      "0001\tapple song\tKim\tLee\tPark\tArirang arirang\tD:\\Karaoke\\Pop\\a.vx3\r\n"
      "9999\tBanana.............................\tSinger of twenty b.\tL\tC\texactly twenty-four "
      "byt~\tD:\\Karaoke\\Pop\\b.vx3\r\n"
      "10000\tCherry..............................\tTwenty bytes singer!\t\t\ttwenty-three bytes "
      "long\tE:\\Old\\c.vx3\r\n"
      "123456\tDate.................................\tS\t\t\tx\tE:\\Old\\d.vx3\r\n"
      "0020\tElder.............................\xB0"
      "\xA1"
      "z\t\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB0"
      "\xA1"
      "\xB3"
      "\xAA"
      "\t\t\tababababababababababab~\tD:\\Karaoke\\Pop\\e.vx3\r\n"
      "0008\tGrape\tEmpty\t\t\t\tE:\\Old\\g.vx3\r\n"
      "0030\tHello  World X\tTab Singer\tLy r\tCo m\tone two three\tD:\\Karaoke\\Pop\\h.vx3\r\n";
  EXPECT_EQ(Export(SongListForm::kTabs), want);
}

TEST(SongListLines, FiveDigitNumbersKeepTheColumns) {
  SongRecord r;
  r.number = 12345;
  SetField(r.title, "T");
  SetField(r.singer, "S");
  SetField(r.excerpt, "E");
  EXPECT_EQ(ColumnLine(r, Texts(), 0),
            "12345 T                                     S                     E\r\n");
  r.number = 5;
  EXPECT_EQ(ColumnLine(r, Texts(), 0),
            "0005  T                                     S                     E\r\n");
  EXPECT_EQ(ColumnRule(0), std::string(91, '-') + "\r\n");
}

TEST(SongListLines, CutsAtTheWidthWithoutHalfCharacters) {
  struct Case {
    const char* what;
    std::string text;
    size_t width;
    std::string want;
  } cases[] = {
      {"one byte short stays", std::string(35, 'a'), 36, std::string(35, 'a')},
      {"the width ends in '~'", std::string(36, 'a'), 36, std::string(35, 'a') + "~"},
      {"a lead byte at the cut is dropped whole", std::string(35, 'a') + "\xB0\xA1", 36,
       std::string(35, 'a') + "~"},
      {"a trail byte at the cut drops its character", std::string(34, 'a') + "\xB0\xA1", 36,
       std::string(34, 'a') + "~"},
      {"double-byte text throughout", "\xB0\xA1\xB0\xA1\xB0\xA1", 5, "\xB0\xA1\xB0\xA1~"},
      {"empty", "", 20, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CutListText(c.text, c.width), c.want) << c.what;
}

TEST_F(SongListTest, AFailedExportKeepsTheOldListWhole) {
  fs::create_directories(dir_ / "Song");
  sys::test::WriteFile(dir_ / "Song/Song.txt", "the old list\r\n");
  // A file-size limit fails the writes, as a full disk would.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit small = saved;
  small.rlim_cur = 200;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = true;
  std::string after = Export(SongListForm::kColumns, &written);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(written);
  EXPECT_EQ(after, "the old list\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "Song"), fs::directory_iterator()), 1);
  EXPECT_EQ(progress_.calls.back(), "close");
}

TEST_F(SongListTest, AFileInPlaceOfTheSongFolderFailsTheExport) {
  sys::test::WriteFile(dir_ / "Song", "not a folder");
  bool written = true;
  Export(SongListForm::kTabs, &written);
  EXPECT_FALSE(written);
  EXPECT_EQ(sys::test::ReadFile(dir_ / "Song"), "not a folder");
}

TEST(SongListFiles, NamesByModeInTheSiblingSongFolder) {
  EXPECT_EQ(SongListPath("/k/album/", 0), "/k/Song/Song.txt");
  EXPECT_EQ(SongListPath("/k/album", 1), "/k/Song/iSong.txt");
  EXPECT_EQ(SongListPath("/k/album/", 2), "/k/Song/jSong.txt");
  EXPECT_EQ(SongListPath("/k/album/", 3), "/k/Song/pSong.txt");
}

TEST(SongListEditor, StartsTheConfiguredEditorWithThePathAlone) {
  sys::test::ScratchFolder dir;
  const std::string ini = dir / "config.ini";
  const std::string list = dir / "Song/Song.txt";
  struct Case {
    const char* what;
    const char* value; // nullptr: no key
    std::vector<std::string> argv;
  } cases[] = {
      {"no key", nullptr, {"xdg-open", list}},
      {"0", "0", {"xdg-open", list}},
      {"empty", "", {"xdg-open", list}},
      {"begins with 0", "0gedit", {"xdg-open", list}},
      {"Notepad.exe in any case", "NOTEPAD.EXE", {"xdg-open", list}},
      {"a program", "gedit", {"gedit", list}},
      {"a command line stays one program name",
       "kate --new; rm -rf ~",
       {"kate --new; rm -rf ~", list}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(ini);
    if (c.value) {
      ASSERT_TRUE(sys::IniWriteString(ini, "AlbManager", "WordEditor", c.value));
    }
    std::vector<std::vector<std::string>> started;
    EXPECT_TRUE(OpenSongListInEditor(ini, list, [&](const std::vector<std::string>& argv) {
      started.push_back(argv);
      return true;
    })) << c.what;
    EXPECT_EQ(started, (std::vector<std::vector<std::string>>{c.argv})) << c.what;
  }
  EXPECT_FALSE(
      OpenSongListInEditor(ini, list, [](const std::vector<std::string>&) { return false; }));
}

} // namespace
