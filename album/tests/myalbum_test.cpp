// The my-album store's file against hand-built bytes, names kept bare,
// loading that trusts no count, damaged files kept aside, ids, and title
// order on saving.
#include "album/myalbum.h"

#include "album/albumdatabase.h"
#include "album/albumformats.h"
#include "album/tests/support/album_bytes.h"
#include "album/tests/support/song_tree.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace album;
using namespace album::testing;
namespace fs = std::filesystem;

const std::string kMagic = "VEXO3 FAVORITE SONG V1.0\x1A";

Bytes Header(const std::string& name, uint16_t count, uint32_t total) {
  return Cat({Text(kMagic), Field(name, 60), U16(count), U32(total), U32(0)});
}
Bytes Entry(const std::string& name, uint32_t count) {
  return Cat({Field(name, 60), U32(count)});
}

// Lists of 2, 0 and 5 songs.
Bytes ThreeLists() {
  return Cat({Header("Favourites", 3, 7), Entry("Rock", 2), Entry("Empty", 0),
              Entry("Hits (old)", 5), U32(11), U32(12), U32(21), U32(22), U32(23), U32(24),
              U32(25)});
}

std::vector<uint8_t> Vec(const Bytes& b) {
  return std::vector<uint8_t>(b.begin(), b.end());
}

TEST(MyAlbumStore, FilesByteForByte) {
  MyAlbumStore empty(nullptr, "", "My Albums");
  EXPECT_EQ(empty.Encode(), Vec(Header("My Albums", 0, 0)));
  EXPECT_EQ(empty.Encode().size(), 95u);

  MyAlbumStore store(nullptr, "", "x");
  ASSERT_EQ(store.LoadBytes(Vec(ThreeLists())), 1);
  ASSERT_EQ(store.Count(), 3);
  EXPECT_EQ(store.HeaderName(), "Favourites");
  EXPECT_STREQ(store.GetNameOfMyAlbum(2), "Hits (old)");
  EXPECT_EQ(store.GetNumOfSongInMyAlbum(2), 5u);
  EXPECT_EQ(store.GetSongNumInMyAlbum(2, 4), 25u);
  EXPECT_EQ(store.GetSongNumInMyAlbum(2, 5), 0u);
  EXPECT_EQ(store.GetSongNumInMyAlbum(3, 0), 0u);
  EXPECT_EQ(store.GetMyAlbum(1)->id, 1);
  std::vector<uint8_t> again = store.Encode();
  EXPECT_EQ(again.size(), 95u + 3 * 64 + 7 * 4);
  EXPECT_EQ(again, Vec(ThreeLists()));
}

TEST(MyAlbumStore, NamesAreKeptBare) {
  // 30 syllables: 29 of them (58 bytes) fit whole in the field's 59.
  std::string syllables;
  for (int i = 0; i < 30; ++i)
    syllables += "\xB0\xA1";
  struct {
    const char* what;
    std::string stored, kept;
  } cases[] = {
      {"a count label", "Rock (12)", "Rock"},
      {"a blank left by an older writer", "Rock ", "Rock"},
      {"a parenthesis that is no count", "Hits (old)", "Hits (old)"},
      {"a count without its blank", "Mix(3)", "Mix(3)"},
      {"labels after labels and blanks", "Rock (1) (2) ", "Rock"},
      {"Korean text past the field", syllables, syllables.substr(0, 58)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BareMyAlbumName(c.stored), c.kept);
    EXPECT_EQ(BareMyAlbumName(c.kept), c.kept) << "a bare name stays";
    MyAlbumStore store(nullptr, "", "x");
    ASSERT_EQ(store.LoadBytes(Vec(Cat({Header("h", 1, 0), Entry(c.stored.substr(0, 59), 0)}))), 1);
    EXPECT_EQ(std::string(store.GetNameOfMyAlbum(0)), BareMyAlbumName(c.stored.substr(0, 59)));
    MyAlbumStore again(nullptr, "", "x");
    ASSERT_EQ(again.LoadBytes(store.Encode()), 1);
    EXPECT_EQ(std::string(again.GetNameOfMyAlbum(0)), std::string(store.GetNameOfMyAlbum(0)));
  }
}

TEST(MyAlbumStore, CountsPastTheFileAreNotTrusted) {
  const Bytes whole = ThreeLists();
  // Every prefix loads what it holds and no more, and never whole.
  for (size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE("prefix of " + std::to_string(n) + " bytes");
    MyAlbumStore store(nullptr, "", "x");
    EXPECT_EQ(store.LoadBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + n)), 0);
    uint32_t songs = 0;
    for (int i = 0; i < store.Count(); ++i)
      songs += store.GetNumOfSongInMyAlbum(i);
    EXPECT_LE(songs, n > 95 + 3 * 64 ? (n - 95 - 3 * 64) / 4 : 0);
  }
  struct {
    const char* what;
    Bytes file;
    int lists;
  } cases[] = {
      {"a huge list count", Cat({Header("h", 0x7FFF, 0), Entry("a", 1), U32(5)}), 1},
      {"a negative list count", Cat({Header("h", 0x8000, 0), Entry("a", 1), U32(5)}), 0},
      {"a huge song count", Cat({Header("h", 1, 0), Entry("a", 0x7FFFFFFF), U32(5)}), 1},
      {"a negative song count", Cat({Header("h", 1, 0), Entry("a", 0xFFFFFFFF), U32(5)}), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MyAlbumStore store(nullptr, "", "x");
    EXPECT_EQ(store.LoadBytes(Vec(c.file)), 0);
    EXPECT_EQ(store.Count(), c.lists);
    if (store.Count() > 0) {
      EXPECT_LE(store.GetNumOfSongInMyAlbum(0), 1u);
    }
    // What was read saves as a whole file.
    MyAlbumStore again(nullptr, "", "x");
    EXPECT_EQ(again.LoadBytes(store.Encode()), 1);
  }
}

TEST(MyAlbumStore, IdsStayUniqueAndHitTheirList) {
  sys::test::ScratchFolder dir;
  MyAlbumStore store(nullptr, dir.Path(), "My Albums");
  EXPECT_EQ(store.RenameMyAlbum(0, "x"), 0) << "no list";
  int32_t a = store.AddMyAlbum("A")->id;
  int32_t b = store.AddMyAlbum("B")->id;
  EXPECT_EQ(store.RemoveMyAlbum(a), 1);
  int32_t c = store.AddMyAlbum("C")->id;
  EXPECT_NE(c, b) << "a new list takes no id a list has";
  EXPECT_EQ(store.RenameMyAlbum(b, "B2"), 1);
  EXPECT_EQ(store.RemoveMyAlbum(c), 1);
  EXPECT_EQ(store.Count(), 1);
  EXPECT_STREQ(store.GetNameOfMyAlbum(0), "B2");
  EXPECT_EQ(store.RemoveMyAlbum(c), 0);

  ASSERT_EQ(store.Save(), 1);
  EXPECT_EQ(store.Save(), 0) << "nothing changed: nothing written";
  EXPECT_EQ(store.RenameMyAlbum(99, "none"), 1);
  EXPECT_FALSE(store.Modified());
  EXPECT_STREQ(store.GetNameOfMyAlbum(0), "B2");
}

TEST(MyAlbumStore, ADamagedFileIsKeptAsideAndNeverWrittenOver) {
  sys::test::ScratchFolder dir;
  Bytes whole = ThreeLists();
  std::string cut(whole.begin(), whole.end() - 6);
  sys::test::WriteFile(dir / "MySong.alb", cut);
  MyAlbumStore store(nullptr, dir.Path(), "x");
  EXPECT_EQ(store.Load(), 0);
  EXPECT_EQ(store.Count(), 3);
  EXPECT_EQ(store.GetNumOfSongInMyAlbum(2), 3u);
  store.AddSong(1, 7);
  ASSERT_EQ(store.Save(), 1);
  ASSERT_FALSE(store.DamagedCopy().empty());
  EXPECT_EQ(sys::test::ReadFile(store.DamagedCopy()), cut);
  MyAlbumStore reread(nullptr, dir.Path(), "x");
  EXPECT_EQ(reread.Load(), 1);
  EXPECT_EQ(reread.GetSongNumInMyAlbum(1, 0), 7u);

  // A file that cannot be written keeps the old one and the modified flag.
  fs::create_directories(dir / "ro");
  MyAlbumStore ro(nullptr, dir / "ro", "x");
  ro.AddMyAlbum("A");
  fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  if (access((dir / "ro").c_str(), W_OK) != 0) { // root writes anyway
    EXPECT_EQ(ro.Save(), 0);
    EXPECT_TRUE(ro.Modified());
  }
  fs::permissions(dir / "ro", fs::perms::owner_all);
}

// Runs body in a child process that cannot pass file permissions: under an
// unprivileged user when this process is root. The child's exit code, or -1
// when no such child can be made.
int RunUnprivileged(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid < 0)
    return -1;
  if (pid == 0) {
    if (geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
          setresuid(kNobody, kNobody, kNobody) != 0)
        _exit(99);
    }
    _exit(body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 99)
    return -1;
  return WEXITSTATUS(status);
}

TEST(MyAlbumStore, ASaveThatCannotWriteKeepsTheOldFileAndTheModifiedFlag) {
  sys::test::ScratchFolder dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string folder = dir / "ro";
  fs::create_directories(folder);
  const Bytes old = ThreeLists();
  sys::test::WriteFile(folder + "/MySong.alb", std::string(old.begin(), old.end()));
  // Readable by everyone, writable by nobody but the owner (root).
  fs::permissions(dir.Path(), fs::perms::all);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(folder + "/MySong.alb", fs::perms::owner_read | fs::perms::owner_write |
                                              fs::perms::group_read | fs::perms::others_read);
  int code = RunUnprivileged([&] {
    // Unreachable (a private TMPDIR) or writable after all: nothing to show.
    if (access(folder.c_str(), R_OK | X_OK) != 0 || access(folder.c_str(), W_OK) == 0)
      return 98;
    MyAlbumStore store(nullptr, folder, "x");
    if (store.Load() != 1)
      return 1;
    store.AddSong(1, 77);
    if (store.Save() != 0)
      return 2;
    if (!store.Modified())
      return 3;
    // The same again: still nothing written, still modified.
    if (store.Save() != 0 || !store.Modified())
      return 4;
    return 0;
  });
  if (code == -1 || code == 98)
    GTEST_SKIP() << "no unprivileged user to run the save as";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(sys::test::ReadFile(folder + "/MySong.alb"), std::string(old.begin(), old.end()));
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(folder))
    left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"MySong.alb"}) << "no temporary file left";
}

TEST(MyAlbumStore, SavedInTitleOrderWithoutReorderingTheList) {
  sys::test::ScratchFolder dir;
  fs::create_directories(dir / "album");
  for (const char* t : {"delta", "Alpha", "charlie", "Bravo"})
    ASSERT_TRUE(WriteSong(dir / ("songs/" + std::string(t) + ".vx3"), t));
  sys::IniWriteString(dir / "album/config.ini", "AlbManager", "Dir1",
                      sys::ToStoredPath(dir / "songs").value());
  AlbumDatabase db;
  db.Open(dir / "album");
  db.CheckAlbumFolders();
  auto number = [&](const char* title) {
    for (const SongIndexEntry* e : db.Entries())
      if (e->title == title)
        return e->number;
    return 0u;
  };
  MyAlbumStore store(&db, dir / "album", "x");
  store.AddMyAlbum("L");
  const std::vector<uint32_t> order = {number("delta"), 999, number("Alpha"), number("charlie"),
                                       number("Bravo")};
  for (uint32_t n : order)
    store.AddSong(0, n);
  Bytes expected =
      Cat({Header("x", 1, 5), Entry("L", 5), U32(number("Alpha")), U32(number("Bravo")),
           U32(number("charlie")), U32(number("delta")), U32(999)});
  EXPECT_EQ(store.Encode(), Vec(expected));
  EXPECT_EQ(store.GetMyAlbum(0)->songs, order);
}

} // namespace
