// The catalogue survives a process killed at any moment of a rebuild or a
// folder check: the next load is consistent, and a check (or the rebuild run
// again) completes it.
#include "album/albumdatabase.h"

#include "album/tests/support/song_tree.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace album;
namespace fs = std::filesystem;

std::string Stored(const std::string& linux) {
  return sys::ToStoredPath(linux).value_or("?");
}

int Rounds() {
  const char* r = std::getenv("VEXO_KILL_ROUNDS");
  return r && std::atoi(r) > 0 ? std::atoi(r) : 30;
}

class AlbumCrashTest : public ::testing::Test {
public:
  static constexpr int kFolders = 20;
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
