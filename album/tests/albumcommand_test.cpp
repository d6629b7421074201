#include "album/albumdatabase.h"
#include "album/myalbum.h"
#include "album/tests/support/album_bytes.h"
#include "album/tests/support/song_tree.h"

#include "platform/sys/codepage.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <filesystem>

namespace {

using namespace album::testing;

using HostRun = systest::CommandRun;

HostRun RunHost(const std::string& args) {
  return systest::RunCommand(std::string(VEXO_BIN_DIR) + "/vexo3 " + args, systest::Stderr::Apart);
}

QJsonObject Parse(const std::string& line) {
  QJsonParseError error{};
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
  return doc.object();
}

void Put(const std::string& path, const Bytes& b) {
  sys::test::WriteFile(path, std::string(b.begin(), b.end()));
}

TEST(AlbumCommand, ProbesTheConvertedDemoSong) {
  sys::test::ScratchFolder dir;
  std::string song = dir / "twinkle.vx3";
  HostRun convert =
      RunHost("convert " + std::string(VEXO_BIN_DIR) + "/twinkle.kar " + song + " --kind 1020");
  ASSERT_EQ(convert.status, 0) << convert.err;
  HostRun probe = RunHost("album probe " + song);
  ASSERT_EQ(probe.status, 0) << probe.err;
  EXPECT_TRUE(probe.err.empty());
  QJsonObject o = Parse(probe.out);
  EXPECT_EQ(o["version"].toString(), "3.50");
  EXPECT_EQ(o["soundBankKind"].toInt(), 1);
  EXPECT_EQ(o["letter"].toString(), "t");
  QJsonObject r = o["record"].toObject();
  EXPECT_EQ(r["title"].toString(), "Twinkle, Twinkle, Little Star");
  EXPECT_EQ(r["fileName"].toString(), "twinkle.vx3");
  EXPECT_EQ(r["songCode"].toString().size(), 32);
}

TEST(AlbumCommand, ProbeReportsEachUnreadableFileOnOneLine) {
  sys::test::ScratchFolder dir;
  Put(dir / "bad.vx3", Text("VEXO DATA V3.5"));
  HostRun r = RunHost("album probe " + (dir / "bad.vx3") + " " + (dir / "none.vx3"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
  EXPECT_NE(r.err.find("bad.vx3"), std::string::npos);
}

TEST(AlbumCommand, DumpsAlbumFiles) {
  sys::test::ScratchFolder dir;
  // A Korean title in code page 949 comes out in UTF-8.
  std::vector<RecordSpec> records = FixtureRecords();
  records[0].title = "\xB0\xA1";
  Bytes local = Cat({Text("VEXO3 ALBUM V2.0\x1A"), U32(1), U32(5), Field("k [001]", 48),
                     Field("/k", 260), U32(0), U32(0), U32(1), U32(0), Record(records[0])});
  Put(dir / "Song0001.alb", local);
  HostRun l = RunHost("album dump " + (dir / "Song0001.alb"));
  ASSERT_EQ(l.status, 0) << l.err;
  QJsonObject lo = Parse(l.out);
  EXPECT_EQ(lo["kind"].toString(), "local album");
  EXPECT_EQ(lo["records"].toArray()[0].toObject()["title"].toString(),
            QString::fromUtf8("\xEA\xB0\x80"));

  Put(dir / "Song.alb", MasterAlbumFixture(false));
  QJsonObject m = Parse(RunHost("album dump " + (dir / "Song.alb")).out);
  EXPECT_EQ(m["version"].toString(), "2.0");
  EXPECT_EQ(m["entries"].toArray().size(), 2);

  Put(dir / "iRo0001.alz", RollFixture());
  QJsonObject roll = Parse(RunHost("album dump " + (dir / "iRo0001.alz")).out);
  EXPECT_EQ(roll["album"].toObject()["baseLocation"].toString(), "http://x/songs");

  Bytes cut = MasterAlbumFixture(true);
  cut.resize(cut.size() - 1);
  Put(dir / "cut.alb", cut);
  for (const std::string& name : {std::string("cut.alb"), std::string("none.alb")}) {
    SCOPED_TRACE(name);
    HostRun r = RunHost("album dump " + (dir / name));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(RunHost("album dump").status, 2);
}

// The catalogue commands as a user runs them, on an album folder and a
// runtime folder of the test's own.
class AlbumCatalogueCommand : public ::testing::Test {
public:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "album");
    ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/a", 2, "Alpha"));
    ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/b", 1, "Beta"));
    ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/c", 1, "Gamma"));
  }
  HostRun Album(const std::string& args) {
    return systest::RunCommand("VEXO_CONFIG_DIR=" + (dir_ / "album") +
                                   " VEXO_RUNTIME_DIR=" + (dir_ / "run") + " " +
                                   std::string(VEXO_BIN_DIR) + "/vexo3 album " + args,
                               systest::Stderr::Apart);
  }
  std::string Songs(const std::string& name) { return dir_ / ("songs/" + name); }
  // "show N" as JSON; its path is the song file's Linux path.
  QJsonObject Show(int n) {
    HostRun r = Album("show " + std::to_string(n));
    EXPECT_EQ(r.status, 0) << r.err;
    return Parse(r.out);
  }

  sys::test::ScratchFolder dir_;
};

TEST_F(AlbumCatalogueCommand, BuildListShowAndAddFolders) {
  HostRun none = Album("list");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("vexo3 album build"), std::string::npos) << none.err;

  HostRun build = Album("build " + Songs("a") + " " + Songs("b"));
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(build.out.substr(0, 23), "3 songs in 2 albums, ca") << build.out;
  for (const char* shown : {"Checking the song album folders...", "Writing Song0002.alb | Beta 1",
                            "The song albums are built. [100%]"})
    EXPECT_NE(build.err.find(shown), std::string::npos) << shown << "\n" << build.err;

  HostRun albums = Album("albums");
  ASSERT_EQ(albums.status, 0) << albums.err;
  EXPECT_EQ(albums.out,
            "1\ta [001]\t2 songs\t" + Songs("a") + "\n2\tb [002]\t1 songs\t" + Songs("b") + "\n");

  HostRun list = Album("list --album 2");
  ASSERT_EQ(list.status, 0) << list.err;
  ASSERT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << list.out;
  const int beta = std::atoi(list.out.c_str());
  EXPECT_EQ(list.out, std::to_string(beta) + "\tBeta 1\tS\t" + Songs("b") + "/song1.vx3\n");
  QJsonObject song = Show(beta);
  EXPECT_EQ(song["title"].toString(), "Beta 1");
  EXPECT_EQ(song["path"].toString().toStdString(), Songs("b") + "/song1.vx3");
  std::string all = Album("list").out;
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3) << all;

  // --add keeps the albums there and their songs' numbers.
  ASSERT_EQ(Album("build --add " + Songs("c")).status, 0);
  EXPECT_EQ(Show(beta)["path"].toString().toStdString(), Songs("b") + "/song1.vx3");
  std::string three = Album("albums").out;
  EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 3) << three;
  // Without it, the list given is the whole list.
  HostRun only = Album("build " + Songs("c"));
  ASSERT_EQ(only.status, 0) << only.err;
  EXPECT_EQ(only.out.substr(0, 19), "1 songs in 1 albums") << only.out;

  struct {
    const char* what;
    std::string args;
    int status;
  } errors[] = {
      {"no such song", "show 9999", 1},
      {"no such album", "list --album 5", 1},
      {"no such folder", "build " + (dir_ / "none"), 1},
      {"no folder given", "build --add", 2},
      {"unknown option", "list --bogus", 2},
      {"show without a number", "show", 2},
  };
  for (const auto& e : errors) {
    SCOPED_TRACE(e.what);
    HostRun r = Album(e.args);
    EXPECT_EQ(r.status, e.status) << r.err;
    EXPECT_FALSE(r.err.empty());
  }
}

TEST_F(AlbumCatalogueCommand, AFavouriteFollowsItsRenamedSong) {
  ASSERT_EQ(Album("build " + Songs("a")).status, 0);
  const std::string stored = sys::ToStoredPath(Songs("a")).value();
  uint32_t before = 0;
  {
    // The user's list, as the album manager would have saved it.
    album::AlbumDatabase db;
    db.Open(dir_ / "album");
    before = db.FindSongByPath(stored + "\\song2.vx3");
    ASSERT_NE(before, 0u);
    album::MyAlbumStore store(&db, dir_ / "album", "My Albums");
    store.AddMyAlbum("Mine (1)");
    store.AddSong(0, before);
    ASSERT_EQ(store.Save(), 1);
  }
  std::filesystem::rename(Songs("a/song2.vx3"), Songs("a/renamed.vx3"));
  std::filesystem::last_write_time(Songs("a"), std::filesystem::last_write_time(Songs("a")) -
                                                   std::chrono::hours(1));
  HostRun check = Album("check");
  ASSERT_EQ(check.status, 0) << check.err;
  HostRun lists = Album("favourites");
  ASSERT_EQ(lists.status, 0) << lists.err;
  EXPECT_EQ(lists.out, "My Albums\n1\tMine\t1 songs\n");
  HostRun songs = Album("favourites 1");
  ASSERT_EQ(songs.status, 0) << songs.err;
  const int now = std::atoi(songs.out.c_str());
  EXPECT_NE(now, static_cast<int>(before));
  EXPECT_EQ(songs.out, std::to_string(now) + "\tAlpha 2\tS\t" + Songs("a") + "/renamed.vx3\n");
  EXPECT_EQ(Album("favourites 2").status, 1);
}

// Finding songs as a user at a UTF-8 terminal would: Korean typed in,
// titles and singers shown back, a random pick, the singers and the walk.
TEST_F(AlbumCatalogueCommand, FindsSongsTypedInKoreanAndListsSingers) {
  const std::string k = Songs("k");
  ASSERT_TRUE(WriteSong(k + "/1.vx3", sys::FromUtf8("사랑의 노래").value(),
                        sys::FromUtf8("김 하나").value()));
  ASSERT_TRUE(WriteSong(k + "/2.vx3", sys::FromUtf8("사과나무").value(), "Lee", 3, "apple tree"));
  ASSERT_TRUE(WriteSong(k + "/3.vx3", "Love Song", sys::FromUtf8("김하나").value()));
  ASSERT_EQ(Album("build " + k).status, 0);

  HostRun sa = Album("find 사");
  ASSERT_EQ(sa.status, 0) << sa.err;
  EXPECT_NE(sa.out.find("\t사랑의 노래\t김 하나\t1.vx3\n"), std::string::npos) << sa.out;
  EXPECT_NE(sa.out.find("\t사과나무\tLee\t2.vx3\n"), std::string::npos) << sa.out;
  EXPECT_EQ(std::count(sa.out.begin(), sa.out.end(), '\n'), 2) << sa.out;
  HostRun love = Album("find '사랑 의'");
  EXPECT_EQ(std::count(love.out.begin(), love.out.end(), '\n'), 1) << love.out;
  HostRun singer = Album("find --singer 김하");
  EXPECT_EQ(std::count(singer.out.begin(), singer.out.end(), '\n'), 2) << singer.out;
  HostRun text = Album("find --text TREE");
  EXPECT_NE(text.out.find("사과나무"), std::string::npos) << text.out;
  HostRun category = Album("find 사 --category 3");
  EXPECT_EQ(std::count(category.out.begin(), category.out.end(), '\n'), 1) << category.out;
  EXPECT_TRUE(Album("find 노래").out.empty()) << "a prefix, not a part";

  HostRun random = Album("random --category 3");
  ASSERT_EQ(random.status, 0) << random.err;
  EXPECT_NE(random.out.find("\t사과나무\tLee\t" + k + "/2.vx3\n"), std::string::npos)
      << random.out;
  EXPECT_EQ(Album("random --category 9").status, 1);

  // "김 하나" and "김하나" are one singer, listed where first met.
  HostRun singers = Album("singers");
  ASSERT_EQ(singers.status, 0) << singers.err;
  EXPECT_EQ(std::count(singers.out.begin(), singers.out.end(), '\n'), 2) << singers.out;
  const size_t kim = singers.out.find("김");
  ASSERT_NE(kim, std::string::npos) << singers.out;
  const int position = std::atoi(singers.out.c_str() + singers.out.rfind('\n', kim) + 1);
  HostRun hers = Album("singers " + std::to_string(position));
  ASSERT_EQ(hers.status, 0) << hers.err;
  EXPECT_EQ(std::count(hers.out.begin(), hers.out.end(), '\n'), 2) << hers.out;
  EXPECT_EQ(Album("singers 7").status, 1);

  HostRun walk = Album("walk");
  ASSERT_EQ(walk.status, 0) << walk.err;
  EXPECT_EQ(std::count(walk.out.begin(), walk.out.end(), '\n'), 3) << walk.out;
  EXPECT_NE(walk.out.find("\tt\tLove Song\n"), std::string::npos) << walk.out;
  EXPECT_EQ(Album("find").status, 2);
  EXPECT_EQ(Album("find x --favourites 4").status, 1);
}

TEST_F(AlbumCatalogueCommand, TheCorpusKaraokeSongsConvertedMakeACatalogue) {
  const std::filesystem::path corpus = std::filesystem::path(VEXO_CORPUS_DIR) / "midi";
  if (!std::filesystem::exists(corpus))
    GTEST_SKIP() << "no corpus at " << corpus;
  std::filesystem::create_directories(Songs("kar"));
  int converted = 0;
  for (const auto& e : std::filesystem::directory_iterator(corpus)) {
    if (e.path().extension() != ".kar")
      continue;
    std::string out = Songs("kar/" + e.path().stem().string() + ".vx3");
    HostRun c = RunHost("convert " + e.path().string() + " " + out + " --kind 1020");
    ASSERT_EQ(c.status, 0) << e.path() << ": " << c.err;
    ++converted;
  }
  ASSERT_GT(converted, 0);
  HostRun build = Album("build " + Songs("kar"));
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(build.out.substr(0, build.out.find(" songs")), std::to_string(converted));
  HostRun list = Album("list");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), converted) << list.out;
  QJsonObject first = Show(std::atoi(list.out.c_str()));
  EXPECT_TRUE(std::filesystem::exists(first["path"].toString().toStdString()));
}

} // namespace
