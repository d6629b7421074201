// Logical palettes. The screen always has true colour, so selecting and
// realising a palette changes nothing on it; palettes still hold their
// entries and answer nearest-colour questions, which bitmaps are matched by.
#pragma once

#include "platform/gdi/types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace gdi {

constexpr uint8_t kPcReserved = 0x01;
constexpr uint8_t kPcExplicit = 0x02;
constexpr uint8_t kPcNoCollapse = 0x04;

// Logical palettes hold at most this many entries.
constexpr size_t kMaxPaletteEntries = 4096;

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

class Palette {
public:
  // nullptr for no entries or more than kMaxPaletteEntries.
  static std::shared_ptr<Palette> Create(std::span<const PaletteEntry> entries);

  size_t Size() const { return entries_.size(); }
  // Entries from first on, as many as there are (at most count).
  std::vector<PaletteEntry> Entries(size_t first, size_t count) const;
  // Replaces entries from first on; returns how many were set.
  size_t SetEntries(size_t first, std::span<const PaletteEntry> entries);
  // New entries are black.
  bool Resize(size_t size);
  // The index of the entry nearest to colour (smallest squared distance,
  // the lower index on a tie); -1 for an empty palette.
  int NearestIndex(Colour colour) const;
  Colour ColourAt(size_t index) const;

private:
  std::vector<PaletteEntry> entries_;
};

} // namespace gdi
