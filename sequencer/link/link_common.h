// What both link libraries share, each in a copy of its own: the Pavik32
// entry table with its two adapters, the attach at load, and the report of
// that attach to the loader.
//
// Linux gives a library no way to fail its own load, so each link library
// attaches from a load-time constructor, records the outcome, and exports
// `<Library>_AttachResult`: a loader calls it right after loading and treats
// 0 as a refused load.
#pragma once

#include "sequencer/link/engine_table.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace wendra {

// The Pavik32 operations, bound at attach.
EngineTable& Engine32();

// The folder of the link library itself.
std::string OwnFolder();

// Loads Pavik32 from folder and binds InitPavik32 and the 65 `_32_` names.
// The engine stays loaded for the life of the process, even when a name is
// missing. False with the reason when it cannot be loaded or lacks a name.
bool AttachEngine32(const std::string& folder, std::string* reason);

// The transmit and preparation entries of Pavik32.
void TransmitDataAdapter(int32_t track, int32_t index, int32_t postValue, int32_t tick,
                         int32_t time, uint32_t data, uint32_t kind);
uint8_t PreparePlayAdapter(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                           int32_t trackCount, int32_t melodyTrack, int32_t lyricTrack,
                           uint32_t totalMs, const int32_t* tempoMap, const int32_t* eventCounts,
                           const uint8_t* banks, const int16_t* devices);

// The outcome of the attach, kept for the loader.
void RecordAttach(bool attached, std::string_view reason);
// 1 when the library attached, 0 when it refused its load; the reason (empty
// when attached), zero-terminated and cut to fit, into reason when given.
int32_t ReportAttach(char* reason, uint32_t size);

} // namespace wendra
