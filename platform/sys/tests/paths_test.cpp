#include "platform/sys/paths.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using sys::DriveTable;
using sys::test::ScopedEnv;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

DriveTable TestDrives() {
  DriveTable t;
  t.Set('C', "/");
  t.Set('d', "/media/cd/");
  return t;
}

struct PathCase {
  std::string from;
  std::optional<std::string> to;
};

TEST(Paths, StoredPathsToLinux) {
  const PathCase cases[] = {
      {"C:\\songs\\a.kar", "/songs/a.kar"},
      {"c:\\Songs", "/Songs"},
      {"D:\\x\\y.mid", "/media/cd/x/y.mid"},
      {"d:", "/media/cd"},
      {"D:\\", "/media/cd"},
      {"C:songs\\a.kar", "/songs/a.kar"},
      {"C:\\a\\\\b\\", "/a/b"},
      {"C:/mixed\\slashes/x", "/mixed/slashes/x"},
      {"\\songs\\a.kar", "/songs/a.kar"},
      {"songs\\a.kar", "songs/a.kar"},
      {"a.kar", "a.kar"},
      // A module folder with a stored name appended.
      {"/opt/vexo/bin\\iList001.dat", "/opt/vexo/bin/iList001.dat"},
      {"E:\\x", std::nullopt},
      {"\\\\server\\share\\a.kar", std::nullopt},
      {"", std::nullopt},
  };
  const DriveTable drives = TestDrives();
  for (const PathCase& c : cases)
    EXPECT_EQ(sys::ToLinuxPath(c.from, drives, sys::kUtf8CodePage), c.to) << c.from;

  DriveTable home;
  home.Set('C', "/home/u/win");
  EXPECT_EQ(sys::ToLinuxPath("C:\\x\\y", home), "/home/u/win/x/y");
  EXPECT_EQ(sys::ToLinuxPath("\\x", home), "/home/u/win/x");
  EXPECT_EQ(sys::ToLinuxPath("\\x", DriveTable()), std::nullopt);
}

TEST(Paths, StoredCodePageBytesBecomeUtf8Names) {
  const DriveTable drives = TestDrives();
  // "노래" in code page 949.
  EXPECT_EQ(sys::ToLinuxPath("C:\\\xB3\xEB\xB7\xA1\\a.kar", drives, 949),
            "/\xEB\x85\xB8\xEB\x9E\x98/a.kar");
  // In code page 932 the second byte of "表" is a backslash; it must not split
  // the name.
  EXPECT_EQ(sys::ToLinuxPath("C:\\\x95\x5C\\a.mid", drives, 932), "/\xE8\xA1\xA8/a.mid");
  EXPECT_EQ(sys::ToStoredPath("/\xE8\xA1\xA8/a.mid", drives, 932), "C:\\\x95\x5C\\a.mid");
}

TEST(Paths, LinuxPathsToStored) {
  const PathCase cases[] = {
      {"/songs/a.kar", "C:\\songs\\a.kar"},
      {"//songs///a.kar", "C:\\songs\\a.kar"},
      {"/media/cd/x", "D:\\x"},
      {"/media/cd", "D:\\"},
      // Drives cover whole components, not leading characters.
      {"/media/cdrom/x", "C:\\media\\cdrom\\x"},
      {"/", "C:\\"},
      {"rel/a.kar", "rel\\a.kar"},
      {"/a/b\\c", std::nullopt},
      {"", std::nullopt},
  };
  const DriveTable drives = TestDrives();
  for (const PathCase& c : cases)
    EXPECT_EQ(sys::ToStoredPath(c.from, drives, sys::kUtf8CodePage), c.to) << c.from;

  DriveTable onlyD;
  onlyD.Set('D', "/media/cd");
  EXPECT_EQ(sys::ToStoredPath("/elsewhere/a", onlyD), std::nullopt);
  EXPECT_EQ(sys::ToStoredPath("/\xEB\x85\xB8\xEB\x9E\x98/a.kar", drives, 949),
            "C:\\\xB3\xEB\xB7\xA1\\a.kar");
  // A name with no form in the code page cannot be stored.
  EXPECT_EQ(sys::ToStoredPath("/\xF0\x9F\x98\x80.kar", drives, 949), std::nullopt);
}

TEST(Paths, StoredAndBackAgain) {
  const DriveTable drives = TestDrives();
  for (const char* stored : {"C:\\songs\\a.kar", "D:\\pop\\b.mid", "C:\\"}) {
    std::optional<std::string> linux = sys::ToLinuxPath(stored, drives);
    ASSERT_TRUE(linux) << stored;
    EXPECT_EQ(sys::ToStoredPath(*linux, drives), stored);
  }
}

TEST(Paths, DriveTableEntries) {
  DriveTable t;
  EXPECT_TRUE(t.Apply("D=/media/cd;e:=/srv/;;C=/"));
  EXPECT_EQ(t.Folder('d'), "/media/cd");
  EXPECT_EQ(t.Folder('E'), "/srv");
  EXPECT_EQ(t.Folder('C'), "/");
  EXPECT_TRUE(t.Apply("C="));
  EXPECT_EQ(t.Folder('C'), std::nullopt);
  for (const char* bad : {"D/x", "1=/x", "D=relative", "DD=/x", "D=/ok;E"}) {
    DriveTable before = t;
    EXPECT_FALSE(t.Apply(bad)) << bad;
    EXPECT_EQ(t.Folder('D'), before.Folder('D')) << bad;
    EXPECT_EQ(t.Folder('E'), before.Folder('E')) << bad;
  }
  EXPECT_FALSE(t.Set('?', "/x"));
  EXPECT_FALSE(t.Set('F', "x"));
}

TEST(Paths, DefaultDrivesFromTheEnvironment) {
  {
    ScopedEnv env("VEXO_DRIVES", nullptr);
    DriveTable t = sys::DefaultDrives();
    EXPECT_EQ(t.Folder('C'), "/");
    EXPECT_EQ(t.Folder('D'), std::nullopt);
  }
  {
    ScopedEnv env("VEXO_DRIVES", "C=/home/u/win;D=/media/cd");
    DriveTable t = sys::DefaultDrives();
    EXPECT_EQ(t.Folder('C'), "/home/u/win");
    EXPECT_EQ(t.Folder('D'), "/media/cd");
  }
  {
    ScopedEnv env("VEXO_DRIVES", "garbage");
    EXPECT_EQ(sys::DefaultDrives().Folder('C'), "/");
  }
}

TEST(Paths, ConversionsUseTheCurrentDrives) {
  DriveTable saved = sys::CurrentDrives();
  DriveTable t;
  t.Set('S', "/srv/songs");
  sys::SetDrives(t);
  EXPECT_EQ(sys::ToLinuxPath("s:\\a.kar"), "/srv/songs/a.kar");
  EXPECT_EQ(sys::ToStoredPath("/srv/songs/a.kar"), "S:\\a.kar");
  EXPECT_EQ(sys::ToLinuxPath("C:\\a.kar"), std::nullopt);
  sys::SetDrives(saved);
}

class CaseLookupTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(mkdir((dir / "Songs").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir / "Songs/Pop").c_str(), 0700), 0);
    WriteFile(dir / "Songs/Pop/Hit.KAR", "x");
    WriteFile(dir / "Songs/b.mid", "x");
    WriteFile(dir / "Songs/B.MID", "x");
  }
  ScratchFolder dir;
};

TEST_F(CaseLookupTest, FindsANameInAFolder) {
  const std::string songs = dir / "Songs";
  struct Case {
    std::string name;
    std::optional<std::string> found;
  };
  const Case cases[] = {
      {"pop", "Pop"},         {"POP", "Pop"},     {"b.mid", "b.mid"}, // exact wins
      {"B.MID", "B.MID"},     {"b.MID", "B.MID"}, // of two, the first in byte order
      {"none", std::nullopt}, {"", std::nullopt}, {"Pop/Hit.KAR", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sys::FindInFolder(songs, c.name), c.found) << c.name;
  EXPECT_EQ(sys::FindInFolder(dir / "missing", "x"), std::nullopt);
}

TEST_F(CaseLookupTest, ResolvesEveryComponent) {
  const std::string root = dir.Path();
  EXPECT_EQ(sys::FindIgnoringCase(root + "/songs/POP/hit.kar"), root + "/Songs/Pop/Hit.KAR");
  EXPECT_EQ(sys::FindIgnoringCase(root + "/songs//pop/"), root + "/Songs/Pop");
  EXPECT_EQ(sys::FindIgnoringCase(root + "/songs/pop/new.kar"), std::nullopt);
  // A file about to be created keeps its own name in the real folder.
  EXPECT_EQ(sys::ResolveIgnoringCase(root + "/songs/pop/New.kar"), root + "/Songs/Pop/New.kar");
  EXPECT_EQ(sys::ResolveIgnoringCase(root + "/nope/SONGS/x"), root + "/nope/SONGS/x");
}

TEST_F(CaseLookupTest, StoredPathsOpenTheRealFile) {
  DriveTable saved = sys::CurrentDrives();
  DriveTable t;
  t.Set('D', dir.Path());
  sys::SetDrives(t);
  EXPECT_EQ(sys::ResolveStoredPath("D:\\SONGS\\pop\\HIT.kar"), dir / "Songs/Pop/Hit.KAR");
  EXPECT_EQ(sys::ResolveStoredPath("Q:\\x"), std::nullopt);
  sys::SetDrives(saved);
}

} // namespace
