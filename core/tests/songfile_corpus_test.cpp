// Every karaoke file of the shared corpus saved in the suite's own format and
// back keeps what `vexo3 info` shows of it: notes, tempo map, syllables with
// their times and lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/songdata.h"
#include "core/songinfo.h"
#include "core/tests/support/midi_bytes.h"

namespace core {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> KaraokeFiles() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(VEXO_CORPUS_DIR) / "midi", ec))
    if (e.is_regular_file() && e.path().extension() == ".kar")
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The song's length: the song file versions keep no end-of-track marks, so
// a song read from one ends where its last note or syllable ends.
std::string WithoutLength(std::string json) {
  size_t at = json.find("\"endMs\":");
  size_t end = json.find(',', at);
  return at == std::string::npos ? json : json.erase(at, end - at);
}

int32_t SoundingEnd(const CSongData& song) {
  int64_t end = 0;
  for (const auto& t : song.tracks)
    for (const auto& e : t.events)
      end = std::max<int64_t>(end, int64_t{e.ms} + e.durationMs);
  return static_cast<int32_t>(end);
}

TEST(SongFileCorpus, KaraokeFilesSurviveTheSongFormats) {
  auto files = KaraokeFiles();
  if (files.empty())
    GTEST_SKIP() << "no karaoke files in " << VEXO_CORPUS_DIR << "/midi";
  testing::TempFolder dir;
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    SCOPED_TRACE(name);
    CSongData source;
    ASSERT_EQ(source.LoadByKind(file.string(), kFileKaraoke), 1);
    ASSERT_EQ(source.lyricsPresent, 1);
    const std::string want = SongInfoJson(source);

    const std::string packed = dir.Path(name + ".vx3");
    ASSERT_GT(source.SaveByKind(packed, kSaveV350PackedFirst), 0);
    CSongData fromPacked;
    ASSERT_EQ(fromPacked.LoadByKind(packed, kFileVx3), 1);
    EXPECT_EQ(fromPacked.packed, 1);
    EXPECT_EQ(WithoutLength(SongInfoJson(fromPacked)), WithoutLength(want));
    EXPECT_EQ(fromPacked.endMs, SoundingEnd(source));

    // A packed song is never exported; the test lifts the mark to see that
    // the file kept everything the karaoke file needs.
    fromPacked.packed = 0;
    const std::string back = dir.Path(name);
    ASSERT_GT(fromPacked.SaveByKind(back, kSaveKaraoke), 0);
    CSongData fromBack;
    ASSERT_EQ(fromBack.LoadByKind(back, kFileKaraoke), 1);
    EXPECT_EQ(WithoutLength(SongInfoJson(fromBack)), WithoutLength(want));
    EXPECT_EQ(fromBack.endMs, SoundingEnd(source));

    // The older version, from the packed song as it stands; its MIDI part
    // keeps the length too.
    const std::string old = dir.Path(name + ".sb3");
    ASSERT_GT(source.SaveByKind(old, kSaveV300Last), 0);
    CSongData fromOld;
    ASSERT_EQ(fromOld.LoadByKind(old, kFileSb3), 1);
    EXPECT_EQ(SongInfoJson(fromOld), want);
  }
}

} // namespace
} // namespace core
