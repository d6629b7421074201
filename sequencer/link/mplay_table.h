// The 66 `mplay_` operations of a loaded module (a link library, or the
// player core that exports them again), bound by name into typed entries.
#pragma once

#include "platform/sys/library.h"
#include "sequencer/link/mplay.h"

#include <string>

namespace wendra {

struct MplayTable {
  MplayTransmitEntry (*InitMidiPlayer)(uint32_t firstValue, uint32_t window) = nullptr;
  MplayTransmitEntry (*SetMidiPlayerType)(int32_t type) = nullptr;
#define VEXO_MPLAY_ENTRY(Name, Result, Params, Args, Thunk16) Result(*Name) Params = nullptr;
  VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_MPLAY_ENTRY)
  MplayPrepareEntry (*GetPreparePlay)(void) = nullptr;
  VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_MPLAY_ENTRY)
#undef VEXO_MPLAY_ENTRY
};

// Binds the names of kMplayNames in order. Stops at the first name the
// module lacks: false, the table emptied, and that name in *missing.
bool BindMplay(sys::ModuleHandle module, MplayTable& table, std::string* missing = nullptr);

} // namespace wendra
