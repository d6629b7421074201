// The wave recorder's exports: one wave device at a time, recording from
// the microphone, playing back, saving and opening WAV files.
#include "core/player/transport_exports.h"
#include "core/player/waverecorder.h"

namespace {

core::WaveRecorder& Recorder() {
  return core::TheWaveRecorder();
}

} // namespace

extern "C" {

int32_t tamblo_RecordWave(void) {
  return Recorder().Record();
}

int32_t tamblo_PlayWave(void) {
  return Recorder().Play();
}

int32_t tamblo_StopWave(void) {
  return Recorder().Stop();
}

int32_t tamblo_SaveWave(void) {
  return Recorder().Save();
}

int32_t tamblo_OpenWave(void) {
  return Recorder().Open();
}

int32_t tamblo_CloseWave(void) {
  return Recorder().Close();
}

int32_t tamblo_GetRecStatus(void) {
  return Recorder().recording;
}

int32_t tamblo_GetPlayStatus(void) {
  return Recorder().playing;
}

int32_t tamblo_SetRecSetting(uint32_t rate, uint16_t bits, uint16_t channels) {
  Recorder().setting = {rate, bits, channels};
  return 1;
}

int32_t tamblo_GetRecSetting(uint32_t* rate, uint16_t* bits, uint16_t* channels) {
  const core::RecordSetting& s = Recorder().setting;
  if (rate)
    *rate = s.rate;
  if (bits)
    *bits = s.bits;
  if (channels)
    *channels = s.channels;
  return 1;
}

} // extern "C"
