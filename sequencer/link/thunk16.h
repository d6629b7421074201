// The connection from Wendra to the 16-bit engine Pavik16, in place of the
// system's 32-to-16-bit flat thunks: Pavik16 is loaded by name from Wendra's
// folder and its operations (the same names as Pavik32's) are bound; each
// call passes its values as the 16-bit side takes them. The arguments go as
// 16-bit values except the 32-bit ones (the message to send, jump and
// watchdog times, the tick of the progress query, the last six values of the
// transmit entry, the song length of the preparation); destinations and
// arrays are copied into buffers of the 16-bit side for the call and back
// afterwards. Results come back as 16-bit values, except the 32-bit times
// (whole) and the progress per mille (a signed 16-bit value widened).
#pragma once

#include "sequencer/link/engine_table.h"

#include <string>

namespace wendra::thunk16 {

// Loads and binds Pavik16 from folder; false with the reason when either
// fails. Pavik16 stays loaded for the life of the process.
bool Connect(const std::string& folder, std::string* reason);
// Ends the connection; later calls do nothing and return 0.
void Disconnect();
bool Connected();

// InitPavik32 of the 16-bit engine. The window goes whole: a window handle
// of this system is 32 bits wide, and the 16-bit engine posts its notices
// to it.
void Init(uint32_t firstValue, uint32_t window, uint8_t bankFlag, uint32_t realTimeMessage,
          uint32_t endCode, uint32_t progressCode, uint32_t meterCode);

// The 16-bit engine's transmit and preparation entries.
void TransmitData(int32_t track, int32_t index, int32_t postValue, int32_t tick, int32_t time,
                  uint32_t data, uint32_t kind);
uint8_t PreparePlay(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                    int32_t trackCount, int32_t melodyTrack, int32_t lyricTrack, uint32_t totalMs,
                    const int32_t* tempoMap, const int32_t* eventCounts, const uint8_t* banks,
                    const int16_t* devices);

#define VEXO_THUNK_DECLARE(Name, Result, Params, Args, Thunk16) Result Name Params;
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_THUNK_DECLARE)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_THUNK_DECLARE)
#undef VEXO_THUNK_DECLARE

} // namespace wendra::thunk16
