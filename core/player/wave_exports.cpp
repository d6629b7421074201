// The wave recorder's exports. Recording and playing waves need the wave
// devices of the embedded waves, which this build does not have yet: every
// operation is not possible now (0) and nothing records or plays. The record
// setting is kept for when it does.
#include "core/player/transport_exports.h"

namespace {

struct RecordSetting {
  uint32_t rate = 22050;
  uint16_t bits = 8;
  uint16_t channels = 1;
};

RecordSetting& Setting() {
  static RecordSetting setting;
  return setting;
}

} // namespace

extern "C" {

int32_t tamblo_RecordWave(void) {
  return 0;
}

int32_t tamblo_PlayWave(void) {
  return 0;
}

int32_t tamblo_StopWave(void) {
  return 0;
}

int32_t tamblo_SaveWave(void) {
  return 0;
}

int32_t tamblo_OpenWave(void) {
  return 0;
}

int32_t tamblo_CloseWave(void) {
  return 0;
}

int32_t tamblo_GetRecStatus(void) {
  return 0;
}

int32_t tamblo_GetPlayStatus(void) {
  return 0;
}

int32_t tamblo_SetRecSetting(uint32_t rate, uint16_t bits, uint16_t channels) {
  Setting() = {rate, bits, channels};
  return 1;
}

int32_t tamblo_GetRecSetting(uint32_t* rate, uint16_t* bits, uint16_t* channels) {
  if (rate)
    *rate = Setting().rate;
  if (bits)
    *bits = Setting().bits;
  if (channels)
    *channels = Setting().channels;
  return 1;
}

} // extern "C"
