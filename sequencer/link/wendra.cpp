// Wendra, the link library of the 9x family: it drives Pavik32 and the 16-bit
// engine Pavik16 and routes every operation by the player type, 16 until the
// player core chooses 32.
#include "sequencer/link/link_common.h"
#include "sequencer/link/thunk16.h"

#include <atomic>

namespace wendra {
namespace {

std::atomic<int16_t> playerType{16};

__attribute__((constructor)) void Attach() {
  const std::string folder = OwnFolder();
  std::string reason;
  const bool ok = AttachEngine32(folder, &reason) && thunk16::Connect(folder, &reason);
  if (!ok)
    thunk16::Disconnect();
  RecordAttach(ok, reason);
  playerType = 16;
}

__attribute__((destructor)) void Detach() {
  thunk16::Disconnect();
  playerType = 16;
}

bool Uses32() {
  return playerType == 32;
}

MplayTransmitEntry TransmitEntryOf(int16_t type) {
  return type == 32 ? &TransmitDataAdapter : &thunk16::TransmitData;
}

} // namespace
} // namespace wendra

using wendra::Engine32;

extern "C" {

int32_t Wendra_AttachResult(char* reason, uint32_t size) {
  return wendra::ReportAttach(reason, size);
}

MplayTransmitEntry mplay_InitMidiPlayer(uint32_t firstValue, uint32_t window) {
  using namespace wendra;
  thunk16::Init(firstValue, window, 0, kRealTimeEventMessage, kEndNotifyCode, kProgressNotifyCode,
                kMeterNotifyCode);
  if (Engine32().InitPavik32)
    Engine32().InitPavik32(firstValue, window, 0, kRealTimeEventMessage, kEndNotifyCode,
                           kProgressNotifyCode, kMeterNotifyCode);
  playerType = 16;
  return TransmitEntryOf(16);
}

MplayTransmitEntry mplay_SetMidiPlayerType(int32_t type) {
  using namespace wendra;
  // Both engines are bound, or the load was refused and neither is.
  if (!thunk16::Connected() || !Engine32().GetcMidiPlayFlag)
    return nullptr;
  const bool playing =
      Uses32() ? Engine32().GetcMidiPlayFlag() == 1 : thunk16::GetcMidiPlayFlag() == 1;
  if (playing || (type != 16 && type != 32))
    return nullptr;
  const int16_t previous = playerType.exchange(static_cast<int16_t>(type));
  if (previous == 32)
    Engine32().FreeEB();
  else
    thunk16::FreeEB();
  return TransmitEntryOf(static_cast<int16_t>(type));
}

MplayPrepareEntry mplay_GetPreparePlay(void) {
  return wendra::Uses32() ? &wendra::PreparePlayAdapter : &wendra::thunk16::PreparePlay;
}

#define VEXO_ROUTE(Name, Result, Params, Args, Thunk16)                                            \
  Result mplay_##Name Params {                                                                     \
    if (!wendra::Uses32())                                                                         \
      return wendra::thunk16::Name Args;                                                           \
    if (!Engine32().Name)                                                                          \
      return Result();                                                                             \
    return Engine32().Name Args;                                                                   \
  }
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_ROUTE)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_ROUTE)
#undef VEXO_ROUTE

} // extern "C"
