// The background media lists: list files byte for byte, read without
// trusting them, folders listed and kept up to date from "config.ini", and
// the random and folder picks on a fixed clock and a seeded random fraction.
#include "display/medialist.h"
#include "display/tests/support/temp_folder.h"
#include "display/utils.h"

#include "platform/media/clock.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/ini.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace display;
using displaytest::ReadFile;
using displaytest::TempFolder;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

Bytes Head(const char* magic, uint32_t count) {
  Bytes b(magic, magic + 21);
  b.push_back(0x1A);
  b.push_back(0);
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(count >> (8 * i)));
  return b;
}
Bytes& Name(Bytes& b, const std::string& name, int64_t length = -1) {
  const uint32_t n = length < 0 ? static_cast<uint32_t>(name.size()) : static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(n >> (8 * i)));
  b.insert(b.end(), name.begin(), name.end());
  return b;
}

TEST(MediaListFile, EachKindsListIsItsMagicACountAndTheNames) {
  struct Row {
    MediaKind kind;
    const char* magic;
    const char* prefix;
  } rows[] = {{MediaKind::Image, "VEXO IMAGE LIST TYPE1", "iList"},
              {MediaKind::AviFlc, "VEXO IMAGE LIST TYPE2", "aList"},
              {MediaKind::Mpeg, "VEXO IMAGE LIST TYPE3", "mList"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.magic);
    Bytes golden = Head(r.magic, 2);
    Name(golden, "a.bmp");
    Name(golden, "Sub Name.JPG");
    EXPECT_EQ(MediaListBytes(r.kind, {"a.bmp", "Sub Name.JPG"}), golden);
    EXPECT_EQ(golden.size(), 27u + 4 + 5 + 4 + 12);
    EXPECT_EQ(ParseMediaList(r.kind, golden), (Names{"a.bmp", "Sub Name.JPG"}));
    EXPECT_EQ(MediaList(r.kind).ListFileName(7), std::string(r.prefix) + "007.dat");
  }
}

TEST(MediaListFile, ReadsWhatIsThereAndNoMore) {
  Bytes good = Head("VEXO IMAGE LIST TYPE1", 2);
  Name(Name(good, "a.bmp"), "b.gif");
  auto cut = [](Bytes b, size_t size) {
    b.resize(size);
    return b;
  };
  Bytes huge = Head("VEXO IMAGE LIST TYPE1", 2);
  Name(Name(huge, "a.bmp"), "b.gif", 0x7FFFFFFF);
  Bytes long260 = Head("VEXO IMAGE LIST TYPE1", 3);
  Name(Name(Name(long260, "a.bmp"), std::string(260, 'x')), "c.gif");
  Bytes long259 = Head("VEXO IMAGE LIST TYPE1", 1);
  Name(long259, std::string(259, 'y'));
  Bytes many = Head("VEXO IMAGE LIST TYPE1", 1000);
  Name(many, "a.bmp");
  Bytes negative = Head("VEXO IMAGE LIST TYPE1", 0xFFFFFFFF);
  Name(negative, "a.bmp");
  Bytes noMark = good;
  noMark[21] = 0;
  struct Row {
    const char* what;
    Bytes bytes;
    std::optional<Names> names;
  } rows[] = {
      {"whole", good, Names{"a.bmp", "b.gif"}},
      {"another kind's magic", [&] {
         Bytes b = good;
         b[20] = '2';
         return b;
       }(), std::nullopt},
      {"no 0x1A after the magic", noMark, std::nullopt},
      {"the count cut short", cut(good, 26), std::nullopt},
      {"the second name cut short", cut(good, good.size() - 2), Names{"a.bmp"}},
      {"the second length cut short", cut(good, 27 + 9 + 2), Names{"a.bmp"}},
      {"a length of 0x7FFFFFFF", huge, Names{"a.bmp"}},
      {"a name of 260 bytes", long260, Names{"a.bmp"}},
      {"a name of 259 bytes", long259, Names{std::string(259, 'y')}},
      {"a count above the names", many, Names{"a.bmp"}},
      {"a negative count", negative, Names{}},
      {"empty", {}, std::nullopt},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ParseMediaList(MediaKind::Image, r.bytes), r.names) << r.what;
}

class MediaListFolders : public ::testing::Test {
protected:
  void SetUp() override {
    config = dir / "config.ini";
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "c");
    for (const char* name : {"b.BMP", "a.jpg", "z.gif", "note.txt", "d.bmp"})
      dir.Write("a/" + std::string(name), "x");
    fs::create_directory(dir / "a/sub.bmp"); // a folder is no picture
    dir.Write("c/x.pcx", "x");
    Ini("Count", "3");
    Ini("Dir1", dir / "a");
    Ini("Dir2", "@");
    Ini("Dir3", dir / "c");
    list.slowDrive = [this](std::string_view path) { return path == slow; };
    At(0);
  }
  void TearDown() override { media::InstallTimeSource(nullptr); }

  // The clock standing at ms.
  void At(uint32_t ms) {
    auto next = std::make_unique<media::VirtualTime>(ms);
    media::InstallTimeSource(next.get());
    time = std::move(next);
  }
  void Ini(const std::string& key, const std::string& value) {
    ASSERT_TRUE(sys::IniWriteString(config, "Image", key, value));
  }
  Names Listed(int number) {
    auto names = ParseMediaList(MediaKind::Image, [&] {
      const std::string text = ReadFile(dir / list.ListFileName(number));
      return Bytes(text.begin(), text.end());
    }());
    return names.value_or(Names{"(unreadable)"});
  }

  TempFolder dir;
  std::string config;
  MediaList list{MediaKind::Image};
  std::string slow;
  std::unique_ptr<media::VirtualTime> time;
};

TEST_F(MediaListFolders, LoadWritesTheListsThatDifferAndSkipsFoldersOfAt) {
  EXPECT_FALSE(list.Load(config));
  ASSERT_EQ(list.Folders().size(), 2u) << "Dir2 is \"@\"";
  EXPECT_EQ(list.Folders()[0].number, 1);
  EXPECT_EQ(list.Folders()[1].number, 3);
  // Pattern by pattern, each in byte order.
  EXPECT_EQ(list.Folders()[0].files, (Names{"b.BMP", "d.bmp", "a.jpg", "z.gif"}));
  EXPECT_EQ(list.Folders()[1].files, (Names{"x.pcx"}));
  EXPECT_EQ(list.TotalFiles(), 5);
  EXPECT_EQ(sys::IniGetString(config, "Image", "File1", "@"), "iList001.dat");
  EXPECT_EQ(sys::IniGetString(config, "Image", "File3", "@"), "iList003.dat");
  EXPECT_FALSE(fs::exists(dir / "iList002.dat"));
  EXPECT_EQ(Listed(3), (Names{"x.pcx"}));

  // A new picture: the list is written again; an unchanged folder is not.
  const auto before = fs::last_write_time(dir / "iList003.dat");
  dir.Write("a/e.gif", "x");
  fs::last_write_time(dir / "iList003.dat", before - std::chrono::hours(1));
  EXPECT_FALSE(list.Load(config));
  EXPECT_EQ(list.Folders()[0].files, (Names{"b.BMP", "d.bmp", "a.jpg", "e.gif", "z.gif"}));
  EXPECT_EQ(Listed(1).size(), 5u);
  EXPECT_EQ(fs::last_write_time(dir / "iList003.dat"), before - std::chrono::hours(1));
}

TEST_F(MediaListFolders, AFolderOnASlowDriveKeepsItsListAndAMissingOneReadsItsList) {
  list.Load(config);
  dir.Write("a/e.gif", "x");
  slow = dir / "a";
  list.Load(config);
  EXPECT_EQ(list.Folders()[0].files.size(), 4u) << "the old list, though a file came";
  EXPECT_EQ(Listed(1).size(), 4u);
  slow.clear();
  fs::remove_all(dir / "c");
  list.Load(config);
  EXPECT_EQ(list.Folders()[1].files, (Names{"x.pcx"})) << "a folder not there keeps its list";
}

TEST_F(MediaListFolders, ARebuildWritesEveryListByItsFoldersNumberAndEndsTheBuild) {
  Ini("Build", "1");
  EXPECT_TRUE(list.Load(config));
  // The list file of folder 1 cannot be replaced: folder 3's list still
  // carries its own number.
  fs::remove(dir / "iList001.dat");
  fs::create_directory(dir / "iList001.dat");
  dir.Write("iList001.dat/keep", "x");
  list.RebuildAll(config);
  EXPECT_EQ(sys::IniGetString(config, "Image", "Build", "gone"), "gone");
  ASSERT_EQ(list.Folders().size(), 2u);
  EXPECT_TRUE(list.Folders()[0].files.empty()) << "its list could not be written";
  EXPECT_EQ(list.Folders()[1].files, (Names{"x.pcx"}));
  EXPECT_EQ(Listed(3), (Names{"x.pcx"}));
  EXPECT_FALSE(fs::exists(dir / "iList002.dat"));
  EXPECT_EQ(list.TotalFiles(), 1);
}

TEST_F(MediaListFolders, ARandomPickFollowsTheClockAndTheRandomFraction) {
  list.Load(config);
  // The clock chooses the folder: 0-3 the first's four files, 4 the second's.
  struct Row {
    uint32_t ms;
    std::string folder;
  } rows[] = {{0, dir / "a"}, {3, dir / "a"}, {4, dir / "c"}, {9, dir / "c"}, {10, dir / "a"}};
  for (const Row& r : rows) {
    At(r.ms);
    SeedRandomFraction(77);
    const double f = RandomFraction();
    SeedRandomFraction(77);
    const auto pick = list.RandomPick();
    ASSERT_TRUE(pick) << r.ms;
    const MediaFolder& folder = r.folder == dir / "a" ? list.Folders()[0] : list.Folders()[1];
    const size_t index = static_cast<size_t>(f * double(folder.files.size()));
    EXPECT_EQ(*pick, r.folder + "\\" + folder.files[index]) << r.ms;
  }
}

TEST_F(MediaListFolders, ARandomPickAmongDeletedFilesGivesUpAfterElevenTries) {
  list.Load(config);
  fs::remove_all(dir / "a");
  At(0);
  SeedRandomFraction(5);
  std::vector<double> draws;
  for (int i = 0; i < 12; ++i)
    draws.push_back(RandomFraction());
  SeedRandomFraction(5);
  EXPECT_FALSE(list.RandomPick());
  EXPECT_EQ(RandomFraction(), draws[11]) << "exactly eleven tries";

  MediaList empty(MediaKind::Image);
  EXPECT_FALSE(empty.RandomPick());
}

TEST_F(MediaListFolders, AFolderPickStartsAtThePatternOfTheClockAndWraps) {
  TempFolder only;
  only.Write("a.bmp", "x");
  only.Write("b.gif", "x");
  only.Write("c.gif", "x");
  list.SetCurrentFolder(only.Path());
  struct Row {
    uint32_t ms;
    const char* first; // the pattern whose files are picked among
  } rows[] = {{0, "bmp"}, {1, "gif"}, {2, "gif"}, {3, "gif"}, {4, "bmp"}};
  for (const Row& r : rows) {
    At(r.ms);
    SeedRandomFraction(3);
    const auto pick = list.FolderPick();
    ASSERT_TRUE(pick) << r.ms;
    EXPECT_EQ(pick->substr(pick->size() - 3), r.first) << r.ms;
    EXPECT_EQ(pick->substr(0, only.Path().size() + 1), only.Path() + "\\");
  }
  TempFolder none;
  none.Write("x.txt", "x");
  list.SetCurrentFolder(none.Path());
  EXPECT_FALSE(list.FolderPick());
  list.SetCurrentFolder("");
  EXPECT_FALSE(list.FolderPick());
}

TEST_F(MediaListFolders, NamesAreFoundIgnoringCaseAndLongJoinsAreRefused) {
  list.Load(config);
  EXPECT_EQ(list.FindByName("B.bmp"), (dir / "a") + "\\b.BMP");
  EXPECT_EQ(list.FindByName("X.PCX"), (dir / "c") + "\\x.pcx");
  EXPECT_FALSE(list.FindByName("missing.bmp"));

  const std::string deep = dir / std::string(250, 'd') + "/" + std::string(250, 'e');
  fs::create_directories(deep);
  TempFolder unused;
  std::ofstream(deep + "/" + std::string(90, 'f') + ".bmp") << "x";
  list.SetCurrentFolder(deep);
  EXPECT_FALSE(list.FolderPick()) << "a join of over 515 bytes";
  EXPECT_TRUE(list.FolderPick(1000));
  EXPECT_EQ(JoinMediaPath("C:\\pics\\", "a.bmp"), "C:\\pics\\a.bmp");
  EXPECT_EQ(JoinMediaPath("C:\\pics", "a.bmp"), "C:\\pics\\a.bmp");
}

} // namespace
