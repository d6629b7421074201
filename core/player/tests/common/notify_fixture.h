// What the notification window's tests share: windows that record what they
// receive, the window set up under a host window with a recording display
// linked, and a small hand-made song whose records are known byte by byte.
#pragma once

#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/songdata.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace notifytest {

// One message as a recording window saw it.
struct Received {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uintptr_t kind = 0;         // WM_COPYDATA
  std::vector<uint8_t> bytes; // WM_COPYDATA

  bool IsUser(uint32_t code) const { return message == win::WM_USER && wParam == code; }
  bool IsCopy(uintptr_t k) const { return message == win::WM_COPYDATA && kind == k; }
};

inline constexpr const char* kRecorderClass = "VexoTestRecorder";

// A window of the calling thread that records every WM_USER, real-time and
// WM_COPYDATA message.
class Recorder : public win::Window {
public:
  explicit Recorder(const char* className = kRecorderClass) {
    if (!win::IsClassRegistered(className))
      win::RegisterClass({className, 0, [] { return std::make_unique<win::Window>(); }});
    win::CreateParams p;
    p.className = className;
    p.title = "recorder";
    p.object = this;
    win::CreateWindow(p);
  }
  ~Recorder() override { Destroy(); }
  void Destroy() {
    if (win::IsWindow(GetHwnd()))
      win::DestroyWindow(GetHwnd());
  }
  win::Hwnd Hwnd() const { return GetHwnd(); }

  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_USER || message == win::WM_USER + 1) {
      got.push_back({message, wParam, lParam, 0, {}});
      return 0;
    }
    if (message == win::WM_COPYDATA) {
      const win::CopyData* d = win::AsCopyData(lParam);
      const auto* b = static_cast<const uint8_t*>(d->data);
      got.push_back({message, wParam, 0, d->kind, std::vector<uint8_t>(b, b + d->size)});
      return 0;
    }
    return win::Window::WindowProc(message, wParam, lParam);
  }

  std::vector<Received> got;
};

inline void Pump() {
  while (win::ProcessPendingMessages() > 0) {
  }
}

inline std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

inline core::SongEvent Ev(uint32_t tick, uint32_t ms, uint32_t duration, uint32_t durationMs,
                          uint8_t kind, uint16_t length, uint32_t data, uint8_t action = 0) {
  core::SongEvent e;
  e.tick = tick;
  e.ms = ms;
  e.duration = duration;
  e.durationMs = durationMs;
  e.kind = kind;
  e.imageAction = action;
  e.length = length;
  e.data = data;
  return e;
}

// Lyric track 1: "Twin" "kle " | "lit" "tle " "star": line 1 "Twinkle ",
// line 2 (after the last line break) "little star"; two image events and a
// singer event. Track 0: a note, a syllable and an image event, which do
// not belong on a track other than the lyric track.
inline void MakeSong(core::CSongData& song) {
  song.Reset();
  song.loaded = 1;
  song.title = "Star %d%n song";
  song.singer = "Kim";
  song.ticksPerQuarter = 480;
  song.lyricTrack = 1;
  song.tracks.resize(2);
  song.tracks[0].events = {Ev(0, 0, 480, 500, 0, 0, 0x643C90), Ev(5, 5, 0, 0, 16, 0, 0),
                           Ev(10, 10, 0, 0, 19, 9, 0)};
  core::Track& lyrics = song.tracks[1];
  lyrics.text = "Twinkle little star";
  lyrics.lineTable[0] = 0;
  lyrics.lineTable[1] = 0 | 8u << 16;
  lyrics.lineTable[2] = 8 | 11u << 16;
  lyrics.lineTable[3] = 0xDEADBEEF; // stale beyond lineCount
  lyrics.lineCount = 2;
  lyrics.events = {Ev(0, 0, 0, 0, 17, 1, 0 | 8u << 16),
                   Ev(0, 0, 120, 125, 16, 1, 0 | 4u << 16),
                   Ev(120, 125, 120, 125, 16, 1, 4 | 4u << 16),
                   Ev(240, 250, 0, 0, 17, 2, 8 | 11u << 16),
                   Ev(240, 250, 120, 125, 16, 2, 8 | 3u << 16),
                   Ev(360, 375, 120, 125, 16, 2, 11 | 4u << 16),
                   Ev(480, 500, 120, 125, 16, 2, 15 | 4u << 16),
                   Ev(600, 625, 0, 0, 19, 9, 0),
                   Ev(700, 729, 0, 0, 19, 9, 9),
                   Ev(800, 833, 0, 0, 20, 0, 2)};
  const std::string pool("pic3.jpg\0pic4.jpg\0", 18);
  song.dataPool.assign(pool.begin(), pool.end());
  song.imageNumbers[7] = 5;
}

// The notification window's class for the tests' window; given back after
// the test when the test registered it, so that a player core started later
// in this process can register it itself.
class NotifyClass {
public:
  NotifyClass() {
    if (!win::IsClassRegistered(core::kNotifyWindowClass))
      mine_ = win::RegisterClass(
          {core::kNotifyWindowClass, 0, [] { return std::make_unique<win::Window>(); }});
  }
  ~NotifyClass() {
    if (mine_)
      win::UnregisterClass(core::kNotifyWindowClass);
  }
  NotifyClass(const NotifyClass&) = delete;
  NotifyClass& operator=(const NotifyClass&) = delete;

private:
  bool mine_ = false;
};

// The notification window under a host window, with a recording display
// linked through LinkDisplay, on a manual timer clock.
class NotifyTest : public testing::Test {
protected:
  void SetUp() override {
    win::InstallTimerClock(&clock);
    window = core::CreateNotifyWindow(parent.Hwnd(), host.Hwnd());
    ASSERT_NE(window, 0u);
    MakeSong(core::TheSong());
    core::TheDisplaySettings() = {};
    win::SendMessage(window, win::WM_USER, core::kLinkDisplay, display.Hwnd());
    ASSERT_EQ(core::DisplayWindow(), display.Hwnd());
  }
  void TearDown() override {
    core::DestroyNotifyWindow();
    core::TheSong().Reset();
    core::TheDisplaySettings() = {};
    win::InstallTimerClock(nullptr);
  }

  win::ManualTimerClock clock;
  NotifyClass notifyClass;
  Recorder parent, host, display;
  win::Hwnd window = 0;
};

} // namespace notifytest
