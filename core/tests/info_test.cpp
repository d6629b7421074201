#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songinfo.h"
#include "core/tests/support/midi_bytes.h"
#include "platform/sys/tests/support/command_run.h"

namespace core {
namespace {

using testing::Bytes;

QJsonValue J(const QJsonValue& v, const char* key) {
  return v.toObject().value(QLatin1String(key));
}
QJsonValue J(const QJsonObject& o, const char* key) {
  return o.value(QLatin1String(key));
}

using testing::Cat;
using testing::TextEvent;

// A karaoke file: tempo 500000 then 250000 at tick 192, a note, two lines.
Bytes KaraokeFixture() {
  return testing::Smf(
      1, 96,
      {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,
        0x00, 0xFF, 0x2F, 0x00},
       {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0x90, 0x3E, 0x00, 0x00, 0xFF, 0x2F,
        0x00},
       Cat({TextEvent(1, "@TSong \"one\""), TextEvent(1, "\\Hel"), TextEvent(1, "lo", 96),
            TextEvent(1, "/\xB0\xA1", 96), Bytes{0x00, 0xFF, 0x2F, 0x00}})});
}

QJsonObject Parse(const std::string& json) {
  QJsonParseError error{};
  auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
  return doc.object();
}

TEST(SongInfo, JsonOfAKaraokeSong) {
  CSongData song;
  ASSERT_EQ(ReadKaraokeBytes(song, KaraokeFixture()), 1);
  QJsonObject info = Parse(SongInfoJson(song, 949));
  EXPECT_EQ(J(info, "ticksPerQuarter").toInt(), 96);
  EXPECT_EQ(J(info, "trackCount").toInt(), 3);
  EXPECT_EQ(J(info, "noteCount").toInt(), 1); // the velocity-0 note-on is no note
  QJsonArray tempo = J(info, "tempoMap").toArray();
  ASSERT_EQ(tempo.size(), 2);
  EXPECT_EQ(J(tempo[1], "tick").toInt(), 192);
  EXPECT_EQ(J(tempo[1], "usPerQuarter").toInt(), 250000);
  EXPECT_EQ(J(tempo[1], "ms").toInt(), 1000);
  EXPECT_EQ(J(info, "endMs").toInt(), 1000 + 20 * 250 / 96);
  EXPECT_EQ(J(info, "title").toString(), "Song \"one\"");
  QJsonArray syllables = J(info, "syllables").toArray();
  ASSERT_EQ(syllables.size(), 3);
  EXPECT_EQ(J(syllables[1], "tick").toInt(), 96);
  EXPECT_EQ(J(syllables[1], "ms").toInt(), 500);
  EXPECT_EQ(J(syllables[1], "text").toString(), "lo");
  EXPECT_EQ(J(syllables[2], "text").toString(), QString::fromUtf8("\xEA\xB0\x80")); // 0xB0A1 in 949
  EXPECT_EQ(J(info, "lines").toInt(), 2);
}

using HostRun = systest::CommandRun;

HostRun RunInfo(const std::string& args) {
  return systest::RunCommand(std::string(VEXO_BIN_DIR) + "/vexo3 info " + args,
                             systest::Stderr::Apart);
}

TEST(SongInfo, CommandLine) {
  testing::TempFolder dir;
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("song.kar"), KaraokeFixture()));
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("bad.mid"), {'R', 'I', 'F', 'F', 0, 0}));
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("song.txt"), {'x'}));

  HostRun ok = RunInfo(dir.Path("song.kar"));
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(ok.err.empty());
  QJsonObject info = Parse(ok.out);
  EXPECT_EQ(J(info, "lines").toInt(), 2);
  EXPECT_EQ(J(info, "syllables").toArray().size(), 3);

  HostRun sjis = RunInfo("--codepage 932 " + dir.Path("song.kar"));
  EXPECT_EQ(sjis.status, 0);
  EXPECT_NE(J(J(Parse(sjis.out), "syllables").toArray()[2], "text").toString(),
            QString::fromUtf8("\xEA\xB0\x80"));

  struct Row {
    std::string args;
    const char* says;
  };
  const Row failures[] = {{dir.Path("missing.mid"), "No such file"},
                          {dir.Path("bad.mid"), "not a Standard MIDI File"},
                          {dir.Path("song.txt"), "not a song file"}};
  for (const auto& row : failures) {
    HostRun r = RunInfo(row.args);
    EXPECT_EQ(r.status, 1) << row.args;
    EXPECT_TRUE(r.out.empty()) << row.args;
    EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(RunInfo("").status, 2);
}

// A soft-karaoke file named ".mid" is reported with its words; the same
// texts without the header are those of a plain MIDI file.
TEST(SongInfo, CommandLineFindsAKaraokeFileByItsHeader) {
  testing::TempFolder dir;
  const Bytes header = Cat({TextEvent(3, "Soft karaoke"), TextEvent(1, "@KMIDI KARAOKE FILE")});
  Bytes marked = KaraokeFixture();
  Bytes plain = KaraokeFixture();
  // The second track chunk begins after the header chunk (14 bytes) and the
  // first track chunk (8 + 19 bytes): its length grows by the header's.
  const size_t second = 14 + 8 + 19;
  ASSERT_EQ(std::string(marked.begin() + second, marked.begin() + second + 4), "MTrk");
  marked[second + 7] = static_cast<uint8_t>(marked[second + 7] + header.size());
  marked.insert(marked.begin() + second + 8, header.begin(), header.end());
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("karaoke.mid"), marked));
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("plain.mid"), plain));

  HostRun karaoke = RunInfo(dir.Path("karaoke.mid"));
  ASSERT_EQ(karaoke.status, 0) << karaoke.err;
  QJsonObject info = Parse(karaoke.out);
  EXPECT_EQ(J(info, "title").toString(), "Song \"one\"");
  EXPECT_EQ(J(info, "syllables").toArray().size(), 3);
  EXPECT_EQ(J(info, "lines").toInt(), 2);

  HostRun midi = RunInfo(dir.Path("plain.mid"));
  ASSERT_EQ(midi.status, 0) << midi.err;
  info = Parse(midi.out);
  EXPECT_EQ(J(info, "title").toString(), "");
  EXPECT_EQ(J(info, "syllables").toArray().size(), 0);
}

} // namespace
} // namespace core
