// The singing-score library's entry points, bound by name on the module the
// host hands over. Names the module lacks stay null; the player core itself
// calls only the status query and the pause, and only when they are bound.
#pragma once

#include "platform/sys/library.h"

#include <array>
#include <cstdint>

namespace core {

constexpr int kScoreNameCount = 12;
extern const char* const kScoreNames[kScoreNameCount];

class ScoreTable {
public:
  // Binds every name it finds; the others are null.
  void Bind(sys::ModuleHandle module);
  void Clear() { entries_.fill(nullptr); }

  // The entry of kScoreNames[index], null when unbound.
  void* Entry(int index) const;
  int BoundCount() const;

  // Nyvanta_GetStatus: scoring is active. False when unbound.
  bool ScoringActive() const;
  // Nyvanta_PauseScoring(pause) while scoring is active (1 pauses, 0
  // resumes); false when it was not called.
  bool PauseScoring(int32_t pause) const;

private:
  std::array<void*, kScoreNameCount> entries_{};
};

} // namespace core
