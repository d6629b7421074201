#include "album/tests/support/album_bytes.h"

#include "platform/sys/tests/scratch_folder.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

} // namespace
