#include "platform/sys/atomic_file.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using sys::test::ReadFile;
using sys::test::ScratchFolder;
using sys::test::WriteFile;

size_t FolderEntries(const std::string& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
    ++n;
  return n;
}

TEST(AtomicFile, StreamsPatchesAndReplaces) {
  ScratchFolder dir;
  std::string path = dir / "Song.alb";
  WriteFile(path, "old");
  chmod(path.c_str(), 0640);
  auto f = sys::AtomicFile::Create(path);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->Write("MAGIC----"));
  ASSERT_TRUE(f->Write("records"));
  EXPECT_EQ(ReadFile(path), "old"); // nothing reaches the target before Commit
  ASSERT_TRUE(f->WriteAt(5, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("1234"), 4)));
  EXPECT_FALSE(f->WriteAt(15, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("xx"), 2)));
  ASSERT_TRUE(f->Commit());
  EXPECT_EQ(ReadFile(path), "MAGIC1234records");
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(FolderEntries(dir.Path()), 1u);
}

TEST(AtomicFile, AnUnfinishedWriteLeavesTheOldFile) {
  ScratchFolder dir;
  std::string path = dir / "Song.alb";
  WriteFile(path, "old");
  {
    auto f = sys::AtomicFile::Create(path);
    ASSERT_TRUE(f);
    f->Write("half a new fi");
  }
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FolderEntries(dir.Path()), 1u);
}

TEST(AtomicFile, AShortWriteFailsAndLeavesTheOldFile) {
  ScratchFolder dir;
  std::string path = dir / "Song.alb";
  WriteFile(path, "old");
  // A file-size limit makes the write short, as a full disk would.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool ok = sys::ReplaceFileAtomically(path, std::string_view("far longer than eight bytes"));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(FolderEntries(dir.Path()), 1u);
}

TEST(AtomicFile, ALinkStaysALink) {
  ScratchFolder dir;
  WriteFile(dir / "real", "old");
  std::filesystem::create_symlink(dir / "real", dir / "link");
  ASSERT_TRUE(sys::ReplaceFileAtomically(dir / "link", std::string_view("new")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
  EXPECT_EQ(ReadFile(dir / "real"), "new");
  EXPECT_FALSE(sys::ReplaceFileAtomically(dir / "missing/x", std::string_view("new")));
}

} // namespace
