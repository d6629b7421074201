// Edited songs as files: each kind of edit saved as a song file and as a
// karaoke file reads back the same, and other readers accept the files; the
// karaoke corpus' lyrics taken out as text, imported again and synchronised
// to the melody land back on their ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songfile.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/song_edit_support.h"
#include "platform/sys/tests/support/command_run.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::CheckSongInvariants;
using testing::DescribeLyrics;

uint32_t NoteOn(uint8_t channel, uint8_t key, uint8_t velocity) {
  return (0x90u | channel) | uint32_t{key} << 8 | uint32_t{velocity} << 16;
}

bool NotLineKind(uint8_t kind) {
  return kind != kKindLineBreak && kind != kKindNextLine;
}

// A karaoke song to edit: melody on track 1, lyrics on track 2.
void MakeSong(CSongData& song) {
  testing::MakeEditSong(song, {{0, 120}, {120, 120}, {240, 240}, {480, 120}, {960, 240}});
  song.AddEvent(1, 0, 0, 0, 0xC0 | 5u << 8, kKindChannel);
  ASSERT_EQ(song.ImportLyricBytes("Twin/kle\nlit/tle /star"), 1);
}

TEST(SongEditFiles, EveryKindOfEditSavesAndReloads) {
  struct Row {
    const char* what;
    std::function<void(CSongData&)> edit;
  };
  const Row rows[] = {
      {"notes inserted, duplicated and moved",
       [](CSongData& s) {
         s.AddEvent(1, 600, 60, 0, NoteOn(0, 67, 80), kKindChannel);
         s.DuplicateEvent(1, 1);
         s.MoveEvent(1, 2, 700);
       }},
      {"notes deleted, shifted and changed",
       [](CSongData& s) {
         s.DeleteEvent(1, 3);
         s.ShiftEvents(1, 2, -1, 30);
         s.SetEventLength(1, 0, 200);
         s.SetEventData1(1, 0, 50);
       }},
      {"a tempo and a meter change",
       [](CSongData& s) {
         s.AddEvent(0, 480, 0, 0, 400000, kKindTempo);
         s.AddEvent(0, 480, 0, 0, 3u | 2u << 8 | 24u << 16 | 8u << 24, kKindTimeSignature);
       }},
      {"a track summary",
       [](CSongData& s) {
         TrackSummary r;
         r.channel = 2;
         r.velocityOffset = 10;
         r.keyOffset = -3;
         r.volume = 99;
         r.pan = 20;
         r.name = "Voice";
         s.SetTrackSummary(1, r);
       }},
      {"a text event and its bytes",
       [](CSongData& s) {
         s.InsertEvent(1, 10, 0, 6, "hello", kKindText);
         s.SetEventBytes(1, 2, "changed");
       }},
      {"syllables changed", [](CSongData& s) { s.SetEventText(2, 0, "TWIN"); }},
      {"lyrics aligned and marked",
       [](CSongData& s) {
         s.AutoInsertLyricMarks(100, 5000, 1, 1);
         s.AlignLineBreaks();
       }},
  };
  testing::TempFolder dir;
  std::vector<std::string> karaokeFiles;
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CSongData song;
    MakeSong(song);
    row.edit(song);
    ASSERT_EQ(CheckSongInvariants(song), "");

    const std::string vx3 = dir.Path("edit" + std::to_string(n) + ".vx3");
    ASSERT_GT(song.SaveByKind(vx3, kSaveV350First), 0);
    CSongData again;
    ASSERT_EQ(again.LoadByExtension(vx3), 1);
    EXPECT_EQ(CheckSongInvariants(again, true), "");
    ASSERT_EQ(again.TrackCount(), song.TrackCount());
    for (int t = 0; t < song.TrackCount(); ++t)
      EXPECT_EQ(testing::ToString(testing::Digest(again, t, NotLineKind)),
                testing::ToString(testing::Digest(song, t, NotLineKind)))
          << "track " << t;
    EXPECT_EQ(DescribeLyrics(again), DescribeLyrics(song));
    EXPECT_EQ(again.tracks[1].summary.name, song.tracks[1].summary.name);

    const std::string kar = dir.Path("edit" + std::to_string(n) + ".kar");
    ASSERT_GT(song.SaveByKind(kar, kSaveKaraoke), 0);
    karaokeFiles.push_back(kar);
    CSongData karaoke;
    ASSERT_EQ(karaoke.LoadByExtension(kar), 1);
    EXPECT_EQ(CheckSongInvariants(karaoke, true), "");
    ASSERT_GT(karaoke.lyricTrack, 0);
    // Syllables and lines come back; durations are not stored in the file.
    auto syllables = [](const CSongData& s) {
      std::string out;
      for (const auto& e : s.tracks[s.lyricTrack].events) {
        if (e.kind == kKindLineBreak)
          out += "/ ";
        if (e.kind == kKindSyllable)
          out += std::string(s.SyllableText(s.lyricTrack, e)) + "@" + std::to_string(e.tick) + " ";
      }
      return out;
    };
    EXPECT_EQ(syllables(karaoke), syllables(song));
    ++n;
  }

  if (systest::RunCommand("/usr/bin/python3 -c 'import mido' 2>/dev/null").status != 0)
    GTEST_SKIP() << "python3-mido missing";
  std::string command =
      "/usr/bin/python3 -c 'import sys, mido\n"
      "for p in sys.argv[1:]:\n"
      "    f = mido.MidiFile(p)\n"
      "    print(sum(1 for t in f.tracks for m in t if m.type == \"note_on\"))\n'";
  for (const auto& f : karaokeFiles)
    command += " '" + f + "'";
  const systest::CommandRun run = systest::RunCommand(command, systest::Stderr::WithOutput);
  EXPECT_EQ(run.status, 0) << run.out;
}

fs::path CorpusDir() {
  return fs::path(VEXO_CORPUS_DIR) / "midi";
}

// The track whose note-ons stand on most of the syllables' ticks with the
// fewest other note-ons (so the drums, which hit every beat, lose).
int16_t MelodyFor(const CSongData& song, const std::vector<uint32_t>& ticks) {
  int16_t best = -1;
  int64_t bestScore = 0;
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    if (t == song.lyricTrack)
      continue;
    std::set<uint32_t> onsets;
    for (const auto& e : song.tracks[t].events)
      if (e.IsSoundingNoteOn())
        onsets.insert(e.tick);
    int64_t hits = 0;
    for (uint32_t tick : ticks)
      hits += static_cast<int64_t>(onsets.count(tick));
    const int64_t score = 2 * hits - static_cast<int64_t>(onsets.size());
    if (hits > 0 && (best < 0 || score > bestScore)) {
      bestScore = score;
      best = t;
    }
  }
  return best;
}

TEST(SongEditFiles, KaraokeCorpusLyricsSyncBackOntoTheMelody) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(CorpusDir(), ec))
    if (e.path().extension() == ".kar")
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  if (files.empty())
    GTEST_SKIP() << "no karaoke corpus at " << CorpusDir();
  std::string closing;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    for (bool oneToOne : {false, true}) {
      CSongData song;
      ASSERT_EQ(song.LoadByKind(file.string(), kFileKaraoke), 1);
      ASSERT_GT(song.lyricTrack, 0);
      // The syllables as a lyric text: "/" between syllables, a line per line.
      std::string text;
      std::vector<uint32_t> ticks;
      bool lineHasSyllable = false;
      for (const auto& e : song.tracks[song.lyricTrack].events) {
        if (e.kind == kKindLineBreak && lineHasSyllable) {
          text += "\n";
          lineHasSyllable = false;
        }
        if (e.kind != kKindSyllable)
          continue;
        std::string_view s = song.SyllableText(song.lyricTrack, e);
        // Syllables that the text cannot carry as they are (empty, or with a
        // separator inside) are left out of the comparison.
        if (s.empty() || s.find_first_of("/\r\n") != std::string_view::npos)
          continue;
        if (lineHasSyllable)
          text += "/";
        text += s;
        lineHasSyllable = true;
        ticks.push_back(e.tick);
      }
      if (ticks.empty()) {
        if (!oneToOne)
          closing += file.filename().string() + ": no syllables read\n";
        continue;
      }
      int16_t melody;
      if (oneToOne) {
        // A melody of one note per syllable, so that they pair one to one.
        ASSERT_EQ(song.InsertTrack(-1), 1);
        melody = static_cast<int16_t>(song.TrackCount() - 1);
        for (size_t i = 0; i < ticks.size(); ++i) {
          const uint32_t next = i + 1 < ticks.size() ? ticks[i + 1] : ticks[i] + 60;
          song.AddEvent(melody, static_cast<int32_t>(ticks[i]),
                        static_cast<int32_t>(std::max<uint32_t>(1, next - ticks[i])), 0,
                        NoteOn(0, 60, 100), kKindChannel);
        }
      } else {
        melody = MelodyFor(song, ticks);
        ASSERT_GE(melody, 0);
      }
      ASSERT_EQ(song.SetMelodyTrack(melody), 1);
      ASSERT_EQ(song.DeleteTrack(song.lyricTrack), 1);
      if (song.melodyTrack != static_cast<uint16_t>(melody))
        melody = static_cast<int16_t>(song.melodyTrack);
      ASSERT_EQ(song.ImportLyricBytes(text), 1);
      ASSERT_EQ(CheckSongInvariants(song), "");
      std::vector<uint32_t> back;
      for (const auto& e : song.tracks[song.lyricTrack].events)
        if (e.kind == kKindSyllable)
          back.push_back(e.tick);
      ASSERT_EQ(back.size(), ticks.size());
      size_t same = 0;
      for (size_t i = 0; i < ticks.size(); ++i)
        same += back[i] == ticks[i];
      std::vector<uint32_t> onsets;
      for (const auto& e : song.tracks[melody].events)
        if (e.IsSoundingNoteOn())
          onsets.push_back(e.tick);
      if (onsets == ticks || oneToOne) {
        EXPECT_EQ(same, ticks.size()) << "syllables and notes pair one to one";
      }
      if (!oneToOne) {
        // The same text synchronised from the first syllable's tick on, as
        // an editor does when the melody plays an introduction first.
        const int16_t lyric = song.lyricTrack;
        song.tracks[lyric].events.clear();
        ASSERT_EQ(song.InsertLyricRange(lyric, static_cast<int32_t>(ticks[0]), -1, text), 1);
        ASSERT_EQ(song.AutoSyncLyrics(lyric, melody, static_cast<int32_t>(ticks[0]), -1), 1);
        ASSERT_EQ(CheckSongInvariants(song), "");
        size_t fromFirst = 0, i = 0;
        for (const auto& e : song.tracks[lyric].events)
          if (e.kind == kKindSyllable && i < ticks.size())
            fromFirst += e.tick == ticks[i++];
        char line[256];
        std::snprintf(line, sizeof line,
                      "%s: %zu of %zu syllables back on their tick (%.1f%%) synchronised from "
                      "tick 0, %zu (%.1f%%) from the first syllable's tick\n",
                      file.filename().c_str(), same, ticks.size(), 100.0 * same / ticks.size(),
                      fromFirst, 100.0 * fromFirst / ticks.size());
        closing += line;
      }
    }
  }
  std::printf("%s", closing.c_str());
}

TEST(SongEditFiles, ImageMarksPlacedAtLoadLeaveTheSongUnchanged) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(CorpusDir(), ec))
    if (e.path().extension() == ".kar")
      files.push_back(e.path());
  if (files.empty())
    GTEST_SKIP() << "no karaoke corpus at " << CorpusDir();
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    CSongData song;
    ASSERT_EQ(song.LoadByKind(file.string(), kFileKaraoke), 1);
    const bool lyrics = song.lyricsPresent && song.tracks[song.lyricTrack].EventCount() >= 2;
    const int32_t marks = song.PlaceImageMarksAtLoad();
    EXPECT_EQ(song.unchanged, 1);
    EXPECT_EQ(CheckSongInvariants(song), "");
    if (!lyrics)
      continue;
    EXPECT_GT(marks, 0);
    int32_t found = 0;
    for (const auto& e : song.tracks[song.lyricTrack].events)
      found += e.kind == kKindImage;
    EXPECT_EQ(found, marks);
    // A second load's marks replace the first's.
    EXPECT_EQ(song.PlaceImageMarksAtLoad(), marks);
    EXPECT_EQ(CheckSongInvariants(song), "");
  }
}

} // namespace
} // namespace core
