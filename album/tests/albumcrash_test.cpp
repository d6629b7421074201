// The catalogue survives a process killed at any moment of a rebuild or a
// folder check: the next load is consistent, and a check (or the rebuild run
// again) completes it.
#include "album/albumdatabase.h"
#include "album/myalbum.h"

#include "album/tests/support/song_tree.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The file operations that change what is on disk (the renames that put
// replacements in place, the deletions), counted while armed; the process
// ends without a word just before the one numbered abortAt, as a crash there
// would end it.
std::atomic<int> fileOps{0};
std::atomic<int> abortAt{0}; // 0: not counting; INT_MAX: counting only

void FileOperation() {
  if (abortAt.load() == 0)
    return;
  if (++fileOps == abortAt.load())
    _exit(0);
}

template <typename F> F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int rename(const char* from, const char* to) {
  FileOperation();
  static auto real = Real<int (*)(const char*, const char*)>("rename");
  return real(from, to);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) {
  FileOperation();
  static auto real = Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
  return real(fromDir, from, toDir, to, flags);
}

extern "C" int unlink(const char* path) {
  FileOperation();
  static auto real = Real<int (*)(const char*)>("unlink");
  return real(path);
}

namespace {

using namespace album;
namespace fs = std::filesystem;

std::string Stored(const std::string& linux) {
  return sys::ToStoredPath(linux).value_or("?");
}

// Rounds and folders of the killed runs: a few by default, more when asked
// (VEXO_KILL_ROUNDS=200 VEXO_KILL_FOLDERS=50 for the long run).
int FromEnv(const char* name, int otherwise) {
  const char* v = std::getenv(name);
  return v && std::atoi(v) > 0 ? std::atoi(v) : otherwise;
}
int Rounds() {
  return FromEnv("VEXO_KILL_ROUNDS", 30);
}

// The catalogue agrees with itself: numbers unique, every entry resolves,
// every album file's records are indexed.
void ExpectConsistent(const AlbumDatabase& db) {
  std::set<uint32_t> numbers;
  for (const SongIndexEntry* e : db.Entries()) {
    ASSERT_TRUE(numbers.insert(e->number).second) << "number twice: " << e->number;
    SongRecord r;
    ASSERT_EQ(db.GetSongDataBySongNum(e->number, r), 1) << e->title;
  }
  uint32_t records = 0;
  for (int i = 1; i <= db.GetNumOfSubAlb(); ++i)
    records += db.GetAlbumByIndex(i)->header.songCount;
  EXPECT_EQ(records, db.GetTotalNumOfSong());
}
class AlbumCrashTest : public ::testing::Test {
public:
  const int kFolders = FromEnv("VEXO_KILL_FOLDERS", 20);
  void SetUp() override {
    album_ = dir_ / "album";
    fs::create_directories(album_);
    for (int i = 1; i <= kFolders; ++i)
      ASSERT_TRUE(album::testing::MakeSongFolder(Folder(i), 3, "F" + std::to_string(i)));
  }
  std::string Folder(int i) { return dir_ / ("songs/f" + std::to_string(i)); }
  std::string Ini() { return album_ + "/config.ini"; }
  void SetAllDirs() {
    for (int i = 1; i <= kFolders; ++i)
      sys::IniWriteString(Ini(), "AlbManager", "Dir" + std::to_string(i), Folder(i));
  }
  // The work a killed process was doing.
  void Work(bool full) {
    AlbumDatabase db;
    db.Open(album_);
    if (full) {
      for (int i = 1; i <= kFolders; ++i)
        db.AddSubAlbumFolder(Stored(Folder(i)), true);
      db.Rebuild(1);
    } else {
      db.CheckAlbumFolders();
    }
  }
  // Some song files renamed, added or removed, so that albums go stale.
  void Touch(std::mt19937& rng) {
    for (int k = 0; k < 4; ++k) {
      std::string f = Folder(1 + static_cast<int>(rng() % kFolders));
      std::string name = "n" + std::to_string(rng() % 1000) + ".vx3";
      switch (rng() % 3) {
      case 0:
        ASSERT_TRUE(album::testing::WriteSong(f + "/" + name, "Added " + name));
        break;
      case 1:
        for (const auto& e : fs::directory_iterator(f)) {
          fs::rename(e.path(), f + "/r" + std::to_string(rng() % 1000) + ".vx3");
          break;
        }
        break;
      default:
        for (const auto& e : fs::directory_iterator(f)) {
          fs::remove(e.path());
          break;
        }
      }
    }
  }
  // Every song file of every folder is catalogued, and nothing else.
  void ExpectComplete(const AlbumDatabase& db) {
    uint32_t files = 0;
    for (int i = 1; i <= kFolders; ++i)
      for (const auto& e : fs::directory_iterator(Folder(i))) {
        ++files;
        EXPECT_NE(db.FindSongByPath(Stored(e.path().string())), 0u) << e.path();
      }
    EXPECT_EQ(db.GetTotalNumOfSong(), files);
    EXPECT_EQ(db.GetNumOfSubAlb(), kFolders);
  }

  sys::test::ScratchFolder dir_;
  std::string album_;
};

// A catalogue of three folders, then changes (a song renamed, one added, a
// folder left out of the list, a new one in it), then the work that takes
// the catalogue over: stopped before each of its file operations in turn.
class AlbumAbortTest : public ::testing::Test {
public:
  void SetUp() override {
    album_ = dir_ / "album";
    fs::create_directories(album_);
    for (int i = 1; i <= 4; ++i)
      ASSERT_TRUE(album::testing::MakeSongFolder(Folder(i), 2 + i % 2, "F" + std::to_string(i)));
    SetDirs({1, 2, 3});
    {
      AlbumDatabase db;
      db.Open(album_);
      db.CheckAlbumFolders();
      before_ = Names(db);
      numbers_ = Numbers(db);
    }
    fs::rename(Folder(1) + "/song1.vx3", Folder(1) + "/renamed.vx3");
    ASSERT_TRUE(album::testing::WriteSong(Folder(2) + "/extra.vx3", "F2 extra"));
    for (int i = 1; i <= 2; ++i)
      fs::last_write_time(Folder(i), fs::last_write_time(Folder(i)) - std::chrono::hours(1));
  }
  std::string Folder(int i) { return dir_ / ("songs/f" + std::to_string(i)); }
  void SetDirs(std::vector<int> folders) {
    for (size_t k = 0; k < folders.size(); ++k)
      sys::IniWriteString(album_ + "/config.ini", "AlbManager", "Dir" + std::to_string(k + 1),
                          Stored(Folder(folders[k])));
  }
  // The work: the load-time check reading Dir1..Dir3, or a full rebuild.
  void Work(bool full) {
    AlbumDatabase db;
    db.Open(album_);
    if (!full) {
      db.CheckAlbumFolders();
      return;
    }
    for (int i : {1, 2, 4})
      db.AddSubAlbumFolder(Stored(Folder(i)), true);
    db.Rebuild(1);
  }
  // folder -> its songs' file names, as the catalogue has them.
  static std::map<std::string, std::set<std::string>> Names(const AlbumDatabase& db) {
    std::map<std::string, std::set<std::string>> out;
    for (const SongIndexEntry* e : db.Entries())
      out[db.GetAlbumByNumber(e->subAlbum)->folder].insert(e->fileName);
    for (int i = 1; i <= db.GetNumOfSubAlb(); ++i)
      out[db.GetAlbumByIndex(i)->folder];
    return out;
  }
  static std::map<std::string, uint32_t> Numbers(const AlbumDatabase& db) {
    std::map<std::string, uint32_t> out;
    for (const SongIndexEntry* e : db.Entries())
      out[db.GetAlbumByNumber(e->subAlbum)->folder + "\\" + e->fileName] = e->number;
    return out;
  }
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(album_))
      files[e.path().filename()] = sys::test::ReadFile(e.path()).value_or("");
    return files;
  }
  void Restore(const std::map<std::string, std::string>& files) {
    fs::remove_all(album_);
    fs::create_directories(album_);
    for (const auto& [name, bytes] : files)
      sys::test::WriteFile(album_ + "/" + name, bytes);
  }

  void Run(bool full) {
    if (!full)
      SetDirs({1, 2, 4});
    const std::map<std::string, std::string> start = Snapshot();
    // How many file operations the work makes when nothing stops it, and
    // what it leaves.
    fileOps = 0;
    abortAt = INT_MAX;
    Work(full);
    abortAt = 0;
    const int operations = fileOps.load();
    std::map<std::string, std::set<std::string>> after;
    {
      AlbumDatabase db;
      db.Open(album_);
      after = Names(db);
      ExpectConsistent(db);
    }
    ASSERT_EQ(after.size(), 3u);
    ASSERT_GT(operations, 3);
    for (int k = 1; k <= operations; ++k) {
      SCOPED_TRACE("stopped before file operation " + std::to_string(k) + " of " +
                   std::to_string(operations));
      Restore(start);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        fileOps = 0;
        abortAt = k;
        Work(full);
        _exit(3); // not reached: the work makes more operations than k
      }
      int status = 0;
      waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      {
        // Loadable and whole, each album as it was or as it is to be.
        AlbumDatabase db;
        db.Open(album_);
        ExpectConsistent(db);
        for (const auto& [folder, names] : Names(db)) {
          bool old = before_.count(folder) && before_.at(folder) == names;
          bool fresh = after.count(folder) && after.at(folder) == names;
          EXPECT_TRUE(old || fresh) << folder;
        }
      }
      // Running the work again (a check, for a check) completes it.
      if (full) {
        Work(true);
      } else {
        AlbumDatabase db;
        db.Open(album_);
        db.CheckAlbumFolders();
      }
      AlbumDatabase db;
      db.Open(album_);
      ExpectConsistent(db);
      EXPECT_EQ(Names(db), after);
      if (!full) {
        // Songs left in place keep their numbers.
        std::map<std::string, uint32_t> now = Numbers(db);
        for (const std::string& song :
             {Stored(Folder(1)) + "\\song2.vx3", Stored(Folder(2)) + "\\song1.vx3",
              Stored(Folder(2)) + "\\song2.vx3"})
          EXPECT_EQ(now.at(song), numbers_.at(song)) << song;
        EXPECT_EQ(sys::IniKeyNames(album_ + "/config.ini", "AlbManager"),
                  std::vector<std::string>{});
      }
      if (HasFailure())
        break;
    }
  }

  sys::test::ScratchFolder dir_;
  std::string album_;
  std::map<std::string, std::set<std::string>> before_;
  std::map<std::string, uint32_t> numbers_;
};

TEST_F(AlbumAbortTest, ACheckStoppedBeforeAnyFileOperation) {
  Run(false);
}

TEST_F(AlbumAbortTest, AFullRebuildStoppedBeforeAnyFileOperation) {
  Run(true);
}

// A store of 20 lists of 1,000 songs, in two versions.
std::vector<uint8_t> StoreBytes(uint32_t first) {
  MyAlbumStore store(nullptr, "", "My Albums");
  for (int l = 0; l < 20; ++l) {
    store.AddMyAlbum("List " + std::to_string(l));
    for (uint32_t k = 0; k < 1000; ++k)
      store.AddSong(l, first + static_cast<uint32_t>(l) * 1000 + k);
  }
  return store.Encode();
}

// Saves the store of bytes into folder (the file there is replaced).
void SaveStore(const std::string& folder, const std::vector<uint8_t>& bytes) {
  MyAlbumStore store(nullptr, folder, "x");
  store.LoadBytes(bytes);
  store.RenameMyAlbum(0, "List 0"); // changed, so that it saves
  store.Save();
}

TEST(MyAlbumCrash, ASaveStoppedOrKilledLeavesTheOldOrTheNewStoreWhole) {
  sys::test::ScratchFolder dir;
  const std::vector<uint8_t> old = StoreBytes(1), fresh = StoreBytes(500000);
  const std::string file = dir / "MySong.alb";
  auto expectWhole = [&] {
    std::optional<std::vector<uint8_t>> now = ReadAlbumFileBytes(file);
    ASSERT_TRUE(now);
    EXPECT_TRUE(*now == old || *now == fresh) << now->size() << " bytes";
    MyAlbumStore store(nullptr, dir.Path(), "x");
    EXPECT_EQ(store.Load(), 1);
  };
  SaveStore(dir.Path(), old);

  fileOps = 0;
  abortAt = INT_MAX;
  SaveStore(dir.Path(), fresh);
  abortAt = 0;
  const int operations = fileOps.load();
  ASSERT_GE(operations, 1);
  for (int k = 1; k <= operations; ++k) {
    SCOPED_TRACE("stopped before file operation " + std::to_string(k));
    SaveStore(dir.Path(), old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      fileOps = 0;
      abortAt = k;
      SaveStore(dir.Path(), fresh);
      _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    expectWhole();
    std::optional<std::vector<uint8_t>> now = ReadAlbumFileBytes(file);
    EXPECT_EQ(*now, old) << "the new store is not in place before its rename";
  }

  // A child saving the two versions in turn, killed at random moments.
  std::mt19937 rng(23);
  const int rounds = FromEnv("VEXO_KILL_ROUNDS", 200);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i)
        SaveStore(dir.Path(), i % 2 ? old : fresh);
    }
    usleep(static_cast<useconds_t>(rng() % 20000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    expectWhole();
    if (HasFailure())
      break;
  }
}

TEST_F(AlbumCrashTest, KilledRebuildsAndChecksLeaveALoadableCatalogue) {
  // How long an undisturbed build takes sets the range of kill moments.
  SetAllDirs();
  auto start = std::chrono::steady_clock::now();
  Work(false);
  auto span = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
  std::mt19937 rng(2026);
  int killed = 0;
  for (int round = 0; round < Rounds(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    bool full = round % 3 == 2;
    Touch(rng);
    if (!full)
      SetAllDirs();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Work(full);
      _exit(0);
    }
    usleep(static_cast<useconds_t>(rng() % static_cast<uint64_t>(span + 1)));
    killed += kill(child, SIGKILL) == 0;
    int status = 0;
    waitpid(child, &status, 0);

    {
      AlbumDatabase db;
      db.Open(album_);
      ExpectConsistent(db);
    }
    // A check completes what was cut short; a full rebuild is run again.
    if (full) {
      Work(true);
    } else {
      AlbumDatabase db;
      db.Open(album_);
      db.CheckAlbumFolders();
    }
    AlbumDatabase db;
    db.Open(album_);
    db.CheckAlbumFolders();
    ExpectConsistent(db);
    ExpectComplete(db);
    EXPECT_EQ(sys::IniKeyNames(Ini(), "AlbManager"), std::vector<std::string>{});
    if (HasFailure())
      break;
  }
  EXPECT_GT(killed, 0);
}

} // namespace
