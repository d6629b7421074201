#include "sequencer/link/thunk16.h"

#include "sequencer/engine/pavik32.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace wendra::thunk16 {
namespace {

// Written by Wendra's load-time constructor: plain data only.
EngineTable engine16;

uint16_t Word(uint32_t value) {
  return static_cast<uint16_t>(value);
}

// Copies count values from the caller into a buffer of the 16-bit side;
// empty for a null source.
template <typename T> std::vector<T> SideBuffer(const T* source, size_t count) {
  if (!source)
    return {};
  return std::vector<T>(source, source + count);
}

template <typename T> const T* DataOrNull(const std::vector<T>& v, const T* original) {
  return original ? v.data() : nullptr;
}

} // namespace

bool Connect(const std::string& folder, std::string* reason) {
  std::string error;
  auto library = sys::Library::Load(folder, "Pavik16", &error);
  if (!library) {
    *reason = "Pavik16 cannot be connected: " + error;
    return false;
  }
  sys::ModuleHandle module = library->Release();
  std::string missing;
  if (!BindEngine(module, engine16, &missing)) {
    *reason = "Pavik16 cannot be connected: it lacks " + missing;
    return false;
  }
  return true;
}

void Disconnect() {
  engine16 = EngineTable{};
}

bool Connected() {
  return engine16.InitPavik32 != nullptr;
}

void Init(uint32_t firstValue, uint32_t window, uint8_t bankFlag, uint32_t realTimeMessage,
          uint32_t endCode, uint32_t progressCode, uint32_t meterCode) {
  if (engine16.InitPavik32)
    engine16.InitPavik32(Word(firstValue), window, bankFlag, Word(realTimeMessage), Word(endCode),
                         Word(progressCode), Word(meterCode));
}

void TransmitData(int32_t track, int32_t index, int32_t postValue, int32_t tick, int32_t time,
                  uint32_t data, uint32_t kind) {
  if (engine16.TransmitData)
    engine16.TransmitData(Word(static_cast<uint32_t>(track)), index, postValue, tick, time, data,
                          kind);
}

uint8_t PreparePlay(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                    int32_t trackCount, int32_t melodyTrack, int32_t lyricTrack, uint32_t totalMs,
                    const int32_t* tempoMap, const int32_t* eventCounts, const uint8_t* banks,
                    const int16_t* devices) {
  if (!engine16.PreparePlay)
    return 0;
  const uint16_t tracks = Word(static_cast<uint32_t>(trackCount));
  // The engine reads the per-track arrays only for a count it can take.
  const size_t perTrack = tracks <= kPavikTrackSlots ? tracks : 0;
  const auto map = SideBuffer(tempoMap, size_t{tempoMapCount} * 3);
  const auto counts = SideBuffer(eventCounts, perTrack);
  const auto bankBytes = SideBuffer(banks, kPavikChannels);
  const auto deviceNumbers = SideBuffer(devices, perTrack);
  // The song length stays whole: cut to 16 bits it would end progress and
  // jumps of any song longer than 65 seconds early.
  return engine16.PreparePlay(reserved, tempoMapCount, ticksPerQuarter, tracks,
                              Word(static_cast<uint32_t>(melodyTrack)),
                              Word(static_cast<uint32_t>(lyricTrack)), totalMs,
                              DataOrNull(map, tempoMap), DataOrNull(counts, eventCounts),
                              DataOrNull(bankBytes, banks), DataOrNull(deviceNumbers, devices));
}

#define VEXO_THUNK_BODY_Plain(Name, Result, Args) return engine16.Name Args;
#define VEXO_THUNK_BODY_SignedWord(Name, Result, Args)                                             \
  return static_cast<Result>(static_cast<int16_t>(engine16.Name Args));
#define VEXO_THUNK_BODY_NameOut(Name, Result, Args)                                                \
  std::array<char, kPavikDeviceNameSize> side{};                                                   \
  if (destination)                                                                                 \
    std::memcpy(side.data(), destination, side.size());                                            \
  const Result result = engine16.Name(destination ? side.data() : nullptr, device);                \
  if (destination)                                                                                 \
    std::memcpy(destination, side.data(), side.size());                                            \
  return result;
#define VEXO_THUNK_BODY_CapsOut(Name, Result, Args)                                                \
  std::array<uint8_t, kPavikCapsSize> side{};                                                      \
  if (destination)                                                                                 \
    std::memcpy(side.data(), destination, side.size());                                            \
  engine16.Name(destination ? side.data() : nullptr, device);                                      \
  if (destination)                                                                                 \
    std::memcpy(destination, side.data(), side.size());

#define VEXO_THUNK_DEFINE(Name, Result, Params, Args, Thunk16)                                     \
  Result Name Params {                                                                             \
    if (!engine16.Name)                                                                            \
      return Result();                                                                             \
    VEXO_THUNK_BODY_##Thunk16(Name, Result, Args)                                                  \
  }
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_THUNK_DEFINE)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_THUNK_DEFINE)
#undef VEXO_THUNK_DEFINE

} // namespace wendra::thunk16
