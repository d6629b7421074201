// The transport's exports: each runs the transport operation of the same
// name; nothing thrown inside leaves the library.
#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/player/transport.h"
#include "core/player/transport_exports.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace core;

constexpr size_t kTitlePageSize = 259; // characters of the title page's file name

template <typename F> auto Guarded(F f, decltype(f()) failed) -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    return failed;
  }
}

} // namespace

extern "C" {

int32_t tamblo_InitDLL(void* instance, void* scoreModule, uint32_t parent, uint32_t hostNotifyWnd,
                       const char* name) {
  return Guarded(
      [&] {
        return transport::InitPlayer(static_cast<sys::ModuleHandle>(instance),
                                     static_cast<sys::ModuleHandle>(scoreModule), parent,
                                     hostNotifyWnd, name);
      },
      0);
}

void* tamblo_GetModuleHandle(void) {
  return Player().instance;
}

int32_t tamblo_LoadFile(const char* path, int32_t kind) {
  return Guarded([&] { return transport::LoadSong(path, kind); }, 0);
}

int32_t tamblo_CloseFile(void) {
  return Guarded([] { return transport::CloseSong(); }, 0);
}

int32_t tamblo_CheckIfLoaded(void) {
  return TheSong().loaded;
}

int32_t tamblo_CheckIfSongPlayed(void) {
  return Player().songPlayed;
}

int32_t tamblo_Play(void) {
  return Guarded([] { return transport::Play(); }, 0);
}

int32_t tamblo_Stop(void) {
  return Guarded([] { return transport::Stop(); }, 0);
}

int32_t tamblo_Pause(void) {
  return Guarded([] { return transport::Pause(); }, 0);
}

int32_t tamblo_Jump(int32_t perMille) {
  return Guarded([&] { return transport::Jump(perMille); }, 0);
}

int32_t tamblo_Rewind(void) {
  return Guarded([] { return transport::Rewind(); }, 0);
}

int32_t tamblo_Forward(void) {
  return Guarded([] { return transport::Forward(); }, 0);
}

void tamblo_SetMidiPlayerType(int32_t type) {
  Guarded(
      [&] {
        transport::SetPlayerType(type);
        return 0;
      },
      0);
}

uint16_t tamblo_SetImageMode(uint16_t mode) {
  TheDisplaySettings().imageMode = mode;
  return mode;
}

uint16_t tamblo_GetImageMode(void) {
  return TheDisplaySettings().imageMode;
}

void tamblo_SetTitleDisplayMode(uint16_t mode) {
  TheDisplaySettings().titleMode = mode;
}

uint16_t tamblo_GetTitleDisplayMode(void) {
  return TheDisplaySettings().titleMode;
}

int32_t tamblo_SetTitleDisplayHTM(const char* fileName) {
  return Guarded(
      [&] {
        const size_t n = fileName ? strnlen(fileName, kTitlePageSize) : 0;
        TheDisplaySettings().titlePage.assign(fileName ? fileName : "", n);
        return static_cast<int32_t>(n + 1);
      },
      0);
}

int32_t tamblo_SetMelodyTrackMute(int32_t on) {
  return Guarded([&] { return transport::SetMelodyTrackMute(on); }, 0);
}

int32_t tamblo_GetMelodyTrackMute(void) {
  return Guarded([] { return transport::GetMelodyTrackMute(); }, 0);
}

int32_t tamblo_SetWatchDog(int32_t enable, int32_t time) {
  return Guarded([&] { return transport::SetPlayerWatchDog(enable, time); }, 0);
}

int32_t tamblo_SetLyricShiftDenominator(int16_t denominator) {
  return Guarded([&] { return transport::SetLyricShiftDenominator(denominator); }, 0);
}

int32_t tamblo_SetLyricTextAutoSplit(int32_t flag) {
  Player().lyricTextAutoSplit = flag;
  TheSong().lyricTextAutoSplit = flag;
  return 1;
}

int32_t tamblo_NotifyMidiOutDevice(void) {
  return Guarded([] { return transport::NotifyMidiOutDevice(); }, 0);
}

int32_t tamblo_SetDefaultMidiOutDevice(const char* name, uint16_t productId) {
  return Guarded([&] { return transport::SetDefaultMidiOutDevice(name, productId); }, 0);
}

} // extern "C"
