// The default user bank of the sound card, for a host.
#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"

#include <cstring>

extern "C" {

int32_t tamblo_SetDefaultUserSynth(uint32_t flag, const char* path) {
  return core::TheApp().Bank().SetDefaultUserSynth(flag, path);
}

int32_t tamblo_GetDefaultUserSynth(uint32_t* flag, char* path) {
  std::string text;
  core::TheApp().Bank().GetDefaultUserSynth(flag, &text);
  if (path) {
    const size_t n = std::min(text.size(), core::kMaxDefaultBankPath);
    std::memcpy(path, text.data(), n);
    path[n] = '\0';
  }
  return 1;
}

} // extern "C"
