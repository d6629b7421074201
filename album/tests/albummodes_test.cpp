// The album modes of the database: the switch, the catalogue built from
// files on disk, the look-ups of a mode album, the index fetched and
// processed, and mode-2 songs fetched over HTTP from a server of the test.
#include "album/albumdatabase.h"
#include "album/query.h"

#include "album/tests/support/album_bytes.h"
#include "album/tests/support/inet_fixtures.h"
#include "core/tests/support/songfile_bytes.h"
#include "platform/net/fetch.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

using namespace album;
using namespace album::testing;
namespace fs = std::filesystem;

constexpr uint32_t kNow = 1700000000;

std::string AsString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

// Every file under a folder, relative, with its bytes.
std::map<std::string, Bytes> Tree(const std::string& root) {
  std::map<std::string, Bytes> out;
  if (!fs::exists(root))
    return out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file())
      out[fs::relative(e.path(), root).string()] = Get(e.path().string());
  return out;
}

struct Db {
  Folders f;
  std::vector<std::string> fetched; // the URLs the download dialog was given
  // What the download dialog does with a URL (a file copy by default: the
  // "server" folder of the test).
  std::function<bool(const std::string&, const std::string&)> transfer;
  int asked = 0;
  bool answer = false;
  std::unique_ptr<AlbumDatabase> db;

  explicit Db(bool open = true) {
    if (open)
      Open();
  }
  std::string Server() const { return f.scratch.Path() + "/server/"; }
  void Open() {
    AlbumDatabase::Options o;
    o.clock = [] { return kNow; };
    o.download = [this](const std::string& url, const std::string& file, const std::string&) {
      fetched.push_back(url);
      if (transfer)
        return transfer(url, file);
      std::string name(LastUrlComponent(url));
      if (!fs::exists(Server() + name))
        return false;
      Put(file, Get(Server() + name));
      return true;
    };
    o.confirmThunkChange = [this] {
      ++asked;
      return answer;
    };
    db = std::make_unique<AlbumDatabase>(std::move(o));
    db->Open(f.album);
  }
  SongRecord Look(uint32_t n, int* found = nullptr) {
    SongRecord r;
    int got = db->GetSongDataBySongNum(n, r);
    if (found)
      *found = got;
    return r;
  }
};

ModeAlbum ReadBack(const std::string& path) {
  ModeAlbum album;
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(path);
  EXPECT_TRUE(bytes);
  if (bytes)
    EXPECT_EQ(ReadModeAlbum(*bytes, album), kAlbumRead);
  return album;
}

char TypeIn(const ModeAlbum& album, uint32_t number) {
  for (const SongIndexEntry& e : album.entries)
    if (e.number == number)
      return e.type;
  return 0;
}

TEST(AlbumModes, SwitchToModeTwoBuildsItsAlbumFromDiskWithoutFetching) {
  Db d;
  LayRolls(d.f);
  Put(d.f.download + "rock/cold.wm3", Text("song"));
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  EXPECT_EQ(d.db->GetAlbumMode(), 2);
  EXPECT_TRUE(d.fetched.empty());
  Bytes expected = Cat({Text("LOCAL INTERNET VEXO3 MASTER ALBUM V1.2\x1A"), U16(2), U32(3), U32(61),
                        U32(2 * 785), U32(kNow), U32(1),
                        SubRecord(1, "jRo0001.alb", "http://localhost/vexo/jRo0001.alb", 2),
                        SubRecord(2, "jRo0002.alb", "http://localhost/vexo/jRo0002.alb", 1),
                        Entry(7, 1, 0, 't', "Arirang", "arirang.vx3", "Folk Choir", 3),
                        Entry(9, 1, 1, 'b', "Blue Moon", "blue.sb3", "Kim", 5),
                        Entry(12, 2, 0, 'W', "Cold", "cold.wm3", "Lee", 3), U32(1), U32(12)});
  EXPECT_EQ(Get(d.f.album + "jSong.alb"), expected);

  // The mode album is what every look-up sees.
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 3u);
  EXPECT_EQ(d.db->GetMaxSongNum(), 12u);
  EXPECT_EQ(d.db->GetNumOfSubAlb(), 2);
  EXPECT_EQ(d.db->GetAlbumListLUT(), kNow);
  const uint32_t* fresh = d.db->GetNewSongListBlock();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh[0], 1u);
  EXPECT_EQ(fresh[1], 12u);
  int found = 0;
  SongRecord cold = d.Look(12, &found);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(cold.type, 'W');
  EXPECT_EQ(sys::ToLinuxPath(FieldText(cold.fileName), {}).value_or(""),
            d.f.download + "rock/cold.wm3");
  SongRecord blue = d.Look(9, &found);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(FieldText(blue.fileName), "Song for Internet Velmorith");
  EXPECT_EQ(FieldText(blue.title), "Blue Moon");

  // Queries scan the roll albums; a pick takes only a downloaded song.
  ASSERT_EQ(d.db->OpenQueryByTitleSinger("blue", kQueryByTitle), 1);
  SongRecord hit;
  int step;
  std::vector<uint32_t> hits;
  while ((step = d.db->GetQueryByTitleSinger(hit)) != kQueryFinished)
    if (step == kQueryMatched)
      hits.push_back(hit.number);
  EXPECT_EQ(hits, std::vector<uint32_t>{9});
  d.db->SeedRandom(5);
  for (int i = 0; i < 10; ++i) {
    SongRecord r;
    ASSERT_EQ(d.db->GetRandomSong(r), 1);
    EXPECT_EQ(r.number, 12u);
  }
  EXPECT_EQ(d.db->SetCategoryFilter(3), 1);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 1u); // downloaded songs of category 3
  EXPECT_EQ(d.db->SetCategoryFilter(0), 1);
  // A my-album context names local songs: nothing in a mode album.
  d.db->SetCurrAlbumContext(0);
  int32_t numbers[8];
  EXPECT_EQ(d.db->GetTotalSongList(numbers, sizeof numbers), 0);
  d.db->SetCurrAlbumContext(AlbumDatabase::kWholeAlbum);

  // A mode outside 0-3 changes nothing; the local album comes back.
  EXPECT_EQ(d.db->SetAlbumModeTo(4, false), 0);
  EXPECT_EQ(d.db->SetAlbumModeTo(-1, true), 0);
  EXPECT_EQ(d.db->GetAlbumMode(), 2);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 3u);
  ASSERT_EQ(d.db->SetAlbumModeTo(0, false), 1);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 0u);
  EXPECT_EQ(d.db->GetAlbumListLUT(), 0u);
  EXPECT_EQ(d.db->GetNewSongListBlock(), nullptr);
  EXPECT_FALSE(fs::exists(d.f.album + "Song.alb"));
}

TEST(AlbumModes, DirtyModeTwoAlbumIsWrittenAtTheSwitchAndAtFree) {
  Db d;
  LayRolls(d.f);
  Put(d.f.download + "pop/arirang.vx3", Text("song"));
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  EXPECT_EQ(TypeIn(ReadBack(d.f.album + "jSong.alb"), 7), 'T');
  ASSERT_EQ(d.db->SetAlbumModeTo(0, false), 1);

  // Deleted outside the program: the letter follows at the next switch, the
  // file is written when the mode is left.
  fs::remove(d.f.download + "pop/arirang.vx3");
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  EXPECT_TRUE(d.db->ModeDirty());
  EXPECT_EQ(d.Look(7).type, 't');
  EXPECT_EQ(TypeIn(ReadBack(d.f.album + "jSong.alb"), 7), 'T');
  ASSERT_EQ(d.db->SetAlbumModeTo(1, false), 1);
  EXPECT_EQ(TypeIn(ReadBack(d.f.album + "jSong.alb"), 7), 't');

  // Back again, the file present: written when the database is freed.
  Put(d.f.download + "pop/arirang.vx3", Text("song"));
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  EXPECT_TRUE(d.db->ModeDirty());
  d.db.reset();
  EXPECT_EQ(TypeIn(ReadBack(d.f.album + "jSong.alb"), 7), 'T');
}

TEST(AlbumModes, LocalCatalogueIsLeftAloneInTheInternetModes) {
  Db d;
  LayRolls(d.f);
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  int32_t numbers[] = {7};
  EXPECT_EQ(d.db->RemoveSongs(numbers, 1), 0);
  EXPECT_EQ(numbers[0], 7);
  EXPECT_EQ(d.db->Rebuild(1), 0);
  EXPECT_EQ(d.db->RenameSubAlbum("jRo0001", "x"), 0);
  EXPECT_TRUE(d.db->Flush());
  EXPECT_FALSE(fs::exists(d.f.album + "Song.alb"));
  EXPECT_EQ(d.db->Reload(), 1);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 3u);
}

TEST(AlbumModes, AnotherIndexNameIsAskedAndNoChangesNothing) {
  Db d;
  LayRolls(d.f);
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  ASSERT_EQ(d.db->ProcessThunk(), 1); // the index in use is recorded
  EXPECT_EQ(d.asked, 0);
  ASSERT_EQ(d.db->MergeRollFiles(), 1); // nothing changed: nothing fetched
  EXPECT_TRUE(d.fetched.empty());

  Put(d.f.album + "jOther.alb", ThunkBytes({{"jRo0007.alb", 70}}, {}));
  Put(d.Server() + "jRo0007.alz",
      PackRoll(InternetBytes(70, "\\new", {{40, "Eve", "Min", "", "", 3, "", 't', Text("eve.vx3")}},
                             true)));
  std::map<std::string, Bytes> before = Tree(d.f.album);
  ASSERT_TRUE(d.db->SetThunkFileName("jOther.alb"));
  EXPECT_EQ(d.db->ProcessThunk(), 0);
  EXPECT_EQ(d.asked, 1);
  EXPECT_EQ(Tree(d.f.album), before);
  EXPECT_TRUE(d.fetched.empty());
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 3u);

  d.answer = true;
  ASSERT_EQ(d.db->ProcessThunk(), 1);
  EXPECT_EQ(d.asked, 2);
  EXPECT_EQ(Tree(d.f.album), before); // nothing deleted before the transfer
  ASSERT_EQ(d.db->MergeRollFiles(), 1);
  EXPECT_EQ(d.fetched, std::vector<std::string>{"http://localhost/vexo/jRo0007.alz"});
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 1u);
  EXPECT_NE(d.db->EntryByNumber(40), nullptr);
  EXPECT_FALSE(fs::exists(d.f.album + "jThunk.alb"));
  EXPECT_FALSE(fs::exists(d.f.album + "jRo0001.alb"));
  EXPECT_TRUE(fs::exists(d.f.album + "jOther.alb"));
}

TEST(AlbumModes, FailedRollTransferKeepsTheModeAlbumAndQueue) {
  Db d;
  LayRolls(d.f);
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  ASSERT_EQ(d.db->ProcessThunk(), 1);
  ASSERT_EQ(d.db->MergeRollFiles(), 1);
  d.db->Reservations().Add(7, "Arirang", "");
  // The index changes roll 2, which the server does not have.
  Put(d.f.album + "jThunk.alb", ThunkBytes({{"jRo0001.alb", 11}, {"jRo0002.alb", 99}}, {}));
  std::map<std::string, Bytes> before = Tree(d.f.album);
  ASSERT_EQ(d.db->ProcessThunk(), 1);
  EXPECT_EQ(d.db->MergeRollFiles(), 0);
  EXPECT_EQ(d.fetched, std::vector<std::string>{"http://localhost/vexo/jRo0002.alz"});
  EXPECT_EQ(Tree(d.f.album), before);
  EXPECT_EQ(d.db->Reservations().Count(), 1u);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 3u);

  // Once the roll is there the album is replaced and the queue emptied.
  Put(d.Server() + "jRo0002.alz", PackRoll(InternetBytes(99, "\\rock", {}, true)));
  ASSERT_EQ(d.db->ProcessThunk(), 1);
  ASSERT_EQ(d.db->MergeRollFiles(), 1);
  EXPECT_EQ(d.db->Reservations().Count(), 0u);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 2u);
}

TEST(AlbumModes, ModeThreeListsTheNewAndChangedRolls) {
  Db d;
  Put(d.f.album + "pThunk.alb", ThunkBytes({{"pRo0001.alb", 1}, {"pRo0002.alb", 2}}, {}));
  Put(d.f.album + "pRo0001.alz", PackRoll(InternetBytes(1, "http://x", PopRecords(), false)));
  Put(d.f.album + "pRo0002.alz", PackRoll(InternetBytes(2, "http://y", RockRecords(), false)));
  EXPECT_EQ(d.db->MakeUpdatedSubAlbumList(d.f.album + "pThunk.alb"), nullptr); // mode 0
  ASSERT_EQ(d.db->SetAlbumModeTo(3, false), 1);
  SongRecord r = d.Look(12);
  EXPECT_EQ(FieldText(r.fileName), "http://y/cold.wm3");
  struct Case {
    std::vector<std::pair<std::string, uint32_t>> rolls;
    std::vector<uint32_t> updated;
  } cases[] = {
      {{{"pRo0001.alb", 1}, {"pRo0002.alb", 2}}, {}},
      {{{"pRo0001.alb", 1}, {"pRo0002.alb", 5}}, {2}},
      {{{"pRo0001.alb", 4}, {"pRo0003.alb", 1}}, {1, 3}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(d.db->SetAlbumModeTo(3, true), 1);
    Put(d.f.album + "next.alb", ThunkBytes(c.rolls, {}));
    const uint32_t* block = d.db->MakeUpdatedSubAlbumList(d.f.album + "next.alb");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(block + 1, block + 1 + block[0]), c.updated);
  }
}

TEST(AlbumModes, ServerDialogStoresTheNormalisedUrl) {
  Db d(false);
  std::optional<std::string> typed;
  std::string shown;
  AlbumDatabase::Options o;
  o.serverDialog = [&](const std::string& current) {
    shown = current;
    return typed;
  };
  AlbumDatabase db(std::move(o));
  db.Open(d.f.album);
  const std::string ini = db.ConfigPath();
  typed = std::nullopt;
  EXPECT_EQ(db.INetServerSettingDlg(), 0);
  EXPECT_EQ(shown, "http://localhost/vexo");
  typed = "ftp://songs.example/vx/";
  EXPECT_EQ(db.INetServerSettingDlg(), 1);
  EXPECT_EQ(db.ServerUrl(), "http://songs.example/vx");
  EXPECT_EQ(sys::IniGetString(ini, "OnLine", "Server", ""), "http://songs.example/vx");
  typed = std::string(300, 'a');
  EXPECT_EQ(db.INetServerSettingDlg(), 0);
  EXPECT_EQ(db.ServerUrl(), "http://songs.example/vx");
  db.SetINetServerUrl("https://a/b/");
  EXPECT_EQ(db.ServerUrl(), "https://a/b");
}

// Against a server of the test: the index and the changed roll fetched, and
// songs fetched one by one, each failure leaving every file as it was.
TEST(AlbumModes, IndexAndSongsOverHttp) {
  net::test::TestHttpServer server;
  Db d(false);
  const std::string base = server.Url("/vx");
  sys::IniWriteString(d.f.album + "config.ini", "OnLine", "Server", base + "/");
  sys::IniWriteString(d.f.album + "config.ini", "OnLine", "iThunk", base + "/jThunk.alb");
  LayRolls(d.f);
  d.transfer = [](const std::string& url, const std::string& file) {
    return net::Fetch(url, file).ok();
  };
  d.Open();
  ASSERT_EQ(d.db->SetAlbumModeTo(2, false), 1);
  ASSERT_EQ(d.db->GetTotalNumOfSong(), 3u);
  EXPECT_TRUE(server.Log().empty());

  std::vector<RecordSpec> rock = RockRecords();
  rock.push_back({14, "Dawn", "Park", "", "", 3, "", 't', Text("dawn.vx3")});
  server.Route("/vx/jThunk.alb",
               net::test::Ok(AsString(ThunkBytes({{"jRo0001.alb", 11}, {"jRo0002.alb", 13}}, {}))));
  server.Route("/vx/jRo0002.alz",
               net::test::Ok(AsString(PackRoll(InternetBytes(13, "\\rock", rock, true)))));
  Bytes pop = Get(d.f.album + "jRo0001.alb");
  ASSERT_EQ(d.db->INetDownLoadiThunk(), 1);
  EXPECT_EQ(server.Log(), (std::vector<std::string>{"/vx/jThunk.alb", "/vx/jRo0002.alz"}));
  EXPECT_EQ(Get(d.f.album + "jRo0001.alb"), pop);
  EXPECT_EQ(d.db->GetTotalNumOfSong(), 4u);
  EXPECT_NE(d.db->EntryByNumber(7), nullptr);

  const Bytes song = core::testing::V350File();
  server.Route("/vx/rock/dawn.vx3", net::test::Ok(AsString(song)));
  ASSERT_EQ(d.db->DownLoadSongBySongNum(14), 1);
  EXPECT_EQ(Get(d.f.download + "rock/dawn.vx3"), song);
  EXPECT_EQ(d.Look(14).type, 'T');
  EXPECT_TRUE(d.db->ModeDirty());

  Put(d.f.download + "rock/cold.wm3", Text("old copy"));
  struct Case {
    const char* name;
    net::test::Reply reply;
  } cases[] = {
      {"404", {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close", ""}},
      {"cut short",
       {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close", AsString(song)}},
      {"over the limit",
       {"HTTP/1.1 200 OK\r\nContent-Length: 300000000\r\nConnection: close", AsString(song)}},
      {"redirect to a file",
       {"HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\nContent-Length: 0\r\n"
        "Connection: close",
        ""}},
      {"not a song", net::test::Ok("<html>gone</html>")},
  };
  for (const Case& c : cases) {
    server.Route("/vx/rock/cold.wm3", c.reply);
    std::map<std::string, Bytes> album = Tree(d.f.album), download = Tree(d.f.download);
    EXPECT_EQ(d.db->DownLoadSongBySongNum(12), 0) << c.name;
    EXPECT_EQ(Tree(d.f.album), album) << c.name;
    EXPECT_EQ(Tree(d.f.download), download) << c.name;
    EXPECT_EQ(d.Look(12).type, 'w') << c.name;
  }
  EXPECT_EQ(d.db->RemoveDownloadedSongBySongNum(14), 1);
  EXPECT_FALSE(fs::exists(d.f.download + "rock/dawn.vx3"));
  EXPECT_EQ(d.Look(14).type, 't');
}

} // namespace
