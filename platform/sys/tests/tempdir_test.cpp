#include "platform/sys/tempdir.h"
#include "platform/sys/tests/support/spawned_child.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using systest::SpawnedChild;

class TempDirTest : public testing::Test {
protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "vexo-tmpbase-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    base_ = pattern;
    // Start from no folder, so that the next one is made under base_.
    ASSERT_TRUE(sys::RemoveTempDir());
    setenv("TMPDIR", base_.c_str(), 1);
  }
  void TearDown() override {
    sys::RemoveTempDir();
    unsetenv("TMPDIR");
    fs::remove_all(base_);
  }

  std::string base_;
};

TEST_F(TempDirTest, TheFolderIsPrivateAndUnderTmpdir) {
  std::string dir = sys::TempDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(fs::path(dir).parent_path(), fs::path(base_));
  struct stat st {};
  ASSERT_EQ(lstat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, geteuid());
  EXPECT_EQ(sys::TempDir(), dir); // one per process
}

TEST_F(TempDirTest, FixedNamesLandInTheFolder) {
  std::string dir = sys::TempDir();
  EXPECT_EQ(sys::TempPath("~~~TMP__.001"), dir + "/~~~TMP__.001");
  EXPECT_EQ(sys::TempPath("a/b"), "");
  EXPECT_EQ(sys::TempPath(".."), "");
  EXPECT_EQ(sys::TempPath(""), "");
}

TEST_F(TempDirTest, TemporaryFilesHaveUniqueNames) {
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) {
    std::string path = sys::CreateTempFile("song-", ".tmp");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(sys::TempDir()));
    EXPECT_EQ(fs::path(path).extension(), ".tmp");
    EXPECT_EQ(fs::file_size(path), 0u);
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 100u);
  EXPECT_EQ(sys::CreateTempFile("a/b"), "");
}

TEST_F(TempDirTest, RemovingOnRequestTakesTheFilesAlong) {
  std::string dir = sys::TempDir();
  ASSERT_FALSE(sys::CreateTempFile("x").empty());
  fs::create_directory(dir + "/sub");
  ASSERT_FALSE(sys::CreateTempFile("y").empty());
  EXPECT_TRUE(sys::RemoveTempDir());
  EXPECT_FALSE(fs::exists(dir));
  std::string next = sys::TempDir();
  EXPECT_FALSE(next.empty());
  EXPECT_NE(next, dir);
}

TEST_F(TempDirTest, AnEmptyFolderGoesAtExitAndAUsedOneStays) {
  auto empty = SpawnedChild::Start(VEXO_TESTS_DIR "/tempdir_user", {}, {"TMPDIR=" + base_});
  ASSERT_TRUE(empty);
  auto emptyDir = empty->ReadLine();
  ASSERT_TRUE(emptyDir);
  EXPECT_EQ(empty->Wait(), 0);
  EXPECT_EQ(fs::path(*emptyDir).parent_path(), fs::path(base_));
  EXPECT_FALSE(fs::exists(*emptyDir));

  // Nothing is lost: a file left behind keeps the folder.
  auto used = SpawnedChild::Start(VEXO_TESTS_DIR "/tempdir_user", {"file"}, {"TMPDIR=" + base_});
  ASSERT_TRUE(used);
  auto usedDir = used->ReadLine();
  auto file = used->ReadLine();
  ASSERT_TRUE(usedDir && file);
  EXPECT_EQ(used->Wait(), 0);
  EXPECT_TRUE(fs::exists(*file));
}

TEST_F(TempDirTest, AForkedChildGetsAFolderOfItsOwn) {
  std::string mine = sys::TempDir();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::string theirs = sys::TempDir();
    ssize_t n = write(fds[1], theirs.data(), theirs.size());
    _exit(n == static_cast<ssize_t>(theirs.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string theirs;
  char buf[512];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0)
    theirs.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(theirs.empty());
  EXPECT_NE(theirs, mine);
  EXPECT_TRUE(fs::exists(mine));
}

} // namespace
