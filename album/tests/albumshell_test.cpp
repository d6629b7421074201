#include "album/tests/support/song_tree.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using HostRun = systest::CommandRun;

std::string Stored(const std::string& linux) {
  return sys::ToStoredPath(linux).value_or("?");
}

// The reservation shell and the song-list export as a user runs them, on an
// album folder of the test's own, with an editor that writes down how it was
// started.
class AlbumShellCommand : public ::testing::Test {
public:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "album");
    ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/p", 3, "Pop"));
    ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/r", 2, "Rock"));
    sys::test::WriteFile(dir_ / "editor", "#!/bin/sh\nprintf '%s|%s|%s' \"$0\" \"$1\" \"$#\" > \"" +
                                              (dir_ / "started.tmp") + "\" && mv \"" +
                                              (dir_ / "started.tmp") + "\" \"" +
                                              (dir_ / "started") + "\"\n");
    chmod((dir_ / "editor").c_str(), 0755);
    ASSERT_EQ(Album("build " + (dir_ / "songs/p") + " " + (dir_ / "songs/r")).status, 0);
    ASSERT_TRUE(sys::IniWriteString(dir_ / "album/config.ini", "AlbManager", "WordEditor",
                                    dir_ / "editor"));
  }
  HostRun Album(const std::string& args, const std::string& before = "",
                systest::Stderr err = systest::Stderr::Apart) {
    return systest::RunCommand(before + "VEXO_CONFIG_DIR=" + (dir_ / "album") +
                                   " VEXO_RUNTIME_DIR=" + (dir_ / "run") + " " +
                                   std::string(VEXO_BIN_DIR) + "/vexo3 album " + args,
                               err);
  }
  // title -> number from "album list".
  std::map<std::string, std::string> Numbers() {
    std::map<std::string, std::string> out;
    std::istringstream in(Album("list").out);
    for (std::string line; std::getline(in, line);) {
      size_t tab = line.find('\t');
      out[line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1)] = line.substr(0, tab);
    }
    return out;
  }
  std::string Started() {
    for (int i = 0; i < 1000 && access((dir_ / "started").c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return sys::test::ReadFile(dir_ / "started").value_or("");
  }

  sys::test::ScratchFolder dir_;
};

TEST_F(AlbumShellCommand, ReservesTakesListsAndExportsInOneSession) {
  std::map<std::string, std::string> n = Numbers();
  ASSERT_EQ(n.size(), 5u);
  const std::string script = "find pop\nreserve " + n["Pop 2"] + " " + n["Rock 1"] + " " +
                             n["Pop 3"] + " 99999\ntake\nqueue\ntake 5\nexport\nquit\n";
  HostRun r = Album("shell", "printf '" + script + "' | ");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string p = dir_ / "songs/p", rk = dir_ / "songs/r";
  const std::string want =
      "5 songs; type help for the commands\n"
      // find
      + n["Pop 1"] + "\tPop 1\tS\n" + n["Pop 2"] + "\tPop 2\tS\n" + n["Pop 3"] + "\tPop 3\tS\n" +
      "3 found\n"
      // reserve
      "notice: added, song " +
      n["Pop 2"] + ", position 1\n" + "notice: added, song " + n["Rock 1"] + ", position 2\n" +
      "notice: added, song " + n["Pop 3"] + ", position 3\n" +
      "no song 99999\n3 queued\n"
      // take
      "notice: taken, song " +
      n["Pop 2"] + ", position 1\n" + "took " + n["Pop 2"] + "\tPop 2\t" + p +
      "/song2.vx3\n"
      // queue
      "1\t" +
      n["Rock 1"] + "\tRock 1\t" + rk + "/song1.vx3\n" + "2\t" + n["Pop 3"] + "\tPop 3\t" + p +
      "/song3.vx3\n" +
      "2 queued\n"
      // take out of range: no notice
      "nothing at position 5\n"
      // export
      "song list written to " +
      (dir_ / "Song/Song.txt") + "\n";
  EXPECT_EQ(r.out, want);
  // The find's order is the catalogue's; the list's file is whole.
  std::string list = sys::test::ReadFile(dir_ / "Song/Song.txt").value_or("");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 7) << list;
  EXPECT_EQ(std::count(list.begin(), list.end(), '\r'), 7) << list;
  EXPECT_EQ(list.substr(0, 3), "No.");
  EXPECT_EQ(Started(), (dir_ / "editor") + "|" + (dir_ / "Song/Song.txt") + "|1");
}

TEST_F(AlbumShellCommand, RemovesClearsAndShowsTheBlock) {
  std::map<std::string, std::string> n = Numbers();
  const std::string script = "reserve " + n["Pop 1"] + " " + n["Rock 2"] + " " + n["Pop 1"] +
                             "\nunreserve " + n["Pop 1"] + "\nunreserve\nunreserve 77\n" +
                             "add -1 My own song /tmp/own.mid\nblock\nclear\nqueue\nclear\n";
  HostRun r = Album("shell", "printf '" + script + "' | ");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string want = "notice: removed, song " + n["Pop 1"] + ", position 1\nremoved\n" +
                           "notice: removed last, song " + n["Pop 1"] + ", position 2\nremoved\n" +
                           "nothing removed\n" + "notice: added, song -1, position 2\n2 queued\n" +
                           "block: 2 entries, " +
                           std::to_string(4 + 56 + Stored(dir_ / "songs/r/song2.vx3").size() + 56 +
                                          Stored("/tmp/own.mid").size() + 1) +
                           " bytes\n";
  ASSERT_NE(r.out.find(want), std::string::npos) << r.out;
  // One clear notice only: the second clear found the queue empty.
  const std::string tail = "notice: cleared, song 0, position 0\nthe queue is empty\n"
                           "the queue is empty\nthe queue is empty\n";
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
}

TEST_F(AlbumShellCommand, ExportSaysWhereAndPrintsTheListConverted) {
  HostRun r = Album("export --tsv --no-editor --utf8");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream out(r.out);
  std::string first, line;
  std::getline(out, first);
  EXPECT_EQ(first, "song list written to " + (dir_ / "Song/Song.txt"));
  int songs = 0;
  while (std::getline(out, line)) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 6) << line;
    ++songs;
  }
  EXPECT_EQ(songs, 5);
  EXPECT_NE(r.out.find("\tPop 1\tS\t"), std::string::npos) << r.out;
}

TEST_F(AlbumShellCommand, AFailedExportLeavesTheOldListAndSaysSo) {
  // A list of a few kilobytes.
  ASSERT_TRUE(album::testing::MakeSongFolder(dir_ / "songs/m", 40, "More songs for a longer list"));
  ASSERT_EQ(Album("build --add " + (dir_ / "songs/m")).status, 0);
  ASSERT_EQ(Album("export --no-editor").status, 0);
  const std::string before = sys::test::ReadFile(dir_ / "Song/Song.txt").value_or("");
  ASSERT_GT(before.size(), 2048u);
  // No file may grow past a kilobyte: the list cannot be written, as on a
  // full disk (what the command says comes through the pipe, not a file).
  HostRun r =
      Album("export --tsv --no-editor", "trap '' XFSZ; ulimit -f 2; ", systest::Stderr::WithOutput);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("cannot be written; " + (dir_ / "Song/Song.txt") + " is unchanged"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(sys::test::ReadFile(dir_ / "Song/Song.txt"), before);
  EXPECT_EQ(Album("shell --x").status, 2);
  EXPECT_EQ(Album("export --pdf").status, 2);
}

} // namespace
