// The display protocol across processes: a stand-in display (the
// display_logger helper) started as a child process finds the host's
// "VEXO3REMOTE" window, links itself to the notification window under it,
// and logs what it receives while a corpus karaoke file plays on the
// virtual timer through the sequencer engine.
#include "common/notify_fixture.h"
#include "common/player_fixture.h"
#include "core/player/display_records.h"
#include "core/player/notify_exports.h"
#include "core/trackwalk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace notifytest;
using core::TheSong;

const std::string kCorpus = VEXO_CORPUS_DIR "/midi";

struct LogLine {
  std::string what; // "user", "copy", "request", "message"
  uint64_t number = 0;
  int64_t argument = 0;       // user: lParam; request: the line
  std::vector<uint8_t> bytes; // copy
};

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<LogLine> ReadLog(const std::string& path) {
  std::vector<LogLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream words(text);
    LogLine l;
    words >> l.what;
    if (l.what == "copy") {
      std::string kind, hex;
      uint32_t size = 0;
      words >> kind >> size >> hex;
      l.number = std::stoull(kind, nullptr, 16);
      l.bytes = FromHex(hex);
      EXPECT_EQ(l.bytes.size(), size) << text;
    } else {
      words >> l.number >> l.argument;
    }
    lines.push_back(std::move(l));
  }
  return lines;
}

// True once every line the display asked for has its answer in the log
// (which the display may be writing: only whole lines count).
bool LinesAnswered(const std::string& path) {
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int asked = 0, answered = 0;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string_view line(text.data() + start, end - start);
    asked += line.starts_with("request ");
    answered += line.starts_with("copy 10010 24 ffffffff");
  }
  return asked == answered;
}

template <size_t N> std::vector<uint8_t> Vec(const std::array<uint8_t, N>& a) {
  return std::vector<uint8_t>(a.begin(), a.end());
}

// The song handed to the engine as the player core hands it over: the tempo
// map, every track's engine events through the track walk, a syllable's
// data replaced by its duration in ms.
void HandOver(const core::CSongData& song, const wendra::EngineTable& engine) {
  std::vector<int32_t> tempo;
  for (const auto& t : song.tempoMap)
    tempo.insert(tempo.end(), {t.tick, t.usPerQuarter, t.ms});
  std::vector<int32_t> counts;
  std::vector<int16_t> devices;
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    counts.push_back(song.CountEngineEvents(t));
    devices.push_back(0);
  }
  ASSERT_NE(engine.PreparePlay(0, static_cast<uint16_t>(song.tempoMap.size()), song.ticksPerQuarter,
                               static_cast<uint16_t>(song.TrackCount()), song.melodyTrack,
                               static_cast<uint16_t>(song.lyricTrack),
                               static_cast<uint32_t>(song.endMs), tempo.data(), counts.data(),
                               song.initialBank.data(), devices.data()),
            0);
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    core::TransmitTrack(song, t, [&](int16_t track, int32_t n, int32_t index, bool noteOff) {
      const core::SongEvent& e = song.tracks[track].events[index];
      const core::ProducedEvent p = core::MakeProducedEvent(e, noteOff);
      const uint32_t data =
          track == song.lyricTrack && p.kind == core::kKindSyllable ? e.durationMs : p.data;
      engine.TransmitData(static_cast<uint16_t>(track), n, index, static_cast<int32_t>(p.tick),
                          static_cast<int32_t>(p.ms), data, p.kind);
    });
  engine.GenerateTrackOrder();
}

// What the engine posted to the window goes through the player core's
// notice poster, as it would with the poster installed in the engine.
void ForwardNotices(win::Hwnd window) {
  for (const playertest::Notice& n : playertest::Notices())
    if (n.engine == 32 && n.window == window)
      core::PostEngineNotice(n.window, n.message, n.wParam, n.lParam);
  playertest::ClearLogs();
}

// Checks a stand-in display's log of one play of song from its start to its
// end: PlayStarted, the title, the lyric block, one image request, every
// lyric event in song order (one EventCopy per syllable among them), line
// information for every line it asked for, and PlayStopped after the last
// event, each byte for byte as the song object gives it. HTML pages (title
// pages cleared) may come between.
void CheckDisplayLog(const std::vector<LogLine>& log, const core::CSongData& song) {
  ASSERT_TRUE(song.HasTrack(song.lyricTrack));
  const core::Track& lyrics = song.tracks[static_cast<size_t>(song.lyricTrack)];
  // What the song object says the display must get.
  std::vector<std::vector<uint8_t>> expectedEvents, expectedSyllables;
  for (const auto& e : lyrics.events)
    if (e.kind >= 16 && e.kind <= 31) {
      expectedEvents.push_back(Vec(core::EventRecord(e)));
      if (e.kind == core::kKindSyllable)
        expectedSyllables.push_back(Vec(core::EventRecord(e)));
    }
  for (const auto& t : song.tracks)
    for (const auto& e : t.events)
      ASSERT_NE(e.kind, core::kKindWave); // not in this song: no event of another track
  ASSERT_GT(expectedSyllables.size(), 20u);

  int started = 0, stoppedCount = 0, titles = 0, blocks = 0, images = 0;
  size_t lastEvent = 0, stoppedAt = 0;
  std::vector<std::vector<uint8_t>> events, syllables;
  std::vector<int64_t> requested;
  std::map<int, std::vector<uint8_t>> lineInfos;
  for (size_t i = 0; i < log.size(); ++i) {
    const LogLine& l = log[i];
    if (l.what == "user" && l.number == core::kPlayStarted) {
      ++started;
    } else if (l.what == "user" && l.number == core::kPlayStopped) {
      ++stoppedCount;
      stoppedAt = i;
    } else if (l.what == "request") {
      EXPECT_EQ(l.number, core::kLineInfoRequest);
      requested.push_back(l.argument);
    } else if (l.what == "copy" && l.number == core::kTitleCopy) {
      ++titles;
      EXPECT_EQ(l.bytes, Vec(core::TitleRecord(song.title)));
    } else if (l.what == "copy" && l.number == core::kLyricCopy) {
      ++blocks;
      EXPECT_EQ(l.bytes, core::LyricBlock(lyrics));
    } else if (l.what == "copy" && l.number == core::kImageCopy) {
      ++images;
      EXPECT_EQ(l.bytes, std::vector<uint8_t>{0}); // no picture numbers in a .kar
    } else if (l.what == "copy" && l.number == core::kHtmlPageCopy) {
      EXPECT_EQ(l.bytes, core::ZeroTerminated(core::kHtmlReset));
    } else if (l.what == "copy" && l.number == core::kEventCopy) {
      ASSERT_EQ(l.bytes.size(), 24u);
      if (l.bytes[0] == 0xFF && l.bytes[16] == 17) {
        const int line = l.bytes[18] | l.bytes[19] << 8;
        EXPECT_FALSE(lineInfos.count(line)) << "line " << line << " twice";
        lineInfos[line] = l.bytes;
        continue;
      }
      events.push_back(l.bytes);
      if (l.bytes[16] == core::kKindSyllable)
        syllables.push_back(l.bytes);
      lastEvent = i;
    } else {
      ADD_FAILURE() << "unexpected: " << l.what << " " << l.number;
    }
  }
  EXPECT_EQ(started, 1);
  EXPECT_EQ(stoppedCount, 1);
  EXPECT_EQ(titles, 1);
  EXPECT_EQ(blocks, 1);
  EXPECT_EQ(images, 1);
  EXPECT_GT(stoppedAt, lastEvent);
  EXPECT_EQ(syllables, expectedSyllables); // one per syllable, in song order
  EXPECT_EQ(events, expectedEvents);
  // Every line asked for was answered, once, with its line-table entry.
  EXPECT_GT(requested.size(), 2u);
  EXPECT_EQ(lineInfos.size(), requested.size());
  for (int64_t line : requested) {
    SCOPED_TRACE(line);
    ASSERT_TRUE(lineInfos.count(static_cast<int>(line)));
    EXPECT_EQ(lineInfos[static_cast<int>(line)],
              Vec(core::EventRecord(core::LineInfoEvent(
                  static_cast<int16_t>(line), core::LineEntry(lyrics, static_cast<int>(line))))));
  }
}

class DisplayProtocolTest : public testing::Test {
protected:
  void SetUp() override {
    window = core::CreateNotifyWindow(host.Hwnd(), host.Hwnd());
    ASSERT_NE(window, 0u);
    core::TheDisplaySettings() = {};
  }
  void TearDown() override {
    if (child)
      child->Kill(SIGKILL);
    core::DestroyNotifyWindow();
    TheSong().Reset();
  }

  // Starts the stand-in display and waits until it has linked itself.
  void StartDisplay() {
    auto started =
        systest::SpawnedChild::Start(VEXO_TESTS_DIR "/display_logger", {scratch / "log.txt"});
    ASSERT_TRUE(started);
    child.emplace(std::move(*started));
    ASSERT_TRUE(win::RunMessageLoopUntil([] { return core::DisplayWindow() != 0; }, 20000));
    auto line = child->ReadLine(10000);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "linked " + std::to_string(core::DisplayWindow()));
  }

  // Closes its input and answers its messages until it has unlinked and
  // ended; its log.
  std::vector<LogLine> EndDisplay() {
    // PlayStopped has arrived and every line asked for is answered.
    bool stopped = false;
    EXPECT_TRUE(win::RunMessageLoopUntil(
        [&] {
          if (auto line = child->ReadLine(0))
            stopped |= *line == "stopped";
          return stopped && LinesAnswered(scratch / "log.txt");
        },
        20000));
    child->CloseInput();
    bool unlinked = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!unlinked && std::chrono::steady_clock::now() < deadline) {
      Pump();
      if (auto line = child->ReadLine(10))
        unlinked = *line == "unlinked";
    }
    EXPECT_TRUE(unlinked);
    EXPECT_EQ(child->Wait(), 0);
    child.reset();
    return ReadLog(scratch / "log.txt");
  }

  NotifyClass notifyClass;
  Recorder host{"VEXO3REMOTE"};
  win::Hwnd window = 0;
  playertest::Scratch scratch;
  std::optional<systest::SpawnedChild> child;
};

TEST_F(DisplayProtocolTest, ADisplayReceivesTheWholeSongAsItPlays) {
  const std::string file = kCorpus + "/happy-birthday.kar";
  if (!std::filesystem::exists(file))
    GTEST_SKIP() << "no corpus at " << kCorpus;
  core::CSongData& song = TheSong();
  ASSERT_NE(song.LoadByKind(file, core::kFileKaraoke), 0);
  core::SendSongStateNotify(core::kSongLoaded);
  ASSERT_TRUE(song.HasTrack(song.lyricTrack));

  StartDisplay();
  const wendra::EngineTable& engine = playertest::Pavik32();
  playertest::UseTestDevices();
  engine.InitPavik32(0, window, 0, core::kRealTimeEvent, core::kEndNotify, core::kProgressNotify,
                     core::kMeterNotify);
  HandOver(song, engine);
  playertest::ClearLogs();
  core::SendPlayStart();
  ASSERT_EQ(engine.StartPlay(), 1);
  // Until the end of the song reaches the host as PlayStopped.
  auto stopped = [&] {
    for (const auto& m : host.got)
      if (m.IsUser(core::kPlayStopped))
        return true;
    return false;
  };
  const int ticks = song.endMs / 10 + 1000;
  for (int i = 0; i < ticks && !stopped(); ++i) {
    playertest::Tick();
    ForwardNotices(window);
    Pump();
  }
  ASSERT_TRUE(stopped());
  const std::vector<LogLine> log = EndDisplay();
  EXPECT_EQ(core::DisplayWindow(), 0u); // it unlinked itself

  CheckDisplayLog(log, song);
}

TEST_F(DisplayProtocolTest, ADisplayProcessThatDiedIsDroppedWithoutWaiting) {
  MakeSong(TheSong());
  StartDisplay();
  const win::Hwnd display = core::DisplayWindow();
  ASSERT_EQ(tamblo_RegisterProgMsg(display), 1);
  ASSERT_EQ(tamblo_RegisterEventMsg(display), 1);
  child->Kill(SIGKILL);
  child->Wait();
  child.reset();

  // Posts and sends find the process gone at once, and forget its window.
  win::PostMessage(window, win::WM_USER, core::kProgressNotify, 500);
  Pump();
  EXPECT_EQ(tamblo_UnregisterProgMsg(display), 0);
  EXPECT_EQ(tamblo_TitleTransmit(display), 48);
  EXPECT_EQ(core::DisplayWindow(), 0u);
  EXPECT_EQ(win::SendMessage(window, core::kRealTimeEvent, 1, core::RealTimeEventLParam(2)), 0);
  EXPECT_EQ(tamblo_UnregisterEventMsg(display), 0);
}

// The same through the player core's own exports, in a host process of its
// own: the notification window made by tamblo_InitDLL under the host's
// window, the song loaded and played by tamblo_LoadFile and tamblo_Play, the
// engine's notices reaching the window through the poster it installed.
TEST(DisplayProtocolEndToEnd, APlayThroughThePlayerCoresExportsReachesTheDisplay) {
  const std::string file = kCorpus + "/happy-birthday.kar";
  if (!std::filesystem::exists(file))
    GTEST_SKIP() << "no corpus at " << kCorpus;
  playertest::Scratch scratch;
  // A session of their own: this process may hold the player core itself.
  ASSERT_TRUE(std::filesystem::create_directory(scratch / "runtime"));
  std::filesystem::permissions(scratch / "runtime", std::filesystem::perms::owner_all);
  const std::vector<std::string> env = {"VEXO_RUNTIME_DIR=" + (scratch / "runtime")};

  auto host = systest::SpawnedChild::Start(VEXO_TESTS_DIR "/tamblo_host", {file}, env);
  ASSERT_TRUE(host);
  auto line = host->ReadLine(20000);
  ASSERT_EQ(line.value_or("(none)"), "ready");
  auto display =
      systest::SpawnedChild::Start(VEXO_TESTS_DIR "/display_logger", {scratch / "log.txt"}, env);
  ASSERT_TRUE(display);
  line = display->ReadLine(20000);
  ASSERT_TRUE(line && line->rfind("linked ", 0) == 0) << line.value_or("(none)");
  line = host->ReadLine(60000);
  ASSERT_EQ(line.value_or("(none)"), "stopped");
  EXPECT_EQ(display->ReadLine(20000).value_or("(none)"), "stopped");
  EXPECT_TRUE(win::RunMessageLoopUntil([&] { return LinesAnswered(scratch / "log.txt"); }, 20000));
  display->CloseInput();
  EXPECT_EQ(display->ReadLine(20000).value_or("(none)"), "unlinked");
  EXPECT_EQ(display->Wait(), 0);
  host->CloseInput();
  EXPECT_EQ(host->ReadLine(20000).value_or("(none)"), "ended");
  EXPECT_EQ(host->Wait(), 0);

  core::CSongData song;
  ASSERT_NE(song.LoadByKind(file, core::kFileByExtension), 0);
  CheckDisplayLog(ReadLog(scratch / "log.txt"), song);
}

} // namespace
