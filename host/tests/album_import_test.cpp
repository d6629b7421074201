// `vexo3 album import` as a user runs it: karaoke files of the corpus and a
// damaged MIDI file below a source folder, converted into a destination
// folder with its sub-folders kept, then found in the catalogue.
#include "platform/media/tests/support/wav_file.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

TEST(AlbumImport, ConvertsTheSongsKeepsTheFoldersAndSaysWhichFileFailed) {
  const fs::path corpus = fs::path(VEXO_CORPUS_DIR) / "midi";
  if (!fs::exists(corpus / "happy-birthday.kar") || !fs::exists(corpus / "hey-jude.kar"))
    GTEST_SKIP() << "the MIDI corpus is not there";
  mediatest::TempDir dir;
  const fs::path root = dir.Path();
  ASSERT_EQ(mkdir((root / "run").c_str(), 0700), 0);
  fs::create_directories(root / "album");
  fs::create_directories(root / "src/sub");
  fs::copy_file(corpus / "happy-birthday.kar", root / "src/happy.KAR");
  fs::copy_file(corpus / "hey-jude.kar", root / "src/sub/jude.kar");
  // A header chunk cut short, and a file of another kind that is left alone.
  std::ofstream(root / "src/sub/bad.mid", std::ios::binary) << std::string("MThd\0\0\0\6\0", 9);
  std::ofstream(root / "src/notes.txt") << "not a song";
  const std::string env = "VEXO_CONFIG_DIR=" + (root / "album").string() +
                          " VEXO_RUNTIME_DIR=" + (root / "run").string() +
                          " VEXO_SETTINGS_FILE=" + (root / "settings.ini").string() + " " +
                          VEXO_BIN_DIR + "/vexo3 album ";
  const auto run = [&](const std::string& args) {
    return systest::RunCommand(env + args, systest::Stderr::Apart);
  };
  const systest::CommandRun imported =
      run("import " + (root / "src").string() + " " + (root / "dest").string());
  EXPECT_EQ(imported.status, 1) << "a file that failed is no success";
  EXPECT_NE(imported.err.find("cannot import " + (root / "src/sub/bad.mid").string()),
            std::string::npos)
      << imported.err;
  EXPECT_NE(imported.out.find("2 songs imported"), std::string::npos) << imported.out;
  EXPECT_TRUE(fs::exists(root / "dest/happy.vx3"));
  EXPECT_TRUE(fs::exists(root / "dest/sub/jude.vx3"));
  EXPECT_FALSE(fs::exists(root / "dest/sub/bad.vx3"));
  EXPECT_FALSE(fs::exists(root / "dest/notes.vx3"));

  const systest::CommandRun happy = run("find Happy");
  EXPECT_NE(happy.out.find("Happy Birthday"), std::string::npos) << happy.out;
  const systest::CommandRun jude = run("find HEY");
  EXPECT_NE(jude.out.find("HEY JUDE"), std::string::npos) << jude.out;
  const systest::CommandRun albums = run("albums");
  EXPECT_NE(albums.out.find((root / "dest").string() + "\n"), std::string::npos) << albums.out;
  EXPECT_NE(albums.out.find((root / "dest/sub").string() + "\n"), std::string::npos) << albums.out;

  // A second import adds no album twice.
  fs::remove(root / "src/sub/bad.mid");
  EXPECT_EQ(run("import " + (root / "src").string() + " " + (root / "dest").string()).status, 0);
  const std::string again = run("albums").out;
  EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 2) << again;
}

} // namespace
