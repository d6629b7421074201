// `vexo3 lyrics` as a user runs it: a MIDI file and a lyric text make a
// karaoke song whose syllables stand on the melody's notes; the files and
// arguments it cannot use.
#include "core/songdata.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string kBin = VEXO_BIN_DIR;

using HostRun = systest::CommandRun;

HostRun RunHost(const std::string& args) {
  return systest::RunCommand(kBin + "/vexo3 " + args, systest::Stderr::WithOutput);
}

class LyricsCommand : public testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexo-lyrics-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    return dir_ + "/" + name;
  }
  std::string dir_;
};

// A melody of four quarters on track 1 (channel 0) and drums on track 2.
void MakeMidi(const std::string& file) {
  core::CSongData song;
  song.NewSong(file);
  song.InsertTrack(-1);
  for (int i = 0; i < 4; ++i) {
    song.AddEvent(2, i * 120, 60, 0, 0x99 | 36 << 8 | 100 << 16, core::kKindChannel);
    song.AddEvent(1, i * 120, 100, 0, 0x90 | (60 + i) << 8 | 90 << 16, core::kKindChannel);
  }
  song.AddEvent(2, 0, 0, 0, 0x99 | 36 << 8 | 100 << 16, core::kKindChannel);
  ASSERT_GT(song.SaveByKind(file, core::kSaveMidi), 0);
}

TEST_F(LyricsCommand, MakesAKaraokeSongOnTheMelody) {
  const std::string midi = dir_ + "/song.mid";
  MakeMidi(midi);
  const std::string text = Write("words.txt", "\xEF\xBB\xBFHel/lo\r\nwor/ld\n");
  const std::string kar = dir_ + "/song.kar";
  HostRun r = RunHost("lyrics '" + midi + "' '" + text + "' '" + kar + "' --marks");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("4 syllables in 2 lines on 4 notes of track 1"), std::string::npos) << r.out;
  core::CSongData song;
  ASSERT_EQ(song.LoadByKind(kar, core::kFileKaraoke), 1);
  ASSERT_GT(song.lyricTrack, 0);
  std::string got;
  for (const auto& e : song.tracks[song.lyricTrack].events) {
    if (e.kind == core::kKindSyllable)
      got +=
          std::string(song.SyllableText(song.lyricTrack, e)) + "@" + std::to_string(e.tick) + " ";
    if (e.kind == core::kKindLineBreak)
      got += "/ ";
  }
  EXPECT_EQ(got, "Hel@0 lo@120 / wor@240 ld@360 ");
}

TEST_F(LyricsCommand, AKaraokeSongsMelodyIsTheTrackUnderItsSyllables) {
  // Accompaniment on track 1 off the syllables, the melody on track 2.
  core::CSongData song;
  song.NewSong(dir_ + "/old.kar");
  song.InsertTrack(-1);
  for (int i = 0; i < 5; ++i)
    song.AddEvent(1, 30 + i * 60, 20, 0, 0x91 | 48 << 8 | 80 << 16, core::kKindChannel);
  song.AddEvent(2, 0, 200, 0, 0x90 | 60 << 8 | 90 << 16, core::kKindChannel);
  song.AddEvent(2, 240, 200, 0, 0x90 | 62 << 8 | 90 << 16, core::kKindChannel);
  song.SetMelodyTrack(2);
  ASSERT_EQ(song.ImportLyricBytes("old/words"), 1);
  const std::string old = dir_ + "/old.kar";
  ASSERT_GT(song.SaveByKind(old, core::kSaveKaraoke), 0);

  const std::string text = Write("words.txt", "new/words");
  HostRun r = RunHost("lyrics '" + old + "' '" + text + "' '" + dir_ + "/new.kar'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("2 syllables in 1 lines on 2 notes of track"), std::string::npos) << r.out;
}

TEST_F(LyricsCommand, ConvertsUtf8IntoTheCodePageAndSplits) {
  const std::string midi = dir_ + "/song.mid";
  MakeMidi(midi);
  const std::string text = Write("words.txt", "\xEA\xB0\x80\xEB\x82\x98\n\xEB\x8B\xA4");
  const std::string out = dir_ + "/song.vx3";
  HostRun r = RunHost("lyrics '" + midi + "' '" + text + "' '" + out +
                      "' --codepage 949 --split --melody 1");
  ASSERT_EQ(r.status, 0) << r.out;
  core::CSongData song;
  ASSERT_EQ(song.LoadByExtension(out), 1);
  EXPECT_EQ(song.tracks[song.lyricTrack].text, "\xB0\xA1\xB3\xAA\xB4\xD9");
  EXPECT_EQ(song.melodyTrack, 1);
}

TEST_F(LyricsCommand, RefusesWhatItCannotUse) {
  const std::string midi = dir_ + "/song.mid";
  MakeMidi(midi);
  const std::string text = Write("words.txt", "a/b");
  struct Row {
    const char* what;
    std::string args;
    int status;
    const char* message;
  };
  const Row rows[] = {
      {"too few arguments", "lyrics '" + midi + "'", 2, "usage"},
      {"an unknown option", "lyrics '" + midi + "' '" + text + "' x.kar --fast", 2, "usage"},
      {"an output of no song kind", "lyrics '" + midi + "' '" + text + "' x.txt", 2, "cannot save"},
      {"a missing text", "lyrics '" + midi + "' /nonexistent/w.txt " + dir_ + "/x.kar", 1,
       "cannot read"},
      {"a missing song", "lyrics /nonexistent/s.mid '" + text + "' " + dir_ + "/x.kar", 1,
       "cannot read"},
      {"a melody track out of range",
       "lyrics '" + midi + "' '" + text + "' " + dir_ + "/x.kar --melody 9", 1, "no track 9"},
      {"a text without syllables",
       "lyrics '" + midi + "' '" + Write("empty.txt", "//\r\n") + "' " + dir_ + "/x.kar", 1,
       "no lyrics"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    HostRun r = RunHost(row.args);
    EXPECT_EQ(r.status, row.status) << r.out;
    EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
  }
}

} // namespace
