// The song editor's entry points. This build has no song editor yet: its
// frame cannot be opened, there is no frame to close or to pass messages
// to, and no read-out to refresh.
#include "core/player/transport_exports.h"

extern "C" {

int32_t tamblo_OpenEditor(void) {
  return 0;
}

int32_t tamblo_CloseEditor(void) {
  return 1;
}

int32_t Tamblo_RepaintEditor(void) {
  return 0;
}

int32_t tamblo_ProcessMessageFilter(int32_t, void*) {
  return 0;
}

int32_t Tamblo_PreTranslateMessage(void*) {
  return 0;
}

void tamblo_UpdateAllTempoLED(void) {}

void tamblo_UpdateAllKeyLED(void) {}

} // extern "C"
