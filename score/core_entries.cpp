#include "score/core_entries.h"

#include <array>

namespace score {

const char* const kCoreEntryNames[6] = {"mplay_GetcCurNote",      "mplay_ChkcNoNote",
                                        "mplay_ChkcLyricOn",      "mplay_GetlLyricTotTime",
                                        "mplay_GetlLyricCurTime", "mplay_GetCurTime"};

void CoreEntries::Bind(sys::ModuleHandle module) {
  std::array<void*, 6> table{};
  sys::BindAvailableNames(module, kCoreEntryNames, table);
  GetcCurNote = reinterpret_cast<uint8_t (*)()>(table[0]);
  ChkcNoNote = reinterpret_cast<uint8_t (*)()>(table[1]);
  ChkcLyricOn = reinterpret_cast<uint8_t (*)()>(table[2]);
  GetlLyricTotTime = reinterpret_cast<int32_t (*)()>(table[3]);
  GetlLyricCurTime = reinterpret_cast<int32_t (*)()>(table[4]);
  GetCurTime = reinterpret_cast<int32_t (*)()>(table[5]);
}

bool CoreEntries::Complete(std::string* missing) const {
  const void* entries[6] = {reinterpret_cast<const void*>(GetcCurNote),
                            reinterpret_cast<const void*>(ChkcNoNote),
                            reinterpret_cast<const void*>(ChkcLyricOn),
                            reinterpret_cast<const void*>(GetlLyricTotTime),
                            reinterpret_cast<const void*>(GetlLyricCurTime),
                            reinterpret_cast<const void*>(GetCurTime)};
  for (int i = 0; i < 6; ++i)
    if (!entries[i]) {
      if (missing)
        *missing = kCoreEntryNames[i];
      return false;
    }
  return true;
}

PlayerState CoreEntries::Read() const {
  PlayerState p;
  p.curNote = GetcCurNote();
  p.noNote = ChkcNoNote();
  p.lyricOn = ChkcLyricOn();
  p.lyricTotalMs = GetlLyricTotTime();
  p.lyricElapsedMs = GetlLyricCurTime();
  p.currentTimeMs = GetCurTime();
  return p;
}

} // namespace score
