#include "platform/gdi/palette.h"

#include <algorithm>
#include <limits>

namespace gdi {

std::shared_ptr<Palette> Palette::Create(std::span<const PaletteEntry> entries) {
  if (entries.empty() || entries.size() > kMaxPaletteEntries)
    return nullptr;
  auto p = std::make_shared<Palette>();
  p->entries_.assign(entries.begin(), entries.end());
  return p;
}

std::vector<PaletteEntry> Palette::Entries(size_t first, size_t count) const {
  if (first >= entries_.size())
    return {};
  const size_t n = std::min(count, entries_.size() - first);
  return std::vector<PaletteEntry>(entries_.begin() + first, entries_.begin() + first + n);
}

size_t Palette::SetEntries(size_t first, std::span<const PaletteEntry> entries) {
  if (first >= entries_.size())
    return 0;
  const size_t n = std::min(entries.size(), entries_.size() - first);
  std::copy_n(entries.begin(), n, entries_.begin() + first);
  return n;
}

bool Palette::Resize(size_t size) {
  if (size == 0 || size > kMaxPaletteEntries)
    return false;
  entries_.resize(size);
  return true;
}

int Palette::NearestIndex(Colour colour) const {
  int best = -1;
  int bestDistance = std::numeric_limits<int>::max();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const int dr = entries_[i].red - RedOf(colour);
    const int dg = entries_[i].green - GreenOf(colour);
    const int db = entries_[i].blue - BlueOf(colour);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

Colour Palette::ColourAt(size_t index) const {
  if (index >= entries_.size())
    return kInvalidColour;
  const PaletteEntry& e = entries_[index];
  return Rgb(e.red, e.green, e.blue);
}

} // namespace gdi
