#include "album/albumdatabase.h"

#include "album/testdata/catalogue_gen.h"
#include "album/tests/support/song_tree.h"
#include "platform/sys/ascii.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/resource.h>

namespace {

using namespace album;
using album::testing::MakeSongFolder;
using album::testing::WriteSong;
namespace fs = std::filesystem;

// Sets a folder's time an hour back, so that a change made in the same
// clock tick as the album write still shows.
void Age(const std::string& folder) {
  fs::last_write_time(folder, fs::last_write_time(folder) - std::chrono::hours(1));
}

std::string Stored(const std::string& linux) {
  return sys::ToStoredPath(linux).value_or("?");
}

// Every file of the album folder and its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file())
      out[e.path().filename().string()] = sys::test::ReadFile(e.path().string()).value_or("");
  return out;
}

// title -> number of every song in the catalogue.
std::map<std::string, uint32_t> Numbers(const AlbumDatabase& db) {
  std::map<std::string, uint32_t> out;
  for (const SongIndexEntry* e : db.Entries())
    out[e->fileName + "|" + e->title] = e->number;
  return out;
}

// The catalogue agrees with itself: numbers unique, each entry resolves to
// a record of its album carrying that number, and every album file's
// records are indexed.
void ExpectConsistent(const AlbumDatabase& db) {
  std::set<uint32_t> numbers;
  for (const SongIndexEntry* e : db.Entries()) {
    EXPECT_TRUE(numbers.insert(e->number).second) << "number twice: " << e->number;
    SongRecord r;
    EXPECT_EQ(db.GetSongDataBySongNum(e->number, r), 1) << e->title;
    EXPECT_EQ(r.number, e->number);
    EXPECT_EQ(FieldText(r.title), e->title);
  }
  uint32_t records = 0;
  for (int i = 1; i <= db.GetNumOfSubAlb(); ++i)
    records += db.GetAlbumByIndex(i)->header.songCount;
  EXPECT_EQ(records, db.GetTotalNumOfSong());
}

class AlbumDatabaseTest : public ::testing::Test {
public:
  void SetUp() override {
    album_ = dir_ / "album";
    fs::create_directories(album_);
  }
  std::string Songs(const std::string& name) { return dir_ / ("songs/" + name); }
  std::string Ini() { return album_ + "/config.ini"; }
  void SetDirs(const std::vector<std::string>& folders) {
    for (size_t i = 0; i < folders.size(); ++i)
      sys::IniWriteString(Ini(), "AlbManager", "Dir" + std::to_string(i + 1), folders[i]);
  }
  // Opens the catalogue and runs the load-time check, as the library does.
  int Load(AlbumDatabase& db) {
    int opened = db.Open(album_);
    db.CheckAlbumFolders();
    return opened;
  }

  sys::test::ScratchFolder dir_;
  std::string album_;
};

TEST_F(AlbumDatabaseTest, OpenWithoutCatalogueMakesTheSiblingFoldersAndReadsSettings) {
  sys::IniWriteString(Ini(), "OnLine", "Server", "http://example.org/v/");
  sys::IniWriteString(Ini(), "OnLine", "iThunk", "http://example.org/t/iThunk.alb");
  sys::IniWriteString(Ini(), "AlbManager", "Intl", "0");
  AlbumDatabase db;
  EXPECT_EQ(db.Open(album_), 0);
  EXPECT_TRUE(fs::is_directory(dir_ / "Removed Songs"));
  EXPECT_TRUE(fs::is_directory(dir_ / "Download"));
  EXPECT_EQ(db.ServerUrl(), "http://example.org/v");
  EXPECT_EQ(db.ThunkFolder(), "http://example.org/t/");
  EXPECT_FALSE(db.Intl());
  EXPECT_EQ(db.GetTotalNumOfSong(), 0u);
  EXPECT_EQ(AlbumDatabase().Open(dir_ / "missing"), -1);
}

TEST_F(AlbumDatabaseTest, DirKeysAreReadUpToTheFirstMissingOne) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 2, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 3, "Beta"));
  ASSERT_TRUE(MakeSongFolder(Songs("c"), 1, "Gamma"));
  struct Case {
    const char* what;
    std::map<std::string, std::string> keys;
    uint32_t songs;
    int albums;
    std::vector<std::string> keysLeft;
  };
  const Case cases[] = {
      {"Dir1 and Dir2 consumed",
       {{"Dir1", Songs("a")}, {"Dir2", Stored(Songs("b")) + "\\"}},
       5,
       2,
       {}},
      {"Dir3 alone not read", {{"Dir3", Songs("c")}}, 0, 0, {"Dir3"}},
      {"the same folder twice makes one album",
       {{"Dir1", Songs("a")}, {"Dir2", Stored(Songs("a"))}},
       2,
       1,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(album_);
    fs::create_directories(album_);
    for (const auto& [k, v] : c.keys)
      sys::IniWriteString(Ini(), "AlbManager", k, v);
    AlbumDatabase db;
    EXPECT_EQ(Load(db), 0);
    EXPECT_EQ(db.GetTotalNumOfSong(), c.songs);
    EXPECT_EQ(db.GetNumOfSubAlb(), c.albums);
    EXPECT_EQ(sys::IniKeyNames(Ini(), "AlbManager"), c.keysLeft);
    ExpectConsistent(db);
    // What was built loads again from "Song.alb".
    AlbumDatabase again;
    EXPECT_EQ(again.Open(album_), c.albums ? 1 : 0);
    EXPECT_EQ(Numbers(again), Numbers(db));
  }
}

TEST_F(AlbumDatabaseTest, ChecksAfterChangesKeepNumbersOfSongsLeftInPlace) {
  struct Case {
    const char* what;
    std::function<void(AlbumDatabaseTest&)> change;
    std::vector<int> statuses;
    int albums;
    uint32_t songs;
    bool filesUnchanged;
  };
  const Case cases[] = {
      {"nothing changed: every file byte-identical",
       [](AlbumDatabaseTest&) {},
       {7101, 7102},
       2,
       5,
       true},
      {"file renamed: new number, the others kept",
       [](AlbumDatabaseTest& t) { fs::rename(t.Songs("a/song1.vx3"), t.Songs("a/renamed.vx3")); },
       {7101, 7103, 7108, 7102},
       2,
       5,
       false},
      {"file added",
       [](AlbumDatabaseTest& t) { ASSERT_TRUE(WriteSong(t.Songs("b/new.vx3"), "New")); },
       {7101, 7103, 7108, 7102},
       2,
       6,
       false},
      {"file deleted",
       [](AlbumDatabaseTest& t) { fs::remove(t.Songs("b/song2.vx3")); },
       {7101, 7103, 7108, 7102},
       2,
       4,
       false},
      {"folder gone on a fixed volume: dropped",
       [](AlbumDatabaseTest& t) { fs::remove_all(t.Songs("b")); },
       {7101, 7104, 7108, 7102},
       1,
       2,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_ / "songs");
    fs::remove_all(album_);
    fs::create_directories(album_);
    ASSERT_TRUE(MakeSongFolder(Songs("a"), 2, "Alpha"));
    ASSERT_TRUE(MakeSongFolder(Songs("b"), 3, "Beta"));
    Age(Songs("a"));
    Age(Songs("b"));
    SetDirs({Songs("a"), Songs("b")});
    std::map<std::string, uint32_t> before;
    {
      AlbumDatabase db;
      Load(db);
      before = Numbers(db);
    }
    auto files = Snapshot(album_);
    c.change(*this);
    std::vector<int> statuses;
    AlbumDatabase::Options o;
    o.status = [&](int id) { statuses.push_back(id); };
    AlbumDatabase db(o);
    EXPECT_EQ(Load(db), 1);
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(db.GetNumOfSubAlb(), c.albums);
    EXPECT_EQ(db.GetTotalNumOfSong(), c.songs);
    ExpectConsistent(db);
    if (c.filesUnchanged) {
      EXPECT_EQ(Snapshot(album_), files);
    }
    // Every song still there keeps its number; new songs get numbers above
    // every old one.
    uint32_t highest = 0;
    for (const auto& [k, n] : before)
      highest = std::max(highest, n);
    for (const auto& [k, n] : Numbers(db)) {
      if (before.count(k)) {
        EXPECT_EQ(n, before.at(k)) << k;
      } else {
        EXPECT_GT(n, highest) << k;
      }
    }
    // A dropped album's file is gone, the kept ones are there.
    size_t albumFiles = 0;
    for (const auto& [name, bytes] : Snapshot(album_))
      albumFiles += name != "Song.alb" && name.ends_with(".alb");
    EXPECT_EQ(albumFiles, static_cast<size_t>(c.albums));
  }
}

TEST_F(AlbumDatabaseTest, CaseTwinsKeepTheirOwnNumbers) {
  ASSERT_TRUE(WriteSong(Songs("t/twin.vx3"), "Lower"));
  ASSERT_TRUE(WriteSong(Songs("t/TWIN.vx3"), "Upper"));
  Age(Songs("t"));
  SetDirs({Songs("t")});
  std::map<std::string, uint32_t> before;
  {
    AlbumDatabase db;
    Load(db);
    before = Numbers(db);
    ASSERT_EQ(before.size(), 2u);
  }
  ASSERT_TRUE(WriteSong(Songs("t/other.vx3"), "Other"));
  Age(Songs("t"));
  AlbumDatabase db;
  Load(db);
  std::map<std::string, uint32_t> after = Numbers(db);
  EXPECT_EQ(after.at("twin.vx3|Lower"), before.at("twin.vx3|Lower"));
  EXPECT_EQ(after.at("TWIN.vx3|Upper"), before.at("TWIN.vx3|Upper"));
  // A song whose name changes only in case keeps its number too.
  fs::rename(Songs("t/other.vx3"), Songs("t/OTHER.vx3"));
  ASSERT_TRUE(WriteSong(Songs("t/more.vx3"), "More"));
  AlbumDatabase db2;
  Load(db2);
  EXPECT_EQ(Numbers(db2).at("OTHER.vx3|Other"), after.at("other.vx3|Other"));
  ExpectConsistent(db2);
}

TEST_F(AlbumDatabaseTest, TitlesAreOrderedNewestFirstAmongEquals) {
  ASSERT_TRUE(WriteSong(Songs("e/1.vx3"), "Same Song"));
  ASSERT_TRUE(WriteSong(Songs("e/2.vx3"), "Another"));
  ASSERT_TRUE(WriteSong(Songs("e/3.vx3"), "SameSong"));
  ASSERT_TRUE(WriteSong(Songs("e/4.vx3"), "Zebra"));
  SetDirs({Songs("e")});
  AlbumDatabase db;
  Load(db);
  std::vector<std::string> order;
  for (const SongIndexEntry* e : db.Entries())
    order.push_back(e->fileName);
  // "Same Song" and "SameSong" sort equal; the later numbered comes first.
  EXPECT_EQ(order, (std::vector<std::string>{"2.vx3", "3.vx3", "1.vx3", "4.vx3"}));
  std::vector<int32_t> list(4);
  EXPECT_EQ(db.GetTotalSongList(list.data(), 16), 1);
  EXPECT_EQ(db.GetTotalSongList(list.data(), 15), 0);
  EXPECT_EQ(static_cast<uint32_t>(list[0]), Numbers(db).at("2.vx3|Another"));
}

TEST_F(AlbumDatabaseTest, LookUpsGiveFullPathsAndFindSongsByPath) {
  ASSERT_TRUE(MakeSongFolder(Songs("p"), 3, "Pop"));
  SetDirs({Songs("p")});
  AlbumDatabase db;
  Load(db);
  uint32_t n = Numbers(db).at("song2.vx3|Pop 2");
  SongRecord r;
  ASSERT_EQ(db.GetSongDataBySongNum(n, r), 1);
  std::string full = Stored(Songs("p")) + "\\song2.vx3";
  EXPECT_EQ(FieldText(r.fileName), full);
  EXPECT_EQ(r.type, 't');
  EXPECT_EQ(db.FindSongByPath(full), n);
  std::string upper = sys::AsciiUppered(full);
  EXPECT_EQ(db.FindSongByPath(upper), n);
  EXPECT_EQ(db.FindSongByPath(Stored(Songs("q")) + "\\song2.vx3"), 0u);
  EXPECT_EQ(db.GetSongDataBySongNum(0, r), 0);
  EXPECT_EQ(db.GetSongDataBySongNum(db.GetMaxSongNum() + 1, r), 0);
}

TEST_F(AlbumDatabaseTest, SongsWhosePathsDoNotFitAreSkippedAndCounted) {
  std::string deep = Songs(std::string(150, 'd'));
  ASSERT_TRUE(WriteSong(deep + "/ok.vx3", "Ok"));
  ASSERT_TRUE(WriteSong(deep + "/" + std::string(120, 'n') + ".vx3", "Long"));
  // U+00E9 has no code-page 949 form.
  ASSERT_TRUE(WriteSong(deep + "/caf\xC3\xA9.vx3", "Cafe"));
  SetDirs({deep});
  AlbumDatabase db;
  Load(db);
  EXPECT_EQ(db.GetTotalNumOfSong(), 1u);
  EXPECT_EQ(db.SkippedSongs(), 2u);
  ExpectConsistent(db);
}

TEST_F(AlbumDatabaseTest, FullRebuildMakesFreshNumbersAndRefusesAnEmptyList) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 2, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 2, "Beta"));
  SetDirs({Songs("a"), Songs("b")});
  AlbumDatabase db;
  Load(db);
  auto files = Snapshot(album_);
  EXPECT_EQ(db.Rebuild(1), 0) << "an empty folder list would only delete";
  EXPECT_EQ(Snapshot(album_), files);
  EXPECT_EQ(db.GetTotalNumOfSong(), 4u);

  ASSERT_TRUE(db.AddSubAlbumFolder(Stored(Songs("b")), true));
  ASSERT_TRUE(db.AddSubAlbumFolder(Stored(Songs("B")), true));
  ASSERT_TRUE(db.AddSubAlbumFolder(Stored(Songs("a")) + "\\x.vx3", false));
  EXPECT_EQ(db.Rebuild(1), 1);
  EXPECT_EQ(db.GetNumOfSubAlb(), 2);
  EXPECT_EQ(db.GetTotalNumOfSong(), 4u);
  ExpectConsistent(db);
  // Only the new album files are left.
  size_t albumFiles = 0;
  for (const auto& [name, bytes] : Snapshot(album_))
    albumFiles += name != "Song.alb" && name.ends_with(".alb");
  EXPECT_EQ(albumFiles, 2u);
  AlbumDatabase again;
  EXPECT_EQ(again.Open(album_), 1);
  EXPECT_EQ(Numbers(again), Numbers(db));
}

TEST_F(AlbumDatabaseTest, NewAlbumsTakeTheHighestNumberPlusOne) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 1, "A"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 1, "B"));
  ASSERT_TRUE(MakeSongFolder(Songs("c"), 1, "C"));
  ASSERT_TRUE(MakeSongFolder(Songs("d"), 1, "D"));
  SetDirs({Songs("a"), Songs("b"), Songs("c")});
  {
    AlbumDatabase db;
    Load(db);
  }
  // Album 2 goes away; a count + 1 rule would give the new album number 3.
  SetDirs({Songs("a"), Songs("c")});
  {
    AlbumDatabase db;
    Load(db);
    ASSERT_EQ(db.GetNumOfSubAlb(), 2);
  }
  SetDirs({Songs("a"), Songs("c"), Songs("d")});
  AlbumDatabase db;
  Load(db);
  std::set<int> numbers;
  for (int i = 1; i <= db.GetNumOfSubAlb(); ++i)
    numbers.insert(db.GetAlbumByIndex(i)->number);
  EXPECT_EQ(numbers, (std::set<int>{1, 3, 4}));
  ExpectConsistent(db);
}

TEST_F(AlbumDatabaseTest, ADamagedCatalogueIsRebuiltFromTheAlbumFiles) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 2, "Beta"));
  SetDirs({Songs("a"), Songs("b")});
  std::map<std::string, uint32_t> before;
  {
    AlbumDatabase db;
    Load(db);
    before = Numbers(db);
  }
  std::string master = sys::test::ReadFile(album_ + "/Song.alb").value();
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"cut in its entries", master.substr(0, master.size() - 10)},
      {"cut in its header", master.substr(0, 30)},
      {"wrong magic", "VEXO3 MASTER ALBUM V9.9\x1A" + master.substr(24)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sys::test::WriteFile(album_ + "/Song.alb", c.bytes);
    AlbumDatabase db;
    EXPECT_EQ(db.Open(album_), 1);
    EXPECT_TRUE(db.RecoveredMaster());
    EXPECT_EQ(Numbers(db), before);
    EXPECT_EQ(db.GetNumOfSubAlb(), 2);
    ExpectConsistent(db);
    AlbumDatabase again;
    EXPECT_EQ(again.Open(album_), 1);
    EXPECT_FALSE(again.RecoveredMaster());
    EXPECT_EQ(Numbers(again), before);
  }
}

TEST_F(AlbumDatabaseTest, AnAlbumFileNewerThanTheCatalogueIsReindexed) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  Age(Songs("a"));
  SetDirs({Songs("a")});
  {
    AlbumDatabase db;
    Load(db);
  }
  std::string oldMaster = sys::test::ReadFile(album_ + "/Song.alb").value();
  fs::remove(Songs("a/song1.vx3"));
  ASSERT_TRUE(WriteSong(Songs("a/x.vx3"), "Xylophone"));
  std::map<std::string, uint32_t> after;
  {
    AlbumDatabase db;
    Load(db);
    after = Numbers(db);
  }
  // As if the process died after rewriting the album, before "Song.alb".
  sys::test::WriteFile(album_ + "/Song.alb", oldMaster);
  AlbumDatabase db;
  EXPECT_EQ(db.Open(album_), 1);
  EXPECT_EQ(db.ReindexedAlbums(), 1);
  EXPECT_EQ(Numbers(db), after);
  ExpectConsistent(db);
}

TEST_F(AlbumDatabaseTest, AlbumsOnVolumesThatMayComeBackAreKept) {
  ASSERT_TRUE(MakeSongFolder(Songs("stick/pop"), 2, "Pop"));
  ASSERT_TRUE(MakeSongFolder(Songs("disk/rock"), 2, "Rock"));
  SetDirs({Songs("stick/pop"), Songs("disk/rock")});
  {
    AlbumDatabase db;
    Load(db);
  }
  fs::remove_all(Songs("stick/pop"));
  fs::remove_all(Songs("disk/rock"));
  std::string root = fs::canonical(dir_.Path()).string();
  fs::create_directories(dir_ / "sys/dev/block/8:16");
  sys::test::WriteFile(dir_ / "sys/dev/block/8:16/removable", "1\n");
  std::string table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                      "25 22 8:16 / " +
                      root + "/songs/stick rw - vfat /dev/sdb rw\n";
  struct Case {
    const char* what;
    std::string mounts;
    int albums;
  };
  const Case cases[] = {
      {"stick folder kept, fixed one dropped", table, 1},
      {"nothing mounts the parent (absent): both kept", "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto saved = Snapshot(album_);
    AlbumDatabase::Options o;
    o.volumes.mounts = sys::MountTable::Parse(c.mounts, dir_ / "sys");
    AlbumDatabase db(o);
    Load(db);
    EXPECT_EQ(db.GetNumOfSubAlb(), c.albums);
    if (c.albums == 1) {
      EXPECT_TRUE(AlbumTextEqual(db.GetAlbumByIndex(1)->folder, Stored(Songs("stick/pop"))));
    }
    for (const auto& [name, bytes] : saved)
      sys::test::WriteFile(album_ + "/" + name, bytes);
  }
}

TEST_F(AlbumDatabaseTest, GeneratedTreeGroupsEverySyllableByItsInitial) {
  std::vector<std::string> folders = album::testdata::MakeTestCatalogue(dir_ / "gen", {300, 3, 11});
  ASSERT_EQ(folders.size(), 3u);
  sys::IniWriteString(Ini(), "AlbManager", "Intl", "0");
  SetDirs(folders);
  AlbumDatabase db;
  Load(db);
  EXPECT_EQ(db.GetTotalNumOfSong(), 300u);
  ExpectConsistent(db);
  size_t doubleByte = 0;
  for (const SongIndexEntry* e : db.Entries()) {
    EXPECT_EQ(e->titleGroup, TitleGroupOf(e->title, false, AlbumTexts{}));
    if (static_cast<uint8_t>(e->title[0]) >= 0x80) {
      ++doubleByte;
      EXPECT_LT(e->titleGroup, 14) << "Hangul title in another group";
    }
  }
  EXPECT_GT(doubleByte, 100u);
  // The lists: every double-byte title in the double-byte list.
  EXPECT_EQ(db.GetTitleGroupList(0)->size(), doubleByte);
  EXPECT_EQ(db.GetTitleGroupList(0)->size() + db.GetTitleGroupList(14)->size() +
                db.GetTitleGroupList(40)->size(),
            300u);
}

TEST_F(AlbumDatabaseTest, SubAlbumsAndContextsGiveTheirOwnSongs) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 2, "Beta"));
  SetDirs({Songs("a"), Songs("b")});
  AlbumDatabase db;
  Load(db);
  ASSERT_EQ(db.GetNumOfSubAlb(), 2);
  EXPECT_STREQ(db.GetSubAlbumName(2), "b [002]");
  EXPECT_EQ(db.GetSubAlbumName(3), nullptr);
  EXPECT_EQ(db.GetSongListOfSubAlbum(0), nullptr);

  std::string folder = Stored(Songs("b"));
  std::vector<char> path(300, 'x');
  ASSERT_EQ(db.GetSubAlbDataPath(2, path.data()), 1);
  EXPECT_EQ(std::string(path.data()), folder);
  // Cut to the buffer's size, the zero byte counted, nothing written after.
  std::fill(path.begin(), path.end(), 'x');
  ASSERT_EQ(db.GetSubAlbDataPath(2, path.data(), 6), 1);
  EXPECT_EQ(std::string(path.data()), folder.substr(0, 5));
  EXPECT_EQ(path[6], 'x');
  EXPECT_EQ(db.GetSubAlbDataPath(3, path.data()), 0);

  std::map<std::string, uint32_t> n = Numbers(db);
  // The record as stored, with the song's folder beside it.
  SongRecord stored;
  std::string songFolder;
  ASSERT_EQ(db.GetSongRecordAndFolder(n.at("song2.vx3|Beta 2"), stored, songFolder), 1);
  EXPECT_EQ(FieldText(stored.fileName), "song2.vx3");
  EXPECT_EQ(songFolder, folder);
  EXPECT_EQ(db.GetSongRecordAndFolder(0, stored, songFolder), 0);
  const uint32_t* block = db.GetSongListOfSubAlbum(2);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(block, block + 3),
            (std::vector<uint32_t>{2, n.at("song1.vx3|Beta 1"), n.at("song2.vx3|Beta 2")}));

  struct {
    const char* what;
    int32_t context;
    uint32_t total;
    std::vector<int32_t> list; // empty: not checked beyond the total
  } cases[] = {
      {"whole catalogue", -1, 5, {}},
      {"second sub-album",
       0x20000,
       2,
       {static_cast<int32_t>(n.at("song1.vx3|Beta 1")),
        static_cast<int32_t>(n.at("song2.vx3|Beta 2"))}},
      {"no such sub-album", 0x30000, 0, {}},
      {"my-album list without a store", 0, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    db.SetCurrAlbumContext(c.context);
    EXPECT_EQ(db.GetCurrAlbumContext(), c.context);
    EXPECT_EQ(db.GetTotalNumOfSong(), c.total);
    std::vector<int32_t> out(c.total + 1, -7);
    EXPECT_EQ(db.GetTotalSongList(out.data(), c.total * 4), 1);
    EXPECT_EQ(out[c.total], -7) << "written past the list";
    if (!c.list.empty()) {
      out.pop_back();
      EXPECT_EQ(out, c.list);
    }
    if (c.total > 0) {
      std::vector<int32_t> small(c.total, -7);
      EXPECT_EQ(db.GetTotalSongList(small.data(), c.total * 4 - 1), 0);
      EXPECT_EQ(small, std::vector<int32_t>(c.total, -7)) << "nothing copied when it does not fit";
    }
  }
  EXPECT_EQ(db.GetAlbumListLUT(), 0u);
  EXPECT_EQ(db.GetNewSongListBlock(), nullptr);
}

TEST_F(AlbumDatabaseTest, RenamedSubAlbumIsWrittenWhenTheCatalogueIsFreed) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 2, "Alpha"));
  SetDirs({Songs("a")});
  // 46 letters and a double-byte character across the 47-byte bound.
  std::string longName = std::string(46, 'n') + "\xB0\xA1" + "tail";
  {
    AlbumDatabase db;
    Load(db);
    EXPECT_EQ(db.RenameSubAlbum("missing", "x"), 0);
    EXPECT_EQ(db.RenameSubAlbum("a [001]", longName), 1);
    EXPECT_EQ(std::string(db.GetSubAlbumName(1)), std::string(46, 'n'));
  }
  AlbumDatabase db;
  Load(db);
  EXPECT_EQ(std::string(db.GetSubAlbumName(1)), std::string(46, 'n'));
  EXPECT_EQ(db.ReindexedAlbums(), 0) << "the catalogue knows the rewritten album";
  EXPECT_EQ(db.GetTotalNumOfSong(), 2u);
  ExpectConsistent(db);
}

TEST_F(AlbumDatabaseTest, RemovedSongsMoveAsideWithoutReplacingEarlierOnes) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 1, "Beta"));
  SetDirs({Songs("a"), Songs("b")});
  const fs::path removed = dir_ / "Removed Songs";
  std::map<std::string, uint32_t> n;
  {
    AlbumDatabase db;
    Load(db);
    n = Numbers(db);
    // A song removed earlier under the same name stays as it is.
    sys::test::WriteFile((removed / "song2.vx3").string(), "earlier");
    std::vector<int32_t> numbers = {static_cast<int32_t>(n.at("song2.vx3|Alpha 2")), 999999,
                                    static_cast<int32_t>(n.at("song1.vx3|Beta 1"))};
    EXPECT_EQ(db.RemoveSongs(numbers.data(), 3), 1);
    EXPECT_EQ(numbers, (std::vector<int32_t>{0, 999999, 0}));
    EXPECT_EQ(sys::test::ReadFile((removed / "song2.vx3").string()), "earlier");
    EXPECT_TRUE(fs::exists(removed / "song2 (2).vx3"));
    EXPECT_TRUE(fs::exists(removed / "song1.vx3"));
    EXPECT_FALSE(fs::exists(Songs("a/song2.vx3")));
    EXPECT_FALSE(fs::exists(Songs("b/song1.vx3")));
    EXPECT_EQ(db.GetTotalNumOfSong(), 2u);
    SongRecord r;
    EXPECT_EQ(db.GetSongDataBySongNum(n.at("song2.vx3|Alpha 2"), r), 0);
    const uint32_t* block = db.GetSongListOfSubAlbum(1);
    EXPECT_EQ(std::vector<uint32_t>(block, block + 3),
              (std::vector<uint32_t>{2, n.at("song1.vx3|Alpha 1"), n.at("song3.vx3|Alpha 3")}));
    const std::vector<uint32_t>* group = db.GetTitleGroupList(14); // "A"
    EXPECT_EQ(std::count(group->begin(), group->end(), n.at("song2.vx3|Alpha 2")), 0);
    db.SetCurrAlbumContext(0x10000);
    EXPECT_EQ(db.GetTotalNumOfSong(), 2u);

    // A file that cannot be moved ends the removal.
    fs::remove(Songs("a/song3.vx3"));
    int32_t gone = static_cast<int32_t>(n.at("song3.vx3|Alpha 3"));
    EXPECT_EQ(db.RemoveSongs(&gone, 1), 0);
    EXPECT_NE(gone, 0);
  }
  // The catalogue written when freed no longer has the removed songs; the
  // check brings the albums in line with their folders.
  AlbumDatabase db;
  Load(db);
  std::map<std::string, uint32_t> after = Numbers(db);
  EXPECT_EQ(after,
            (std::map<std::string, uint32_t>{{"song1.vx3|Alpha 1", n.at("song1.vx3|Alpha 1")}}));
  ExpectConsistent(db);
}

// Records what a rebuild shows, one line per call.
class ProgressLog : public RebuildProgress {
public:
  void Open(std::string_view text) override { lines.push_back("open " + std::string(text)); }
  void SetText(int line, std::string_view text) override {
    lines.push_back("text" + std::to_string(line) + " " + std::string(text));
  }
  void SetBar(int percent) override {
    if (lines.empty() || lines.back() != "bar " + std::to_string(percent))
      lines.push_back("bar " + std::to_string(percent));
  }
  void Close(std::string_view text) override { lines.push_back("close " + std::string(text)); }
  std::vector<std::string> lines;
};

TEST_F(AlbumDatabaseTest, RebuildsShowEachAlbumSongAndStep) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 2, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 1, "Beta"));
  ProgressLog log;
  AlbumDatabase::Options options;
  options.progress = &log;
  AlbumDatabase db(options);
  db.Open(album_);
  db.AddSubAlbumFolder(Stored(Songs("a")), true);
  db.AddSubAlbumFolder(Stored(Songs("b")), true);
  ASSERT_EQ(db.Rebuild(1), 1);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{
                "open Building the song albums...", "bar 1", "text1 Writing Song0001.alb",
                "text2 Alpha 1", "text2 Alpha 2", "text2  ", "bar 50",
                "text2 " + Stored(Songs("b")), "text1 Writing Song0002.alb", "text2 Beta 1",
                "text2  ", "bar 100", "close The song albums are built."}));

  // Incremental: the bar moves once per folder of the list.
  log.lines.clear();
  ASSERT_TRUE(WriteSong(Songs("b/new.vx3"), "Beta New"));
  Age(Songs("b"));
  db.AddSubAlbumFolder(Stored(Songs("a")), true);
  db.AddSubAlbumFolder(Stored(Songs("b")), true);
  ASSERT_EQ(db.Rebuild(0), 1);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"open Building the song albums...", "bar 1",
                                                 "bar 50", "text1 Writing Song0002.alb",
                                                 "text2 Beta New", "text2 Beta 1", "text2  ",
                                                 "bar 100", "close The song albums are built."}));
}

TEST_F(AlbumDatabaseTest, FavouritesFollowTheirSongsThroughChecksAndRebuilds) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  ASSERT_TRUE(MakeSongFolder(Songs("b"), 2, "Beta"));
  const std::string a = Stored(Songs("a")), b = Stored(Songs("b"));
  struct Case {
    const char* what;
    std::function<void()> change;
    bool absentVolume = false;
    bool full = false;      // a full rebuild bracketed by the path lists
    bool cutWrites = false; // every write fails: the rebuild fails
    // Each favourite's path afterwards; empty: dropped.
    std::vector<std::string> paths;
    // The album manager's rebuild: paths recorded, the folders rebuilt,
    // the catalogue reloaded, then the lists renumbered.
    bool manager = false;
  };
  const std::vector<std::string> before = {a + "\\song2.vx3", b + "\\song1.vx3", a + "\\song3.vx3"};
  std::vector<Case> cases = {
      {"a favourite renamed follows to its new number",
       [&] { fs::rename(Songs("a/song2.vx3"), Songs("a/moved.vx3")); },
       false,
       false,
       false,
       {a + "\\moved.vx3", b + "\\song1.vx3", a + "\\song3.vx3"}},
      {"a favourite deleted is dropped",
       [&] { fs::remove(Songs("b/song1.vx3")); },
       false,
       false,
       false,
       {a + "\\song2.vx3", a + "\\song3.vx3"}},
      {"a folder on an absent volume keeps its favourites",
       [&] { fs::rename(Songs("b"), Songs("b-away")); }, true, false, false, before},
      {"a full rebuild gives new numbers, each favourite follows its path", [] {}, false, true,
       false, before},
      {"a rebuild that fails changes no list",
       [&] { fs::rename(Songs("a/song2.vx3"), Songs("a/moved.vx3")); }, false, false, true, before},
      {"the manager's rebuild: a renamed favourite follows, a deleted one is dropped",
       [&] {
         fs::rename(Songs("a/song2.vx3"), Songs("a/moved.vx3"));
         fs::remove(Songs("b/song1.vx3"));
       },
       false,
       false,
       false,
       {a + "\\moved.vx3", a + "\\song3.vx3"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(album_);
    fs::create_directories(album_);
    fs::remove_all(dir_ / "songs");
    ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
    ASSERT_TRUE(MakeSongFolder(Songs("b"), 2, "Beta"));
    SetDirs({Songs("a"), Songs("b")});
    std::vector<uint32_t> numbers;
    {
      AlbumDatabase db;
      Load(db);
      MyAlbumStore* store = db.MyAlbums();
      ASSERT_NE(store, nullptr);
      store->AddMyAlbum("Mine");
      for (const std::string& p : before)
        store->AddSong(0, db.FindSongByPath(p));
      numbers = store->GetMyAlbum(0)->songs;
      ASSERT_EQ(store->Save(), 1);
    }
    const std::string saved = sys::test::ReadFile(album_ + "/MySong.alb").value();
    c.change();
    Age(Songs("a"));
    if (fs::exists(Songs("b")))
      Age(Songs("b"));
    AlbumDatabase::Options o;
    if (c.absentVolume)
      o.volumes.mounts = sys::MountTable::Parse("", dir_ / "sys");
    AlbumDatabase db(o);
    if (c.cutWrites) {
      // A file-size limit fails every write, as a full disk would.
      struct rlimit saved {
      }, small{};
      getrlimit(RLIMIT_FSIZE, &saved);
      small = saved;
      small.rlim_cur = 64;
      signal(SIGXFSZ, SIG_IGN);
      SetDirs({Songs("a"), Songs("b")});
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
      Load(db);
      setrlimit(RLIMIT_FSIZE, &saved);
      signal(SIGXFSZ, SIG_DFL);
    } else if (c.manager) {
      db.Open(album_);
      db.MyAlbums()->MakePathLists();
      db.AddSubAlbumFolder(a, true);
      db.AddSubAlbumFolder(b, true);
      db.SetAddedFolders(true);
      ASSERT_EQ(db.Rebuild(0), 1);
      ASSERT_EQ(db.Reload(), 1);
      db.MyAlbums()->Renumber();
    } else if (c.full) {
      db.Open(album_);
      db.MyAlbums()->MakePathLists();
      db.AddSubAlbumFolder(b, true);
      db.AddSubAlbumFolder(a, true);
      ASSERT_EQ(db.Rebuild(1), 1);
      db.MyAlbums()->Renumber();
    } else {
      Load(db);
    }
    const MyAlbumList* list = db.MyAlbums()->GetMyAlbum(0);
    ASSERT_NE(list, nullptr);
    // The file holds each list in title order.
    std::sort(numbers.begin(), numbers.end(),
              [&](uint32_t x, uint32_t y) { return db.SongPath(x) < db.SongPath(y); });
    if (c.cutWrites) {
      EXPECT_EQ(std::set<uint32_t>(list->songs.begin(), list->songs.end()),
                std::set<uint32_t>(numbers.begin(), numbers.end()));
      EXPECT_EQ(sys::test::ReadFile(album_ + "/MySong.alb").value(), saved);
      continue;
    }
    std::vector<std::string> paths;
    for (uint32_t n : list->songs)
      paths.push_back(db.SongPath(n).value_or("?"));
    std::vector<std::string> expected = c.paths;
    std::sort(paths.begin(), paths.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
    if (c.full) {
      EXPECT_NE(list->songs, numbers) << "the full rebuild numbers afresh";
    }
    // What the lists hold is what the file holds.
    MyAlbumStore reread(&db, album_, "x");
    ASSERT_EQ(reread.Load(), 1);
    std::set<uint32_t> inFile(reread.GetMyAlbum(0)->songs.begin(),
                              reread.GetMyAlbum(0)->songs.end());
    EXPECT_EQ(inFile, std::set<uint32_t>(list->songs.begin(), list->songs.end()));
  }
}

// The last number handed out lives only while the catalogue is open: after
// the highest song is removed, a later session gives its number to a new
// song. A favourite of the removed song must not become that song.
TEST_F(AlbumDatabaseTest, ARemovedSongsNumberGivenAgainIsNotTakenForItsFavourite) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  SetDirs({Songs("a")});
  uint32_t removed = 0;
  {
    AlbumDatabase db;
    Load(db);
    removed = db.GetMaxSongNum();
    ASSERT_GT(removed, 0u);
    db.MyAlbums()->AddMyAlbum("Mine");
    db.MyAlbums()->AddSong(0, removed);
    ASSERT_EQ(db.MyAlbums()->Save(), 1);
    int32_t numbers[] = {static_cast<int32_t>(removed)};
    ASSERT_EQ(db.RemoveSongs(numbers, 1), 1);
    ASSERT_EQ(numbers[0], 0);
  }
  ASSERT_TRUE(WriteSong(Songs("a/new.vx3"), "Newcomer"));
  Age(Songs("a"));
  AlbumDatabase db;
  Load(db);
  const uint32_t fresh = db.FindSongByPath(Stored(Songs("a")) + "\\new.vx3");
  ASSERT_NE(fresh, 0u);
  const MyAlbumList* list = db.MyAlbums()->GetMyAlbum(0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(std::count(list->songs.begin(), list->songs.end(), fresh), 0)
      << "the favourite took the new song " << fresh << " (removed " << removed << ")";
  MyAlbumStore reread(&db, album_, "x");
  ASSERT_EQ(reread.Load(), 1);
  EXPECT_EQ(reread.GetNumOfSongInMyAlbum(0), 0u);
}

TEST_F(AlbumDatabaseTest, MyAlbumContextsGiveTheListsSongs) {
  ASSERT_TRUE(MakeSongFolder(Songs("a"), 3, "Alpha"));
  SetDirs({Songs("a")});
  AlbumDatabase db;
  Load(db);
  MyAlbumStore* store = db.MyAlbums();
  store->AddMyAlbum("One");
  store->AddMyAlbum("Two");
  std::vector<int32_t> all(3);
  ASSERT_EQ(db.GetTotalSongList(all.data(), 12), 1);
  store->AddSong(1, static_cast<uint32_t>(all[2]));
  store->AddSong(1, static_cast<uint32_t>(all[0]));
  db.SetCurrAlbumContext(1);
  EXPECT_EQ(db.GetTotalNumOfSong(), 2u);
  std::vector<int32_t> out(2);
  ASSERT_EQ(db.GetTotalSongList(out.data(), 8), 1);
  EXPECT_EQ(out, (std::vector<int32_t>{all[2], all[0]})) << "list order";
  db.SetCurrAlbumContext(0);
  EXPECT_EQ(db.GetTotalNumOfSong(), 0u);
  EXPECT_EQ(db.GetNumOfSongInMyAlbum(0xFFFF), 0u);
  EXPECT_EQ(db.GetNumOfSongInMyAlbum(0x10000), 3u);
  EXPECT_EQ(db.GetNumOfSongInMyAlbum(1), 2u);
}

TEST(AlbumFolder, ConfigFolderOrBesideTheProgram) {
  {
    sys::test::ScopedEnv env("VEXO_CONFIG_DIR", "/srv/vexo");
    EXPECT_EQ(DefaultAlbumFolder(), "/srv/vexo/");
  }
  sys::test::ScopedEnv env("VEXO_CONFIG_DIR", nullptr);
  std::string folder = DefaultAlbumFolder();
  EXPECT_EQ(folder, fs::canonical("/proc/self/exe").parent_path().string() + "/");
}

TEST(AlbumTitleGroups, InitialsLettersAndOthers) {
  AlbumTexts texts;
  struct Case {
    const char* what;
    std::string title;
    bool intl;
    int group;
  };
  const Case cases[] = {
      {"empty", "", false, 40},
      {"blanks only", "   ", false, 40},
      {"letter A", "  apple", false, 14},
      {"letter Z", "Zoo", false, 39},
      {"digit", "7 Rings", false, 40},
      {"syllable ga", "\xB0\xA1\xB3\xAA", false, 0},
      {"syllable kka groups with ga", "\xB1\xEE", false, 0},
      {"syllable ha", "\xC7\xCF", false, 13},
      {"extended syllable (initial g)", "\x81\x41", false, 0},
      {"extended syllable (initial h)", "\xC6\x52", false, 13},
      {"double-byte with the international flag", "\xB0\xA1", true, 40},
      {"letters with the international flag", "Bee", true, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TitleGroupOf(c.title, c.intl, texts), c.group);
  }
}

} // namespace
