// The entry table of a sequencer engine library: InitPavik32 and the 65
// `_32_` operations that the link libraries bind by name. Pavik32 and the
// 16-bit engine Pavik16 export the same names, so one table serves both.
#pragma once

#include "platform/sys/library.h"
#include "sequencer/link/mplay.h"

#include <cstdint>
#include <string>

namespace wendra {

struct EngineTable {
  int32_t (*InitPavik32)(uint32_t reserved, uint32_t window, uint8_t bankFlag,
                         uint32_t realTimeMessage, uint32_t endCode, uint32_t progressCode,
                         uint32_t meterCode) = nullptr;
  uint8_t (*PreparePlay)(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                         uint16_t trackCount, uint16_t melodyTrack, uint16_t lyricTrack,
                         uint32_t totalMs, const int32_t* tempoMap, const int32_t* eventCounts,
                         const uint8_t* banks, const int16_t* devices) = nullptr;
  void (*TransmitData)(uint16_t track, int32_t index, int32_t postValue, int32_t tick, int32_t time,
                       uint32_t data, uint32_t kind) = nullptr;
#define VEXO_ENGINE_ENTRY(Name, Result, Params, Args, Thunk16) Result(*Name) Params = nullptr;
  VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_ENGINE_ENTRY)
  VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_ENGINE_ENTRY)
#undef VEXO_ENGINE_ENTRY
};

// The engine's names in binding order: InitPavik32, the operations before
// the preparation, _32_PreparePlay, those after it, _32_TransmitData.
constexpr int kEngineNameCount = 66;
extern const char* const kEngineNames[kEngineNameCount];

// Binds every name in order. Stops at the first name the module lacks:
// false, the table emptied, and that name in *missing.
bool BindEngine(sys::ModuleHandle module, EngineTable& table, std::string* missing);

} // namespace wendra
