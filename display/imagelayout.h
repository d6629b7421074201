// Laying a still image out over the frame's client area: stretched (less
// the Skip margins), in four stretched tiles, in tiles at its own size, or
// centred over the default background; composed once into a bitmap of the
// client's size so that painting is one block copy.
#pragma once

#include "display/bkbitmap.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace display {

// [Image] IsFix, Type, Skip_x and Skip_y.
struct LayoutSettings {
  bool fixed = false;
  int32_t type = 0; // 0 stretch or centre, 1 tile, 2 either, by the clock
  int32_t skipX = 0;
  int32_t skipY = 0;
};

enum class Layout {
  Stretched,      // not fixed, type 0
  StretchedTiles, // not fixed, type 1: tiles of half the client's size
  Tiles,          // fixed, type 1, and small images of the own decoders
  Centred,        // fixed, type 0
};

// Images narrower or lower than this, from the own decoders, are always
// tiled at their own size.
constexpr int32_t kSmallImageSide = 100;

// The layout of an image: Type 2 takes tiles when the multimedia time is
// even and stretching when it is odd.
Layout ChooseLayout(const LayoutSettings& settings, int32_t width, int32_t height, bool own,
                    uint32_t multimediaTime);

// The source rectangle left by the Skip margins: never empty, a margin of
// half the side or more keeps the middle pixel (or two).
gdi::Rect SkippedSource(int32_t width, int32_t height, const LayoutSettings& settings);

struct Composed {
  std::shared_ptr<gdi::Bitmap> bitmap; // the client's size
  Layout layout = Layout::Stretched;
  gdi::Rect centred; // where a centred image lies; empty for other layouts
};

// The image laid out over a client of the given size; the default
// background (tiled from the client's corner) lies under a centred image.
// nullopt for an empty client or image.
std::optional<Composed> ComposeStill(const gdi::Dib& image, Layout layout,
                                     const LayoutSettings& settings, gdi::Size client,
                                     const BackgroundBitmap* defaultBackground);

} // namespace display
