#include "album/inetmode.h"

#include "album/tests/support/album_bytes.h"
#include "album/tests/support/inet_fixtures.h"

#include "core/tests/support/songfile_bytes.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace album;
using namespace album::testing;
namespace fs = std::filesystem;

TEST(InternetModes, ModeTwoAlbumIsBuiltByteForByteFromThunkAndRolls) {
  Folders f;
  LayRolls(f);
  Put(f.download + "pop/arirang.vx3", Text("song"));
  ModeCatalogue cat(2, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv/vx", rolls, newSongs), 1);
  cat.newSongs = newSongs;
  EXPECT_EQ(cat.Merge(rolls), (std::vector<uint16_t>{1, 2}));
  ASSERT_TRUE(cat.Update(1700000000));

  Bytes expected = Cat({Text("LOCAL INTERNET VEXO3 MASTER ALBUM V1.2\x1A"), U16(2), U32(3),
                        U32(61), U32(2 * 785), U32(1700000000), U32(1),
                        SubRecord(1, "jRo0001.alb", "http://srv/vx/jRo0001.alb", 2),
                        SubRecord(2, "jRo0002.alb", "http://srv/vx/jRo0002.alb", 1),
                        Entry(7, 1, 0, 'T', "Arirang", "arirang.vx3", "Folk Choir", 3),
                        Entry(9, 1, 1, 'b', "Blue Moon", "blue.sb3", "Kim", 5),
                        Entry(12, 2, 0, 'w', "Cold", "cold.wm3", "Lee", 3), U32(1), U32(12)});
  EXPECT_EQ(Get(f.album + "jSong.alb"), expected);
  // The packed rolls are gone once unpacked; the roll albums stay.
  EXPECT_FALSE(fs::exists(f.album + "jRo0001.alz"));
  EXPECT_TRUE(fs::exists(f.album + "jRo0001.alb"));
}

TEST(InternetModes, LettersFollowFilePresenceAndMarkDirty) {
  Folders f;
  LayRolls(f);
  Put(f.download + "pop/arirang.vx3", Text("song"));
  {
    ModeCatalogue cat(2, f.album, f.download);
    std::vector<ModeCatalogue::ThunkRoll> rolls;
    std::vector<uint32_t> newSongs;
    ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv/vx", rolls, newSongs), 1);
    cat.Merge(rolls);
    ASSERT_TRUE(cat.Update(1));
  }
  ModeCatalogue cat(2, f.album, f.download);
  ASSERT_EQ(cat.Read(), 1);
  EXPECT_FALSE(cat.dirty);
  EXPECT_EQ(cat.EntryByNumber(7)->type, 'T');

  fs::remove(f.download + "pop/arirang.vx3");
  Put(f.download + "rock/cold.wm3", Text("song"));
  ASSERT_EQ(cat.Read(), 1);
  EXPECT_TRUE(cat.dirty);
  EXPECT_EQ(cat.EntryByNumber(7)->type, 't');
  EXPECT_EQ(cat.EntryByNumber(9)->type, 'b');
  EXPECT_EQ(cat.EntryByNumber(12)->type, 'W');
  EXPECT_EQ(cat.highest, 12u);
  EXPECT_EQ(cat.rolls.at(1).baseLocation, "\\rock");
}

TEST(InternetModes, ModeOneKeepsTextsAsStored) {
  Folders f;
  Put(f.album + "iThunk.alb", ThunkBytes({{"iRo0001.alb", 5}}, {}));
  Put(f.album + "iRo0001.alz", PackRoll(InternetBytes(5, "http://x/songs", PopRecords(), false)));
  ModeCatalogue cat(1, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  ASSERT_EQ(cat.ReadThunk(f.album + "iThunk.alb", "http://srv/", rolls, newSongs), 1);
  EXPECT_EQ(rolls.at(0).url, "http://srv/iRo0001.alb");
  cat.Merge(rolls);
  ASSERT_TRUE(cat.Update(1));
  ASSERT_EQ(cat.Read(), 1);
  EXPECT_EQ(cat.rolls.at(0).baseLocation, "http://x/songs");
  EXPECT_EQ(cat.EntryByNumber(9)->fileName, "blue.sb3");
  EXPECT_EQ(cat.EntryByNumber(9)->type, 'b');
}

TEST(InternetModes, MergeTellsNewAndChangedRollsAndKeepsUnchangedOnes) {
  Folders f;
  LayRolls(f);
  ModeCatalogue cat(2, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv/vx", rolls, newSongs), 1);
  cat.Merge(rolls);
  ASSERT_TRUE(cat.Update(1));
  Bytes rockBefore = Get(f.album + "jRo0002.alb");

  // Roll 1 unchanged, roll 2 changed stamp, roll 3 new, the old roll 2 of
  // another name dropped.
  struct Case {
    std::vector<std::pair<std::string, uint32_t>> thunk;
    std::vector<uint16_t> updated;
  } cases[] = {
      {{{"jRo0001.alb", 11}, {"jRo0002.alb", 12}}, {}},
      {{{"jRo0001.alb", 11}, {"jRo0002.alb", 13}}, {2}},
      {{{"jRo0001.alb", 11}, {"jRo0002.alb", 12}, {"jRo0003.alb", 1}}, {3}},
      {{{"JRO0001.ALB", 99}}, {1}},
  };
  for (const Case& c : cases) {
    ModeCatalogue again(2, f.album, f.download);
    ASSERT_EQ(again.Read(), 1);
    Put(f.album + "t.alb", ThunkBytes(c.thunk, {}));
    ASSERT_EQ(again.ReadThunk(f.album + "t.alb", "http://srv/vx", rolls, newSongs), 1);
    EXPECT_EQ(again.Merge(rolls), c.updated);
  }

  // A roll the thunk drops goes only when the new album is written, and a
  // roll without a fresh file keeps its songs.
  ModeCatalogue again(2, f.album, f.download);
  ASSERT_EQ(again.Read(), 1);
  Put(f.album + "t.alb", ThunkBytes({{"jRo0002.alb", 12}, {"jRo0005.alb", 1}}, {}));
  ASSERT_EQ(again.ReadThunk(f.album + "t.alb", "http://srv/vx", rolls, newSongs), 1);
  EXPECT_EQ(again.Merge(rolls), (std::vector<uint16_t>{3}));
  EXPECT_TRUE(fs::exists(f.album + "jRo0001.alb"));
  ASSERT_TRUE(again.Update(2));
  EXPECT_FALSE(fs::exists(f.album + "jRo0001.alb"));
  EXPECT_EQ(Get(f.album + "jRo0002.alb"), rockBefore);
  ASSERT_EQ(again.Read(), 1);
  ASSERT_EQ(again.entries.size(), 1u);
  EXPECT_EQ(again.entries[0].number, 12u);
  // The new roll is numbered above the highest in use, not count + 1.
  EXPECT_EQ(again.rolls.back().number, 3);
}

TEST(InternetModes, DamagedRollIsSkippedAndItsOldAlbumKept) {
  Folders f;
  LayRolls(f);
  ModeCatalogue cat(2, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv/vx", rolls, newSongs), 1);
  cat.Merge(rolls);
  ASSERT_TRUE(cat.Update(1));
  Bytes popBefore = Get(f.album + "jRo0001.alb");

  Bytes cut = PackRoll(InternetBytes(20, "\\pop", PopRecords(), true));
  cut.resize(cut.size() / 2);
  Put(f.album + "jRo0001.alz", cut);
  Bytes lying = PackRoll(InternetBytes(20, "\\pop", PopRecords(), true));
  lying[38] = lying[39] = lying[40] = lying[41] = 0xFF; // unpacked size 4 GiB
  Put(f.album + "jRo0002.alz", lying);
  EXPECT_EQ(cat.UnpackRolls(), 0);
  EXPECT_EQ(Get(f.album + "jRo0001.alb"), popBefore);
}

TEST(InternetModes, HostileNamesTouchNothingOutside) {
  Folders f;
  for (const std::string& name :
       std::vector<std::string>{"..\\..\\x", "../x", "/etc/x", "C:\\x", std::string("a\0b", 3),
                                std::string(300, 'a'), ".."}) {
    Put(f.album + "jThunk.alb", ThunkBytes({{name, 1}}, {}));
    ModeCatalogue cat(2, f.album, f.download);
    std::vector<ModeCatalogue::ThunkRoll> rolls;
    std::vector<uint32_t> newSongs;
    EXPECT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv", rolls, newSongs), -1) << name;
    EXPECT_TRUE(rolls.empty());
  }
  struct Case {
    std::string base, file;
    bool ok;
  } cases[] = {
      {"\\pop", "a.vx3", true},          {"\\pop\\sub", "a.vx3", true},
      {"\\..\\..", "x", false},          {"\\pop", "..\\x", false},
      {"\\pop", "C:\\x", false},         {"\\pop", std::string("a\0b", 3), false},
      {"\\pop", "", false},              {"x/../..", "y", false},
      {"\\pop", std::string(5000, 'a'), false},
  };
  for (const Case& c : cases) {
    std::optional<std::string> path = SongDownloadPath(f.download, c.base, c.file);
    EXPECT_EQ(path.has_value(), c.ok) << c.base << " " << c.file;
    if (path)
      EXPECT_EQ(path->rfind(f.download, 0), 0u);
  }
  EXPECT_EQ(*SongDownloadPath(f.download, "\\pop\\sub", "a.vx3"), f.download + "pop/sub/a.vx3");
  EXPECT_EQ(SongDownloadUrl("http://s", "\\pop\\sub", "a.vx3"), "http://s/pop/sub/a.vx3");
}

TEST(InternetModes, SongDownloadTakesOnlyAWholeSong) {
  Folders f;
  LayRolls(f);
  ModeCatalogue cat(2, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", "http://srv/vx", rolls, newSongs), 1);
  cat.Merge(rolls);
  ASSERT_TRUE(cat.Update(1));

  Bytes song = core::testing::V350File();
  std::string askedUrl;
  Bytes served;
  auto copy = [&](const std::string& url, const std::string& file) {
    askedUrl = url;
    Put(file, served);
    return true;
  };
  // Not a song: refused, the old copy kept, no other file left.
  Put(f.download + "pop/arirang.vx3", Text("old copy"));
  served = Text("<html>not found</html>");
  EXPECT_EQ(cat.DownloadSong(7, "http://srv/vx", copy), 0);
  EXPECT_EQ(askedUrl, "http://srv/vx/pop/arirang.vx3");
  EXPECT_EQ(Get(f.download + "pop/arirang.vx3"), Text("old copy"));
  EXPECT_EQ(cat.EntryByNumber(7)->type, 't');
  EXPECT_FALSE(cat.dirty);
  // A failed fetch: nothing changes either.
  EXPECT_EQ(cat.DownloadSong(7, "http://srv/vx", [](auto&&, auto&&) { return false; }), 0);
  EXPECT_EQ(cat.DownloadSong(99, "http://srv/vx", copy), 0);

  served = song;
  ASSERT_EQ(cat.DownloadSong(12, "http://srv/vx", copy), 1);
  EXPECT_EQ(Get(f.download + "rock/cold.wm3"), song);
  EXPECT_EQ(cat.EntryByNumber(12)->type, 'W');
  EXPECT_TRUE(cat.dirty);
  std::vector<std::string> rock;
  for (const auto& e : fs::directory_iterator(f.download + "rock"))
    rock.push_back(e.path().filename().string());
  EXPECT_EQ(rock, std::vector<std::string>{"cold.wm3"});

  EXPECT_EQ(cat.RemoveDownloadedSong(12), 1);
  EXPECT_FALSE(fs::exists(f.download + "rock/cold.wm3"));
  EXPECT_EQ(cat.EntryByNumber(12)->type, 'w');
  EXPECT_EQ(cat.RemoveDownloadedSong(12), 0);
}

TEST(InternetModes, ServerUrlNormalisation) {
  struct Case {
    std::string text;
    std::optional<std::string> url;
  } cases[] = {
      {"http://srv/vx", "http://srv/vx"},
      {"ftp://srv/vx", "http://srv/vx"},
      {"HTTPS://srv", "https://srv"},
      {"srv/vx", "http://srv/vx"},
      {"host:8080/x", "http://host:8080/x"},
      {"a:", "http://a:"},
      {"a:b", "http://a:b"},
      {"", "http://"},
      {"://x", "http://x"},
      {std::string(253, 'a'), "http://" + std::string(253, 'a')},
      {std::string(254, 'a'), std::nullopt},
      {"http://" + std::string(300, 'a'), std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NormaliseServerUrl(c.text), c.url) << c.text;
  EXPECT_EQ(ServerUrlWithoutSlash("http://s/vx/"), "http://s/vx");
  EXPECT_EQ(ServerUrlWithoutSlash("http://s/vx//"), "http://s/vx/");
  EXPECT_EQ(ServerUrlWithoutSlash("http://s"), "http://s");
}

} // namespace

#include "platform/net/fetch.h"
#include "platform/net/tests/test_http_server.h"

namespace {

using namespace album;
using namespace album::testing;

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(InternetModes, UpdateOverHttpFetchesOnlyTheChangedRoll) {
  Folders f;
  net::test::TestHttpServer server;
  LayRolls(f);
  ModeCatalogue cat(2, f.album, f.download);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  std::string base = server.Url("/vx");
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", base, rolls, newSongs), 1);
  cat.Merge(rolls);
  ASSERT_TRUE(cat.Update(1));
  Bytes popBefore = Get(f.album + "jRo0001.alb");

  // The server's new index changes roll 2 only.
  server.Route("/vx/jThunk.alb",
               net::test::Ok(AsString(ThunkBytes({{"jRo0001.alb", 11}, {"jRo0002.alb", 13}}, {}))));
  std::vector<RecordSpec> rock = RockRecords();
  rock.push_back({14, "Dawn", "Park", "", "", 3, "", 't', Text("dawn.vx3")});
  server.Route("/vx/jRo0002.alz",
               net::test::Ok(AsString(PackRoll(InternetBytes(13, "\\rock", rock, true)))));
  auto fetch = [](const std::string& url, const std::string& file) {
    return net::Fetch(url, file).ok();
  };
  ASSERT_TRUE(fetch(base + "/jThunk.alb", f.album + "jThunk.alb"));
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", base, rolls, newSongs), 1);
  EXPECT_EQ(cat.Merge(rolls), (std::vector<uint16_t>{2}));
  ASSERT_TRUE(cat.FetchRolls(fetch));
  ASSERT_TRUE(cat.Update(2));
  EXPECT_EQ(server.Log(), (std::vector<std::string>{"/vx/jThunk.alb", "/vx/jRo0002.alz"}));
  EXPECT_EQ(Get(f.album + "jRo0001.alb"), popBefore);
  ASSERT_EQ(cat.Read(), 1);
  EXPECT_EQ(cat.entries.size(), 4u);
  EXPECT_NE(cat.EntryByNumber(7), nullptr);
  EXPECT_NE(cat.EntryByNumber(14), nullptr);

  // A roll the server no longer has stops the chain: the mode album stays.
  Bytes albumBefore = Get(f.album + "jSong.alb");
  server.Route("/vx/jThunk.alb",
               net::test::Ok(AsString(ThunkBytes({{"jRo0001.alb", 11}, {"jRo0002.alb", 14}}, {}))));
  ASSERT_TRUE(fetch(base + "/jThunk.alb", f.album + "jThunk.alb"));
  ASSERT_EQ(cat.ReadThunk(f.album + "jThunk.alb", base, rolls, newSongs), 1);
  cat.Merge(rolls);
  server.Route("/vx/jRo0002.alz", {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close", ""});
  EXPECT_FALSE(cat.FetchRolls(fetch));
  EXPECT_EQ(Get(f.album + "jSong.alb"), albumBefore);
  EXPECT_FALSE(fs::exists(f.album + "jRo0002.alz"));
}

} // namespace
