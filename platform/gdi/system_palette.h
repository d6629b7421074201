// The palette screen: at a screen depth of 8 bits (SetScreenBitsPerPixel)
// every window context reports a palette device (NUMCOLORS 20, SIZEPALETTE
// 256, 20 reserved) whose system palette of 256 entries holds the 20 static
// colours at both ends. Realising a logical palette in a window context
// maps its entries into the free slots and counts the entries it changed.
// The Qt screen itself stays true colour; this is the record a program's
// palette handling is checked against. Setting the depth starts a fresh
// system palette.
#pragma once

#include "platform/gdi/palette.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gdi {

constexpr uint32_t kSysPalError = 0;
constexpr uint32_t kSysPalStatic = 1;   // 20 static colours
constexpr uint32_t kSysPalNoStatic = 2; // only black and white are static

constexpr size_t kSystemPaletteSize = 256;
constexpr size_t kStaticColours = 20;

// True while the screen depth is 8 bits.
bool IsPaletteScreen();

// The system palette's entries from first on (at most count); empty on a
// true-colour screen.
std::vector<PaletteEntry> GetSystemPaletteEntries(size_t first, size_t count);

// The static-use switch; returns the previous use, kSysPalError on a
// true-colour screen or for an unknown use. Switching to no statics makes
// slots 1 to 254 free; back to static puts the static colours back.
uint32_t SetSystemPaletteUse(uint32_t use);
uint32_t GetSystemPaletteUse();

// Maps a logical palette into the system palette: an explicit entry
// (PC_EXPLICIT) names a system index, a plain entry equal to a static
// colour collapses onto it, every other one (and PC_NOCOLLAPSE or
// PC_RESERVED entries always) takes the next free slot in order. Returns
// how many system entries changed; 0 on a true-colour screen.
int RealizeInSystemPalette(const Palette& palette);

} // namespace gdi
