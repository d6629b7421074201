// `vexo3 interchange` as a user runs it: the demo song written as a text, a
// syllable moved in it by hand and the text read back into a saved song; the
// files, texts and arguments it cannot use.
#include "core/songdata.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const std::string kBin = VEXO_BIN_DIR;
const std::string kDemo = kBin + "/twinkle.kar";

systest::CommandRun RunHost(const std::string& args) {
  return systest::RunCommand(kBin + "/vexo3 " + args, systest::Stderr::WithOutput);
}

class InterchangeCommand : public testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexo-interchange-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

TEST_F(InterchangeCommand, AMovedSyllableReachesTheSavedSong) {
  auto r = RunHost("interchange export '" + kDemo + "' '" + Path("twinkle.txt") + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("twinkle.txt: 54 events of lyric track"), std::string::npos) << r.out;
  std::string text = Read("twinkle.txt");
  const std::string line = "00005760   000020   016  : lit\n";
  const size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, 8, "00005600");
  Write("twinkle.txt", text);

  r = RunHost("interchange import '" + kDemo + "' '" + Path("twinkle.txt") + "' -o '" +
              Path("moved.kar") + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("moved.kar: 1 track sections read; lyric track"), std::string::npos)
      << r.out;
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(Path("moved.kar")), 1);
  ASSERT_GT(song.lyricTrack, 0);
  std::string lit;
  for (const auto& e : song.tracks[song.lyricTrack].events)
    if (e.kind == core::kKindSyllable && song.SyllableText(song.lyricTrack, e) == " lit")
      lit += std::to_string(e.tick) + " ";
  EXPECT_EQ(lit, "5600 21120 "); // the first of the two moved
}

TEST_F(InterchangeCommand, RefusesWhatItCannotUse) {
  const std::string good = Write("good.txt", "/Velmorith_Interchange_Format\n/Title:x\n");
  const std::string bad = Write("bad.txt", "/Velmorith_Interchange_Format\n/LyricTrack\n"
                                           "0 0 17\nten 0 16 :x\n/End\n");
  const std::string demo = "'" + kDemo + "'";
  struct Row {
    const char* what;
    std::string args;
    int status;
    std::string message;
  };
  const Row rows[] = {
      {"no mode", "interchange", 2, "usage"},
      {"an unknown mode", "interchange merge " + demo + " '" + good + "'", 2, "usage"},
      {"an import without -o", "interchange import " + demo + " '" + good + "'", 2, "usage"},
      {"an export with -o", "interchange export " + demo + " x.txt -o y.kar", 2, "usage"},
      {"a track that is no number",
       "interchange import " + demo + " '" + good + "' --track x -o " + Path("o.kar"), 2, "usage"},
      {"an output of no song kind", "interchange import " + demo + " '" + good + "' -o o.txt", 2,
       "cannot save o.txt"},
      {"a missing song", "interchange export /nonexistent/s.kar " + Path("o.txt"), 1,
       "cannot read /nonexistent/s.kar"},
      {"an export into a missing folder", "interchange export " + demo + " /nonexistent/o.txt", 1,
       "cannot write /nonexistent/o.txt"},
      {"a missing text", "interchange import " + demo + " /nonexistent/t.txt -o " + Path("o.kar"),
       1, "cannot import /nonexistent/t.txt: the file cannot be read"},
      {"a malformed line", "interchange import " + demo + " '" + bad + "' -o " + Path("o.kar"), 1,
       "bad.txt: line 4: the tick 'ten' is no number"},
      {"a track out of range",
       "interchange import " + demo + " '" + good + "' --track 99 -o " + Path("o.kar"), 1,
       "has no track 99"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto r = RunHost(row.args);
    EXPECT_EQ(r.status, row.status) << r.out;
    EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
  }
  // Nothing was saved by a refused import.
  EXPECT_FALSE(std::ifstream(Path("o.kar")).good());
}

} // namespace
