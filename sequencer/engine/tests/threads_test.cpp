// The engine on the real timer thread: the caller's thread starts, pauses,
// jumps, resumes and stops while the timer plays, and queries the state all
// the while. Run under ThreadSanitizer, nothing may race.
#include "support/engine_fixture.h"

#include "platform/media/clock.h"
#include "sequencer/engine/library.h"
#include "sequencer/engine/notices.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace seqtest {
namespace {

// The real time source, except that device pacing does not wait: the
// panic at each stop would otherwise take most of the test's time.
class RealTimeWithoutPacing final : public media::TimeSource {
public:
  uint32_t NowMs() override { return real().NowMs(); }
  uint32_t SetPeriodicEvent(uint32_t periodMs, uint32_t resolutionMs,
                            media::TimerCallback callback) override {
    return real().SetPeriodicEvent(periodMs, resolutionMs, std::move(callback));
  }
  bool KillEvent(uint32_t id) override { return real().KillEvent(id); }
  bool BeginPeriod(uint32_t ms) override { return real().BeginPeriod(ms); }
  bool EndPeriod(uint32_t ms) override { return real().EndPeriod(ms); }
  int LiveEvents() override { return real().LiveEvents(); }
  void Delay(uint32_t) override {}

private:
  static media::TimeSource& real() { return media::RealTime(); }
};

uint8_t DropNotice(uint32_t, uint32_t, uint64_t, int64_t) {
  return 1;
}

class RealTimerTest : public ::testing::Test {
protected:
  void SetUp() override {
    const uint32_t probe = media::RealTime().SetPeriodicEvent(1000, 1, [] {});
    if (probe == 0)
      GTEST_SKIP() << "the real time source makes no periodic events";
    media::RealTime().KillEvent(probe);
    media::InstallTimeSource(&time_);
    device_ = std::make_shared<media::RecordingMidiOut>();
    media::MidiOut().UseDevicesForTesting({device_});
    seq::SetNoticePoster(&DropNotice);
    seq::LibraryLoad();
    InitPavik32(0, kWindow, 1, kPavikRealTimeEventMessage, kPavikEndNotifyCode,
                kPavikProgressNotifyCode, kPavikMeterNotifyCode);
    _32_SetTimerResolution(1);
  }
  void TearDown() override {
    if (!device_)
      return;
    seq::LibraryUnload();
    EXPECT_EQ(media::RealTime().LiveEvents(), 0) << "a timer is left running";
    seq::SetNoticePoster(nullptr);
    media::MidiOut().UseDevicesForTesting({});
    media::InstallTimeSource(nullptr);
  }

  // Waits, reading the engine's state as the user interface does, until
  // done() holds; false after a bound of two seconds.
  template <typename Done> bool WaitWhileQuerying(Done done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit)
        return false;
      volatile uint32_t sink = _32_GetPlayTime() + _32_GetPlayTS() + _32_GetCurTS() +
                               _32_GetChannelVol(0) + _32_GetMeterVolume(1) + _32_GetcCurNote() +
                               _32_ChkcLyricOn() + _32_GetNoteOnStatus(0);
      (void)sink;
      _32_ResetRepaintReq(0);
      std::this_thread::yield();
    }
    return true;
  }

  RealTimeWithoutPacing time_;
  std::shared_ptr<media::RecordingMidiOut> device_;
};

TEST_F(RealTimerTest, ThousandStartPauseJumpResumeStopCycles) {
  TestSong song;
  song.totalMs = 60000;
  song.lyricTrack = 1;
  song.melodyTrack = 0;
  song.tracks.resize(2);
  for (int32_t t = 0; t < 60000; t += 5) {
    song.tracks[0].push_back(Midi(t, NoteOn(t / 5 % 16, 60 + t / 5 % 12, 90)));
    song.tracks[0].push_back(Midi(t + 3, NoteOff(t / 5 % 16, 60 + t / 5 % 12)));
    if (t % 50 == 0) {
      song.tracks[1].push_back(Syllable(t, 40, t / 50));
      song.tracks[0].push_back(Midi(t + 4, Cc(t / 50 % 16, 7, t / 50 % 128)));
    }
  }
  ASSERT_EQ(HandOver(song), 1);
  for (int cycle = 0; cycle < 1000; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    ASSERT_EQ(_32_StartPlay(), 1);
    ASSERT_TRUE(WaitWhileQuerying([] { return _32_GetPlayTime() > 0; }));
    _32_BeginPause();
    const uint32_t target = static_cast<uint32_t>(cycle * 37 % 30000);
    _32_JumpToPosition(target);
    ASSERT_EQ(_32_GetcPause(), 1);
    ASSERT_EQ(media::RealTime().LiveEvents(), 0);
    const uint32_t resumedAt = _32_GetPlayTime();
    _32_EndPause();
    ASSERT_EQ(media::RealTime().LiveEvents(), 1);
    ASSERT_TRUE(WaitWhileQuerying([&] { return _32_GetPlayTime() > resumedAt; }));
    _32_TerminatePlay();
    ASSERT_EQ(media::RealTime().LiveEvents(), 0);
    ASSERT_EQ(_32_GetcMidiPlayFlag(), 0);
  }
}

TEST_F(RealTimerTest, StopsRacingTheEndOfTheSongOnTheTimer) {
  TestSong song;
  song.totalMs = 10;
  song.tracks = {{Midi(0, NoteOn(0, 60, 90)), Midi(2, NoteOff(0, 60)), Midi(3, Cc(0, 7, 1))}};
  ASSERT_EQ(HandOver(song), 1);
  for (int cycle = 0; cycle < 200; ++cycle) {
    ASSERT_EQ(_32_StartPlay(), 1);
    const uint32_t until = static_cast<uint32_t>(cycle % 5);
    ASSERT_TRUE(WaitWhileQuerying(
        [&] { return _32_GetPlayTime() >= until || _32_GetcMidiPlayFlag() == 0; }));
    _32_TerminatePlay();
    ASSERT_EQ(media::RealTime().LiveEvents(), 0);
  }
}

// A progress query reads the tempo map that each song handed over rebuilds.
TEST_F(RealTimerTest, ProgressQueriesRaceSongsBeingHandedOver) {
  std::atomic<bool> done{false};
  std::atomic<int> asks{0};
  std::atomic<int> wrong{0};
  std::thread asker([&] {
    while (!done.load()) {
      // Tick 96000 lies at 80 s of a song of 120 s (per mille 666), or at
      // 100 s over the default tempo while a song is half handed over.
      const int32_t perMille = _32_ProgValue(96000);
      if (perMille < 0 || perMille > 1000)
        ++wrong;
      ++asks;
    }
  });
  for (int round = 0; round < 300 || asks.load() < 2000; ++round) {
    TestSong song;
    song.totalMs = 120000;
    song.tracks = {{Midi(0, Cc(0, 7, 1))}};
    for (int k = 0; k < 1 + round % 40; ++k)
      song.tempoMap.push_back({k * 480, 400000, k * 400});
    ASSERT_EQ(HandOver(song), 1);
  }
  done = true;
  asker.join();
  EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace seqtest
