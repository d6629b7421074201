// The song-album library as the host loads it: LoadTondo32's results and
// its second call, the exports that load on demand, status texts to the
// status window, and the records and lists that cross the exports.
#include "album/songrecord.h"
#include "album/tests/support/song_tree.h"
#include "host/album_client.h"
#include "host/remote_window.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using host::AlbumClient;

class AlbumClientTest : public ::testing::Test {
public:
  static void SetUpTestSuite() {
    static sys::test::ScratchFolder run;
    setenv("VEXO_RUNTIME_DIR", run.Path().c_str(), 1);
  }
  void SetUp() override {
    config_ = dir_ / "album";
    fs::create_directories(config_);
    setenv("VEXO_CONFIG_DIR", config_.c_str(), 1);
    std::string error;
    client_ = AlbumClient::Start(VEXO_BIN_DIR, &error);
    ASSERT_TRUE(client_) << error;
    ASSERT_TRUE(windows_.Ok());
    windows_.State().albumStatus = [this](std::string_view text) { statuses_.emplace_back(text); };
  }
  void TearDown() override {
    client_.reset();
    unsetenv("VEXO_CONFIG_DIR");
  }
  const host::Tondo32Exports& T() { return client_->Exports(); }
  void SetDirs(const std::vector<std::string>& folders) {
    for (size_t i = 0; i < folders.size(); ++i)
      sys::IniWriteString(config_ + "/config.ini", "AlbManager", "Dir" + std::to_string(i + 1),
                          sys::ToStoredPath(folders[i]).value_or(""));
  }
  std::string Songs(const std::string& name) { return dir_ / ("songs/" + name); }

  sys::test::ScratchFolder dir_;
  std::string config_;
  host::RemoteWindows windows_;
  std::unique_ptr<AlbumClient> client_;
  std::vector<std::string> statuses_;
};

TEST_F(AlbumClientTest, LoadResultsSecondCallsAndLoadingOnDemand) {
  // An album folder that cannot be opened: 0, and no folder check.
  setenv("VEXO_CONFIG_DIR", (dir_ / "missing").c_str(), 1);
  EXPECT_EQ(T().LoadTondo32(windows_.Remote()), 0);
  EXPECT_TRUE(statuses_.empty()) << statuses_.front();
  EXPECT_FALSE(fs::exists(dir_ / "Removed Songs"));

  // Nothing to load: -1, but the check runs and builds the folders of the
  // "Dir" keys; the exports work on that database.
  setenv("VEXO_CONFIG_DIR", config_.c_str(), 1);
  ASSERT_TRUE(album::testing::MakeSongFolder(Songs("a"), 3, "Alpha"));
  SetDirs({Songs("a")});
  EXPECT_EQ(T().LoadTondo32(windows_.Remote()), -1);
  EXPECT_EQ(statuses_.front(), "Checking the song album folders...");
  EXPECT_EQ(statuses_.back(), "The song album is up to date.");
  EXPECT_EQ(T().GetTotalNumOfSong(), 3);

  // The next load begins again and finds the catalogue; a second call
  // changes nothing and keeps the first status window.
  statuses_.clear();
  EXPECT_EQ(T().LoadTondo32(windows_.Remote()), 1);
  EXPECT_FALSE(statuses_.empty());
  statuses_.clear();
  EXPECT_EQ(T().LoadTondo32(0), 1);
  EXPECT_TRUE(statuses_.empty());
  T().AutoAlbumUpdate();
  EXPECT_FALSE(statuses_.empty()) << "the first status window is kept";

  // Freed, the exports that load do so by themselves (without a status
  // window); the others have nothing to work on.
  T().FreeTondo32();
  EXPECT_EQ(T().GetNumOfSubAlb(), 0);
  statuses_.clear();
  EXPECT_EQ(T().GetMaxSongNum(), 3);
  EXPECT_TRUE(statuses_.empty());
  EXPECT_EQ(T().GetNumOfSubAlb(), 1);
  T().FreeTondo32();
  EXPECT_EQ(T().GetTotalNumOfSong(), 3);
  T().FreeTondo32();
  std::vector<int32_t> numbers(3);
  EXPECT_EQ(T().GetTotalSongList(numbers.data(), 12), 1);
  T().FreeTondo32();
  std::vector<uint8_t> record(album::kSongRecordSize);
  EXPECT_EQ(T().GetSongDataBySongNum(numbers[0], record.data()), 1);
}

TEST_F(AlbumClientTest, RecordsListsAndSubAlbumsCrossTheExports) {
  ASSERT_TRUE(album::testing::MakeSongFolder(Songs("a"), 2, "Alpha"));
  ASSERT_TRUE(album::testing::MakeSongFolder(Songs("b"), 1, "Beta"));
  SetDirs({Songs("a"), Songs("b")});
  T().LoadTondo32(windows_.Remote());
  ASSERT_EQ(T().GetNumOfSubAlbum(), 2);
  EXPECT_STREQ(T().GetSubAlbumName(2), "b [002]");
  char folder[host::kSubAlbDataPathSize] = {};
  ASSERT_EQ(T().GetSubAlbDataPath(2, folder), 1);
  EXPECT_EQ(std::string(folder), sys::ToStoredPath(Songs("b")).value());
  EXPECT_EQ(T().GetSubAlbDataPath(3, folder), 0);
  EXPECT_EQ(T().GetAlbumListLUT(), 0u);
  EXPECT_EQ(T().GetNewSongListBlock(), nullptr);

  const auto* list = static_cast<const uint32_t*>(T().GetSongListOfSubAlbum(2));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list[0], 1u);
  const int32_t beta = static_cast<int32_t>(list[1]);
  EXPECT_EQ(T().GetSongListOfSubAlbum(3), nullptr);

  // The record as 541 bytes: number, title, type letter and full path at
  // their offsets.
  std::vector<uint8_t> record(album::kSongRecordSize, 0xEE);
  ASSERT_EQ(T().GetSongDataBySongNum(beta, record.data()), 1);
  EXPECT_EQ(record[0] | record[1] << 8 | record[2] << 16 | record[3] << 24, beta);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[4])), "Beta 1");
  EXPECT_EQ(record[284], 't');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[285])),
            sys::ToStoredPath(Songs("b")).value() + "\\song1.vx3");
  std::vector<uint8_t> untouched(album::kSongRecordSize, 0xEE);
  EXPECT_EQ(T().GetSongDataBySongNum(9999, untouched.data()), 0);
  EXPECT_EQ(T().GetSongDataBySongNum(0, untouched.data()), 0);
  EXPECT_EQ(untouched, std::vector<uint8_t>(album::kSongRecordSize, 0xEE));

  // The context decides what the totals and the list hold.
  EXPECT_EQ(T().GetCurrAlbumContext(), -1);
  T().SetCurrAlbumContext(0x20000);
  EXPECT_EQ(T().GetCurrAlbumContext(), 0x20000);
  EXPECT_EQ(T().GetTotalNumOfSong(), 1);
  int32_t numbers[2] = {-7, -7};
  EXPECT_EQ(T().GetTotalSongList(numbers, 4), 1);
  EXPECT_EQ(numbers[0], beta);
  EXPECT_EQ(numbers[1], -7);
  T().SetCurrAlbumContext(-1);
  EXPECT_EQ(T().GetTotalSongList(numbers, 8), 0) << "three songs do not fit two slots";
  EXPECT_EQ(T().GetTotalSongList(numbers, -4), 0);
}

} // namespace
