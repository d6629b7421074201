// The six entry points of the player core that the singing score reads
// before each block, bound by name on the player core's module, in the
// order they are called.
#pragma once

#include "platform/sys/library.h"
#include "score/pitch_engine.h"

#include <cstdint>
#include <string>

namespace score {

extern const char* const kCoreEntryNames[6];

struct CoreEntries {
  uint8_t (*GetcCurNote)() = nullptr;
  uint8_t (*ChkcNoNote)() = nullptr;
  uint8_t (*ChkcLyricOn)() = nullptr;
  int32_t (*GetlLyricTotTime)() = nullptr;
  int32_t (*GetlLyricCurTime)() = nullptr;
  int32_t (*GetCurTime)() = nullptr;

  // Binds every name the module has; the others stay null.
  void Bind(sys::ModuleHandle module);
  // True when all six are bound; else the first missing name.
  bool Complete(std::string* missing) const;
  // Calls the six in their order (all must be bound).
  PlayerState Read() const;
};

} // namespace score
