#include "score/controller.h"

#include "platform/media/riff.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/waveout.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/timer.h"
#include "score/library.h"
#include "score/tests/support/card.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>

namespace {

using score::CScoreController;

const std::string kFixtures = std::string(VEXO_TESTS_DIR) + "/fixtures";
constexpr uint32_t kRate = 22050;

// A voice singing 220 Hz for its first second and a half, then silent, in
// the capture's own format.
media::Wave Voice() {
  media::Wave w;
  w.format = media::WaveFormat::Pcm(kRate, 8, 1);
  for (uint32_t i = 0; i < kRate * 3; ++i) {
    const double v = i < kRate * 3 / 2 ? 90 * std::sin(2 * M_PI * 220.0 * i / kRate) : 0;
    w.data.push_back(static_cast<uint8_t>(128 + std::lround(v)));
  }
  return w;
}

win::Hwnd Parent() {
  static const bool registered = wintest::RegisterFnClass(
      "ScoreControllerParent", [](win::Hwnd, uint32_t, win::WParam, win::LParam) { return 0; });
  (void)registered;
  return wintest::MakeWindow("ScoreControllerParent");
}

// Notices of the listener windows.
std::vector<win::Hwnd> told;
win::Hwnd Listener() {
  static const bool registered = wintest::RegisterFnClass(
      "ScoreControllerListener", [](win::Hwnd h, uint32_t m, win::WParam w, win::LParam) {
        if (m == win::WM_COMMAND && w == score::kScoreChangedCommand)
          told.push_back(h);
        return win::LResult{0};
      });
  (void)registered;
  return wintest::MakeWindow("ScoreControllerListener");
}

extern "C" {
using SetFn = void (*)(uint8_t, uint8_t, uint8_t, int32_t, int32_t, int32_t);
}

class ControllerTest : public ::testing::Test {
protected:
  void SetUp() override { Start("core-full"); }

  void Start(const std::string& coreFolder, bool withMic = true) {
    wintest::StartTestSession();
    media::InstallTimeSource(&clock);
    win::InstallTimerClock(&timers);
    told.clear();
    if (withMic) {
      mic = std::make_shared<media::WavMicrophone>(Voice());
      media::WaveIn().UseDevices({mic});
    } else {
      media::WaveIn().UseDevices({});
    }
    std::string why;
    ASSERT_TRUE(score::Attach(VEXO_BIN_DIR, &why)) << why;
    core = sys::Library::Load(kFixtures + "/" + coreFolder, "Tamblo", &why);
    ASSERT_TRUE(core) << why;
    set = reinterpret_cast<SetFn>(core->Find("FakeCore_Set"));
    set(64, 0, 1, 400, 100, 0);
    parent = Parent();
    c = score::Controller();
    c->BindCore(core->Handle());
    ASSERT_TRUE(c->Create(parent));
  }

  void TearDown() override {
    score::Detach();
    win::DestroyWindow(parent);
    win::ProcessPendingMessages();
    media::WaveIn().UseDevices({});
    media::Mixers().UseDevices({});
    win::InstallTimerClock(nullptr);
    media::InstallTimeSource(nullptr);
  }

  // Both clocks on together, as a host on the virtual clock moves them.
  void Advance(uint32_t ms) {
    for (uint32_t done = 0; done < ms; done += 10) {
      clock.Advance(10);
      timers.Advance(10);
      win::ProcessPendingMessages();
    }
  }

  // The block a capture started at ms after the microphone's start holds.
  std::vector<uint8_t> BlockAt(uint32_t ms, size_t bytes) {
    const std::vector<uint8_t>& data = voice.data;
    std::vector<uint8_t> block(bytes, 0x80);
    const size_t first = static_cast<size_t>(ms) * kRate / 1000;
    for (size_t i = 0; i < bytes && first + i < data.size(); ++i)
      block[i] = data[first + i];
    return block;
  }

  media::VirtualTime clock{5000};
  win::ManualTimerClock timers;
  media::Wave voice = Voice();
  std::shared_ptr<media::WavMicrophone> mic;
  std::optional<sys::Library> core;
  SetFn set = nullptr;
  win::Hwnd parent = 0;
  CScoreController* c = nullptr;
};

TEST_F(ControllerTest, TheRateRuleKeepsStandardRates) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {11024, 11025}, {11025, 11025}, {11026, 22050}, {22049, 22050}, {22050, 22050},
      {44099, 44100}, {44100, 44100}, {48000, 48000}, {0, 48000}, // 0 keeps the rate
  };
  for (auto [asked, got] : cases) {
    EXPECT_EQ(c->SetRecSetting(0, asked), 1) << asked;
    EXPECT_EQ(c->CaptureFormat().rate, got) << asked;
    EXPECT_EQ(c->CaptureFormat().bits, 8);
    EXPECT_EQ(c->CaptureFormat().byteRate, got * c->CaptureFormat().blockAlign);
    EXPECT_EQ(c->Engine().Format().rate, got);
  }
  // A transform length the analysis cannot use is refused.
  EXPECT_EQ(c->SetRecSetting(100, 0), 0);
  EXPECT_EQ(c->Engine().TransformLength(), score::kDefaultTransformLength);
  EXPECT_EQ(c->SetRecSetting(256, 22050), 1);
  EXPECT_EQ(c->Engine().TransformLength(), 256);
}

TEST_F(ControllerTest, CapturesABlockEachPeriodAndAnalysesItAsTheEngineWould) {
  const win::Hwnd listener = Listener();
  ASSERT_TRUE(c->Listeners().Add(listener));
  mic->SetStart(clock.NowMs());
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  win::ProcessPendingMessages();
  told.clear();
  EXPECT_EQ(c->Scoring(), 1);
  Advance(2500); // the twelfth block, captured from 2400 ms, has come in
  win::ProcessPendingMessages();
  const int32_t blocks = c->Blocks();
  EXPECT_EQ(blocks, 12);
  EXPECT_EQ(told.size(), 12u);

  score::PitchEngine reference;
  reference.SetFormat({kRate, 8, 1});
  reference.Start();
  score::PlayerState p;
  p.curNote = 64;
  p.noNote = 0;
  p.lyricOn = 1;
  p.lyricTotalMs = 400;
  p.lyricElapsedMs = 100;
  for (int k = 1; k <= blocks; ++k)
    reference.AnalyseBlock(BlockAt(k * 200, reference.BlockBytes()), p);
  EXPECT_EQ(c->Engine().VoiceChecks(), reference.VoiceChecks());
  EXPECT_EQ(c->Engine().VoiceHits(), reference.VoiceHits());
  EXPECT_EQ(c->Engine().PitchChecks(), reference.PitchChecks());
  EXPECT_FLOAT_EQ(c->Engine().ErrorSum(), reference.ErrorSum());
  EXPECT_FLOAT_EQ(c->CalculateFloat(), reference.ScoreFloat());
  EXPECT_GT(c->Engine().VoiceHits(), 0);
  EXPECT_EQ(c->Block().size(), reference.BlockBytes());

  EXPECT_EQ(c->TerminateScoring(), 1);
  EXPECT_FALSE(c->DeviceOpen());
  EXPECT_EQ(c->TerminateScoring(), 0);
  win::DestroyWindow(listener);
}

TEST_F(ControllerTest, StartWithoutEnableResetsAndTellsButDoesNotStart) {
  const win::Hwnd listener = Listener();
  c->Listeners().Add(listener);
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  Advance(1000);
  ASSERT_GT(c->Blocks(), 0);
  c->TerminateScoring();
  win::ProcessPendingMessages();
  told.clear();
  c->EnableScoring(0);
  EXPECT_EQ(c->StartScoring(), 0);
  win::ProcessPendingMessages();
  EXPECT_EQ(told.size(), 1u);
  EXPECT_EQ(c->Blocks(), 0);
  EXPECT_EQ(c->Engine().VoiceChecks(), 0);
  EXPECT_EQ(c->Scoring(), 0);
  EXPECT_EQ(c->Calculate(), 0);
  win::DestroyWindow(listener);
}

TEST_F(ControllerTest, RecordSettingsAreRefusedWhileScoring) {
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  EXPECT_EQ(c->SetRecSetting(256, 44100), 0);
  EXPECT_EQ(c->CaptureFormat().rate, 22050u);
  EXPECT_EQ(c->Engine().TransformLength(), score::kDefaultTransformLength);
  c->TerminateScoring();
  EXPECT_EQ(c->SetRecSetting(256, 44100), 1);
}

TEST_F(ControllerTest, PauseClosesTheDeviceAndResumeCapturesFromTheClock) {
  mic->SetStart(clock.NowMs());
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  Advance(250); // a block is being recorded
  ASSERT_TRUE(c->Recording());
  EXPECT_EQ(c->PauseScoring(1), 1);
  EXPECT_EQ(c->Paused(), 1);
  EXPECT_FALSE(c->DeviceOpen());
  EXPECT_FALSE(c->Recording());
  const int32_t before = c->Blocks();
  Advance(1000);
  EXPECT_EQ(c->Blocks(), before);
  // Resumed at 1250 ms: the next block is captured 200 ms later, from the
  // microphone's sound at that moment.
  EXPECT_EQ(c->PauseScoring(0), 1);
  EXPECT_EQ(c->Paused(), 0);
  Advance(400);
  EXPECT_EQ(c->Blocks(), before + 1);
  const auto want = BlockAt(1450, c->Block().size());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), c->Block().begin()));
  c->TerminateScoring();
  EXPECT_EQ(c->PauseScoring(1), 0);
}

TEST_F(ControllerTest, AStartWhilePausedCapturesAgain) {
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  Advance(500);
  ASSERT_EQ(c->PauseScoring(1), 1);
  // The text started the timer only when not yet scoring: a start while
  // paused opened the device but left the capture without its timer.
  ASSERT_EQ(c->StartScoring(), 1);
  EXPECT_EQ(c->Paused(), 0);
  const int32_t before = c->Blocks();
  Advance(1000);
  EXPECT_GE(c->Blocks(), before + 4);
  c->TerminateScoring();
}

TEST_F(ControllerTest, CallsFromAnotherThreadRunOnTheControllersThread) {
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  std::atomic<intptr_t> result{-1};
  std::atomic<bool> done{false};
  std::thread other([&] {
    result = c->Call([this]() -> intptr_t { return c->OnOwnThread() ? c->PauseScoring(1) : -2; });
    done = true;
  });
  while (!done)
    win::RunMessageLoopUntil([&] { return done.load(); }, 10);
  other.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(c->Paused(), 1);
  c->TerminateScoring();
}

TEST_F(ControllerTest, TheTerminateMessageStops) {
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  win::SendMessage(c->GetHwnd(), win::WM_USER, score::kScoreTerminate, 0);
  EXPECT_EQ(c->Scoring(), 0);
}

TEST_F(ControllerTest, TheMapperIsChosenByTheDeviceCount) {
  EXPECT_EQ(c->DeviceCount(), 1);
  c->SetCurrentDevice(0);
  EXPECT_EQ(c->CurrentDevice(), 0);
  c->SetCurrentDevice(c->DeviceCount());
  EXPECT_EQ(c->CurrentDevice(), media::kWaveMapper);
  char name[32];
  EXPECT_EQ(c->DeviceName(name, 0), std::string("Wave File Microphone").size() + 1);
  EXPECT_STREQ(name, "Wave File Microphone");
  EXPECT_EQ(c->DeviceName(name, 1), 0);
  EXPECT_EQ(c->DeviceName(name, -1), 0);
}

TEST_F(ControllerTest, TheVerdictIsPlayedForTheTruncatedScore) {
  auto sink = std::make_shared<media::RecordingWaveOut>();
  media::WaveOut().UseDevices({sink});
  std::atomic<bool> stop{false};
  // The sink plays on the virtual clock, which another thread moves.
  std::thread mover([&] {
    while (!stop) {
      clock.Advance(10);
      std::this_thread::yield();
    }
  });
  const std::string folder = VEXO_BIN_DIR;
  auto bytes = [&](const char* name) {
    return media::ReadWaveFile(folder + "/" + name, nullptr)->data;
  };
  EXPECT_EQ(c->PlayVerdictOf(95.0f, folder), 0); // not enabled
  c->EnableScoring(1);
  EXPECT_EQ(c->PlayVerdictOf(95.0f, folder), 1);
  EXPECT_EQ(c->PlayVerdictOf(79.9f, folder), 1);
  EXPECT_EQ(c->PlayVerdictOf(59.9f, folder), 1);
  stop = true;
  mover.join();
  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].Bytes(), bytes("95.WAV"));
  EXPECT_EQ(streams[1].Bytes(), bytes("70.WAV"));
  media::WaveOut().UseDevices({});
}

TEST_F(ControllerTest, ADeviceThatDoesNotOpenFailsTheStartWithItsText) {
  media::WaveIn().UseDevices({});
  c->EnableScoring(1);
  EXPECT_EQ(c->StartScoring(), 0);
  EXPECT_EQ(c->Scoring(), 0);
  EXPECT_FALSE(c->LastError().empty());
}

TEST_F(ControllerTest, TheStatusWindowComesAndGoesWithTheController) {
  // The library's debug panel, which hands out its object.
  ASSERT_TRUE(win::IsClassRegistered(score::kStatusClass));
  win::SendMessage(c->GetHwnd(), win::WM_SHOWWINDOW, 1, 0);
  ASSERT_NE(c->StatusWindow(), 0u);
  EXPECT_EQ(win::GetDlgCtrlId(c->StatusWindow()), score::kStatusWindowId);
  EXPECT_EQ(win::GetWindowText(c->StatusWindow()).value_or(""), "Disp");
  EXPECT_EQ(c->StatusObject(), win::GetWindowObject(c->StatusWindow()));
  const win::Hwnd status = c->StatusWindow();
  win::SendMessage(c->GetHwnd(), win::WM_SHOWWINDOW, 0, 0);
  EXPECT_EQ(c->StatusWindow(), 0u);
  EXPECT_FALSE(win::IsWindow(status));
}

class ControllerMixerTest : public ControllerTest {
protected:
  void SetUp() override {
    card.emplace();
    Start("core-full");
  }
  void TearDown() override {
    ControllerTest::TearDown();
    card.reset();
  }
  std::vector<uint32_t> Volume() const { return card->mixer->Value(card->volume); }
  std::optional<scoretest::Card> card;
};

TEST_F(ControllerMixerTest, ScoringSetsTheMixerUpAndStoppingPutsItBack) {
  ASSERT_TRUE(c->Mixer().Available());
  // A stop without a start leaves the mixer as it was.
  EXPECT_EQ(c->TerminateScoring(), 0);
  EXPECT_TRUE(card->mixer->Writes().empty());
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  EXPECT_EQ(Volume(), (std::vector<uint32_t>{52428, 52428}));
  win::ProcessPendingMessages(); // the set-up's own notices
  EXPECT_EQ(c->Mixer().Grace(), 0);
  card->mixer->UserSet(card->list, {1, 0, 0, 1}); // the user picks the first source again
  win::ProcessPendingMessages();
  // A second start keeps the first save.
  ASSERT_EQ(c->StartScoring(), 1);
  win::ProcessPendingMessages();
  EXPECT_EQ(c->TerminateScoring(), 1);
  EXPECT_EQ(Volume(), (std::vector<uint32_t>{1000, 3000}));
  EXPECT_EQ(card->mixer->Value(card->inputMute), (std::vector<uint32_t>{1, 1}));
  EXPECT_EQ(card->mixer->Value(card->micMute), (std::vector<uint32_t>{1}));
  EXPECT_EQ(card->mixer->Value(card->list), (std::vector<uint32_t>{1, 0, 0, 0}));
}

TEST_F(ControllerMixerTest, ADeviceThatDoesNotOpenUndoesTheSetUp) {
  media::WaveIn().UseDevices({});
  c->EnableScoring(1);
  EXPECT_EQ(c->StartScoring(), 0);
  EXPECT_EQ(Volume(), (std::vector<uint32_t>{1000, 3000}));
  EXPECT_EQ(card->mixer->Value(card->list), (std::vector<uint32_t>{1, 0, 0, 0}));
  EXPECT_FALSE(c->Mixer().SetUpActive());
}

class LackingCoreTest : public ControllerTest {
protected:
  void SetUp() override { Start("core-lacking"); }
};

TEST_F(LackingCoreTest, ScoringDoesNotStartWithoutEveryEntryPoint) {
  c->EnableScoring(1);
  EXPECT_EQ(c->StartScoring(), 0);
  EXPECT_EQ(c->LastError(), "the player core lacks mplay_GetCurTime");
  EXPECT_EQ(c->Scoring(), 0);
  EXPECT_FALSE(c->DeviceOpen());
}

class NoDeviceTest : public ControllerTest {
protected:
  void SetUp() override {
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scoped.emplace(boxes);
    Start("core-full", false);
  }
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::optional<ui::ScopedMessageBoxBackend> scoped;
};

TEST_F(NoDeviceTest, ABoxSaysThereIsNoDevice) {
  EXPECT_EQ(c->DeviceCount(), 0);
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, score::Bundle()->String(score::kNoDeviceString).value_or("?"));
}

} // namespace
