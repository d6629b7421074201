#include "platform/sys/files.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

using sys::test::ReadFile;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

TEST(Files, MatchesDosPatterns) {
  struct Case {
    const char* what;
    const char* name;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {
      {"exact", "Song.alb", "Song.alb", true},
      {"letter case ignored", "SONG.ALB", "song.alb", true},
      {"question mark is one character", "Song0001.alb", "Song????.alb", true},
      {"question mark needs its character", "Song001.alb", "Song????.alb", false},
      {"question mark is not two", "Song00001.alb", "Song????.alb", false},
      {"star", "iRo0001.alz", "iRo*.alz", true},
      {"star matches nothing", "iRo.alz", "iRo*.alz", true},
      {"star then a wrong end", "iRo0001.alb", "iRo*.alz", false},
      {"*.* takes a name without a dot", "README", "*.*", true},
      {"several stars", "a.b.c", "*.*.*", true},
      {"bytes above 0x7F compared exactly", "\xEA\xB0\x80.vx3", "\xEA\xB0\x81.vx3", false},
      {"empty pattern matches only empty", "x", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sys::MatchesDosPattern(c.name, c.pattern), c.match);
  }
}

TEST(Files, ListsFoldersSortedByBytes) {
  ScratchFolder dir;
  WriteFile(dir / "b.vx3", "12345");
  WriteFile(dir / "B.sb3", "1");
  WriteFile(dir / "a.mid", "");
  std::filesystem::create_directory(dir / "sub.vx3");
  auto all = sys::ListFolder(dir.Path());
  ASSERT_TRUE(all);
  std::vector<std::string> names;
  for (const auto& e : *all)
    names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"B.sb3", "a.mid", "b.vx3", "sub.vx3"}));
  EXPECT_EQ((*all)[2].size, 5u);
  EXPECT_FALSE((*all)[2].isFolder);
  EXPECT_TRUE((*all)[3].isFolder);
  EXPECT_GT((*all)[2].modified, 0);

  auto songs = sys::ListFolder(dir.Path(), "*.VX3");
  ASSERT_TRUE(songs);
  ASSERT_EQ(songs->size(), 2u);
  EXPECT_EQ((*songs)[0].name, "b.vx3");
  EXPECT_FALSE(sys::ListFolder(dir / "missing"));
}

TEST(Files, MakesFoldersLevelByLevel) {
  ScratchFolder dir;
  EXPECT_TRUE(sys::MakeFolders(dir.Path(), "a/b/c"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
  EXPECT_TRUE(sys::MakeFolders(dir.Path(), "a/b/c/"));
  EXPECT_FALSE(sys::MakeFolders(dir.Path(), "x/../../y"));
  EXPECT_FALSE(std::filesystem::exists(dir / "x"));
  EXPECT_FALSE(sys::MakeFolders(dir.Path(), "/tmp/y"));
  WriteFile(dir / "file", "");
  EXPECT_FALSE(sys::MakeFolders(dir.Path(), "file/z"));
}

TEST(Files, MovesWithoutReplacing) {
  ScratchFolder dir;
  WriteFile(dir / "a", "song");
  WriteFile(dir / "b", "other");
  EXPECT_FALSE(sys::MoveFile(dir / "a", dir / "b"));
  EXPECT_EQ(ReadFile(dir / "a"), "song");
  EXPECT_EQ(ReadFile(dir / "b"), "other");
  EXPECT_TRUE(sys::MoveFile(dir / "a", dir / "c"));
  EXPECT_FALSE(ReadFile(dir / "a"));
  EXPECT_EQ(ReadFile(dir / "c"), "song");
  EXPECT_FALSE(sys::MoveFile(dir / "missing", dir / "d"));
  // Across file systems when /dev/shm is one of its own.
  struct stat shm {
  }, here{};
  if (stat("/dev/shm", &shm) == 0 && stat(dir.Path().c_str(), &here) == 0 &&
      shm.st_dev != here.st_dev && access("/dev/shm", W_OK) == 0) {
    std::string far = "/dev/shm/vexo-move-" + std::to_string(getpid());
    ASSERT_TRUE(sys::MoveFile(dir / "c", far));
    EXPECT_EQ(ReadFile(far), "song");
    EXPECT_FALSE(ReadFile(dir / "c"));
    WriteFile(dir / "e", "x");
    EXPECT_FALSE(sys::MoveFile(dir / "e", far));
    unlink(far.c_str());
  }
}

} // namespace
