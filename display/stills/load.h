// Loading a still image from a file for the background: ".gif" names go to
// the own decoders (by first byte), every other name to the imaging
// library, each at a depth the screen can show, with the palette it gives.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/gdi/palette.h"

#include <memory>
#include <string>

namespace stills {

struct LoadedStill {
  gdi::Dib dib;
  std::shared_ptr<gdi::Palette> palette; // none above 8 bits
  bool own = false;                      // decoded by the own decoders
};

// The depths the imaging library is asked for on a screen: the file is
// loaded at load (0: its own depth), then reduced to reduceTo bits when
// that is not 0.
struct ImagingDepth {
  int load = 0;
  int reduceTo = 0;
  friend bool operator==(const ImagingDepth&, const ImagingDepth&) = default;
};
ImagingDepth ImagingDepthFor(int fileBits, int screenBits);

// Files larger than this are not read by the own decoders.
constexpr int64_t kMaxStillFileBytes = int64_t{256} << 20;

// Loads path for a screen of screenBits bits per pixel. Returns 1 on
// success; a result of the own decoders (result.h), kUnsupported for an
// image deeper than an 8-bit screen; 0 when the file cannot be opened or the
// imaging library cannot read it.
int LoadStill(const std::string& path, int screenBits, LoadedStill& out);

// Makes the imaging library read PCX files with the own decoder. Loading
// does it on first use; the display calls it at start.
void RegisterOwnReaders();

} // namespace stills
