// What the transport's tests share: the in-process player core initialised
// under recording host windows, its exports bound by name, small Standard
// MIDI Files built byte by byte, and virtual time moved on with the posted
// notices delivered.
#pragma once

#include "core/player/notify_exports.h"
#include "core/player/transport_exports.h"
#include "notify_fixture.h"
#include "player_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace transporttest {

using namespace playertest;

#define VEXO_BIND(name)                                                                            \
  decltype(&tamblo_##name) name = Export<decltype(&tamblo_##name)>("tamblo_" #name)
struct Api {
  VEXO_BIND(InitDLL);
  VEXO_BIND(LoadFile);
  VEXO_BIND(CloseFile);
  VEXO_BIND(CheckIfLoaded);
  VEXO_BIND(CheckIfSongPlayed);
  VEXO_BIND(Play);
  VEXO_BIND(Stop);
  VEXO_BIND(Pause);
  VEXO_BIND(Jump);
  VEXO_BIND(Rewind);
  VEXO_BIND(Forward);
  VEXO_BIND(SetMidiPlayerType);
  VEXO_BIND(SetImageMode);
  VEXO_BIND(GetImageMode);
  VEXO_BIND(SetTitleDisplayMode);
  VEXO_BIND(GetTitleDisplayMode);
  VEXO_BIND(SetTitleDisplayHTM);
  VEXO_BIND(SetMelodyTrackMute);
  VEXO_BIND(GetMelodyTrackMute);
  VEXO_BIND(SetWatchDog);
  VEXO_BIND(SetLyricShiftDenominator);
  VEXO_BIND(NotifyMidiOutDevice);
  VEXO_BIND(SetDefaultMidiOutDevice);
  VEXO_BIND(RegisterStopMsg);
  VEXO_BIND(RegisterProgMsg);
  VEXO_BIND(GetModuleHandle);
};
#undef VEXO_BIND

inline const Api& X() {
  static const Api api;
  return api;
}

// A Standard MIDI File track: events with their delta times; the end of
// track is added by Smf.
class TrackBytes {
public:
  TrackBytes& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    Delta(delta);
    data_.insert(data_.end(), bytes);
    return *this;
  }
  TrackBytes& Tempo(uint32_t delta, uint32_t usPerQuarter) {
    return Event(delta, {0xFF, 0x51, 0x03, uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8),
                         uint8_t(usPerQuarter)});
  }
  TrackBytes& Text(uint32_t delta, const std::string& text) {
    Delta(delta);
    data_.insert(data_.end(), {0xFF, 0x01, uint8_t(text.size())});
    data_.insert(data_.end(), text.begin(), text.end());
    return *this;
  }
  const std::vector<uint8_t>& Data() const { return data_; }

private:
  void Delta(uint32_t v) {
    uint8_t groups[4];
    int n = 0;
    do {
      groups[n++] = v & 0x7F;
      v >>= 7;
    } while (v && n < 4);
    while (n-- > 0)
      data_.push_back(groups[n] | (n > 0 ? 0x80 : 0));
  }
  std::vector<uint8_t> data_;
};

inline std::vector<uint8_t> Smf(uint16_t ticksPerQuarter, const std::vector<TrackBytes>& tracks) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  out.push_back(uint8_t(tracks.size() >> 8));
  out.push_back(uint8_t(tracks.size()));
  out.push_back(uint8_t(ticksPerQuarter >> 8));
  out.push_back(uint8_t(ticksPerQuarter));
  for (const TrackBytes& t : tracks) {
    std::vector<uint8_t> body = t.Data();
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(uint8_t(body.size() >> shift));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

// Steps: 120 beats a minute; on channel 2 a program change and a volume at
// 0, then `notes` notes a quarter (500 ms) apart, keys 40, 41, ..., each
// 240 ticks long and each after a pan controller of its index.
inline std::vector<uint8_t> StepsSong(int notes, uint32_t usPerQuarter = 500000) {
  TrackBytes conductor;
  conductor.Tempo(0, usPerQuarter);
  TrackBytes music;
  music.Event(0, {0xC1, 5}).Event(0, {0xB1, 7, 100});
  for (int i = 0; i < notes; ++i) {
    music.Event(i == 0 ? 0 : 240, {0xB1, 10, uint8_t(i & 0x7F)});
    music.Event(0, {0x91, uint8_t(40 + i % 80), 90});
    music.Event(240, {0x81, uint8_t(40 + i % 80), 0});
  }
  return Smf(480, {conductor, music});
}

// Moves virtual time on by ticks timer periods, delivering what the engine
// posted on the way.
inline void RunTicks(int ticks) {
  for (int i = 0; i < ticks; ++i) {
    Tick(1);
    if (i % 32 == 31)
      notifytest::Pump();
  }
  notifytest::Pump();
}

// Moves time on until done() or ticks periods passed; done().
inline bool RunUntil(const std::function<bool()>& done, int ticks) {
  for (int i = 0; i < ticks && !done(); ++i) {
    Tick(1);
    notifytest::Pump();
  }
  return done();
}

// The in-process player core, started and initialised under a frame window
// with a host window that hears PlayStopped, EndNotify and ProgressNotify.
class TransportTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(InProcess().Attach(), 1) << AttachError();
    UseTestDevices();
    // The engine as a process starts it, whatever tests before left behind.
    for (const wendra::EngineTable* e : {&Pavik32(), &Pavik16()}) {
      e->moSetCurDev(-1);
      e->SetTimerResolution(10);
      e->EnableWatchDog(0);
      e->SetTempoModifier(0);
      e->SetKeyModifier(0);
    }
    ASSERT_EQ(X().InitDLL(InProcess().module, nullptr, frame.Hwnd(), host.Hwnd(), "tests"), 1);
    X().RegisterStopMsg(host.Hwnd());
    X().RegisterProgMsg(host.Hwnd());
    ClearLogs();
  }
  void TearDown() override {
    X().Stop();
    X().CloseFile();
    notifytest::Pump();
    InProcess().Detach();
    LogEngineNotices();
    Device(0).SetOpenFails(false);
    Device(1).SetOpenFails(false);
    Pavik32().SetTempoModifier(0);
    Pavik32().moSetCurDev(-1);
  }

  std::string Song(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratch / name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }

  // The player core's notification window, under the frame.
  win::Hwnd NotifyWindow() const {
    return win::FindWindowEx(frame.Hwnd(), core::kNotifyWindowClass, core::kNotifyWindowTitle);
  }
  // Links a window as the lyric display, as the display does.
  void LinkDisplay(win::Hwnd display) const {
    ASSERT_NE(NotifyWindow(), 0u);
    win::SendMessage(NotifyWindow(), win::WM_USER, core::kLinkDisplay, display);
  }

  int HostGot(uint32_t code) const {
    int n = 0;
    for (const auto& r : host.got)
      n += r.IsUser(code) ? 1 : 0;
    return n;
  }

  Scratch scratch;
  notifytest::Recorder frame, host;
};

} // namespace transporttest
