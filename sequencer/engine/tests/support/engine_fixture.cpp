#include "engine_fixture.h"

#include "sequencer/engine/library.h"
#include "sequencer/engine/notices.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace seqtest {
namespace {

std::mutex logMutex;
std::vector<Notice> notices;
std::vector<std::string> boxes;
std::atomic<int> currentTick{0};

uint8_t RecordNotice(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
  Notice n{window, message, wParam, lParam, currentTick.load(), _32_GetcMidiPlayFlag()};
  std::lock_guard lock(logMutex);
  notices.push_back(n);
  return 1;
}

void RecordBox(const char* text, const char* caption) {
  std::lock_guard lock(logMutex);
  boxes.push_back(std::string(caption) + ": " + text);
}

} // namespace

bool IsEnd(const Notice& n) {
  return n.message == kPavikWmUser && n.wParam == kPavikEndNotifyCode;
}
bool IsProgress(const Notice& n) {
  return n.message == kPavikWmUser && n.wParam == kPavikProgressNotifyCode;
}
bool IsMeter(const Notice& n) {
  return n.message == kPavikWmUser && n.wParam == kPavikMeterNotifyCode;
}
bool IsRealTime(const Notice& n) {
  return n.message == kPavikRealTimeEventMessage;
}

std::vector<Notice> Notices() {
  std::lock_guard lock(logMutex);
  return notices;
}

void ClearNotices() {
  std::lock_guard lock(logMutex);
  notices.clear();
  boxes.clear();
}

std::vector<std::string> MessageBoxes() {
  std::lock_guard lock(logMutex);
  return boxes;
}

TestEvent Midi(int32_t time, uint32_t message, uint32_t tick) {
  return {tick ? tick : TickAt(time), time, message, 0, 0};
}

TestEvent Tempo(int32_t time, uint32_t usPerQuarter, uint32_t tick) {
  return {tick ? tick : TickAt(time), time, usPerQuarter, 2, 0};
}

TestEvent Syllable(int32_t time, uint32_t durationMs, int32_t post, uint32_t tick) {
  return {tick ? tick : TickAt(time), time, durationMs, 16, post};
}

uint32_t TickAt(int32_t timeMs) {
  return static_cast<uint32_t>(timeMs) * 480 / 500;
}

uint8_t HandOver(const TestSong& song) {
  std::vector<int32_t> counts;
  std::vector<int16_t> devices;
  for (size_t t = 0; t < song.tracks.size(); ++t) {
    counts.push_back(static_cast<int32_t>(song.tracks[t].size()));
    devices.push_back(t < song.devices.size() ? song.devices[t] : -1);
  }
  std::vector<int32_t> map;
  for (const auto& e : song.tempoMap)
    map.insert(map.end(), e.begin(), e.end());
  uint8_t ready =
      _32_PreparePlay(0, static_cast<uint16_t>(song.tempoMap.size()), song.ticksPerQuarter,
                      static_cast<uint16_t>(song.tracks.size()), song.melodyTrack, song.lyricTrack,
                      song.totalMs, map.data(), counts.data(), song.banks.data(), devices.data());
  for (size_t t = 0; t < song.tracks.size(); ++t) {
    for (size_t i = 0; i < song.tracks[t].size(); ++i) {
      const TestEvent& e = song.tracks[t][i];
      _32_TransmitData(static_cast<uint16_t>(t), static_cast<int32_t>(i), e.post,
                       static_cast<int32_t>(e.tick), e.time, e.data, e.kind);
    }
  }
  _32_GenerateTrackOrder();
  return ready;
}

std::vector<uint32_t> PanicMessages() {
  // status, data 1, data 2 of each row, in the order the rows are sent.
  static constexpr uint8_t rows[19][3] = {
      {0xB0, 121, 0},   {0xB0, 0, 0},     {0xC0, 0, 0},   {0xB0, 1, 10},  {0xB0, 7, 110},
      {0xB0, 10, 64},   {0xB0, 11, 127},  {0xB0, 91, 80}, {0xB0, 93, 10}, {0xB0, 101, 0},
      {0xB0, 100, 0},   {0xB0, 6, 2},     {0xB0, 100, 1}, {0xB0, 64, 0},  {0xB0, 65, 0},
      {0xB0, 101, 127}, {0xB0, 100, 127}, {0xE0, 0, 64},  {0xB0, 123, 0}};
  std::vector<uint32_t> out;
  for (const auto& r : rows)
    for (int ch = 0; ch < 16; ++ch)
      out.push_back(Msg(r[0] | ch, r[1], r[2]));
  return out;
}

std::vector<uint32_t> ShortMessages(const std::vector<media::RecordedMidi>& log) {
  std::vector<uint32_t> out;
  for (const auto& m : log)
    out.push_back(m.shortMessage);
  return out;
}

void EngineTest::SetUp() {
  media::InstallTimeSource(&time_);
  dev0_ = std::make_shared<media::RecordingMidiOut>("Recorder Zero", 0x0101);
  dev1_ = std::make_shared<media::RecordingMidiOut>("Recorder One", 0x0102);
  media::MidiOut().UseDevicesForTesting({dev0_, dev1_});
  seq::SetNoticePoster(&RecordNotice);
  seq::SetMessageBoxShower(&RecordBox);
  ClearNotices();
  currentTick = 0;
  seq::LibraryLoad();
  InitPavik32(0, kWindow, 0, kPavikRealTimeEventMessage, kPavikEndNotifyCode,
              kPavikProgressNotifyCode, kPavikMeterNotifyCode);
}

void EngineTest::TearDown() {
  seq::LibraryUnload();
  EXPECT_EQ(time_.LiveEvents(), 0) << "a timer outlived the song";
  EXPECT_LE(time_.MaxLiveEvents(), 1) << "two timers were alive at once";
  seq::SetNoticePoster(nullptr);
  seq::SetMessageBoxShower(nullptr);
  media::MidiOut().UseDevicesForTesting({});
  media::InstallTimeSource(nullptr);
}

void EngineTest::Tick(int n, uint32_t periodMs) {
  for (int i = 0; i < n; ++i) {
    ++currentTick;
    time_.Advance(periodMs);
  }
}

int EngineTest::RunToEnd(int maxTicks) {
  for (int i = 0; i < maxTicks; ++i) {
    Tick();
    for (const Notice& n : Notices())
      if (IsEnd(n))
        return i + 1;
  }
  return -1;
}

void EngineTest::StartClean() {
  ASSERT_EQ(_32_StartPlay(), 1);
  dev0_->Clear();
  dev1_->Clear();
  ClearNotices();
  currentTick = 0;
  startMs_ = time_.NowMs();
}

std::vector<media::RecordedMidi> EngineTest::SongLog(const media::RecordingMidiOut& device) const {
  auto log = device.Messages();
  const auto panic = PanicMessages();
  // The song ends where the first panic begins.
  for (size_t p = 0; p + panic.size() <= log.size(); ++p) {
    bool match = true;
    for (size_t i = 0; i < panic.size() && match; ++i)
      match = log[p + i].shortMessage == panic[i] && log[p + i].port == log[p].port;
    if (match) {
      log.resize(p);
      break;
    }
  }
  return log;
}

int EngineTest::TickOf(const media::RecordedMidi& m) const {
  return static_cast<int>((m.timeMs - startMs_) / 10);
}

} // namespace seqtest
