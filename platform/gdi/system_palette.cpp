#include "platform/gdi/system_palette.h"

#include "platform/gdi/dc.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace gdi {
namespace {

// The screen's 20 reserved colours: ten at the start, ten at the end.
constexpr std::array<PaletteEntry, kStaticColours> kStatics = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};
constexpr size_t kHalf = kStaticColours / 2;

struct SystemPalette {
  std::mutex mutex;
  std::array<PaletteEntry, kSystemPaletteSize> entries{};
  uint32_t use = kSysPalStatic;

  void PutStatics() {
    for (size_t i = 0; i < kHalf; ++i) {
      entries[i] = kStatics[i];
      entries[kSystemPaletteSize - kHalf + i] = kStatics[kHalf + i];
    }
  }
  void Reset() {
    entries.fill(PaletteEntry{});
    use = kSysPalStatic;
    PutStatics();
  }
  // The first and one past the last free slot.
  size_t FirstFree() const { return use == kSysPalStatic ? kHalf : 1; }
  size_t EndFree() const {
    return use == kSysPalStatic ? kSystemPaletteSize - kHalf : kSystemPaletteSize - 1;
  }
  bool IsStaticSlot(size_t i) const { return i < FirstFree() || i >= EndFree(); }
};

SystemPalette& System() {
  static SystemPalette* palette = [] {
    auto* p = new SystemPalette;
    p->Reset();
    return p;
  }();
  return *palette;
}

} // namespace

namespace detail {
// Called when the screen depth is set.
void ResetSystemPalette() {
  SystemPalette& s = System();
  std::lock_guard lock(s.mutex);
  s.Reset();
}
} // namespace detail

std::vector<PaletteEntry> GetSystemPaletteEntries(size_t first, size_t count) {
  if (!IsPaletteScreen() || first >= kSystemPaletteSize)
    return {};
  SystemPalette& s = System();
  std::lock_guard lock(s.mutex);
  const size_t n = std::min(count, kSystemPaletteSize - first);
  return {s.entries.begin() + first, s.entries.begin() + first + n};
}

uint32_t SetSystemPaletteUse(uint32_t use) {
  if (!IsPaletteScreen() || (use != kSysPalStatic && use != kSysPalNoStatic))
    return kSysPalError;
  SystemPalette& s = System();
  std::lock_guard lock(s.mutex);
  const uint32_t previous = s.use;
  s.use = use;
  if (use == kSysPalStatic)
    s.PutStatics();
  return previous;
}

uint32_t GetSystemPaletteUse() {
  if (!IsPaletteScreen())
    return kSysPalError;
  SystemPalette& s = System();
  std::lock_guard lock(s.mutex);
  return s.use;
}

int RealizeInSystemPalette(const Palette& palette) {
  if (!IsPaletteScreen())
    return 0;
  SystemPalette& s = System();
  std::lock_guard lock(s.mutex);
  int changed = 0;
  size_t next = s.FirstFree();
  for (const PaletteEntry& e : palette.Entries(0, palette.Size())) {
    if (e.flags & kPcExplicit)
      continue;
    const PaletteEntry colour{e.red, e.green, e.blue, 0};
    if (!(e.flags & (kPcNoCollapse | kPcReserved))) {
      bool collapsed = false;
      for (size_t i = 0; i < kSystemPaletteSize && !collapsed; ++i)
        collapsed = s.IsStaticSlot(i) && s.entries[i] == colour;
      if (collapsed)
        continue;
    }
    if (next >= s.EndFree())
      break; // the rest maps to the nearest entries
    if (!(s.entries[next] == colour)) {
      s.entries[next] = colour;
      ++changed;
    }
    ++next;
  }
  return changed;
}

} // namespace gdi
