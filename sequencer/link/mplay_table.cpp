#include "sequencer/link/mplay_table.h"

#include "sequencer/link/bind_entry.h"

namespace wendra {
namespace {

bool BindAll(sys::ModuleHandle module, MplayTable& t, std::string* missing) {
  if (!BindEntry(module, "mplay_InitMidiPlayer", t.InitMidiPlayer, missing) ||
      !BindEntry(module, "mplay_SetMidiPlayerType", t.SetMidiPlayerType, missing))
    return false;
#define VEXO_BIND(Name, Result, Params, Args, Thunk16)                                             \
  if (!BindEntry(module, "mplay_" #Name, t.Name, missing))                                         \
    return false;
  VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_BIND)
  if (!BindEntry(module, "mplay_GetPreparePlay", t.GetPreparePlay, missing))
    return false;
  VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_BIND)
#undef VEXO_BIND
  return true;
}

} // namespace

bool BindMplay(sys::ModuleHandle module, MplayTable& table, std::string* missing) {
  table = MplayTable{};
  if (BindAll(module, table, missing))
    return true;
  table = MplayTable{};
  return false;
}

} // namespace wendra
