#include "album/albumtext.h"

#include "htmltitle/dbcs.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

using namespace album;

// Local time is fixed for the date tests.
class FixedZone {
public:
  explicit FixedZone(const char* tz) : env_("TZ", tz) { tzset(); }
  ~FixedZone() { tzset(); }

private:
  sys::test::ScopedEnv env_;
};

TEST(AlbumText, FormatsFileTimes) {
  FixedZone zone("UTC0");
  struct Case {
    const char* what;
    int64_t time;
    const char* text;
  };
  const Case cases[] = {
      {"afternoon of 2005", 1118067300, "105-06-06 PM  2:15"},
      {"midnight is 12 AM", 946684800, "100-01-01 AM 12:00"},
      {"noon is 12 PM", 946728000, "100-01-01 PM 12:00"},
      {"one hour shown with a blank", 946688400 + 60 * 5, "100-01-01 AM  1:05"},
      {"before 1980 still the year less 1900", 0, "70-01-01 AM 12:00"},
      {"after 2107", 4354819200, "208-01-01 AM 12:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FormatFileTime(c.time), c.text);
  }
}

TEST(AlbumText, FormatsSizes) {
  constexpr uint64_t MB = 1048576;
  struct Case {
    const char* what;
    uint64_t size;
    const char* unit;
    const char* kb;
  };
  const Case cases[] = {
      {"zero", 0, "0", "0KB"},
      {"one byte", 1, "0", "1KB"},
      {"one kilobyte", 1024, "0", "2KB"},
      {"a tenth", MB / 10 + 1, "0.1MB", "103KB"},
      {"one and a half", 1572864, "1.5MB", "1,537KB"},
      {"just under two: never 1.10MB", 2 * MB - 1, "1.9MB", "2,048KB"},
      {"100 MB keeps its tenths", 100 * MB + MB / 2, "100.5MB", "1,02,913KB"},
      {"150 MB", 150 * MB, "150MB", "1,53,601KB"},
      {"2,000 MB", 2000 * MB, "2.0GB", "20,48,001KB"},
      {"2,500 MB", 2500 * MB, "2.5GB", "25,60,001KB"},
      {"past 4 GB", 5000 * MB, "5.0GB", "51,20,001KB"},
      {"150,000 MB", 150000 * MB, "150GB", "15,36,00,001KB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FormatSizeUnit(c.size), c.unit);
    EXPECT_EQ(FormatSizeKB(c.size), c.kb);
  }
  EXPECT_EQ(FormatSizeKB(1233 * 1024ull), "1,234KB");
  EXPECT_EQ(FormatSizeKB(1234566 * 1024ull), "12,34,567KB");
}

TEST(AlbumText, ComparesSongTitles) {
  struct Case {
    const char* what;
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"equal", "Arirang", "Arirang", 0},
      {"apostrophes, commas, blanks and case", "Don't Stop, Me", "dontstopme", 0},
      {"ordered", "Apple", "Banana", -1},
      {"reversed", "banana", "Apple", 1},
      {"bytes above 0x7F sort after ASCII", "\xB0\xA1", "z", 1},
      {"only the first 49 bytes", "0123456789012345678901234567890123456789012345678A",
       "0123456789012345678901234567890123456789012345678B", 0},
      {"null a", nullptr, "x", -1},
      {"null b", "x", nullptr, 1},
      {"two nulls", nullptr, nullptr, 0},
      // KS X 1001 syllables whose trail bytes are capital letters: folding
      // them would make distinct syllables equal.
      {"UHC trail 0x41 against 0x61", "\x81\x41", "\x81\x61", -1},
      {"UHC trail 0x5A against 0x7A", "\xC5\x5A", "\xC5\x7A", -1},
      {"KS X 1001 pair", "\xB0\xA1", "\xB0\xA2", -1},
      {"syllable then capital folds",
       "\xB0\xA1"
       "A",
       "\xB0\xA1"
       "a",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CompareSongTitle(c.a, c.b), c.order);
  }
}

TEST(AlbumText, FoldAgreesWithTheByteClassifier) {
  const std::string text = "AB\x81\x41Z\xC5\x5A"
                           "C\xB0\xA1";
  std::string folded = FoldAlbumText(text);
  for (size_t i = 0; i < text.size(); ++i) {
    bool single = GetDbcsByteClass(text.c_str(), static_cast<int32_t>(i)) == 0;
    char c = text[i];
    char want = single && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    EXPECT_EQ(folded[i], want) << i;
  }
  EXPECT_TRUE(AlbumTextEqual("Song.ALB", "song.alb"));
  EXPECT_FALSE(AlbumTextEqual("\x81\x41", "\x81\x61"));
}

TEST(AlbumText, CutsPathsAtTheirExtension) {
  struct Case {
    const char* what;
    std::string path;
    int result;
    std::string after;
  };
  const Case cases[] = {
      {"file with extension", "http://x/a/song.vx3", 1, "http://x/a"},
      {"trailing slash", "http://x/a/", 1, "http://x/a"},
      {"folder", "http://x/a", 0, "http://x/a"},
      {"no slash", "song.vx3", 0, "song.vx3"},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HasFileExtension(c.path), c.result);
    EXPECT_EQ(c.path, c.after);
  }
}

TEST(AlbumText, ScramblingRoundTripsEveryByteAndPhase) {
  for (int phase = 0; phase < 5; ++phase) {
    for (int b = 0; b < 256; ++b) {
      std::vector<uint8_t> bytes(phase + 1, 'x');
      bytes[phase] = static_cast<uint8_t>(b);
      std::vector<uint8_t> plain = bytes;
      ScrambleBytes(bytes);
      EXPECT_EQ(bytes[phase], static_cast<uint8_t>((b + phase) ^ 0x80));
      UnscrambleBytes(bytes);
      ASSERT_EQ(bytes, plain) << "byte " << b << " phase " << phase;
    }
  }
}

TEST(AlbumText, UnscramblesFieldsInPlace) {
  // "song.vx3" stored scrambled, then zero padding, then a guard byte past
  // the field's length that must stay.
  std::string plain = "song.vx3";
  std::vector<uint8_t> stored(plain.begin(), plain.end());
  ScrambleBytes(stored);
  std::vector<char> field(16, 0);
  std::copy(stored.begin(), stored.end(), field.begin());
  field[12] = 'G';
  ASSERT_EQ(UnscrambleField(field.data(), 12), 1);
  EXPECT_STREQ(field.data(), "song.vx3");
  EXPECT_EQ(field[12], 'G');

  // A field filled to its length with no stored zero: nothing past length.
  std::vector<uint8_t> full = {'a', 'b', 'c', 'd'};
  ScrambleBytes(full);
  std::vector<char> f2(full.begin(), full.end());
  f2.push_back('G');
  UnscrambleField(f2.data(), 4);
  EXPECT_EQ(std::string(f2.begin(), f2.end()), "abcdG");

  // A plain zero inside the stored text ends it.
  std::vector<uint8_t> z = {'a', 0, 'c'};
  ScrambleBytes(z);
  std::vector<char> f3(z.begin(), z.end());
  f3.push_back(0);
  UnscrambleField(f3.data(), 3);
  EXPECT_STREQ(f3.data(), "a");
}

TEST(AlbumText, NumberListsArePruned) {
  auto list = [](std::initializer_list<int32_t> v) {
    std::unique_ptr<NumberNode> first;
    for (auto it = std::rbegin(v); it != std::rend(v); ++it)
      first = std::make_unique<NumberNode>(*it, std::move(first));
    return first;
  };
  auto values = [](const NumberNode* n) {
    std::vector<int32_t> out;
    for (; n; n = n->next.get())
      out.push_back(n->value);
    return out;
  };
  struct Case {
    const char* what;
    std::initializer_list<int32_t> a, b;
    std::vector<int32_t> kept;
  };
  const Case cases[] = {
      {"first nodes removed", {1, 2}, {1, 2, 3, 1}, {3}},
      {"nothing listed", {9}, {1, 2}, {1, 2}},
      {"all removed", {1, 2}, {2, 1}, {}},
      {"empty a", {}, {4}, {4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto a = list(c.a);
    auto b = list(c.b);
    EXPECT_EQ(RemoveListedNumbers(a.get(), b), static_cast<int>(c.kept.size()));
    EXPECT_EQ(values(b.get()), c.kept);
  }
  auto a = list({5, 6});
  EXPECT_EQ(IsInList(a.get(), 6), 1);
  EXPECT_EQ(IsInList(a.get(), 7), 0);
  EXPECT_EQ(IsInList(nullptr, 7), 0);
  // A long chain is freed without deep recursion.
  std::unique_ptr<NumberNode> longList;
  for (int i = 0; i < 1000000; ++i)
    longList = std::make_unique<NumberNode>(i, std::move(longList));
  longList.reset();
}

TEST(AlbumText, DeletesExactlyTheMatchingFiles) {
  sys::test::ScratchFolder dir;
  for (const char* name : {"Song0001.alb", "song0002.ALB", "Song.alb", "Song00001.alb",
                           "Song0003.alz", "iSong.alb", "Song0004.alb.bak"})
    sys::test::WriteFile(dir / name, "x");
  std::filesystem::create_directory(dir / "Song0009.alb");
  EXPECT_EQ(DeleteMatchingFiles(dir.Path(), "Song????.alb"), 2);
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"Song.alb", "Song00001.alb", "Song0003.alz",
                                            "Song0004.alb.bak", "Song0009.alb", "iSong.alb"}));
  EXPECT_EQ(DeleteMatchingFiles(dir.Path(), "../*"), -1);
  EXPECT_EQ(DeleteMatchingFiles(dir.Path(), ".."), -1);
  EXPECT_EQ(DeleteMatchingFiles(dir.Path(), "/etc/*"), -1);
}

TEST(AlbumText, EnsuresFolderPathsBelowTheBase) {
  sys::test::ScratchFolder dir;
  struct Case {
    const char* what;
    std::string full;
    int result;
    const char* mustExist;
  };
  const Case cases[] = {
      {"levels below the base", dir / "a/b/c", 1, "a/b/c"},
      {"a last part with a dot is a file", dir / "d/e/song.vx3", 1, "d/e"},
      {"relative rest", "f/g", 1, "f/g"},
      {"existing levels", dir / "a/b", 1, "a/b"},
      {"'..' refused", dir / "h/../../x", 0, nullptr},
      {"absolute elsewhere refused", "/tmp/elsewhere", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(EnsureFolderPath(dir.Path(), c.full), c.result);
    if (c.mustExist) {
      EXPECT_TRUE(std::filesystem::is_directory(dir / c.mustExist));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "d/e/song.vx3"));
  EXPECT_FALSE(std::filesystem::exists(dir / "h"));
}

TEST(AlbumText, ChecksDrivesAgainstTheMountTable) {
  sys::test::ScratchFolder dir;
  std::filesystem::create_directories(dir / "fixed");
  std::filesystem::create_directories(dir / "cd");
  std::filesystem::create_directories(dir / "stick");
  std::filesystem::create_directories(dir / "net");
  std::filesystem::create_directories(dir / "sys/dev/block/8:16");
  std::filesystem::create_directories(dir / "sys/dev/block/8:0");
  sys::test::WriteFile(dir / "sys/dev/block/8:16/removable", "1\n");
  sys::test::WriteFile(dir / "sys/dev/block/8:0/removable", "0\n");
  std::string real = std::filesystem::canonical(dir.Path()).string();
  std::string table = "1 0 8:0 / / rw - ext4 /dev/sda1 rw\n"
                      "2 1 11:0 / " +
                      real +
                      "/cd ro - iso9660 /dev/sr0 ro\n"
                      "3 1 8:16 / " +
                      real +
                      "/stick rw - vfat /dev/sdb rw\n"
                      "4 1 0:50 / " +
                      real + "/net rw - cifs //srv/songs rw\n";
  VolumeLookup v{sys::DriveTable(), sys::MountTable::Parse(table, dir / "sys")};
  v.drives.Set('C', real + "/fixed");
  v.drives.Set('D', real + "/cd");
  v.drives.Set('E', real + "/stick");
  v.drives.Set('F', real + "/net");
  v.drives.Set('G', real + "/unplugged");
  struct Case {
    const char* what;
    std::string path;
    int cdrom;
    std::string fixed;
  };
  const Case cases[] = {
      {"fixed", "C:\\songs", 0, "C:\\songs"},          {"optical", "D:\\songs", 1, "C:\\"},
      {"removable", "e:\\songs", 1, "C:\\"},           {"network", "F:\\songs", 1, "C:\\"},
      {"unmounted", "G:\\songs", 1, "C:\\"},           {"unmapped letter", "Q:\\songs", 1, "C:\\"},
      {"no colon, no backslash", "songs", 0, "songs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsCdRomDrive(c.path, v), c.cdrom);
    std::string p = c.path;
    CheckFixedDrivePath(p, v);
    EXPECT_EQ(p, c.fixed);
  }
}

} // namespace
