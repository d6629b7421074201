// WendraNT, the link library of the NT family: every operation goes to
// Pavik32, and the player type is always 32.
#include "sequencer/link/link_common.h"

#include <atomic>

namespace wendra {
namespace {

std::atomic<int16_t> playerType{32};

__attribute__((constructor)) void Attach() {
  std::string reason;
  const bool ok = AttachEngine32(OwnFolder(), &reason);
  RecordAttach(ok, reason);
  playerType = 32;
}

__attribute__((destructor)) void Detach() {
  playerType = 32;
}

} // namespace
} // namespace wendra

using wendra::Engine32;

extern "C" {

int32_t WendraNT_AttachResult(char* reason, uint32_t size) {
  return wendra::ReportAttach(reason, size);
}

MplayTransmitEntry mplay_InitMidiPlayer(uint32_t firstValue, uint32_t window) {
  if (Engine32().InitPavik32)
    Engine32().InitPavik32(firstValue, window, 0, wendra::kRealTimeEventMessage,
                           wendra::kEndNotifyCode, wendra::kProgressNotifyCode,
                           wendra::kMeterNotifyCode);
  wendra::playerType = 32;
  return &wendra::TransmitDataAdapter;
}

MplayTransmitEntry mplay_SetMidiPlayerType(int32_t type) {
  if (!Engine32().GetcMidiPlayFlag || Engine32().GetcMidiPlayFlag() == 1)
    return nullptr;
  if (type != 16 && type != 32)
    return nullptr;
  // Whatever was asked, this library has only Pavik32.
  wendra::playerType = 32;
  Engine32().FreeEB();
  return &wendra::TransmitDataAdapter;
}

MplayPrepareEntry mplay_GetPreparePlay(void) {
  return &wendra::PreparePlayAdapter;
}

#define VEXO_FORWARD(Name, Result, Params, Args, Thunk16)                                          \
  Result mplay_##Name Params {                                                                     \
    if (!Engine32().Name)                                                                          \
      return Result();                                                                             \
    return Engine32().Name Args;                                                                   \
  }
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_FORWARD)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_FORWARD)
#undef VEXO_FORWARD

} // extern "C"
