// The song editor's tempo and key read-outs. The editor has no such
// read-outs yet: there is nothing to refresh.
#include "core/player/transport_exports.h"

extern "C" {

void tamblo_UpdateAllTempoLED(void) {}

void tamblo_UpdateAllKeyLED(void) {}

} // extern "C"
