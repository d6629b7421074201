#include "core/player/scoretable.h"

#include <algorithm>

namespace core {
namespace {

constexpr int kGetStatus = 1;
constexpr int kPauseScoring = 4;

} // namespace

const char* const kScoreNames[kScoreNameCount] = {
    "Nyvanta_InitDLL",          "Nyvanta_GetStatus",          "Nyvanta_StartScoring",
    "Nyvanta_TerminateScoring", "Nyvanta_PauseScoring",       "Nyvanta_GetPausedStatus",
    "Nyvanta_Calculate",        "Nyvanta_wiGetNumWAVDevices", "Nyvanta_wiSetCurDev",
    "Nyvanta_wiGetCurDev",      "Nyvanta_wiCheckWaveInDev",   "Nyvanta_wiGetWAVDevName"};

void ScoreTable::Bind(sys::ModuleHandle module) {
  sys::BindAvailableNames(module, kScoreNames, entries_);
}

void* ScoreTable::Entry(int index) const {
  return index >= 0 && index < kScoreNameCount ? entries_[index] : nullptr;
}

int ScoreTable::BoundCount() const {
  return static_cast<int>(
      std::count_if(entries_.begin(), entries_.end(), [](void* e) { return e != nullptr; }));
}

bool ScoreTable::ScoringActive() const {
  auto status = reinterpret_cast<int32_t (*)()>(entries_[kGetStatus]);
  return status && status() != 0;
}

bool ScoreTable::PauseScoring(int32_t pause) const {
  auto pauseScoring = reinterpret_cast<int32_t (*)(int32_t)>(entries_[kPauseScoring]);
  if (!pauseScoring || !ScoringActive())
    return false;
  pauseScoring(pause);
  return true;
}

} // namespace core
