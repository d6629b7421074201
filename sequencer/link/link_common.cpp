#include "sequencer/link/link_common.h"

#include <algorithm>
#include <cstring>

namespace wendra {
namespace {

// Plain data only: these are written by the load-time constructor, which may
// run before this file's dynamic initialisers.
EngineTable engine32;
bool attached = false;
char attachReason[512] = {};

} // namespace

EngineTable& Engine32() {
  return engine32;
}

std::string OwnFolder() {
  return sys::ModuleFolder(reinterpret_cast<const void*>(&OwnFolder));
}

bool AttachEngine32(const std::string& folder, std::string* reason) {
  std::string error;
  auto engine = sys::Library::Load(folder, "Pavik32", &error);
  if (!engine) {
    *reason = "Pavik32 cannot be loaded: " + error;
    return false;
  }
  // Kept loaded whatever the binding finds: the engine lives until the
  // process ends.
  sys::ModuleHandle module = engine->Release();
  std::string missing;
  if (!BindEngine(module, engine32, &missing)) {
    *reason = "Pavik32 lacks " + missing;
    return false;
  }
  return true;
}

void TransmitDataAdapter(int32_t track, int32_t index, int32_t postValue, int32_t tick,
                         int32_t time, uint32_t data, uint32_t kind) {
  if (engine32.TransmitData)
    engine32.TransmitData(static_cast<uint16_t>(track), index, postValue, tick, time, data, kind);
}

uint8_t PreparePlayAdapter(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                           int32_t trackCount, int32_t melodyTrack, int32_t lyricTrack,
                           uint32_t totalMs, const int32_t* tempoMap, const int32_t* eventCounts,
                           const uint8_t* banks, const int16_t* devices) {
  if (!engine32.PreparePlay)
    return 0;
  return engine32.PreparePlay(reserved, tempoMapCount, ticksPerQuarter,
                              static_cast<uint16_t>(trackCount), static_cast<uint16_t>(melodyTrack),
                              static_cast<uint16_t>(lyricTrack), totalMs, tempoMap, eventCounts,
                              banks, devices);
}

void RecordAttach(bool ok, std::string_view reason) {
  attached = ok;
  // A refused library stays inert for a loader that goes on regardless.
  if (!ok)
    engine32 = EngineTable{};
  const size_t n = std::min(reason.size(), sizeof attachReason - 1);
  std::memcpy(attachReason, reason.data(), n);
  attachReason[n] = '\0';
}

int32_t ReportAttach(char* reason, uint32_t size) {
  if (reason && size > 0) {
    const size_t n = std::min<size_t>(std::strlen(attachReason), size - 1);
    std::memcpy(reason, attachReason, n);
    reason[n] = '\0';
  }
  return attached ? 1 : 0;
}

} // namespace wendra
