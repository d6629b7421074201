#include "sequencer/link/engine_table.h"

#include "sequencer/link/bind_entry.h"

namespace wendra {
namespace {

bool BindAll(sys::ModuleHandle module, EngineTable& t, std::string* missing) {
  if (!BindEntry(module, "InitPavik32", t.InitPavik32, missing))
    return false;
#define VEXO_BIND(Name, Result, Params, Args, Thunk16)                                             \
  if (!BindEntry(module, "_32_" #Name, t.Name, missing))                                           \
    return false;
  VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_BIND)
  if (!BindEntry(module, "_32_PreparePlay", t.PreparePlay, missing))
    return false;
  VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_BIND)
#undef VEXO_BIND
  return BindEntry(module, "_32_TransmitData", t.TransmitData, missing);
}

} // namespace

#define VEXO_ENGINE_NAME(Name, Result, Params, Args, Thunk16) "_32_" #Name,
const char* const kEngineNames[kEngineNameCount] = {
    "InitPavik32", VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_ENGINE_NAME) "_32_PreparePlay",
    VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_ENGINE_NAME) "_32_TransmitData"};
#undef VEXO_ENGINE_NAME

bool BindEngine(sys::ModuleHandle module, EngineTable& table, std::string* missing) {
  table = EngineTable{};
  if (BindAll(module, table, missing))
    return true;
  table = EngineTable{};
  return false;
}

} // namespace wendra
