// Real karaoke files played to their end on virtual time.
#include "support/engine_fixture.h"
#include "support/smf_reader.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <numeric>

namespace seqtest {
namespace {

struct Expected {
  uint32_t message;
  int tick;
};

// What the engine must send, in order: every channel message in chain order
// (tick, track, position), each on the first tick whose play time is not
// before its time, with the program sent again after each bank select.
std::vector<Expected> ExpectedSends(const TestSong& song) {
  struct At {
    uint32_t tick;
    size_t track, index;
  };
  std::vector<At> order;
  for (size_t t = 0; t < song.tracks.size(); ++t)
    for (size_t i = 0; i < song.tracks[t].size(); ++i)
      order.push_back({song.tracks[t][i].tick, t, i});
  std::stable_sort(order.begin(), order.end(), [](const At& a, const At& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
  });
  std::vector<Expected> out;
  uint8_t program[16] = {};
  for (const At& at : order) {
    const TestEvent& e = song.tracks[at.track][at.index];
    if (e.kind != 0)
      continue;
    const int tick = std::max(1, (e.time + 9) / 10);
    const uint8_t type = (e.data & 0xF0) >> 4, ch = e.data & 0x0F;
    const uint8_t d1 = (e.data >> 8) & 0x7F;
    if (type == 0xB && d1 == 88)
      continue;
    out.push_back({e.data, tick});
    if (type == 0xC)
      program[ch] = d1;
    if (type == 0xB && d1 == 0)
      out.push_back({Program(ch, program[ch]), tick});
  }
  return out;
}

class CorpusTest : public EngineTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorpusTest, KaraokeFilePlaysToItsEnd) {
  const std::string path = std::string(VEXO_CORPUS_DIR) + "/midi/" + GetParam();
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "no corpus at " << path;
  auto smf = ReadSmfFile(path);
  ASSERT_TRUE(smf) << path;
  const KaraokeSong karaoke = ToEngineSong(*smf);
  const TestSong& song = karaoke.song;
  ASSERT_GT(karaoke.syllables, 20);
  ASSERT_EQ(HandOver(song), 1);
  StartClean();
  const int ticks = RunToEnd(static_cast<int>(song.totalMs / 10) + 100);
  ASSERT_GT(ticks, 0) << "no EndNotify";
  const auto notices = Notices();
  EXPECT_EQ(notices.back().lParam, 0);
  EXPECT_EQ(_32_GetcMidiPlayFlag(), 0);
  EXPECT_EQ(time_.LiveEvents(), 0);

  const auto log = SongLog(*dev0_);
  const auto want = ExpectedSends(song);
  ASSERT_EQ(log.size(), want.size());
  int wrongMessage = 0, wrongTick = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    wrongMessage += log[i].shortMessage != want[i].message;
    wrongTick += TickOf(log[i]) != want[i].tick;
  }
  EXPECT_EQ(wrongMessage, 0);
  EXPECT_EQ(wrongTick, 0);

  std::map<int, int> sounding; // channel << 8 | note
  int noteOns = 0;
  for (const auto& m : log) {
    const uint8_t type = m.Status() >> 4;
    const int key = (m.Status() & 0x0F) << 8 | m.Data1();
    if (type == 0x9 && m.Data2() > 0) {
      ++sounding[key];
      ++noteOns;
    } else if ((type == 0x8 || type == 0x9) && sounding[key] > 0) {
      --sounding[key];
    }
  }
  EXPECT_GT(noteOns, 100);
  for (const auto& [key, count] : sounding)
    EXPECT_EQ(count, 0) << "channel " << (key >> 8) << " note " << (key & 0xFF) << " left on";

  std::vector<int64_t> posted;
  std::vector<int> postedTicks;
  for (const Notice& n : notices) {
    if (!IsRealTime(n))
      continue;
    EXPECT_EQ(n.wParam, song.lyricTrack);
    posted.push_back(n.lParam);
    postedTicks.push_back(n.tick);
  }
  std::vector<int64_t> all(karaoke.syllables);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(posted, all);
  const auto& lyric = song.tracks[song.lyricTrack];
  size_t s = 0;
  for (const TestEvent& e : lyric) {
    if (e.kind != 16 || s >= postedTicks.size())
      continue;
    EXPECT_EQ(postedTicks[s], std::max(1, (e.time + 9) / 10)) << "syllable " << s;
    ++s;
  }
}

INSTANTIATE_TEST_SUITE_P(Karaoke, CorpusTest,
                         ::testing::Values("happy-birthday.kar", "twinkle.kar"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

} // namespace
} // namespace seqtest
