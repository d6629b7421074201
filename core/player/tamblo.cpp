// The exports of the player core library: its start and end, and the 66
// `mplay_` operations forwarded unchanged to the link library.
#include "core/player/tamblo.h"

#include "core/player/tambloapp.h"
#include "core/player/transport.h"
#include "sequencer/link/mplay.h"

#include <algorithm>
#include <cstring>

using core::TheApp;

extern "C" {

int32_t Tamblo_Attach(void) {
  try {
    return TheApp().InitInstance() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t Tamblo_AttachError(char* text, int32_t size) {
  const std::string& error = TheApp().StartError();
  if (text && size > 0) {
    const size_t n = std::min(error.size(), static_cast<size_t>(size) - 1);
    std::memcpy(text, error.data(), n);
    text[n] = '\0';
  }
  return static_cast<int32_t>(error.size());
}

int32_t Tamblo_Detach(void) {
  try {
    // A song that plays stops, and the notification window goes, before the
    // link library is let go.
    core::transport::EndPlayer();
    TheApp().ExitInstance();
  } catch (...) {
  }
  return 1;
}

MplayTransmitEntry mplay_InitMidiPlayer(uint32_t firstValue, uint32_t window) {
  auto f = TheApp().linkTable.InitMidiPlayer;
  return f ? f(firstValue, window) : nullptr;
}

MplayTransmitEntry mplay_SetMidiPlayerType(int32_t type) {
  auto f = TheApp().linkTable.SetMidiPlayerType;
  return f ? f(type) : nullptr;
}

MplayPrepareEntry mplay_GetPreparePlay(void) {
  auto f = TheApp().linkTable.GetPreparePlay;
  return f ? f() : nullptr;
}

#define VEXO_FORWARD(Name, Result, Params, Args, Thunk16)                                          \
  Result mplay_##Name Params {                                                                     \
    auto f = TheApp().linkTable.Name;                                                              \
    if (!f)                                                                                        \
      return Result();                                                                             \
    return f Args;                                                                                 \
  }
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_FORWARD)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_FORWARD)
#undef VEXO_FORWARD

} // extern "C"

namespace {

// Unloaded without Tamblo_Detach: at least the guard and the window class,
// whose factory goes with this library, are given back.
__attribute__((destructor)) void Unload() {
  if (TheApp().Started())
    TheApp().ExitInstance();
}

} // namespace
